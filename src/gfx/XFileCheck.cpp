#include "gfx/XFileCheck.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace Gfx {

namespace {

constexpr int kMaxDepth = 64;
constexpr uint32_t kMaxCount = 1u << 20;  // vertices, faces, keys, ...
constexpr size_t kMaxWord = 256;

enum class Kind { Name, Int, Float, String, Open, Close, Guid, End };

struct Token {
    Kind kind = Kind::End;
    std::string text;
    int line = 1;
};

class Lexer {
public:
    Lexer(const char* p, const char* end) : m_p(p), m_end(end) {}

    // False with a message on a malformed token.
    bool Next(Token& t, std::string& error) {
        SkipBlank();
        t.line = m_line;
        t.text.clear();
        if (m_p >= m_end) {
            t.kind = Kind::End;
            return true;
        }
        const char c = *m_p;
        if (c == '{' || c == '}') {
            t.kind = c == '{' ? Kind::Open : Kind::Close;
            ++m_p;
            return true;
        }
        if (c == '"') return Delimited(t, Kind::String, '"', error);
        if (c == '<') return Delimited(t, Kind::Guid, '>', error);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            while (m_p < m_end && (std::isalnum(static_cast<unsigned char>(*m_p)) || *m_p == '_')) t.text += *m_p++;
            t.kind = Kind::Name;
            return Bounded(t, error);
        }
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return Number(t, error);
        error = "line " + std::to_string(m_line) + ": unexpected character";
        return false;
    }

private:
    void SkipBlank() {
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == '\n') {
                ++m_line;
                ++m_p;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == ';' || c == ',') {
                ++m_p;
            } else if (c == '#' || (c == '/' && m_p + 1 < m_end && m_p[1] == '/')) {
                while (m_p < m_end && *m_p != '\n') ++m_p;
            } else {
                return;
            }
        }
    }

    bool Bounded(const Token& t, std::string& error) const {
        if (t.text.size() <= kMaxWord) return true;
        error = "line " + std::to_string(m_line) + ": word too long";
        return false;
    }

    bool Delimited(Token& t, Kind kind, char close, std::string& error) {
        ++m_p;
        while (m_p < m_end && *m_p != close) {
            const unsigned char c = static_cast<unsigned char>(*m_p);
            const bool ok = kind == Kind::String ? (c >= 0x20 && c != 0x7F)
                                                 : (std::isxdigit(c) || c == '-');
            if (!ok) {
                error = "line " + std::to_string(m_line) + (kind == Kind::String ? ": bad string" : ": bad guid");
                return false;
            }
            t.text += *m_p++;
            if (!Bounded(t, error)) return false;
        }
        if (m_p >= m_end) {
            error = "line " + std::to_string(m_line) + ": unterminated " + (kind == Kind::String ? "string" : "guid");
            return false;
        }
        ++m_p;
        t.kind = kind;
        return true;
    }

    // -?digits(.digits)?([eE][-+]?digits)?, ended by a blank, separator or brace.
    bool Number(Token& t, std::string& error) {
        const char* start = m_p;
        bool fraction = false;
        auto digits = [&]() {
            const char* s = m_p;
            while (m_p < m_end && std::isdigit(static_cast<unsigned char>(*m_p))) ++m_p;
            return m_p > s;
        };
        if (*m_p == '-') ++m_p;
        bool ok = digits();
        if (ok && m_p < m_end && *m_p == '.') {
            ++m_p;
            fraction = true;
            ok = digits();
        }
        if (ok && m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            fraction = true;
            if (m_p < m_end && (*m_p == '-' || *m_p == '+')) ++m_p;
            ok = digits();
        }
        if (ok && m_p < m_end && !std::strchr(" \t\r\n;,{}", *m_p)) ok = false;
        t.text.assign(start, m_p);
        if (!ok || !Bounded(t, error)) {
            error = "line " + std::to_string(m_line) + ": bad number";
            return false;
        }
        t.kind = fraction ? Kind::Float : Kind::Int;
        return true;
    }

    const char* m_p;
    const char* m_end;
    int m_line = 1;
};

struct Object {
    std::string type, name;
    int line = 0;
    std::vector<Token> values;  // numbers and strings in order
    std::vector<Object> children;
    std::vector<std::string> refs;  // {Name} references
};

class Parser {
public:
    Parser(Lexer& lex, std::string& error) : m_lex(lex), m_error(error) {}

    bool ParseFile(std::vector<Object>& top) {
        if (!Advance()) return false;
        while (m_tok.kind != Kind::End) {
            top.emplace_back();
            if (!ParseObject(top.back(), 0)) return false;
        }
        return true;
    }

private:
    bool Advance() { return m_lex.Next(m_tok, m_error); }
    bool Fail(const std::string& why) {
        m_error = "line " + std::to_string(m_tok.line) + ": " + why;
        return false;
    }

    // At the object's type word.
    bool ParseObject(Object& o, int depth) {
        if (depth > kMaxDepth) return Fail("objects nested too deep");
        if (m_tok.kind != Kind::Name) return Fail("object expected");
        o.type = m_tok.text;
        o.line = m_tok.line;
        if (o.type == "template") return Fail("template definitions are not read");
        if (!Advance()) return false;
        if (m_tok.kind == Kind::Name) {
            o.name = m_tok.text;
            if (!Advance()) return false;
        }
        if (m_tok.kind != Kind::Open) return Fail("'{' expected after " + o.type);
        if (!Advance()) return false;
        if (m_tok.kind == Kind::Guid && !Advance()) return false;
        for (;;) {
            switch (m_tok.kind) {
                case Kind::End:
                    return Fail(o.type + " not closed");
                case Kind::Close:
                    return Advance();
                case Kind::Int:
                case Kind::Float:
                case Kind::String:
                    o.values.push_back(m_tok);
                    if (!Advance()) return false;
                    break;
                case Kind::Name:
                    o.children.emplace_back();
                    if (!ParseObject(o.children.back(), depth + 1)) return false;
                    break;
                case Kind::Open: {
                    if (!Advance()) return false;
                    if (m_tok.kind != Kind::Name) return Fail("reference by name expected");
                    o.refs.push_back(m_tok.text);
                    if (!Advance()) return false;
                    if (m_tok.kind == Kind::Guid && !Advance()) return false;
                    if (m_tok.kind != Kind::Close) return Fail("'}' expected after a reference");
                    if (!Advance()) return false;
                    break;
                }
                case Kind::Guid:
                    return Fail("unexpected guid");
            }
        }
    }

    Lexer& m_lex;
    std::string& m_error;
    Token m_tok;
};

// Reads an object's values in order.
class Values {
public:
    explicit Values(const Object& o) : m_o(o) {}

    bool Int(uint32_t& out, uint32_t max) {
        if (m_i >= m_o.values.size() || m_o.values[m_i].kind != Kind::Int || m_o.values[m_i].text[0] == '-') return false;
        const unsigned long long v = std::strtoull(m_o.values[m_i].text.c_str(), nullptr, 10);
        if (v > max) return false;
        out = static_cast<uint32_t>(v);
        ++m_i;
        return true;
    }
    // Numbers meant as floats must carry a decimal point (the importer
    // misreads a whole number before a comma).
    bool Floats(size_t n) {
        if (n > Left()) return false;
        for (size_t k = 0; k < n; ++k) {
            if (m_o.values[m_i + k].kind != Kind::Float) return false;
        }
        m_i += n;
        return true;
    }
    bool String(std::string& out) {
        if (m_i >= m_o.values.size() || m_o.values[m_i].kind != Kind::String) return false;
        out = m_o.values[m_i++].text;
        return true;
    }
    size_t Left() const { return m_o.values.size() - m_i; }
    bool Done() const { return m_i == m_o.values.size(); }

private:
    const Object& m_o;
    size_t m_i = 0;
};

class Checker {
public:
    explicit Checker(std::string& error) : m_error(error) {}

    bool Check(const std::vector<Object>& top) {
        for (const Object& o : top) CollectFrames(o);
        for (const Object& o : top) {
            bool ok = false;
            if (o.type == "Header") ok = Ints(o, 3);
            else if (o.type == "AnimTicksPerSecond") ok = Ints(o, 1);
            else if (o.type == "Material") ok = Material(o) && (m_materials.insert(o.name), true);
            else if (o.type == "Frame") ok = Frame(o);
            else if (o.type == "Mesh") ok = Mesh(o);
            else if (o.type == "AnimationSet") ok = AnimationSet(o);
            else return Fail(o, "unknown object " + o.type);
            if (!ok) return false;
        }
        return true;
    }

private:
    bool Fail(const Object& o, const std::string& why) {
        if (m_error.empty()) m_error = "line " + std::to_string(o.line) + ": " + why;
        return false;
    }
    bool Bad(const Object& o) { return Fail(o, "malformed " + o.type); }

    void CollectFrames(const Object& o) {
        if (o.type == "Frame") m_frames.insert(o.name);
        for (const Object& c : o.children) CollectFrames(c);
    }

    bool Leaf(const Object& o) { return (o.children.empty() && o.refs.empty()) || Fail(o, "unexpected parts in " + o.type); }

    bool Ints(const Object& o, int n) {
        Values v(o);
        uint32_t x;
        for (int i = 0; i < n; ++i) {
            if (!v.Int(x, 0xFFFFu)) return Bad(o);
        }
        return (v.Done() || Bad(o)) && Leaf(o);
    }

    bool Material(const Object& o) {
        Values v(o);
        if (!v.Floats(11) || !v.Done() || !o.refs.empty()) return Bad(o);
        if (o.children.size() > 1) return Bad(o);
        for (const Object& c : o.children) {
            Values t(c);
            std::string file;
            if (c.type != "TextureFilename" || !t.String(file) || !t.Done() || !Leaf(c)) return Bad(c);
        }
        return true;
    }

    bool Frame(const Object& o) {
        if (!o.values.empty() || !o.refs.empty()) return Bad(o);
        int matrices = 0;
        for (const Object& c : o.children) {
            bool ok = false;
            if (c.type == "FrameTransformMatrix") {
                Values v(c);
                ok = ++matrices == 1 && v.Floats(16) && v.Done() && Leaf(c);
                if (!ok) return Bad(c);
            } else if (c.type == "Frame") {
                ok = Frame(c);
            } else if (c.type == "Mesh") {
                ok = Mesh(c);
            } else {
                return Fail(c, "unknown object " + c.type + " in a frame");
            }
            if (!ok) return false;
        }
        return true;
    }

    // A face list: count, then per face its corner count and corners below limit.
    bool Faces(Values& v, uint32_t limit, std::vector<uint32_t>* sizes, const std::vector<uint32_t>* expected) {
        uint32_t faces = 0;
        if (!v.Int(faces, kMaxCount) || faces > v.Left()) return false;
        if (expected && faces != expected->size()) return false;
        for (uint32_t f = 0; f < faces; ++f) {
            uint32_t corners = 0;
            if (!v.Int(corners, 64) || corners < 3 || corners > v.Left()) return false;
            if (expected && corners != (*expected)[f]) return false;
            if (sizes) sizes->push_back(corners);
            for (uint32_t k = 0; k < corners; ++k) {
                uint32_t index = 0;
                if (!v.Int(index, kMaxCount) || index >= limit) return false;
            }
        }
        return true;
    }

    bool Mesh(const Object& o) {
        Values v(o);
        uint32_t vertices = 0;
        std::vector<uint32_t> faces;
        if (!v.Int(vertices, kMaxCount) || vertices == 0 || !v.Floats(size_t{vertices} * 3) ||
            !Faces(v, vertices, &faces, nullptr) || faces.empty() || !v.Done() || !o.refs.empty()) {
            return Bad(o);
        }
        std::set<std::string> once;
        for (const Object& c : o.children) {
            if (c.type != "SkinWeights" && !once.insert(c.type).second) return Fail(c, "second " + c.type);
            Values w(c);
            bool ok = true;
            if (c.type == "MeshNormals") {
                uint32_t n = 0;
                ok = w.Int(n, kMaxCount) && w.Floats(size_t{n} * 3) && Faces(w, n, nullptr, &faces) && w.Done();
            } else if (c.type == "MeshTextureCoords") {
                uint32_t n = 0;
                ok = w.Int(n, kMaxCount) && n == vertices && w.Floats(size_t{n} * 2) && w.Done();
            } else if (c.type == "MeshMaterialList") {
                ok = MaterialList(c, faces.size());
                if (!ok) return false;
                continue;
            } else if (c.type == "XSkinMeshHeader") {
                uint32_t x = 0;
                ok = w.Int(x, 0xFFFFu) && w.Int(x, 0xFFFFu) && w.Int(x, 0xFFFFu) && w.Done();
            } else if (c.type == "SkinWeights") {
                std::string bone;
                uint32_t n = 0;
                ok = w.String(bone) && w.Int(n, vertices) && n <= w.Left();
                for (uint32_t k = 0; ok && k < n; ++k) {
                    uint32_t index = 0;
                    ok = w.Int(index, kMaxCount) && index < vertices;
                }
                ok = ok && w.Floats(n) && w.Floats(16) && w.Done();
            } else {
                return Fail(c, "unknown object " + c.type + " in a mesh");
            }
            if (!ok || !Leaf(c)) return Bad(c);
        }
        return true;
    }

    bool MaterialList(const Object& o, size_t faces) {
        Values v(o);
        uint32_t materials = 0, indices = 0;
        if (!v.Int(materials, 0xFFFFu) || materials == 0 || !v.Int(indices, kMaxCount) || indices != faces) return Bad(o);
        for (uint32_t k = 0; k < indices; ++k) {
            uint32_t m = 0;
            if (!v.Int(m, kMaxCount) || m >= materials) return Bad(o);
        }
        if (!v.Done() || o.children.size() + o.refs.size() != materials) return Bad(o);
        for (const std::string& r : o.refs) {
            if (!m_materials.count(r)) return Fail(o, "material " + r + " not defined before");
        }
        for (const Object& c : o.children) {
            if (c.type != "Material") return Fail(c, "unknown object " + c.type + " in a material list");
            if (!Material(c)) return false;
        }
        return true;
    }

    bool AnimationSet(const Object& o) {
        if (!o.values.empty() || !o.refs.empty()) return Bad(o);
        for (const Object& a : o.children) {
            if (a.type != "Animation") return Fail(a, "unknown object " + a.type + " in an animation set");
            if (a.refs.size() != 1 || !a.values.empty()) return Bad(a);
            if (!m_frames.count(a.refs[0])) return Fail(a, "animation of a missing frame " + a.refs[0]);
            bool options = false;
            for (const Object& k : a.children) {
                if (k.type == "AnimationOptions" && !options) {
                    options = true;
                    if (!Ints(k, 2)) return false;
                } else if (k.type == "AnimationKey") {
                    if (!Key(k)) return false;
                } else {
                    return Fail(k, "unknown object " + k.type + " in an animation");
                }
            }
        }
        return true;
    }

    bool Key(const Object& o) {
        static const uint32_t kSizes[5] = {4, 3, 3, 0, 16};
        Values v(o);
        uint32_t type = 0, keys = 0;
        if (!v.Int(type, 4) || type == 3 || !v.Int(keys, kMaxCount) || keys == 0 || keys > v.Left()) return Bad(o);
        for (uint32_t k = 0; k < keys; ++k) {
            uint32_t time = 0, n = 0;
            if (!v.Int(time, 0xFFFFFFFFu) || !v.Int(n, 16) || n != kSizes[type] || !v.Floats(n)) return Bad(o);
        }
        return (v.Done() || Bad(o)) && Leaf(o);
    }

    std::string& m_error;
    std::set<std::string> m_frames;
    std::set<std::string> m_materials;
};

}  // namespace

bool CheckXText(const char* data, size_t size, std::string& error) {
    error.clear();
    // "xof 0303txt 0032": magic, version, text form, float size.
    if (size < 16 || std::memcmp(data, "xof ", 4) != 0 || std::memcmp(data + 8, "txt ", 4) != 0 ||
        (std::memcmp(data + 12, "0032", 4) != 0 && std::memcmp(data + 12, "0064", 4) != 0)) {
        error = "not a text .x file";
        return false;
    }
    for (int i = 4; i < 8; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(data[i]))) {
            error = "not a text .x file";
            return false;
        }
    }
    Lexer lex(data + 16, data + size);
    std::vector<Object> top;
    Parser parser(lex, error);
    if (!parser.ParseFile(top)) return false;
    Checker checker(error);
    return checker.Check(top);
}

}  // namespace Gfx
