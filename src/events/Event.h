// Events: a type name with its 32-bit hash, a payload shared by every copy,
// and the byte form the network carries. Concrete events derive from the
// helpers at the end of this file.
#pragma once

#include <cstdint>
#include <memory>

namespace EventSystem {

class ByteWriter;
class ByteReader;

// The 32-bit hash of a type name; also names actor types. Empty name -> 0.
uint32_t HashEventName(const char* name);

struct EventType {
    const char* name = nullptr;  // points at the class's literal; never copied
    uint32_t hash = 0;

    EventType() = default;
    explicit EventType(const char* typeName);
    EventType(const char* typeName, uint32_t typeHash) : name(typeName), hash(typeHash) {}
};

class IEventData {
public:
    virtual ~IEventData() = default;
};

class IEvent {
public:
    IEvent(const char* typeName, uint32_t typeHash, std::shared_ptr<IEventData> data);
    virtual ~IEvent() = default;

    // Writes the payload fields. A signal event writes nothing.
    virtual void Serialize(ByteWriter& writer) const = 0;
    // Called on a prototype: installs a fresh payload on it, reads the fields
    // and returns a new event sharing that payload. Returns null when the
    // input ended before the payload did.
    virtual std::shared_ptr<IEvent> Deserialize(ByteReader& reader) = 0;
    virtual bool IsReliable() const { return false; }
    // A new event of the same class sharing this event's payload.
    virtual std::shared_ptr<IEvent> Copy() const = 0;

    EventType GetEventType() const { return EventType(m_typeName, m_typeHash); }
    const char* GetTypeName() const { return m_typeName; }
    uint32_t GetTypeHash() const { return m_typeHash; }

    // Replaces this event's payload reference by a new payload it owns.
    void SetData(IEventData* data) { m_data.reset(data); }
    // The same for a payload made with its reference count in one piece
    // (std::make_shared): an event a frame costs one allocation less.
    void SetData(std::shared_ptr<IEventData> data) { m_data = std::move(data); }
    const std::shared_ptr<IEventData>& GetData() const { return m_data; }

protected:
    IEvent(const IEvent&) = default;
    IEvent& operator=(const IEvent&) = default;

private:
    const char* m_typeName;
    uint32_t m_typeHash;
    std::shared_ptr<IEventData> m_data;
};

class IEventListener {
public:
    virtual ~IEventListener() = default;
    virtual const char* GetName() const = 0;
    // True when the listener consumed the event (delivery stops).
    virtual bool HandleEvent(const IEvent& event) = 0;
};

// ---------------------------------------------------------------------------
// Helpers for concrete event classes.
//
//   class EventFoo : public EventSystem::SignalEvent<EventFoo> {
//   public: static constexpr const char* kTypeName = "VtVFoo"; };
//
//   struct EventBarData : EventSystem::IEventData {
//       int16_t actorId = 0;
//       void Write(ByteWriter& w) const;  void Read(ByteReader& r);
//   };
//   class EventBar : public EventSystem::PayloadEvent<EventBar, EventBarData> { ... };
// ---------------------------------------------------------------------------

template <class Derived>
class EventOf : public IEvent {
public:
    // One type per class, built from the class's literal on first use.
    static EventType GetStaticType() {
        static const EventType type(Derived::kTypeName);
        return type;
    }

    std::shared_ptr<IEvent> Copy() const override {
        return std::make_shared<Derived>(static_cast<const Derived&>(*this));
    }

protected:
    EventOf() : IEvent(GetStaticType().name, GetStaticType().hash, nullptr) {}
};

template <class Derived>
class SignalEvent : public EventOf<Derived> {
public:
    void Serialize(ByteWriter&) const override {}
    std::shared_ptr<IEvent> Deserialize(ByteReader&) override { return this->Copy(); }
};

template <class Derived, class DataT>
class PayloadEvent : public EventOf<Derived> {
public:
    using Data = DataT;

    // The payload; only a prototype that never deserialised has none. A
    // listener gets the event as const and reads it as sent: a copy shares the
    // payload, so what one listener changed every later one would see.
    const DataT* GetPayload() const { return static_cast<const DataT*>(this->GetData().get()); }
    // The sender's own access, while it fills an event nobody has seen yet.
    DataT* GetPayload() { return static_cast<DataT*>(this->GetData().get()); }

    void Serialize(ByteWriter& writer) const override {
        if (const DataT* d = GetPayload()) d->Write(writer);
    }

    std::shared_ptr<IEvent> Deserialize(ByteReader& reader) override;

protected:
    PayloadEvent() = default;  // prototype: no payload
    explicit PayloadEvent(DataT* data) { this->SetData(data); }
    explicit PayloadEvent(std::shared_ptr<DataT> data) { this->SetData(std::shared_ptr<IEventData>(std::move(data))); }
};

// The payload of an event of class E (or one derived from it); nullptr for
// any other event and for a prototype. A listener's one-line way to read what
// a delivered event carries.
template <class E>
const typename E::Data* PayloadOf(const IEvent& event) {
    const auto* e = dynamic_cast<const E*>(&event);
    return e ? e->GetPayload() : nullptr;
}

}  // namespace EventSystem

#include "events/ByteStream.h"

template <class Derived, class DataT>
std::shared_ptr<EventSystem::IEvent> EventSystem::PayloadEvent<Derived, DataT>::Deserialize(ByteReader& reader) {
    DataT* data = new DataT();
    this->SetData(data);
    data->Read(reader);
    if (reader.HasFailed()) return nullptr;
    return this->Copy();
}
