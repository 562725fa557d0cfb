#include "data/ItemList.h"

#include <stdlib.h>

#include "data/Utf8.h"

ListItem* ListHead = nullptr;
ListItem* ListTail = nullptr;
int ItemCount = 0;
char LoadedText[MaxListed][ItemTextSize];
int LoadedDone[MaxListed];
HWND EditingLabel = nullptr;
OpenEdit Edit = {};
EntryRecord Overflow[MaxDocumentEntries];
int OverflowCount = 0;

static bool OwnsWindow(const ListItem* item, HWND window) {
    return item->label == window || item->doneBox == window;
}

// A null handle belongs to no entry: an entry appended by AddItem has no
// windows until the rebuild, and must not answer for "no window".
ListItem* FindItem(HWND window) {
    if (!window) return nullptr;
    for (ListItem* item = ListHead; item; item = item->next) {
        if (OwnsWindow(item, window)) return item;
    }
    return nullptr;
}

ListItem* FindPreviousItem(HWND window) {
    if (!window) return nullptr;
    for (ListItem* item = ListHead; item && item->next; item = item->next) {
        if (OwnsWindow(item->next, window)) return item;
    }
    return nullptr;
}

ListItem* AppendItem(const char* text, int done) {
    ListItem* item = static_cast<ListItem*>(calloc(1, sizeof(ListItem)));
    if (!item) return nullptr;
    CopyEntryText(item->text, sizeof item->text, text);
    item->done = done;
    if (ListTail) {
        ListTail->next = item;
    } else {
        ListHead = item;
    }
    ListTail = item;
    return item;
}

// Keeps ListTail right as well, so an append after unlinking the last entry
// cannot attach to a released record. The predecessor is found by pointer:
// an entry added since the last rebuild has no windows to look it up by.
void UnlinkItem(ListItem* item) {
    if (!item) return;
    ListItem* previous = nullptr;
    if (item == ListHead) {
        ListHead = item->next;
    } else {
        previous = ListHead;
        while (previous && previous->next != item)
            previous = previous->next;
        if (!previous) return; // not in the list
        previous->next = item->next;
    }
    if (item == ListTail) ListTail = previous;
    item->next = nullptr;
}

void LinkItemBefore(ListItem* item, ListItem* before) {
    if (!item) return;
    ListItem* previous = nullptr;
    ListItem* at = ListHead;
    while (at && at != before) {
        previous = at;
        at = at->next;
    }
    item->next = at; // null when `before` is not in the list: the end
    if (previous) {
        previous->next = item;
    } else {
        ListHead = item;
    }
    if (!at) ListTail = item;
}

ListItem* ItemAt(int index) {
    ListItem* item = ListHead;
    for (int i = 0; item && i < index; ++i)
        item = item->next;
    return index < 0 ? nullptr : item;
}

int IndexOfItem(const ListItem* item) {
    int index = 0;
    for (const ListItem* at = ListHead; at; at = at->next, ++index)
        if (at == item) return index;
    return -1;
}

void ReleaseItem(ListItem* item) {
    free(item);
}

void ClearItems() {
    for (ListItem* item = ListHead; item;) {
        ListItem* next = item->next;
        free(item);
        item = next;
    }
    ListHead = ListTail = nullptr;
    ItemCount = 0;
}

bool EntriesAreStaged() {
    return CountListedItems() < ItemCount;
}

int CountListedItems() {
    int n = 0;
    for (ListItem* item = ListHead; item; item = item->next)
        ++n;
    return n;
}
