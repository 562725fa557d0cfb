// The rc readers and WriteBool: parsing rules, robustness against bad files,
// byte-exact in-place writes, and the parsed-file cache staying correct.
#include <gtest/gtest.h>

#include <cstdio>

#include "host_support.h"

namespace {

enum Kind { Int, Bool, Color, String };

// Every reader's result as text, so that one table covers all of them.
std::string read(Kind kind, const char* path, const char* key, const char* def) {
    char text[32];
    switch (kind) {
    case Int:
        return std::to_string(ReadInt(path, key, atoi(def)));
    case Bool:
        return ReadBool(path, key, strcmp(def, "true") == 0) ? "true" : "false";
    case Color: {
        COLORREF c = ReadColor(path, key, def);
        snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
        return text;
    }
    case String: {
        const char* s = ReadString(path, key, def);
        return s ? s : "<null>";
    }
    }
    return "";
}

const char* const sample = "  toolbar.color:   #204080  \r\n"
                           "Toolbar.ColorTo: #f80\n"
                           "number: 42\r"
                           "negative: -17\n"
                           "plus: +5\n"
                           "bad: 12abc\n"
                           "sign only: -\n"
                           "huge: 99999999999\n"
                           "lowest: -2147483648\n"
                           "empty:\n"
                           "flag: TRUE\n"
                           "off: False\n"
                           "maybe: yes\n"
                           "dup: first\n"
                           "DUP: second\n"
                           "nocolon value\n"
                           "path: C:\\dir\\file.txt\n"
                           "toolbar: raised gradient vertical\n"
                           "badcolor: #12345g\n"
                           "short hex: #ABC\n"
                           "tabbed:\t\tvalue with  inner  blanks\t \n"
                           "last: no line break";

struct ReadCase {
    Kind kind;
    const char* key;
    const char* def;
    const char* expected;
};

const ReadCase readCases[] = {
    {Color, "toolbar.color:", "#000000", "#204080"},   // leading/trailing blanks, CR LF
    {Color, "TOOLBAR.COLORTO:", "#000000", "#ff8800"}, // key case; #rgb expanded
    {Color, "short hex:", "#000000", "#aabbcc"},
    {Color, "badcolor:", "#0f0", "#00ff00"},  // bad value: the default is parsed
    {Color, "badcolor:", "green", "#000000"}, // unparsable default: black
    {Color, "absent:", " #102030 ", "#102030"},
    {Int, "number:", "7", "42"}, // line ended by a lone CR
    {Int, "negative:", "7", "-17"},
    {Int, "plus:", "7", "5"},
    {Int, "lowest:", "7", "-2147483648"},
    {Int, "bad:", "7", "7"},
    {Int, "sign only:", "7", "7"},
    {Int, "huge:", "7", "7"},
    {Int, "empty:", "7", "7"},
    {Int, "number", "7", "7"}, // the colon is part of the key
    {Int, "toolbar.color:", "7", "7"},
    {Bool, "flag:", "false", "true"},
    {Bool, "off:", "true", "false"},
    {Bool, "maybe:", "true", "true"},
    {Bool, "maybe:", "false", "false"},
    {Bool, "absent:", "true", "true"},
    {String, "dup:", "x", "first"}, // the first matching line wins
    {String, "nocolon:", "x", "x"},
    {String, "nocolon value", "x", "x"},
    {String, "path:", "x", "C:\\dir\\file.txt"},           // colons inside the value
    {String, "toolbar:", "x", "raised gradient vertical"}, // not a prefix of toolbar.color:
    {String, "tabbed:", "x", "value with  inner  blanks"},
    {String, "last:", "x", "no line break"},
    {String, "empty:", "x", ""}, // present but empty is not absent
    {String, "absent:", "x", "x"},
    {String, "absent:", nullptr, "<null>"},
};

class RcFiles : public testing::Test {
  protected:
    ScratchFolder folder;
};

TEST_F(RcFiles, ReadersFollowTheRcSyntax) {
    std::string path = folder.file("sample.rc");
    WriteFileText(path, sample);
    for (const ReadCase& c : readCases)
        EXPECT_EQ(read(c.kind, path.c_str(), c.key, c.def), c.expected) << "key " << c.key;
}

TEST_F(RcFiles, BadPathsAndKeysGiveTheDefault) {
    std::string good = folder.file("good.rc");
    WriteFileText(good, "k: 5\n");
    const char* const paths[] = {nullptr, "", "C:\\no\\such\\folder\\x.rc",
                                 folder.path().c_str() /* a folder */};
    for (const char* p : paths) {
        EXPECT_EQ(ReadInt(p, "k:", 9), 9) << (p ? p : "NULL");
        EXPECT_EQ(ReadString(p, "k:", "d"), std::string("d"));
        EXPECT_EQ(ReadColor(p, "k:", "#123"), RGB(0x11, 0x22, 0x33));
        EXPECT_TRUE(ReadBool(p, "k:", true));
    }
    EXPECT_EQ(ReadInt(good.c_str(), nullptr, 9), 9);
    EXPECT_EQ(ReadInt(good.c_str(), "k:", 9), 5);
    WriteBool(folder.path().c_str(), "k:", true);
    WriteBool(good.c_str(), nullptr, true);
    WriteBool(nullptr, "k:", true);
    EXPECT_TRUE(GetFileAttributesA(folder.path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadFileText(good), "k: 5\n");
}

TEST_F(RcFiles, HostileContentIsReadSafely) {
    std::string path = folder.file("hostile.rc");
    // A NUL byte inside a value, a 1 MB line, then a normal key.
    std::string bytes("nul: 1\0tail\n", 12);
    bytes += "long: " + std::string(1 << 20, 'v') + "\n";
    bytes += "after: 5\n";
    WriteFileText(path, bytes);
    EXPECT_EQ(ReadInt(path.c_str(), "nul:", 3), 3);
    EXPECT_STREQ(ReadString(path.c_str(), "nul:", "d"), "1");
    EXPECT_EQ(strlen(ReadString(path.c_str(), "long:", "d")), 4095u);
    EXPECT_EQ(ReadInt(path.c_str(), "after:", 3), 5);

    // Binary garbage: many short "lines" without a colon, and bytes of every value.
    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        char c = char(seed >> 16);
        garbage += c == ':' ? '\n' : c;
    }
    WriteFileText(path, garbage);
    EXPECT_EQ(ReadInt(path.c_str(), "zz.absent.key:", 3), 3);
}

struct WriteCase {
    const char* name;
    const char* before; // nullptr: no file
    size_t beforeSize;
    const char* key;
    bool value;
    const char* after;
    size_t afterSize;
};

#define BYTES(s) s, sizeof(s) - 1
const WriteCase writeCases[] = {
    {"replace keeps CR LF and other bytes",
     BYTES("a: 1\r\nzelk.alwaysOnTop: false\r\n\xff\xfe junk\r\nb: 2\r\n"), "zelk.alwaysOnTop:",
     true, BYTES("a: 1\r\nzelk.alwaysOnTop: true\r\n\xff\xfe junk\r\nb: 2\r\n")},
    {"key case and blanks around the value kept", BYTES("ZELK.X:   false  \nnext: 1"),
     "zelk.x:", true, BYTES("ZELK.X:   true  \nnext: 1")},
    {"only the first matching line", BYTES("k: true\nk: true\n"), "k:", false,
     BYTES("k: false\nk: true\n")},
    {"empty value", BYTES("k:\n"), "k:", true, BYTES("k: true\n")},
    {"NUL bytes elsewhere survive", BYTES("a\0b\nk: false\n"), "k:", true,
     BYTES("a\0b\nk: true\n")},
    {"append", BYTES("a: 1\n"), "k:", true, BYTES("a: 1\nk: true\n")},
    {"append after a last line without a break", BYTES("a: 1"), "k:", false,
     BYTES("a: 1\nk: false\n")},
    {"append uses the file's CR LF", BYTES("a: 1\r\nb: 2"), "k:", true,
     BYTES("a: 1\r\nb: 2\r\nk: true\r\n")},
    {"append to an empty file", BYTES(""), "k:", true, BYTES("k: true\n")},
    {"create a missing file", nullptr, 0, "zelk.alwaysOnTop:", true,
     BYTES("zelk.alwaysOnTop: true\n")},
    {"a similar key is not the key", BYTES("k.more: false\n"), "k:", true,
     BYTES("k.more: false\nk: true\n")},
};
#undef BYTES

TEST_F(RcFiles, WriteBoolChangesOnlyTheValue) {
    for (const WriteCase& c : writeCases) {
        std::string path = folder.file("write.rc");
        DeleteFileA(path.c_str());
        if (c.before) WriteFileText(path, std::string(c.before, c.beforeSize));
        // A read first, so that a stale cached copy would show in the read after.
        ReadBool(path.c_str(), c.key, !c.value);
        WriteBool(path.c_str(), c.key, c.value);
        EXPECT_EQ(ReadFileText(path), std::string(c.after, c.afterSize)) << c.name;
        EXPECT_EQ(ReadBool(path.c_str(), c.key, !c.value), c.value) << c.name;
    }
}

FILETIME yearStart(int year) {
    SYSTEMTIME st = {};
    st.wYear = WORD(year);
    st.wMonth = 1;
    st.wDay = 1;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

void setWriteTime(const std::string& path, FILETIME ft) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, 0, NULL);
    SetFileTime(h, NULL, NULL, &ft);
    CloseHandle(h);
}

TEST_F(RcFiles, ExternalRewritesAreSeen) {
    std::string path = folder.file("cache.rc");
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    enum Time { AsWritten, Now, Year2020, Year2021 };
    struct Step {
        const char* content;
        Time time;
        int expected;
    } const steps[] = {
        {"k: 11\n", AsWritten, 11},   {"k: 22\n", AsWritten, 22}, // same size, at once
        {"k: 333\n", AsWritten, 333}, {"k: 123\n", Now, 123},
        {"k: 456\n", Now, 456}, // a coarse clock: same size and time
        {"k: 44\n", Year2020, 44},    {"k: 55\n", Year2021, 55}, // an old file's time changes
    };
    for (const Step& step : steps) {
        WriteFileText(path, step.content);
        if (step.time != AsWritten)
            setWriteTime(path,
                         step.time == Now ? now : yearStart(step.time == Year2020 ? 2020 : 2021));
        EXPECT_EQ(ReadInt(path.c_str(), "k:", 0), step.expected);
        EXPECT_EQ(ReadInt(path.c_str(), "k:", 0), step.expected);
    }
    DeleteFileA(path.c_str());
    EXPECT_EQ(ReadInt(path.c_str(), "k:", 0), 0);
}

TEST_F(RcFiles, UnchangedFilesAreNotReadAgain) {
    // The plug-in reads a hundred keys one call at a time: an unchanged file
    // is parsed once. Shown here by locking the file after the first read.
    std::string path = folder.file("locked.rc");
    std::string bytes;
    for (int i = 0; i < 50; ++i)
        bytes += "key" + std::to_string(i) + ": " + std::to_string(i * 3) + "\r\n";
    WriteFileText(path, bytes);
    setWriteTime(path, yearStart(2020));
    EXPECT_EQ(ReadInt(path.c_str(), "key7:", -1), 21);
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(ReadInt(path.c_str(), ("key" + std::to_string(i) + ":").c_str(), -1), i * 3);
    WriteBool(path.c_str(), "key1:", true); // cannot read it: leaves it alone
    CloseHandle(lock);
    EXPECT_EQ(ReadFileText(path), bytes);
}

} // namespace
