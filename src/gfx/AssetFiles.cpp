#include "gfx/AssetFiles.h"

#include "gamelogic/ObjectStateTable.h"
#include "gfx/CameraMan.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/TextMan.h"
#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "gfx/StateMan.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
constexpr size_t kMaxBracketed = 1023;

void Report(AssetProblems* problems, const std::string& text) {
    GfxLog.Log(HtmlLogger::LOG_ERROR, "%s", text.c_str());
    if (problems) problems->push_back(text);
}
}  // namespace

AsciiFileInput::AsciiFileInput(const std::string& fileName) : m_name(fileName), m_file(fileName), m_in(&m_file) {}

AsciiFileInput::AsciiFileInput(std::istream& in, std::string name) : m_name(std::move(name)), m_in(&in) {}

AsciiFileInput::~AsciiFileInput() = default;

bool AsciiFileInput::SkipToToken(const std::string& marker) {
    std::string word;
    while (*m_in >> word)
        if (word == marker) return true;
    return false;
}

bool AsciiFileInput::SkipTo(char c) {
    char got = 0;
    while (*m_in >> got)
        if (got == c) return true;
    return false;
}

bool AsciiFileInput::ReadBracketed(std::string& out) {
    if (!SkipTo('[')) return false;
    std::string text;
    char c = 0;
    while (m_in->get(c)) {
        if (c == ']') {
            out = text;
            return true;
        }
        if (text.size() >= kMaxBracketed) break;
        text += c;
    }
    // Unclosed or too long: nothing sensible follows.
    m_in->setstate(std::ios::failbit);
    return false;
}

bool AsciiFileInput::ReadBracketedInt(int& out) {
    int v = 0;
    if (!SkipTo('[') || !(*m_in >> v) || !SkipTo(']')) {
        m_in->setstate(std::ios::failbit);
        return false;
    }
    out = v;
    return true;
}

bool AsciiFileInput::ReadBracketedFloat(float& out) {
    float v = 0;
    if (!SkipTo('[') || !(*m_in >> v) || !SkipTo(']')) {
        m_in->setstate(std::ios::failbit);
        return false;
    }
    out = v;
    return true;
}

bool AsciiFileInput::ReadBracketedVector(Geometry::Vector3& out) {
    Geometry::Vector3 v;
    if (!SkipTo('[') || !(*m_in >> v) || !SkipTo(']')) {
        m_in->setstate(std::ios::failbit);
        return false;
    }
    out = v;
    return true;
}

EngineAssetSink::EngineAssetSink(GfxEngine& engine) : m_engine(engine) {}

void EngineAssetSink::Material(int tag, const Geometry::Vector3& diffuse, const Geometry::Vector3& specular,
                               const Geometry::Vector3& emissive, float power) {
    if (StateMan* sm = m_engine.GetStateMan()) sm->LoadMaterial(tag, specular, emissive, diffuse, power);
}
bool EngineAssetSink::Effect(int tag, const std::string& path) {
    StateMan* sm = m_engine.GetStateMan();
    return sm && sm->LoadEffect(tag, path);
}
void EngineAssetSink::Technique(int tag, const std::string& name) {
    if (StateMan* sm = m_engine.GetStateMan()) sm->SetTechniqueName(tag, name);
}
bool EngineAssetSink::Texture(int tag, const std::string& path) {
    StateMan* sm = m_engine.GetStateMan();
    return sm && sm->LoadTexture(tag, path);
}
bool EngineAssetSink::MeshModel(int tag, const std::string& path) { return m_engine.LoadMeshModel(path, tag); }
bool EngineAssetSink::SkinnedModel(int tag, const std::string& path, int param) {
    return m_engine.LoadSkinnedModel(path, param, tag);
}
bool EngineAssetSink::ParticleBuffer(int tag, int quads) { return m_engine.LoadParticleBuffer(quads, tag); }
bool EngineAssetSink::BoxModel(int tag, const Geometry::Vector3& size, float tiling) {
    (void)size;  // every box is the same cube, sized by its draw objects
    return m_engine.LoadBoxModel(tiling, tag);
}
bool EngineAssetSink::InstanceModel(int tag, int sourceTag, int copies) {
    return m_engine.LoadInstanceModel(sourceTag, copies, tag);
}
void EngineAssetSink::Camera(const CameraAsset& c) {
    if (onCamera) {
        onCamera(c);
        return;
    }
    // By default into the draw screen's camera manager, when there is one.
    DrawScreen* screen = DrawScreen::Instance();
    CameraMan* cameras = screen ? screen->GetCameraMan() : nullptr;
    if (cameras)
        cameras->LoadCamera(c.tag, c.eye, c.lookAt, c.up, c.pitchDivisorA, c.pitchDivisorB, c.minDistance,
                            c.maxDistance, std::make_shared<Frustum>(c.fov, c.aspect, c.nearPlane, c.farPlane));
}
void EngineAssetSink::Font(const FontAsset& font) {
    if (onFont) {
        onFont(font);
        return;
    }
    // By default into the screen-text manager, when there is one.
    if (TextMan* text = TextMan::Current()) text->LoadFont(font.tag, font.file, font.face, font.size, font.style);
}

bool GfxLevelLoader::Load(IAssetSink& sink, AssetProblems* problems) {
    enum Kind { Materials, Effects, Techniques, Textures, Models, Cameras, Fonts };
    struct Section {
        Kind kind;
        const char* open;
        const char* close;
        bool header;
    };
    static const Section kSections[] = {
        {Materials, "MATERIALS_START", "MATERIALS_END", false}, {Effects, "EFFECTS_START", "EFFECTS_END", true},
        {Techniques, "TECHNIQUES_START", "TECHNIQUES_END", false}, {Textures, "TEXTURES_START", "TEXTURES_END", true},
        {Models, "MODELS_START", "MODELS_END", true},           {Cameras, "CAMERAS_START", "CAMERAS_END", false},
        {Fonts, "FONTS_START", "FONTS_END", true},
    };
    AsciiFileInput& in = m_input;
    std::istream& s = in.Stream();
    const std::string& file = in.FileName();
    if (!s) {
        Report(problems, file + ": cannot be opened; no graphics assets read");
        return false;
    }
    bool ok = true;
    for (const Section& sec : kSections) {
        if (!in.SkipToToken(sec.open)) {
            Report(problems, file + ": no " + sec.open + " marker; this and the later sections are not read");
            return false;
        }
        std::string prefix;
        if (sec.header) {
            std::string unused;
            if (!(s >> unused >> prefix)) {
                Report(problems, file + ": " + sec.open + " lacks its two header words");
                return false;
            }
        }
        for (;;) {
            std::string name;
            if (!(s >> name)) {
                Report(problems, file + ": ends before " + sec.close + "; the later sections are not read");
                return false;
            }
            if (name == sec.close) break;
            int tag = 0;
            if (!(s >> tag)) {
                Report(problems, file + ": entry '" + name + "' in " + sec.open + " has no integer tag");
                return false;
            }
            auto bad = [&](const char* what) {
                Report(problems, file + ": entry '" + name + "' (tag " + std::to_string(tag) + ") in " + sec.open +
                                     ": " + what + "; the rest of the file is not read");
                return false;
            };
            switch (sec.kind) {
            case Materials: {
                Geometry::Vector3 diffuse, specular, emissive;
                float power = 0;
                if (!in.ReadBracketedVector(diffuse) || !in.ReadBracketedVector(specular) ||
                    !in.ReadBracketedVector(emissive) || !in.ReadBracketedFloat(power))
                    return bad("malformed colours or power");
                sink.Material(tag, diffuse, specular, emissive, power);
                break;
            }
            case Effects:
            case Textures: {
                std::string f;
                if (!in.ReadBracketed(f)) return bad("malformed file name");
                const bool loaded = sec.kind == Effects ? sink.Effect(tag, prefix + f) : sink.Texture(tag, prefix + f);
                if (!loaded) {
                    Report(problems, file + ": " + (sec.kind == Effects ? "effect " : "texture ") + std::to_string(tag) +
                                         " could not be loaded from " + prefix + f);
                    ok = false;
                }
                break;
            }
            case Techniques: {
                std::string t;
                if (!in.ReadBracketed(t)) return bad("malformed technique name");
                sink.Technique(tag, t);
                break;
            }
            case Models: {
                std::string kind;
                if (!(s >> kind)) return bad("no model kind");
                bool made = true;
                std::string what = kind;
                if (kind == "MSH") {
                    std::string f;
                    if (!in.ReadBracketed(f)) return bad("malformed file name");
                    made = sink.MeshModel(tag, prefix + f);
                    what += " " + prefix + f;
                } else if (kind == "SKN") {
                    std::string f;
                    int param = 0;
                    if (!in.ReadBracketed(f) || !in.ReadBracketedInt(param)) return bad("malformed skinned model");
                    made = sink.SkinnedModel(tag, prefix + f, param);
                    what += " " + prefix + f;
                } else if (kind == "PBUFF") {
                    int quads = 0;
                    if (!in.ReadBracketedInt(quads)) return bad("malformed quad count");
                    made = sink.ParticleBuffer(tag, quads);
                } else if (kind == "BOX") {
                    Geometry::Vector3 size;
                    float tiling = 0;
                    if (!in.ReadBracketedVector(size) || !in.ReadBracketedFloat(tiling)) return bad("malformed box");
                    made = sink.BoxModel(tag, size, tiling);
                } else if (kind == "INST") {
                    int source = 0, copies = 0;
                    if (!in.ReadBracketedInt(source) || !in.ReadBracketedInt(copies))
                        return bad("malformed instance model");
                    made = sink.InstanceModel(tag, source, copies);
                    what += " of model " + std::to_string(source);
                } else {
                    // Nothing of the entry is read: what follows is taken as the next entry.
                    Report(problems, file + ": entry '" + name + "' (tag " + std::to_string(tag) +
                                         ") has the unknown model kind '" + kind + "'");
                    ok = false;
                    break;
                }
                if (!made) {
                    Report(problems, file + ": model " + std::to_string(tag) + " (" + what + ") could not be made");
                    ok = false;
                }
                break;
            }
            case Cameras: {
                CameraAsset c;
                c.tag = tag;
                if (!in.ReadBracketedFloat(c.fov) || !in.ReadBracketedFloat(c.aspect) ||
                    !in.ReadBracketedFloat(c.nearPlane) || !in.ReadBracketedFloat(c.farPlane) ||
                    !in.ReadBracketedVector(c.eye) || !in.ReadBracketedVector(c.lookAt) ||
                    !in.ReadBracketedVector(c.up) || !in.ReadBracketedFloat(c.pitchDivisorA) ||
                    !in.ReadBracketedFloat(c.pitchDivisorB) || !in.ReadBracketedFloat(c.minDistance) ||
                    !in.ReadBracketedFloat(c.maxDistance))
                    return bad("malformed camera");
                sink.Camera(c);
                break;
            }
            case Fonts: {
                FontAsset f;
                f.tag = tag;
                std::string style;
                if (!in.ReadBracketed(f.file) || !in.ReadBracketed(f.face) || !in.ReadBracketedInt(f.size) ||
                    !in.ReadBracketed(style))
                    return bad("malformed font");
                f.file = prefix + f.file;
                f.style = style == "BOLD" ? 1 : style == "ITALICS" ? 2 : style == "BOLDITALICS" ? 3 : 0;
                sink.Font(f);
                break;
            }
            }
        }
    }
    return ok;
}

bool GfxStateLoader::Load(StateMan& states, AssetProblems* problems) {
    std::istream& s = m_input.Stream();
    const std::string& file = m_input.FileName();
    if (!s) {
        Report(problems, file + ": cannot be opened; no render states read");
        return false;
    }
    // The same reader the game logic uses for its copy of the table.
    GameLogicView::ObjectStateTable table;
    bool ok = table.LoadStates(s, file);
    if (!ok) Report(problems, file + ": the states section is damaged; the states read before the damage are kept");
    for (const auto& entry : table.States()) {
        const GameLogicView::ObjectState& r = entry.second;
        const bool unset = r.flags == 0 && r.modelId == -1 && r.materialId == -1 && r.effectId == -1 &&
                           r.textureId == -1 && r.techniqueId == -1 && r.alpha == -1.0f;
        // A section without any state stores nothing over an earlier state.
        if (unset && entry.first == 0 && states.States().count(0)) continue;
        GfxState g;
        g.flags = r.flags;
        g.alpha = r.alpha == -1.0f ? 1.0f : r.alpha;
        auto need = [&](bool found, const char* kind, int tag) {
            if (found) return;
            ok = false;
            Report(problems, file + ": state " + std::to_string(entry.first) + " names " + kind + " " +
                                 std::to_string(tag) + ", which is not loaded");
        };
        if (r.modelId != -1) need(states.RequestModel(r.modelId, g.model), "model", r.modelId);
        if (r.textureId != -1) need(states.RequestTexture(r.textureId, g.texture), "texture", r.textureId);
        if (r.techniqueId != -1) need(states.RequestTechnique(r.techniqueId, g.technique), "technique", r.techniqueId);
        if (r.effectId != -1) need(states.RequestEffect(r.effectId, g.effect), "effect", r.effectId);
        if (r.materialId != -1) need(states.RequestMaterial(r.materialId, g.material), "material", r.materialId);
        states.AddState(entry.first, g);
    }
    return ok;
}

bool LoadAssetFile(const std::string& path, IAssetSink& sink, AssetProblems* problems) {
    AsciiFileInput in(path);
    return GfxLevelLoader(in).Load(sink, problems);
}

bool LoadStateFile(const std::string& path, StateMan& states, AssetProblems* problems) {
    AsciiFileInput in(path);
    return GfxStateLoader(in).Load(states, problems);
}

}  // namespace Gfx
