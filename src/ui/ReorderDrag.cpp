#include "ui/ReorderDrag.h"

#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Changes.h"
#include "data/Text.h"
#include "ui/ChangePath.h"
#include "ui/InPlaceEdit.h"
#include "ui/RowLayout.h"
#include "ui/Scrolling.h"

namespace {

enum class Stage { idle, pressed, dragging };

// One drag at a time: the pointer has one button 1.
Stage CurrentStage = Stage::idle;
HWND PressedLabel = nullptr;
POINT PressedAt = {}; // on the screen
// The boundary the entry would land on, plus one (zero, the start, for no
// mark): MarkSlot() gives it.
int MarkAfter = 0;
// An open edit stored when the drag began: saved with the drop, or alone
// when the drag ends without one.
Change* StoredEdit = nullptr;

// The boundary the entry would land on: 0 above the first row, n below the
// last; -1 where dropping would change nothing, so no mark shows.
int MarkSlot() {
    return MarkAfter - 1;
}
// Where the pointer was last seen while dragging, on the screen; and whether
// the timer that scrolls the list at its edges runs.
POINT DragAt = {};
bool EdgeTimerRuns = false;
constexpr UINT_PTR EdgeScrollTimer = 0x2a3;
// As list boxes do: a row about every 100 ms.
constexpr UINT EdgeScrollInterval = 100;

// The entry with windows at `row`, or null past the last row.
ListItem* RowItem(int row) {
    for (ListItem* item = ListHead; item; item = item->next) {
        if (!item->label) continue;
        if (row-- == 0) return item;
    }
    return nullptr;
}

int RowOf(HWND label) {
    int row = 0;
    for (const ListItem* item = ListHead; item; item = item->next) {
        if (item->label == label) return row;
        if (item->label) ++row;
    }
    return -1;
}

POINT OnScreen(HWND window, LPARAM position) {
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(window, &at);
    return at;
}

// The boundary between rows nearest the pointer, from 0 to the row count;
// -1 when it is either edge of the dragged row itself.
int SlotAt(POINT screen) {
    PluginInstance* p = ThePlugin;
    if (!p) return -1;
    ScreenToClient(p->mainWindow, &screen);
    const int rows = CountRows();
    int offset = screen.y - LabelTop(0) + RowHeight() / 2;
    int slot = offset < 0 ? 0 : offset / RowHeight();
    if (slot > rows) slot = rows;
    const int dragged = RowOf(PressedLabel);
    return dragged < 0 || slot == dragged || slot == dragged + 1 ? -1 : slot;
}

// Up (-1) while the pointer is within half a row of the top of the window's
// rows or above it, down (1) likewise at the bottom, else 0; 0 as well when
// every row is in view.
int EdgeDirection(POINT screen) {
    PluginInstance* p = ThePlugin;
    if (!p) return 0;
    const Layout l = CurrentLayout();
    if (!l.scrollBar) return 0;
    ScreenToClient(p->mainWindow, &screen);
    if (screen.y < l.rowPitch / 2) return -1;
    return screen.y >= l.height - l.rowPitch / 2 ? 1 : 0;
}

// The label the mark for `slot` is drawn on: the top of the row below the
// boundary, or the bottom of the last row.
HWND MarkLabel(int slot) {
    if (slot < 0) return nullptr;
    if (ListItem* below = RowItem(slot)) return below->label;
    ListItem* last = slot > 0 ? RowItem(slot - 1) : nullptr;
    return last ? last->label : nullptr;
}

void ShowMarkAt(int slot) {
    if (slot == MarkSlot()) return;
    if (HWND old = MarkLabel(MarkSlot())) InvalidateRect(old, nullptr, FALSE);
    MarkAfter = slot + 1;
    if (HWND now = MarkLabel(MarkSlot())) InvalidateRect(now, nullptr, FALSE);
}

// Every way a press or a drag ends comes here; the capture is let go last,
// when nothing is left for the loss of capture to undo.
void EndReorder(bool saveStoredEdit) {
    const bool release = GetCapture() == PressedLabel;
    Change* edit = StoredEdit;
    StoredEdit = nullptr;
    if (CurrentStage == Stage::dragging) HoldReloads(false);
    if (EdgeTimerRuns) KillTimer(PressedLabel, EdgeScrollTimer);
    EdgeTimerRuns = false;
    ShowMarkAt(-1);
    CurrentStage = Stage::idle;
    PressedLabel = nullptr;
    if (release) ReleaseCapture();
    if (saveStoredEdit) {
        Perform(edit);
    } else {
        ReleaseChange(edit);
    }
}

// The record of a drop at the boundary `slot`: the entry lands after the
// one the user sees above the mark, wherever that one stands by the time
// the record is applied.
Change* MoveRecord(ListItem* item, int slot, Change* edit) {
    Change* move = NewChange(ChangeKind::move);
    if (!move) return nullptr;
    ListItem* before = RowItem(slot);
    const ListItem* above = nullptr;
    int landing = 0;
    for (const ListItem* at = ListHead; at && at != before; at = at->next) {
        if (at == item) continue;
        above = at;
        ++landing;
    }
    move->index = IndexOfItem(item);
    move->value = landing;
    const bool edited = edit && edit->index == move->index;
    CopyText(move->text, sizeof move->text, edited ? edit->other : item->text);
    move->seen = SeenOnScreen(item, edit);
    if (above) {
        const bool aboveEdited = edit && edit->index == IndexOfItem(above);
        CopyText(move->other, sizeof move->other, aboveEdited ? edit->other : above->text);
    }
    return move;
}

} // namespace

// The pointer is held from the press on, so a move that leaves the label
// before it passes the drag distance is still seen.
bool ReorderOnButtonDown(HWND label, LPARAM position) {
    if (CurrentStage != Stage::idle) EndReorder(true);
    if (!FindItem(label)) return false;
    CurrentStage = Stage::pressed;
    PressedLabel = label;
    PressedAt = OnScreen(label, position);
    SetCapture(label);
    return true;
}

// An open edit is stored as the drag begins, as a click elsewhere stores it;
// the editor would otherwise stay over a row that is about to move.
bool ReorderOnMouseMove(HWND label, LPARAM position) {
    if (CurrentStage == Stage::idle || label != PressedLabel) return false;
    POINT at = OnScreen(label, position);
    if (CurrentStage == Stage::pressed) {
        const int distance = at.y > PressedAt.y ? at.y - PressedAt.y : PressedAt.y - at.y;
        if (distance <= GetSystemMetrics(SM_CYDRAG)) return true;
        CurrentStage = Stage::dragging;
        HoldReloads(true);
        StoredEdit = TakeOpenEdit();
    }
    DragAt = at;
    // Started once: moves within the edge must not put off its next scroll.
    if (!EdgeTimerRuns && EdgeDirection(at))
        EdgeTimerRuns = SetTimer(label, EdgeScrollTimer, EdgeScrollInterval, nullptr) != 0;
    ShowMarkAt(SlotAt(at));
    return true;
}

// The rows move under a pointer that rests, so the mark follows; once the
// pointer leaves the edge, the timer stops.
bool ReorderOnTimer(HWND label, WPARAM timer) {
    if (timer != EdgeScrollTimer) return false;
    const int direction =
        CurrentStage == Stage::dragging && label == PressedLabel ? EdgeDirection(DragAt) : 0;
    if (!direction) {
        KillTimer(label, EdgeScrollTimer);
        if (label == PressedLabel) EdgeTimerRuns = false;
        return true;
    }
    ScrollRows(direction);
    ShowMarkAt(SlotAt(DragAt));
    return true;
}

// A release without a drag is a click, handled as before; a drag drops the
// entry at the mark and saves once, a release at its own place saves only
// an edit it stored.
bool ReorderOnButtonUp(HWND label, LPARAM position) {
    if (CurrentStage == Stage::idle || label != PressedLabel) return false;
    if (CurrentStage == Stage::pressed) {
        EndReorder(false);
        return false;
    }
    const int slot = SlotAt(OnScreen(label, position));
    ListItem* item = FindItem(label);
    if (slot < 0 || !item) {
        EndReorder(true);
        return true;
    }
    Change* edit = StoredEdit;
    StoredEdit = nullptr;
    Change* move = MoveRecord(item, slot, edit);
    EndReorder(false);
    Perform(Then(edit, move));
    return true;
}

void ReorderOnCaptureLost(HWND label) {
    if (CurrentStage != Stage::idle && label == PressedLabel) EndReorder(true);
}

bool CancelReorder() {
    if (CurrentStage != Stage::dragging) return false;
    EndReorder(true);
    return true;
}

bool Reordering() {
    return CurrentStage == Stage::dragging;
}

Change* EndReorderForUnload() {
    Change* edit = StoredEdit;
    StoredEdit = nullptr;
    EndReorder(false);
    return edit;
}

void EndReorderOn(HWND label) {
    if (CurrentStage != Stage::idle && label && label == PressedLabel) EndReorder(false);
}

MarkEdge InsertionMarkOn(HWND label) {
    if (CurrentStage != Stage::dragging || !label || label != MarkLabel(MarkSlot()))
        return MarkEdge::none;
    return RowItem(MarkSlot()) ? MarkEdge::top : MarkEdge::bottom;
}
