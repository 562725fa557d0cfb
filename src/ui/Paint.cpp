#include "ui/Paint.h"

#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/GdiGuards.h"

namespace {

void DrawGradient(HDC dc, RECT rect, COLORREF from, COLORREF to) {
    const PluginInstance* p = ThePlugin;
    if (!p || !p->styleRecord) return;
    const StyleRecord& s = *p->styleRecord;
    Host.MakeGradient(dc, rect, s.gradientType, from, to, s.flag != 0, s.valueA, s.valueB,
                      p->bevelWidth, p->borderColour, p->borderWidth);
}

// A gradient with one line of text centred on it: the font is made and
// selected before the gradient, the text drawn after it.
void DrawCaptioned(HDC dc, RECT rect, COLORREF from, COLORREF to, bool strikeOut,
                   COLORREF textColour, const char* text) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    ScopedGdiObject<HFONT> font(CreateFontA(p->fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                            strikeOut, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0,
                                            p->fontFace));
    ScopedSelect selectFont(dc, font.get());
    DrawGradient(dc, rect, from, to);
    if (!text) return;
    SetTextColor(dc, textColour);
    int inset = p->bevelWidth + p->borderWidth;
    InflateRect(&rect, -inset, -inset);
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, static_cast<int>(strlen(text)), &rect,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

typedef void (*DrawFunction)(HDC dc, RECT rect, const void* context);

// The frame every paint shares: the window's client area drawn into a memory
// bitmap, then copied with one BitBlt bounded by the window's clipping.
void PaintOffScreen(HWND window, DrawFunction draw, const void* context) {
    RECT rect;
    GetClientRect(window, &rect);
    ScopedPaint paint(window);
    if (!paint.dc()) return;
    ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(paint.dc(), rect.right, rect.bottom));
    ScopedMemoryDC memory;
    if (!bitmap.get() || !memory.get()) return;
    ScopedSelect selectBitmap(memory.get(), bitmap.get());
    draw(memory.get(), rect, context);
    int width = ThePlugin ? ThePlugin->width : rect.right;
    int height = ThePlugin ? ThePlugin->height : rect.bottom;
    BitBlt(paint.dc(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

} // namespace

void DrawBackground(HDC dc, RECT rect) {
    if (ThePlugin) DrawGradient(dc, rect, ThePlugin->colour, ThePlugin->colourTo);
}

// A done entry shows the gradient reversed and its text struck out; a label
// without an entry is drawn the done way, with no text.
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (entry && entry->done == 0) {
        DrawCaptioned(dc, rect, p->colour, p->colourTo, false, p->textColour, entry->text);
    } else {
        DrawCaptioned(dc, rect, p->colourTo, p->colour, true, p->doneTextColour,
                      entry ? entry->text : nullptr);
    }
}

void DrawAddButton(HDC dc, RECT rect) {
    const PluginInstance* p = ThePlugin;
    if (p) DrawCaptioned(dc, rect, p->colour, p->colourTo, false, p->textColour, "Add Item");
}

void PaintBackground(HWND window) {
    PaintOffScreen(
        window, [](HDC dc, RECT rect, const void*) { DrawBackground(dc, rect); }, nullptr);
}

void PaintItemLabel(HWND label) {
    PaintOffScreen(
        label,
        [](HDC dc, RECT rect, const void* entry) {
            DrawItemLabel(dc, rect, static_cast<const ListItem*>(entry));
        },
        FindItem(label));
}

void PaintAddButton(HWND button) {
    PaintOffScreen(
        button, [](HDC dc, RECT rect, const void*) { DrawAddButton(dc, rect); }, nullptr);
}
