#include "ui/SystemLook.h"

int (*DpiSource)(HWND window) = nullptr;
bool (*HighContrastSource)() = nullptr;

// 100% to 500%: whatever a window claims, a row stays at least a pixel tall
// and the window within what a bitmap can hold.
static int ClampDpi(int dpi) {
    return dpi < 96 ? 96 : dpi > 480 ? 480 : dpi;
}

// Looked up once: systems before Windows 10 (1607) lack the function. zelk
// never changes the process's or a thread's awareness: that is the shell's.
int WindowDpi(HWND window) {
    if (DpiSource) return ClampDpi(DpiSource(window));
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static int state = 0; // 0 not looked up, 1 not available, 2 available
    static GetDpiForWindowFn getDpi = nullptr;
    if (state == 0) {
        HMODULE user32 = GetModuleHandleA("USER32");
        getDpi = user32 ? reinterpret_cast<GetDpiForWindowFn>(
                              reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                        : nullptr;
        state = getDpi ? 2 : 1;
    }
    int dpi = state == 2 && window ? static_cast<int>(getDpi(window)) : 0;
    if (dpi <= 0) {
        HDC dc = GetDC(window);
        if (dc) {
            dpi = GetDeviceCaps(dc, LOGPIXELSY);
            ReleaseDC(window, dc);
        }
    }
    return ClampDpi(dpi);
}

bool HighContrastOn() {
    if (HighContrastSource) return HighContrastSource();
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}
