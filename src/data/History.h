// What the user can undo and redo: for each of the user's changes, the
// record that takes it back, made from the list as it stood just before.
// Newest first, at most HistorySteps of them, in memory only; another
// program's changes and window moves are no steps. Undoing a step performs
// its record, whose own inverse becomes the step that redoes it.
#pragma once

#include "data/Changes.h"

// Undo and redo together never hold more: each step is at most one record
// with one list's entries, so the history stays within a few megabytes
// whatever the texts.
constexpr int HistorySteps = 100;

// What a step did, as the menu names it. The settings follow their Setting
// order from KeyWidth on.
enum StepName {
    StepTick,
    StepUntick,
    StepEdit,
    StepAdd,
    StepDelete,
    StepMove,
    StepRemoveTicked,
    StepWidth, // KeyWidth
    StepOnTop,
    StepSnap,
    StepTransparency,
    StepDock // KeyInSlit
};

// Who made a change: the user (a new step, and nothing is left to redo), or
// an undo or redo of a step (its inverse goes to the other side).
enum class Origin { user, undo, redo };

// `change` was applied to `before`, giving `after`: its inverse is kept.
// A user's step is named from the record, an undo or redo keeps `name`.
void NoteApplied(const Document& before, const Document& after, const Change& change, Origin origin,
                 int name);
// Keeps a record made by hand (docking has no list record) as a step.
void Remember(Change* inverse, int name, Origin origin);
// The newest step to undo (or redo), or only the newest deletion to undo;
// null when there is none. Peek leaves it in the history, Take hands it over.
const Change* PeekStep(bool redo, bool deletion, int* name);
Change* TakeStep(bool redo, bool deletion, int* name);
// The step the undo or redo of the step taken last made, while it is the
// newest; null when that record was dropped.
const Change* StepJustMade();
void ForgetHistory();
