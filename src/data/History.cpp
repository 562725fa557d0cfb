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

// The entries of `longer` that `shorter` lacks, each with its place in
// `longer`, which is `shorter` with entries inserted: matched in order.
// Where equal entries could be told apart more than one way, each way gives
// the same list back.
Change* Difference(const Document& longer, const Document& shorter, ChangeKind kind) {
    const int n = longer.count - shorter.count;
    Change* change = n > 0 ? NewChange(kind, n) : nullptr;
    if (!change) return nullptr;
    for (int i = 0, j = 0; i < longer.count && change->count < n; ++i) {
        if (j < shorter.count && Same(longer.entries[i], shorter.entries[j])) {
            ++j;
            continue;
        }
        DeletedEntry& entry = change->entries[change->count++];
        entry.index = i;
        entry.done = longer.entries[i].done;
        CopyText(entry.text, sizeof entry.text, longer.entries[i].text);
    }
    // One entry back out is a deletion like the user's: dropped with a
    // warning sound when another program removed it meanwhile.
    if (kind == ChangeKind::removeTicked && change->count == 1) {
        change->kind = ChangeKind::remove;
        change->index = change->entries[0].index;
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
    return after.count > before.count ? Difference(after, before, ChangeKind::removeTicked)
                                      : Difference(before, after, ChangeKind::restore);
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
