#include "data/SettingsText.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "core/PluginInstance.h"
#include "data/Text.h"
#include "data/Utf8.h"

namespace {

const char* const SettingKeys[SettingCount] = {
    "zelk.position.x:", "zelk.position.y:",   "zelk.width:",  "zelk.alwaysOnTop:",
    "zelk.snapWindow:", "zelk.transparency:", "zelk.inSlit:", "zelk.transparency.alpha:"};

// What a virus scanner or a sync tool holding the file for a moment causes.
bool IsPassingLock(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

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

// An entry's text as loaded: UTF-8 (a value from before, in the system's
// code page, is converted), cut to 99 characters, ending at a NUL byte as the
// shell's string reader ends it, and with control characters as spaces.
void TextOf(const char* b, Span value, char (&text)[ItemTextSize]) {
    text[0] = '\0';
    if (!value.Found()) return;
    DecodeEntryText(b + value.begin, value.end - value.begin, CP_ACP, text, sizeof text);
    ReplaceControlCharacters(text);
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

// Every line of one of zelk's keys is zelk's: the first is read, later
// duplicates are dropped, since a reader never sees them and one would come
// back as an entry once the first of its number is deleted.
bool IsZelksLine(const ParsedFile& f, const Line& line) {
    int number = 0;
    return line.key.Found() && Classify(f.bytes, line.key, number) != KeyKind::other;
}

} // namespace

// Reads the whole file into a block from malloc (null when it is empty). A
// file held by another program is waited for up to `patience` milliseconds.
// A folder in its place, or a file too big for memory, is unreadable.
FileRead ReadWholeFile(const wchar_t* path, char*& bytes, size_t& length, DWORD& error,
                       DWORD patience, bool asText) {
    bytes = nullptr;
    length = 0;
    error = 0;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_ACCESS_DENIED;
        return FileRead::unreadable;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD started = GetTickCount();
    for (;;) {
        file =
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) break;
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return FileRead::missing;
        if (!IsPassingLock(error) || GetTickCount() - started >= patience)
            return FileRead::unreadable;
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
    // A byte-order mark is no part of the first line; a UTF-16 file is read
    // (and so written back) as UTF-8.
    if (ok && asText && !NormaliseFileBytes(bytes, length)) {
        ok = false;
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (ok) return FileRead::ok;
    free(bytes);
    bytes = nullptr;
    length = 0;
    return FileRead::unreadable;
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
}

// A missing text, or one of nothing but blanks and control characters, is
// no entry: reading goes on past it. Entries come in number order.
void TakeDocument(const ParsedFile& f, Document& d) {
    const char* b = f.bytes;
    d.count = 0;
    for (int i = 1; i <= MaxEntryNumber; ++i) {
        if (f.textLine[i] == None) continue;
        EntryRecord& entry = d.entries[d.count];
        TextOf(b, f.textValue[i], entry.text);
        if (IsBlankText(entry.text)) continue;
        entry.done = IntOf(b, f.doneValue[i], 0);
        ++d.count;
    }
    d.settings[KeyX] = IntOf(b, f.settingValue[KeyX], 10);
    d.settings[KeyY] = IntOf(b, f.settingValue[KeyY], 10);
    // A width of zero, a negative one or one wider than any screen gives a
    // window nobody can see or use; such a value is taken as unset.
    int width = IntOf(b, f.settingValue[KeyWidth], 100);
    d.settings[KeyWidth] = width < MinWindowWidth || width > MaxWindowWidth ? 100 : width;
    d.settings[KeyOnTop] = BoolOf(b, f.settingValue[KeyOnTop], true);
    d.settings[KeySnap] = BoolOf(b, f.settingValue[KeySnap], true);
    d.settings[KeyTransparency] = BoolOf(b, f.settingValue[KeyTransparency], false);
    d.settings[KeyInSlit] = BoolOf(b, f.settingValue[KeyInSlit], false);
    d.settings[KeyAlpha] = IntOf(b, f.settingValue[KeyAlpha], 200);
}

// FNV-1a: a rewrite of the same size, or within the same second, still
// changes it.
unsigned long long HashBytes(const char* bytes, size_t length, unsigned long long hash) {
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 1099511628211ull;
    }
    return hash;
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
