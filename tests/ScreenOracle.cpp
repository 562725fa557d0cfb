#include "ScreenOracle.h"

#include <windows.h>

#include <cstring>

#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/ChildWindows.h"
#include "ui/FocusState.h"
#include "ui/Layout.h"
#include "ui/Paint.h"
#include "ui/ReorderDrag.h"
#include "ui/RowLayout.h"

namespace test {

namespace {

// A 32-bit top-down bitmap and a DC to draw into or copy into it.
struct Canvas {
    int width = 0, height = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    unsigned* bits = nullptr;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* memory = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<unsigned*>(memory);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    unsigned at(int x, int y) const { return bits[y * width + x] & 0xffffff; }
};

struct Expected {
    std::string name;
    RECT rect;
    HWND window; // the child found there, or null
};

RECT InParent(HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Text(const char* what, int index, RECT r) {
    char line[160];
    if (index < 0)
        snprintf(line, sizeof line, "%s at (%ld,%ld)-(%ld,%ld)", what, r.left, r.top, r.right,
                 r.bottom);
    else
        snprintf(line, sizeof line, "%s %d at (%ld,%ld)-(%ld,%ld)", what, index, r.left, r.top,
                 r.right, r.bottom);
    return line;
}

// The windows a fresh start lays out for the list: a box and a label per
// shown entry, Add Item, and the scroll bar while the rows do not fit.
std::vector<Expected> ExpectedChildren(const Layout& l, int rows) {
    std::vector<Expected> out;
    for (int i = 0; i < rows; ++i) {
        out.push_back({Text("box", i, l.Box(i)), l.Box(i), nullptr});
        out.push_back({Text("label", i, l.Label(i)), l.Label(i), nullptr});
    }
    out.push_back({Text("Add Item", -1, l.addButton), l.addButton, nullptr});
    if (l.scrollBar)
        out.push_back({Text("scroll bar", -1, l.scrollBarRect), l.scrollBarRect, nullptr});
    return out;
}

BOOL CALLBACK CollectStrays(HWND window, LPARAM context) {
    auto* strays = reinterpret_cast<std::vector<std::string>*>(context);
    if (!IsWindowVisible(window) || window == ThePlugin->mainWindow) return TRUE;
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (_stricmp(cls, "tooltips_class32") == 0 || strcmp(cls, PluginClassName) == 0) {
        RECT r;
        GetWindowRect(window, &r);
        strays->push_back(Text(cls, -1, r));
    }
    return TRUE;
}

// ZELK_SCREEN_DUMP=folder keeps the last pair compared, as shown.bmp and
// fresh.bmp, to look at a failure.
void Dump(const Canvas& canvas, const char* name) {
    const char* folder = getenv("ZELK_SCREEN_DUMP");
    if (!folder) return;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = canvas.width;
    info.biHeight = -canvas.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD bytes = 4u * canvas.width * canvas.height;
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int i = 0; i < canvas.width * canvas.height; ++i) { // opaque, as viewers read alpha
        const unsigned pixel = canvas.bits[i] | 0xff000000u;
        data.append(reinterpret_cast<const char*>(&pixel), sizeof pixel);
    }
    WriteFileText(std::string(folder) + "\\" + name, data);
}

} // namespace

std::string ScreenVerdict::Describe() const {
    std::string s = std::to_string(pixels) + " pixels differ";
    for (const std::string& w : windows)
        s += "; " + w;
    for (const std::string& w : strays)
        s += "; visible: " + w;
    return s;
}

ScreenVerdict CompareWithFreshPaint(const std::vector<std::pair<std::string, int>>& entries,
                                    int width) {
    ScreenVerdict verdict;
    PumpMessages();
    const PluginInstance* p = ThePlugin;
    if (!p || !p->mainWindow) {
        verdict.windows.push_back("no window");
        return verdict;
    }
    const HWND main = p->mainWindow;
    const int rows =
        static_cast<int>(entries.size()) < MaxItems ? static_cast<int>(entries.size()) : MaxItems;
    LayoutInput in;
    in.rows = rows;
    in.width = width;
    in.dpi = p->dpi;
    in.fontHeight = p->fontHeight;
    in.bevelWidth = p->bevelWidth;
    in.borderWidth = p->borderWidth;
    in.scroll = CurrentLayout().scroll;
    MONITORINFO monitor = {sizeof monitor, {}, {}, 0};
    GetMonitorInfoA(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    in.maxHeight = monitor.rcWork.bottom - monitor.rcWork.top;
    const Layout l = LayOut(in);

    RECT client;
    GetClientRect(main, &client);
    if (client.right != l.width || client.bottom != l.height) {
        char line[120];
        snprintf(line, sizeof line, "main window %ldx%ld, a fresh start %dx%d", client.right,
                 client.bottom, l.width, l.height);
        verdict.windows.push_back(line);
        return verdict;
    }

    EnumThreadWindows(GetCurrentThreadId(), CollectStrays,
                      reinterpret_cast<LPARAM>(&verdict.strays));
    if (!IsWindowVisible(main)) return verdict; // hidden: nothing on screen to compare

    // The children where they are, matched with where they belong.
    std::vector<Expected> expected = ExpectedChildren(l, rows);
    std::vector<RECT> allowed; // the focus mark's, the editor's, a drag's mark's window
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const RECT r = InParent(child);
        if (child == p->editControl) {
            allowed.push_back(r);
            continue;
        }
        if ((ZelkHasKeyboard() && child == FocusedWindow()) ||
            InsertionMarkOn(child) != MarkEdge::none)
            allowed.push_back(r);
        bool matched = false;
        for (Expected& e : expected) {
            if (e.window || !EqualRect(&e.rect, &r)) continue;
            const ListItem* item = FindItem(child);
            const bool box = item && item->doneBox == child, label = item && item->label == child;
            const bool kind = e.name[0] == 'b'   ? box
                              : e.name[0] == 'l' ? label
                              : e.name[0] == 'A' ? child == p->addButton
                                                 : child == p->scrollBar;
            if (!kind) continue;
            e.window = child;
            matched = true;
            break;
        }
        if (!matched) verdict.windows.push_back("extra " + Text("window", -1, r));
    }
    for (const Expected& e : expected) {
        if (!e.window) verdict.windows.push_back("missing " + e.name);
        if (e.name[0] == 's') allowed.push_back(e.rect); // the system draws it
    }
    // The screen as it stands, and the same list painted from nothing.
    Canvas shown(l.width, l.height), fresh(l.width, l.height);
    HDC screen = GetDC(main);
    BitBlt(shown.dc, 0, 0, l.width, l.height, screen, 0, 0, SRCCOPY);
    ReleaseDC(main, screen);
    const RECT whole = {0, 0, l.width, l.height};
    DrawBackground(fresh.dc, whole);
    for (int i = 0; i < rows; ++i) {
        ListItem entry = {};
        snprintf(entry.text, sizeof entry.text, "%s", entries[i].first.c_str());
        entry.done = entries[i].second;
        DrawDoneBox(fresh.dc, l.Box(i), &entry);
        DrawItemLabel(fresh.dc, l.Label(i), &entry);
    }
    DrawAddButton(fresh.dc, l.addButton);
    GdiFlush();
    Dump(shown, "shown.bmp");
    Dump(fresh, "fresh.bmp");

    std::vector<int> differing(expected.size() + 1, 0);
    for (int y = 0; y < l.height; ++y) {
        for (int x = 0; x < l.width; ++x) {
            if (shown.at(x, y) == fresh.at(x, y)) continue;
            const POINT pt = {x, y};
            bool excused = false;
            for (const RECT& r : allowed)
                excused = excused || PtInRect(&r, pt);
            if (excused) continue;
            ++verdict.pixels;
            size_t where = expected.size();
            for (size_t i = 0; i < expected.size(); ++i)
                if (PtInRect(&expected[i].rect, pt)) where = i;
            ++differing[where];
        }
    }
    for (size_t i = 0; i < differing.size(); ++i) {
        if (!differing[i]) continue;
        verdict.windows.push_back(
            (i < expected.size() ? expected[i].name : std::string("the background")) + " shows " +
            std::to_string(differing[i]) + " pixels unlike a fresh paint");
    }
    return verdict;
}

} // namespace test
