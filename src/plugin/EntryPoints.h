// The exports the shell calls (listed in zelk.def).
#pragma once

#include <windows.h>

extern "C" {
int __cdecl beginPlugin(HINSTANCE module);
int __cdecl beginSlitPlugin(HINSTANCE module, HWND slit);
void __cdecl endPlugin();
const char* __cdecl pluginInfo(int field);
}
