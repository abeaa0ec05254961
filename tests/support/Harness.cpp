#include "support/Harness.h"

#include "ai/AIBotDirector.h"
#include "ai/AIMan.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BaseGameLogic.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/RulesSettings.h"
#include "physics/PhysMaterial.h"
#include "physics/PhysProc.h"
#include "resourceman/ResCache.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"
#include "utility/Profiler.h"
#include "utility/Random.h"
#include "levels/LevelLoader.h"

namespace TestSupport {

void ResetSingletons() {
    EventSystem::EventManager::Instance().Reset();
    GameLogicView::GlobalGameState::Destroy();
    Profiler::ResetInstance();
    Utility::ResCache::Shutdown();
    Utility::ResCache::SetFileSource({});
    Utility::Console::Destroy();
    Utility::SetProblemSink(nullptr);
    GameLogicView::LevelLoader::ResetMaterialGenerator();
    Physics::SetPhysProc(nullptr);
    Physics::ResetMaterialMan();
    GameLogicView::ActorMan::ResetIdCounter();
    GameLogicView::ResetLogicSettings();
    GameLogicView::ResetRulesSettings();
    GameLogicView::ResetBombGenerator();
    Utility::SetRunSeed(0);
    AI::AIMan::Destroy();
    // The tests run the whole game: its logic plays with bots.
    AI::InstallBotDirector();
}

void EventRecorder::ListenTo(const EventSystem::EventType& type) {
    m_registry.Register(type, [this](const EventSystem::IEvent& e) {
        m_events.push_back(e.Copy());
        return false;
    });
}

size_t EventRecorder::Count(const EventSystem::EventType& type) const {
    size_t n = 0;
    for (const auto& e : m_events)
        if (e->GetTypeHash() == type.hash) ++n;
    return n;
}

std::vector<std::string> EventRecorder::Names() const {
    std::vector<std::string> out;
    for (const auto& e : m_events) out.emplace_back(e->GetTypeName());
    return out;
}

void RunProcesses(GameLogicView::BaseGameLogic& logic, int totalMs, int ms) {
    for (int t = 0; t < totalMs; t += ms) {
        logic.GetProcessManager().UpdateProcesses(ms);
        EventSystem::ProcessEventQueue();
    }
}

void LogicStepper::Frame() {
    EventSystem::ProcessEventQueue();
    m_logic.OnUpdate(m_ms);
    ++m_frames;
}

void LogicStepper::Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
}

bool LogicStepper::Until(const std::function<bool()>& done, int maxFrames) {
    for (int i = 0; i < maxFrames; ++i) {
        if (done()) return true;
        Frame();
    }
    return done();
}

}  // namespace TestSupport
