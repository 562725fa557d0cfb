// Bounded text handling for the plug-in's fixed buffers.
#pragma once

#include <stddef.h>

// Copies at most size - 1 characters and always terminates; NULL copies "".
void CopyText(char* dest, size_t size, const char* src);
// printf-style formatting cut to size - 1 characters; returns the length written.
int FormatText(char* dest, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
char LowerAscii(char c);
// ASCII comparison without regard to case; NULL equals nothing.
bool EqualsIgnoringCase(const char* a, const char* b);
// Turns control characters (a line break above all; C1 controls and the
// line and paragraph separators in UTF-8) into spaces, in place.
void ReplaceControlCharacters(char* text);
// The same, then trims surrounding blanks.
void CleanEntryText(char* text);
bool IsBlankText(const char* text);
// Conversions between UTF-8 and UTF-16, cut to size - 1 units and always
// terminated; a cut never leaves half a character.
void WideToUtf8(char* dest, size_t size, const wchar_t* src);
void Utf8ToWide(wchar_t* dest, size_t size, const char* src);
