#include "screens/JoinMenuScreen.h"

#include <algorithm>

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gfx/Font.h"
#include "gfx/TextMan.h"
#include "screens/MouseCursor.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

namespace {

const Gfx::Color4 kHeaderColour(0.0f, 0.0f, 1.0f, 1.0f);
const Gfx::Color4 kSelectedColour(0.85f, 0.0f, 0.0f, 1.0f);
const Gfx::Color4 kEvenRowColour(0.0f, 0.55f, 0.0f, 1.0f);
const Gfx::Color4 kOddRowColour(0.0f, 0.75f, 0.0f, 1.0f);
constexpr int kHeaderFont = 0;
constexpr int kRowFont = 3;

}  // namespace

JoinMenuScreen::JoinMenuScreen(const std::string& levelList)
    : MenuScreen(kFile), m_list(levelList), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    if (Gfx::TextMan* text = Gfx::TextMan::Current()) {
        m_textGroupId = text->CreateTextGroup();
        m_textManSerial = text->Serial();
    }
    m_registry->Register(EventTypes::EventJoinSelectedGame::GetStaticType(), this,
                         &JoinMenuScreen::OnJoinSelectedGame);
    // Only buttons named "Text..." get their caption drawn by themselves;
    // the join button's name is fixed, so its caption is made here.
    if (auto join = m_buttons.FindButton("JoinGame"); join && !join->GetCaption().empty()) {
        float colour[4];
        CaptionColour(0, colour);
        auto t = CreateTextObj();
        t->SetColor(Gfx::Color4(colour[0], colour[1], colour[2], colour[3]));
        t->SetPosition(Geometry::Vector2(join->GetX(), join->GetY()));
        t->AddFormat(Gfx::DT_CENTER);
        t->SetShadowOffset(Geometry::Vector2(0.002f, 0.002f));
        t->SetShadowColor(Gfx::Color4(0, 0, 0, 1));
        t->SetFontId(kHeaderFont);
        t->SetText(join->GetCaption());
        t->BuildText();
        join->SetTextObj(t);
    }
    if (auto bar = m_buttons.FindButton("ServerSelect")) m_barHome = {bar->GetX(), bar->GetY(), bar->GetZ()};
    // Nothing can be joined before a host is heard.
    UpdateJoinButton();
}

JoinMenuScreen::~JoinMenuScreen() {
    // The bar was moved by the rows, not by a drag: the file keeps its place.
    if (auto bar = m_buttons.FindButton("ServerSelect")) {
        bar->SetPosition(m_barHome[0], m_barHome[1]);
        bar->SetZ(m_barHome[2]);
    }
    RemoveTextGroup();
    m_registry.reset();
}

void JoinMenuScreen::RemoveTextGroup() {
    if (m_textGroupId < 0) return;
    // The text manager may have gone with the device before this screen.
    if (Gfx::TextMan* text = Gfx::TextMan::Find(m_textManSerial)) text->RemoveTextGroup(m_textGroupId);
    m_textGroupId = -1;
}

void JoinMenuScreen::UpdateJoinButton() {
    auto bg = m_buttons.FindButton("ServerBG");
    auto join = m_buttons.FindButton("JoinGame");
    auto bar = m_buttons.FindButton("ServerSelect");
    if (m_list.CanJoin()) {
        if (join) join->SetStatic(false);
        if (bar && bg) {
            const float top = bg->GetY() - bg->GetExtY();
            bar->SetPosition(bg->GetX(), 2.0f * top + kHeaderOffset + kRowHeight * static_cast<float>(m_list.GetSelectedRow()) -
                                             0.055f);
            bar->SetZ(bg->GetZ() - 0.001f);
        }
    } else {
        if (join) join->SetStatic(true);
        if (bar) bar->SetPosition(0.0f, -1.6f);
    }
}

void JoinMenuScreen::OnUpdate(unsigned elapsedMs, bool isTop) {
    UpdateJoinButton();
    MenuScreen::OnUpdate(elapsedMs, isTop);
    DrawTable();
}

void JoinMenuScreen::DrawTable() {
    Gfx::TextMan* text = Gfx::TextMan::Current();
    if (!text) return;
    // The whole table is made anew each frame from the rows.
    if (m_textGroupId >= 0 && Gfx::TextMan::Find(m_textManSerial) == text) text->RemoveTextGroup(m_textGroupId);
    m_textGroupId = text->CreateTextGroup();
    m_textManSerial = text->Serial();

    auto bg = m_buttons.FindButton("ServerBG");
    if (!bg) return;
    const float left = bg->GetX() - bg->GetExtX();
    const float header = bg->GetY() - bg->GetExtY() + kHeaderOffset;
    const auto put = [&](int font, const std::string& s, float x, float y, const Gfx::Color4& colour) {
        text->CreateShadowedText(font, s, Geometry::Vector2(x, y), colour, m_textGroupId);
    };
    put(kHeaderFont, "NAME", left + 0.02f, header, kHeaderColour);
    put(kHeaderFont, "MODE", left + 0.22f, header, kHeaderColour);
    put(kHeaderFont, "LEVEL", left + 0.41f, header, kHeaderColour);
    put(kHeaderFont, "PLAYERS", left + 0.72f, header, kHeaderColour);

    const size_t rows = std::min(m_list.Rows().size(), ServerList::RowsThatFit(bg->GetY(), bg->GetExtY()));
    for (size_t i = 0; i < rows; ++i) {
        const float y = header + static_cast<float>(i + 1) * kRowHeight;
        const Gfx::Color4& colour =
            i == m_list.GetSelectedRow() ? kSelectedColour : (i % 2 == 0 ? kEvenRowColour : kOddRowColour);
        const ServerList::RowTexts t = m_list.TextsOf(i);
        put(kRowFont, t.name, left + 0.025f, y, colour);
        put(kRowFont, t.mode, left + 0.225f, y, colour);
        put(kRowFont, t.level, left + 0.415f, y, colour);
        put(kRowFont, t.players, left + 0.76f, y, colour);
    }
}

bool JoinMenuScreen::OnEvent(const EventSystem::IEvent& event) {
    if (const auto* r = dynamic_cast<const Input::EventIsReleased*>(&event)) {
        auto bg = m_buttons.FindButton("ServerBG");
        MouseCursor* cursor = GetMouseCursor();
        if (r->GetPayload()->command != "RIGHTCLICK" && bg && cursor &&
            m_list.Click(cursor->GetX(), cursor->GetY(), bg->GetX(), bg->GetY(), bg->GetExtX(), bg->GetExtY()))
            return true;
    }
    return m_buttons.OnInput(event);
}

bool JoinMenuScreen::OnJoinSelectedGame(const EventSystem::IEvent&) {
    m_list.Join();
    return true;
}

}  // namespace GameLogicView
