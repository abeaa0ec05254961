// The players' characters, one per team: a blocky humanoid on a skeleton of
// frames, each box moving rigidly with one bone, and the animation sets the
// view plays by index (0 jump, 1 jump holding, 2 death, 3 pick-up holding,
// 4 pick-up, 5 stand, 6 walk, 7 throw, 8 stand holding). Stored the way the
// engine expects skinned models: z up, facing +y, in game units (3 high, the
// feet at z = -1.5). Each team has its own texture atlas.
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Generators.h"
#include "XWriter.h"

namespace GenData {

namespace {

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector3;

constexpr float kDeg = 3.14159265f / 180.0f;

// The view hands palette slot 1's matrix to the Angel's halo effect, which
// puts the effect at this point of the stored model; bone 1 maps it onto
// its frame's origin.
const Vector3 kHaloAnchor(-5.600015f, -0.000038f, -57.98655f);

struct Bone {
    const char* name;
    const char* parent;
    Vector3 bind;  // position in the stored model (frames carry no rotation at rest)
};

// Skin order: bone 0 the hips, bone 1 the halo (palette slot 1).
std::vector<Bone> Skeleton(bool angel) {
    return {
        {"Hips", "Root", {0.0f, 0.0f, -0.35f}},
        {"Halo", "Head", {0.0f, 0.0f, angel ? 1.62f : 1.38f}},
        {"Chest", "Hips", {0.0f, 0.0f, 0.15f}},
        {"Head", "Chest", {0.0f, 0.0f, 0.8f}},
        {"ArmL", "Chest", {0.56f, 0.0f, 0.62f}},
        {"ForearmL", "ArmL", {0.56f, 0.0f, 0.18f}},
        {"ArmR", "Chest", {-0.56f, 0.0f, 0.62f}},
        {"ForearmR", "ArmR", {-0.56f, 0.0f, 0.18f}},
        {"LegL", "Hips", {0.2f, 0.0f, -0.4f}},
        {"ShinL", "LegL", {0.2f, 0.0f, -0.95f}},
        {"LegR", "Hips", {-0.2f, 0.0f, -0.4f}},
        {"ShinR", "LegR", {-0.2f, 0.0f, -0.95f}},
        {"WingL", "Chest", {0.15f, -0.27f, 0.5f}},
        {"WingR", "Chest", {-0.15f, -0.27f, 0.5f}},
        {"Tail", "Hips", {0.0f, -0.22f, -0.1f}},
    };
}

// Texture atlas quarters: cloth, skin, face, accent.
const UvRect kCloth{0.0f, 0.0f, 0.5f, 0.5f};
const UvRect kSkin{0.5f, 0.0f, 1.0f, 0.5f};
const UvRect kAccent{0.5f, 0.5f, 1.0f, 1.0f};
// The face fills the front (+y) of the head, upright: that face's texture
// "up" runs towards -z, so its rows are flipped.
const UvRect kFace{0.0f, 1.0f, 0.5f, 0.5f};

BoxUv AllFaces(const UvRect& r) {
    BoxUv uv;
    uv.faces.fill(r);
    return uv;
}

struct Part {
    const char* bone;
    Vector3 lo, hi;  // relative to the bone's rest position
    BoxUv uv;
    Matrix4x4 turn = Matrix4x4::Identity();  // applied about the bone's position
};

std::vector<Part> Parts(bool angel) {
    BoxUv head = AllFaces(kSkin);
    head.faces[4] = kFace;  // +y: the front
    std::vector<Part> p = {
        {"Hips", {-0.36f, -0.22f, -0.2f}, {0.36f, 0.22f, 0.15f}, AllFaces(kCloth)},
        {"Chest", {-0.42f, -0.25f, -0.3f}, {0.42f, 0.25f, 0.6f}, AllFaces(kCloth)},
        {"Chest", {-0.44f, -0.27f, 0.45f}, {0.44f, 0.27f, 0.6f}, AllFaces(kAccent)},  // collar
        {"Head", {-0.3f, -0.28f, 0.02f}, {0.3f, 0.28f, 0.6f}, head},
        {"ArmL", {-0.13f, -0.13f, -0.45f}, {0.13f, 0.13f, 0.1f}, AllFaces(kCloth)},
        {"ForearmL", {-0.12f, -0.12f, -0.42f}, {0.12f, 0.12f, 0.0f}, AllFaces(kSkin)},
        {"ArmR", {-0.13f, -0.13f, -0.45f}, {0.13f, 0.13f, 0.1f}, AllFaces(kCloth)},
        {"ForearmR", {-0.12f, -0.12f, -0.42f}, {0.12f, 0.12f, 0.0f}, AllFaces(kSkin)},
        {"LegL", {-0.16f, -0.17f, -0.55f}, {0.16f, 0.17f, 0.05f}, AllFaces(kCloth)},
        {"ShinL", {-0.15f, -0.16f, -0.45f}, {0.15f, 0.16f, 0.0f}, AllFaces(kCloth)},
        {"ShinL", {-0.17f, -0.18f, -0.55f}, {0.17f, 0.3f, -0.43f}, AllFaces(kAccent)},  // boot
        {"LegR", {-0.16f, -0.17f, -0.55f}, {0.16f, 0.17f, 0.05f}, AllFaces(kCloth)},
        {"ShinR", {-0.15f, -0.16f, -0.45f}, {0.15f, 0.16f, 0.0f}, AllFaces(kCloth)},
        {"ShinR", {-0.17f, -0.18f, -0.55f}, {0.17f, 0.3f, -0.43f}, AllFaces(kAccent)},
    };
    if (angel) {
        // A square halo and two feathered wings.
        const float r = 0.26f, t = 0.05f, h = 0.03f;
        p.push_back({"Halo", {-r, -r, -h}, {r, -r + t, h}, AllFaces(kAccent)});
        p.push_back({"Halo", {-r, r - t, -h}, {r, r, h}, AllFaces(kAccent)});
        p.push_back({"Halo", {-r, -r + t, -h}, {-r + t, r - t, h}, AllFaces(kAccent)});
        p.push_back({"Halo", {r - t, -r + t, -h}, {r, r - t, h}, AllFaces(kAccent)});
        for (int side = -1; side <= 1; side += 2) {
            const char* bone = side > 0 ? "WingL" : "WingR";
            const float s = static_cast<float>(side);
            for (int k = 0; k < 3; ++k) {
                const float kk = static_cast<float>(k);
                const float len = 0.85f - 0.18f * kk;
                const Matrix4x4 tilt = Matrix4x4::FromRotation(
                    Quaternion::FromAxisAngle({0, 1, 0}, s * (25.0f - 28.0f * kk) * kDeg).SafeToMatrix3x3());
                Vector3 lo(side > 0 ? 0.0f : -len, -0.03f, -0.09f), hi(side > 0 ? len : 0.0f, 0.03f, 0.09f);
                p.push_back({bone, lo, hi, AllFaces(k == 0 ? kAccent : kCloth), tilt});
            }
        }
    } else {
        // Horns on the head and a pointed tail.
        for (int side = -1; side <= 1; side += 2) {
            const float s = static_cast<float>(side);
            const Matrix4x4 tilt = Matrix4x4::FromRotation(
                Quaternion::FromAxisAngle({0, 1, 0}, s * 25.0f * kDeg).SafeToMatrix3x3());
            p.push_back({"Halo", {s * 0.2f - 0.1f, -0.1f, -0.05f}, {s * 0.2f + 0.1f, 0.1f, 0.18f}, AllFaces(kAccent), tilt});
            const Matrix4x4 mid = Matrix4x4::Translation({s * 0.08f, 0.0f, 0.17f}) * tilt;
            p.push_back({"Halo", {s * 0.2f - 0.07f, -0.07f, 0.0f}, {s * 0.2f + 0.07f, 0.07f, 0.16f}, AllFaces(kAccent), mid});
            const Matrix4x4 tip = Matrix4x4::Translation({s * 0.16f, 0.0f, 0.31f}) * tilt;
            p.push_back({"Halo", {s * 0.2f - 0.04f, -0.04f, 0.0f}, {s * 0.2f + 0.04f, 0.04f, 0.14f}, AllFaces(kAccent), tip});
        }
        p.push_back({"Tail", {-0.05f, -0.7f, -0.05f}, {0.05f, 0.0f, 0.05f}, AllFaces(kAccent)});
        p.push_back({"Tail", {-0.12f, -0.86f, -0.08f}, {0.12f, -0.66f, 0.08f}, AllFaces(kAccent)});
    }
    return p;
}

// A pose: per bone a turn (degrees about x, y, z) and a shift from rest.
struct BonePose {
    Vector3 turn, shift;
};
using Pose = std::map<std::string, BonePose>;

struct Keyframe {
    uint32_t tick;
    Pose pose;
};

constexpr uint32_t kTicksPerSecond = 100;

// Arms: positive x swings a hanging arm forwards (+y); legs alike; negative
// x bends the chest forwards.
std::vector<std::vector<Keyframe>> Animations() {
    const Pose stand = {{"ArmL", {{0, -6, 0}, {}}}, {"ArmR", {{0, 6, 0}, {}}}};
    const Pose armsUp = {{"ArmL", {{170, 0, 0}, {}}}, {"ArmR", {{170, 0, 0}, {}}},
                         {"ForearmL", {{10, 0, 0}, {}}}, {"ForearmR", {{10, 0, 0}, {}}}};
    auto with = [](Pose p, const Pose& more) {
        for (const auto& [k, v] : more) p[k] = v;
        return p;
    };
    auto breathe = [&](const Pose& base, float lift, float wing) {
        return with(base, {{"Chest", {{0, 0, 0}, {0, 0, lift}}},
                           {"WingL", {{0, -wing, 0}, {}}},
                           {"WingR", {{0, wing, 0}, {}}},
                           {"Tail", {{wing * 0.6f, 0, wing}, {}}}});
    };
    const Pose crouch = {{"Hips", {{0, 0, 0}, {0, 0, -0.2f}}}, {"LegL", {{40, 0, 0}, {}}}, {"LegR", {{40, 0, 0}, {}}},
                         {"ShinL", {{-70, 0, 0}, {}}}, {"ShinR", {{-70, 0, 0}, {}}}, {"Chest", {{-15, 0, 0}, {}}},
                         {"ArmL", {{-30, 0, 0}, {}}}, {"ArmR", {{-30, 0, 0}, {}}}};
    const Pose stretch = {{"Hips", {{0, 0, 0}, {0, 0, 0.1f}}}, {"LegL", {{-10, 0, 0}, {}}}, {"LegR", {{-10, 0, 0}, {}}},
                          {"ArmL", {{150, 0, -20}, {}}}, {"ArmR", {{150, 0, 20}, {}}},
                          {"WingL", {{0, 40, 0}, {}}}, {"WingR", {{0, -40, 0}, {}}}};
    const Pose tuck = {{"LegL", {{70, 0, 0}, {}}}, {"LegR", {{70, 0, 0}, {}}}, {"ShinL", {{-100, 0, 0}, {}}},
                       {"ShinR", {{-100, 0, 0}, {}}}, {"ArmL", {{60, 0, -30}, {}}}, {"ArmR", {{60, 0, 30}, {}}},
                       {"WingL", {{0, -30, 0}, {}}}, {"WingR", {{0, 30, 0}, {}}}};
    const Pose slump = {{"Hips", {{0, 0, 0}, {0, 0, -0.75f}}}, {"LegL", {{85, 0, -10}, {}}}, {"LegR", {{85, 0, 10}, {}}},
                        {"ShinL", {{-20, 0, 0}, {}}}, {"ShinR", {{-20, 0, 0}, {}}}, {"Chest", {{-50, 0, 0}, {}}},
                        {"Head", {{-30, 0, 0}, {}}}, {"ArmL", {{20, 0, -15}, {}}}, {"ArmR", {{20, 0, 15}, {}}},
                        {"WingL", {{0, -50, 0}, {}}}, {"WingR", {{0, 50, 0}, {}}}};
    const Pose slump2 = with(slump, {{"Chest", {{-58, 0, 0}, {}}}, {"Head", {{-40, 0, 10}, {}}}});
    const Pose reach = {{"Hips", {{0, 0, 0}, {0, 0, -0.25f}}}, {"Chest", {{-60, 0, 0}, {}}},
                        {"LegL", {{45, 0, 0}, {}}}, {"LegR", {{45, 0, 0}, {}}}, {"ShinL", {{-60, 0, 0}, {}}},
                        {"ShinR", {{-60, 0, 0}, {}}}, {"ArmL", {{70, 0, 0}, {}}}, {"ArmR", {{70, 0, 0}, {}}}};
    const Pose reachHolding = with(reach, {{"ArmR", {{150, 0, 20}, {}}}});
    const Pose windUp = {{"Chest", {{15, 0, -20}, {}}}, {"ArmL", {{-40, 0, 0}, {}}}, {"ArmR", {{190, 0, 10}, {}}},
                         {"ForearmR", {{40, 0, 0}, {}}}};
    const Pose release = {{"Chest", {{-20, 0, 15}, {}}}, {"ArmL", {{20, 0, 0}, {}}}, {"ArmR", {{80, 0, 0}, {}}},
                          {"LegL", {{20, 0, 0}, {}}}, {"LegR", {{-15, 0, 0}, {}}}};
    auto stepPose = [&](float s) {
        return Pose{{"LegL", {{30 * s, 0, 0}, {}}}, {"LegR", {{-30 * s, 0, 0}, {}}},
                    {"ShinL", {{-20 * (1 - s) * 0.5f - 10, 0, 0}, {}}}, {"ShinR", {{-20 * (1 + s) * 0.5f - 10, 0, 0}, {}}},
                    {"ArmL", {{-25 * s, 0, 0}, {}}}, {"ArmR", {{25 * s, 0, 0}, {}}},
                    {"Hips", {{0, 0, 5 * s}, {0, 0, -0.03f * std::fabs(s)}}}};
    };
    return {
        // 0 jump
        {{0, stand}, {20, crouch}, {40, stretch}, {65, tuck}, {90, stand}},
        // 1 jump holding: the arms stay up
        {{0, armsUp}, {20, with(crouch, armsUp)}, {40, with(stretch, armsUp)}, {65, with(tuck, armsUp)}, {90, armsUp}},
        // 2 death: a slumped loop, slowly swaying
        {{0, slump}, {100, slump2}, {200, slump}},
        // 3 pick-up while holding: one hand down, the other keeps the block up
        {{0, armsUp}, {30, reachHolding}, {55, reachHolding}, {80, armsUp}},
        // 4 pick-up
        {{0, stand}, {30, reach}, {55, reach}, {80, armsUp}},
        // 5 stand
        {{0, breathe(stand, 0.0f, 0.0f)}, {100, breathe(stand, 0.03f, 12.0f)}, {200, breathe(stand, 0.0f, 0.0f)}},
        // 6 walk
        {{0, stepPose(1)}, {40, stepPose(-1)}, {80, stepPose(1)}},
        // 7 throw
        {{0, armsUp}, {20, windUp}, {40, release}, {60, stand}},
        // 8 stand holding
        {{0, breathe(armsUp, 0.0f, 0.0f)}, {100, breathe(armsUp, 0.03f, 12.0f)}, {200, breathe(armsUp, 0.0f, 0.0f)}},
    };
}

const char* const kAnimationNames[] = {"Jump", "JumpHolding", "Death", "PickUpHolding", "PickUp",
                                       "Stand", "Walk", "Throw", "StandHolding"};

XModelOut Character(bool angel) {
    const std::vector<Bone> bones = Skeleton(angel);
    std::map<std::string, Vector3> bind;
    bind["Root"] = {};
    for (const Bone& b : bones) bind[b.name] = b.bind;

    XModelOut model;
    XMat mat;
    mat.diffuse = {1, 1, 1, 1};
    mat.power = 16.0f;
    mat.texture = angel ? "Textures/AngelCharacter.png" : "Textures/DemonCharacter.png";
    model.materials.push_back(mat);

    // One mesh; each part moves with its bone alone.
    XMeshOut mesh;
    std::map<std::string, std::vector<uint32_t>> owned;
    for (const Part& part : Parts(angel)) {
        const bool anchored = std::string(part.bone) == "Halo";
        const Vector3 origin = anchored ? kHaloAnchor : bind[part.bone];
        const uint32_t first = AddBox(mesh, part.lo, part.hi, 0, part.uv, Matrix4x4::Translation(origin) * part.turn);
        for (uint32_t v = first; v < mesh.vertices.size(); ++v) owned[part.bone].push_back(v);
    }
    for (const Bone& b : bones) {
        auto it = owned.find(b.name);
        if (it == owned.end()) continue;  // a bone that moves nothing is left out of the skin
        XSkinWeights w;
        w.bone = b.name;
        w.vertices = it->second;
        w.weights.assign(w.vertices.size(), 1.0f);
        const Vector3 origin = std::string(b.name) == "Halo" ? kHaloAnchor : b.bind;
        w.offset = Matrix4x4::Translation(-origin);
        mesh.skin.push_back(std::move(w));
    }
    model.meshes.push_back(std::move(mesh));

    // Frames: the root holds the body mesh; bones nest by parent.
    std::map<std::string, std::vector<const Bone*>> children;
    for (const Bone& b : bones) children[b.parent].push_back(&b);
    std::function<XFrameOut(const std::string&)> frame = [&](const std::string& name) {
        XFrameOut f;
        f.name = name;
        for (const Bone& b : bones) {
            if (name == b.name) f.local = Matrix4x4::Translation(b.bind - bind[b.parent]);
        }
        for (const Bone* c : children[name]) f.children.push_back(frame(c->name));
        return f;
    };
    model.root = frame("Root");
    model.root.name = "Root";
    XFrameOut body;
    body.name = "Body";
    body.mesh = 0;
    model.root.children.insert(model.root.children.begin(), body);

    model.ticksPerSecond = kTicksPerSecond;
    const auto animations = Animations();
    for (size_t a = 0; a < animations.size(); ++a) {
        XAnimSetOut set;
        set.name = kAnimationNames[a];
        for (const Bone& b : bones) {
            XTrack t;
            t.frame = b.name;
            const Vector3 rest = b.bind - bind[b.parent];
            for (const Keyframe& k : animations[a]) {
                BonePose bp;
                auto it = k.pose.find(b.name);
                if (it != k.pose.end()) bp = it->second;
                t.rotations.push_back({k.tick, Quaternion::FromEuler(bp.turn.x * kDeg, bp.turn.y * kDeg, bp.turn.z * kDeg)});
                t.positions.push_back({k.tick, rest + bp.shift});
            }
            t.scales.push_back({0, Vector3(1, 1, 1)});
            set.tracks.push_back(std::move(t));
        }
        model.animations.push_back(std::move(set));
    }
    return model;
}

// Atlas quarters: cloth (top left), skin (top right), face (bottom left),
// accent (bottom right). Light colours: the team's material tints them.
void Atlas(Canvas& c, bool angel) {
    const float n = static_cast<float>(c.Width()), h = n / 2;
    const Rgba cloth = angel ? Rgba{0.97f, 0.97f, 1.0f, 1} : Rgba{0.45f, 0.42f, 0.42f, 1};
    const Rgba trim = angel ? Rgba{1.0f, 0.82f, 0.35f, 1} : Rgba{0.18f, 0.15f, 0.15f, 1};
    const Rgba skin = angel ? Rgba{1.0f, 0.88f, 0.78f, 1} : Rgba{1.0f, 0.8f, 0.75f, 1};
    const Rgba accent = angel ? Rgba{1.0f, 0.85f, 0.4f, 1} : Rgba{0.2f, 0.17f, 0.17f, 1};
    c.Paint([&](float x, float y) {
        const float grain = (Hash(static_cast<int>(x), static_cast<int>(y), angel ? 51 : 52) - 0.5f) * 0.04f;
        Rgba col;
        if (y < h) {
            col = x < h ? cloth : skin;
            if (x < h && (std::fmod(y, h) < 4.0f || std::fmod(y, h) > h - 4.0f)) col = trim;
        } else {
            col = x < h ? skin : accent;
        }
        return Rgba{col.r + grain, col.g + grain, col.b + grain, 1};
    });
    // The face: eyes and a mouth on the lower-left quarter (its top is the forehead).
    const Rgba eye = angel ? Rgba{0.2f, 0.45f, 0.95f, 1} : Rgba{1.0f, 0.9f, 0.2f, 1};
    const Rgba ink{0.1f, 0.08f, 0.08f, 1};
    for (int side = -1; side <= 1; side += 2) {
        const float ex = h * 0.5f + static_cast<float>(side) * h * 0.2f, ey = h + h * 0.42f;
        if (angel) {
            c.Fill(RoundBox(ex, ey, h * 0.08f, h * 0.1f, h * 0.02f), Rgba{1, 1, 1, 1});
            c.Fill(RoundBox(ex, ey + h * 0.02f, h * 0.05f, h * 0.07f, h * 0.02f), eye);
        } else {
            c.Fill(Polygon({ex - h * 0.1f, ey - static_cast<float>(side) * 0.0f - h * 0.05f, ex + h * 0.1f,
                            ey - h * 0.05f + static_cast<float>(side) * h * 0.06f, ex, ey + h * 0.06f}),
                   eye);
        }
    }
    if (angel) {
        c.Fill(RoundBox(h * 0.5f, h + h * 0.7f, h * 0.12f, h * 0.025f, h * 0.02f), Rgba{0.8f, 0.45f, 0.45f, 1});
    } else {
        c.Fill(Polygon({h * 0.3f, h + h * 0.66f, h * 0.7f, h + h * 0.66f, h * 0.5f, h + h * 0.76f}), ink);
    }
}

}  // namespace

bool GenerateCharacters(const std::string& dataDir) {
    bool ok = true;
    for (int team = 0; team < 2; ++team) {
        const bool angel = team == 0;
        const std::string name = angel ? "AngelCharacter" : "DemonCharacter";
        ok = WriteIfChanged(dataDir + "/Models/" + name + ".x", WriteXText(Character(angel))) && ok;
        Canvas c(128, 128);
        Atlas(c, angel);
        ok = WriteIfChanged(dataDir + "/Textures/" + name + ".png", c.Png(false)) && ok;
    }
    return ok;
}

}  // namespace GenData
