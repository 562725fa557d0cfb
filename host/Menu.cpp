// The shell's popup menus. A menu handle is a number that is never reused, so
// a stale handle (a menu already shown or deleted) is recognised and ignored.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "HostPrivate.h"

namespace {

struct MenuItem {
    std::string text, command;
    bool checked = false;
    int submenu = 0; // id of the submenu, 0 for a command
};

struct Menu {
    int id;
    int parent = 0; // id of the menu holding it as a submenu
    std::string title;
    std::vector<MenuItem> items;
};

std::vector<std::unique_ptr<Menu>> menus;
int lastId;
bool interactive;
HostMenuHook hook;
void* hookContext;
int showCount;
std::string lastMenu;
std::string calls; // every menu call, one per line, for tests

void record(const std::string& call) {
    calls += call + "\n";
}
std::string id(HostMenu handle) {
    return std::to_string(intptr_t(handle));
}
std::string text(const char* s) {
    return s ? s : "(null)";
}

Menu* find(HostMenu handle) {
    int id = int(reinterpret_cast<intptr_t>(handle));
    for (auto& m : menus)
        if (m->id == id) return m.get();
    return nullptr;
}

Menu* find(int id) {
    return find(reinterpret_cast<HostMenu>(intptr_t(id)));
}

// Frees a menu and its submenus, and removes it from its parent.
void freeMenu(int id) {
    Menu* menu = find(id);
    if (!menu) return;
    std::vector<int> children;
    for (const MenuItem& item : menu->items)
        if (item.submenu) children.push_back(item.submenu);
    if (Menu* parent = find(menu->parent))
        parent->items.erase(std::remove_if(parent->items.begin(), parent->items.end(),
                                           [id](const MenuItem& i) { return i.submenu == id; }),
                            parent->items.end());
    menus.erase(std::remove_if(menus.begin(), menus.end(),
                               [id](const std::unique_ptr<Menu>& m) { return m->id == id; }),
                menus.end());
    for (int child : children)
        freeMenu(child);
}

void describe(const Menu& menu, int depth, std::string& out) {
    std::string indent(size_t(depth) * 2 + 2, ' ');
    for (const MenuItem& item : menu.items) {
        if (const Menu* sub = item.submenu ? find(item.submenu) : nullptr) {
            out += indent + item.text + " >\n";
            describe(*sub, depth + 1, out);
        } else {
            out += indent + item.text + " -> " + item.command + (item.checked ? " [x]" : "") + "\n";
        }
    }
}

HMENU build(const Menu& menu, bool withTitle, std::vector<std::string>& commands) {
    HMENU popup = CreatePopupMenu();
    if (withTitle && !menu.title.empty()) {
        AppendMenuA(popup, MF_STRING | MF_GRAYED, 0, menu.title.c_str());
        AppendMenuA(popup, MF_SEPARATOR, 0, NULL);
    }
    for (const MenuItem& item : menu.items) {
        if (const Menu* sub = item.submenu ? find(item.submenu) : nullptr) {
            AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(build(*sub, false, commands)),
                        item.text.c_str());
        } else {
            commands.push_back(item.command);
            AppendMenuA(popup, MF_STRING | (item.checked ? MF_CHECKED : 0), commands.size(),
                        item.text.c_str());
        }
    }
    return popup;
}

// Pops the menu up at the cursor; returns the chosen command, or "".
std::string track(const Menu& menu) {
    HWND owner = GetCorvaneWnd();
    if (!owner) return std::string();
    std::vector<std::string> commands;
    HMENU popup = build(menu, true, commands);
    POINT at;
    GetCursorPos(&at);
    SetForegroundWindow(owner); // otherwise the menu does not close when clicked away
    UINT chosen = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y,
                                 0, owner, NULL);
    PostMessageA(owner, WM_NULL, 0, 0);
    DestroyMenu(popup); // destroys the nested popups too
    return chosen >= 1 && chosen <= commands.size() ? commands[chosen - 1] : std::string();
}

} // namespace

void host::resetMenus() {
    menus.clear();
    hook = nullptr;
    showCount = 0;
    lastMenu.clear();
    calls.clear();
}

extern "C" {

void HostSetMenuInteractive(bool on) {
    interactive = on;
}
void HostSetMenuHook(HostMenuHook function, void* context) {
    hook = function;
    hookContext = context;
}
int HostMenuShowCount(void) {
    return showCount;
}
const char* HostLastMenu(void) {
    return lastMenu.c_str();
}
int HostMenuLiveCount(void) {
    return int(menus.size());
}
const char* HostMenuCalls(void) {
    return calls.c_str();
}

HostMenu __cdecl MakeMenu(const char* title) {
    auto menu = std::make_unique<Menu>();
    menu->id = ++lastId;
    menu->title = title ? title : "";
    menus.push_back(std::move(menu));
    record("MakeMenu(" + text(title) + ") = " + std::to_string(lastId));
    return reinterpret_cast<HostMenu>(intptr_t(lastId));
}

void __cdecl MakeMenuItem(HostMenu handle, const char* text, const char* command, bool checked) {
    record("MakeMenuItem(" + id(handle) + ", " + ::text(text) + ", " + ::text(command) + ", " +
           (checked ? "true" : "false") + ")");
    Menu* menu = find(handle);
    if (!menu) return;
    MenuItem item;
    item.text = text ? text : "";
    item.command = command ? command : "";
    item.checked = checked;
    menu->items.push_back(item);
}

void __cdecl MakeSubmenu(HostMenu handle, HostMenu subHandle, const char* text) {
    record("MakeSubmenu(" + id(handle) + ", " + id(subHandle) + ", " + ::text(text) + ")");
    Menu* menu = find(handle);
    Menu* sub = find(subHandle);
    if (!menu || !sub || sub == menu || sub->parent) return;
    // A menu cannot hold one of its own ancestors.
    for (Menu* up = menu; up; up = find(up->parent))
        if (up == sub) return;
    sub->parent = menu->id;
    MenuItem item;
    item.text = text ? text : sub->title;
    item.submenu = sub->id;
    menu->items.push_back(item);
}

void __cdecl ShowMenu(HostMenu handle) {
    record("ShowMenu(" + id(handle) + ")");
    Menu* menu = find(handle);
    if (!menu) return;
    ++showCount;
    lastMenu = menu->title + "\n";
    describe(*menu, 0, lastMenu);
    // The loop below may delete the menu (a plug-in's DelMenu, or anything
    // else the shell runs meanwhile): it is known by its id from here on.
    const int shown = menu->id;
    std::string command = interactive ? track(*menu) : std::string();
    if (hook) hook(hookContext);
    freeMenu(shown);
    // The command runs after ShowMenu has returned, never inside the plug-in's call.
    if (!command.empty())
        PostMessageA(GetCorvaneWnd(), host::menuCommandMessage, 0,
                     reinterpret_cast<LPARAM>(new std::string(command)));
}

void __cdecl DelMenu(HostMenu handle) {
    record("DelMenu(" + id(handle) + ")");
    if (Menu* menu = find(handle)) freeMenu(menu->id);
}

} // extern "C"
