// Painting of the plug-in's own windows. Each Paint routine answers one
// WM_PAINT by drawing off screen and copying the result in one block; the
// Draw functions do the drawing into any DC, so tests can call them too.
#pragma once

#include <windows.h>

struct ListItem;

void PaintBackground(HWND window);
// Where the insertion mark of a drag shows on a label: none, along its top
// edge, or along its bottom edge (after the last row).
enum class MarkEdge { none, top, bottom };

// `focused`: the keyboard's focus is there while zelk has the keyboard.
void PaintItemLabel(HWND label, MarkEdge mark = MarkEdge::none, bool focused = false);
void PaintAddButton(HWND button, bool focused = false);
void PaintDoneBox(HWND box);

void DrawBackground(HDC dc, RECT rect);
// `focused`: with the keyboard's focus mark, a dotted rectangle just inside
// the frame the shell painted, moved out past the letters where they reach
// further, each dot standing out 3:1 from the pixel under it.
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry, bool focused = false);
void DrawAddButton(HDC dc, RECT rect, bool focused = false);
void DrawDoneBox(HDC dc, RECT rect, const ListItem* entry);
// The insertion mark of a drag: a line two pixels high in the open-text
// colour (black or white where that stands out less than 3:1) along the top
// (or, after the last row, the bottom) of a label.
void DrawInsertionMark(HDC dc, RECT rect, bool atTop);

// How every caption is laid out: one line, centred, "&" drawn as written,
// and an ellipsis at the end of a text too long for its place.
constexpr UINT CaptionFormat =
    DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS;

// True when a caption's text is too long for the window it is drawn in, so
// it shows cut with an ellipsis.
bool IsCaptionCut(HWND window, const char* text);
