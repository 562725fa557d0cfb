#include "ui/RowLayout.h"

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/ChildWindows.h"
#include "ui/FocusState.h"
#include "ui/ToolTips.h"
#include "ui/WorkArea.h"

bool PlacingWindow = false;

namespace {

WNDPROC BoxProcedure = nullptr;
WNDPROC LabelProcedure = nullptr;
WNDPROC ScrollBarProcedure = nullptr;

// How far the rows are scrolled up, and the inputs of the last layout that
// do not come from the instance: the row count and the height allowed.
int ScrollOffset = 0;
int LaidOutRows = 0;
int MaxHeight = 0;

Layout LayOutFor(const PluginInstance& p, int rows) {
    LayoutInput in;
    in.rows = rows;
    in.width = p.width;
    in.dpi = p.dpi;
    in.fontHeight = p.fontHeight;
    in.bevelWidth = p.bevelWidth;
    in.borderWidth = p.borderWidth;
    in.scroll = ScrollOffset;
    in.maxHeight = MaxHeight;
    return LayOut(in);
}

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

// A window's move in one layout: from where it is to where it belongs.
// Moving a window copies its pixels along (no repaint) only where they are
// still its own: its size stays, its old place lies in the window as it
// was and as it is, nothing is waiting to repaint in it, and no move before it in the batch
// has already copied another window's pixels over its old place.
struct Move {
    HWND window;
    RECT from, to;
    bool copy;
};

// At most two windows a row, the button, the editor and the scroll bar.
constexpr int MaxMoves = 2 * MaxListed + 3;
Move Moves[MaxMoves];
int MoveCount = 0;

void AddMove(HWND window, RECT to, bool mayCopy) {
    if (!window || MoveCount >= MaxMoves) return;
    const RECT from = ChildRect(window);
    if (EqualRect(&from, &to)) return;
    // A new size draws anew: captions are centred and gradients span the window.
    const bool sameSize = from.right - from.left == to.right - to.left &&
                          from.bottom - from.top == to.bottom - to.top;
    Moves[MoveCount++] = {window, from, to,
                          mayCopy && sameSize && !GetUpdateRect(window, nullptr, FALSE)};
}

// Moves up go first, from the top down, then moves down from the bottom up:
// a shift of many rows (an insertion, a deletion, a scroll) then reads each
// row's pixels before anything lands on them. What still finds its old
// place overwritten (two rows swapping) repaints instead.
bool GoesBefore(const Move& a, const Move& b) {
    const bool aUp = a.to.top <= a.from.top, bUp = b.to.top <= b.from.top;
    if (aUp != bUp) return aUp;
    return aUp ? a.from.top < b.from.top : a.from.top > b.from.top;
}

void OrderMoves(const RECT& kept) {
    for (int i = 1; i < MoveCount; ++i) { // insertion sort: the batch is nearly in order
        const Move m = Moves[i];
        int j = i;
        for (; j > 0 && GoesBefore(m, Moves[j - 1]); --j)
            Moves[j] = Moves[j - 1];
        Moves[j] = m;
    }
    for (int i = 0; i < MoveCount; ++i) {
        Move& m = Moves[i];
        RECT inside;
        if (!m.copy) continue;
        m.copy = IntersectRect(&inside, &m.from, &kept) && EqualRect(&inside, &m.from);
        for (int j = 0; m.copy && j < i; ++j)
            m.copy = !(Moves[j].copy && IntersectRect(&inside, &Moves[j].to, &m.from));
    }
}

// One batch, so the window repaints once. Erasing is deferred: nothing may
// draw over a place another move has yet to copy from.
void RunMoves(const RECT& kept) {
    OrderMoves(kept);
    HDWP batch = MoveCount ? BeginDeferWindowPos(MoveCount) : nullptr;
    for (int i = 0; i < MoveCount && batch; ++i) {
        const Move& m = Moves[i];
        batch = DeferWindowPos(batch, m.window, nullptr, m.to.left, m.to.top,
                               m.to.right - m.to.left, m.to.bottom - m.to.top,
                               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_DEFERERASE |
                                   (m.copy ? 0 : SWP_NOCOPYBITS));
    }
    if (batch) EndDeferWindowPos(batch);
    MoveCount = 0;
}

// The thin scroll bar is made the first time the rows do not fit, and shows
// only while they do not.
void FitScrollBar(PluginInstance& p, const Layout& l) {
    if (l.scrollBar && !p.scrollBar) {
        p.scrollBar = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 0, 0, 0, 0,
                                      p.mainWindow, nullptr, p.module, nullptr);
        if (p.scrollBar) p.scrollBarPreviousProc = SubclassWindow(p.scrollBar, ScrollBarProcedure);
    }
    if (!p.scrollBar) return;
    if (l.scrollBar) {
        SCROLLINFO info = {sizeof info,
                           SIF_RANGE | SIF_PAGE | SIF_POS,
                           0,
                           l.contentHeight - 1,
                           static_cast<UINT>(l.height),
                           l.scroll,
                           0};
        SetScrollInfo(p.scrollBar, SB_CTL, &info, TRUE);
    }
    if (!l.scrollBar != !IsWindowVisible(p.scrollBar))
        ShowWindow(p.scrollBar, l.scrollBar ? SW_SHOWNA : SW_HIDE);
}

// The window's height for its rows and, free-floating, the place the
// instance holds (an addition may have moved it up); docked, the slit
// places it. The background's gradient spans the whole window, so a new
// height repaints all of it; the rows, clipped out, keep their pixels.
Layout FitWindowToRows(PluginInstance& p, int rows) {
    const bool docked = MainWindowDocked();
    RECT window;
    GetWindowRect(p.mainWindow, &window);
    MaxHeight = 0;
    const Layout unlimited = LayOutFor(p, rows);
    RECT work = WorkAreaFor(p, docked, unlimited.width, unlimited.height);
    MaxHeight = work.bottom - work.top;
    const Layout l = LayOutFor(p, rows);
    if (!docked) KeepInWorkArea(p, work, l.width, l.height);
    p.height = l.height;
    const bool resized =
        window.bottom - window.top != p.height || window.right - window.left != l.width;
    const bool moved = !docked && (window.left != p.x || window.top != p.y);
    if (!resized && !moved) return l;
    PlacingWindow = true;
    SetWindowPos(p.mainWindow, nullptr, p.x, p.y, l.width, p.height,
                 (moved ? 0 : SWP_NOMOVE) | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    PlacingWindow = false;
    if (!resized) return l;
    InvalidateRect(p.mainWindow, nullptr, FALSE);
    if (docked) SendMessageA(SlitWindow, SLITMSG_UPDATE, 0, 0);
    return l;
}

} // namespace

void UseRowProcedures(WNDPROC box, WNDPROC label, WNDPROC scrollBar) {
    BoxProcedure = box;
    LabelProcedure = label;
    ScrollBarProcedure = scrollBar;
}

Layout CurrentLayout(int rows) {
    return LayOutFor(*ThePlugin, rows < 0 ? LaidOutRows : rows);
}

void SetScrollOffset(int offset) {
    ScrollOffset = offset;
}

int RowHeight() {
    return CurrentLayout().rowPitch;
}

int LabelTop(int row) {
    return CurrentLayout().Label(row).top;
}

int DoneBoxTop(int row) {
    return CurrentLayout().Box(row).top;
}

int CountRows() {
    int rows = 0;
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->label) ++rows;
    return rows;
}

bool CreateRow(ListItem* item, int row) {
    PluginInstance* p = ThePlugin;
    const Layout l = CurrentLayout();
    const RECT b = l.Box(row), r = l.Label(row);
    item->labelTop = r.top;
    HWND box = CreateChildWindow(PluginClassName, b.left, b.top, l.boxSize, l.boxSize);
    HWND label =
        box ? CreateChildWindow(PluginClassName, r.left, r.top, l.labelWidth, l.rowPitch) : nullptr;
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
    EntryLeaving(item);
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
    LaidOutRows = rows;
    RECT before, after, kept;
    GetClientRect(p->mainWindow, &before);
    const Layout l = FitWindowToRows(*p, rows);
    GetClientRect(p->mainWindow, &after);
    IntersectRect(&kept, &before, &after);
    ScrollOffset = l.scroll;
    FitScrollBar(*p, l);
    const ListItem* editing = FindItem(EditingLabel);
    int row = 0;
    for (ListItem* item = ListHead; item; item = item->next) {
        if (!item->label) continue;
        const RECT label = l.Label(row);
        item->labelTop = label.top;
        // Under an open editor the label's pixels on screen are the editor's.
        AddMove(item->doneBox, l.Box(row), true);
        AddMove(item->label, label, item != editing);
        ++row;
    }
    AddMove(p->addButton, l.addButton, true);
    // An open editor stays over its label, at the label's width.
    if (editing) {
        RECT over = l.Label(0);
        OffsetRect(&over, 0, editing->labelTop - over.top);
        AddMove(p->editControl, over, false);
    }
    if (l.scrollBar) AddMove(p->scrollBar, l.scrollBarRect, false);
    RunMoves(kept);
    const bool full = ItemCount >= MaxItems;
    if (full != ButtonShowsFullList) InvalidateRect(p->addButton, nullptr, FALSE);
    ButtonShowsFullList = full;
    ListLaidOut();
}
