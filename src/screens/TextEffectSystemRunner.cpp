#include "screens/TextEffectSystemRunner.h"

#include "screens/TextEffect.h"
#include "screens/TextEffectSystem.h"
#include "screens/TextObj.h"

namespace GameLogicView {

size_t TextEffectSystemRunner::StepCount() const { return m_system ? m_system->steps.size() : 0; }

void TextEffectSystemRunner::Start(const TextEffectSystem* system, const std::shared_ptr<TextObj>& text) {
    m_system = system;
    m_text = text;
    if (m_system && m_text) {
        const TextEffectSystem& s = *m_system;
        if (s.initialOffset) m_text->SetOffset(*s.initialOffset);
        if (s.initialScale) m_text->SetScale(s.initialScale->x, s.initialScale->y);
        if (s.initialRotation) m_text->SetRotation(*s.initialRotation);
        if (s.initialColor) m_text->SetColor(Gfx::Color4(s.initialColor->r, s.initialColor->g, s.initialColor->b, 1.0f));
        if (s.initialAlpha) m_text->SetAlphaMultiplier(*s.initialAlpha);
    }
    m_step = 0;
    StartStep();
}

void TextEffectSystemRunner::StartStep() {
    // The system may have been replaced by a shorter one meanwhile: >=, not ==.
    if (!m_text || m_step >= StepCount()) return;
    for (const auto& props : m_system->steps[m_step])
        if (props) m_processes.Attach(CreateTextEffect(m_text.get(), *props));
}

void TextEffectSystemRunner::NextStep() {
    ++m_step;
    StartStep();
}

void TextEffectSystemRunner::Update(int ms) {
    if (IsFinished()) return;
    m_processes.UpdateProcesses(ms);
    if (!m_processes.HasProcesses()) NextStep();
}

bool TextEffectSystemRunner::IsFinished() const { return m_step >= StepCount(); }

void TextEffectSystemRunner::Stop() {
    m_step = StepCount();
    m_processes.DetachAll();
}

}  // namespace GameLogicView
