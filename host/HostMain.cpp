// The host's main window and the small services around it: subscriptions and
// their delivery, the host and style paths, sticky windows and edge snapping.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "HostPrivate.h"

namespace {

struct Subscription {
    HWND window;
    UINT message;
};

HWND mainWindow;
std::vector<Subscription> subscriptions;
std::vector<HWND> stickyWindows;
std::string hostPath;      // empty: the executable's folder
std::string currentStyle;  // empty: the default style beside the executable
std::string stylePathText; // what stylePath last returned

// A garbage list pointer cannot be caught, but a missing terminator can be bounded.
const int maxListLength = 1024;

bool isSubscribed(HWND window, UINT message) {
    for (const Subscription& s : subscriptions)
        if (s.window == window && s.message == message) return true;
    return false;
}

void subscribe(HWND window, const UINT* messages) {
    if (!IsWindow(window) || !messages) return;
    for (int i = 0; i < maxListLength && messages[i]; ++i)
        if (!isSubscribed(window, messages[i])) subscriptions.push_back({window, messages[i]});
}

void unsubscribe(HWND window, const UINT* messages) {
    if (!messages) return;
    for (int i = 0; i < maxListLength && messages[i]; ++i) {
        UINT m = messages[i];
        subscriptions.erase(std::remove_if(subscriptions.begin(), subscriptions.end(),
                                           [&](const Subscription& s) {
                                               return s.window == window && s.message == m;
                                           }),
                            subscriptions.end());
    }
}

// Sends message to its subscribers. Receivers may subscribe, unsubscribe or
// destroy windows meanwhile, so the targets are fixed first and each one is
// checked again just before it is sent to.
void deliver(UINT message, LPARAM lParam) {
    std::vector<HWND> targets;
    for (const Subscription& s : subscriptions)
        if (s.message == message) targets.push_back(s.window);
    for (HWND target : targets)
        if (IsWindow(target) && isSubscribed(target, message))
            SendMessageA(target, message, 0, lParam);
}

std::string copyDataText(const COPYDATASTRUCT* data) {
    if (!data || !data->lpData || data->cbData == 0) return std::string();
    const char* bytes = static_cast<const char*>(data->lpData);
    return std::string(bytes, strnlen(bytes, data->cbData));
}

LRESULT onCopyData(const COPYDATASTRUCT* data) {
    if (!data) return FALSE;
    std::string text = copyDataText(data);
    switch (data->dwData) {
    case HOSTCOPY_COMMAND:
        if (host::equalsNoCase(text, "reconfigure"))
            HostReconfigure();
        else
            HostBroadcast(text.c_str());
        return TRUE;
    case HOSTCOPY_STYLE:
        if (text.empty() || !FileExists(text.c_str())) return FALSE;
        HostSetStyle(text.c_str());
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case HOSTMSG_REGISTER:
        subscribe(reinterpret_cast<HWND>(wParam), reinterpret_cast<const UINT*>(lParam));
        return 0;
    case HOSTMSG_UNREGISTER:
        unsubscribe(reinterpret_cast<HWND>(wParam), reinterpret_cast<const UINT*>(lParam));
        return 0;
    case host::menuCommandMessage: {
        std::string* command = reinterpret_cast<std::string*>(lParam);
        if (command) HostBroadcast(command->c_str());
        delete command;
        return 0;
    }
    case WM_COPYDATA:
        return onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_CLOSE:
        // The window itself stays until HostStop, after the plug-in has ended.
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string withTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}

} // namespace

std::string host::exeDirectory() {
    char buffer[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(NULL, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return ".\\";
    std::string path(buffer, n);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

extern "C" {

// A DPI-aware shell declares per-monitor awareness before its first window;
// so does the host, where the system has the function (Windows 10 1703).
static void declarePerMonitorDpiAwareness() {
    typedef BOOL(WINAPI * SetContextFn)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    SetContextFn set = user32 ? reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
                                    GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                              : NULL;
    if (set) set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4))); // per monitor, v2
}

HWND HostStart(HINSTANCE instance) {
    if (mainWindow && IsWindow(mainWindow)) return mainWindow;
    declarePerMonitorDpiAwareness();
    if (!instance) instance = GetModuleHandleA(NULL);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = hostWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = HOST_WINDOW_CLASS;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;
    // Top-level (not message-only) so that it can own popup menus; never shown.
    mainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, HOST_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0,
                                 NULL, NULL, instance, NULL);
    return mainWindow;
}

void HostStop(void) {
    host::destroySlit();
    host::resetMenus();
    if (mainWindow && IsWindow(mainWindow)) DestroyWindow(mainWindow);
    mainWindow = NULL;
    HostClearRecords();
}

void HostSetPath(const char* directory) {
    hostPath = (directory && *directory) ? withTrailingBackslash(directory) : std::string();
}

void HostSetStyle(const char* path) {
    currentStyle.clear();
    if (!path || !*path) return;
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path, sizeof full, full, NULL);
    currentStyle = (n > 0 && n < sizeof full) ? std::string(full, n) : std::string(path);
}

void HostBroadcast(const char* text) {
    if (!text) return;
    std::string copy(text); // receivers get a stable string even if the caller's changes
    deliver(HOSTMSG_BROADCAST, reinterpret_cast<LPARAM>(copy.c_str()));
}

void HostReconfigure(void) {
    deliver(HOSTMSG_RECONFIGURE, 0);
}

int HostSubscriptionCount(void) {
    return int(subscriptions.size());
}
HWND HostSubscriptionWindow(int index) {
    return index >= 0 && index < HostSubscriptionCount() ? subscriptions[index].window : NULL;
}
UINT HostSubscriptionMessage(int index) {
    return index >= 0 && index < HostSubscriptionCount() ? subscriptions[index].message : 0;
}

int HostStickyCount(void) {
    return int(stickyWindows.size());
}
HWND HostStickyWindow(int index) {
    return index >= 0 && index < HostStickyCount() ? stickyWindows[index] : NULL;
}

void HostClearRecords(void) {
    subscriptions.clear();
    stickyWindows.clear();
}

// ---- exported to plug-ins ----

HWND __cdecl GetCorvaneWnd(void) {
    return mainWindow;
}

char* __cdecl GetCorvanePath(char* buffer, int size) {
    if (!buffer || size <= 0) return buffer;
    host::copyBounded(buffer, size_t(size), hostPath.empty() ? host::exeDirectory() : hostPath);
    return buffer;
}

bool __cdecl FileExists(const char* path) {
    return path && *path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

const char* __cdecl stylePath(const char* /*other*/) {
    stylePathText =
        currentStyle.empty() ? host::exeDirectory() + "styles\\default.style" : currentStyle;
    return stylePathText.c_str();
}

void __cdecl MakeSticky(HWND window) {
    if (window) stickyWindows.push_back(window);
}

void __cdecl SnapWindowToEdge(WINDOWPOS* pos, int distance, int /*flags*/) {
    if (!pos || (pos->flags & SWP_NOMOVE) || distance < 0) return;
    // A docked window is placed by its parent, in the parent's coordinates.
    if (pos->hwnd && (GetWindowLongA(pos->hwnd, GWL_STYLE) & WS_CHILD)) return;
    int cx = pos->cx, cy = pos->cy;
    if (pos->flags & SWP_NOSIZE) {
        RECT r;
        if (!pos->hwnd || !GetWindowRect(pos->hwnd, &r)) return;
        cx = r.right - r.left;
        cy = r.bottom - r.top;
    }
    RECT proposed = {pos->x, pos->y, pos->x + cx, pos->y + cy};
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT work;
    if (GetMonitorInfoA(MonitorFromRect(&proposed, MONITOR_DEFAULTTONEAREST), &info))
        work = info.rcWork;
    else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        return;
    if (abs(pos->x - work.left) <= distance)
        pos->x = work.left;
    else if (abs(pos->x + cx - work.right) <= distance)
        pos->x = work.right - cx;
    if (abs(pos->y - work.top) <= distance)
        pos->y = work.top;
    else if (abs(pos->y + cy - work.bottom) <= distance)
        pos->y = work.bottom - cy;
}

} // extern "C"
