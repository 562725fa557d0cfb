// The shell's functions as the plug-in calls them, bound at run time from
// the executable that loaded it.
#pragma once

#include "core/HostInterface.h"

struct HostFunctions {
    GetCorvaneWndFn GetCorvaneWnd;
    GetCorvanePathFn GetCorvanePath;
    FileExistsFn FileExists;
    ReadIntFn ReadInt;
    ReadBoolFn ReadBool;
    ReadColorFn ReadColor;
    ReadStringFn ReadString;
    WriteBoolFn WriteBool;
    StylePathFn stylePath;
    ParseItemFn ParseItem;
    MakeGradientFn MakeGradient;
    MakeStickyFn MakeSticky;
    SnapWindowToEdgeFn SnapWindowToEdge;
    IsInStringFn IsInString;
    CorvaneTokenizeFn CorvaneTokenize;
    // Optional: null when the shell has no menus.
    MakeMenuFn MakeMenu;
    MakeMenuItemFn MakeMenuItem;
    MakeSubmenuFn MakeSubmenu;
    ShowMenuFn ShowMenu;
    DelMenuFn DelMenu;
};

extern HostFunctions Host;

// Binds every function from the executable's exports. Returns null when all
// required functions were found, else the name of the first one missing
// (and then leaves Host unchanged).
const char* BindHostFunctions(HMODULE executable);
bool HostFunctionsBound();
