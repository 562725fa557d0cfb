#include "ui/Scrolling.h"

#include "core/PluginInstance.h"
#include "ui/RowLayout.h"

namespace {

void ScrollTo(int offset) {
    if (!ThePlugin || offset == CurrentLayout().scroll) return;
    SetScrollOffset(offset);
    LayOutRows();
}

} // namespace

void ScrollEntryIntoView(int index) {
    if (!ThePlugin || !ThePlugin->mainWindow) return;
    const Layout l = CurrentLayout();
    if (index >= CountRows()) return ScrollTo(l.contentHeight); // as far as it goes
    const RECT row = l.Label(index);
    if (row.top < 0) {
        ScrollTo(l.scroll + row.top);
    } else if (row.bottom > l.height) {
        ScrollTo(l.scroll + row.bottom - l.height);
    }
}

bool RowVisible(int index) {
    if (!ThePlugin) return false;
    const Layout l = CurrentLayout();
    const RECT row = l.Label(index);
    return row.bottom > 0 && row.top < l.height;
}

// Three rows for each notch of the wheel, as lists usually scroll.
void OnMouseWheel(int delta) {
    if (!ThePlugin) return;
    const Layout l = CurrentLayout();
    ScrollTo(l.scroll - MulDiv(delta, 3 * l.rowPitch, WHEEL_DELTA));
}

void ScrollRows(int rows) {
    if (!ThePlugin) return;
    const Layout l = CurrentLayout();
    ScrollTo(l.scroll + rows * l.rowPitch);
}

void OnScrollBar(int code) {
    PluginInstance* p = ThePlugin;
    if (!p || !p->scrollBar) return;
    const Layout l = CurrentLayout();
    SCROLLINFO info = {sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
    int to = l.scroll;
    switch (code) {
    case SB_LINEUP:
        to -= l.rowPitch;
        break;
    case SB_LINEDOWN:
        to += l.rowPitch;
        break;
    case SB_PAGEUP:
        to -= l.height - l.rowPitch;
        break;
    case SB_PAGEDOWN:
        to += l.height - l.rowPitch;
        break;
    case SB_TOP:
        to = 0;
        break;
    case SB_BOTTOM:
        to = l.contentHeight;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        if (GetScrollInfo(p->scrollBar, SB_CTL, &info)) to = info.nTrackPos;
        break;
    default:
        return;
    }
    ScrollTo(to);
}
