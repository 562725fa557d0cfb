// The in-place editor: opened over an entry's label by a double-click, it
// takes the keyboard, and stores or cancels its text when the edit ends.
// Whether an edit is open is the plug-in's own state (EditingLabel), not the
// editor's visibility, so a hidden window keeps what was typed.
#pragma once

#include <windows.h>

void BeginEdit(HWND label);
// Ends an open edit and puts its text into the entry; true when the text
// changed. Nothing is saved: the caller's action saves it with its own.
bool StoreEdit();
// Ends an open edit and saves a changed text at once.
void CommitEdit();
// Stores an open edit, if there is one, before the windows change.
void CommitOpenEdit();
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
