#include "ui/Paint.h"

#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Utf8.h"
#include "ui/GdiGuards.h"

namespace {

void DrawGradient(HDC dc, RECT rect, COLORREF from, COLORREF to) {
    const PluginInstance* p = ThePlugin;
    if (!p || !p->styleRecord) return;
    const StyleRecord& s = *p->styleRecord;
    Host.MakeGradient(dc, rect, s.gradientType, from, to, s.flag != 0, s.valueA, s.valueB,
                      p->bevelWidth, p->borderColour, p->borderWidth);
}

HFONT CreateCaptionFont(const PluginInstance& p, bool strikeOut) {
    return CreateFontA(p.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, strikeOut, DEFAULT_CHARSET,
                       0, 0, DEFAULT_QUALITY, 0, p.fontFace);
}

// Where a caption's text goes: inside the bevel and the border.
RECT CaptionRect(const PluginInstance& p, RECT rect) {
    int inset = p.bevelWidth + p.borderWidth;
    InflateRect(&rect, -inset, -inset);
    return rect;
}

// A gradient with one line of text centred on it: the font is made and
// selected before the gradient, the text drawn after it. The text is shown
// as written ("&" is no mnemonic prefix), and a text too long for its place
// ends in an ellipsis rather than being cut at both sides.
void DrawCaptioned(HDC dc, RECT rect, COLORREF from, COLORREF to, bool strikeOut,
                   COLORREF textColour, const char* text) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    ScopedGdiObject<HFONT> font(CreateCaptionFont(*p, strikeOut));
    ScopedSelect selectFont(dc, font.get());
    DrawGradient(dc, rect, from, to);
    if (!text) return;
    SetTextColor(dc, textColour);
    rect = CaptionRect(*p, rect);
    SetBkMode(dc, TRANSPARENT);
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    DrawTextW(dc, wide, -1, &rect, CaptionFormat);
}

// A tick two pixels thick: from the box's left middle down, then up to its
// top right corner, inside the frame of a 10 x 10 box.
void DrawTick(HDC dc, RECT box, COLORREF colour) {
    ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
    ScopedSelect selectPen(dc, pen.get());
    const int x = box.left, y = box.top + (box.bottom - box.top - 10) / 2;
    for (int thickness = 0; thickness < 2; ++thickness) {
        POINT stroke[3] = {
            {x + 1, y + 4 + thickness}, {x + 3, y + 6 + thickness}, {x + 8, y + 1 + thickness}};
        Polyline(dc, stroke, 3);
    }
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

// A full list shows its button the way ticked entries look, but not struck
// out: the button does nothing more.
void DrawAddButton(HDC dc, RECT rect) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (ItemCount < MaxItems) {
        DrawCaptioned(dc, rect, p->colour, p->colourTo, false, p->textColour, "Add Item");
    } else {
        DrawCaptioned(dc, rect, p->colourTo, p->colour, false, p->doneTextColour, "Add Item");
    }
}

// The box keeps its own look (the style's gradient, bevel and border) inside
// a frame of the open-text colour, which every style keeps readable against
// the window; a ticked entry's box shows a tick in the same colour.
void DrawDoneBox(HDC dc, RECT rect, const ListItem* entry) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    DrawGradient(dc, rect, p->colour, p->colourTo);
    ScopedGdiObject<HBRUSH> frame(CreateSolidBrush(p->textColour));
    if (frame.get()) FrameRect(dc, &rect, frame.get());
    if (entry && entry->done) DrawTick(dc, rect, p->textColour);
}

void DrawInsertionMark(HDC dc, RECT rect, bool atTop) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (atTop) {
        rect.bottom = rect.top + 2;
    } else {
        rect.top = rect.bottom - 2;
    }
    ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(p->textColour));
    if (brush.get()) FillRect(dc, &rect, brush.get());
}

// Measured the way DrawCaptioned draws: same font, same inset.
bool IsCaptionCut(HWND window, const char* text) {
    const PluginInstance* p = ThePlugin;
    if (!p || !text || !window) return false;
    RECT rect;
    GetClientRect(window, &rect);
    rect = CaptionRect(*p, rect);
    ScopedWindowDC dc(window);
    ScopedGdiObject<HFONT> font(CreateCaptionFont(*p, false));
    if (!dc.get()) return false;
    ScopedSelect selectFont(dc.get(), font.get());
    SIZE size = {};
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    GetTextExtentPoint32W(dc.get(), wide, lstrlenW(wide), &size);
    return size.cx > rect.right - rect.left;
}

void PaintBackground(HWND window) {
    PaintOffScreen(
        window, [](HDC dc, RECT rect, const void*) { DrawBackground(dc, rect); }, nullptr);
}

void PaintItemLabel(HWND label, MarkEdge mark) {
    struct Label {
        HWND window;
        MarkEdge mark;
    } context = {label, mark};
    PaintOffScreen(
        label,
        [](HDC dc, RECT rect, const void* context) {
            const Label* label = static_cast<const Label*>(context);
            DrawItemLabel(dc, rect, FindItem(label->window));
            if (label->mark != MarkEdge::none)
                DrawInsertionMark(dc, rect, label->mark == MarkEdge::top);
        },
        &context);
}

void PaintDoneBox(HWND box) {
    PaintOffScreen(
        box,
        [](HDC dc, RECT rect, const void* entry) {
            DrawDoneBox(dc, rect, static_cast<const ListItem*>(entry));
        },
        FindItem(box));
}

void PaintAddButton(HWND button) {
    PaintOffScreen(
        button, [](HDC dc, RECT rect, const void*) { DrawAddButton(dc, rect); }, nullptr);
}
