// What a user's action does, kept as a record: applied to the list on
// screen at once, and again to the file as another program left it when
// the two differ. A record finds its entry by the text the user saw, and
// among entries of that text by what else the user saw of it (FindEntry).
#pragma once

#include "data/Document.h"

enum class ChangeKind {
    setDone,      // value: the tick the user set (never a toggle)
    rename,       // text: as seen; other: the new text
    add,          // text: appended at the end
    remove,       // text: as seen
    move,         // text: as seen at index; value: where it landed; other: the entry above it there
    removeTicked, // entries: those the user saw ticked
    restore,      // entries: each back at its place, by ascending index
    setting,      // setting, value
    none          // nothing of the list or settings: a window move, the unload
};

// An entry a record takes out or brings back.
struct DeletedEntry {
    int index; // its place in the list, from 0
    int done;
    char text[ItemTextSize];
    unsigned above, below; // what the user saw next to it (EntrySeen)
};

struct Change {
    ChangeKind kind;
    int index;
    int value;
    int setting;
    char text[ItemTextSize];
    char other[ItemTextSize];
    EntrySeen seen; // of the entry at index; for removeTicked, each entry's own
    int count;
    DeletedEntry* entries; // in the same block as the record
    Change* next;
};

// A zeroed record with room for `entries` entries, or null when out of memory.
Change* NewChange(ChangeKind kind, int entries = 0);
void ReleaseChange(Change* change);
// False when the entry it is for is gone: the change is dropped. An edit of
// an entry gone is added as a new entry at its place, so nothing typed is lost.
bool ApplyChange(Document& document, const Change& change);

// What the user sees of `item` on screen, an open edit stored in the same
// step (`edit`, or null) counting with its new text.
EntrySeen SeenOnScreen(const ListItem* item, const Change* edit);

// The changes not yet in the file, oldest first: the chain being saved, and
// after failed saves every one since the last good save.
void KeepPending(Change* change);
const Change* FirstPending();
void ForgetPending();
