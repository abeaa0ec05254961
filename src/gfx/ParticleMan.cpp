#include "gfx/ParticleMan.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "gfx/Camera.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/RenderQueue.h"
#include "ini/IniFile.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
using Geometry::Vector3;

ParticleMan* g_current = nullptr;
int g_nextInstanceId = 0;  // never reset: ids stay unique across reloads

int IniInt(const Utility::IniFile& ini, const std::string& section, const std::string& key) {
    const std::string v = ini.GetValue(Utility::Key(key), Utility::Section(section));
    return v.empty() ? 0 : std::atoi(v.c_str());
}

// Words with the line each one starts on, so errors can name the line.
class WordReader {
public:
    explicit WordReader(std::istream& in) : m_in(in) {}
    bool Next(std::string& w) {
        SkipSpace();
        return static_cast<bool>(m_in >> w);
    }
    template <class T>
    bool Value(T& v) {
        SkipSpace();
        return static_cast<bool>(m_in >> v);
    }
    int Line() const { return m_line; }

private:
    void SkipSpace() {
        for (;;) {
            const int c = m_in.peek();
            if (c == std::char_traits<char>::eof() || !std::isspace(c)) return;
            if (c == '\n') ++m_line;
            m_in.get();
        }
    }
    std::istream& m_in;
    int m_line = 1;
};

bool Refuse(ParticleFileError* error, const std::string& name, int line, const std::string& what) {
    const std::string msg = name + ":" + std::to_string(line) + ": " + what;
    GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan: %s", msg.c_str());
    if (error) {
        error->message = msg;
        error->line = line;
    }
    return false;
}

}  // namespace

ParticleMan* ParticleMan::Current() { return g_current; }

ParticleMan::ParticleMan(const std::string& configFile) {
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "Particle Manager class created.");
    LoadLodLevels(configFile);
    g_current = this;
}

ParticleMan::~ParticleMan() {
    m_running.clear();
    if (g_current == this) g_current = nullptr;
    GfxLog.Log(HtmlLogger::LOG_RELEASE, "Particle Manager class destroyed.");
}

void ParticleMan::LoadLodLevels(const std::string& fileName) {
    Utility::IniFile ini(fileName);
    const int n = IniInt(ini, "Optimization", "lod_levels");
    std::vector<LodLevel> levels;
    for (int i = 1; i <= n && i <= 64; ++i) {
        LodLevel l;
        l.distance = static_cast<float>(static_cast<unsigned>(IniInt(ini, "Optimization", "dist_lod" + std::to_string(i))));
        l.scale = IniInt(ini, "ParticleSystem", "particle_scale_lod" + std::to_string(i));
        l.drawEvery = IniInt(ini, "ParticleSystem", "particle_drawct_lod" + std::to_string(i));
        levels.push_back(l);
    }
    SetLodLevels(std::move(levels));
}

void ParticleMan::SetLodLevels(std::vector<LodLevel> levels) {
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i].drawEvery < 1) {
            GfxLog.Log(HtmlLogger::LOG_WARNING,
                       "ParticleMan::LoadLodLevels: level %i draws every %i particles; 1 is used", static_cast<int>(i + 1),
                       levels[i].drawEvery);
            levels[i].drawEvery = 1;
        }
        levels[i].nextDistance = i + 1 < levels.size() ? levels[i + 1].distance : 0.0f;
    }
    m_levels = std::move(levels);
}

LodLevel ParticleMan::GetLodLevel(float d) const {
    if (m_levels.empty()) return LodLevel();  // no table: full detail
    for (size_t i = 0; i + 1 < m_levels.size(); ++i)
        if (m_levels[i].distance <= d && d < m_levels[i].nextDistance) return m_levels[i];
    return m_levels.back();
}

bool ParticleMan::ReadSystems(std::istream& in, const std::string& name,
                              std::map<int, std::shared_ptr<ParticleSystemData>>& out, ParticleFileError* error) {
    WordReader r(in);
    std::string w;
    while (r.Next(w) && w != "PARTICLE_SYSTEMS_START") {
    }
    std::map<int, std::shared_ptr<ParticleSystemData>> read;
    std::shared_ptr<ParticleSystemData> cur;
    ParticleSystemData scratch;  // keys before the first header land here
    auto bad = [&](const std::string& what) { return Refuse(error, name, r.Line(), what); };
    auto flag = [&](bool& f, const char* trueWord, bool isTrueWord) {
        std::string v;
        if (!r.Next(v)) return false;
        f = isTrueWord ? v == trueWord : v != trueWord;
        return true;
    };
    while (r.Next(w)) {
        ParticleSystemData& d = cur ? *cur : scratch;
        bool ok = true;
        if (w == "End") {
            if (cur) read[cur->tag] = cur;
            for (auto& kv : read) out[kv.first] = kv.second;
            return true;
        } else if (w == "NumParticles") {
            ok = r.Value(d.numParticles);
            if (ok && d.numParticles > kMaxQuadsPerSystem) {
                GfxLog.Log(HtmlLogger::LOG_WARNING, "ParticleMan: %s:%i: NumParticles %i bounded to %i", name.c_str(),
                           r.Line(), d.numParticles, kMaxQuadsPerSystem);
                d.numParticles = kMaxQuadsPerSystem;
            }
            if (ok && d.numParticles < 0) d.numParticles = 0;
        } else if (w == "SpawnRate") {
            ok = r.Value(d.spawnRate);
        } else if (w == "SpawnMethod") {
            std::string v;
            ok = r.Next(v);
            if (v == "Once") d.spawnMethod = 0;
            else if (v == "Continuous") d.spawnMethod = 1;
            else if (v == "Permanent") d.spawnMethod = 2;
        } else if (w == "BlendMode") {
            std::string v;
            ok = r.Next(v);
            if (v == "Add") d.blendMode = 0;
            else if (v == "Modulate") d.blendMode = 1;
        } else if (w == "PermanentParticles") {
            ok = flag(d.permanentParticles, "true", true);
        } else if (w == "Model" || w == "Technique" || w == "Texture" || w == "Effect") {
            int tag = 0;
            ok = r.Value(tag);
            if (ok && cur && GfxEngine::Instance() && GfxEngine::Instance()->GetStateMan()) {
                if (w == "Model") d.state.SetModelTag(tag);
                else if (w == "Technique") d.state.SetTechniqueTag(tag);
                else if (w == "Texture") d.state.SetTextureTag(tag);
                else d.state.SetEffectTag(tag);
            }
        } else if (w == "Center") {
            ok = r.Value(d.center);
        } else if (w == "MinAngle") {
            ok = r.Value(d.minAngle);
        } else if (w == "MaxAngle") {
            ok = r.Value(d.maxAngle);
        } else if (w == "MinLife") {
            ok = r.Value(d.minLife);
        } else if (w == "MaxLife") {
            ok = r.Value(d.maxLife);
        } else if (w == "MinSpeed") {
            ok = r.Value(d.minSpeed);
        } else if (w == "MaxSpeed") {
            ok = r.Value(d.maxSpeed);
        } else if (w == "EndSpeed") {
            ok = r.Value(d.endSpeed);
        } else if (w == "MinColor") {
            ok = r.Value(d.minColor);
        } else if (w == "MaxColor") {
            ok = r.Value(d.maxColor);
        } else if (w == "EndColor") {
            ok = r.Value(d.endColor);
        } else if (w == "MinRotSpeed") {
            ok = r.Value(d.minRotSpeed);
        } else if (w == "MaxRotSpeed") {
            ok = r.Value(d.maxRotSpeed);
        } else if (w == "EndRotSpeed") {
            ok = r.Value(d.endRotSpeed);
        } else if (w == "StartScale") {
            ok = r.Value(d.startScale);
        } else if (w == "EndScale") {
            ok = r.Value(d.endScale);
        } else if (w == "Radius" || w == "Extent") {
            ok = r.Value(d.radius);
        } else if (w == "InnerAngle") {
            ok = r.Value(d.innerAngle);
        } else if (w == "FieldType") {
            std::string v;
            ok = r.Next(v);
            if (v == "Line") d.fieldType = 1;
            else if (v == "Square") d.fieldType = 2;
            else if (v == "Cube") d.fieldType = 3;
        } else if (w == "EvenSpaced") {
            ok = flag(d.evenSpaced, "false", false);
        } else if (w == "FollowSystem") {
            ok = flag(d.followSystem, "false", false);
        } else if (w == "Billboarded") {
            ok = flag(d.billboarded, "false", false);
        } else {
            // A header: name, tag, one unread word, type.
            const int line = r.Line();
            int tag = 0;
            std::string unused, type;
            if (!r.Value(tag) || !r.Next(unused) || !r.Next(type))
                return Refuse(error, name, line, "incomplete system header '" + w + "'");
            int kind = -1;
            if (type == "PointSystem") kind = 0;
            else if (type == "FieldSystem") kind = 1;
            else if (type == "ConeSystem") kind = 2;
            else if (type == "CircleSystem") kind = 3;
            if (kind < 0) return Refuse(error, name, line, "unknown system type '" + type + "'");
            if (cur) read[cur->tag] = cur;
            cur = std::make_shared<ParticleSystemData>();
            cur->tag = tag;
            cur->kind = kind;
        }
        if (!ok) return bad("the value of '" + w + "' cannot be read");
    }
    return Refuse(error, name, r.Line(), "no \"End\" after the last definition");
}

bool ParticleMan::ReadEffects(std::istream& in, const std::string& name, std::map<int, EffectDefinition>& out,
                              ParticleFileError* error) {
    WordReader r(in);
    std::string w;
    while (r.Next(w) && w != "PARTICLE_EFFECTS_START") {
    }
    std::map<int, EffectDefinition> read;
    bool have = false;
    int tag = 0;
    EffectDefinition cur;
    while (r.Next(w)) {
        if (w == "End") {
            if (have) read[tag] = cur;
            for (auto& kv : read) out[kv.first] = kv.second;
            return true;
        }
        if (w == "SYS") {
            int sys = 0;
            float start = 0.0f;
            if (!r.Value(sys) || !r.Value(start)) return Refuse(error, name, r.Line(), "SYS needs a system tag and a start time");
            if (!have) return Refuse(error, name, r.Line(), "SYS before the first effect");
            cur.emplace_back(sys, std::isfinite(start) ? start : 0.0f);
            continue;
        }
        const int line = r.Line();
        int t = 0;
        if (!r.Value(t)) return Refuse(error, name, line, "effect '" + w + "' needs a tag");
        if (have) read[tag] = cur;
        have = true;
        tag = t;
        cur.clear();
    }
    return Refuse(error, name, r.Line(), "no \"End\" after the last effect");
}

bool ParticleMan::LoadParticleData(const std::string& systemFile, const std::string& effectFile) {
    std::ifstream sys(systemFile);
    if (!sys) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan::LoadParticleData: Could not load particle system file: %s",
                   systemFile.c_str());
        return false;
    }
    std::ifstream eff(effectFile);
    if (!eff) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan::LoadParticleData: Could not load particle effect file: %s",
                   effectFile.c_str());
        return false;
    }
    ClearParticleEffects();
    m_systems.clear();
    m_effects.clear();
    const bool a = ReadSystems(sys, systemFile, m_systems, nullptr);
    const bool b = ReadEffects(eff, effectFile, m_effects, nullptr);
    return a && b;
}

void ParticleMan::SetDefinitions(std::map<int, std::shared_ptr<ParticleSystemData>> systems,
                                 std::map<int, EffectDefinition> effects) {
    ClearParticleEffects();
    m_systems = std::move(systems);
    m_effects = std::move(effects);
}

int ParticleMan::AddParticleEffect(int effectTag, const Vector3& position, const Vector3& direction,
                                   const Geometry::Quaternion& orientation, bool overlay) {
    auto def = m_effects.find(effectTag);
    if (def == m_effects.end()) {
        // The id is never running: moving or removing it later is logged and harmless.
        GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan::AddParticleEffect: Could not find particle effect: %i", effectTag);
        return -1;
    }
    auto e = std::make_shared<ParticleEffect>();
    e->startPosition = e->position = e->previousPosition = position;
    e->startDirection = direction;
    e->startOrientation = e->orientation = orientation;
    for (const auto& entry : def->second) {
        auto sd = m_systems.find(entry.first);
        if (sd == m_systems.end()) {
            GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan::AddParticleEffect: Could not find particle system: %i",
                       entry.first);
            continue;  // the effect runs without it
        }
        std::shared_ptr<ParticleSystem> s;
        switch (sd->second->kind) {
            case ParticleSystemData::kField: s = std::make_shared<ParticleSystemField>(*sd->second, this); break;
            case ParticleSystemData::kCone: s = std::make_shared<ParticleSystemCone>(*sd->second, this, direction); break;
            case ParticleSystemData::kCircle:
                s = std::make_shared<ParticleSystemCircle>(*sd->second, this, direction);
                break;
            default: s = std::make_shared<ParticleSystemPoint>(*sd->second, this); break;
        }
        s->SetOverlay(overlay);
        e->systems.push_back({s, entry.second});
    }
    e->overlay = overlay;
    e->instanceId = g_nextInstanceId++;
    m_running[e->instanceId] = e;
    return e->instanceId;
}

bool ParticleMan::GetParticleEffect(int id, std::shared_ptr<ParticleEffect>& out) const {
    auto it = m_running.find(id);
    if (it == m_running.end()) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "ParticleMan::GetParticleEffect: Particle Effect with ID: \"%i\" could not be found", id);
        return false;
    }
    out = it->second;
    return true;
}

bool ParticleMan::RemoveParticleEffect(int id) {
    if (m_running.erase(id) == 0) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "ParticleMan::RemoveParticleEffect: Could not find particle effect with id %i", id);
        return false;
    }
    return true;
}

void ParticleMan::ClearParticleEffects() { m_running.clear(); }

bool ParticleMan::SetEffectTransform(int id, const Vector3& position, const Geometry::Quaternion& orientation) {
    auto it = m_running.find(id);
    if (it == m_running.end()) return false;
    it->second->position = position;
    it->second->orientation = orientation;
    return true;
}

void ParticleEffect::Update(float dt) {
    float maxSq = 0.0f;
    const Vector3 move = position - previousPosition;
    for (auto it = systems.begin(); it != systems.end();) {
        if (it->startTime > elapsed) {
            ++it;
            continue;
        }
        ParticleSystem& s = *it->system;
        maxSq = std::max(maxSq, s.Update(dt, move));
        if (s.Data().followSystem) s.GetDrawObj()->SetOrientation(orientation);
        if (s.Finished()) it = systems.erase(it);
        else ++it;
    }
    previousPosition = position;
    radiusSquared = maxSq;
}

void ParticleMan::Update(float dt) {
    for (auto it = m_running.begin(); it != m_running.end();) {
        ParticleEffect& e = *it->second;
        if (e.systems.empty()) {
            it = m_running.erase(it);
            continue;
        }
        e.Update(dt);
        e.elapsed += dt;
        ++it;
    }
}

void ParticleMan::Submit() {
    DrawScreen* ds = DrawScreen::Instance();
    GfxEngine* engine = GfxEngine::Instance();
    std::shared_ptr<Camera> cam = ds ? ds->GetActiveCamera() : nullptr;
    if (!cam || !engine) return;
    Submit(*cam, engine->GetRenderQueue());
}

void ParticleMan::Submit(const Camera& camera, RenderQueue& /*queue*/) {
    const std::shared_ptr<Frustum> frustum = camera.GetFrustum();
    for (auto& kv : m_running) {
        ParticleEffect& e = *kv.second;
        if (!e.overlay && frustum && frustum->TestSphere(e.position, std::sqrt(e.radiusSquared)) == 0) continue;
        for (auto& entry : e.systems)
            if (entry.startTime <= e.elapsed) entry.system->Submit(e.position);
    }
}

std::shared_ptr<Particle> ParticleMan::TakeParticle() {
    if (m_pool.empty()) {
        const unsigned grow = m_created == 0 ? 100u : static_cast<unsigned>(1.5 * m_created);
        m_pool.reserve(m_pool.size() + grow);
        for (unsigned i = 0; i < grow; ++i) m_pool.push_back(std::make_shared<Particle>());
        m_created += grow;
    }
    std::shared_ptr<Particle> p = std::move(m_pool.back());
    m_pool.pop_back();
    p->Reset();
    return p;
}

void ParticleMan::ReturnParticle(const std::shared_ptr<Particle>& p) {
    if (p) m_pool.push_back(p);
}

}  // namespace Gfx
