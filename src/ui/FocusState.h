// Where zelk's keyboard focus is: the focused entry, or the Add Item button,
// and whether zelk holds the keyboard at all. Screen readers follow the same
// state, so the win events that tell them about entries go out from here.
#pragma once

#include <windows.h>

struct ListItem;

// Rows are the entries that have their windows, counted from 0; a screen
// reader sees row r as child r + 1 and the Add Item button after the last.
int FocusRows();
ListItem* EntryAtRow(int row);
int RowOfEntry(const ListItem* item); // -1 for none

// True while the main window holds the keyboard (not the editor).
bool ZelkHasKeyboard();
// The focused entry, or null when the focus is on Add Item: the entry
// focused last in this session, else the first; in an empty list Add Item.
ListItem* FocusedEntry();
// The entry the list goes back to from Add Item (Tab): as FocusedEntry,
// but ignoring that the focus is on the button.
ListItem* ListFocusEntry();
// Moves the focus to `item`, or to Add Item when null. Only the two rows
// involved repaint, and screen readers are told while zelk has the keyboard.
// It never takes the keyboard: whatever changed an entry (an undo, say) may
// call it, once the change is laid out, to move the mark to that entry.
void SetFocusedEntry(ListItem* item);
// The focused entry now shows in another row's record (two rows traded what
// they show): the focus goes along, and nothing more is told or painted.
void FocusStaysWith(ListItem* item);
// The window the focus mark is drawn in while zelk has the keyboard.
HWND FocusedWindow();
bool ShowsFocusMark(HWND window);
// The keyboard came to zelk or left it: the mark shows or goes.
void KeyboardArrived();
void KeyboardLeft();
// An entry's row is being destroyed. When it had the focus (a deletion,
// Remove Ticked Entries, a reload, an undo), the focus passes at the next
// layout to the first entry after it that stays, else the last, else Add
// Item.
void EntryLeaving(const ListItem* item);
// The rows were laid out anew after a change to the list.
void ListLaidOut();
// The window set is going.
void ForgetFocus();

// The child id a screen reader knows `item` by (null: Add Item).
LONG ChildIdOf(const ListItem* item);
// Tells screen readers, through the system's win events, that something
// about an entry (null: Add Item) changed. Costs one call into the system
// when nobody listens.
void NotifyEntryEvent(DWORD event, const ListItem* item);
// The list's children changed: added, deleted, moved, reloaded.
void NotifyListReordered();
