#include "ui/Commands.h"

#include <string.h>

#include "core/HostBinding.h"
#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "data/History.h"
#include "data/Text.h"
#include "ui/Docking.h"
#include "data/Document.h"
#include "ui/Keyboard.h"
#include "ui/ListActions.h"

namespace {

const char InternalPrefix[] = "@ovletInternal";

// The three toggles set the value opposite to the one the user saw.
void ToggleAlwaysOnTop(PluginInstance& p) {
    ChangeSetting(KeyOnTop, !p.alwaysOnTop);
}

void ToggleSnapToEdges(PluginInstance& p) {
    ChangeSetting(KeySnap, !p.snapToEdges);
}

void ToggleTransparency(PluginInstance& p) {
    if (p.transparencySupported) ChangeSetting(KeyTransparency, !p.transparencyOn);
}

void ShowAbout(PluginInstance& p) {
    ModalLoop loop;
    MessageBoxA(p.hostWindow, "zelk 1.0", "About ovlet", MB_ICONINFORMATION);
}

// The width after "Width": exactly one whole number from 30 to 4000 and
// nothing after it, else 0. No sign, no fraction; digits past the fifth
// already make it too large, so nothing overflows.
int WidthOf(const char* number, const char* rest) {
    if (!number[0] || rest[0]) return 0;
    int value = 0;
    for (int i = 0; number[i]; ++i) {
        if (number[i] < '0' || number[i] > '9' || i >= 5) return 0;
        value = value * 10 + (number[i] - '0');
    }
    return value >= MinWindowWidth && value <= MaxWindowWidth ? value : 0;
}

void RunInternalCommand(PluginInstance& p, const char* text) {
    static char first[CommandSize], second[CommandSize], third[CommandSize], remainder[CommandSize];
    first[0] = second[0] = third[0] = remainder[0] = '\0';
    char* tokens[3] = {first, second, third};
    Host.CorvaneTokenize(text, tokens, 3, remainder);
    second[CommandSize - 1] = third[CommandSize - 1] = remainder[CommandSize - 1] = '\0';
    if (EqualsIgnoringCase(second, "AlwaysOnTop")) {
        ToggleAlwaysOnTop(p);
    } else if (EqualsIgnoringCase(second, "SnapWindowToEdge")) {
        ToggleSnapToEdges(p);
    } else if (EqualsIgnoringCase(second, "Transparency")) {
        ToggleTransparency(p);
    } else if (EqualsIgnoringCase(second, "About")) {
        ShowAbout(p);
    } else if (EqualsIgnoringCase(second, "UndoDelete")) {
        UndoDelete();
    } else if (EqualsIgnoringCase(second, "Undo")) {
        Undo();
    } else if (EqualsIgnoringCase(second, "Redo")) {
        Redo();
    } else if (EqualsIgnoringCase(second, "RemoveTicked")) {
        RemoveTickedEntries();
    } else if (EqualsIgnoringCase(second, "InSlit")) {
        ToggleDocking();
    } else if (EqualsIgnoringCase(second, "Focus")) {
        FocusCommand();
    } else if (EqualsIgnoringCase(second, "Width")) {
        if (int width = WidthOf(third, remainder)) SetWindowWidth(width);
    }
}

// The item that undoes (or redoes) the newest step, named by what it did and
// the entry's text as the shell's 8-bit menu can show it: in the system's
// code page, at most 24 characters (21 and "..." when longer), never half
// of one. A text the code page cannot write leaves the action alone.
void AddStepItem(HostMenu menu, bool redo) {
    static const char* const names[] = {
        "Tick",         "Untick",        "Edit",  "Add",           "Delete",
        "Move",         "Remove Ticked", "Width", "Always On Top", "Snap Window To Edge",
        "Transparency", "Dock In Slit"};
    int name = 0;
    const Change* step = PeekStep(redo, false, &name);
    if (!step) return;
    char label[128];
    const int length =
        FormatText(label, sizeof label, "%s %s", redo ? "Redo" : "Undo", names[name]);
    const bool many = step->kind == ChangeKind::restore || step->kind == ChangeKind::removeTicked;
    if (step->kind != ChangeKind::setting && (!many || step->count == 1)) {
        wchar_t wide[TextUnits];
        Utf8ToWide(wide, TextUnits, many ? step->entries[0].text : step->text);
        int characters = 0, cut = 0;
        for (int i = 0; wide[i]; ++i) {
            if (!IS_LOW_SURROGATE(wide[i]) && ++characters == 22) cut = i;
        }
        if (characters > 24) memcpy(wide + cut, L"...", sizeof L"...");
        char ansi[100];
        BOOL lost = FALSE;
        const bool utf8 = GetACP() == CP_UTF8; // which refuses the flag and the question
        if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, ansi,
                                sizeof ansi, nullptr, utf8 ? nullptr : &lost) &&
            !lost)
            FormatText(label + length, sizeof label - length, " \"%s\"", ansi);
    }
    Host.MakeMenuItem(menu, label, redo ? "@ovletInternal Redo" : "@ovletInternal Undo", false);
}

} // namespace

// Texts longer than the command buffer are cut to its 4095 characters.
void HandleCommand(const char* text) {
    PluginInstance* p = ThePlugin;
    if (!p || !text) return;
    char command[CommandSize];
    CopyText(command, sizeof command, text);
    if (EqualsIgnoringCase(command, "@CorvaneShowPlugins")) {
        ShowWindow(p->mainWindow, SW_SHOWNA);
        InvalidateRect(p->mainWindow, nullptr, TRUE);
    } else if (EqualsIgnoringCase(command, "@CorvaneHidePlugins")) {
        ShowWindow(p->mainWindow, SW_HIDE);
    } else if (Host.IsInString(command, InternalPrefix)) {
        RunInternalCommand(*p, command);
    }
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
    if (SlitOffered())
        Host.MakeMenuItem(configuration, "Dock In Slit", "@ovletInternal InSlit", InSlit);
    HostMenu widths = Host.MakeMenu("Width");
    static const int offered[] = {100, 150, 200, 300};
    for (int width : offered) {
        char label[8], command[32];
        FormatText(label, sizeof label, "%d", width);
        FormatText(command, sizeof command, "@ovletInternal Width %d", width);
        Host.MakeMenuItem(widths, label, command, p->width == width);
    }
    Host.MakeSubmenu(configuration, widths, "Width");
    Host.MakeSubmenu(p->menu, configuration, "Window");
    AddStepItem(p->menu, false);
    AddStepItem(p->menu, true);
    if (PeekStep(false, true, nullptr))
        Host.MakeMenuItem(p->menu, "Undo Delete", "@ovletInternal UndoDelete", false);
    if (AnyEntryTicked())
        Host.MakeMenuItem(p->menu, "Remove Ticked Entries", "@ovletInternal RemoveTicked", false);
    Host.MakeMenuItem(p->menu, "About ovlet...", "@ovletInternal About", false);
    ShowHostMenu(p->menu);
}
