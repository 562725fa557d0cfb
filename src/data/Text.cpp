#include "data/Text.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void CopyText(char* dest, size_t size, const char* src) {
    if (!dest || size == 0) return;
    size_t i = 0;
    if (src) {
        for (; i + 1 < size && src[i]; ++i)
            dest[i] = src[i];
    }
    dest[i] = '\0';
}

// msvcrt's _vsnprintf neither terminates a cut text nor reports its length,
// so both are settled here.
int FormatText(char* dest, size_t size, const char* format, ...) {
    if (!dest || size == 0) return 0;
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(dest, size - 1, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= size - 1) n = static_cast<int>(size - 1);
    dest[n] = '\0';
    return n;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

static bool IsBlankChar(char c) {
    return c == ' ' || c == '\t';
}

// The bytes of the control character at p, or 0: C0 and DEL, and in UTF-8
// the C1 controls and the line and paragraph separators, which would break a
// line in some readers or draw as nothing.
static size_t ControlLength(const char* p) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    if (b[0] < 0x20 || b[0] == 0x7f) return 1;
    if (b[0] == 0xc2 && b[1] >= 0x80 && b[1] <= 0x9f) return 2;
    if (b[0] == 0xe2 && b[1] == 0x80 && (b[2] == 0xa8 || b[2] == 0xa9)) return 3;
    return 0;
}

void ReplaceControlCharacters(char* text) {
    if (!text) return;
    char* out = text;
    for (const char* p = text; *p;) {
        size_t control = ControlLength(p);
        if (control) {
            *out++ = ' ';
            p += control;
        } else {
            *out++ = *p++;
        }
    }
    *out = '\0';
}

void CleanEntryText(char* text) {
    if (!text) return;
    ReplaceControlCharacters(text);
    size_t start = 0;
    while (IsBlankChar(text[start]))
        ++start;
    size_t end = strlen(text);
    while (end > start && IsBlankChar(text[end - 1]))
        --end;
    memmove(text, text + start, end - start);
    text[end - start] = '\0';
}

bool IsBlankText(const char* text) {
    if (!text) return true;
    for (const char* p = text; *p;) {
        size_t control = ControlLength(p);
        if (*p != ' ' && !control) return false;
        p += control ? control : 1;
    }
    return true;
}

void WideToUtf8(char* dest, size_t size, const wchar_t* src) {
    if (!dest || size == 0) return;
    size_t used = 0;
    // A character at a time, so a cut falls between characters.
    for (size_t i = 0; src && src[i];) {
        const bool pair =
            src[i] >= 0xD800 && src[i] <= 0xDBFF && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF;
        const int units = pair ? 2 : 1;
        char bytes[8];
        int n =
            WideCharToMultiByte(CP_UTF8, 0, src + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || used + static_cast<size_t>(n) + 1 > size) break;
        memcpy(dest + used, bytes, static_cast<size_t>(n));
        used += static_cast<size_t>(n);
        i += static_cast<size_t>(units);
    }
    dest[used] = '\0';
}

void Utf8ToWide(wchar_t* dest, size_t size, const char* src) {
    if (!dest || size == 0) return;
    dest[0] = L'\0';
    if (!src) return;
    const int room = static_cast<int>(size > 0x10000 ? 0x10000 : size);
    int n = MultiByteToWideChar(CP_UTF8, 0, src, -1, dest, room);
    if (n > 0) return;
    n = MultiByteToWideChar(CP_UTF8, 0, src, -1, nullptr, 0);
    // Too long: the part that fits, ending before a lone high surrogate.
    wchar_t* whole = static_cast<wchar_t*>(malloc(sizeof(wchar_t) * (n > 0 ? n : 1)));
    if (!whole) return;
    MultiByteToWideChar(CP_UTF8, 0, src, -1, whole, n > 0 ? n : 1);
    size_t used = 0;
    while (used + 1 < static_cast<size_t>(room) && whole[used])
        ++used;
    if (used > 0 && whole[used - 1] >= 0xD800 && whole[used - 1] <= 0xDBFF) --used;
    memcpy(dest, whole, used * sizeof(wchar_t));
    dest[used] = L'\0';
    free(whole);
}
