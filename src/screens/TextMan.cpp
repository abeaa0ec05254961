#include "screens/TextMan.h"

#include <climits>

#include "screens/TextEffectParser.h"
#include "screens/TextEffectSystemRunner.h"
#include "screens/TextObj.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

TextMan& TextMan::Instance() {
    static TextMan instance;
    return instance;
}

TextMan::~TextMan() { Clear(); }

bool TextMan::LoadEffects(const std::string& fileName) {
    Clear();
    m_systems.clear();
    TextEffectParser parser([this](const TextEffectSystem& s) { AddEffectSystem(s); });
    return parser.ParseFile(fileName);
}

void TextMan::LoadEffectsText(const std::string& text, const std::string& name) {
    Clear();
    m_systems.clear();
    TextEffectParser parser([this](const TextEffectSystem& s) { AddEffectSystem(s); });
    parser.ParseText(text, name);
}

void TextMan::AddEffectSystem(const TextEffectSystem& system) { m_systems[system.name] = system; }

const TextEffectSystem* TextMan::FindEffectSystem(const std::string& name) const {
    auto it = m_systems.find(name);
    return it == m_systems.end() ? nullptr : &it->second;
}

std::shared_ptr<TextObj> TextMan::CreateTextObj() { return std::make_shared<TextObj>(); }

std::shared_ptr<TextObj> TextMan::CreateTextObjWithEffect(const std::string& effect) {
    std::shared_ptr<TextObj> text = CreateTextObj();
    RunEffect(text, effect);
    return text;
}

std::shared_ptr<TextEffectSystemRunner> TextMan::RunEffect(const std::shared_ptr<TextObj>& text,
                                                           const std::string& effect) {
    if (!text) return nullptr;
    StopEffect(text);
    const TextEffectSystem* system = FindEffectSystem(effect);
    if (!system) {
        Utility::ReportWarning("Text effect \"" + effect + "\" is not defined; the text is left as it is");
        return nullptr;
    }
    auto runner = std::make_shared<TextEffectSystemRunner>();
    runner->Start(system, text);
    text->SetRunner(runner);
    m_runners.push_back(runner);
    m_index[text] = std::prev(m_runners.end());
    return runner;
}

void TextMan::StopEffect(const std::shared_ptr<TextObj>& text) {
    auto it = m_index.find(text);
    if (it == m_index.end()) return;
    const RunnerList::iterator place = it->second;
    // Hold both while they come apart: the list and the index may hold the last references.
    std::shared_ptr<TextEffectSystemRunner> runner = *place;
    std::shared_ptr<TextObj> keep = text;
    m_index.erase(it);
    m_runners.erase(place);
    keep->StopEffects();
    runner->Stop();
}

void TextMan::Update(unsigned ms) {
    const int step = ms > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
    for (auto it = m_runners.begin(); it != m_runners.end();) {
        std::shared_ptr<TextEffectSystemRunner> runner = *it;
        if (!runner->IsFinished()) runner->Update(step);
        if (!runner->IsFinished()) {
            ++it;
            continue;
        }
        std::shared_ptr<TextObj> text = runner->GetText();
        if (text) {
            if (text->GetRunner() == runner)
                text->StopEffects();
            else
                runner->Stop();
            auto idx = m_index.find(text);
            if (idx != m_index.end() && idx->second == it) m_index.erase(idx);
        }
        it = m_runners.erase(it);
    }
}

void TextMan::Clear() {
    RunnerList runners;
    runners.swap(m_runners);
    m_index.clear();
    for (auto& runner : runners) {
        const std::shared_ptr<TextObj>& text = runner->GetText();
        if (text && text->GetRunner() == runner)
            text->StopEffects();
        else
            runner->Stop();
    }
}

std::shared_ptr<TextObj> CreateTextObj() { return TextMan::Instance().CreateTextObj(); }

std::shared_ptr<TextObj> CreateTextObjWithEffect(const std::string& effect) {
    return TextMan::Instance().CreateTextObjWithEffect(effect);
}

std::shared_ptr<TextEffectSystemRunner> RunTextEffect(const std::shared_ptr<TextObj>& text, const std::string& effect) {
    return TextMan::Instance().RunEffect(text, effect);
}

bool LoadTextEffects(const std::string& fileName) { return TextMan::Instance().LoadEffects(fileName); }

void ClearTextEffects() { TextMan::Instance().Clear(); }

void UpdateTextEffects(unsigned ms) { TextMan::Instance().Update(ms); }

}  // namespace GameLogicView
