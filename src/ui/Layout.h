// Where everything in zelk's window goes, worked out from numbers alone: no
// window is asked, so every DPI and every style frame can be checked on its
// own. Lengths are kept in 96-DPI units and each is scaled on its own with
// MulDiv, so a position is a sum of scaled lengths and each DPI gives exactly
// one layout; at 96 DPI it is the layout zelk has always had.
#pragma once

#include <windows.h>

struct LayoutInput {
    int rows = 0;
    int width = 100; // the window's width in 96-DPI units, as zelk.rc keeps it
    int dpi = 96;
    int fontHeight = 12; // in 96-DPI units
    // The style's frame, in pixels: the shell paints it unscaled.
    int bevelWidth = 1, borderWidth = 1;
    int scroll = 0;    // how far the rows are scrolled up, in pixels
    int maxHeight = 0; // the tallest the window may be, in pixels; 0 for no limit
};

struct Layout {
    int dpi;
    int width, height;  // the window's, in pixels
    int contentHeight;  // the rows and Add Item, as tall as they would be unscrolled
    int scroll;         // the input's, kept within 0 and contentHeight - height
    int fontHeight;     // in pixels
    int rowPitch;       // a row's height, in pixels
    bool scrollBar;     // the rows do not fit: a scroll bar shows
    RECT scrollBarRect; // at the right edge, the window's height
    RECT addButton;
    int boxLeft, boxSize, firstBoxTop;
    int labelLeft, labelWidth, firstLabelTop;
    // Row `row` (from 0) as it sits in the window, scrolled.
    RECT Box(int row) const;
    RECT Label(int row) const;
};

int Scale(int length, int dpi);
Layout LayOut(const LayoutInput& in);
// The style's frame as zelk has the shell paint it on a surface of the
// given size: the border first, then the bevel, cut so that at least a
// third of the surface's smaller side keeps its gradient inside. A frame
// wider than a row would otherwise fill it whole. The style is unchanged.
struct Frame {
    int bevel, border;
};
Frame PaintedFrame(int width, int height, int bevelWidth, int borderWidth);
// Where a caption's text goes inside a label or button of the given size:
// inset by the painted frame, yet never less than 9 pixels tall at 96 DPI
// nor narrower than half the caption, so a wide frame overlaps the text
// rather than hide it.
RECT CaptionTextRect(int width, int height, int bevelWidth, int borderWidth, int dpi);
