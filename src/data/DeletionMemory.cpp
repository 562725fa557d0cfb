#include "data/DeletionMemory.h"

#include <string.h>

#include "data/Utf8.h"

namespace {

// Oldest first: Held[HeldCount - 1] is the newest. A fixed table, since the
// undo of a deletion must never fail for want of memory.
Deletion Held[RememberedDeletions];
int HeldCount = 0;

} // namespace

Deletion& BeginDeletion() {
    if (HeldCount == RememberedDeletions) {
        memmove(&Held[0], &Held[1], sizeof Held[0] * (RememberedDeletions - 1));
        --HeldCount;
    }
    Deletion& deletion = Held[HeldCount++];
    deletion.count = 0;
    return deletion;
}

void RememberDeleted(Deletion& deletion, int index, const ListItem& item) {
    if (deletion.count >= MaxListed) return;
    DeletedEntry& entry = deletion.entries[deletion.count++];
    entry.index = index;
    entry.done = item.done;
    CopyEntryText(entry.text, sizeof entry.text, item.text);
}

const Deletion* LatestDeletion() {
    return HeldCount ? &Held[HeldCount - 1] : nullptr;
}

void ForgetLatestDeletion() {
    if (HeldCount) --HeldCount;
}

void ForgetDeletions() {
    HeldCount = 0;
}

int DeletionsHeld() {
    return HeldCount;
}
