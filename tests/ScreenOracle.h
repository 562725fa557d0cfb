// The screen oracle: zelk's window as the screen shows it now, against a
// paint from nothing of the list a fresh start on the same file would show.
// After any change the two must agree: the same child windows at the same
// places, the same pixels, and no other visible window of zelk's. Only the
// keyboard's focus mark, an open editor and a drag's insertion mark may
// differ, and only in their own windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test {

struct ScreenVerdict {
    int pixels = 0;                   // pixels that differ, outside the windows allowed to
    std::vector<std::string> windows; // child windows missing, extra, misplaced, or painted wrong
    std::vector<std::string> strays;  // other visible windows of zelk's (a tooltip of a row gone)
    bool Same() const { return pixels == 0 && windows.empty() && strays.empty(); }
    std::string Describe() const;
};

// `entries` is the list as the test expects the file to hold it, `width`
// the window's width in 96-DPI units; the DPI, style and scroll offset are
// the window's own. Pending paints are let through first; nothing is
// invalidated, so stale pixels stay to be seen.
ScreenVerdict CompareWithFreshPaint(const std::vector<std::pair<std::string, int>>& entries,
                                    int width = 100);

} // namespace test
