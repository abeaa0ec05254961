#include "gameviews/EffectEventHandler.h"

#include <cmath>
#include <iterator>

#include "audio/AudioMan.h"
#include "audio/Emitter.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/DrawScreen.h"
#include "ini/IniFile.h"
#include "processes/Process.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

using EventSystem::PayloadOf;

AudioEffectOutput::ParticleSpawner g_spawner = nullptr;

bool LowDetail() { return GlobalGameState::Instance()->IsLowDetail(); }

// The interface rows come last: the menu backdrop keeps only those.
struct Row {
    const char* name;
    std::vector<std::string> sounds;
    int particle;
    bool stopPrevious;
};
const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"SelfDeathCue", {"DeathSelfVO", "DeathSelfVO2", "DeathSelfVO3", "DeathSelfVO4"}, -1, false},
        {"SelfDeath", {"DeathSelf"}, 15, false},
        {"KilledSomeoneCue", {"KilledSomeoneVO", "KilledSomeoneVO2", "KilledSomeoneVO3"}, -1, false},
        {"SelfBombExplode", {"BoomVO", "BoomVO2"}, -1, false},
        {"SelfCelebrate", {"CelebrateVO1", "CelebrateVO2", "CelebrateVO3"}, -1, false},
        {"AddBlockToPouch", {"AddBlockToPouchUI"}, -1, false},
        {"AddBlockToFullPouch", {"AddBlockToFullPouch"}, -1, false},
        {"ThrowBlockEmptyPouch", {"AddBlockToFullPouch"}, -1, false},
        {"CreateSpeechBubbleTutorial", {"SpeechBubblePopupTutorial"}, -1, false},
        {"CreateSpeechBubble", {"SpeechBubblePopup"}, -1, false},
        {"SpawnCountdown", {"SpawnCountdown"}, -1, false},
        {"ThrowBlockSelf", {}, 24, false},
        {"DemonScoreHud", {}, 25, false},
        {"AngelScoreHud", {}, 26, false},
        {"FlagCapFriendly", {"FlagCapFriendly"}, -1, false},
        {"FlagCapEnemy", {"FlagCapEnemy"}, -1, false},
        {"FlagCaptureAtFlag", {}, 34, false},
        {"AngelFlagTaken", {"AngelFlagTaken"}, -1, true},
        {"DemonFlagTaken", {"DemonFlagTaken"}, -1, true},
        {"AngelScore", {"AngelScore"}, -1, true},
        {"DemonScore", {"DemonScore"}, -1, true},
        // The flag view raises these too (a team's prefix before the name):
        // a drop, a return by a player and a flag going home by itself.
        {"AngelFlagDropped", {"AngelFlagDropped"}, -1, true},
        {"DemonFlagDropped", {"DemonFlagDropped"}, -1, true},
        {"AngelFlagRecovered", {"AngelFlagRecovered"}, -1, true},
        {"DemonFlagRecovered", {"DemonFlagRecovered"}, -1, true},
        {"AngelFlagReturned", {"AngelFlagReturned"}, -1, true},
        {"DemonFlagReturned", {"DemonFlagReturned"}, -1, true},
        {"Jump", {}, 0, false},
        {"JumpSelf", {"JumpSelf1", "JumpSelf2", "JumpSelf3"}, -1, false},
        {"UIMouseClick", {"UIMouseClick"}, -1, false},
        {"UIMouseOver", {"UIMouseOver"}, -1, false},
        {"UIMouseOut", {"UIMouseOut"}, -1, false},
        {"Mirav", {"Mirav1", "Mirav2"}, -1, false},
        {"Credits", {"Credits"}, -1, false},
    };
    return rows;
}
constexpr size_t kInterfaceRows = 5;

// The sounds the handler plays for the logic's reports.
const char* const kEventSounds[] = {"Whistle",     "ThrowBlock3D",   "Explosion",    "BombSpawn",
                                    "FlagCap3D",   "FlagAutoRecover3D", "FlagRecover3D", "FlagSpawn3D",
                                    "Spawn",       "Death3D",        "CollisionSlow", "CollisionMed",
                                    "CollisionFast", "CollisionPlayer"};

enum class Kind { kPlayer, kBlock, kGround, kOther };
Kind Classify(uint32_t hash) {
    static const uint32_t character = EventSystem::HashEventName("character");
    static const uint32_t bot = EventSystem::HashEventName("bot");
    static const uint32_t box = EventSystem::HashEventName("box");
    static const uint32_t massless = EventSystem::HashEventName("massless_box");
    static const uint32_t solid = EventSystem::HashEventName("solid");
    static const uint32_t plane = EventSystem::HashEventName("plane");
    if (hash == character || hash == bot) return Kind::kPlayer;
    if (hash == box || hash == massless || hash == solid) return Kind::kBlock;
    if (hash == plane) return Kind::kGround;
    return Kind::kOther;
}

// 0 none, 1 slow, 2 medium, 3 fast.
int Grade(float strength) {
    const float s = std::fabs(strength);
    if (s < 10.0f) return 0;
    if (s < 40.0f) return 1;
    if (s < 60.0f) return 2;
    return 3;
}

constexpr int kBombState = 9;

}  // namespace

// ------------------------------------------------------------------ output

void AudioEffectOutput::SetParticleSpawner(ParticleSpawner spawner) { g_spawner = spawner; }

void AudioEffectOutput::PlaySound(const std::string& name) {
    if (m_audio) m_audio->PlaySound(name);
}

IEffectOutput::SoundHandle AudioEffectOutput::PlaySoundAt(const std::string& name, const Vector3& p) {
    if (!m_audio) return nullptr;
    std::shared_ptr<Audio::Emitter> e = m_audio->CreateEmitter(name);
    if (!e) return nullptr;
    e->SetPosition(p.x, p.y, p.z);
    e->Play();
    return e;
}

void AudioEffectOutput::StopSound(const SoundHandle& handle) {
    if (handle) static_cast<Audio::Emitter*>(handle.get())->Stop();
}

bool AudioEffectOutput::IsSounding(const SoundHandle& handle) {
    return handle && !static_cast<Audio::Emitter*>(handle.get())->IsStopped();
}

void AudioEffectOutput::MoveSound(const SoundHandle& handle, const Vector3& p) {
    if (handle) static_cast<Audio::Emitter*>(handle.get())->SetPosition(p.x, p.y, p.z);
}

void AudioEffectOutput::AddParticleEffect(int tag, const Vector3& p, const Vector3& d, bool overlay) {
    if (g_spawner) {
        g_spawner(tag, p, d, overlay);
        return;
    }
    // By default the scene's particle manager starts the effect (none
    // without a scene, as in headless runs).
    if (Gfx::DrawScreen* scene = Gfx::DrawScreen::Instance())
        scene->AddParticleEffect(tag, p, d, Geometry::kIdentityQuaternion, overlay);
}

// ------------------------------------------------------------------ handler

EffectEventHandler::EffectEventHandler()
    : m_registry(std::make_unique<EventSystem::EventRegistry>()), m_random(0), m_alive(std::make_shared<int>(0)) {}

EffectEventHandler::~EffectEventHandler() { Reset(); }

void EffectEventHandler::Reset() {
    m_output = nullptr;
    m_processes = nullptr;
    m_registry->UnregisterAll();
    m_actorSounds.clear();
    m_effects.clear();
    m_lastSounds.clear();
    m_quietZones.clear();
    // Removal steps still queued belong to the old list; cut them loose.
    m_alive = std::make_shared<int>(0);
}

void EffectEventHandler::Initialize(IEffectOutput* output, ProcessSystem::ProcessManager* processes, bool menuMode) {
    m_output = output;
    m_processes = processes;
    m_menuMode = menuMode;
    BuildEffectTable(menuMode);
    RegisterListeners();
}

void EffectEventHandler::BuildEffectTable(bool menuMode) {
    m_effects.clear();
    const std::vector<Row>& rows = Rows();
    const size_t first = menuMode ? rows.size() - kInterfaceRows : 0;
    for (size_t i = first; i < rows.size(); ++i) {
        EffectEntry& e = m_effects[rows[i].name];
        e.sounds = rows[i].sounds;
        e.particleTag = rows[i].particle;
        e.stopPrevious = rows[i].stopPrevious;
    }
}

std::vector<std::string> EffectEventHandler::AllEffectNames() {
    std::vector<std::string> names;
    for (const Row& r : Rows()) names.push_back(r.name);
    return names;
}

std::vector<std::string> EffectEventHandler::AllSoundNames() {
    std::vector<std::string> names(std::begin(kEventSounds), std::end(kEventSounds));
    for (const Row& r : Rows()) names.insert(names.end(), r.sounds.begin(), r.sounds.end());
    return names;
}

void EffectEventHandler::RegisterListeners() {
    EventSystem::EventRegistry& r = *m_registry;
    r.Register(EventTypes::EventCreateEffect::GetStaticType(), this, &EffectEventHandler::OnCreateEffect);
    r.Register(EventTypes::EventUpdateActorMove::GetStaticType(), this, &EffectEventHandler::OnActorMove);
    r.Register(EventTypes::EventUpdateActorSpawn::GetStaticType(), this, &EffectEventHandler::OnActorSpawn);
    r.Register(EventTypes::EventUpdateActorDeath::GetStaticType(), this, &EffectEventHandler::OnActorDeath);
    r.Register(EventTypes::EventCommandWhistle::GetStaticType(), this, &EffectEventHandler::OnWhistle);
    r.Register(EventTypes::EventUpdateThrowBlock::GetStaticType(), this, &EffectEventHandler::OnThrowBlock);
    r.Register(EventTypes::EventUpdateCollisionToClient::GetStaticType(), this, &EffectEventHandler::OnCollision);
    r.Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &EffectEventHandler::OnExplosion);
    r.Register(EventTypes::EventUpdateCreateActor::GetStaticType(), this, &EffectEventHandler::OnCreateActor);
    r.Register(EventTypes::EventUpdateFlagCaptured::GetStaticType(), this, &EffectEventHandler::OnFlagCaptured);
    r.Register(EventTypes::EventUpdateFlagRecovered::GetStaticType(), this, &EffectEventHandler::OnFlagRecovered);
}

void EffectEventHandler::Sound(const char* name, const Vector3& position) {
    if (m_menuMode || !m_output) return;
    m_output->PlaySoundAt(name, position);
}

void EffectEventHandler::Particle(int tag, const Vector3& position, const Vector3& direction, bool evenLowDetail) {
    if (!m_output) return;
    if (!evenLowDetail && LowDetail()) return;
    m_output->AddParticleEffect(tag, position, direction, false);
}

bool EffectEventHandler::OnCreateEffect(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventCreateEffect>(event);
    if (!d) return true;
    auto it = m_effects.find(d->effectName);
    if (it == m_effects.end()) {
        // The menu backdrop keeps only the interface rows on purpose, so the
        // match behind the menu raising its usual effects is no news.
        if (!m_menuMode && m_unknownLogged.insert(d->effectName).second)
            Utility::ReportWarning("effect \"" + d->effectName + "\" is not in the effect table");
        return true;
    }
    const EffectEntry& x = it->second;
    if (!x.sounds.empty()) {
        if (x.stopPrevious) {
            auto last = m_lastSounds.find(d->position.x);
            if (last != m_lastSounds.end()) {
                if (m_output) m_output->StopSound(last->second);
                m_lastSounds.erase(last);
            }
        }
        const long i = m_random.Get(0, static_cast<long>(x.sounds.size()) - 1);
        IEffectOutput::SoundHandle h = m_output ? m_output->PlaySoundAt(x.sounds[static_cast<size_t>(i)], d->position)
                                                : nullptr;
        if (x.stopPrevious) m_lastSounds[d->position.x] = h;
    }
    if (x.particleTag != -1 && m_output && (!LowDetail() || x.lowDetail))
        m_output->AddParticleEffect(x.particleTag, d->position, d->direction, d->onHud != 0);
    return true;
}

void EffectEventHandler::PlaySoundOnActor(const std::string& sound, uint16_t actor, const Vector3& position) {
    if (m_menuMode || !m_output) return;
    if (IEffectOutput::SoundHandle h = m_output->PlaySoundAt(sound, position)) m_actorSounds.emplace(actor, h);
}

bool EffectEventHandler::OnActorMove(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateActorMove>(event);
    if (!d || !m_output) return false;
    // Sounds that still play follow their actor; finished ones are let go.
    auto [first, last] = m_actorSounds.equal_range(static_cast<uint16_t>(d->actorId));
    for (auto it = first; it != last;) {
        if (m_output->IsSounding(it->second)) {
            m_output->MoveSound(it->second, d->position);
            ++it;
        } else {
            it = m_actorSounds.erase(it);
        }
    }
    return false;
}

bool EffectEventHandler::OnActorSpawn(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateActorSpawn>(event)) {
        Sound("Spawn", d->position);
        Particle(9, d->position - Vector3(0.0f, 1.0f, 0.0f), Vector3(0.0f, -1.0f, 0.0f), false);
    }
    return false;
}

bool EffectEventHandler::OnActorDeath(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateActorDeath>(event)) {
        Sound("Death3D", d->hitPoint);
        Particle(18, d->hitPoint, Vector3(0.0f, 0.0f, 0.0f) - d->impulse, false);
        Particle(33, d->hitPoint, Vector3(0.0f, 1.0f, 0.0f), false);
    }
    return false;
}

bool EffectEventHandler::OnWhistle(const EventSystem::IEvent&) {
    if (!m_menuMode && m_output) m_output->PlaySound("Whistle");
    return false;
}

bool EffectEventHandler::OnThrowBlock(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateThrowBlock>(event)) Sound("ThrowBlock3D", d->position);
    return false;
}

bool EffectEventHandler::OnCollision(const EventSystem::IEvent& event) {
    // The physics' report shares the name; only the views' report counts.
    const auto* d = PayloadOf<EventTypes::EventUpdateCollisionToClient>(event);
    if (!d) return false;
    const Kind a = Classify(d->typeHashA), b = Classify(d->typeHashB);
    if (a == Kind::kOther || b == Kind::kOther) return false;
    // The pair in either order: how many players and blocks take part.
    const int players = (a == Kind::kPlayer) + (b == Kind::kPlayer);
    const int blocks = (a == Kind::kBlock) + (b == Kind::kBlock);
    if (players == 0 && blocks > 0) {
        // block-block or block-ground.
        if (IsInQuietZone(d->point)) return false;
        const int g = Grade(d->normalSpeed);
        if (g == 0) return false;
        static const char* const sounds[] = {"", "CollisionSlow", "CollisionMed", "CollisionFast"};
        const Vector3 at = d->point - d->normal * 0.1f;
        Sound(sounds[g], at);
        Particle(18 + g, at, d->normal, false);
    } else if (players == 1) {
        // A player against a block or the ground.
        if (Grade(d->normalSpeed) < 2) return false;
        Sound("CollisionPlayer", d->point);
        Particle(19, d->point, d->normal, false);
    }
    return false;
}

bool EffectEventHandler::OnExplosion(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateExplosion>(event);
    if (!d) return false;
    MarkQuietZone(d->position);
    Sound("Explosion", d->position);
    Particle(5, d->position, Vector3(0.0f, 0.0f, 1.0f), true);
    return false;
}

bool EffectEventHandler::OnCreateActor(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateCreateActor>(event);
    if (!d || d->objectState.stateId != kBombState) return false;
    Sound("BombSpawn", d->position);
    Particle(22, d->position, Vector3(0.0f, 0.0f, 1.0f), false);
    return false;
}

bool EffectEventHandler::OnFlagCaptured(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateFlagCaptured>(event)) {
        Sound("FlagCap3D", d->position);
        Particle(11, d->position - Vector3(0.0f, 6.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f), true);
    }
    return false;
}

bool EffectEventHandler::OnFlagRecovered(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagRecovered>(event);
    if (!d) return false;
    const bool byItself = d->actorId == -1;
    const Vector3 up(0.0f, 1.0f, 0.0f);
    Sound(byItself ? "FlagAutoRecover3D" : "FlagRecover3D", d->fromPosition);
    Particle(byItself ? 13 : 12, d->fromPosition, up, false);
    Sound("FlagSpawn3D", d->homePosition);
    Particle(14, d->homePosition, up, false);
    return false;
}

void EffectEventHandler::MarkQuietZone(const Vector3& position) {
    static const unsigned time = Utility::ReadConfig<unsigned>("VIEW", "CollisionEffectIgnoreTime", 1000u);
    static const float radius = Utility::ReadConfig<float>("VIEW", "CollisionEffectIgnoreRadius", 20.0f);
    const unsigned k = m_nextQuietZone++;
    m_quietZones[k] = QuietZone{position, radius * radius};
    if (!m_processes) return;
    auto wait = std::make_shared<ProcessSystem::WaitProcess>(static_cast<int>(time));
    std::weak_ptr<int> alive = m_alive;
    wait->SetNext(ProcessSystem::MakeFunctorProcess([this, alive, k] {
        if (!alive.expired()) m_quietZones.erase(k);
    }));
    m_processes->Attach(wait);
}

bool EffectEventHandler::IsInQuietZone(const Vector3& c) const {
    for (const auto& [k, z] : m_quietZones) {
        const Vector3 d = c - z.centre;
        if (d.x * d.x + d.y * d.y + d.z * d.z < z.radiusSquared) return true;
    }
    return false;
}

}  // namespace GameLogicView
