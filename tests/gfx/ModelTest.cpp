// Models by tag: the bounding box record, the box and instanced geometry,
// mesh files, buffer appends that wrap, limits of 16-bit indices, and a
// box drawn to a model's bounds and instanced copies drawn in one call,
// read back from the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "GfxTestSupport.h"
#include "gfx/Effect.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "platform/GLBuffer.h"

using GfxTest::RgbNear;
using Geometry::Vector3;

TEST(BoundingBoxRecord, ScaleMakesASymmetricBoxWithTheFullDiagonal) {
    Gfx::BoundingBox b;
    EXPECT_EQ(b.radius, 0.0f);
    b.Scale({2, 4, 6});
    EXPECT_EQ(b.minCorner, Vector3(-1, -2, -3));
    EXPECT_EQ(b.maxCorner, Vector3(1, 2, 3));
    EXPECT_FLOAT_EQ(b.radius, 2.0f * std::sqrt(14.0f));
    b.Scale({1, 1, 1});
    EXPECT_EQ(b.maxCorner, Vector3(1, 2, 3)) << "scaling again scales the scaled box";
}

TEST(BoxGeometry, FacesInOrderWithTheirTiling) {
    std::vector<Gfx::MeshVertex> v;
    std::vector<uint16_t> idx;
    Gfx::BuildBoxGeometry(4.0f, v, idx);
    ASSERT_EQ(v.size(), 24u);
    ASSERT_EQ(idx.size(), 36u);
    for (int f = 0; f < 6; ++f) {
        std::set<float> us;
        for (int k = 0; k < 4; ++k) us.insert(v[static_cast<size_t>(4 * f + k)].tex[0]);
        EXPECT_EQ(us, (std::set<float>{0.0f, 4.0f})) << "face " << f;
        EXPECT_EQ(idx[static_cast<size_t>(6 * f)], 4 * f);
        EXPECT_EQ(idx[static_cast<size_t>(6 * f + 1)], 4 * f + 2);
        EXPECT_EQ(idx[static_cast<size_t>(6 * f + 5)], 4 * f + 1);
        // Every triangle faces out: (b - a) x (c - a) along the face normal.
        for (int t = 0; t < 2; ++t) {
            auto p = [&](int i) {
                const float* q = v[idx[static_cast<size_t>(6 * f + 3 * t + i)]].position;
                return Vector3(q[0], q[1], q[2]);
            };
            const Vector3 e1 = p(1) - p(0), e2 = p(2) - p(0);
            const Vector3 n(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
            const float* fn = v[static_cast<size_t>(4 * f)].normal;
            EXPECT_GT(n.x * fn[0] + n.y * fn[1] + n.z * fn[2], 0.0f) << "face " << f;
        }
    }
    EXPECT_EQ(v[0].position[0], -5.0f);
    EXPECT_EQ(v[0].position[1], 5.0f);
    EXPECT_EQ(v[23].position[2], -5.0f);
}

TEST(InstanceGeometry, CopiesCarryTheirIndex) {
    std::vector<Gfx::MeshVertex> v;
    std::vector<uint16_t> idx;
    Gfx::BuildBoxGeometry(1.0f, v, idx);
    std::vector<Gfx::InstanceVertex> iv;
    std::vector<uint16_t> ii;
    Gfx::BuildInstanceGeometry(v.data(), 24, idx.data(), 36, 45, iv, ii);
    ASSERT_EQ(iv.size(), 1080u);
    ASSERT_EQ(ii.size(), 1620u);
    EXPECT_EQ(iv[0].instance, 0.0f);
    EXPECT_EQ(iv[1079].instance, 44.0f);
    EXPECT_EQ(ii[36], 24 + idx[0]);
    EXPECT_EQ(ii[1619], 44 * 24 + idx[35]);
}

class ModelGL : public GfxTest::Engine {};

TEST_F(ModelGL, DynamicIndexAppendsWrapBeforeTheEnd) {
    auto vb = Gfx::CreateVertexBuffer(*core, 400, core->GetParticleDecl(), sizeof(Gfx::ParticleVertex), true);
    auto ib = Gfx::CreateIndexBuffer(*core, 600, true, vb);
    ASSERT_TRUE(ib);
    std::vector<uint16_t> indices(150 * 3, 7);
    ASSERT_EQ(ib->Append(indices, 150), 0);
    EXPECT_EQ(ib->writePosition, 150);
    std::vector<uint16_t> batch(50 * 3);
    for (size_t i = 0; i < batch.size(); ++i) batch[i] = static_cast<uint16_t>(i + 1);
    ASSERT_EQ(ib->Append(batch, 49), 150) << "ends before the capacity";
    uint16_t got = 0;
    ASSERT_TRUE(ib->buffer->Read(900, 2, &got));
    EXPECT_EQ(got, 1);
    EXPECT_EQ(vb->primitiveCount, 49);
    EXPECT_EQ(ib->indexCount, 147);
    ib->writePosition = 150;
    EXPECT_EQ(ib->Append(batch, 50), 0) << "200 x 3 reaches the capacity: wraps";
    ASSERT_TRUE(ib->buffer->Read(0, 2, &got));
    EXPECT_EQ(got, 1);
    EXPECT_EQ(ib->writePosition, 50);
    EXPECT_EQ(ib->Append(std::vector<uint16_t>(603), 201), -1) << "more than the buffer holds";

    // Particle vertices: two per primitive, the same wrap.
    std::vector<Gfx::ParticleVertex> quads(8);
    EXPECT_EQ(vb->Append(quads.data(), 4), 0);
    EXPECT_EQ(vb->Append(quads.data(), 4), 4);
    EXPECT_EQ(vb->vertexCount, 8);
    vb->writePosition = 196;
    EXPECT_EQ(vb->Append(quads.data(), 4), 0) << "(196 + 4) x 2 reaches 400 vertices";
}

TEST_F(ModelGL, MeshModelsInstancesAndLimits) {
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    const std::string block = "Models/Block.x";
    if (!std::filesystem::exists(block)) GTEST_SKIP() << "the art pack is not generated";
    ASSERT_TRUE(engine->LoadMeshModel(block, 0));
    std::shared_ptr<Gfx::IModel> mesh;
    ASSERT_TRUE(sm->RequestModel(0, mesh));
    // A unit mesh: box corners at a quarter of its extent, radius half its diagonal.
    EXPECT_EQ(mesh->box.maxCorner, Vector3(0.25f, 0.25f, 0.25f));
    EXPECT_FLOAT_EQ(mesh->box.radius, std::sqrt(0.75f));
    const Gfx::MeshVertex* v = nullptr;
    int count = 0;
    ASSERT_TRUE(mesh->LockVertices(v, count));
    EXPECT_EQ(count, 24);
    // Normals computed from the triangles are unit length.
    EXPECT_NEAR(v[0].normal[0] * v[0].normal[0] + v[0].normal[1] * v[0].normal[1] + v[0].normal[2] * v[0].normal[2],
                1.0f, 1e-5f);

    ASSERT_TRUE(engine->LoadInstanceModel(0, 45, 8));
    std::shared_ptr<Gfx::IModel> inst;
    ASSERT_TRUE(sm->RequestModel(8, inst));
    EXPECT_EQ(inst->GetIndexCount(), 36);
    auto& iv = static_cast<Gfx::ModelIVBuffer&>(*inst);
    EXPECT_EQ(iv.Indices()->vertices->vertexCount, 1080);
    EXPECT_EQ(iv.Indices()->vertices->primitiveCount, 12) << "a plain draw draws copy 0";

    GfxTest::LogCapture log;
    EXPECT_FALSE(engine->LoadInstanceModel(0, 3000, 9)) << "3000 x 24 vertices do not fit 16-bit indices";
    EXPECT_FALSE(sm->Models().count(9));
    EXPECT_FALSE(engine->LoadInstanceModel(6, 45, 10)) << "no source model 6";
    EXPECT_TRUE(log.Has("StateMan::RequestModel: Model with tag 6 cannot be found"));
    ASSERT_TRUE(engine->LoadBoxModel(1.0f, 6));
    EXPECT_FALSE(engine->LoadInstanceModel(6, 45, 10)) << "a box model has no vertices to copy";
    EXPECT_TRUE(log.Has("GfxEngine::LoadInstanceModel: Could not get vertices from model 10"));
    EXPECT_FALSE(engine->LoadParticleBuffer(20000, 11)) << "80000 vertices do not fit 16-bit indices";
    EXPECT_FALSE(engine->LoadMeshModel("Models/Missing.x", 12));
    EXPECT_FALSE(sm->Models().count(12)) << "a model without its mesh is never registered";
    EXPECT_TRUE(log.Has("Models/Missing.x"));
    EXPECT_FLOAT_EQ(sm->Models().at(6)->box.radius, std::sqrt(300.0f));
}

namespace {
const char* kFlat = R"(shared float3 mDiffuse = 1 1 1
param float4x4 WorldViewProj : WORLDVIEWPROJ
vertex vs
in vec3 inPosition;
void main() { gl_Position = WorldViewProj * vec4(inPosition, 1.0); }
end
fragment fs
out vec4 outColor;
void main() { outColor = vec4(mDiffuse, 1.0); }
end
technique Flat_NoTexture
  pass
    vertex vs
    fragment fs
    blend off
    depthtest off
    cull none
  end
end
)";
}  // namespace

TEST_F(ModelGL, BoundingBoxAndInstancedCopiesDrawnAndReadBack) {
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!std::filesystem::exists("Models/Block.x")) GTEST_SKIP() << "the art pack is not generated";
    ASSERT_TRUE(engine->LoadMeshModel("Models/Block.x", 0));
    ASSERT_TRUE(engine->LoadBoxModel(1.0f, 6));
    ASSERT_TRUE(engine->LoadInstanceModel(0, 45, 8));
    core->SetClearColor(0.0f, 0.0f, 0.0f);
    // Camera: clip = 2 x world, so the block's box (+-0.25) covers the middle half.
    Gfx::CameraParams cam;
    cam.viewProjection(0, 0) = 2.0f;
    cam.viewProjection(1, 1) = 2.0f;
    cam.viewProjection(2, 2) = 0.1f;
    engine->SetCameraParams(cam);

    std::string error;
    auto flat = Gfx::Effect::FromText(kFlat, "flat", 50, &sm->Pool(), &error);
    ASSERT_TRUE(flat) << error;
    const Gfx::BoundingBox box = sm->Models().at(0)->box;
    Gfx::GfxState s;
    s.effect = flat;
    s.model = sm->Models().at(6);
    s.technique = "Flat";
    s.material = sm->LoadMaterial(1, {}, {}, {1, 1, 0}, 0);
    // The 10-unit cube scaled to the model's box.
    Geometry::Matrix4x4 world;
    world(0, 0) = box.maxCorner.x * 2.0f / 10.0f;
    world(1, 1) = box.maxCorner.y * 2.0f / 10.0f;
    world(2, 2) = box.maxCorner.z * 2.0f / 10.0f;
    auto frame = Frame([&] {
        sm->SetState(s);
        flat->SetObjectParameters(world, box.radius);
        sm->BeginPass(0);
        s.model->Draw(core->GetDevice());
        sm->EndState();
    });
    GfxTest::DumpFrame(frame, kSize, "bounding_box");
    EXPECT_TRUE(RgbNear(Pixel(frame, 32, 32), {255, 255, 0}, 1));
    EXPECT_TRUE(RgbNear(Pixel(frame, 17, 46), {255, 255, 0}, 1)) << "inside the box's corner";
    EXPECT_TRUE(RgbNear(Pixel(frame, 14, 32), {0, 0, 0}, 1)) << "left of the box";
    EXPECT_TRUE(RgbNear(Pixel(frame, 32, 50), {0, 0, 0}, 1)) << "below the box";

    // Three copies of the block in one draw call, placed and coloured by the arrays.
    auto inst = sm->LoadEffect(4, "Effects/Instanced.fx");
    ASSERT_TRUE(inst);
    cam.viewProjection = Geometry::Matrix4x4::Identity();
    cam.viewProjection(2, 2) = 0.1f;
    engine->SetCameraParams(cam);
    const Geometry::Vector4 pos[3] = {{-0.6f, 0, 0, 0}, {0, 0, 0, 0}, {0.6f, 0, 0, 0}};
    const Geometry::Vector4 scale[3] = {{0.3f, 0.3f, 0.3f, 0}, {0.3f, 0.3f, 0.3f, 0}, {0.3f, 0.3f, 0.3f, 0}};
    const Geometry::Vector4 turn[3] = {{1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}};
    const Geometry::Vector4 colour[3] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    Gfx::GfxState is;
    is.effect = inst;
    is.model = sm->Models().at(8);
    is.technique = "Instanced";
    is.material = s.material;
    frame = Frame([&] {
        sm->SetState(is);
        inst->SetVectorArray("PositionArray", pos, 3);
        inst->SetVectorArray("ScaleArray", scale, 3);
        inst->SetVectorArray("OrientationArray", turn, 3);
        inst->SetVectorArray("ColorArray", colour, 3);
        sm->BeginPass(0);
        is.model->DrawRange(0, is.model->GetIndexCount() * 3 / 3, core->GetDevice());
        sm->EndState();
    });
    GfxTest::DumpFrame(frame, kSize, "instanced");
    const int xs[3] = {13, 32, 51};
    for (int k = 0; k < 3; ++k) {
        const std::vector<int> p = Pixel(frame, xs[k], 32);
        ASSERT_EQ(p.size(), 3u);
        EXPECT_GT(p[static_cast<size_t>(k)], 60) << "copy " << k;
        EXPECT_LT(p[static_cast<size_t>((k + 1) % 3)] + p[static_cast<size_t>((k + 2) % 3)], 20) << "copy " << k;
    }
    EXPECT_TRUE(RgbNear(Pixel(frame, 22, 32), {0, 0, 0}, 1)) << "between the copies";
    EXPECT_TRUE(RgbNear(Pixel(frame, 32, 10), {0, 0, 0}, 1));
}
