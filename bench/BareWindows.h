// The bare lower bound: the least plain Win32 work that shows what zelk
// shows. The same windows (a popup, a hidden edit control, a done box and a
// label per entry, an Add Item button) at the same places, each painted
// once through a memory DC with one bitmap, the host's gradient, the text
// where there is text (one font made for that paint), a box's frame and
// tick, and one BitBlt.
//
// Every change saves the whole settings file (temporary file, flush, a look
// at the file for another program's write, replace) and touches only the
// windows it must: an addition makes one row, grows the popup and moves the
// button; a deletion destroys one row and moves the rows below it up in one
// deferred batch; Undo Delete, an insertion, grows the popup, moves the rows
// below its place and the button down in one deferred batch, bottom first,
// and makes one row; a tick repaints its row; Control+Up swaps what two rows
// show and repaints those two. The popup clips its children, so the repaint
// its new height needs (its gradient spans that height) leaves the rows
// alone. A thread watches the file's folder from the start; once the folder
// has been quiet for 200 ms, a file another program changed is read once
// and the rows that differ repaint, or the one entry it inserted or removed
// gains or loses its row the same way.
//
// The whole rebuild stays as a second way of adding and deleting, to time
// against: write the file, destroy every window, read the file once and
// build everything anew.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Bench.h"

namespace bare {

// Registers the class, reads the settings file once, creates and shows the
// windows, starts watching the file's folder. Painting happens in
// bench::Settle.
bool Start(const std::string& settingsPath, const bench::Look& look);
// Writes the settings file, stops the watch, destroys the windows,
// unregisters the class.
void Unload();
// How an addition or a deletion reaches the windows.
enum class Changes { OneRow, Rebuild };
void SetChanges(Changes changes);

// Saves the settings file whole, as every change does: timed on its own too.
bool Save();
// The entries shown, as the settings file holds them.
const std::vector<bench::Entry>& Entries();

// The windows, for sending the same messages zelk's windows get:
// WM_LBUTTONUP to the button adds an entry, WM_RBUTTONDBLCLK to a label
// deletes its entry, WM_LBUTTONUP to a done box toggles its tick and saves,
// WM_TIMER with ReloadTimer to the main window ends the quiet time at once.
// To the main window: WM_KEYDOWN with VK_END puts zelk's focus mark on the
// last row (the bare routine draws it, holding the keyboard or not), with
// VK_UP and Control held in the thread's key state moves the focused entry
// up one place and saves; UndoDeleteMessage brings the last deleted entry
// back to its place and saves.
constexpr UINT_PTR ReloadTimer = 1;
constexpr UINT UndoDeleteMessage = WM_APP + 2;
HWND MainWindow();
HWND AddButton();
HWND Label(int index);
HWND DoneBox(int index);
int EntryCount();

} // namespace bare
