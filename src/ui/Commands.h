// Broadcast commands and window translucency.
#pragma once

#include <windows.h>

void HandleCommand(const char* text);
BOOL SetWindowAlpha(HWND window, COLORREF colourKey, BYTE alpha, DWORD flags);
void ShowConfigurationMenu();
void ReleaseConfigurationMenu();
