// The plug-in's windows as the shell knows them: made as children of the
// main window, subscribed to the shell's messages, subclassed, and taken
// down again.
#pragma once

#include <windows.h>

// The class of the main window, the rows' boxes and labels, and the button.
extern const char PluginClassName[];

HWND CreateChildWindow(const char* className, int x, int y, int width, int height);
// Registers the window for the shell's messages and makes it sticky.
void SubscribeWindow(HWND window);
// Unregisters the window and destroys it; a null window is skipped.
void UnsubscribeAndDestroy(HWND window);
// Installs a procedure and gives back the one it replaces.
WNDPROC SubclassWindow(HWND window, WNDPROC procedure);
// True while the main window sits in a slit, as its child: the slit, not the
// instance, then decides where the window is.
bool MainWindowDocked();
