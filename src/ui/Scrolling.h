// Rows that do not fit in a window as tall as the work area scroll: by the
// mouse wheel and by the thin scroll bar. Scrolling moves the rows' windows
// in one batch and writes nothing.
#pragma once

#include <windows.h>

// Brings row `index` (from 0) wholly into view, scrolling as little as it
// can; the row count brings Add Item and the window's end into view.
void ScrollEntryIntoView(int index);
// True while any part of row `index` lies inside the window.
bool RowVisible(int index);
void OnMouseWheel(int delta);
// Scrolls by whole rows: up when negative.
void ScrollRows(int rows);
// A WM_VSCROLL from the scroll bar.
void OnScrollBar(int code);
