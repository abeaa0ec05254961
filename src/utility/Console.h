// The developer's text console on the launching terminal: parts of the game
// register named variables and commands; the prompt (opened from the game
// screen) prints or sets variables and calls commands until "exit" or the
// end of input. Also the text stream diagnostics are printed to. Only active
// when the game turns it on (`Config/Config.ini` [CONSOLE] EnableConsole, read
// by the settings layer, which also gives it the text of the line 'ini').
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace Utility {

class Console {
public:
    using CommandFunction = std::function<void(const std::istringstream& args)>;

    // Variable type codes.
    enum Type : int { kChar = 0, kUChar = 1, kUInt = 2, kInt = 3, kFloat = 4, kDouble = 5, kString = 6, kBool = 7 };

    struct Command {
        std::string name;
        CommandFunction function;
        const void* owner = nullptr;
    };
    struct Variable {
        std::string name;
        void* target = nullptr;
        int type = kInt;
        const void* owner = nullptr;  // the target itself unless given
        bool limited = false;         // numbers: set values are held to min..max
        double min = 0.0;
        double max = 0.0;
        std::function<void()> afterSet;
    };

    // Creates the console when there is none: off, on the terminal's standard
    // input and output (the game creates it on from its settings).
    static void Create();
    // The same with the given settings and streams (tests, tools). Replaces
    // an existing console.
    static void Create(bool enabled, std::istream& in, std::ostream& out);
    // Drops the console and every registration.
    static void Destroy();
    // The console, created (as by Create()) when needed.
    static Console& Instance();

    static bool IsEnabled();

    // What the line 'ini' prints (the console commands' help file); nothing
    // while no source is given. Kept across Create and Destroy.
    static void SetHelpSource(std::function<std::string()> source);

    // T: char, unsigned char, unsigned int, int, float, double, std::string,
    // bool. No test for duplicate names. The owner lets Unregister remove
    // the record before the variable goes away.
    template <class T>
    static void RegisterVariable(const std::string& name, T* target, const void* owner = nullptr);
    // Numbers: a value set from the prompt is held to min..max.
    template <class T>
    static void RegisterVariable(const std::string& name, T* target, T min, T max, const void* owner = nullptr);
    // Calls afterSet each time the prompt changes the variable (to
    // re-validate the record it belongs to, for example).
    template <class T>
    static void RegisterVariable(const std::string& name, T* target, std::function<void()> afterSet,
                                 const void* owner = nullptr);
    static void RegisterCommand(const std::string& name, CommandFunction function, const void* owner = nullptr);
    // Removes every variable and command registered with this owner (for a
    // variable without owner: its own address).
    static void Unregister(const void* owner);

    // The prompt: reads and executes lines until "exit" or the end of input.
    // Does nothing unless enabled.
    static void Run();
    // Executes one line.
    static void Execute(const std::string& line);

    // Text written here goes to the terminal when enabled, nowhere otherwise.
    static std::ostream& Out();
    static void NewLine();

    const std::vector<Command>& Commands() const { return m_commands; }
    const std::vector<Variable>& Variables() const { return m_variables; }

    ~Console();

private:
    Console(bool enabled, std::istream& in, std::ostream& out);
    void AddVariable(Variable v);
    void ExecuteLine();
    void SetVariable(const std::string& name, const std::string& value);
    void PrintVariable(const std::string& name);
    void CallCommand(const std::string& name, const std::vector<std::string>& args);
    void PrintCommands();
    void PrintVariables();

    std::vector<std::string> m_words;
    std::string m_line;
    std::vector<Command> m_commands;
    std::vector<Variable> m_variables;
    bool m_enabled;
    std::istream& m_in;
    std::ostream& m_out;
    std::unique_ptr<std::ostream> m_discard;  // output while not enabled
};

// Registers a command whose callable takes no arguments.
void RegisterConsoleFunction(const std::string& name, std::function<void()> function, const void* owner = nullptr);

}  // namespace Utility
