// The sky: a box model around the active camera's eye, drawn one face per
// texture (six faces, six indices each, in the texture list's order).
#pragma once

#include <memory>
#include <vector>

#include "gfx/DrawObj.h"

namespace Gfx {

struct Texture;

class DrawObjSkyBox : public IDrawObj {
public:
    DrawObjSkyBox(const GfxState& state, std::vector<std::shared_ptr<Texture>> faces);
    void Draw(Platform::GLDevice* device) override;
    const std::vector<std::shared_ptr<Texture>>& Faces() const { return m_faces; }

private:
    std::vector<std::shared_ptr<Texture>> m_faces;
};

}  // namespace Gfx
