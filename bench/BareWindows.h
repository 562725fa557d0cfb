// The bare lower bound: the least plain Win32 work that shows what zelk
// shows. The same windows (a popup, a hidden edit control, a done box and a
// label per entry, an Add Item button) at the same places, each painted
// once through a memory DC with one bitmap, the host's gradient, the text
// where there is text (one font made for that paint), a box's frame and
// tick, and one BitBlt. Adding
// or deleting an entry writes the settings file (temporary file, flush,
// replace), destroys the windows, reads the file once and builds them anew,
// the way zelk's design does it, but with nothing else on the way.
#pragma once

#include <windows.h>

#include <string>

#include "Bench.h"

namespace bare {

// Registers the class, reads the settings file once, creates and shows the
// windows. Painting happens in bench::Settle.
bool Start(const std::string& settingsPath, const bench::Look& look);
// Writes the settings file, destroys the windows, unregisters the class.
void Unload();
// Writes the settings file alone (temporary file, flush, replace).
bool Save();

// The windows, for sending the same messages zelk's windows get:
// WM_LBUTTONUP to the button adds an entry, WM_RBUTTONDBLCLK to a label
// deletes its entry, WM_LBUTTONUP to a done box toggles its tick.
HWND MainWindow();
HWND AddButton();
HWND Label(int index);
HWND DoneBox(int index);
int EntryCount();

} // namespace bare
