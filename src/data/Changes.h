// What a user's action does, kept as a record: applied to the list on
// screen at once, and again to the file as another program left it when
// the two differ. A record finds its entry by the text the user saw, the
// entry with that text nearest to the place the user saw it at.
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
};

struct Change {
    ChangeKind kind;
    int index;
    int value;
    int setting;
    char text[ItemTextSize];
    char other[ItemTextSize];
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

// The changes not yet in the file, oldest first: the one being saved, and
// after failed saves every one since the last good save.
void KeepPending(Change* change);
const Change* FirstPending();
void ForgetPending();
