// IsInString, CorvaneTokenize and ParseItem.
#include <gtest/gtest.h>

#include <vector>

#include "host_support.h"

namespace {

TEST(HostText, IsInStringIgnoresCase) {
    struct Case {
        const char* text;
        const char* fragment;
        bool expected;
    } const cases[] = {
        {"@zelk.Add milk", "@ZELK.add", true}, {"abc", "C", true},   {"abc", "abcd", false},
        {"abc", "", true},                     {"", "a", false},     {"aab", "ab", true},
        {nullptr, "a", false},                 {"a", nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInString(c.text, c.fragment), c.expected)
            << (c.text ? c.text : "NULL") << " / " << (c.fragment ? c.fragment : "NULL");
}

// Runs the tokenizer with buffers of the size plug-ins use, each followed by
// guard bytes that must survive.
struct Tokenized {
    int found;
    std::vector<std::string> tokens;
    std::string remainder;
    bool guardsIntact;
};

Tokenized tokenize(const char* text, int count) {
    const size_t size = 4096, guard = 16;
    std::vector<std::vector<char>> buffers(4, std::vector<char>(size + guard, '#'));
    std::vector<char> rest(size + guard, '#');
    char* tokens[4];
    for (int i = 0; i < 4; ++i) {
        tokens[i] = buffers[i].data();
        strcpy(tokens[i], "untouched");
    }
    Tokenized r;
    r.found = CorvaneTokenize(text, tokens, count, rest.data());
    r.guardsIntact = true;
    for (int i = 0; i < 4; ++i) {
        r.tokens.push_back(tokens[i]);
        r.guardsIntact &= std::string(&buffers[i][size], guard) == std::string(guard, '#');
    }
    r.remainder = rest.data();
    r.guardsIntact &= std::string(&rest[size], guard) == std::string(guard, '#');
    return r;
}

TEST(HostText, TokenizeSplitsAtRunsOfBlanks) {
    struct Case {
        const char* text;
        int count;
        int found;
        const char* tokens[2];
        const char* remainder;
    } const cases[] = {
        {"a b c", 2, 2, {"a", "b"}, "c"},
        {"  @zelk.add   milk and  eggs ", 1, 1, {"@zelk.add", "untouched"}, "milk and  eggs "},
        {"\ta\t\tb", 2, 2, {"a", "b"}, ""},
        {"one", 2, 1, {"one", ""}, ""},
        {"   ", 2, 0, {"", ""}, ""},
        {"x y", 0, 0, {"untouched", "untouched"}, "x y"},
        {nullptr, 2, 0, {"", ""}, ""},
    };
    for (const Case& c : cases) {
        Tokenized r = tokenize(c.text, c.count);
        std::string label = c.text ? c.text : "NULL";
        EXPECT_EQ(r.found, c.found) << label;
        EXPECT_EQ(r.tokens[0], c.tokens[0]) << label;
        EXPECT_EQ(r.tokens[1], c.tokens[1]) << label;
        EXPECT_EQ(r.remainder, c.remainder) << label;
    }
}

TEST(HostText, TokenizeCutsLongTextToTheBuffers) {
    std::string longWord(100000, 'x');
    std::string text = longWord + " " + longWord + " tail";
    Tokenized r = tokenize(text.c_str(), 1);
    EXPECT_EQ(r.found, 1);
    EXPECT_EQ(r.tokens[0], std::string(4095, 'x'));
    EXPECT_EQ(r.remainder, std::string(4095, 'x'));
    EXPECT_TRUE(r.guardsIntact);

    // The remainder pointer may be NULL.
    char token[4096];
    char* tokens[] = {token};
    EXPECT_EQ(CorvaneTokenize("a b", tokens, 1, nullptr), 1);
    EXPECT_STREQ(token, "a");
}

TEST(HostText, ParseItemNumbering) {
    struct Case {
        const char* description;
        int valueA, valueB, type, flag;
    } const cases[] = {
        {nullptr, 0, 1, 2, 0},
        {"", 0, 1, 2, 0},
        {"flat gradient vertical", 0, 1, 2, 0},
        {"raised gradient horizontal", 1, 1, 1, 0},
        {"Sunken Gradient Diagonal bevel2", 2, 2, 3, 0},
        {"gradient crossdiagonal interlaced", 0, 1, 4, 1},
        {"gradient pipecross", 0, 1, 5, 0},
        {"gradient elliptic", 0, 1, 6, 0},
        {"gradient rectangle bevel1", 0, 1, 7, 0},
        {"GRADIENT PYRAMID", 0, 1, 8, 0},
        {"flat solid", 0, 1, 0, 0},
        {"  raised\tsolid  interlaced ", 1, 1, 0, 1},
        {"raised", 1, 1, 2, 0},
        {"verticalish sunken", 2, 1, 2, 0}, // whole words only
    };
    for (const Case& c : cases) {
        StyleRecord record;
        memset(&record, 0xab, sizeof record);
        ParseItem(c.description, &record);
        std::string label = c.description ? c.description : "NULL";
        EXPECT_EQ(record.valueA, c.valueA) << label;
        EXPECT_EQ(record.valueB, c.valueB) << label;
        EXPECT_EQ(record.gradientType, c.type) << label;
        EXPECT_EQ(record.flag, c.flag) << label;
        // Everything else is zeroed.
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
        int nonZero = 0;
        for (size_t i = 12; i < sizeof record; ++i) nonZero += (i != 13 && bytes[i] != 0);
        EXPECT_EQ(nonZero, 0) << label;
    }
    ParseItem("raised", nullptr); // must not crash
}

} // namespace
