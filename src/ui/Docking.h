// Docking into the slit the shell gave at this start, and floating free
// again, while the plug-in runs.
#pragma once

// True while the main window sits in a slit, as its child: the slit, not the
// instance, then decides where the window is.
bool MainWindowDocked();
// True when the shell gave a slit at this start, so docking can be offered.
bool SlitOffered();
// Docks or floats free at once, keeping the rows and an open edit, and saves.
void ToggleDocking();
