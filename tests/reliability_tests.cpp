// Nothing lost, nothing crashes: hand-edited and hostile files, faults of the
// disk and the process, and long use, all through the plug-in's real code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <thread>

#include "CorvaneHost.h"
#include "Reliability.h"
#include "TestSupport.h"
#include "plugin/EntryPoints.h"
#include "core/PluginInstance.h"
#include "data/FileWatch.h"
#include "data/ItemList.h"
#include "ui/ChildWindows.h"
#include "ui/InPlaceEdit.h"
#include "ui/ListActions.h"
#include "ui/PluginWindows.h"

using namespace test;
using reliability::TheReport;
using Entries = std::vector<std::pair<std::string, int>>;

namespace reliability {
Entries WriterList(int which);
}

namespace {

// Entries as a fresh plug-in would load them from the file.
Entries EntriesInFile() {
    Entries e;
    std::string p = ThePlugin ? Utf8(ThePlugin->settingsPath) : SettingsPath();
    for (int n = 1; n <= MaxItems; ++n) {
        std::string text =
            ReadString(p.c_str(), ("zelk.zelk" + std::to_string(n) + ".text:").c_str(), "");
        if (text.empty()) break;
        e.emplace_back(text,
                       ReadInt(p.c_str(), ("zelk.zelk" + std::to_string(n) + ".done:").c_str(), 0));
    }
    return e;
}

void Click(HWND window, UINT message) {
    SendMessageA(window, message, 0, 0);
    PumpMessages();
}

// A Windows path for a folder the test made on the Linux side.
std::string WindowsPath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.back() != '\\') p += '\\';
    return p;
}

class Reliability : public testing::Test {
  protected:
    void SetUp() override { UseStyle("default.style"); }
    void TearDown() override {
        Stop();
        RemoveSettingsFiles();
        UseStyle("default.style");
    }
};

} // namespace

const char NulInText[] = "zelk.zelk1.text: ab\0cd\nzelk.zelk2.text: two\n";

// Each file must start the plug-in, load the expected entries (at most 50,
// of at most 99 characters), and survive an unload and reload unchanged.
TEST_F(Reliability, HostileSettingsFiles) {
    std::string garbage;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i)
        garbage += static_cast<char>(random() % 256);
    std::string entries10000;
    for (int n = 1; n <= 10000; ++n)
        entries10000 += "zelk.zelk" + std::to_string(n) + ".text: entry " + std::to_string(n) +
                        "\nzelk.zelk" + std::to_string(n) + ".done: 1\n";
    Entries first50;
    for (int n = 1; n <= MaxItems; ++n)
        first50.emplace_back("entry " + std::to_string(n), 1);
    std::string huge = "zelk.position.x: 2147483647\nzelk.position.y: -2147483648\n"
                       "zelk.width: 999999\nzelk.transparency: true\n"
                       "zelk.transparency.alpha: -7\n";
    struct Case {
        const char* name;
        std::string file;
        Entries expected;
    } cases[] = {
        {"binary garbage with NUL bytes", garbage + SettingsText({{"after", 0}}), {{"after", 0}}},
        {"NUL inside a text",
         SettingsText({}, std::string(NulInText, sizeof NulInText - 1)),
         {{"ab", 0}, {"two", 0}}},
        {"a 1 MB line",
         SettingsText({{std::string(1 << 20, 'a'), 0}, {"second", 1}}),
         {{std::string(99, 'a'), 0}, {"second", 1}}},
        {"10,000 entries", SettingsText({}, entries10000), first50},
        {"a 5,000-character text",
         SettingsText({{std::string(5000, 'b'), 0}, {"next", 0}}),
         {{std::string(99, 'b'), 0}, {"next", 0}}},
        {"odd case and spacing",
         "ZELK.ZELK1.TEXT:    upper   \nZelk.Zelk2.Text:\tmixed\nzelk.zelk3.text : not a key\n",
         {{"upper", 0}, {"mixed", 0}}},
        {"duplicated keys: the first wins",
         "zelk.zelk1.text: first\nzelk.zelk1.text: second\nzelk.zelk1.done: 1\nzelk.zelk1.done: "
         "0\n",
         {{"first", 1}}},
        {"LF, CR LF and lone CR",
         "zelk.zelk1.text: lf\nzelk.zelk2.text: crlf\r\nzelk.zelk3.text: cr\rzelk.zelk4.text: end",
         {{"lf", 0}, {"crlf", 0}, {"cr", 0}, {"end", 0}}},
        {"huge position, width and alpha", huge + SettingsText({{"x", 0}}), {{"x", 0}}},
        {"negative and zero values",
         "zelk.position.x: -500\nzelk.position.y: 0\nzelk.width: 0\nzelk.transparency.alpha: 0\n"
         "zelk.zelk1.text: small\n",
         {{"small", 0}}},
        {"negative width", "zelk.width: -40\nzelk.zelk1.text: w\n", {{"w", 0}}},
        {"missing values",
         "zelk.position.x:\nzelk.width:\nzelk.alwaysOnTop:\nzelk.zelk1.text:\nzelk.zelk2.text: "
         "after the empty one\n",
         {{"after the empty one", 0}}},
        {"an empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(c.file));
        ASSERT_NE(ThePlugin, nullptr);
        EXPECT_LE(ItemCount, MaxItems);
        for (ListItem* item = ListHead; item; item = item->next)
            EXPECT_LT(strlen(item->text), 100u);
        Entries loaded = ListedEntries();
        EXPECT_EQ(loaded, c.expected);
        RECT r;
        GetWindowRect(ThePlugin->mainWindow, &r);
        EXPECT_GE(r.right - r.left, 30) << "a window the user can still see and use";
        EXPECT_LE(r.right - r.left, 4000);
        Stop();
        ASSERT_TRUE(Start(ReadFileText(SettingsPath())));
        EXPECT_EQ(ListedEntries(), loaded) << "reloads unchanged";
        Stop();
        ++TheReport().settingsFilesTried;
    }
}

TEST_F(Reliability, SettingsFileThatIsAFolder) {
    RemoveSettingsFiles();
    ASSERT_TRUE(CreateDirectoryA(SettingsPath().c_str(), nullptr));
    HostClearRecords();
    MessageBoxSeen seen = WatchMessageBoxes([] {
        EXPECT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
        PumpMessages();
        EXPECT_EQ(ItemCount, 0);
        Click(ThePlugin->addButton, WM_LBUTTONUP);
        EXPECT_EQ(ListedEntries(), (Entries{{"New Item", 0}})) << "kept in memory";
        Stop();
    });
    EXPECT_EQ(seen.count, 1) << "told at start, once";
    EXPECT_NE(seen.text.find("could not read"), std::string::npos) << seen.text;
    EXPECT_NE(seen.text.find(SettingsPath()), std::string::npos);
    EXPECT_TRUE(GetFileAttributesA(SettingsPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(SettingsPath().c_str());
    ++TheReport().settingsFilesTried;
}

// Whatever a style file holds, each entry's text is still painted where the
// user can read it: enough of its pixels stand out from the label under them.
TEST_F(Reliability, HostileStyles) {
    auto expectTextVisible = [](int i) {
        const LabelShots label = CaptureLabel(i);
        int standingOut = 0;
        for (size_t at = 0; at < label.withText.pixels.size(); ++at)
            standingOut += Contrast(label.withText.pixels[at], label.withoutText.pixels[at]) >= 3;
        EXPECT_GE(standingOut, 15) << "entry " << i;
    };
    // Frame widths outside 0..100 must not overflow the paint's insets.
    for (const std::string& style :
         {std::string("toolbar: purple banana sideways\nbevelWidth: 3\nborderWidth: 2\n"),
          std::string("toolbar: raised interlaced gradient diagonal bevel2\nbevelWidth: -4\n"
                      "borderWidth: 100\n"),
          std::string("toolbar: raised gradient\nbevelWidth: 2147483647\nborderWidth: 1\n"),
          std::string("toolbar: sunken\nbevelWidth: -2147483648\nborderWidth: -2147483648\n"),
          std::string("bevelWidth: 101\nborderWidth: 0\n"),
          std::string("toolbar.color: #zzzzzz\ntoolbar.colorTo: #12\nborderColor: red\n"),
          "toolbar.font: " + std::string(10240, 'F') + "\n", std::string()}) {
        SCOPED_TRACE(style.substr(0, 80));
        UseStyleText(style);
        ASSERT_TRUE(Start(SettingsText({{"styled", 1}, {"plain", 0}})));
        // Not yet: a border as wide as the row paints the whole label in the
        // border colour, black by default, as is the default ticked text.
        if (style.find("borderWidth: 100") == std::string::npos) expectTextVisible(0);
        HostReconfigure();
        PumpMessages();
        expectTextVisible(1);
        Stop();
        ++TheReport().styleFilesTried;
    }
    // A style file that does not exist, and a path longer than any buffer.
    for (const std::string& path : {ProgramDirectory() + "missing.style",
                                    ProgramDirectory() + std::string(400, 'p') + ".style"}) {
        HostSetStyle(path.c_str());
        ASSERT_TRUE(Start(SettingsText({{"plain", 0}})));
        expectTextVisible(0);
        Stop();
        ++TheReport().styleFilesTried;
    }
}

TEST_F(Reliability, HostileBroadcasts) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    const std::string before = ReadFileText(SettingsPath());
    std::string big(100000, 'x');
    std::string bigCommand = "@ovletInternal " + std::string(100000, 'Q');
    std::string nonAscii = "@ovletInternal \xe4\xf6\xfc\xff\x80 \x01\x02";
    const char* texts[] = {big.c_str(),
                           bigCommand.c_str(),
                           nonAscii.c_str(),
                           "@ovletInternal",
                           "text ending in @ovletInternal",
                           "@ovletInternal   ",
                           "  ",
                           ""};
    for (const char* t : texts) {
        HostBroadcast(t);
        SendMessageA(ThePlugin->mainWindow, HOSTMSG_BROADCAST, 0, reinterpret_cast<LPARAM>(t));
        ++TheReport().commandsTried;
    }
    SendMessageA(ThePlugin->mainWindow, HOSTMSG_BROADCAST, 0, 0);
    ++TheReport().commandsTried;
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(ThePlugin->mainWindow));
    EXPECT_EQ(ReadFileText(SettingsPath()), before);
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 0}}));
}

// The settings file's folder disappears while the plug-in runs: additions and
// ticks stay in memory, and the first save after it is back writes them all.
TEST_F(Reliability, FolderRemovedWhileRunning) {
    RemoveSettingsFiles();
    std::string folder = HostDirectory() + "vanishing\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    HostSetPath(folder.c_str());
    WriteFileText(folder + "zelk.rc", SettingsText({{"a", 0}, {"b", 0}}));
    ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
    ASSERT_EQ(Utf8(ThePlugin->settingsPath), folder + "zelk.rc");

    // The watch on the folder holds it open, and a folder removed while held
    // stays until the last handle closes: let go of it, as when a network
    // drive goes away.
    StopWatching();
    DeleteFileA((folder + "zelk.rc").c_str());
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str())) << GetLastError();
    MessageBoxSeen seen = WatchMessageBoxes([] {
        Click(Entry(1)->doneBox, WM_LBUTTONUP);
        Click(ThePlugin->addButton, WM_LBUTTONUP);
        Click(Entry(0)->label, WM_RBUTTONDBLCLK);
    });
    EXPECT_EQ(seen.count, 1);
    EXPECT_NE(seen.text.find(folder + "zelk.rc"), std::string::npos) << seen.text;
    EXPECT_EQ(ListedEntries(), (Entries{{"b", 1}, {"New Item", 0}}));

    CreateDirectoryA(folder.c_str(), nullptr);
    Stop();
    EXPECT_EQ(ReadFileText(folder + "zelk.rc"), SettingsText({{"b", 1}, {"New Item", 0}}));
    DeleteFileA((folder + "zelk.rc").c_str());
    DeleteFileA((folder + "zelk.rc.bak").c_str());
    RemoveDirectoryA(folder.c_str());
    TheReport().faultsSurvived.push_back("folder removed while running");
}

// A full disk: the write fails part-way, the previous file stays byte for
// byte, no temporary file is left, and nothing in the window is lost. Needs a
// small file system mounted by the test's wrapper, which only root can do.
TEST_F(Reliability, DiskFull) {
    const char* mount = getenv("ZELK_FULL_DISK");
    if (!mount || !*mount) {
        const char* why = getenv("ZELK_NO_FULL_DISK");
        TheReport().skipped.push_back(std::string("disk full: no small file system to fill: ") +
                                      (why && *why ? why : "run without tests/reliability.sh"));
        GTEST_SKIP() << TheReport().skipped.back();
    }
    RemoveSettingsFiles();
    std::string folder = WindowsPath(mount);
    HostSetPath(folder.c_str());
    const std::string settings = folder + "zelk.rc", filler = folder + "filler";
    const std::string before = SettingsText({{"kept", 1}});
    WriteFileText(settings, before);
    ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);

    // Fill every free byte.
    HANDLE f = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::string block(4096, 'f');
    DWORD written = 0;
    int blocks = 0;
    while (WriteFile(f, block.data(), 4096, &written, nullptr) && written == 4096 &&
           blocks < 100000)
        ++blocks;
    DWORD one = 1;
    while (one == 1 && WriteFile(f, "f", 1, &one, nullptr)) {
    }
    CloseHandle(f);

    MessageBoxSeen seen = WatchMessageBoxes([] {
        for (int i = 0; i < 30; ++i)
            Click(ThePlugin->addButton, WM_LBUTTONUP);
    });
    EXPECT_EQ(seen.count, 1) << "one box for thirty failed saves";
    EXPECT_NE(seen.text.find(SystemMessage(ERROR_DISK_FULL)), std::string::npos) << seen.text;
    EXPECT_EQ(ReadFileText(settings), before);
    EXPECT_TRUE(TemporaryFiles(settings).empty());
    EXPECT_EQ(ItemCount, 31);

    DeleteFileA(filler.c_str());
    Stop();
    Entries expected(1, {"kept", 1});
    expected.insert(expected.end(), 30, {"New Item", 0});
    EXPECT_EQ(ReadFileText(settings), SettingsText(expected));
    DeleteFileA(settings.c_str());
    TheReport().faultsSurvived.push_back("disk full");
}

// A read-only settings file is never replaced, whoever runs the plug-in (as
// root the file system itself would let the replacement through). The first
// failure is told; once writable again the next save writes everything.
TEST_F(Reliability, ReadOnlySettingsFile) {
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    ASSERT_TRUE(SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string before = ReadFileText(SettingsPath());
    MessageBoxSeen seen = WatchMessageBoxes([] {
        Click(ThePlugin->addButton, WM_LBUTTONUP);
        Click(Entry(0)->doneBox, WM_LBUTTONUP);
    });
    EXPECT_EQ(seen.count, 1);
    EXPECT_NE(seen.text.find(SystemMessage(ERROR_ACCESS_DENIED)), std::string::npos) << seen.text;
    EXPECT_EQ(ReadFileText(SettingsPath()), before);
    EXPECT_EQ(ListedEntries(), (Entries{{"a", 1}, {"New Item", 0}}));
    SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    Stop();
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"a", 1}, {"New Item", 0}}));
    TheReport().faultsSurvived.push_back("read-only file");

    // Read-only for a whole session where nothing changed: the last save at
    // the end is the first failure, and its box names what was not written.
    ASSERT_TRUE(Start(SettingsText({{"a", 0}})));
    ASSERT_TRUE(SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    seen = WatchMessageBoxes([] { Stop(); });
    SetFileAttributesA(SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(seen.count, 1);
    EXPECT_NE(seen.text.find("changes since the last good save could not be written"),
              std::string::npos);
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"a", 0}}));
    TheReport().faultsSurvived.push_back("read-only file");
}

namespace {

std::string Numbered(int from, int to, const std::string& prefix = "entry ") {
    std::string s;
    for (int n = from; n <= to; ++n)
        s += "zelk.zelk" + std::to_string(n) + ".text: " + prefix + std::to_string(n) +
             "\nzelk.zelk" + std::to_string(n) + ".done: 0\n";
    return s;
}

} // namespace

// Hand-edited files: after a start, a change and an unload nothing of them is
// lost, the file loads the same again, and a deleted entry stays deleted.
TEST_F(Reliability, HandEditedFilesLoseNothing) {
    struct Case {
        const char* name;
        std::string file;
        size_t count;                  // entries loaded
        std::vector<std::string> kept; // lines written back as they were
    } cases[] = {
        {"a gap in the numbering",
         SettingsText({}, "zelk.zelk1.text: one\nzelk.zelk2.text: two\nzelk.zelk5.text: five\n"),
         3,
         {}},
        {"an empty first text", SettingsText({}, "zelk.zelk1.text:\n" + Numbered(2, 50)), 49, {}},
        {"55 entries",
         SettingsText({}, Numbered(1, 55)),
         50,
         {"zelk.zelk51.text: entry 51\nzelk.zelk51.done: 0\n", "zelk.zelk55.text: entry 55\n"}},
        {"entries numbered past 100",
         SettingsText({}, "zelk.zelk1.text: one\nzelk.zelk150.text: far\nzelk.zelk150.done: 1\n"),
         1,
         {"zelk.zelk150.text: far\nzelk.zelk150.done: 1\n"}},
        {"comments and unknown keys",
         "! comment\n# another\r\n\n" + SettingsText({{"a", 0}}) +
             "other.plugin.width: 7\nzelk.someday: yes\nno colon here",
         1,
         {"! comment\n# another\r\n\nother.plugin.width: 7\nzelk.someday: yes\nno colon here"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start(c.file));
        Entries loaded = ListedEntries();
        EXPECT_EQ(loaded.size(), c.count);
        Click(Entry(0)->doneBox, WM_LBUTTONUP);
        loaded[0].second = 1;
        Stop();
        const std::string saved = ReadFileText(SettingsPath());
        for (const std::string& kept : c.kept)
            EXPECT_NE(saved.find(kept), std::string::npos) << "lost: " << kept;
        ASSERT_TRUE(Start(saved));
        EXPECT_EQ(ListedEntries(), loaded) << "loads the same again";
        // A deleted entry never comes back, nor does what it hid.
        const std::string deleted = Entry(0)->text;
        Click(Entry(0)->label, WM_RBUTTONDBLCLK);
        Stop();
        ASSERT_TRUE(Start(ReadFileText(SettingsPath())));
        for (const auto& e : ListedEntries())
            EXPECT_NE(e.first, deleted);
        Stop();
        ++TheReport().settingsFilesTried;
    }
}

// A file held open without sharing, as a virus scanner or a sync tool might:
// a short hold is waited out silently; a long one is told once, the file is
// not replaced while held, and once free its entries come first and the
// session's follow, nothing lost.
TEST_F(Reliability, LockedSettingsFile) {
    auto startLocked = [](const std::string& file, HANDLE& held) {
        RemoveSettingsFiles();
        WriteFileText(SettingsPath(), file);
        held = CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        HostClearRecords();
        ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
        PumpMessages();
    };
    const std::string file =
        SettingsText({{"from the file", 1}, {"second", 0}}).replace(17, 2, "300");

    // Released after a third of a second: waited out, no box.
    HANDLE held = nullptr;
    MessageBoxSeen seen = WatchMessageBoxes([&] {
        std::thread release([&] {
            Sleep(300);
            CloseHandle(held);
        });
        RemoveSettingsFiles();
        WriteFileText(SettingsPath(), file);
        held = CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        ASSERT_EQ(beginPlugin(GetModuleHandleA(nullptr)), 0);
        release.join();
    });
    EXPECT_EQ(seen.count, 0);
    EXPECT_EQ(ListedEntries(), (Entries{{"from the file", 1}, {"second", 0}}));
    Stop();
    EXPECT_EQ(ReadFileText(SettingsPath()), file);

    // Held for the whole session: one box, the file byte for byte as it was.
    seen = WatchMessageBoxes([&] {
        startLocked(file, held);
        Click(ThePlugin->addButton, WM_LBUTTONUP);
        Click(Entry(0)->doneBox, WM_LBUTTONUP);
        Stop();
    });
    CloseHandle(held);
    EXPECT_EQ(seen.count, 1);
    EXPECT_NE(seen.text.find(SystemMessage(ERROR_SHARING_VIOLATION)), std::string::npos)
        << seen.text;
    EXPECT_EQ(ReadFileText(SettingsPath()), file);

    // Held until after a change: the next change reads it and saves both;
    // the place is the window's own, never the file's once the window shows.
    seen = WatchMessageBoxes([&] {
        startLocked(file, held);
        Click(ThePlugin->addButton, WM_LBUTTONUP);
        CloseHandle(held);
        Click(Entry(0)->doneBox, WM_LBUTTONUP);
    });
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(ReadFileText(SettingsPath()),
              SettingsText({{"from the file", 1}, {"second", 0}, {"New Item", 1}}));
    EXPECT_EQ(ListedEntries(), (Entries{{"from the file", 1}, {"second", 0}, {"New Item", 1}}));
    ASSERT_NE(Entry(0)->label, nullptr) << "the entries read have rows";
    Stop();
    TheReport().faultsSurvived.push_back("file locked at start");
}

// A process killed at random moments while it rewrites the file: afterwards
// the file holds exactly the old or the new list, never a mix or a fragment.
TEST_F(Reliability, KilledWhileWriting) {
    RemoveSettingsFiles();
    const std::string old = SettingsText(reliability::WriterList(0));
    const std::string fresh = SettingsText(reliability::WriterList(1));
    WriteFileText(SettingsPath(), old);
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program + "\" --write-loop";
    std::mt19937 random(11);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "zelk-write-loop-ready");
    for (int round = 0; round < 12; ++round) {
        ResetEvent(ready);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi));
        ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
        Sleep(random() % 40);
        TerminateProcess(pi.hProcess, 9);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::string now = ReadFileText(SettingsPath());
        EXPECT_TRUE(now == old || now == fresh)
            << "round " << round << ": " << now.size() << " bytes";
        if (TemporaryFiles(SettingsPath()).size() > size_t(TheReport().killsLeavingTemporaryFile))
            ++TheReport()
                  .killsLeavingTemporaryFile; // each killed copy's file has a name of its own
        ++TheReport().killsDuringWrites;
    }
    CloseHandle(ready);
    // Stray temporary files (one planted, as a copy killed mid-save leaves
    // it) do not stop the next save, which removes them. A live copy's file,
    // held and locked, under the very name this copy tries first, stays.
    ASSERT_TRUE(Start(ReadFileText(SettingsPath())));
    WriteFileText(SettingsPath() + ".0badc0de.tmp", "half a save");
    char name[16];
    snprintf(name, sizeof name, ".%08x.tmp",
             unsigned(GetCurrentProcessId() * 31u +
                      (reinterpret_cast<UINT_PTR>(GetModuleHandleA(nullptr)) >> 16)));
    const std::string live = SettingsPath() + name;
    HANDLE held = CreateFileA(live.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_TRUE(LockFile(held, 0x7fffffff, 0, 1, 0));
    Click(ThePlugin->addButton, WM_LBUTTONUP);
    EXPECT_EQ(TemporaryFiles(SettingsPath()), std::vector<std::string>{live});
    CloseHandle(held);
    EXPECT_TRUE(FileExistsAt(live)) << "not even marked for deletion";
    DeleteFileA(live.c_str());
    EXPECT_EQ(EntriesInFile().back(), (std::pair<std::string, int>{"New Item", 0}));
}
