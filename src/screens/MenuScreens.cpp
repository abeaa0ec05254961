#include "screens/MenuScreens.h"

#include <cmath>
#include <cstdlib>

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawScreen.h"
#include "gfx/Font.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gfx/TextMan.h"
#include "ini/IniFile.h"
#include "screens/MenuActions.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

namespace {

using G = GlobalGameState;

bool ReadNumber(const std::string& text, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0') return false;
    out = v;
    return true;
}

}  // namespace

// ---- common pattern ---------------------------------------------------------------

MenuScreen::MenuScreen(const std::string& file, bool placeMouse) : IScreen(file, true, placeMouse, true) { Build(file); }

MenuScreen::MenuScreen(const std::string& file, bool placeMouse, Deferred) : IScreen(file, true, placeMouse, true) {}

std::shared_ptr<Gfx::IDrawObj> CreateScreenBackground(int id, const std::string& file) {
    const float depth = Utility::ReadIniOrDefault<float>(Utility::Key("depth"), Utility::Section("CONFIG"), file, 0.0f);
    const int bg = Utility::ReadIniOrDefault<int>(Utility::Key("bgImage"), Utility::Section("CONFIG"), file, 0);
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!screen || !engine || !engine->GetStateMan()) return nullptr;
    Gfx::GfxState state;
    engine->GetStateMan()->RequestState(bg, state);
    return screen->CreateUIObject(id, Geometry::Vector3(0.5f, 0.5f, depth + 1.0f), Geometry::Vector3(1, 1, 1), state);
}

void MenuScreen::Build(const std::string& file) {
    m_backgroundId = NextUIObjectId();
    CreateScreenBackground(m_backgroundId, file);
    m_buttons.Load(file);
}

MenuScreen::~MenuScreen() {
    if (m_backgroundId == -1) return;  // a screen of buttons only
    if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
        if (screen->GetSpatial()) screen->GetSpatial()->DestroyUIObject(m_backgroundId);
}

void MenuScreen::OnUpdate(unsigned, bool) { m_buttons.Update(); }

bool MenuScreen::OnEvent(const EventSystem::IEvent& event) { return m_buttons.OnInput(event); }

// ---- main menu ----------------------------------------------------------------------

MainMenuScreen::MainMenuScreen() : MenuScreen(kFile, false, Deferred{}) {
    if (G* g = G::Instance()) {
        g->SetFlag(G::kWinsAngel, 0);
        g->SetFlag(G::kWinsDemon, 0);
    }
    Build(kFile);
}

void MainMenuScreen::OnUpdate(unsigned elapsedMs, bool isTop) {
    MenuScreen::OnUpdate(elapsedMs, isTop);
    if (isTop)
        m_buttons.ShowTexts();
    else
        m_buttons.HideTexts();
}

// ---- options --------------------------------------------------------------------------

OptionsScreen::OptionsScreen() : MenuScreen(kFile) {
    G* g = G::Instance();
    if (!g) return;
    const UserConfig& uc = g->GetUserConfig();
    m_buttons.SelectGroupOption("antialiasing", std::to_string(uc.antialiasing));
    m_buttons.SelectGroupOption("inverty", uc.inverty ? "1" : "0");
    m_buttons.SelectGroupOption("skiptutorial", uc.skiptutorial ? "1" : "0");
    m_buttons.SelectGroupOption("lowdetail", uc.lowdetail ? "1" : "0");

    std::vector<Gfx::DisplayModeEntry> modes;
    if (Gfx::GfxEngine* e = Gfx::GfxEngine::Instance())
        if (e->GetCore()) e->GetCore()->GetDisplayModes(modes);
    for (const auto& m : modes) m_displayModes.push_back({m.width, m.height});

    if (auto group = m_buttons.FindGroup("resolution")) {
        // The size in use is always offered, so leaving the menu unchanged
        // never switches to whatever mode happens to be listed first.
        bool listed = false;
        for (const Mode& m : m_displayModes)
            listed = listed || (static_cast<int>(m.width) == uc.width && static_cast<int>(m.height) == uc.height);
        if (!listed && uc.width > 0 && uc.height > 0)
            m_displayModes.insert(m_displayModes.begin(),
                                  Mode{static_cast<unsigned>(uc.width), static_cast<unsigned>(uc.height)});
        for (size_t i = 0; i < m_displayModes.size(); ++i) {
            const Mode& m = m_displayModes[i];
            group->Options().push_back({std::to_string(i), std::to_string(m.width) + "x" + std::to_string(m.height), 0});
            if (static_cast<int>(m.width) == uc.width && static_cast<int>(m.height) == uc.height) {
                group->SetSelected(static_cast<unsigned>(group->Options().size() - 1));
                group->Refresh();
            }
        }
        if (!group->Options().empty()) group->Refresh();
    }
}

OptionsScreen::~OptionsScreen() { ApplyOptions(); }

void OptionsScreen::ApplyOptions() {
    G* g = G::Instance();
    if (!g) return;
    UserConfig uc = g->GetUserConfig();
    long v = 0;
    // A group that is missing or holds no readable choice keeps the current value.
    if (ReadNumber(m_buttons.GetGroupSelection("antialiasing"), v) && v >= 0 && v <= UserConfig::kMaxAntialiasing)
        uc.antialiasing = static_cast<int>(v);
    if (ReadNumber(m_buttons.GetGroupSelection("inverty"), v) && (v == 0 || v == 1)) uc.inverty = v == 1;
    if (ReadNumber(m_buttons.GetGroupSelection("skiptutorial"), v) && (v == 0 || v == 1)) uc.skiptutorial = v == 1;
    if (ReadNumber(m_buttons.GetGroupSelection("lowdetail"), v) && (v == 0 || v == 1)) uc.lowdetail = v == 1;
    if (ReadNumber(m_buttons.GetGroupSelection("resolution"), v) && v >= 0 &&
        static_cast<size_t>(v) < m_displayModes.size()) {
        const Mode& m = m_displayModes[static_cast<size_t>(v)];
        if (static_cast<int>(m.width) >= UserConfig::kMinWidth && static_cast<int>(m.width) <= UserConfig::kMaxWidth &&
            static_cast<int>(m.height) >= UserConfig::kMinHeight && static_cast<int>(m.height) <= UserConfig::kMaxHeight) {
            uc.width = static_cast<int>(m.width);
            uc.height = static_cast<int>(m.height);
        }
    }

    // Switch the display first, so what is saved is the mode that took.
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    Gfx::D3D9Core* core = engine ? engine->GetCore() : nullptr;
    if (core && core->GetDevice()) {
        static const bool windowed = Utility::ReadIniOrDefault<bool>(Utility::Key("windowed"),
                                                                      Utility::Section("Engine"), "Config/Config.ini", false);
        const Gfx::PresentParams& now = core->GetPresentParams();
        const bool same = now.windowed == windowed && now.backBufferWidth == uc.width &&
                          now.backBufferHeight == uc.height && now.multiSampleType == uc.antialiasing;
        if (!same) {
            const bool ok = windowed ? core->ToWindowed(uc.antialiasing, uc.width, uc.height, false)
                                     : core->ToFullScreen(uc.antialiasing, uc.width, uc.height, false);
            const Gfx::PresentParams& after = core->GetPresentParams();
            if (!ok || after.backBufferWidth != uc.width || after.backBufferHeight != uc.height) {
                // The mode asked for did not take: keep the one the device has.
                uc.width = after.backBufferWidth;
                uc.height = after.backBufferHeight;
                uc.antialiasing = after.multiSampleType;
            }
        }
    }
    g->GetUserConfig() = uc;
    g->GetUserConfig().Save();
    g->ApplyUserConfig();
}

// ---- in-game menu ---------------------------------------------------------------------

InGameMenu::InGameMenu() : MenuScreen(kFile) { UpdateInvertText(); }

bool InGameMenu::OnEvent(const EventSystem::IEvent& event) {
    if (const auto* p = dynamic_cast<const Input::EventIsPressed*>(&event))
        if (p->GetPayload()->command == "ESC") {
            EventSystem::QueueEvent(new EventTypes::EventUpdateKeepPlaying());
            return true;
        }
    const bool r = m_buttons.OnInput(event);
    UpdateInvertText();
    return r;
}

void InGameMenu::UpdateInvertText() {
    G* g = G::Instance();
    if (!g) return;
    const uint8_t flag = g->GetFlag(G::kInvertMouseY);
    if (flag == m_lastInvert) return;
    auto b = m_buttons.FindButton("OptionInvert");
    if (!b) return;
    if (flag == 1) {
        b->SetImage(275, 276);
        b->SetAction("invertOff");
    } else if (flag == 0) {
        b->SetImage(277, 278);
        b->SetAction("invertOn");
    } else {
        return;
    }
    b->SetHovered(false);
    m_lastInvert = flag;
}

// ---- end of game ------------------------------------------------------------------------

EndGameScreen::EndGameScreen(uint8_t winningTeam) : MenuScreen(kFile, true), m_winner(winningTeam) {
    G* g = G::Instance();
    auto title = m_buttons.FindButton("TextTitle");
    if (winningTeam == 0) {
        if (g) g->SetFlag(G::kWinsAngel, static_cast<uint8_t>(g->GetFlag(G::kWinsAngel) + 1));
        if (title) title->SetCaption("Zezuz Idad Win");
        m_shownImage = 94;
    } else {
        if (g) g->SetFlag(G::kWinsDemon, static_cast<uint8_t>(g->GetFlag(G::kWinsDemon) + 1));
        if (title) title->SetCaption("Duzu Radizev Win");
        m_shownImage = 96;
    }
    if (auto pic = m_buttons.FindButton("TeamPic")) pic->SetImage(m_shownImage, m_shownImage);
    const float angel[4] = {0.345f, 0.624f, 0.796f, 1.0f};
    const float demon[4] = {0.839f, 0.325f, 0.325f, 1.0f};
    BuildScoreText("AngelScore", g ? g->GetFlag(G::kWinsAngel) : 0, angel);
    BuildScoreText("DemonScore", g ? g->GetFlag(G::kWinsDemon) : 0, demon);
}

void EndGameScreen::BuildScoreText(const std::string& name, unsigned count, const float colour[4]) {
    auto b = m_buttons.FindButton(name);
    if (!b) return;
    auto t = CreateTextObj();
    t->SetColor(Gfx::Color4(colour[0], colour[1], colour[2], colour[3]));
    t->SetPosition(Geometry::Vector2(b->GetX(), b->GetY()));
    t->AddFormat(Gfx::DT_CENTER);
    t->SetFontId(2);
    t->SetText(std::to_string(count));
    t->BuildText();
    b->SetTextObj(t);
}

void EndGameScreen::OnUpdate(unsigned elapsedMs, bool isTop) {
    MenuScreen::OnUpdate(elapsedMs, isTop);
    static const int displayMs = Utility::ReadIniOrDefault<int>(Utility::Key("EndScreenDisplayTime"),
                                                                Utility::Section("VIEW"), "Config/Config.ini", 5000);
    G* g = G::Instance();
    if (!(g && g->GetFlag(G::kPaused))) m_elapsedMs += static_cast<int>(elapsedMs);
    if (auto option = m_buttons.FindButton("OptionButton")) {
        if (option->GetUp() != m_shownImage) {
            m_shownImage = option->GetUp();
            m_elapsedMs = 0;
        } else if (auto countdown = m_buttons.FindButton("TextCountdown")) {
            const int left = static_cast<int>(std::ceil((displayMs - m_elapsedMs) / 1000.0));
            const std::string text = std::to_string(left < 0 ? 0 : left);
            if (countdown->GetCaption() != text) countdown->SetCaption(text);
        }
    }
    // The next game starts once; the screen stays until the view replaces it.
    if (m_elapsedMs > displayMs && !m_started) {
        m_started = true;
        m_buttons.ApplyGroupSelections();
        DispatchMenuAction("StartGameEndGameScreen");
    }
}

// ---- hold and command screens ---------------------------------------------------------

bool HoldScreen::OnEvent(const EventSystem::IEvent& event) {
    if (const auto* r = dynamic_cast<const Input::EventIsReleased*>(&event))
        if (r->GetPayload() && r->GetPayload()->command == m_command) {
            EventSystem::QueueEvent(new EventTypes::EventScreenClose());
            return true;
        }
    return m_buttons.OnInput(event);
}

}  // namespace GameLogicView
