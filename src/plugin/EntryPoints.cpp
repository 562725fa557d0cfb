// The four functions the shell calls: start, start docked, stop, identify.
#include "plugin/EntryPoints.h"
#include "core/HostBinding.h"
#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "ui/Accessibility.h"
#include "ui/ChangePath.h"
#include "ui/InPlaceEdit.h"
#include "ui/PluginWindows.h"
#include "ui/SaveWarning.h"

namespace {

// A shell that lacks a function the plug-in calls would crash on first use;
// the start is refused instead, naming what is missing.
bool BindHostOrComplain() {
    if (HostFunctionsBound()) return true;
    const char* missing = BindHostFunctions(GetModuleHandleA(nullptr));
    if (!missing) return true;
    char text[256];
    FormatText(text, sizeof text, "The shell does not provide the function %s.", missing);
    ModalLoop loop;
    MessageBoxA(nullptr, text, "zelk 1.0", MB_ICONERROR | MB_TOPMOST);
    return false;
}

} // namespace

extern "C" {

// The DLL's entry point, called by the loader without any C runtime start-up
// (see CMakeLists.txt): there is nothing to set up or tear down.
BOOL WINAPI DllEntry(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

int __cdecl beginPlugin(HINSTANCE module) {
    // One instance per process: a second start without an end is refused
    // rather than allowed to orphan the first one's windows and entries.
    if (ThePlugin || !BindHostOrComplain()) return 1;
    ItemCount = 0;
    ThePlugin = PluginInstance::Create(module);
    if (!ThePlugin) return 1;
    if (CreatePluginWindows() != 0) {
        PluginInstance::Destroy(ThePlugin);
        ThePlugin = nullptr;
        return 1;
    }
    return 0;
}

int __cdecl beginSlitPlugin(HINSTANCE module, HWND slit) {
    if (ThePlugin) return 1;
    SlitWindow = slit;
    int result = beginPlugin(module);
    if (result != 0) SlitWindow = nullptr;
    return result;
}

// A last save that fails is told before the end returns, unless a box in
// the same run of failures already told it. The box comes after everything
// is released, so nothing it lets happen can meet a half-ended plug-in.
void __cdecl endPlugin() {
    if (!ThePlugin) return;
    // Screen readers' calls are refused from here on, before anything ends.
    DisconnectAccessible();
    // An open edit is stored with the last save.
    Change* edit = TakeOpenEdit();
    const bool saved = edit ? (Perform(edit), !ThePlugin->inFailureRun) : ThePlugin->Save();
    char warning[2048];
    warning[0] = '\0';
    if (!saved && !ThePlugin->failureBoxShown)
        ComposeUnloadWarning(*ThePlugin, warning, sizeof warning);
    DestroyPluginWindows();
    PluginInstance::Destroy(ThePlugin);
    ThePlugin = nullptr;
    if (SlitWindow) SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    // The slit was given for this start only: a later start without one
    // must not dock into it, nor offer it.
    SlitWindow = nullptr;
    if (warning[0]) ShowWarningBox(warning);
}

const char* __cdecl pluginInfo(int field) {
    switch (field) {
    case 1:
        return "zelk";
    case 2:
        return "1.0";
    case 3:
        return "The zelk developers";
    case 4:
        return "2026-12-8";
    case 5:
        return "https://zelk.example.org/";
    case 6:
        return "zelk@example.org";
    default:
        return "zelk 1.0";
    }
}

} // extern "C"
