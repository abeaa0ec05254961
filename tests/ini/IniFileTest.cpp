#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "utility/Diagnostics.h"

using Utility::IniFile;
using Utility::Key;
using Utility::Section;
using Kind = IniFile::Line::Kind;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mirav-ini-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        Utility::SetProblemSink([this](Utility::Severity, const std::string& m) { m_problems.push_back(m); });
    }
    void TearDown() override {
        Utility::SetProblemSink(nullptr);
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    std::vector<std::string> m_problems;
};

}  // namespace

TEST_F(IniFileTest, FiveLineFileLoadsEveryLineAndSavesInItsOwnForm) {
    IniFile ini(Write("a.ini", "[A]\nx = 1 # one\n\n# note\ny=2"));
    ASSERT_TRUE(ini.IsLoaded());
    const auto& lines = ini.GetLines();
    ASSERT_EQ(lines.size(), 5u);

    EXPECT_EQ(lines[0].kind, Kind::Header);
    EXPECT_EQ(lines[0].section, "A");
    EXPECT_EQ(lines[0].key, "");

    EXPECT_EQ(lines[1].kind, Kind::KeyValue);
    EXPECT_EQ(lines[1].section, "A");
    EXPECT_EQ(lines[1].key, "x");
    EXPECT_EQ(lines[1].value, "1");
    EXPECT_EQ(lines[1].comment, "one");
    EXPECT_EQ(lines[1].commentChar, '#');
    EXPECT_EQ(lines[1].raw, "x = 1 # one");

    EXPECT_EQ(lines[2].kind, Kind::Blank);
    EXPECT_EQ(lines[2].commentChar, 0);

    EXPECT_EQ(lines[3].kind, Kind::Blank);
    EXPECT_EQ(lines[3].section, "");
    EXPECT_EQ(lines[3].comment, "note");

    EXPECT_EQ(lines[4].key, "y");
    EXPECT_EQ(lines[4].value, "2");

    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Read(Path("a.ini")), "[A]\nx = 1 # one\n\n # note\ny = 2\n");
}

TEST_F(IniFileTest, LoadThenSaveLeavesAFileWithCommentsUnchanged) {
    const std::string text =
        " # Engine settings\n"
        "[Engine]\n"
        "width = 1024 # pixels\n"
        "height = 768\n"
        "\n"
        "[LOGIC] # rules\n"
        " # the pouch\n"
        "PouchSize = 5\n"
        "name = a=b\n";
    const std::string path = Write("c.ini", text);
    IniFile ini(path);
    EXPECT_EQ(ini.GetLines().size(), 9u);  // the final line feed starts no extra line
    EXPECT_EQ(ini.ToString(), text);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Read(path), text);

    // A file in any spacing comes out in the saved form once, then stays.
    const std::string loose = Write("d.ini", "[S]\r\n  k=v   #c\r\n#x\r\n");
    ASSERT_TRUE(IniFile(loose).Save());
    const std::string once = Read(loose);
    EXPECT_EQ(once, "[S]\nk = v # c\n # x\n");
    ASSERT_TRUE(IniFile(loose).Save());
    EXPECT_EQ(Read(loose), once);
}

TEST_F(IniFileTest, TypedReadsUseTheFirstMatchAndExactCase) {
    IniFile ini(Write("t.ini",
                      "[Engine]\nwidth = 800\nwidth = 640\nratio = 1.25\nfull = 1\nwindowed = 0\n"
                      "count = 12abc\ntrunc = 3.5\nname =   Mirav Game  \n[engine]\nwidth = 1\n"));
    int width = 0;
    EXPECT_TRUE(ini.GetValue(Key("width"), Section("Engine"), width));
    EXPECT_EQ(width, 800);
    float ratio = 0;
    EXPECT_TRUE(ini.GetValue(Key("ratio"), Section("Engine"), ratio));
    EXPECT_FLOAT_EQ(ratio, 1.25f);
    bool full = false, windowed = true;
    EXPECT_TRUE(ini.GetValue(Key("full"), Section("Engine"), full));
    EXPECT_TRUE(ini.GetValue(Key("windowed"), Section("Engine"), windowed));
    EXPECT_TRUE(full);
    EXPECT_FALSE(windowed);
    EXPECT_EQ(ini.GetValueOr(Key("count"), Section("Engine"), 0L), 12L);
    EXPECT_EQ(ini.GetValueOr(Key("trunc"), Section("Engine"), 0u), 3u);
    std::string name;
    EXPECT_TRUE(ini.GetTrimmedString(Key("name"), Section("Engine"), name));
    EXPECT_EQ(name, "Mirav Game");
    EXPECT_EQ(ini.GetValue(Key("name"), Section("Engine")), "Mirav Game");

    // Exact case for keys and sections.
    unsigned short w = 7;
    EXPECT_FALSE(ini.GetValue(Key("Width"), Section("Engine"), w));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(ini.GetValueOr(Key("width"), Section("engine"), 0), 1);
    EXPECT_EQ(ini.GetValueOr(Key("width"), Section("ENGINE"), 5), 5);
    EXPECT_FALSE(ini.HasKey(Key("Width"), Section("Engine")));
    EXPECT_FALSE(ini.HasSection(Section("ENGINE")));
    EXPECT_EQ(ini.GetValue(Key("missing"), Section("Engine")), "");
}

// A value that is not a valid number (or bool) reads as missing, so the
// caller's default applies, instead of success with an undefined value.
TEST_F(IniFileTest, ValuesThatDoNotParseReadAsMissing) {
    const std::string path = Write("bad.ini",
                                   "[S]\nempty =\nword = abc\nbool2 = 2\nboolword = true\nneg = -1\n"
                                   "huge = 1e999\nbig = 99999999999\n");
    IniFile ini(path);
    for (const char* key : {"empty", "word", "neg", "big"}) {
        unsigned int u = 42;
        EXPECT_FALSE(ini.GetValue(Key(key), Section("S"), u)) << key;
        EXPECT_EQ(u, 42u) << key;
        EXPECT_EQ(Utility::ReadIniOrDefault<unsigned int>(Key(key), Section("S"), path, 9u), 9u) << key;
    }
    for (const char* key : {"empty", "word", "bool2", "boolword"}) {
        bool b = true;
        EXPECT_FALSE(ini.GetValue(Key(key), Section("S"), b)) << key;
        EXPECT_EQ(Utility::ReadIni<bool>(Key(key), Section("S"), path), std::nullopt) << key;
    }
    EXPECT_FLOAT_EQ(ini.GetValueOr(Key("huge"), Section("S"), 0.5f), 0.5f);
    EXPECT_EQ(ini.GetValueOr(Key("neg"), Section("S"), 3), -1);  // a signed type takes it
}

TEST_F(IniFileTest, KeyLinesBeforeTheFirstSectionAndUnknownLinesSurviveASave) {
    const std::string path = Write("top.ini",
                                   "version = 3 # file format\n"
                                   "just some words # why\n"
                                   "= orphan value\n"
                                   "[S]\n"
                                   "k = 1\n"
                                   "another stray line\n");
    IniFile ini(path);
    EXPECT_EQ(ini.GetValueOr(Key("version"), Section(""), 0), 3);
    ASSERT_TRUE(ini.SetValue(Key("k"), "2", Section("S")));
    EXPECT_EQ(Read(path),
              "version = 3 # file format\n"
              "just some words # why\n"
              "= orphan value\n"
              "[S]\n"
              "k = 2\n"
              "another stray line\n");
    EXPECT_EQ(IniFile(path).GetValueOr(Key("version"), Section(""), 0), 3);
}

TEST_F(IniFileTest, OddLinesFollowTheReadingRules) {
    IniFile ini(Write("odd.ini",
                      "[S]\nkey = a=b\nx = [1]\nafter = 5\n[Open\nk2 = 6\nq[R] tail\nk3 = 7\n  [T]   # c\n"));
    EXPECT_EQ(ini.GetValue(Key("key"), Section("S")), "a=b");
    // A '[' anywhere makes a header: the first character goes, the name ends
    // at the first ']'.
    const auto names = ini.GetSectionNames();
    EXPECT_EQ(names, (std::vector<std::string>{"S", " = [1", "Open", "[R", "T"}));
    EXPECT_FALSE(ini.HasKey(Key("x"), Section("S")));
    EXPECT_EQ(ini.GetValueOr(Key("after"), Section(" = [1"), 0), 5);
    EXPECT_EQ(ini.GetValueOr(Key("k2"), Section("Open"), 0), 6);  // no ']': the rest of the line
    EXPECT_EQ(ini.GetValueOr(Key("k3"), Section("[R"), 0), 7);
    const auto headers = ini.GetSectionHeaders();
    ASSERT_EQ(headers.size(), 5u);
    EXPECT_EQ(headers[4].comment, "c");
}

TEST_F(IniFileTest, SectionQueriesListInFileOrder) {
    IniFile ini(Write("lists.ini", "[Names]\nb = Bob\na = Al\n[Other]\nz = 1\n[Names]\nc = Cy\n"));
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::string>{"Names", "Other", "Names"}));
    std::vector<IniFile::Line> lines;
    ini.GetSectionLines(Section("Names"), lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].value, "Bob");
    EXPECT_EQ(lines[1].value, "Al");
    EXPECT_EQ(lines[2].value, "Cy");
    std::vector<IniFile::Line> found;
    ini.FindLines(Key("z"), Section("Other"), found);
    ini.FindLines(Key("z"), Section("Names"), found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].value, "1");
    EXPECT_TRUE(ini.HasSection(Section("Other")));
    EXPECT_FALSE(ini.HasSection(Section("Nope")));
}

TEST_F(IniFileTest, SetValueAddsKeysUnderTheHeaderAndChangesTheFirstMatch) {
    const std::string path = Path("UserConfig.ini");
    IniFile ini(path);
    EXPECT_FALSE(ini.IsLoaded());
    EXPECT_EQ(ini.ToString(), "");
    ASSERT_TRUE(ini.SetValue(Key("width"), "1024", Section("UserConfig")));
    ASSERT_TRUE(ini.SetValue(Key("height"), "768", Section("UserConfig")));
    ASSERT_TRUE(ini.SetValue(Key("antialiasing"), "0", Section("UserConfig")));
    EXPECT_EQ(Read(path), "[UserConfig]\nantialiasing = 0\nheight = 768\nwidth = 1024\n");
    EXPECT_TRUE(ini.IsLoaded());

    const std::string dup = Write("dup.ini", "top = 1\n[S]\nk = 1\nk = 2\n");
    IniFile d(dup);
    ASSERT_TRUE(d.SetValue(Key("k"), "3", Section("S")));
    ASSERT_TRUE(d.SetValue(Key("new"), " 4 ", Section("")));
    ASSERT_TRUE(d.SetValue(Key("k"), "5", Section("T")));
    EXPECT_EQ(Read(dup), "top = 1\nnew = 4\n[S]\nk = 3\nk = 2\n[T]\nk = 5\n");
    EXPECT_EQ(IniFile(dup).GetValueOr(Key("k"), Section("S"), 0), 3);
}

TEST_F(IniFileTest, SetRefusesWhatTheFileCouldNotReadBack) {
    const std::string path = Write("r.ini", "[S]\nk = 1\n");
    IniFile ini(path);
    EXPECT_FALSE(ini.SetValue(Key(""), "1", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("a=b"), "1", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("a[0]"), "1", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("k"), "1 # 2", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("k"), "[x]", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("k"), "1\n[T]", Section("S")));
    EXPECT_FALSE(ini.SetValue(Key("k"), "1", Section("S]")));
    EXPECT_EQ(Read(path), "[S]\nk = 1\n");
    EXPECT_EQ(ini.GetValue(Key("k"), Section("S")), "1");
}

TEST_F(IniFileTest, FilesThatCannotBeReadOrWritten) {
    IniFile missing(Path("none.ini"));
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_FALSE(missing.HasSection(Section("S")));
    EXPECT_EQ(missing.GetValueOr(Key("k"), Section("S"), 4), 4);
    EXPECT_FALSE(IniFile(m_dir).IsLoaded());  // a folder
    EXPECT_FALSE(IniFile("").IsLoaded());
    EXPECT_EQ(Utility::ReadIni<int>(Key("k"), Section("S"), Path("none.ini")), std::nullopt);
    EXPECT_EQ(Utility::ReadIniOrDefault(Key("k"), Section("S"), Path("none.ini")), "");

    IniFile nowhere(Path("no/such/folder/x.ini"));
    EXPECT_FALSE(nowhere.SetValue(Key("k"), "1", Section("S")));
    EXPECT_FALSE(nowhere.IsLoaded());
}

TEST_F(IniFileTest, TheGameConfigurationIsReadFromTheDataFolder) {
    // Relative to the working folder (the data folder when the game runs).
    ASSERT_EQ(mkdir(Path("Config").c_str(), 0755), 0);
    Write("Config/Config.ini", "[VIEW]\nHudEnable = 1\nFlicker = 120\nAlpha = 0.25\nBad = twelve\n[MISC]\nname = x\n");
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(m_dir.c_str()), 0);
    EXPECT_TRUE(Utility::ReadConfig<bool>("VIEW", "HudEnable", false));
    EXPECT_EQ(Utility::ReadConfig<int>("VIEW", "Flicker", 250), 120);
    EXPECT_FLOAT_EQ(Utility::ReadConfig<float>("VIEW", "Alpha", 0.5f), 0.25f);
    EXPECT_EQ(Utility::ReadConfig<int>("VIEW", "Bad", 250), 250) << "not a number: the fallback";
    EXPECT_EQ(Utility::ReadConfig<int>("MISC", "Flicker", 250), 250) << "another section";
    EXPECT_EQ(Utility::ReadConfig<std::string>("MISC", "name", ""), "x");
    std::remove("Config/Config.ini");
    EXPECT_EQ(Utility::ReadConfig<int>("VIEW", "Flicker", 250), 250) << "no file: the fallback";
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(IniFileTest, FreeReadersAndClampedReads) {
    const std::string path = Write("cfg.ini", "[LOGIC]\nrate = 60.5\nsize = 500\nlow = -3\nname = bots \n");
    EXPECT_EQ(Utility::ReadIni<float>(Key("rate"), Section("LOGIC"), path), 60.5f);
    EXPECT_EQ(Utility::ReadIni<int>(Key("rate"), Section("LOGIC"), path), 60);
    EXPECT_EQ(Utility::ReadIni<std::string>(Key("name"), Section("LOGIC"), path), std::string("bots"));
    EXPECT_EQ(Utility::ReadIni<unsigned int>(Key("nope"), Section("LOGIC"), path), std::nullopt);
    EXPECT_EQ(Utility::ReadIniOrDefault<unsigned int>(Key("size"), Section("LOGIC"), path, 1u), 500u);
    EXPECT_EQ(Utility::ReadIniOrDefault<std::string>(Key("nope"), Section("LOGIC"), path, "x"), "x");

    EXPECT_TRUE(m_problems.empty());
    EXPECT_EQ(Utility::ReadIniClamped<int>(Key("size"), Section("LOGIC"), path, 5, 1, 64), 64);
    EXPECT_EQ(Utility::ReadIniClamped<int>(Key("low"), Section("LOGIC"), path, 5, 0, 64), 0);
    EXPECT_EQ(m_problems.size(), 2u);
    EXPECT_EQ(Utility::ReadIniClamped<int>(Key("nope"), Section("LOGIC"), path, 5, 0, 64), 5);
    EXPECT_FLOAT_EQ(Utility::ReadIniClamped<float>(Key("rate"), Section("LOGIC"), path, 1.f, 0.f, 100.f), 60.5f);
    EXPECT_EQ(m_problems.size(), 2u);
}
