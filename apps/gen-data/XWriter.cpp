#include "XWriter.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace GenData {

using Geometry::Matrix4x4;
using Geometry::Vector3;

std::string XNumber(float v) {
    if (v == 0.0f || !std::isfinite(v)) return "0.0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
    std::string s = buf;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    if (s == "-0.0") s = "0.0";
    return s;
}

namespace {

std::string Vec(const Vector3& v) { return XNumber(v.x) + ";" + XNumber(v.y) + ";" + XNumber(v.z) + ";"; }

// The file keeps matrices in row-vector form: our transpose.
std::string Matrix(const Matrix4x4& m) {
    std::string s;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            s += XNumber(m(c, r));
            s += (r == 3 && c == 3) ? ";;" : ",";
        }
    }
    return s;
}

void WriteMaterial(std::ostringstream& o, const XMat& m, const std::string& name, const std::string& ind) {
    o << ind << "Material " << name << " {\n";
    o << ind << " " << XNumber(m.diffuse.x) << ";" << XNumber(m.diffuse.y) << ";" << XNumber(m.diffuse.z) << ";"
      << XNumber(m.diffuse.w) << ";;\n";
    o << ind << " " << XNumber(m.power) << ";\n";
    o << ind << " " << Vec(m.specular) << ";\n";
    o << ind << " " << Vec(m.emissive) << ";\n";
    if (!m.texture.empty()) o << ind << " TextureFilename {\n" << ind << "  \"" << m.texture << "\";\n" << ind << " }\n";
    o << ind << "}\n";
}

void WriteMesh(std::ostringstream& o, const XMeshOut& m, const std::string& ind) {
    const size_t nv = m.vertices.size(), nt = m.triangles.size();
    o << ind << "Mesh {\n" << ind << " " << nv << ";\n";
    for (size_t i = 0; i < nv; ++i) o << ind << " " << Vec(m.vertices[i].p) << (i + 1 < nv ? ",\n" : ";\n");
    o << ind << " " << nt << ";\n";
    for (size_t i = 0; i < nt; ++i) {
        const auto& t = m.triangles[i];
        o << ind << " 3;" << t[0] << "," << t[1] << "," << t[2] << ";" << (i + 1 < nt ? ",\n" : ";\n");
    }
    o << ind << " MeshNormals {\n" << ind << "  " << nv << ";\n";
    for (size_t i = 0; i < nv; ++i) o << ind << "  " << Vec(m.vertices[i].n) << (i + 1 < nv ? ",\n" : ";\n");
    o << ind << "  " << nt << ";\n";
    for (size_t i = 0; i < nt; ++i) {
        const auto& t = m.triangles[i];
        o << ind << "  3;" << t[0] << "," << t[1] << "," << t[2] << ";" << (i + 1 < nt ? ",\n" : ";\n");
    }
    o << ind << " }\n";
    o << ind << " MeshTextureCoords {\n" << ind << "  " << nv << ";\n";
    for (size_t i = 0; i < nv; ++i) {
        o << ind << "  " << XNumber(m.vertices[i].uv.x) << ";" << XNumber(m.vertices[i].uv.y) << ";"
          << (i + 1 < nv ? ",\n" : ";\n");
    }
    o << ind << " }\n";
    uint32_t materials = 1;
    for (uint32_t t : m.triangleMaterial) materials = std::max(materials, t + 1);
    o << ind << " MeshMaterialList {\n" << ind << "  " << materials << ";\n" << ind << "  " << nt << ";\n";
    for (size_t i = 0; i < nt; ++i) {
        o << ind << "  " << (i < m.triangleMaterial.size() ? m.triangleMaterial[i] : 0) << (i + 1 < nt ? ",\n" : ";\n");
    }
    for (uint32_t i = 0; i < materials; ++i) o << ind << "  {Mat" << i << "}\n";
    o << ind << " }\n";
    if (!m.skin.empty()) {
        o << ind << " XSkinMeshHeader {\n" << ind << "  4;\n" << ind << "  12;\n" << ind << "  " << m.skin.size()
          << ";\n" << ind << " }\n";
        for (const XSkinWeights& s : m.skin) {
            o << ind << " SkinWeights {\n" << ind << "  \"" << s.bone << "\";\n" << ind << "  " << s.vertices.size()
              << ";\n";
            for (size_t i = 0; i < s.vertices.size(); ++i) {
                o << ind << "  " << s.vertices[i] << (i + 1 < s.vertices.size() ? ",\n" : ";\n");
            }
            for (size_t i = 0; i < s.weights.size(); ++i) {
                o << ind << "  " << XNumber(s.weights[i]) << (i + 1 < s.weights.size() ? ",\n" : ";\n");
            }
            o << ind << "  " << Matrix(s.offset) << "\n" << ind << " }\n";
        }
    }
    o << ind << "}\n";
}

void WriteFrame(std::ostringstream& o, const XModelOut& model, const XFrameOut& f, const std::string& ind) {
    o << ind << "Frame " << f.name << " {\n";
    o << ind << " FrameTransformMatrix {\n" << ind << "  " << Matrix(f.local) << "\n" << ind << " }\n";
    if (f.mesh >= 0) WriteMesh(o, model.meshes[static_cast<size_t>(f.mesh)], ind + " ");
    for (const XFrameOut& c : f.children) WriteFrame(o, model, c, ind + " ");
    o << ind << "}\n";
}

template <typename Keys, typename Fn>
void WriteKeys(std::ostringstream& o, int type, const Keys& keys, Fn value) {
    if (keys.empty()) return;
    o << "  AnimationKey {\n   " << type << ";\n   " << keys.size() << ";\n";
    for (size_t i = 0; i < keys.size(); ++i) {
        o << "   " << keys[i].first << ";" << value(keys[i].second) << ";;" << (i + 1 < keys.size() ? ",\n" : ";\n");
    }
    o << "  }\n";
}

}  // namespace

std::string WriteXText(const XModelOut& model) {
    std::ostringstream o;
    o << "xof 0303txt 0032\n\n";
    for (size_t i = 0; i < model.materials.size(); ++i) WriteMaterial(o, model.materials[i], "Mat" + std::to_string(i), "");
    if (!model.animations.empty()) o << "\nAnimTicksPerSecond {\n " << model.ticksPerSecond << ";\n}\n";
    o << "\n";
    WriteFrame(o, model, model.root, "");
    for (const XAnimSetOut& set : model.animations) {
        o << "\nAnimationSet " << set.name << " {\n";
        for (const XTrack& t : set.tracks) {
            o << " Animation {\n  {" << t.frame << "}\n";
            // The importer reads rotation keys as stored conjugated.
            WriteKeys(o, 0, t.rotations, [](const Geometry::Quaternion& q) {
                return "4;" + XNumber(q.w) + "," + XNumber(-q.x) + "," + XNumber(-q.y) + "," + XNumber(-q.z);
            });
            WriteKeys(o, 1, t.scales, [](const Vector3& v) {
                return "3;" + XNumber(v.x) + "," + XNumber(v.y) + "," + XNumber(v.z);
            });
            WriteKeys(o, 2, t.positions, [](const Vector3& v) {
                return "3;" + XNumber(v.x) + "," + XNumber(v.y) + "," + XNumber(v.z);
            });
            o << " }\n";
        }
        o << "}\n";
    }
    return o.str();
}

uint32_t AddBox(XMeshOut& mesh, const Vector3& lo, const Vector3& hi, uint32_t material, const BoxUv& uv,
                const Matrix4x4& m) {
    // Per face: outward normal, then the directions that are right and up on
    // it seen from outside; corners 0..3 are top left, top right, bottom
    // left, bottom right; triangles (0, 2, 1) and (2, 3, 1) face outwards.
    static const Vector3 kFaces[6][3] = {
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
        {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    const Vector3 centre = (lo + hi) * 0.5f, half = (hi - lo) * 0.5f;
    auto mul = [](const Vector3& a, const Vector3& b) { return Vector3(a.x * b.x, a.y * b.y, a.z * b.z); };
    auto absv = [](const Vector3& a) { return Vector3(std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)); };
    const uint32_t first = static_cast<uint32_t>(mesh.vertices.size());
    for (int f = 0; f < 6; ++f) {
        const Vector3 &n = kFaces[f][0], &r = kFaces[f][1], &u = kFaces[f][2];
        const Vector3 c = centre + mul(n, half), hr = mul(r, half), hu = mul(u, half);
        UvRect rect = uv.faces[static_cast<size_t>(f)];
        if (uv.tiling > 0.0f) {
            rect = {0.0f, 0.0f, 2.0f * absv(hr).Length() * uv.tiling, 2.0f * absv(hu).Length() * uv.tiling};
        }
        const Vector3 corners[4] = {c - hr + hu, c + hr + hu, c - hr - hu, c + hr - hu};
        const Geometry::Vector2 uvs[4] = {{rect.u0, rect.v0}, {rect.u1, rect.v0}, {rect.u0, rect.v1}, {rect.u1, rect.v1}};
        const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
        for (int k = 0; k < 4; ++k) {
            XVert v;
            v.p = Geometry::TransformCoord(corners[k], m);
            v.n = (m * Geometry::Vector4(n, 0.0f)).XYZ().Normalized();
            v.uv = uvs[k];
            mesh.vertices.push_back(v);
        }
        mesh.triangles.push_back({base, base + 2, base + 1});
        mesh.triangles.push_back({base + 2, base + 3, base + 1});
        mesh.triangleMaterial.push_back(material);
        mesh.triangleMaterial.push_back(material);
    }
    return first;
}

}  // namespace GenData
