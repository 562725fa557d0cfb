// What the system says about how zelk should look: the DPI a window is
// shown at and whether high contrast is on. Each is read through one
// function whose source tests can replace, since Wine cannot be made to
// report another DPI per window or high contrast on.
#pragma once

#include <windows.h>

// The window's own DPI: GetDpiForWindow where the system has it, else the
// window DC's LOGPIXELSY. A shell that is not DPI-aware gets 96 from both,
// and Windows stretches the window itself. Always from 96 to 480.
int WindowDpi(HWND window);
bool HighContrastOn();

// For tests: replace the system as the source (null puts it back).
extern int (*DpiSource)(HWND window);
extern bool (*HighContrastSource)();
