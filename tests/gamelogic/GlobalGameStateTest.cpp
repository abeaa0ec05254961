#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/UserConfig.h"
#include "utility/Diagnostics.h"

using GameLogicView::GlobalGameState;
using GameLogicView::UserConfig;

namespace {

// Points the options folder into a scratch folder and puts the environment
// back afterwards.
class UserOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Save("XDG_CONFIG_HOME");
        Save("HOME");
        char pattern[] = "/tmp/mirav-opt-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("XDG_CONFIG_HOME", (m_dir + "/xdg").c_str(), 1);
        Utility::SetProblemSink([this](Utility::Severity, const std::string& m) { m_problems.push_back(m); });
        GlobalGameState::Destroy();
    }
    void TearDown() override {
        GlobalGameState::Destroy();
        Utility::SetProblemSink(nullptr);
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    void Save(const char* name) {
        const char* v = std::getenv(name);
        m_saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::string Write(const std::string& relative, const std::string& text) {
        const std::string path = m_dir + "/" + relative;
        std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string OptionsPath() const { return m_dir + "/xdg/Mirav/UserConfig.ini"; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
    std::vector<std::string> m_problems;
};

}  // namespace

TEST_F(UserOptionsTest, FirstRunTakesTheEngineSettingsOrTheBuiltInDefaults) {
    UserConfig none("UserConfig.ini");
    none.LoadDefaults(m_dir + "/no-such-config.ini");
    EXPECT_EQ(none.width, 1024);
    EXPECT_EQ(none.height, 768);
    EXPECT_EQ(none.antialiasing, 0);
    EXPECT_FALSE(none.lowdetail || none.skiptutorial || none.inverty);
    EXPECT_EQ(none.filePath, OptionsPath());

    const std::string engine = Write("Config.ini", "[Engine]\nwidth = 800\nheight = 600\nfsaa_samples = 4\n");
    UserConfig fromEngine("UserConfig.ini");
    fromEngine.LoadDefaults(engine);
    EXPECT_EQ(fromEngine.width, 800);
    EXPECT_EQ(fromEngine.height, 600);
    EXPECT_EQ(fromEngine.antialiasing, 4);

    GlobalGameState* state = GlobalGameState::Instance();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(state->GetFlag(i), i == 8 ? 1 : 0) << i;
    EXPECT_FALSE(state->IsLowDetail());
}

TEST_F(UserOptionsTest, TheOptionsFileSetsItsBytesAtStartUp) {
    Write("xdg/Mirav/UserConfig.ini",
          "[UserConfig]\ninverty = 1\nskiptutorial = 1\nlowdetail = 0\nwidth = 1280\nheight = 720\nantialiasing = 2\n");
    GlobalGameState* state = GlobalGameState::Instance();
    EXPECT_EQ(state->GetFlag(GlobalGameState::kInvertMouseY), 1);
    EXPECT_EQ(state->GetFlag(GlobalGameState::kSkipTutorial), 1);
    EXPECT_EQ(state->GetFlag(GlobalGameState::kLowDetail), 0);
    EXPECT_EQ(state->GetFlag(GlobalGameState::kMachines), 1);
    const UserConfig& options = state->GetUserConfig();
    EXPECT_EQ(options.width, 1280);
    EXPECT_EQ(options.height, 720);
    EXPECT_EQ(options.antialiasing, 2);

    GlobalGameState::Destroy();
    Write("xdg/Mirav/UserConfig.ini", "[UserConfig]\ninverty = 0\n");
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kInvertMouseY), 0);
}

TEST_F(UserOptionsTest, BadOrOutOfRangeOptionsAreNotTakenAsGiven) {
    const std::string engine = Write("Config.ini", "[Engine]\nwidth = 640\nheight = 480\n");
    Write("xdg/Mirav/UserConfig.ini",
          "[UserConfig]\nwidth = wide\nheight = -5\nantialiasing = 64\ninverty = yes\nlowdetail = 2\n"
          "skiptutorial = 1\n");
    UserConfig options("UserConfig.ini");
    options.LoadDefaults(engine);
    options.Load("UserConfig.ini");
    EXPECT_EQ(options.width, 640);   // not a number: the default stands
    EXPECT_EQ(options.height, 480);  // negative: the default stands
    EXPECT_EQ(options.antialiasing, UserConfig::kMaxAntialiasing);
    EXPECT_FALSE(options.inverty);
    EXPECT_FALSE(options.lowdetail);
    EXPECT_TRUE(options.skiptutorial);
    EXPECT_FALSE(m_problems.empty());  // the clamped value was reported

    Write("xdg/Mirav/UserConfig.ini", "[UserConfig]\nwidth = 99999\nheight = 1\n");
    options.Load("UserConfig.ini");
    EXPECT_EQ(options.width, UserConfig::kMaxWidth);
    EXPECT_EQ(options.height, UserConfig::kMinHeight);
}

TEST_F(UserOptionsTest, LowDetailNeedsExactlyOne) {
    struct Case {
        uint8_t lowDetail, battery;
        bool expected;
    };
    const Case cases[] = {{0, 0, false}, {1, 0, true}, {0, 1, true},  {2, 0, false},
                          {0, 2, false}, {2, 2, false}, {1, 2, true}, {1, 1, true}};
    GlobalGameState* state = GlobalGameState::Instance();
    for (const auto& c : cases) {
        state->SetFlag(GlobalGameState::kLowDetail, c.lowDetail);
        state->SetFlag(GlobalGameState::kBatterySaving, c.battery);
        EXPECT_EQ(state->IsLowDetail(), c.expected) << int(c.lowDetail) << " " << int(c.battery);
    }
    EXPECT_EQ(state->GetFlag(16), 0);
    EXPECT_EQ(state->GetFlag(-1), 0);
    state->SetFlag(16, 9);  // ignored, no write past the bytes
    EXPECT_EQ(state->Flags().size(), 16u);
}

TEST_F(UserOptionsTest, SavingCreatesTheFolderAndReadsBack) {
    GlobalGameState* state = GlobalGameState::Instance();
    UserConfig& options = state->GetUserConfig();
    options.width = 1600;
    options.height = 900;
    options.antialiasing = 8;
    options.lowdetail = true;
    options.inverty = true;
    state->ApplyUserConfig();
    EXPECT_EQ(state->GetFlag(GlobalGameState::kInvertMouseY), 1);
    EXPECT_EQ(state->GetFlag(GlobalGameState::kLowDetail), 1);
    EXPECT_EQ(state->GetFlag(GlobalGameState::kSkipTutorial), 0);
    EXPECT_TRUE(state->IsLowDetail());

    ASSERT_TRUE(options.Save());
    EXPECT_EQ(Read(OptionsPath()),
              "[UserConfig]\ninverty = 1\nskiptutorial = 0\nlowdetail = 1\nantialiasing = 8\nheight = 900\n"
              "width = 1600\n");

    UserConfig again("UserConfig.ini");
    EXPECT_EQ(again.width, 1600);
    EXPECT_EQ(again.height, 900);
    EXPECT_EQ(again.antialiasing, 8);
    EXPECT_TRUE(again.lowdetail);
    EXPECT_TRUE(again.inverty);
    EXPECT_FALSE(again.skiptutorial);

    // Other content of the file is kept by a later save.
    Write("xdg/Mirav/UserConfig.ini", "# mine\n[UserConfig]\nwidth = 1600\n[Other]\nx = 1\n");
    options.width = 1280;
    ASSERT_TRUE(options.Save());
    const Utility::IniFile saved(OptionsPath());
    EXPECT_EQ(saved.GetValue(Utility::Key("width"), Utility::Section("UserConfig")), "1280");
    EXPECT_EQ(saved.GetValue(Utility::Key("x"), Utility::Section("Other")), "1");
    EXPECT_EQ(saved.GetLines()[0].comment, "mine");
}

TEST_F(UserOptionsTest, AFolderThatCannotBeMadeKeepsTheOptionsInMemory) {
    Write("xdg/Mirav", "a file where the folder should be");
    UserConfig options("UserConfig.ini");
    options.width = 1400;
    EXPECT_FALSE(options.Save());
    EXPECT_EQ(options.width, 1400);
}

TEST_F(UserOptionsTest, TheOptionsFolderFallsBackWhenVariablesAreMissing) {
    struct Case {
        const char* xdg;   // nullptr: unset
        const char* home;  // nullptr: unset
        std::string folder;
    };
    const Case cases[] = {
        {"/cfg", "/home/p", "/cfg/Mirav"},
        {"", "/home/p", "/home/p/.config/Mirav"},
        {nullptr, "/home/p", "/home/p/.config/Mirav"},
        {"relative/dir", "/home/p", "/home/p/.config/Mirav"},
        {nullptr, "/home/p/", "/home/p/.config/Mirav"},
        {nullptr, nullptr, "./Mirav"},
        {"", "", "./Mirav"},
    };
    for (const auto& c : cases) {
        if (c.xdg)
            setenv("XDG_CONFIG_HOME", c.xdg, 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        if (c.home)
            setenv("HOME", c.home, 1);
        else
            unsetenv("HOME");
        UserConfig options("UserConfig.ini");
        EXPECT_EQ(options.folder, c.folder) << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
        EXPECT_EQ(options.filePath, c.folder + "/UserConfig.ini");
    }
}
