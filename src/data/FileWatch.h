// Watches the settings file's folder, since an atomic save by another
// program replaces the file itself and a watch on the file would miss it.
// A thread of zelk's own only waits and posts a message to the main window:
// it never touches a window or the list, and sleeps while nothing changes.
#pragma once

#include <windows.h>

// Starts watching the folder of `path` (in its long form when that long);
// false when the system cannot.
bool StartWatching(const wchar_t* path, HWND window, UINT message);
// Stops the thread and waits for it, so no code of the DLL runs after.
void StopWatching();
