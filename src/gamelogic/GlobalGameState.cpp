#include "gamelogic/GlobalGameState.h"

namespace GameLogicView {

namespace {
GlobalGameState* g_instance = nullptr;
}

GlobalGameState::GlobalGameState() : m_userConfig("UserConfig.ini"), m_flags(kFlagCount, 0) {
    m_flags[kMachines] = 1;
    ApplyUserConfig();
}

void GlobalGameState::Create() {
    if (!g_instance) g_instance = new GlobalGameState();
}

GlobalGameState* GlobalGameState::Instance() {
    Create();
    return g_instance;
}

void GlobalGameState::Destroy() {
    delete g_instance;
    g_instance = nullptr;
}

uint8_t GlobalGameState::GetFlag(int index) const {
    if (index < 0 || index >= static_cast<int>(m_flags.size())) return 0;
    return m_flags[static_cast<size_t>(index)];
}

void GlobalGameState::SetFlag(int index, uint8_t value) {
    if (index < 0 || index >= static_cast<int>(m_flags.size())) return;
    m_flags[static_cast<size_t>(index)] = value;
}

bool GlobalGameState::IsLowDetail() const { return GetFlag(kBatterySaving) == 1 || GetFlag(kLowDetail) == 1; }

void GlobalGameState::ApplyUserConfig() {
    SetFlag(kInvertMouseY, m_userConfig.inverty ? 1 : 0);
    SetFlag(kSkipTutorial, m_userConfig.skiptutorial ? 1 : 0);
    SetFlag(kLowDetail, m_userConfig.lowdetail ? 1 : 0);
}

}  // namespace GameLogicView
