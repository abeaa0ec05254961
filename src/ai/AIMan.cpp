#include "ai/AIMan.h"

#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/Idle.h"
#include "ai/InfoCollector.h"
#include "ai/NamePool.h"
#include "ai/sml/MsgRoute.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerManager.h"
#include "utility/Profiler.h"

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
    delete doomed;  // the instance stays reachable while its teams go
    g_instance = nullptr;
}

AIMan::AIMan()
    : m_astar(std::make_unique<AStar>(m_settings, m_clock)),
      m_names(std::make_unique<NamePool>()),
      m_chat(std::make_unique<ChatPool>()),
      m_info(std::make_unique<InfoCollector>()) {
    m_astar->SetPlannerLookup([this](uint8_t team) -> IFlagSearchPlanner* {
        TeamMan* t = GetTeam(team);
        ITeamPlanner* planner = t ? t->GetPlanner() : nullptr;
        return planner ? planner->GetFlagSearchPlanner() : nullptr;
    });
}

AIMan::~AIMan() {
    m_astar->Clear();
    // Teams first: their bots' views leave the logic and their machines go
    // while the router, the pools and the grid still exist.
    while (!m_teams.empty()) m_teams.pop_back();
    m_chat.reset();
    m_route.reset();
    m_info->UnregisterListeners();
    if (m_consoleRegistered) UnregisterConsoleVariables(this);
    m_names.reset();
    ReleaseBlockManGrid();
    m_blocks.reset();
    if (g_instance == this) g_instance = nullptr;
}

void AIMan::Init(GameLogicView::MiravGameLogic* logic, std::shared_ptr<GameLogicView::BlockMan> blocks) {
    // A second initialisation starts over: no team, bot or message of the
    // first one survives.
    while (!m_teams.empty()) m_teams.pop_back();
    m_astar->Clear();

    m_route = std::make_unique<MsgRoute>(m_clock);
    m_route->SetReceiverLookup([this](uint16_t actorId) -> AIGameObject* { return GetBot(actorId); });

    // The previous logic's block manager must not go on reading a grid that
    // now maps another level (nor one that may go before that logic does).
    if (m_blocks != blocks) ReleaseBlockManGrid();
    m_blocks = std::move(blocks);
    m_logic = logic;
    m_players = logic ? &logic->GetPlayerManager() : nullptr;
    m_flags = logic ? &logic->GetFlagMan() : nullptr;
    m_clock.Reset();

    LoadSettings();
    RegisterConsoleVariables();
    m_names->Load();
    m_chat->Load();
    m_info->RegisterListeners();
    m_tutorial = false;

    SearchSpace& grid = m_astar->GetGrid();
    grid.SetBounds(-250.0f, 250.0f, 0.0f, 100.0f, -250.0f, 250.0f);
    grid.Build();

    AddTeam(0);
    AddTeam(1);
}

void AIMan::ReleaseBlockManGrid() {
    if (m_blocks && m_astar && m_blocks->UsesGrid(&m_astar->GetGrid())) m_blocks->SetGrid(nullptr);
}

void AIMan::LoadSettings() {
    m_settings = AISettings();
    m_settings.LoadFile();
}

void AIMan::RegisterConsoleVariables() {
    if (m_consoleRegistered) UnregisterConsoleVariables(this);
    AI::RegisterConsoleVariables(m_settings, this);
    m_consoleRegistered = true;
}

void AIMan::Update(int ms) {
    m_clock.Advance(ms);
    {
        ProfileSection section("A*");
        m_astar->Update();
    }
    CheckTutorial();
    for (size_t i = 0; i < m_teams.size(); ++i) m_teams[i]->Update(ms);
    if (m_route) m_route->DeliverDelayedMessages();
}

std::shared_ptr<BotGameView> AIMan::AddBot(uint16_t actorId, uint8_t team, GameLogicView::Player* player) {
    if (GetBot(actorId)) return nullptr;
    TeamMan* teamMan = GetTeam(team);
    if (!teamMan) teamMan = AddTeam(team);
    teamMan->RemovePlayer(actorId);
    std::shared_ptr<BotGameView> bot = teamMan->CreateBot(actorId, m_names->NextName(), player);
    // A player handed over while alive will not spawn again before its next
    // death: its bot starts idling (and so choosing) at once, as a spawned
    // bot does.
    if (player && !player->IsDead()) {
        bot->PushMachine(std::make_shared<Idle>(bot.get(), false));
        bot->SetBehaviour(BotGameView::kIdle);
    }
    return bot;
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

PlayerRecord* AIMan::FindPlayer(uint16_t actorId) const {
    for (const auto& t : m_teams)
        if (PlayerRecord* r = t->FindPlayer(actorId)) return r;
    return nullptr;
}

Geometry::Vector3 AIMan::ProjectToGround(const Geometry::Vector3& point) const {
    const SearchSpace& grid = m_astar->GetGrid();
    // Cells outside the grid count as blocked: a point above or below it stops
    // at once, one inside reaches the floor within the grid's height.
    const int k = grid.FirstBlockedBelow(point.x, point.y, point.z, grid.CellsY() + 2);
    if (k >= 0) return {point.x, point.y - static_cast<float>(k) + 1.0f, point.z};
    return {point.x, point.y + 1.0f, point.z};
}

std::string AIMan::GetRandomChatLine(const std::string& section) const { return m_chat->GetRandomChatLine(section); }

void AIMan::CheckTutorial() {
    for (const auto& t : m_teams)
        for (const auto& bot : t->GetBots())
            if (bot->GetBehaviour() == BotGameView::kTutorial) {
                m_tutorial = true;
                return;
            }
    m_tutorial = false;
}

GameLogicView::Player* AIMan::GetPlayer(uint16_t actorId) const {
    return m_players ? m_players->GetPlayer(actorId) : nullptr;
}

GameLogicView::FlagMan* AIMan::GetFlagMan() const { return m_flags; }

std::vector<Geometry::Vector3> AIMan::GetGuardPoints(uint8_t team) const {
    std::vector<Geometry::Vector3> points;
    if (m_logic)
        m_logic->GetGuardPoints(points, team);
    else
        points = m_guardPoints[team == 0 ? 0 : 1];
    return points;
}

SearchSpace& AIMan::GetSearchSpace() { return m_astar->GetGrid(); }
const SearchSpace& AIMan::GetSearchSpace() const { return m_astar->GetGrid(); }

// ---------------------------------------------------------------- AIProcess

// The newest process drives the manager: a logic initialised while an older
// one still exists takes the AI over, and the older logic's process, when it
// goes, neither steps nor destroys what now serves the newer one.
AIProcess::AIProcess() : IProcess(kType) { AIMan::Create()->m_driver = this; }

AIProcess::~AIProcess() {
    const AIMan* ai = AIMan::Instance();
    if (ai && ai->m_driver == this) AIMan::Destroy();
}

void AIProcess::OnUpdate(int ms) {
    AIMan* ai = AIMan::Instance();
    if (ai && ai->m_driver == this) ai->Update(ms);
}

}  // namespace AI
