// Writing the settings file: whole, under a temporary name of this copy's
// own, every write checked and flushed, then moved over the file in one step;
// and the backup of the file as it was read at start.
#include <string.h>

#include "core/PluginInstance.h"
#include "data/Document.h"
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
    // The start's file is kept before the first save that changes the file:
    // one that writes the same bytes back (an unload with nothing changed)
    // replaces nothing worth keeping.
    if (ok && !(fileHashKnown && out.hash == fileHash)) MakeBackup();
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

// A copy of zelk killed in the middle of a save leaves its temporary file,
// under a name no later copy uses. Once a session, with the save lock held
// (so no other copy is writing one now), every such file beside the settings
// file goes.
void PluginInstance::RemoveStrayTemporaryFiles() {
    straysRemoved = true;
    wchar_t pattern[PathSize];
    const size_t length = wcslen(settingsPath);
    if (length + 6 >= PathSize) return;
    memcpy(pattern, settingsPath, length * sizeof(wchar_t));
    memcpy(pattern + length, L".*.tmp", 7 * sizeof(wchar_t));
    const wchar_t* slash = wcsrchr(settingsPath, L'\\');
    const size_t folder = slash ? static_cast<size_t>(slash - settingsPath) + 1 : 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        wchar_t path[PathSize];
        const size_t name = wcslen(found.cFileName);
        if (folder + name >= PathSize) continue;
        memcpy(path, settingsPath, folder * sizeof(wchar_t));
        memcpy(path + folder, found.cFileName, (name + 1) * sizeof(wchar_t));
        DeleteFileW(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
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
