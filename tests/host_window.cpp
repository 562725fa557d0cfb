// The host's windows: subscriptions and delivery, WM_COPYDATA commands,
// paths, sticky records, edge snapping, the slit and the menu records.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "host_support.h"

namespace {

struct Delivery {
    HWND window;
    UINT message;
    std::string text;
};
std::vector<Delivery> deliveries;
std::map<HWND, std::function<void()>> onDelivery; // what a receiver does when it gets one

LRESULT CALLBACK receiverProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == HOSTMSG_BROADCAST || m == HOSTMSG_RECONFIGURE) {
        deliveries.push_back({w, m, m == HOSTMSG_BROADCAST ? reinterpret_cast<const char*>(lp) : ""});
        auto action = onDelivery.find(w);
        if (action != onDelivery.end()) action->second();
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HWND makeWindow(int w = 10, int h = 10) {
    static bool registered;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = receiverProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "HostTestReceiver";
        registered = RegisterClassA(&wc) != 0;
    }
    return CreateWindowExA(WS_EX_TOOLWINDOW, "HostTestReceiver", "", WS_POPUP, 0, 0, w, h, NULL,
                           NULL, GetModuleHandleA(NULL), NULL);
}

void subscribe(UINT action, HWND window, std::vector<UINT> messages) {
    messages.push_back(0);
    SendMessageA(GetCorvaneWnd(), action, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(messages.data()));
    // The list was valid only during the call.
    std::fill(messages.begin(), messages.end(), 0xdeadu);
}

std::string log() {
    std::string s;
    for (const Delivery& d : deliveries)
        s += std::to_string(d.message) + ":" + d.text + ";";
    return s;
}

class HostWindows : public testing::Test {
protected:
    void SetUp() override {
        HostClearRecords();
        deliveries.clear();
        onDelivery.clear();
        a = makeWindow();
        b = makeWindow();
    }
    void TearDown() override {
        onDelivery.clear();
        if (IsWindow(a)) DestroyWindow(a);
        if (IsWindow(b)) DestroyWindow(b);
        HostClearRecords();
    }
    std::vector<HWND> receivers() const {
        std::vector<HWND> r;
        for (const Delivery& d : deliveries) r.push_back(d.window);
        return r;
    }
    HWND a, b;
};

TEST_F(HostWindows, SubscriptionsAreRecordedAndDelivered) {
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST, HOSTMSG_RECONFIGURE});
    subscribe(HOSTMSG_REGISTER, b, {HOSTMSG_BROADCAST});
    subscribe(HOSTMSG_REGISTER, b, {HOSTMSG_BROADCAST}); // no duplicate
    ASSERT_EQ(HostSubscriptionCount(), 3);
    EXPECT_EQ(HostSubscriptionWindow(0), a);
    EXPECT_EQ(HostSubscriptionMessage(0), UINT(HOSTMSG_BROADCAST));
    EXPECT_EQ(HostSubscriptionMessage(1), UINT(HOSTMSG_RECONFIGURE));
    EXPECT_EQ(HostSubscriptionWindow(2), b);
    EXPECT_EQ(HostSubscriptionWindow(3), HWND(NULL));

    HostBroadcast("@zelk.add milk");
    EXPECT_EQ(receivers(), (std::vector<HWND>{a, b}));
    EXPECT_EQ(deliveries[1].text, "@zelk.add milk");
    deliveries.clear();
    HostReconfigure();
    EXPECT_EQ(receivers(), (std::vector<HWND>{a}));

    deliveries.clear();
    subscribe(HOSTMSG_UNREGISTER, a, {HOSTMSG_BROADCAST});
    EXPECT_EQ(HostSubscriptionCount(), 2);
    HostBroadcast("x");
    HostReconfigure();
    EXPECT_EQ(receivers(), (std::vector<HWND>{b, a}));
    EXPECT_EQ(deliveries[1].message, UINT(HOSTMSG_RECONFIGURE));
}

TEST_F(HostWindows, ReceiversMayDestroyOrUnsubscribeDuringDelivery) {
    HWND c = makeWindow();
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST});
    subscribe(HOSTMSG_REGISTER, b, {HOSTMSG_BROADCAST});
    subscribe(HOSTMSG_REGISTER, c, {HOSTMSG_BROADCAST});
    // a destroys itself and b; c is taken out of the subscriptions.
    onDelivery[a] = [&] {
        DestroyWindow(b);
        subscribe(HOSTMSG_UNREGISTER, c, {HOSTMSG_BROADCAST});
        DestroyWindow(a);
    };
    HostBroadcast("once");
    EXPECT_EQ(receivers(), (std::vector<HWND>{a}));
    deliveries.clear();
    onDelivery.clear();
    HostBroadcast("again"); // the destroyed windows are skipped
    EXPECT_TRUE(deliveries.empty());
    DestroyWindow(c);
}

TEST_F(HostWindows, CopyDataCommands) {
    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST, HOSTMSG_RECONFIGURE});
    auto send = [](ULONG_PTR kind, const char* text, DWORD size) {
        COPYDATASTRUCT data = {kind, size, const_cast<char*>(text)};
        return SendMessageA(GetCorvaneWnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "@zelk.toggle", 13));
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "reconfigure", 12));
    EXPECT_TRUE(send(HOSTCOPY_COMMAND, "abcdef", 3)); // no terminator in the data
    EXPECT_FALSE(send(99, "x", 2));
    EXPECT_EQ(log(), "10901:@zelk.toggle;10103:;10901:abc;");

    ScratchFolder folder;
    std::string style = folder.file("s.style");
    writeBytes(style, "toolbar.color: #123456\n");
    EXPECT_TRUE(send(HOSTCOPY_STYLE, style.c_str(), DWORD(style.size() + 1)));
    EXPECT_EQ(std::string(stylePath(nullptr)), style);
    std::string missing = folder.file("missing.style");
    EXPECT_FALSE(send(HOSTCOPY_STYLE, missing.c_str(), DWORD(missing.size() + 1)));
    EXPECT_EQ(std::string(stylePath(nullptr)), style);
    HostSetStyle(nullptr);
}

TEST_F(HostWindows, PathsAndStyles) {
    char buffer[MAX_PATH];
    std::string exeFolder = GetCorvanePath(buffer, sizeof buffer);
    ASSERT_FALSE(exeFolder.empty());
    EXPECT_EQ(exeFolder.back(), '\\');
    EXPECT_TRUE(FileExists(exeFolder.c_str()));

    HostSetPath("C:\\some\\dir");
    EXPECT_STREQ(GetCorvanePath(buffer, sizeof buffer), "C:\\some\\dir\\");
    char small[12];
    memset(small, '#', sizeof small);
    GetCorvanePath(small, 8);
    EXPECT_EQ(std::string(small, 12), std::string("C:\\some\0####", 12));
    EXPECT_EQ(GetCorvanePath(nullptr, 10), nullptr);
    HostSetPath(nullptr);
    EXPECT_EQ(std::string(GetCorvanePath(buffer, sizeof buffer)), exeFolder);

    // The default style is copied beside the program, and every style has the
    // keys the plug-in reads.
    std::string def = stylePath(nullptr);
    EXPECT_EQ(def, exeFolder + "styles\\default.style");
    for (const char* name : {"default", "dark", "light", "flat"}) {
        std::string path = exeFolder + "styles\\" + name + ".style";
        for (const char* key : {"toolbar:", "toolbar.color:", "toolbar.colorTo:", "toolbar.textColor:",
                                "window.label.unfocus.textColor:", "borderColor:", "bevelWidth:",
                                "borderWidth:", "toolbar.font:"})
            EXPECT_NE(ReadString(path.c_str(), key, nullptr), nullptr) << name << " " << key;
    }
    std::string flat = exeFolder + "styles\\flat.style";
    EXPECT_STREQ(ReadString(flat.c_str(), "toolbar:", ""), "flat solid");
    EXPECT_EQ(ReadInt(flat.c_str(), "borderWidth:", -1), 0);
    HostSetStyle(flat.c_str());
    EXPECT_EQ(std::string(stylePath("ignored")), flat);
    HostSetStyle(nullptr);
    EXPECT_EQ(std::string(stylePath(nullptr)), def);
}

TEST_F(HostWindows, FileExists) {
    ScratchFolder folder;
    std::string file = folder.file("f.txt");
    writeBytes(file, "x");
    EXPECT_TRUE(FileExists(file.c_str()));
    EXPECT_TRUE(FileExists(folder.path().c_str()));
    EXPECT_FALSE(FileExists(folder.file("nothing").c_str()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(nullptr));
}

TEST_F(HostWindows, StickyWindowsAreRecordedInOrder) {
    MakeSticky(a);
    MakeSticky(nullptr);
    MakeSticky(b);
    ASSERT_EQ(HostStickyCount(), 2);
    EXPECT_EQ(HostStickyWindow(0), a);
    EXPECT_EQ(HostStickyWindow(1), b);
    HostClearRecords();
    EXPECT_EQ(HostStickyCount(), 0);
}

TEST_F(HostWindows, SnapToTheWorkAreaEdges) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    SetWindowPos(a, NULL, 300, 300, 120, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    struct Case {
        const char* name;
        int x, y, cx, cy;
        UINT flags;
        int expectedX, expectedY;
    } const cases[] = {
        {"near left and top", work.left + 5, work.top + 7, 100, 50, 0, work.left, work.top},
        {"near right and bottom", work.right - 108, work.bottom - 53, 100, 50, 0, work.right - 100,
         work.bottom - 50},
        {"exactly the distance", work.left + 10, work.top - 10, 100, 50, 0, work.left, work.top},
        {"too far", work.left + 11, work.top + 200, 100, 50, 0, work.left + 11, work.top + 200},
        {"not moving", work.left + 5, work.top + 5, 100, 50, SWP_NOMOVE, work.left + 5, work.top + 5},
        {"size from the window", work.right - 124, work.bottom - 45, 0, 0, SWP_NOSIZE,
         work.right - 120, work.bottom - 40},
    };
    for (const Case& c : cases) {
        WINDOWPOS pos = {a, NULL, c.x, c.y, c.cx, c.cy, c.flags};
        SnapWindowToEdge(&pos, 10, 0);
        EXPECT_EQ(pos.x, c.expectedX) << c.name;
        EXPECT_EQ(pos.y, c.expectedY) << c.name;
    }
    SnapWindowToEdge(nullptr, 10, 0);
}

TEST_F(HostWindows, SlitStacksDockedWindows) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    HWND slit = HostCreateSlit();
    ASSERT_TRUE(IsWindow(slit));
    EXPECT_TRUE(IsWindowVisible(slit));
    EXPECT_EQ(HostCreateSlit(), slit);

    auto slitRect = [&] {
        RECT r;
        GetWindowRect(slit, &r);
        return r;
    };
    auto expectSlit = [&](int w, int h, const char* when) {
        RECT r = slitRect();
        EXPECT_EQ(r.right - r.left, w) << when;
        EXPECT_EQ(r.bottom - r.top, h) << when;
        EXPECT_EQ(r.right, work.right) << when;
        EXPECT_EQ(r.top, work.top + (work.bottom - work.top - h) / 2) << when;
    };
    auto placeOf = [&](HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        POINT p = {r.left, r.top};
        ScreenToClient(slit, &p);
        return p;
    };
    expectSlit(4, 4, "empty");

    HWND small = makeWindow(40, 20), large = makeWindow(60, 30);
    SendMessageA(slit, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(small));
    SendMessageA(slit, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(large));
    SendMessageA(slit, SLITMSG_ADD, 0, reinterpret_cast<LPARAM>(small)); // already docked
    ASSERT_EQ(HostSlitCount(), 2);
    EXPECT_EQ(HostSlitWindow(0), small);
    EXPECT_EQ(GetParent(small), slit);
    LONG style = GetWindowLongA(small, GWL_STYLE);
    EXPECT_TRUE((style & WS_CHILD) && !(style & WS_POPUP));
    EXPECT_EQ(placeOf(small).x, 2);
    EXPECT_EQ(placeOf(small).y, 2);
    EXPECT_EQ(placeOf(large).x, 2);
    EXPECT_EQ(placeOf(large).y, 24);
    expectSlit(64, 56, "two docked");

    DestroyWindow(small);
    SendMessageA(slit, SLITMSG_UPDATE, 0, 0);
    ASSERT_EQ(HostSlitCount(), 1);
    EXPECT_EQ(placeOf(large).y, 2);
    expectSlit(64, 34, "one left");

    SetParent(large, NULL); // taken out of the slit by its owner
    SendMessageA(slit, SLITMSG_UPDATE, 0, 0);
    EXPECT_EQ(HostSlitCount(), 0);
    expectSlit(4, 4, "emptied");
    DestroyWindow(large);

    HostDestroySlit();
    EXPECT_FALSE(IsWindow(slit));
}

TEST_F(HostWindows, MenusAreRecordedAndFreed) {
    int live = HostMenuLiveCount(), shown = HostMenuShowCount();
    HostMenu menu = MakeMenu("zelk");
    HostMenu window = MakeMenu("Configuration");
    MakeMenuItem(window, "Always On Top", "@zelk.alwaysOnTop", true);
    MakeMenuItem(window, "Snap", "@zelk.snap", false);
    MakeSubmenu(menu, window, "Window");
    MakeMenuItem(menu, "About", "@zelk.about", false);
    MakeSubmenu(window, menu, "cycle"); // refused: a menu inside itself
    MakeSubmenu(menu, menu, "self");    // refused
    EXPECT_EQ(HostMenuLiveCount(), live + 2);

    subscribe(HOSTMSG_REGISTER, a, {HOSTMSG_BROADCAST});
    ShowMenu(menu);
    EXPECT_EQ(HostMenuShowCount(), shown + 1);
    EXPECT_STREQ(HostLastMenu(),
                 "zelk\n"
                 "  Window >\n"
                 "    Always On Top -> @zelk.alwaysOnTop [x]\n"
                 "    Snap -> @zelk.snap\n"
                 "  About -> @zelk.about\n");
    EXPECT_TRUE(deliveries.empty()); // nothing chosen without a user
    EXPECT_EQ(HostMenuLiveCount(), live);

    DelMenu(menu); // already freed by ShowMenu: ignored
    DelMenu(window);
    DelMenu(nullptr);
    HostMenu again = MakeMenu("again");
    EXPECT_NE(again, menu); // handles are never reused
    HostMenu sub = MakeMenu("sub");
    MakeSubmenu(again, sub, "Sub");
    DelMenu(sub); // taken out of its parent
    ShowMenu(again);
    EXPECT_STREQ(HostLastMenu(), "again\n");
    EXPECT_EQ(HostMenuLiveCount(), live);
}

} // namespace
