#include "levels/ObjectLoader.h"

#include <cmath>

#include "ini/IniFile.h"
#include "levels/LevelFiles.h"
#include "levels/Palette.h"
#include "utility/Diagnostics.h"
#include "utility/StringUtil.h"

namespace GameLogicView {

namespace {

using Line = Utility::IniFile::Line;

// The key lines of each section, one entry per header in file order (a
// section name that occurs twice gives two entries).
struct SectionBlock {
    std::string name;
    std::vector<const Line*> keys;
};

std::vector<SectionBlock> Blocks(const Utility::IniFile& file) {
    std::vector<SectionBlock> blocks;
    for (const Line& line : file.GetLines()) {
        if (line.kind == Line::Kind::Header) {
            blocks.push_back({line.section, {}});
        } else if (line.kind == Line::Kind::KeyValue && !blocks.empty()) {
            blocks.back().keys.push_back(&line);
        }
    }
    return blocks;
}

const Line* FindKey(const SectionBlock& block, const char* key) {
    for (const Line* line : block.keys)
        if (line->key == key) return line;
    return nullptr;
}

template <class T>
T KeyOr(const SectionBlock& block, const char* key, T fallback) {
    if (const Line* line = FindKey(block, key)) {
        if (std::optional<T> v = Utility::ParseValue<T>(line->value)) return *v;
    }
    return fallback;
}

}  // namespace

bool ObjectLoader::Refuse(int code, const std::string& why) {
    // A bitmap may use one bad code in thousands of cells: one line says it.
    if (m_refused.insert(code).second)
        Utility::ReportError("level object " + std::to_string(code) + ": " + why +
                             "; no object of this code is placed");
    return false;
}

ObjectLoader::ObjectLoader(const std::string& root)
    : m_index(std::make_unique<Utility::IniFile>(root + "Objects/objects.ini")), m_root(root) {}

ObjectLoader::~ObjectLoader() = default;

bool ObjectLoader::IsIndexLoaded() const { return m_index->IsLoaded(); }

bool ObjectLoader::BuildObject(int code, int anchorZ, int anchorX, int height,
                               std::vector<std::vector<PiecePlan>>& out) {
    out.clear();
    // A level without objects needs no index, so a missing one is reported
    // only when an object is asked for.
    if (!m_index->IsLoaded()) return Refuse(code, "object index \"" + m_index->GetFileName() + "\" cannot be read");
    const std::string defName =
        m_index->GetValue(Utility::Key(std::to_string(code)), Utility::Section(m_indexSection));
    if (defName.empty()) return Refuse(code, "no entry in \"" + m_index->GetFileName() + "\"");

    const Utility::IniFile def(Path(defName));
    if (!def.IsLoaded()) return Refuse(code, "definition \"" + def.GetFileName() + "\" cannot be read");
    const std::vector<SectionBlock> defBlocks = Blocks(def);
    if (defBlocks.size() < 3) return Refuse(code, "definition \"" + def.GetFileName() + "\" names no piece file");

    const Utility::Section config("CONFIG");
    const std::string paletteName = def.GetValue(Utility::Key("palette"), config);
    int choice = m_paletteChoice;
    if (def.HasKey(Utility::Key("paletteChoice"), config) &&
        !def.GetValue(Utility::Key("paletteChoice"), config, choice))
        return Refuse(code, "definition \"" + def.GetFileName() + "\" has a malformed paletteChoice");
    // The choice carries over to later objects, as an absent key keeps it.
    m_paletteChoice = choice;
    std::string actorType = def.GetValue(Utility::Key("ActorType"), config);
    if (actorType.empty()) actorType = "massless_box";
    if (!IsBlockActorType(actorType))
        return Refuse(code, "definition \"" + def.GetFileName() + "\" asks for actor type \"" + actorType +
                                "\", which is not a block type");

    const Utility::IniFile paletteFile(Path(paletteName));
    if (paletteName.empty() || !paletteFile.IsLoaded())
        return Refuse(code, "palette \"" + paletteFile.GetFileName() + "\" cannot be read");
    const PaletteLists palette = ReadObjectPalette(paletteFile);

    const float x = static_cast<float>(anchorX);
    const float z = static_cast<float>(anchorZ);
    const float h = static_cast<float>(height);
    std::vector<std::vector<PiecePlan>> pieces;
    for (size_t i = 2; i < defBlocks.size(); ++i) {
        const Line* fileKey = FindKey(defBlocks[i], "file");
        if (fileKey == nullptr || fileKey->value.empty())
            return Refuse(code, "section [" + defBlocks[i].name + "] of \"" + def.GetFileName() + "\" has no file");
        const Utility::IniFile pieceFile(Path(fileKey->value));
        if (!pieceFile.IsLoaded()) return Refuse(code, "piece \"" + pieceFile.GetFileName() + "\" cannot be read");

        std::vector<PiecePlan> boxes;
        for (const SectionBlock& box : Blocks(pieceFile)) {
            PiecePlan plan;
            plan.actorType = actorType;
            plan.team = 1;
            const Geometry::Vector3 scale(KeyOr(box, "scaleX", 1.0f), KeyOr(box, "scaleY", 1.0f),
                                          KeyOr(box, "scaleZ", 1.0f));
            for (int a = 0; a < 3; ++a)
                if (!std::isfinite(scale[a]) || scale[a] <= 0.0f || scale[a] > 1000.0f)
                    return Refuse(code, "box [" + box.name + "] of \"" + pieceFile.GetFileName() +
                                            "\" has a scale that is not a positive size");
            const int posX = KeyOr(box, "posX", 0), posY = KeyOr(box, "posY", 0), posZ = KeyOr(box, "posZ", 0);
            plan.scale = scale;
            plan.position = Geometry::Vector3(x + static_cast<float>(posX) + scale.x / 2.0f,
                                              h + static_cast<float>(posY) + scale.y / 2.0f,
                                              z + static_cast<float>(posZ) + scale.z / 2.0f);
            std::string error;
            if (!PaletteEntry(palette, choice, KeyOr(box, "color", 0L), paletteFile.GetFileName(), plan.materialId,
                              error))
                return Refuse(code, "box [" + box.name + "] of \"" + pieceFile.GetFileName() + "\": " + error);
            plan.textureId = KeyOr(box, "texture", -1);
            boxes.push_back(plan);
        }
        pieces.push_back(std::move(boxes));
    }
    out = std::move(pieces);
    return true;
}

}  // namespace GameLogicView
