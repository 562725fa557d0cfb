// The settings file shared with other programs: their changes show without a
// write, and every save merges the user's change into the file as it now is.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "CorvaneHost.h"
#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"

using namespace test;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

enum class Writer { replace, inPlace, emptiedFirst, remove };

// Another program changes zelk.rc the way sync tools and editors do.
void WriteOutside(Writer how, const std::string& text) {
    const std::string path = SettingsPath();
    if (how == Writer::remove) {
        DeleteFileA(path.c_str());
    } else if (how == Writer::replace) {
        WriteFileText(path + ".sync", text);
        MoveFileExA((path + ".sync").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    } else {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               TRUNCATE_EXISTING, 0, nullptr);
        DWORD n = 0;
        if (how == Writer::emptiedFirst) {
            FlushFileBuffers(f);
            PumpMessages(100); // the empty file is seen, and must not be merged
        }
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
        CloseHandle(f);
    }
}

std::string With(std::string text, const std::string& key, const std::string& value) {
    size_t at = text.find(key + " ");
    return text.replace(at + key.size() + 1, text.find('\n', at) - at - key.size() - 1, value);
}

// Pumps until the list shows `expected` (a reload has no other sign).
bool ShowsWithin(const Entries& expected, int milliseconds = 2000) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < DWORD(milliseconds);) {
        PumpMessages(20);
        if (ListedEntries() == expected) return true;
    }
    return false;
}

class SharingTest : public testing::Test {
  protected:
    void SetUp() override { UseStyle("flat.style"); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
        DeleteFileA((SettingsPath() + ".bak").c_str());
    }
};

} // namespace

// Each way of writing, each kind of change: the window shows the file, keeps
// the rows that stay and its own place, and writes nothing.
TEST_F(SharingTest, OutsideChangesShowWithoutAWrite) {
    const std::string start = SettingsText({{"A", 0}, {"B", 0}, {"C", 0}});
    struct Case {
        Writer how;
        std::string file;
        Entries shown;
        int width;
        bool onTop;
    } cases[] = {
        {Writer::replace,
         With(With(SettingsText({{"A", 0}, {"B2", 0}, {"C", 0}, {"D", 0}}), "zelk.width:", "150"),
              "zelk.position.x:", "300"),
         {{"A", 0}, {"B2", 0}, {"C", 0}, {"D", 0}},
         150,
         true},
        {Writer::inPlace,
         SettingsText({{"C", 0}, {"A", 1}, {"B", 0}}),
         {{"C", 0}, {"A", 1}, {"B", 0}},
         100,
         true},
        {Writer::emptiedFirst,
         With(SettingsText({{"A", 0}}, "# kept\n"), "zelk.alwaysOnTop:", "false"),
         {{"A", 0}},
         100,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(Start(start));
        HWND label = Entry(0)->label;
        const int saves = SettingsFileReplacements();
        WriteOutside(c.how, c.file);
        EXPECT_TRUE(ShowsWithin(c.shown)) << ListedEntries().size();
        PumpMessages(300);
        RECT r;
        GetWindowRect(ThePlugin->mainWindow, &r);
        EXPECT_EQ(r.left, 10) << "a reload never moves the window";
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ((GetWindowLongA(ThePlugin->mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
                  c.onTop);
        EXPECT_EQ(FindItem(label) != nullptr, true) << "entry A kept its row";
        EXPECT_EQ(SettingsFileReplacements(), saves) << "a reload writes nothing";
        EXPECT_EQ(ReadFileText(SettingsPath()), c.file);
        Stop();
    }

    // A file deleted from outside stays deleted until the next change.
    ASSERT_TRUE(Start(start));
    WriteOutside(Writer::remove, "");
    PumpMessages(500);
    EXPECT_FALSE(FileExistsAt(SettingsPath()));
    EXPECT_EQ(ListedEntries(), (Entries{{"A", 0}, {"B", 0}, {"C", 0}}));
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"A", 1}, {"B", 0}, {"C", 0}}));
}

// Another program writes and the user acts before zelk noticed: the action
// is applied to the file as it now is, found by its text.
TEST_F(SharingTest, EachSaveMergesTheFileAsItIs) {
    const std::string start = SettingsText({{"A", 0}, {"B", 0}, {"C", 0}});
    std::vector<std::pair<std::string, int>> fifty;
    for (int i = 1; i <= 50; ++i)
        fifty.emplace_back("x" + std::to_string(i), 0);
    auto tick = [](int i) { SendMessageA(Entry(i)->doneBox, WM_LBUTTONUP, 0, 0); };
    struct Case {
        const char* name;
        std::string outside;
        std::function<void()> action;
        std::string saved;
    } cases[] = {
        {"a tick lands on the entry, the other writer's width stays",
         With(SettingsText({{"B2", 0}, {"A", 0}, {"C", 0}, {"D", 0}}), "zelk.width:", "150"),
         [&] { tick(0); },
         With(SettingsText({{"B2", 0}, {"A", 1}, {"C", 0}, {"D", 0}}), "zelk.width:", "150")},
        {"a tick of an entry gone is dropped", SettingsText({{"A", 0}, {"C", 0}}), [&] { tick(1); },
         SettingsText({{"A", 0}, {"C", 0}})},
        {"an edit of an entry gone comes back at its place", SettingsText({{"A", 0}, {"C", 0}}),
         [] {
             BeginEdit(Entry(1)->label);
             SetWindowTextA(ThePlugin->editControl, "B edited");
             CommitEdit();
         },
         SettingsText({{"A", 0}, {"B edited", 0}, {"C", 0}})},
        {"a setting the user changed wins, the others are the file's",
         With(With(start, "zelk.width:", "150"), "zelk.alwaysOnTop:", "false"),
         [] { SetWindowWidth(200); },
         With(With(start, "zelk.width:", "200"), "zelk.alwaysOnTop:", "false")},
        {"an addition past 50 is written on", SettingsText(fifty), [] { AddItem(); }, ""},
        {"remove ticked takes only what the user saw ticked",
         SettingsText({{"A", 1}, {"B", 1}, {"C", 0}}),
         [&] {
             ShowsWithin({{"A", 1}, {"B", 1}, {"C", 0}});
             WriteOutside(Writer::replace, SettingsText({{"A", 1}, {"B", 1}, {"C", 1}}));
             RemoveTickedEntries();
         },
         SettingsText({{"C", 1}})},
    };
    fifty.emplace_back("New Item", 0);
    cases[4].saved = SettingsText(fifty);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA((SettingsPath() + ".bak").c_str());
        ASSERT_TRUE(Start(start));
        WriteOutside(Writer::replace, c.outside);
        c.action(); // before zelk could notice
        EXPECT_EQ(ReadFileText(SettingsPath()), c.saved);
        Entries shown = ListedEntries();
        // The start's file is kept once a save changes the file.
        EXPECT_EQ(ReadFileText(SettingsPath() + ".bak"),
                  c.saved != c.outside ? start : "<missing>");
        Stop();
        EXPECT_EQ(ReadFileText(SettingsPath()), c.saved) << "the unload adds nothing";
        EXPECT_EQ(shown.size(),
                  std::min<size_t>(50, std::count(c.saved.begin(), c.saved.end(), '\n') / 2 - 4));
    }
}

// An open edit and Undo Delete outlive a reload that moved their entries.
TEST_F(SharingTest, EditAndUndoSurviveAReload) {
    ASSERT_TRUE(Start(SettingsText({{"A", 0}, {"B", 0}, {"C", 0}})));
    SendMessageA(Entry(1)->label, WM_RBUTTONDBLCLK, 0, 0); // B, for Undo Delete
    BeginEdit(Entry(1)->label);                            // C
    SetWindowTextA(ThePlugin->editControl, "C2");
    WriteOutside(Writer::replace, SettingsText({{"X", 0}, {"A", 0}, {"C", 0}}));
    ASSERT_TRUE(ShowsWithin({{"X", 0}, {"A", 0}, {"C", 0}}));
    RECT editor, label;
    GetWindowRect(ThePlugin->editControl, &editor);
    GetWindowRect(Entry(2)->label, &label);
    EXPECT_TRUE(IsWindowVisible(ThePlugin->editControl));
    EXPECT_EQ(editor.top, label.top) << "the editor follows its entry";
    CommitEdit();
    UndoDelete();
    EXPECT_EQ(ReadFileText(SettingsPath()),
              SettingsText({{"X", 0}, {"B", 0}, {"A", 0}, {"C2", 0}}));
}

// "A,B*,C": entries by text, * for ticked.
Entries L(const std::string& list) {
    Entries out;
    std::stringstream in(list);
    for (std::string t; std::getline(in, t, ',');)
        out.emplace_back(t.substr(0, t.find('*')), t.back() == '*');
    return out;
}

// Each kind of change undone, then redone. Another program writes between
// the change and its undo, before zelk notices: the undo and the redo are
// records like any other, merged with the file. A tick, move or deletion of
// an entry the other program removed is dropped with a warning sound; a
// setting undone keeps the other program's tick.
TEST_F(SharingTest, EveryChangeUndoneAndRedone) {
    auto click = [](int i) { return [i] { SendMessageA(Entry(i)->doneBox, WM_LBUTTONUP, 0, 0); }; };
    auto drag = [](int i, int y) {
        return [=] {
            for (UINT m : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP})
                SendMessageA(Entry(i)->label, m, MK_LBUTTON,
                             MAKELPARAM(30, WORD(m == WM_LBUTTONDOWN ? 7 : y)));
        };
    };
    auto command = [](const char* c) { return [c] { HostBroadcast(c); }; };
    auto edit = [] {
        BeginEdit(Entry(2)->label);
        SetWindowTextA(ThePlugin->editControl, "C2");
        CommitEdit();
    };
    const struct {
        std::function<void()> action;
        const char *outside, *undone, *redone; // "": no other program
        int sounds;
        const char *key = nullptr, *value = nullptr; // a setting the action sets
    } cases[] = {
        {click(0), "", "A,B*,C", "A*,B*,C", 0},
        {[] { SendMessageA(Entry(1)->doneBox, WM_MBUTTONUP, 0, 0); }, "X,A,B,C", "X,A,B*,C",
         "X,A,B,C", 0},
        {edit, "A,B*", "A,B*,C", "A,B*,C2", 0}, // the edited entry comes back
        {AddItem, "A,B*,C,New Item,D", "A,B*,C,D", "A,B*,C,New Item,D", 0},
        {[] { SendMessageA(Entry(0)->label, WM_RBUTTONDBLCLK, 0, 0); }, "B*,C,D", "A,B*,C,D",
         "B*,C,D", 0},
        {drag(2, -900), "C,A,B*,X", "A,B*,C,X", "C,A,B*,X", 0},
        {[] { MoveEntryBy(Entry(2), -1); }, "B*,A,C", "B*,C,A", "B*,A,C", 0}, // after its neighbour
        {RemoveTickedEntries, "A,C,D", "A,B*,C,D", "A,C,D", 0},
        {click(0), "B*,C", "B*,C", "B*,C", 1},
        {AddItem, "A,B*,C", "A,B*,C", "A,B*,C", 1},
        {drag(0, 900), "B*", "B*", "B*", 1},
        {command("@ovletInternal Width 150"), "A*,B*,C", "A*,B*,C", "A*,B*,C", 0,
         "zelk.width:", "150"},
        {command("@ovletInternal AlwaysOnTop"), "A*,B*,C", "A*,B*,C", "A*,B*,C", 0,
         "zelk.alwaysOnTop:", "false"},
        {command("@ovletInternal SnapWindowToEdge"), "A*,B*,C", "A*,B*,C", "A*,B*,C", 0,
         "zelk.snapWindow:", "false"},
        {command("@ovletInternal Transparency"), "A*,B*,C", "A*,B*,C", "A*,B*,C", 0,
         "zelk.transparency:", "true\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.outside) + " " + c.undone);
        auto file = [&](const char* list, bool set) {
            return set && c.key ? With(SettingsText(L(list)), c.key, c.value)
                                : SettingsText(L(list));
        };
        ASSERT_TRUE(Start(SettingsText(L("A,B*,C"))));
        c.action();
        if (c.outside[0]) WriteOutside(Writer::replace, file(c.outside, true));
        const int sounds = WarningSounds();
        HostBroadcast("@ovletInternal Undo");
        EXPECT_EQ(ReadFileText(SettingsPath()), file(c.undone, false));
        EXPECT_EQ(ListedEntries(), L(c.undone));
        HostBroadcast("@ovletInternal Redo");
        EXPECT_EQ(ReadFileText(SettingsPath()), file(c.redone, true));
        EXPECT_EQ(ListedEntries(), L(c.redone));
        EXPECT_EQ(WarningSounds() - sounds, c.sounds);
        Stop();
    }
}

// Two copies of zelk on one file (two shells, or two copies of the DLL
// finding the shell folder's zelk.rc): each one's additions reach the file,
// and each window comes to show them all.
TEST_F(SharingTest, TwoCopiesOnOneFile) {
    typedef int(__cdecl * BeginFn)(HINSTANCE);
    typedef void(__cdecl * EndFn)();
    RemoveSettingsFiles();
    const std::string shared = HostDirectory() + "zelk.rc";
    WriteFileText(shared, SettingsText({}));
    HMODULE copies[2];
    HWND buttons[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::string folder = ProgramDirectory() + "copy" + std::to_string(i) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        DeleteFileA((folder + "zelk.rc").c_str());
        ASSERT_TRUE(CopyFileA((ProgramDirectory() + "..\\zelk.dll").c_str(),
                              (folder + "zelk.dll").c_str(), FALSE));
        copies[i] = LoadLibraryA((folder + "zelk.dll").c_str());
        ASSERT_NE(copies[i], nullptr);
        auto begin = reinterpret_cast<BeginFn>(
            reinterpret_cast<void*>(GetProcAddress(copies[i], "beginPlugin")));
        ASSERT_EQ(begin(copies[i]), 0);
        // Its window is the one of its class not seen yet; with no entries
        // its only child of that class is Add Item.
        HWND main = nullptr;
        do
            main = FindWindowExA(nullptr, main, "zelk", nullptr);
        while (main && i == 1 && GetParent(buttons[0]) == main);
        buttons[i] = FindWindowExA(main, nullptr, "zelk", nullptr);
        ASSERT_NE(buttons[i], nullptr);
    }
    for (int i : {0, 1, 0})
        SendMessageA(buttons[i], WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ReadFileText(shared),
              SettingsText({{"New Item", 0}, {"New Item", 0}, {"New Item", 0}}));
    PumpMessages(600);
    for (HMODULE copy : copies) {
        auto end =
            reinterpret_cast<EndFn>(reinterpret_cast<void*>(GetProcAddress(copy, "endPlugin")));
        end();
        FreeLibrary(copy);
    }
    EXPECT_EQ(ReadFileText(shared),
              SettingsText({{"New Item", 0}, {"New Item", 0}, {"New Item", 0}}))
        << "each unload saved the three it showed, not the ones it had made";
    DeleteFileA(shared.c_str());
    DeleteFileA((shared + ".bak").c_str());
}
