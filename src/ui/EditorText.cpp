#include "ui/EditorText.h"

#include "data/Utf8.h"

// The editor's own bound counts UTF-16 units; the code points are counted
// in PassTextInput.
void LimitEditorText(HWND editor) {
    SendMessageW(editor, EM_SETLIMITTEXT, TextUnits - 1, 0);
}

void SetEditorText(HWND editor, const char* text) {
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    SetWindowTextW(editor, wide);
}

void GetEditorText(HWND editor, char (&text)[ItemTextSize]) {
    wchar_t wide[TextUnits] = {};
    GetWindowTextW(editor, wide, TextUnits);
    NarrowText(wide, text, sizeof text);
}

// Control characters typed (Backspace, Enter, Control+letter) add nothing.
bool IsTextInput(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_CHAR:
        return wParam >= 0x20 && wParam != 0x7f;
    case WM_PASTE:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
        return true;
    }
    return false;
}

// The text and selection before are put back when the text grew past 99
// code points, so a paste too long for the rest of the room is refused whole.
// A character outside the Basic Multilingual Plane comes as two WM_CHAR
// messages: its first half counts as one code point, and when that was
// refused, its second half alone counts as one again and is refused too.
LRESULT PassTextInput(WNDPROC editorProc, HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    wchar_t before[TextUnits] = {};
    GetWindowTextW(editor, before, TextUnits);
    DWORD start = 0, end = 0;
    SendMessageW(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    LRESULT result = CallWindowProcW(editorProc, editor, message, wParam, lParam);
    wchar_t after[TextUnits + 1] = {};
    GetWindowTextW(editor, after, TextUnits + 1);
    if (CountCodePoints(after) <= MaxTextCodePoints) return result;
    SetWindowTextW(editor, before);
    SendMessageW(editor, EM_SETSEL, start, end);
    MessageBeep(MB_ICONWARNING);
    return result;
}
