// The settings file "zelk.rc": where it is, how the instance takes its
// settings and entries from it, and how a save merges another program's write.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/Changes.h"
#include "data/ItemList.h"
#include "data/SaveLock.h"
#include "data/SettingsText.h"
#include "data/Text.h"
#include "data/Utf8.h"

namespace {

// One at a time: the plug-in runs on the shell's one window thread.
// Made at first use, in zeroed memory: with its spans' "not found" values a
// static table would be stored in the DLL, and made before the first use it
// would need start-up code the DLL does without.
ParsedFile& Parsed() {
    static ParsedFile parsed;
    return parsed;
}

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

// The file's entries go to the staging tables (the first 50) and past them;
// its settings to the instance. The window's place and docking are taken
// only at start: they belong to this window, not to whoever wrote the file.
void PluginInstance::TakeDocument(const Document& d, bool withPlace) {
    if (withPlace) {
        x = d.settings[KeyX];
        y = d.settings[KeyY];
        InSlit = d.settings[KeyInSlit] != 0;
    }
    width = d.settings[KeyWidth];
    alwaysOnTop = d.settings[KeyOnTop] != 0;
    snapToEdges = d.settings[KeySnap] != 0;
    transparencyOn = d.settings[KeyTransparency] != 0;
    alpha = d.settings[KeyAlpha];
}

void PluginInstance::Snapshot(Document& d) const {
    d.count = 0;
    // After a window construction failed the entries are only staged.
    if (EntriesAreStaged()) {
        for (int i = 0; i < ItemCount && i < MaxListed; ++i) {
            CopyText(d.entries[d.count].text, ItemTextSize, LoadedText[i]);
            d.entries[d.count++].done = LoadedDone[i];
        }
    } else {
        for (const ListItem* item = ListHead; item && d.count < MaxDocumentEntries;
             item = item->next) {
            CopyText(d.entries[d.count].text, ItemTextSize, item->text);
            d.entries[d.count++].done = item->done;
        }
    }
    for (int i = 0; i < OverflowCount && d.count < MaxDocumentEntries; ++i)
        d.entries[d.count++] = Overflow[i];
    d.settings[KeyX] = x;
    d.settings[KeyY] = y;
    d.settings[KeyWidth] = width;
    d.settings[KeyOnTop] = alwaysOnTop;
    d.settings[KeySnap] = snapToEdges;
    d.settings[KeyTransparency] = transparencyOn;
    d.settings[KeyInSlit] = InSlit;
    d.settings[KeyAlpha] = alpha;
}

namespace {

// One at a time: the plug-in runs on the shell's one window thread.
Document Merged;

void StageEntries(const Document& d) {
    ItemCount = d.count < MaxItems ? d.count : MaxItems;
    for (int i = 0; i < ItemCount; ++i) {
        CopyText(LoadedText[i], ItemTextSize, d.entries[i].text);
        LoadedDone[i] = d.entries[i].done;
    }
    OverflowCount = 0;
    for (int i = ItemCount; i < d.count; ++i)
        Overflow[OverflowCount++] = d.entries[i];
}

} // namespace

const Document& MergedDocument() {
    return Merged;
}

// Takes in a file's bytes: its document, and every line that is not zelk's.
bool PluginInstance::TakeFileBytes(const char* bytes, size_t length, Document& d) {
    char* kept = nullptr;
    size_t keptBytes = 0;
    ParsedFile& parsed = Parsed();
    Parse(bytes, length, parsed);
    if (!KeepUnloadedLines(parsed, kept, keptBytes)) return false;
    ::TakeDocument(parsed, d);
    free(keptLines);
    keptLines = kept;
    keptLength = keptBytes;
    fileHash = HashBytes(bytes, length, HashStart);
    fileHashKnown = true;
    settingsRead = true;
    return true;
}

// One read of the whole file: zelk's settings and entries are taken from it,
// every other line is kept. A file that exists but cannot be read leaves the
// defaults in place and is marked never to be written over.
void PluginInstance::ReadSettings() {
    ItemCount = 0;
    OverflowCount = 0;
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, PatienceAtStart, false);
    if (read == FileRead::missing) {
        TakeCreationDefaults();
        settingsRead = false;
        CreateDefaultFile();
        if (settingsRead) return;
        read = ReadWholeFile(settingsPath, bytes, length, error, PatienceAtStart, false);
        // Still no file and none could be made: there is nothing to protect,
        // so the first save may create it.
        if (read == FileRead::missing) {
            settingsRead = true;
            return;
        }
    }
    // The bytes as they are on disk are kept for the backup made at the first
    // save; a copy is read as text.
    char* text = nullptr;
    size_t textLength = length;
    if (read == FileRead::ok && length) {
        text = static_cast<char*>(malloc(length));
        if (text) memcpy(text, bytes, length);
    }
    if (read == FileRead::ok && ((length && !text) || !NormaliseFileBytes(text, textLength) ||
                                 !TakeFileBytes(text, textLength, Merged))) {
        read = FileRead::unreadable;
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    free(text);
    if (read != FileRead::ok) {
        free(bytes);
        TakeCreationDefaults();
        settingsRead = false;
        readError = error;
        StartFailureRun(error);
        Warn(WarnUnreadable);
        return;
    }
    TakeDocument(Merged, true);
    StageEntries(Merged);
    free(startBytes);
    startBytes = bytes;
    startLength = length;
}

bool PluginInstance::WriteSettings() {
    FindTarget();
    Snapshot(Merged);
    return WriteDocument(Merged, false);
}

// Reads the file as another program left it, takes its lines and settings
// (never the window's place or docking), and applies to its list every
// change not yet in it. The result is in MergedDocument(). False when the
// file cannot be read; true with `missing` when it is gone. Given
// `unchanged`, a file whose bytes are those zelk last read or wrote is left
// untaken and says so there: one read both looks and merges.
bool PluginInstance::MergeWithFile(bool& missing, bool* unchanged) {
    missing = false;
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    // No wait on the shell's thread: a file held now is met again on a timer.
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, 0);
    if (read == FileRead::missing) {
        missing = true;
        return true;
    }
    if (unchanged) {
        *unchanged = read == FileRead::ok && fileHashKnown &&
                     HashBytes(bytes, length, HashStart) == fileHash;
        if (*unchanged) {
            free(bytes);
            return true;
        }
    }
    if (read == FileRead::ok && !TakeFileBytes(bytes, length, Merged)) {
        read = FileRead::unreadable;
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    free(bytes);
    if (read != FileRead::ok) {
        readError = saveError = error;
        replaceRefused = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        return false;
    }
    changesDroppedOnSave = false;
    for (const Change* change = FirstPending(); change; change = change->next)
        if (!ApplyChange(Merged, *change)) changesDroppedOnSave = true;
    return true;
}

bool PluginInstance::Save(Change* change) {
    KeepPending(change);
    mergedOnSave = false;
    changesDroppedOnSave = false;
    replaceRefused = false;
    saveWaits = WaitsFor(OtherWriteUnderWay());
    if (saveWaits) return false;
    FindTarget();
    SaveLock lock(*this);
    if (!straysRemoved) RemoveStrayTemporaryFiles();
    bool saved = false;
    // The list is written as it stands, and the file looked at right before
    // the replacement: only when another program wrote meanwhile (or the
    // file could not be read before) is it read and merged. Another program
    // that writes again between the check and the replacement is met again:
    // a few rounds, then the save counts as failed and waits for the next
    // change.
    bool merge = !settingsRead;
    for (int round = 0; round < 3 && !saved; ++round) {
        bool missing = false;
        if (!merge) {
            Snapshot(Merged);
            saved = WriteDocument(Merged, true);
        } else if (MergeWithFile(missing)) {
            if (missing) {
                fileHashKnown = false; // deleted from outside: written anew
                settingsRead = true;
                saved = WriteSettings();
            } else {
                mergedOnSave = true;
                saved = WriteDocument(Merged, true);
            }
        }
        if (!saved && saveError != ERROR_RETRY) break;
        merge = true;
    }
    if (saved) {
        ForgetPending();
        // The next good save ends a run of failures, silently.
        inFailureRun = false;
        failureBoxShown = false;
        warnings &= ~(WarnSaveFailed | WarnUnreadable);
    } else if (WaitsFor(replaceRefused)) {
        saveWaits = true;
        return false;
    } else if (!inFailureRun) {
        StartFailureRun(saveError);
        Warn(WarnSaveFailed);
    }
    waitingSince = 0;
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
