// Reads the text effect file into effect systems, each handed to a callback
// when its "End" is read. Words are split at " ,()\t"; lines whose first
// visible character is '#' are comments. Malformed entries are reported and
// skipped; nothing is ever read past the end of the words.
#pragma once

#include <functional>
#include <string>

#include "screens/TextEffectSystem.h"
#include "utility/Tokenizer.h"

namespace GameLogicView {

class TextEffectParser {
public:
    using Callback = std::function<void(const TextEffectSystem&)>;
    // A system may not grow past this many steps (Repeat is refused beyond it).
    static constexpr size_t kMaxSteps = 10000;

    explicit TextEffectParser(Callback done) : m_done(std::move(done)) {}

    // False when the file cannot be read (no system is handed over).
    bool ParseFile(const std::string& fileName);
    void ParseText(const std::string& text, const std::string& name = "<text>");

private:
    void Parse();
    void Keyword(const std::string& word);
    void CloseStep();
    void Repeat(long n, long k);
    bool Floats(float* out, int count);
    bool Duration(int& ms);
    bool FloatsAndDuration(float* out, int count, int& ms);
    void Bad(const std::string& word);

    TextEffectSystem::Step m_step;
    TextEffectSystem m_system;
    bool m_nameRead = false;
    bool m_init = false;
    Callback m_done;
    Utility::Tokenizer m_tokens;
};

}  // namespace GameLogicView
