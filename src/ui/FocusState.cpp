#include "ui/FocusState.h"

#include "core/PluginInstance.h"
#include "data/ItemList.h"

namespace {

// The entry focused last; null until one is chosen, or after it left. Never
// points at a released record: EntryLeaving clears it first.
ListItem* Focused = nullptr;
// Its row as of the last layout: where the focus goes when it leaves.
int FocusedRow = 0;
bool OnAddItem = false;
// Set when the focused entry left, until the next layout marks its heir.
bool FocusLeft = false;
// The rows' entries as of the last layout, and which of them left since:
// the focused entry's heir is the first after it that stays, however many
// went with it and in whatever order their rows were destroyed.
ListItem* LaidOut[MaxListed];
bool Gone[MaxListed];
int LaidOutRows = 0;

HWND AddButton() {
    return ThePlugin ? ThePlugin->addButton : nullptr;
}

void Repaint(HWND window) {
    if (window) InvalidateRect(window, nullptr, FALSE);
}

// Falls back on the entry at the remembered row when the focused one left.
// An empty list has the focus on Add Item, which keeps it when entries come.
ListItem* Resolve() {
    if (!Focused) {
        const int rows = FocusRows();
        if (rows == 0) {
            OnAddItem = true;
            return nullptr;
        }
        if (FocusedRow >= rows) FocusedRow = rows - 1;
        Focused = EntryAtRow(FocusedRow);
    }
    return Focused;
}

} // namespace

int FocusRows() {
    int rows = 0;
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->label) ++rows;
    return rows;
}

ListItem* EntryAtRow(int row) {
    if (row < 0) return nullptr;
    for (ListItem* item = ListHead; item; item = item->next)
        if (item->label && row-- == 0) return item;
    return nullptr;
}

int RowOfEntry(const ListItem* item) {
    int row = 0;
    for (const ListItem* at = ListHead; item && at; at = at->next) {
        if (at == item) return item->label ? row : -1;
        if (at->label) ++row;
    }
    return -1;
}

bool ZelkHasKeyboard() {
    return ThePlugin && ThePlugin->mainWindow && GetFocus() == ThePlugin->mainWindow;
}

ListItem* FocusedEntry() {
    return OnAddItem ? nullptr : Resolve();
}

ListItem* ListFocusEntry() {
    return Resolve();
}

HWND FocusedWindow() {
    const ListItem* item = FocusedEntry();
    return item ? item->label : AddButton();
}

bool ShowsFocusMark(HWND window) {
    return window && ZelkHasKeyboard() && window == FocusedWindow();
}

void SetFocusedEntry(ListItem* item) {
    const HWND before = FocusedWindow();
    OnAddItem = !item;
    if (item) {
        Focused = item;
        FocusedRow = RowOfEntry(item);
        FocusLeft = false;
    }
    const HWND now = FocusedWindow();
    if (now == before) return;
    if (ZelkHasKeyboard()) {
        Repaint(before);
        Repaint(now);
        NotifyEntryEvent(EVENT_OBJECT_FOCUS, FocusedEntry());
    }
}

void FocusStaysWith(ListItem* item) {
    Focused = item;
    FocusedRow = RowOfEntry(item);
}

void KeyboardArrived() {
    Repaint(FocusedWindow());
    NotifyEntryEvent(EVENT_OBJECT_FOCUS, FocusedEntry());
}

void KeyboardLeft() {
    Repaint(FocusedWindow());
}

void EntryLeaving(const ListItem* item) {
    for (int row = 0; row < LaidOutRows; ++row)
        if (LaidOut[row] == item) Gone[row] = true;
    if (!item || item != Focused) return;
    Focused = nullptr;
    FocusLeft = true;
}

// The focus of an entry that left goes to the first entry after it that
// stays, else the last, else Add Item; the entry is marked, and screen
// readers hear about it as about any other focus move. A record is taken
// only while it is still in the list: those that left may be gone.
void ListLaidOut() {
    const bool left = FocusLeft;
    if (left) {
        for (int row = FocusedRow + 1; row < LaidOutRows && !Focused; ++row)
            if (!Gone[row] && RowOfEntry(LaidOut[row]) >= 0) Focused = LaidOut[row];
        if (!Focused) FocusedRow = MaxListed; // the last, else Add Item
    }
    FocusLeft = false;
    LaidOutRows = 0;
    for (ListItem* item = ListHead; item; item = item->next)
        if (item->label && LaidOutRows < MaxListed) {
            Gone[LaidOutRows] = false;
            LaidOut[LaidOutRows++] = item;
        }
    if (Focused) FocusedRow = RowOfEntry(Focused);
    if (!left) return;
    const bool onButton = OnAddItem;
    Resolve();
    if (onButton || !ZelkHasKeyboard()) return;
    Repaint(FocusedWindow());
    NotifyEntryEvent(EVENT_OBJECT_FOCUS, FocusedEntry());
}

void ForgetFocus() {
    Focused = nullptr;
    FocusedRow = LaidOutRows = 0;
    OnAddItem = FocusLeft = false;
}

LONG ChildIdOf(const ListItem* item) {
    return (item ? RowOfEntry(item) : FocusRows()) + 1;
}

void NotifyEntryEvent(DWORD event, const ListItem* item) {
    if (ThePlugin && ThePlugin->mainWindow)
        NotifyWinEvent(event, ThePlugin->mainWindow, OBJID_CLIENT, ChildIdOf(item));
}

void NotifyListReordered() {
    if (ThePlugin && ThePlugin->mainWindow)
        NotifyWinEvent(EVENT_OBJECT_REORDER, ThePlugin->mainWindow, OBJID_CLIENT, CHILDID_SELF);
}
