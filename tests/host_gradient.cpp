// MakeGradient, checked pixel by pixel in a 32-bit memory bitmap.
#include <gtest/gtest.h>

#include <cstdint>

#include "host_support.h"

namespace {

const COLORREF sentinel = RGB(1, 2, 3), from = RGB(10, 200, 40), to = RGB(250, 20, 140);

// A w x h bitmap in a memory DC, filled with the sentinel colour.
struct Canvas {
    Canvas(int w, int h) : w(w) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap =
            CreateDIBSection(NULL, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), NULL, 0);
        dc = CreateCompatibleDC(NULL);
        old = SelectObject(dc, bitmap);
        std::fill(bits, bits + w * h, 0x010203u);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        uint32_t p = bits[y * w + x];
        return RGB(p >> 16 & 255, p >> 8 & 255, p & 255);
    }
    void paint(RECT r, int type, bool flag = false, int valueA = 0, int valueB = 1, int bevel = 0,
               COLORREF border = 0, int borderWidth = 0) {
        MakeGradient(dc, r, type, from, to, flag, valueA, valueB, bevel, border, borderWidth);
    }
    int w;
    uint32_t* bits;
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ old;
};

// The documented colour of step num of den: from + (to - from) * num / den per channel.
COLORREF mixed(int num, int den) {
    auto c = [&](int f, int t) { return f + (t - f) * num / den; };
    return RGB(c(GetRValue(from), GetRValue(to)), c(GetGValue(from), GetGValue(to)),
               c(GetBValue(from), GetBValue(to)));
}

TEST(HostGradient, LinearGradientsRunFromFirstToLastPixel) {
    const RECT r = {4, 3, 36, 23}; // 32 x 20
    struct Case {
        int type;
        struct {
            int x, y; // inside the item
            COLORREF expected;
        } probes[4];
    } const cases[] = {
        {2, {{5, 0, from}, {5, 19, to}, {30, 7, mixed(7, 19)}, {0, 12, mixed(12, 19)}}},
        {1, {{0, 5, from}, {31, 5, to}, {9, 0, mixed(9, 31)}, {20, 19, mixed(20, 31)}}},
        {3, {{0, 0, from}, {31, 19, to}, {31, 0, mixed(1, 2)}, {0, 19, mixed(1, 2)}}},
        {4, {{0, 19, from}, {31, 0, to}, {0, 0, mixed(1, 2)}, {31, 19, mixed(1, 2)}}},
        {0, {{0, 0, from}, {31, 19, from}, {17, 9, from}, {31, 0, from}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(40, 26);
        canvas.paint(r, c.type);
        for (const auto& p : c.probes)
            EXPECT_EQ(canvas.at(r.left + p.x, r.top + p.y), p.expected)
                << "type " << c.type << " at " << p.x << "," << p.y;
        for (POINT out : {POINT{3, 3}, POINT{36, 22}, POINT{4, 2}, POINT{35, 23}})
            EXPECT_EQ(canvas.at(out.x, out.y), sentinel) << "type " << c.type;
    }
}

TEST(HostGradient, CentredShapesHaveToInTheMiddle) {
    const RECT r = {2, 2, 33, 23}; // 31 x 21: the centre is a pixel
    for (int type : {5, 6, 7, 8, -3, 1000}) {
        Canvas canvas(36, 26);
        canvas.paint(r, type);
        bool known = type >= 5 && type <= 8; // unknown types must still stay inside the item
        if (known) {
            EXPECT_EQ(canvas.at(17, 12), to) << "type " << type;
            EXPECT_EQ(canvas.at(2, 2), from) << "type " << type;
        }
        EXPECT_NE(canvas.at(32, 22), sentinel) << "type " << type;
        EXPECT_EQ(canvas.at(33, 23), sentinel) << "type " << type;
    }
}

TEST(HostGradient, ClippedAndDegenerateItems) {
    // Far larger than the bitmap: the visible part has its colours in the whole item.
    Canvas big(64, 40);
    big.paint(RECT{-1000, -500, 1064, 540}, 2);
    EXPECT_EQ(big.at(0, 0), mixed(500, 1039));
    EXPECT_EQ(big.at(63, 39), mixed(539, 1039));

    Canvas canvas(8, 8);
    canvas.paint(RECT{5, 5, 3, 7}, 2); // right < left
    canvas.paint(RECT{2, 2, 6, 2}, 2); // no height
    EXPECT_EQ(canvas.at(4, 2), sentinel);
    EXPECT_EQ(canvas.at(4, 5), sentinel);
    canvas.paint(RECT{3, 0, 4, 8}, 3); // one column: a diagonal runs top to bottom
    EXPECT_EQ(canvas.at(3, 0), from);
    EXPECT_EQ(canvas.at(3, 7), to);
    MakeGradient(NULL, RECT{0, 0, 4, 4}, 2, from, to, false, 0, 1, 0, 0, 0);
}

TEST(HostGradient, BevelBorderAndInterlace) {
    const COLORREF border = RGB(7, 9, 11);
    // Each probe's pixel, compared with the plain fill: Same, Lighter, Darker or Border.
    auto kind = [&](COLORREF c) {
        int dr = GetRValue(c) - GetRValue(from), dg = GetGValue(c) - GetGValue(from),
            db = GetBValue(c) - GetBValue(from);
        if (c == border) return 'B';
        if (c == from) return 'S';
        if (dr >= 0 && dg >= 0 && db >= 0) return 'L';
        if (dr <= 0 && dg <= 0 && db <= 0) return 'D';
        return '?';
    };
    const POINT probes[] = {{0, 0}, {1, 1}, {2, 2}, {19, 11}, {18, 10}, {0, 6}};
    struct Case {
        int valueA, valueB, bevelWidth, borderWidth;
        bool interlaced;
        const char* expected;
    } const cases[] = {
        {1, 1, 1, 0, false, "LSSDSL"}, // raised
        {2, 1, 1, 0, false, "DSSLSD"}, // sunken
        {1, 2, 1, 0, false, "SLSSDS"}, // raised bevel2: one pixel in
        {1, 1, 2, 0, false, "LLSDDL"}, // two pixels wide
        {0, 1, 3, 0, false, "SSSSSS"}, // flat: no bevel
        {0, 1, 0, 2, false, "BBSBBB"}, // border two pixels wide
        {1, 1, 1, 1, false, "BLSBDB"}, // the bevel sits inside the border
        {0, 1, 0, 0, true, "SDSDSS"},  // interlaced: odd rows darker
    };
    for (const Case& c : cases) {
        Canvas canvas(20, 12);
        MakeGradient(canvas.dc, RECT{0, 0, 20, 12}, 0, from, to, c.interlaced, c.valueA, c.valueB,
                     c.bevelWidth, border, c.borderWidth);
        std::string got;
        for (POINT p : probes)
            got += kind(canvas.at(p.x, p.y));
        EXPECT_EQ(got, c.expected) << "bevel " << c.valueA << "/" << c.valueB << " width "
                                   << c.bevelWidth << " border " << c.borderWidth;
    }
}

} // namespace
