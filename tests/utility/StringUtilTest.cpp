#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "utility/StringUtil.h"

using namespace Utility;

TEST(StringUtil, TrimRemovesOnlyTheWhiteSpaceSetAtBothEnds) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim(" \t\r\n"), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("x"), "x");
    EXPECT_EQ(Trim("\vx\v"), "\vx\v");  // vertical tab is not in the set
    EXPECT_EQ(Trim("--x--", "-"), "x");
}

TEST(StringUtil, SplitKeepsNonEmptyRunsInOrder) {
    struct Case {
        const char* text;
        const char* delimiters;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {",,a,,b,", ",", {"a", "b"}},
        {"", ",", {}},
        {",,,", ",", {}},
        {"abc", ",", {"abc"}},
        {"Scale(1.5, 2)", " ,()\t", {"Scale", "1.5", "2"}},
        {"a\tb  c", " \t", {"a", "b", "c"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> out{"kept"};
        Split(c.text, c.delimiters, out);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(out, expected) << c.text;
    }
}

TEST(StringUtil, ToStringAndAppendWriteDecimalTextAndBoolsAsDigits) {
    EXPECT_EQ(ToString<int>(-12), "-12");
    EXPECT_EQ(ToString<int>(0), "0");
    EXPECT_EQ(ToString<unsigned int>(4294967295u), "4294967295");
    EXPECT_EQ(ToString<bool>(true), "1");
    EXPECT_EQ(ToString<bool>(false), "0");
    EXPECT_EQ(ToString<float>(2.5f), "2.5");

    std::string s = "hp ";
    Append<int>(s, -3);
    Append<unsigned int>(s, 40u);
    Append<std::string>(s, " left ");
    Append<unsigned int>(s, 75u);
    AppendPercent(s);
    EXPECT_EQ(s, "hp -340 left 75%");
}

TEST(StringUtil, ParseUsesTheLongestValidBeginning) {
    EXPECT_EQ(ParseValue<long>(" 42x"), 42L);
    EXPECT_EQ(ParseValue<long>("12abc"), 12L);
    EXPECT_EQ(ParseValue<long>("3.5"), 3L);
    EXPECT_EQ(ParseValue<long>("-7"), -7L);
    EXPECT_EQ(ParseValue<unsigned long>("+5"), 5UL);
    EXPECT_EQ(ParseValue<float>(" 2.5 "), 2.5f);
    EXPECT_EQ(ParseValue<float>("-0.25e1"), -2.5f);
    EXPECT_EQ(ParseValue<bool>("1"), true);
    EXPECT_EQ(ParseValue<bool>(" 0"), false);
    EXPECT_EQ(ParseValue<char>("  xy"), 'x');
}

// Text that has no value of the type is reported as missing, never as some
// number the caller would then use.
TEST(StringUtil, TextWithoutAValidValueIsMissing) {
    EXPECT_EQ(ParseValue<long>(""), std::nullopt);
    EXPECT_EQ(ParseValue<long>("   "), std::nullopt);
    EXPECT_EQ(ParseValue<long>("abc"), std::nullopt);
    EXPECT_EQ(ParseValue<long>("99999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseValue<int>("3000000000"), std::nullopt);
    EXPECT_EQ(ParseValue<unsigned short>("70000"), std::nullopt);
    EXPECT_EQ(ParseValue<unsigned long>("-1"), std::nullopt);
    EXPECT_EQ(ParseValue<unsigned int>("  -5"), std::nullopt);
    EXPECT_EQ(ParseValue<float>("x1"), std::nullopt);
    EXPECT_EQ(ParseValue<float>("1e999"), std::nullopt);
    EXPECT_EQ(ParseValue<float>("nan"), std::nullopt);
    EXPECT_EQ(ParseValue<float>("inf"), std::nullopt);
    EXPECT_EQ(ParseValue<bool>("2"), std::nullopt);
    EXPECT_EQ(ParseValue<bool>("true"), std::nullopt);
    EXPECT_EQ(ParseValue<bool>("-1"), std::nullopt);
    EXPECT_EQ(ParseValue<char>(" \t"), std::nullopt);
}

TEST(StringUtil, StringToFallsBackOnTextWithoutAValue) {
    EXPECT_EQ(StringTo<long>(" 42x"), 42);
    EXPECT_EQ(StringTo<long>("abc"), 0);
    EXPECT_EQ(StringTo<long>("abc", 7L), 7);
    EXPECT_EQ(StringTo<unsigned long>("-1", 3UL), 3UL);
    EXPECT_FLOAT_EQ(StringTo<float>("oops", 1.5f), 1.5f);
    EXPECT_EQ(StringTo<bool>("yes", true), true);
    EXPECT_EQ(StringTo<bool>("0", true), false);
}
