// The part of the screen zelk's window may take: no window is taller than
// its monitor's work area, and a free-floating one stays inside it.
#pragma once

#include <windows.h>

class PluginInstance;

// The work area of the monitor the window is on; docked, of the slit's
// monitor. Free-floating, a window wholly outside every monitor's work area
// (a monitor was unplugged, the file was edited) is first put back at
// (10, 10). An empty rectangle when the system cannot tell.
RECT WorkAreaFor(PluginInstance& p, bool docked, int width, int height);
// A monitor or its work area changed (WM_DISPLAYCHANGE, WM_SETTINGCHANGE):
// the next layout asks the system again.
void ForgetWorkArea();
// A free-floating window whose bottom or right edge lies beyond the work
// area moves up or left just enough, never past the area's top or left
// edge, and never down or right. The new place is kept as a move is.
void KeepInWorkArea(PluginInstance& p, RECT work, int width, int height);
