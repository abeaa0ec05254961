#include "platform/Window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>

namespace Platform {

namespace {
bool g_videoUp = false;
}

bool InitVideo(std::string* error) {
    if (g_videoUp) return true;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (error) *error = std::string("cannot start the video system: ") + SDL_GetError();
        return false;
    }
    // One reference to the GL library for the whole process: destroying the
    // last GL window would otherwise unload the driver, and with it memory
    // the driver still points to (reported as leaks by the sanitizers).
    SDL_GL_LoadLibrary(nullptr);
    g_videoUp = true;
    return true;
}

void ShutdownVideo() {
    if (!g_videoUp) return;
    // SDL's video system stays up until the process ends, for the reason
    // above; what was opened on it is closed by its owners. Messages left in
    // the queue are dropped.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

bool IsVideoUp() { return g_videoUp; }

void ShowFatalError(const char* title, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", title, message.c_str());
    std::fflush(stderr);
    // A message box needs a display; without a running video system (or on
    // the offscreen driver) the terminal line above is all there is.
    const char* driver = g_videoUp ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver && SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, message.c_str(), nullptr);
}

Window::~Window() { Destroy(); }

bool Window::Create(const char* title, int width, int height, std::string* error) {
    Destroy();
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    // Multisampling is done in an offscreen framebuffer, so the window's own
    // buffer never needs to be recreated when the setting changes.
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);

    m_window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    if (!m_window) {
        if (error) *error = std::string("cannot create the window: ") + SDL_GetError();
        return false;
    }
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        if (error)
            *error = std::string("cannot create an OpenGL 3.3 core context (the game needs OpenGL 3.3): ") +
                     SDL_GetError();
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(m_window, m_context);
    HideCursor();
    return true;
}

void Window::Destroy() {
    if (m_context) {
        SDL_GL_DeleteContext(m_context);
        m_context = nullptr;
    }
    if (m_window) {
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
    }
}

void Window::HideCursor() { SDL_ShowCursor(SDL_DISABLE); }

void Window::Raise() {
    if (!m_window) return;
    SDL_RestoreWindow(m_window);
    SDL_ShowWindow(m_window);
    SDL_RaiseWindow(m_window);
}

void Window::SetSize(int width, int height) {
    if (m_window) SDL_SetWindowSize(m_window, width, height);
}

void Window::SetFullScreen(bool fullScreen) {
    if (m_window) SDL_SetWindowFullscreen(m_window, fullScreen ? SDL_WINDOW_FULLSCREEN : 0);
}

bool Window::SetFullScreenMode(int width, int height) {
    if (!m_window) return false;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(m_window));
    SDL_DisplayMode want;
    SDL_zero(want);
    want.w = width;
    want.h = height;
    SDL_DisplayMode got;
    if (SDL_GetClosestDisplayMode(display, &want, &got) != nullptr && got.w == width && got.h == height) {
        if (SDL_SetWindowDisplayMode(m_window, &got) != 0) return false;
        return SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN) == 0;
    }
    // Drivers that list no modes of their own (offscreen, some Wayland
    // set-ups) still take the desktop's size.
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(display, &desktop) == 0 && desktop.w == width && desktop.h == height)
        return SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    return false;
}

void Window::GetWindowSize(int* width, int* height) const {
    int w = 0, h = 0;
    if (m_window) SDL_GetWindowSize(m_window, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

void Window::GetDrawableSize(int* width, int* height) const {
    int w = 0, h = 0;
    if (m_window) SDL_GL_GetDrawableSize(m_window, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

void Window::Clear(float r, float g, float b) {
    if (!m_context) return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(r, g, b, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void Window::SwapBuffers() {
    if (m_window) SDL_GL_SwapWindow(m_window);
}

}  // namespace Platform
