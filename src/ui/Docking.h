// Docking into the slit the shell gave at this start, and floating free
// again, while the plug-in runs.
#pragma once

// True when the shell gave a slit at this start, so docking can be offered.
bool SlitOffered();
#include "data/History.h"

// Docks or floats free at once, keeping the rows and an open edit, and saves:
// a step of the user's, or (SetDocked) an undo or redo of one.
void ToggleDocking();
void SetDocked(bool docked, Origin origin);
