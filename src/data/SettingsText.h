// The settings file's text as zelk reads it: the whole file in one read,
// which lines are zelk's own (the first match of each of its keys, found the
// way the shell's readers find them), and every other line, kept verbatim.
// Later duplicates of zelk's keys are neither read nor kept.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "data/Document.h"

class PluginInstance;

constexpr size_t None = SIZE_MAX;

struct Span {
    size_t begin = None, end = None;
    bool Found() const { return begin != None; }
};

// Where each of zelk's keys first occurs (the first match wins, as for the
// shell's readers), and which entries load.
struct ParsedFile {
    const char* bytes;
    size_t length;
    size_t settingLine[SettingCount];
    Span settingValue[SettingCount];
    size_t textLine[MaxEntryNumber + 1], doneLine[MaxEntryNumber + 1];
    Span textValue[MaxEntryNumber + 1], doneValue[MaxEntryNumber + 1];
};

enum class FileRead { ok, missing, unreadable };

// asText: as text, its byte-order mark gone and UTF-16 turned to UTF-8
// (NormaliseFileBytes); else its bytes as they are on disk.
FileRead ReadWholeFile(const wchar_t* path, char*& bytes, size_t& length, DWORD& error,
                       DWORD patience, bool asText = true);
// How long a read at start waits out another program's hold on the file.
// Later reads wait on a timer instead (PluginInstance::Save).
constexpr DWORD PatienceAtStart = 1000;
// Finds zelk's keys in the file's bytes, which must outlive the result.
void Parse(const char* b, size_t n, ParsedFile& f);
// The file's entries and settings, each setting its default where the file
// has no usable value.
void TakeDocument(const ParsedFile& f, Document& d);
// Continues a hash of the file's bytes; start with HashStart.
constexpr unsigned long long HashStart = 14695981039346656037ull;
unsigned long long HashBytes(const char* bytes, size_t length, unsigned long long hash);
bool KeepUnloadedLines(const ParsedFile& f, char*& kept, size_t& keptLength);
