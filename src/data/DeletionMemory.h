// The deletions of this session that can still be undone: the last ten,
// newest first, in memory only. A deletion holds one entry (a right-button
// double-click) or many (Remove Ticked Entries), each with the place it had.
#pragma once

#include "data/ItemList.h"

constexpr int RememberedDeletions = 10;

struct DeletedEntry {
    int index; // its place in the list when it went, from 0
    int done;
    char text[ItemTextSize];
    unsigned above, below; // what the user saw next to it (EntrySeen)
};

struct Deletion {
    int count; // entries, by ascending index
    DeletedEntry entries[MaxListed];
};

// A new, empty deletion, the newest; the oldest is forgotten when ten are held.
Deletion& BeginDeletion();
// Adds an entry to the newest deletion; entries past MaxListed are dropped.
void RememberDeleted(Deletion& deletion, int index, const ListItem& item);
// The newest deletion, or null when there is none.
const Deletion* LatestDeletion();
void ForgetLatestDeletion();
void ForgetDeletions();
int DeletionsHeld();
