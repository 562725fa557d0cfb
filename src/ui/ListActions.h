// What the user does to the list: add, delete, remove the ticked entries,
// change the width, undo and redo. Each makes the record of what the user
// did and hands it to the one change path.
#pragma once

#include <windows.h>

struct ListItem;

// True when the new entry shows as the list's last row.
bool AddItem();
// Add Item clicked (its button-1 release at `position` in `window`): adds,
// and remembers when and where the click was.
void AddItemClicked(HWND window, LPARAM position);
// Add Item moves down a row with each addition, so quick clicks on it land
// on the new row, the one after as a double-click there. A button-1 press
// or double-click within the double-click time and rectangle of the last
// click that added is one more click on Add Item: true, and its release in
// the same window adds (AddsOnRelease).
bool PressContinuesAdding(HWND window, LPARAM position);
bool AddsOnRelease(HWND window);
// The window set is going: a later start's first click continues nothing.
void ForgetQuickClicks();
void DeleteItem(HWND window);
void RemoveTickedEntries();
// The newest step taken back, the newest undone done again, the newest
// deletion taken back (wherever it stands among the steps).
void Undo();
void Redo();
void UndoDelete();
bool AnyEntryTicked();
// A width outside 30 to 4000 changes nothing.
void SetWindowWidth(int width);
// Ticks (1) or unticks (0) the entry, storing an open edit in the same save.
void SetEntryDone(ListItem* item, int done);
// Moves the entry `by` places up (negative) or down, storing an open edit
// in the same save; at either end of the list nothing moves: false.
bool MoveEntryBy(ListItem* item, int by);
// Sets one of the settings (see Setting) and saves.
void ChangeSetting(int setting, int value);
