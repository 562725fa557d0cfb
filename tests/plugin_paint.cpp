// What the plug-in's windows show, read back from real windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "CorvaneHost.h"
#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/FocusState.h"
#include "ui/Layout.h"
#include "ui/Paint.h"

using namespace test;

namespace {

// A flat solid style makes every background pixel exact.
const char FlatStyle[] = "toolbar: Flat Solid\ntoolbar.color: #204080\ntoolbar.colorTo: #80c0ff\n"
                         "bevelWidth: 0\nborderWidth: 0\ntoolbar.textColor: #ffff00\n"
                         "window.label.unfocus.textColor: #ff0000\ntoolbar.font: Tahoma\n";
const COLORREF Colour = RGB(0x20, 0x40, 0x80), ColourTo = RGB(0x80, 0xc0, 0xff);
const COLORREF Text = RGB(0xff, 0xff, 0), DoneText = RGB(0xff, 0, 0);

class PaintTest : public testing::Test {
  protected:
    void SetUp() override { UseStyleText(FlatStyle); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
    }
};

// Calls f(x, y, now, before) for each pixel that differs between two shots.
template <typename F> void EachChanged(const Shot& now, const Shot& before, F f) {
    for (int at = 0; at < now.width * now.height; ++at)
        if (now.pixels[at] != before.pixels[at])
            f(LONG(at % now.width), LONG(at / now.width), now.pixels[at], before.pixels[at]);
}

// The colour most changed pixels have now (the rest are smoothed edges),
// and the box around all of them.
std::pair<COLORREF, RECT> Drawn(const Shot& with, const Shot& without) {
    std::map<COLORREF, int> colours = {{CLR_INVALID, 0}};
    RECT box = {with.width, with.height, 0, 0};
    EachChanged(with, without, [&](LONG x, LONG y, COLORREF c, COLORREF) {
        ++colours[c];
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
               std::max(box.bottom, y + 1)};
    });
    return {std::max_element(colours.begin(), colours.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })
                ->first,
            box};
}

// Add Item as painted, and the open gradient alone as the shell paints it
// on a surface that size, with the frame zelk has it paint.
LabelShots CaptureAddItem() {
    const PluginInstance& p = *ThePlugin;
    LabelShots shots = {Capture(p.addButton), Capture(p.addButton)};
    const int w = shots.withText.width, h = shots.withText.height;
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, w, h));
    const Frame f = PaintedFrame(w, h, p.bevelWidth, p.borderWidth);
    const StyleRecord& r = *p.styleRecord;
    MakeGradient(dc, {0, 0, w, h}, r.gradientType, p.colour, p.colourTo, r.flag != 0, r.valueA,
                 r.valueB, f.bevel, p.borderColour, f.border);
    for (int at = 0; at < w * h; ++at)
        shots.withoutText.pixels[at] = GetPixel(dc, at % w, at / w);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return shots;
}

// The keyboard's focus mark on `window` (the focus on `item`, null for Add
// Item), against the same window without it: each pixel it changed stands
// out 3:1 from the pixel it covered, and none lies in the box `letters`.
void ExpectFocusMark(HWND window, ListItem* item, RECT letters, const std::string& what) {
    const Shot without = Capture(window);
    SetFocusedEntry(item);
    SetFocus(ThePlugin->mainWindow);
    const Shot with = Capture(window);
    SetFocus(nullptr);
    int dots = 0;
    EachChanged(with, without, [&](LONG x, LONG y, COLORREF now, COLORREF before) {
        ++dots;
        EXPECT_GE(Contrast(now, before), 3.0) << what;
        EXPECT_FALSE(PtInRect(&letters, {x, y}))
            << what << ": across the text at " << x << "," << y;
    });
    EXPECT_GE(dots, with.width / 2) << what;
}

} // namespace

TEST_F(PaintTest, LabelsShowTheirStateAndText) {
    ASSERT_TRUE(Start(SettingsText({{"IIII", 0},
                                    {"IIII", 1},
                                    {"emptied", 0},
                                    {std::string(40, 'W'), 0},
                                    {"R&D", 0},
                                    {"RD", 0}})));
    Entry(2)->text[0] = '\0'; // an empty text exists only in memory
    Shot open = Capture(Entry(0)->label);
    EXPECT_EQ(open.at(0, 0), Colour);
    EXPECT_EQ(open.at(open.width - 1, open.height - 1), Colour);
    EXPECT_GT(open.Count(Text), 8) << "text drawn in the text colour";
    EXPECT_EQ(open.Count(DoneText), 0);
    EXPECT_LT(open.LongestRun(Text), 6) << "not struck out";

    Shot done = Capture(Entry(1)->label);
    EXPECT_EQ(done.at(0, 0), ColourTo) << "gradient reversed";
    EXPECT_GT(done.Count(DoneText), 8) << "text drawn in the done-text colour";
    EXPECT_EQ(done.Count(Text), 0);
    EXPECT_GE(done.LongestRun(DoneText), 12) << "struck out across the letters";

    Shot empty = Capture(Entry(2)->label);
    EXPECT_EQ(empty.CountExactlyNot(Colour), 0) << "an empty text paints only the gradient";

    // A text too long for its label starts at its left and ends in an
    // ellipsis: its last few columns hold only dots, low on the line.
    Shot wide = Capture(Entry(3)->label);
    RECT letters = wide.Extent(Text);
    EXPECT_LE(letters.left, 6) << "starts at the left, less than a letter in";
    EXPECT_GT(letters.top, 0) << "one vertically centred line";
    EXPECT_LT(letters.bottom, wide.height - 1);
    int dotTop = wide.height;
    for (int y = 0; y < wide.height; ++y)
        for (int x = letters.right - 8; x <= letters.right; ++x)
            if (Near(wide.at(x, y), Text)) dotTop = std::min(dotTop, y);
    EXPECT_GE(dotTop, letters.bottom - 2) << "the last columns are an ellipsis, not a W";
    EXPECT_GT(wide.width - 1 - letters.right, 0) << "the ellipsis fits inside the label";

    // "&" is drawn as written, not taken as a mnemonic prefix.
    RECT withAmpersand = Capture(Entry(4)->label).Extent(Text);
    RECT without = Capture(Entry(5)->label).Extent(Text);
    EXPECT_GE((withAmpersand.right - withAmpersand.left) - (without.right - without.left), 5);
    EXPECT_EQ(withAmpersand.bottom, without.bottom) << "nothing underlined";

    // A box shows a frame of the text colour around the style's look; only
    // a ticked entry's box has a tick inside it.
    Shot openBox = Capture(Entry(0)->doneBox), tickedBox = Capture(Entry(1)->doneBox);
    int openInside = 0, tickedInside = 0;
    for (int y = 1; y < 9; ++y)
        for (int x = 1; x < 9; ++x) {
            openInside += openBox.at(x, y) != Colour;
            tickedInside += tickedBox.at(x, y) == Text;
        }
    EXPECT_EQ(openInside, 0);
    EXPECT_GE(tickedInside, 10);
    EXPECT_EQ(openBox.at(0, 0), Text);
    EXPECT_EQ(openBox.at(9, 9), Text);

    // Ticking and unticking repaint the label and the box.
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Capture(Entry(0)->label).at(0, 0), ColourTo);
    EXPECT_GE(Capture(Entry(0)->doneBox).Count(Text), 36 + 10);
    SendMessageA(Entry(0)->doneBox, WM_MBUTTONUP, 0, 0);
    EXPECT_EQ(Capture(Entry(0)->label).at(0, 0), Colour);
    EXPECT_EQ(Capture(Entry(0)->doneBox).Count(Text), 36) << "the frame alone";
}

// Every shipped style keeps its texts readable (WCAG: 4.5:1 for text, 3:1
// for the subdued ticked text) against every pixel the gradient painted in
// the box of its letters, Add Item included; the keyboard's focus mark
// stands out 3:1 from every pixel it covers, ticked or not, off the
// letters; its boxes stand out from the window, and a tick from the box it
// is in.
TEST_F(PaintTest, ShippedStylesAreReadable) {
    for (const char* style : {"default.style", "light.style", "dark.style", "flat.style"}) {
        UseStyle(style);
        ASSERT_TRUE(Start(SettingsText({{"open", 0}, {"ticked", 1}})));
        const PluginInstance& p = *ThePlugin;
        for (int i = 0; i < 3; ++i) {
            const std::string what =
                style + (i < 2 ? ": entry " + std::to_string(i) : ": Add Item");
            const LabelShots shots = i < 2 ? CaptureLabel(i) : CaptureAddItem();
            const auto [text, letters] = Drawn(shots.withText, shots.withoutText);
            double least = 21;
            for (int y = letters.top; y < letters.bottom; ++y)
                for (int x = letters.left; x < letters.right; ++x)
                    least = std::min(least, Contrast(text, shots.withoutText.at(x, y)));
            EXPECT_GE(least, i == 1 ? 3.0 : 4.5) << what;
            ExpectFocusMark(i < 2 ? Entry(i)->label : p.addButton, i < 2 ? Entry(i) : nullptr,
                            letters, what);
        }
        // The box's edge against the window just beside it, on screen.
        for (int i = 0; i < 2; ++i) {
            RECT box;
            GetWindowRect(Entry(i)->doneBox, &box);
            MapWindowPoints(HWND_DESKTOP, p.mainWindow, reinterpret_cast<POINT*>(&box), 2);
            const int y = box.top + 5;
            EXPECT_GE(Contrast(PixelOf(p.mainWindow, box.left, y),
                               PixelOf(p.mainWindow, box.left - 2, y)),
                      3.0)
                << style << ": box " << i;
        }
        Shot open = Capture(Entry(0)->doneBox), ticked = Capture(Entry(1)->doneBox);
        int tickPixels = 0;
        for (int y = 1; y < 9; ++y)
            for (int x = 1; x < 9; ++x)
                tickPixels += Contrast(ticked.at(x, y), open.at(x, y)) >= 3.0;
        EXPECT_GE(tickPixels, 10) << style << ": a readable tick";
        Stop();
    }
}

// Frame widths beyond 0..100 are taken as 1, so the text keeps its place.
TEST_F(PaintTest, BackgroundAndAddButton) {
    for (const char* widths : {"", "bevelWidth: 2147483647\nborderWidth: 0\n",
                               "bevelWidth: -2147483648\nborderWidth: 0\n"}) {
        SCOPED_TRACE(widths);
        UseStyleText(std::string(widths) + FlatStyle);
        ASSERT_TRUE(Start(SettingsText({})));
        Shot main = Capture(ThePlugin->mainWindow);
        EXPECT_EQ(main.at(1, 1), Colour);
        EXPECT_EQ(main.at(main.width - 1, main.height - 1), Colour);
        Shot button = Capture(ThePlugin->addButton);
        EXPECT_EQ(button.at(0, 0), Colour);
        EXPECT_GT(button.Count(Text), 15) << "\"Add Item\" drawn";
        EXPECT_TRUE(button.AnyInColumns(button.width / 2 - 20, button.width / 2 + 20, Text));
        RECT letters = button.Extent(Text);
        EXPECT_LE(std::abs(letters.left - (button.width - 1 - letters.right)), 2) << "centred";
        Stop();
    }

    // A full list shows its button the ticked way.
    UseStyleText(FlatStyle);
    ASSERT_TRUE(Start(SettingsText(std::vector<std::pair<std::string, int>>(50, {"a", 0}))));
    Shot full = Capture(ThePlugin->addButton);
    EXPECT_EQ(full.at(0, 0), ColourTo);
    EXPECT_GT(full.Count(DoneText), 15);
    EXPECT_EQ(full.Count(Text), 0);
    EXPECT_LT(full.LongestRun(DoneText), 6) << "not struck out";
}

// A style's frame moves only the text: its rectangle is the label inset by
// the frame, at least 9 pixels tall and half the label wide; the label stays
// where it was, and its text shows whole (as with a 1/1 frame), a long one
// cut at its end only. The frame is painted (and the text inset) at most 5
// pixels each side, so that at least a third of the 15-pixel row keeps its
// gradient inside the border (a ticked row its reversed one); the focus
// mark runs between the frame and the text, never across the letters.
TEST_F(PaintTest, StyleFramesKeepTheTextWhole) {
    const std::pair<int, int> widths[] = {{1, 1}, {0, 0}, {2, 1},   {2, 2},
                                          {3, 1}, {5, 0}, {10, 10}, {100, 100}};
    RECT reference = {};
    for (const auto& w : widths) {
        SCOPED_TRACE(testing::Message() << w.first << "/" << w.second);
        const int frame = std::min(w.first + w.second, 5), border = std::min(w.second, 5);
        const int height = std::max(15 - 2 * frame, 9), width = std::max(75 - 2 * frame, 37);
        const RECT text = CaptionTextRect(75, 15, w.first, w.second, 96);
        const RECT expected = {(75 - width) / 2, (15 - height) / 2, (75 + width) / 2,
                               (15 + height) / 2};
        EXPECT_TRUE(EqualRect(&text, &expected));
        UseStyleText("bevelWidth: " + std::to_string(w.first) + "\nborderWidth: " +
                     std::to_string(w.second) + "\nborderColor: #000000\n" + FlatStyle);
        ASSERT_TRUE(Start(SettingsText({{"Opy", 0}, {std::string(40, 'W'), 0}, {"Opy", 1}})));
        RECT r;
        GetWindowRect(Entry(0)->label, &r);
        MapWindowPoints(HWND_DESKTOP, ThePlugin->mainWindow, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(r.left == 20 && r.top == 8 && r.bottom == 23) << "the geometry stays";
        const LabelShots open = CaptureLabel(0);
        const RECT shown = open.withText.Extent(Text);
        const RECT cut = Capture(Entry(1)->label).Extent(Text);
        if (&w == widths) reference = shown;
        EXPECT_TRUE(EqualRect(&shown, &reference)) << "the whole text, as with 1/1";
        EXPECT_TRUE(cut.left >= text.left - 1 && cut.right <= text.right) << "cut at its end";
        const Shot ticked = CaptureLabel(2).withoutText;
        for (int y = 0; y < 15; ++y) { // a flat style: no bevel shows, only the border
            const bool edge = y < border || y >= 15 - border;
            EXPECT_EQ(open.withoutText.at(37, y), edge ? 0 : Colour) << y;
            EXPECT_EQ(ticked.at(37, y), edge ? 0 : ColourTo) << y;
        }
        ExpectFocusMark(Entry(0)->label, Entry(0), Drawn(open.withText, open.withoutText).second,
                        "focus");
        Stop();
    }
}

// A text colour under 2:1 against a pixel the gradient painted in the box
// of its letters (an unparsable one reads as the shell's default) is drawn
// black or white, whichever has the better worst case there; where that is
// under 2:1 too, with a one-pixel halo of the other. Ticked text and Add
// Item alike.
TEST_F(PaintTest, UnreadableTextColoursTurnBlackOrWhite) {
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), none = CLR_INVALID;
    struct Case {
        const char *gradient, *from, *to, *text, *label;
        int done; // the entry's tick; -1: Add Item is looked at
        COLORREF drawn, halo;
    } cases[] = {
        {"Vertical", "#ffffff", "#d0d0d0", "#GGGGGG", "IIII", 0, black, none},
        {"Vertical", "#000000", "#404040", "#202020", "IIII", 0, white, none},
        {"Vertical", "#ffffff", "#c0c0c0", "#e0e0e0", "IIII", 0, black, none},
        {"Vertical", "#000000", "#202060", "#ffff00", "IIII", 0, RGB(255, 255, 0), none},
        // Readable against both ends, lost in the middle.
        {"Vertical", "#000000", "#ffffff", "#7f7f7f", "IIII", 0, black, none},
        {"Horizontal", "#000000", "#ffffff", "#000000", "IIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIIII", 0,
         black, white},
        {"Vertical", "#000000", "#303030", "#202020", "IIII", 1, white, none},
        {"Vertical", "#000000", "#303030", "#202020", "IIII", -1, white, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gradient << c.from << c.to << c.text << c.done);
        UseStyleText(std::string("bevelWidth: 0\nborderWidth: 0\ntoolbar: Gradient ") + c.gradient +
                     "\ntoolbar.color: " + c.from + "\ntoolbar.colorTo: " + c.to +
                     "\ntoolbar.textColor: " + c.text +
                     "\nwindow.label.unfocus.textColor: " + c.text);
        ASSERT_TRUE(Start(SettingsText({{c.label, c.done > 0}})));
        const LabelShots shots = c.done < 0 ? CaptureAddItem() : CaptureLabel(0);
        auto drawn = [&](COLORREF colour) {
            int n = 0;
            EachChanged(shots.withText, shots.withoutText,
                        [&](LONG, LONG, COLORREF c, COLORREF) { n += c == colour; });
            return n;
        };
        EXPECT_GT(drawn(c.drawn), 8);
        const int halo = drawn(c.halo != none ? c.halo : c.drawn == black ? white : black);
        EXPECT_TRUE(c.halo != none ? halo > 8 : halo == 0) << "a halo just where it is due";
        Stop();
    }
}

// The pure layout at each DPI: every length scaled on its own
// (MulDiv(length, dpi, 96)), positions the sums; 96 is today's layout.
// Taller than allowed, a scroll bar takes the right edge.
TEST(Layout, ScalesWithTheDpi) {
    struct Case {
        int dpi, pitch, labelTop, boxLeft, boxTop, box, labelLeft, labelWidth, buttonTop,
            buttonWidth, width, height;
    } cases[] = {{96, 15, 8, 5, 10, 10, 20, 75, 57, 90, 100, 75},
                 {120, 19, 10, 6, 13, 13, 25, 94, 72, 112, 125, 95},
                 {144, 23, 12, 8, 15, 15, 30, 112, 87, 135, 150, 114},
                 {192, 30, 16, 10, 20, 20, 40, 150, 114, 180, 200, 150}};
    auto at = [](RECT r, int x, int y, int w, int h) {
        return r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h;
    };
    for (const Case& c : cases) {
        LayoutInput in;
        in.rows = 3;
        in.dpi = c.dpi;
        const Layout l = LayOut(in);
        EXPECT_TRUE(l.width == c.width && l.height == c.height && !l.scrollBar) << c.dpi;
        EXPECT_TRUE(at(l.Label(2), c.labelLeft, c.labelTop + 2 * c.pitch, c.labelWidth, c.pitch));
        EXPECT_TRUE(at(l.Box(2), c.boxLeft, c.boxTop + 2 * c.pitch, c.box, c.box)) << c.dpi;
        EXPECT_TRUE(at(l.addButton, c.boxLeft, c.buttonTop, c.buttonWidth, c.pitch)) << c.dpi;
        in.maxHeight = c.height - 1;
        const Layout tall = LayOut(in);
        EXPECT_TRUE(tall.scrollBar && tall.Label(0).right == l.Label(0).right - c.dpi / 12);
    }
}

TEST_F(PaintTest, StyleChangeRepaintsWithTheNewColours) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    UseStyleText("toolbar: Flat Solid\ntoolbar.color: #00ff00\nbevelWidth: 0\nborderWidth: 0\n");
    HostReconfigure();
    PumpMessages();
    EXPECT_EQ(Capture(Entry(0)->label).at(0, 0), RGB(0, 0xff, 0));
}

// Far more paints than any leak could hide: see HighestFreshGdiSlot.
TEST_F(PaintTest, ThousandsOfPaintsLeaveNoGdiObjectBehind) {
    ASSERT_TRUE(Start(SettingsText({{"IIII", 1}, {"IIII", 0}})));
    HWND windows[] = {Entry(0)->label, Entry(1)->label, Entry(0)->doneBox, ThePlugin->addButton,
                      ThePlugin->mainWindow};
    for (HWND w : windows)
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int before = HighestFreshGdiSlot();
    for (int i = 0; i < 3000; ++i) {
        RedrawWindow(windows[i % 5], nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    EXPECT_LT(HighestFreshGdiSlot() - before, 50);

    // A leaking probe is caught by the same measure.
    const int start = HighestFreshGdiSlot();
    std::vector<HFONT> leaked;
    for (int i = 0; i < 500; ++i)
        leaked.push_back(CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"));
    EXPECT_GE(HighestFreshGdiSlot() - start, 400);
    for (HFONT f : leaked)
        DeleteObject(f);

    Shot after = Capture(Entry(0)->label);
    EXPECT_EQ(after.at(0, 0), ColourTo);
    EXPECT_GT(after.Count(DoneText), 8);
}

// Loading and unloading many times in one shell process leaves nothing behind.
TEST_F(PaintTest, RepeatedLoadsLeaveNoGdiObjectBehind) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    Stop();
    const int before = HighestFreshGdiSlot();
    for (int i = 0; i < 120; ++i) {
        ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
        Stop();
    }
    EXPECT_LT(HighestFreshGdiSlot() - before, 50);
}

namespace {

// Leaves the value in every pointer-sized slot of the stack below the
// caller, where the next call's uninitialised locals will lie.
__attribute__((noinline)) void PlantOnStack(HDC value) {
    volatile HDC slots[1024];
    for (volatile HDC& slot : slots)
        slot = value;
}

} // namespace

// A paint that cannot begin (the window is gone) must not end one: its
// PAINTSTRUCT then holds whatever the stack held, here a DC still in use.
TEST_F(PaintTest, APaintThatCannotBeginEndsNothing) {
    ASSERT_TRUE(Start(SettingsText({})));
    HWND gone = CreateWindowExA(0, "STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    DestroyWindow(gone);
    HDC held = GetDC(ThePlugin->mainWindow);
    ASSERT_NE(GetPixel(held, 1, 1), CLR_INVALID);
    PlantOnStack(held);
    PaintBackground(gone);
    EXPECT_NE(GetPixel(held, 1, 1), CLR_INVALID) << "the held DC was released by a stray EndPaint";
    ReleaseDC(ThePlugin->mainWindow, held);
}
