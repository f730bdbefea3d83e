// Keyboard and gamepad. The keyboard state is built from key events only:
// PumpEvents hands every SDL key event to InputHandleEvent, and the scripted
// driver's ScriptKey builds the same events. The operating system's key
// repeat plays no part: repeated key-down events are ignored.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <vector>

// Axis readings between -DeadZone and +DeadZone count as centred (SDL axes
// run from -32768 to 32767, so this is about half the throw).
static constexpr int DeadZone = 16000;
// Instance id of the headless driver's virtual gamepad (real ids are >= 0).
static constexpr SDL_JoystickID VirtualPadId = -100;
// Axes and buttons kept for the virtual pad: pads 0 to 3, buttons 0 to 31.
static constexpr int VirtualAxisCount = 8;
static constexpr int VirtualButtonCount = 32;

// One gamepad as the game sees it: either an opened SDL joystick or the
// virtual pad of the headless driver, plus the snapshot of its last examination.
struct PadRecord {
    SDL_Joystick* Device = nullptr; // nullptr for the virtual pad and a pad that is gone
    SDL_JoystickID InstanceId = -1;
    int Gone = 0;                 // 1 once unplugged: reads nothing until the next detection
    std::vector<int> LiveAxes;    // virtual pad: built from axis events
    std::vector<int> LiveButtons; // virtual pad: built from button events
    std::vector<int> SeenAxes;    // snapshot taken by ExamineJoystick
    std::vector<int> SeenButtons;
};

struct KeyboardRecord {
    // Bit 0: the main key, bit 1: its second key (keypad Enter for Return).
    uint8_t DownSources[KeyCount] = {};
    uint8_t WentUp[KeyCount] = {}; // latched until the next examination
    uint8_t Held[KeyCount] = {};   // the snapshot of the last examination
    uint8_t Released[KeyCount] = {};
};

static KeyboardRecord Keyboard;
static std::vector<PadRecord> Pads;
static int JoystickSubsystemStarted = 0;
// 1 when a pad was plugged in or out since the last detection (and before the
// first): InitJoystick then detects again, otherwise it keeps the open pads.
static int PadsChanged = 1;

static int KeyFromScancode(SDL_Scancode Code, int* Source);
static SDL_Scancode ScancodeFromKey(int Key);
static PadRecord* FindPadByInstance(SDL_JoystickID Id);
static PadRecord* FindPad(int Number);
static void ClosePads();
static void EnsureVirtualPad();
static int AxisDirection(int Value);
static int SeenAxis(int Number, int Axis);

int InitKeyboard()
{
    Keyboard = KeyboardRecord{};
    return 1;
}

void ExamineKeyboard()
{
    for (int Key = 0; Key < KeyCount; Key++) {
        Keyboard.Held[Key] = Keyboard.DownSources[Key] != 0;
        Keyboard.Released[Key] = Keyboard.WentUp[Key];
        Keyboard.WentUp[Key] = 0;
    }
}

int KeyHeld(int Key)
{
    if (Key < 0 || Key >= KeyCount) {
        return 0;
    }
    return Keyboard.Held[Key];
}

int KeyReleased(int Key)
{
    if (Key < 0 || Key >= KeyCount) {
        return 0;
    }
    return Keyboard.Released[Key];
}

int InitJoystick()
{
    if (Overrides.Headless) {
        // The driver presents exactly one gamepad, moved by ScriptAxis and
        // ScriptButton; detecting again keeps what the script holds down.
        EnsureVirtualPad();
        return 1;
    }
    if (JoystickSubsystemStarted && !PadsChanged) {
        return int(Pads.size());
    }
    ClosePads();
    if (!JoystickSubsystemStarted) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
            return 0;
        }
        JoystickSubsystemStarted = 1;
    }
    PadsChanged = 0;
    int Count = SDL_NumJoysticks();
    for (int Index = 0; Index < Count; Index++) {
        SDL_Joystick* Device = SDL_JoystickOpen(Index);
        if (Device == nullptr) {
            continue;
        }
        PadRecord Pad;
        Pad.Device = Device;
        Pad.InstanceId = SDL_JoystickInstanceID(Device);
        Pads.push_back(Pad);
    }
    return int(Pads.size());
}

int ExamineJoystick(int Number)
{
    PadRecord* Pad = FindPad(Number);
    if (Pad == nullptr) {
        return 0;
    }
    if (Pad->Gone) {
        Pad->SeenAxes.clear();
        Pad->SeenButtons.clear();
        return 0;
    }
    if (Pad->Device == nullptr) {
        Pad->SeenAxes = Pad->LiveAxes;
        Pad->SeenButtons = Pad->LiveButtons;
        return 1;
    }
    if (!SDL_JoystickGetAttached(Pad->Device)) {
        Pad->SeenAxes.clear();
        Pad->SeenButtons.clear();
        return 0;
    }
    // SDL refreshes the device state while PumpEvents reads the queue.
    int AxisCount = SDL_JoystickNumAxes(Pad->Device);
    int ButtonCount = SDL_JoystickNumButtons(Pad->Device);
    Pad->SeenAxes.assign(size_t(AxisCount > 0 ? AxisCount : 0), 0);
    Pad->SeenButtons.assign(size_t(ButtonCount > 0 ? ButtonCount : 0), 0);
    for (int Axis = 0; Axis < AxisCount; Axis++) {
        Pad->SeenAxes[size_t(Axis)] = SDL_JoystickGetAxis(Pad->Device, Axis);
    }
    for (int Button = 0; Button < ButtonCount; Button++) {
        Pad->SeenButtons[size_t(Button)] = SDL_JoystickGetButton(Pad->Device, Button);
    }
    return 1;
}

int GamepadAxisX(int Number, int Pad)
{
    if (Pad < 0 || Pad > 1000) {
        return 0;
    }
    return AxisDirection(SeenAxis(Number, 2 * Pad));
}

int GamepadAxisY(int Number, int Pad)
{
    if (Pad < 0 || Pad > 1000) {
        return 0;
    }
    return AxisDirection(SeenAxis(Number, 2 * Pad + 1));
}

int GamepadButton(int Number, int Button)
{
    PadRecord* Pad = FindPad(Number);
    if (Pad == nullptr || Button < 0 || Button >= int(Pad->SeenButtons.size())) {
        return 0;
    }
    return Pad->SeenButtons[size_t(Button)] != 0;
}

void ScriptKey(int Key, int Down)
{
    SDL_Scancode Code = ScancodeFromKey(Key);
    if (Code == SDL_SCANCODE_UNKNOWN) {
        return;
    }
    SDL_Event Event{};
    Event.type = Down ? SDL_KEYDOWN : SDL_KEYUP;
    Event.key.state = Down ? SDL_PRESSED : SDL_RELEASED;
    Event.key.repeat = 0;
    Event.key.keysym.scancode = Code;
    InputHandleEvent(Event);
}

void ScriptAxis(int Axis, int Value)
{
    if (Axis < 0 || Axis > 1) {
        return;
    }
    EnsureVirtualPad();
    SDL_Event Event{};
    Event.type = SDL_JOYAXISMOTION;
    Event.jaxis.which = VirtualPadId;
    Event.jaxis.axis = uint8_t(Axis);
    Event.jaxis.value = Value < 0 ? -32768 : (Value > 0 ? 32767 : 0);
    InputHandleEvent(Event);
}

void ScriptButton(int Button, int Down)
{
    if (Button < 0 || Button >= VirtualButtonCount) {
        return;
    }
    EnsureVirtualPad();
    SDL_Event Event{};
    Event.type = Down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
    Event.jbutton.which = VirtualPadId;
    Event.jbutton.button = uint8_t(Button);
    Event.jbutton.state = Down ? SDL_PRESSED : SDL_RELEASED;
    InputHandleEvent(Event);
}

void InputHandleEvent(const SDL_Event& Event)
{
    switch (Event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (Event.key.repeat) {
            return;
        }
        int Source = 0;
        int Key = KeyFromScancode(Event.key.keysym.scancode, &Source);
        if (Key < 0) {
            return;
        }
        uint8_t Bit = uint8_t(1 << Source);
        if (Event.type == SDL_KEYDOWN) {
            Keyboard.DownSources[Key] |= Bit;
        } else if (Keyboard.DownSources[Key] & Bit) {
            Keyboard.DownSources[Key] &= uint8_t(~Bit);
            // Released once the last of the key's sources has gone up.
            if (Keyboard.DownSources[Key] == 0) {
                Keyboard.WentUp[Key] = 1;
            }
        }
        return;
    }
    case SDL_JOYAXISMOTION: {
        PadRecord* Pad = FindPadByInstance(Event.jaxis.which);
        if (Pad != nullptr && Event.jaxis.axis < Pad->LiveAxes.size()) {
            Pad->LiveAxes[Event.jaxis.axis] = Event.jaxis.value;
        }
        return;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        PadRecord* Pad = FindPadByInstance(Event.jbutton.which);
        if (Pad != nullptr && Event.jbutton.button < Pad->LiveButtons.size()) {
            Pad->LiveButtons[Event.jbutton.button] = Event.type == SDL_JOYBUTTONDOWN;
        }
        return;
    }
    case SDL_JOYDEVICEADDED:
        // Taken in at the next detection (a level set-up, play resumed).
        PadsChanged = 1;
        return;
    case SDL_JOYDEVICEREMOVED: {
        // Unplugged: closed at once and read as centred with no button down,
        // under its number, until the next detection renumbers the pads.
        PadsChanged = 1;
        PadRecord* Pad = FindPadByInstance(Event.jdevice.which);
        if (Pad != nullptr && Pad->Device != nullptr) {
            SDL_JoystickClose(Pad->Device);
            Pad->Device = nullptr;
            Pad->Gone = 1;
            Pad->SeenAxes.clear();
            Pad->SeenButtons.clear();
        }
        return;
    }
    default: return;
    }
}

void InputShutdown()
{
    ClosePads();
    if (JoystickSubsystemStarted) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        JoystickSubsystemStarted = 0;
    }
    PadsChanged = 1;
    Keyboard = KeyboardRecord{};
}

// Which of the nine keys a scan code is, or -1. Source tells apart the two
// physical keys that count as Return.
static int KeyFromScancode(SDL_Scancode Code, int* Source)
{
    *Source = 0;
    switch (Code) {
    case SDL_SCANCODE_LEFT: return KeyLeft;
    case SDL_SCANCODE_RIGHT: return KeyRight;
    case SDL_SCANCODE_UP: return KeyUp;
    case SDL_SCANCODE_DOWN: return KeyDown;
    case SDL_SCANCODE_RETURN: return KeyReturn;
    case SDL_SCANCODE_KP_ENTER: *Source = 1; return KeyReturn;
    case SDL_SCANCODE_ESCAPE: return KeyEscape;
    case SDL_SCANCODE_SPACE: return KeySpace;
    case SDL_SCANCODE_S: return KeyS;
    case SDL_SCANCODE_M: return KeyM;
    default: return -1;
    }
}

static SDL_Scancode ScancodeFromKey(int Key)
{
    switch (Key) {
    case KeyLeft: return SDL_SCANCODE_LEFT;
    case KeyRight: return SDL_SCANCODE_RIGHT;
    case KeyUp: return SDL_SCANCODE_UP;
    case KeyDown: return SDL_SCANCODE_DOWN;
    case KeyReturn: return SDL_SCANCODE_RETURN;
    case KeyEscape: return SDL_SCANCODE_ESCAPE;
    case KeySpace: return SDL_SCANCODE_SPACE;
    case KeyS: return SDL_SCANCODE_S;
    case KeyM: return SDL_SCANCODE_M;
    default: return SDL_SCANCODE_UNKNOWN;
    }
}

static PadRecord* FindPadByInstance(SDL_JoystickID Id)
{
    for (PadRecord& Pad : Pads) {
        if (Pad.InstanceId == Id) {
            return &Pad;
        }
    }
    return nullptr;
}

static PadRecord* FindPad(int Number)
{
    if (Number < 0 || Number >= int(Pads.size())) {
        return nullptr;
    }
    return &Pads[size_t(Number)];
}

static void ClosePads()
{
    for (PadRecord& Pad : Pads) {
        if (Pad.Device != nullptr) {
            SDL_JoystickClose(Pad.Device);
        }
    }
    Pads.clear();
}

// The headless driver's one gamepad, created at its first use.
static void EnsureVirtualPad()
{
    if (FindPadByInstance(VirtualPadId) != nullptr) {
        return;
    }
    ClosePads();
    PadRecord Pad;
    Pad.InstanceId = VirtualPadId;
    Pad.LiveAxes.assign(VirtualAxisCount, 0);
    Pad.LiveButtons.assign(VirtualButtonCount, 0);
    Pads.push_back(Pad);
}

static int AxisDirection(int Value)
{
    if (Value < -DeadZone) {
        return -1;
    }
    if (Value > DeadZone) {
        return 1;
    }
    return 0;
}

static int SeenAxis(int Number, int Axis)
{
    PadRecord* Pad = FindPad(Number);
    if (Pad == nullptr || Axis < 0 || Axis >= int(Pad->SeenAxes.size())) {
        return 0;
    }
    return Pad->SeenAxes[size_t(Axis)];
}
