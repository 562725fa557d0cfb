#include "ui/ChangePath.h"

#include "core/ModalLoop.h"
#include "core/PluginInstance.h"
#include "data/Changes.h"
#include "data/Document.h"
#include "data/ItemList.h"
#include "ui/FocusState.h"
#include "ui/RowSync.h"
#include "ui/Translucency.h"

namespace {

int Holds = 0;

// One at a time: the plug-in runs on the shell's one window thread.
Document Working;
Document Before; // Working before the record being applied, for its inverse

// Whoever shows something of the list learns of the change: the
// configuration menu was made for the list as it was, so it goes; screen
// readers hear of one entry's new text or tick, and read the whole list
// again after anything more.
void Tell(const RowChanges& changes) {
    ReleaseConfigurationMenu();
    if (changes.reordered || changes.renamed + changes.reticked > 1) {
        NotifyListReordered();
    } else {
        if (changes.renamed) NotifyEntryEvent(EVENT_OBJECT_NAMECHANGE, changes.changed);
        if (changes.reticked) NotifyEntryEvent(EVENT_OBJECT_STATECHANGE, changes.changed);
    }
}

// A save that waits for another program's write is tried again on a timer:
// nothing waits on the shell's thread.
void SaveChain(PluginInstance& p, Change* changes) {
    p.Save(changes);
    if (p.saveWaits) SetTimer(p.mainWindow, ReloadTimer, QuietTime / 2, nullptr);
    if (p.changesDroppedOnSave) MessageBeep(MB_ICONWARNING);
    if (p.mergedOnSave) BringInLine(MergedDocument());
}

} // namespace

Change* Then(Change* first, Change* next) {
    if (!first) return next;
    Change* last = first;
    while (last->next)
        last = last->next;
    last->next = next;
    return first;
}

void BringInLine(const Document& d) {
    PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) return;
    const int width = p->width;
    const bool onTop = p->alwaysOnTop, translucent = p->transparencyOn;
    const int alpha = p->alpha;
    p->TakeDocument(d, false);
    const RowChanges changes = BringRowsInLine(d);
    // A new width draws every caption again, centred for it.
    if (p->width != width)
        RedrawWindow(p->mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (p->alwaysOnTop != onTop) {
        SetWindowPos(p->mainWindow, p->alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    if (p->transparencySupported &&
        (p->transparencyOn != translucent || (translucent && p->alpha != alpha)))
        ApplyTranslucency(p->mainWindow, p->transparencyOn && !p->highContrast, p->alpha);
    Tell(changes);
}

bool Perform(Change* changes, Origin origin, int name) {
    PluginInstance* p = ThePlugin;
    if (!p) {
        while (changes) {
            Change* next = changes->next;
            ReleaseChange(changes);
            changes = next;
        }
        return false;
    }
    p->Snapshot(Working);
    Change* applied = nullptr;
    bool dropped = false;
    while (changes) {
        Change* next = changes->next;
        changes->next = nullptr;
        Before = Working;
        if (ApplyChange(Working, *changes)) {
            NoteApplied(Before, Working, *changes, next ? Origin::user : origin, name);
            applied = Then(applied, changes);
        } else {
            dropped = true;
            ReleaseChange(changes);
        }
        changes = next;
    }
    if (dropped) MessageBeep(MB_ICONWARNING);
    if (!applied) return false;
    BringInLine(Working);
    SaveChain(*p, applied);
    return true;
}

void SaveNow() {
    if (ThePlugin) SaveChain(*ThePlugin, nullptr);
}

void HoldReloads(bool hold) {
    Holds += hold ? 1 : -1;
    if (Holds < 0) Holds = 0;
}

// Editors empty a file before they write it: a file is read only once no
// change was seen for the quiet time, so no merge ever meets half of one.
// Each notice starts the quiet time again.
void OnSettingsFolderChanged(HWND mainWindow) {
    SetTimer(mainWindow, ReloadTimer, QuietTime, nullptr);
}

// A reload shows the file as it now is, applying the changes not yet in it,
// and writes nothing. It waits while a drag, a move, a box or a menu is
// under way, and while another program writes the file (2 s at most). A
// file gone stays gone until the next change; one that cannot be read now
// is read at the next notice. Changes that waited for another program's
// write are saved at once, merged with it.
void OnReloadTimer(HWND mainWindow) {
    PluginInstance* p = ThePlugin;
    if (!p) return;
    // The timer comes again.
    if (Holds > 0 || InModalLoop() || p->WaitsFor(p->OtherWriteUnderWay())) return;
    KillTimer(mainWindow, ReloadTimer);
    if (FirstPending()) {
        SaveChain(*p, nullptr);
        return;
    }
    p->waitingSince = 0;
    bool missing = false, unchanged = false;
    // zelk's own save, or no change, is read once and left there.
    if (!p->MergeWithFile(missing, &unchanged) || missing || unchanged) return;
    if (p->changesDroppedOnSave) MessageBeep(MB_ICONWARNING);
    BringInLine(MergedDocument());
}
