// Where the rows, the Add Item button and the window's height go, and how a
// row's windows come and go: the one place that knows the window's geometry.
// A row is an entry that has its windows; an entry whose windows could not be
// made stays in the list (and the file) without a row, and the rows close up
// over it.
#pragma once

#include <windows.h>

#include "ui/Layout.h"

struct ListItem;

// The layout of the window for `rows` rows (by default as many as when last
// laid out), at the instance's DPI, width, style and scroll offset.
Layout CurrentLayout(int rows = -1);
// How far the rows are scrolled up, in pixels; LayOutRows keeps it in range
// and moves the rows there.
void SetScrollOffset(int offset);
int RowHeight();
// Where row `row` (from 0) puts its label and box in the window, scrolled.
int LabelTop(int row);
int DoneBoxTop(int row);
// How many entries have their windows.
int CountRows();

// The procedures every row's box and label, and the scroll bar, are
// subclassed with.
void UseRowProcedures(WNDPROC box, WNDPROC label, WNDPROC scrollBar);
// Makes the row's done box and label at row `row`, subscribed and
// subclassed. On failure the entry keeps no half-made windows: false.
bool CreateRow(ListItem* item, int row);
// Unsubscribes and destroys the row's windows; the entry stays.
void DestroyRow(ListItem* item);
// Puts every row, the Add Item button, an open editor and the window's size where a fresh
// start would: the windows that move go in one deferred batch, and the
// window repaints its background when its height changes. Docked, the slit
// is told to lay itself out again after a change of size.
void LayOutRows();
// True while LayOutRows itself places the window: snapping to the screen's
// edges is for the user's moves, not for the window growing.
extern bool PlacingWindow;
