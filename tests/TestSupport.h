// Helpers shared by the programs that drive the plug-in's code directly.
// The test program is both the shell (it links the host library) and the
// plug-in's module, so the settings file lives beside the test program.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "TestFiles.h"

struct ListItem;

namespace test {

std::string ProgramDirectory();          // with trailing backslash
std::string HostDirectory();             // a folder the host reports as its own
std::string SettingsPath();              // zelk.rc beside the program
std::string StyleFile(const char* name); // one of the host's shipped styles

bool FileExistsAt(const std::string& path);
// The temporary files of saves beside a settings file (any copy's).
std::vector<std::string> TemporaryFiles(const std::string& settingsPath);
void RemoveSettingsFiles(); // every candidate in both folders

// Writes a style file into the program's folder and makes it current.
void UseStyleText(const std::string& text);
void UseStyle(const char* name);

void BindHost();
void PumpMessages(int milliseconds = 0);
// Injects a Control press or release. A focus change still on its way (a
// window or box of an earlier step) would reset the key state to the
// display's and undo an injected press, so pending messages go first.
void PressControl(bool down);

// zelk.rc with the standard first eight lines and the given entries.
std::string SettingsText(const std::vector<std::pair<std::string, int>>& entries,
                         const std::string& extra = "");

// Starts the plug-in from the given settings file text; ends it in Stop.
bool Start(const std::string& settings);
bool StartSlit(const std::string& settings, HWND slit);
void Stop();

// Every message box the program shows on its main thread is recorded as
// asked for (through its import of MessageBoxA) and closed from inside the
// box's own message loop, so no test can hang on one.
struct MessageBoxSeen {
    int count = 0; // in WatchMessageBoxes: how many boxes appeared
    std::string caption, text;
    HWND owner = nullptr;
    UINT style = 0;
    std::string shownText; // the text the open box showed
};
// The boxes shown since the last ForgetBoxes, oldest first.
std::vector<MessageBoxSeen> BoxesShown();
void ForgetBoxes();
// Runs on the main thread while each box is open (inside its message loop),
// before the box is closed; an empty function runs nothing.
void WhileABoxIsOpen(const std::function<void()>& action);
// The boxes that appear while `action` runs: their count and the last one.
MessageBoxSeen WatchMessageBoxes(const std::function<void()>& action);

// How many times a file has been moved into place as the settings file (one
// per completed save), counted since the program started.
int SettingsFileReplacements();
// Warning sounds (MB_ICONWARNING) made since the program started.
int WarningSounds();
// The system's words for an error, as a box would quote them.
std::string SystemMessage(DWORD error);

// The colour of a window's pixel as shown on screen, after painting.
COLORREF PixelOf(HWND window, int x, int y);

// Colours within a blend of each other (text edges are smoothed).
bool Near(COLORREF a, COLORREF b);
// WCAG's contrast ratio of two colours, from 1 (the same) to 21.
double Contrast(COLORREF a, COLORREF b);

// Every pixel of a window's client area, as painted (Capture).
struct Shot {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[y * width + x]; }
    int Count(COLORREF c) const {
        int n = 0;
        for (COLORREF p : pixels)
            n += Near(p, c);
        return n;
    }
    int CountExactlyNot(COLORREF c) const {
        int n = 0;
        for (COLORREF p : pixels)
            n += p != c;
        return n;
    }
    // Longest horizontal run of pixels near the colour.
    int LongestRun(COLORREF c) const {
        int best = 0;
        for (int y = 0; y < height; ++y) {
            int run = 0;
            for (int x = 0; x < width; ++x) {
                run = Near(at(x, y), c) ? run + 1 : 0;
                best = std::max(best, run);
            }
        }
        return best;
    }
    bool AnyInColumns(int from, int to, COLORREF c) const {
        for (int y = 0; y < height; ++y)
            for (int x = from; x <= to; ++x)
                if (Near(at(x, y), c)) return true;
        return false;
    }
    // The box [left, right] x [top, bottom] around every pixel near the colour.
    RECT Extent(COLORREF c) const {
        RECT r = {width, height, -1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (Near(at(x, y), c)) {
                    r.left = std::min<LONG>(r.left, x), r.right = std::max<LONG>(r.right, x);
                    r.top = std::min<LONG>(r.top, y), r.bottom = std::max<LONG>(r.bottom, y);
                }
        return r;
    }
};

Shot Capture(HWND window);
// Entry i's label as painted, then as painted with its text emptied in
// memory for that one paint: the background under the letters.
struct LabelShots {
    Shot withText, withoutText;
};
LabelShots CaptureLabel(int i);

// Entries of the list in memory, as (text, done) pairs.
std::vector<std::pair<std::string, int>> ListedEntries();
// The i-th record of the list, or null.
ListItem* Entry(int i);
// UTF-8 of a wide text, such as the settings file's path.
std::string Utf8(const std::wstring& text);

// Wine reports no GDI object counts. Its handle table hands out freed slots
// before new ones, so the highest slot a burst of fresh objects lands in
// stays put while paints release what they make, and climbs by one per
// paint for every object a paint leaks.
int HighestFreshGdiSlot();

} // namespace test
