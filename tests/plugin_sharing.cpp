// The settings file shared with other programs: their changes show without a
// write, and every save merges the user's change into the file as it now is.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <thread>

#include "CorvaneHost.h"
#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "data/Changes.h"
#include "data/ItemList.h"
#include "plugin/EntryPoints.h"
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

// "a b* New_Item": entries a, b (ticked) and "New Item".
Entries Words(const std::string& words) {
    Entries entries;
    std::istringstream in(words);
    for (std::string w; in >> w;) {
        std::replace(w.begin(), w.end(), '_', ' ');
        const bool ticked = w.back() == '*';
        entries.emplace_back(w.substr(0, w.size() - ticked), ticked);
    }
    return entries;
}

// Pumps until every change is in the file (a save may wait for another
// program's write).
bool SavedWithin() {
    for (DWORD start = GetTickCount(); FirstPending() && GetTickCount() - start < 3000;)
        PumpMessages(20);
    return !FirstPending();
}

// Links are made and removed by Linux commands on these paths (Wine's
// DeleteFile removes a link's target); empty where this is not Wine.
std::string UnixPath(const std::string& path) {
    typedef char*(CDECL * UnixNameFn)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(std::wstring(path.begin(), path.end()).c_str()) : nullptr;
    const std::string found = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return found;
}

// A folder whose path is `length` characters long, made under the program's.
std::string FolderOfLength(size_t length) {
    std::string folder = ProgramDirectory() + "long";
    for (; CreateDirectoryA(folder.c_str(), nullptr), folder.size() + 1 < length;)
        folder += "\\" + std::string(std::min<size_t>(100, length - folder.size() - 2), 'd');
    return folder + "\\";
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
        ASSERT_TRUE(SavedWithin());
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

// Repeated texts, and an edit left open while another program writes (it
// is saved with the action that ends it): each record finds the entry the
// user saw by its tick, then its neighbour above (else below), then place.
TEST_F(SharingTest, RepeatedTextsAndAnOpenEdit) {
    auto edit = [](int i, const char* text) {
        BeginEdit(Entry(i)->label);
        SetWindowTextA(ThePlugin->editControl, text);
    };
    auto tick = [](int i) { SendMessageA(Entry(i)->doneBox, WM_LBUTTONUP, 0, 0); };
    auto drag = [](int i, short y) {
        for (UINT m : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP})
            SendMessageA(Entry(i)->label, m, MK_LBUTTON,
                         MAKELPARAM(30, m == WM_LBUTTONDOWN ? 7 : y));
    };
    struct Case {
        const char *start, *outside;
        std::function<void()> action;
        const char* saved;
    } cases[] = {
        {"x milk* milk", "milk* milk", [&] { edit(1, "milk2"), RemoveTickedEntries(); }, "milk"},
        {"milk milk*", "milk* milk", [&] { edit(1, "oat"), tick(0); }, "oat* milk*"},
        {"a milk b milk c", "Y Z a milk b milk c", [&] { tick(3); }, "Y Z a milk b milk* c"},
        {"a milk b milk c", "milk c x milk b", [] { DeleteItem(Entry(1)->label); }, "milk c x b"},
        {"a milk b milk c", "Y a milk b milk c", [&] { drag(3, -900); }, "milk Y a milk b c"},
        {"A B", "X A B", [&] { edit(1, "B2"), AddItem(); }, "X A B2 New_Item"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Start(SettingsText(Words(c.start))));
        WriteOutside(Writer::replace, SettingsText(Words(c.outside)));
        c.action(); // within the quiet time
        ASSERT_TRUE(SavedWithin());
        EXPECT_EQ(ListedEntries(), Words(c.saved));
        EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(Words(c.saved)));
        Stop();
    }
}

// Another program empties the file, or writes half of it, and the rest
// later: meanwhile zelk neither shows, merges nor replaces the file and tells
// nothing; then the tick made meanwhile is merged with it. A reader refusing
// the replacement is waited out too; the unload waits a second.
TEST_F(SharingTest, AWriterThatEmptiesTheFileAndWritesLater) {
    const std::string path = SettingsPath(), text = SettingsText(Words("X A B"));
    struct Case {
        DWORD access, share; // the other program's hold while it writes
        bool holds, half;    // half the text first, the rest after `rest` ms
        int rest, user;      // the user ticks (1), does nothing (0), ends zelk (2)
    } cases[] = {
        {GENERIC_WRITE, FILE_SHARE_READ, true, true, 800, 1}, // a Windows program
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, true, true, 800, 1},
        {GENERIC_WRITE, 0, false, false, 800, 1}, // a Linux shell's redirect, as Wine sees it
        {GENERIC_WRITE, 0, false, true, 150, 1},  // a Linux program writing twice
        {GENERIC_READ, FILE_SHARE_READ, true, false, 800, 1}, // a reader refusing the replacement
        {GENERIC_WRITE, FILE_SHARE_READ, true, true, 800, 0},
        {GENERIC_WRITE, FILE_SHARE_READ, true, true, 500, 2},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Start(SettingsText(Words("A B"))));
        const bool writes = c.access == GENERIC_WRITE;
        const DWORD half = c.half ? DWORD(text.size() / 2) : 0;
        HANDLE file = CreateFileA(path.c_str(), c.access, c.share, nullptr,
                                  writes ? TRUNCATE_EXISTING : OPEN_EXISTING, 0, nullptr);
        DWORD n = 0;
        WriteFile(file, text.data(), half, &n, nullptr);
        if (!c.holds) CloseHandle(file);
        std::thread other([&] { // as a Linux program, sharing the file with all
            Sleep(c.rest);
            if (!c.holds)
                file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 7, 0, OPEN_EXISTING, 0, 0);
            DWORD m = 0;
            if (writes) WriteFile(file, text.data() + half, DWORD(text.size()) - half, &m, nullptr);
            CloseHandle(file);
        });
        const Entries before = Words(c.user ? "A* B" : "A B");
        const Entries after = Words(!writes ? "A* B" : c.user ? "X A* B" : "X A B");
        MessageBoxSeen seen = WatchMessageBoxes([&] {
            if (c.user) SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
            if (c.user == 2) return Stop();
            for (DWORD t = GetTickCount(); GetTickCount() - t < 1500; PumpMessages(20))
                ASSERT_TRUE(ListedEntries() == before || ListedEntries() == after) << &c - cases;
            EXPECT_TRUE(SavedWithin());
        });
        other.join();
        EXPECT_EQ(seen.count, 0) << &c - cases;
        EXPECT_EQ(ReadFileText(path), SettingsText(after)) << &c - cases;
        Stop();
    }
}

// A linked zelk.rc stays a link: each save replaces the target, whose backup,
// temporary files (past MAX_PATH here: a 250-character path) and folder
// watch are used.
TEST_F(SharingTest, ALinkedFileStaysALink) {
    RemoveSettingsFiles();
    const std::string target = FolderOfLength(243) + "real.rc", stray = target + ".0badc0de.tmp";
    WriteFileText(target, SettingsText({{"A", 0}}));
    WriteFileText(stray, "a copy killed mid-save");
    DeleteFileA((target + ".bak").c_str());
    auto unix = [](std::string command) { system(("start /wait /unix " + command).c_str()); };
    if (UnixPath(target).empty()) GTEST_SKIP() << "Wine only";
    unix("/bin/ln -s " + UnixPath(target) + " " + UnixPath(SettingsPath()));
    for (int i = 0; i < 100 && !FileExistsAt(SettingsPath()); ++i)
        Sleep(50);
    ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ReadFileText(target + ".bak"), SettingsText({{"A", 0}}));
    EXPECT_FALSE(FileExistsAt(SettingsPath() + ".bak") || FileExistsAt(stray));
    WriteFileText(target, SettingsText({{"A", 1}, {"B", 0}}));
    EXPECT_TRUE(ShowsWithin({{"A", 1}, {"B", 0}})) << "the target's folder is watched";
    Stop();
    WriteFileText(target, SettingsText({{"C", 0}}));
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"C", 0}})) << "still a link";
    EXPECT_TRUE(TemporaryFiles(target).empty());
    unix("/bin/rm " + UnixPath(SettingsPath()));
    for (int i = 0; i < 100 && FileExistsAt(SettingsPath()); ++i)
        Sleep(50);
}

// Insert opens no editor when a merge put the new entry past the 50th.
TEST_F(SharingTest, InsertPastFiftyOpensNoEditor) {
    Entries entries(49, {"e", 0});
    ASSERT_TRUE(Start(SettingsText(entries)));
    entries.insert(entries.end(), {{"o1", 0}, {"o2", 0}});
    WriteOutside(Writer::replace, SettingsText(entries));
    Sleep(QuietTime + 50); // a write that has landed, not yet reloaded
    SendMessageA(ThePlugin->mainWindow, WM_KEYDOWN, VK_INSERT, 0);
    ASSERT_TRUE(SavedWithin());
    EXPECT_FALSE(Edit.open);
    entries.emplace_back("New Item", 0);
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(entries));
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
        // The other program's write is over before the undo (a save waits
        // while a write is fresher than the quiet time).
        if (c.outside[0])
            WriteOutside(Writer::replace, file(c.outside, true)), Sleep(QuietTime + 50);
        const int sounds = WarningSounds();
        auto saved = [] {
            for (DWORD t = GetTickCount(); FirstPending() && GetTickCount() - t < 3000;)
                PumpMessages(20);
        };
        HostBroadcast("@ovletInternal Undo");
        saved();
        EXPECT_EQ(ReadFileText(SettingsPath()), file(c.undone, false));
        EXPECT_EQ(ListedEntries(), L(c.undone));
        HostBroadcast("@ovletInternal Redo");
        saved();
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
    PumpMessages(600); // a save right after the other copy's waits for the quiet time
    EXPECT_EQ(ReadFileText(shared),
              SettingsText({{"New Item", 0}, {"New Item", 0}, {"New Item", 0}}));
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
