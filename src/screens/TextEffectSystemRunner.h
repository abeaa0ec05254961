// Plays one text effect on one text object: applies its starting values,
// then runs its steps one after another in a process list of its own.
#pragma once

#include <memory>

#include "processes/Process.h"

namespace GameLogicView {

struct TextEffectSystem;
class TextObj;

class TextEffectSystemRunner {
public:
    TextEffectSystemRunner() = default;
    TextEffectSystemRunner(const TextEffectSystemRunner&) = delete;
    TextEffectSystemRunner& operator=(const TextEffectSystemRunner&) = delete;

    void Start(const TextEffectSystem* system, const std::shared_ptr<TextObj>& text);
    void StartStep();
    void NextStep();
    // Updates the step's changes; when they have all ended the next step
    // starts (its changes get their first update in the next call).
    void Update(int ms);
    bool IsFinished() const;
    // Finished at once; the changes stop where they are.
    void Stop();

    size_t GetStepIndex() const { return m_step; }
    const TextEffectSystem* GetSystem() const { return m_system; }
    const std::shared_ptr<TextObj>& GetText() const { return m_text; }
    const ProcessSystem::ProcessManager& GetProcesses() const { return m_processes; }

private:
    size_t StepCount() const;

    ProcessSystem::ProcessManager m_processes;
    const TextEffectSystem* m_system = nullptr;  // owned by the text-effect manager
    size_t m_step = 0;
    std::shared_ptr<TextObj> m_text;
};

}  // namespace GameLogicView
