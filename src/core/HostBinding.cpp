#include "core/HostBinding.h"

#include <stddef.h>

HostFunctions Host;
static bool Bound = false;

namespace {
struct Binding {
    const char* name;
    size_t offset;
    bool required;
};

#define BIND(field, required)                                                                      \
    { #field, offsetof(HostFunctions, field), required }
const Binding Bindings[] = {
    BIND(GetCorvaneWnd, true),    BIND(GetCorvanePath, true), BIND(FileExists, true),
    BIND(ReadInt, true),          BIND(ReadBool, true),       BIND(ReadColor, true),
    BIND(ReadString, true),       BIND(WriteBool, true),      BIND(stylePath, true),
    BIND(ParseItem, true),        BIND(MakeGradient, true),   BIND(MakeSticky, true),
    BIND(SnapWindowToEdge, true), BIND(IsInString, true),     BIND(CorvaneTokenize, true),
    BIND(MakeMenu, false),        BIND(MakeMenuItem, false),  BIND(MakeSubmenu, false),
    BIND(ShowMenu, false),        BIND(DelMenu, false),
};
#undef BIND
} // namespace

// All or nothing: a shell that lacks a required function must not leave the
// plug-in half bound. The menu functions come as a set as well.
const char* BindHostFunctions(HMODULE executable) {
    HostFunctions found = {};
    for (const Binding& b : Bindings) {
        FARPROC address = executable ? GetProcAddress(executable, b.name) : nullptr;
        if (!address && b.required) return b.name;
        *reinterpret_cast<FARPROC*>(reinterpret_cast<char*>(&found) + b.offset) = address;
    }
    if (!found.MakeMenu || !found.MakeMenuItem || !found.MakeSubmenu || !found.ShowMenu ||
        !found.DelMenu) {
        found.MakeMenu = nullptr;
        found.MakeMenuItem = nullptr;
        found.MakeSubmenu = nullptr;
        found.ShowMenu = nullptr;
        found.DelMenu = nullptr;
    }
    Host = found;
    Bound = true;
    return nullptr;
}

bool HostFunctionsBound() {
    return Bound;
}
