#include "data/Changes.h"

#include <stdlib.h>
#include <string.h>

#include "data/Text.h"

namespace {

Change* PendingHead = nullptr;
Change* PendingTail = nullptr;

// A moved entry lands after the entry the user saw above it, wherever that
// one stands now; at the top when it had none; at its place otherwise.
void PlaceMoved(Document& document, const Change& change, int done) {
    int at = change.value;
    if (!change.other[0]) {
        at = 0;
    } else {
        int above = FindEntry(document, change.other, change.value - 1);
        if (above >= 0) at = above + 1;
    }
    InsertEntry(document, at, change.text, done);
}

} // namespace

Change* NewChange(ChangeKind kind, int entries) {
    if (entries < 0) entries = 0;
    size_t size = sizeof(Change) + sizeof(DeletedEntry) * static_cast<size_t>(entries);
    Change* change = static_cast<Change*>(calloc(1, size));
    if (!change) return nullptr;
    change->kind = kind;
    // The entries follow the record in its block; Change's alignment suits them.
    change->entries = entries ? reinterpret_cast<DeletedEntry*>(change + 1) : nullptr;
    return change;
}

void ReleaseChange(Change* change) {
    free(change);
}

bool ApplyChange(Document& document, const Change& change) {
    // A record made by hand (not from the screen) knows no neighbours.
    const int found =
        FindEntry(document, change.text, change.index, change.seen.above ? &change.seen : nullptr);
    switch (change.kind) {
    case ChangeKind::setDone:
        if (found < 0) return false;
        document.entries[found].done = change.value;
        return true;
    case ChangeKind::rename:
        if (found < 0) return InsertEntry(document, change.index, change.other, 0);
        CopyText(document.entries[found].text, ItemTextSize, change.other);
        return true;
    case ChangeKind::add:
        return InsertEntry(document, document.count, change.text, 0);
    case ChangeKind::remove:
        if (found < 0) return false;
        RemoveEntry(document, found);
        return true;
    case ChangeKind::move: {
        if (found < 0) return false;
        const int done = document.entries[found].done;
        RemoveEntry(document, found);
        PlaceMoved(document, change, done);
        return true;
    }
    case ChangeKind::removeTicked:
        // From the last up, so each place the user saw still points near.
        for (int i = change.count - 1; i >= 0; --i) {
            const DeletedEntry& entry = change.entries[i];
            const EntrySeen seen = {entry.done, entry.above, entry.below};
            RemoveEntry(document,
                        FindEntry(document, entry.text, entry.index, seen.above ? &seen : nullptr));
        }
        return true;
    case ChangeKind::restore:
        for (int i = 0; i < change.count; ++i) {
            const DeletedEntry& entry = change.entries[i];
            InsertEntry(document, entry.index, entry.text, entry.done);
        }
        return true;
    case ChangeKind::setting:
        if (change.setting < 0 || change.setting >= SettingCount) return false;
        document.settings[change.setting] = change.value;
        return true;
    case ChangeKind::none:
        break;
    }
    return true;
}

// The whole chain is kept: an action taken with an editor open comes as the
// edit and the action, and both must reach any merge.
namespace {

unsigned ShownKey(const ListItem* item, int index, const Change* edit) {
    if (!item) return NoNeighbour;
    const bool edited = edit && edit->kind == ChangeKind::rename && edit->index == index;
    return TextKey(edited ? edit->other : item->text);
}

} // namespace

EntrySeen SeenOnScreen(const ListItem* item, const Change* edit) {
    const int index = IndexOfItem(item);
    return {item->done, ShownKey(ItemAt(index - 1), index - 1, edit),
            ShownKey(item->next, index + 1, edit)};
}

void KeepPending(Change* change) {
    if (!change) return;
    if (PendingTail) {
        PendingTail->next = change;
    } else {
        PendingHead = change;
    }
    while (change->next)
        change = change->next;
    PendingTail = change;
}

const Change* FirstPending() {
    return PendingHead;
}

void ForgetPending() {
    for (Change* change = PendingHead; change;) {
        Change* next = change->next;
        ReleaseChange(change);
        change = next;
    }
    PendingHead = PendingTail = nullptr;
}
