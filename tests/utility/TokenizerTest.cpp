#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "utility/Diagnostics.h"
#include "utility/Tokenizer.h"

using Utility::Tokenizer;

namespace {

class TokenizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mirav-tok-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        Utility::SetProblemSink([this](Utility::Severity s, const std::string& m) {
            if (s == Utility::Severity::Error) m_errors.push_back(m);
        });
    }
    void TearDown() override {
        Utility::SetProblemSink(nullptr);
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    static std::vector<std::string> All(Tokenizer& t) {
        std::vector<std::string> out;
        while (t.HasMore()) out.push_back(t.NextToken());
        return out;
    }

    std::string m_dir;
    std::vector<std::string> m_errors;
};

using Words = std::vector<std::string>;

}  // namespace

TEST_F(TokenizerTest, SkipsCommentLinesAndSplitsAtTheFiveDelimiters) {
    Tokenizer t;
    ASSERT_TRUE(t.Load(Write("a.txt", "# header\n  # indented comment\na b\nc,(d)\n")));
    EXPECT_EQ(All(t), (Words{"a", "b", "c", "d"}));

    Tokenizer u;
    ASSERT_TRUE(u.Load(Write("b.txt", "Scale(1.5, 2)\n\t\n\nx # y\r\nlast")));
    // '#' after the first word is an ordinary word; CR LF line ends and a
    // last line without a line feed are read.
    EXPECT_EQ(All(u), (Words{"Scale", "1.5", "2", "x", "#", "y", "last"}));
}

TEST_F(TokenizerTest, LoadAppendsAndRestartsTheCursor) {
    Tokenizer t;
    EXPECT_FALSE(t.Load(m_dir + "/missing.txt"));
    EXPECT_FALSE(t.Load(m_dir));  // a folder is not a file
    EXPECT_FALSE(t.HasMore());

    ASSERT_TRUE(t.Load(Write("one.txt", "a b\n")));
    EXPECT_EQ(t.NextToken(), "a");
    ASSERT_TRUE(t.Load(Write("two.txt", "c\n")));
    EXPECT_EQ(t.Cursor(), 0u);
    EXPECT_EQ(All(t), (Words{"a", "b", "c"}));
    EXPECT_FALSE(t.Load(m_dir + "/missing.txt"));
    EXPECT_EQ(t.Tokens().size(), 3u);
}

TEST_F(TokenizerTest, NumbersConvertAndBadTokensAreReportedNotInvented) {
    Tokenizer t;
    t.LoadText("1.5 -20 abc 7 x 3");
    EXPECT_FLOAT_EQ(t.NextFloat(), 1.5f);
    EXPECT_EQ(t.NextInt(), -20);
    EXPECT_FALSE(t.Failed());

    EXPECT_EQ(t.NextInt(), 0);  // "abc"
    EXPECT_TRUE(t.Failed());
    EXPECT_EQ(t.NextToken(), "7");  // the bad token was passed

    float f = 9.0f;
    EXPECT_FALSE(t.NextFloat(f));  // "x"
    EXPECT_FLOAT_EQ(f, 9.0f);
    long n = 0;
    EXPECT_TRUE(t.NextInt(n));
    EXPECT_EQ(n, 3);
}

TEST_F(TokenizerTest, ReadingPastTheEndStaysAtTheEnd) {
    Tokenizer t;
    t.LoadText("only");
    EXPECT_EQ(t.NextToken(), "only");
    EXPECT_FALSE(t.Failed());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.NextToken(), "");
        EXPECT_EQ(t.NextInt(), 0);
        EXPECT_FLOAT_EQ(t.NextFloat(), 0.0f);
    }
    EXPECT_TRUE(t.Failed());
    EXPECT_EQ(t.Cursor(), 1u);
    EXPECT_FALSE(t.HasMore());
}

TEST_F(TokenizerTest, MarkersAreFoundOrTheReadEndsWithALoggedError) {
    Tokenizer t;
    t.LoadText("junk STATES_START STATE 4 STATES_END tail");
    ASSERT_TRUE(t.SkipTo("STATES_START"));
    Words body;
    ASSERT_TRUE(t.ReadUntil("STATES_END", body));
    EXPECT_EQ(body, (Words{"STATE", "4"}));
    EXPECT_EQ(t.NextToken(), "tail");
    EXPECT_TRUE(m_errors.empty());

    Tokenizer noStart;
    noStart.LoadText("a b c");
    EXPECT_FALSE(noStart.SkipTo("EXTENT_START"));
    EXPECT_FALSE(noStart.HasMore());
    EXPECT_TRUE(noStart.Failed());
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("EXTENT_START"), std::string::npos);

    Tokenizer noEnd;
    noEnd.LoadText("STATES_START STATE 4 MODEL 7");
    ASSERT_TRUE(noEnd.SkipTo("STATES_START"));
    body.clear();
    EXPECT_FALSE(noEnd.ReadUntil("STATES_END", body));
    EXPECT_EQ(body, (Words{"STATE", "4", "MODEL", "7"}));
    EXPECT_FALSE(noEnd.HasMore());
    ASSERT_EQ(m_errors.size(), 2u);
    EXPECT_NE(m_errors[1].find("STATES_END"), std::string::npos);
}

TEST_F(TokenizerTest, BadCountsEndTheReadWithALoggedError) {
    struct Case {
        const char* text;
        bool ok;
        long count;
    };
    const Case cases[] = {
        {"3 a b c", true, 3}, {"0", true, 0},    {"10 z", true, 10}, {"11 z", false, 0},
        {"-1 z", false, 0},   {"abc z", false, 0}, {"", false, 0},
    };
    for (const auto& c : cases) {
        m_errors.clear();
        Tokenizer t;
        t.LoadText(c.text);
        long count = -99;
        EXPECT_EQ(t.NextCount(10, count), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(count, c.count) << c.text;
            EXPECT_TRUE(m_errors.empty()) << c.text;
        } else {
            EXPECT_EQ(count, -99) << c.text;
            EXPECT_FALSE(t.HasMore()) << c.text;  // a reader's loop ends here
            EXPECT_EQ(m_errors.size(), 1u) << c.text;
        }
    }
}
