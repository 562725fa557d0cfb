// Reading and writing rc files ("key: value" lines). The plug-in reads about a
// hundred keys one call at a time, so each file is parsed once and kept until
// its size or last-write time changes.
#include <memory>
#include <vector>

#include "HostPrivate.h"

namespace {

// One "key: value" line of a file; offsets into RcFile::bytes.
struct RcLine {
    size_t keyBegin, keyEnd;     // the key, its colon included
    size_t valueBegin, valueEnd; // trimmed value
};

struct RcFile {
    std::string path;
    ULONGLONG size = 0;
    FILETIME written = {};
    ULONGLONG loadedAt = 0; // system time of the read, in FILETIME units
    std::string bytes;
    std::vector<RcLine> lines;
};

// Bounds what a garbage file can make the host allocate.
const ULONGLONG maxFileSize = 16u << 20;
const size_t maxCachedFiles = 8;
// Files written this recently may change again within the file system's clock
// granularity without changing their last-write time, so they are re-read.
const ULONGLONG trustAfter = 2 * 10000000ull; // two seconds

std::vector<std::unique_ptr<RcFile>> cache; // most recently used first
char stringBuffer[4096];

ULONGLONG asNumber(FILETIME t) {
    return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

ULONGLONG now() {
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    return asNumber(t);
}

void parseLines(RcFile& file) {
    const std::string& b = file.bytes;
    size_t i = 0, n = b.size();
    while (i < n) {
        size_t begin = i;
        while (i < n && b[i] != '\n' && b[i] != '\r')
            ++i;
        size_t end = i;
        if (i < n && b[i] == '\r' && i + 1 < n && b[i + 1] == '\n') ++i;
        if (i < n) ++i;
        while (begin < end && host::isBlank(b[begin]))
            ++begin;
        const void* found = memchr(b.data() + begin, ':', end - begin);
        if (!found) continue;
        size_t colon = size_t(static_cast<const char*>(found) - b.data());
        RcLine line;
        line.keyBegin = begin;
        line.keyEnd = colon + 1;
        line.valueBegin = line.keyEnd;
        while (line.valueBegin < end && host::isBlank(b[line.valueBegin]))
            ++line.valueBegin;
        line.valueEnd = end;
        while (line.valueEnd > line.valueBegin && host::isBlank(b[line.valueEnd - 1]))
            --line.valueEnd;
        file.lines.push_back(line);
    }
}

enum class ReadResult { ok, missing, failed };

// Reads a whole regular file. A folder counts as missing.
ReadResult readFile(const char* path, std::string& bytes, bool whole = false) {
    bytes.clear();
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info)) {
        DWORD e = GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? ReadResult::missing
                                                                        : ReadResult::failed;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ReadResult::failed;
    // A reader may stop at the cap; a writer needs the whole file, or it
    // would write back a cut copy.
    if (whole && (ULONGLONG(info.nFileSizeHigh) << 32 | info.nFileSizeLow) > maxFileSize)
        return ReadResult::failed;
    HANDLE h =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return ReadResult::failed;
    char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while (whole || bytes.size() < maxFileSize) {
        if (!ReadFile(h, chunk, sizeof chunk, &got, NULL)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    CloseHandle(h);
    return ok ? ReadResult::ok : ReadResult::failed;
}

// The parsed file, from the cache when it is still current; NULL when the file
// cannot be read.
const RcFile* loadRcFile(const char* path) {
    if (!path || !*path) return nullptr;
    size_t found = cache.size();
    for (size_t i = 0; i < cache.size(); ++i)
        if (host::equalsNoCase(cache[i]->path, path)) found = i;

    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (found < cache.size()) cache.erase(cache.begin() + found);
        return nullptr;
    }
    ULONGLONG size = (ULONGLONG(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (found < cache.size()) {
        std::unique_ptr<RcFile> entry = std::move(cache[found]);
        cache.erase(cache.begin() + found);
        bool current = entry->size == size &&
                       CompareFileTime(&entry->written, &info.ftLastWriteTime) == 0 &&
                       asNumber(info.ftLastWriteTime) + trustAfter < entry->loadedAt;
        if (current) {
            cache.insert(cache.begin(), std::move(entry));
            return cache.front().get();
        }
    }
    auto entry = std::make_unique<RcFile>();
    entry->path = path;
    entry->loadedAt = now();
    if (readFile(path, entry->bytes) != ReadResult::ok) return nullptr;
    // Recorded after reading is fine: a change made meanwhile is re-read next time
    // because such a file is too recent to be trusted.
    entry->size = size;
    entry->written = info.ftLastWriteTime;
    parseLines(*entry);
    cache.insert(cache.begin(), std::move(entry));
    if (cache.size() > maxCachedFiles) cache.pop_back();
    return cache.front().get();
}

const RcLine* findLine(const RcFile& file, std::string_view key) {
    for (const RcLine& line : file.lines) {
        std::string_view lineKey(file.bytes.data() + line.keyBegin, line.keyEnd - line.keyBegin);
        if (host::equalsNoCase(lineKey, key)) return &line;
    }
    return nullptr;
}

// The trimmed value of key in the file at path; false when there is none.
bool lookUp(const char* path, const char* key, std::string_view& value) {
    if (!path || !key) return false;
    const RcFile* file = loadRcFile(path);
    if (!file) return false;
    const RcLine* line = findLine(*file, key);
    if (!line) return false;
    value =
        std::string_view(file->bytes.data() + line->valueBegin, line->valueEnd - line->valueBegin);
    return true;
}

bool parseInt(std::string_view text, int& result) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > 2147483648ll) return false;
    }
    if (negative) value = -value;
    if (value > 2147483647ll) return false;
    result = int(value);
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = host::asciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "#rrggbb" or "#rgb" (each digit doubled).
bool parseColor(std::string_view text, COLORREF& result) {
    if (text.size() != 7 && text.size() != 4) return false;
    if (text[0] != '#') return false;
    int d[6];
    for (size_t i = 1; i < text.size(); ++i)
        if ((d[i - 1] = hexDigit(text[i])) < 0) return false;
    int r, g, b;
    if (text.size() == 7) {
        r = d[0] * 16 + d[1];
        g = d[2] * 16 + d[3];
        b = d[4] * 16 + d[5];
    } else {
        r = d[0] * 17;
        g = d[1] * 17;
        b = d[2] * 17;
    }
    result = RGB(r, g, b);
    return true;
}

// Written beside the file and moved over it in one step, as a shell's writer
// must: a reader never sees half a file, and a failure leaves the old one.
bool writeFile(const char* path, const std::string& bytes) {
    std::string temporary = std::string(path) + ".host.tmp";
    HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD wrote = 0;
        DWORD want = DWORD(bytes.size() - done < 65536 ? bytes.size() - done : 65536);
        ok = WriteFile(h, bytes.data() + done, want, &wrote, NULL) && wrote == want;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(h);
    CloseHandle(h);
    ok = ok &&
         MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileA(temporary.c_str());
    return ok;
}

// The line break the file already uses, so that appended lines match it.
std::string lineBreakOf(const std::string& bytes) {
    size_t i = bytes.find_first_of("\r\n");
    if (i == std::string::npos || bytes[i] == '\n') return "\n";
    return (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? "\r\n" : "\r";
}

} // namespace

void host::forgetRcFile(const char* path) {
    if (!path) return;
    for (size_t i = 0; i < cache.size(); ++i)
        if (host::equalsNoCase(cache[i]->path, path)) {
            cache.erase(cache.begin() + i);
            return;
        }
}

extern "C" {

int __cdecl ReadInt(const char* path, const char* key, int def) {
    std::string_view value;
    int result;
    return lookUp(path, key, value) && parseInt(value, result) ? result : def;
}

bool __cdecl ReadBool(const char* path, const char* key, bool def) {
    std::string_view value;
    if (!lookUp(path, key, value)) return def;
    if (host::equalsNoCase(value, "true")) return true;
    if (host::equalsNoCase(value, "false")) return false;
    return def;
}

COLORREF __cdecl ReadColor(const char* path, const char* key, const char* def) {
    std::string_view value;
    COLORREF result;
    if (lookUp(path, key, value) && parseColor(value, result)) return result;
    if (def && parseColor(host::trimBlanks(def), result)) return result;
    return RGB(0, 0, 0);
}

const char* __cdecl ReadString(const char* path, const char* key, const char* def) {
    std::string_view value;
    if (!lookUp(path, key, value)) return def;
    host::copyBounded(stringBuffer, sizeof stringBuffer, value);
    return stringBuffer;
}

void __cdecl WriteBool(const char* path, const char* key, bool value) {
    if (!path || !*path || !key || !*key) return;
    std::string_view keyText(key);
    if (keyText.find_first_of("\r\n") != std::string_view::npos) return;
    const char* word = value ? "true" : "false";

    RcFile file;
    ReadResult read = readFile(path, file.bytes, true);
    if (read == ReadResult::failed) return; // never clobber a file that could not be read
    parseLines(file);
    std::string updated = file.bytes;
    if (const RcLine* line = findLine(file, keyText)) {
        std::string replacement = word;
        if (line->valueBegin == line->keyEnd && line->valueBegin == line->valueEnd)
            replacement.insert(0, 1, ' '); // "key:" with nothing after the colon
        updated.replace(line->valueBegin, line->valueEnd - line->valueBegin, replacement);
    } else {
        std::string lineBreak = lineBreakOf(updated);
        if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r')
            updated += lineBreak;
        updated += keyText;
        updated += ' ';
        updated += word;
        updated += lineBreak;
    }
    host::forgetRcFile(path);
    if (read == ReadResult::ok && updated == file.bytes) return; // leave the file untouched
    writeFile(path, updated);
}

} // extern "C"
