// The plug-in's windows, actions, commands and entry points, on real windows
// under Wine: the test program is the shell, messages are real messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "CorvaneHost.h"
#include "ScreenOracle.h"
#include "TestSupport.h"
#include "plugin/EntryPoints.h"
#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/History.h"
#include "data/ItemList.h"
#include "ui/Commands.h"
#include "ui/ChangePath.h"
#include "ui/ChildWindows.h"
#include "ui/FocusState.h"
#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"
#include "ui/PluginWindows.h"
#include "ui/Scrolling.h"
#include "ui/SystemLook.h"

using namespace test;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

bool SameRect(const RECT& r, int x, int y, int w, int h) {
    return r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h;
}

class WindowTest : public testing::Test {
  protected:
    void SetUp() override { UseStyle("flat.style"); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
    }
    PluginInstance& P() { return *ThePlugin; }
    // Position of a child relative to the main window's client area.
    RECT ChildRect(HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, P().mainWindow, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::string File() { return ReadFileText(SettingsPath()); }
    void Broadcast(const char* text) {
        HostBroadcast(text);
        PumpMessages();
    }
    // A key pressed in `window` with Control (and Shift) held as far as the
    // thread's key state tells.
    void KeyWithControl(HWND window, WPARAM key, bool shift = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(window, WM_KEYDOWN, key, 0);
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }
    // Every window where a fresh start with n entries puts it.
    void ExpectFreshLayout(int n) {
        RECT main;
        GetWindowRect(P().mainWindow, &main);
        EXPECT_TRUE(SameRect(main, 10, 10, 100, 15 * n + 30)) << n;
        EXPECT_TRUE(SameRect(ChildRect(P().editControl), 5, 5, 90, 12));
        EXPECT_TRUE(SameRect(ChildRect(P().addButton), 5, 15 * n + 12, 90, 15)) << n;
        ASSERT_EQ(CountListedItems(), n);
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(SameRect(ChildRect(Entry(i)->doneBox), 5, 15 * i + 10, 10, 10)) << i;
            EXPECT_TRUE(SameRect(ChildRect(Entry(i)->label), 20, 15 * i + 8, 75, 15)) << i;
            EXPECT_EQ(Entry(i)->labelTop, 15 * i + 8);
        }
    }
};

// The windows that paint while it lives (a hook sees each WM_PAINT taken
// from the queue).
class PaintRecorder {
  public:
    PaintRecorder() {
        painted.clear();
        hook = SetWindowsHookExA(WH_GETMESSAGE, Record, nullptr, GetCurrentThreadId());
    }
    ~PaintRecorder() { UnhookWindowsHookEx(hook); }
    static std::vector<HWND> painted;

  private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_PAINT)
            painted.push_back(msg->hwnd);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook;
};
std::vector<HWND> PaintRecorder::painted;

// The window as the screen shows it against a paint from nothing of `e`.
testing::AssertionResult LooksFresh(const Entries& e, int width = 100) {
    const ScreenVerdict v = CompareWithFreshPaint(e, width);
    if (v.Same()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << v.Describe();
}

// Keeps the text of a visible tooltip window in the string `out` points to.
BOOL CALLBACK ReadShownToolTip(HWND window, LPARAM out) {
    char name[64] = {};
    wchar_t text[200] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0 || !IsWindowVisible(window)) return TRUE;
    SendMessageW(window, WM_GETTEXT, 200, reinterpret_cast<LPARAM>(text));
    *reinterpret_cast<std::string*>(out) = Utf8(text);
    return FALSE;
}

} // namespace

TEST_F(WindowTest, GeometryFollowsTheEntryCount) {
    for (int n : {0, 1, 3}) {
        Stop();
        ASSERT_TRUE(Start(SettingsText(Entries(n, {"entry", 0}))));
        ExpectFreshLayout(n);
        EXPECT_TRUE(IsWindowVisible(P().mainWindow));
        EXPECT_FALSE(IsWindowVisible(P().editControl));
        LONG ex = GetWindowLongA(P().mainWindow, GWL_EXSTYLE);
        EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(ex & WS_EX_TOPMOST);
        EXPECT_FALSE(ex & WS_EX_LAYERED);
        EXPECT_EQ(GetWindowLongA(P().addButton, GWL_STYLE) & 0xFFFF00FF, 0x50000080);
    }
}

TEST_F(WindowTest, SubscriptionsInOrder) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 1}})));
    std::vector<HWND> expected = {Entry(0)->label,   Entry(0)->doneBox, Entry(1)->label,
                                  Entry(1)->doneBox, P().editControl,   P().mainWindow,
                                  P().addButton};
    ASSERT_EQ(HostStickyCount(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(HostStickyWindow(i), expected[i]) << i;
    ASSERT_EQ(HostSubscriptionCount(), 14);
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(HostSubscriptionWindow(i), expected[i / 2]) << i;
        EXPECT_EQ(HostSubscriptionMessage(i), i % 2 ? HOSTMSG_BROADCAST : HOSTMSG_RECONFIGURE);
    }
    Stop();
    EXPECT_EQ(HostSubscriptionCount(), 0) << "every window unsubscribed at the end";
}

TEST_F(WindowTest, AddDeleteAndTick) {
    ASSERT_TRUE(Start(SettingsText({{"one", 0}, {"two", 0}, {"three", 0}})));
    const std::string before = File();

    // A left click toggles, a middle click unticks; a done value other
    // than 1 from the file counts as ticked.
    struct Click {
        UINT button;
        int before, after;
    } clicks[] = {{WM_LBUTTONUP, 0, 1},
                  {WM_LBUTTONUP, 1, 0},
                  {WM_LBUTTONUP, 7, 0},
                  {WM_MBUTTONUP, 1, 0},
                  {WM_MBUTTONUP, 0, 0}};
    for (const Click& c : clicks) {
        Entry(2)->done = c.before;
        SendMessageA(Entry(2)->doneBox, c.button, 0, 0);
        EXPECT_EQ(Entry(2)->done, c.after) << c.button << " on " << c.before;
    }
    PumpMessages();
    {
        PaintRecorder paints; // a tick repaints its own row and nothing else
        SendMessageA(Entry(1)->doneBox, WM_LBUTTONUP, 0, 0);
        PumpMessages();
        std::vector<HWND> row = {Entry(1)->doneBox, Entry(1)->label};
        std::sort(row.begin(), row.end());
        std::sort(PaintRecorder::painted.begin(), PaintRecorder::painted.end());
        EXPECT_EQ(PaintRecorder::painted, row);
    }
    EXPECT_EQ(Entry(1)->done, 1);
    EXPECT_EQ(File(), SettingsText({{"one", 0}, {"two", 1}, {"three", 0}}))
        << "ticks saved at once";

    // Adding and deleting change rows, never the window itself, and leave
    // every row where a fresh start would put it.
    const HWND main = P().mainWindow;
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ListedEntries(), (Entries{{"one", 0}, {"two", 1}, {"three", 0}, {"New Item", 0}}));
    EXPECT_EQ(File(), SettingsText({{"one", 0}, {"two", 1}, {"three", 0}, {"New Item", 0}}));
    EXPECT_EQ(P().mainWindow, main);
    ExpectFreshLayout(4);

    SendMessageA(Entry(1)->label, WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(ItemCount, 4) << "a plain right click does nothing";
    HWND deleted = Entry(1)->label;
    SendMessageA(Entry(1)->label, WM_RBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(File(), SettingsText({{"one", 0}, {"three", 0}, {"New Item", 0}}));
    EXPECT_EQ(ItemCount, 3);
    EXPECT_EQ(ListTail, Entry(2));
    EXPECT_FALSE(IsWindow(deleted));
    EXPECT_EQ(P().mainWindow, main);
    ExpectFreshLayout(3);
}

// Undo Delete puts the newest deletion's entries back at their places with
// their ticks, Remove Ticked Entries is one deletion, and Control+Z anywhere
// in zelk but the editor undoes the newest step; Control+Y and
// Control+Shift+Z redo, until a new change of the user's (not a reload).
TEST_F(WindowTest, UndoDeleteAndRemoveTicked) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 1}, {"c", 0}, {"d", 7}, {"e", 0}})));
    auto del = [&](int i) {
        return [&, i] { SendMessageA(Entry(i)->label, WM_RBUTTONDBLCLK, 0, 0); };
    };
    auto command = [&](const char* text) { return [&, text] { Broadcast(text); }; };
    auto undo = command("@ovletInternal undodelete");
    struct Step {
        const char* what;
        std::function<void()> action;
        Entries after;
    } steps[] = {
        {"delete c", del(2), {{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}}},
        {"delete a", del(0), {{"b", 1}, {"d", 7}, {"e", 0}}},
        {"remove ticked", command("@ovletInternal RemoveTicked"), {{"e", 0}}},
        {"remove ticked with none ticked", command("@ovletInternal removeticked"), {{"e", 0}}},
        {"undo brings the whole set back", undo, {{"b", 1}, {"d", 7}, {"e", 0}}},
        {"Control+Z in the window",
         [&] { KeyWithControl(P().mainWindow, 'Z'); },
         {{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}}},
        {"Z without Control",
         [&] { SendMessageA(P().mainWindow, WM_KEYDOWN, 'Z', 0); },
         {{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}}},
        {"Control+Z on a label",
         [&] { KeyWithControl(Entry(0)->label, 'Z'); },
         {{"a", 0}, {"b", 1}, {"c", 0}, {"d", 7}, {"e", 0}}},
        {"nothing left to undo", undo, {{"a", 0}, {"b", 1}, {"c", 0}, {"d", 7}, {"e", 0}}},
        {"Control+Y",
         [&] { KeyWithControl(P().mainWindow, 'Y'); },
         {{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}}},
        {"a reload",
         [&] {
             WriteFileText(SettingsPath(),
                           SettingsText({{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}, {"f", 0}}));
             PumpMessages(600);
         },
         {{"a", 0}, {"b", 1}, {"d", 7}, {"e", 0}, {"f", 0}}},
        {"Control+Shift+Z",
         [&] { KeyWithControl(P().mainWindow, 'Z', true); },
         {{"b", 1}, {"d", 7}, {"e", 0}, {"f", 0}}},
        {"delete f; nothing to redo",
         [&] {
             del(3)();
             Broadcast("@ovletInternal Redo");
         },
         {{"b", 1}, {"d", 7}, {"e", 0}}},
    };
    for (const Step& step : steps) {
        step.action();
        PumpMessages();
        EXPECT_EQ(ListedEntries(), step.after) << step.what;
        EXPECT_EQ(File(), SettingsText(step.after)) << step.what;
        EXPECT_EQ(ItemCount, static_cast<int>(step.after.size())) << step.what;
        ExpectFreshLayout(static_cast<int>(step.after.size()));
    }
    // Undo with the editor open stores the edit, then undoes it.
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "b2");
    Broadcast("@ovletInternal Undo");
    EXPECT_EQ(File(), SettingsText({{"b", 1}, {"d", 7}, {"e", 0}}));
    Broadcast("@ovletInternal Redo");
    EXPECT_EQ(File(), SettingsText({{"b2", 1}, {"d", 7}, {"e", 0}}));
    // The entry an undo changed takes the focus mark; the keyboard stays put.
    SetFocus(nullptr);
    Broadcast("@ovletInternal Undo"); // the edit
    Broadcast("@ovletInternal Undo"); // the deletion of f
    EXPECT_EQ(FocusedEntry(), Entry(3));
    EXPECT_EQ(GetFocus(), nullptr);
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    KeyWithControl(P().editControl, 'Z');
    SendMessageA(P().editControl, WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(CountListedItems(), 4) << "Control+Z in the editor is the editor's own";
    Stop();

    // A hundred steps are held, the oldest forgotten first; Undo Delete
    // takes the newest deletion back from among them.
    Entries twelve;
    for (int i = 0; i < 12; ++i)
        twelve.push_back({"n" + std::to_string(i), i % 2});
    ASSERT_TRUE(Start(SettingsText(twelve)));
    for (int i = 0; i < 101; ++i) // two deletions, 99 ticks
        SendMessageA(i < 2 ? Entry(0)->label : Entry(0)->doneBox,
                     i < 2 ? WM_RBUTTONDBLCLK : WM_LBUTTONUP, 0, 0);
    for (int i = 0; i < 2; ++i)
        Broadcast("@ovletInternal UndoDelete");
    for (int i = 0; i < 100; ++i)
        Broadcast("@ovletInternal Undo");
    EXPECT_EQ(ListedEntries(), Entries(twelve.begin() + 1, twelve.end()));
    EXPECT_EQ(File(), SettingsText(Entries(twelve.begin() + 1, twelve.end())));
    Stop();
    EXPECT_FALSE(PeekStep(false, false, nullptr) || PeekStep(true, false, nullptr))
        << "the session's steps end with it";

    // An undo that would take the list past 50 is refused and stays to be done.
    Entries full(48, {"x", 0});
    full.push_back({"t1", 1});
    full.push_back({"t2", 1});
    ASSERT_TRUE(Start(SettingsText(full)));
    Broadcast("@ovletInternal RemoveTicked");
    for (int i = 0; i < 2; ++i)
        SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    const std::string before = File();
    const int sounds = WarningSounds();
    Broadcast("@ovletInternal UndoDelete");
    EXPECT_EQ(ItemCount, 50);
    EXPECT_EQ(File(), before);
    SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0);
    Broadcast("@ovletInternal UndoDelete"); // the single deletion fits
    Broadcast("@ovletInternal UndoDelete"); // the pair still does not
    EXPECT_EQ(ItemCount, 50);
    EXPECT_EQ(WarningSounds() - sounds, 2);
    ASSERT_NE(PeekStep(false, true, nullptr), nullptr);
    EXPECT_EQ(PeekStep(false, true, nullptr)->count, 2) << "the pair stays to be undone";
}

// A press on a label and a move up or down past the drag distance drags the
// entry, with the pointer held; the release drops it at the boundary
// nearest the pointer. Every other ending moves nothing and lets the
// pointer go.
TEST_F(WindowTest, ReorderByDragging) {
    const Entries start = {{"a", 0}, {"b", 1}, {"c", 0}, {"d", 0}};
    const int drag = GetSystemMetrics(SM_CYDRAG);
    // Entry i's label, pressed at its middle; y in the main window's client area.
    auto at = [&](int i, int y) { return MAKELPARAM(30, static_cast<WORD>(y - (15 * i + 8))); };
    auto press = [&](int i) {
        SendMessageA(Entry(i)->label, WM_LBUTTONDOWN, MK_LBUTTON, at(i, 15 * i + 15));
    };
    auto moveTo = [&](int i, int y) {
        SendMessageA(Entry(i)->label, WM_MOUSEMOVE, MK_LBUTTON, at(i, y));
    };
    auto release = [&](int i, int y) { SendMessageA(Entry(i)->label, WM_LBUTTONUP, 0, at(i, y)); };
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    enum Interruption { none, escape, captureTaken };
    // Entry `entry` pressed, moved through the `moves` (y in the main
    // window's client area), perhaps interrupted, and released at `drop`.
    struct Case {
        const char* what;
        int entry;
        std::vector<int> moves;
        Interruption interruption;
        int drop;
        Entries after;
    } cases[] = {
        {"entry 3 above entry 1", 2, {20, 2}, none, 2, {{"c", 0}, {"a", 0}, {"b", 1}, {"d", 0}}},
        {"entry 1 dropped far below", 0, {40}, none, 900, {{"b", 1}, {"c", 0}, {"d", 0}, {"a", 0}}},
        {"entry 4 between 2 and 3", 3, {40}, none, 37, {{"a", 0}, {"b", 1}, {"d", 0}, {"c", 0}}},
        {"released where it started", 1, {50, 24}, none, 24, start},
        {"released at its own lower edge", 1, {50}, none, 37, start},
        {"Escape", 1, {60}, escape, 60, start},
        {"the pointer taken by another window", 0, {50}, captureTaken, 50, start},
        {"a move within the drag distance is a click", 0, {15 + drag}, none, 15 + drag, start},
    };
    for (const Case& c : cases) {
        Stop();
        ASSERT_TRUE(Start(SettingsText(start)));
        press(c.entry);
        for (int y : c.moves)
            moveTo(c.entry, y);
        if (c.interruption == escape) SendMessageA(P().mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        if (c.interruption == captureTaken) {
            SetCapture(other);
            ReleaseCapture();
        }
        release(c.entry, c.drop);
        PumpMessages();
        EXPECT_EQ(GetCapture(), nullptr) << c.what;
        EXPECT_EQ(ListedEntries(), c.after) << c.what;
        EXPECT_EQ(File(), SettingsText(c.after)) << c.what;
        ExpectFreshLayout(4);
    }
    DestroyWindow(other);

    // While dragging the pointer is held and the mark shows at the landing
    // place, in the open-text colour, or black on ticked entry 2's light blue,
    // where the white would stand out less than 3:1; a double-click still edits.
    const COLORREF black = RGB(0, 0, 0);
    press(3);
    EXPECT_EQ(GetCapture(), Entry(3)->label);
    moveTo(3, 22);
    EXPECT_EQ(GetCapture(), Entry(3)->label);
    EXPECT_EQ(PixelOf(Entry(1)->label, 5, 0), black) << "the mark above entry 2";
    EXPECT_NE(PixelOf(Entry(1)->label, 5, 7), black);
    moveTo(3, 8);
    EXPECT_EQ(PixelOf(Entry(0)->label, 5, 0), P().textColour) << "the mark above entry 1";
    SendMessageA(P().mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_NE(PixelOf(Entry(0)->label, 5, 0), P().textColour) << "the mark goes with the drag";
    press(1);
    release(1, 23);
    SendMessageA(Entry(1)->label, WM_LBUTTONDBLCLK, MK_LBUTTON, at(1, 23));
    EXPECT_TRUE(IsWindowVisible(P().editControl));
    // A drag stores the open edit and saves it with the drop.
    SetWindowTextA(P().editControl, "edited");
    int saves = SettingsFileReplacements();
    press(0);
    moveTo(0, 70);
    release(0, 70);
    EXPECT_EQ(SettingsFileReplacements() - saves, 1);
    EXPECT_EQ(ListedEntries(), (Entries{{"edited", 1}, {"c", 0}, {"d", 0}, {"a", 0}}));
    // ... and when the shell ends zelk before the drop.
    BeginEdit(Entry(1)->label);
    SetWindowTextA(P().editControl, "c2");
    press(0);
    moveTo(0, 70);
    Stop();
    EXPECT_EQ(File(), SettingsText({{"edited", 1}, {"c2", 0}, {"d", 0}, {"a", 0}}));
}

// "Width N" takes exactly one whole number from 30 to 4000; the window, its
// rows, the button and an open editor take it at once, and it is saved.
TEST_F(WindowTest, WidthCommand) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    SendMessageA(Entry(1)->label, WM_LBUTTONDBLCLK, 0, 0);
    const std::string tail(4000, '7');
    struct Case {
        std::string command;
        int width; // 0: nothing changes
    } cases[] = {
        {"@ovletInternal Width 200", 200},   {"@ovletInternal width   30", 30},
        {"@ovletInternal WIDTH 4000", 4000}, {"@ovletInternal Width 0150", 150},
        {"@ovletInternal Width", 0},         {"@ovletInternal Width 29", 0},
        {"@ovletInternal Width 4001", 0},    {"@ovletInternal Width -100", 0},
        {"@ovletInternal Width +100", 0},    {"@ovletInternal Width 100.0", 0},
        {"@ovletInternal Width 1e2", 0},     {"@ovletInternal Width 100 200", 0},
        {"@ovletInternal Width 100 x", 0},   {"@ovletInternal Width 4294967396", 0},
        {"@ovletInternal Width " + tail, 0}, {"@ovletInternal Width 100 " + tail, 0},
        {"@ovletInternal Width100", 0},
    };
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    int width = 100, x = 10; // a window wider than the screen moves left, to its edge at most
    for (const Case& c : cases) {
        const std::string before = File();
        Broadcast(c.command.c_str());
        if (c.width) width = c.width;
        x = std::min<int>(x, std::max<int>(work.right - width, work.left));
        const std::string what = c.command.substr(0, 40);
        EXPECT_EQ(P().width, width) << what;
        RECT main;
        GetWindowRect(P().mainWindow, &main);
        EXPECT_TRUE(SameRect(main, x, 10, width, 60)) << what;
        EXPECT_TRUE(SameRect(ChildRect(Entry(0)->label), 20, 8, width - 25, 15)) << what;
        EXPECT_TRUE(SameRect(ChildRect(P().editControl), 20, 23, width - 25, 15)) << what;
        EXPECT_TRUE(SameRect(ChildRect(P().addButton), 5, 42, width - 10, 15)) << what;
        if (c.width)
            EXPECT_NE(File().find("zelk.width: " + std::to_string(width) + "\n"),
                      std::string::npos);
        else
            EXPECT_EQ(File(), before) << what;
    }
    EXPECT_TRUE(IsWindowVisible(P().editControl)) << "the edit stays open";
}

TEST_F(WindowTest, AFiftyFirstEntryIsRefused) {
    ASSERT_TRUE(Start(SettingsText(Entries(50, {"full", 0}))));
    const std::string before = File();
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ItemCount, 50);
    EXPECT_EQ(CountListedItems(), 50);
    EXPECT_EQ(File(), before);
    // The click still stores an open edit, as a click anywhere in the window does.
    SendMessageA(Entry(3)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "stored");
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_STREQ(Entry(3)->text, "stored");
    EXPECT_EQ(ItemCount, 50);

    // The button shows whether the list is full: it repaints when the list
    // fills or stops being full, not only moves with its old look.
    auto buttonRepaints = [&](const std::function<void()>& action) {
        PumpMessages();
        PaintRecorder paints;
        action();
        PumpMessages();
        const std::vector<HWND>& seen = PaintRecorder::painted;
        return std::find(seen.begin(), seen.end(), P().addButton) != seen.end();
    };
    EXPECT_TRUE(buttonRepaints([&] { SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0); }));
    EXPECT_TRUE(buttonRepaints([&] { SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0); }));
    EXPECT_EQ(ItemCount, 50);
}

// The editor takes the keyboard with its whole text selected, so typing
// replaces it. However the edit ends, the keyboard goes back to the window
// that had it, unless the user gave it to another window.
TEST_F(WindowTest, TheEditorTakesTheKeyboard) {
    ASSERT_TRUE(Start(SettingsText({{"one", 0}, {"two", 0}})));
    auto makeWindow = [] {
        HWND w = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 400, 400, 60, 20, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(w);
        SetFocus(w);
        return w;
    };
    HWND elsewhere = makeWindow();
    const HWND editor = P().editControl;
    auto enter = [&] { SendMessageA(editor, WM_CHAR, VK_RETURN, 0); };
    struct Case {
        const char* how;
        std::function<void(HWND before)> end;
        bool stored;
        bool focusBack; // else it is on `elsewhere`, or on no window that is gone
    } cases[] = {
        {"Enter", [&](HWND) { enter(); }, true, true},
        {"Escape", [&](HWND) { SendMessageA(editor, WM_CHAR, VK_ESCAPE, 0); }, false, true},
        {"a click on the background",
         [&](HWND) { SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0); }, true, true},
        {"a click on a box", [&](HWND) { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); },
         true, true},
        {"the keyboard going to another window", [&](HWND) { SetFocus(elsewhere); }, true, false},
        {"Enter once the window that had the keyboard is gone",
         [&](HWND before) {
             DestroyWindow(before);
             enter();
         },
         true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        HWND before = makeWindow();
        ASSERT_EQ(GetFocus(), before);
        const std::string old = Entry(1)->text, typed = "typed " + std::to_string(++n);
        SendMessageA(Entry(1)->label, WM_LBUTTONDBLCLK, 0, 0);
        EXPECT_EQ(GetFocus(), editor) << c.how;
        DWORD from = 1, to = 0;
        SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(from, 0u);
        EXPECT_EQ(to, old.size()) << "the whole text selected";
        for (char ch : typed)
            SendMessageA(editor, WM_CHAR, static_cast<unsigned char>(ch), 0);
        c.end(before);
        EXPECT_FALSE(IsWindowVisible(editor)) << c.how;
        EXPECT_EQ(Entry(1)->text, c.stored ? typed : old) << c.how;
        if (c.focusBack) {
            EXPECT_EQ(GetFocus(), before) << c.how;
        } else {
            EXPECT_NE(GetFocus(), editor) << c.how;
            EXPECT_TRUE(!IsWindow(before) || GetFocus() == elsewhere) << c.how;
        }
        if (IsWindow(before)) DestroyWindow(before);
    }
    DestroyWindow(elsewhere);
}

// A label cut short shows its whole text in a tooltip while the pointer
// rests on it, "&" and any script included; one that fits shows none; the
// button of a full list says why it adds nothing.
TEST_F(WindowTest, ToolTips) {
    const std::string cut = "Call the plumber about the leaking kitchen tap before Friday";
    const std::string full = "The list is full (50 entries)";
    // The text of the tooltip showing in this thread, or "<none>".
    auto hover = [](HWND window) {
        SetCursorPos(1200, 1000);
        PumpMessages(300);
        RECT r;
        GetWindowRect(window, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        PumpMessages(1500);
        std::string shown = "<none>";
        EnumThreadWindows(GetCurrentThreadId(), ReadShownToolTip, reinterpret_cast<LPARAM>(&shown));
        return shown;
    };
    Entries entries = {{"fits", 0}, {cut, 0}, {u8"R&D ✅ Я: " + cut, 1}};
    ASSERT_TRUE(Start(SettingsText(entries)));
    EXPECT_EQ(hover(Entry(0)->label), "<none>");
    EXPECT_EQ(hover(Entry(1)->label), cut);
    EXPECT_EQ(hover(Entry(2)->label), u8"R&D ✅ Я: " + cut);
    EXPECT_EQ(hover(P().addButton), "<none>");
    // Another program removes the entry whose tip shows, or puts another in
    // its place: the tip goes with what it showed.
    EXPECT_EQ(hover(Entry(1)->label), cut);
    entries[1].first = "Another entry in its place, cut short as well";
    WriteFileText(SettingsPath(), SettingsText(entries));
    Sleep(QuietTime + 50); // the write has landed
    SendMessageA(P().mainWindow, WM_TIMER, ReloadTimer, 0);
    EXPECT_TRUE(LooksFresh(entries));
    EXPECT_EQ(hover(Entry(1)->label), entries[1].first);
    entries.erase(entries.begin() + 1);
    WriteFileText(SettingsPath(), SettingsText(entries));
    Sleep(QuietTime + 50);
    SendMessageA(P().mainWindow, WM_TIMER, ReloadTimer, 0);
    EXPECT_TRUE(LooksFresh(entries));
    Stop();
    ASSERT_TRUE(Start(SettingsText(Entries(50, {"a", 0}))));
    EXPECT_EQ(hover(P().addButton), full);
    SetCursorPos(1200, 1000);
}

TEST_F(WindowTest, EditInPlace) {
    ASSERT_TRUE(Start(SettingsText({{"one", 0}, {"two", 0}})));
    HWND label = Entry(1)->label;
    SendMessageA(label, WM_LBUTTONDBLCLK, 0, 0);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(P().editControl));
    EXPECT_FALSE(IsWindowVisible(label));
    EXPECT_EQ(EditingLabel, label);
    EXPECT_TRUE(SameRect(ChildRect(P().editControl), 20, 23, 75, 15));
    char text[200];
    GetWindowTextA(P().editControl, text, sizeof text);
    EXPECT_STREQ(text, "two");

    struct Case {
        std::string typed, stored;
    } cases[] = {
        {"renamed", "renamed"},   {std::string(150, 'y'), std::string(99, 'y')},
        {"  padded\t", "padded"}, {"tab\there", "tab here"},
        {"", "tab here"},    // nothing left: the entry keeps its text
        {"   ", "tab here"}, // likewise
    };
    for (const Case& c : cases) {
        SendMessageA(label, WM_LBUTTONDBLCLK, 0, 0);
        SetWindowTextA(P().editControl, c.typed.c_str());
        SendMessageA(P().editControl, WM_CHAR, VK_RETURN, 0);
        EXPECT_EQ(std::string(Entry(1)->text), c.stored);
        EXPECT_FALSE(IsWindowVisible(P().editControl));
        EXPECT_TRUE(IsWindowVisible(label));
    }

    // Enter reaching the main window commits the unchanged text.
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SendMessageA(P().mainWindow, WM_CHAR, VK_RETURN, 0);
    EXPECT_STREQ(Entry(0)->text, "one");
    EXPECT_FALSE(IsWindowVisible(P().editControl));

    // Escape cancels; a later click commits nothing of what was typed.
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "discarded");
    SendMessageA(P().editControl, WM_CHAR, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindowVisible(P().editControl));
    EXPECT_TRUE(IsWindowVisible(Entry(0)->label));
    SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_STREQ(Entry(0)->text, "one");

    // Edits reach the file at once.
    EXPECT_EQ(File(), SettingsText({{"one", 0}, {"tab here", 0}}));
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(File(), SettingsText({{"one", 0}, {"tab here", 0}, {"New Item", 0}}));

    // Text still in an open editor is kept by an addition, a deletion and
    // the end, not dropped with the windows.
    auto typeIntoOpenEditor = [&](int entry, const char* text) {
        SendMessageA(Entry(entry)->label, WM_LBUTTONDBLCLK, 0, 0);
        SetWindowTextA(P().editControl, text);
    };
    typeIntoOpenEditor(0, "kept by add");
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    typeIntoOpenEditor(1, "kept by delete");
    SendMessageA(Entry(2)->label, WM_RBUTTONDBLCLK, 0, 0);
    typeIntoOpenEditor(2, "kept at the end");
    Stop();
    EXPECT_EQ(File(),
              SettingsText({{"kept by add", 0}, {"kept by delete", 0}, {"kept at the end", 0}}));
}

namespace {

// Types text as real input (KEYEVENTF_UNICODE, a surrogate pair as its two
// halves) through the given message loop, then Enter, which ends the edit.
void TypeUnicode(const std::wstring& text, bool wideLoop) {
    std::vector<INPUT> keys(2 * text.size() + 2);
    for (size_t i = 0; i < keys.size(); ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wScan = i / 2 < text.size() ? text[i / 2] : L'\r';
        keys[i].ki.dwFlags = KEYEVENTF_UNICODE | (i % 2 ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(keys.size(), keys.data(), sizeof(INPUT));
    MSG msg;
    for (DWORD end = GetTickCount() + 2000;
         IsWindowVisible(ThePlugin->editControl) && static_cast<int>(end - GetTickCount()) > 0;
         Sleep(5))
        while (wideLoop ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)
                        : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            wideLoop ? DispatchMessageW(&msg) : DispatchMessageA(&msg);
        }
}

} // namespace

// Texts in any script survive the file, the editor (which shows them and
// takes them typed) and a second start, cut at 99 code points, never inside
// a character. Wine here has no CJK or emoji fonts: glyphs go unchecked.
TEST_F(WindowTest, EveryScriptSurvivesTheEditorAndTheFile) {
    const std::wstring texts[] = {L"Buy milk",
                                  L"Zoë's café",
                                  L"Купить хлеб",
                                  L"买牛奶",
                                  L"✅ done 😀",
                                  L"اشترِ الخبز",
                                  std::wstring(98, 'a') + L"😀" + std::wstring(21, 'b')};
    const size_t n = sizeof texts / sizeof texts[0];
    Entries written;
    for (const std::wstring& text : texts)
        written.push_back({Utf8(text), 0});
    Entries expected = written;
    expected.back().first.resize(102); // 98 + the 4 bytes of the emoji
    const Entries typed(expected.rbegin(), expected.rend());
    ASSERT_TRUE(Start(SettingsText(written)));
    EXPECT_EQ(ListedEntries(), expected);
    HWND editor = P().editControl;
    EXPECT_TRUE(IsWindowUnicode(editor) && IsWindowUnicode(Entry(0)->label));
    // Each entry gets another's text typed: the table in reverse.
    SetForegroundWindow(P().mainWindow);
    for (size_t i = 0; i < n; ++i) {
        SendMessageW(Entry(i)->label, WM_LBUTTONDBLCLK, 0, 0);
        wchar_t shown[300] = {};
        GetWindowTextW(editor, shown, 300);
        EXPECT_EQ(Utf8(shown), expected[i].first) << i;
        TypeUnicode(texts[n - 1 - i], true);
        EXPECT_TRUE(i > 0 || GetWindowTextLengthW(editor) == 100) << "the 100th refused";
    }
    const std::string saved = File();
    EXPECT_EQ(saved, SettingsText(typed));
    Stop();
    ASSERT_TRUE(Start(saved));
    EXPECT_EQ(ListedEntries(), typed);

    // A paste that would take the text past 99 code points is refused whole.
    editor = P().editControl;
    SendMessageW(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextW(editor, L"bcd"); // the editor's own copy puts it on the clipboard
    SendMessageW(editor, EM_SETSEL, 0, -1);
    SendMessageW(editor, WM_COPY, 0, 0);
    SetWindowTextW(editor, std::wstring(97, L'a').c_str());
    SendMessageW(editor, EM_SETSEL, 97, 97);
    SendMessageW(editor, WM_PASTE, 0, 0);
    EXPECT_EQ(GetWindowTextLengthW(editor), 97);

    // A shell whose message loop uses the A functions turns each typed
    // character outside its code page into "?" before zelk sees it.
    SendMessageW(editor, EM_SETSEL, 0, -1);
    BOOL lost = FALSE; // whether Я is outside it
    WideCharToMultiByte(CP_ACP, 0, L"Я", 1, nullptr, 0, nullptr, &lost);
    TypeUnicode(L"Я", false);
    EXPECT_EQ(Entry(0)->text, std::string(lost ? "?" : u8"Я")) << GetACP();
}

TEST_F(WindowTest, StrayMessagesChangeNothing) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    const std::string before = File();
    DoneBoxWndProc(P().addButton, WM_LBUTTONUP, 0, 0);
    DeleteItem(P().mainWindow);
    DeleteItem(nullptr);
    BeginEdit(P().addButton);
    EXPECT_FALSE(IsWindowVisible(P().editControl));
    SendMessageA(P().mainWindow, WM_CHAR, VK_RETURN, 0);   // no edit open
    SendMessageA(P().mainWindow, HOSTMSG_BROADCAST, 0, 0); // no text
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 0}, {"b", 0}}));
    EXPECT_EQ(ItemCount, 2);
    EXPECT_EQ(File(), before);
}

TEST_F(WindowTest, Commands) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    HWND main = P().mainWindow;

    Broadcast("@corvanehideplugins");
    EXPECT_FALSE(IsWindowVisible(main));
    Broadcast("@CORVANESHOWPLUGINS");
    EXPECT_TRUE(IsWindowVisible(main));

    Broadcast("@ovletInternal AlwaysOnTop");
    EXPECT_FALSE(P().alwaysOnTop);
    EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(File().find("zelk.alwaysOnTop: false\n"), std::string::npos);
    Broadcast("x@ovletInternal alwaysontop ignored"); // the prefix anywhere, second token
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(File().find("zelk.alwaysOnTop: true\n"), std::string::npos);

    Broadcast("@ovletInternal SnapWindowToEdge");
    EXPECT_FALSE(P().snapToEdges);
    EXPECT_NE(File().find("zelk.snapWindow: false\n"), std::string::npos);

    P().alpha = 300;
    Broadcast("@ovletInternal Transparency");
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(main, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 255) << "opaque above 255";
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    EXPECT_NE(File().find("zelk.transparency: true\r\n"), std::string::npos);
    Broadcast("@ovletInternal Transparency");
    EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_NE(File().find("zelk.transparency: false\r\n"), std::string::npos);

    // Without support for layered windows nothing changes and nothing is written.
    P().transparencySupported = false;
    std::string before = File();
    Broadcast("@ovletInternal Transparency");
    EXPECT_FALSE(P().transparencyOn);
    EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(File(), before);

    // Unknown, empty, over-long and foreign texts do nothing.
    std::string huge = "@ovletInternal " + std::string(100000, 'A');
    // Nor do the list's commands with nothing to act on, nor docking
    // without a slit.
    for (const char* text :
         {"@ovletInternal", "@ovletInternal Nothing", "", "\xff\xfe\x80", "ovletInternal About",
          huge.c_str(), "@ovletInternal UndoDelete", "@ovletInternal RemoveTicked",
          "@ovletInternal InSlit", "@ovletInternal UndoDeleteX"}) {
        Broadcast(text);
    }
    EXPECT_EQ(File(), before);
    EXPECT_TRUE(IsWindowVisible(main));
}

TEST_F(WindowTest, AboutBox) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}, {"c", 0}})));
    MessageBoxSeen seen = WatchMessageBoxes([] { HostBroadcast("@ovletInternal aBoUt"); });
    EXPECT_EQ(seen.count, 1) << "one box, not one per subscribed window";
    EXPECT_EQ(seen.caption, "About ovlet");
    EXPECT_EQ(seen.text, "zelk 1.0");
    EXPECT_EQ(seen.owner, GetCorvaneWnd());
}

// Above 255 is opaque; a window under 10 % opaque
// could not be found again, so it shows at 26 (the file keeps the value).
TEST_F(WindowTest, TransparencyFromTheFile) {
    const int cases[][2] = {{200, 200}, {26, 26},   {25, 26}, {0, 26},
                            {256, 255}, {300, 255}, {-7, 26}, {-256, 26}};
    for (const auto& c : cases) {
        std::string file = SettingsText({});
        file.replace(file.find("transparency: false"), 19, "transparency: true");
        file.replace(file.find("alpha: 200"), 10, "alpha: " + std::to_string(c[0]));
        ASSERT_TRUE(Start(file));
        BYTE alpha = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(P().mainWindow, nullptr, &alpha, nullptr));
        EXPECT_EQ(alpha, c[1]) << c[0];
        Stop();
        EXPECT_EQ(File(), file);
    }
}

TEST_F(WindowTest, Slit) {
    HWND slit = HostCreateSlit();
    std::string docked = SettingsText({{"a", 0}});
    docked.replace(docked.find("inSlit: false"), 13, "inSlit: true");

    ASSERT_TRUE(StartSlit(docked, slit));
    ASSERT_EQ(HostSlitCount(), 1);
    EXPECT_EQ(HostSlitWindow(0), P().mainWindow);
    EXPECT_EQ(GetParent(P().mainWindow), slit);
    // The position kept is the one the slit gives.
    RECT r;
    GetWindowRect(P().mainWindow, &r);
    MapWindowPoints(HWND_DESKTOP, slit, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(P().x, r.left);
    EXPECT_EQ(P().y, r.top);
    // Each change of size tells the slit to lay itself out again.
    int updates = HostSlitUpdateCount();
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(HostSlitUpdateCount(), updates + 1) << "after an addition";
    SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(HostSlitUpdateCount(), updates + 2) << "after a deletion";
    EXPECT_EQ(GetParent(P().mainWindow), slit);
    Stop();
    EXPECT_EQ(HostSlitCount(), 0) << "the slit lays itself out again without the plug-in";

    ASSERT_TRUE(StartSlit(SettingsText({{"a", 0}}), slit));
    EXPECT_EQ(HostSlitCount(), 0);
    EXPECT_EQ(GetParent(P().mainWindow), nullptr);

    // Docking from the menu goes in and out at once, an open edit kept;
    // floating free again, the window goes back to where it last floated.
    HWND main = P().mainWindow;
    SetWindowPos(main, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "kept");
    size_t mark = strlen(HostMenuCalls());
    ShowConfigurationMenu();
    EXPECT_NE(std::string(HostMenuCalls()).find("Dock In Slit, @ovletInternal InSlit, false", mark),
              std::string::npos);
    for (bool docked : {true, false, true, false}) {
        const int updates = HostSlitUpdateCount();
        Broadcast(docked ? "@ovletInternal InSlit" : "@ovletInternal inslit");
        EXPECT_EQ(GetParent(main), docked ? slit : nullptr) << docked;
        EXPECT_EQ(HostSlitCount(), docked ? 1 : 0) << docked;
        EXPECT_EQ(GetWindowLongA(main, GWL_STYLE) & (WS_CHILD | WS_POPUP),
                  docked ? WS_CHILD : WS_POPUP);
        EXPECT_GT(HostSlitUpdateCount(), updates) << "the slit is told";
        EXPECT_NE(File().find(docked ? "inSlit: true" : "inSlit: false"), std::string::npos);
        GetWindowRect(main, &r);
        if (docked) MapWindowPoints(HWND_DESKTOP, slit, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(SameRect(r, docked ? 2 : 300, docked ? 2 : 200, 100, 45)) << docked;
        EXPECT_TRUE(IsWindowVisible(P().editControl)) << docked;
        EXPECT_TRUE(docked || (GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST));
    }
    SendMessageA(P().editControl, WM_CHAR, VK_RETURN, 0);
    EXPECT_EQ(ListedEntries(), (Entries{{"kept", 0}}));
    // Undone: the edit, then floating free (docked again); redone: floating.
    for (const auto& u : {std::make_pair("Undo", HWND()), {"Undo", slit}, {"Redo", HWND()}}) {
        Broadcast((std::string("@ovletInternal ") + u.first).c_str());
        EXPECT_EQ(GetParent(main), u.second) << u.first;
    }
    EXPECT_NE(File().find("inSlit: false\r\nzelk.transparency.alpha: 200\r\nzelk.zelk1.text: a\n"),
              std::string::npos);
    Stop();

    // Started docked, it floats free at (10, 10), not at the file's place.
    docked.replace(docked.find("position.x: 10"), 14, "position.x: 400");
    ASSERT_TRUE(StartSlit(docked, slit));
    Broadcast("@ovletInternal InSlit");
    GetWindowRect(P().mainWindow, &r);
    EXPECT_TRUE(SameRect(r, 10, 10, 100, 45));
    Stop();

    // The slit was for that start: the next one without a slit neither
    // offers nor docks.
    EXPECT_EQ(SlitWindow, nullptr);
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    const std::string before = File();
    mark = strlen(HostMenuCalls());
    ShowConfigurationMenu();
    EXPECT_EQ(std::string(HostMenuCalls()).find("Dock In Slit", mark), std::string::npos);
    Broadcast("@ovletInternal InSlit");
    EXPECT_EQ(GetParent(P().mainWindow), nullptr);
    EXPECT_EQ(File(), before);
    Stop();
    HostDestroySlit();
}

TEST_F(WindowTest, EntryPoints) {
    EXPECT_STREQ(pluginInfo(1), "zelk");
    EXPECT_STREQ(pluginInfo(2), "1.0");
    EXPECT_STREQ(pluginInfo(0), "zelk 1.0");
    EXPECT_STREQ(pluginInfo(7), "zelk 1.0");
    EXPECT_STREQ(pluginInfo(4), "2026-12-8");

    // Unloading right after loading rewrites the same bytes.
    const std::string file = SettingsText({{"a", 1}, {"b", 0}});
    ASSERT_TRUE(Start(file));
    HWND main = P().mainWindow;
    EXPECT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 1) << "a second start is refused";
    EXPECT_EQ(P().mainWindow, main);
    Stop();
    EXPECT_EQ(File(), file);
    EXPECT_EQ(ThePlugin, nullptr);
    endPlugin(); // a second end does nothing
    EXPECT_EQ(File(), file);

    // A started plug-in with "inSlit" set but no slit stays a free window.
    std::string docked = file;
    docked.replace(docked.find("inSlit: false"), 13, "inSlit: true");
    SlitWindow = nullptr;
    ASSERT_TRUE(Start(docked));
    EXPECT_EQ(GetParent(P().mainWindow), nullptr);
}

TEST_F(WindowTest, AShellWithoutAFunctionIsNamed) {
    EXPECT_STREQ(BindHostFunctions(GetModuleHandleA("kernel32")), "GetCorvaneWnd");
    EXPECT_EQ(BindHostFunctions(GetModuleHandleA(nullptr)), nullptr);
    EXPECT_NE(Host.MakeMenu, nullptr);
}

// A failed write must not be followed by reading back the stale file: the
// change and every tick and edit since the last save would be lost.
TEST_F(WindowTest, RebuildAfterAFailedWriteKeepsEverything) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    const std::string before = File();
    HANDLE held =
        CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MessageBoxSeen seen = WatchMessageBoxes([&] {
        SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
        SendMessageA(Entry(1)->label, WM_RBUTTONDBLCLK, 0, 0);
        PumpMessages(WriterPatience + 500); // tried again quietly, then told
    });
    CloseHandle(held);
    EXPECT_EQ(seen.count, 1) << "one box for the run of two failed saves";
    EXPECT_EQ(File(), before);
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 1}, {"New Item", 0}}));
    ASSERT_NE(Entry(1)->label, nullptr) << "windows rebuilt from memory";
    RECT main;
    GetWindowRect(P().mainWindow, &main);
    EXPECT_EQ(main.bottom - main.top, 60);
    Stop();
    EXPECT_EQ(File(), SettingsText({{"a", 1}, {"New Item", 0}}));
}

// Makes the plug-in's row windows fail to be created while it lives: the
// system refuses a creation that a CBT hook vetoes. `failures` counts down
// the child windows of the plug-in's class still to refuse, after letting
// `skip` of them be made.
class RefuseRowWindows {
  public:
    RefuseRowWindows(int skip, int failures) {
        toSkip = skip;
        left = failures;
        hook = SetWindowsHookExA(WH_CBT, Veto, nullptr, GetCurrentThreadId());
    }
    ~RefuseRowWindows() { UnhookWindowsHookEx(hook); }

  private:
    static LRESULT CALLBACK Veto(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND && left > 0) {
            const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
            bool named = reinterpret_cast<UINT_PTR>(cs->lpszClass) > 0xFFFF;
            if (cs->hwndParent && named && strcmp(cs->lpszClass, PluginClassName) == 0) {
                if (toSkip > 0) {
                    --toSkip;
                } else {
                    --left;
                    return 1;
                }
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static int toSkip, left;
    HHOOK hook;
};
int RefuseRowWindows::toSkip = 0;
int RefuseRowWindows::left = 0;

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int CountChildren(HWND parent) {
    int n = 0;
    EnumChildWindows(parent, CountChild, reinterpret_cast<LPARAM>(&n));
    return n;
}

// A row whose windows cannot be made loses nothing: its entry stays in the
// list and the file, the rows it has show without a gap, and it has its row
// at the next start. A window class already taken makes the start itself
// fail, with the error box.
TEST_F(WindowTest, WindowsThatCannotBeMadeLoseNothing) {
    auto rowsAt = [&](const std::vector<int>& tops) {
        std::vector<int> seen;
        for (ListItem* item = ListHead; item; item = item->next)
            if (item->label) seen.push_back(ChildRect(item->label).top);
        return seen == tops;
    };
    {
        RefuseRowWindows refuse(0, 1); // entry "a"'s done box
        ASSERT_TRUE(Start(SettingsText({{"a", 1}, {"b", 0}})));
    }
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 1}, {"b", 0}}));
    EXPECT_EQ(Entry(0)->label, nullptr);
    EXPECT_TRUE(rowsAt({8})) << "b takes the first row";
    RECT main;
    GetWindowRect(P().mainWindow, &main);
    EXPECT_EQ(main.bottom - main.top, 45);
    EXPECT_TRUE(SameRect(ChildRect(P().addButton), 5, 27, 90, 15));
    {
        RefuseRowWindows refuse(1, 1); // the new entry's label: its box goes too
        SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    }
    EXPECT_EQ(ItemCount, 3);
    EXPECT_EQ(CountChildren(P().mainWindow), 4) << "one row, the editor and the button";
    EXPECT_EQ(File(), SettingsText({{"a", 1}, {"b", 0}, {"New Item", 0}}));
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(rowsAt({8, 23}));
    SendMessageA(Entry(1)->label, WM_RBUTTONDBLCLK, 0, 0);
    EXPECT_TRUE(rowsAt({8}));
    Stop();
    EXPECT_EQ(File(), SettingsText({{"a", 1}, {"New Item", 0}, {"New Item", 0}}));
    ASSERT_TRUE(Start(File()));
    EXPECT_TRUE(rowsAt({8, 23, 38})) << "every entry has its row at the next start";
    Stop();

    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = PluginClassName;
    ASSERT_NE(RegisterClassA(&taken), 0);
    const std::string file = SettingsText({{"a", 1}});
    bool started = true;
    MessageBoxSeen seen = WatchMessageBoxes([&] { started = Start(file); });
    EXPECT_FALSE(started);
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.text, "Yo, Error registering window class");
    EXPECT_EQ(seen.caption, "zelk 1.0");
    EXPECT_EQ(ThePlugin, nullptr);
    UnregisterClassA(PluginClassName, GetModuleHandleA(nullptr));
    EXPECT_EQ(File(), file);
}

// A saved position wholly off every monitor's work area (a monitor was
// unplugged) brings the window back to (10, 10); a partly visible one stays.
TEST_F(WindowTest, KeepsTheWindowOnScreen) {
    struct Case {
        int x, y, expectedX, expectedY;
    } cases[] = {{5000, 5000, 10, 10}, {-400, 20, 10, 10},      {-90, 20, -90, 20},
                 {30, -29, 30, -29},   {2147483000, 0, 10, 10}, {300, 200, 300, 200}};
    for (const Case& c : cases) {
        std::string file = SettingsText({{"a", 0}});
        file.replace(0, file.find("zelk.width"),
                     "zelk.position.x: " + std::to_string(c.x) +
                         "\nzelk.position.y: " + std::to_string(c.y) + "\n");
        ASSERT_TRUE(Start(file));
        RECT r;
        GetWindowRect(P().mainWindow, &r);
        EXPECT_EQ(r.left, c.expectedX) << c.x << "," << c.y;
        EXPECT_EQ(r.top, c.expectedY) << c.x << "," << c.y;
        Stop();
        EXPECT_NE(File().find("zelk.position.x: " + std::to_string(c.expectedX) + "\n"),
                  std::string::npos);
    }
}

// An addition that would put the window's bottom below the work area moves
// it up just enough, and the new place is saved; one with room stays put.
TEST_F(WindowTest, AnAdditionKeepsTheWindowInTheWorkArea) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    struct Case {
        int y, expectedY;
    } cases[] = {{work.bottom - 45, work.bottom - 60},
                 {work.bottom - 50, work.bottom - 60},
                 {work.bottom - 60, work.bottom - 60},
                 {work.top + 100, work.top + 100},
                 {work.top - 20, work.top - 20}};
    for (const Case& c : cases) {
        std::string file = SettingsText({{"a", 0}});
        file.replace(file.find("zelk.position.y: 10"), 19,
                     "zelk.position.y: " + std::to_string(c.y));
        ASSERT_TRUE(Start(file));
        SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
        RECT r;
        GetWindowRect(P().mainWindow, &r);
        EXPECT_EQ(r.top, c.expectedY) << c.y;
        EXPECT_EQ(r.bottom - r.top, 60) << c.y;
        EXPECT_EQ(r.left, 10) << c.y;
        EXPECT_NE(File().find("zelk.position.y: " + std::to_string(c.expectedY) + "\n"),
                  std::string::npos)
            << c.y;
        Stop();
    }
}

// The Undo and Redo items name the step and its entry's text as the shell's
// 8-bit menu shows it: in the code page (here 1252), at most 24 characters,
// else 21 and "..."; a text the code page cannot write leaves the action.
TEST_F(WindowTest, UndoAndRedoItemsNameTheStep) {
    ASSERT_EQ(GetACP(), 1252u);
    std::string e30; // é, two bytes in UTF-8 and one in 1252
    for (int i = 0; i < 30; ++i)
        e30 += "\xC3\xA9";
    ASSERT_TRUE(Start(SettingsText({{"Buy milk", 0}, {"\xD0\x9A\xD1\x83", 0}, {e30, 0}})));
    const std::pair<const char*, std::string> cases[] = {
        // a tick of entry N, or a command
        {"0", "Undo Tick \"Buy milk\""},
        {"Undo", "Redo Tick \"Buy milk\""},
        {"1", "Undo Tick"},
        {"2", "Undo Tick \"" + std::string(21, '\xE9') + "...\""},
        {"RemoveTicked", "Undo Remove Ticked"},
        {"Undo", "Undo Tick \"" + std::string(21, '\xE9') + "...\"|Redo Remove Ticked"}};
    for (const auto& c : cases) {
        if (isdigit(c.first[0]))
            SendMessageA(Entry(atoi(c.first))->doneBox, WM_LBUTTONUP, 0, 0);
        else
            Broadcast(("@ovletInternal " + std::string(c.first)).c_str());
        const size_t mark = strlen(HostMenuCalls());
        ShowConfigurationMenu();
        std::stringstream calls(std::string(HostMenuCalls()).substr(mark));
        std::string items;
        for (std::string line; std::getline(calls, line);)
            if (line.find("Internal Undo,") != std::string::npos ||
                line.find("Internal Redo,") != std::string::npos)
                items += (items.empty() ? "" : "|") +
                         line.substr(line.find(", ") + 2, line.find(", @") - line.find(", ") - 2);
        EXPECT_EQ(items, c.second);
    }
}

// The configuration menu: offered on a Control-right-click, built from the
// shell's menu calls in order, and released before the next one, on a
// commit, on a style change and at the end.
TEST_F(WindowTest, ConfigurationMenu) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    auto callsSince = [](size_t from) { return std::string(HostMenuCalls()).substr(from); };
    auto controlClick = [&](HWND window) {
        PressControl(true);
        LRESULT hit = SendMessageA(window, WM_NCHITTEST, 0, 0);
        if (hit == HTTRANSPARENT) window = P().mainWindow; // the click falls through
        SendMessageA(window, WM_NCRBUTTONUP, hit, 0);
        PressControl(false);
        return hit;
    };

    size_t mark = strlen(HostMenuCalls());
    SendMessageA(P().mainWindow, WM_RBUTTONUP, 0, 0);
    SendMessageA(Entry(0)->label, WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(callsSince(mark), "") << "a plain right click offers nothing";
    EXPECT_EQ(SendMessageA(P().mainWindow, WM_NCHITTEST, 0, 0), HTCLIENT);

    EXPECT_EQ(controlClick(P().mainWindow), HTCAPTION);
    std::string calls = callsSince(mark);
    int menu = atoi(calls.c_str() + calls.find("= ") + 2);
    struct Shown {
        bool top, transparency, supported;
        int width;
        bool undo, ticked;
    };
    auto expected = [](int m, const Shown& w) {
        std::string s = std::to_string(m), c = std::to_string(m + 1), n = std::to_string(m + 2);
        auto item = [](const std::string& menu, const std::string& text, const std::string& word,
                       bool checked) {
            return "MakeMenuItem(" + menu + ", " + text + ", @ovletInternal " + word + ", " +
                   (checked ? "true" : "false") + ")\n";
        };
        std::string out = "MakeMenu(ovlet) = " + s + "\nMakeMenu(Configuration) = " + c + "\n" +
                          item(c, "Always On Top", "AlwaysOnTop", w.top) +
                          item(c, "Snap Window To Edge", "SnapWindowToEdge", true);
        if (w.supported) out += item(c, "Transparency", "Transparency", w.transparency);
        out += "MakeMenu(Width) = " + n + "\n";
        for (int width : {100, 150, 200, 300})
            out +=
                item(n, std::to_string(width), "Width " + std::to_string(width), width == w.width);
        out +=
            "MakeSubmenu(" + c + ", " + n + ", Width)\nMakeSubmenu(" + s + ", " + c + ", Window)\n";
        if (w.undo) out += item(s, "Undo Delete \"a\"", "Undo", false);
        if (w.undo) out += item(s, "Undo Delete", "UndoDelete", false);
        if (w.ticked) out += item(s, "Remove Ticked Entries", "RemoveTicked", false);
        return out + item(s, "About ovlet...", "About", false) + "ShowMenu(" + s + ")\n";
    };
    EXPECT_EQ(calls, expected(menu, {true, false, true, 100, false, false}));

    // The next menu releases the one still held and shows the current values;
    // without transparency support it has no Transparency item, and Undo
    // Delete and Remove Ticked Entries come while they have something to do.
    // A change lets the held menu go at once: it shows the values as they were.
    mark = strlen(HostMenuCalls());
    Broadcast("@ovletInternal AlwaysOnTop");
    Broadcast("@ovletInternal Width 150");
    SendMessageA(Entry(1)->doneBox, WM_LBUTTONUP, 0, 0);
    SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0);
    P().transparencySupported = false;
    EXPECT_EQ(controlClick(Entry(0)->label), HTTRANSPARENT);
    calls = callsSince(mark);
    ASSERT_EQ(calls.rfind("DelMenu(" + std::to_string(menu) + ")\n", 0), 0u) << calls;
    calls = calls.substr(calls.find('\n') + 1);
    int second = atoi(calls.c_str() + calls.find("= ") + 2);
    EXPECT_EQ(calls, expected(second, {false, false, false, 150, true, true}));

    mark = strlen(HostMenuCalls());
    SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0); // commits: releases the menu
    SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0); // nothing left to release
    EXPECT_EQ(callsSince(mark), "DelMenu(" + std::to_string(second) + ")\n");

    controlClick(P().mainWindow);
    mark = strlen(HostMenuCalls());
    HostReconfigure();
    EXPECT_EQ(callsSince(mark), "DelMenu(" + std::to_string(second + 3) + ")\n");

    controlClick(P().mainWindow);
    mark = strlen(HostMenuCalls());
    Stop();
    EXPECT_EQ(callsSince(mark), "DelMenu(" + std::to_string(second + 6) + ")\n");

    // A shell without menus gets none, and nothing breaks.
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    HostFunctions saved = Host;
    Host.MakeMenu = nullptr;
    mark = strlen(HostMenuCalls());
    controlClick(P().mainWindow);
    EXPECT_EQ(callsSince(mark), "");
    Host = saved;

    // Messages arriving while the shell's menu loop runs: the menu it shows
    // is released only after ShowMenu returns, and no second menu is made.
    static std::function<void()> inside;
    static std::string callsInside;
    HostSetMenuHook(
        [](void*) {
            static bool running = false; // a menu shown from inside must not recurse
            if (running) return;
            running = true;
            size_t from = strlen(HostMenuCalls());
            inside();
            callsInside = std::string(HostMenuCalls()).substr(from);
            running = false;
        },
        nullptr);
    struct Inside {
        const char* name;
        std::function<void()> action;
        bool released; // the shown menu is released once ShowMenu returns
    } insides[] = {
        {"a style change", [] { HostReconfigure(); }, true},
        {"an edit committed", [&] { SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0); }, true},
        {"a new menu requested", [&] { controlClick(P().mainWindow); }, false},
        {"the plug-in ended", [] { Stop(); }, true},
    };
    for (const Inside& c : insides) {
        SCOPED_TRACE(c.name);
        inside = c.action;
        mark = strlen(HostMenuCalls());
        controlClick(P().mainWindow);
        calls = callsSince(mark);
        const size_t made = calls.find("MakeMenu(ovlet) = ");
        ASSERT_NE(made, std::string::npos);
        const std::string shown = "(" + std::to_string(atoi(calls.c_str() + made + 18)) + ")\n";
        EXPECT_EQ(callsInside, "");
        const std::string ending = "ShowMenu" + shown + (c.released ? "DelMenu" + shown : "");
        EXPECT_EQ(calls.substr(calls.size() - std::min(calls.size(), ending.size())), ending);
    }
    HostSetMenuHook(nullptr, nullptr);
}

namespace {

// The real zelk.dll, loaded the way a shell loads it; a shell frees it as soon
// as endPlugin returns, even from inside a loop of the plug-in's.
struct {
    HMODULE module;
    EndPluginFn end;
    bool endInside; // the shell ends and unloads the plug-in inside the loop
    int reached;    // times the shell got control inside a loop
} Shell;

void InsideTheLoop() {
    ++Shell.reached;
    if (!Shell.endInside) return;
    Shell.end();
    FreeLibrary(Shell.module);
}

// Whether a stack walk from the shell's menu got back through zelk, all frames in modules.
bool WalkedThroughZelk = false;
void WalkTheStack(void*) {
    void* frames[64];
    MEMORY_BASIC_INFORMATION in;
    for (USHORT i = 0, n = RtlCaptureStackBackTrace(0, 64, frames, nullptr), zelk = 0; i < n; ++i) {
        if (!VirtualQuery(frames[i], &in, sizeof in) || in.Type != MEM_IMAGE) break;
        WalkedThroughZelk |= zelk && in.AllocationBase == GetModuleHandleA(nullptr);
        zelk |= in.AllocationBase == Shell.module;
    }
    InsideTheLoop();
}

// Makes the plug-in's main window fail to be created.
LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (!(cs->style & WS_CHILD) && !IS_INTRESOURCE(cs->lpszClass) &&
            strcmp(cs->lpszClass, PluginClassName) == 0)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

// Each case loads its own copy, since a copy kept loaded stays for good.
namespace {

const IID AccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The client's side, looked up as zelk does: the test program imports only
// system DLLs a shell is sure to have.
template <typename F> F Find(const char* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(dll), name)));
}

IAccessible* AccessibleOf(HWND window) {
    static auto fromWindow = Find<HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**)>(
        "oleacc.dll", "AccessibleObjectFromWindow");
    void* object = nullptr;
    return fromWindow && fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), AccessibleIid,
                                    &object) == S_OK
               ? static_cast<IAccessible*>(object)
               : nullptr;
}

// The text a string method gives for a child, or its failure as "error 0x...".
using TextMethod = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
std::string Text(IAccessible* object, TextMethod method, VARIANT child) {
    static auto freeString = Find<void(WINAPI*)(BSTR)>("oleaut32.dll", "SysFreeString");
    BSTR text = nullptr;
    const HRESULT result = (object->*method)(child, &text);
    char out[256] = {};
    if (result != S_OK)
        snprintf(out, sizeof out, "error 0x%08lx", static_cast<unsigned long>(result));
    else
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    freeString(text);
    return out;
}

VARIANT Child(LONG id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

} // namespace

TEST_F(WindowTest, LoopsOfOursOutliveAnUnloadFromInside) {
    std::string folder, dll;
    using Trigger = std::function<void(BeginPluginFn)>;
    const Trigger aboutBox = [](BeginPluginFn begin) {
        ASSERT_EQ(begin(Shell.module), 0);
        AccessibleOf(FindWindowA(PluginClassName, nullptr))->Release(); // let go in the session
        HostBroadcast("@ovletInternal About");
    };
    const Trigger failedStart = [](BeginPluginFn begin) {
        HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseMainWindow, nullptr, GetCurrentThreadId());
        EXPECT_EQ(begin(Shell.module), 1);
        UnhookWindowsHookEx(hook);
    };
    const Trigger menu = [](BeginPluginFn begin) {
        ASSERT_EQ(begin(Shell.module), 0);
        HostSetMenuHook(WalkTheStack, nullptr);
        PressControl(true);
        SendMessageA(FindWindowA(PluginClassName, nullptr), WM_NCRBUTTONUP, HTCAPTION, 0);
        PressControl(false);
        HostSetMenuHook(nullptr, nullptr);
    };
    const Trigger warningBox = [&](BeginPluginFn begin) {
        const std::string rc = folder + "zelk.rc"; // a folder: told at the start
        DeleteFileA(rc.c_str());
        CreateDirectoryA(rc.c_str(), nullptr);
        ASSERT_EQ(begin(Shell.module), 0);
        PumpMessages(); // the plug-in's own posted message opens the box
        RemoveDirectoryA(rc.c_str());
    };
    const Trigger screenReader = [&](BeginPluginFn begin) {
        ASSERT_EQ(begin(Shell.module), 0);
        IAccessible* list = AccessibleOf(FindWindowA(PluginClassName, nullptr));
        ASSERT_NE(list, nullptr);
        InsideTheLoop();
        EXPECT_EQ(list->accDoDefaultAction(Child(1)), RPC_E_DISCONNECTED);
        ASSERT_EQ(begin(Shell.module = LoadLibraryA(dll.c_str())), 0); // a reload
        IAccessible* second = AccessibleOf(FindWindowA(PluginClassName, nullptr));
        list->Release(); // the first session's, let go while the second runs
        Shell.end();
        FreeLibrary(Shell.module);
        ASSERT_TRUE(second && GetModuleHandleA(dll.c_str())) << "held by the second's object";
        second->Release(); // after the end: the DLL stays for good
    };
    struct Case {
        const char* name;
        bool endInside;
        Trigger trigger;
    } cases[] = {
        {"the About box, nothing ended", false, aboutBox},
        {"the About box", true, aboutBox},
        {"the box of a failed construction", true, failedStart},
        {"the configuration menu", true, menu},
        {"the box telling an unreadable settings file", true, warningBox},
        {"screen readers' references, which keep the DLL, across a reload", true, screenReader},
    };
    WhileABoxIsOpen(InsideTheLoop);
    int copy = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder = ProgramDirectory() + "unload" + std::to_string(++copy) + "\\";
        dll = folder + "zelk.dll";
        CreateDirectoryA(folder.c_str(), nullptr);
        DeleteFileA((folder + "zelk.rc").c_str());
        ASSERT_TRUE(CopyFileA((ProgramDirectory() + "..\\zelk.dll").c_str(), dll.c_str(), FALSE));
        Shell.module = LoadLibraryA(dll.c_str());
        ASSERT_NE(Shell.module, nullptr);
        Shell.end = reinterpret_cast<EndPluginFn>(
            reinterpret_cast<void*>(GetProcAddress(Shell.module, "endPlugin")));
        Shell.endInside = c.endInside;
        Shell.reached = 0;
        c.trigger(reinterpret_cast<BeginPluginFn>(
            reinterpret_cast<void*>(GetProcAddress(Shell.module, "beginPlugin"))));
        PumpMessages();
        EXPECT_EQ(Shell.reached, 1);
        if (!c.endInside) {
            Shell.end(); // the ordinary end, after the loop
            FreeLibrary(Shell.module);
            EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr) << "the loop's hold was released";
        } else {
            EXPECT_NE(GetModuleHandleA(dll.c_str()), nullptr) << "kept loaded by the loop";
        }
        EXPECT_EQ(FindWindowA(PluginClassName, nullptr), nullptr);
    }
    WhileABoxIsOpen(nullptr);
    EXPECT_TRUE(WalkedThroughZelk || sizeof(void*) == 4) << "a 64-bit stack walk from the menu";
}

// One user action, one write: each change is saved at once, and what changes
// nothing writes nothing.
TEST_F(WindowTest, EachActionWritesOnce) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}, {"c", 0}})));
    auto edit = [&](int entry, const char* text) {
        SendMessageA(Entry(entry)->label, WM_LBUTTONDBLCLK, 0, 0);
        SetWindowTextA(P().editControl, text);
    };
    auto move = [&](int dx) {
        SendMessageA(P().mainWindow, WM_ENTERSIZEMOVE, 0, 0);
        SetWindowPos(P().mainWindow, nullptr, P().x + dx, P().y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(P().mainWindow, WM_EXITSIZEMOVE, 0, 0);
    };
    struct Case {
        const char* what;
        std::function<void()> action;
        int writes;
    } cases[] = {
        {"tick", [&] { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); }, 1},
        {"untick by a left click", [&] { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); }, 1},
        {"middle click on an open entry",
         [&] { SendMessageA(Entry(0)->doneBox, WM_MBUTTONUP, 0, 0); }, 0},
        {"tick again", [&] { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); }, 1},
        {"untick by a middle click", [&] { SendMessageA(Entry(0)->doneBox, WM_MBUTTONUP, 0, 0); },
         1},
        {"edit stored by Enter",
         [&] {
             edit(1, "renamed");
             SendMessageA(P().editControl, WM_CHAR, VK_RETURN, 0);
         },
         1},
        {"edit stored by a click elsewhere",
         [&] {
             edit(1, "clicked");
             SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0);
         },
         1},
        {"edit stored by the start of another",
         [&] {
             edit(1, "next");
             SendMessageA(Entry(2)->label, WM_LBUTTONDBLCLK, 0, 0);
             SendMessageA(P().editControl, WM_CHAR, VK_ESCAPE, 0);
         },
         1},
        {"unchanged text",
         [&] {
             edit(1, " next ");
             SendMessageA(P().editControl, WM_CHAR, VK_RETURN, 0);
         },
         0},
        {"Escape",
         [&] {
             edit(1, "dropped");
             SendMessageA(P().editControl, WM_CHAR, VK_ESCAPE, 0);
             SendMessageA(P().mainWindow, WM_LBUTTONUP, 0, 0);
         },
         0},
        {"move", [&] { move(40); }, 1},
        {"drag that did not move", [&] { move(0); }, 0},
        {"hide and show",
         [&] {
             Broadcast("@CorvaneHidePlugins");
             Broadcast("@CorvaneShowPlugins");
         },
         0},
        {"add with an open edit",
         [&] {
             edit(0, "typed");
             SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
         },
         1},
        {"delete with an open edit",
         [&] {
             edit(0, "typed again");
             SendMessageA(Entry(3)->label, WM_RBUTTONDBLCLK, 0, 0);
         },
         1},
        {"undo delete with an open edit",
         [&] {
             edit(0, "typed again");
             KeyWithControl(P().mainWindow, 'Z');
         },
         1},
        {"width", [&] { Broadcast("@ovletInternal Width 150"); }, 1},
        {"the same width", [&] { Broadcast("@ovletInternal Width 150"); }, 0},
        {"width back", [&] { Broadcast("@ovletInternal Width 100"); }, 1},
        {"drag entry 4 to the top",
         [&] {
             SendMessageA(Entry(3)->label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 7));
             SendMessageA(Entry(3)->label, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, -30));
             SendMessageA(Entry(3)->label, WM_LBUTTONUP, 0, MAKELPARAM(30, static_cast<WORD>(-50)));
         },
         1},
        {"tick and remove ticked",
         [&] {
             SendMessageA(Entry(3)->doneBox, WM_LBUTTONUP, 0, 0);
             Broadcast("@ovletInternal RemoveTicked");
         },
         2},
        {"remove ticked with none", [&] { Broadcast("@ovletInternal RemoveTicked"); }, 0},
        {"undo the removal", [&] { Broadcast("@ovletInternal UndoDelete"); }, 1},
    };
    for (const Case& c : cases) {
        int before = SettingsFileReplacements();
        c.action();
        PumpMessages();
        EXPECT_EQ(SettingsFileReplacements() - before, c.writes) << c.what;
    }
    std::string entries =
        SettingsText({{"New Item", 0}, {"typed again", 0}, {"next", 0}, {"c", 1}});
    // Moved 40 to the right of where the file put it, and 10 up: the move
    // ends within the 10 pixels that snap it to the screen's top edge.
    EXPECT_EQ(File(), "zelk.position.x: 50\nzelk.position.y: 0" +
                          entries.substr(entries.find("\nzelk.width")));
}

// Whether an edit is open is the plug-in's own state: a hidden window keeps
// the typed text through the end, and closing the window is refused.
TEST_F(WindowTest, HiddenEditsAndCloseRequests) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    SendMessageA(Entry(1)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "typed while hidden");
    Broadcast("@CorvaneHidePlugins");
    HWND main = P().mainWindow;
    SendMessageA(main, WM_CLOSE, 0, 0);
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(main, WM_SYSKEYDOWN, VK_F4, 1 << 29); // Alt+F4
    PumpMessages();
    EXPECT_TRUE(IsWindow(main));
    Broadcast("@CorvaneShowPlugins");
    EXPECT_TRUE(IsWindowVisible(main));
    Stop();
    EXPECT_EQ(File(), SettingsText({{"a", 0}, {"typed while hidden", 0}}));

    // Escape closes an edit that never lost the keyboard: the end stores
    // nothing of it, hidden or not.
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    SendMessageA(Entry(0)->label, WM_LBUTTONDBLCLK, 0, 0);
    SetWindowTextA(P().editControl, "cancelled");
    SendMessageA(P().editControl, WM_CHAR, VK_ESCAPE, 0);
    Broadcast("@CorvaneHidePlugins");
    Stop();
    EXPECT_EQ(File(), SettingsText({{"a", 0}}));
}

// A run of failed saves is told by one box, from the plug-in's own message:
// unowned, topmost, a warning, naming the file and the system's reason. The
// next good save ends the run silently; the next failure starts a new one.
TEST_F(WindowTest, OneBoxPerRunOfFailures) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    auto readOnly = [](bool on) {
        SetFileAttributesA(SettingsPath().c_str(),
                           on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    };
    auto tick = [&](int entry, UINT button) {
        SendMessageA(Entry(entry)->doneBox, button, 0, 0);
        PumpMessages();
    };
    readOnly(true);
    const std::string before = File();
    ForgetBoxes();
    tick(0, WM_LBUTTONUP);
    tick(1, WM_LBUTTONUP);
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    PumpMessages();
    std::vector<MessageBoxSeen> boxes = BoxesShown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "zelk 1.0");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONWARNING | MB_TOPMOST));
    EXPECT_EQ(boxes[0].shownText, boxes[0].text) << "the box was open";
    EXPECT_NE(boxes[0].text.find(SettingsPath()), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(SystemMessage(ERROR_ACCESS_DENIED)), std::string::npos);
    EXPECT_NE(boxes[0].text.find("saved at the next change"), std::string::npos);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 1}, {"b", 1}, {"New Item", 0}}));

    readOnly(false);
    tick(0, WM_MBUTTONUP);
    EXPECT_EQ(File(), SettingsText({{"a", 0}, {"b", 1}, {"New Item", 0}}));
    readOnly(true);
    tick(0, WM_LBUTTONUP);
    EXPECT_EQ(BoxesShown().size(), 2u) << "a new run, a new box";

    // Anything may arrive while a box is open, even the end of the plug-in.
    readOnly(false);
    tick(0, WM_MBUTTONUP);
    readOnly(true);
    ForgetBoxes();
    WhileABoxIsOpen([&] {
        Broadcast("@CorvaneHidePlugins");
        SendMessageA(Entry(1)->doneBox, WM_MBUTTONUP, 0, 0);
        endPlugin();
    });
    tick(0, WM_LBUTTONUP);
    WhileABoxIsOpen(nullptr);
    EXPECT_EQ(ThePlugin, nullptr);
    EXPECT_EQ(BoxesShown().size(), 1u) << "the end in the same run shows no second box";
    readOnly(false);
    EXPECT_EQ(File(), SettingsText({{"a", 0}, {"b", 1}, {"New Item", 0}}));
}

// At the end, a last save that fails with no box shown in its run is told
// before endPlugin returns.
TEST_F(WindowTest, AFailedLastSaveIsToldAtTheEnd) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY);
    ForgetBoxes();
    endPlugin();
    SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<MessageBoxSeen> boxes = BoxesShown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(SettingsPath()), std::string::npos);
    EXPECT_NE(boxes[0].text.find("changes since the last good save could not be written"),
              std::string::npos);
    EXPECT_EQ(boxes[0].owner, nullptr);
}

namespace {

int SeamDpi = 96;
bool SeamHighContrast = false;

// Every DPI and high-contrast reading goes through the seam for the test.
class DisplayTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        SeamDpi = 96, SeamHighContrast = false;
        DpiSource = [](HWND) { return SeamDpi; };
        HighContrastSource = [] { return SeamHighContrast; };
    }
    void TearDown() override {
        WindowTest::TearDown();
        DpiSource = nullptr, HighContrastSource = nullptr;
    }
};

} // namespace

// Told 96, as a shell that is not DPI-aware is, zelk does not scale; told a
// new DPI it lays itself out anew, fonts too, at the suggested place kept on
// screen. Docked, a hidden listener hears the system's broadcasts.
TEST_F(DisplayTest, ScalesWithTheWindowsDpi) {
    auto fontHeight = [this] {
        LOGFONTA font = {};
        GetObjectA(P().editFont, sizeof font, &font);
        return font.lfHeight;
    };
    RECT work, r;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    GetWindowRect(P().mainWindow, &r);
    EXPECT_TRUE(SameRect(r, 10, 10, 100, 60) && fontHeight() == 12);
    RECT suggested = {work.right - 50, work.bottom - 40, work.right + 100, work.bottom + 50};
    SeamDpi = 192;
    SendMessageA(P().mainWindow, WM_DPICHANGED, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(P().mainWindow, &r);
    EXPECT_TRUE(SameRect(r, work.right - 200, work.bottom - 120, 200, 120));
    EXPECT_TRUE(SameRect(ChildRect(Entry(1)->label), 40, 46, 150, 30));
    EXPECT_EQ(fontHeight(), 24);
    EXPECT_TRUE(LooksFresh({{"a", 0}, {"b", 0}}));
    Stop();

    HWND slit = HostCreateSlit();
    std::string docked = SettingsText({{"a", 0}});
    docked.replace(docked.find("inSlit: false"), 13, "inSlit: true");
    ASSERT_TRUE(StartSlit(docked, slit));
    const int updates = HostSlitUpdateCount();
    SeamDpi = 144;
    SendMessageA(P().mainWindow, WM_DPICHANGED_AFTERPARENT, 0, 0);
    GetClientRect(P().mainWindow, &r);
    EXPECT_TRUE(SameRect(r, 0, 0, 150, 68));
    EXPECT_GT(HostSlitUpdateCount(), updates) << "the slit lays itself out again";
    SeamHighContrast = true;
    SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    PumpMessages();
    EXPECT_TRUE(LooksFresh({{"a", 0}}));
    EXPECT_EQ(PixelOf(Entry(0)->label, 0, 0), GetSysColor(COLOR_WINDOW));
    Stop();
    HostDestroySlit();
}

// The window's DPI counts, kept to 96..480, never the message's words, nor a place no window has.
TEST_F(DisplayTest, CraftedDpisAreLaidOutWithin96To480) {
    RECT absurd = {INT_MAX - 9, INT_MAX - 9, INT_MAX, INT_MAX};
    for (const POINT dpi : {POINT{96, 1}, {96, 65535}, {1, 3}, {3, 192}, {65535, 96}}) {
        ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}, {"c", 0}})));
        SetWindowPos(P().mainWindow, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SeamDpi = dpi.x;
        SendMessageA(P().mainWindow, WM_DPICHANGED, MAKEWPARAM(dpi.y, dpi.y),
                     reinterpret_cast<LPARAM>(&absurd));
        RECT r;
        GetWindowRect(P().mainWindow, &r);
        const int width = dpi.x > 96 ? 500 : 100; // three rows: 3/4 as high
        EXPECT_TRUE(SameRect(r, 40, 30, width, width * 3 / 4)) << dpi.x << " " << dpi.y;
        SendMessageA(P().mainWindow, WM_KEYDOWN, VK_NEXT, 0);
        EXPECT_EQ(FocusedEntry(), Entry(2)) << "every row in view: the last";
        for (UINT m : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) // a drag far below the rows
            SendMessageA(Entry(0)->label, m, MK_LBUTTON,
                         MAKELPARAM(5, m == WM_LBUTTONDOWN ? 5 : 999));
        EXPECT_EQ(ListedEntries(), (Entries{{"b", 0}, {"c", 0}, {"a", 0}}));
        Stop();
    }
}

// 50 entries at 192 DPI are taller than the screen: the window stops at the
// work area, the rows scroll (writing nothing), ticks, deletions and
// additions work scrolled, and an addition scrolls Add Item into view.
TEST_F(DisplayTest, RowsThatDoNotFitScroll) {
    RECT work, r;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    SeamDpi = 192;
    ASSERT_TRUE(Start(SettingsText(Entries(50, {"e", 0}))));
    const std::string file = File();
    GetWindowRect(P().mainWindow, &r);
    const int height = work.bottom - work.top;
    EXPECT_TRUE(SameRect(r, 10, work.top, 200, height));
    EXPECT_TRUE(IsWindowVisible(P().scrollBar) &&
                SameRect(ChildRect(P().scrollBar), 184, 0, 16, height));
    EXPECT_TRUE(RowVisible(0) && !RowVisible(49));
    SendMessageA(Entry(3)->label, WM_MOUSEWHEEL,
                 static_cast<WPARAM>(static_cast<WORD>(-120 * 30)) << 16, 0);
    EXPECT_TRUE(!RowVisible(0) && RowVisible(49));
    Entries entries(50, {"e", 0});
    EXPECT_TRUE(LooksFresh(entries, 100));
    EXPECT_EQ(ChildRect(P().addButton).bottom, height - 6) << "scrolled to the end";
    EXPECT_EQ(File(), file) << "scrolling writes nothing";

    SendMessageA(Entry(49)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Entry(49)->done, 1);
    SendMessageA(Entry(48)->label, WM_RBUTTONDBLCLK, 0, 0);
    ASSERT_EQ(CountListedItems(), 49);
    EXPECT_TRUE(SameRect(ChildRect(Entry(48)->label), 40, height - 74, 134, 30))
        << "the rows above come down";
    entries.pop_back();
    entries[48].second = 1;
    EXPECT_TRUE(LooksFresh(entries));

    SendMessageA(P().mainWindow, WM_VSCROLL, SB_TOP, 0);
    EXPECT_TRUE(SameRect(ChildRect(Entry(0)->label), 40, 16, 134, 30));
    EXPECT_TRUE(LooksFresh(entries));
    SendMessageA(P().addButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ChildRect(P().addButton).bottom, height - 6);
    EXPECT_TRUE(RowVisible(49));
    entries.emplace_back("New Item", 0);
    EXPECT_TRUE(LooksFresh(entries));
}

// A drag in a list taller than the screen: while the pointer rests within
// half a row of the window's bottom the rows scroll, whole rows and at most
// one per 100 ms, and stop once it leaves; at the top they scroll back. So
// an entry can be dragged past the rows that were in view.
TEST_F(DisplayTest, ADragScrollsTheListAtItsEdges) {
    SeamDpi = 192; // rows 30 pixels apart, the first label 16 from the top
    Entries entries;
    for (int i = 0; i < 50; ++i)
        entries.push_back({"e" + std::to_string(i), 0});
    ASSERT_TRUE(Start(SettingsText(entries)));
    const int bottom = ChildRect(P().scrollBar).bottom - 5;
    auto send = [&](UINT message, int y) { // y in the main window; entry 0 is dragged
        POINT at = {60, y};
        MapWindowPoints(P().mainWindow, Entry(0)->label, &at, 1);
        SendMessageA(Entry(0)->label, message, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    };
    auto rest = [&](int y, int ms) { // the rows scrolled while resting at y
        const int before = ChildRect(Entry(0)->label).top;
        const DWORD start = GetTickCount();
        send(WM_MOUSEMOVE, y);
        PumpMessages(ms);
        const int by = before - ChildRect(Entry(0)->label).top;
        EXPECT_TRUE(by % 30 == 0 && std::abs(by / 30) <= int(GetTickCount() - start) / 100 + 1);
        return by / 30;
    };
    send(WM_LBUTTONDOWN, 31);
    EXPECT_EQ(rest(200, 300), 0) << "away from the edges";
    EXPECT_GE(rest(bottom, 400), 1) << "at the bottom";
    EXPECT_EQ(rest(200, 300), 0) << "it stops once the pointer leaves";
    EXPECT_LE(rest(2, 400), -1) << "at the top";
    send(WM_MOUSEMOVE, bottom);
    for (int waited = 0; waited < 10000 && ChildRect(P().addButton).bottom > bottom; waited += 50)
        PumpMessages(50);
    const RECT r47 = ChildRect(Entry(47)->label);
    send(WM_LBUTTONUP, (r47.top + r47.bottom) / 2);
    Entries after(entries.begin() + 1, entries.end());
    after.insert(after.begin() + 47, entries[0]);
    EXPECT_EQ(ListedEntries(), after) << "dropped after the 48th entry, once in view";
}

// High contrast paints in the system's colours (after SetSysColors too), and
// turns translucency off, the file untouched; off brings the style back.
TEST_F(DisplayTest, HighContrastUsesTheSystemsColours) {
    std::string file = SettingsText({{"a", 0}, {"b", 1}});
    file.replace(file.find("transparency: false"), 19, "transparency: true");
    ASSERT_TRUE(Start(file));
    const COLORREF style = PixelOf(Entry(0)->label, 0, 0);
    SeamHighContrast = true;
    SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    PumpMessages(300);
    EXPECT_TRUE(LooksFresh({{"a", 0}, {"b", 1}}));
    EXPECT_EQ(PixelOf(Entry(0)->label, 0, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelOf(Entry(0)->doneBox, 0, 0), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(PixelOf(P().addButton, 5, 5), GetSysColor(COLOR_BTNFACE));
    EXPECT_FALSE(GetWindowLongA(P().mainWindow, GWL_EXSTYLE) & WS_EX_LAYERED);
    int element = COLOR_WINDOW;
    const COLORREF old = GetSysColor(COLOR_WINDOW), fresh = RGB(1, 2, 3);
    SetSysColors(1, &element, &fresh);
    PumpMessages();
    EXPECT_EQ(PixelOf(Entry(0)->label, 0, 0), fresh);
    SetSysColors(1, &element, &old);
    SeamHighContrast = false;
    SendMessageA(P().mainWindow, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(LooksFresh({{"a", 0}, {"b", 1}}));
    EXPECT_EQ(PixelOf(Entry(0)->label, 0, 0), style);
    EXPECT_TRUE(GetWindowLongA(P().mainWindow, GWL_EXSTYLE) & WS_EX_LAYERED);
    Stop();
    EXPECT_EQ(File(), file);
}

namespace {

// Real key strokes through the system's input queue, as a user types them:
// "Down", "C-Up" (with Control), "S-Tab" (with Shift), or one letter.
void Keys(const std::string& text) {
    static const std::map<std::string, WORD> named = {
        {"Up", VK_UP},      {"Down", VK_DOWN},     {"Home", VK_HOME},     {"End", VK_END},
        {"PgUp", VK_PRIOR}, {"PgDn", VK_NEXT},     {"Space", VK_SPACE},   {"Enter", VK_RETURN},
        {"F2", VK_F2},      {"F10", VK_F10},       {"Delete", VK_DELETE}, {"Insert", VK_INSERT},
        {"Tab", VK_TAB},    {"Escape", VK_ESCAPE}, {"Apps", VK_APPS}};
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const WORD modifier = word[1] != '-' ? 0 : word[0] == 'C' ? VK_CONTROL : VK_SHIFT;
        if (modifier) word.erase(0, 2);
        const WORD key = named.count(word) ? named.at(word) : static_cast<WORD>(toupper(word[0]));
        INPUT input[4] = {};
        UINT n = 0;
        for (WORD vk : {modifier, key, key, modifier}) {
            if (!vk) continue;
            input[n].type = INPUT_KEYBOARD;
            input[n].ki.wVk = vk;
            input[n].ki.dwFlags = n >= (modifier ? 2u : 1u) ? KEYEVENTF_KEYUP : 0;
            ++n;
        }
        PumpMessages(20); // a focus change on its way would reset the key state
        SendInput(n, input, sizeof(INPUT));
        PumpMessages(40);
    }
}

// A window of the program's own holding the keyboard, as the shell's would.
HWND TypingWindow() {
    HWND w = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 400, 400, 60, 20, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(w);
    SetFocus(w);
    return w;
}

std::vector<std::pair<DWORD, LONG>> Heard;
HWND HeardWindow = nullptr;
DWORD HeardFrom = 0; // the thread that made the last event heard

// The system's own focus event for the window itself (child 0) is not zelk's.
void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                   DWORD) {
    if (window == HeardWindow && object == OBJID_CLIENT && !(event == EVENT_OBJECT_FOCUS && !child))
        Heard.push_back({event, child}), HeardFrom = thread;
}

} // namespace

// Each key from a start with the keyboard given by the Focus command, checked
// against the file, the focused entry and where the keyboard is: in zelk's
// list (an edit gives it back there) unless Escape hands it back.
TEST_F(WindowTest, KeyTable) {
    const Entries abc = {{"a", 0}, {"b", 0}, {"c", 0}};
    const Entries fifty(50, {"e", 0});
    const Entries abcNew = {{"a", 0}, {"b", 0}, {"c", 0}, {"New Item", 0}};
    struct Case {
        Entries start;
        const char* keys;
        Entries after;
        int focus; // the focused row, -1 for Add Item
        int menus = 0;
        bool kept = true;           // the keyboard is in zelk's list at the end
        const char* then = nullptr; // a command broadcast after the keys
    } cases[] = {
        {abc, "Up", abc, 0},
        {abc, "Down Down Down", abc, 2},
        {abc, "End Home", abc, 0},
        {abc, "PgDn", abc, 2},
        {abc, "End PgUp", abc, 0},
        {abc, "Down Space", {{"a", 0}, {"b", 1}, {"c", 0}}, 1},
        {{{"a", 1}}, "Space", {{"a", 0}}, 0},
        {abc, "Down Delete", {{"a", 0}, {"c", 0}}, 1},
        {abc, "End Delete", {{"a", 0}, {"b", 0}}, 1},
        {{{"a", 0}}, "Delete", {}, -1},
        {abc, "Delete C-Z", abc, 0}, // the undone entry takes the focus
        {abc, "C-Down", {{"b", 0}, {"a", 0}, {"c", 0}}, 1},
        {abc, "End C-Down", abc, 2},
        {abc, "End C-Up C-Up", {{"c", 0}, {"a", 0}, {"b", 0}}, 0},
        {abc, "Tab", abc, -1},
        {abc, "Down Tab S-Tab", abc, 1},
        {abc, "Tab Space", abcNew, -1},
        {abc, "Tab Enter", abcNew, -1},
        {{}, "Space Space", {{"New Item", 0}, {"New Item", 0}}, -1},
        {abc, "Insert x Enter", {{"a", 0}, {"b", 0}, {"c", 0}, {"x", 0}}, 3},
        {fifty, "End Insert", fifty, 49},
        {abc, "F2 z z Enter", {{"zz", 0}, {"b", 0}, {"c", 0}}, 0},
        {abc, "Down Enter q Enter", {{"a", 0}, {"q", 0}, {"c", 0}}, 1},
        {abc, "F2 z Escape", abc, 0},
        {abc, "S-F10", abc, 0, 1},
        {abc, "Down Apps", abc, 1, 1},
        {abc, "Down Escape", abc, 1, 0, false},
        // The focused entry gone: the first after it that stays, else the
        // last, else Add Item.
        {{{"1", 0}, {"2", 1}, {"3", 1}, {"4", 1}, {"5", 0}, {"6", 0}},
         "Down Down",
         {{"1", 0}, {"5", 0}, {"6", 0}},
         1,
         0,
         true,
         "RemoveTicked"},
        {{{"a", 0}, {"b", 1}, {"c", 1}}, "Down", {{"a", 0}}, 0, 0, true, "RemoveTicked"},
        {{{"a", 1}, {"b", 1}}, "Down", {}, -1, 0, true, "RemoveTicked"},
    };
    HostSetMenuHook([](void*) { SetFocus(nullptr); },
                    nullptr); // the shell's menu takes the keyboard
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        ASSERT_TRUE(Start(SettingsText(c.start)));
        HWND before = TypingWindow();
        Broadcast("@ovletInternal Focus");
        PumpMessages(100);
        EXPECT_EQ(GetFocus(), P().mainWindow) << "the Focus command gives zelk the keyboard";
        const int menus = HostMenuShowCount();
        Keys(c.keys);
        if (c.then) Broadcast((std::string("@ovletInternal ") + c.then).c_str());
        EXPECT_EQ(File(), SettingsText(c.after));
        EXPECT_EQ(RowOfEntry(FocusedEntry()), c.focus);
        EXPECT_EQ(HostMenuShowCount() - menus, c.menus);
        EXPECT_EQ(GetFocus(), c.kept ? P().mainWindow : before);
        Stop();
        DestroyWindow(before);
    }
    HostSetMenuHook(nullptr, nullptr);
}

// Docked, a real click on a row takes the keyboard from the slit's window
// and focuses that row, so Control+Z reaches zelk. The mark shows in the
// focused row's text colour only while zelk has the keyboard, and a focus
// move repaints the two rows it moves between and nothing else.
TEST_F(WindowTest, AClickTakesTheKeyboardAndTheMarkFollowsIt) {
    const COLORREF text = RGB(0xff, 0xff, 0xff), background = RGB(0x20, 0x40, 0x80); // flat.style
    HWND slit = HostCreateSlit();
    std::string docked = SettingsText({{"a", 0}, {"b", 0}, {"c", 0}});
    docked.replace(docked.find("inSlit: false"), 13, "inSlit: true");
    ASSERT_TRUE(StartSlit(docked, slit));
    HWND before = TypingWindow();
    SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0);

    RECT r;
    GetWindowRect(Entry(1)->label, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    PumpMessages(100);
    EXPECT_EQ(GetFocus(), P().mainWindow);
    EXPECT_EQ(RowOfEntry(FocusedEntry()), 1);
    EXPECT_TRUE(PixelOf(Entry(1)->label, 0, 0) == text &&
                PixelOf(Entry(1)->label, 1, 0) == background &&
                PixelOf(Entry(0)->label, 0, 0) == background)
        << "a dotted mark on the focused row only";
    {
        PaintRecorder paints;
        Keys("Up");
        std::vector<HWND> rows = {Entry(0)->label, Entry(1)->label};
        std::sort(rows.begin(), rows.end());
        std::sort(PaintRecorder::painted.begin(), PaintRecorder::painted.end());
        EXPECT_EQ(PaintRecorder::painted, rows);
    }
    Keys("C-Z");
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 0}, {"b", 0}, {"c", 0}}));
    Keys("Escape");
    EXPECT_EQ(GetFocus(), before);
    EXPECT_EQ(PixelOf(Entry(1)->label, 0, 0), background) << "the mark goes with the keyboard";
    Stop();
    HostDestroySlit();
    DestroyWindow(before);
}

// What a screen reader gets through the system's functions: each child's
// name, role, state and default action, which ticks and saves; a bad child
// id refused; after the end, every method says the object is gone.
TEST_F(WindowTest, ScreenReadersReadTheList) {
    ASSERT_TRUE(Start(SettingsText({{"one", 0}, {"Zoë Купить", 1}})));
    Broadcast("@ovletInternal Focus");
    IAccessible* list = AccessibleOf(P().mainWindow);
    ASSERT_NE(list, nullptr);
    LONG count = 0, x, y, w, h;
    EXPECT_TRUE(list->get_accChildCount(&count) == S_OK && count == 3);
    const struct {
        const char* name;
        LONG role, state;
        const char* action;
    } children[] = {
        {"zelk", ROLE_SYSTEM_LIST, STATE_SYSTEM_FOCUSABLE, "error 0x80020003"},
        {"one", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED, "Check"},
        {"Zoë Купить", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED,
         "Uncheck"},
        {"Add Item", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE, "Press"},
    };
    for (LONG id = 0; id < 4; ++id) {
        EXPECT_EQ(Text(list, &IAccessible::get_accName, Child(id)), children[id].name);
        EXPECT_EQ(Text(list, &IAccessible::get_accDefaultAction, Child(id)), children[id].action);
        VARIANT role = {}, state = {};
        EXPECT_TRUE(list->get_accRole(Child(id), &role) == S_OK && role.lVal == children[id].role);
        EXPECT_TRUE(list->get_accState(Child(id), &state) == S_OK &&
                    state.lVal == children[id].state);
    }
    VARIANT found = {};
    EXPECT_TRUE(list->get_accFocus(&found) == S_OK && found.lVal == 1);
    EXPECT_EQ(list->accLocation(&x, &y, &w, &h, Child(2)), S_OK);
    EXPECT_TRUE(list->accHitTest(x + w - 2, y + h / 2, &found) == S_OK && found.lVal == 2);
    EXPECT_EQ(list->accNavigate(NAVDIR_NEXT, Child(3), &found), S_FALSE) << "Add Item is last";

    EXPECT_TRUE(list->accDoDefaultAction(Child(1)) == S_OK &&
                list->accDoDefaultAction(Child(3)) == S_OK);
    EXPECT_EQ(File(), SettingsText({{"one", 1}, {"Zoë Купить", 1}, {"New Item", 0}}));
    EXPECT_EQ(Text(list, &IAccessible::get_accName, Child(5)), "error 0x80070057") << "invalid";
    Stop();
    ASSERT_TRUE(Start(SettingsText({{"one", 0}}))); // the next start has an object of its own
    EXPECT_EQ(list->accDoDefaultAction(Child(1)), RPC_E_DISCONNECTED);
    list->Release();
}

// The win events a screen reader hears, out of context (posted to this
// thread, delivered while it pumps), for each change made from the keyboard.
TEST_F(WindowTest, ScreenReadersHearEachChange) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}, {"b", 0}})));
    HeardWindow = P().mainWindow;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, nullptr,
                                         Hear, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    const std::pair<const char*, std::vector<std::pair<DWORD, LONG>>> steps[] = {
        {"", {{EVENT_OBJECT_FOCUS, 1}}}, // the Focus command
        {"Down", {{EVENT_OBJECT_FOCUS, 2}}},
        {"Space", {{EVENT_OBJECT_STATECHANGE, 2}}},
        {"F2 x Enter", {{EVENT_OBJECT_FOCUS, 2}, {EVENT_OBJECT_NAMECHANGE, 2}}},
        {"C-Up", {{EVENT_OBJECT_REORDER, 0}}},
        {"Delete", {{EVENT_OBJECT_FOCUS, 1}, {EVENT_OBJECT_REORDER, 0}}},
        {"Tab", {{EVENT_OBJECT_FOCUS, 2}}},
    };
    for (const auto& step : steps) {
        Heard.clear();
        step.first[0] ? Keys(step.first) : Broadcast("@ovletInternal Focus");
        PumpMessages(50);
        EXPECT_EQ(Heard, step.second) << step.first;
    }
    UnhookWinEvent(hook);
}

// A screen reader's call through COM from another apartment (the shell's thread is in the
// multithreaded one) ticks on the window's thread, once that thread takes messages.
TEST_F(WindowTest, AScreenReadersCallOnAnotherThreadIsAnsweredOnTheWindowsThread) {
    static auto initialise = Find<HRESULT(WINAPI*)(LPVOID, DWORD)>("ole32.dll", "CoInitializeEx");
    ASSERT_TRUE(initialise(nullptr, COINIT_MULTITHREADED) == S_OK &&
                Start(SettingsText({{"a", 0}})));
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, nullptr,
                                         Hear, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    HRESULT ticked = E_PENDING;
    std::thread reader([&, window = HeardWindow = P().mainWindow] {
        initialise(nullptr, COINIT_APARTMENTTHREADED);
        IAccessible* list = AccessibleOf(window);
        InterlockedExchange(&ticked, list->accDoDefaultAction(Child(1)));
        list->Release();
        Find<void(WINAPI*)()>("ole32.dll", "CoUninitialize")();
    });
    while (InterlockedCompareExchange(&ticked, 0, 0) == E_PENDING)
        PumpMessages(5);
    reader.join();
    PumpMessages(50);
    EXPECT_TRUE(ticked == S_OK && HeardFrom == GetCurrentThreadId());
    UnhookWinEvent(hook);
    Stop();
    Find<void(WINAPI*)()>("ole32.dll", "CoUninitialize")();
}
