// What the user does to the list: add, delete, remove the ticked entries,
// change the width, undo and redo. Each makes the record of what the user
// did and hands it to the one change path.
#pragma once

#include <windows.h>

struct ListItem;

void AddItem();
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
