#include "ui/Layout.h"

namespace {

RECT Box(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

} // namespace

int Scale(int length, int dpi) {
    return MulDiv(length, dpi, 96);
}

// At 96 DPI and a 12-pixel font: rows 15 pixels apart, labels from y = 8,
// boxes 10 x 10 from y = 10, Add Item 4 pixels below the last row, and 30
// pixels of window beyond the rows.
Layout LayOut(const LayoutInput& in) {
    Layout l = {};
    const int d = in.dpi > 0 ? in.dpi : 96;
    const int fh = in.fontHeight;
    l.dpi = d;
    l.width = Scale(in.width, d);
    l.fontHeight = Scale(fh, d);
    l.rowPitch = Scale(fh + 3, d);
    l.boxLeft = Scale(5, d);
    l.boxSize = Scale(10, d);
    l.firstBoxTop = Scale(10, d);
    l.labelLeft = Scale(20, d);
    l.firstLabelTop = Scale(10 - (fh - 7) / 2, d);
    l.contentHeight = l.rowPitch * in.rows + Scale(fh + 18, d);
    l.height = l.contentHeight;
    l.scrollBar = in.maxHeight > 0 && l.contentHeight > in.maxHeight;
    const int barWidth = l.scrollBar ? Scale(8, d) : 0;
    if (l.scrollBar) l.height = in.maxHeight;
    l.scroll = in.scroll < 0 ? 0 : in.scroll;
    if (l.scroll > l.contentHeight - l.height) l.scroll = l.contentHeight - l.height;
    l.scrollBarRect = {l.width - barWidth, 0, l.width, l.height};
    l.labelWidth = l.width - Scale(25, d) - barWidth;
    const int buttonTop = l.firstLabelTop + l.rowPitch * in.rows + Scale(4, d) - l.scroll;
    l.addButton = ::Box(l.boxLeft, buttonTop, l.width - Scale(10, d) - barWidth, l.rowPitch);
    return l;
}

RECT Layout::Box(int row) const {
    return ::Box(boxLeft, firstBoxTop + rowPitch * row - scroll, boxSize, boxSize);
}

RECT Layout::Label(int row) const {
    return ::Box(labelLeft, firstLabelTop + rowPitch * row - scroll, labelWidth, rowPitch);
}

Frame PaintedFrame(int width, int height, int bevelWidth, int borderWidth) {
    const int side = width < height ? width : height;
    const int room = side > 0 ? (side - (side + 2) / 3) / 2 : 0; // each side
    Frame f;
    f.border = borderWidth < room ? borderWidth : room;
    f.bevel = bevelWidth < room - f.border ? bevelWidth : room - f.border;
    return f;
}

// Frame widths are at most 100 each (the style reader sees to it), so
// nothing here overflows.
RECT CaptionTextRect(int width, int height, int bevelWidth, int borderWidth, int dpi) {
    const Frame f = PaintedFrame(width, height, bevelWidth, borderWidth);
    const int frame = f.bevel + f.border;
    int textWidth = width - 2 * frame, textHeight = height - 2 * frame;
    if (textWidth < width / 2) textWidth = width / 2;
    const int least = Scale(9, dpi) < height ? Scale(9, dpi) : height;
    if (textHeight < least) textHeight = least;
    const int left = (width - textWidth) / 2, top = (height - textHeight) / 2;
    return {left, top, left + textWidth, top + textHeight};
}
