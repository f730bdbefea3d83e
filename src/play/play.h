// Play: the rules of the board, the one play state of the game, and the
// play-screen layout and drawing.
#pragma once

#include <cstdint>
#include <string>

// The playing field: columns 0..29, rows 0..14. Nothing ever moves outside it.
constexpr int FieldColumns = 30;
constexpr int FieldRows = 15;

enum Direction { DirLeft = 2, DirRight = 3, DirUp = 4, DirDown = 5 }; // also the Facing values

struct CellPos {
    int32_t X = 0;
    int32_t Y = 0;
};

// The worker's picture: no picture before the first level, then the idle or
// the push picture of one direction (the play screen maps it to a sprite).
enum WorkerPose { PoseNone = 0, PoseIdle, PosePush };

// The board holds no more crates than the HUD has icons.
constexpr int BoardMaxCrates = 12;

struct WorkerRecord {
    int32_t X = 0, Y = 0;
    int32_t Facing = 0; // 0 none, 2 left, 3 right, 4 up, 5 down
    int32_t Pose = PoseNone;
    // The direction the picture shows. A set-up shows the idle picture to the
    // left whatever the worker faces, so it is not always Facing.
    int32_t PoseDir = DirLeft;
};

struct CrateIndicator {
    int32_t Filled = 0;
};

struct PlayStateRecord {
    std::string CurrentLevelName;
    int32_t LastPlayedIndex = 0;
    int32_t CrateGrid[31][16] = {}; // [x][y]
    int32_t CrateCount = 0;
    CellPos Targets[21]; // positions 1..20
    uint8_t CratesOnTargets = 0;
    CrateIndicator CrateIndicators[13]; // positions 1..12
    WorkerRecord Worker;
    int32_t MoveKind = 0; // 0 idle; 1-4 push l/r/u/d; 11,22,33,44 walk l/r/u/d
    double SlideOffset = 0;
    double SlideStep = 0;
    CellPos PushedCrate{-1, -1};
    int32_t StepCount = 0;
    int64_t LevelStartMs = 0;
    int64_t PauseStartMs = 0;
    int32_t InLevel = 0;
    int32_t ClockPaused = 0; // 1 from a pause until play resumes
    // The level's obstacle layer, copied at set-up: 1 where nothing may enter.
    uint8_t Blocked[FieldColumns][FieldRows] = {};
};

// ---------------------------------------------------------------------------
// board.cpp: the rules, over one record; no platform, no other globals
// ---------------------------------------------------------------------------

// What a set-up reads of a level: its properties 9 to 12 as texts (crate
// count; crates, targets and worker as "x,y,x,y..."), and its walls.
struct BoardLevel {
    std::string CrateCount, CrateList, TargetList, WorkerStart;
    uint8_t Blocked[FieldColumns][FieldRows] = {};
};

// Crates, targets, worker and walls from Level; steps 0, no slide, in level.
// 1, or 0 when the level is refused (a position outside the field, more than
// 12 crates): the board is then left exactly as it was. Facing carries over.
int SetUpBoard(PlayStateRecord& Board, const BoardLevel& Level);
// One direction request: a turn, a walk or a push (counted as a step), or
// nothing; ignored while a slide runs or outside a level.
void MoveWorker(PlayStateRecord& Board, int Dir);
// One frame of a running slide at CellPixels pixels per cell (8 frames a cell).
void SlideWorker(PlayStateRecord& Board, int CellPixels);
// Counts the covered targets and fills the crate indicators from the first;
// 1 when every target holds a crate.
int CoverTargets(PlayStateRecord& Board);
// The play clock: started at set-up, moved forward by every pause.
void StartBoardClock(PlayStateRecord& Board, int64_t NowMs);
void PauseBoardClock(PlayStateRecord& Board, int64_t NowMs);
void ResumeBoardClock(PlayStateRecord& Board, int64_t NowMs);
int64_t BoardElapsedMs(const PlayStateRecord& Board, int64_t NowMs);

// ---------------------------------------------------------------------------
// playstate.cpp: the game's one play state, with the level store and clock
// ---------------------------------------------------------------------------

extern PlayStateRecord Play;

// The board of the level at ProgressIndex set up from the level store, its
// name and position noted and the HUD title drawn. 1, or 0 when refused.
int PrepareLevel(int ProgressIndex);
void AdvanceSlide(); // one slide frame at the current tile size
void StartPlayClock();
void PauseClock();
void ResumeClock();
int64_t ElapsedPlayMs();

// ---------------------------------------------------------------------------
// playscreen.cpp: layout, HUD, drawing
// ---------------------------------------------------------------------------

extern int TileSize;
extern int BoardX, BoardY;
extern int HudHeight;
extern int HudFrame1, HudFrame2, HudMargin;
extern int HudFontSize;
extern int FillLeftX, FillRightX, FillTopY, FillBottomY;
extern int HudTitleX, HudTitleW, HudTimeX, HudTimeW, HudStepsX, HudStepsW, HudCratesX, HudCratesW;
extern int CrateIconSize;

// Where the HUD shows crate icon 1..12 (two rows of six), from the layout.
struct ScreenPos {
    int32_t X = 0, Y = 0;
};
extern ScreenPos CrateIconPositions[BoardMaxCrates + 1];

// Layout values for a screen of Width x Height in aspect class Class (no drawing).
void ComputePlayLayout(int Width, int Height, int Class);
void RenderHudBackground(); // sprite 17 and the text sprites at their sizes
void RenderHudTitle();
void RenderHudTime();
void ScaleBoardArt(); // crate, fill tile and worker sprites to TileSize, SetTileSize, origin, log lines
// One frame of the play screen, states 7 to 12. The time text is drawn anew
// only while the clock runs, so it stands still under every panel.
void DrawPlayScreen();
// After the frame was drawn: the slide moves on (in states 7 to 12, since the
// board is drawn under every panel).
void AdvancePlayScreen();
std::string FormatPlayTime(int64_t Ms); // "05:07", "75:00"
// The sprite slot of the worker's picture; 0 when it shows none.
int WorkerSprite(const WorkerRecord& Worker);
