#include "core/HostBinding.h"

HostFunctions Host;
static bool Bound = false;

namespace {

// Looks one function up and stores it in a field of its own type. A missing
// optional function leaves the field null.
template <typename Function>
bool BindOne(HMODULE executable, const char* name, Function& field, bool required) {
    FARPROC address = executable ? GetProcAddress(executable, name) : nullptr;
    field = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    return address || !required;
}

} // namespace

// All or nothing: a shell that lacks a required function must not leave the
// plug-in half bound. The menu functions come as a set as well.
const char* BindHostFunctions(HMODULE executable) {
    HostFunctions found = {};
#define BIND(field, required)                                                                      \
    if (!BindOne(executable, #field, found.field, required)) return #field
    BIND(GetCorvaneWnd, true);
    BIND(GetCorvanePath, true);
    BIND(FileExists, true);
    BIND(ReadInt, true);
    BIND(ReadBool, true);
    BIND(ReadColor, true);
    BIND(ReadString, true);
    BIND(WriteBool, true);
    BIND(stylePath, true);
    BIND(ParseItem, true);
    BIND(MakeGradient, true);
    BIND(MakeSticky, true);
    BIND(SnapWindowToEdge, true);
    BIND(IsInString, true);
    BIND(CorvaneTokenize, true);
    BIND(MakeMenu, false);
    BIND(MakeMenuItem, false);
    BIND(MakeSubmenu, false);
    BIND(ShowMenu, false);
    BIND(DelMenu, false);
#undef BIND
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
