// The settings file "zelk.rc": where it is, how the instance takes its
// settings and entries from it, and how it is written whole.
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

const char* BoolText(int value) {
    return value ? "true" : "false";
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

// The temporary file is this copy's own (two copies of zelk may share a
// settings file), beside the settings file so that the final rename stays on
// one volume.
bool PluginInstance::TemporaryPathFor(wchar_t (&out)[PathSize], const wchar_t* path) const {
    const unsigned id = static_cast<unsigned>(GetCurrentProcessId() * 31u +
                                              (reinterpret_cast<UINT_PTR>(module) >> 16));
    char ascii[32];
    FormatText(ascii, sizeof ascii, ".%08x.tmp", id);
    wchar_t suffix[32];
    Utf8ToWide(suffix, sizeof suffix / sizeof suffix[0], ascii);
    const size_t length = wcslen(path), extra = wcslen(suffix);
    if (length + extra < PathSize) {
        memcpy(out, path, length * sizeof(wchar_t));
        memcpy(out + length, suffix, (extra + 1) * sizeof(wchar_t));
        return true;
    }
    // No room for the suffix: a shorter name in the same folder still fits.
    memcpy(out, path, (length + 1) * sizeof(wchar_t));
    wchar_t* slash = wcsrchr(out, L'\\');
    wchar_t* name = slash ? slash + 1 : out;
    if (static_cast<size_t>(name - out) + 6 > PathSize) return false;
    memcpy(name, L"~zelk", 6 * sizeof(wchar_t));
    return true;
}

namespace {

// A file written whole under a temporary name, every write checked and
// flushed; the caller moves it into place. False with the reason.
struct TemporaryFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    bool ok = true;
    unsigned long long hash = HashStart;

    bool Open(const wchar_t* path) {
        file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) error = GetLastError();
        return ok = file != INVALID_HANDLE_VALUE;
    }
    void Put(const char* text, size_t length) {
        ok = ok && WriteAll(file, text, length, error);
        hash = HashBytes(text, length, hash);
    }
    bool Close() {
        if (ok && !FlushFileBuffers(file)) {
            ok = false;
            error = GetLastError();
        }
        CloseHandle(file);
        return ok;
    }
};

bool Replace(const wchar_t* from, const wchar_t* to, DWORD& error) {
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = GetLastError();
    return false;
}

} // namespace

// Writes the whole file so that it is never seen half-written: everything
// goes to a temporary file that replaces the settings file in one step. zelk's
// own lines come first, then every line it did not load. `expected` is the
// hash of the file as it must still be when it is replaced (0: absent, as
// last seen); another program's write meanwhile leaves both as they are and
// returns false with ERROR_RETRY, so the caller merges and tries again. On
// any failure the previous file stays byte for byte as it was, the temporary
// file is removed, saveError says why, and false is returned.
bool PluginInstance::WriteDocument(const Document& d, bool checkFirst) {
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
    TemporaryFile out;
    if (!out.Open(temporary)) {
        saveError = out.error;
        return false;
    }
    char line[CommandSize];
    auto put = [&](int length) { out.Put(line, static_cast<size_t>(length)); };
    const int* v = d.settings;
    put(FormatText(line, sizeof line, "zelk.position.x: %d\n", x));
    put(FormatText(line, sizeof line, "zelk.position.y: %d\n", y));
    put(FormatText(line, sizeof line, "zelk.width: %d\n", v[KeyWidth]));
    put(FormatText(line, sizeof line, "zelk.alwaysOnTop: %s\n", BoolText(v[KeyOnTop])));
    put(FormatText(line, sizeof line, "zelk.snapWindow: %s\n", BoolText(v[KeySnap])));
    put(FormatText(line, sizeof line, "zelk.transparency: %s\r\n", BoolText(v[KeyTransparency])));
    put(FormatText(line, sizeof line, "zelk.inSlit: %s\r\n", BoolText(InSlit)));
    put(FormatText(line, sizeof line, "zelk.transparency.alpha: %d\r\n", v[KeyAlpha]));
    // Entries past the 50th are written on after the shown ones, so that no
    // merge drops one; past 100 a reader keeps them as lines of their own.
    int n = 1;
    for (int i = 0; i < d.count && out.ok; ++i) {
        const EntryRecord& entry = d.entries[i];
        // An empty or blank text could not be read back as an entry: such an
        // entry is left out and numbering goes on.
        if (IsBlankText(entry.text)) continue;
        // A control character (a line break above all) would split the line
        // or plant keys, so each is written as a space.
        char safe[ItemTextSize];
        CopyText(safe, sizeof safe, entry.text);
        ReplaceControlCharacters(safe);
        put(FormatText(line, sizeof line, "zelk.zelk%d.text: %s\n", n, safe));
        put(FormatText(line, sizeof line, "zelk.zelk%d.done: %d\n", n, entry.done));
        ++n;
    }
    if (keptLength) out.Put(keptLines, keptLength);
    bool ok = out.Close();
    DWORD error = out.error;
    // Another program's write since the last read is merged, not replaced:
    // the file is looked at once more right before the replacement.
    if (ok && checkFirst && FileChangedSinceSeen()) {
        ok = false;
        error = ERROR_RETRY;
    }
    if (ok) MakeBackup();
    if (ok) ok = Replace(temporary, settingsPath, error);
    if (!ok) {
        DeleteFileW(temporary);
        saveError = error ? error : ERROR_WRITE_FAULT;
        return false;
    }
    fileHash = out.hash;
    fileHashKnown = true;
    return true;
}

bool PluginInstance::WriteSettings() {
    Snapshot(Merged);
    return WriteDocument(Merged, false);
}

// Whether the file differs from the bytes zelk last read or wrote: another
// program wrote, replaced or deleted it. A file held for the moment counts
// as changed, so it is read (and waited for) before it is replaced.
bool PluginInstance::FileChangedSinceSeen() const {
    char* bytes = nullptr;
    size_t length = 0;
    DWORD error = 0;
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, 0);
    bool changed = read == FileRead::missing ? fileHashKnown
                                             : read != FileRead::ok || !fileHashKnown ||
                                                   HashBytes(bytes, length, HashStart) != fileHash;
    free(bytes);
    return changed;
}

// The file as it was read at start is kept beside it under its own name
// plus ".bak", once a session, before the first save replaces it.
void PluginInstance::MakeBackup() {
    if (!startBytes || backupMade) return;
    wchar_t backup[PathSize], temporary[PathSize];
    const size_t length = wcslen(settingsPath);
    if (length + 4 >= PathSize) return;
    memcpy(backup, settingsPath, length * sizeof(wchar_t));
    memcpy(backup + length, L".bak", 5 * sizeof(wchar_t));
    if (!TemporaryPathFor(temporary, backup)) return;
    TemporaryFile out;
    if (!out.Open(temporary)) return;
    out.Put(startBytes, startLength);
    DWORD error = 0;
    if (out.Close() && Replace(temporary, backup, error)) {
        backupMade = true;
        free(startBytes);
        startBytes = nullptr;
    } else {
        DeleteFileW(temporary);
    }
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
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error, PatienceBeforeSave);
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
    SaveLock lock(*this);
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
