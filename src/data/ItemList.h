// The to-do entries: a singly linked list in display order, plus the staging
// tables that carry entries from the settings file to the window layer.
#pragma once

#include <windows.h>

#include "data/Utf8.h"

constexpr int MaxItems = 50;
// The window can hold more than the file: entries read from a file that
// could not be read at start go before the ones made meanwhile, and those
// past the 50th stay in the window (unsaved) rather than being dropped.
constexpr int MaxListed = 2 * MaxItems;
constexpr int ItemTextSize = TextBytes; // 99 code points of UTF-8 and the terminator
// Entries are looked for under the numbers 1 to 100 in the file; a merge may
// make more, which are kept (written on past 100) rather than dropped.
constexpr int MaxEntryNumber = 100;
constexpr int MaxDocumentEntries = 2 * MaxEntryNumber;

struct EntryRecord {
    char text[ItemTextSize];
    int done;
};

struct ListItem {
    char text[ItemTextSize];
    int done; // non-zero when ticked; values read from the file stay as read
    HWND doneBox;
    HWND label;
    ListItem* next;
    int labelTop;
};

extern ListItem* ListHead;
extern ListItem* ListTail;
extern int ItemCount;
extern char LoadedText[MaxListed][ItemTextSize];
extern int LoadedDone[MaxListed];
extern HWND EditingLabel;
// An open edit: the entry's text and place when it began, so the stored
// text finds its entry after the list changed, or comes back as a new entry
// where the edited one vanished (EditingLabel is then null).
struct OpenEdit {
    bool open;
    int index;
    char original[ItemTextSize];
};
extern OpenEdit Edit;
// Entries past the 50th: not shown, written after the shown ones, and shown
// once there is room.
extern EntryRecord Overflow[MaxDocumentEntries];
extern int OverflowCount;

ListItem* FindItem(HWND window);
ListItem* FindPreviousItem(HWND window);
ListItem* AppendItem(const char* text, int done);
void UnlinkItem(ListItem* item);
// Links an unlinked record in front of `before`, or at the end when `before`
// is null or not in the list.
void LinkItemBefore(ListItem* item, ListItem* before);
// The record at `index` (from 0), or null past the end.
ListItem* ItemAt(int index);
// Where the record sits in the list (from 0), or -1.
int IndexOfItem(const ListItem* item);
void ReleaseItem(ListItem* item);
void ClearItems();
int CountListedItems();
// True when the list is shorter than ItemCount: a window construction failed
// and the entries are still only in the staging tables.
bool EntriesAreStaged();
