// The settings file shared with other programs: their changes show without a
// write, and every save merges the user's change into the file as it now is.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "core/PluginInstance.h"
#include "plugin/EntryPoints.h"
#include "data/Changes.h"
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

// Pumps until every change is in the file: a save may wait for another
// program's write to end.
bool SavedWithin(int milliseconds = 3000) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < DWORD(milliseconds);) {
        PumpMessages(20);
        if (!FirstPending()) return true;
    }
    return false;
}

// Runs a Linux command on the paths (Wine's own names of them): links are
// made and removed there, since Wine's DeleteFile removes a link's target.
// The command may still run when this returns: the caller waits for its
// effect. False where this is not Wine.
bool RunUnix(std::string command, const std::vector<std::string>& paths) {
    typedef char*(CDECL * UnixNameFn)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    command = "start.exe /wait /unix " + command;
    for (const std::string& path : paths) {
        char* name = unixName(std::wstring(path.begin(), path.end()).c_str());
        if (!name) return false;
        command += std::string(" \"") + name + "\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

// A folder whose path is `length` characters long, made under the program's.
std::string FolderOfLength(size_t length) {
    std::string folder = ProgramDirectory() + "long";
    CreateDirectoryA(folder.c_str(), nullptr);
    while (folder.size() + 1 < length) {
        folder += "\\" + std::string(std::min<size_t>(100, length - folder.size() - 2), 'd');
        CreateDirectoryA(folder.c_str(), nullptr);
    }
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

// An action taken with an editor open stores the edit with it; both reach a
// merge with another program's write, whatever the action.
TEST_F(SharingTest, AnOpenEditRidesWithEveryAction) {
    struct Case {
        const char* name;
        Entries start;
        std::function<void()> action;
        Entries saved;
    } cases[] = {
        {"tick",
         {{"A", 0}, {"B", 0}, {"C", 0}},
         [] { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); },
         {{"X", 0}, {"A", 1}, {"B2", 0}, {"C", 0}}},
        {"add",
         {{"A", 0}, {"B", 0}, {"C", 0}},
         [] { AddItem(); },
         {{"X", 0}, {"A", 0}, {"B2", 0}, {"C", 0}, {"New Item", 0}}},
        {"delete",
         {{"A", 0}, {"B", 0}, {"C", 0}},
         [] { DeleteItem(Entry(2)->label); },
         {{"X", 0}, {"A", 0}, {"B2", 0}}},
        {"move",
         {{"A", 0}, {"B", 0}, {"C", 0}},
         [] { MoveEntryBy(Entry(0), 1); },
         {{"X", 0}, {"B2", 0}, {"A", 0}, {"C", 0}}},
        {"remove ticked, the edited entry among them",
         {{"A", 0}, {"B", 1}, {"C", 0}},
         [] { RemoveTickedEntries(); },
         {{"X", 0}, {"A", 0}, {"C", 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(SettingsText(c.start)));
        BeginEdit(Entry(1)->label);
        SetWindowTextA(ThePlugin->editControl, "B2");
        Entries outside = c.start;
        outside.insert(outside.begin(), {"X", 0});
        WriteOutside(Writer::replace, SettingsText(outside));
        c.action(); // within the quiet time
        ASSERT_TRUE(SavedWithin());
        EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(c.saved));
        EXPECT_EQ(ListedEntries(), c.saved);
        Stop();
    }
}

// Among entries of the same text, a record finds the one the user acted on:
// by the tick the user saw, then by the same neighbour above (else below),
// then the nearest place, then the earlier one.
TEST_F(SharingTest, RepeatedTextsFindTheEntryTheUserSaw) {
    const Entries twoMilks = {{"a", 0}, {"milk", 0}, {"b", 0}, {"milk", 0}, {"c", 0}};
    struct Case {
        const char* name;
        Entries start, outside;
        std::function<void()> action;
        Entries saved;
    } cases[] = {
        {"remove ticked takes the ticked one, not the nearest",
         {{"x", 0}, {"milk", 1}, {"milk", 0}},
         {{"milk", 1}, {"milk", 0}},
         [] { RemoveTickedEntries(); },
         {{"milk", 0}}},
        {"a rename by the tick the user saw, before the neighbour",
         {{"milk", 0}, {"milk", 1}},
         {{"milk", 1}, {"milk", 0}},
         [] {
             BeginEdit(Entry(1)->label);
             SetWindowTextA(ThePlugin->editControl, "oat milk");
             CommitEdit();
         },
         {{"oat milk", 1}, {"milk", 0}}},
        {"a tick by the neighbour above",
         twoMilks,
         {{"Y", 0}, {"Z", 0}, {"a", 0}, {"milk", 0}, {"b", 0}, {"milk", 0}, {"c", 0}},
         [] { SendMessageA(Entry(3)->doneBox, WM_LBUTTONUP, 0, 0); },
         {{"Y", 0}, {"Z", 0}, {"a", 0}, {"milk", 0}, {"b", 0}, {"milk", 1}, {"c", 0}}},
        {"a deletion by the neighbour below when the one above went",
         twoMilks,
         {{"milk", 0}, {"c", 0}, {"x", 0}, {"milk", 0}, {"b", 0}},
         [] { DeleteItem(Entry(1)->label); },
         {{"milk", 0}, {"c", 0}, {"x", 0}, {"b", 0}}},
        {"a move takes the one moved, after the one above it",
         twoMilks,
         {{"Y", 0}, {"a", 0}, {"milk", 0}, {"b", 0}, {"milk", 0}, {"c", 0}},
         [] { MoveEntryBy(Entry(3), -1); },
         {{"Y", 0}, {"a", 0}, {"milk", 0}, {"milk", 0}, {"b", 0}, {"c", 0}}},
        {"a drag to the top",
         twoMilks,
         {{"Y", 0}, {"a", 0}, {"milk", 0}, {"b", 0}, {"milk", 0}, {"c", 0}},
         [] {
             const LPARAM top = MAKELPARAM(30, static_cast<WORD>(-900));
             SendMessageA(Entry(3)->label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 7));
             SendMessageA(Entry(3)->label, WM_MOUSEMOVE, MK_LBUTTON, top);
             SendMessageA(Entry(3)->label, WM_LBUTTONUP, 0, top);
         },
         {{"milk", 0}, {"Y", 0}, {"a", 0}, {"milk", 0}, {"b", 0}, {"c", 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(SettingsText(c.start)));
        WriteOutside(Writer::replace, SettingsText(c.outside));
        c.action();
        ASSERT_TRUE(SavedWithin());
        EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(c.saved));
        EXPECT_EQ(ListedEntries(), c.saved);
        Stop();
    }
}

// Insert's editor opens on the new entry only when it shows: not when a
// merge put it past the 50th.
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

// Another program empties the file and writes it later, or writes it in
// two parts. Meanwhile the window neither shows nor merges the file, no save
// replaces it and nothing is told; once the write has landed, the tick made
// meanwhile is merged with it. A hold that refuses the replacement (a
// reader without delete sharing) is waited out the same way; the shell
// ending zelk waits a second. A reload alone waits too.
TEST_F(SharingTest, AWriterThatEmptiesTheFileAndWritesLater) {
    const Entries start = {{"A", 0}, {"B", 0}}, ticked = {{"A", 1}, {"B", 0}};
    const Entries written = {{"X", 0}, {"A", 0}, {"B", 0}}, merged = {{"X", 0}, {"A", 1}, {"B", 0}};
    struct Case {
        const char* name;
        DWORD access, share; // the other program's hold while it writes
        bool holds, firstHalf;
        int rest; // ms until the rest is written
        enum { tick, none, unload } user;
    } cases[] = {
        {"a Windows program", GENERIC_WRITE, FILE_SHARE_READ, true, true, 800, Case::tick},
        {"one sharing deletion", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, true, true,
         800, Case::tick},
        {"a Linux shell's redirect", GENERIC_WRITE, 0, false, false, 800, Case::tick},
        {"a Linux program writing twice", GENERIC_WRITE, 0, false, true, 150, Case::tick},
        {"a reader refusing the replacement", GENERIC_READ, FILE_SHARE_READ, true, false, 800,
         Case::tick},
        {"a reload alone", GENERIC_WRITE, FILE_SHARE_READ, true, true, 800, Case::none},
        {"the shell ends zelk meanwhile", GENERIC_WRITE, FILE_SHARE_READ, true, true, 500,
         Case::unload},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(SettingsText(start)));
        const bool writes = c.access == GENERIC_WRITE;
        const std::string path = SettingsPath(), text = SettingsText(written);
        const size_t half = c.firstHalf ? text.size() / 2 : 0;
        DWORD n = 0;
        HANDLE file = CreateFileA(path.c_str(), c.access, c.share, nullptr,
                                  writes ? TRUNCATE_EXISTING : OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        WriteFile(file, text.data(), DWORD(half), &n, nullptr);
        if (!c.holds) CloseHandle(file);
        std::thread other([&] {
            Sleep(c.rest);
            if (!c.holds) {
                file =
                    CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                SetFilePointer(file, 0, nullptr, FILE_END);
            }
            DWORD m = 0;
            if (writes) WriteFile(file, text.data() + half, DWORD(text.size() - half), &m, nullptr);
            CloseHandle(file);
        });
        const Entries before = c.user == Case::none ? start : ticked;
        const Entries after = !writes ? ticked : c.user == Case::none ? written : merged;
        MessageBoxSeen seen = WatchMessageBoxes([&] {
            if (c.user != Case::none) SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
            if (c.user == Case::unload) return Stop();
            for (DWORD t = GetTickCount(); GetTickCount() - t < 1500;) {
                PumpMessages(20);
                const Entries shown = ListedEntries();
                ASSERT_TRUE(shown == before || shown == after) << shown.size();
            }
            EXPECT_TRUE(SavedWithin());
            EXPECT_EQ(ListedEntries(), after);
        });
        other.join();
        EXPECT_EQ(seen.count, 0);
        EXPECT_EQ(ReadFileText(path), SettingsText(after));
        Stop();
    }
}

// A settings file that is a symbolic link stays one: each save replaces the
// link's target, and the backup, the temporary files (past MAX_PATH here)
// and the folder watch are the target's.
TEST_F(SharingTest, ALinkedFileStaysALink) {
    RemoveSettingsFiles();
    const std::string folder = FolderOfLength(243), target = folder + "real.rc";
    const std::string stray = target + ".0badc0de.tmp";
    WriteFileText(target, SettingsText({{"A", 0}}));
    WriteFileText(stray, "a copy killed mid-save");
    DeleteFileA((target + ".bak").c_str());
    DeleteFileA((SettingsPath() + ".bak").c_str());
    if (!RunUnix("/bin/ln -s", {target, SettingsPath()})) GTEST_SKIP() << "Wine only";
    struct Unlink {
        ~Unlink() {
            RunUnix("/bin/rm", {SettingsPath()});
            for (int i = 0; i < 100 && FileExistsAt(SettingsPath()); ++i)
                Sleep(50);
        }
    } unlink;
    for (int i = 0; i < 100 && !FileExistsAt(SettingsPath()); ++i)
        Sleep(50);
    ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
    SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ReadFileText(target), SettingsText({{"A", 1}}));
    EXPECT_EQ(ReadFileText(target + ".bak"), SettingsText({{"A", 0}}));
    EXPECT_FALSE(FileExistsAt(SettingsPath() + ".bak"));
    EXPECT_FALSE(FileExistsAt(stray));
    WriteFileText(target, SettingsText({{"A", 1}, {"B", 0}}));
    ASSERT_TRUE(ShowsWithin({{"A", 1}, {"B", 0}})) << "the target's folder is watched";
    SendMessageA(Entry(1)->doneBox, WM_LBUTTONUP, 0, 0);
    Stop();
    WriteFileText(target, SettingsText({{"C", 0}}));
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"C", 0}})) << "still a link";
    EXPECT_TRUE(TemporaryFiles(target).empty());
}

// A settings path of 247 to 255 characters: the save's and the backup's
// temporary files run past MAX_PATH and still have names of their own.
TEST_F(SharingTest, LongPathsSave) {
    for (size_t length : {247, 251, 255}) {
        ASSERT_TRUE(Start(SettingsText({{"A", 0}})));
        const std::string path = FolderOfLength(length - 7) + "zelk.rc";
        ASSERT_EQ(path.size(), length);
        CopyFileA(SettingsPath().c_str(), path.c_str(), FALSE);
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, ThePlugin->settingsPath, PathSize);
        MessageBoxSeen seen =
            WatchMessageBoxes([] { SendMessageA(Entry(0)->doneBox, WM_LBUTTONUP, 0, 0); });
        EXPECT_EQ(seen.count, 0) << length;
        EXPECT_EQ(ReadFileText(path), SettingsText({{"A", 1}})) << length;
        EXPECT_EQ(ReadFileText(path + ".bak"), SettingsText({{"A", 0}})) << length;
        EXPECT_TRUE(TemporaryFiles(path).empty());
        Stop();
        DeleteFileA(path.c_str());
        DeleteFileA((path + ".bak").c_str());
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
    // A save right after the other copy's waits for the quiet time.
    for (int i : {0, 1, 0})
        SendMessageA(buttons[i], WM_LBUTTONUP, 0, 0);
    PumpMessages(600);
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
