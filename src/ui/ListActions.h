// What the user does to the list: add, delete, remove the ticked entries,
// undo a deletion, change the width. Each changes the rows it must, not the
// whole window, and saves once.
#pragma once

#include <windows.h>

void AddItem();
void DeleteItem(HWND window);
void RemoveTickedEntries();
void UndoDelete();
bool AnyEntryTicked();
// A width outside 30 to 4000 changes nothing.
void SetWindowWidth(int width);
