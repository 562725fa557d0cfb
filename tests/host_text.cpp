// IsInString, CorvaneTokenize and ParseItem.
#include <gtest/gtest.h>

#include <vector>

#include "host_support.h"

namespace {

TEST(HostText, IsInStringIgnoresCase) {
    struct Case {
        const char *text, *fragment;
        bool expected;
    } const cases[] = {
        {"@zelk.Add milk", "@ZELK.add", true},
        {"abc", "C", true},
        {"abc", "abcd", false},
        {"abc", "", true},
        {"", "a", false},
        {"aab", "ab", true},
        {nullptr, "a", false},
        {"a", nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInString(c.text, c.fragment), c.expected)
            << (c.text ? c.text : "NULL") << " / " << (c.fragment ? c.fragment : "NULL");
}

// Tokenizes into 4096-byte buffers (what plug-ins pass) primed with "untouched"
// and followed by guard bytes; gives "found|token0|token1|remainder".
std::string tokenize(const char* text, int count) {
    const size_t size = 4096, guard = 16;
    std::vector<std::vector<char>> buffers(3, std::vector<char>(size + guard, '#'));
    char* tokens[2] = {buffers[0].data(), buffers[1].data()};
    for (auto& b : buffers)
        strcpy(b.data(), "untouched");
    int found = CorvaneTokenize(text, tokens, count, buffers[2].data());
    std::string result = std::to_string(found);
    for (auto& b : buffers) {
        result += "|" + std::string(b.data());
        EXPECT_EQ(std::string(&b[size], guard), std::string(guard, '#')) << "overrun";
    }
    return result;
}

TEST(HostText, TokenizeSplitsAtRunsOfBlanks) {
    struct Case {
        const char* text;
        int count;
        const char* expected;
    } const cases[] = {
        {"a b c", 2, "2|a|b|c"},
        {"  @zelk.add   milk and  eggs ", 1, "1|@zelk.add|untouched|milk and  eggs "},
        {"\ta\t\tb", 2, "2|a|b|"},
        {"one", 2, "1|one||"},
        {"   ", 2, "0|||"},
        {"x y", 0, "0|untouched|untouched|x y"},
        {nullptr, 2, "0|||"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tokenize(c.text, c.count), c.expected) << (c.text ? c.text : "NULL");

    std::string word(100000, 'x'), cut(4095, 'x');
    EXPECT_EQ(tokenize((word + " " + word).c_str(), 1), "1|" + cut + "|untouched|" + cut);
    char token[4096], *tokens[] = {token};
    EXPECT_EQ(CorvaneTokenize("a b", tokens, 1, nullptr), 1); // no remainder wanted
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
        {"horizontally sunken", 2, 1, 2, 0}, // whole words only
    };
    for (const Case& c : cases) {
        StyleRecord record;
        memset(&record, 0xab, sizeof record);
        ParseItem(c.description, &record);
        std::string label = c.description ? c.description : "NULL";
        EXPECT_EQ(record.valueA, c.valueA) << label;
        EXPECT_EQ(record.valueB, c.valueB) << label;
        EXPECT_EQ(record.gradientType, c.type) << label;
        // From byte 12 on, only the interlace flag is set; everything else is zeroed.
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
        for (size_t i = 12; i < sizeof record; ++i)
            EXPECT_EQ(bytes[i], i == offsetof(StyleRecord, flag) ? c.flag : 0)
                << label << " byte " << i;
    }
}

} // namespace
