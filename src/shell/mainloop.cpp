// The frame loop: thirteen screen states, their drawing, timers, key and
// gamepad bindings, music switching, settings, screenshots and the way out.
#include "shell/shell.h"

#include "base/base.h"
#include "display/display.h"
#include "levels/levels.h"
#include "platform/platform.h"
#include "play/play.h"
#include "screens/screens.h"
#include "settings/settings.h"

int32_t GameState = Logo;
int ExitRequested = 0;
int MusicOn = 1;
int MusicChannel = 0;
int ScreenReopenPending = 0;
int32_t IntroCounter = 0;
int32_t SwayCounter = 0;
float SwayStep = 0.01f;
int32_t JoystickCount = 0;
int32_t JoystickNumber = 0, JoystickPad = 0, JoystickButton = 0;

int MainMenuSelection = 1;
int InGameSelection = 1;
int SettingsRow = 1;
int QuitSelection = 1;
int LevelCompleteSelection = 1;

// Channels of the two music tracks (0 when never started).
static int TrackChannel[2] = {0, 0};
// Full screen: music paused because the game lost the focus, resumed when it is back.
static int PausedForFocus = 0;
// Cursor keys (KeyLeft..KeyDown) that were down when the last level was
// completed: their release belongs to the push, not to the level-complete panel.
static int HeldAtCompletion[4] = {0, 0, 0, 0};

// ---------------------------------------------------------------------------
// Music and effects
// ---------------------------------------------------------------------------

static int CurrentTrack()
{
    return GameState < Playing ? SoundMenuMusic : SoundGameMusic;
}

static void StartTrack(int Track)
{
    TrackChannel[Track] = PlaySound(Track, 1);
    MusicChannel = TrackChannel[Track];
}

static void StopTrack(int Track)
{
    if (TrackChannel[Track])
        StopChannel(TrackChannel[Track]);
}

static void PauseTrackIfPlaying(int Track)
{
    if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying)
        PauseChannel(TrackChannel[Track]);
}

static void ResumeTrackIfPaused(int Track)
{
    if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPaused)
        ResumeChannel(TrackChannel[Track]);
}

static void PauseBothTracks()
{
    PauseTrackIfPlaying(SoundMenuMusic);
    PauseTrackIfPlaying(SoundGameMusic);
}

static void ResumeBothTracks()
{
    ResumeTrackIfPaused(SoundMenuMusic);
    ResumeTrackIfPaused(SoundGameMusic);
}

void PlaySoundEffect(int Sound)
{
    PlaySound(Sound, 0);
}

void SwitchToMenuTrack()
{
    if (!MusicOn)
        return;
    StopTrack(SoundGameMusic);
    StartTrack(SoundMenuMusic);
}

void SwitchToGameTrack()
{
    if (!MusicOn)
        return;
    StopTrack(SoundMenuMusic);
    StartTrack(SoundGameMusic);
}

static void ToggleMusic()
{
    if (MusicOn) {
        StopTrack(CurrentTrack());
        MusicOn = 0;
    } else {
        StartTrack(CurrentTrack());
        MusicOn = 1;
    }
}

int PlayingMusicTrack()
{
    for (int Track = 0; Track < 2; ++Track)
        if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying)
            return Track;
    return -1;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

static void RenderSettingsPanel()
{
    RenderSettings(SettingsRow, PendingSettings.GameScreen);
}

static void OpenSettings()
{
    SettingsRow = 1;
    PendingSettings.Language = Language;
    PendingSettings.Music = MusicOn;
    PendingSettings.GameScreen = GameScreen;
    PendingSettings.Resolution = Resolution;
    SelectLanguageEntry(Language);
    RenderSettingsPanel();
}

static void LeaveSettings()
{
    if (Play.InLevel) {
        GameState = InGameMenu;
    } else {
        Panels[PanelMainMenu].SlideCounter = 5;
        GameState = MainMenu;
    }
}

static void RenderEveryPanelInNewLanguage()
{
    RenderMainMenu(MainMenuSelection);
    RenderInGameMenu(InGameSelection);
    RenderSettingsPanel();
    RenderMainMenu(MainMenuSelection);
    RenderLevelComplete(LevelCompleteSelection);
    RenderCredits();
    RenderQuitQuestion(QuitSelection);
    BuildAllCards();
    RenderHudTitle();
    RenderGameComplete();
}

static void ApplySettings()
{
    if (MusicOn == 1 && PendingSettings.Music == 0) {
        StopTrack(CurrentTrack());
        MusicOn = 0;
        LogValue("Music:", "OFF");
    } else if (MusicOn == 0 && PendingSettings.Music == 1) {
        StartTrack(CurrentTrack());
        MusicOn = 1;
        LogValue("Music:", "ON");
    }

    int Reopen = PendingSettings.GameScreen != GameScreen ||
                 (GameScreen == ModeWindowed && PendingSettings.GameScreen == ModeWindowed &&
                  PendingSettings.Resolution != Resolution);

    if (PendingSettings.Language != Language) {
        Language = PendingSettings.Language;
        int Loaded = LoadLanguage(GameDir + "Kistora.languages", Language);
        LogValue("Load language (" + Language + "):", Loaded ? "OK" : "FAILED");
        if (!Reopen)
            RenderEveryPanelInNewLanguage();
    }

    if (Reopen) {
        ScreenReopenPending = 1;
        ReopenScreen();
    }
    LeaveSettings();
    // Written now, not only at the end, so a crash or a lost session keeps
    // them; the values are those the normal end writes. (A re-open that fails
    // has ended the game by now, and the mode that failed is not kept.)
    Music = MusicOn;
    LastPlayed = Play.LastPlayedIndex;
    SavePreferences(SaveTo);
}

// Left (-1) or Right (+1) on a settings row; 1 when a value changed.
static int StepSetting(int Delta)
{
    switch (SettingsRow) {
    case 1: {
        int Next = LanguageListCurrent + Delta;
        if (LanguageList.empty() || Next < 0 || Next >= int(LanguageList.size()))
            return 0;
        LanguageListCurrent = Next;
        PendingSettings.Language = LanguageList[Next].Code;
        return 1;
    }
    case 2: {
        int Wanted = Delta < 0 ? 1 : 0;   // on is the left value
        if (PendingSettings.Music == Wanted)
            return 0;
        PendingSettings.Music = Wanted;
        return 1;
    }
    case 3: {
        int Next = PendingSettings.GameScreen + Delta;
        if (Next < 0 || Next > 2)
            return 0;
        PendingSettings.GameScreen = Next;
        return 1;
    }
    case 4: {
        // Sizes larger than the desktop are passed over like the greyed row.
        int Next = PendingSettings.Resolution + Delta;
        while (Next >= 0 && Next < int(ResolutionList.size()) && !ResolutionFitsDesktop(Next))
            Next += Delta;
        if (Next < 0 || Next >= int(ResolutionList.size()))
            return 0;
        PendingSettings.Resolution = Next;
        return 1;
    }
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Drawing and timers
// ---------------------------------------------------------------------------

static void DrawTitleBackdrop()
{
    TurnSprite(SpriteTitleBackground, SwayStep);
    ShowSpriteTransparent(SpriteTitleBackground, TitleBackgroundX, TitleBackgroundY);
    ShowSpriteTransparent(SpriteTitleArt, 0, 0);
}

static void DrawOverlay(int Panel)
{
    DrawPlayScreen();
    ShowSpriteTransparent(SpriteDimLayer, 0, 0, 128);
    ShowPanelCentred(Panel);
}

static void DrawState()
{
    switch (GameState) {
    case Logo: ShowSprite(SpriteSplashArt, 0, 0); break;
    case Title: DrawTitleBackdrop(); break;
    case MainMenu: DrawTitleBackdrop(); ShowPanelOnTitle(PanelMainMenu); break;
    case LevelSelect: DrawTitleBackdrop(); DrawLevelSelect(); break;
    case Credits: DrawTitleBackdrop(); ShowPanelOnTitle(PanelCredits); break;
    case MenuSettings: DrawTitleBackdrop(); ShowPanelOnTitle(PanelSettings); break;
    case MenuQuitQuestion: DrawTitleBackdrop(); ShowPanelOnTitle(PanelQuitQuestion); break;
    case Playing: DrawPlayScreen(); break;
    case InGameMenu: DrawOverlay(PanelInGameMenu); break;
    case InGameSettings: DrawOverlay(PanelSettings); break;
    case InGameQuitQuestion: DrawOverlay(PanelQuitQuestion); break;
    case LevelComplete: DrawOverlay(PanelLevelComplete); break;
    case GameComplete: DrawOverlay(PanelGameComplete); break;
    default: break;
    }
}

static void NoteKeysHeldAtCompletion()
{
    for (int Key = KeyLeft; Key <= KeyDown; ++Key)
        HeldAtCompletion[Key] = KeyHeld(Key);
}

// 1 for the first release of a key that was down at the last completion.
static int TakeHeldAtCompletion(int Key)
{
    int Held = HeldAtCompletion[Key];
    HeldAtCompletion[Key] = 0;
    return Held;
}

static void AdvanceTimers()
{
    // The sway counts the frames drawn in states 1 to 6; the frame in which
    // the splash hands over to the title was drawn as the splash.
    const int DrawnState = GameState;
    if (GameState == Logo) {
        if (++IntroCounter > 100) {
            FreeSprite(SpriteSplashArt);
            GameState = Title;
            IntroCounter = 0;
        }
    } else if (GameState == Title) {
        if (++IntroCounter > 100) {
            GameState = MainMenu;
            IntroCounter = 0;
        }
    }
    if (DrawnState >= Title && DrawnState <= MenuQuitQuestion) {
        if (++SwayCounter > 600) {
            SwayCounter = 0;
            SwayStep = SwayStep == 0.01f ? -0.01f : 0.01f;
        }
    }
    if (GameState == Playing) {
        CheckCompletion();
        if (GameState == LevelComplete)
            NoteKeysHeldAtCompletion();
    }
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

static int Sliding(int Panel)
{
    return Panels[Panel].SlideCounter > 0;
}

static void TakeScreenshot()
{
    std::string Name = SaveTo + "Kistora " + FormatDate("%dd-%mm-%yyyy %hh-%ii-%ss") + ".png";
    LogValue("Saving screenshot:", SaveScreenshot(Name) ? "OK" : "FAILED");
}

// Leaving a finished level: the current progress entry stays the last played one.
static void BackToMainMenu()
{
    SwitchToMenuTrack();
    GameState = MainMenu;
}

static void HeldHorizontal(int Dir)
{
    if (GameState == LevelSelect) {
        if (StripSlideDirection != 0)
            return;
        if (Dir == DirLeft && SelectedLevelIndex > 0)
            StripSlideDirection = 2;
        if (Dir == DirRight && SelectedLevelIndex < int(ProgressList.size()) - 1)
            StripSlideDirection = 1;
    } else if (GameState == Playing) {
        RequestMove(Dir);
    }
}

static void HeldVertical(int Dir)
{
    if (GameState == Playing)
        RequestMove(Dir);
}

static void StartSelectedLevel()
{
    if (SelectedLevelIndex >= 0 && SelectedLevelIndex < int(ProgressList.size()) &&
        ProgressList[SelectedLevelIndex].Unlocked == 1)
        SetUpLevel(SelectedLevelIndex);
}

// Moves a 1-based selection by Delta within 1..Last; 1 when it moved.
static int StepSelection(int& Selection, int Delta, int Last)
{
    int Next = Selection + Delta;
    if (Next < 1 || Next > Last)
        return 0;
    Selection = Next;
    PlaySoundEffect(SoundRollover);
    return 1;
}

// Up (-1) or Down (+1) released.
static void ReleasedVertical(int Delta)
{
    switch (GameState) {
    case MainMenu:
        if (!Sliding(PanelMainMenu) && StepSelection(MainMenuSelection, Delta, 4))
            RenderMainMenu(MainMenuSelection);
        break;
    case InGameMenu:
        if (StepSelection(InGameSelection, Delta, 4))
            RenderInGameMenu(InGameSelection);
        break;
    case MenuSettings:
    case InGameSettings:
        if (Sliding(PanelSettings))
            break;
        // The window-size row (4) is skipped both ways unless the pending mode is windowed.
        if (PendingSettings.GameScreen != ModeWindowed && SettingsRow == (Delta > 0 ? 3 : 5))
            Delta *= 2;
        if (StepSelection(SettingsRow, Delta, 6))
            RenderSettingsPanel();
        break;
    default: break;
    }
}

// HeldSinceCompletion: the key was already down when the level was completed.
static void ReleasedHorizontal(int Delta, int HeldSinceCompletion)
{
    switch (GameState) {
    case MenuSettings:
    case InGameSettings:
        if (!Sliding(PanelSettings) && StepSetting(Delta)) {
            PlaySoundEffect(SoundRollover);
            RenderSettingsPanel();
        }
        break;
    case MenuQuitQuestion:
    case InGameQuitQuestion: {
        int From = Delta < 0 ? 2 : 1;
        if (!Sliding(PanelQuitQuestion) && QuitSelection == From) {
            QuitSelection = 3 - From;
            PlaySoundEffect(SoundRollover);
            RenderQuitQuestion(QuitSelection);
        }
        break;
    }
    case LevelComplete:
        // The key that made the last push, let go after the completion, is
        // not a choice on the panel.
        if (!HeldSinceCompletion && StepSelection(LevelCompleteSelection, Delta, 3))
            RenderLevelComplete(LevelCompleteSelection);
        break;
    default: break;
    }
}

static void ReturnInMainMenu()
{
    if (Sliding(PanelMainMenu))
        return;
    PlaySoundEffect(SoundClick);
    switch (MainMenuSelection) {
    case 1: GameState = LevelSelect; break;
    case 2:
        OpenSettings();
        Panels[PanelSettings].SlideCounter = 5;
        GameState = MenuSettings;
        break;
    case 3:
        Panels[PanelCredits].SlideCounter = 5;
        GameState = Credits;
        break;
    case 4:
        QuitSelection = 1;
        RenderQuitQuestion(QuitSelection);
        Panels[PanelQuitQuestion].SlideCounter = 5;
        GameState = MenuQuitQuestion;
        break;
    default: break;
    }
}

static void ReturnInGameMenu()
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

static void ReturnInQuitQuestion()
{
    if (Sliding(PanelQuitQuestion))
        return;
    PlaySoundEffect(SoundClick);
    if (QuitSelection == 1) {
        Play.LastPlayedIndex = SelectedLevelIndex;
        if (Play.InLevel) {
            Play.InLevel = 0;
            SwitchToMenuTrack();
            Panels[PanelMainMenu].SlideCounter = 5;
            GameState = MainMenu;
        } else {
            ExitRequested = 1;
        }
    } else if (Play.InLevel) {
        GameState = InGameMenu;
    } else {
        Panels[PanelMainMenu].SlideCounter = 5;
        GameState = MainMenu;
    }
}

static void ReturnInLevelComplete()
{
    int Count = int(ParseNumber(GetArchiveProperty(4)));
    switch (LevelCompleteSelection) {
    case 1:
        PlaySoundEffect(SoundClick);
        SetUpLevel(Play.LastPlayedIndex);
        break;
    case 2:
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

static void ReleasedReturn()
{
    switch (GameState) {
    case MainMenu: ReturnInMainMenu(); break;
    case LevelSelect: StartSelectedLevel(); break;
    case InGameMenu: ReturnInGameMenu(); break;
    case MenuSettings:
    case InGameSettings:
        if (Sliding(PanelSettings))
            break;
        if (SettingsRow == 5) {
            PlaySoundEffect(SoundClick);
            ApplySettings();
        } else if (SettingsRow == 6) {
            PlaySoundEffect(SoundClick);
            SettingsRow = 1;
            LeaveSettings();
        }
        break;
    case MenuQuitQuestion:
    case InGameQuitQuestion: ReturnInQuitQuestion(); break;
    case LevelComplete: ReturnInLevelComplete(); break;
    case GameComplete: BackToMainMenu(); break;
    case Credits:
        if (!Sliding(PanelCredits)) {
            PlaySoundEffect(SoundClick);
            Panels[PanelMainMenu].SlideCounter = 5;
            GameState = MainMenu;
        }
        break;
    default: break;
    }
}

static void ReleasedEscape()
{
    switch (GameState) {
    case Logo:
        GameState = Title;
        IntroCounter = 0;
        break;
    case Title:
        GameState = MainMenu;
        IntroCounter = 0;
        break;
    case MainMenu: ExitRequested = 1; break;
    case LevelSelect:
    case Credits:
    case MenuSettings:
    case MenuQuitQuestion:
        Panels[PanelMainMenu].SlideCounter = 5;
        GameState = MainMenu;
        break;
    case Playing:
        PauseClock();
        GameState = InGameMenu;
        RenderInGameMenu(InGameSelection);
        break;
    case InGameMenu:
        ResumeClock();
        GameState = Playing;
        break;
    case InGameSettings:
    case InGameQuitQuestion: GameState = InGameMenu; break;
    case LevelComplete:
    case GameComplete: BackToMainMenu(); break;
    default: break;
    }
}

static void ReleasedSpace()
{
    switch (GameState) {
    case Logo:
        FreeSprite(SpriteSplashArt);
        GameState = Title;
        IntroCounter = 0;
        break;
    case Title:
        GameState = MainMenu;
        IntroCounter = 0;
        break;
    case GameComplete: BackToMainMenu(); break;
    default: break;
    }
}

static void ReadKeyboard()
{
    ExamineKeyboard();
    if (KeyHeld(KeyLeft))
        HeldHorizontal(DirLeft);
    if (KeyHeld(KeyRight))
        HeldHorizontal(DirRight);
    if (KeyHeld(KeyUp))
        HeldVertical(DirUp);
    if (KeyHeld(KeyDown))
        HeldVertical(DirDown);
    if (KeyReleased(KeyDown))
        ReleasedVertical(+1);
    if (KeyReleased(KeyUp))
        ReleasedVertical(-1);
    if (KeyReleased(KeyLeft))
        ReleasedHorizontal(-1, TakeHeldAtCompletion(KeyLeft));
    if (KeyReleased(KeyRight))
        ReleasedHorizontal(+1, TakeHeldAtCompletion(KeyRight));
    if (KeyReleased(KeyReturn))
        ReleasedReturn();
    if (KeyReleased(KeyS))
        TakeScreenshot();
    if (KeyReleased(KeyM) && GameState != MenuSettings && GameState != InGameSettings)
        ToggleMusic();
    if (KeyReleased(KeyEscape))
        ReleasedEscape();
    if (KeyReleased(KeySpace))
        ReleasedSpace();
}

static void ReadGamepad()
{
    if (JoystickCount <= 0 || !ExamineJoystick(JoystickNumber))
        return;
    int X = GamepadAxisX(JoystickNumber, JoystickPad);
    int Y = GamepadAxisY(JoystickNumber, JoystickPad);
    if (X == -1)
        HeldHorizontal(DirLeft);
    if (X == 1)
        HeldHorizontal(DirRight);
    if (Y == -1)
        HeldVertical(DirUp);
    if (Y == 1)
        HeldVertical(DirDown);
    if (GamepadButton(JoystickNumber, JoystickButton) && GameState == LevelSelect)
        StartSelectedLevel();
}

// ---------------------------------------------------------------------------
// Window events and the frame
// ---------------------------------------------------------------------------

static void HandleWindowEvent(int Event)
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

void BeforeFirstFrame()
{
    MusicOn = Music;
    JoystickNumber = Gamepad;
    JoystickPad = Pad;
    JoystickButton = Button;
    Panels[PanelMainMenu].SlideCounter = 5;
    SetFilteredSampling(1);
    TurnSprite(SpriteTitleBackground, -3.0);
    if (GameScreen != ModeFullScreen)
        ShowScreenWindow();
    if (MusicOn)
        StartTrack(SoundMenuMusic);
}

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
        int Track = CurrentTrack();
        if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying) {
            PauseChannel(TrackChannel[Track]);
            PausedForFocus = GameScreen == ModeFullScreen;
        }
        SleepMs(100);
        PresentScreen();
        // Keys let go while the game is in the background are not ours: drop
        // them, or they would all fire in the first frame back.
        ExamineKeyboard();
        return !ExitRequested;
    }
    // Full screen has no activation event: bring back the music paused for the focus.
    if (PausedForFocus) {
        PausedForFocus = 0;
        ResumeBothTracks();
    }

    DrawState();
    AdvanceTimers();
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
