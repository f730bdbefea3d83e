// The board rules on their own: two records side by side, no level store, no
// screen, no clock but the times passed in. This binary links the rules and
// the number parser only; a test beside it checks that no platform library
// came with them.
#include "play/play.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// '#' blocked, '$' crate, '.' target, '*' crate on target, '@' worker.
BoardLevel LevelFrom(const std::vector<std::string>& Rows)
{
    BoardLevel Level;
    int Count = 0;
    for (int Y = 0; Y < int(Rows.size()); Y++) {
        for (int X = 0; X < int(Rows[Y].size()); X++) {
            const char C = Rows[Y][X];
            const std::string Cell = std::to_string(X) + "," + std::to_string(Y);
            Level.Blocked[X][Y] = C == '#';
            if (C == '$' || C == '*') {
                Level.CrateList += (Level.CrateList.empty() ? "" : ",") + Cell;
                Count++;
            }
            if (C == '.' || C == '*')
                Level.TargetList += (Level.TargetList.empty() ? "" : ",") + Cell;
            if (C == '@')
                Level.WorkerStart = Cell;
        }
    }
    Level.CrateCount = std::to_string(Count);
    return Level;
}

// Requests Dir once and lets the slide run its 8 frames.
void Step(PlayStateRecord& Board, int Dir, int Tile)
{
    MoveWorker(Board, Dir);
    for (int Frame = 0; Frame < 8; Frame++)
        SlideWorker(Board, Tile);
}

} // namespace

TEST(BoardRules, TwoBoardsPlayApartFromTextsAndTimesAlone)
{
    const BoardLevel Level = LevelFrom({
        "#######",
        "#@ $ .#",
        "#  *  #",
        "#######",
    });
    PlayStateRecord A, B;
    A.SlideStep = A.SlideOffset = 45 / 8.0; // a 45-pixel tile: 5.625 per frame
    B.SlideStep = B.SlideOffset = 8.0;
    ASSERT_EQ(SetUpBoard(A, Level), 1);
    ASSERT_EQ(SetUpBoard(B, Level), 1);
    EXPECT_EQ(A.CrateCount, 2);
    EXPECT_EQ(A.InLevel, 1);
    EXPECT_EQ(CoverTargets(A), 0);
    EXPECT_EQ(A.CratesOnTargets, 1);
    EXPECT_EQ(A.CrateIndicators[1].Filled, 1); // icons fill from the first
    EXPECT_EQ(A.CrateIndicators[2].Filled, 0);

    StartBoardClock(A, 1000);
    Step(A, DirRight, 45); // a turn: no step
    EXPECT_EQ(A.StepCount, 0);
    Step(A, DirRight, 45); // walk to (2, 1)
    EXPECT_EQ(A.Worker.X, 2);
    MoveWorker(A, DirRight); // push (3, 1) right
    EXPECT_EQ(A.MoveKind, 2);
    for (int Frame = 0; Frame < 7; Frame++)
        SlideWorker(A, 45);
    EXPECT_EQ(A.CrateGrid[3][1], 1); // the cells change on the 8th frame
    SlideWorker(A, 45);
    EXPECT_EQ(A.CrateGrid[4][1], 1);
    EXPECT_EQ(A.Worker.X, 3);
    Step(A, DirRight, 45); // and on to the target
    EXPECT_EQ(CoverTargets(A), 1);
    EXPECT_EQ(A.StepCount, 3);

    PauseBoardClock(A, 5000);
    EXPECT_EQ(A.ClockPaused, 1);
    ResumeBoardClock(A, 65000); // a minute's pause is not play time
    EXPECT_EQ(BoardElapsedMs(A, 66000), 5000);

    // B never moved: same level, its own record.
    EXPECT_EQ(B.Worker.X, 1);
    EXPECT_EQ(B.StepCount, 0);
    EXPECT_EQ(B.CrateGrid[3][1], 1);
    Step(B, DirDown, 64);
    Step(B, DirDown, 64);
    Step(B, DirDown, 64); // the wall below row 2 holds
    EXPECT_EQ(B.Worker.Y, 2);
    EXPECT_EQ(B.StepCount, 1);
}

TEST(BoardRules, RefusedLevelsLeaveTheBoardAsItWas)
{
    PlayStateRecord Board;
    ASSERT_EQ(SetUpBoard(Board, LevelFrom({"#####", "#@$.#", "#####"})), 1);
    Board.StepCount = 7;

    BoardLevel Outside = LevelFrom({"#####", "#@$.#", "#####"});
    Outside.WorkerStart = "30,1"; // one past the last column
    BoardLevel TooMany = Outside;
    TooMany.WorkerStart = "1,1";
    TooMany.CrateCount = "13";
    BoardLevel Negative = TooMany;
    Negative.CrateCount = "-1";
    for (const BoardLevel* Refused : {&Outside, &TooMany, &Negative}) {
        EXPECT_EQ(SetUpBoard(Board, *Refused), 0);
        EXPECT_EQ(Board.StepCount, 7);
        EXPECT_EQ(Board.CrateGrid[2][1], 1);
        EXPECT_EQ(Board.Worker.X, 1);
    }
    // Outside the field nothing is open, whatever the walls say.
    BoardLevel Edge;
    Edge.CrateCount = "0";
    Edge.WorkerStart = "29,14";
    ASSERT_EQ(SetUpBoard(Board, Edge), 1);
    Board.Worker.Facing = DirRight;
    MoveWorker(Board, DirRight);
    EXPECT_EQ(Board.MoveKind, 0);
    EXPECT_EQ(CoverTargets(Board), 1); // no crates: solved at once
}

// The picture is a pose and a direction, no sprite: idle to the left after a
// set-up whatever the worker faces, idle on a turn or a walk, push while
// pushing and after it until the next request changes it.
TEST(BoardRules, ThePoseFollowsTheRequests)
{
    const BoardLevel Level = LevelFrom({
        "#######",
        "#@ $  #",
        "#######",
    });
    PlayStateRecord Board;
    Board.SlideStep = Board.SlideOffset = 8.0;
    EXPECT_EQ(Board.Worker.Pose, PoseNone); // before any level
    Board.Worker.Facing = DirDown;
    ASSERT_EQ(SetUpBoard(Board, Level), 1);
    EXPECT_EQ(Board.Worker.Pose, PoseIdle);
    EXPECT_EQ(Board.Worker.PoseDir, DirLeft);
    EXPECT_EQ(Board.Worker.Facing, DirDown);

    MoveWorker(Board, DirRight); // a turn
    EXPECT_EQ(Board.Worker.Pose, PoseIdle);
    EXPECT_EQ(Board.Worker.PoseDir, DirRight);
    Step(Board, DirRight, 64); // a walk to (2, 1)
    EXPECT_EQ(Board.Worker.Pose, PoseIdle);
    Step(Board, DirRight, 64); // a push of (3, 1)
    EXPECT_EQ(Board.Worker.X, 3);
    EXPECT_EQ(Board.Worker.Pose, PosePush);
    EXPECT_EQ(Board.Worker.PoseDir, DirRight);
    MoveWorker(Board, DirUp); // a turn
    EXPECT_EQ(Board.Worker.Pose, PoseIdle);
    EXPECT_EQ(Board.Worker.PoseDir, DirUp);
    MoveWorker(Board, DirUp); // into the wall: the picture stays
    EXPECT_EQ(Board.MoveKind, 0);
    EXPECT_EQ(Board.Worker.PoseDir, DirUp);
}
