#include "ui/RowSync.h"

#include <string.h>

#include "core/PluginInstance.h"
#include "data/Document.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "ui/FocusState.h"
#include "ui/RowLayout.h"
#include "ui/ToolTips.h"

namespace {

// The records on screen before and after, by place. One at a time: the
// plug-in runs on the shell's one window thread.
ListItem* Before[MaxListed];
bool Kept[MaxListed];
ListItem* After[MaxItems];
int From[MaxItems]; // where After[j] stood in Before, or -1

int Collect() {
    int n = 0;
    for (ListItem* item = ListHead; item && n < MaxListed; item = item->next)
        Before[n++] = item;
    return n;
}

// The first record from `from` on that is not yet taken and shows `text`.
int FindBefore(int count, int from, const char* text) {
    for (int i = from; i < count; ++i)
        if (!Kept[i] && strcmp(Before[i]->text, text) == 0) return i;
    return -1;
}

void Take(int before, int after) {
    Kept[before] = true;
    After[after] = Before[before];
    From[after] = before;
}

// Two rows that trade places (a move by one, from a key or a drag) keep
// their windows and trade what they show: two repaints cost less than two
// moves, one of which repaints anyway. An open editor stays with its row.
// Gives the record the focus passes to, when the focused entry was one.
ListItem* TradeInPlace(int shown, int count) {
    ListItem* focus = nullptr;
    const ListItem* focused = FocusedEntry();
    for (int j = 0; j < shown && j < count; ++j) {
        const int i = From[j];
        if (i <= j || i >= shown || From[i] != j) continue;
        if (Before[i]->label == EditingLabel || Before[j]->label == EditingLabel) continue;
        After[j] = Before[j];
        After[i] = Before[i];
        From[j] = j;
        From[i] = i;
        if (focused == Before[i]) focus = Before[j];
        if (focused == Before[j]) focus = Before[i];
    }
    return focus;
}

// Matches the records of the document's shown entries with those on screen:
// the same texts in the same order first, then the same texts moved, then
// what is left at the same place (a rename or a tick), then anything left.
void Match(const Document& d, int shown, int count) {
    for (int i = 0; i < count; ++i)
        Kept[i] = false;
    for (int j = 0; j < shown; ++j) {
        After[j] = nullptr;
        From[j] = -1;
    }
    int from = 0;
    for (int j = 0; j < shown; ++j) {
        int i = FindBefore(count, from, d.entries[j].text);
        if (i < 0) continue;
        Take(i, j);
        from = i + 1;
    }
    for (int j = 0; j < shown; ++j) {
        if (After[j]) continue;
        int i = FindBefore(count, 0, d.entries[j].text);
        if (i >= 0) Take(i, j);
    }
    for (int j = 0; j < shown; ++j)
        if (!After[j] && j < count && !Kept[j]) Take(j, j);
    int spare = 0;
    for (int j = 0; j < shown; ++j) {
        if (After[j]) continue;
        while (spare < count && Kept[spare])
            ++spare;
        if (spare < count) Take(spare, j);
    }
}

} // namespace

RowChanges BringRowsInLine(const Document& d) {
    RowChanges changes = {};
    const int shown = d.count < MaxItems ? d.count : MaxItems;
    const int count = Collect();
    Match(d, shown, count);
    ListItem* focus = TradeInPlace(shown, count);

    // Rows gone: an open edit on one stays open, to come back as an entry.
    for (int i = 0; i < count; ++i) {
        if (Kept[i]) continue;
        UnlinkItem(Before[i]);
        DestroyRow(Before[i]);
        ReleaseItem(Before[i]);
        changes.reordered = true;
    }
    // The list in the document's order, each record showing its entry.
    ListHead = ListTail = nullptr;
    int rows = 0;
    for (int j = 0; j < shown; ++j) {
        const EntryRecord& entry = d.entries[j];
        ListItem* item = After[j];
        if (!item) {
            item = AppendItem(entry.text, entry.done);
            if (!item) break; // out of memory: the rest waits for the next change
            changes.reordered = true;
            CreateRow(item, rows);
        } else {
            LinkItemBefore(item, nullptr);
            if (j < count && Before[j] != item) changes.reordered = true;
            const bool renamed = strcmp(item->text, entry.text) != 0;
            const bool reticked = item->done != entry.done;
            if (renamed) {
                CopyText(item->text, ItemTextSize, entry.text);
                HideToolTipOf(item->label);
            }
            item->done = entry.done;
            changes.renamed += renamed;
            changes.reticked += reticked;
            if (renamed || reticked) changes.changed = item;
            // A rename changes the label's look only; a tick both windows'.
            if (reticked && item->label) InvalidateRect(item->doneBox, nullptr, FALSE);
            if ((renamed || reticked) && item->label) InvalidateRect(item->label, nullptr, FALSE);
        }
        if (item->label) ++rows;
        if (item->label && item->label == EditingLabel) Edit.index = j;
    }
    if (shown > count) changes.reordered = true;
    ItemCount = CountListedItems();
    if (focus) FocusStaysWith(focus);
    OverflowCount = 0;
    for (int j = shown; j < d.count; ++j)
        Overflow[OverflowCount++] = d.entries[j];
    LayOutRows();
    return changes;
}
