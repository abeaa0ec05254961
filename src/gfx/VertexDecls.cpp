#include "gfx/VertexDecls.h"

#include <vector>

#include "gfx/D3D9Core.h"
#include "platform/GLVertexLayout.h"

namespace Gfx {

using Platform::VertexElement;
using Platform::VertexUsage;

VertexDecl CreateMeshVertexDecl() {
    return D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Position, 0},
                                       {12, 3, VertexUsage::Normal, 0},
                                       {24, 2, VertexUsage::TexCoord, 0}},
                                      sizeof(MeshVertex));
}

VertexDecl CreateParticleVertexDecl() {
    return D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Position, 0},
                                       {12, 4, VertexUsage::Color, 0},
                                       {28, 2, VertexUsage::TexCoord, 0},
                                       {36, 2, VertexUsage::TexCoord, 1},
                                       {44, 3, VertexUsage::TexCoord, 2},
                                       {56, 2, VertexUsage::TexCoord, 3}},
                                      sizeof(ParticleVertex));
}

VertexDecl CreateInstanceVertexDecl() {
    return D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Position, 0},
                                       {12, 3, VertexUsage::Normal, 0},
                                       {24, 2, VertexUsage::TexCoord, 0},
                                       {32, 1, VertexUsage::TexCoord, 1}},
                                      sizeof(InstanceVertex));
}

}  // namespace Gfx
