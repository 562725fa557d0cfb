// The main window's translucency, where the system has layered windows.
#pragma once

#include <windows.h>

BOOL SetWindowAlpha(HWND window, COLORREF colourKey, BYTE alpha, DWORD flags);
constexpr BYTE MinimumAlpha = 26;
void ApplyWindowAlpha(HWND window, int alpha);
// Makes the window layered at the instance's alpha, or opaque again. High
// contrast asks for it opaque without changing the setting.
void ApplyTranslucency(HWND window, bool on, int alpha);
