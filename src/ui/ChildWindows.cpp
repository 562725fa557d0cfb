#include "ui/ChildWindows.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"

const char PluginClassName[] = "zelk";

namespace {

const DWORD ChildStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL; // 0x50000080

// Valid only during each call: the host copies it.
const UINT Subscriptions[] = {HOSTMSG_RECONFIGURE, HOSTMSG_BROADCAST, 0};

} // namespace

// Unicode windows, so that an entry in any script reaches them whole. The
// class names are ASCII.
HWND CreateChildWindow(const char* className, int x, int y, int width, int height) {
    PluginInstance* p = ThePlugin;
    wchar_t wideName[16] = {};
    for (int i = 0; className[i] && i + 1 < 16; ++i)
        wideName[i] = static_cast<unsigned char>(className[i]);
    return CreateWindowExW(WS_EX_TOOLWINDOW, wideName, nullptr, ChildStyle, x, y, width, height,
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
// long, never a 32-bit one, so the 64-bit build keeps it whole. Set through
// the W function: the A one would make the window an ANSI window.
WNDPROC SubclassWindow(HWND window, WNDPROC procedure) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

// Docked, the window is the slit's child.
bool MainWindowDocked() {
    const PluginInstance* p = ThePlugin;
    return p && p->mainWindow && (GetWindowLongA(p->mainWindow, GWL_STYLE) & WS_CHILD);
}
