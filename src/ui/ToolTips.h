// One tooltip for the window: over a label whose text is cut it shows the
// whole text, over Add Item it says when the list is full.
#pragma once

#include <windows.h>

class PluginInstance;

// Makes the tooltip, with every label and the button as its tools, unless
// it exists.
void EnsureToolTip(PluginInstance& p);
void DestroyToolTip(PluginInstance& p);
// Makes a label or the button a tool of the tooltip (once it exists).
void AddToolTip(HWND tool);
void RemoveToolTip(HWND tool);
// A tip showing for the tool goes: what it showed is no longer there.
void HideToolTipOf(HWND tool);
// The main window's WM_NOTIFY: the tooltip asks for a tool's text.
LRESULT OnToolTipNotify(const NMHDR* header);
