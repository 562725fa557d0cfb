// The in-place editor: opened over an entry's label by a double-click, it
// takes the keyboard, and stores or cancels its text when the edit ends.
// Whether an edit is open is the plug-in's own state (Edit), not the
// editor's visibility, so a hidden window keeps what was typed.
#pragma once

#include <windows.h>

void BeginEdit(HWND label);
struct Change;

// Ends an open edit: the record of its rename, or null when the text did not
// change. Nothing is applied or saved: the caller's action performs it with
// its own change, in its one save.
Change* TakeOpenEdit();
// Ends an open edit and saves a changed text at once.
void CommitEdit();
void CancelEdit();
// The editor lost the keyboard to another window: what it holds is stored.
void EditorLostKeyboard();
// The window that had the keyboard before the edit is forgotten (the window
// set is going).
void ForgetKeyboardOwner();
// Around a change of the main window's parent (docking, floating free): an
// open edit stays open, and its editor keeps the keyboard it had.
void BeginReparenting();
void EndReparenting();
