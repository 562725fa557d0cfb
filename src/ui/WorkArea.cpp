#include "ui/WorkArea.h"

#include <limits.h>

#include "core/PluginInstance.h"

namespace {

struct WorkAreaSearch {
    RECT window;
    bool touches;
};

BOOL CALLBACK FindWorkAreaTouching(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    WorkAreaSearch* search = reinterpret_cast<WorkAreaSearch*>(context);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT common;
    search->touches =
        GetMonitorInfoA(monitor, &info) && IntersectRect(&common, &info.rcWork, &search->window);
    return !search->touches;
}

void BringBackOnScreen(PluginInstance& p, int width, int height) {
    long long right = static_cast<long long>(p.x) + width;
    long long bottom = static_cast<long long>(p.y) + height;
    WorkAreaSearch search = {{p.x, p.y, 0, 0}, false};
    if (right <= INT_MAX && bottom <= INT_MAX) {
        search.window.right = static_cast<int>(right);
        search.window.bottom = static_cast<int>(bottom);
        EnumDisplayMonitors(nullptr, nullptr, FindWorkAreaTouching,
                            reinterpret_cast<LPARAM>(&search));
    }
    if (!search.touches) p.x = p.y = 10;
}

// The new place, as a long long: the sums cannot overflow.
int PullBack(int at, int length, LONG low, LONG high) {
    if (static_cast<long long>(at) + length <= high) return at;
    long long moved = static_cast<long long>(high) - length;
    if (moved < low) moved = low;
    return moved < at ? static_cast<int>(moved) : at;
}

// The last answer and what it was asked for: every change lays the rows
// out, and a monitor lookup costs more under Wine than the rest of a tick.
struct {
    bool valid;
    bool docked;
    HWND parent;
    int x, y, width, height;
    RECT work;
} Last = {};

RECT Remember(bool docked, HWND parent, const PluginInstance& p, int width, int height, RECT work) {
    Last = {true, docked, parent, p.x, p.y, width, height, work};
    return work;
}

} // namespace

void ForgetWorkArea() {
    Last.valid = false;
}

// Only a window off its nearest monitor's work area has every monitor
// searched.
RECT WorkAreaFor(PluginInstance& p, bool docked, int width, int height) {
    const HWND parent = docked ? GetParent(p.mainWindow) : nullptr;
    if (Last.valid && Last.docked == docked && Last.parent == parent &&
        (docked ||
         (Last.x == p.x && Last.y == p.y && Last.width == width && Last.height == height)))
        return Last.work;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (docked) {
        HMONITOR monitor = MonitorFromWindow(parent, MONITOR_DEFAULTTONEAREST);
        return Remember(true, parent, p, width, height,
                        GetMonitorInfoA(monitor, &info) ? info.rcWork : RECT{});
    }
    RECT window = {p.x, p.y, p.x, p.y}, common;
    if (static_cast<long long>(p.x) + width <= INT_MAX &&
        static_cast<long long>(p.y) + height <= INT_MAX) {
        window.right = p.x + width;
        window.bottom = p.y + height;
        if (GetMonitorInfoA(MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST), &info) &&
            IntersectRect(&common, &info.rcWork, &window))
            return Remember(false, nullptr, p, width, height, info.rcWork);
    }
    BringBackOnScreen(p, width, height);
    const POINT at = {p.x, p.y};
    return Remember(false, nullptr, p, width, height,
                    GetMonitorInfoA(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info)
                        ? info.rcWork
                        : RECT{});
}

void KeepInWorkArea(PluginInstance& p, RECT work, int width, int height) {
    if (work.right <= work.left || work.bottom <= work.top) return;
    p.x = PullBack(p.x, width, work.left, work.right);
    p.y = PullBack(p.y, height, work.top, work.bottom);
}
