#include "ui/RowLayout.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/ChildWindows.h"
#include "ui/ToolTips.h"

bool PlacingWindow = false;

namespace {

WNDPROC BoxProcedure = nullptr;
WNDPROC LabelProcedure = nullptr;

// Whether the Add Item button was last laid out for a full list. Its look
// says so, and a move only copies its pixels along: it repaints when that
// changes.
bool ButtonShowsFullList = false;

// The window's children as they sit in its client area.
RECT ChildRect(HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Adds a move of `window` to (x, y) with the given size to the batch, unless
// it is there already.
HDWP Place(HDWP batch, HWND window, int x, int y, int width, int height) {
    if (!window || !batch) return batch;
    RECT r = ChildRect(window);
    if (r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height)
        return batch;
    return DeferWindowPos(batch, window, nullptr, x, y, width, height,
                          SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// The window's height for its rows and, free-floating, the place the
// instance holds (an addition may have moved it up); docked, the slit
// places it. The background's gradient spans the whole window, so a new
// height repaints all of it; the rows, clipped out, keep their pixels.
void FitWindowToRows(PluginInstance& p, int rows) {
    const bool docked = MainWindowDocked();
    RECT window;
    GetWindowRect(p.mainWindow, &window);
    p.height = WindowHeightFor(rows);
    const bool resized =
        window.bottom - window.top != p.height || window.right - window.left != p.width;
    const bool moved = !docked && (window.left != p.x || window.top != p.y);
    if (!resized && !moved) return;
    PlacingWindow = true;
    SetWindowPos(p.mainWindow, nullptr, p.x, p.y, p.width, p.height,
                 (moved ? 0 : SWP_NOMOVE) | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    PlacingWindow = false;
    if (!resized) return;
    InvalidateRect(p.mainWindow, nullptr, FALSE);
    if (docked) SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
}

} // namespace

void UseRowProcedures(WNDPROC box, WNDPROC label) {
    BoxProcedure = box;
    LabelProcedure = label;
}

int RowHeight() {
    return ThePlugin->fontHeight + 3;
}

int LabelTop(int row) {
    return 10 - (ThePlugin->fontHeight - 7) / 2 + RowHeight() * row;
}

int DoneBoxTop(int row) {
    return RowHeight() * row + 10;
}

int WindowHeightFor(int rows) {
    return RowHeight() * rows + ThePlugin->fontHeight + 18;
}

int CountRows() {
    int rows = 0;
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->label) ++rows;
    return rows;
}

bool CreateRow(ListItem* item, int row) {
    PluginInstance* p = ThePlugin;
    item->labelTop = LabelTop(row);
    HWND box = CreateChildWindow(PluginClassName, 5, DoneBoxTop(row), 10, 10);
    HWND label =
        box ? CreateChildWindow(PluginClassName, 20, item->labelTop, p->width - 25, RowHeight())
            : nullptr;
    if (!label) {
        if (box) DestroyWindow(box);
        return false;
    }
    item->doneBox = box;
    item->label = label;
    SubscribeWindow(label);
    SubscribeWindow(box);
    p->doneBoxPreviousProc = SubclassWindow(box, BoxProcedure);
    p->labelPreviousProc = SubclassWindow(label, LabelProcedure);
    AddToolTip(label);
    return true;
}

void DestroyRow(ListItem* item) {
    // An open edit on the row stays open, to come back as an entry.
    if (EditingLabel && EditingLabel == item->label) EditingLabel = nullptr;
    RemoveToolTip(item->label);
    UnsubscribeAndDestroy(item->doneBox);
    UnsubscribeAndDestroy(item->label);
    item->doneBox = item->label = nullptr;
}

// The window takes its new size first and the rows move after, in one
// batch: a window that shrinks after its rows moved would repaint every one
// of them, while rows moved inside a window already at its size keep their
// pixels, copied along.
void LayOutRows() {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) return;
    const int rows = CountRows();
    FitWindowToRows(*p, rows);
    HDWP batch = BeginDeferWindowPos(2 * rows + 2);
    int row = 0;
    for (ListItem* item = ListHead; item; item = item->next) {
        if (!item->label) continue;
        item->labelTop = LabelTop(row);
        batch = Place(batch, item->doneBox, 5, DoneBoxTop(row), 10, 10);
        batch = Place(batch, item->label, 20, item->labelTop, p->width - 25, RowHeight());
        ++row;
    }
    batch = Place(batch, p->addButton, 5, LabelTop(rows) + 4, p->width - 10, RowHeight());
    // An open editor stays over its label, at the label's width.
    if (const ListItem* editing = FindItem(EditingLabel))
        batch = Place(batch, p->editControl, 20, editing->labelTop, p->width - 25, RowHeight());
    if (batch) EndDeferWindowPos(batch);
    const bool full = ItemCount >= MaxItems;
    if (full != ButtonShowsFullList) InvalidateRect(p->addButton, nullptr, FALSE);
    ButtonShowsFullList = full;
}
