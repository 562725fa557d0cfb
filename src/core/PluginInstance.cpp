#include "core/PluginInstance.h"

#include <new>
#include <stdlib.h>

#include "core/HostBinding.h"
#include "core/ModalLoop.h"

PluginInstance* ThePlugin = nullptr;
bool InSlit = false;
HWND SlitWindow = nullptr;

// Layered windows exist from NT 5 on; earlier systems keep the setting but
// never apply it.
static bool SystemSupportsTransparency() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4;
}

PluginInstance::PluginInstance(HINSTANCE moduleHandle) : module(moduleHandle) {
    hostWindow = Host.GetCorvaneWnd();
    transparencySupported = SystemSupportsTransparency();
    LocateSettings();
    FindTarget();
    ReadStyle();
    ReadSettings();
    ReadStyle();
}

PluginInstance* PluginInstance::Create(HINSTANCE module) {
    void* memory = malloc(sizeof(PluginInstance));
    return memory ? new (memory) PluginInstance(module) : nullptr;
}

void PluginInstance::Destroy(PluginInstance* instance) {
    if (!instance) return;
    instance->~PluginInstance();
    free(instance);
    ++InstancesDestroyed;
}

// The edit font goes too: the shell may load and unload the plug-in many
// times in one process, and each unload would otherwise leave a font behind.
// The configuration menu shows the settings as they were when it was made:
// a change lets it go.
void ReleaseConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    ReleaseHostMenu(p->menu);
    p->menu = nullptr;
}

PluginInstance::~PluginInstance() {
    ReleaseHostMenu(menu);
    if (editFont) DeleteObject(editFont);
    free(styleRecord);
    free(keptLines);
    free(startBytes);
    if (saveMutex) CloseHandle(saveMutex);
}
