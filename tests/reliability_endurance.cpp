// Years of use in a few seconds: long runs of adds, deletes and ticks, and
// seeded random sessions checked against a plain model of the list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "CorvaneHost.h"
#include "Reliability.h"
#include "TestSupport.h"
#include "plugin/EntryPoints.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"

using namespace test;
using reliability::TheReport;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

// Like HighestFreshGdiSlot: the USER handle table also reuses freed slots
// first, so leaked windows show as a climbing slot.
int HighestFreshWindowSlot() {
    HWND probes[32];
    int highest = 0;
    for (HWND& p : probes) {
        p = CreateWindowExA(0, "STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr);
        highest = std::max(highest, static_cast<int>(reinterpret_cast<UINT_PTR>(p) & 0xffff));
    }
    for (HWND p : probes)
        DestroyWindow(p);
    return highest;
}

// Blocks in use on every heap of the process: a leaked entry or style record
// shows as one more block per cycle.
int BusyHeapBlocks() {
    HANDLE heaps[64];
    DWORD n = GetProcessHeaps(64, heaps);
    int busy = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
        HeapUnlock(heaps[i]);
    }
    return busy;
}

struct Usage {
    int gdi, windows, heap;
    static Usage Now() {
        return {HighestFreshGdiSlot(), HighestFreshWindowSlot(), BusyHeapBlocks()};
    }
};

class Endurance : public testing::Test {
  protected:
    void SetUp() override { UseStyle("default.style"); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
    }
};

} // namespace

TEST_F(Endurance, AddDeleteAndTickCyclesLeakNothing) {
    // Few rows keep each rebuild and repaint short; what is measured is growth.
    ASSERT_TRUE(Start(SettingsText({{"one", 0}, {"two", 1}})));
    // Adds an entry and deletes it again.
    auto cycle = [] {
        SendMessageA(ThePlugin->addButton, WM_LBUTTONUP, 0, 0);
        SendMessageA(Entry(2)->label, WM_RBUTTONDBLCLK, 0, 0);
        PumpMessages();
    };
    for (int i = 0; i < 30; ++i)
        cycle(); // warm-up
    const Usage before = Usage::Now();
    // ZELK_ENDURANCE_DIVISOR=N runs a tenth, say, for a slower instrumented build.
    const char* divisor = getenv("ZELK_ENDURANCE_DIVISOR");
    const int shorter = divisor && atoi(divisor) > 0 ? atoi(divisor) : 1;
    const int cycles = 1000 / shorter;
    for (int i = 0; i < cycles; ++i)
        cycle();
    TheReport().addDeleteCycles += cycles + 30;

    const int repaints = 10000 / shorter;
    for (int i = 0; i < repaints; ++i) {
        SendMessageA(Entry(i % 2)->doneBox, (i / 2) % 2 ? WM_MBUTTONUP : WM_LBUTTONUP, 0, 0);
        UpdateWindow(ThePlugin->mainWindow);
    }
    TheReport().tickRepaints += repaints;
    PumpMessages();
    const Usage after = Usage::Now();
    char line[200];
    snprintf(line, sizeof line,
             "after %d add/delete cycles and %d tick repaints: highest fresh GDI slot %d -> %d, "
             "highest fresh window slot %d -> %d, busy heap blocks %d -> %d",
             cycles, repaints, before.gdi, after.gdi, before.windows, after.windows, before.heap,
             after.heap);
    TheReport().growth.push_back(line);
    EXPECT_LT(after.gdi - before.gdi, 50) << line;
    EXPECT_LT(after.windows - before.windows, 50) << line;
    EXPECT_LT(after.heap - before.heap, 100) << line;

    // Each entry ends with the state of the last message it got.
    Entries expected = {{"one", 0}, {"two", 1}};
    for (int i = repaints - 2; i < repaints; ++i)
        expected[i % 2].second = (i / 2) % 2 ? 0 : 1;
    EXPECT_EQ(ListedEntries(), expected);
    Stop();
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(expected));
}

namespace {

// The list as the user should see it, kept by the simplest possible means.
struct Model {
    Entries entries;

    static std::string Committed(const std::string& typed, const std::string& previous) {
        std::string t = typed.substr(0, 99);
        for (char& c : t)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
        size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
        if (a == std::string::npos) return previous;
        return t.substr(a, b - a + 1);
    }
};

std::string RandomText(std::mt19937& random) {
    switch (random() % 6) {
    case 0:
        return "";
    case 1:
        return "   \t ";
    case 2:
        return std::string(100 + random() % 200, static_cast<char>('a' + random() % 26));
    case 3:
        return "line\r\nzelk.zelk1.text: planted";
    case 4:
        return "\t padded text  ";
    default:
        return "entry " + std::to_string(random() % 1000);
    }
}

void RunSeed(unsigned seed, int operations) {
    SCOPED_TRACE("replay with ZELK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    Model model;
    ASSERT_TRUE(Start(SettingsText({})));
    for (int op = 0; op < operations; ++op) {
        int n = static_cast<int>(model.entries.size());
        int k = n ? static_cast<int>(random() % n) : 0;
        switch (random() % 10) {
        case 0:
        case 1:
            SendMessageA(ThePlugin->addButton, WM_LBUTTONUP, 0, 0);
            if (n < MaxItems) model.entries.emplace_back("New Item", 0);
            break;
        case 2:
            if (!n) break;
            SendMessageA(Entry(k)->label, WM_RBUTTONDBLCLK, 0, 0);
            model.entries.erase(model.entries.begin() + k);
            break;
        case 3: {
            if (!n) break;
            const bool left = random() % 2; // flips the tick; a middle click clears it
            SendMessageA(Entry(k)->doneBox, left ? WM_LBUTTONUP : WM_MBUTTONUP, 0, 0);
            model.entries[k].second = left && !model.entries[k].second;
            break;
        }
        case 4: {
            if (!n) break;
            std::string typed = RandomText(random);
            SendMessageA(Entry(k)->label, WM_LBUTTONDBLCLK, 0, 0);
            SetWindowTextA(ThePlugin->editControl, typed.c_str());
            SendMessageA(random() % 2 ? ThePlugin->editControl : ThePlugin->mainWindow, WM_CHAR,
                         VK_RETURN, 0);
            model.entries[k].first = Model::Committed(typed, model.entries[k].first);
            break;
        }
        case 5: {
            static const char* commands[] = {
                "@ovletInternal AlwaysOnTop", "@ovletInternal SnapWindowToEdge",
                "@ovletInternal Transparency", "@CorvaneHidePlugins", "@CorvaneShowPlugins"};
            HostBroadcast(commands[random() % 5]);
            break;
        }
        case 6:
            HostReconfigure();
            break;
        case 7:
            Stop();
            ++TheReport().randomReloads;
            ASSERT_EQ(ReadFileText(SettingsPath()).find("zelk.zelk" + std::to_string(n + 1)),
                      std::string::npos);
            ASSERT_TRUE(beginPlugin(GetModuleHandleA(nullptr)) == 0);
            break;
        case 8: { // dragged far above the first entry or far below the last
            if (!n) break;
            const bool up = random() % 2;
            const LPARAM to = MAKELPARAM(30, static_cast<WORD>(up ? -900 : 900));
            SendMessageA(Entry(k)->label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 7));
            SendMessageA(Entry(k)->label, WM_MOUSEMOVE, MK_LBUTTON, to);
            SendMessageA(Entry(k)->label, WM_LBUTTONUP, 0, to);
            auto at = model.entries.begin() + k, first = model.entries.begin();
            std::rotate(up ? first : at, up ? at : at + 1, up ? at + 1 : model.entries.end());
            break;
        }
        case 9: { // another program replaces the file; a click comes before zelk notices
            Entries outside = model.entries;
            if (n && random() % 2)
                outside[k].second = !outside[k].second;
            else if (n < MaxItems - 1)
                outside.emplace_back("outside " + std::to_string(op), 0);
            WriteFileText(SettingsPath() + ".sync", SettingsText(outside));
            MoveFileExA((SettingsPath() + ".sync").c_str(), SettingsPath().c_str(),
                        MOVEFILE_REPLACE_EXISTING);
            if (n) { // the tick the user set, from what the window showed
                SendMessageA(Entry(k)->doneBox, WM_LBUTTONUP, 0, 0);
                outside[k].second = !model.entries[k].second;
            } else {
                SendMessageA(ThePlugin->addButton, WM_LBUTTONUP, 0, 0);
                outside.emplace_back("New Item", 0);
            }
            model.entries = outside;
            ++TheReport().outsideWrites;
            break;
        }
        }
        PumpMessages();
        ++TheReport().randomOperations;
        ASSERT_EQ(ListedEntries(), model.entries) << "after operation " << op;
    }
    Stop();
    ASSERT_TRUE(beginPlugin(GetModuleHandleA(nullptr)) == 0);
    EXPECT_EQ(ListedEntries(), model.entries);
}

} // namespace

TEST_F(Endurance, RandomSessionsMatchTheModel) {
    std::vector<unsigned> seeds = {1, 2, 3};
    if (const char* s = getenv("ZELK_SEED"))
        seeds = {static_cast<unsigned>(strtoul(s, nullptr, 10))};
    for (unsigned seed : seeds) {
        TheReport().seeds.push_back(std::to_string(seed));
        RunSeed(seed, 250);
        Stop();
        if (HasFatalFailure()) return;
    }
}
