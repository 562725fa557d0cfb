#include "core/ModalLoop.h"

#include "core/HostBinding.h"

namespace {

HostMenu Showing = nullptr; // the menu whose ShowMenu call has not returned
bool ReleaseWanted = false; // a release of it came meanwhile
int Depth = 0;              // loops of ours under way
HWND KeyboardHome = nullptr;

} // namespace

unsigned InstancesDestroyed = 0;

ModalLoop::ModalLoop()
    : module_(nullptr), destroyedBefore_(InstancesDestroyed),
      keyboard_(KeyboardHome && GetFocus() == KeyboardHome ? KeyboardHome : nullptr) {
    ++Depth;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&HostMenuShowing), &module_))
        module_ = nullptr;
}

ModalLoop::~ModalLoop() {
    --Depth;
    if (keyboard_ && keyboard_ == KeyboardHome && !InstanceEnded() && GetFocus() != keyboard_) {
        const HWND root = GetAncestor(keyboard_, GA_ROOT);
        if (GetActiveWindow() != root) SetForegroundWindow(root);
        SetFocus(keyboard_);
    }
    if (module_ && !InstanceEnded()) FreeLibrary(module_);
}

void SetKeyboardHome(HWND window) {
    KeyboardHome = window;
}

bool InModalLoop() {
    return Depth > 0;
}

bool ModalLoop::InstanceEnded() const {
    return InstancesDestroyed != destroyedBefore_;
}

// The shell may read the menu until ShowMenu returns, so a release asked for
// inside its loop (a style change, a committed edit, the end of the plug-in)
// waits until then.
void ShowHostMenu(HostMenu menu) {
    if (!menu || !Host.ShowMenu || Showing) return;
    ModalLoop loop;
    Showing = menu;
    Host.ShowMenu(menu);
    Showing = nullptr;
    if (ReleaseWanted && Host.DelMenu) Host.DelMenu(menu);
    ReleaseWanted = false;
}

void ReleaseHostMenu(HostMenu menu) {
    if (!menu || !Host.DelMenu) return;
    if (menu == Showing)
        ReleaseWanted = true;
    else
        Host.DelMenu(menu);
}

bool HostMenuShowing() {
    return Showing != nullptr;
}
