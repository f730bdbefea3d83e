// Move rules, slide, clock and completion on hand-made levels.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "test_scratch.h"

namespace {

std::u16string Wide(const std::string& Text)
{
    return std::u16string(Text.begin(), Text.end());
}

// A level drawn as 15 rows of up to 30 characters: '#' obstacle, '$' crate,
// '.' target, '*' crate on target, '@' worker, '+' worker on target. Rows and
// columns not given are open floor. Layers 0 and 1 hold floor tiles, layer 2
// the obstacles.
void AddLevel(const std::string& Name, const std::vector<std::string>& Rows, int Layers = 3)
{
    LevelRecord Level;
    Level.Name = Wide(Name);
    Level.TitleKey = Wide("tTitle" + Name);
    Level.Width = 30;
    Level.Height = 15;
    Level.LayerCount = Layers;
    for (int K = 0; K < Layers; K++) {
        Level.Layers[K].Present = 1;
    }
    std::string Crates, Targets, Worker;
    int Count = 0;
    for (int Y = 0; Y < int(Rows.size()); Y++) {
        for (int X = 0; X < int(Rows[Y].size()); X++) {
            const char C = Rows[Y][X];
            const std::string Cell = std::to_string(X) + "," + std::to_string(Y);
            if (C == '#' && Layers > 2) {
                Level.Layers[2].Cells[X][Y] = 3;
            }
            if (C == '$' || C == '*') {
                Crates += (Crates.empty() ? "" : ",") + Cell;
                Count++;
            }
            if (C == '.' || C == '*' || C == '+') {
                Targets += (Targets.empty() ? "" : ",") + Cell;
            }
            if (C == '@' || C == '+') {
                Worker = Cell;
            }
        }
    }
    Level.CrateCount = Count;
    Level.CrateList = Wide(Crates);
    Level.TargetList = Wide(Targets);
    Level.WorkerStart = Wide(Worker);
    levelsByName[Name] = Level;
}

// The same picture back from the play state (crates and worker only; walls
// and targets from the level).
std::string Board(const std::string& Name)
{
    const LevelRecord& Level = levelsByName[Name];
    std::string Out;
    for (int Y = 0; Y < 15; Y++) {
        std::string Row;
        for (int X = 0; X < 30; X++) {
            bool Target = false;
            for (int I = 1; I <= Play.CrateCount; I++) {
                Target = Target || (Play.Targets[I].X == X && Play.Targets[I].Y == Y);
            }
            const bool Crate = Play.CrateGrid[X][Y] == 1;
            const bool Worker = Play.Worker.X == X && Play.Worker.Y == Y;
            char C = ' ';
            if (Level.LayerCount > 2 && Level.Layers[2].Cells[X][Y] != 0) {
                C = '#';
            } else if (Worker) {
                C = Target ? '+' : '@';
            } else if (Crate) {
                C = Target ? '*' : '$';
            } else if (Target) {
                C = '.';
            }
            Row += C;
        }
        while (!Row.empty() && Row.back() == ' ') {
            Row.pop_back();
        }
        Out += Row + "\n";
    }
    while (Out.size() >= 2 && Out[Out.size() - 1] == '\n' && Out[Out.size() - 2] == '\n') {
        Out.pop_back();
    }
    return Out;
}

class PlayRules : public ::testing::Test {
  protected:
    ScratchFolder Folder; // completions write the scores here
    std::string SavedSaveTo;

    void SetUp() override
    {
        SavedSaveTo = SaveTo;
        SaveTo = Folder.Path();
        Overrides.Headless = 1;
        levelsByName.clear();
        ProgressList.clear();
        Play = PlayStateRecord{};
        MusicOn = 0;
        GameState = LevelSelect;
        ComputePlayLayout(1920, 1080, Aspect16x9); // T = 64, slide step 8
    }

    void TearDown() override
    {
        levelsByName.clear();
        ProgressList.clear();
        Play = PlayStateRecord{};
        GameState = Logo;
        SaveTo = SavedSaveTo;
    }

    // Progress entries for the named levels, the first one unlocked.
    void UseLevels(const std::vector<std::string>& Names)
    {
        ProgressList.clear();
        for (const std::string& Name : Names) {
            LevelProgress Entry;
            Entry.Name = Name;
            ProgressList.push_back(Entry);
        }
        ProgressList[0].Unlocked = 1;
    }

    // One frame of play in the main loop's order: the screen drawing advances
    // the slide, completion is checked, then the held directions are read.
    void Frame(std::vector<int> Held = {})
    {
        AdvanceSlide();
        if (GameState == Playing) {
            CheckCompletion();
        }
        for (int Dir : Held) {
            RequestMove(Dir);
        }
        AdvanceVirtualFrame();
    }

    void Frames(int Count, std::vector<int> Held = {})
    {
        for (int I = 0; I < Count; I++) {
            Frame(Held);
        }
    }

    // Asks for one move and lets its slide finish.
    void Step(int Dir)
    {
        RequestMove(Dir);
        Frames(8);
    }
};

const std::vector<std::string> Corridor = {
    "##########",
    "#@      .#",
    "#  $     #",
    "##########",
};

TEST_F(PlayRules, SetUpPlacesCratesTargetsWorkerAndStartsPlay)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    Panels[PanelMainMenu].SlideCounter = 5;
    Panels[PanelSettings].SlideCounter = 5;
    Panels[PanelQuitQuestion].SlideCounter = 5;
    Panels[PanelCredits].SlideCounter = 5;
    InGameSelection = 3;

    ASSERT_EQ(SetUpLevel(0), 1);
    EXPECT_EQ(GameState, Playing);
    EXPECT_EQ(Play.InLevel, 1);
    EXPECT_EQ(Play.CurrentLevelName, "one");
    EXPECT_EQ(Play.LastPlayedIndex, 0);
    EXPECT_EQ(Play.CrateCount, 1);
    EXPECT_EQ(Play.StepCount, 0);
    EXPECT_EQ(WorkerSprite(Play.Worker), SpriteIdleLeft);
    EXPECT_EQ(InGameSelection, 1);
    EXPECT_EQ(Board("one"), "##########\n#@      .#\n#  $     #\n##########\n");
    // Started from the level select: the menu panels slide in again later.
    EXPECT_EQ(Panels[PanelMainMenu].SlideCounter, 0);
    EXPECT_EQ(Panels[PanelSettings].SlideCounter, 0);
    EXPECT_EQ(Panels[PanelQuitQuestion].SlideCounter, 0);
    EXPECT_EQ(Panels[PanelCredits].SlideCounter, 5);
}

TEST_F(PlayRules, RestartClearsTheOldBoardAndKeepsFacing)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    ASSERT_EQ(SetUpLevel(0), 1);
    Step(DirDown);  // turn
    Step(DirDown);  // walk to (1, 2)
    Step(DirRight); // turn
    Step(DirRight); // walk to (2, 2)
    Step(DirRight); // push the crate to (4, 2)
    ASSERT_EQ(Board("one"), "##########\n#       .#\n#  @$    #\n##########\n");
    ASSERT_EQ(Play.StepCount, 3);

    GameState = InGameMenu;
    Panels[PanelMainMenu].SlideCounter = 5;
    ASSERT_EQ(SetUpLevel(0), 1);
    EXPECT_EQ(Board("one"), "##########\n#@      .#\n#  $     #\n##########\n");
    EXPECT_EQ(Play.StepCount, 0);
    EXPECT_EQ(Play.Worker.Facing, DirRight);              // kept from the last attempt
    EXPECT_EQ(WorkerSprite(Play.Worker), SpriteIdleLeft); // but the picture starts left
    EXPECT_EQ(Panels[PanelMainMenu].SlideCounter, 5);     // not from the level select
    // Facing right already: the first request walks at once.
    RequestMove(DirRight);
    EXPECT_EQ(Play.MoveKind, 22);
}

// The pause menu answers at once, so a restart can come in the middle of a
// slide: the new attempt starts idle at the level's start, and the old slide
// never finishes on the new board.
TEST_F(PlayRules, RestartDuringASlideStartsIdle)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    for (int Dir : {DirRight, DirDown}) {
        SCOPED_TRACE(Dir);
        ASSERT_EQ(SetUpLevel(0), 1);
        Play.Worker.Facing = Dir;
        if (Dir == DirDown) {
            Step(DirDown);  // to (1, 2)
            Step(DirRight); // turn
            Step(DirRight); // to (2, 2), beside the crate
        }
        RequestMove(DirRight); // a walk, or the push of the crate at (3, 2)
        ASSERT_EQ(Play.MoveKind, Dir == DirRight ? 22 : 2);
        Frames(3);
        GameState = InGameMenu;
        ASSERT_EQ(SetUpLevel(0), 1);
        EXPECT_EQ(Play.MoveKind, 0);
        EXPECT_EQ(Play.PushedCrate.X, -1);
        Frames(12);
        EXPECT_EQ(Board("one"), "##########\n#@      .#\n#  $     #\n##########\n");
        EXPECT_EQ(Play.StepCount, 0);
        // The first move of the new attempt slides its full 8 frames.
        RequestMove(DirRight);
        Frames(7);
        EXPECT_EQ(Play.Worker.X, 1);
        Frames(1);
        EXPECT_EQ(Play.Worker.X, 2);
    }
}

TEST_F(PlayRules, FirstRequestTurnsThenTheSameDirectionWalks)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    ASSERT_EQ(SetUpLevel(0), 1);

    RequestMove(DirRight);
    EXPECT_EQ(Play.Worker.Facing, DirRight);
    EXPECT_EQ(WorkerSprite(Play.Worker), SpriteIdleRight);
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);

    RequestMove(DirRight);
    EXPECT_EQ(Play.MoveKind, 22);
    EXPECT_EQ(Play.PushedCrate.X, -1);
    EXPECT_EQ(Play.StepCount, 1); // counted when accepted ...
    EXPECT_EQ(Play.Worker.X, 1);  // ... while the cell changes at the slide's end
    RequestMove(DirRight);        // ignored: a slide runs
    EXPECT_EQ(Play.StepCount, 1);
    Frames(8);
    EXPECT_EQ(Play.Worker.X, 2);
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 1);
}

TEST_F(PlayRules, EveryDirectionHasItsWalkAndPushCodesAndImages)
{
    AddLevel("open", {
                         "#########",
                         "#       #",
                         "#   $   #",
                         "#  $@$  #",
                         "#   $   #",
                         "#       #",
                         "#########",
                     });
    UseLevels({"open"});
    struct Case {
        int Dir, PushKind, WalkKind, IdleImage, PushImage, Dx, Dy;
    };
    const Case Cases[] = {
        {DirLeft, 1, 11, SpriteIdleLeft, SpritePushLeft, -1, 0},
        {DirRight, 2, 22, SpriteIdleRight, SpritePushRight, 1, 0},
        {DirUp, 3, 33, SpriteIdleUp, SpritePushUp, 0, -1},
        {DirDown, 4, 44, SpriteIdleDown, SpritePushDown, 0, 1},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Dir);
        ASSERT_EQ(SetUpLevel(0), 1);
        RequestMove(C.Dir);
        EXPECT_EQ(WorkerSprite(Play.Worker), C.IdleImage);
        RequestMove(C.Dir);
        EXPECT_EQ(Play.MoveKind, C.PushKind);
        EXPECT_EQ(WorkerSprite(Play.Worker), C.PushImage);
        EXPECT_EQ(Play.PushedCrate.X, 4 + C.Dx);
        EXPECT_EQ(Play.PushedCrate.Y, 3 + C.Dy);
        Frames(8);
        EXPECT_EQ(Play.Worker.X, 4 + C.Dx);
        EXPECT_EQ(Play.Worker.Y, 3 + C.Dy);
        EXPECT_EQ(Play.CrateGrid[4 + 2 * C.Dx][3 + 2 * C.Dy], 1);
        EXPECT_EQ(Play.CrateGrid[4 + C.Dx][3 + C.Dy], 0);
        EXPECT_EQ(WorkerSprite(Play.Worker), C.PushImage); // stays until the next request
        // Back to the middle (turn, walk): a walk shows the idle picture.
        const int Back = C.Dir == DirLeft ? DirRight : C.Dir == DirRight ? DirLeft : C.Dir == DirUp ? DirDown : DirUp;
        Step(Back);
        Step(Back);
        EXPECT_EQ(Play.Worker.X, 4);
        EXPECT_EQ(Play.Worker.Y, 3);
        RequestMove(C.Dir); // turn
        RequestMove(C.Dir); // walk into the emptied cell
        EXPECT_EQ(Play.MoveKind, C.WalkKind);
        EXPECT_EQ(WorkerSprite(Play.Worker), C.IdleImage);
        Frames(8);
    }
}

TEST_F(PlayRules, CrateAgainstCrateOnlyFacesAndCostsNoStep)
{
    AddLevel("pair", {
                         "#########",
                         "#@$$    #",
                         "#########",
                     });
    UseLevels({"pair"});
    ASSERT_EQ(SetUpLevel(0), 1);
    Play.Worker.Facing = DirRight;
    Play.Worker.Pose = PosePush;
    Play.Worker.PoseDir = DirRight;
    RequestMove(DirRight);
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);
    EXPECT_EQ(WorkerSprite(Play.Worker), SpriteIdleRight);
    EXPECT_EQ(Play.Worker.Facing, DirRight);
    EXPECT_EQ(Board("pair"), "#########\n#@$$    #\n#########\n");
}

TEST_F(PlayRules, CrateAgainstWallAndWorkerAgainstWallChangeNothing)
{
    AddLevel("walls", {
                          "######",
                          "#@$#.#",
                          "##   #",
                          "######",
                      });
    UseLevels({"walls"});
    ASSERT_EQ(SetUpLevel(0), 1);
    Play.Worker.Facing = DirRight;
    Play.Worker.Pose = PosePush; // any earlier picture
    Play.Worker.PoseDir = DirDown;
    RequestMove(DirRight); // crate against the wall
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);
    EXPECT_EQ(WorkerSprite(Play.Worker), SpritePushDown);

    Play.Worker.Facing = DirUp;
    RequestMove(DirUp); // worker against the wall
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);
    EXPECT_EQ(WorkerSprite(Play.Worker), SpritePushDown);
    EXPECT_EQ(Board("walls"), "######\n#@$#.#\n##   #\n######\n");
}

TEST_F(PlayRules, TwoDirectionsHeldInOneFrame)
{
    AddLevel("open", {
                         "#######",
                         "#     #",
                         "#  @  #",
                         "#     #",
                         "#######",
                         "#$.#", // a closed pocket keeps the level unsolved
                         "####",
                     });
    UseLevels({"open"});
    ASSERT_EQ(SetUpLevel(0), 1);

    // Nothing starts a move: each turn overrides the one before.
    Frame({DirLeft, DirRight, DirUp});
    EXPECT_EQ(Play.Worker.Facing, DirUp);
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);

    // Up starts a walk; the later right in the same frame is ignored.
    Frame({DirUp, DirRight});
    EXPECT_EQ(Play.MoveKind, 33);
    EXPECT_EQ(Play.Worker.Facing, DirUp);
    EXPECT_EQ(Play.StepCount, 1);

    // Left is tested first but only turns; right then turns again.
    Frames(8);
    Play.Worker.Facing = DirDown;
    Frame({DirLeft, DirRight});
    EXPECT_EQ(Play.Worker.Facing, DirRight);
    EXPECT_EQ(Play.MoveKind, 0);
}

TEST_F(PlayRules, HeldKeyWalksOneCellEveryEightFrames)
{
    AddLevel("long", {
                         "##############################",
                         "#@                           #",
                         "##############################",
                         "#$.#",
                         "####",
                     });
    UseLevels({"long"});
    ASSERT_EQ(SetUpLevel(0), 1);
    Frame({DirRight}); // turn
    Frame({DirRight}); // first walk accepted
    for (int Cell = 1; Cell <= 10; Cell++) {
        Frames(7, {DirRight});
        EXPECT_EQ(Play.Worker.X, Cell) << "cell " << Cell << " must not be reached before its 8th frame";
        Frame({DirRight});
        EXPECT_EQ(Play.Worker.X, Cell + 1);
    }
    EXPECT_EQ(Play.StepCount, 11);
}

// The slide offset goes T/8, 2T/8 .. T and the cells change in the frame that
// draws the full tile: 8 calls at T = 64 (step 8) and at T = 45 (step 5.625,
// where 4 x 5.625 = 22.5 only compares exactly because T/8 is exact in binary).
TEST_F(PlayRules, SlideLastsExactlyEightFrames)
{
    AddLevel("long", {
                         "##############################",
                         "#@  $                        #",
                         "##############################",
                     });
    UseLevels({"long"});
    for (int Width : {1920, 1366, 3840}) {
        SCOPED_TRACE(Width);
        ComputePlayLayout(Width, Width * 9 / 16, Aspect16x9);
        const double Step = TileSize / 8.0;
        ASSERT_EQ(Play.SlideStep, Step);
        ASSERT_EQ(SetUpLevel(0), 1);
        Play.Worker.Facing = DirRight;
        for (int Move = 0; Move < 3; Move++) { // two walks, then a push
            RequestMove(DirRight);
            ASSERT_NE(Play.MoveKind, 0);
            const int StartX = Play.Worker.X;
            for (int Call = 1; Call <= 7; Call++) {
                EXPECT_DOUBLE_EQ(Play.SlideOffset, Call * Step);
                AdvanceSlide();
                EXPECT_EQ(Play.Worker.X, StartX) << "call " << Call;
            }
            EXPECT_EQ(Play.SlideOffset, double(TileSize));
            AdvanceSlide();
            EXPECT_EQ(Play.Worker.X, StartX + 1);
            EXPECT_EQ(Play.MoveKind, 0);
            EXPECT_EQ(Play.SlideOffset, Step);
        }
        EXPECT_EQ(Play.CrateGrid[5][1], 1);
        EXPECT_EQ(Play.CrateGrid[4][1], 0);
        // Idle: further calls leave the offset alone.
        AdvanceSlide();
        EXPECT_EQ(Play.SlideOffset, Step);
    }
}

TEST_F(PlayRules, RequestsOutsidePlayAreIgnored)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    ASSERT_EQ(SetUpLevel(0), 1);
    GameState = InGameMenu;
    RequestMove(DirRight);
    EXPECT_EQ(Play.Worker.Facing, 0);
    GameState = Playing;
    Play.InLevel = 0;
    RequestMove(DirRight);
    EXPECT_EQ(Play.Worker.Facing, 0);
    Play.InLevel = 1;
    RequestMove(7); // not a direction
    RequestMove(0);
    EXPECT_EQ(Play.Worker.Facing, 0);
    EXPECT_EQ(Play.MoveKind, 0);
}

// Open levels without a wall ring: the edge of the field blocks like a wall.
TEST_F(PlayRules, FieldEdgeBlocksWorkerAndCrate)
{
    AddLevel("edge", {
                         " @",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "",
                         "                           $@",
                         "                            $@",
                     });
    UseLevels({"edge"});
    // Worker at the top edge: up is never free.
    ASSERT_EQ(SetUpLevel(0), 1);
    Play.Worker.X = 1, Play.Worker.Y = 0;
    Play.Worker.Facing = DirUp;
    RequestMove(DirUp);
    EXPECT_EQ(Play.MoveKind, 0);
    Play.Worker.X = 0;
    Play.Worker.Facing = DirLeft;
    RequestMove(DirLeft);
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.StepCount, 0);

    // Worker at (29, 14) facing right and down: both outside.
    Play.Worker.X = 29, Play.Worker.Y = 14;
    Play.Worker.Facing = DirRight;
    RequestMove(DirRight);
    Play.Worker.Facing = DirDown;
    RequestMove(DirDown);
    EXPECT_EQ(Play.MoveKind, 0);

    // A crate on the bottom row cannot be pushed down out of the field, one
    // on the last column not out to the right.
    Play.Worker.X = 28, Play.Worker.Y = 13;
    Play.Worker.Facing = DirDown;
    RequestMove(DirDown);
    EXPECT_EQ(Play.MoveKind, 0);
    Play.CrateGrid[29][12] = 1;
    Play.Worker.X = 27, Play.Worker.Y = 12;
    Play.Worker.Facing = DirRight;
    RequestMove(DirRight); // crate at 28? no: (28, 12) is open floor -> walk
    EXPECT_EQ(Play.MoveKind, 22);
    Frames(8);
    RequestMove(DirRight); // crate at (29, 12), beyond is x = 30
    EXPECT_EQ(Play.MoveKind, 0);
    EXPECT_EQ(Play.CrateGrid[29][12], 1);
    EXPECT_EQ(Play.CrateGrid[30][12], 0);
    EXPECT_EQ(Play.StepCount, 1);
}

// A map the level store refuses (more than 12 crates, fewer than three
// layers, shorter than it claims) leaves a record with only its name; a level
// missing from the store reads the same. Neither is played: it would have no
// crates and count as solved in its first frame, unlocking the next level.
TEST_F(PlayRules, LevelsTheStoreDidNotReadAreRefusedAndNeverSolved)
{
    AddLevel("good", Corridor);
    AddLevel("flat", {"", " @ $"}, 2);
    LevelRecord NameOnly;
    NameOnly.Name = Wide("refused");
    levelsByName["refused"] = NameOnly;
    UseLevels({"good", "flat", "refused", "missing", "after"});
    for (int Index : {1, 2, 3}) {
        SCOPED_TRACE(Index);
        ProgressList[size_t(Index)].Unlocked = 1;
        GameState = LevelSelect;
        EXPECT_EQ(SetUpLevel(Index), 0);
        EXPECT_EQ(GameState, LevelSelect);
        EXPECT_EQ(SelectedLevelIndex, Index);
        Frames(3);
        EXPECT_EQ(GameState, LevelSelect);
        EXPECT_EQ(ProgressList[size_t(Index)].Steps, 0);
        EXPECT_EQ(ProgressList[size_t(Index) + 1].Unlocked, 0);
    }
    // The same refusal from a running level (next, retry): back to the menus.
    ASSERT_EQ(SetUpLevel(0), 1);
    GameState = LevelComplete;
    EXPECT_EQ(SetUpLevel(2), 0);
    EXPECT_EQ(GameState, LevelSelect);
    EXPECT_EQ(Play.InLevel, 0);
}

TEST_F(PlayRules, BadLevelDataIsRefusedAndChangesNothing)
{
    AddLevel("good", Corridor);
    UseLevels({"good", "bad"});
    ASSERT_EQ(SetUpLevel(0), 1);
    RequestMove(DirRight);
    RequestMove(DirRight); // a slide runs
    const PlayStateRecord Before = Play;
    const int64_t StartMs = Play.LevelStartMs;

    struct Case {
        const char* What;
        int Count;
        const char* Crates;
        const char* Targets;
        const char* Worker;
    };
    const Case Cases[] = {
        {"crate x 30", 1, "30,2", "8,1", "1,1"},
        {"crate y 15", 1, "3,15", "8,1", "1,1"},
        {"crate x -1", 1, "-1,2", "8,1", "1,1"},
        {"target y 15", 1, "3,2", "8,15", "1,1"},
        {"target x huge", 1, "3,2", "99999999999,1", "1,1"},
        {"worker x 30", 1, "3,2", "8,1", "30,1"},
        {"worker y -1", 1, "3,2", "8,1", "1,-1"},
        {"second crate outside", 2, "3,2,40,2", "8,1,7,1", "1,1"},
        {"13 crates", 13, "1,1", "1,1", "1,1"},
        {"negative count", -1, "", "", "1,1"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        LevelRecord Bad = levelsByName["good"];
        Bad.Name = Wide("bad");
        Bad.CrateCount = C.Count;
        Bad.CrateList = Wide(C.Crates);
        Bad.TargetList = Wide(C.Targets);
        Bad.WorkerStart = Wide(C.Worker);
        levelsByName["bad"] = Bad;
        GameState = LevelSelect;
        EXPECT_EQ(SetUpLevel(1), 0);
        EXPECT_EQ(GameState, LevelSelect);
        EXPECT_EQ(Play.CurrentLevelName, "good");
        EXPECT_EQ(Play.LastPlayedIndex, 0);
        EXPECT_EQ(Play.CrateCount, Before.CrateCount);
        EXPECT_EQ(Play.MoveKind, Before.MoveKind);
        EXPECT_EQ(Play.StepCount, Before.StepCount);
        EXPECT_EQ(Play.LevelStartMs, StartMs);
        EXPECT_EQ(0, memcmp(Play.CrateGrid, Before.CrateGrid, sizeof Play.CrateGrid));
    }
    EXPECT_EQ(SetUpLevel(2), 0); // no such entry
    EXPECT_EQ(SetUpLevel(-1), 0);

    // The edges themselves are inside.
    LevelRecord Edge = levelsByName["good"];
    Edge.CrateCount = 2;
    Edge.CrateList = Wide("0,0,29,14");
    Edge.TargetList = Wide("29,0,0,14");
    Edge.WorkerStart = Wide("15,7");
    levelsByName["bad"] = Edge;
    EXPECT_EQ(SetUpLevel(1), 1);
    EXPECT_EQ(Play.CrateGrid[0][0], 1);
    EXPECT_EQ(Play.CrateGrid[29][14], 1);
}

TEST_F(PlayRules, FieldsAreReadByTheNumberParserAndMissingOnesAreZero)
{
    AddLevel("lists", Corridor);
    LevelRecord& Level = levelsByName["lists"];
    Level.CrateCount = 2;
    Level.CrateList = Wide("3,4, 5,\t6,7"); // a blank and a tab before fields; a surplus field
    Level.TargetList = Wide("$A,%11");      // hexadecimal 10, binary 3; second pair missing
    Level.WorkerStart = Wide("+2,1junk");
    UseLevels({"lists"});
    ASSERT_EQ(SetUpLevel(0), 1);
    EXPECT_EQ(Play.CrateGrid[3][4], 1);
    EXPECT_EQ(Play.CrateGrid[5][6], 1);
    EXPECT_EQ(Play.Targets[1].X, 10);
    EXPECT_EQ(Play.Targets[1].Y, 3);
    EXPECT_EQ(Play.Targets[2].X, 0);
    EXPECT_EQ(Play.Targets[2].Y, 0);
    EXPECT_EQ(Play.Worker.X, 2);
    EXPECT_EQ(Play.Worker.Y, 1);
}

TEST_F(PlayRules, IndicatorsFillFromTheFirstWhicheverCratesArePlaced)
{
    AddLevel("three", {
                          "##########",
                          "#@$.$.$. #",
                          "##########",
                      });
    UseLevels({"three"});
    ASSERT_EQ(SetUpLevel(0), 1);
    Play.CrateIndicators[5].Filled = 1; // left over from an earlier level
    // Put the third crate (not the first) onto the third target.
    Play.CrateGrid[6][1] = 0;
    Play.CrateGrid[7][1] = 1;
    CheckCompletion();
    EXPECT_EQ(Play.CratesOnTargets, 1);
    EXPECT_EQ(Play.CrateIndicators[1].Filled, 1);
    EXPECT_EQ(Play.CrateIndicators[2].Filled, 0);
    EXPECT_EQ(Play.CrateIndicators[3].Filled, 0);
    EXPECT_EQ(GameState, Playing);
    // The set-up clears every flag, including those past N.
    ASSERT_EQ(SetUpLevel(0), 1);
    EXPECT_EQ(Play.CrateIndicators[5].Filled, 0);
}

TEST_F(PlayRules, SolvingStoresTimeAndStepsUnlocksNextAndEndsTheAttempt)
{
    AddLevel("a", {
                      "######",
                      "#@$ .#",
                      "######",
                  });
    AddLevel("b", Corridor);
    UseLevels({"a", "b"});
    ProgressList[0].TimeMs = 1000; // a better earlier result
    ProgressList[0].Steps = 1;
    while (VirtualFrameCount() % 60 != 0) {
        AdvanceVirtualFrame();
    }
    ASSERT_EQ(SetUpLevel(0), 1);
    LevelCompleteSelection = 1;
    Frame({DirRight}); // turn
    Frame({DirRight}); // push 1
    Frames(8);
    EXPECT_EQ(GameState, Playing);
    Frame({DirRight}); // push 2, lands on the target 8 frames later
    Frames(7);
    EXPECT_EQ(GameState, Playing);
    // The 8th frame moves the crate and the completion test sees it at once.
    const int64_t Now = MilliClock();
    ASSERT_FALSE(FileExists(Folder.Path() + "Kistora.scores"));
    Frame();
    EXPECT_EQ(GameState, LevelComplete);
    EXPECT_EQ(Play.InLevel, 0);
    EXPECT_EQ(Play.CratesOnTargets, 1);
    EXPECT_EQ(Play.CrateIndicators[1].Filled, 1);
    EXPECT_EQ(LevelCompleteSelection, 3);
    EXPECT_EQ(ProgressList[0].Steps, 2);
    // 18 frames from the set-up to the solving frame's clock reading.
    EXPECT_EQ(ProgressList[0].TimeMs, 300);
    EXPECT_EQ(Now - Play.LevelStartMs, 300);
    EXPECT_EQ(ProgressList[1].Unlocked, 1);
    // The scores are on disk at once (a crash now loses nothing): level a with
    // 300 ms and 2 steps, unlocked; level b unlocked; three CR LF lines each.
    std::vector<uint8_t> Bytes;
    ASSERT_EQ(ReadWholeFile(Folder.Path() + "Kistora.scores", Bytes), 1);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), "300\r\n2\r\n1\r\n0\r\n0\r\n1\r\n");
    // Play is over: further requests and checks do nothing.
    Frame({DirRight});
    EXPECT_EQ(Play.StepCount, 2);
    EXPECT_EQ(Play.MoveKind, 0);
}

TEST_F(PlayRules, LastLevelUnlocksNothingAndZeroCratesSolveAtOnce)
{
    AddLevel("first", Corridor);
    AddLevel("empty", {"#####", "#@  #", "#####"});
    UseLevels({"first", "empty"});
    ProgressList[1].Unlocked = 1;
    ProgressList[1].TimeMs = 5;
    ProgressList[1].Steps = 7;
    ASSERT_EQ(SetUpLevel(1), 1);
    EXPECT_EQ(Play.CrateCount, 0);
    Frame();
    EXPECT_EQ(GameState, LevelComplete);
    EXPECT_EQ(ProgressList.size(), 2u);
    EXPECT_EQ(ProgressList[1].Steps, 0);
    EXPECT_EQ(ProgressList[1].TimeMs, 0);
    EXPECT_EQ(ProgressList[0].Unlocked, 1);
    EXPECT_EQ(ProgressList[0].TimeMs, 0);
}

TEST_F(PlayRules, PausesAreNotCounted)
{
    AddLevel("one", Corridor);
    UseLevels({"one"});
    while (VirtualFrameCount() % 60 != 0) {
        AdvanceVirtualFrame();
    }
    ASSERT_EQ(SetUpLevel(0), 1);
    Frames(60);
    EXPECT_EQ(ElapsedPlayMs(), 1000);
    PauseClock();
    GameState = InGameMenu;
    Frames(600);                       // menu, settings and quit question alike
    EXPECT_EQ(ElapsedPlayMs(), 11000); // the clock itself runs on ...
    ResumeClock();
    GameState = Playing;
    EXPECT_EQ(ElapsedPlayMs(), 1000); // ... but the pause is taken out
    Frames(120);
    PauseClock();
    Frames(60);
    ResumeClock();
    Frames(60);
    EXPECT_EQ(ElapsedPlayMs(), 4000);
}

} // namespace
