#include "ui/DisplayChanges.h"

#include "core/PluginInstance.h"
#include "ui/Layout.h"
#include "ui/RowLayout.h"
#include "ui/SystemLook.h"
#include "ui/Translucency.h"
#include "ui/WorkArea.h"

namespace {

void RedrawAll(const PluginInstance& p) {
    RedrawWindow(p.mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TakeDpi(PluginInstance& p, int dpi) {
    p.dpi = dpi;
    ForgetWorkArea(); // on another monitor, most likely
    ApplyEditFont(p);
    LayOutRows();
    RedrawAll(p);
}

} // namespace

void ApplyEditFont(PluginInstance& p) {
    HFONT font = CreateFontA(Scale(p.fontHeight, p.dpi), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, p.fontFace);
    SendMessageA(p.editControl, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    if (p.editFont) DeleteObject(p.editFont);
    p.editFont = font;
}

void ReadDisplay(PluginInstance& p) {
    p.dpi = WindowDpi(p.mainWindow);
    p.highContrast = HighContrastOn();
}

// The system suggests a place and a size for the new DPI; the size follows
// from the layout, the place is taken as suggested (then kept on screen)
// when it is a rectangle windows can have. Docked, the slit places the
// window. The DPI is the window's, as at start: any program can send the
// message, with any words.
void OnDpiChanged(const RECT* suggested) {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    const bool believable = suggested && suggested->left < suggested->right &&
                            suggested->top < suggested->bottom && suggested->left >= -32768 &&
                            suggested->top >= -32768 && suggested->right <= 32767 &&
                            suggested->bottom <= 32767;
    if (believable && !(GetWindowLongA(p->mainWindow, GWL_STYLE) & WS_CHILD)) {
        p->x = suggested->left;
        p->y = suggested->top;
    }
    TakeDpi(*p, WindowDpi(p->mainWindow));
}

void OnDpiChangedAfterParent() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    const int dpi = WindowDpi(p->mainWindow);
    if (dpi != p->dpi) TakeDpi(*p, dpi);
}

// Turning high contrast off brings the style back; either way translucency
// follows and every window repaints at once. The style file is not read.
void OnSystemLookChanged() {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) return;
    p->highContrast = HighContrastOn();
    if (p->transparencySupported && p->transparencyOn)
        ApplyTranslucency(p->mainWindow, !p->highContrast, p->alpha);
    RedrawAll(*p);
}

void EnsureListener(PluginInstance& p) {
    if (p.listener) return;
    // Of the plug-in's own class (ChildWindows' PluginClassName), so the main
    // window's procedure hears for it.
    p.listener = CreateWindowExW(WS_EX_TOOLWINDOW, L"zelk", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, p.module, nullptr);
}
