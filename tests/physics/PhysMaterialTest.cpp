#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "ini/IniFile.h"
#include "physics/PhysBody.h"
#include "physics/PhysMaterial.h"

namespace fs = std::filesystem;
using Physics::PhysMaterial;
using Physics::PhysMaterialMan;

namespace {

// A material folder of its own under the system's temporary directory.
class MaterialFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("mirav_phys_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_root);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
        Physics::ResetMaterialMan();
    }
    void Write(const std::string& name, const std::string& text) {
        fs::create_directories(m_root / name);
        std::ofstream(m_root / name / "Physics.ini") << text;
    }
    std::string Folder() const { return m_root.string() + "/"; }

    fs::path m_root;
};

void ExpectSame(const PhysMaterial& a, const PhysMaterial& b) {
    EXPECT_FLOAT_EQ(a.density, b.density);
    EXPECT_FLOAT_EQ(a.staticFriction, b.staticFriction);
    EXPECT_FLOAT_EQ(a.kineticFriction, b.kineticFriction);
    EXPECT_FLOAT_EQ(a.coRestitution, b.coRestitution);
    EXPECT_FLOAT_EQ(a.angDrag, b.angDrag);
    EXPECT_FLOAT_EQ(a.linDrag, b.linDrag);
    EXPECT_FLOAT_EQ(a.slowCoeff, b.slowCoeff);
    EXPECT_FLOAT_EQ(a.switchCoeff, b.switchCoeff);
    EXPECT_FLOAT_EQ(a.moveTime, b.moveTime);
    EXPECT_FLOAT_EQ(a.airAccel, b.airAccel);
    EXPECT_FLOAT_EQ(a.minAirAccelSpeed, b.minAirAccelSpeed);
    EXPECT_FLOAT_EQ(a.maxAirAccelSpeed, b.maxAirAccelSpeed);
    EXPECT_EQ(a.allowAngMoCorrection, b.allowAngMoCorrection);
}

}  // namespace

TEST_F(MaterialFolder, BuiltInsNeedNoFile) {
    PhysMaterialMan man(Folder());
    const PhysMaterial test = man.GetMaterial("TEST");
    EXPECT_FLOAT_EQ(test.density, 800.0f);
    EXPECT_FLOAT_EQ(test.coRestitution, 0.3f);
    EXPECT_FLOAT_EQ(test.slowCoeff, 10.0f);
    EXPECT_FLOAT_EQ(test.moveTime, 0.1f);
    EXPECT_FLOAT_EQ(test.minAirAccelSpeed, -10.0f);
    EXPECT_FLOAT_EQ(test.maxAirAccelSpeed, -100.0f);
    const PhysMaterial stat = man.GetMaterial("TEST_STATIC");
    EXPECT_FLOAT_EQ(stat.density, 0.0f);
    EXPECT_FLOAT_EQ(stat.coRestitution, 0.3f);
    EXPECT_EQ(man.FilesRead(), 0);
}

TEST_F(MaterialFolder, FileIsReadOnceAndKept) {
    Write("crate",
          "[PhysMaterial]\ndensity = 2\nstaticFriction = 0.5\nkineticFriction = 0.25\ncoRestitution = 0.1\n"
          "angDrag = 3\nlinDrag = 4\nslowCoeff = 5\nswitchCoeff = 6\nmoveTime = 0.2\nairAccel = 0.4\n"
          "minAirAccelSpeed = -7\nmaxAirAccelSpeed = -70\nallowAngMoCorrection = 0\n");
    PhysMaterialMan man(Folder());
    const PhysMaterial first = man.GetMaterial("crate");
    EXPECT_FLOAT_EQ(first.density, 2.0f);
    EXPECT_FLOAT_EQ(first.kineticFriction, 0.25f);
    EXPECT_FLOAT_EQ(first.switchCoeff, 6.0f);
    EXPECT_FLOAT_EQ(first.maxAirAccelSpeed, -70.0f);
    EXPECT_FALSE(first.allowAngMoCorrection);

    // Edits after the first read are not seen during the run.
    Write("crate", "[PhysMaterial]\ndensity = 99\n");
    ExpectSame(man.GetMaterial("crate"), first);
    EXPECT_EQ(man.FilesRead(), 1);
}

TEST_F(MaterialFolder, MissingFileOrKeysFallBackAndBadValuesAreClamped) {
    PhysMaterialMan man(Folder());
    ExpectSame(man.GetMaterial("nowhere"), PhysMaterial::Test());
    EXPECT_TRUE(man.IsLoaded("nowhere"));

    // A zero move time would divide by zero in the walking controller; a
    // negative density would make a body with negative mass.
    Write("odd", "[PhysMaterial]\ndensity = -5\nmoveTime = 0\nkineticFriction = oops\ncoRestitution = 3\n");
    const PhysMaterial odd = man.GetMaterial("odd");
    EXPECT_FLOAT_EQ(odd.density, 0.0f);
    EXPECT_FLOAT_EQ(odd.coRestitution, 1.0f);
    EXPECT_GT(odd.moveTime, 0.0f);
    EXPECT_FLOAT_EQ(odd.kineticFriction, PhysMaterial::Test().kineticFriction);
    EXPECT_TRUE(odd.allowAngMoCorrection);
}

TEST_F(MaterialFolder, GlobalManagerFeedsBodies) {
    Write("heavy", "[PhysMaterial]\ndensity = 10\n");
    Physics::SetMaterialMan(std::make_shared<PhysMaterialMan>(Folder()));
    auto body = Physics::CreateBody({0, 0, 0}, {0.5f, 1.0f, 1.5f}, "heavy");
    EXPECT_FLOAT_EQ(body->GetMass(), 10.0f * 8.0f * 0.5f * 1.0f * 1.5f);
    EXPECT_EQ(Physics::MaterialMan().FilesRead(), 1);
}

// The game's own materials: every actor type has a file with all twelve keys.
TEST(ShippedMaterials, EveryActorTypeHasACompleteFile) {
    const char* keys[] = {"density", "staticFriction", "kineticFriction", "coRestitution",
                          "angDrag", "linDrag",        "slowCoeff",       "switchCoeff",
                          "moveTime", "airAccel",      "minAirAccelSpeed", "maxAirAccelSpeed"};
    for (const char* type : {"box", "massless_box", "solid", "flag", "bot", "character", "plane"}) {
        SCOPED_TRACE(type);
        Utility::IniFile ini(std::string("Config/Physics/") + type + "/Physics.ini");
        ASSERT_TRUE(ini.IsLoaded());
        for (const char* key : keys) {
            float v = 0.0f;
            EXPECT_TRUE(ini.GetValue<float>(Utility::Key(key), Utility::Section("PhysMaterial"), v)) << key;
        }
        PhysMaterial m = PhysMaterialMan().GetMaterial(type);
        // A step of 0.04 s must not overshoot the walking controller.
        EXPECT_LT(m.slowCoeff * 0.04f / m.moveTime, 1.0f);
        EXPECT_LT(m.switchCoeff * 0.04f / m.moveTime, 1.0f);
    }
    EXPECT_EQ(PhysMaterialMan().GetMaterial("massless_box").density, 0.0f);
    EXPECT_EQ(PhysMaterialMan().GetMaterial("plane").density, 0.0f);
    EXPECT_GT(PhysMaterialMan().GetMaterial("box").density, 0.0f);
    EXPECT_GT(PhysMaterialMan().GetMaterial("character").density, 0.0f);
}
