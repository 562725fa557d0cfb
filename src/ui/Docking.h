// Docking into the slit the shell gave at this start, and floating free
// again, while the plug-in runs.
#pragma once

// True when the shell gave a slit at this start, so docking can be offered.
bool SlitOffered();
// Docks or floats free at once, keeping the rows and an open edit, and saves.
void ToggleDocking();
