// The rules of the board, over one play-state record and nothing else: level
// set-up from the level's texts, turn/walk/push requests, the 8-frame slide,
// the step counter, the pause-aware clock and the completion count. No
// drawing, no input, no platform: the caller passes the time and tile size.
#include "play/play.h"
#include "settings/settings.h"

#include <vector>

static int InsideField(int64_t X, int64_t Y);
static int CrateAt(const PlayStateRecord& Board, int X, int Y);
static int CellOpen(const PlayStateRecord& Board, int X, int Y);
static void DirectionStep(int Dir, int* Dx, int* Dy);
static void ShowPose(WorkerRecord& Worker, int Pose, int Dir);
static int DirectionOfMove(int MoveKind);
static void SplitFields(const std::string& Text, std::vector<int64_t>& Fields);
static int64_t FieldAt(const std::vector<int64_t>& Fields, size_t OneBased);

int SetUpBoard(PlayStateRecord& Board, const BoardLevel& Level)
{
    // Read and check everything first: a level with positions outside the
    // field or more crates than the HUD has icons is refused as a whole and
    // leaves the board exactly as it was.
    int64_t Count = ParseNumber(Level.CrateCount);
    if (Count < 0 || Count > BoardMaxCrates)
        return 0;
    std::vector<int64_t> CrateFields, TargetFields, WorkerFields;
    SplitFields(Level.CrateList, CrateFields);
    SplitFields(Level.TargetList, TargetFields);
    SplitFields(Level.WorkerStart, WorkerFields);
    for (size_t I = 1; I <= size_t(Count); I++) {
        if (!InsideField(FieldAt(CrateFields, 2 * I - 1), FieldAt(CrateFields, 2 * I)) ||
            !InsideField(FieldAt(TargetFields, 2 * I - 1), FieldAt(TargetFields, 2 * I)))
            return 0;
    }
    if (!InsideField(FieldAt(WorkerFields, 1), FieldAt(WorkerFields, 2)))
        return 0;

    Board.CrateCount = int32_t(Count);
    for (auto& Column : Board.CrateGrid)
        for (int32_t& Cell : Column)
            Cell = 0;
    for (CellPos& Target : Board.Targets)
        Target = CellPos{};
    for (size_t I = 1; I <= size_t(Count); I++) {
        Board.CrateGrid[FieldAt(CrateFields, 2 * I - 1)][FieldAt(CrateFields, 2 * I)] = 1;
        Board.Targets[I].X = int32_t(FieldAt(TargetFields, 2 * I - 1));
        Board.Targets[I].Y = int32_t(FieldAt(TargetFields, 2 * I));
    }
    for (int X = 0; X < FieldColumns; X++)
        for (int Y = 0; Y < FieldRows; Y++)
            Board.Blocked[X][Y] = Level.Blocked[X][Y];
    Board.Worker.X = int32_t(FieldAt(WorkerFields, 1));
    Board.Worker.Y = int32_t(FieldAt(WorkerFields, 2));
    // Facing carries over from the last attempt; the picture starts idle, left.
    Board.Worker.Pose = PoseIdle;
    Board.Worker.PoseDir = DirLeft;
    for (int I = 1; I <= BoardMaxCrates; I++)
        Board.CrateIndicators[I].Filled = 0;
    Board.CratesOnTargets = 0;
    // A restart may come within the 8 frames of a slide (the pause menu
    // answers at once): the slide of the old attempt ends here, or it would
    // finish on the new board and carry the worker into a wall.
    Board.MoveKind = 0;
    Board.SlideOffset = Board.SlideStep;
    Board.PushedCrate = CellPos{-1, -1};
    Board.StepCount = 0;
    Board.InLevel = 1;
    return 1;
}

void MoveWorker(PlayStateRecord& Board, int Dir)
{
    if (Board.InLevel != 1 || Board.MoveKind != 0)
        return;
    if (Dir < DirLeft || Dir > DirDown)
        return;
    const int Kind = Dir - 1; // 1 left, 2 right, 3 up, 4 down

    // A worker facing elsewhere only turns: no step.
    if (Board.Worker.Facing != Dir) {
        Board.Worker.Facing = Dir;
        ShowPose(Board.Worker, PoseIdle, Dir);
        return;
    }

    int Dx = 0, Dy = 0;
    DirectionStep(Dir, &Dx, &Dy);
    const int NextX = Board.Worker.X + Dx, NextY = Board.Worker.Y + Dy;
    if (!CrateAt(Board, NextX, NextY)) {
        if (CellOpen(Board, NextX, NextY)) {
            ShowPose(Board.Worker, PoseIdle, Dir);
            Board.MoveKind = Kind * 11;
            Board.PushedCrate = CellPos{-1, -1};
            Board.StepCount += 1;
        }
        return; // into a wall: nothing at all, not even the image
    }

    const int BeyondX = NextX + Dx, BeyondY = NextY + Dy;
    if (CrateAt(Board, BeyondX, BeyondY)) {
        // Two crates in a row never move; the worker just faces them.
        Board.Worker.Facing = Dir;
        ShowPose(Board.Worker, PoseIdle, Dir);
        return;
    }
    if (CellOpen(Board, BeyondX, BeyondY)) {
        ShowPose(Board.Worker, PosePush, Dir);
        Board.PushedCrate = CellPos{NextX, NextY};
        Board.MoveKind = Kind;
        Board.StepCount += 1;
    }
}

void SlideWorker(PlayStateRecord& Board, int CellPixels)
{
    if (Board.MoveKind == 0)
        return;
    // The worker is drawn at T/8, 2T/8 .. T; the cells change in the frame it
    // is drawn at the full tile. T/8 is exact in binary, so eight additions
    // land exactly on T. (A larger offset can only come from a layout change
    // in the middle of a slide; it ends the slide too rather than run on.)
    if (Board.SlideOffset == double(CellPixels) || Board.SlideOffset > double(CellPixels)) {
        int Dx = 0, Dy = 0;
        DirectionStep(DirectionOfMove(Board.MoveKind), &Dx, &Dy);
        if (Board.MoveKind <= 4 && Board.PushedCrate.X >= 0) {
            const int FromX = Board.PushedCrate.X, FromY = Board.PushedCrate.Y;
            if (InsideField(FromX, FromY) && InsideField(FromX + Dx, FromY + Dy)) {
                Board.CrateGrid[FromX][FromY] = 0;
                Board.CrateGrid[FromX + Dx][FromY + Dy] = 1;
            }
        }
        Board.Worker.X += Dx;
        Board.Worker.Y += Dy;
        Board.SlideOffset = Board.SlideStep;
        Board.PushedCrate = CellPos{-1, -1};
        Board.MoveKind = 0;
        return;
    }
    Board.SlideOffset += Board.SlideStep;
}

int CoverTargets(PlayStateRecord& Board)
{
    const int Count = Board.CrateCount;
    for (int I = 1; I <= Count; I++)
        Board.CrateIndicators[I].Filled = 0;
    int Covered = 0;
    for (int I = 1; I <= Count; I++) {
        const CellPos& Target = Board.Targets[I];
        if (InsideField(Target.X, Target.Y) && Board.CrateGrid[Target.X][Target.Y] == 1)
            Covered++;
    }
    Board.CratesOnTargets = uint8_t(Covered);
    // The icons fill from the first position on, whichever crates are placed.
    for (int I = 1; I <= Covered; I++)
        Board.CrateIndicators[I].Filled = 1;
    return Covered == Count;
}

void StartBoardClock(PlayStateRecord& Board, int64_t NowMs)
{
    Board.LevelStartMs = NowMs;
    Board.ClockPaused = 0;
}

void PauseBoardClock(PlayStateRecord& Board, int64_t NowMs)
{
    Board.PauseStartMs = NowMs;
    Board.ClockPaused = 1;
}

void ResumeBoardClock(PlayStateRecord& Board, int64_t NowMs)
{
    Board.LevelStartMs += NowMs - Board.PauseStartMs;
    Board.ClockPaused = 0;
}

int64_t BoardElapsedMs(const PlayStateRecord& Board, int64_t NowMs)
{
    return NowMs - Board.LevelStartMs;
}

static int InsideField(int64_t X, int64_t Y)
{
    return X >= 0 && X < FieldColumns && Y >= 0 && Y < FieldRows;
}

static int CrateAt(const PlayStateRecord& Board, int X, int Y)
{
    return InsideField(X, Y) && Board.CrateGrid[X][Y] == 1;
}

// A cell the worker or a crate may enter: inside the field and not blocked.
static int CellOpen(const PlayStateRecord& Board, int X, int Y)
{
    return InsideField(X, Y) && !Board.Blocked[X][Y];
}

static void ShowPose(WorkerRecord& Worker, int Pose, int Dir)
{
    Worker.Pose = Pose;
    Worker.PoseDir = Dir;
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
        if (Comma == std::string::npos)
            break;
        Start = Comma + 1;
    }
}

// Field n (1-based); a missing field reads as 0.
static int64_t FieldAt(const std::vector<int64_t>& Fields, size_t OneBased)
{
    return OneBased >= 1 && OneBased <= Fields.size() ? Fields[OneBased - 1] : 0;
}
