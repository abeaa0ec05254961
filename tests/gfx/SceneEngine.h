// A fixture with the game's draw screen on an offscreen engine: the shipped
// assets (cameras included) and render states loaded, as the game starts them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gfx/AssetFiles.h"
#include "gfx/CameraMan.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "platform/Window.h"
#include "support/Harness.h"
#include "GfxTestSupport.h"

namespace GfxTest {

class SceneEngine : public ::testing::Test {
protected:
    SceneEngine(int width, int height) : m_width(width), m_height(height) {}
    void SetUp() override {
        TestSupport::ResetSingletons();
        std::string err;
        engine = OpenEngine(window, m_width, m_height, &err);
        ASSERT_NE(engine, nullptr) << err;
        ds = Gfx::DrawScreen::Create();
        ds->Initialize("Config/Config.ini");
        Gfx::EngineAssetSink sink(*engine);
        sink.onCamera = [this](const Gfx::CameraAsset& c) {
            ds->GetCameraMan()->LoadCamera(c.tag, c.eye, c.lookAt, c.up, c.pitchDivisorA, c.pitchDivisorB,
                                           c.minDistance, c.maxDistance,
                                           std::make_shared<Gfx::Frustum>(c.fov, c.aspect, c.nearPlane, c.farPlane));
        };
        Gfx::AssetProblems problems;
        ASSERT_TRUE(Gfx::LoadAssetFile(Gfx::kGameAssetsFile, sink, &problems)) << problems.size();
        ASSERT_TRUE(Gfx::LoadStateFile(Gfx::kGameStatesFile, *engine->GetStateMan(), &problems));
    }
    void TearDown() override {
        Gfx::DrawScreen::Destroy();
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
        TestSupport::ResetSingletons();
    }

    Platform::Window window;
    Gfx::GfxEngine* engine = nullptr;
    Gfx::DrawScreen* ds = nullptr;

private:
    int m_width, m_height;
};

}  // namespace GfxTest
