#include "ui/InPlaceEdit.h"

#include <string.h>

#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "core/ModalLoop.h"
#include "data/Changes.h"
#include "ui/ChangePath.h"
#include "ui/EditorText.h"

namespace {

// The window that had the keyboard when an edit began: it gets it back when
// the edit ends, if it still exists.
HWND FocusBeforeEdit = nullptr;
// Set while an edit is being ended, so that the editor losing the keyboard
// on the way does not end it a second time.
bool EndingEdit = false;
// Set while the window changes its parent: the editor loses the keyboard on
// the way, yet the edit stays open. True in HadKeyboard when the editor had
// it before, to have it back after.
bool Reparenting = false;
bool HadKeyboard = false;

// The editor takes the keyboard with its whole text selected, so typing
// replaces the text, as renaming a file does.
void GiveEditorTheKeyboard(HWND editor) {
    FocusBeforeEdit = GetFocus();
    if (!FocusBeforeEdit) FocusBeforeEdit = GetForegroundWindow();
    SetFocus(editor);
    SendMessageA(editor, EM_SETSEL, 0, -1);
}

// Only while the editor still holds the keyboard: when it went to another
// window, it stays there.
void ReturnTheKeyboard(HWND editor) {
    HWND back = FocusBeforeEdit;
    FocusBeforeEdit = nullptr;
    if (GetFocus() != editor || !back || back == editor || !IsWindow(back)) return;
    if (GetWindowThreadProcessId(back, nullptr) == GetCurrentThreadId()) {
        SetFocus(back);
    } else {
        SetForegroundWindow(back);
    }
}

// The editor lost the keyboard to another window: what it holds is stored,
// and the keyboard stays where the user put it.
} // namespace

void EditorLostKeyboard() {
    if (!ThePlugin || EndingEdit || Reparenting || !Edit.open) return;
    FocusBeforeEdit = nullptr;
    CommitEdit();
    InvalidateRgn(ThePlugin->mainWindow, nullptr, FALSE);
}

void ForgetKeyboardOwner() {
    FocusBeforeEdit = nullptr;
}

void BeginEdit(HWND label) {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    CommitEdit();
    ListItem* item = FindItem(label);
    if (!item) return;
    RECT over;
    GetWindowRect(label, &over);
    MapWindowPoints(HWND_DESKTOP, p->mainWindow, reinterpret_cast<POINT*>(&over), 2);
    ShowWindow(p->editControl, SW_SHOW);
    ShowWindow(label, SW_HIDE);
    EditingLabel = label;
    Edit.open = true;
    Edit.index = IndexOfItem(item);
    CopyText(Edit.original, sizeof Edit.original, item->text);
    SetEditorText(p->editControl, item->text);
    MoveWindow(p->editControl, over.left, over.top, over.right - over.left, over.bottom - over.top,
               TRUE);
    GiveEditorTheKeyboard(p->editControl);
    InvalidateRgn(p->mainWindow, nullptr, FALSE);
}

void BeginReparenting() {
    Reparenting = true;
    HadKeyboard = ThePlugin && Edit.open && GetFocus() == ThePlugin->editControl;
}

// The editor's own window may be left holding the keyboard while another
// top-level window is the active one: the window it now sits in is made
// active, so the keyboard stays with it.
void EndReparenting() {
    if (HadKeyboard && ThePlugin && Edit.open) {
        HWND editor = ThePlugin->editControl;
        HWND root = GetAncestor(editor, GA_ROOT);
        if (GetActiveWindow() != root) SetActiveWindow(root);
        if (GetFocus() != editor) SetFocus(editor);
    }
    Reparenting = false;
    HadKeyboard = false;
}

// The editor closes; its text, trimmed, with control characters as spaces,
// becomes the record of a rename of the entry it was opened on, which finds
// that entry wherever the list has put it since. A text with nothing left
// could not be stored, so the entry then keeps the text it had.
Change* TakeOpenEdit() {
    PluginInstance* p = ThePlugin;
    if (!p) return nullptr;
    // A click in zelk lets a held menu go, edit or not.
    ReleaseConfigurationMenu();
    if (!Edit.open) return nullptr;
    EndingEdit = true;
    ReturnTheKeyboard(p->editControl);
    ShowWindow(p->editControl, SW_HIDE);
    EndingEdit = false;
    Edit.open = false;
    const HWND label = EditingLabel;
    if (label) ShowWindow(label, SW_SHOW);
    EditingLabel = nullptr;
    char text[ItemTextSize] = {};
    GetEditorText(p->editControl, text);
    CleanEntryText(text);
    if (!text[0] || strcmp(text, Edit.original) == 0) return nullptr;
    Change* rename = NewChange(ChangeKind::rename);
    if (!rename) return nullptr;
    rename->index = Edit.index;
    CopyText(rename->text, sizeof rename->text, Edit.original);
    if (const ListItem* item = FindItem(label)) rename->seen = SeenOnScreen(item, nullptr);
    CopyText(rename->other, sizeof rename->other, text);
    return rename;
}

// Enter, a click elsewhere or the start of another edit: an edit that
// changed the text is saved at once.
void CommitEdit() {
    if (Change* rename = TakeOpenEdit()) Perform(rename);
}

// Escape in the editor: the editor closes and the entry keeps its text. The
// editor gets the entry's text back, since a later click commits whatever
// the hidden editor holds.
void CancelEdit() {
    PluginInstance* p = ThePlugin;
    if (!p || !Edit.open) return;
    HWND label = EditingLabel;
    EditingLabel = nullptr;
    Edit.open = false;
    EndingEdit = true;
    ReturnTheKeyboard(p->editControl);
    ShowWindow(p->editControl, SW_HIDE);
    EndingEdit = false;
    if (label) ShowWindow(label, SW_SHOW);
    if (const ListItem* item = FindItem(label)) SetEditorText(p->editControl, item->text);
    InvalidateRgn(p->mainWindow, nullptr, FALSE);
}
