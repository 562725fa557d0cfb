#include "ui/SaveWarning.h"

#include <string.h>

#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "data/Text.h"

namespace {

constexpr size_t WarningSize = 2048;

// The system's own words for an error, without the line break it ends with.
void ReasonFor(DWORD error, char* text, size_t size) {
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, static_cast<DWORD>(size), nullptr);
    if (n == 0) {
        FormatText(text, size, "Error %lu.", static_cast<unsigned long>(error));
        return;
    }
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' '))
        text[--n] = '\0';
}

} // namespace

void ComposeUnloadWarning(const PluginInstance& p, char* text, size_t size) {
    char reason[512];
    char path[PathSize * 3];
    WideToUtf8(path, sizeof path, p.settingsPath);
    ReasonFor(p.saveError, reason, sizeof reason);
    FormatText(text, size,
               "zelk could not save its settings file\n\n%s\n\n%s\n\n"
               "The changes since the last good save could not be written.",
               path, reason);
}

// No owner, so that neither the shell nor zelk is disabled while it is open.
// The text is UTF-8: the path in it may lie outside the code page.
void ShowWarningBox(const char* text) {
    static wchar_t wide[2048];
    Utf8ToWide(wide, sizeof wide / sizeof wide[0], text);
    ModalLoop loop;
    MessageBoxW(nullptr, wide, L"zelk 1.0", MB_ICONWARNING | MB_TOPMOST);
}

// A run of failures that ended before its message came is not told: the
// next good save ends a run silently.
void TellSettingsProblem() {
    PluginInstance* p = ThePlugin;
    if (!p || !p->warnings) return;
    const int pending = p->warnings;
    p->warnings = 0;
    char text[WarningSize] = {};
    char reason[512];
    char path[PathSize * 3];
    WideToUtf8(path, sizeof path, p->settingsPath);
    bool failure = p->inFailureRun && !p->failureBoxShown;
    if (failure && (pending & WarnUnreadable)) {
        ReasonFor(p->runError, reason, sizeof reason);
        FormatText(text, sizeof text,
                   "zelk could not read its settings file\n\n%s\n\n%s\n\n"
                   "The file is left as it is and is not replaced while it cannot be read. "
                   "The entries stay in the window and are saved at the next change once it "
                   "can be read.",
                   path, reason);
    } else if (failure && (pending & WarnSaveFailed)) {
        ReasonFor(p->runError, reason, sizeof reason);
        FormatText(text, sizeof text,
                   "zelk could not save its settings file\n\n%s\n\n%s\n\n"
                   "The entries stay in the window and are saved at the next change.",
                   path, reason);
    }
    if (!text[0]) return;
    if (failure) p->failureBoxShown = true;
    // The box runs its own message loop: anything, even the end of the
    // plug-in, may happen before it returns, so nothing is touched after it.
    ShowWarningBox(text);
}
