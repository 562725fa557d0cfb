// The slit: a dock window at the right edge of the primary work area that
// stacks the windows sent to it, top to bottom.
#include <algorithm>
#include <vector>

#include "HostPrivate.h"

namespace {

const char* const slitClass = "DevHostSlit";
const int margin = 2;

HWND slitWindow;
std::vector<HWND> docked;
int updates; // SLITMSG_UPDATE received since the slit was made

void layOut() {
    if (!slitWindow) return;
    int y = margin, widest = 0;
    for (HWND w : docked) {
        RECT r;
        GetWindowRect(w, &r);
        SetWindowPos(w, NULL, margin, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        y += (r.bottom - r.top) + margin;
        widest = std::max(widest, int(r.right - r.left));
    }
    int width = std::max(widest + 2 * margin, 4), height = std::max(y, 4);
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int top = work.top + ((work.bottom - work.top) - height) / 2;
    SetWindowPos(slitWindow, NULL, work.right - width, top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(slitWindow, NULL, TRUE);
}

void dock(HWND window) {
    if (!IsWindow(window) || window == slitWindow) return;
    if (std::find(docked.begin(), docked.end(), window) == docked.end()) {
        // The style changes before the parent does, as a popup turning into a child must.
        LONG style = GetWindowLongA(window, GWL_STYLE);
        SetWindowLongA(window, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD);
        SetParent(window, slitWindow);
        docked.push_back(window);
    }
    layOut();
}

void dropGone() {
    docked.erase(std::remove_if(docked.begin(), docked.end(),
                                [](HWND w) { return !IsWindow(w) || GetParent(w) != slitWindow; }),
                 docked.end());
}

LRESULT CALLBACK slitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case SLITMSG_ADD:
        dock(reinterpret_cast<HWND>(lParam));
        return 0;
    case SLITMSG_UPDATE:
        ++updates;
        dropGone();
        layOut();
        return 0;
    case WM_DESTROY:
        docked.clear();
        if (window == slitWindow) slitWindow = NULL;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void host::destroySlit() {
    HostDestroySlit();
}

extern "C" {

HWND HostCreateSlit(void) {
    if (slitWindow && IsWindow(slitWindow)) return slitWindow;
    HINSTANCE instance = GetModuleHandleA(NULL);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = slitProc;
    wc.hInstance = instance;
    wc.lpszClassName = slitClass;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;
    slitWindow = CreateWindowExA(WS_EX_TOOLWINDOW, slitClass, "", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                 4, 4, NULL, NULL, instance, NULL);
    if (!slitWindow) return NULL;
    updates = 0;
    layOut();
    ShowWindow(slitWindow, SW_SHOWNOACTIVATE);
    return slitWindow;
}

void HostDestroySlit(void) {
    if (slitWindow && IsWindow(slitWindow)) DestroyWindow(slitWindow);
    slitWindow = NULL;
    docked.clear();
}

int HostSlitCount(void) {
    return int(docked.size());
}
HWND HostSlitWindow(int index) {
    return index >= 0 && index < HostSlitCount() ? docked[index] : NULL;
}
int HostSlitUpdateCount(void) {
    return updates;
}

} // extern "C"
