#include "ui/Keyboard.h"

#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/FocusState.h"
#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"
#include "ui/ReorderDrag.h"
#include "ui/RowLayout.h"
#include "ui/Scrolling.h"

namespace {

// The window that had the keyboard before zelk took it, for Escape.
HWND KeyboardBefore = nullptr;

bool Held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

bool IsZelkWindow(HWND window) {
    const PluginInstance* p = ThePlugin;
    return p && window && (window == p->mainWindow || IsChild(p->mainWindow, window));
}

// The shell's own window, or the one zelk is docked in, takes the keyboard
// on the way to zelk (a menu's owner, the slit activated by a click): it is
// not where the user was typing.
void Remember(HWND window) {
    const PluginInstance* p = ThePlugin;
    if (!p || !window || IsZelkWindow(window) || window == p->hostWindow ||
        window == GetAncestor(p->mainWindow, GA_ROOT))
        return;
    KeyboardBefore = window;
}

// The window to type in: the editor while an edit is open, else the list.
HWND KeyboardTarget() {
    const PluginInstance* p = ThePlugin;
    return Edit.open ? p->editControl : p->mainWindow;
}

void TakeKeyboard() {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) return;
    NoteKeyboardOwner();
    const HWND root = GetAncestor(p->mainWindow, GA_ROOT);
    if (GetForegroundWindow() != root) SetForegroundWindow(root);
    if (GetActiveWindow() != root) SetActiveWindow(root);
    const HWND target = KeyboardTarget();
    if (GetFocus() != target) SetFocus(target);
}

// Into a window of this thread directly; another program's window is
// brought to the front, which gives it its own keyboard back. With no such
// window, zelk only lets go.
void GiveKeyboardBack() {
    const HWND back = KeyboardBefore;
    KeyboardBefore = nullptr;
    if (!back || !IsWindow(back) || IsZelkWindow(back)) {
        SetFocus(nullptr);
    } else if (GetWindowThreadProcessId(back, nullptr) == GetCurrentThreadId()) {
        const HWND root = GetAncestor(back, GA_ROOT);
        if (GetActiveWindow() != root) SetActiveWindow(root);
        SetFocus(back);
    } else {
        SetForegroundWindow(back);
    }
}

// As in a list box: no wrap at either end. The focused row scrolls into
// view; Add Item is the row after the last.
void FocusRow(int row) {
    const int rows = FocusRows();
    if (rows == 0) return;
    row = row < 0 ? 0 : row >= rows ? rows - 1 : row;
    SetFocusedEntry(EntryAtRow(row));
    ScrollEntryIntoView(row);
}

// A window's height of rows: with every row in view, past either end.
int PageRows() {
    RECT client;
    GetClientRect(ThePlugin->mainWindow, &client);
    const int page = client.bottom / RowHeight() - 1;
    return page > 1 ? page : 1;
}

// The key that opened the editor also makes a character, already queued
// for the main window, that would close the editor at once.
void SwallowChar(WPARAM character) {
    MSG msg;
    const HWND main = ThePlugin->mainWindow;
    if (PeekMessageA(&msg, main, WM_CHAR, WM_CHAR, PM_NOREMOVE) && msg.wParam == character)
        PeekMessageA(&msg, main, WM_CHAR, WM_CHAR, PM_REMOVE);
}

void EditEntry(ListItem* item) {
    if (item && item->label) BeginEdit(item->label);
}

// "New Item" is appended and its editor opens; a full list only beeps, and
// so does an entry a merge put past the 50th, without an editor.
void InsertEntry() {
    if (!AddItem()) return;
    ListItem* added = ListTail;
    if (!added || !added->label) return;
    SetFocusedEntry(added);
    EditEntry(added);
}

// Keys that act on the focused entry, or on Add Item when it has the focus.
bool OnFocusedKey(WPARAM key, ListItem* item) {
    switch (key) {
    case VK_SPACE:
        if (item)
            SetEntryDone(item, item->done ? 0 : 1);
        else
            AddItem();
        return true;
    case VK_RETURN:
        SwallowChar('\r');
        if (item)
            EditEntry(item);
        else
            AddItem();
        return true;
    case VK_F2:
        EditEntry(item);
        return true;
    case VK_DELETE:
        if (item) DeleteItem(item->label); // the focus passes to the entry in its place
        return true;
    case VK_INSERT:
        InsertEntry();
        return true;
    case VK_TAB:
        SetFocusedEntry(item ? nullptr : ListFocusEntry());
        ScrollEntryIntoView(item ? FocusRows() : RowOfEntry(FocusedEntry()));
        return true;
    }
    return false;
}

} // namespace

void NoteKeyboardOwner() {
    const HWND focus = GetFocus();
    if (IsZelkWindow(focus)) return;
    Remember(focus ? focus : GetForegroundWindow());
}

void OnClickTakesKeyboard(HWND window) {
    PluginInstance* p = ThePlugin;
    if (!p || Edit.open) return;
    if (ListItem* item = FindItem(window)) {
        SetFocusedEntry(item);
    } else if (window == p->addButton) {
        SetFocusedEntry(nullptr);
    }
    TakeKeyboard();
}

void FocusCommand() {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) return;
    if (!IsWindowVisible(p->mainWindow)) {
        ShowWindow(p->mainWindow, SW_SHOWNA);
        InvalidateRect(p->mainWindow, nullptr, TRUE);
    }
    TakeKeyboard();
}

void OnMainSetFocus(HWND previous) {
    Remember(previous);
    KeyboardArrived();
}

void OnMainKillFocus() {
    KeyboardLeft();
}

bool OpensMenu(WPARAM key) {
    return key == VK_APPS || (key == VK_F10 && Held(VK_SHIFT));
}

bool OnListKey(WPARAM key) {
    if (!ThePlugin) return false;
    const bool control = Held(VK_CONTROL);
    if (key == VK_ESCAPE) {
        if (!CancelReorder() && !Edit.open) GiveKeyboardBack();
        return true;
    }
    if (control && (key == 'Z' || key == 'Y')) {
        if (key == 'Z' && !Held(VK_SHIFT))
            Undo();
        else
            Redo();
        return true;
    }
    if (Edit.open) return false;
    ListItem* item = FocusedEntry();
    switch (key) {
    case VK_UP:
    case VK_DOWN: {
        const int by = key == VK_UP ? -1 : 1;
        if (item && control) {
            MoveEntryBy(item, by);
        } else if (item) {
            FocusRow(RowOfEntry(item) + by);
        }
        return true;
    }
    case VK_HOME:
    case VK_END:
        if (item) FocusRow(key == VK_HOME ? 0 : FocusRows() - 1);
        return true;
    case VK_PRIOR:
    case VK_NEXT:
        if (item) FocusRow(RowOfEntry(item) + (key == VK_PRIOR ? -PageRows() : PageRows()));
        return true;
    }
    return OnFocusedKey(key, item);
}

void ForgetKeyboard() {
    KeyboardBefore = nullptr;
}
