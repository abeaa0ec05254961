#include "physics/PhysMaterial.h"

#include <cmath>

#include "ini/IniFile.h"

namespace Physics {

namespace {

std::shared_ptr<PhysMaterialMan>& Global() {
    static std::shared_ptr<PhysMaterialMan> man;
    return man;
}

const char* const kSection = "PhysMaterial";

void ReadFloat(const Utility::IniFile& ini, const char* key, float& field) {
    float v = 0.0f;
    if (ini.GetValue<float>(Utility::Key(key), Utility::Section(kSection), v) && std::isfinite(v)) field = v;
}

}  // namespace

PhysMaterial PhysMaterial::Test() {
    PhysMaterial m;
    m.density = 800.0f;
    m.staticFriction = 0.0f;
    m.kineticFriction = 0.0f;
    m.coRestitution = 0.3f;
    m.angDrag = 0.0f;
    m.linDrag = 0.0f;
    m.slowCoeff = 10.0f;
    m.switchCoeff = 10.0f;
    m.moveTime = 0.1f;
    m.airAccel = 0.1f;
    m.minAirAccelSpeed = -10.0f;
    m.maxAirAccelSpeed = -100.0f;
    m.allowAngMoCorrection = true;
    return m;
}

PhysMaterial PhysMaterial::TestStatic() {
    PhysMaterial m = Test();
    m.density = 0.0f;
    return m;
}

void PhysMaterial::Sanitize() {
    auto nonNegative = [](float& v) {
        if (!(v >= 0.0f)) v = 0.0f;
    };
    nonNegative(density);
    nonNegative(staticFriction);
    nonNegative(kineticFriction);
    nonNegative(coRestitution);
    nonNegative(angDrag);
    nonNegative(linDrag);
    // A bounce never gains energy; the air control is a fraction.
    if (coRestitution > 1.0f) coRestitution = 1.0f;
    if (!(airAccel >= 0.0f)) airAccel = 0.0f;
    if (airAccel > 1.0f) airAccel = 1.0f;
    // The walking controller divides by the move time.
    if (!(moveTime >= 1e-3f)) moveTime = 1e-3f;
}

PhysMaterialMan::PhysMaterialMan(std::string folder) : m_folder(std::move(folder)) {
    m_materials["TEST"] = PhysMaterial::Test();
    m_materials["TEST_STATIC"] = PhysMaterial::TestStatic();
}

PhysMaterial PhysMaterialMan::GetMaterial(const std::string& name) {
    auto it = m_materials.find(name);
    if (it != m_materials.end()) return it->second;
    return Load(name);
}

PhysMaterial PhysMaterialMan::Load(const std::string& name) {
    Utility::IniFile ini(FileOf(name));
    ++m_filesRead;
    PhysMaterial m = PhysMaterial::Test();
    ReadFloat(ini, "density", m.density);
    ReadFloat(ini, "staticFriction", m.staticFriction);
    ReadFloat(ini, "kineticFriction", m.kineticFriction);
    ReadFloat(ini, "coRestitution", m.coRestitution);
    ReadFloat(ini, "angDrag", m.angDrag);
    ReadFloat(ini, "linDrag", m.linDrag);
    ReadFloat(ini, "slowCoeff", m.slowCoeff);
    ReadFloat(ini, "switchCoeff", m.switchCoeff);
    ReadFloat(ini, "moveTime", m.moveTime);
    ReadFloat(ini, "airAccel", m.airAccel);
    ReadFloat(ini, "minAirAccelSpeed", m.minAirAccelSpeed);
    ReadFloat(ini, "maxAirAccelSpeed", m.maxAirAccelSpeed);
    bool allow = true;
    if (ini.GetValue<bool>(Utility::Key("allowAngMoCorrection"), Utility::Section(kSection), allow)) m.allowAngMoCorrection = allow;
    m.Sanitize();
    m_materials[name] = m;
    return m;
}

PhysMaterialMan& MaterialMan() {
    auto& man = Global();
    if (!man) man = std::make_shared<PhysMaterialMan>();
    return *man;
}

void ResetMaterialMan() { Global().reset(); }

void SetMaterialMan(std::shared_ptr<PhysMaterialMan> man) { Global() = std::move(man); }

}  // namespace Physics
