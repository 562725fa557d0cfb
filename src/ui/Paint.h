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
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry);
void DrawAddButton(HDC dc, RECT rect);
void DrawDoneBox(HDC dc, RECT rect, const ListItem* entry);
// The insertion mark of a drag: a line two pixels high in the open-text
// colour along the top (or, after the last row, the bottom) of a label.
void DrawInsertionMark(HDC dc, RECT rect, bool atTop);
// The keyboard's focus: a dotted rectangle along the inside of `rect`.
void DrawFocusMark(HDC dc, RECT rect, COLORREF colour);

// How every caption is laid out: one line, centred, "&" drawn as written,
// and an ellipsis at the end of a text too long for its place.
constexpr UINT CaptionFormat =
    DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS;

// True when a caption's text is too long for the window it is drawn in, so
// it shows cut with an ellipsis.
bool IsCaptionCut(HWND window, const char* text);
