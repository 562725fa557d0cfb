#include "ui/Commands.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/Text.h"

namespace {

const char InternalPrefix[] = "@ovletInternal";

void ToggleAlwaysOnTop(PluginInstance& p) {
    p.alwaysOnTop = !p.alwaysOnTop;
    Host.WriteBool(p.settingsPath, "zelk.alwaysOnTop:", p.alwaysOnTop);
    SetWindowPos(p.mainWindow, p.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void ToggleSnapToEdges(PluginInstance& p) {
    p.snapToEdges = !p.snapToEdges;
    Host.WriteBool(p.settingsPath, "zelk.snapWindow:", p.snapToEdges);
}

void ToggleTransparency(PluginInstance& p) {
    if (!p.transparencySupported) return;
    if (p.transparencyOn) {
        p.transparencyOn = false;
        SetWindowLongA(p.mainWindow, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    } else {
        p.transparencyOn = true;
        SetWindowLongA(p.mainWindow, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
        SetWindowAlpha(p.mainWindow, 0, static_cast<BYTE>(p.alpha), LWA_ALPHA);
    }
    Host.WriteBool(p.settingsPath, "zelk.transparency:", p.transparencyOn);
}

void ShowAbout(PluginInstance& p) {
    MessageBoxA(p.hostWindow, "zelk 1.0", "About ovlet", MB_ICONINFORMATION);
}

void RunInternalCommand(PluginInstance& p, const char* text) {
    static char first[CommandSize], second[CommandSize], remainder[CommandSize];
    first[0] = second[0] = remainder[0] = '\0';
    char* tokens[2] = {first, second};
    Host.CorvaneTokenize(text, tokens, 2, remainder);
    second[CommandSize - 1] = '\0';
    if (EqualsIgnoringCase(second, "AlwaysOnTop")) {
        ToggleAlwaysOnTop(p);
    } else if (EqualsIgnoringCase(second, "SnapWindowToEdge")) {
        ToggleSnapToEdges(p);
    } else if (EqualsIgnoringCase(second, "Transparency")) {
        ToggleTransparency(p);
    } else if (EqualsIgnoringCase(second, "About")) {
        ShowAbout(p);
    }
}

} // namespace

// Texts longer than the command buffer are cut to its 4095 characters.
void HandleCommand(const char* text) {
    PluginInstance* p = ThePlugin;
    if (!p || !text) return;
    char command[CommandSize];
    CopyText(command, sizeof command, text);
    if (EqualsIgnoringCase(command, "@CorvaneShowPlugins")) {
        ShowWindow(p->mainWindow, SW_SHOW);
        InvalidateRect(p->mainWindow, nullptr, TRUE);
    } else if (EqualsIgnoringCase(command, "@CorvaneHidePlugins")) {
        ShowWindow(p->mainWindow, SW_HIDE);
    } else if (Host.IsInString(command, InternalPrefix)) {
        RunInternalCommand(*p, command);
    }
}

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

void ReleaseConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (p && p->menu && Host.DelMenu) Host.DelMenu(p->menu);
    if (p) p->menu = nullptr;
}

// The shell menu with the plug-in's settings, offered on a Control-right-click.
void ShowConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (!p || !Host.MakeMenu) return;
    ReleaseConfigurationMenu();
    p->menu = Host.MakeMenu("ovlet");
    HostMenu configuration = Host.MakeMenu("Configuration");
    Host.MakeMenuItem(configuration, "Always On Top", "@ovletInternal AlwaysOnTop", p->alwaysOnTop);
    Host.MakeMenuItem(configuration, "Snap Window To Edge", "@ovletInternal SnapWindowToEdge",
                      p->snapToEdges);
    if (p->transparencySupported) {
        Host.MakeMenuItem(configuration, "Transparency", "@ovletInternal Transparency",
                          p->transparencyOn);
    }
    Host.MakeSubmenu(p->menu, configuration, "Window");
    Host.MakeMenuItem(p->menu, "About ovlet...", "@ovletInternal About", false);
    Host.ShowMenu(p->menu);
}
