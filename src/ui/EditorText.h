// The editor's text: the editor is a Unicode window, entries are UTF-8. It
// takes at most 99 code points, whatever brings them (typing, a paste, the
// input method); more is refused with a warning sound.
#pragma once

#include <windows.h>

#include "data/ItemList.h"

// A new editor's bound: UTF-16 units enough for 99 code points.
void LimitEditorText(HWND editor);
void SetEditorText(HWND editor, const char* text);
// The editor's text as UTF-8, cut to 99 code points.
void GetEditorText(HWND editor, char (&text)[ItemTextSize]);
// Whether the message may put text into the editor.
bool IsTextInput(UINT message, WPARAM wParam);
// Hands such a message to the editor's own procedure and undoes what it did
// when the text went past 99 code points.
LRESULT PassTextInput(WNDPROC editorProc, HWND editor, UINT message, WPARAM wParam, LPARAM lParam);
