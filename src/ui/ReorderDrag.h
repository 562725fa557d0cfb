// Moving an entry to another place in the list by dragging its label: a
// press on a label, then a move up or down past the system's drag distance,
// starts the drag; an insertion mark between the rows shows where the entry
// will land, and the release drops it there.
#pragma once

#include <windows.h>

#include "ui/Paint.h"

// The label's mouse messages while no Control-drag is under way. Each gives
// true when it took the message, so the label's usual handling is skipped.
bool ReorderOnButtonDown(HWND label, LPARAM position);
bool ReorderOnMouseMove(HWND label, LPARAM position);
bool ReorderOnButtonUp(HWND label, LPARAM position);
// While a drag's pointer rests near the top or bottom of a list that
// scrolls, the label's timer scrolls it: true when the timer was that one.
bool ReorderOnTimer(HWND label, WPARAM timer);
// The pointer was taken away (another window captured it): the drag ends
// and nothing moves.
void ReorderOnCaptureLost(HWND label);
// Escape: true when it ended a drag or a press.
bool CancelReorder();
bool Reordering();
// A label about to be destroyed ends a press or a drag that started on it,
// without saving: the action destroying it saves.
void EndReorderOn(HWND label);

MarkEdge InsertionMarkOn(HWND label);
