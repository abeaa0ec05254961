#include "gfx/XFileLoader.h"

#include "gfx/XFileCheck.h"

#include <algorithm>
#include <cmath>
#include <cfloat>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

namespace Gfx {

namespace {

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector2;
using Geometry::Vector3;

// Ticks per second of a file that does not say (the format's own default).
constexpr double kDefaultTicksPerSecond = 4800.0;
// Influences below this are noise from the exporter and dropped.
constexpr float kMinWeight = 1e-6f;

bool Finite(float v) { return std::isfinite(v); }
bool Finite(const aiVector3D& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }

bool ToMatrix(const aiMatrix4x4& a, Matrix4x4& out) {
    // Both are row-major and multiply column vectors, translation in the last column.
    const float src[16] = {a.a1, a.a2, a.a3, a.a4, a.b1, a.b2, a.b3, a.b4,
                           a.c1, a.c2, a.c3, a.c4, a.d1, a.d2, a.d3, a.d4};
    for (int i = 0; i < 16; ++i) {
        if (!Finite(src[i])) return false;
        out.m[i] = src[i];
    }
    return true;
}

Vector3 ToVector(const aiVector3D& v) { return {v.x, v.y, v.z}; }

std::string SlashPath(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

class Builder {
public:
    Builder(const aiScene& scene, XScene& out, std::string& error) : m_scene(scene), m_out(out), m_error(error) {}

    bool Build() {
        if (!m_scene.mRootNode) return Fail("no frames");
        if (!AddFrame(*m_scene.mRootNode, -1, 0)) return false;
        if (!AddMaterials()) return false;
        for (size_t f = 0; f < m_out.frames.size(); ++f) {
            if (!AddMeshes(static_cast<int>(f))) return false;
        }
        if (!AddAnimations()) return false;
        if (m_out.meshes.empty() && m_out.frames.size() <= 1 && m_out.animations.empty()) return Fail("nothing in it");
        return true;
    }

private:
    bool Fail(const std::string& why) {
        m_error = why;
        return false;
    }

    bool AddFrame(const aiNode& node, int parent, int depth) {
        // Deep enough for any character; a deeper one is malformed input that
        // would otherwise exhaust the stack.
        if (depth > 256) return Fail("frame hierarchy too deep");
        const int index = static_cast<int>(m_out.frames.size());
        XFrame frame;
        frame.name = node.mName.C_Str();
        frame.parent = parent;
        if (!ToMatrix(node.mTransformation, frame.local)) return Fail("frame '" + frame.name + "' has a bad matrix");
        m_out.frames.push_back(std::move(frame));
        m_nodes.push_back(&node);
        if (parent >= 0) m_out.frames[static_cast<size_t>(parent)].children.push_back(index);
        for (unsigned c = 0; c < node.mNumChildren; ++c) {
            if (!node.mChildren[c]) continue;
            if (!AddFrame(*node.mChildren[c], index, depth + 1)) return false;
        }
        return true;
    }

    bool AddMaterials() {
        for (unsigned i = 0; i < m_scene.mNumMaterials; ++i) {
            const aiMaterial* m = m_scene.mMaterials[i];
            XMaterial x;
            if (m) {
                aiColor4D c;
                if (m->Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS) x.diffuse = {c.r, c.g, c.b, c.a};
                float opacity = 1.0f;
                if (m->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) x.diffuse.w = opacity;
                aiColor3D s;
                if (m->Get(AI_MATKEY_COLOR_SPECULAR, s) == AI_SUCCESS) x.specular = {s.r, s.g, s.b};
                aiColor3D e;
                if (m->Get(AI_MATKEY_COLOR_EMISSIVE, e) == AI_SUCCESS) x.emissive = {e.r, e.g, e.b};
                float power = 0.0f;
                if (m->Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) x.power = power;
                aiString tex;
                if (m->GetTextureCount(aiTextureType_DIFFUSE) > 0 &&
                    m->GetTexture(aiTextureType_DIFFUSE, 0, &tex) == AI_SUCCESS) {
                    x.texture = SlashPath(tex.C_Str());
                }
            }
            m_out.materials.push_back(std::move(x));
        }
        if (m_out.materials.empty()) m_out.materials.emplace_back();
        return true;
    }

    // The importer splits a mesh by material; the pieces of one frame are put
    // back together, one subset per piece.
    bool AddMeshes(int frameIndex) {
        const aiNode& node = *m_nodes[static_cast<size_t>(frameIndex)];
        if (node.mNumMeshes == 0) return true;
        XMesh mesh;
        mesh.name = m_out.frames[static_cast<size_t>(frameIndex)].name;
        mesh.frame = frameIndex;
        std::map<std::string, int> boneByName;
        // Per vertex, every influence found (bone, weight).
        std::vector<std::vector<std::pair<int, float>>> influences;
        bool anySkin = false;
        for (unsigned k = 0; k < node.mNumMeshes; ++k) {
            if (node.mMeshes[k] >= m_scene.mNumMeshes) return Fail("frame '" + mesh.name + "' names a missing mesh");
            const aiMesh* am = m_scene.mMeshes[node.mMeshes[k]];
            if (!am || !am->mVertices) continue;
            const uint32_t base = static_cast<uint32_t>(mesh.positions.size());
            if (static_cast<size_t>(base) + am->mNumVertices > 0xFFFFFFu) return Fail("mesh '" + mesh.name + "' too large");
            const aiVector3D* uv = am->HasTextureCoords(0) ? am->mTextureCoords[0] : nullptr;
            for (unsigned v = 0; v < am->mNumVertices; ++v) {
                if (!Finite(am->mVertices[v])) return Fail("mesh '" + mesh.name + "' has a bad position");
                mesh.positions.push_back(ToVector(am->mVertices[v]));
                Vector3 n;
                if (am->mNormals && Finite(am->mNormals[v])) n = ToVector(am->mNormals[v]).Normalized();
                mesh.normals.push_back(n);
                Vector2 t;
                if (uv && Finite(uv[v])) t = {uv[v].x, uv[v].y};
                mesh.uvs.push_back(t);
            }
            XSubset subset;
            subset.material = am->mMaterialIndex < m_out.materials.size() ? static_cast<int>(am->mMaterialIndex) : 0;
            subset.firstIndex = static_cast<uint32_t>(mesh.indices.size());
            for (unsigned f = 0; f < am->mNumFaces; ++f) {
                const aiFace& face = am->mFaces[f];
                if (face.mNumIndices != 3) continue;  // points and lines are not drawn
                for (int i = 0; i < 3; ++i) {
                    if (face.mIndices[i] >= am->mNumVertices) return Fail("mesh '" + mesh.name + "' has a bad index");
                    mesh.indices.push_back(base + face.mIndices[i]);
                }
            }
            subset.indexCount = static_cast<uint32_t>(mesh.indices.size()) - subset.firstIndex;
            if (subset.indexCount > 0) {
                // Consecutive pieces of one material make one subset.
                if (!mesh.subsets.empty() && mesh.subsets.back().material == subset.material &&
                    mesh.subsets.back().firstIndex + mesh.subsets.back().indexCount == subset.firstIndex) {
                    mesh.subsets.back().indexCount += subset.indexCount;
                } else {
                    mesh.subsets.push_back(subset);
                }
            }
            influences.resize(mesh.positions.size());
            for (unsigned b = 0; b < am->mNumBones; ++b) {
                const aiBone* ab = am->mBones[b];
                if (!ab) continue;
                anySkin = true;
                const std::string name = ab->mName.C_Str();
                auto it = boneByName.find(name);
                if (it == boneByName.end()) {
                    XBone bone;
                    bone.name = name;
                    bone.frame = m_out.FindFrame(name);
                    // The importer accepts a bone without a frame; it could never move.
                    if (bone.frame < 0) return Fail("bone '" + name + "' names no frame");
                    if (!ToMatrix(ab->mOffsetMatrix, bone.offset)) return Fail("bone '" + name + "' has a bad offset");
                    it = boneByName.emplace(name, static_cast<int>(mesh.bones.size())).first;
                    mesh.bones.push_back(std::move(bone));
                }
                for (unsigned w = 0; w < ab->mNumWeights; ++w) {
                    const aiVertexWeight& vw = ab->mWeights[w];
                    if (vw.mVertexId >= am->mNumVertices) return Fail("bone '" + name + "' weights a missing vertex");
                    if (!Finite(vw.mWeight) || vw.mWeight <= kMinWeight) continue;
                    influences[base + vw.mVertexId].emplace_back(it->second, vw.mWeight);
                }
            }
        }
        if (mesh.indices.empty()) return true;
        if (anySkin && !BuildWeights(mesh, influences)) return false;
        m_out.frames[static_cast<size_t>(frameIndex)].meshes.push_back(static_cast<int>(m_out.meshes.size()));
        m_out.meshes.push_back(std::move(mesh));
        return true;
    }

    // At most four influences per vertex, the strongest, summing to 1. A
    // vertex no bone weights follows the mesh's own frame.
    bool BuildWeights(XMesh& mesh, std::vector<std::vector<std::pair<int, float>>>& influences) {
        int ownFrameBone = -1;
        mesh.boneIndices.assign(mesh.positions.size(), {0, 0, 0, 0});
        mesh.boneWeights.assign(mesh.positions.size(), {0.0f, 0.0f, 0.0f, 0.0f});
        for (size_t v = 0; v < mesh.positions.size(); ++v) {
            auto& list = influences[v];
            if (list.empty()) {
                if (ownFrameBone < 0) {
                    XBone bone;
                    bone.name = m_out.frames[static_cast<size_t>(mesh.frame)].name;
                    bone.frame = mesh.frame;
                    ownFrameBone = static_cast<int>(mesh.bones.size());
                    mesh.bones.push_back(std::move(bone));
                }
                list.emplace_back(ownFrameBone, 1.0f);
            }
            // One bone named twice for a vertex counts once, with the sum.
            std::sort(list.begin(), list.end());
            std::vector<std::pair<int, float>> merged;
            for (const auto& p : list) {
                if (!merged.empty() && merged.back().first == p.first) merged.back().second = std::min(merged.back().second + p.second, FLT_MAX);
                else merged.push_back(p);
            }
            std::stable_sort(merged.begin(), merged.end(),
                             [](const auto& a, const auto& b) { return a.second > b.second; });
            if (merged.size() > kMaxVertexInfluences) merged.resize(kMaxVertexInfluences);
            // Relative to the strongest first, so huge weights cannot overflow the sum.
            const float strongest = merged.front().second;
            float sum = 0.0f;
            for (auto& p : merged) sum += (p.second /= strongest);
            for (size_t i = 0; i < merged.size(); ++i) {
                mesh.boneIndices[v][i] = static_cast<uint8_t>(merged[i].first);
                mesh.boneWeights[v][i] = merged[i].second / sum;
            }
        }
        if (mesh.bones.size() > 256) return Fail("mesh '" + mesh.name + "' has more than 256 bones");
        return true;
    }

    bool AddAnimations() {
        for (unsigned a = 0; a < m_scene.mNumAnimations; ++a) {
            const aiAnimation* an = m_scene.mAnimations[a];
            if (!an) continue;
            XAnimationSet set;
            set.name = an->mName.C_Str();
            set.ticksPerSecond = an->mTicksPerSecond > 0.0 && std::isfinite(an->mTicksPerSecond)
                                     ? an->mTicksPerSecond
                                     : kDefaultTicksPerSecond;
            for (unsigned c = 0; c < an->mNumChannels; ++c) {
                const aiNodeAnim* ch = an->mChannels[c];
                if (!ch) continue;
                XChannel x;
                x.frameName = ch->mNodeName.C_Str();
                x.frame = m_out.FindFrame(x.frameName);
                if (x.frame < 0) continue;  // animates nothing we have
                const XFrame& rest = m_out.frames[static_cast<size_t>(x.frame)];
                for (unsigned k = 0; k < ch->mNumPositionKeys; ++k) {
                    const aiVectorKey& key = ch->mPositionKeys[k];
                    if (!std::isfinite(key.mTime) || !Finite(key.mValue)) return Fail("bad key in '" + set.name + "'");
                    x.positions.push_back({key.mTime, ToVector(key.mValue)});
                }
                for (unsigned k = 0; k < ch->mNumRotationKeys; ++k) {
                    const aiQuatKey& key = ch->mRotationKeys[k];
                    const Quaternion q(key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z);
                    if (!std::isfinite(key.mTime) || !q.IsFinite()) return Fail("bad key in '" + set.name + "'");
                    x.rotations.push_back({key.mTime, q.SafeNormalized()});
                }
                for (unsigned k = 0; k < ch->mNumScalingKeys; ++k) {
                    const aiVectorKey& key = ch->mScalingKeys[k];
                    if (!std::isfinite(key.mTime) || !Finite(key.mValue)) return Fail("bad key in '" + set.name + "'");
                    x.scales.push_back({key.mTime, ToVector(key.mValue)});
                }
                auto byTime = [](const auto& l, const auto& r) { return l.time < r.time; };
                std::stable_sort(x.positions.begin(), x.positions.end(), byTime);
                std::stable_sort(x.rotations.begin(), x.rotations.end(), byTime);
                std::stable_sort(x.scales.begin(), x.scales.end(), byTime);
                // A list without keys holds the frame's rest pose.
                if (x.positions.empty()) x.positions.push_back({0.0, {rest.local(0, 3), rest.local(1, 3), rest.local(2, 3)}});
                if (x.rotations.empty() || x.scales.empty()) {
                    Vector3 s;
                    Quaternion r;
                    DecomposeRest(rest.local, s, r);
                    if (x.rotations.empty()) x.rotations.push_back({0.0, r});
                    if (x.scales.empty()) x.scales.push_back({0.0, s});
                }
                set.lastKeyTicks = std::max({set.lastKeyTicks, x.positions.back().time, x.rotations.back().time,
                                             x.scales.back().time});
                set.channels.push_back(std::move(x));
            }
            m_out.animations.push_back(std::move(set));
        }
        return true;
    }

    static void DecomposeRest(const Matrix4x4& m, Vector3& scale, Quaternion& rotation) {
        Vector3 c[3];
        for (int j = 0; j < 3; ++j) c[j] = {m(0, j), m(1, j), m(2, j)};
        scale = {c[0].Length(), c[1].Length(), c[2].Length()};
        Geometry::Matrix3x3 r;
        for (int j = 0; j < 3; ++j) {
            const float s = scale[j] > 0.0f ? scale[j] : 1.0f;
            for (int i = 0; i < 3; ++i) r(i, j) = c[j][i] / s;
        }
        rotation = Quaternion::FromMatrix(r).SafeNormalized();
    }

    const aiScene& m_scene;
    XScene& m_out;
    std::string& m_error;
    std::vector<const aiNode*> m_nodes;
};

}  // namespace

int XScene::FindFrame(const std::string& name) const {
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool XScene::HasSkin() const {
    for (const auto& m : meshes) {
        if (m.IsSkinned()) return true;
    }
    return false;
}

std::vector<Geometry::Matrix4x4> XScene::CombinedTransforms() const {
    std::vector<Matrix4x4> out(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const int p = frames[i].parent;
        out[i] = p >= 0 ? out[static_cast<size_t>(p)] * frames[i].local : frames[i].local;
    }
    return out;
}

bool LoadXFileFromMemory(const void* data, size_t size, XScene& out, std::string* error, const std::string& hint) {
    out = XScene{};
    std::string why;
    // The importer trusts the file's counts; only a file that passed the
    // strict check reaches it.
    if (CheckXText(static_cast<const char*>(data), size, why)) {
        Assimp::Importer importer;
        // Keep the file's own left-handed positions, texture coordinates and
        // winding; the importer would otherwise mirror all three.
        const unsigned flags = aiProcess_ConvertToLeftHanded | aiProcess_Triangulate | aiProcess_LimitBoneWeights |
                               aiProcess_JoinIdenticalVertices | aiProcess_ValidateDataStructure;
        const aiScene* scene = importer.ReadFileFromMemory(data, size, flags, "x");
        if (!scene) {
            why = importer.GetErrorString();
            if (why.empty()) why = "cannot be read";
        } else {
            Builder builder(*scene, out, why);
            if (builder.Build()) return true;
        }
    }
    out = XScene{};
    if (error) *error = hint + ": " + why;
    return false;
}

bool LoadXFile(const std::string& path, XScene& out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out = XScene{};
        if (error) *error = path + ": cannot be opened";
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return LoadXFileFromMemory(bytes.data(), bytes.size(), out, error, path);
}

}  // namespace Gfx
