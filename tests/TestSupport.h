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
void RemoveSettingsFiles(); // every candidate in both folders

// Writes a style file into the program's folder and makes it current.
void UseStyleText(const std::string& text);
void UseStyle(const char* name);

void BindHost();
void PumpMessages(int milliseconds = 0);

// zelk.rc with the standard first eight lines and the given entries.
std::string SettingsText(const std::vector<std::pair<std::string, int>>& entries,
                         const std::string& extra = "");

// Starts the plug-in from the given settings file text; ends it in Stop.
bool Start(const std::string& settings);
bool StartSlit(const std::string& settings, HWND slit);
void Stop();

// A message box that appears while `action` runs is read and closed.
struct MessageBoxSeen {
    int count = 0;
    std::string caption, text;
    HWND owner = nullptr;
};
MessageBoxSeen WatchMessageBoxes(const std::function<void()>& action);

// The colour of a window's pixel as shown on screen, after painting.
COLORREF PixelOf(HWND window, int x, int y);

// Entries of the list in memory, as (text, done) pairs.
std::vector<std::pair<std::string, int>> ListedEntries();
// The i-th record of the list, or null.
ListItem* Entry(int i);

// Wine reports no GDI object counts. Its handle table hands out freed slots
// before new ones, so the highest slot a burst of fresh objects lands in
// stays put while paints release what they make, and climbs by one per
// paint for every object a paint leaks.
int HighestFreshGdiSlot();

} // namespace test
