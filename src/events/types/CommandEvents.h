// Commands: what a player's screen, a bot or a menu asks of the logic (or, for
// the three network signals, of the game runner).
#pragma once

#include <cstdint>

#include "events/Event.h"

namespace EventTypes {

struct EventUpdateInitializeGameLogicData : EventSystem::IEventData {
    uint8_t menuBackdrop = 0;
    void Write(EventSystem::ByteWriter& w) const { w.WriteByte(menuBackdrop); }
    void Read(EventSystem::ByteReader& r) { menuBackdrop = r.ReadByte(); }
};

class EventUpdateInitializeGameLogic
    : public EventSystem::PayloadEvent<EventUpdateInitializeGameLogic, EventUpdateInitializeGameLogicData> {
public:
    static constexpr const char* kTypeName = "VtLInitializeGameLogic";
    EventUpdateInitializeGameLogic() = default;
    explicit EventUpdateInitializeGameLogic(uint8_t menuBackdrop) : PayloadEvent(new Data{}) {
        GetPayload()->menuBackdrop = menuBackdrop;
    }
};

class EventSetupMultiplayer : public EventSystem::SignalEvent<EventSetupMultiplayer> {
public:
    static constexpr const char* kTypeName = "VtLSetupMultiPlayer";
};

class EventShutDownNetLogic : public EventSystem::SignalEvent<EventShutDownNetLogic> {
public:
    static constexpr const char* kTypeName = "VtLShutDownNetLogic";
};

class EventShutDownNetView : public EventSystem::SignalEvent<EventShutDownNetView> {
public:
    static constexpr const char* kTypeName = "VtLShutDownNetView";
};

}  // namespace EventTypes
