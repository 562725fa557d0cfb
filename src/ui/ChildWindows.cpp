#include "ui/ChildWindows.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"

const char PluginClassName[] = "zelk";

namespace {

const DWORD ChildStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL; // 0x50000080

// Valid only during each call: the host copies it.
UINT Subscriptions[] = {HOSTMSG_RECONFIGURE, HOSTMSG_BROADCAST, 0};

} // namespace

HWND CreateChildWindow(const char* className, int x, int y, int width, int height) {
    PluginInstance* p = ThePlugin;
    return CreateWindowExA(WS_EX_TOOLWINDOW, className, nullptr, ChildStyle, x, y, width, height,
                           p->mainWindow, nullptr, p->module, nullptr);
}

void SubscribeWindow(HWND window) {
    SendMessageA(ThePlugin->hostWindow, HOSTMSG_REGISTER, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(Subscriptions));
    Host.MakeSticky(window);
}

void UnsubscribeAndDestroy(HWND window) {
    if (!window) return;
    SendMessageA(ThePlugin->hostWindow, HOSTMSG_UNREGISTER, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(Subscriptions));
    DestroyWindow(window);
}

// The procedure is a pointer: it passes through the pointer-sized window
// long, never a 32-bit one, so the 64-bit build keeps it whole.
WNDPROC SubclassWindow(HWND window, WNDPROC procedure) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

// Docked, the window is the slit's child.
bool MainWindowDocked() {
    const PluginInstance* p = ThePlugin;
    return p && p->mainWindow && (GetWindowLongA(p->mainWindow, GWL_STYLE) & WS_CHILD);
}
