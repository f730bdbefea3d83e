// A level from its start to its end: the board rules joined to the game's
// states, selections, music, panels and progress.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "base/base.h"
#include "platform/platform.h"

// A level whose data the rules refuse (a position outside the field, more
// than 12 crates) or whose map the level store refused is not played: the log says so and the level select shows
// that level, so the player sees where they stand and is never carried past it.
static void RefuseLevel(int ProgressIndex)
{
    const int Known = ProgressIndex >= 0 && size_t(ProgressIndex) < ProgressList.size();
    LogValue("Set up level (" + (Known ? ProgressList[size_t(ProgressIndex)].Name : std::string()) + "):", "FAILED");
    if (Known)
        SelectedLevelIndex = ProgressIndex;
    StripSlideDirection = 0;
    StripSlideOffset = StripSlideStep;
    if (GameState >= Playing) {
        // From a level (restart, retry, next): back to the menus and their music.
        Play.InLevel = 0;
        SwitchToMenuTrack();
    }
    GameState = LevelSelect;
}

int SetUpLevel(int ProgressIndex)
{
    if (!PrepareLevel(ProgressIndex)) {
        RefuseLevel(ProgressIndex);
        return 0;
    }
    JoystickCount = InitJoystick();
    InGameSelection = 1;
    if (GameState < Playing && MusicOn)
        SwitchToGameTrack();
    StartPlayClock();
    // Started from the level select: the menu panels slide in again later.
    if (GameState == LevelSelect) {
        Panels[PanelMainMenu].SlideCounter = 0;
        Panels[PanelSettings].SlideCounter = 0;
        Panels[PanelQuitQuestion].SlideCounter = 0;
    }
    GameState = Playing;
    return 1;
}

void RequestMove(int Dir)
{
    if (GameState == Playing)
        MoveWorker(Play, Dir);
}

void CheckCompletion()
{
    if (Play.InLevel != 1 || GameState != Playing)
        return;
    if (!CoverTargets(Play))
        return;

    const int64_t Elapsed = ElapsedPlayMs();
    const int Entry = Play.LastPlayedIndex;
    const int HasEntry = Entry >= 0 && size_t(Entry) < ProgressList.size();
    if (HasEntry) {
        // The latest result replaces the stored one, better or not.
        ProgressList[size_t(Entry)].TimeMs = Elapsed;
        ProgressList[size_t(Entry)].Steps = Play.StepCount;
        RedrawCard(Entry);
    }
    // The panel preselects "next"; the game track plays on until the player
    // leaves for the main menu.
    LevelCompleteSelection = 3;
    RenderLevelComplete(3);
    Play.InLevel = 0;
    if (HasEntry && size_t(Entry) + 1 < ProgressList.size()) {
        ProgressList[size_t(Entry) + 1].Unlocked = 1;
        RedrawCard(Entry + 1);
    }
    GameState = LevelComplete;
    // Written at once, so a crash or a lost session never takes a solved
    // level with it; the normal end writes the same file again.
    SaveScores(SaveTo);
}
