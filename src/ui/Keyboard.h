// zelk's keyboard: how zelk takes it (a click, the Focus command), gives it
// back (Escape), and what each key does while the list holds it.
#pragma once

#include <windows.h>

// A button is about to activate zelk's window: who has the keyboard now is
// remembered, to have it back on Escape.
void NoteKeyboardOwner();
// A button pressed in one of zelk's windows gives zelk the keyboard, docked
// or not; on a row or the Add Item button it also moves the focus there.
// While an edit is open the click ends the edit, which decides instead.
void OnClickTakesKeyboard(HWND window);
// The Focus command: the window shows if hidden, comes to the front and
// takes the keyboard.
void FocusCommand();
// The main window gained or lost the keyboard.
void OnMainSetFocus(HWND previous);
void OnMainKillFocus();
// Shift+F10 and the Menu key open the configuration menu.
bool OpensMenu(WPARAM key);
// A key pressed while zelk's list has the keyboard; true when it acted.
bool OnListKey(WPARAM key);
// The window set is going.
void ForgetKeyboard();
