#include "core/AppFrameView.h"

#include "core/AppWindow.h"
#include "platform/Window.h"

namespace App {

void AppFrameView::OnRender(int ms) {
    HumanGameView::OnRender(ms);
    Platform::Window& w = m_window.GetWindow();
    if (!w.IsOpen()) return;
    w.Clear(0.0f, 0.0f, 0.0f);
    w.SwapBuffers();
}

}  // namespace App
