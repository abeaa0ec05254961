#include "core/AppFrameView.h"

#include "gfx/D3D9Core.h"
#include "gfx/GfxEngine.h"
#include "ini/IniFile.h"
#include "core/AppMain.h"
#include "core/AppWindow.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/UserConfig.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "utility/Profiler.h"

namespace App {

namespace {
const char* kHardwareCaption = "Hardware does not meet requirements";
const char* kHardwareText =
    "Mirav requires a graphics chipset and driver with OpenGL 3.3 and GLSL 3.30 shaders. Unfortunately, this "
    "system does not support them. The graphics chipset or its driver must be upgraded to play Mirav. The game "
    "will now terminate.";
}  // namespace

AppFrameView::AppFrameView(MainWindow& window) {
    const GameLogicView::UserConfig& options = GameLogicView::GlobalGameState::Instance()->GetUserConfig();
    Gfx::DisplaySettings settings;
    settings.width = options.width;
    settings.height = options.height;
    settings.fsaaSamples = options.antialiasing;
    settings.windowed = Utility::ReadIniOrDefault<bool>(Utility::Key("windowed"), Utility::Section("Engine"),
                                                        "Config/Config.ini", false);
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Create();
    engine->Initialize(&window.GetWindow(), settings);
    if (!engine->IsPixelShader20Supported()) {
        Platform::ShowFatalError(kHardwareCaption, kHardwareText);
        Platform::PostQuit(kExitFatal);
        return;
    }
    Gfx::D3D9Core* core = engine->GetCore();
    if (!core || !core->GetDevice() || !core->GetDevice()->HasSurface()) {
        // Not even 1024 x 768 without multisampling could be had: nothing
        // would ever be drawn.
        Platform::ShowFatalError("Mirav", "cannot set up the display in any mode");
        Platform::PostQuit(kExitFatal);
        return;
    }
    m_ready = true;
}

AppFrameView::~AppFrameView() { Gfx::GfxEngine::Release(); }

void AppFrameView::OnRender(int ms) {
    HumanGameView::OnRender(ms);
    if (!m_ready) return;
    ProfileSection section("GFX_RENDER");
    if (Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance())
        if (Gfx::D3D9Core* core = engine->GetCore()) core->Render();
}

}  // namespace App
