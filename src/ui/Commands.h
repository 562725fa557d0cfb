// Broadcast commands and window translucency.
#pragma once

#include <windows.h>

void HandleCommand(const char* text);
BOOL SetWindowAlpha(HWND window, COLORREF colourKey, BYTE alpha, DWORD flags);
constexpr BYTE MinimumAlpha = 26;
void ApplyWindowAlpha(HWND window, int alpha);
void ShowConfigurationMenu();
void ReleaseConfigurationMenu();
