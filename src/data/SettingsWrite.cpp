// Writing the settings file: whole, under a temporary name of this copy's
// own, every write checked and flushed, then moved over the file in one step
// (over a link's target, so the link stays); and the backup of the file as it
// was read at start.
#include <string.h>

#include <stdlib.h>
#include <wchar.h>

#include "core/PluginInstance.h"
#include "data/Document.h"
#include "data/FilePaths.h"
#include "data/FileWatch.h"
#include "data/SettingsText.h"
#include "data/Text.h"

namespace {

const char* BoolText(int value) {
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

namespace {

// A temporary file's lock: one byte far past its end, held by the copy that
// made it until the file is in place or gone. Byte locks are seen by every
// copy of zelk, under Wine across prefixes too, where sharing modes are not.
constexpr DWORD OwnerByte = 0x7fffffff;

// A file written whole under a temporary name beside the one it will
// replace (so that the final rename stays on one volume), every write
// checked and flushed. The name is new (no other file has it, whatever copy
// or purpose made that one), and the file stays open and locked until it has
// replaced its file or is removed, so that no copy's clean-up takes it.
struct TemporaryFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    bool ok = true;
    unsigned long long hash = HashStart;
    wchar_t path[LongPathSize];

    bool Open(const wchar_t* beside, unsigned id) {
        for (int tries = 0; tries < 16 && file == INVALID_HANDLE_VALUE; ++tries, ++id) {
            char ascii[16];
            wchar_t suffix[16];
            FormatText(ascii, sizeof ascii, ".%08x.tmp", id);
            Utf8ToWide(suffix, sizeof suffix / sizeof suffix[0], ascii);
            error = ERROR_FILENAME_EXCED_RANGE;
            if (!LongFormPath(path, beside, suffix)) break;
            file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            error = GetLastError();
            // A clean-up that took the file before it was locked removes it.
            if (file != INVALID_HANDLE_VALUE && !LockFile(file, OwnerByte, 0, 1, 0)) {
                CloseHandle(file);
                file = INVALID_HANDLE_VALUE;
            }
        }
        return ok = file != INVALID_HANDLE_VALUE;
    }
    void Put(const char* text, size_t length) {
        ok = ok && WriteAll(file, text, length, error);
        hash = HashBytes(text, length, hash);
    }
    // Flushes the file and moves it, still held, over `to`.
    bool Replace(const wchar_t* to) {
        if (ok && (!FlushFileBuffers(file) ||
                   !MoveFileExW(path, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
            ok = false;
            error = GetLastError();
        }
        return ok;
    }
    // A file not moved into place goes.
    ~TemporaryFile() {
        if (file == INVALID_HANDLE_VALUE) return;
        if (!ok) DeleteFileW(path);
        CloseHandle(file);
    }
};

// The first name tried starts from the process and the module, so that
// copies seldom meet on one.
unsigned FirstTemporaryId(HINSTANCE module) {
    return static_cast<unsigned>(GetCurrentProcessId() * 31u +
                                 (reinterpret_cast<UINT_PTR>(module) >> 16));
}

} // namespace

// The final path is the target even where it names the settings file itself
// (its case, its long names): under Wine a link shows no reparse point.
bool PluginInstance::FindTarget() {
    wchar_t final[LongPathSize], found[LongPathSize];
    if (!FinalPathOf(final, settingsPath)) final[0] = 0;
    if (!LongFormPath(found, final[0] ? final : settingsPath, L"")) found[0] = 0;
    const size_t bytes = (wcslen(found) + 1) * sizeof(wchar_t);
    if (!memcmp(found, target, bytes)) return false;
    memcpy(target, found, bytes);
    if (saveMutex) CloseHandle(saveMutex);
    saveMutex = nullptr;
    if (mainWindow) StartWatching(target, mainWindow, SettingsFolderChangedMessage);
    return true;
}

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
    if (!target[0]) {
        saveError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // A file the user marked read-only is left alone. Windows refuses to
    // replace it anyway; saying so here keeps that true where the file
    // system would let the replacement through.
    DWORD attributes = GetFileAttributesW(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        saveError = ERROR_ACCESS_DENIED;
        return false;
    }
    TemporaryFile out;
    if (!out.Open(target, FirstTemporaryId(module))) {
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
    // Another program's write since the last read is merged, not replaced:
    // the file is looked at once more right before the replacement.
    if (out.ok && checkFirst && FileChangedSinceSeen()) {
        out.ok = false;
        out.error = ERROR_RETRY;
    }
    // The start's file is kept before the first save that changes the file:
    // one that writes the same bytes back (an unload with nothing changed)
    // replaces nothing worth keeping.
    if (out.ok && !(fileHashKnown && out.hash == fileHash)) MakeBackup();
    if (!out.Replace(target)) {
        saveError = out.error ? out.error : ERROR_WRITE_FAULT;
        // Another program holds the file: tried again for a while.
        replaceRefused = saveError == ERROR_SHARING_VIOLATION || saveError == ERROR_ACCESS_DENIED;
        return false;
    }
    fileHash = out.hash;
    fileHashKnown = true;
    return true;
}

// A copy of zelk killed in the middle of a save leaves its temporary file
// (or its backup's). Once a session every such file beside the target goes
// that no live copy holds: a copy holds the lock of its own to the end, and
// a file whose lock this copy gets has none.
void PluginInstance::RemoveStrayTemporaryFiles() {
    straysRemoved = true;
    // The pattern's name part is overwritten by each name found.
    wchar_t path[LongPathSize];
    WIN32_FIND_DATAW found;
    const wchar_t* slash = LongFormPath(path, target, L".*.tmp") ? wcsrchr(path, L'\\') : nullptr;
    HANDLE search = slash ? FindFirstFileW(path, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) return;
    const size_t folder = static_cast<size_t>(slash - path) + 1;
    do {
        const size_t length = wcslen(found.cFileName);
        if (folder + length >= LongPathSize) continue;
        memcpy(path + folder, found.cFileName, (length + 1) * sizeof(wchar_t));
        HANDLE file = CreateFileW(path, GENERIC_READ | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        if (LockFile(file, OwnerByte, 0, 1, 0)) DeleteFileW(path);
        CloseHandle(file);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The file as it was read at start is kept beside it under its own name
// plus ".bak", once a session, before the first save replaces it.
void PluginInstance::MakeBackup() {
    if (!startBytes || backupMade) return;
    wchar_t backup[LongPathSize];
    if (!LongFormPath(backup, target, L".bak")) return;
    TemporaryFile out;
    if (!out.Open(backup, FirstTemporaryId(module))) return;
    out.Put(startBytes, startLength);
    if (out.Replace(backup)) {
        backupMade = true;
        free(startBytes);
        startBytes = nullptr;
    }
}
