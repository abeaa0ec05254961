// Level objects (trees, towers, ramps: props made of boxes) placed by a level
// pixel's object code: the index "Objects/objects.ini" names a definition
// file, which names a palette, a palette choice, an actor type and piece
// files; each piece file lists boxes relative to the pixel's cell.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace Utility {
class IniFile;
}

namespace GameLogicView {

// One box of a level object, ready to be created.
struct PiecePlan {
    std::string actorType;        // a block type ("massless_box" by default)
    uint8_t team = 1;
    Geometry::Vector3 position;   // centre
    Geometry::Vector3 scale;      // size in cells
    int32_t materialId = -1;      // from the palette
    int32_t textureId = -1;       // -1: no override
};

class ObjectLoader {
public:
    // Opens root + "Objects/objects.ini"; root is "" in the game (paths are
    // relative to the working directory) and a fixture folder in tests.
    explicit ObjectLoader(const std::string& root = "");
    ~ObjectLoader();
    ObjectLoader(const ObjectLoader&) = delete;
    ObjectLoader& operator=(const ObjectLoader&) = delete;

    // The boxes of object `code` anchored at cell corner (x, h, z), one list
    // per piece file in definition order. False, with nothing in out and the
    // problem reported, for a code without an index entry, a definition
    // without pieces, a file that cannot be read, a palette choice or colour
    // outside the palette, or a box with a scale that is not positive and
    // finite: such an object is placed not at all rather than in part.
    bool BuildObject(int code, int anchorZ, int anchorX, int height, std::vector<std::vector<PiecePlan>>& out);

    int PaletteChoice() const { return m_paletteChoice; }
    bool IsIndexLoaded() const;

private:
    // Reports why an object of this code cannot be placed, once per code.
    bool Refuse(int code, const std::string& why);
    std::string Path(const std::string& name) const { return m_root + "Objects/" + name; }

    std::unique_ptr<Utility::IniFile> m_index;
    std::string m_indexSection = "Objects";
    std::string m_root;
    int m_paletteChoice = 0;
    std::set<int> m_refused;
};

}  // namespace GameLogicView
