// MakeGradient: paints a style item (fill, bevel, border) the way the shell
// does. The visible part of the item is rendered into a 32-bit pixel buffer
// and copied to the device in one call, so any gradient shape costs the same
// and no GDI object is created.
#include <cmath>
#include <cstdint>
#include <vector>

#include "HostPrivate.h"

namespace {

struct Rgb {
    int r, g, b;
};

Rgb split(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// from + (to - from) * num / den per channel, rounded toward zero like the
// integer arithmetic plug-ins use to predict the colours.
Rgb mix(Rgb from, Rgb to, int64_t num, int64_t den) {
    return {int(from.r + (to.r - from.r) * num / den), int(from.g + (to.g - from.g) * num / den),
            int(from.b + (to.b - from.b) * num / den)};
}

Rgb lighter(Rgb c) {
    return {c.r + (255 - c.r) * 2 / 5, c.g + (255 - c.g) * 2 / 5, c.b + (255 - c.b) * 2 / 5};
}
Rgb darker(Rgb c) {
    return {c.r * 3 / 5, c.g * 3 / 5, c.b * 3 / 5};
}
Rgb interlaceShade(Rgb c) {
    return {c.r * 7 / 8, c.g * 7 / 8, c.b * 7 / 8};
}

uint32_t pixel(Rgb c) {
    return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
}

// Colour of the item's pixel (x, y) of an item w x h (both at least 1).
class Shader {
  public:
    Shader(int type, COLORREF from, COLORREF to, int64_t w, int64_t h)
        : type_(type), from_(split(from)), to_(split(to)), w_(w), h_(h) {}

    Rgb at(int64_t x, int64_t y) const {
        switch (type_) {
        case 0:
            return from_;
        case 1:
            return linear(x, 0);
        case 2:
            return linear(0, y);
        case 3:
            return linear(x, y);
        case 4:
            return linear(x, h_ - 1 - y);
        default:
            return centred(x, y);
        }
    }

  private:
    // Along x, along y, or (both given) along the diagonal from (0,0) to (w-1,h-1).
    Rgb linear(int64_t x, int64_t y) const {
        int64_t wx = w_ - 1, hy = h_ - 1;
        if (type_ == 1 || hy == 0) return wx ? mix(from_, to_, x, wx) : from_;
        if (type_ == 2 || wx == 0) return mix(from_, to_, y, hy);
        return mix(from_, to_, x * hy + y * wx, 2 * wx * hy);
    }

    // Shapes around the centre: `to` in the middle, `from` at the outside.
    Rgb centred(int64_t x, int64_t y) const {
        double rx = (w_ - 1) / 2.0, ry = (h_ - 1) / 2.0;
        double dx = rx > 0 ? std::fabs(x - rx) / rx : 0.0;
        double dy = ry > 0 ? std::fabs(y - ry) / ry : 0.0;
        double t; // 0 in the middle, 1 at the outside
        switch (type_) {
        case 5:
            t = dx < dy ? dx : dy;
            break; // pipecross
        case 6:
            t = std::sqrt((dx * dx + dy * dy) / 2);
            break; // elliptic
        case 7:
            t = dx > dy ? dx : dy;
            break; // rectangle
        default:
            t = (dx + dy) / 2;
            break; // pyramid and unknown types
        }
        if (t > 1) t = 1;
        const int64_t scale = 1 << 16;
        return mix(to_, from_, int64_t(t * scale + 0.5), scale);
    }

    int type_;
    Rgb from_, to_;
    int64_t w_, h_;
};

} // namespace

extern "C" void __cdecl MakeGradient(HDC dc, RECT rect, int type, COLORREF from, COLORREF to,
                                     bool flag, int valueA, int valueB, int bevelWidth,
                                     COLORREF borderColour, int borderWidth) {
    if (!dc) return;
    int64_t w = int64_t(rect.right) - rect.left, h = int64_t(rect.bottom) - rect.top;
    if (w <= 0 || h <= 0) return;
    // Only the visible part is rendered, which also bounds the buffer by the device.
    RECT clip, visible;
    int clipKind = GetClipBox(dc, &clip);
    if (clipKind == ERROR || clipKind == NULLREGION) return;
    if (!IntersectRect(&visible, &rect, &clip)) return;
    int vw = visible.right - visible.left, vh = visible.bottom - visible.top;
    std::vector<uint32_t> pixels(size_t(vw) * size_t(vh));

    Shader shader(type, from, to, w, h);
    Rgb border = split(borderColour);
    int64_t bw = borderWidth > 0 ? borderWidth : 0;
    int64_t levels = (valueA == 1 || valueA == 2) && bevelWidth > 0 ? bevelWidth : 0;
    // The bevel sits just inside the border (one more pixel in for bevel2), so
    // that a bordered, raised item shows both.
    int64_t inset = bw + (valueB == 2 ? 1 : 0);
    bool raised = valueA == 1;

    for (int vy = 0; vy < vh; ++vy) {
        int64_t y = int64_t(visible.top) + vy - rect.top;
        uint32_t* row = pixels.data() + size_t(vy) * size_t(vw);
        for (int vx = 0; vx < vw; ++vx) {
            int64_t x = int64_t(visible.left) + vx - rect.left;
            Rgb c = shader.at(x, y);
            if (flag && (y & 1)) c = interlaceShade(c);
            if (levels) {
                // Distance of the pixel from each edge of the bevel's frame.
                int64_t left = x - inset, top = y - inset;
                int64_t right = w - 1 - inset - x, bottom = h - 1 - inset - y;
                int64_t nearLight = left < top ? left : top;        // top or left line
                int64_t nearDark = right < bottom ? right : bottom; // bottom or right line
                bool inFrame = left >= 0 && top >= 0 && right >= 0 && bottom >= 0;
                // Bottom and right lines are drawn last, so they own the corners they share.
                if (inFrame && nearDark < levels)
                    c = raised ? darker(c) : lighter(c);
                else if (inFrame && nearLight < levels)
                    c = raised ? lighter(c) : darker(c);
            }
            if (x < bw || y < bw || x >= w - bw || y >= h - bw) c = border;
            row[vx] = pixel(c);
        }
    }

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = vw;
    info.bmiHeader.biHeight = -vh; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, visible.left, visible.top, vw, vh, 0, 0, vw, vh, pixels.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}
