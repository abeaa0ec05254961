// Messages among the human view's parts and the screens: effects and music
// cues, screens and menus to open or close, the win screen, resuming after a
// pause, joining the selected game, and the power events. None leaves the
// machine.
#pragma once

#include <cstdint>
#include <string>

#include "events/Event.h"
#include "utility/Geometry.h"

namespace EventTypes {

// ---- "VtVCreateEffect": play a named effect ------------------------------------
struct EventCreateEffectData : EventSystem::IEventData {
    std::string effectName;
    Geometry::Vector3 position{};
    Geometry::Vector3 direction{};
    Geometry::Quaternion orientation{};  // always the identity rotation
    uint8_t onHud = 0;                    // 1 for the HUD's effects

    EventCreateEffectData();
    EventCreateEffectData(std::string name, const Geometry::Vector3& pos, const Geometry::Vector3& dir, uint8_t hud);
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventCreateEffect : public EventSystem::PayloadEvent<EventCreateEffect, EventCreateEffectData> {
public:
    static constexpr const char* kTypeName = "VtVCreateEffect";
    EventCreateEffect(const std::string& effectName, const Geometry::Vector3& position,
                      const Geometry::Vector3& direction, uint8_t onHud)
        : PayloadEvent(std::make_shared<Data>(effectName, position, direction, onHud)) {}
};

// ---- "VtVCreateCue": play a music cue ---------------------------------------------
struct EventCreateCueData : EventSystem::IEventData {
    static constexpr int32_t kNoFlag = 0xFFFF;

    std::string cueName;
    int32_t flagId = kNoFlag;
    uint8_t team = 0;  // whose cue set the name is looked up in

    EventCreateCueData() = default;
    EventCreateCueData(std::string name, int32_t flag, uint8_t t) : cueName(std::move(name)), flagId(flag), team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventCreateCue : public EventSystem::PayloadEvent<EventCreateCue, EventCreateCueData> {
public:
    static constexpr const char* kTypeName = "VtVCreateCue";
    EventCreateCue(const std::string& cueName, int32_t flagId, uint8_t team)
        : PayloadEvent(std::make_shared<Data>(cueName, flagId, team)) {}
};

// ---- "VtVOpenScreen": nothing raises it ---------------------------------------------
struct EventScreenOpenData : EventSystem::IEventData {
    int32_t screen = 0;

    EventScreenOpenData() = default;
    explicit EventScreenOpenData(int32_t s) : screen(s) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventScreenOpen : public EventSystem::PayloadEvent<EventScreenOpen, EventScreenOpenData> {
public:
    static constexpr const char* kTypeName = "VtVOpenScreen";
    explicit EventScreenOpen(int32_t screen) : PayloadEvent(std::make_shared<Data>(screen)) {}
};

// ---- "VtVSpawnWinScreen" -------------------------------------------------------------
struct EventCreateWinScreenData : EventSystem::IEventData {
    uint8_t team = 255;  // the winner

    EventCreateWinScreenData() = default;
    explicit EventCreateWinScreenData(uint8_t t) : team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventCreateWinScreen : public EventSystem::PayloadEvent<EventCreateWinScreen, EventCreateWinScreenData> {
public:
    static constexpr const char* kTypeName = "VtVSpawnWinScreen";
    explicit EventCreateWinScreen(uint8_t team) : PayloadEvent(std::make_shared<Data>(team)) {}
};

// ---- "VtVEventPowerSuspendResume" (reliable, though never sent) -----------------------
struct EventPowerSuspendResumeData : EventSystem::IEventData {
    uint8_t critical = 0;  // 1 after a suspension the system was not warned of

    EventPowerSuspendResumeData() = default;
    explicit EventPowerSuspendResumeData(uint8_t c) : critical(c) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventPowerSuspendResume
    : public EventSystem::PayloadEvent<EventPowerSuspendResume, EventPowerSuspendResumeData> {
public:
    static constexpr const char* kTypeName = "VtVEventPowerSuspendResume";
    explicit EventPowerSuspendResume(uint8_t critical) : PayloadEvent(std::make_shared<Data>(critical)) {}
    bool IsReliable() const override { return true; }
};

// ---- signals -----------------------------------------------------------------------
class EventScreenClose : public EventSystem::SignalEvent<EventScreenClose> {
public:
    static constexpr const char* kTypeName = "VtVCloseScreen";
};
class EventCreateMainMenu : public EventSystem::SignalEvent<EventCreateMainMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnMainMenu";
};
class EventCreateInGameMenu : public EventSystem::SignalEvent<EventCreateInGameMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnInGameMenu";
};
class EventCreateStartGameMenu : public EventSystem::SignalEvent<EventCreateStartGameMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnStartGameMenu";
};
class EventCreateJoinGameMenu : public EventSystem::SignalEvent<EventCreateJoinGameMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnJoinGameMenu";
};
class EventCreateOptionsMenu : public EventSystem::SignalEvent<EventCreateOptionsMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnOptionsMenu";
};
class EventCreateCreditsMenu : public EventSystem::SignalEvent<EventCreateCreditsMenu> {
public:
    static constexpr const char* kTypeName = "VtVSpawnCreditsMenu";
};
class EventUpdateKeepPlaying : public EventSystem::SignalEvent<EventUpdateKeepPlaying> {
public:
    static constexpr const char* kTypeName = "VtVPlayerDoesntWantToStopPlayingEvenThoughTheyPaused";
};
class EventJoinSelectedGame : public EventSystem::SignalEvent<EventJoinSelectedGame> {
public:
    static constexpr const char* kTypeName = "VtVJoinSelectedGame";
};
class EventPowerSuspend : public EventSystem::SignalEvent<EventPowerSuspend> {
public:
    static constexpr const char* kTypeName = "VtVEventPowerSuspend";
};
class EventPowerUpdate : public EventSystem::SignalEvent<EventPowerUpdate> {
public:
    static constexpr const char* kTypeName = "VtVEventPowerUpdate";
};

}  // namespace EventTypes
