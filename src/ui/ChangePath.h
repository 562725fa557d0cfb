// Every change goes one way, whatever made it (a click, a key, a command, an
// undo, or another program writing the settings file): its record changes
// the list, the rows are brought in line with it, whoever must know is told,
// and one save writes it, merged with the file as another program left it.
#pragma once

#include <windows.h>

#include "data/History.h"

// Appends `next` (a record or a chain) to the chain `first`; either may be null.
Change* Then(Change* first, Change* next);
// Applies the chain of records in order and saves once. A record whose entry
// is gone is dropped with a warning sound. False when nothing was applied.
// Each record applied leaves its inverse in the history. An undo or redo
// (`origin`, the step's `name`) is the chain's last record; any before it
// are the user's own (an edit stored on the way).
bool Perform(Change* changes, Origin origin = Origin::user, int name = 0);
// Saves what is not a change of the list: the window moved or docked.
void SaveNow();
// The list, its rows and the window's settings as the document has them.
void BringInLine(const Document& document);

// Reloads wait while a drag or a move is under way (boxes and menus count
// by themselves).
void HoldReloads(bool hold);
// The settings file's folder changed: the file is read once it has been
// quiet for a moment, unless the change is zelk's own save.
void OnSettingsFolderChanged(HWND mainWindow);
void OnReloadTimer(HWND mainWindow);
constexpr UINT_PTR ReloadTimer = 0x2a2;
