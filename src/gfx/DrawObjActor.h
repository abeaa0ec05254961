// A draw object that is one model drawn with its top state, all passes:
// actors' models, screen-space quads and the mouse cursor.
#pragma once

#include "gfx/DrawObj.h"

namespace Gfx {

class DrawObjActor : public IDrawObj {
public:
    using IDrawObj::IDrawObj;
    void Draw(Platform::GLDevice* device) override;
};

}  // namespace Gfx
