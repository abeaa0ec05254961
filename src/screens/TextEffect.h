// The timed changes of a text effect step: each interpolates one attribute
// of a text object from its value when the step began to the target, and
// ends (writing the target) when its time is up.
#pragma once

#include <memory>

#include "processes/Process.h"
#include "screens/TextEffectSystem.h"

namespace GameLogicView {

class TextObj;

class ITextEffect : public ProcessSystem::ITimeProcess {
public:
    ITextEffect(int ms, TextObj* target) : ITimeProcess(ms), m_target(target) {}

protected:
    TextObj* m_target;  // kept alive by the runner
};

class AlphaTextEffect : public ITextEffect {
public:
    AlphaTextEffect(TextObj* target, const AlphaTextEffectProps& props);
    void OnUpdate(int ms) override;

private:
    float m_start, m_end;
};

class RotateTextEffect : public ITextEffect {
public:
    RotateTextEffect(TextObj* target, const RotateTextEffectProps& props);
    void OnUpdate(int ms) override;

private:
    float m_start, m_end;
};

class MoveTextEffect : public ITextEffect {
public:
    MoveTextEffect(TextObj* target, const MoveTextEffectProps& props);
    void OnUpdate(int ms) override;

private:
    float m_startX, m_startY, m_endX, m_endY;
};

class ScaleTextEffect : public ITextEffect {
public:
    ScaleTextEffect(TextObj* target, const ScaleTextEffectProps& props);
    void OnUpdate(int ms) override;

private:
    float m_startX, m_startY, m_endX, m_endY;
};

class ColorTextEffect : public ITextEffect {
public:
    ColorTextEffect(TextObj* target, const ColorTextEffectProps& props);
    void OnUpdate(int ms) override;

private:
    float m_start[3], m_end[3];
};

// The process for one change of a step, starting from the text's current
// values; a wait for type 0; null for an unknown type or no text.
std::shared_ptr<ProcessSystem::IProcess> CreateTextEffect(TextObj* text, const ITextEffectProps& props);

}  // namespace GameLogicView
