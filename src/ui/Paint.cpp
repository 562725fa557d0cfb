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

// Open entries, Add Item, boxes: the style's gradient and open-text colour.
Look OpenLook(const PluginInstance& p) {
    if (p.highContrast) return {GetSysColor(COLOR_WINDOW), 0, GetSysColor(COLOR_WINDOWTEXT), true};
    return {p.colour, p.colourTo, p.textColour, false};
}

// Ticked entries: the gradient reversed and the subdued text colour.
Look DoneLook(const PluginInstance& p) {
    if (p.highContrast) return {GetSysColor(COLOR_WINDOW), 0, GetSysColor(COLOR_GRAYTEXT), true};
    return {p.colourTo, p.colour, p.doneTextColour, false};
}

const COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255);

// The pixels painted so far into a DC: read straight from the memory of a
// 32-bit top-down DIB section (every paint of zelk's draws into one), else
// one at a time.
class PaintedPixels {
  public:
    explicit PaintedPixels(HDC dc) : dc_(dc) {
        DIBSECTION d;
        const HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
        if (!bitmap || GetObjectW(bitmap, sizeof d, &d) != sizeof d || d.dsBm.bmBitsPixel != 32 ||
            !d.dsBm.bmBits || d.dsBmih.biHeight >= 0)
            return;
        GdiFlush(); // drawing may still be batched
        bits_ = static_cast<const BYTE*>(d.dsBm.bmBits);
        width_ = d.dsBm.bmWidth, height_ = d.dsBm.bmHeight, stride_ = d.dsBm.bmWidthBytes;
        LPtoDP(dc, &origin_, 1);
    }
    COLORREF at(int x, int y) const {
        x += origin_.x, y += origin_.y;
        if (!bits_) return GetPixel(dc_, x, y);
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        const BYTE* pixel = bits_ + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 4;
        return RGB(pixel[2], pixel[1], pixel[0]);
    }

  private:
    HDC dc_;
    const BYTE* bits_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
    POINT origin_ = {0, 0};
};

// What text or a mark is drawn in: its own colour where that stands out
// enough against every pixel under it, else black or white, whichever's
// worst case is better; where even that falls short (a gradient from black
// to white across the text), a halo of the other one around it.
struct Ink {
    COLORREF colour;
    bool halo;
    COLORREF haloColour;
};

Ink InkOn(const PaintedPixels& pixels, RECT box, COLORREF wanted, double least) {
    double own = 21, dark = 2, light = 0; // luminances + 0.05, darkest and lightest
    COLORREF last = CLR_INVALID;
    const double ownLevel = Luminance(wanted) + 0.05;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const COLORREF c = pixels.at(x, y);
            if (c == last || c == CLR_INVALID) continue; // a gradient repeats itself
            last = c;
            const double level = Luminance(c) + 0.05;
            const double contrast = level > ownLevel ? level / ownLevel : ownLevel / level;
            if (contrast < own) own = contrast;
            if (level < dark) dark = level;
            if (level > light) light = level;
        }
    if (own >= least || light == 0) return {wanted, false, 0};
    const double onBlack = dark / 0.05, onWhite = 1.05 / light; // worst cases
    const bool black = onBlack >= onWhite;
    return {black ? Black : White, (black ? onBlack : onWhite) < least, black ? White : Black};
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
    const Frame f =
        PaintedFrame(rect.right - rect.left, rect.bottom - rect.top, p->bevelWidth, p->borderWidth);
    Host.MakeGradient(dc, rect, s.gradientType, look.from, look.to, s.flag != 0, s.valueA, s.valueB,
                      f.bevel, p->borderColour, f.border);
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

// Where DrawText puts a line of text centred on `caption`: from the top of
// its letters (below the font's internal leading) to the bottom of its
// descenders, at most the caption wide, within the surface; empty for none.
RECT TextBox(HDC dc, RECT caption, RECT surface, const wchar_t* text, int length) {
    TEXTMETRICW metrics = {};
    SIZE size = {};
    GetTextMetricsW(dc, &metrics);
    GetTextExtentPoint32W(dc, text, length, &size);
    const int width = caption.right - caption.left;
    const int wide = size.cx < width ? size.cx : width;
    const int top = caption.top + (caption.bottom - caption.top - metrics.tmHeight) / 2;
    RECT box = {caption.left + (width - wide) / 2, top + metrics.tmInternalLeading, 0,
                top + metrics.tmHeight};
    box.right = box.left + wide;
    if (!length || !IntersectRect(&box, &box, &surface)) box = RECT{};
    return box;
}

// A gradient with one line of text centred on it: the font is made and
// selected before the gradient, the text drawn after it, in an ink chosen
// on the pixels the gradient left under it. The text is shown as written
// ("&" is no mnemonic prefix), and a text too long for its place ends in an
// ellipsis rather than being cut at both sides. Its rectangle only places
// it: a frame wider than the row leaves so little room that clipping to it
// would cut the letters, so they are drawn whole over it. Gives the text's
// box. High contrast's colours are the user's choice and drawn as they are.
RECT DrawCaptioned(HDC dc, RECT rect, const Look& look, bool strikeOut, const char* text) {
    RECT box = {};
    const PluginInstance* p = ThePlugin;
    if (!p) return box;
    ScopedGdiObject<HFONT> font(CreateCaptionFont(*p, strikeOut));
    ScopedSelect selectFont(dc, font.get());
    DrawGradient(dc, rect, look);
    if (!text) return box;
    RECT caption = CaptionRect(*p, rect);
    wchar_t wide[TextUnits];
    WidenText(text, wide, TextUnits);
    const int length = lstrlenW(wide);
    box = TextBox(dc, caption, rect, wide, length);
    Ink ink = {look.text, false, 0};
    if (!look.system) ink = InkOn(PaintedPixels(dc), box, look.text, 2.0);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink.haloColour);
    for (int at = 0; ink.halo && at < 9; ++at) { // one pixel all round
        RECT place = caption;
        OffsetRect(&place, at % 3 - 1, at / 3 - 1);
        if (at != 4) DrawTextW(dc, wide, length, &place, CaptionFormat | DT_NOCLIP);
    }
    SetTextColor(dc, ink.colour);
    DrawTextW(dc, wide, length, &caption, CaptionFormat | DT_NOCLIP);
    return box;
}

// A pixel of a mark in `colour` where that reaches 3:1 against the pixel
// under it, else in black or white, whichever stands out more there.
void MarkPixel(HDC dc, const PaintedPixels& pixels, int x, int y, COLORREF colour) {
    const COLORREF under = pixels.at(x, y);
    if (Contrast(colour, under) < 3.0)
        colour = Contrast(Black, under) >= Contrast(White, under) ? Black : White;
    SetPixelV(dc, x, y, colour);
}

// The keyboard's focus: every other pixel along a rectangle just inside the
// frame the shell painted, moved out past the text wherever its letters
// reach further, so that it never crosses them.
void DrawFocusMark(HDC dc, RECT surface, RECT text, COLORREF colour) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const Frame f = PaintedFrame(surface.right - surface.left, surface.bottom - surface.top,
                                 p->bevelWidth, p->borderWidth);
    RECT r = surface;
    InflateRect(&r, -(f.bevel + f.border), -(f.bevel + f.border));
    if (text.right > text.left && text.bottom > text.top) {
        if (text.left <= r.left) r.left = text.left - 1;
        if (text.top <= r.top) r.top = text.top - 1;
        if (text.right >= r.right) r.right = text.right + 1;
        if (text.bottom >= r.bottom) r.bottom = text.bottom + 1;
    }
    if (!IntersectRect(&r, &r, &surface)) return;
    const PaintedPixels pixels(dc);
    for (int x = r.left; x < r.right; x += 2) {
        MarkPixel(dc, pixels, x, r.top, colour);
        MarkPixel(dc, pixels, x, r.bottom - 1, colour);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        MarkPixel(dc, pixels, r.left, y, colour);
        MarkPixel(dc, pixels, r.right - 1, y, colour);
    }
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
    RECT shown;
    // Moving a row uncovers part of the main window that the rows cover
    // again at once: nothing of it shows, and nothing is drawn.
    if (!paint.dc() || GetClipBox(paint.dc(), &shown) == NULLREGION) return;
    // A 32-bit DIB section, whose painted pixels the text's ink is chosen on.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = rect.right;
    info.bmiHeader.biHeight = -rect.bottom; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedGdiObject<HBITMAP> bitmap(
        CreateDIBSection(paint.dc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
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
void DrawItemLabel(HDC dc, RECT rect, const ListItem* entry, bool focused) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const bool open = entry && entry->done == 0;
    const Look look = open ? OpenLook(*p) : DoneLook(*p);
    const RECT text = DrawCaptioned(dc, rect, look, !open, entry ? entry->text : nullptr);
    if (focused) DrawFocusMark(dc, rect, text, look.text);
}

// A full list shows its button the way ticked entries look, but not struck
// out: the button does nothing more. Under high contrast it is a button in
// the system's button colours, raised.
void DrawAddButton(HDC dc, RECT rect, bool focused) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const bool full = ItemCount >= MaxItems;
    Look look = full ? DoneLook(*p) : OpenLook(*p);
    if (p->highContrast) {
        look.from = GetSysColor(COLOR_BTNFACE);
        look.text = GetSysColor(full ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    }
    const RECT text = DrawCaptioned(dc, rect, look, false, "Add Item");
    if (p->highContrast) DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
    if (focused) DrawFocusMark(dc, rect, text, look.text);
}

// The box keeps its own look (the style's gradient, bevel and border) inside
// a frame of the open-text colour, which every style keeps readable against
// the window; a ticked entry's box shows a tick in the same colour.
void DrawDoneBox(HDC dc, RECT rect, const ListItem* entry) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    const Look look = OpenLook(*p);
    DrawGradient(dc, rect, look);
    RECT inside = rect;
    InflateRect(&inside, -1, -1);
    const COLORREF ink =
        look.system ? look.text : InkOn(PaintedPixels(dc), inside, look.text, 2.0).colour;
    ScopedGdiObject<HBRUSH> frame(CreateSolidBrush(ink));
    if (frame.get()) FrameRect(dc, &rect, frame.get());
    if (entry && entry->done) DrawTick(dc, rect, p->dpi, ink);
}

void DrawInsertionMark(HDC dc, RECT rect, bool atTop) {
    const PluginInstance* p = ThePlugin;
    if (!p) return;
    if (atTop) {
        rect.bottom = rect.top + Scale(2, p->dpi);
    } else {
        rect.top = rect.bottom - Scale(2, p->dpi);
    }
    const PaintedPixels pixels(dc);
    const COLORREF colour = OpenLook(*p).text;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            MarkPixel(dc, pixels, x, y, colour);
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
            DrawItemLabel(dc, rect, entry, label->focused);
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
            DrawAddButton(dc, rect, *static_cast<const bool*>(focused));
        },
        &focused);
}
