// Helpers shared by the development host's sources; not part of any API.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "CorvaneHost.h"

namespace host {

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Case-insensitive (ASCII) equality of two byte ranges.
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

inline std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Copies text into buffer[0..size), cutting it to fit and always terminating.
inline void copyBounded(char* buffer, size_t size, std::string_view text) {
    if (!buffer || size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n) memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

// The executable's folder, with a trailing backslash.
std::string exeDirectory();

// Forgets the cached copy of an rc file (after writing it).
void forgetRcFile(const char* path);

// Posted to the host window with a heap-allocated std::string of a menu
// command; the window broadcasts it and frees the string.
const UINT menuCommandMessage = WM_APP + 1;

// Frees every menu; called when the host stops.
void resetMenus();

// Destroys the slit if there is one.
void destroySlit();

} // namespace host
