#include "data/History.h"

#include <string.h>

#include "data/Text.h"

namespace {

// Oldest first. One history: the plug-in runs on the shell's one window thread.
struct Side {
    Change* records[HistorySteps];
    unsigned char names[HistorySteps];
    int count;
};
Side Undos, Redos;
const Change* JustMade = nullptr;

void Clear(Side& side) {
    for (int i = 0; i < side.count; ++i)
        ReleaseChange(side.records[i]);
    side.count = 0;
}

void Push(Side& side, Change* record, int name) {
    if (side.count == HistorySteps) { // the oldest step is forgotten
        ReleaseChange(side.records[0]);
        memmove(&side.records[0], &side.records[1], sizeof(Change*) * (HistorySteps - 1));
        memmove(&side.names[0], &side.names[1], HistorySteps - 1);
        --side.count;
    }
    side.records[side.count] = record;
    side.names[side.count++] = static_cast<unsigned char>(name);
}

int Find(const Side& side, bool deletion) {
    for (int i = side.count - 1; i >= 0; --i)
        if (!deletion || side.names[i] == StepDelete || side.names[i] == StepRemoveTicked) return i;
    return -1;
}

bool Same(const EntryRecord& a, const EntryRecord& b) {
    return a.done == b.done && strcmp(a.text, b.text) == 0;
}

// `before` while a record's deletions are replayed on it, and where each of
// its entries stood in `before`. One at a time, as the change path is.
Document Scratch;
int Origins[MaxDocumentEntries];

// The places in `before` of the entries `change` removes, ascending: the
// record replayed as ApplyChange applies it, so that among equal entries the
// one it took is the one that comes back.
int Removed(const Document& before, const Change& change, int* places) {
    Scratch = before;
    for (int i = 0; i < before.count; ++i)
        Origins[i] = i;
    const bool one = change.kind == ChangeKind::remove;
    int n = 0;
    for (int i = one ? 0 : change.count - 1; i >= 0; --i) {
        const int found = one ? FindEntry(Scratch, change.text, change.index)
                              : FindEntry(Scratch, change.entries[i].text, change.entries[i].index);
        if (found < 0) continue;
        int at = n++;
        for (; at > 0 && places[at - 1] > Origins[found]; --at)
            places[at] = places[at - 1];
        places[at] = Origins[found];
        RemoveEntry(Scratch, found);
        memmove(&Origins[found], &Origins[found + 1], sizeof(int) * (Scratch.count - found));
    }
    return n;
}

// Where each entry `change` adds landed, ascending: an addition at the end,
// an edit of an entry gone at its place, a restored entry at its own.
int Inserted(const Document& before, const Change& change, int* places) {
    const bool many = change.kind == ChangeKind::restore;
    const int n = many ? change.count : 1;
    for (int i = 0; i < n; ++i) {
        const int index = many                             ? change.entries[i].index
                          : change.kind == ChangeKind::add ? before.count
                                                           : change.index;
        const int end = before.count + i;
        places[i] = index < 0 || index > end ? end : index;
    }
    return n;
}

// The record that brings back (restore) or takes out again (removeTicked,
// or remove for one entry) the entries of `document` at `places`.
Change* EntriesAt(const Document& document, const int* places, int n, ChangeKind kind) {
    Change* change = n > 0 ? NewChange(kind, n) : nullptr;
    if (!change) return nullptr;
    for (int i = 0; i < n; ++i) {
        if (places[i] >= document.count) continue; // a full list took no more
        DeletedEntry& entry = change->entries[change->count++];
        entry.index = places[i];
        entry.done = document.entries[places[i]].done;
        CopyText(entry.text, sizeof entry.text, document.entries[places[i]].text);
    }
    // One entry taken out again is a deletion like the user's: dropped with
    // a warning sound when another program removed it meanwhile.
    if (kind == ChangeKind::removeTicked && change->count == 1) {
        change->kind = ChangeKind::remove;
        change->index = places[0];
        CopyText(change->text, sizeof change->text, change->entries[0].text);
    }
    return change;
}

Change* Inverse(const Document& before, const Document& after, const Change& change) {
    const int found = FindEntry(before, change.text, change.index);
    const bool kept = change.kind == ChangeKind::setDone || change.kind == ChangeKind::move;
    Change* inverse = found >= 0 || !kept ? NewChange(change.kind) : nullptr;
    if (!inverse) return nullptr;
    inverse->index = found;
    CopyText(inverse->text, sizeof inverse->text, change.text);
    switch (change.kind) {
    case ChangeKind::setDone:
        inverse->value = before.entries[found].done;
        return inverse;
    case ChangeKind::move: {
        // Back after the neighbour it had, from the place it landed: the first
        // where the list differs from the one before without it.
        inverse->value = found;
        if (found > 0) CopyText(inverse->other, ItemTextSize, before.entries[found - 1].text);
        int at = 0;
        while (at < after.count - 1 &&
               Same(after.entries[at], before.entries[at < found ? at : at + 1]))
            ++at;
        inverse->index = at;
        return inverse;
    }
    case ChangeKind::setting:
        inverse->setting = change.setting;
        inverse->value = before.settings[change.setting];
        return inverse;
    case ChangeKind::rename:
        if (found >= 0) {
            CopyText(inverse->text, sizeof inverse->text, change.other);
            CopyText(inverse->other, sizeof inverse->other, change.text);
            return inverse;
        }
        break; // the entry came back as a new one: an addition
    default:
        break;
    }
    ReleaseChange(inverse);
    int places[MaxDocumentEntries];
    const bool removal =
        change.kind == ChangeKind::remove || change.kind == ChangeKind::removeTicked;
    return removal ? EntriesAt(before, places, Removed(before, change, places), ChangeKind::restore)
                   : EntriesAt(after, places, Inserted(before, change, places),
                               ChangeKind::removeTicked);
}

// A user's step is named by what the record did.
int NameOf(const Change& change) {
    static const unsigned char names[] = {StepTick, StepEdit,         StepAdd,   StepDelete,
                                          StepMove, StepRemoveTicked, StepDelete};
    if (change.kind == ChangeKind::setting) return StepWidth + change.setting - KeyWidth;
    if (change.kind == ChangeKind::setDone && !change.value) return StepUntick;
    return names[static_cast<int>(change.kind)];
}

} // namespace

void NoteApplied(const Document& before, const Document& after, const Change& change, Origin origin,
                 int name) {
    if (change.kind == ChangeKind::none) return;
    if (origin == Origin::user) name = NameOf(change);
    Remember(Inverse(before, after, change), name, origin);
}

void Remember(Change* inverse, int name, Origin origin) {
    if (origin == Origin::user) Clear(Redos);
    if (origin != Origin::user) JustMade = inverse;
    if (inverse) Push(origin == Origin::undo ? Redos : Undos, inverse, name);
}

const Change* PeekStep(bool redo, bool deletion, int* name) {
    const Side& side = redo ? Redos : Undos;
    const int at = Find(side, deletion);
    if (at < 0) return nullptr;
    if (name) *name = side.names[at];
    return side.records[at];
}

Change* TakeStep(bool redo, bool deletion, int* name) {
    Side& side = redo ? Redos : Undos;
    const int at = Find(side, deletion);
    if (at < 0) return nullptr;
    Change* record = side.records[at];
    if (name) *name = side.names[at];
    JustMade = nullptr;
    memmove(&side.records[at], &side.records[at + 1], sizeof(Change*) * (side.count - at - 1));
    memmove(&side.names[at], &side.names[at + 1], side.count - at - 1);
    --side.count;
    return record;
}

const Change* StepJustMade() {
    return JustMade;
}

void ForgetHistory() {
    JustMade = nullptr;
    Clear(Undos);
    Clear(Redos);
}
