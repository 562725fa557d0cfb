// What the plug-in's windows show, read back from real windows.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CorvaneHost.h"
#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"

using namespace test;

namespace {

// A flat solid style makes every background pixel exact.
const char FlatStyle[] = "toolbar: Flat Solid\ntoolbar.color: #204080\ntoolbar.colorTo: #80c0ff\n"
                         "bevelWidth: 0\nborderWidth: 0\ntoolbar.textColor: #ffff00\n"
                         "window.label.unfocus.textColor: #ff0000\ntoolbar.font: Tahoma\n";
const COLORREF Colour = RGB(0x20, 0x40, 0x80), ColourTo = RGB(0x80, 0xc0, 0xff);
const COLORREF Text = RGB(0xff, 0xff, 0), DoneText = RGB(0xff, 0, 0);

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
               std::abs(GetBValue(a) - GetBValue(b)) <
           90;
}

// Every pixel of a window's client area.
struct Shot {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[y * width + x]; }
    int Count(COLORREF c) const {
        int n = 0;
        for (COLORREF p : pixels)
            n += Near(p, c);
        return n;
    }
    int CountExactlyNot(COLORREF c) const {
        int n = 0;
        for (COLORREF p : pixels)
            n += p != c;
        return n;
    }
    // Longest horizontal run of pixels near the colour.
    int LongestRun(COLORREF c) const {
        int best = 0;
        for (int y = 0; y < height; ++y) {
            int run = 0;
            for (int x = 0; x < width; ++x) {
                run = Near(at(x, y), c) ? run + 1 : 0;
                best = std::max(best, run);
            }
        }
        return best;
    }
    bool AnyInColumns(int from, int to, COLORREF c) const {
        for (int y = 0; y < height; ++y)
            for (int x = from; x <= to; ++x)
                if (Near(at(x, y), c)) return true;
        return false;
    }
};

Shot Capture(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    Shot s;
    RECT r;
    GetClientRect(window, &r);
    s.width = r.right;
    s.height = r.bottom;
    HDC dc = GetDC(window);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return s;
}

class PaintTest : public testing::Test {
  protected:
    void SetUp() override { UseStyleText(FlatStyle); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
    }
};

} // namespace

TEST_F(PaintTest, LabelsShowTheirStateAndText) {
    ASSERT_TRUE(
        Start(SettingsText({{"IIII", 0}, {"IIII", 1}, {"emptied", 0}, {std::string(40, 'W'), 0}})));
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

    Shot wide = Capture(Entry(3)->label);
    EXPECT_TRUE(wide.AnyInColumns(0, 5, Text)) << "clipped at the left";
    EXPECT_TRUE(wide.AnyInColumns(wide.width - 6, wide.width - 1, Text)) << "and at the right";
    int top = wide.height, bottom = 0;
    for (int y = 0; y < wide.height; ++y)
        for (int x = 0; x < wide.width; ++x)
            if (Near(wide.at(x, y), Text)) top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_GT(top, 0) << "one vertically centred line";
    EXPECT_LT(bottom, wide.height - 1);

    // The box looks the same either way; only the label tells.
    EXPECT_EQ(Capture(Entry(0)->doneBox).CountExactlyNot(Colour), 0);
    EXPECT_EQ(Capture(Entry(1)->doneBox).CountExactlyNot(Colour), 0);

    // Ticking and unticking repaint the label.
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Capture(Entry(0)->label).at(0, 0), ColourTo);
    SendMessageA(Entry(0)->doneBox, WM_MBUTTONUP, 0, 0);
    EXPECT_EQ(Capture(Entry(0)->label).at(0, 0), Colour);
}

TEST_F(PaintTest, BackgroundAndAddButton) {
    ASSERT_TRUE(Start(SettingsText({})));
    Shot main = Capture(ThePlugin->mainWindow);
    EXPECT_EQ(main.at(1, 1), Colour);
    EXPECT_EQ(main.at(main.width - 1, main.height - 1), Colour);
    Shot button = Capture(ThePlugin->addButton);
    EXPECT_EQ(button.at(0, 0), Colour);
    EXPECT_GT(button.Count(Text), 15) << "\"Add Item\" drawn";
    EXPECT_TRUE(button.AnyInColumns(button.width / 2 - 20, button.width / 2 + 20, Text));
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
