// Painting of the plug-in's own windows. Each Paint routine answers one
// WM_PAINT by drawing off screen and copying the result in one block; the
// Draw functions do the drawing into any DC, so tests can call them too.
#pragma once

#include <windows.h>

struct ListItem;

void PaintBackground(HWND window);
void PaintItemLabel(HWND label);
void PaintAddButton(HWND button);

void DrawBackground(HDC dc, RECT rect);
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry);
void DrawAddButton(HDC dc, RECT rect);
