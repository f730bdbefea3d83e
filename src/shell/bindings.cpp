// The key and gamepad bindings: one row per state says what its held
// directions, released keys and gamepad button do. Menu actions fire on
// release, movement and the strip's scrolling while held. A panel still
// sliding in takes no cursor key and no Return; Escape it always takes.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

int MainMenuSelection = 1;
int InGameSelection = 1;
int SettingsRow = 1;
int QuitSelection = 1;
int LevelCompleteSelection = 1;

// Cursor keys (KeyLeft..KeyDown) that were down when the last level was
// completed: their release belongs to the push, not to the level-complete panel.
static int HeldAtCompletion[4] = {0, 0, 0, 0};

namespace {

// What a state does with each input; nullptr: nothing.
struct StateBindings {
    void (*Held)(int Dir);                                          // cursor key or gamepad axis, while down
    void (*ReleasedVertical)(int Delta);                            // up -1, down +1
    void (*ReleasedHorizontal)(int Delta, int HeldSinceCompletion); // left -1, right +1
    void (*Return)();
    void (*Escape)();
    void (*Space)();
    void (*PadButton)(); // while down
    bool MusicKey;       // M toggles the music
};

int Sliding(int Panel)
{
    return Panels[Panel].SlideCounter > 0;
}

// Moves a 1-based selection by Delta within 1..Last; 1 when it moved.
int StepSelection(int& Selection, int Delta, int Last)
{
    int Next = Selection + Delta;
    if (Next < 1 || Next > Last)
        return 0;
    Selection = Next;
    PlaySoundEffect(SoundRollover);
    return 1;
}

void ToMainMenuSlidingIn()
{
    StartPanelSlideIn(PanelMainMenu);
    GameState = MainMenu;
}

// Leaving a finished level: the current progress entry stays the last played one.
void BackToMainMenu()
{
    SwitchToMenuTrack();
    GameState = MainMenu;
}

// Only a level whose unlocked flag is exactly 1 starts, and without the click.
void StartSelectedLevel()
{
    if (SelectedLevelIndex >= 0 && SelectedLevelIndex < int(ProgressList.size()) &&
        ProgressList[SelectedLevelIndex].Unlocked == 1)
        SetUpLevel(SelectedLevelIndex);
}

// --- Logo and Title ---------------------------------------------------------

void EscapeInLogo()
{
    GameState = Title;
    IntroCounter = 0;
}

void SpaceInLogo()
{
    FreeSprite(SpriteSplashArt);
    GameState = Title;
    IntroCounter = 0;
}

void LeaveTitle()
{
    GameState = MainMenu;
    IntroCounter = 0;
}

// --- Main menu and its ring -------------------------------------------------

void VerticalInMainMenu(int Delta)
{
    if (!Sliding(PanelMainMenu) && StepSelection(MainMenuSelection, Delta, 4))
        RenderMainMenu(MainMenuSelection);
}

void ReturnInMainMenu()
{
    if (Sliding(PanelMainMenu))
        return;
    PlaySoundEffect(SoundClick);
    switch (MainMenuSelection) {
    case 1: GameState = LevelSelect; break;
    case 2:
        OpenSettings();
        StartPanelSlideIn(PanelSettings);
        GameState = MenuSettings;
        break;
    case 3:
        StartPanelSlideIn(PanelCredits);
        GameState = Credits;
        break;
    case 4:
        QuitSelection = 1;
        RenderQuitQuestion(QuitSelection);
        StartPanelSlideIn(PanelQuitQuestion);
        GameState = MenuQuitQuestion;
        break;
    default: break;
    }
}

void EscapeInMainMenu()
{
    ExitRequested = 1; // at once, without the quit question
}

void HeldInLevelSelect(int Dir)
{
    if (StripSlideDirection != 0)
        return;
    if (Dir == DirLeft && SelectedLevelIndex > 0)
        StripSlideDirection = 2;
    if (Dir == DirRight && SelectedLevelIndex < int(ProgressList.size()) - 1)
        StripSlideDirection = 1;
}

void ReturnInCredits()
{
    if (!Sliding(PanelCredits)) {
        PlaySoundEffect(SoundClick);
        ToMainMenuSlidingIn();
    }
}

// --- Settings (5 and 9) -----------------------------------------------------

void VerticalInSettings(int Delta)
{
    if (Sliding(PanelSettings))
        return;
    // The window-size row (4) is skipped both ways unless the pending mode is windowed.
    if (PendingSettings.GameScreen != ModeWindowed && SettingsRow == (Delta > 0 ? 3 : 5))
        Delta *= 2;
    if (StepSelection(SettingsRow, Delta, 6))
        RenderSettingsPanel();
}

void HorizontalInSettings(int Delta, int)
{
    if (!Sliding(PanelSettings) && StepSetting(Delta)) {
        PlaySoundEffect(SoundRollover);
        RenderSettingsPanel();
    }
}

void ReturnInSettings()
{
    if (Sliding(PanelSettings))
        return;
    if (SettingsRow == 5) {
        PlaySoundEffect(SoundClick);
        ApplySettings();
    } else if (SettingsRow == 6) {
        PlaySoundEffect(SoundClick);
        SettingsRow = 1;
        LeaveSettings();
    }
}

// --- Quit question (6 and 10) -----------------------------------------------

void HorizontalInQuitQuestion(int Delta, int)
{
    int From = Delta < 0 ? 2 : 1;
    if (!Sliding(PanelQuitQuestion) && QuitSelection == From) {
        QuitSelection = 3 - From;
        PlaySoundEffect(SoundRollover);
        RenderQuitQuestion(QuitSelection);
    }
}

void ReturnInQuitQuestion()
{
    if (Sliding(PanelQuitQuestion))
        return;
    PlaySoundEffect(SoundClick);
    if (QuitSelection == 1) {
        Play.LastPlayedIndex = SelectedLevelIndex;
        if (Play.InLevel) {
            Play.InLevel = 0;
            SwitchToMenuTrack();
            ToMainMenuSlidingIn();
        } else {
            ExitRequested = 1;
        }
    } else if (Play.InLevel) {
        GameState = InGameMenu;
    } else {
        ToMainMenuSlidingIn();
    }
}

// --- Play and the pause menu ------------------------------------------------

void EscapeInPlay()
{
    PauseClock();
    GameState = InGameMenu;
    RenderInGameMenu(InGameSelection);
}

void VerticalInGameMenu(int Delta)
{
    if (StepSelection(InGameSelection, Delta, 4))
        RenderInGameMenu(InGameSelection);
}

void ReturnInGameMenu()
{
    PlaySoundEffect(SoundClick);
    switch (InGameSelection) {
    case 1:
        ResumeClock();
        JoystickCount = InitJoystick();
        InGameSelection = 1;
        GameState = Playing;
        break;
    case 2: SetUpLevel(Play.LastPlayedIndex); break;
    case 3:
        OpenSettings();
        GameState = InGameSettings;
        break;
    case 4:
        QuitSelection = 1;
        RenderQuitQuestion(QuitSelection);
        GameState = InGameQuitQuestion;
        break;
    default: break;
    }
}

void EscapeInGameMenu()
{
    ResumeClock();
    GameState = Playing;
}

void BackToGameMenu()
{
    GameState = InGameMenu;
}

// --- Level complete and game complete ---------------------------------------

void HorizontalInLevelComplete(int Delta, int HeldSinceCompletion)
{
    // The key that made the last push, let go after the completion, is not a
    // choice on the panel.
    if (!HeldSinceCompletion && StepSelection(LevelCompleteSelection, Delta, 3))
        RenderLevelComplete(LevelCompleteSelection);
}

void ReturnInLevelComplete()
{
    int Count = int(ParseNumber(GetArchiveProperty(4)));
    switch (LevelCompleteSelection) {
    case 1:
        PlaySoundEffect(SoundClick);
        SetUpLevel(Play.LastPlayedIndex);
        break;
    case 2:
        // After the archive's last level "menu" leads to the game-complete
        // panel, and without the click.
        if (SelectedLevelIndex + 1 == Count) {
            GameState = GameComplete;
        } else {
            PlaySoundEffect(SoundClick);
            BackToMainMenu();
        }
        break;
    case 3:
        PlaySoundEffect(SoundClick);
        if (SelectedLevelIndex + 1 < int(ProgressList.size())) {
            ++SelectedLevelIndex;
            SetUpLevel(SelectedLevelIndex);
        } else {
            GameState = GameComplete;
        }
        break;
    default: break;
    }
}

// clang-format off
const StateBindings Bindings[GameStateCount] = {
    //                 Held               ReleasedVertical    ReleasedHorizontal         Return                 Escape               Space           PadButton           M
    /* Logo */         {nullptr,           nullptr,            nullptr,                   nullptr,               EscapeInLogo,        SpaceInLogo,    nullptr,            true},
    /* Title */        {nullptr,           nullptr,            nullptr,                   nullptr,               LeaveTitle,          LeaveTitle,     nullptr,            true},
    /* MainMenu */     {nullptr,           VerticalInMainMenu, nullptr,                   ReturnInMainMenu,      EscapeInMainMenu,    nullptr,        nullptr,            true},
    /* LevelSelect */  {HeldInLevelSelect, nullptr,            nullptr,                   StartSelectedLevel,    ToMainMenuSlidingIn, nullptr,        StartSelectedLevel, true},
    /* Credits */      {nullptr,           nullptr,            nullptr,                   ReturnInCredits,       ToMainMenuSlidingIn, nullptr,        nullptr,            true},
    /* MenuSettings */ {nullptr,           VerticalInSettings, HorizontalInSettings,      ReturnInSettings,      ToMainMenuSlidingIn, nullptr,        nullptr,            false},
    /* MenuQuit */     {nullptr,           nullptr,            HorizontalInQuitQuestion,  ReturnInQuitQuestion,  ToMainMenuSlidingIn, nullptr,        nullptr,            true},
    /* Playing */      {RequestMove,       nullptr,            nullptr,                   nullptr,               EscapeInPlay,        nullptr,        nullptr,            true},
    /* InGameMenu */   {nullptr,           VerticalInGameMenu, nullptr,                   ReturnInGameMenu,      EscapeInGameMenu,    nullptr,        nullptr,            true},
    /* InGameSet. */   {nullptr,           VerticalInSettings, HorizontalInSettings,      ReturnInSettings,      BackToGameMenu,      nullptr,        nullptr,            false},
    /* InGameQuit */   {nullptr,           nullptr,            HorizontalInQuitQuestion,  ReturnInQuitQuestion,  BackToGameMenu,      nullptr,        nullptr,            true},
    /* LevelComplete */{nullptr,           nullptr,            HorizontalInLevelComplete, ReturnInLevelComplete, BackToMainMenu,      nullptr,        nullptr,            true},
    /* GameComplete */ {nullptr,           nullptr,            nullptr,                   BackToMainMenu,        BackToMainMenu,      BackToMainMenu, nullptr,            true},
};
// clang-format on

// The bindings of the state as the earlier tests of this frame left it.
const StateBindings& Now()
{
    static const StateBindings None{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true};
    return GameState >= 0 && GameState < GameStateCount ? Bindings[GameState] : None;
}

void Held(int Dir)
{
    if (Now().Held)
        Now().Held(Dir);
}

void ReleasedVertical(int Delta)
{
    if (Now().ReleasedVertical)
        Now().ReleasedVertical(Delta);
}

void ReleasedHorizontal(int Delta, int HeldSinceCompletion)
{
    if (Now().ReleasedHorizontal)
        Now().ReleasedHorizontal(Delta, HeldSinceCompletion);
}

void Fire(void (*Action)())
{
    if (Action)
        Action();
}

// 1 for the first release of a key that was down at the last completion.
int TakeHeldAtCompletion(int Key)
{
    int Held = HeldAtCompletion[Key];
    HeldAtCompletion[Key] = 0;
    return Held;
}

void TakeScreenshot()
{
    std::string Name = SaveTo + "Kistora " + FormatDate("%dd-%mm-%yyyy %hh-%ii-%ss") + ".png";
    LogValue("Saving screenshot:", SaveScreenshot(Name) ? "OK" : "FAILED");
}

} // namespace

void NoteKeysHeldAtCompletion()
{
    for (int Key = KeyLeft; Key <= KeyDown; ++Key)
        HeldAtCompletion[Key] = KeyHeld(Key);
}

void ReadKeyboard()
{
    ExamineKeyboard();
    if (KeyHeld(KeyLeft))
        Held(DirLeft);
    if (KeyHeld(KeyRight))
        Held(DirRight);
    if (KeyHeld(KeyUp))
        Held(DirUp);
    if (KeyHeld(KeyDown))
        Held(DirDown);
    if (KeyReleased(KeyDown))
        ReleasedVertical(+1);
    if (KeyReleased(KeyUp))
        ReleasedVertical(-1);
    if (KeyReleased(KeyLeft))
        ReleasedHorizontal(-1, TakeHeldAtCompletion(KeyLeft));
    if (KeyReleased(KeyRight))
        ReleasedHorizontal(+1, TakeHeldAtCompletion(KeyRight));
    if (KeyReleased(KeyReturn))
        Fire(Now().Return);
    if (KeyReleased(KeyS))
        TakeScreenshot(); // in every state
    if (KeyReleased(KeyM) && Now().MusicKey)
        ToggleMusic();
    if (KeyReleased(KeyEscape))
        Fire(Now().Escape);
    if (KeyReleased(KeySpace))
        Fire(Now().Space);
}

void ReadGamepad()
{
    if (JoystickCount <= 0 || !ExamineJoystick(JoystickNumber))
        return;
    int X = GamepadAxisX(JoystickNumber, JoystickPad);
    int Y = GamepadAxisY(JoystickNumber, JoystickPad);
    if (X == -1)
        Held(DirLeft);
    if (X == 1)
        Held(DirRight);
    if (Y == -1)
        Held(DirUp);
    if (Y == 1)
        Held(DirDown);
    if (GamepadButton(JoystickNumber, JoystickButton))
        Fire(Now().PadButton);
}
