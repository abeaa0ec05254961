#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "utility/HtmlLogger.h"
#include "support/TempPath.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(HtmlLogger, GameLogsAreClosedAndWriteNothing) {
    for (HtmlLogger* log : {&GfxLog, &NetworkingLog}) {
        EXPECT_FALSE(log->IsOpen());
        std::vector<std::string> mirrored;
        log->SetDebugOutput([&](const std::string& s) { mirrored.push_back(s); });
        log->Log(HtmlLogger::LOG_ERROR, "%s", "x");
        log->Log(HtmlLogger::LOG_INFO, "value %d", 3);
        EXPECT_TRUE(mirrored.empty());
        EXPECT_EQ(log->GetCounter(), 0);
        log->Close();  // a no-op
        log->SetDebugOutput(nullptr);
    }
    EXPECT_EQ(GfxLog.GetFileName(), "Logs/GfxLog.html");
    EXPECT_EQ(NetworkingLog.GetFileName(), "Logs/networkingLog.html");
}

TEST(HtmlLogger, ClosedLogCreatesNoFile) {
    const std::string path = TestSupport::TempPath("mirav_closed_log.html");
    std::remove(path.c_str());
    {
        HtmlLogger log(path);
        log.Log(HtmlLogger::LOG_ERROR, "nothing %d", 1);
        log.Close();
    }
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST(HtmlLogger, LevelClassNames) {
    struct Case {
        int level;
        const char* name;
    };
    for (const auto& c : std::vector<Case>{{1, "LOG_ALLOC"},
                                           {2, "LOG_RELEASE"},
                                           {3, "LOG_WARNING"},
                                           {4, "LOG_ERROR"},
                                           {0, "LOG_INFO"},
                                           {5, "LOG_INFO"},
                                           {-1, "LOG_INFO"}}) {
        EXPECT_STREQ(HtmlLogger::ClassName(c.level), c.name) << c.level;
    }
}

TEST(HtmlLogger, OpenLogWritesNumberedRows) {
    const std::string path = TestSupport::TempPath("mirav_htmllog_test.html");
    std::remove(path.c_str());
    std::vector<std::string> mirrored;
    {
        HtmlLogger log(path);
        log.SetDebugOutput([&](const std::string& s) { mirrored.push_back(s); });
        ASSERT_TRUE(log.Open());
        log.Log(HtmlLogger::LOG_WARNING, "Texture %d of %s", 7, "walls");
        log.Log(9, "%s", std::string(5000, 'a').c_str());  // no length limit
        log.Close();
        EXPECT_FALSE(log.IsOpen());
    }
    const std::string text = ReadAll(path);
    const std::regex row1(
        "<TR class=\"LOG_WARNING\"><TD class=\"LOG_COUNTER\"><pre>\\[1\\]</pre></TD>"
        "<TD class=\"LOG_TIME\"><pre>[0-9]{1,2}::[0-9]{1,2}::[0-9]{1,2}::[0-9]{1,3}</pre></TD>"
        "<TD class=\"LOG_WARNING\"><pre>Texture 7 of walls</pre></TD></TR>\n");
    EXPECT_TRUE(std::regex_search(text, row1)) << text.substr(0, 400);
    EXPECT_NE(text.find("<pre>[2]</pre>"), std::string::npos);
    EXPECT_NE(text.find("<TD class=\"LOG_INFO\"><pre>" + std::string(5000, 'a') + "</pre>"), std::string::npos);
    EXPECT_NE(text.find("<TR class=\"LOG_RELEASE\"><TD class=\"LOG_COUNTER\"><pre>[3]</pre>"), std::string::npos);
    EXPECT_NE(text.find("<pre>Log End</pre>"), std::string::npos);
    const std::string tail = "</TABLE></pre></body></HTML>\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    ASSERT_EQ(mirrored.size(), 3u);
    EXPECT_EQ(mirrored[0], "Texture 7 of walls\n");
    EXPECT_EQ(mirrored[2], "Log End\n");
    std::remove(path.c_str());
}

TEST(HtmlLogger, OpenFailsForAnUnwritablePath) {
    HtmlLogger log("/nonexistent-dir-for-mirav/x.html");
    EXPECT_FALSE(log.Open());
    EXPECT_FALSE(log.IsOpen());
}
