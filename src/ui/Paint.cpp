#include "ui/Paint.h"

#include <math.h>
#include <string.h>

#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Utf8.h"
#include "ui/GdiGuards.h"
#include "ui/Layout.h"

namespace {

// What one surface shows: the style's gradient from one colour to the
// other, or under high contrast a system colour filled flat; and its text.
struct Look {
    COLORREF from, to;
    COLORREF text;
    bool system; // high contrast: `from` fills the surface, no gradient
};

// WCAG's relative luminance of a colour. Its power of 2.4 is taken as
// 2.375 (the square times fourth and eighth roots), within 8 % where it
// counts and without a power function in the DLL.
double Luminance(COLORREF c) {
    auto channel = [](int v) {
        double s = v / 255.0;
        if (s <= 0.03928) return s / 12.92;
        const double x = (s + 0.055) / 1.055, fourth = sqrt(sqrt(x));
        return x * x * fourth * sqrt(fourth);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) +
           0.0722 * channel(GetBValue(c));
}

double Contrast(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

// The least contrast a colour reaches against the gradient's two ends (its
// one colour when solid).
double LeastContrast(COLORREF text, COLORREF from, COLORREF to, bool solid) {
    const double a = Contrast(text, from);
    if (solid) return a;
    const double b = Contrast(text, to);
    return a < b ? a : b;
}

// A style's text colour that reaches less than 2:1 against the gradient
// behind it (a colour the shell could not parse comes back black) is drawn
// in black or white, whichever stands out more.
COLORREF Readable(const PluginInstance& p, COLORREF text, COLORREF from, COLORREF to) {
    const bool solid = p.styleRecord && p.styleRecord->gradientType == 0;
    const double own = LeastContrast(text, from, to, solid);
    if (own >= 2.0) return text;
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    const double onBlack = LeastContrast(black, from, to, solid);
    const double onWhite = LeastContrast(white, from, to, solid);
    if (onBlack <= own && onWhite <= own) return text; // neither does better (black to white)
    return onBlack >= onWhite ? black : white;
}

// Open entries, Add Item, boxes: the style's gradient and open-text colour.
Look OpenLook(const PluginInstance& p) {
    if (p.highContrast) return {GetSysColor(COLOR_WINDOW), 0, GetSysColor(COLOR_WINDOWTEXT), true};
    return {p.colour, p.colourTo, Readable(p, p.textColour, p.colour, p.colourTo), false};
}

// Ticked entries: the gradient reversed and the subdued text colour.
Look DoneLook(const PluginInstance& p) {
    if (p.highContrast) return {GetSysColor(COLOR_WINDOW), 0, GetSysColor(COLOR_GRAYTEXT), true};
    return {p.colourTo, p.colour, Readable(p, p.doneTextColour, p.colourTo, p.colour), false};
}

void DrawGradient(HDC dc, RECT rect, const Look& look) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (look.system) {
        ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(look.from));
        if (brush.get()) FillRect(dc, &rect, brush.get());
        return;
    }
    if (!p->styleRecord) return;
    const StyleRecord& s = *p->styleRecord;
    Host.MakeGradient(dc, rect, s.gradientType, look.from, look.to, s.flag != 0, s.valueA, s.valueB,
                      p->bevelWidth, p->borderColour, p->borderWidth);
}

HFONT CreateCaptionFont(const PluginInstance& p, bool strikeOut) {
    return CreateFontA(Scale(p.fontHeight, p.dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, strikeOut,
                       DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, p.fontFace);
}

RECT CaptionRect(const PluginInstance& p, RECT rect) {
    RECT text = CaptionTextRect(rect.right - rect.left, rect.bottom - rect.top, p.bevelWidth,
                                p.borderWidth, p.dpi);
    OffsetRect(&text, rect.left, rect.top);
    return text;
}

// A gradient with one line of text centred on it: the font is made and
// selected before the gradient, the text drawn after it. The text is shown
// as written ("&" is no mnemonic prefix), and a text too long for its place
// ends in an ellipsis rather than being cut at both sides. Its rectangle
// only places it: a frame wider than the row leaves so little room that
// clipping to it would cut the letters, so they are drawn whole over it.
void DrawCaptioned(HDC dc, RECT rect, const Look& look, bool strikeOut, const char* text) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    ScopedGdiObject<HFONT> font(CreateCaptionFont(*p, strikeOut));
    ScopedSelect selectFont(dc, font.get());
    DrawGradient(dc, rect, look);
    if (!text) return;
    SetTextColor(dc, look.text);
    rect = CaptionRect(*p, rect);
    SetBkMode(dc, TRANSPARENT);
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    DrawTextW(dc, wide, -1, &rect, CaptionFormat | DT_NOCLIP);
}

// A tick two pixels thick at 96 DPI: from the box's left middle down, then
// up to its top right corner, inside the frame of the box (10 x 10 at 96
// DPI); at other DPIs every length scales with the box.
void DrawTick(HDC dc, RECT box, int dpi, COLORREF colour) {
    ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
    ScopedSelect selectPen(dc, pen.get());
    const int size = Scale(10, dpi);
    const int x = box.left, y = box.top + (box.bottom - box.top - size) / 2;
    for (int thickness = 0; thickness < Scale(2, dpi); ++thickness) {
        POINT stroke[3] = {{x + Scale(1, dpi), y + Scale(4, dpi) + thickness},
                           {x + Scale(3, dpi), y + Scale(6, dpi) + thickness},
                           {x + Scale(8, dpi), y + Scale(1, dpi) + thickness}};
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
    BitBlt(paint.dc(), 0, 0, rect.right, rect.bottom, memory.get(), 0, 0, SRCCOPY);
}

} // namespace

void DrawBackground(HDC dc, RECT rect) {
    if (ThePlugin) DrawGradient(dc, rect, OpenLook(*ThePlugin));
}

// A done entry shows the gradient reversed and its text struck out; a label
// without an entry is drawn the done way, with no text.
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (entry && entry->done == 0) {
        DrawCaptioned(dc, rect, OpenLook(*p), false, entry->text);
    } else {
        DrawCaptioned(dc, rect, DoneLook(*p), true, entry ? entry->text : nullptr);
    }
}

// A full list shows its button the way ticked entries look, but not struck
// out: the button does nothing more. Under high contrast it is a button in
// the system's button colours, raised.
void DrawAddButton(HDC dc, RECT rect) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const bool full = ItemCount >= MaxItems;
    Look look = full ? DoneLook(*p) : OpenLook(*p);
    if (p->highContrast) {
        look.from = GetSysColor(COLOR_BTNFACE);
        look.text = GetSysColor(full ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    }
    DrawCaptioned(dc, rect, look, false, "Add Item");
    if (p->highContrast) DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
}

// The box keeps its own look (the style's gradient, bevel and border) inside
// a frame of the open-text colour, which every style keeps readable against
// the window; a ticked entry's box shows a tick in the same colour.
void DrawDoneBox(HDC dc, RECT rect, const ListItem* entry) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const Look look = OpenLook(*p);
    DrawGradient(dc, rect, look);
    ScopedGdiObject<HBRUSH> frame(CreateSolidBrush(look.text));
    if (frame.get()) FrameRect(dc, &rect, frame.get());
    if (entry && entry->done) DrawTick(dc, rect, p->dpi, look.text);
}

void DrawInsertionMark(HDC dc, RECT rect, bool atTop) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (atTop) {
        rect.bottom = rect.top + Scale(2, p->dpi);
    } else {
        rect.top = rect.bottom - Scale(2, p->dpi);
    }
    ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(OpenLook(*p).text));
    if (brush.get()) FillRect(dc, &rect, brush.get());
}

// Every other pixel along the edges: dots in the text's own colour stay
// visible on any gradient, where inverted pixels can vanish on mid-grey.
void DrawFocusMark(HDC dc, RECT rect, COLORREF colour) {
    for (int x = rect.left; x < rect.right; x += 2) {
        SetPixelV(dc, x, rect.top, colour);
        SetPixelV(dc, x, rect.bottom - 1, colour);
    }
    for (int y = rect.top; y < rect.bottom; y += 2) {
        SetPixelV(dc, rect.left, y, colour);
        SetPixelV(dc, rect.right - 1, y, colour);
    }
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

// The focus mark goes inside the bevel and the border, in the caption's colour.
void PaintItemLabel(HWND label, MarkEdge mark, bool focused) {
    struct Label {
        HWND window;
        MarkEdge mark;
        bool focused;
    } context = {label, mark, focused};
    PaintOffScreen(
        label,
        [](HDC dc, RECT rect, const void* context) {
            const Label* label = static_cast<const Label*>(context);
            const ListItem* entry = FindItem(label->window);
            DrawItemLabel(dc, rect, entry);
            const PluginInstance* p = ThePlugin;
            if (label->focused && p)
                DrawFocusMark(dc, CaptionRect(*p, rect),
                              entry && !entry->done ? p->textColour : p->doneTextColour);
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

void PaintAddButton(HWND button, bool focused) {
    PaintOffScreen(
        button,
        [](HDC dc, RECT rect, const void* focused) {
            DrawAddButton(dc, rect);
            const PluginInstance* p = ThePlugin;
            if (*static_cast<const bool*>(focused) && p)
                DrawFocusMark(dc, CaptionRect(*p, rect),
                              ItemCount < MaxItems ? p->textColour : p->doneTextColour);
        },
        &focused);
}
