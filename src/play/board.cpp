// The play state and the move rules: level set-up, turn/walk/push requests,
// the 8-frame slide, the pause-aware play clock and the completion test.
// Nothing here reads input or draws, except that a set-up refreshes the HUD
// title and a completion renders the level-complete panel.
#include "display/display.h"
#include "levels/levels.h"
#include "platform/platform.h"
#include "play/play.h"
#include "screens/screens.h"
#include "settings/settings.h"
#include "shell/shell.h"

#include <vector>

// The playing field: columns 0..29, rows 0..14. Nothing ever moves outside it.
constexpr int FieldColumns = 30;
constexpr int FieldRows = 15;
constexpr int ObstacleLayer = 2;

PlayStateRecord Play;

static int InsideField(int64_t X, int64_t Y);
static int CrateAt(int X, int Y);
static int CellOpen(int X, int Y);
static void DirectionStep(int Dir, int* Dx, int* Dy);
static int DirectionOfMove(int MoveKind);
static void SplitFields(const std::string& Text, std::vector<int64_t>& Fields);
static int64_t FieldAt(const std::vector<int64_t>& Fields, size_t OneBased);

int SetUpLevel(int ProgressIndex)
{
    if (ProgressIndex < 0 || size_t(ProgressIndex) >= ProgressList.size()) {
        return 0;
    }
    const std::string Name = ProgressList[size_t(ProgressIndex)].Name;

    // Read and check everything first: a level with positions outside the
    // field or more crates than the HUD has icons is refused as a whole and
    // leaves the play state exactly as it was.
    int64_t Count = ParseNumber(GetLevelProperty(Name, 9));
    if (Count < 0 || Count > MaxCrates) {
        return 0;
    }
    std::vector<int64_t> CrateFields, TargetFields, WorkerFields;
    SplitFields(GetLevelProperty(Name, 10), CrateFields);
    SplitFields(GetLevelProperty(Name, 11), TargetFields);
    SplitFields(GetLevelProperty(Name, 12), WorkerFields);
    for (size_t I = 1; I <= size_t(Count); I++) {
        if (!InsideField(FieldAt(CrateFields, 2 * I - 1), FieldAt(CrateFields, 2 * I)) ||
            !InsideField(FieldAt(TargetFields, 2 * I - 1), FieldAt(TargetFields, 2 * I))) {
            return 0;
        }
    }
    if (!InsideField(FieldAt(WorkerFields, 1), FieldAt(WorkerFields, 2))) {
        return 0;
    }

    Play.CurrentLevelName = Name;
    Play.LastPlayedIndex = ProgressIndex;
    JoystickCount = InitJoystick();
    InGameSelection = 1;

    Play.CrateCount = int32_t(Count);
    for (auto& Column : Play.CrateGrid) {
        for (int32_t& Cell : Column) {
            Cell = 0;
        }
    }
    for (CellPos& Target : Play.Targets) {
        Target = CellPos{};
    }
    for (size_t I = 1; I <= size_t(Count); I++) {
        Play.CrateGrid[FieldAt(CrateFields, 2 * I - 1)][FieldAt(CrateFields, 2 * I)] = 1;
        Play.Targets[I].X = int32_t(FieldAt(TargetFields, 2 * I - 1));
        Play.Targets[I].Y = int32_t(FieldAt(TargetFields, 2 * I));
    }
    Play.Worker.X = int32_t(FieldAt(WorkerFields, 1));
    Play.Worker.Y = int32_t(FieldAt(WorkerFields, 2));
    Play.Worker.Image = SpriteIdleLeft; // Facing carries over from the last attempt

    RenderHudTitle();
    for (int I = 1; I <= MaxCrates; I++) {
        Play.CrateIndicators[I].Filled = 0;
    }
    Play.CratesOnTargets = 0;

    if (GameState < Playing && MusicOn) {
        SwitchToGameTrack();
    }
    Play.StepCount = 0;
    Play.InLevel = 1;
    Play.LevelStartMs = MilliClock();
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
    if (GameState != Playing || Play.InLevel != 1 || Play.MoveKind != 0) {
        return;
    }
    if (Dir < DirLeft || Dir > DirDown) {
        return;
    }
    const int IdleImage = SpriteIdleLeft + (Dir - DirLeft);
    const int PushImage = SpritePushLeft + (Dir - DirLeft);
    const int Kind = Dir - 1; // 1 left, 2 right, 3 up, 4 down

    // A worker facing elsewhere only turns: no step.
    if (Play.Worker.Facing != Dir) {
        Play.Worker.Facing = Dir;
        Play.Worker.Image = IdleImage;
        return;
    }

    int Dx = 0, Dy = 0;
    DirectionStep(Dir, &Dx, &Dy);
    const int NextX = Play.Worker.X + Dx, NextY = Play.Worker.Y + Dy;
    if (!CrateAt(NextX, NextY)) {
        if (CellOpen(NextX, NextY)) {
            Play.Worker.Image = IdleImage;
            Play.MoveKind = Kind * 11;
            Play.PushedCrate = CellPos{-1, -1};
            Play.StepCount += 1;
        }
        return; // into a wall: nothing at all, not even the image
    }

    const int BeyondX = NextX + Dx, BeyondY = NextY + Dy;
    if (CrateAt(BeyondX, BeyondY)) {
        // Two crates in a row never move; the worker just faces them.
        Play.Worker.Facing = Dir;
        Play.Worker.Image = IdleImage;
        return;
    }
    if (CellOpen(BeyondX, BeyondY)) {
        Play.Worker.Image = PushImage;
        Play.PushedCrate = CellPos{NextX, NextY};
        Play.MoveKind = Kind;
        Play.StepCount += 1;
    }
}

void AdvanceSlide()
{
    if (Play.MoveKind == 0) {
        return;
    }
    // The worker is drawn at T/8, 2T/8 .. T; the cells change in the frame it
    // is drawn at the full tile. T/8 is exact in binary, so eight additions
    // land exactly on T. (A larger offset can only come from a layout change
    // in the middle of a slide; it ends the slide too rather than run on.)
    if (Play.SlideOffset == double(TileSize) || Play.SlideOffset > double(TileSize)) {
        int Dx = 0, Dy = 0;
        DirectionStep(DirectionOfMove(Play.MoveKind), &Dx, &Dy);
        if (Play.MoveKind <= 4 && Play.PushedCrate.X >= 0) {
            const int FromX = Play.PushedCrate.X, FromY = Play.PushedCrate.Y;
            if (InsideField(FromX, FromY) && InsideField(FromX + Dx, FromY + Dy)) {
                Play.CrateGrid[FromX][FromY] = 0;
                Play.CrateGrid[FromX + Dx][FromY + Dy] = 1;
            }
        }
        Play.Worker.X += Dx;
        Play.Worker.Y += Dy;
        Play.SlideOffset = Play.SlideStep;
        Play.PushedCrate = CellPos{-1, -1};
        Play.MoveKind = 0;
        return;
    }
    Play.SlideOffset += Play.SlideStep;
}

void CheckCompletion()
{
    if (Play.InLevel != 1 || GameState != Playing) {
        return;
    }
    const int Count = Play.CrateCount;
    for (int I = 1; I <= Count; I++) {
        Play.CrateIndicators[I].Filled = 0;
    }
    int Covered = 0;
    for (int I = 1; I <= Count; I++) {
        const CellPos& Target = Play.Targets[I];
        if (InsideField(Target.X, Target.Y) && Play.CrateGrid[Target.X][Target.Y] == 1) {
            Covered++;
        }
    }
    Play.CratesOnTargets = uint8_t(Covered);
    for (int I = 1; I <= Covered; I++) {
        Play.CrateIndicators[I].Filled = 1;
    }
    if (Covered != Count) {
        return;
    }

    const int64_t Elapsed = ElapsedPlayMs();
    const int Entry = Play.LastPlayedIndex;
    const int HasEntry = Entry >= 0 && size_t(Entry) < ProgressList.size();
    if (HasEntry) {
        // The latest result replaces the stored one, better or not.
        ProgressList[size_t(Entry)].TimeMs = Elapsed;
        ProgressList[size_t(Entry)].Steps = Play.StepCount;
        RedrawCard(Entry);
    }
    LevelCompleteSelection = 3;
    RenderLevelComplete(3);
    Play.InLevel = 0;
    if (HasEntry && size_t(Entry) + 1 < ProgressList.size()) {
        ProgressList[size_t(Entry) + 1].Unlocked = 1;
        RedrawCard(Entry + 1);
    }
    GameState = LevelComplete;
}

void PauseClock()
{
    Play.PauseStartMs = MilliClock();
}

void ResumeClock()
{
    Play.LevelStartMs += MilliClock() - Play.PauseStartMs;
}

int64_t ElapsedPlayMs()
{
    return MilliClock() - Play.LevelStartMs;
}

static int InsideField(int64_t X, int64_t Y)
{
    return X >= 0 && X < FieldColumns && Y >= 0 && Y < FieldRows;
}

static int CrateAt(int X, int Y)
{
    return InsideField(X, Y) && Play.CrateGrid[X][Y] == 1;
}

// A cell the worker or a crate may enter: inside the field and not an
// obstacle. A level without an obstacle layer (answer -1) has no walls, but
// the field's edge still holds.
static int CellOpen(int X, int Y)
{
    return InsideField(X, Y) && IsCellFree(Play.CurrentLevelName, ObstacleLayer, X, Y) != 0;
}

static void DirectionStep(int Dir, int* Dx, int* Dy)
{
    *Dx = Dir == DirLeft ? -1 : (Dir == DirRight ? 1 : 0);
    *Dy = Dir == DirUp ? -1 : (Dir == DirDown ? 1 : 0);
}

// 1-4 push, 11/22/33/44 walk -> the direction 2-5 (0 when idle).
static int DirectionOfMove(int MoveKind)
{
    int Kind = MoveKind > 4 ? MoveKind / 11 : MoveKind;
    return Kind >= 1 && Kind <= 4 ? Kind + 1 : 0;
}

// Comma-separated fields, each read by the one number parser.
static void SplitFields(const std::string& Text, std::vector<int64_t>& Fields)
{
    Fields.clear();
    size_t Start = 0;
    for (;;) {
        size_t Comma = Text.find(',', Start);
        Fields.push_back(
            ParseNumber(Text.substr(Start, Comma == std::string::npos ? std::string::npos : Comma - Start)));
        if (Comma == std::string::npos) {
            break;
        }
        Start = Comma + 1;
    }
}

// Field n (1-based); a missing field reads as 0.
static int64_t FieldAt(const std::vector<int64_t>& Fields, size_t OneBased)
{
    return OneBased >= 1 && OneBased <= Fields.size() ? Fields[OneBased - 1] : 0;
}
