// The frame loop and its thirteen screen states. One row per state says how
// the state is drawn (back to front, changing nothing), and what it advances
// once it was drawn (intro timers, slide-ins, the level strip, the board's
// slide, the backdrop's sway, the completion test). The keys and the gamepad
// come after that (bindings.cpp).
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

int32_t GameState = Logo;
int ExitRequested = 0;
int ScreenReopenPending = 0;
int32_t IntroCounter = 0;
int32_t SwayCounter = 0;
float SwayStep = 0.01f;
int32_t JoystickCount = 0;
int32_t JoystickNumber = 0, JoystickPad = 0, JoystickButton = 0;

namespace {

struct StateFrame {
    const char* Name;
    // The title backdrop is turned by SwayStep before the state is drawn: the
    // platform keeps the sprite's angle and turns it relative to the last one.
    bool TurnsBackdrop;
    void (*Draw)();
    void (*Tick)();
};

// --- Drawing ------------------------------------------------------------------

void DrawTitleBackdrop()
{
    ShowSpriteTransparent(SpriteTitleBackground, TitleBackgroundX, TitleBackgroundY);
    ShowSpriteTransparent(SpriteTitleArt, 0, 0);
}

void DrawOverlay(int Panel)
{
    DrawPlayScreen();
    ShowSpriteTransparent(SpriteDimLayer, 0, 0, 128);
    ShowPanelCentred(Panel);
}

void DrawLogo()
{
    ShowSprite(SpriteSplashArt, 0, 0);
}

void DrawMainMenu()
{
    DrawTitleBackdrop();
    ShowPanelOnTitle(PanelMainMenu);
}

void DrawLevelSelectScreen()
{
    DrawTitleBackdrop();
    DrawLevelSelect();
}

void DrawCredits()
{
    DrawTitleBackdrop();
    ShowPanelOnTitle(PanelCredits);
}

void DrawMenuSettings()
{
    DrawTitleBackdrop();
    ShowPanelOnTitle(PanelSettings);
}

void DrawMenuQuitQuestion()
{
    DrawTitleBackdrop();
    ShowPanelOnTitle(PanelQuitQuestion);
}

void DrawInGameMenu()
{
    DrawOverlay(PanelInGameMenu);
}
void DrawInGameSettings()
{
    DrawOverlay(PanelSettings);
}
void DrawInGameQuitQuestion()
{
    DrawOverlay(PanelQuitQuestion);
}
void DrawLevelComplete()
{
    DrawOverlay(PanelLevelComplete);
}
void DrawGameComplete()
{
    DrawOverlay(PanelGameComplete);
}

// --- Ticks, after the drawing -------------------------------------------------

// The sway counts the frames drawn in states 1 to 6; it reverses every 601.
void Sway()
{
    if (++SwayCounter > 600) {
        SwayCounter = 0;
        SwayStep = SwayStep == 0.01f ? -0.01f : 0.01f;
    }
}

// The splash and the title stay 101 frames each.
void TickLogo()
{
    if (++IntroCounter > 100) {
        FreeSprite(SpriteSplashArt);
        GameState = Title;
        IntroCounter = 0;
    }
}

// The frame in which the title hands over to the main menu was drawn as the
// title, so it sways as the title.
void TickTitle()
{
    if (++IntroCounter > 100) {
        GameState = MainMenu;
        IntroCounter = 0;
    }
    Sway();
}

void TickMainMenu()
{
    AdvancePanelSlideIn(PanelMainMenu);
    Sway();
}

void TickLevelSelect()
{
    AdvanceLevelStrip();
    Sway();
}

void TickCredits()
{
    AdvancePanelSlideIn(PanelCredits);
    Sway();
}

void TickMenuSettings()
{
    AdvancePanelSlideIn(PanelSettings);
    Sway();
}

void TickMenuQuitQuestion()
{
    AdvancePanelSlideIn(PanelQuitQuestion);
    Sway();
}

void TickPlaying()
{
    AdvancePlayScreen();
    CheckCompletion();
    if (GameState == LevelComplete)
        NoteKeysHeldAtCompletion();
}

// States 8 to 12: the board under the panel finishes its slide.
void TickOverlay()
{
    AdvancePlayScreen();
}

// clang-format off
const StateFrame States[GameStateCount] = {
    {"Logo",               false, DrawLogo,               TickLogo},
    {"Title",              true,  DrawTitleBackdrop,      TickTitle},
    {"MainMenu",           true,  DrawMainMenu,           TickMainMenu},
    {"LevelSelect",        true,  DrawLevelSelectScreen,  TickLevelSelect},
    {"Credits",            true,  DrawCredits,            TickCredits},
    {"MenuSettings",       true,  DrawMenuSettings,       TickMenuSettings},
    {"MenuQuitQuestion",   true,  DrawMenuQuitQuestion,   TickMenuQuitQuestion},
    {"Playing",            false, DrawPlayScreen,         TickPlaying},
    {"InGameMenu",         false, DrawInGameMenu,         TickOverlay},
    {"InGameSettings",     false, DrawInGameSettings,     TickOverlay},
    {"InGameQuitQuestion", false, DrawInGameQuitQuestion, TickOverlay},
    {"LevelComplete",      false, DrawLevelComplete,      TickOverlay},
    {"GameComplete",       false, DrawGameComplete,       TickOverlay},
};
// clang-format on

void HandleWindowEvent(int Event)
{
    switch (Event) {
    case WindowEventRepaint: PresentScreen(); break;
    case WindowEventMinimised:
        if (GameScreen == ModeWindowed)
            PauseBothTracks();
        break;
    case WindowEventRestored:
    case WindowEventActivated: ResumeBothTracks(); break;
    case WindowEventDeactivated:
        if (GameScreen == ModeBorderless) {
            PauseBothTracks();
            // The first deactivation after a re-open does not minimise.
            if (ScreenReopenPending == 0)
                MinimiseScreenWindow();
            else
                ScreenReopenPending = 0;
        }
        break;
    case WindowEventClose: ExitRequested = 1; break;
    default: break;
    }
}

} // namespace

const char* GameStateName(int State)
{
    return State >= 0 && State < GameStateCount ? States[State].Name : nullptr;
}

int GameStateByName(const std::string& Name)
{
    for (int State = 0; State < GameStateCount; ++State)
        if (Name == States[State].Name)
            return State;
    return -1;
}

void BeforeFirstFrame()
{
    MusicOn = Music;
    JoystickNumber = Gamepad;
    JoystickPad = Pad;
    JoystickButton = Button;
    StartPanelSlideIn(PanelMainMenu);
    SetFilteredSampling(1);
    TurnSprite(SpriteTitleBackground, -3.0);
    if (GameScreen != ModeFullScreen)
        ShowScreenWindow();
    if (MusicOn)
        StartTrack(SoundMenuMusic);
}

// Present, then draw back to front, advance what the drawn state advances,
// and read the keyboard and the gamepad, in that order.
int RunFrame()
{
    PumpEvents();
    // A close request (Alt+F4, the window manager) ends the game in every
    // mode; the other window events concern windows only.
    for (int Event = NextWindowEvent(); Event != WindowEventNone; Event = NextWindowEvent())
        if (GameScreen != ModeFullScreen || Event == WindowEventClose)
            HandleWindowEvent(Event);

    PresentScreen();

    if (!ScreenActive()) {
        PauseTrackForFocus();
        SleepMs(100);
        PresentScreen();
        // Keys let go while the game is in the background are not ours: drop
        // them, or they would all fire in the first frame back.
        ExamineKeyboard();
        return !ExitRequested;
    }
    ResumeAfterFocus();

    if (GameState >= 0 && GameState < GameStateCount) {
        const StateFrame& Drawn = States[GameState];
        if (Drawn.TurnsBackdrop)
            TurnSprite(SpriteTitleBackground, SwayStep);
        Drawn.Draw();
        Drawn.Tick();
    }
    ReadKeyboard();
    ReadGamepad();
    return !ExitRequested;
}

void NormalShutdown()
{
    Music = MusicOn;
    LastPlayed = Play.LastPlayedIndex;
    // Both are tried even when the first fails. A failed save has been
    // reported (log, standard error) and the old file is untouched; the
    // process then ends with status 1 rather than claiming success.
    int Saved = SavePreferences(SaveTo);
    Saved = SaveScores(SaveTo) && Saved;
    FatalExit(Saved ? 0 : 1);
}
