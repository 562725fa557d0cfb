// The settings file "zelk.rc": where it is, how the instance takes its
// settings and entries from it, and how it is written whole.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/SettingsText.h"
#include "data/Text.h"

namespace {

// One at a time: the plug-in runs on the shell's one window thread.
ParsedFile Parsed;

// Joins a directory (with its trailing backslash) and a file name; false when
// the result would not fit a path buffer, so such a candidate is skipped.
bool JoinPath(wchar_t (&out)[PathSize], const wchar_t* directory, const wchar_t* name) {
    size_t d = wcslen(directory), n = wcslen(name);
    if (d + n >= PathSize) return false;
    memcpy(out, directory, d * sizeof(wchar_t));
    memcpy(out + d, name, (n + 1) * sizeof(wchar_t));
    return true;
}

bool FileExists(const wchar_t* path) {
    return path[0] && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Sets out to the first candidate that exists in the directory.
bool FindCandidate(wchar_t (&out)[PathSize], const wchar_t* directory) {
    static const wchar_t* const names[] = {L"zelk.rc", L"zelkrc"};
    for (const wchar_t* name : names) {
        if (JoinPath(out, directory, name) && FileExists(out)) return true;
    }
    return false;
}

const char* BoolText(bool value) {
    return value ? "true" : "false";
}

// Writes one whole buffer; on a full disk a short write is reported as
// success, so the count is checked too and then told as a full disk.
bool WriteAll(HANDLE file, const char* text, size_t length, DWORD& error) {
    while (length > 0) {
        DWORD part = length > 0x100000 ? 0x100000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, text, part, &written, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (written != part) {
            error = ERROR_DISK_FULL;
            return false;
        }
        text += part;
        length -= part;
    }
    return true;
}

} // namespace

void PluginInstance::TakeCreationDefaults() {
    x = 10;
    y = 10;
    alwaysOnTop = true;
    snapToEdges = true;
    transparencyOn = false;
    InSlit = false;
    alpha = 200;
    width = 100;
}

void PluginInstance::LocateSettings() {
    wchar_t directory[PathSize] = {};
    DWORD length = GetModuleFileNameW(module, directory, PathSize);
    if (length == 0 || length >= PathSize) {
        directory[0] = L'\0'; // a cut module path names no directory
    } else {
        int i = static_cast<int>(length) - 1;
        while (i > 0 && directory[i] != L'\\')
            --i;
        directory[directory[i] == L'\\' ? i + 1 : 0] = L'\0';
    }

    if (directory[0] && FindCandidate(settingsPath, directory)) return;

    wchar_t fallback[PathSize] = {};
    bool haveFallback = directory[0] && JoinPath(fallback, directory, L"zelk.rc");

    // The shell names its folder in the code page: it must be nameable there.
    char hostText[PathSize] = {};
    Host.GetCorvanePath(hostText, PathSize);
    hostText[PathSize - 1] = '\0';
    wchar_t hostDirectory[PathSize] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, hostText, -1, hostDirectory, PathSize))
        hostDirectory[0] = L'\0';
    if (hostDirectory[0] && FindCandidate(settingsPath, hostDirectory)) return;

    if (!haveFallback) JoinPath(fallback, hostDirectory, L"zelk.rc");
    memcpy(settingsPath, fallback, sizeof settingsPath);
    TakeCreationDefaults();
    ItemCount = 0;
    CreateDefaultFile();
}

// Only where no file is: a file that exists (the search above may have missed
// it for a moment) is never replaced by the defaults.
void PluginInstance::CreateDefaultFile() {
    if (!settingsPath[0]) return;
    HANDLE file = CreateFileW(settingsPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    CloseHandle(file);
    // The empty file reads as the defaults; the whole default file replaces
    // it in one step, as every save does.
    settingsRead = true;
    WriteSettings();
}

// One read of the whole file: zelk's settings and entries are taken from it,
// every other line is kept. A file that exists but cannot be read leaves the
// defaults in place and is marked never to be written over.
void PluginInstance::ReadSettings() {
    ItemCount = 0;
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, PatienceAtStart);
    if (read == FileRead::missing) {
        TakeCreationDefaults();
        settingsRead = false;
        CreateDefaultFile();
        if (settingsRead) return;
        read = ReadWholeFile(settingsPath, bytes, length, error, PatienceAtStart);
        // Still no file and none could be made: there is nothing to protect,
        // so the first save may create it.
        if (read == FileRead::missing) {
            settingsRead = true;
            return;
        }
    }
    ParsedFile* parsed = &Parsed;
    char* kept = nullptr;
    size_t keptBytes = 0;
    if (read == FileRead::ok) {
        Parse(bytes, length, *parsed);
        if (!KeepUnloadedLines(*parsed, kept, keptBytes)) {
            read = FileRead::unreadable;
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    if (read != FileRead::ok) {
        free(bytes);
        TakeCreationDefaults();
        settingsRead = false;
        readError = error;
        StartFailureRun(error);
        Warn(WarnUnreadable);
        return;
    }
    ApplySettings(*this, *parsed);
    ItemCount = TakeEntries(*parsed, LoadedText, LoadedDone);
    free(keptLines);
    keptLines = kept;
    keptLength = keptBytes;
    settingsRead = true;
    free(bytes);
}

// The path the file is first written to, beside the settings file so that
// the final rename stays on one volume.
static bool TemporaryPathFor(wchar_t (&out)[PathSize], const wchar_t* settingsPath) {
    const size_t length = wcslen(settingsPath);
    if (length + 4 < PathSize) {
        memcpy(out, settingsPath, length * sizeof(wchar_t));
        memcpy(out + length, L".tmp", 5 * sizeof(wchar_t));
        return true;
    }
    // No room for the suffix: a shorter name in the same folder still fits.
    memcpy(out, settingsPath, (length + 1) * sizeof(wchar_t));
    wchar_t* slash = wcsrchr(out, L'\\');
    wchar_t* name = slash ? slash + 1 : out;
    if (static_cast<size_t>(name - out) + 6 > PathSize) return false;
    memcpy(name, L"~zelk", 6 * sizeof(wchar_t));
    return true;
}

// Writes the whole file so that it is never seen half-written: everything
// goes to a temporary file that replaces the settings file in one step. zelk's
// own lines come first, then every line it did not load, as read at start.
// On any failure the previous file stays byte for byte as it was, the
// temporary file is removed, saveError says why, and false is returned.
bool PluginInstance::WriteSettings() {
    // A file that exists but could not be read is never written over.
    if (!settingsRead) {
        saveError = readError;
        return false;
    }
    wchar_t temporary[PathSize];
    if (!settingsPath[0] || !TemporaryPathFor(temporary, settingsPath)) {
        saveError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // A file the user marked read-only is left alone. Windows refuses to
    // replace it anyway; saying so here keeps that true where the file
    // system would let the replacement through.
    DWORD attributes = GetFileAttributesW(settingsPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        saveError = ERROR_ACCESS_DENIED;
        return false;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        saveError = GetLastError();
        return false;
    }

    char line[CommandSize];
    DWORD error = 0;
    bool ok = true;
    auto put = [&](int length) {
        ok = ok && WriteAll(file, line, static_cast<size_t>(length), error);
    };
    put(FormatText(line, sizeof line, "zelk.position.x: %d\n", x));
    put(FormatText(line, sizeof line, "zelk.position.y: %d\n", y));
    put(FormatText(line, sizeof line, "zelk.width: %d\n", width));
    put(FormatText(line, sizeof line, "zelk.alwaysOnTop: %s\n", BoolText(alwaysOnTop)));
    put(FormatText(line, sizeof line, "zelk.snapWindow: %s\n", BoolText(snapToEdges)));
    put(FormatText(line, sizeof line, "zelk.transparency: %s\r\n", BoolText(transparencyOn)));
    put(FormatText(line, sizeof line, "zelk.inSlit: %s\r\n", BoolText(InSlit)));
    put(FormatText(line, sizeof line, "zelk.transparency.alpha: %d\r\n", alpha));

    // After a window construction failed the entries are only staged: write those.
    bool fromList = !EntriesAreStaged();
    const ListItem* item = ListHead;
    int n = 1;
    // The file holds 50 entries; any past them stay in the window only.
    for (int i = 0; i < ItemCount && ok && n <= MaxItems; ++i) {
        const char* text;
        int done;
        if (fromList) {
            if (!item) break;
            text = item->text;
            done = item->done;
            item = item->next;
        } else {
            if (i >= MaxListed) break;
            text = LoadedText[i];
            done = LoadedDone[i];
        }
        // An empty or blank text could not be read back as an entry: such an
        // entry is left out and numbering goes on.
        if (IsBlankText(text)) continue;
        // A control character (a line break above all) would split the line
        // or plant keys, so each is written as a space.
        char safe[ItemTextSize];
        CopyText(safe, sizeof safe, text);
        ReplaceControlCharacters(safe);
        put(FormatText(line, sizeof line, "zelk.zelk%d.text: %s\n", n, safe));
        put(FormatText(line, sizeof line, "zelk.zelk%d.done: %d\n", n, done));
        ++n;
    }
    if (ok && keptLength) ok = WriteAll(file, keptLines, keptLength, error);

    if (ok && !FlushFileBuffers(file)) {
        ok = false;
        error = GetLastError();
    }
    CloseHandle(file);
    if (ok &&
        !MoveFileExW(temporary, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temporary);
        saveError = error ? error : ERROR_WRITE_FAULT;
    }
    return ok;
}

// A file that could not be read at start is read now. Its entries go before
// the ones made since, its settings replace the defaults the session started
// with (a position the user has since moved the window to stays), and its
// other lines are kept from now on.
bool PluginInstance::MergeFileReadAtLast() {
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, PatienceBeforeSave);
    if (read == FileRead::missing) {
        settingsRead = true; // gone meanwhile: nothing left to protect
        return true;
    }
    char* kept = nullptr;
    size_t keptBytes = 0;
    if (read == FileRead::ok) {
        Parse(bytes, length, Parsed);
        if (!KeepUnloadedLines(Parsed, kept, keptBytes)) {
            read = FileRead::unreadable;
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    if (read != FileRead::ok) {
        free(bytes);
        readError = saveError = error;
        return false;
    }
    static char texts[MaxItems][ItemTextSize];
    static int dones[MaxItems];
    int found = TakeEntries(Parsed, texts, dones);
    int sessionX = x, sessionY = y;
    ApplySettings(*this, Parsed);
    if (movedThisSession) {
        x = sessionX;
        y = sessionY;
    }
    free(bytes);
    free(keptLines);
    keptLines = kept;
    keptLength = keptBytes;
    settingsRead = true;

    if (EntriesAreStaged()) {
        int have = ItemCount < MaxListed - found ? ItemCount : MaxListed - found;
        memmove(LoadedText[found], LoadedText[0], sizeof LoadedText[0] * have);
        memmove(&LoadedDone[found], &LoadedDone[0], sizeof LoadedDone[0] * have);
        for (int i = 0; i < found; ++i) {
            CopyText(LoadedText[i], ItemTextSize, texts[i]);
            LoadedDone[i] = dones[i];
        }
        ItemCount = have + found;
    } else {
        for (int i = found - 1; i >= 0; --i) {
            if (PrependItem(texts[i], dones[i])) ++ItemCount;
        }
    }
    entriesNotSaved = ItemCount > MaxItems ? ItemCount - MaxItems : 0;
    if (entriesNotSaved) Warn(WarnNotSaved);
    // The entries read have no rows yet: the window lays them out.
    if (found && mainWindow) PostMessageA(mainWindow, LayOutEntriesMessage, 0, 0);
    return true;
}

bool PluginInstance::Save() {
    bool saved = (settingsRead || MergeFileReadAtLast()) && WriteSettings();
    if (saved) {
        // The next good save ends a run of failures, silently.
        inFailureRun = false;
        failureBoxShown = false;
        warnings &= ~(WarnSaveFailed | WarnUnreadable);
    } else if (!inFailureRun) {
        StartFailureRun(saveError);
        Warn(WarnSaveFailed);
    }
    return saved;
}

void PluginInstance::StartFailureRun(DWORD error) {
    inFailureRun = true;
    failureBoxShown = false;
    runError = error;
}

// The box comes from the message loop; before the windows exist the message
// is posted when they are made.
void PluginInstance::Warn(int warning) {
    warnings |= warning;
    if (mainWindow) PostMessageA(mainWindow, TellSettingsProblemMessage, 0, 0);
}
