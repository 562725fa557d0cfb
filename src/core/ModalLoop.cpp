#include "core/ModalLoop.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"

namespace {

HostMenu Showing = nullptr; // the menu whose ShowMenu call has not returned
bool ReleaseWanted = false; // a release of it came meanwhile
int Depth = 0;              // loops of ours under way

} // namespace

ModalLoop::ModalLoop() : module_(nullptr), destroyedBefore_(InstancesDestroyed) {
    ++Depth;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&HostMenuShowing), &module_))
        module_ = nullptr;
}

ModalLoop::~ModalLoop() {
    --Depth;
    if (module_ && !InstanceEnded()) FreeLibrary(module_);
}

bool InModalLoop() {
    return Depth > 0;
}

// The configuration menu shows the settings as they were when it was made:
// a change lets it go.
void ReleaseConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    ReleaseHostMenu(p->menu);
    p->menu = nullptr;
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
