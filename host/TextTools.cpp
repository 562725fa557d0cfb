// Text helpers the shell offers plug-ins: substring test, tokenizer, and the
// parser of gradient descriptions ("raised gradient vertical interlaced").
#include "HostPrivate.h"

namespace {

// Plug-ins pass 4096-byte buffers for tokens and the remainder.
const size_t tokenBufferSize = 4096;

const char* skipBlanks(const char* p) {
    while (host::isBlank(*p))
        ++p;
    return p;
}

const char* skipWord(const char* p) {
    while (*p && !host::isBlank(*p))
        ++p;
    return p;
}

struct Word {
    const char* text;
    int kind; // 0 bevel kind, 1 bevel position, 2 gradient type, 3 interlaced, 4 "gradient"
    int value;
};

const Word words[] = {
    {"flat", 0, 0},      {"raised", 0, 1},        {"sunken", 0, 2},     {"bevel1", 1, 1},
    {"bevel2", 1, 2},    {"solid", 2, 0},         {"horizontal", 2, 1}, {"vertical", 2, 2},
    {"diagonal", 2, 3},  {"crossdiagonal", 2, 4}, {"pipecross", 2, 5},  {"elliptic", 2, 6},
    {"rectangle", 2, 7}, {"pyramid", 2, 8},       {"interlaced", 3, 1}, {"gradient", 4, 0},
};

} // namespace

extern "C" {

bool __cdecl IsInString(const char* text, const char* fragment) {
    if (!text || !fragment) return false;
    size_t n = strlen(fragment);
    for (const char* p = text;; ++p) {
        size_t i = 0;
        while (i < n && p[i] && host::asciiLower(p[i]) == host::asciiLower(fragment[i]))
            ++i;
        if (i == n) return true;
        if (!*p) return false;
    }
}

int __cdecl CorvaneTokenize(const char* text, char** tokens, int count, char* remainder) {
    for (int i = 0; tokens && i < count; ++i)
        if (tokens[i]) tokens[i][0] = 0;
    if (remainder) remainder[0] = 0;
    if (!text) return 0;
    const char* p = skipBlanks(text);
    int found = 0;
    while (found < count && *p) {
        const char* end = skipWord(p);
        if (tokens && tokens[found])
            host::copyBounded(tokens[found], tokenBufferSize, std::string_view(p, end - p));
        ++found;
        p = skipBlanks(end);
    }
    if (remainder) host::copyBounded(remainder, tokenBufferSize, p);
    return found;
}

void __cdecl ParseItem(const char* description, StyleRecord* record) {
    if (!record) return;
    memset(record, 0, sizeof *record);
    if (!description) description = "flat gradient vertical";
    int values[4] = {0, 1, 2, 0}; // flat, bevel1, vertical, not interlaced
    bool solid = false, gradient = false;
    for (const char* p = skipBlanks(description); *p; p = skipBlanks(p)) {
        const char* end = skipWord(p);
        std::string_view word(p, end - p);
        for (const Word& w : words) {
            if (!host::equalsNoCase(word, w.text)) continue;
            if (w.kind == 4)
                gradient = true;
            else if (w.kind == 2 && w.value == 0)
                solid = true;
            else
                values[w.kind] = w.value;
        }
        p = end;
    }
    record->valueA = values[0];
    record->valueB = values[1];
    // "solid" wins unless the description also says "gradient".
    record->gradientType = solid && !gradient ? 0 : values[2];
    record->flag = (unsigned char)values[3];
}

} // extern "C"
