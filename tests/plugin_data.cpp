// The entry list, the settings file and the style, driven through the
// plug-in's own code with the real kernel32 and the host's rc readers.
#include <gtest/gtest.h>

#include "CorvaneHost.h"
#include "TestSupport.h"
#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"
#include "data/Utf8.h"

using namespace test;

namespace {

const char DefaultFile[] = "zelk.position.x: 10\nzelk.position.y: 10\nzelk.width: 100\n"
                           "zelk.alwaysOnTop: true\nzelk.snapWindow: true\n"
                           "zelk.transparency: false\r\nzelk.inSlit: false\r\n"
                           "zelk.transparency.alpha: 200\r\n";

// An instance without windows: settings located and read, style read twice.
struct Instance {
    explicit Instance() {
        BindHost();
        ItemCount = 0;
        ThePlugin = PluginInstance::Create(GetModuleHandleA(nullptr));
    }
    ~Instance() {
        ClearItems();
        PluginInstance::Destroy(ThePlugin);
        ThePlugin = nullptr;
    }
    PluginInstance* operator->() { return ThePlugin; }
    // What the window layer does with the staged entries.
    void ListStaged() {
        for (int i = 0; i < ItemCount; ++i)
            AppendItem(LoadedText[i], LoadedDone[i]);
    }
};

class DataTest : public testing::Test {
  protected:
    void SetUp() override {
        RemoveSettingsFiles();
        UseStyle("default.style");
    }
    void TearDown() override { RemoveSettingsFiles(); }
};

} // namespace

TEST(ItemList, LookupsAppendAndUnlink) {
    ClearItems();
    HWND w[6];
    for (int i = 0; i < 6; ++i)
        w[i] = reinterpret_cast<HWND>(static_cast<intptr_t>(0x100 + i));
    ListItem* a = AppendItem("a", 0);
    ListItem* b = AppendItem("b", 1);
    ListItem* c = AppendItem("c", 0);
    a->doneBox = w[0], a->label = w[1], b->doneBox = w[2], b->label = w[3];
    c->doneBox = w[4], c->label = w[5];

    EXPECT_EQ(FindItem(w[3]), b);
    EXPECT_EQ(FindItem(w[2]), b);
    EXPECT_EQ(FindItem(reinterpret_cast<HWND>(0x999)), nullptr);
    EXPECT_EQ(FindItem(nullptr), nullptr);
    EXPECT_EQ(FindPreviousItem(w[1]), nullptr); // head
    EXPECT_EQ(FindPreviousItem(w[3]), a);
    EXPECT_EQ(FindPreviousItem(w[4]), b);
    EXPECT_EQ(FindPreviousItem(reinterpret_cast<HWND>(0x999)), nullptr);

    // Unlinking the tail keeps the tail right: the next append follows b.
    UnlinkItem(c);
    ReleaseItem(c);
    EXPECT_EQ(ListTail, b);
    ListItem* d = AppendItem("d", 0);
    EXPECT_EQ(b->next, d);
    UnlinkItem(a);
    ReleaseItem(a);
    EXPECT_EQ(ListHead, b);
    EXPECT_EQ(CountListedItems(), 2);
    ClearItems();
    EXPECT_EQ(ListHead, nullptr);
    EXPECT_EQ(ListTail, nullptr);

    ListItem* only = AppendItem("only", 0);
    UnlinkItem(only);
    ReleaseItem(only);
    EXPECT_EQ(ListHead, nullptr);
    EXPECT_EQ(ListTail, nullptr);
}

TEST_F(DataTest, FirstStartCreatesTheDefaultFileBeforeTheStyleIsRead) {
    Instance p;
    EXPECT_EQ(ReadFileText(SettingsPath()), DefaultFile);
    EXPECT_EQ(Utf8(p->settingsPath), SettingsPath());
    EXPECT_EQ(p->height, 30);
    EXPECT_EQ(ItemCount, 0);
    EXPECT_TRUE(TemporaryFiles(SettingsPath()).empty());
}

TEST_F(DataTest, CandidateOrder) {
    std::string plugin = ProgramDirectory(), host = HostDirectory();
    struct Case {
        std::vector<std::string> present;
        std::string chosen;
    } cases[] = {
        {{plugin + "zelk.rc", plugin + "zelkrc", host + "zelk.rc"}, plugin + "zelk.rc"},
        {{plugin + "zelkrc", host + "zelk.rc", host + "zelkrc"}, plugin + "zelkrc"},
        {{host + "zelk.rc", host + "zelkrc"}, host + "zelk.rc"},
        {{host + "zelkrc"}, host + "zelkrc"},
    };
    for (const Case& c : cases) {
        RemoveSettingsFiles();
        for (const std::string& f : c.present)
            WriteFileText(f, SettingsText({{f, 0}}));
        Instance p;
        EXPECT_EQ(Utf8(p->settingsPath), c.chosen);
        ASSERT_EQ(ItemCount, 1);
        EXPECT_EQ(std::string(LoadedText[0]), c.chosen) << "read from the chosen file";
    }
}

// Other encodings: a byte-order mark hides no line; UTF-16 in either order
// is read, and written back, as UTF-8; an ANSI file keeps its other lines.
TEST_F(DataTest, ReadingEntries) {
    const std::wstring lines =
        L"zelk.zelk1.text: Zo\u00eb \u041a\u0443 \u4e70 \U0001F600\nother: \u0416\n";
    std::string le = "\xff\xfe", be = "\xfe\xff";
    for (wchar_t c : lines) {
        le += {char(c), char(c >> 8)};
        be += {char(c >> 8), char(c)};
    }
    const std::string text = Utf8(L"Zo\u00eb \u041a\u0443 \u4e70 \U0001F600"),
                      kept = u8"other: Ж\n";
    wchar_t e = 0;
    MultiByteToWideChar(CP_ACP, 0, "\xe9", 1, &e, 1);
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::pair<std::string, int>> expected;
        std::string kept = ""; // the file's last lines once saved
    } cases[] = {
        {"reading goes past a gap",
         SettingsText({}, "zelk.zelk1.text: one\nzelk.zelk2.text: two\nzelk.zelk4.text: four\n"),
         {{"one", 0}, {"two", 0}, {"four", 0}}},
        {"entries as far as number 100, in number order",
         SettingsText({}, "zelk.zelk100.text: last\nzelk.zelk101.text: beyond\n"
                          "zelk.zelk07.text: not a key\nzelk.zelk3.text: third\n"
                          "zelk.zelk3.done: 1\nzelk.zelk100.done: 2\n"),
         {{"third", 1}, {"last", 2}}},
        {"done values stay as read",
         SettingsText({{"a", 7}, {"b", -1}, {"c", 1}}),
         {{"a", 7}, {"b", -1}, {"c", 1}}},
        {"missing done is 0", SettingsText({}, "zelk.zelk1.text: x\n"), {{"x", 0}}},
        {"an empty text is no entry",
         SettingsText({{"a", 0}, {"", 1}, {"c", 0}}),
         {{"a", 0}, {"c", 0}}},
        {"C1 controls and the line and paragraph separators are spaces; only those: no entry",
         SettingsText({{u8"a\u0085b\u2028c\u2029\x01", 0}, {u8"\u009f\x7f", 1}}),
         {{"a b c  ", 0}}},
        {"UTF-8 with a byte-order mark", "\xef\xbb\xbf" + Utf8(lines), {{text, 0}}, kept},
        {"UTF-16 little-endian", le, {{text, 0}}, kept},
        {"UTF-16 big-endian", be, {{text, 0}}, kept},
        {"ANSI",
         "zelk.zelk1.text: caf\xe9\nother: \xe9\n",
         {{"caf" + Utf8({e}), 0}},
         "other: \xe9\n"},
    };
    for (const Case& c : cases) {
        WriteFileText(SettingsPath(), c.file);
        {
            Instance p;
            p.ListStaged();
            EXPECT_EQ(ListedEntries(), c.expected) << c.name;
            ASSERT_TRUE(p->WriteSettings());
        }
        std::string written = ReadFileText(SettingsPath());
        EXPECT_EQ(written.substr(written.size() - c.kept.size()), c.kept) << c.name;
    }
}

TEST_F(DataTest, ReadingIsBoundedTo50EntriesOf99Characters) {
    std::vector<std::pair<std::string, int>> many;
    for (int i = 1; i <= 60; ++i)
        many.emplace_back("entry " + std::to_string(i), i % 2);
    many[0].first = std::string(200, 'x');
    WriteFileText(SettingsPath(), SettingsText(many));
    Instance p;
    ASSERT_EQ(ItemCount, 50);
    EXPECT_EQ(std::string(LoadedText[0]), std::string(99, 'x'));
    EXPECT_EQ(std::string(LoadedText[49]), "entry 50");
    EXPECT_EQ(LoadedDone[49], 0);
    EXPECT_EQ(p->height, 15 * 50 + 30);
}

// A value that is valid UTF-8 is kept; any other is read in the code page
// given, so files from before UTF-8 and hand-written ANSI files keep their
// text. Every cut falls between characters, at 99 code points.
TEST(Utf8, DecodesValuesOfEveryAge) {
    const std::string a98(98, 'a');
    std::string sjis, ya, a99; // 120 "あ" in code page 932, 60 "Я" and 99 "あ" in UTF-8
    for (int i = 0; i < 120; ++i)
        sjis += "\x82\xa0", ya += i < 60 ? u8"Я" : "", a99 += i < 99 ? u8"あ" : "";
    struct Case {
        std::string bytes;
        unsigned codePage;
        std::string text;
    } cases[] = {
        {"Zo\xeb's caf\xe9", 1252, u8"Zoë's café"},
        {"\xca\xf3\xef\xe8\xf2\xfc \xf5\xeb\xe5\xe1", 1251, u8"Купить хлеб"},
        {sjis, 932, a99},
        {u8"Zoë's café", 1251, u8"Zoë's café"}, // UTF-8 whatever the code page
        {ya, 1252, ya},                         // 120 bytes, 60 characters: whole
        {a98 + u8"😀" + std::string(21, 'b'), 1252, a98 + u8"😀"},
        {a98 + "x" + u8"😀", 1252, a98 + "x"},
        // Not UTF-8: a lone lead byte, an overlong form, an encoded
        // surrogate, a sequence cut short.
        {"\xc3(", 1252, u8"Ã("},
        {"\xc0\xaf", 1252, u8"À¯"},
        {"\xed\xa0\x80", 1252, u8"í\u00a0€"},
        {"caf\xe2\x82", 1252, u8"cafâ‚"},
    };
    for (const Case& c : cases) {
        char text[ItemTextSize];
        DecodeEntryText(c.bytes.data(), c.bytes.size(), c.codePage, text, sizeof text);
        EXPECT_EQ(std::string(text), c.text) << c.bytes;
    }
}

TEST_F(DataTest, SettingsRoundTrip) {
    WriteFileText(SettingsPath(), SettingsText({{"first", 0}, {"second", 1}, {"third", 7}}));
    {
        Instance p;
        p.ListStaged();
        p->x = -20;
        p->y = 300;
        p->width = 180;
        p->alwaysOnTop = false;
        p->transparencyOn = true;
        p->alpha = 300;
        InSlit = true;
        ASSERT_TRUE(p->WriteSettings());
    }
    EXPECT_EQ(ReadFileText(SettingsPath()),
              "zelk.position.x: -20\nzelk.position.y: 300\nzelk.width: 180\n"
              "zelk.alwaysOnTop: false\nzelk.snapWindow: true\n"
              "zelk.transparency: true\r\nzelk.inSlit: true\r\nzelk.transparency.alpha: 300\r\n"
              "zelk.zelk1.text: first\nzelk.zelk1.done: 0\nzelk.zelk2.text: second\n"
              "zelk.zelk2.done: 1\nzelk.zelk3.text: third\nzelk.zelk3.done: 7\n");
    Instance again;
    again.ListStaged();
    EXPECT_EQ(ListedEntries(), (std::vector<std::pair<std::string, int>>{
                                   {"first", 0}, {"second", 1}, {"third", 7}}));
    EXPECT_EQ(again->x, -20);
    EXPECT_EQ(again->alpha, 300);
    EXPECT_TRUE(InSlit);
    InSlit = false;
}

// Texts that would not read back must not cost the entries after them.
TEST_F(DataTest, WriterKeepsLaterEntriesOfUnstorableTexts) {
    WriteFileText(SettingsPath(), DefaultFile);
    Instance p;
    AppendItem("one", 0);
    AppendItem("", 1);
    AppendItem("   ", 0);
    AppendItem("line\r\nzelk.zelk9.text: planted\tend", 1);
    AppendItem("last", 0);
    ItemCount = 5;
    ASSERT_TRUE(p->WriteSettings());
    ClearItems();
    Instance again;
    again.ListStaged();
    EXPECT_EQ(ListedEntries(),
              (std::vector<std::pair<std::string, int>>{
                  {"one", 0}, {"line  zelk.zelk9.text: planted end", 1}, {"last", 0}}));
}

// After a window construction failed inside a rebuild the list is empty but
// ItemCount still counts the staged entries: those are what get written.
TEST_F(DataTest, WriterFallsBackToStagedEntriesWhenTheListIsShort) {
    WriteFileText(SettingsPath(), SettingsText({{"a", 1}, {"b", 0}}));
    Instance p;
    ASSERT_EQ(ItemCount, 2);
    ASSERT_EQ(ListHead, nullptr);
    ASSERT_TRUE(p->WriteSettings());
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"a", 1}, {"b", 0}}));
}

TEST_F(DataTest, FailedWriteLeavesThePreviousFileAndReportsFailure) {
    const std::string before = SettingsText({{"keep me", 1}});
    WriteFileText(SettingsPath(), before);
    Instance p;
    p.ListStaged();
    AppendItem("new", 0);
    ++ItemCount;

    // Held open by another handle without sharing.
    HANDLE held =
        CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(p->WriteSettings());
    CloseHandle(held);
    EXPECT_EQ(ReadFileText(SettingsPath()), before);
    EXPECT_TRUE(TemporaryFiles(SettingsPath()).empty());

    // The folder is gone.
    std::string gone = ProgramDirectory() + "gone\\";
    CreateDirectoryA(gone.c_str(), nullptr);
    std::wstring saved = p->settingsPath;
    swprintf(p->settingsPath, PathSize, L"%hszelk.rc", gone.c_str());
    RemoveDirectoryA(gone.c_str());
    EXPECT_FALSE(p->WriteSettings());
    wcscpy(p->settingsPath, saved.c_str());

    // Once the file is free again the same write saves everything.
    EXPECT_TRUE(p->WriteSettings());
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText({{"keep me", 1}, {"new", 0}}));
}

TEST_F(DataTest, StyleValues) {
    struct Case {
        const char* name;
        std::string style;
        const char* face;
        COLORREF text;
    } cases[] = {
        {"toolbar font and label colour",
         "toolbar.font: Verdana\n*font: Arial\ntoolbar.label.textColor: #102030\n"
         "toolbar.textColor: #405060\n",
         "Verdana", RGB(0x10, 0x20, 0x30)},
        {"general font, toolbar text colour", "*font: Arial\ntoolbar.textColor: #405060\n", "Arial",
         RGB(0x40, 0x50, 0x60)},
        {"nothing: Tahoma and white", "", "Tahoma", RGB(255, 255, 255)},
        {"a label colour of 'doesntexist' is absent",
         "toolbar.label.textColor: doesntexist\ntoolbar.textColor: #405060\n", "Tahoma",
         RGB(0x40, 0x50, 0x60)},
        {"the marker is case-sensitive",
         "toolbar.label.textColor: DoesntExist\ntoolbar.textColor: #405060\n", "Tahoma",
         RGB(255, 255, 255)},
    };
    for (const Case& c : cases) {
        UseStyleText(c.style);
        Instance p;
        EXPECT_STREQ(p->fontFace, c.face) << c.name;
        EXPECT_EQ(p->textColour, c.text) << c.name;
        EXPECT_EQ(p->fontHeight, 12);
    }
    UseStyleText("");
    Instance p;
    EXPECT_EQ(p->colour, RGB(0, 0, 0));
    EXPECT_EQ(p->colourTo, RGB(255, 255, 255));
    EXPECT_EQ(p->doneTextColour, RGB(0, 0, 0));
    EXPECT_EQ(p->bevelWidth, 1);
    EXPECT_EQ(p->borderWidth, 1);
    ASSERT_NE(p->styleRecord, nullptr);
    EXPECT_EQ(p->styleRecord->gradientType, 2); // "Flat Gradient Vertical"
    EXPECT_EQ(p->styleRecord->valueA, 0);
}

TEST_F(DataTest, HeightFollowsTheEntries) {
    for (int n : {0, 1, 3}) {
        std::vector<std::pair<std::string, int>> entries(n, {"x", 0});
        WriteFileText(SettingsPath(), SettingsText(entries));
        Instance p;
        EXPECT_EQ(p->height, 15 * n + 30);
    }
}

TEST_F(DataTest, OverlongHostStringsAreCut) {
    UseStyleText("toolbar.font: " + std::string(10000, 'F') + "\n");
    Instance p;
    EXPECT_EQ(strlen(p->fontFace), sizeof p->fontFace - 1);

    std::string longStyle = ProgramDirectory() + std::string(300, 's') + ".style";
    HostSetStyle(longStyle.c_str());
    p->ReadStyle();
    EXPECT_EQ(strlen(p->stylePath), sizeof p->stylePath - 1);
    EXPECT_STREQ(p->fontFace, "Tahoma");
}

// Every line zelk did not load comes back verbatim, after zelk's own lines:
// comments, blank lines, unknown keys, other plug-ins' keys, later duplicates,
// entries past the 50th found and entries numbered past 100.
// Lines that are not zelk's keep their bytes and order; later duplicates of
// zelk's keys go; entries past the 50th are written on after the 50 shown.
TEST_F(DataTest, OtherLinesAreKeptAndEntriesPast50WrittenOn) {
    std::string entries;
    std::vector<std::pair<std::string, int>> all;
    for (int n = 1; n <= 55; ++n) {
        entries += "zelk.zelk" + std::to_string(n) + ".text: e" + std::to_string(n) +
                   "\nzelk.zelk" + std::to_string(n) + ".done: " + std::to_string(n % 2) + "\n";
        all.emplace_back("e" + std::to_string(n), n % 2);
    }
    WriteFileText(SettingsPath(),
                  "# a comment\r\n" + SettingsText({}).substr(0, 20) + "\n" +
                      SettingsText({}).substr(20) +
                      "  other.plugin.key: value\nzelk.unknown: 1\nZELK.WIDTH: 300\n" + entries +
                      "zelk.zelk2.text: hidden\nzelk.zelk101.text: far\nzelk.zelk101.done: 1");
    Instance p;
    ASSERT_EQ(ItemCount, 50);
    p.ListStaged();
    ASSERT_TRUE(p->WriteSettings());
    EXPECT_EQ(ReadFileText(SettingsPath()), SettingsText(all) +
                                                "# a comment\r\n\n  other.plugin.key: value\n"
                                                "zelk.unknown: 1\n"
                                                "zelk.zelk101.text: far\nzelk.zelk101.done: 1");
}

// A file the search missed for a moment is not replaced by the defaults.
TEST_F(DataTest, TheDefaultFileNeverReplacesAnExistingOne) {
    const std::string file = SettingsText({{"mine", 1}});
    WriteFileText(SettingsPath(), file);
    BindHost();
    HostFunctions saved = Host;
    Host.FileExists = [](const char*) { return false; };
    Instance p;
    Host = saved;
    EXPECT_EQ(ReadFileText(SettingsPath()), file);
    p.ListStaged();
    EXPECT_EQ(ListedEntries(), (std::vector<std::pair<std::string, int>>{{"mine", 1}}));
}

// A file that exists but cannot be read is never written over.
TEST_F(DataTest, AnUnreadableFileIsNotWrittenOver) {
    const std::string file = SettingsText({{"locked", 0}});
    WriteFileText(SettingsPath(), file);
    HANDLE held =
        CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD started = GetTickCount();
    Instance p;
    EXPECT_GE(GetTickCount() - started, 900u) << "a lock is waited for up to a second";
    EXPECT_EQ(ItemCount, 0);
    EXPECT_FALSE(p->settingsRead);
    CloseHandle(held);
    EXPECT_FALSE(p->WriteSettings()) << "not even once the lock is gone: only Save reads first";
    EXPECT_EQ(ReadFileText(SettingsPath()), file);
}
