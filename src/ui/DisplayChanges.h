// zelk follows the display it is shown on: a new DPI lays it out anew with
// fonts made for it, and high contrast switching on or off repaints it in
// the system's colours or the style's.
#pragma once

#include <windows.h>

class PluginInstance;

// The editor's font, made for the face and the DPI; remade when either changes.
void ApplyEditFont(PluginInstance& p);
// Reads the window's DPI and high contrast at start, before the rows are made.
void ReadDisplay(PluginInstance& p);
// WM_DPICHANGED: the window's new DPI, and the place the system suggests.
void OnDpiChanged(const RECT* suggested);
// WM_DPICHANGED_AFTERPARENT: docked, the slit moved to another DPI.
void OnDpiChangedAfterParent();
// WM_SETTINGCHANGE or WM_SYSCOLORCHANGE: high contrast or the system's
// colours may have changed.
void OnSystemLookChanged();
// Docked, the window is a child and hears no broadcast: a hidden top-level
// window of zelk's own hears them instead. Made once, the first time the
// window docks.
void EnsureListener(PluginInstance& p);
