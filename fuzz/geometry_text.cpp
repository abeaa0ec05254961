// Reads vectors and quaternions from arbitrary text: no crash, no hang, and a
// value that was read is written and read back unchanged.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

#include "utility/Geometry.h"

namespace {

bool SameBits(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

template <class V, class Eq>
void Check(const std::string& text, Eq same) {
    std::istringstream in(text);
    for (int i = 0; i < 64; ++i) {
        V v;
        const std::streampos before = in.tellg();
        if (!(in >> v)) break;
        std::ostringstream out;
        out.precision(std::numeric_limits<float>::max_digits10);
        out << v;
        std::istringstream back(out.str());
        V w;
        if (!(back >> w) || !same(v, w)) std::abort();
        if (in.eof() || in.tellg() == before) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Geometry;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check<Vector2>(text, [](const Vector2& a, const Vector2& b) { return SameBits(a.x, b.x) && SameBits(a.y, b.y); });
    Check<Vector3>(text, [](const Vector3& a, const Vector3& b) {
        return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
    });
    Check<Vector4>(text, [](const Vector4& a, const Vector4& b) {
        return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z) && SameBits(a.w, b.w);
    });
    Check<Quaternion>(text, [](const Quaternion& a, const Quaternion& b) {
        return SameBits(a.w, b.w) && SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
    });
    return 0;
}
