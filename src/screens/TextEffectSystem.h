// A named text effect as read from the text effect file: optional starting
// values for a text object, then steps; each step is a set of timed changes
// (wait, alpha, rotate, move, scale, colour) that start together.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

struct ITextEffectProps {
    enum Type { kWait = 0, kAlpha = 1, kRotate = 2, kMove = 3, kScale = 4, kColor = 5 };
    ITextEffectProps(int type_, int duration_) : type(type_), duration(duration_) {}
    virtual ~ITextEffectProps() = default;
    int type;
    int duration;  // milliseconds, never negative
};

struct AlphaTextEffectProps : ITextEffectProps {
    AlphaTextEffectProps(float a, int ms) : ITextEffectProps(kAlpha, ms), alpha(a) {}
    float alpha;  // the target alpha multiplier
};

struct RotateTextEffectProps : ITextEffectProps {
    RotateTextEffectProps(float r, int ms) : ITextEffectProps(kRotate, ms), rotation(r) {}
    float rotation;  // radians
};

// The target offset; an axis whose target is exactly -1.0 is left alone.
struct MoveTextEffectProps : ITextEffectProps {
    static constexpr float kKeep = -1.0f;
    MoveTextEffectProps(float x_, float y_, int ms) : ITextEffectProps(kMove, ms), x(x_), y(y_) {}
    float x, y;
};

struct ScaleTextEffectProps : ITextEffectProps {
    ScaleTextEffectProps(float x_, float y_, int ms) : ITextEffectProps(kScale, ms), x(x_), y(y_) {}
    float x, y;
};

struct ColorTextEffectProps : ITextEffectProps {
    ColorTextEffectProps(float r_, float g_, float b_, int ms) : ITextEffectProps(kColor, ms), r(r_), g(g_), b(b_) {}
    float r, g, b;
};

struct TextEffectSystem {
    using Step = std::vector<std::shared_ptr<ITextEffectProps>>;
    struct Rgb {
        float r = 0.0f, g = 0.0f, b = 0.0f;
    };
    struct Pair {
        float x = 0.0f, y = 0.0f;
    };

    std::vector<Step> steps;
    std::string name;
    std::optional<Rgb> initialColor;
    std::optional<float> initialAlpha;  // the alpha multiplier
    std::optional<Geometry::Vector2> initialOffset;
    std::optional<Pair> initialScale;
    std::optional<float> initialRotation;
};

}  // namespace GameLogicView
