#include "utility/Console.h"

#include <iostream>
#include <sstream>
#include <streambuf>
#include <type_traits>

#include "utility/StringUtil.h"

namespace Utility {

namespace {

Console* g_console = nullptr;
std::function<std::string()> g_helpSource;

template <class T>
constexpr int TypeCode() {
    if constexpr (std::is_same_v<T, char>) return Console::kChar;
    if constexpr (std::is_same_v<T, unsigned char>) return Console::kUChar;
    if constexpr (std::is_same_v<T, unsigned int>) return Console::kUInt;
    if constexpr (std::is_same_v<T, int>) return Console::kInt;
    if constexpr (std::is_same_v<T, float>) return Console::kFloat;
    if constexpr (std::is_same_v<T, double>) return Console::kDouble;
    if constexpr (std::is_same_v<T, std::string>) return Console::kString;
    if constexpr (std::is_same_v<T, bool>) return Console::kBool;
    return -1;
}

template <class T>
bool Store(void* target, const std::string& word, const Console::Variable& v, bool& clamped) {
    std::optional<T> parsed = ParseValue<T>(word);
    if (!parsed) return false;
    T value = *parsed;
    if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
        if (v.limited) {
            const double d = static_cast<double>(value);
            if (d < v.min) {
                value = static_cast<T>(v.min);
                clamped = true;
            } else if (d > v.max) {
                value = static_cast<T>(v.max);
                clamped = true;
            }
        }
    }
    *static_cast<T*>(target) = value;
    return true;
}

// Writes the variable's value the way it would be typed.
void Print(std::ostream& out, const Console::Variable& v) {
    switch (v.type) {
        case Console::kChar: out << *static_cast<char*>(v.target); break;
        case Console::kUChar: out << static_cast<unsigned>(*static_cast<unsigned char*>(v.target)); break;
        case Console::kUInt: out << *static_cast<unsigned int*>(v.target); break;
        case Console::kInt: out << *static_cast<int*>(v.target); break;
        case Console::kFloat: out << *static_cast<float*>(v.target); break;
        case Console::kDouble: out << *static_cast<double*>(v.target); break;
        case Console::kString: out << *static_cast<std::string*>(v.target); break;
        case Console::kBool: out << (*static_cast<bool*>(v.target) ? 1 : 0); break;
        default: break;
    }
}

}  // namespace

Console::Console(bool enabled, std::istream& in, std::ostream& out)
    : m_enabled(enabled), m_in(in), m_out(out), m_discard(std::make_unique<std::ostream>(nullptr)) {
    if (!m_enabled) return;
    m_out << "+--------------------------------------+\n"
             "|  Mirav console: 'exit' to go back    |\n"
             "+--------------------------------------+\n";
    m_out.flush();
    m_commands.push_back({"printvars", [this](const std::istringstream&) { PrintVariables(); }, this});
    m_commands.push_back({"printcommands", [this](const std::istringstream&) { PrintCommands(); }, this});
}

Console::~Console() = default;

void Console::Create() {
    if (g_console) return;
    g_console = new Console(false, std::cin, std::cout);
}

void Console::SetHelpSource(std::function<std::string()> source) { g_helpSource = std::move(source); }

void Console::Create(bool enabled, std::istream& in, std::ostream& out) {
    Destroy();
    g_console = new Console(enabled, in, out);
}

void Console::Destroy() {
    delete g_console;
    g_console = nullptr;
}

Console& Console::Instance() {
    Create();
    return *g_console;
}

bool Console::IsEnabled() { return Instance().m_enabled; }

void Console::AddVariable(Variable v) {
    if (!v.owner) v.owner = v.target;
    m_variables.push_back(std::move(v));
}

template <class T>
void Console::RegisterVariable(const std::string& name, T* target, const void* owner) {
    Variable v;
    v.name = name;
    v.target = target;
    v.type = TypeCode<T>();
    v.owner = owner;
    Instance().AddVariable(std::move(v));
}

template <class T>
void Console::RegisterVariable(const std::string& name, T* target, T min, T max, const void* owner) {
    Variable v;
    v.name = name;
    v.target = target;
    v.type = TypeCode<T>();
    v.owner = owner;
    v.limited = true;
    v.min = static_cast<double>(min < max ? min : max);
    v.max = static_cast<double>(min < max ? max : min);
    Instance().AddVariable(std::move(v));
}

template <class T>
void Console::RegisterVariable(const std::string& name, T* target, std::function<void()> afterSet,
                               const void* owner) {
    Variable v;
    v.name = name;
    v.target = target;
    v.type = TypeCode<T>();
    v.owner = owner;
    v.afterSet = std::move(afterSet);
    Instance().AddVariable(std::move(v));
}

#define MIRAV_CONSOLE_VARIABLE(T)                                                                             \
    template void Console::RegisterVariable<T>(const std::string&, T*, const void*);                         \
    template void Console::RegisterVariable<T>(const std::string&, T*, std::function<void()>, const void*);
#define MIRAV_CONSOLE_NUMBER(T) \
    template void Console::RegisterVariable<T>(const std::string&, T*, T, T, const void*);

MIRAV_CONSOLE_VARIABLE(char)
MIRAV_CONSOLE_VARIABLE(unsigned char)
MIRAV_CONSOLE_VARIABLE(unsigned int)
MIRAV_CONSOLE_VARIABLE(int)
MIRAV_CONSOLE_VARIABLE(float)
MIRAV_CONSOLE_VARIABLE(double)
MIRAV_CONSOLE_VARIABLE(std::string)
MIRAV_CONSOLE_VARIABLE(bool)
MIRAV_CONSOLE_NUMBER(unsigned int)
MIRAV_CONSOLE_NUMBER(int)
MIRAV_CONSOLE_NUMBER(float)
MIRAV_CONSOLE_NUMBER(double)
#undef MIRAV_CONSOLE_VARIABLE
#undef MIRAV_CONSOLE_NUMBER

void Console::RegisterCommand(const std::string& name, CommandFunction function, const void* owner) {
    Instance().m_commands.push_back({name, std::move(function), owner});
}

void Console::Unregister(const void* owner) {
    if (!g_console || !owner) return;
    auto& vars = g_console->m_variables;
    for (auto it = vars.begin(); it != vars.end();) it = it->owner == owner ? vars.erase(it) : it + 1;
    auto& cmds = g_console->m_commands;
    for (auto it = cmds.begin(); it != cmds.end();) it = it->owner == owner ? cmds.erase(it) : it + 1;
}

std::ostream& Console::Out() {
    Console& c = Instance();
    return c.m_enabled ? c.m_out : *c.m_discard;
}

void Console::NewLine() { Out() << "\n"; }

void Console::Run() {
    Console& c = Instance();
    if (!c.m_enabled) return;
    c.m_line.clear();
    while (c.m_line != "exit") {
        c.m_out << "Insert command here >> ";
        c.m_out.flush();
        if (!std::getline(c.m_in, c.m_line)) {
            // End of input (the terminal closed, or ^D) counts as "exit".
            c.m_in.clear();
            c.m_out << "\n";
            break;
        }
        c.ExecuteLine();
        // A command may have replaced or destroyed the console.
        if (g_console != &c) return;
    }
    c.m_out.flush();
}

void Console::Execute(const std::string& line) {
    Console& c = Instance();
    c.m_line = line;
    c.ExecuteLine();
}

void Console::ExecuteLine() {
    m_words.clear();
    Split(m_line, " \t\r\n", m_words);
    // Work on a copy: a command may execute further lines.
    const std::vector<std::string> words = m_words;
    if (words.empty()) {
        PrintCommands();
    } else if (words[0] == "set") {
        if (words.size() >= 3)
            SetVariable(words[1], words[2]);
        else
            Out() << "Usage: set <variable> <value>\n";
    } else if (words[0] == "call") {
        if (words.size() >= 2)
            CallCommand(words[1], std::vector<std::string>(words.begin() + 2, words.end()));
        else
            Out() << "Usage: call <command> [arguments]\n";
    } else if (words[0] == "ini") {
        if (words.size() == 1 && g_helpSource) Out() << g_helpSource();
    } else if (words.size() >= 2) {
        SetVariable(words[0], words[1]);
    } else {
        PrintVariable(words[0]);
    }
    if (g_console == this) m_out.flush();
}

void Console::SetVariable(const std::string& name, const std::string& value) {
    // Copies: an after-set hook may register or unregister.
    std::vector<Variable> matches;
    for (const auto& v : m_variables)
        if (v.name == name) matches.push_back(v);
    for (const auto& v : matches) {
        bool stillRegistered = false;
        for (const auto& r : m_variables) stillRegistered |= r.name == name && r.target == v.target;
        if (!stillRegistered) continue;
        bool clamped = false;
        bool ok = false;
        switch (v.type) {
            case kChar: ok = Store<char>(v.target, value, v, clamped); break;
            case kUChar: ok = Store<unsigned char>(v.target, value, v, clamped); break;
            case kUInt: ok = Store<unsigned int>(v.target, value, v, clamped); break;
            case kInt: ok = Store<int>(v.target, value, v, clamped); break;
            case kFloat: ok = Store<float>(v.target, value, v, clamped); break;
            case kDouble: ok = Store<double>(v.target, value, v, clamped); break;
            case kBool: ok = Store<bool>(v.target, value, v, clamped); break;
            case kString:
                *static_cast<std::string*>(v.target) = value;
                ok = true;
                break;
            default: break;
        }
        if (!ok) {
            Out() << "Invalid value for " << name << ": " << value << "\n";
            continue;
        }
        if (clamped) {
            Out() << name << " limited to ";
            Print(Out(), v);
            Out() << "\n";
        }
        if (v.afterSet) {
            v.afterSet();
            if (g_console != this) return;
        }
    }
}

void Console::PrintVariable(const std::string& name) {
    for (const auto& v : m_variables) {
        if (v.name == name) {
            Print(Out(), v);
            Out() << "\n";
            return;
        }
    }
}

void Console::CallCommand(const std::string& name, const std::vector<std::string>& args) {
    for (const auto& c : m_commands) {
        if (c.name != name) continue;
        std::string text;
        for (const auto& a : args) text += a + " ";
        const std::istringstream stream(text);
        const CommandFunction function = c.function;  // the command may unregister itself
        function(stream);
        return;
    }
    Out() << "Invalid function: " << name << "\n";
}

void Console::PrintCommands() {
    Out() << "This is the list of available commands: \n";
    for (const auto& c : m_commands) Out() << " - " << c.name << "\n";
}

void Console::PrintVariables() {
    Out() << "This is the list of registered Variables: \n";
    for (const auto& v : m_variables) Out() << " - " << v.name << "\n";
}

void RegisterConsoleFunction(const std::string& name, std::function<void()> function, const void* owner) {
    Console::RegisterCommand(
        name, [f = std::move(function)](const std::istringstream&) { f(); }, owner);
}

}  // namespace Utility
