// What the input process reports once per update: bound inputs going down,
// staying down and coming up, the movement direction, the mouse motion and a
// typed character. They never leave the machine.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "events/Event.h"
#include "utility/Geometry.h"

namespace Input {

// A bound command name: the layout of pressed, held and released.
struct CommandData : EventSystem::IEventData {
    std::string command;  // "JUMP", "THROW", ... as the bindings name it
    int16_t reserved = 0;

    CommandData() = default;
    explicit CommandData(std::string c) : command(std::move(c)) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

struct EventIsPressedData : CommandData {
    using CommandData::CommandData;
};
class EventIsPressed : public EventSystem::PayloadEvent<EventIsPressed, EventIsPressedData> {
public:
    static constexpr const char* kTypeName = "ItvIsPressed";
    explicit EventIsPressed(const std::string& command) : PayloadEvent(std::make_shared<Data>(command)) {}
};

struct EventIsHeldData : CommandData {
    using CommandData::CommandData;
};
class EventIsHeld : public EventSystem::PayloadEvent<EventIsHeld, EventIsHeldData> {
public:
    static constexpr const char* kTypeName = "ItvIsHeld";
    explicit EventIsHeld(const std::string& command) : PayloadEvent(std::make_shared<Data>(command)) {}
};

struct EventIsReleasedData : CommandData {
    using CommandData::CommandData;
};
class EventIsReleased : public EventSystem::PayloadEvent<EventIsReleased, EventIsReleasedData> {
public:
    static constexpr const char* kTypeName = "ItvIsReleased";
    explicit EventIsReleased(const std::string& command) : PayloadEvent(std::make_shared<Data>(command)) {}
};

// ---- "ItvMouseMove": relative motion since the last update (dz: wheel) -----
struct EventMouseMoveData : EventSystem::IEventData {
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t dz = 0;
    int16_t reserved = 0;

    EventMouseMoveData() = default;
    EventMouseMoveData(int32_t x, int32_t y, int32_t z) : dx(x), dy(y), dz(z) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventMouseMove : public EventSystem::PayloadEvent<EventMouseMove, EventMouseMoveData> {
public:
    static constexpr const char* kTypeName = "ItvMouseMove";
    EventMouseMove(int32_t dx, int32_t dy, int32_t dz) : PayloadEvent(std::make_shared<Data>(dx, dy, dz)) {}
};

// ---- "ItvAsciiKey": the character of the first key down ----------------------
struct EventAsciiKeyData : EventSystem::IEventData {
    uint8_t character = 0;

    EventAsciiKeyData() = default;
    explicit EventAsciiKeyData(uint8_t c) : character(c) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventAsciiKey : public EventSystem::PayloadEvent<EventAsciiKey, EventAsciiKeyData> {
public:
    static constexpr const char* kTypeName = "ItvAsciiKey";
    explicit EventAsciiKey(uint8_t character) : PayloadEvent(std::make_shared<Data>(character)) {}
};

// ---- "ItvMoveDir": wanted movement in the player's own frame ----------------
struct EventMoveDirData : EventSystem::IEventData {
    Geometry::Vector3 direction{};  // a unit vector or zero; y always 0

    EventMoveDirData() = default;
    explicit EventMoveDirData(const Geometry::Vector3& d) : direction(d) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventMoveDir : public EventSystem::PayloadEvent<EventMoveDir, EventMoveDirData> {
public:
    static constexpr const char* kTypeName = "ItvMoveDir";
    EventMoveDir(float x, float y, float z);

    // The direction in the vector text form, e.g. (0,0,1).
    virtual std::ostream& WriteText(std::ostream& out) const;
    // Reads a vector in that text form and installs it as a new payload. On a
    // text that does not read as a vector the stream fails and the event keeps
    // its payload.
    virtual EventMoveDir& ReadText(std::istream& in);
};

}  // namespace Input
