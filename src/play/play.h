// Play: the play state and move rules, the play-screen layout and drawing.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// board.cpp: play state and move rules (no drawing, no input)
// ---------------------------------------------------------------------------

enum Direction { DirLeft = 2, DirRight = 3, DirUp = 4, DirDown = 5 };   // also the Facing values

struct CellPos {
    int32_t X = 0;
    int32_t Y = 0;
};

struct WorkerRecord {
    int32_t X = 0, Y = 0;
    int32_t Facing = 0;      // 0 none, 2 left, 3 right, 4 up, 5 down
    int32_t Image = 0;       // sprite slot of the shown worker picture
};

struct CrateIndicator {
    int32_t X = 0, Y = 0;
    int32_t Filled = 0;
};

struct PlayStateRecord {
    std::string CurrentLevelName;
    int32_t LastPlayedIndex = 0;
    int32_t CrateGrid[31][16] = {};   // [x][y]
    int32_t CrateCount = 0;
    CellPos Targets[21];              // positions 1..20
    uint8_t CratesOnTargets = 0;
    CrateIndicator CrateIndicators[13]; // positions 1..12
    WorkerRecord Worker;
    int32_t MoveKind = 0;             // 0 idle; 1-4 push l/r/u/d; 11,22,33,44 walk l/r/u/d
    double SlideOffset = 0;
    double SlideStep = 0;
    CellPos PushedCrate{-1, -1};
    int32_t StepCount = 0;
    int64_t LevelStartMs = 0;
    int64_t PauseStartMs = 0;
    int32_t InLevel = 0;
};

extern PlayStateRecord Play;

// 1 when the level was set up; 0 when its data was refused (positions outside
// the field, more than 12 crates): nothing changes then.
int SetUpLevel(int ProgressIndex);
void RequestMove(int Dir);
void AdvanceSlide();
void CheckCompletion();
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

// Layout values for a screen of Width x Height in aspect class Class (no drawing).
void ComputePlayLayout(int Width, int Height, int Class);
void RenderHudBackground();        // sprite 17 and the text sprites at their sizes
void RenderHudTitle();
void RenderHudTime();
void ScaleBoardArt();              // crate, fill tile and worker sprites to TileSize, SetTileSize, origin, log lines
void DrawPlayScreen();             // one frame, states 7 to 12
std::string FormatPlayTime(int64_t Ms);   // "05:07", "75:00"
