#include "core/GlobalGameState.h"

namespace GameLogicView {

namespace {
GlobalGameState* g_instance = nullptr;
}

GlobalGameState::GlobalGameState() : m_flags(16, 0) { m_flags[8] = 1; }

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

}  // namespace GameLogicView
