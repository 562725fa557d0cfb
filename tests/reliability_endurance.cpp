// Years of use in a few seconds: long runs of adds, deletes and ticks, and
// seeded random sessions checked against a plain model of the list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <tuple>

#include "CorvaneHost.h"
#include "Reliability.h"
#include "ScreenOracle.h"
#include "TestSupport.h"
#include "plugin/EntryPoints.h"
#include "core/PluginInstance.h"
#include "data/Changes.h"
#include "data/ItemList.h"
#include "ui/ChangePath.h"
#include "ui/RowLayout.h"
#include "ui/SystemLook.h"

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
        DpiSource = nullptr;
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
    int width = 100;
    // What Undo and Redo can do, newest last: a step takes the list and width
    // from `a` to `b`, and is tried only while they are still `a` (another
    // program's write since makes it unknown). A deletion's step keeps its
    // entries with their places, which Undo Delete brings back whatever the
    // list.
    using Gone = std::vector<std::tuple<int, std::string, int>>;
    struct Step {
        Entries a, b;
        int widthA, widthB;
        Gone gone;
    };
    std::vector<Step> undo, redo;
    bool historyLost = false; // zelk holds steps the model does not: no undo until a restart

    static std::string Committed(const std::string& typed, const std::string& previous) {
        std::string t = typed.substr(0, 99);
        for (char& c : t)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
        size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
        if (a == std::string::npos) return previous;
        return t.substr(a, b - a + 1);
    }
    // A change of the user's, from `b` unless not known: nothing is left to redo.
    void Did(Entries b, int widthB, Gone gone = {}, bool known = true) {
        redo.clear();
        const Entries unknown = {{"", 0}}; // no list equals it
        undo.push_back({known ? entries : unknown, b, width, widthB, std::move(gone)});
        if (undo.size() > 100) undo.erase(undo.begin());
    }
    // The step `at` of one side done: its inverse goes to the other.
    void Take(std::vector<Step>& from, std::vector<Step>& to, size_t at) {
        Step step = from[at];
        from.erase(from.begin() + at);
        to.push_back({step.b, step.a, step.widthB, step.widthA, step.gone});
        entries = step.b;
        width = step.widthB;
    }
    // Where a change the user made on `seen` (the list the user saw, with
    // `shown` giving each place's text) lands in `list`, another program's:
    // among the entries with its text, the one with the tick the user saw,
    // then the same neighbour above (else below), then the nearest to the
    // place, then the earlier one. -1 when none has the text.
    static int Find(const Entries& list, const Entries& seen, int at,
                    const std::function<std::string(int)>& shown) {
        auto neighbour = [](const Entries& l, int i, auto text) {
            return i < 0 || i >= int(l.size()) ? std::string("\n(none)") : text(i);
        };
        auto inList = [&](int i) { return list[i].first; };
        int best = -1;
        std::tuple<int, int, int> bestRank;
        for (int i = 0; i < int(list.size()); ++i) {
            if (list[i].first != shown(at)) continue;
            const bool tick = !list[i].second == !seen[at].second;
            const int side = neighbour(list, i - 1, inList) == neighbour(seen, at - 1, shown)   ? 2
                             : neighbour(list, i + 1, inList) == neighbour(seen, at + 1, shown) ? 1
                                                                                                : 0;
            const std::tuple<int, int, int> rank(tick, side, -std::abs(i - at));
            if (best < 0 || rank > bestRank) best = i, bestRank = rank;
        }
        return best;
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
    default: // texts repeat, as "New Item" does
        return "entry " + std::to_string(random() % 8);
    }
}

// A key as zelk's window gets it, with Control held or not.
void Key(WPARAM key, bool control = false) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(ThePlugin->mainWindow, WM_KEYDOWN, key, 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

// Another program replaces the file with the list the model says it holds.
void WriteOutside(const Entries& outside) {
    WriteFileText(SettingsPath() + ".sync", SettingsText(outside));
    MoveFileExA((SettingsPath() + ".sync").c_str(), SettingsPath().c_str(),
                MOVEFILE_REPLACE_EXISTING);
}

// Changes another program makes: a tick, an entry added at the end or in
// the middle, one removed, the order turned around or rotated.
Entries OutsideChange(Entries outside, std::mt19937& random, int op) {
    const int n = static_cast<int>(outside.size());
    const int k = n ? static_cast<int>(random() % n) : 0;
    switch (n ? random() % 5 : 1) {
    case 0:
        outside[k].second = !outside[k].second;
        break;
    case 1:
        if (n < MaxItems - 1)
            outside.insert(outside.begin() + (random() % 2 ? n : k),
                           {"outside " + std::to_string(op), 0});
        break;
    case 2:
        outside.erase(outside.begin() + k);
        break;
    case 3:
        std::reverse(outside.begin(), outside.end());
        break;
    default:
        std::rotate(outside.begin(), outside.begin() + k, outside.end());
        break;
    }
    return outside;
}

// Sessions at three DPIs: at the higher two a long list is taller than the
// screen and its rows scroll.
int SessionDpi = 96;

void RunSeed(unsigned seed, int operations) {
    SCOPED_TRACE("replay with ZELK_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    Model model;
    SessionDpi = seed % 3 == 1 ? 96 : seed % 3 == 2 ? 240 : 384;
    DpiSource = [](HWND) { return SessionDpi; };
    SetCursorPos(1200, 1000); // away from the rows: no cut label's tooltip shows
    ASSERT_TRUE(Start(SettingsText({})));
    int lastKind = 0;
    for (int op = 0; op < operations; ++op) {
        int n = static_cast<int>(model.entries.size());
        int k = n ? static_cast<int>(random() % n) : 0;
        // A user who undid often undoes again or redoes.
        const int drawn = static_cast<int>(random() % 18);
        const int kind = lastKind == 15 && random() % 2 ? 15 + random() % 2 : drawn;
        lastKind = kind;
        const Entries before = model.entries;
        const int widthBefore = model.width;
        bool stepped = false; // the user changed something zelk can undo
        Model::Gone gone;
        switch (kind) {
        case 0:
        case 1:
            SendMessageA(ThePlugin->addButton, WM_LBUTTONUP, 0, 0);
            if (n < MaxItems) model.entries.emplace_back("New Item", 0);
            stepped = n < MaxItems;
            break;
        case 2:
            if (!n) break;
            SendMessageA(Entry(k)->label, WM_RBUTTONDBLCLK, 0, 0);
            gone = {{k, model.entries[k].first, model.entries[k].second}};
            model.entries.erase(model.entries.begin() + k);
            stepped = true;
            break;
        case 3: {
            if (!n) break;
            const bool left = random() % 2; // flips the tick; a middle click clears it
            SendMessageA(Entry(k)->doneBox, left ? WM_LBUTTONUP : WM_MBUTTONUP, 0, 0);
            stepped = left || model.entries[k].second;
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
            stepped = model.entries[k].first != before[k].first;
            break;
        }
        case 5: {
            static const char* commands[] = {
                "@ovletInternal AlwaysOnTop", "@ovletInternal SnapWindowToEdge",
                "@ovletInternal Transparency", "@CorvaneHidePlugins", "@CorvaneShowPlugins"};
            const int command = static_cast<int>(random() % 5);
            HostBroadcast(commands[command]);
            stepped = command < 3; // hiding and showing are no steps
            break;
        }
        case 6:
            if (random() % 2) {
                HostReconfigure();
            } else { // a new width, within what the menu offers
                model.width = 60 + 20 * static_cast<int>(random() % 8);
                HostBroadcast(("@ovletInternal Width " + std::to_string(model.width)).c_str());
                stepped = model.width != widthBefore;
            }
            break;
        case 7:
            Stop();
            ++TheReport().randomReloads;
            ASSERT_EQ(ReadFileText(SettingsPath()).find("zelk.zelk" + std::to_string(n + 1)),
                      std::string::npos);
            ASSERT_TRUE(beginPlugin(GetModuleHandleA(nullptr)) == 0);
            model.undo.clear(); // an undo is for the session that made the change
            model.redo.clear();
            model.historyLost = false;
            break;
        case 8: { // dragged to any boundary between rows, or far past either end
            if (!n) break;
            const int pitch = RowHeight();
            const int slot = static_cast<int>(random() % (n + 3)) - 1;
            const int y = slot < 0 ? -900 * pitch : slot > n ? 900 * pitch : (slot - k) * pitch;
            const LPARAM to = MAKELPARAM(
                30, static_cast<WORD>(static_cast<short>(std::max(-30000, std::min(30000, y)))));
            SendMessageA(Entry(k)->label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 7));
            SendMessageA(Entry(k)->label, WM_MOUSEMOVE, MK_LBUTTON, to);
            SendMessageA(Entry(k)->label, WM_LBUTTONUP, 0, to);
            const int lands = std::max(0, std::min(n, slot));
            if (lands == k || lands == k + 1) break;
            const auto moved = model.entries[k];
            model.entries.erase(model.entries.begin() + k);
            model.entries.insert(model.entries.begin() + (lands > k ? lands - 1 : lands), moved);
            stepped = true;
            break;
        }
        case 9:
        case 10: { // another program replaces the file; a click may come before zelk notices
            const Entries seen = model.entries;
            const bool racing = kind == 9;
            // An edit may stay open while the other program writes.
            int edited = -1;
            std::string typed;
            if (racing && n && random() % 2) {
                edited = static_cast<int>(random() % n);
                typed = RandomText(random);
                SendMessageA(Entry(edited)->label, WM_LBUTTONDBLCLK, 0, 0);
                SetWindowTextA(ThePlugin->editControl, typed.c_str());
            }
            Entries outside = OutsideChange(model.entries, random, op);
            WriteOutside(outside);
            if (!racing) { // zelk notices: the quiet time ends and the file is read
                Sleep(QuietTime + 50);
                SendMessageA(ThePlugin->mainWindow, WM_TIMER, ReloadTimer, 0);
            } else {
                // The click stores the edit, then its own change; both are
                // merged with the file, each found by what the user saw.
                const std::string text =
                    edited < 0 ? "" : Model::Committed(typed, seen[edited].first);
                const bool renames = edited >= 0 && text != seen[edited].first;
                auto before = [&](int i) { return seen[i].first; };
                auto after = [&](int i) { return i == edited && renames ? text : seen[i].first; };
                const bool ticks = n && random() % 4;
                SendMessageA(ticks ? Entry(k)->doneBox : ThePlugin->addButton, WM_LBUTTONUP, 0, 0);
                if (renames) {
                    const int at = Model::Find(outside, seen, edited, before);
                    if (at >= 0)
                        outside[at].first = text;
                    else // an edit of an entry gone comes back at its place
                        outside.insert(outside.begin() + std::min<int>(edited, outside.size()),
                                       {text, 0});
                }
                const int at = ticks ? Model::Find(outside, seen, k, after) : -1;
                if (at >= 0) outside[at].second = !seen[k].second;
                if (!ticks && n < MaxItems) outside.emplace_back("New Item", 0);
                // The save waits for the other program's write to be quiet.
                for (DWORD t = GetTickCount(); FirstPending() && GetTickCount() - t < 3000;)
                    PumpMessages(20);
            }
            model.entries = outside;
            model.width = 100; // as the other program wrote it
            // The steps a racing click and a stored edit leave are merged
            // with the file: undoing them is left to the undo table.
            model.historyLost = model.historyLost || racing;
            ++TheReport().outsideWrites;
            break;
        }
        case 11: { // Undo Delete: the newest deletion among the steps, unless it overfills
            if (model.historyLost) break;
            HostBroadcast("@ovletInternal UndoDelete");
            auto step = std::find_if(model.undo.rbegin(), model.undo.rend(),
                                     [](const Model::Step& s) { return !s.gone.empty(); });
            if (step == model.undo.rend() || n + static_cast<int>(step->gone.size()) > MaxItems)
                break;
            for (const auto& g :
                 step->gone) { // each at its place, or at the end of a list now shorter
                const int at = std::min(std::get<0>(g), static_cast<int>(model.entries.size()));
                model.entries.insert(model.entries.begin() + at, {std::get<1>(g), std::get<2>(g)});
                gone.emplace_back(at, std::get<1>(g), std::get<2>(g));
            }
            model.undo.erase(std::next(step).base());
            model.redo.push_back({model.entries, before, model.width, model.width, gone});
            break;
        }
        case 12: { // Remove Ticked Entries, one deletion of every ticked entry
            HostBroadcast("@ovletInternal RemoveTicked");
            Entries kept;
            for (int i = 0; i < n; ++i) {
                if (model.entries[i].second)
                    gone.emplace_back(i, model.entries[i].first, model.entries[i].second);
                else
                    kept.push_back(model.entries[i]);
            }
            stepped = !gone.empty();
            model.entries = kept;
            break;
        }
        case 13: { // Control+Up or Control+Down on an entry the keys reach
            if (!n) break;
            // A click on the row gives it the keyboard's focus.
            SendMessageA(Entry(k)->label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 7));
            SendMessageA(Entry(k)->label, WM_LBUTTONUP, 0, MAKELPARAM(30, 7));
            const bool up = random() % 2;
            Key(up ? VK_UP : VK_DOWN, true);
            const int to = up ? k - 1 : k + 1;
            stepped = to >= 0 && to < n;
            if (stepped) std::swap(model.entries[k], model.entries[to]);
            break;
        }
        case 14: { // the keys and the wheel scroll a list taller than the screen
            HostBroadcast("@ovletInternal Focus");
            static const WPARAM keys[] = {VK_HOME, VK_NEXT, VK_END, VK_PRIOR, VK_TAB};
            for (int i = 0; i < 3; ++i)
                Key(keys[random() % 5]);
            const int notches = static_cast<int>(random() % 5) - 2;
            SendMessageA(ThePlugin->mainWindow, WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA),
                         0);
            break;
        }
        case 15:
        case 16: { // Undo or Redo, by key or command, while the step is known to apply
            const bool redo = kind == 16;
            auto& side = redo ? model.redo : model.undo;
            if (model.historyLost) break;
            if (!side.empty() &&
                (side.back().a != model.entries || side.back().widthA != model.width))
                break;
            if (random() % 2)
                Key(redo ? 'Y' : 'Z', true);
            else
                HostBroadcast(redo ? "@ovletInternal Redo" : "@ovletInternal Undo");
            if (!side.empty()) model.Take(side, redo ? model.undo : model.redo, side.size() - 1);
            break;
        }
        default: // the keyboard goes back, so the focus mark goes too
            Key(VK_ESCAPE);
            break;
        }
        if (stepped) model.Did(before, widthBefore, gone);
        PumpMessages();
        ++TheReport().randomOperations;
        ASSERT_EQ(ListedEntries(), model.entries)
            << "after operation " << op << " (" << kind << ")";
        const ScreenVerdict screen = CompareWithFreshPaint(model.entries, model.width);
        ASSERT_TRUE(screen.Same())
            << "after operation " << op << " (" << kind << "): " << screen.Describe();
    }
    Stop();
    ASSERT_TRUE(beginPlugin(GetModuleHandleA(nullptr)) == 0);
    EXPECT_EQ(ListedEntries(), model.entries);
    DpiSource = nullptr;
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
