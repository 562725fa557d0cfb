// The plug-in's window set and its window procedures. The actions that
// change the list (ui/ListActions.h) and the in-place editor
// (ui/InPlaceEdit.h) come with it, as every procedure calls them.
#pragma once

#include <windows.h>

#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"

int CreatePluginWindows();
void DestroyPluginWindows();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK LabelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DoneBoxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK AddButtonWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

extern const char PluginClassName[];
