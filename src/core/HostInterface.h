// The whole contract between zelk and the desktop shell that hosts it:
// message numbers, the style record, and the C signatures of the functions
// the shell's executable exports. Plain C, cdecl, 8-bit bool.
#pragma once

#include <stddef.h>
#include <windows.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Messages exchanged with the shell's main window and its slit.
enum {
    HOSTMSG_REGISTER = 10001,    // to host: wParam window, lParam 0-terminated message list
    HOSTMSG_UNREGISTER = 10002,  // to host: same arguments
    HOSTMSG_RECONFIGURE = 10103, // from host: the style changed
    HOSTMSG_BROADCAST = 10901,   // from host: lParam points to a command text
    SLITMSG_ADD = 11001,         // to slit: lParam the window to dock
    SLITMSG_UPDATE = 11003       // to slit: lay out again
};

// The shell's parsed gradient description. The plug-in allocates 300 bytes and
// reads only the first three integers and the flag, passing them on unchanged.
typedef struct StyleRecord {
    int valueA;       // offset 0: bevel kind
    int valueB;       // offset 4: bevel position
    int gradientType; // offset 8
    unsigned char unused12;
    unsigned char flag; // offset 13: interlaced
    unsigned char rest[286];
} StyleRecord;

#ifdef __cplusplus
static_assert(sizeof(StyleRecord) == 300, "the shell's style record is 300 bytes");
static_assert(offsetof(StyleRecord, gradientType) == 8, "gradient type at offset 8");
static_assert(offsetof(StyleRecord, flag) == 13, "flag at offset 13");
#endif

typedef HWND(__cdecl* GetCorvaneWndFn)(void);
typedef char*(__cdecl* GetCorvanePathFn)(char* buffer, int size);
typedef bool(__cdecl* FileExistsFn)(const char* path);
typedef int(__cdecl* ReadIntFn)(const char* path, const char* key, int def);
typedef bool(__cdecl* ReadBoolFn)(const char* path, const char* key, bool def);
typedef COLORREF(__cdecl* ReadColorFn)(const char* path, const char* key, const char* def);
typedef const char*(__cdecl* ReadStringFn)(const char* path, const char* key, const char* def);
typedef void(__cdecl* WriteBoolFn)(const char* path, const char* key, bool value);
typedef const char*(__cdecl* StylePathFn)(const char* other);
typedef void(__cdecl* ParseItemFn)(const char* description, StyleRecord* record);
typedef void(__cdecl* MakeGradientFn)(HDC dc, RECT rect, int type, COLORREF from, COLORREF to,
                                      bool flag, int valueA, int valueB, int bevelWidth,
                                      COLORREF borderColour, int borderWidth);
typedef void(__cdecl* MakeStickyFn)(HWND window);
typedef void(__cdecl* SnapWindowToEdgeFn)(WINDOWPOS* position, int distance, int flags);
typedef bool(__cdecl* IsInStringFn)(const char* text, const char* fragment);
typedef int(__cdecl* CorvaneTokenizeFn)(const char* text, char** tokens, int count,
                                        char* remainder);

// Optional: the shell's popup menus. A shell without them gets no menu.
typedef void* HostMenu;
typedef HostMenu(__cdecl* MakeMenuFn)(const char* title);
typedef void(__cdecl* MakeMenuItemFn)(HostMenu menu, const char* text, const char* command,
                                      bool checked);
typedef void(__cdecl* MakeSubmenuFn)(HostMenu menu, HostMenu submenu, const char* text);
typedef void(__cdecl* ShowMenuFn)(HostMenu menu);
typedef void(__cdecl* DelMenuFn)(HostMenu menu);

// What a plug-in exports for the shell to call.
typedef int(__cdecl* BeginPluginFn)(HINSTANCE module);
typedef int(__cdecl* BeginSlitPluginFn)(HINSTANCE module, HWND slit);
typedef void(__cdecl* EndPluginFn)(void);
typedef const char*(__cdecl* PluginInfoFn)(int field);

// A host defines CORVANE_HOST_EXPORT (normally __declspec(dllexport)) to get
// the prototypes of what it must export from its executable.
#ifdef CORVANE_HOST_EXPORT
CORVANE_HOST_EXPORT HWND __cdecl GetCorvaneWnd(void);
CORVANE_HOST_EXPORT char* __cdecl GetCorvanePath(char* buffer, int size);
CORVANE_HOST_EXPORT bool __cdecl FileExists(const char* path);
CORVANE_HOST_EXPORT int __cdecl ReadInt(const char* path, const char* key, int def);
CORVANE_HOST_EXPORT bool __cdecl ReadBool(const char* path, const char* key, bool def);
CORVANE_HOST_EXPORT COLORREF __cdecl ReadColor(const char* path, const char* key, const char* def);
CORVANE_HOST_EXPORT const char* __cdecl ReadString(const char* path, const char* key,
                                                   const char* def);
CORVANE_HOST_EXPORT void __cdecl WriteBool(const char* path, const char* key, bool value);
CORVANE_HOST_EXPORT const char* __cdecl stylePath(const char* other);
CORVANE_HOST_EXPORT void __cdecl ParseItem(const char* description, StyleRecord* record);
CORVANE_HOST_EXPORT void __cdecl MakeGradient(HDC dc, RECT rect, int type, COLORREF from,
                                              COLORREF to, bool flag, int valueA, int valueB,
                                              int bevelWidth, COLORREF borderColour,
                                              int borderWidth);
CORVANE_HOST_EXPORT void __cdecl MakeSticky(HWND window);
CORVANE_HOST_EXPORT void __cdecl SnapWindowToEdge(WINDOWPOS* position, int distance, int flags);
CORVANE_HOST_EXPORT bool __cdecl IsInString(const char* text, const char* fragment);
CORVANE_HOST_EXPORT int __cdecl CorvaneTokenize(const char* text, char** tokens, int count,
                                                char* remainder);
CORVANE_HOST_EXPORT HostMenu __cdecl MakeMenu(const char* title);
CORVANE_HOST_EXPORT void __cdecl MakeMenuItem(HostMenu menu, const char* text, const char* command,
                                              bool checked);
CORVANE_HOST_EXPORT void __cdecl MakeSubmenu(HostMenu menu, HostMenu submenu, const char* text);
CORVANE_HOST_EXPORT void __cdecl ShowMenu(HostMenu menu);
CORVANE_HOST_EXPORT void __cdecl DelMenu(HostMenu menu);
#endif

#ifdef __cplusplus
}
#endif
