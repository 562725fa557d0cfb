// The settings file "zelk.rc": where it is, how it is read (once, whole, by
// zelk itself), and how it is written whole.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Text.h"

namespace {

// Entries are looked for under the numbers 1 to 100; the first 50 found load.
constexpr int MaxEntryNumber = 100;
constexpr size_t None = SIZE_MAX;

// Joins a directory (with its trailing backslash) and a file name; false when
// the result would not fit a path buffer, so such a candidate is skipped.
bool JoinPath(char (&out)[PathSize], const char* directory, const char* name) {
    size_t d = strlen(directory), n = strlen(name);
    if (d + n >= PathSize) return false;
    memcpy(out, directory, d);
    memcpy(out + d, name, n + 1);
    return true;
}

// Sets out to the first candidate that exists in the directory.
bool FindCandidate(char (&out)[PathSize], const char* directory) {
    static const char* const names[] = {"zelk.rc", "zelkrc"};
    for (const char* name : names) {
        if (JoinPath(out, directory, name) && Host.FileExists(out)) return true;
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

// ---- Reading ---------------------------------------------------------------

enum class FileRead { ok, missing, unreadable };

// What a virus scanner or a sync tool holding the file for a moment causes.
bool IsPassingLock(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Reads the whole file into a block from malloc (null when it is empty). A
// file held by another program is waited for up to a second. A folder in its
// place, or a file too big for memory, is unreadable.
FileRead ReadWholeFile(const char* path, char*& bytes, size_t& length, DWORD& error) {
    bytes = nullptr;
    length = 0;
    error = 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_ACCESS_DENIED;
        return FileRead::unreadable;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD started = GetTickCount();
    for (;;) {
        file =
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) break;
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return FileRead::missing;
        if (!IsPassingLock(error) || GetTickCount() - started >= 1000) return FileRead::unreadable;
        Sleep(20);
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size);
    if (!ok) error = GetLastError();
    if (ok && (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) >= INT_MAX)) {
        ok = false;
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    size_t wanted = ok ? static_cast<size_t>(size.QuadPart) : 0;
    if (ok && wanted > 0) {
        bytes = static_cast<char*>(malloc(wanted));
        if (!bytes) {
            ok = false;
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    while (ok && length < wanted) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + length, static_cast<DWORD>(wanted - length), &got, nullptr)) {
            ok = false;
            error = GetLastError();
        } else if (got == 0) {
            break; // the file shrank meanwhile
        }
        length += got;
    }
    CloseHandle(file);
    if (ok) return FileRead::ok;
    free(bytes);
    bytes = nullptr;
    length = 0;
    return FileRead::unreadable;
}

struct Span {
    size_t begin = None, end = None;
    bool Found() const { return begin != None; }
};

// One line as the shell's rc readers see it: leading blanks skipped, the key
// up to and including the first colon, the value trimmed of blanks.
struct Line {
    size_t start, next; // the raw line, its line break included
    Span key, value;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Lines end at LF, CR LF or a lone CR, as for the shell's readers.
bool NextLine(const char* b, size_t n, size_t& at, Line& line) {
    if (at >= n) return false;
    size_t i = at, begin = at;
    while (i < n && b[i] != '\n' && b[i] != '\r')
        ++i;
    size_t end = i;
    if (i < n && b[i] == '\r' && i + 1 < n && b[i + 1] == '\n') ++i;
    if (i < n) ++i;
    line.start = at;
    line.next = at = i;
    line.key = line.value = Span();
    while (begin < end && IsBlank(b[begin]))
        ++begin;
    const void* colon = memchr(b + begin, ':', end - begin);
    if (!colon) return true;
    size_t c = static_cast<size_t>(static_cast<const char*>(colon) - b);
    line.key.begin = begin;
    line.key.end = c + 1;
    size_t vb = c + 1, ve = end;
    while (vb < ve && IsBlank(b[vb]))
        ++vb;
    while (ve > vb && IsBlank(b[ve - 1]))
        --ve;
    line.value.begin = vb;
    line.value.end = ve;
    return true;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The span starts with name, compared without regard to case.
bool StartsWith(const char* b, size_t begin, size_t end, const char* name) {
    size_t n = strlen(name);
    if (end - begin < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (LowerAscii(b[begin + i]) != LowerAscii(name[i])) return false;
    return true;
}

bool SpanIs(const char* b, Span s, const char* name) {
    return s.end - s.begin == strlen(name) && StartsWith(b, s.begin, s.end, name);
}

enum Setting {
    KeyX,
    KeyY,
    KeyWidth,
    KeyOnTop,
    KeySnap,
    KeyTransparency,
    KeyInSlit,
    KeyAlpha,
    SettingCount
};
const char* const SettingKeys[SettingCount] = {
    "zelk.position.x:", "zelk.position.y:",   "zelk.width:",  "zelk.alwaysOnTop:",
    "zelk.snapWindow:", "zelk.transparency:", "zelk.inSlit:", "zelk.transparency.alpha:"};

enum class KeyKind { other, setting, text, done };

// Which of zelk's keys a line's key is; number is the setting or the entry
// number. Entry keys are spelt as zelk writes them ("zelk.zelk7.text:"),
// since a reader asking for that key would not find "zelk.zelk07.text:".
KeyKind Classify(const char* b, Span key, int& number) {
    for (int i = 0; i < SettingCount; ++i) {
        if (SpanIs(b, key, SettingKeys[i])) {
            number = i;
            return KeyKind::setting;
        }
    }
    if (!StartsWith(b, key.begin, key.end, "zelk.zelk")) return KeyKind::other;
    size_t i = key.begin + 9;
    if (i >= key.end || b[i] < '1' || b[i] > '9') return KeyKind::other;
    int n = 0;
    while (i < key.end && b[i] >= '0' && b[i] <= '9' && n <= MaxEntryNumber)
        n = n * 10 + (b[i++] - '0');
    if (n > MaxEntryNumber) return KeyKind::other;
    number = n;
    Span rest = {i, key.end};
    if (SpanIs(b, rest, ".text:")) return KeyKind::text;
    if (SpanIs(b, rest, ".done:")) return KeyKind::done;
    return KeyKind::other;
}

// Where each of zelk's keys first occurs (the first match wins, as for the
// shell's readers), and which entries load.
struct ParsedFile {
    const char* bytes;
    size_t length;
    size_t settingLine[SettingCount];
    Span settingValue[SettingCount];
    size_t textLine[MaxEntryNumber + 1], doneLine[MaxEntryNumber + 1];
    Span textValue[MaxEntryNumber + 1], doneValue[MaxEntryNumber + 1];
    bool hasText[MaxEntryNumber + 1]; // a text that is not empty
    bool loaded[MaxEntryNumber + 1];  // among the first 50 found
};

// One at a time: the plug-in runs on the shell's one window thread.
ParsedFile Parsed;

// An entry's text as loaded: cut to 99 characters, and ending at a NUL byte
// as the shell's string reader ends it.
void TextOf(const char* b, Span value, char (&text)[ItemTextSize]) {
    size_t n = 0;
    if (value.Found()) {
        for (size_t i = value.begin; i < value.end && n + 1 < ItemTextSize && b[i]; ++i)
            text[n++] = b[i];
    }
    text[n] = '\0';
}

// A whole decimal number that fits an int, or the default.
int IntOf(const char* b, Span value, int def) {
    if (!value.Found()) return def;
    size_t i = value.begin;
    bool negative = false;
    if (i < value.end && (b[i] == '+' || b[i] == '-')) negative = b[i++] == '-';
    if (i >= value.end) return def;
    long long result = 0;
    for (; i < value.end; ++i) {
        if (b[i] < '0' || b[i] > '9') return def;
        result = result * 10 + (b[i] - '0');
        if (result > 2147483648ll) return def;
    }
    if (negative) result = -result;
    if (result > INT_MAX) return def;
    return static_cast<int>(result);
}

bool BoolOf(const char* b, Span value, bool def) {
    if (SpanIs(b, value, "true")) return true;
    if (SpanIs(b, value, "false")) return false;
    return def;
}

void Parse(const char* b, size_t n, ParsedFile& f) {
    f.bytes = b;
    f.length = n;
    for (int i = 0; i < SettingCount; ++i) {
        f.settingLine[i] = None;
        f.settingValue[i] = Span();
    }
    for (int i = 0; i <= MaxEntryNumber; ++i) {
        f.textLine[i] = f.doneLine[i] = None;
        f.textValue[i] = f.doneValue[i] = Span();
        f.hasText[i] = f.loaded[i] = false;
    }
    Line line;
    for (size_t at = 0; NextLine(b, n, at, line);) {
        int number = 0;
        if (!line.key.Found()) continue;
        // The first match of a key wins, as for the shell's readers.
        auto keepFirst = [&line](size_t& lineAt, Span& value) {
            if (lineAt != None) return;
            lineAt = line.start;
            value = line.value;
        };
        switch (Classify(b, line.key, number)) {
        case KeyKind::setting:
            keepFirst(f.settingLine[number], f.settingValue[number]);
            break;
        case KeyKind::text:
            keepFirst(f.textLine[number], f.textValue[number]);
            break;
        case KeyKind::done:
            keepFirst(f.doneLine[number], f.doneValue[number]);
            break;
        case KeyKind::other:
            break;
        }
    }
    // A missing or empty text is no entry: reading goes on past it.
    int found = 0;
    for (int i = 1; i <= MaxEntryNumber; ++i) {
        char text[ItemTextSize];
        TextOf(b, f.textValue[i], text);
        f.hasText[i] = f.textLine[i] != None && text[0];
        if (f.hasText[i] && found < MaxItems) {
            f.loaded[i] = true;
            ++found;
        }
    }
}

// The loaded entries in number order; returns how many.
int TakeEntries(const ParsedFile& f, char (*texts)[ItemTextSize], int* dones) {
    int n = 0;
    for (int i = 1; i <= MaxEntryNumber; ++i) {
        if (!f.loaded[i]) continue;
        TextOf(f.bytes, f.textValue[i], texts[n]);
        dones[n] = IntOf(f.bytes, f.doneValue[i], 0);
        ++n;
    }
    return n;
}

// zelk's own lines are the first match of each of its keys, except those of
// entries that hold a text and were not loaded (past the 50th found): those
// are kept with every other line.
bool IsZelksLine(const ParsedFile& f, const Line& line) {
    int number = 0;
    if (!line.key.Found()) return false;
    switch (Classify(f.bytes, line.key, number)) {
    case KeyKind::setting:
        return f.settingLine[number] == line.start;
    case KeyKind::text:
        return f.textLine[number] == line.start && (f.loaded[number] || !f.hasText[number]);
    case KeyKind::done:
        return f.doneLine[number] == line.start && (f.loaded[number] || !f.hasText[number]);
    case KeyKind::other:
        break;
    }
    return false;
}

void ApplySettings(PluginInstance& p, const ParsedFile& f) {
    const char* b = f.bytes;
    p.x = IntOf(b, f.settingValue[KeyX], 10);
    p.y = IntOf(b, f.settingValue[KeyY], 10);
    p.width = IntOf(b, f.settingValue[KeyWidth], 100);
    // A width of zero, a negative one or one wider than any screen gives a
    // window nobody can see or use; such a value is taken as unset.
    if (p.width < MinWindowWidth || p.width > MaxWindowWidth) p.width = 100;
    p.transparencyOn = BoolOf(b, f.settingValue[KeyTransparency], false);
    p.alpha = IntOf(b, f.settingValue[KeyAlpha], 200);
    InSlit = BoolOf(b, f.settingValue[KeyInSlit], false);
    p.alwaysOnTop = BoolOf(b, f.settingValue[KeyOnTop], true);
    p.snapToEdges = BoolOf(b, f.settingValue[KeySnap], true);
}

// Copies every line that is not zelk's, verbatim, into one block from
// malloc (null when there is none). False when out of memory.
bool KeepUnloadedLines(const ParsedFile& f, char*& kept, size_t& keptLength) {
    kept = nullptr;
    keptLength = 0;
    if (f.length == 0) return true;
    char* block = static_cast<char*>(malloc(f.length));
    if (!block) return false;
    Line line;
    for (size_t at = 0; NextLine(f.bytes, f.length, at, line);) {
        if (IsZelksLine(f, line)) continue;
        memcpy(block + keptLength, f.bytes + line.start, line.next - line.start);
        keptLength += line.next - line.start;
    }
    if (keptLength == 0) {
        free(block);
        block = nullptr;
    }
    kept = block;
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
    char directory[PathSize] = {};
    DWORD length = GetModuleFileNameA(module, directory, PathSize);
    if (length == 0 || length >= PathSize) {
        directory[0] = '\0'; // a cut module path names no directory
    } else {
        int i = static_cast<int>(length) - 1;
        while (i > 0 && directory[i] != '\\')
            --i;
        directory[directory[i] == '\\' ? i + 1 : 0] = '\0';
    }

    if (directory[0] && FindCandidate(settingsPath, directory)) return;

    char fallback[PathSize] = {};
    bool haveFallback = directory[0] && JoinPath(fallback, directory, "zelk.rc");

    char hostDirectory[PathSize] = {};
    Host.GetCorvanePath(hostDirectory, PathSize);
    hostDirectory[PathSize - 1] = '\0';
    if (hostDirectory[0] && FindCandidate(settingsPath, hostDirectory)) return;

    if (!haveFallback) JoinPath(fallback, hostDirectory, "zelk.rc");
    CopyText(settingsPath, sizeof settingsPath, fallback);
    TakeCreationDefaults();
    ItemCount = 0;
    CreateDefaultFile();
}

// Only where no file is: a file that exists (the search above may have missed
// it for a moment) is never replaced by the defaults.
void PluginInstance::CreateDefaultFile() {
    if (!settingsPath[0]) return;
    HANDLE file = CreateFileA(settingsPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error);
    if (read == FileRead::missing) {
        TakeCreationDefaults();
        settingsRead = false;
        CreateDefaultFile();
        if (settingsRead) return;
        read = ReadWholeFile(settingsPath, bytes, length, error);
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
static bool TemporaryPathFor(char (&out)[PathSize], const char* settingsPath) {
    if (FormatText(out, sizeof out, "%s.tmp", settingsPath) ==
        static_cast<int>(strlen(settingsPath) + 4))
        return true;
    // No room for the suffix: a shorter name in the same folder still fits.
    CopyText(out, sizeof out, settingsPath);
    char* slash = strrchr(out, '\\');
    char* name = slash ? slash + 1 : out;
    if (static_cast<size_t>(name - out) + 6 > sizeof out) return false;
    memcpy(name, "~zelk", 6);
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
    char temporary[PathSize];
    if (!settingsPath[0] || !TemporaryPathFor(temporary, settingsPath)) {
        saveError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // A file the user marked read-only is left alone. Windows refuses to
    // replace it anyway; saying so here keeps that true where the file
    // system would let the replacement through.
    DWORD attributes = GetFileAttributesA(settingsPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        saveError = ERROR_ACCESS_DENIED;
        return false;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
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
        !MoveFileExA(temporary, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileA(temporary);
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
    FileRead read = ReadWholeFile(settingsPath, bytes, length, error);
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
