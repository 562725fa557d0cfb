#include "ui/Commands.h"

#include "core/HostBinding.h"
#include "core/ModalLoop.h"
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
        ApplyWindowAlpha(p.mainWindow, p.alpha);
    }
    Host.WriteBool(p.settingsPath, "zelk.transparency:", p.transparencyOn);
}

void ShowAbout(PluginInstance& p) {
    ModalLoop loop;
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

// Only the setting's low 8 bits reach the system, as they always have; a
// value whose effect is under 10 % would leave a window nobody can see or
// find, so it is raised to 26.
void ApplyWindowAlpha(HWND window, int alpha) {
    BYTE effective = static_cast<BYTE>(alpha & 0xFF);
    SetWindowAlpha(window, 0, effective < MinimumAlpha ? MinimumAlpha : effective, LWA_ALPHA);
}

void ReleaseConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    ReleaseHostMenu(p->menu);
    p->menu = nullptr;
}

// The shell menu with the plug-in's settings, offered on a Control-right-click.
// A request from inside the loop of a menu still shown is ignored. Once
// ShowMenu returns the instance may be gone: nothing of it is read after.
void ShowConfigurationMenu() {
    PluginInstance* p = ThePlugin;
    if (!p || !Host.MakeMenu || HostMenuShowing()) return;
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
    ShowHostMenu(p->menu);
}
