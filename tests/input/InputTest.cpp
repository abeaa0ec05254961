// The input process on SDL events pushed into the real queue: bindings from
// the INI file (bad codes refused with their line), the four-state machine,
// the movement direction, mouse motion and wheel, and focus loss.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "events/types/InputEvents.h"
#include "input/Input.h"
#include "platform/InputDevices.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "support/Harness.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

namespace {

std::string WriteFile(const std::string& text) {
    char path[] = "/tmp/mirav-input-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd >= 0) ::close(fd);
    std::ofstream(path) << text;
    return path;
}

void Push(Uint32 type, SDL_Scancode key) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.key.keysym.scancode = key;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
}

void PushButton(Uint32 type, Uint8 button) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.button.button = button;
    SDL_PushEvent(&e);
}

void PushMotion(int dx, int dy) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

void PushWheel(int notches) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&e);
}

void PushFocusLost() {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
}

// What the main loop does with the queue each frame.
void Pump() {
    Platform::SdlMessageSource source;
    Platform::Message m;
    while (source.Take(m)) {
    }
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        std::string error;
        ASSERT_TRUE(Platform::InitVideo(&error)) << error;
        Pump();
        Platform::InputDevices::Instance().ReleaseAll();
        recorder.Listen<Input::EventIsPressed, Input::EventIsHeld, Input::EventIsReleased, Input::EventMoveDir,
                        Input::EventMouseMove, Input::EventAsciiKey>();
    }
    void TearDown() override {
        Utility::SetProblemSink({});
        Platform::InputDevices::Instance().ReleaseAll();
        for (const std::string& f : files) std::remove(f.c_str());
        TestSupport::ResetSingletons();
    }
    std::string File(const std::string& text) {
        files.push_back(WriteFile(text));
        return files.back();
    }
    // One frame: the queue pumped, the input stepped, its events delivered.
    void Frame(Input::Input& input) {
        Pump();
        recorder.Clear();
        input.OnUpdate(16);
        EventSystem::ProcessEventQueue();
    }
    std::vector<std::string> Commands(const EventSystem::EventType& type) const {
        std::vector<std::string> out;
        for (const auto& e : recorder.Events())
            if (e->GetTypeHash() == type.hash)
                out.push_back(static_cast<const Input::CommandData*>(e->GetData().get())->command);
        return out;
    }
    Geometry::Vector3 Direction() const {
        auto d = recorder.Of<Input::EventMoveDir>();
        EXPECT_EQ(d.size(), 1u);
        return d.empty() ? Geometry::Vector3() : d[0]->GetPayload()->direction;
    }
    TestSupport::EventRecorder recorder;
    std::vector<std::string> files;
};

}  // namespace

TEST_F(InputTest, ShippedBindingsAllLoadKeyboardFirst) {
    std::vector<std::string> problems;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { problems.push_back(m); });
    Input::Input input;
    const size_t n = input.LoadBindings("Config/Input.ini");
    EXPECT_TRUE(problems.empty()) << problems.front();
    ASSERT_GE(n, 20u);
    const auto& b = input.GetBindings();
    bool mouseSeen = false;
    for (const auto& k : b) {
        if (k.device == Input::KeyBinding::kMouse) mouseSeen = true;
        EXPECT_FALSE(mouseSeen && k.device == Input::KeyBinding::kKeyboard) << k.action;
        EXPECT_EQ(k.state, Input::KeyState::Idle);
    }
    const auto bound = [&](const std::string& action, int device, int code) {
        for (const auto& k : b)
            if (k.action == action && k.device == device && k.code == code) return true;
        return false;
    };
    EXPECT_TRUE(bound("UP", 0, 0x11));    // W
    EXPECT_TRUE(bound("UP", 0, 0xC8));    // arrow up
    EXPECT_TRUE(bound("JUMP", 0, 0x39));  // space
    EXPECT_TRUE(bound("ESC", 0, 0x01));
    EXPECT_TRUE(bound("THROW", 1, 0));
    EXPECT_TRUE(bound("PICK_UP", 1, 1));
}

TEST_F(InputTest, CodesTheDevicesCannotReportAreRefusedWithTheirLine) {
    const std::string file = File(
        "[DEV_KBD]\n"
        "JUMP = 57\n"
        "BAD_ZERO = 0\n"
        "BAD_BIG = 300\n"
        "BAD_TEXT = space\n"
        "BAD_GAP = 84\n"  // a number no key of the table has
        "\n"
        "[DEV_MOUSE]\n"
        "THROW = 0\n"
        "BAD_BUTTON = 4\n"
        "BAD_NEGATIVE = -1\n"
        "[OTHER]\n"
        "IGNORED = 5\n");
    std::vector<std::string> problems;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { problems.push_back(m); });
    Input::Input input;
    EXPECT_EQ(input.LoadBindings(file), 2u);
    ASSERT_EQ(problems.size(), 6u);
    const int lines[] = {3, 4, 5, 6, 10, 11};
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_NE(problems[i].find(file + " line " + std::to_string(lines[i]) + " "), std::string::npos)
            << problems[i];
        EXPECT_NE(problems[i].find("BAD_"), std::string::npos) << problems[i];
    }
}

TEST_F(InputTest, KeyHeldThreeFramesThenPressedRightAfterRelease) {
    Input::Input input;
    input.LoadBindings(File("[DEV_KBD]\nJUMP = 57\n"));
    Push(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsPressed::GetStaticType()), std::vector<std::string>{"JUMP"});
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsHeld::GetStaticType()), std::vector<std::string>{"JUMP"});
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsHeld::GetStaticType()), std::vector<std::string>{"JUMP"});
    EXPECT_TRUE(Commands(Input::EventIsPressed::GetStaticType()).empty());
    Push(SDL_KEYUP, SDL_SCANCODE_SPACE);
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsReleased::GetStaticType()), std::vector<std::string>{"JUMP"});
    // Down again on the very next frame: straight from Released to Pressed.
    Push(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsPressed::GetStaticType()), std::vector<std::string>{"JUMP"});
    Push(SDL_KEYUP, SDL_SCANCODE_SPACE);
    Frame(input);
    Frame(input);
    EXPECT_TRUE(Commands(Input::EventIsReleased::GetStaticType()).empty());
    EXPECT_TRUE(Commands(Input::EventIsHeld::GetStaticType()).empty());
}

TEST_F(InputTest, MovementDirectionFromTheHeldDirectionActions) {
    Input::Input input;
    input.LoadBindings(File("[DEV_KBD]\nUP = 17\nBACK = 31\nLEFT = 30\nRIGHT = 32\nup = 200\n"));
    struct Row {
        std::vector<SDL_Scancode> keys;
        Geometry::Vector3 expected;
    };
    const float h = std::sqrt(0.5f);
    const Row rows[] = {
        {{}, {0, 0, 0}},
        {{SDL_SCANCODE_W}, {0, 0, 1}},
        {{SDL_SCANCODE_W, SDL_SCANCODE_A}, {h, 0, h}},
        {{SDL_SCANCODE_S, SDL_SCANCODE_D}, {-h, 0, -h}},
        {{SDL_SCANCODE_W, SDL_SCANCODE_S}, {0, 0, 0}},
        {{SDL_SCANCODE_UP}, {0, 0, 0}},  // "up" is not "UP"
    };
    for (const Row& row : rows) {
        for (SDL_Scancode k : row.keys) Push(SDL_KEYDOWN, k);
        Frame(input);  // pressed: no movement yet
        Frame(input);  // held
        const Geometry::Vector3 d = Direction();
        EXPECT_NEAR(d.x, row.expected.x, 1e-4f);
        EXPECT_NEAR(d.y, 0.0f, 1e-6f);
        EXPECT_NEAR(d.z, row.expected.z, 1e-4f);
        EXPECT_EQ(recorder.Of<Input::EventMouseMove>().size(), 1u);  // every frame
        for (SDL_Scancode k : row.keys) Push(SDL_KEYUP, k);
        Frame(input);
    }
}

TEST_F(InputTest, MouseMotionWheelAndAnActionOnKeyAndButton) {
    Input::Input input;
    input.LoadBindings(File("[DEV_KBD]\nTHROW = 29\n[DEV_MOUSE]\nTHROW = 0\nPICK_UP = 1\n"));
    PushMotion(5, -3);
    PushMotion(7, 1);
    PushWheel(2);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    Push(SDL_KEYDOWN, SDL_SCANCODE_LCTRL);
    Frame(input);
    auto moves = recorder.Of<Input::EventMouseMove>();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0]->GetPayload()->dx, 12);
    EXPECT_EQ(moves[0]->GetPayload()->dy, -2);
    EXPECT_EQ(moves[0]->GetPayload()->dz, 240);
    // One press per binding: the key and the button.
    EXPECT_EQ(Commands(Input::EventIsPressed::GetStaticType()), (std::vector<std::string>{"THROW", "THROW"}));
    Frame(input);
    moves = recorder.Of<Input::EventMouseMove>();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0]->GetPayload()->dx, 0);
    EXPECT_EQ(moves[0]->GetPayload()->dz, 0);
}

TEST_F(InputTest, FocusLossReleasesHeldKeysAndDropsMotion) {
    Input::Input input;
    input.LoadBindings(File("[DEV_KBD]\nUP = 17\n[DEV_MOUSE]\nTHROW = 0\n"));
    Push(SDL_KEYDOWN, SDL_SCANCODE_W);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    Frame(input);
    Frame(input);
    EXPECT_NEAR(Direction().z, 1.0f, 1e-6f);
    // The key comes up while another window has the focus: we never hear of it.
    PushMotion(40, 40);
    PushFocusLost();
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsReleased::GetStaticType()), (std::vector<std::string>{"UP", "THROW"}));
    EXPECT_NEAR(Direction().z, 0.0f, 1e-6f);
    EXPECT_EQ(recorder.Of<Input::EventMouseMove>()[0]->GetPayload()->dx, 0);
    Frame(input);
    EXPECT_TRUE(Commands(Input::EventIsHeld::GetStaticType()).empty());
}

TEST_F(InputTest, ReloadWhileHeldStartsIdleAndPressesAgain) {
    Input::Input input;
    input.LoadBindings(File("[DEV_KBD]\nJUMP = 57\n"));
    Push(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
    Frame(input);
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsHeld::GetStaticType()).size(), 1u);
    Utility::Console::Execute("call reloadinput");
    Frame(input);
    EXPECT_EQ(Commands(Input::EventIsPressed::GetStaticType()), std::vector<std::string>{"JUMP"});
}

TEST_F(InputTest, TypedCharacterOfTheFirstKeyDown) {
    Input::Input input;
    input.LoadBindings(File(""));
    Frame(input);
    EXPECT_TRUE(recorder.Of<Input::EventAsciiKey>().empty());
    Push(SDL_KEYDOWN, SDL_SCANCODE_W);
    Push(SDL_KEYDOWN, SDL_SCANCODE_Q);  // Q is 0x10, W 0x11: Q comes first
    Frame(input);
    auto keys = recorder.Of<Input::EventAsciiKey>();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0]->GetPayload()->character, 'q');
    EXPECT_EQ(input.GetFirstKeyDown(), 0x10);
}

TEST(KeyTable, EveryTableKeyMapsBothWays) {
    int known = 0;
    for (int dik = 0; dik < 256; ++dik) {
        const int sc = Platform::ScancodeFromDik(dik);
        if (sc == 0) continue;
        ++known;
        EXPECT_EQ(Platform::DikFromScancode(sc), dik) << dik;
    }
    EXPECT_GT(known, 100);
    EXPECT_EQ(Platform::DikFromScancode(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(Platform::DikFromScancode(SDL_SCANCODE_RIGHT), 0xCD);
    EXPECT_EQ(Platform::DikFromScancode(-5), 0);
    EXPECT_EQ(Platform::DikFromScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_FALSE(Platform::IsKnownDik(0));
    EXPECT_FALSE(Platform::IsKnownDik(256));
}
