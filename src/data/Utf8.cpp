#include "data/Utf8.h"

#include <windows.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "data/Text.h"

namespace {

// The length of the well-formed sequence at p, or 0 when there is none.
size_t SequenceLength(const unsigned char* p, size_t left) {
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t n = 0;
    unsigned char low = 0x80, high = 0xbf; // the second byte's range
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        if (c == 0xe0) low = 0xa0;  // overlong
        if (c == 0xed) high = 0x9f; // surrogates
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        if (c == 0xf0) low = 0x90;  // overlong
        if (c == 0xf4) high = 0x8f; // past U+10FFFF
    } else {
        return 0;
    }
    if (left < n || p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < n; ++i) {
        if (p[i] < 0x80 || p[i] > 0xbf) return 0;
    }
    return n;
}

// The bytes of the longest start of the text that holds at most 99 code
// points and fits `room` bytes without splitting a sequence. A byte that
// starts no sequence counts as one code point.
size_t CutLength(const char* text, size_t length, size_t room) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text);
    size_t at = 0;
    for (int points = 0; at < length && points < MaxTextCodePoints; ++points) {
        size_t step = SequenceLength(b + at, length - at);
        if (step == 0) step = 1;
        if (at + step > room) break;
        at += step;
    }
    return at;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xd800 && c <= 0xdbff;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xdc00 && c <= 0xdfff;
}

// The units the code point at text takes: two for a whole pair.
int PointUnits(const wchar_t* text) {
    return IsHighSurrogate(text[0]) && IsLowSurrogate(text[1]) ? 2 : 1;
}

} // namespace

bool IsUtf8(const char* bytes, size_t length) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t at = 0; at < length;) {
        size_t step = SequenceLength(b + at, length - at);
        if (step == 0) return false;
        at += step;
    }
    return true;
}

void CopyEntryText(char* dest, size_t size, const char* src) {
    if (!dest || size == 0) return;
    size_t n = src ? CutLength(src, strlen(src), size - 1) : 0;
    if (n) memmove(dest, src, n);
    dest[n] = '\0';
}

void DecodeEntryText(const char* bytes, size_t length, unsigned codePage, char* dest, size_t size) {
    if (!dest || size == 0) return;
    const void* nul = length ? memchr(bytes, 0, length) : nullptr;
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
    if (IsUtf8(bytes, length)) {
        size_t n = CutLength(bytes, length, size - 1);
        memcpy(dest, bytes, n);
        dest[n] = '\0';
        return;
    }
    // No code page takes more than four bytes for a character, so this many
    // bytes give the 99 characters kept; each byte gives at most one unit.
    const int most = 4 * MaxTextCodePoints;
    int take = length < static_cast<size_t>(most) ? static_cast<int>(length) : most;
    wchar_t wide[most + 1];
    int units = MultiByteToWideChar(codePage, 0, bytes, take, wide, most);
    if (units <= 0) {
        // An unknown code page: the ASCII stays readable.
        for (units = 0; units < take; ++units)
            wide[units] = static_cast<unsigned char>(bytes[units]) < 0x80 ? bytes[units] : L'?';
    }
    wide[units] = L'\0';
    NarrowText(wide, dest, size);
}

// The text is cut first, so that `count` units of TextUnits always hold it.
void WidenText(const char* text, wchar_t* dest, int count) {
    char cut[TextBytes];
    CopyEntryText(cut, sizeof cut, text);
    Utf8ToWide(dest, count > 0 ? static_cast<size_t>(count) : 0, cut);
}

void NarrowText(const wchar_t* text, char* dest, size_t size) {
    wchar_t cut[TextUnits];
    int units = 0;
    for (int points = 0; text && text[units] && points < MaxTextCodePoints; ++points)
        units += PointUnits(text + units);
    if (units) memcpy(cut, text, units * sizeof(wchar_t));
    cut[units] = L'\0';
    WideToUtf8(dest, size, cut);
}

int CountCodePoints(const wchar_t* text) {
    int points = 0;
    for (int at = 0; text && text[at]; at += PointUnits(text + at))
        ++points;
    return points;
}

bool NormaliseFileBytes(char*& bytes, size_t& length) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    if (length >= 3 && b[0] == 0xef && b[1] == 0xbb && b[2] == 0xbf) {
        length -= 3;
        memmove(bytes, bytes + 3, length);
        return true;
    }
    const bool little = length >= 2 && b[0] == 0xff && b[1] == 0xfe;
    const bool big = length >= 2 && b[0] == 0xfe && b[1] == 0xff;
    if (!little && !big) return true;
    // Each unit takes at most three bytes of UTF-8 (a pair four for two); an
    // odd last byte is no unit.
    size_t units = (length - 2) / 2;
    char* out = nullptr;
    wchar_t* wide = nullptr;
    if (units <= INT_MAX / 3) {
        out = static_cast<char*>(malloc(units * 3 + 1));
        wide = static_cast<wchar_t*>(malloc((units + 1) * sizeof(wchar_t)));
    }
    if (!out || !wide) {
        free(out);
        free(wide);
        free(bytes);
        bytes = nullptr;
        length = 0;
        return false;
    }
    for (size_t i = 0; i < units; ++i) {
        unsigned first = b[2 + 2 * i], second = b[3 + 2 * i];
        wide[i] = static_cast<wchar_t>(little ? first | second << 8 : first << 8 | second);
    }
    int n = units ? WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), out,
                                        static_cast<int>(units * 3), nullptr, nullptr)
                  : 0;
    free(wide);
    free(bytes);
    bytes = out;
    length = n > 0 ? static_cast<size_t>(n) : 0;
    return true;
}
