#include "data/Text.h"

#include <stdarg.h>
#include <stdio.h>
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

static char LowerAscii(char c) {
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

static bool IsControlChar(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

void ReplaceControlCharacters(char* text) {
    if (!text) return;
    for (char* p = text; *p; ++p) {
        if (IsControlChar(*p)) *p = ' ';
    }
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
    for (; *text; ++text) {
        if (*text != ' ' && !IsControlChar(*text)) return false;
    }
    return true;
}
