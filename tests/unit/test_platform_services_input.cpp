// Keyboard held/released semantics and the headless driver's gamepad, fed
// through the scripted input calls (the same path as SDL's key events).
#include "platform/platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

// Shutdown calls the platform keeps for itself (its internal header pulls in SDL).
void InputShutdown();

namespace {

class PlatformInput : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SavedHeadless = Overrides.Headless;
        Overrides.Headless = 1;
        InputShutdown();
        ASSERT_EQ(InitKeyboard(), 1);
    }
    void TearDown() override
    {
        InputShutdown();
        Overrides.Headless = SavedHeadless;
    }
    int SavedHeadless = 0;
};

} // namespace

TEST_F(PlatformInput, HeldWhileDownReleasedOnceAfterGoingUp)
{
    ScriptKey(KeyLeft, 1);
    EXPECT_EQ(KeyHeld(KeyLeft), 0) << "nothing is seen before the examination";
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyLeft), 1);
    EXPECT_EQ(KeyReleased(KeyLeft), 0);
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyLeft), 1) << "held keeps firing every examination";
    ScriptKey(KeyLeft, 0);
    EXPECT_EQ(KeyHeld(KeyLeft), 1) << "the snapshot stands until the next examination";
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyLeft), 0);
    EXPECT_EQ(KeyReleased(KeyLeft), 1);
    ExamineKeyboard();
    EXPECT_EQ(KeyReleased(KeyLeft), 0) << "released fires once";
    for (int Key = 0; Key < KeyCount; Key++) {
        EXPECT_EQ(KeyHeld(Key), 0);
    }
}

TEST_F(PlatformInput, PressAndReleaseBetweenExaminationsCountsAsReleased)
{
    ExamineKeyboard();
    ScriptKey(KeyReturn, 1);
    ScriptKey(KeyReturn, 0);
    ScriptKey(KeyEscape, 1);
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyReturn), 0);
    EXPECT_EQ(KeyReleased(KeyReturn), 1);
    EXPECT_EQ(KeyHeld(KeyEscape), 1);
    EXPECT_EQ(KeyReleased(KeyEscape), 0);
    ExamineKeyboard();
    EXPECT_EQ(KeyReleased(KeyReturn), 0);

    // A key that goes down again before the examination is held and released.
    ScriptKey(KeyEscape, 0);
    ScriptKey(KeyEscape, 1);
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyEscape), 1);
    EXPECT_EQ(KeyReleased(KeyEscape), 1);
}

TEST_F(PlatformInput, KeysAreIndependentAndStrayInputIsIgnored)
{
    ScriptKey(KeyS, 1);
    ScriptKey(KeyM, 1);
    ScriptKey(KeySpace, 0); // up without down: not a release
    ScriptKey(KeyCount, 1); // not one of the nine keys
    ScriptKey(-1, 1);
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyS), 1);
    EXPECT_EQ(KeyHeld(KeyM), 1);
    EXPECT_EQ(KeyReleased(KeySpace), 0);
    EXPECT_EQ(KeyHeld(KeyCount), 0);
    EXPECT_EQ(KeyHeld(-1), 0);
    EXPECT_EQ(KeyReleased(99), 0);
    ScriptKey(KeyS, 0);
    ExamineKeyboard();
    EXPECT_EQ(KeyReleased(KeyS), 1);
    EXPECT_EQ(KeyReleased(KeyM), 0);
    EXPECT_EQ(KeyHeld(KeyM), 1);
    // Starting the keyboard again forgets everything.
    ASSERT_EQ(InitKeyboard(), 1);
    ExamineKeyboard();
    EXPECT_EQ(KeyHeld(KeyM), 0);
}

TEST_F(PlatformInput, HeadlessGamepadFollowsScriptedAxesAndButtons)
{
    EXPECT_EQ(InitJoystick(), 1);
    ASSERT_EQ(ExamineJoystick(0), 1);
    EXPECT_EQ(ExamineJoystick(1), 0);
    EXPECT_EQ(ExamineJoystick(-1), 0);
    EXPECT_EQ(GamepadAxisX(0, 0), 0);

    ScriptAxis(0, -1);
    ScriptAxis(1, 1);
    ScriptButton(3, 1);
    EXPECT_EQ(GamepadAxisX(0, 0), 0) << "read from the last examination";
    ASSERT_EQ(ExamineJoystick(0), 1);
    EXPECT_EQ(GamepadAxisX(0, 0), -1);
    EXPECT_EQ(GamepadAxisY(0, 0), 1);
    EXPECT_EQ(GamepadAxisX(0, 1), 0) << "pad 1 reads axes 2 and 3";
    EXPECT_EQ(GamepadAxisX(0, -1), 0);
    EXPECT_EQ(GamepadButton(0, 3), 1);
    EXPECT_EQ(GamepadButton(0, 0), 0);
    EXPECT_EQ(GamepadButton(0, 500), 0);
    EXPECT_EQ(GamepadButton(1, 3), 0);

    // Detecting again (level set-up) keeps what the script holds.
    EXPECT_EQ(InitJoystick(), 1);
    ASSERT_EQ(ExamineJoystick(0), 1);
    EXPECT_EQ(GamepadAxisX(0, 0), -1);
    EXPECT_EQ(GamepadButton(0, 3), 1);

    ScriptAxis(0, 1);
    ScriptAxis(1, 0);
    ScriptButton(3, 0);
    ExamineJoystick(0);
    EXPECT_EQ(GamepadAxisX(0, 0), 1);
    EXPECT_EQ(GamepadAxisY(0, 0), 0);
    EXPECT_EQ(GamepadButton(0, 3), 0);
}

// A real (not headless) gamepad plugged in and out while the game runs, made
// with SDL's virtual joysticks: a pad appears at the next detection, and the
// pad being read vanishes without harm, reading as centred with nothing down.
TEST(PlatformGamepadHotPlug, PadsComeAndGoBetweenDetections)
{
    int SavedHeadless = Overrides.Headless;
    Overrides.Headless = 0;
    InputShutdown();
    ASSERT_EQ(PlatformInit(), 1);
    const int Before = InitJoystick(); // pads of this machine, usually none
    ASSERT_GE(Before, 0);

    int Index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 4, 8, 0);
    ASSERT_GE(Index, 0) << SDL_GetError();
    EXPECT_EQ(ExamineJoystick(Before), 0) << "not taken in before the next detection";
    PumpEvents(); // the device event
    EXPECT_EQ(InitJoystick(), Before + 1);

    // Move the new pad's stick left and hold its button 2.
    SDL_Joystick* Stick = SDL_JoystickOpen(Index);
    ASSERT_NE(Stick, nullptr);
    SDL_JoystickSetVirtualAxis(Stick, 0, -32768);
    SDL_JoystickSetVirtualButton(Stick, 2, SDL_PRESSED);
    PumpEvents();
    ASSERT_EQ(ExamineJoystick(Before), 1);
    EXPECT_EQ(GamepadAxisX(Before, 0), -1);
    EXPECT_EQ(GamepadButton(Before, 2), 1);
    // Detecting again without a device event keeps the open pad and its state.
    EXPECT_EQ(InitJoystick(), Before + 1);
    ASSERT_EQ(ExamineJoystick(Before), 1);
    EXPECT_EQ(GamepadButton(Before, 2), 1);

    // Unplugged while held: nothing is read any more, nothing crashes.
    SDL_JoystickClose(Stick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(Index), 0) << SDL_GetError();
    PumpEvents();
    EXPECT_EQ(ExamineJoystick(Before), 0);
    EXPECT_EQ(GamepadAxisX(Before, 0), 0);
    EXPECT_EQ(GamepadButton(Before, 2), 0);
    EXPECT_EQ(InitJoystick(), Before);
    EXPECT_EQ(ExamineJoystick(Before), 0);

    // Plugged in again: back at the next detection.
    Index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 4, 8, 0);
    ASSERT_GE(Index, 0) << SDL_GetError();
    PumpEvents();
    EXPECT_EQ(InitJoystick(), Before + 1);
    EXPECT_EQ(ExamineJoystick(Before), 1);
    EXPECT_EQ(GamepadAxisX(Before, 0), 0);

    InputShutdown(); // closes our pad before its device goes
    SDL_JoystickDetachVirtual(Index);
    Overrides.Headless = SavedHeadless;
}
