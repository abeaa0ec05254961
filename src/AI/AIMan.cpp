#include "AI/AIMan.h"

#include "AI/AStar.h"
#include "AI/BotGameView.h"
#include "AI/NamePool.h"
#include "AI/SearchSpace.h"
#include "AI/TeamMan.h"

namespace AI {

namespace {
AIMan* g_instance = nullptr;
}

AIMan* AIMan::Instance() { return g_instance; }

AIMan* AIMan::Create() {
    if (!g_instance) g_instance = new AIMan();
    return g_instance;
}

void AIMan::Destroy() {
    AIMan* doomed = g_instance;
    g_instance = nullptr;
    delete doomed;
}

AIMan::AIMan() : m_astar(std::make_unique<AStar>(m_settings, m_clock)), m_names(std::make_unique<NamePool>()) {}

AIMan::~AIMan() {
    if (m_astar) m_astar->Clear();
    m_teams.clear();
    if (g_instance == this) g_instance = nullptr;
}

void AIMan::Init(GameLogicView::MiravGameLogic* logic, std::shared_ptr<GameLogicView::BlockMan> blocks) {
    m_blocks = std::move(blocks);
    m_logic = logic;
    m_clock.Reset();
    m_settings = AISettings();
    m_settings.LoadFile();
    m_names->Load();
    m_teams.clear();
    SearchSpace& grid = m_astar->GetGrid();
    grid.SetBounds(-250.0f, 250.0f, 0.0f, 100.0f, -250.0f, 250.0f);
    grid.Build();
    AddTeam(0);
    AddTeam(1);
}

void AIMan::Update(int ms) {
    m_clock.Advance(ms);
    m_astar->Update();
    for (const auto& team : m_teams) team->Update(ms);
}

std::shared_ptr<BotGameView> AIMan::AddBot(uint16_t actorId, uint8_t team, GameLogicView::Player* player) {
    if (GetBot(actorId)) return nullptr;
    TeamMan* teamMan = GetTeam(team);
    if (!teamMan) teamMan = AddTeam(team);
    return teamMan->CreateBot(actorId, m_names->NextName(), player);
}

TeamMan* AIMan::AddTeam(uint8_t team) {
    m_teams.push_back(std::make_unique<TeamMan>(team, m_logic));
    m_teams.back()->Init();
    return m_teams.back().get();
}

TeamMan* AIMan::GetTeam(uint8_t team) const {
    for (const auto& t : m_teams)
        if (t->GetTeamId() == team) return t.get();
    return nullptr;
}

BotGameView* AIMan::GetBot(uint16_t actorId) const {
    for (const auto& t : m_teams)
        if (BotGameView* bot = t->GetBot(actorId)) return bot;
    return nullptr;
}

SearchSpace& AIMan::GetSearchSpace() { return m_astar->GetGrid(); }

AIProcess::AIProcess() : IProcess(kType), m_man(AIMan::Create()) {}

AIProcess::~AIProcess() {
    if (AIMan::Instance() == m_man) AIMan::Destroy();
}

void AIProcess::OnUpdate(int ms) {
    if (AIMan* ai = AIMan::Instance(); ai && ai == m_man) ai->Update(ms);
}

}  // namespace AI
