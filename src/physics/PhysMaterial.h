// Physical materials: density, friction, restitution, drag and the walking
// controller's gains, named by actor type and read once from
// Config/Physics/<name>/Physics.ini (section "PhysMaterial").
#pragma once

#include <map>
#include <memory>
#include <string>

namespace Physics {

struct PhysMaterial {
    float density = 0.0f;           // 0 makes a body static
    float staticFriction = 0.0f;
    float kineticFriction = 0.0f;
    float coRestitution = 0.0f;
    float angDrag = 0.0f;
    float linDrag = 0.0f;
    float slowCoeff = 0.0f;         // walking gain without input
    float switchCoeff = 0.0f;       // walking gain against the current motion
    float moveTime = 0.0f;          // walking time constant, seconds (> 0)
    float airAccel = 0.0f;          // walking control left at the fastest fall
    float minAirAccelSpeed = 0.0f;  // fall speed where the fade starts (negative)
    float maxAirAccelSpeed = 0.0f;  // fall speed where it reaches airAccel
    bool allowAngMoCorrection = true;

    // The built-in "TEST" material (also the fallback of missing keys).
    static PhysMaterial Test();
    static PhysMaterial TestStatic();
    // Clamps values a body could not work with: negative densities, frictions
    // and drags become 0, restitution and air control stay within 0..1, a
    // non-positive move time becomes a small positive one.
    void Sanitize();
};

class PhysMaterialMan {
public:
    // folder: where the per-material folders lie (the game's is "Config/Physics/").
    explicit PhysMaterialMan(std::string folder = "Config/Physics/");

    // A copy of the named material; each file is read at most once.
    PhysMaterial GetMaterial(const std::string& name);
    // Reads the material's file, stores and returns it. A missing file or key
    // gives the "TEST" value of that field; non-finite values are refused too.
    PhysMaterial Load(const std::string& name);

    // Replaces the named material for the rest of the run (a caller that
    // found a value it cannot work with).
    void Store(const std::string& name, const PhysMaterial& material) { m_materials[name] = material; }
    // The file a material is read from.
    std::string FileOf(const std::string& name) const { return m_folder + name + "/Physics.ini"; }

    bool IsLoaded(const std::string& name) const { return m_materials.count(name) != 0; }
    int FilesRead() const { return m_filesRead; }

private:
    std::string m_folder;
    std::map<std::string, PhysMaterial> m_materials;
    int m_filesRead = 0;
};

// The run's material manager, created on first use.
PhysMaterialMan& MaterialMan();
// Drops the manager so the next request builds a fresh one (tests).
void ResetMaterialMan();
// Installs a manager (tests that read materials from their own folder).
void SetMaterialMan(std::shared_ptr<PhysMaterialMan> man);

}  // namespace Physics
