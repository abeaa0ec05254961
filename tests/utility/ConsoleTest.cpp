#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "utility/Console.h"

using Utility::Console;

namespace {

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { Console::Create(true, m_in, m_out); }
    void TearDown() override { Console::Destroy(); }

    // Output of one line, without the banner or earlier output.
    std::string Run(const std::string& line) {
        m_out.str("");
        Console::Execute(line);
        return m_out.str();
    }

    std::istringstream m_in;
    std::ostringstream m_out;
};

}  // namespace

TEST_F(ConsoleTest, GrammarExamplesSetPrintAndCall) {
    float botspeed = 1.0f;
    bool drawpath = false;
    int reloads = 0;
    Console::RegisterVariable("botspeed", &botspeed);
    Console::RegisterVariable("drawpath", &drawpath);
    Utility::RegisterConsoleFunction("reloadinput", [&] { ++reloads; });

    EXPECT_EQ(Run("set botspeed 2.5"), "");
    EXPECT_FLOAT_EQ(botspeed, 2.5f);
    EXPECT_EQ(Run("botspeed 3.5"), "");
    EXPECT_FLOAT_EQ(botspeed, 3.5f);
    EXPECT_EQ(Run("botspeed"), "3.5\n");

    Run("set drawpath 1");
    EXPECT_TRUE(drawpath);
    EXPECT_EQ(Run("drawpath"), "1\n");
    Run("drawpath 0");
    EXPECT_FALSE(drawpath);

    EXPECT_EQ(Run("call reloadinput"), "");
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(Run("call nothing"), "Invalid function: nothing\n");
    EXPECT_EQ(Run("unknownvar"), "");
    EXPECT_EQ(Run("unknownvar 5"), "");
    EXPECT_EQ(Run("  set \t botspeed   4  "), "");  // any run of white space separates words
    EXPECT_FLOAT_EQ(botspeed, 4.0f);
}

TEST_F(ConsoleTest, IniPrintsTheHelpTextOnlyAloneAndNothingWithoutASource) {
    EXPECT_EQ(Run("ini"), "");
    int asked = 0;
    Console::SetHelpSource([&asked] {
        ++asked;
        return std::string("help text\n");
    });
    EXPECT_EQ(Run("ini"), "help text\n");
    EXPECT_EQ(Run("ini extra"), "");
    EXPECT_EQ(asked, 1);
    Console::SetHelpSource({});
}

TEST_F(ConsoleTest, VariablesAndCommandsAreListedByNameInRegistrationOrder) {
    int a = 0;
    std::string s;
    Console::RegisterVariable("zeta", &a);
    Console::RegisterVariable("alpha", &s);
    Console::RegisterCommand("doit", [](const std::istringstream&) {});

    EXPECT_EQ(Run("call printvars"), "This is the list of registered Variables: \n - zeta\n - alpha\n");
    const std::string commands =
        "This is the list of available commands: \n - printvars\n - printcommands\n - doit\n";
    EXPECT_EQ(Run("call printcommands"), commands);
    EXPECT_EQ(Run(""), commands);
    EXPECT_EQ(Run("   "), commands);
}

TEST_F(ConsoleTest, EveryTypeReadsItsValueAndSameNamesAllChange) {
    char c = 'a';
    unsigned char uc = 0;
    unsigned int u = 0;
    double d = 0;
    std::string name = "old";
    int first = 0, second = 0;
    Console::RegisterVariable("c", &c);
    Console::RegisterVariable("uc", &uc);
    Console::RegisterVariable("u", &u);
    Console::RegisterVariable("d", &d);
    Console::RegisterVariable("name", &name);
    Console::RegisterVariable("twice", &first);
    Console::RegisterVariable("twice", &second);

    Run("c xyz");
    Run("uc 7");
    Run("u 40000");
    Run("d -0.125");
    Run("name Zezuz Idad");
    Run("twice 6");
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(uc, '7');
    EXPECT_EQ(u, 40000u);
    EXPECT_DOUBLE_EQ(d, -0.125);
    EXPECT_EQ(name, "Zezuz");  // the first word of the value
    EXPECT_EQ(first, 6);
    EXPECT_EQ(second, 6);
    EXPECT_EQ(Run("name"), "Zezuz\n");
}

// A value that does not parse leaves the variable as it was (and says so)
// instead of storing an undefined value.
TEST_F(ConsoleTest, ValuesThatDoNotParseLeaveTheVariable) {
    float speed = 1.5f;
    bool flag = true;
    unsigned int count = 3;
    int n = 9;
    Console::RegisterVariable("speed", &speed);
    Console::RegisterVariable("flag", &flag);
    Console::RegisterVariable("count", &count);
    Console::RegisterVariable("n", &n);

    for (const char* line : {"set speed abc", "speed nan", "flag 2", "set flag true", "count -1", "n x12"}) {
        EXPECT_NE(Run(line).find("Invalid value"), std::string::npos) << line;
    }
    EXPECT_FLOAT_EQ(speed, 1.5f);
    EXPECT_TRUE(flag);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(n, 9);

    // Incomplete lines do nothing harmful.
    Run("set");
    Run("set speed");
    Run("call");
    EXPECT_FLOAT_EQ(speed, 1.5f);
}

TEST_F(ConsoleTest, RangesAndHooksValidateWhatTheConsoleSets) {
    int timeout = 100;
    float weight = 1.0f;
    int hooks = 0;
    Console::RegisterVariable("timeout", &timeout, 1, 10000);
    Console::RegisterVariable<float>("weight", &weight, [&] {
        ++hooks;
        if (weight < 0.0f) weight = 0.0f;
    });
    EXPECT_EQ(Run("timeout 0"), "timeout limited to 1\n");
    EXPECT_EQ(timeout, 1);
    Run("timeout 99999");
    EXPECT_EQ(timeout, 10000);
    Run("timeout 250");
    EXPECT_EQ(timeout, 250);
    Run("weight -3");
    EXPECT_FLOAT_EQ(weight, 0.0f);
    EXPECT_EQ(hooks, 1);
}

TEST_F(ConsoleTest, CommandsGetTheirArgumentsAndOwnersCanUnregister) {
    std::vector<std::string> got;
    int owner = 0;
    float value = 1.0f;
    Console::RegisterCommand(
        "echo",
        [&](const std::istringstream& args) {
            EXPECT_EQ(args.str(), "a b7 ");
            std::istringstream in(args.str());
            std::string w;
            while (in >> w) got.push_back(w);
        },
        &owner);
    Console::RegisterVariable("value", &value, &owner);
    Run("call echo a b7");
    EXPECT_EQ(got, (std::vector<std::string>{"a", "b7"}));

    Console::Unregister(&owner);
    EXPECT_EQ(Run("call echo x"), "Invalid function: echo\n");
    Run("value 5");
    EXPECT_FLOAT_EQ(value, 1.0f);
    EXPECT_EQ(Console::Instance().Variables().size(), 0u);

    float own = 0;
    Console::RegisterVariable("own", &own);
    Console::Unregister(&own);  // without an owner the variable's address serves
    EXPECT_TRUE(Console::Instance().Variables().empty());
}

TEST_F(ConsoleTest, ThePromptRunsUntilExitOrTheEndOfInput) {
    int level = 0;
    Console::RegisterVariable("level", &level);
    m_in.str("level 3\n\nexit\nlevel 4\n");
    m_out.str("");
    Console::Run();
    EXPECT_EQ(level, 3);
    const std::string out = m_out.str();
    size_t prompts = 0;
    for (size_t p = out.find("Insert command here >> "); p != std::string::npos;
         p = out.find("Insert command here >> ", p + 1))
        ++prompts;
    EXPECT_EQ(prompts, 3u);

    // No "exit": the end of input ends the prompt.
    m_in.clear();
    m_in.str("level 5\r\n");
    Console::Run();
    EXPECT_EQ(level, 5);
}

TEST(ConsoleDisabled, NothingOpensRegistersOrPrints) {
    std::istringstream in("level 3\nexit\n");
    std::ostringstream out;
    Console::Create(false, in, out);
    int level = 0;
    Console::RegisterVariable("level", &level);
    Console::Run();
    EXPECT_EQ(level, 0);
    EXPECT_EQ(in.tellg(), 0);  // nothing was read
    EXPECT_TRUE(Console::Instance().Commands().empty());
    Console::Out() << "lost " << 1;
    Console::NewLine();
    EXPECT_EQ(out.str(), "");
    Console::Destroy();

    std::istringstream in2;
    std::ostringstream out2;
    Console::Create(true, in2, out2);
    EXPECT_EQ(Console::Instance().Commands().size(), 2u);  // printvars, printcommands
    EXPECT_FALSE(out2.str().empty());                       // the banner
    Console::Destroy();
}
