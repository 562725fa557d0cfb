// Entry texts are UTF-8 in memory and in the settings file, and UTF-16 in
// the windows. Every conversion and every cut of an entry text is here, so a
// text never ends in half a character and never holds more than 99 of them.
#pragma once

#include <stddef.h>
#include <wchar.h>

// A text holds at most this many code points in any script (a surrogate pair
// is one).
constexpr int MaxTextCodePoints = 99;
// The buffers that hold an entry text: UTF-8 bytes and UTF-16 units, each
// with the terminator.
constexpr int TextBytes = MaxTextCodePoints * 4 + 1;
constexpr int TextUnits = MaxTextCodePoints * 2 + 1;

// Every sequence well formed: no stray continuation bytes, no overlong forms,
// no surrogates, nothing past U+10FFFF.
bool IsUtf8(const char* bytes, size_t length);
// The one cut of an entry text: copies src, at most 99 code points and
// size - 1 bytes, never a part of a sequence; always terminates.
void CopyEntryText(char* dest, size_t size, const char* src);
// A value read from the file: kept when it is valid UTF-8, else read in the
// given code page (the system's ANSI one at run time) and made UTF-8. The
// value ends at a NUL byte; the result is cut as CopyEntryText cuts.
void DecodeEntryText(const char* bytes, size_t length, unsigned codePage, char* dest, size_t size);
// For the windows. Both stay within `count` units or `size` bytes and
// terminate; the text made from a window is cut as CopyEntryText cuts.
void WidenText(const char* text, wchar_t* dest, int count);
void NarrowText(const wchar_t* text, char* dest, size_t size);
// Code points in a UTF-16 text; a lone surrogate counts as one.
int CountCodePoints(const wchar_t* text);
// A file's bytes made UTF-8 before they are parsed: a leading UTF-8
// byte-order mark is dropped, and a file that starts with a UTF-16 one (either
// order) is converted whole. False when out of memory; the bytes are then
// freed.
bool NormaliseFileBytes(char*& bytes, size_t& length);
