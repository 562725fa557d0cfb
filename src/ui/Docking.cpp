#include "ui/Docking.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "ui/ChangePath.h"
#include "ui/DisplayChanges.h"
#include "ui/InPlaceEdit.h"
#include "ui/RowLayout.h"

namespace {

// The slit takes the window as at start: it makes it its child and lays
// itself out. The floating place is kept for the way back, since the slit
// moves the window and its place then tells where it sits in the slit.
void Dock(PluginInstance& p) {
    p.floatingX = p.x;
    p.floatingY = p.y;
    InSlit = true;
    EnsureListener(p);
    SendMessageA(SlitWindow, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(p.mainWindow));
    SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    OnDpiChangedAfterParent(); // the slit may sit on a monitor of another DPI
}

// The slit has no message to let a window go: the window becomes a popup
// of the desktop again (the parent changes first, then the style), the slit
// lays out what it still holds, and the window goes back to where it last
// floated in this session.
void FloatFree(PluginInstance& p) {
    InSlit = false;
    SetParent(p.mainWindow, nullptr);
    LONG style = GetWindowLongA(p.mainWindow, GWL_STYLE);
    SetWindowLongA(p.mainWindow, GWL_STYLE, (style & ~WS_CHILD) | WS_POPUP);
    SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    p.x = p.floatingX;
    p.y = p.floatingY;
    LayOutRows();
    SetWindowPos(p.mainWindow, p.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    InvalidateRect(p.mainWindow, nullptr, TRUE);
}

} // namespace

bool SlitOffered() {
    return SlitWindow && IsWindow(SlitWindow);
}

void ToggleDocking() {
    SetDocked(!InSlit, Origin::user);
}

// The step that takes it back is the setting as it was. Docking has no list
// record, so an undo of it goes this way rather than the change path.
void SetDocked(bool docked, Origin origin) {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow || !SlitOffered() || docked == InSlit) return;
    Change* inverse = NewChange(ChangeKind::setting);
    if (inverse) {
        inverse->setting = KeyInSlit;
        inverse->value = InSlit;
    }
    Remember(inverse, StepDock, origin);
    BeginReparenting();
    if (InSlit) {
        FloatFree(*p);
    } else {
        Dock(*p);
    }
    EndReparenting();
    SaveNow();
}
