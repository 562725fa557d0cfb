// MakeGradient, checked pixel by pixel in a 32-bit memory bitmap.
#include <gtest/gtest.h>

#include <cstdint>

#include "host_support.h"

namespace {

const COLORREF sentinel = RGB(1, 2, 3);

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(NULL);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < w * h; ++i)
            bits_[i] = uint32_t(GetRValue(sentinel)) << 16 | GetGValue(sentinel) << 8 | GetBValue(sentinel);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const {
        GdiFlush();
        uint32_t p = bits_[y * w_ + x];
        return RGB(p >> 16 & 255, p >> 8 & 255, p & 255);
    }

private:
    int w_, h_;
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_;
    uint32_t* bits_;
};

// The documented colour of step num of den: from + (to - from) * num / den per channel.
COLORREF mixed(COLORREF from, COLORREF to, int num, int den) {
    auto c = [&](int f, int t) { return f + (t - f) * num / den; };
    return RGB(c(GetRValue(from), GetRValue(to)), c(GetGValue(from), GetGValue(to)),
               c(GetBValue(from), GetBValue(to)));
}

int sum(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }
bool lighter(COLORREF a, COLORREF than) {
    return GetRValue(a) >= GetRValue(than) && GetGValue(a) >= GetGValue(than) &&
           GetBValue(a) >= GetBValue(than) && sum(a) > sum(than);
}
bool darker(COLORREF a, COLORREF than) { return lighter(than, a); }

const COLORREF from = RGB(10, 200, 40), to = RGB(250, 20, 140);

void paint(const Canvas& canvas, RECT r, int type, bool interlaced = false, int valueA = 0,
           int valueB = 1, int bevelWidth = 0, COLORREF border = RGB(0, 0, 0), int borderWidth = 0) {
    MakeGradient(canvas.dc(), r, type, from, to, interlaced, valueA, valueB, bevelWidth, border,
                 borderWidth);
}

TEST(HostGradient, LinearGradientsRunFromFirstToLastPixel) {
    // Item at (4,3), 32 x 20 pixels.
    const RECT r = {4, 3, 36, 23};
    struct Probe {
        int x, y; // relative to the item
        COLORREF expected;
    };
    struct Case {
        int type;
        Probe probes[4];
    } const cases[] = {
        {2, {{5, 0, from}, {5, 19, to}, {30, 7, mixed(from, to, 7, 19)}, {0, 12, mixed(from, to, 12, 19)}}},
        {1, {{0, 5, from}, {31, 5, to}, {9, 0, mixed(from, to, 9, 31)}, {20, 19, mixed(from, to, 20, 31)}}},
        {3, {{0, 0, from}, {31, 19, to}, {31, 0, mixed(from, to, 1, 2)}, {0, 19, mixed(from, to, 1, 2)}}},
        {4, {{0, 19, from}, {31, 0, to}, {0, 0, mixed(from, to, 1, 2)}, {31, 19, mixed(from, to, 1, 2)}}},
        {0, {{0, 0, from}, {31, 19, from}, {17, 9, from}, {31, 0, from}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(40, 26);
        paint(canvas, r, c.type);
        for (const Probe& p : c.probes)
            EXPECT_EQ(canvas.at(r.left + p.x, r.top + p.y), p.expected)
                << "type " << c.type << " at " << p.x << "," << p.y;
        // Nothing outside the item.
        EXPECT_EQ(canvas.at(r.left - 1, r.top), sentinel) << "type " << c.type;
        EXPECT_EQ(canvas.at(r.right, r.bottom - 1), sentinel) << "type " << c.type;
        EXPECT_EQ(canvas.at(r.left, r.top - 1), sentinel) << "type " << c.type;
        EXPECT_EQ(canvas.at(r.right - 1, r.bottom), sentinel) << "type " << c.type;
    }
}

TEST(HostGradient, ClippedItemKeepsItsGeometry) {
    // Far larger than the bitmap: only the visible part is drawn, with the
    // colours it has as part of the whole item.
    Canvas canvas(64, 40);
    const RECT r = {-1000, -500, 1064, 540}; // 1040 rows
    paint(canvas, r, 2);
    EXPECT_EQ(canvas.at(0, 0), mixed(from, to, 500, 1039));
    EXPECT_EQ(canvas.at(63, 39), mixed(from, to, 539, 1039));
}

TEST(HostGradient, CentredShapesHaveToInTheMiddle) {
    const RECT r = {2, 2, 33, 23}; // 31 x 21: the centre is a pixel
    for (int type : {5, 6, 7, 8}) {
        Canvas canvas(36, 26);
        paint(canvas, r, type);
        EXPECT_EQ(canvas.at(r.left + 15, r.top + 10), to) << "type " << type;
        EXPECT_EQ(canvas.at(r.left, r.top), from) << "type " << type;
        EXPECT_EQ(canvas.at(r.right - 1, r.bottom - 1), from) << "type " << type;
        EXPECT_EQ(canvas.at(r.left - 1, r.top - 1), sentinel) << "type " << type;
        EXPECT_EQ(canvas.at(r.right, r.bottom), sentinel) << "type " << type;
    }
    for (int type : {-3, 9, 1000}) { // unknown types still paint only the item
        Canvas canvas(36, 26);
        paint(canvas, r, type);
        EXPECT_NE(canvas.at(r.left + 15, r.top + 10), sentinel) << "type " << type;
        EXPECT_EQ(canvas.at(r.right, r.bottom), sentinel) << "type " << type;
    }
}

TEST(HostGradient, DegenerateItems) {
    Canvas canvas(8, 8);
    paint(canvas, RECT{5, 5, 3, 7}, 2); // right < left
    paint(canvas, RECT{2, 2, 6, 2}, 2); // no height
    EXPECT_EQ(canvas.at(4, 2), sentinel);
    EXPECT_EQ(canvas.at(4, 5), sentinel);
    paint(canvas, RECT{1, 1, 2, 2}, 3);
    EXPECT_EQ(canvas.at(1, 1), from);
    paint(canvas, RECT{3, 0, 4, 8}, 3); // one column: top to bottom
    EXPECT_EQ(canvas.at(3, 0), from);
    EXPECT_EQ(canvas.at(3, 7), to);
    MakeGradient(NULL, RECT{0, 0, 4, 4}, 2, from, to, false, 0, 1, 0, 0, 0);
}

TEST(HostGradient, BevelAndBorder) {
    const RECT r = {0, 0, 20, 12};
    const COLORREF fill = from, border = RGB(7, 9, 11);
    enum Expect { Same, Lighter, Darker, Border };
    struct Probe {
        int x, y;
        Expect expect;
    };
    struct Case {
        const char* name;
        int valueA, valueB, bevelWidth, borderWidth;
        Probe probes[4];
    } const cases[] = {
        {"raised", 1, 1, 1, 0, {{0, 0, Lighter}, {19, 11, Darker}, {1, 1, Same}, {0, 6, Lighter}}},
        {"sunken", 2, 1, 1, 0, {{0, 0, Darker}, {19, 11, Lighter}, {1, 1, Same}, {10, 11, Lighter}}},
        {"raised bevel2", 1, 2, 1, 0, {{0, 0, Same}, {1, 1, Lighter}, {18, 10, Darker}, {2, 2, Same}}},
        {"two pixels wide", 1, 1, 2, 0, {{1, 1, Lighter}, {18, 10, Darker}, {2, 2, Same}, {1, 6, Lighter}}},
        {"flat has no bevel", 0, 1, 3, 0, {{0, 0, Same}, {19, 11, Same}, {1, 1, Same}, {2, 2, Same}}},
        {"border", 0, 1, 0, 2, {{0, 0, Border}, {1, 1, Border}, {18, 6, Border}, {2, 2, Same}}},
        {"bevel inside the border", 1, 1, 1, 1, {{0, 0, Border}, {19, 11, Border}, {1, 1, Lighter}, {18, 10, Darker}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(20, 12);
        MakeGradient(canvas.dc(), r, 0, fill, to, false, c.valueA, c.valueB, c.bevelWidth, border,
                     c.borderWidth);
        for (const Probe& p : c.probes) {
            COLORREF got = canvas.at(p.x, p.y);
            switch (p.expect) {
            case Same: EXPECT_EQ(got, fill) << c.name << " at " << p.x << "," << p.y; break;
            case Border: EXPECT_EQ(got, border) << c.name << " at " << p.x << "," << p.y; break;
            case Lighter: EXPECT_TRUE(lighter(got, fill)) << c.name << " at " << p.x << "," << p.y; break;
            case Darker: EXPECT_TRUE(darker(got, fill)) << c.name << " at " << p.x << "," << p.y; break;
            }
        }
    }
}

TEST(HostGradient, InterlacedDarkensEveryOtherRow) {
    Canvas canvas(10, 6);
    paint(canvas, RECT{0, 0, 10, 6}, 0, true);
    EXPECT_EQ(canvas.at(3, 0), from);
    EXPECT_TRUE(darker(canvas.at(3, 1), from));
    EXPECT_EQ(canvas.at(3, 2), from);
    EXPECT_EQ(canvas.at(3, 3), canvas.at(3, 1));
}

} // namespace
