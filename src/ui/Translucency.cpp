#include "ui/Translucency.h"

// SetLayeredWindowAttributes is looked up once, since older systems lack it.
BOOL SetWindowAlpha(HWND window, COLORREF colourKey, BYTE alpha, DWORD flags) {
    typedef BOOL(WINAPI * SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);
    static int state = 0; // 0 not looked up, 1 not available, 2 available
    static SetLayeredFn setLayered = nullptr;
    if (state == 0) {
        HMODULE user32 = GetModuleHandleA("USER32");
        setLayered = user32 ? reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(
                                  GetProcAddress(user32, "SetLayeredWindowAttributes")))
                            : nullptr;
        state = setLayered ? 2 : 1;
    }
    if (state == 2) return setLayered(window, colourKey, alpha, flags);
    return 1;
}

// A value above 255 is opaque; one whose effect is under 10 % would leave a
// window nobody can see or find, so it is raised to 26.
void ApplyWindowAlpha(HWND window, int alpha) {
    const int effective = alpha > 255 ? 255 : alpha < MinimumAlpha ? MinimumAlpha : alpha;
    SetWindowAlpha(window, 0, static_cast<BYTE>(effective), LWA_ALPHA);
}

void ApplyTranslucency(HWND window, bool on, int alpha) {
    SetWindowLongA(window, GWL_EXSTYLE, on ? WS_EX_LAYERED | WS_EX_TOOLWINDOW : WS_EX_TOOLWINDOW);
    if (on) ApplyWindowAlpha(window, alpha);
}
