#include "screens/TextEffectParser.h"

#include <climits>

#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

// -1 marks an axis a move leaves alone; a move that means -1 gets as close as it may.
float MoveValue(float v) { return v == -1.0f ? -0.9999f : v; }

}  // namespace

bool TextEffectParser::ParseFile(const std::string& fileName) {
    m_tokens = Utility::Tokenizer();
    if (!m_tokens.Load(fileName)) return false;
    Parse();
    return true;
}

void TextEffectParser::ParseText(const std::string& text, const std::string& name) {
    m_tokens = Utility::Tokenizer();
    m_tokens.LoadText(text, name);
    Parse();
}

void TextEffectParser::Parse() {
    m_step.clear();
    m_system = TextEffectSystem();
    m_nameRead = false;
    m_init = false;
    while (m_tokens.HasMore()) {
        const std::string word = m_tokens.NextToken();
        if (!m_nameRead) {
            m_system.name = word;
            m_nameRead = true;
            m_init = false;
            continue;
        }
        Keyword(word);
    }
    // A system without its "End" is dropped.
    m_step.clear();
    m_system = TextEffectSystem();
    m_nameRead = false;
}

void TextEffectParser::Bad(const std::string& word) {
    Utility::ReportWarning(m_tokens.Name() + ": text effect \"" + m_system.name + "\": \"" + word +
                           "\" without its numbers is skipped");
}

bool TextEffectParser::Floats(float* out, int count) {
    bool ok = true;
    for (int i = 0; i < count; ++i) ok = m_tokens.NextFloat(out[i]) && ok;
    return ok;
}

bool TextEffectParser::FloatsAndDuration(float* out, int count, int& ms) {
    const bool values = Floats(out, count);
    const bool time = Duration(ms);  // read even after a bad value, so the words stay in step
    return values && time;
}

bool TextEffectParser::Duration(int& ms) {
    long v = 0;
    if (!m_tokens.NextInt(v)) return false;
    // A negative time would never end; a huge one is as good as forever.
    if (v < 0) v = 0;
    if (v > INT_MAX) v = INT_MAX;
    ms = static_cast<int>(v);
    return true;
}

void TextEffectParser::CloseStep() {
    if (m_step.empty()) return;
    m_system.steps.push_back(m_step);
    m_step.clear();
}

void TextEffectParser::Repeat(long n, long k) {
    const long closed = static_cast<long>(m_system.steps.size());
    if (n <= 0 || k == 0) return;
    if (k > 0 || -k > closed) {
        Utility::ReportWarning(m_tokens.Name() + ": text effect \"" + m_system.name +
                               "\": Repeat reaches outside the steps before it; skipped");
        return;
    }
    const size_t count = static_cast<size_t>(-k);
    if (static_cast<unsigned long>(n) > kMaxSteps || m_system.steps.size() + static_cast<size_t>(n) * count > kMaxSteps) {
        Utility::ReportWarning(m_tokens.Name() + ": text effect \"" + m_system.name +
                               "\": Repeat makes too many steps; skipped");
        return;
    }
    const size_t first = m_system.steps.size() - count;
    for (long i = 0; i < n; ++i)
        for (size_t s = 0; s < count; ++s) m_system.steps.push_back(m_system.steps[first + s]);
}

void TextEffectParser::Keyword(const std::string& word) {
    if (word == "Init") {
        m_init = true;
    } else if (word == "Begin") {
        m_init = false;
    } else if (word == "WhenDone") {
        CloseStep();
    } else if (word == "End") {
        CloseStep();
        if (m_done) m_done(m_system);
        m_system = TextEffectSystem();
        m_nameRead = false;
        m_init = false;
    } else if (word == "Alpha") {
        float a = 0.0f;
        int t = 0;
        if (m_init) {
            if (Floats(&a, 1))
                m_system.initialAlpha = a;
            else
                Bad(word);
        } else if (FloatsAndDuration(&a, 1, t)) {
            m_step.push_back(std::make_shared<AlphaTextEffectProps>(a, t));
        } else {
            Bad(word);
        }
    } else if (word == "Move") {
        float v[2] = {0.0f, 0.0f};
        int t = 0;
        if (m_init) {
            if (Floats(v, 2))
                m_system.initialOffset = Geometry::Vector2(v[0], v[1]);
            else
                Bad(word);
        } else if (FloatsAndDuration(v, 2, t)) {
            m_step.push_back(std::make_shared<MoveTextEffectProps>(MoveValue(v[0]), MoveValue(v[1]), t));
        } else {
            Bad(word);
        }
    } else if (word == "MoveX" || word == "MoveY") {
        float v = 0.0f;
        int t = 0;
        if (FloatsAndDuration(&v, 1, t)) {
            const float keep = MoveTextEffectProps::kKeep;
            if (word == "MoveX")
                m_step.push_back(std::make_shared<MoveTextEffectProps>(MoveValue(v), keep, t));
            else
                m_step.push_back(std::make_shared<MoveTextEffectProps>(keep, MoveValue(v), t));
        } else {
            Bad(word);
        }
    } else if (word == "Rotate") {
        float r = 0.0f;
        int t = 0;
        if (m_init) {
            if (Floats(&r, 1))
                m_system.initialRotation = r;
            else
                Bad(word);
        } else if (FloatsAndDuration(&r, 1, t)) {
            m_step.push_back(std::make_shared<RotateTextEffectProps>(r, t));
        } else {
            Bad(word);
        }
    } else if (word == "Color") {
        float c[3] = {0.0f, 0.0f, 0.0f};
        int t = 0;
        if (m_init) {
            if (Floats(c, 3))
                m_system.initialColor = TextEffectSystem::Rgb{c[0], c[1], c[2]};
            else
                Bad(word);
        } else if (FloatsAndDuration(c, 3, t)) {
            m_step.push_back(std::make_shared<ColorTextEffectProps>(c[0], c[1], c[2], t));
        } else {
            Bad(word);
        }
    } else if (word == "Scale") {
        float v[2] = {0.0f, 0.0f};
        int t = 0;
        if (m_init) {
            if (Floats(v, 2))
                m_system.initialScale = TextEffectSystem::Pair{v[0], v[1]};
            else
                Bad(word);
        } else if (FloatsAndDuration(v, 2, t)) {
            m_step.push_back(std::make_shared<ScaleTextEffectProps>(v[0], v[1], t));
        } else {
            Bad(word);
        }
    } else if (word == "Wait") {
        int t = 0;
        if (Duration(t))
            m_step.push_back(std::make_shared<ITextEffectProps>(ITextEffectProps::kWait, t));
        else
            Bad(word);
    } else if (word == "Repeat") {
        long n = 0, k = 0;
        const bool okN = m_tokens.NextInt(n);
        const bool okK = m_tokens.NextInt(k);
        if (okN && okK)
            Repeat(n, k);
        else
            Bad(word);
    }
    // Any other word is skipped on its own.
}

}  // namespace GameLogicView
