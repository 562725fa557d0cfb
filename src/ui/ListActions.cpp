#include "ui/ListActions.h"

#include "core/PluginInstance.h"
#include "data/Changes.h"
#include "data/History.h"
#include "data/ItemList.h"
#include "data/Text.h"
#include "ui/ChangePath.h"
#include "ui/ChildWindows.h"
#include "ui/Docking.h"
#include "ui/FocusState.h"
#include "ui/InPlaceEdit.h"
#include "ui/RowLayout.h"
#include "ui/Scrolling.h"

namespace {

// The last click that added: its message time and its place on the screen.
bool AddedByClick = false;
DWORD AddedAt = 0;
POINT AddedWhere = {};
// The window of a press counted as a click on Add Item, until its release.
HWND PressOnAdd = nullptr;

POINT OnScreen(HWND window, LPARAM position) {
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    ClientToScreen(window, &at);
    return at;
}

int Distance(int a, int b) {
    return a > b ? a - b : b - a;
}

} // namespace

// A record for `item` as the user sees it: its text after an edit stored
// in the same step, its place.
static Change* EntryChange(ChangeKind kind, const ListItem* item, const Change* edit) {
    Change* change = NewChange(kind);
    if (!change) return nullptr;
    change->index = IndexOfItem(item);
    const bool edited = edit && edit->index == change->index;
    CopyText(change->text, sizeof change->text, edited ? edit->other : item->text);
    change->seen = SeenOnScreen(item, edit);
    return change;
}

// The list holds 50 entries: a 51st is refused with a warning sound. A
// window that grows past the bottom of its monitor's work area moves up;
// once as tall as the work area, the rows scroll to show the new one. An
// entry that a merge with another program's write puts past the 50th is
// kept in the file, unseen: a warning sound says so.
bool AddItem() {
    if (!ThePlugin) return false;
    Change* edit = TakeOpenEdit();
    Change* add = ItemCount < MaxItems ? NewChange(ChangeKind::add) : nullptr;
    if (add) CopyText(add->text, sizeof add->text, "New Item");
    // The new entry is the file's last: it shows when nothing is past the 50th.
    const bool shows = Perform(Then(edit, add)) && add && !OverflowCount;
    if (shows) {
        ScrollEntryIntoView(CountRows()); // the new row and Add Item below it
    } else {
        MessageBeep(MB_ICONWARNING);
    }
    return shows;
}

void AddItemClicked(HWND window, LPARAM position) {
    PressOnAdd = nullptr;
    AddedByClick = true;
    AddedAt = static_cast<DWORD>(GetMessageTime());
    AddedWhere = OnScreen(window, position);
    AddItem();
}

// As the system tells a double-click: the time counted from the click that
// added, the rectangle centred on it.
bool PressContinuesAdding(HWND window, LPARAM position) {
    const POINT at = OnScreen(window, position);
    const DWORD since = static_cast<DWORD>(GetMessageTime()) - AddedAt;
    const bool quick = AddedByClick && since <= GetDoubleClickTime() &&
                       2 * Distance(at.x, AddedWhere.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
                       2 * Distance(at.y, AddedWhere.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
    PressOnAdd = quick ? window : nullptr;
    return quick;
}

void ForgetQuickClicks() {
    AddedByClick = false;
    PressOnAdd = nullptr;
}

bool AddsOnRelease(HWND window) {
    const bool adds = window && window == PressOnAdd;
    PressOnAdd = nullptr;
    return adds;
}

// Called from the entry's own label: nothing may touch that window after.
void DeleteItem(HWND window) {
    PluginInstance* p = ThePlugin;
    ListItem* item = FindItem(window);
    if (!p || !item) return;
    Change* edit = TakeOpenEdit();
    Change* remove = EntryChange(ChangeKind::remove, item, edit);
    Perform(Then(edit, remove));
}

// A left click toggles the tick, a middle click takes it off; the record
// holds the tick the user set, never a toggle. A click that changes nothing
// writes nothing.
void SetEntryDone(ListItem* item, int done) {
    if (!item) return;
    Change* edit = TakeOpenEdit();
    Change* tick = nullptr;
    if (item->done != done) {
        tick = EntryChange(ChangeKind::setDone, item, edit);
        if (tick) tick->value = done;
    }
    Perform(Then(edit, tick));
}

// The drag's record, made by one key: the entry lands after the one above
// its new place in the list without it.
bool MoveEntryBy(ListItem* item, int by) {
    const int from = IndexOfItem(item), to = from + by;
    if (!ThePlugin || from < 0 || by == 0 || to < 0 || to >= CountListedItems()) return false;
    Change* edit = TakeOpenEdit();
    Change* move = EntryChange(ChangeKind::move, item, edit);
    if (move) {
        move->value = to;
        const ListItem* above = to > 0 ? ItemAt(to - 1 < from ? to - 1 : to) : nullptr;
        const bool edited = above && edit && edit->index == IndexOfItem(above);
        if (above) CopyText(move->other, sizeof move->other, edited ? edit->other : above->text);
    }
    return Perform(Then(edit, move));
}

// Every ticked entry goes in one step and one save, so that one undo brings
// the whole set back. Only the entries the user saw ticked go.
void RemoveTickedEntries() {
    PluginInstance* p = ThePlugin;
    if (!p || !AnyEntryTicked()) return;
    Change* edit = TakeOpenEdit();
    int ticked = 0;
    for (const ListItem* item = ListHead; item; item = item->next)
        ticked += item->done != 0;
    Change* remove = NewChange(ChangeKind::removeTicked, ticked);
    if (!remove) {
        Perform(edit);
        return;
    }
    int index = 0;
    for (const ListItem* item = ListHead; item; item = item->next, ++index) {
        if (!item->done) continue;
        DeletedEntry& entry = remove->entries[remove->count++];
        entry.index = index;
        entry.done = item->done;
        // An edit stored in the same step renames the entry first.
        const bool edited = edit && edit->index == index;
        CopyText(entry.text, sizeof entry.text, edited ? edit->other : item->text);
        const EntrySeen seen = SeenOnScreen(item, edit);
        entry.above = seen.above;
        entry.below = seen.below;
    }
    Perform(Then(edit, remove));
}

// The entry the step changed takes the focus mark; the keyboard stays where
// it is. An entry gone leaves the focus to the rule for entries that go, and
// one a merge moved keeps it where it was.
static void FocusOn(const Change* step) {
    if (!step || step->kind == ChangeKind::restore || step->kind == ChangeKind::setting) return;
    const DeletedEntry* first = step->kind == ChangeKind::removeTicked ? step->entries : nullptr;
    ListItem* item = ItemAt(first ? first->index : step->index);
    if (item && item->label && strcmp(item->text, first ? first->text : step->text) == 0)
        SetFocusedEntry(item);
}

// The newest step (or the newest deletion) is undone or redone: its record
// goes the one path. An open edit is stored first, as a click elsewhere
// stores it: a new step, which an Undo then takes back. One that would take
// the list past 50 entries is refused with a warning sound and stays.
static void RunStep(bool redo, bool deletion) {
    if (!ThePlugin) return;
    Change* edit = TakeOpenEdit();
    if (edit && !redo && !deletion) {
        Perform(edit);
        edit = nullptr;
    }
    int name = 0;
    const Change* next = PeekStep(redo, deletion, &name);
    if (next && next->kind == ChangeKind::restore && ItemCount + next->count > MaxItems) {
        MessageBeep(MB_ICONWARNING);
        next = nullptr;
    }
    Change* step = next ? TakeStep(redo, deletion, &name) : nullptr;
    const Origin origin = redo ? Origin::redo : Origin::undo;
    if (step && step->kind == ChangeKind::setting && step->setting == KeyInSlit) {
        Perform(edit);
        SetDocked(step->value != 0, origin);
        ReleaseChange(step);
        return;
    }
    // Its save may find the entry gone from the file: the step is dropped.
    if (Perform(Then(edit, step), step ? origin : Origin::user, name) && step) {
        if (ThePlugin->changesDroppedOnSave && StepJustMade())
            ReleaseChange(TakeStep(!redo, false, nullptr));
        else
            FocusOn(StepJustMade());
    }
}

void Undo() {
    RunStep(false, false);
}

void Redo() {
    RunStep(true, false);
}

void UndoDelete() {
    RunStep(false, true);
}

bool AnyEntryTicked() {
    for (const ListItem* item = ListHead; item; item = item->next)
        if (item->done) return true;
    return false;
}

void ChangeSetting(int setting, int value) {
    Change* change = NewChange(ChangeKind::setting);
    if (!change) return;
    change->setting = setting;
    change->value = value;
    Perform(change);
}

// The window, its rows and the Add Item button take the new width at once.
// The same width writes nothing.
void SetWindowWidth(int width) {
    PluginInstance* p = ThePlugin;
    if (!p || width < MinWindowWidth || width > MaxWindowWidth || width == p->width) return;
    ChangeSetting(KeyWidth, width);
}
