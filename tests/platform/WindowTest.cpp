// The window and its GL context on SDL's offscreen driver, and our own
// messages through SDL's queue.
#include <gtest/gtest.h>
#include <SDL.h>
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/Window.h"

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(Platform::InitVideo(&err)) << err;
    }
    void TearDown() override { Platform::ShutdownVideo(); }
};

}  // namespace

TEST_F(WindowTest, OpensWithACoreContextThatClears) {
    Platform::Window w;
    std::string err;
    ASSERT_TRUE(w.Create("Mirav", 640, 480, &err)) << err;
    EXPECT_STREQ(SDL_GetWindowTitle(w.Handle()), "Mirav");
    int width = 0, height = 0;
    w.GetDrawableSize(&width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_GE(epoxy_gl_version(), 33);
    GLint mask = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    EXPECT_TRUE(mask & GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char px[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    w.SwapBuffers();
}

TEST_F(WindowTest, OwnMessagesKeepTheirOrderAndCode) {
    Platform::SdlMessageSource src;
    Platform::Message m;
    while (src.Take(m)) {
    }
    ASSERT_TRUE(Platform::PostMessage(Platform::MessageKind::PowerResume, 1));
    ASSERT_TRUE(Platform::PostQuit(7));
    ASSERT_TRUE(Platform::PostMessage(Platform::MessageKind::Raise));

    std::vector<Platform::Message> got;
    while (src.Take(m))
        if (m.kind != Platform::MessageKind::Other) got.push_back(m);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, Platform::MessageKind::PowerResume);
    EXPECT_EQ(got[0].code, 1);
    EXPECT_EQ(got[1].kind, Platform::MessageKind::Quit);
    EXPECT_EQ(got[1].code, 7);
    EXPECT_EQ(got[2].kind, Platform::MessageKind::Raise);
}

TEST_F(WindowTest, CloseAndQuitRequestsBecomeClose) {
    Platform::SdlMessageSource src;
    Platform::Message m;
    while (src.Take(m)) {
    }
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    ASSERT_TRUE(src.Take(m));
    EXPECT_EQ(m.kind, Platform::MessageKind::Close);
}
