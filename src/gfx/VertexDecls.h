// The three vertex formats of the engine and their layouts: meshes (BOX
// models), particles (PBUFF models) and instanced meshes (INST models).
#pragma once

#include <memory>

namespace Platform {
class VertexLayout;
}

namespace Gfx {

struct MeshVertex {
    float position[3];
    float normal[3];
    float tex[2];
};
static_assert(sizeof(MeshVertex) == 32, "mesh vertex is 32 bytes");

struct ParticleVertex {
    float position[3];
    float color[4];
    float tex0[2];
    float tex1[2];
    float tex2[3];
    float tex3[2];
};
static_assert(sizeof(ParticleVertex) == 64, "particle vertex is 64 bytes");

struct InstanceVertex {
    float position[3];
    float normal[3];
    float tex[2];
    float instance;  // the instance index
};
static_assert(sizeof(InstanceVertex) == 36, "instance vertex is 36 bytes");

using VertexDecl = std::shared_ptr<Platform::VertexLayout>;

VertexDecl CreateMeshVertexDecl();
VertexDecl CreateParticleVertexDecl();
VertexDecl CreateInstanceVertexDecl();

}  // namespace Gfx
