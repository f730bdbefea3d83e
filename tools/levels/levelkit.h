// The level kit shared by the level compiler (kistora-levelc), the solver
// (kistora-solve) and the level generator (kistora-levelgen): the plain-text
// level notation and a push-optimal solver.
#pragma once

#include "play/play.h"
#include "formats/formats.h"

#include <cstdint>
#include <string>
#include <vector>

// The game's field and crate limit, as the game itself defines them.
constexpr int KitFieldWidth = FieldColumns; // cells
constexpr int KitFieldHeight = FieldRows;
constexpr int KitMaxCrates = MaxCrates; // the head-up display has 12 crate icons
static_assert(KitFieldWidth <= MaxMapSide && KitFieldHeight <= MaxMapSide);

// The tiles the level compiler numbers (as "TILES/<n>" and in the layer
// cells): 1 floor, 2 outside, 3 target, 4 + a neighbour mask (1 up, 2 right,
// 4 down, 8 left) for the joined walls; 19 in all.
constexpr int KitTileFloor = 1;
constexpr int KitTileOutside = 2;
constexpr int KitTileTarget = 3;
constexpr int KitTileWallFirst = 4;
constexpr int KitTileCount = KitTileWallFirst + 15;
// The picture file of a tile in a tile folder: "floor.png", "outside.png",
// "target.png", "wall_00.png" .. "wall_15.png".
std::string KitTileFile(int Tile);

// One level as written in a source file: rows of '#' wall, '$' crate,
// '.' target, '*' crate on target, '@' worker, '+' worker on target, ' ' floor.
struct SourceLevel {
    std::string Name;     // index name, up to 32 units
    std::string TitleKey; // text key of the title
    std::vector<std::string> Rows;
    int Line = 0; // 1-based line of the "Name:" header, for messages
};

// A level as a grid of Width x Height cells (the rows' bounding box);
// cell index = y * Width + x.
struct LevelGrid {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Wall;   // 1 wall
    std::vector<uint8_t> Target; // 1 target
    std::vector<uint8_t> Inside; // 1 floor the worker can reach (crates ignored)
    std::vector<int> Crates;     // cell indices, ascending
    int Worker = -1;
};

// Reads a level source file: "Name: 01" and "Title: tLevel001" headers, then the
// rows; a blank line or the next header ends the rows; lines starting with ';' are
// comments. 1 on success, else 0 with Error set ("file:line: what").
int ReadLevelFile(const std::string& Path, std::vector<SourceLevel>& Levels, std::string& Error);

// Builds and checks the grid: one worker, 1..12 crates, crates = targets, everything
// on floor reachable by the worker, that floor closed by walls, size within 30 x 15.
// 1 on success, else 0 with Error set.
int BuildLevelGrid(const std::vector<std::string>& Rows, LevelGrid& Grid, std::string& Error);

// The rows of a grid in the notation (walls outside the ring kept as they are).
std::vector<std::string> LevelGridRows(const LevelGrid& Grid);

struct SolveLimits {
    uint64_t MaxNodes = 12000000; // stored positions before giving up
    double MaxSeconds = 0;        // 0: no time limit
};

struct SolveResult {
    int Solved = 0;  // 1 solved; 0 proven unsolvable or gave up (see Aborted)
    int Aborted = 0; // 1 when a limit stopped the search
    int Pushes = 0;
    int Moves = 0;        // walks + pushes of the printed solution
    int CrateChanges = 0; // how often the pushed crate differs from the one before
    uint64_t Nodes = 0;   // positions stored
    double Seconds = 0;
    std::string Lurd; // lower case walk, upper case push
};

// Push-optimal search (A* over crate positions and the worker's region).
// 1 when solved.
int SolveLevel(const LevelGrid& Grid, const SolveLimits& Limits, SolveResult& Result);

// Plays Lurd on the grid with the plain rules (one crate at a time); 1 when every
// move is legal and all targets end covered. Used by the generator and the tools' own checks.
int CheckSolution(const LevelGrid& Grid, const std::string& Lurd);

// How much of the floor an answer uses: the measure of a compact level.
struct LevelFigures {
    int Floor = 0; // cells the worker reaches on an empty board
    int Crates = 0;
    int Unused = 0; // floor cells on which neither the worker nor a crate ever stands in the answer
};

// Plays Lurd (moves that do not fit the board are skipped) and counts the figures.
void MeasureLevel(const LevelGrid& Grid, const std::string& Lurd, LevelFigures& Figures);
