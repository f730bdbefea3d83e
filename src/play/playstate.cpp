// The game's one play state: the board rules applied to it with the level
// store's data, the millisecond clock and the current tile size.
#include "play/play.h"
#include "levels/levels.h"
#include "settings/settings.h"
#include "platform/platform.h"

PlayStateRecord Play;

static constexpr int ObstacleLayer = 2;
static_assert(BoardMaxCrates == MaxCrates, "the board and the level store agree on the crate limit");

int PrepareLevel(int ProgressIndex)
{
    if (ProgressIndex < 0 || size_t(ProgressIndex) >= ProgressList.size())
        return 0;
    const std::string Name = ProgressList[size_t(ProgressIndex)].Name;
    // The store keeps only the name of a level whose map it refused (too many
    // crates, too few layers, shorter than it claims) or could not find: such
    // a level has no layers and is not played, or it would be solved at once.
    if (ParseNumber(GetLevelProperty(Name, 6)) < MinLayers)
        return 0;
    BoardLevel Level;
    Level.CrateCount = GetLevelProperty(Name, 9);
    Level.CrateList = GetLevelProperty(Name, 10);
    Level.TargetList = GetLevelProperty(Name, 11);
    Level.WorkerStart = GetLevelProperty(Name, 12);
    for (int X = 0; X < FieldColumns; X++)
        for (int Y = 0; Y < FieldRows; Y++)
            Level.Blocked[X][Y] = IsCellFree(Name, ObstacleLayer, X, Y) == 0;
    if (!SetUpBoard(Play, Level))
        return 0;
    Play.CurrentLevelName = Name;
    Play.LastPlayedIndex = ProgressIndex;
    RenderHudTitle();
    return 1;
}

void AdvanceSlide()
{
    SlideWorker(Play, TileSize);
}

void StartPlayClock()
{
    StartBoardClock(Play, MilliClock());
}

void PauseClock()
{
    PauseBoardClock(Play, MilliClock());
}

void ResumeClock()
{
    ResumeBoardClock(Play, MilliClock());
}

int64_t ElapsedPlayMs()
{
    return BoardElapsedMs(Play, MilliClock());
}
