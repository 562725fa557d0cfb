// Shared by the benchmark's sources: the entries both sides show, the
// settings file text, the look read from the host's style, and the shared
// "wait until everything has painted" step.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CorvaneHost.h"

namespace bench {

struct Entry {
    std::string text;
    int done = 0;
};

// The entries the benchmark puts in the file: n entries of typical length.
std::vector<Entry> MakeEntries(int n);

// The settings file exactly as zelk writes it: the eight setting lines, then
// a text and a done line per entry.
std::string SettingsText(const std::vector<Entry>& entries, int x = 10, int y = 10);

// Writes text to path in one piece (no temporary file: this is the
// benchmark preparing a file, not a step being measured).
bool WriteWholeFile(const std::string& path, const std::string& text);

// The look zelk takes from the current style file, read the same way.
struct Look {
    COLORREF colour, colourTo, borderColour, textColour, doneTextColour;
    int bevelWidth, borderWidth;
    StyleRecord record;
    char fontFace[256];
    int fontHeight;
};
Look ReadLook();

// Brings every window of this thread up to date: pending paints are done
// now, then the queue is drained until no message (WM_PAINT included) is
// left. zelk and the bare windows are timed through the same call.
void Settle();

} // namespace bench
