// The game's one window with its OpenGL 3.3 core context (SDL2), and the
// fatal-error report for when neither can be had.
#pragma once

#include <string>

struct SDL_Window;

namespace Platform {

// Starts SDL's video and event subsystems; false with the reason on failure.
// Calling it again is harmless.
bool InitVideo(std::string* error);
// Drops waiting messages. The video system itself stays up until the
// process ends (the GL driver is never unloaded).
void ShutdownVideo();
bool IsVideoUp();

// Writes the message to stderr and, when a display can be reached, shows it
// in a message box as well.
void ShowFatalError(const char* title, const std::string& message);

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens the window (visible, titled, not resizable) and makes a
    // double-buffered GL 3.3 core context with depth and stencil current.
    // False with the reason when either cannot be created.
    bool Create(const char* title, int width, int height, std::string* error);
    void Destroy();

    SDL_Window* Handle() const { return m_window; }
    void* GLContext() const { return m_context; }
    bool IsOpen() const { return m_window != nullptr; }

    // The system cursor is never shown over the game window.
    void HideCursor();
    // Shows the window in its normal state, raises it and gives it focus.
    void Raise();
    void SetSize(int width, int height);
    void SetFullScreen(bool fullScreen);
    // Full screen in the display mode closest to width x height; false when
    // the display refuses.
    bool SetFullScreenMode(int width, int height);
    // The window's size in screen pixels (0 x 0 when it is not open).
    void GetWindowSize(int* width, int* height) const;
    // The size of the drawable area in pixels.
    void GetDrawableSize(int* width, int* height) const;
    // Clears colour (opaque), depth and stencil of the window's buffer.
    void Clear(float r, float g, float b);
    void SwapBuffers();

private:
    SDL_Window* m_window = nullptr;
    void* m_context = nullptr;
};

}  // namespace Platform
