// The settings panel's flow, from the main menu (5) or the pause menu (9):
// opening it with the pending copy, stepping a row's value, applying (music,
// language, screen re-open) and leaving.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

static void RenderEveryPanelInNewLanguage();

void RenderSettingsPanel()
{
    RenderSettings(SettingsRow, PendingSettings.GameScreen);
}

void OpenSettings()
{
    SettingsRow = 1;
    PendingSettings.Language = Language;
    PendingSettings.Music = MusicOn;
    PendingSettings.GameScreen = GameScreen;
    PendingSettings.Resolution = Resolution;
    SelectLanguageEntry(Language);
    RenderSettingsPanel();
}

void LeaveSettings()
{
    if (Play.InLevel) {
        GameState = InGameMenu;
    } else {
        StartPanelSlideIn(PanelMainMenu);
        GameState = MainMenu;
    }
}

void ApplySettings()
{
    // "ON" and "OFF" in capitals here, "On" and "Off" at start-up: the log has always read so.
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

int StepSetting(int Delta)
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
        int Wanted = Delta < 0 ? 1 : 0; // on is the left value
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

// The main menu twice, as it always was: the second rendering is the one kept.
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
