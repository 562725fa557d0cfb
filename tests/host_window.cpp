// The host's windows: subscriptions and delivery, WM_COPYDATA commands,
// paths and styles, edge snapping, the slit and the menus.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "host_support.h"

namespace {

std::vector<std::pair<HWND, std::string>> deliveries; // receiver, "message:text"
std::function<void(HWND)> onDelivery;                 // what a receiver does meanwhile

LRESULT CALLBACK receiverProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != HOSTMSG_BROADCAST && m != HOSTMSG_RECONFIGURE) return DefWindowProcA(w, m, wp, lp);
    const char* text = m == HOSTMSG_BROADCAST ? reinterpret_cast<const char*>(lp) : "";
    deliveries.push_back({w, std::to_string(m) + ":" + text});
    if (onDelivery) onDelivery(w);
    return 0;
}

HWND makeWindow(int w = 10, int h = 10) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = receiverProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "HostTestReceiver";
    RegisterClassA(&wc); // fails harmlessly once registered
    return CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, w, h, NULL, NULL,
                           wc.hInstance, NULL);
}

void subscribe(UINT action, HWND window, std::vector<UINT> messages) {
    messages.push_back(0);
    SendMessageA(GetCorvaneWnd(), action, WPARAM(window), LPARAM(messages.data()));
    std::fill(messages.begin(), messages.end(), 0xdeadu); // valid only during the call
}

// Closes a menu the keys typed for it left open, as a click elsewhere would.
void CALLBACK closeMenu(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

class HostWindows : public testing::Test {
  protected:
    void SetUp() override {
        HostClearRecords();
        deliveries.clear();
        onDelivery = nullptr;
        a = makeWindow();
        b = makeWindow();
    }
    void TearDown() override {
        onDelivery = nullptr;
        DestroyWindow(a);
        DestroyWindow(b);
        HostClearRecords();
    }
    std::string log() const {
        std::string s;
        for (auto& d : deliveries)
            s += (d.first == a ? "a" : d.first == b ? "b" : "?") + d.second + ";";
        return s;
    }
    HWND a, b;
};

TEST_F(HostWindows, SubscriptionsAreRecordedAndDelivered) {
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST, HOSTMSG_RECONFIGURE});
    subscribe(HOSTMSG_REGISTER, b, {HOSTMSG_BROADCAST});
    subscribe(HOSTMSG_REGISTER, b, {HOSTMSG_BROADCAST}); // no duplicate
    ASSERT_EQ(HostSubscriptionCount(), 3);
    EXPECT_EQ(HostSubscriptionWindow(2), b);
    EXPECT_EQ(HostSubscriptionMessage(1), UINT(HOSTMSG_RECONFIGURE));
    HostBroadcast("@zelk.add milk");
    HostReconfigure();
    subscribe(HOSTMSG_UNREGISTER, a, {HOSTMSG_BROADCAST});
    HostBroadcast("x");
    HostReconfigure();
    EXPECT_EQ(log(), "a10901:@zelk.add milk;b10901:@zelk.add milk;a10103:;b10901:x;a10103:;");
}

TEST_F(HostWindows, ReceiversMayDestroyOrUnsubscribeDuringDelivery) {
    HWND c = makeWindow();
    for (HWND w : {a, b, c})
        subscribe(HOSTMSG_REGISTER, w, {HOSTMSG_BROADCAST});
    onDelivery = [&](HWND) { // a destroys b and itself, and unsubscribes c
        DestroyWindow(b);
        subscribe(HOSTMSG_UNREGISTER, c, {HOSTMSG_BROADCAST});
        DestroyWindow(a);
    };
    HostBroadcast("once");
    EXPECT_EQ(deliveries.size(), 1u);
    onDelivery = nullptr;
    HostBroadcast("again"); // destroyed windows are skipped
    EXPECT_EQ(deliveries.size(), 1u);
    DestroyWindow(c);
}

TEST_F(HostWindows, CopyDataCommands) {
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST, HOSTMSG_RECONFIGURE});
    auto send = [](ULONG_PTR kind, const std::string& text, size_t size) {
        COPYDATASTRUCT data = {kind, DWORD(size), const_cast<char*>(text.c_str())};
        return SendMessageA(GetCorvaneWnd(), WM_COPYDATA, 0, LPARAM(&data));
    };
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "@zelk.toggle", 13));
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "reconfigure", 12));
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "abcdef", 3)); // no terminator in the data
    EXPECT_FALSE(send(99, "x", 2));
    EXPECT_EQ(log(), "a10901:@zelk.toggle;a10103:;a10901:abc;");

    ScratchFolder folder;
    std::string style = folder.file("s.style"), missing = folder.file("missing.style");
    WriteFileText(style, "toolbar.color: #123456\n");
    EXPECT_TRUE(send(HOSTCOPY_STYLE, style, style.size() + 1));
    EXPECT_FALSE(send(HOSTCOPY_STYLE, missing, missing.size() + 1));
    EXPECT_EQ(std::string(stylePath(nullptr)), style);
    HostSetStyle(nullptr);
}

TEST_F(HostWindows, PathsAndStyles) {
    char buffer[MAX_PATH], small[12];
    std::string exeFolder = GetCorvanePath(buffer, sizeof buffer);
    ASSERT_EQ(exeFolder.back(), '\\');
    HostSetPath("C:\\some\\dir");
    EXPECT_STREQ(GetCorvanePath(buffer, sizeof buffer), "C:\\some\\dir\\");
    memset(small, '#', sizeof small);
    GetCorvanePath(small, 8);
    EXPECT_EQ(std::string(small, 12), std::string("C:\\some\0####", 12));
    HostSetPath(nullptr);
    EXPECT_EQ(std::string(GetCorvanePath(buffer, sizeof buffer)), exeFolder);

    // The styles are copied beside the program, each with the keys the plug-in reads.
    std::string styles = exeFolder + "styles\\";
    EXPECT_EQ(std::string(stylePath(nullptr)), styles + "default.style");
    for (const char* name : {"default", "dark", "light", "flat"})
        for (const char* key : {"toolbar:", "toolbar.color:", "toolbar.colorTo:", "toolbar.font:",
                                "toolbar.textColor:", "window.label.unfocus.textColor:",
                                "borderColor:", "bevelWidth:", "borderWidth:"})
            EXPECT_TRUE(ReadString((styles + name + ".style").c_str(), key, nullptr))
                << name << " " << key;
    HostSetStyle((styles + "flat.style").c_str());
    EXPECT_EQ(std::string(stylePath("ignored")), styles + "flat.style");
    HostSetStyle(nullptr);
    EXPECT_EQ(std::string(stylePath(nullptr)), styles + "default.style");
}

TEST_F(HostWindows, SnapToTheWorkAreaEdges) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    SetWindowPos(a, NULL, 300, 300, 120, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    struct Case {
        int x, y, cx, cy;
        UINT flags;
        int expectedX, expectedY;
    } const cases[] = {
        {work.left + 5, work.top + 7, 100, 50, 0, work.left, work.top},
        {work.right - 108, work.bottom - 53, 100, 50, 0, work.right - 100, work.bottom - 50},
        {work.left + 10, work.top - 10, 100, 50, 0, work.left, work.top}, // exactly the distance
        {work.left + 11, work.top + 200, 100, 50, 0, work.left + 11, work.top + 200},
        {work.left + 5, work.top + 5, 100, 50, SWP_NOMOVE, work.left + 5, work.top + 5},
        {work.right - 124, work.bottom - 45, 0, 0, SWP_NOSIZE, work.right - 120, work.bottom - 40},
    };
    for (const Case& c : cases) {
        WINDOWPOS pos = {a, NULL, c.x, c.y, c.cx, c.cy, c.flags};
        SnapWindowToEdge(&pos, 10, 0);
        EXPECT_EQ(pos.x, c.expectedX) << "case " << (&c - cases);
        EXPECT_EQ(pos.y, c.expectedY) << "case " << (&c - cases);
    }
}

TEST_F(HostWindows, SlitStacksDockedWindows) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    HWND slit = HostCreateSlit();
    ASSERT_TRUE(IsWindowVisible(slit));
    // Slit size, then the top-left of each docked window inside it.
    auto layout = [&] {
        RECT r;
        GetWindowRect(slit, &r);
        std::string s = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
        EXPECT_EQ(r.right, work.right);
        EXPECT_EQ(r.top, work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2);
        for (int i = 0; i < HostSlitCount(); ++i) {
            GetWindowRect(HostSlitWindow(i), &r);
            POINT p = {r.left, r.top};
            ScreenToClient(slit, &p);
            s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
        }
        return s;
    };
    EXPECT_EQ(layout(), "4x4");
    HWND small = makeWindow(40, 20), large = makeWindow(60, 30);
    for (HWND w : {small, large, small})
        SendMessageA(slit, SLITMSG_ADD, 0, LPARAM(w));
    EXPECT_EQ(layout(), "64x56 2,2 2,24");
    EXPECT_EQ(GetParent(small), slit);
    EXPECT_EQ(GetWindowLongA(small, GWL_STYLE) & (WS_CHILD | WS_POPUP), LONG(WS_CHILD));

    DestroyWindow(small);
    SendMessageA(slit, SLITMSG_UPDATE, 0, 0);
    EXPECT_EQ(layout(), "64x34 2,2");
    SetParent(large, NULL); // taken out of the slit by its owner
    SendMessageA(slit, SLITMSG_UPDATE, 0, 0);
    EXPECT_EQ(layout(), "4x4");
    DestroyWindow(large);
    HostDestroySlit();
    EXPECT_FALSE(IsWindow(slit));
}

TEST_F(HostWindows, MenusAreRecordedAndFreed) {
    int live = HostMenuLiveCount();
    HostMenu menu = MakeMenu("zelk"), window = MakeMenu("Configuration");
    MakeMenuItem(window, "Always On Top", "@zelk.alwaysOnTop", true);
    MakeSubmenu(menu, window, "Window");
    MakeMenuItem(menu, "About", "@zelk.about", false);
    MakeSubmenu(window, menu, "cycle"); // refused: a menu inside itself
    MakeSubmenu(menu, menu, "self");    // refused
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST});
    ShowMenu(menu);
    EXPECT_STREQ(HostLastMenu(), "zelk\n"
                                 "  Window >\n"
                                 "    Always On Top -> @zelk.alwaysOnTop [x]\n"
                                 "  About -> @zelk.about\n");
    EXPECT_EQ(HostMenuLiveCount(), live); // shown menus are freed

    // Shown to a user, who closes it with Escape, then picks the last item
    // with Up and Return: only that choice is broadcast, and only once
    // ShowMenu has returned.
    HostSetMenuInteractive(true);
    for (const std::vector<WPARAM>& keys : {std::vector<WPARAM>{VK_ESCAPE}, {VK_UP, VK_RETURN}}) {
        HostMenu shown = MakeMenu("zelk");
        MakeMenuItem(shown, "Always On Top", "@zelk.alwaysOnTop", true);
        MakeMenuItem(shown, "About", "@zelk.about", false);
        for (WPARAM key : keys) // typed ahead: the menu's own loop reads them
            PostMessageA(GetCorvaneWnd(), WM_KEYDOWN, key, 0);
        UINT_PTR timer = SetTimer(NULL, 0, 3000, closeMenu);
        ShowMenu(shown);
        KillTimer(NULL, timer);
        EXPECT_TRUE(deliveries.empty()) << "nothing runs inside ShowMenu";
        for (MSG msg; PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
    }
    HostSetMenuInteractive(false);
    EXPECT_EQ(log(), "a10901:@zelk.about;");

    DelMenu(menu); // stale: ignored
    HostMenu again = MakeMenu("again"), sub = MakeMenu("sub");
    EXPECT_NE(again, menu); // handles are never reused
    MakeSubmenu(again, sub, "Sub");
    DelMenu(sub); // also leaves its parent
    ShowMenu(again);
    EXPECT_STREQ(HostLastMenu(), "again\n");
    EXPECT_EQ(HostMenuLiveCount(), live);

    // The menu deleted while it is shown, and a new one made in its place:
    // ShowMenu frees neither twice nor the newcomer.
    static HostMenu shown, made;
    shown = MakeMenu("shown");
    HostSetMenuHook(
        [](void*) {
            DelMenu(shown);
            made = MakeMenu("made meanwhile");
        },
        nullptr);
    ShowMenu(shown);
    HostSetMenuHook(nullptr, nullptr);
    EXPECT_EQ(HostMenuLiveCount(), live + 1);
    ShowMenu(made);
    EXPECT_STREQ(HostLastMenu(), "made meanwhile\n");
}

} // namespace
