#include "ui/ListActions.h"

#include "core/PluginInstance.h"
#include "data/DeletionMemory.h"
#include "data/ItemList.h"
#include "ui/Docking.h"
#include "ui/InPlaceEdit.h"
#include "ui/RowLayout.h"

namespace {

// An addition that would put a free-floating window's bottom below its
// monitor's work area moves the window up just enough, never above the work
// area's top, and never down. The new place is kept as a move is. Docked,
// the slit decides where the window goes.
void KeepGrowthInWorkArea(PluginInstance& p, int newHeight) {
    if (!p.mainWindow || MainWindowDocked()) return;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(p.mainWindow, MONITOR_DEFAULTTONEAREST), &info)) return;
    if (static_cast<long long>(p.y) + newHeight <= info.rcWork.bottom) return;
    long long top = static_cast<long long>(info.rcWork.bottom) - newHeight;
    if (top < info.rcWork.top) top = info.rcWork.top;
    if (top < p.y) p.y = static_cast<int>(top);
}

} // namespace

// One row is appended: its two windows are made, the window grows by a row
// (moving up where it would pass the bottom of the work area) and the Add
// Item button moves down. The list holds 50 entries: a 51st is refused with
// a warning sound. An entry whose windows cannot be made is kept all the
// same: it is saved and shows at the next start.
void AddItem() {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    CommitOpenEdit();
    if (ItemCount >= MaxItems) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    ListItem* item = AppendItem("New Item", 0);
    if (!item) return;
    KeepGrowthInWorkArea(*p, WindowHeightFor(CountRows() + 1));
    ++ItemCount;
    CreateRow(item, CountRows());
    LayOutRows();
    p->Save();
}

// The row's two windows go and the rows below it move up into its place.
// Called from the entry's own label: nothing may touch that window after.
// The entry, its tick and its place are remembered for Undo Delete.
void DeleteItem(HWND window) {
    PluginInstance* p = ThePlugin;
    ListItem* item = FindItem(window);
    if (!p || !item) return;
    CommitOpenEdit();
    RememberDeleted(BeginDeletion(), IndexOfItem(item), *item);
    UnlinkItem(item);
    DestroyRow(item);
    ReleaseItem(item);
    --ItemCount;
    LayOutRows();
    p->Save();
}

// Every ticked entry goes in one step and one save, remembered as one
// deletion so that one Undo Delete brings the whole set back.
void RemoveTickedEntries() {
    PluginInstance* p = ThePlugin;
    if (!p || !AnyEntryTicked()) return;
    CommitOpenEdit();
    Deletion& deletion = BeginDeletion();
    int index = 0;
    for (ListItem* item = ListHead; item; ++index) {
        ListItem* next = item->next;
        if (item->done) {
            RememberDeleted(deletion, index, *item);
            UnlinkItem(item);
            DestroyRow(item);
            ReleaseItem(item);
            --ItemCount;
        }
        item = next;
    }
    LayOutRows();
    p->Save();
}

// The newest deletion comes back: each entry at the place it had, or at the
// end of a list now shorter, with its tick. One that would take the list
// past 50 entries is refused with a warning sound and stays to be undone.
void UndoDelete() {
    PluginInstance* p = ThePlugin;
    const Deletion* deletion = LatestDeletion();
    if (!p || !deletion) return;
    if (ItemCount + deletion->count > MaxItems) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    CommitOpenEdit();
    KeepGrowthInWorkArea(*p, WindowHeightFor(CountRows() + deletion->count));
    for (int i = 0; i < deletion->count; ++i) {
        const DeletedEntry& entry = deletion->entries[i];
        ListItem* item = InsertItemAt(entry.index, entry.text, entry.done);
        if (!item) break; // out of memory: what came back is kept and saved
        ++ItemCount;
        CreateRow(item, CountRows());
    }
    ForgetLatestDeletion();
    LayOutRows();
    p->Save();
}

bool AnyEntryTicked() {
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->done) return true;
    return false;
}

// The window, its rows and the Add Item button take the new width at once;
// every caption is drawn again, centred for it. The same width writes nothing.
void SetWindowWidth(int width) {
    PluginInstance* p = ThePlugin;
    if (!p || width < MinWindowWidth || width > MaxWindowWidth || width == p->width) return;
    p->width = width;
    LayOutRows();
    RedrawWindow(p->mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    p->Save();
}
