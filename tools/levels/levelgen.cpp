// kistora-levelgen: finds level candidates for our own set by playing backwards.
// A room is carved from random rectangles, targets are placed, the crates start on
// them and the worker pulls them apart; each scrambled position is then solved
// push-optimally and rated (pushes, how often the worked crate changes, crates
// left on targets). The best candidate is printed in the level notation.
//
//   kistora-levelgen --seed S --crates N [--width W] [--height H] [--rooms R]
//                    [--scrambles K] [--pulls P] [--solve-seconds T] [--pillars PCT]
//
// Compact levels come from a hand-drawn shell instead of a carved room: a level
// source whose walls make the room and whose targets stay where they are drawn
// (its crates and worker are ignored; --crates with --random-targets 1 places new
// targets). Each scrambled position is then improved by hill climbing (a few more
// pulls, kept when the rating rises), and the best distinct positions are printed
// as level sources, each with its figures, ready for kistora-levelc --sheet:
//
//   kistora-levelgen --seed S --shell FILE [--level NAME] [--keep K] [--climb N]
//                    [--max-floor-per-crate X] [--max-unused PCT] [--nodes-weight W] [--changes-weight C]
//                    [--solve-nodes N] [--random-targets 1] [--on-target PCT] [--deep 1]
//                    [--evolve N] [--fixed-targets 1] [--keep-walls 1] [--beam K]
//
// --beam K scrambles breadth-first over pulls from the solved position, keeping K
// positions at random from each layer, and starts from the deepest layer: a
// position far from solved for any number of crates (--deep searches every
// position, up to 7 crates).
//
// --evolve changes the room (a shell or carved rooms) one cell at a time, N times,
// keeping each change after which the best position found rates at least as high.
//
// The rating: C x crate changes + W x log2(search nodes) + pushes / 4, less 4 for
// each crate that starts on a target (C is --changes-weight, 1; W --nodes-weight, 3).
#include "levelkit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace {

struct GenRandom {
    uint64_t State = 1;
    uint64_t Next()
    {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        return State;
    }
    int Below(int N) { return N <= 0 ? 0 : (int)(Next() % (uint64_t)N); }
};

struct GenOptions {
    int Crates = 3;
    int Width = 0, Height = 0;   // interior, 0 = random
    int Rooms = 20;
    int Scrambles = 30;
    int Pulls = 0;               // 0 = scaled by crates
    double SolveSeconds = 2.0;
    int Pillars = 8;             // percent of floor tried as pillars
    int Clustered = -1;          // -1 random, 0 scattered, 1 clustered targets
    int Segments = 0;            // short inner wall lines tried per room
    int Outline = 0;             // 1: carve the room from rectangles even with wall lines
    int Away = 60;               // percent of pulls that must take a crate farther from the targets
    int Deep = 0;                // 1: take the position farthest from solved (all pulls searched)
    int DeepLimit = 3000000;     // positions the backward search may hold
    std::string Shell;           // level source of a hand-drawn room
    std::string ShellLevel;      // its level name; empty: the first level of the file
    int RandomTargets = 0;       // 1: new targets at random in the shell
    int Keep = 1;                // distinct candidates printed
    int Climb = 0;               // hill-climbing steps per scrambled position
    double MaxFloorPerCrate = 0; // 0: no limit
    int MaxUnused = 100;         // percent of the floor the answer may leave unused
    double NodesWeight = 3.0;
    double ChangesWeight = 1.0;
    uint64_t SolveNodes = 6000000;
    int OnTargetShare = 34;      // percent of the crates that may start on a target
    int Evolve = 0;              // room changes tried (one cell of wall or one target each)
    int FixedTargets = 0;        // 1: the room changes leave the targets where they are
    int KeepWalls = 0;           // 1: the shell's own walls stay (changes only add walls or take added ones away)
    int Beam = 0;                // >0: scrambles go breadth-first over pulls, this many positions a layer
};

struct Candidate {
    LevelGrid Grid;
    SolveResult Result;
    LevelFigures Figures;
    double Score = -1000;
    int Fits = 0;            // 1 within the floor and unused limits
};

int CarveRoom(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int ReadShell(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int Connected(const LevelGrid& Grid, int Floor);
void Scramble(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
void Pull(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid, int Pulls, int FromWorker);
int Deepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int BeamDeepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int RateCandidate(const GenOptions& Options, Candidate& Found);
void KeepCandidate(const GenOptions& Options, std::vector<Candidate>& Best, const Candidate& Found);
void PrintCandidate(const Candidate& Found, int Number);
Candidate SearchRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Empty, const Candidate* Incumbent,
                     std::vector<Candidate>& Best);
int MutateRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Shell, LevelGrid& Room);

}   // namespace

// Prints the grid's rows cropped to the walls: no empty rows and no blank
// columns on the left.
static void PrintCroppedRows(const LevelGrid& Grid)
{
    std::vector<std::string> Rows;
    size_t Indent = std::string::npos;
    for (const std::string& Row : LevelGridRows(Grid)) {
        if (Row.empty()) continue;
        Rows.push_back(Row);
        size_t First = Row.find_first_not_of(' ');
        if (First < Indent) Indent = First;
    }
    for (const std::string& Row : Rows) std::printf("%s\n", Row.substr(Indent).c_str());
}

int main(int ArgCount, char** Args)
{
    GenOptions Options;
    GenRandom Random;
    for (int I = 1; I + 1 < ArgCount; I += 2) {
        const char* Key = Args[I];
        const char* Value = Args[I + 1];
        if (!std::strcmp(Key, "--seed")) Random.State = std::strtoull(Value, nullptr, 10) * 2654435761ull + 7;
        else if (!std::strcmp(Key, "--crates")) Options.Crates = std::atoi(Value);
        else if (!std::strcmp(Key, "--width")) Options.Width = std::atoi(Value);
        else if (!std::strcmp(Key, "--height")) Options.Height = std::atoi(Value);
        else if (!std::strcmp(Key, "--rooms")) Options.Rooms = std::atoi(Value);
        else if (!std::strcmp(Key, "--scrambles")) Options.Scrambles = std::atoi(Value);
        else if (!std::strcmp(Key, "--pulls")) Options.Pulls = std::atoi(Value);
        else if (!std::strcmp(Key, "--solve-seconds")) Options.SolveSeconds = std::atof(Value);
        else if (!std::strcmp(Key, "--pillars")) Options.Pillars = std::atoi(Value);
        else if (!std::strcmp(Key, "--clustered")) Options.Clustered = std::atoi(Value);
        else if (!std::strcmp(Key, "--segments")) Options.Segments = std::atoi(Value);
        else if (!std::strcmp(Key, "--outline")) Options.Outline = std::atoi(Value);
        else if (!std::strcmp(Key, "--away")) Options.Away = std::atoi(Value);
        else if (!std::strcmp(Key, "--deep")) Options.Deep = std::atoi(Value);
        else if (!std::strcmp(Key, "--deep-limit")) Options.DeepLimit = std::atoi(Value);
        else if (!std::strcmp(Key, "--shell")) Options.Shell = Value;
        else if (!std::strcmp(Key, "--level")) Options.ShellLevel = Value;
        else if (!std::strcmp(Key, "--random-targets")) Options.RandomTargets = std::atoi(Value);
        else if (!std::strcmp(Key, "--keep")) Options.Keep = std::atoi(Value);
        else if (!std::strcmp(Key, "--climb")) Options.Climb = std::atoi(Value);
        else if (!std::strcmp(Key, "--max-floor-per-crate")) Options.MaxFloorPerCrate = std::atof(Value);
        else if (!std::strcmp(Key, "--max-unused")) Options.MaxUnused = std::atoi(Value);
        else if (!std::strcmp(Key, "--nodes-weight")) Options.NodesWeight = std::atof(Value);
        else if (!std::strcmp(Key, "--changes-weight")) Options.ChangesWeight = std::atof(Value);
        else if (!std::strcmp(Key, "--solve-nodes")) Options.SolveNodes = std::strtoull(Value, nullptr, 10);
        else if (!std::strcmp(Key, "--on-target")) Options.OnTargetShare = std::atoi(Value);
        else if (!std::strcmp(Key, "--evolve")) Options.Evolve = std::atoi(Value);
        else if (!std::strcmp(Key, "--fixed-targets")) Options.FixedTargets = std::atoi(Value);
        else if (!std::strcmp(Key, "--keep-walls")) Options.KeepWalls = std::atoi(Value);
        else if (!std::strcmp(Key, "--beam")) Options.Beam = std::atoi(Value);
        else {
            std::fprintf(stderr, "kistora-levelgen: unknown argument %s\n", Key);
            return 2;
        }
    }
    if (Options.Crates < 1 || Options.Crates > KitMaxCrates) return 2;
    for (int W = 0; W < 5; W++) Random.Next();
    if (!Options.Shell.empty() || Options.Keep > 1 || Options.Climb > 0 || Options.Evolve > 0) {
        // Many scrambles of a shell (or of carved rooms), each climbed; with --evolve the
        // room's walls change too. The best few positions are printed.
        std::vector<Candidate> Best;
        for (int Room = 0; Room < Options.Rooms; Room++) {
            LevelGrid Empty;
            if (Options.Shell.empty()) {
                if (!CarveRoom(Random, Options, Empty)) continue;
                int Floor = 0;
                for (uint8_t In : Empty.Inside) Floor += In;
                if (Options.MaxFloorPerCrate > 0 && Floor > Options.MaxFloorPerCrate * Options.Crates) continue;
            } else if (!ReadShell(Random, Options, Empty)) {
                return 2;
            }
            Candidate Current = SearchRoom(Random, Options, Empty, nullptr, Best);
            const LevelGrid Shell = Empty;
            for (int Step = 0; Step < Options.Evolve; Step++) {
                LevelGrid Changed = Empty;
                if (!MutateRoom(Random, Options, Shell, Changed)) continue;
                Candidate Found = SearchRoom(Random, Options, Changed, Current.Score > -1000 ? &Current : nullptr, Best);
                if (Found.Score > -1000 && Found.Score >= Current.Score) {
                    Empty = Changed;
                    Current = Found;
                }
            }
        }
        if (Best.empty()) {
            std::fprintf(stderr, "kistora-levelgen: no candidate\n");
            return 1;
        }
        for (size_t K = 0; K < Best.size(); K++) PrintCandidate(Best[K], (int)K + 1);
        return 0;
    }
    Candidate Best;
    Best.Score = -1;
    for (int Room = 0; Room < Options.Rooms; Room++) {
        LevelGrid Empty;
        if (!CarveRoom(Random, Options, Empty)) continue;
        for (int K = 0; K < (Options.Deep ? 1 : Options.Scrambles); K++) {
            LevelGrid Grid = Empty;
            int Depth = 0;
            if (Options.Deep) {
                Depth = Deepest(Random, Options, Grid);
                if (!Depth) continue;
            } else {
                Scramble(Random, Options, Grid);
            }
            int OnTarget = 0;
            for (int C : Grid.Crates) OnTarget += Grid.Target[C];
            if (OnTarget * 3 > Options.Crates) continue;
            SolveLimits Limits;
            Limits.MaxSeconds = Options.SolveSeconds;
            Limits.MaxNodes = 6000000;
            SolveResult Result;
            if (!SolveLevel(Grid, Limits, Result)) continue;
            if (Depth && Result.Pushes != Depth) {
                // The backward search counts the fewest pushes exactly: the solver must agree.
                std::fprintf(stderr, "kistora-levelgen: solver found %d pushes, the backward search %d\n",
                             Result.Pushes, Depth);
                return 3;
            }
            double Score = Result.Pushes + 2.0 * Result.CrateChanges - 4.0 * OnTarget + Result.Moves * 0.05;
            if (Score > Best.Score) {
                Best.Grid = Grid;
                Best.Result = Result;
                Best.Score = Score;
            }
        }
    }
    if (Best.Score < 0) {
        std::fprintf(stderr, "kistora-levelgen: no candidate\n");
        return 1;
    }
    std::printf("; pushes=%d moves=%d changes=%d nodes=%llu ms=%.0f score=%.1f\n", Best.Result.Pushes,
                Best.Result.Moves, Best.Result.CrateChanges, (unsigned long long)Best.Result.Nodes,
                Best.Result.Seconds * 1000.0, Best.Score);
    PrintCroppedRows(Best.Grid);
    return 0;
}

namespace {

// Carves a closed room; the grid gets walls around every floor cell and nothing else.
int CarveRoom(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int InnerW = Options.Width ? Options.Width : 5 + Random.Below(20);
    int InnerH = Options.Height ? Options.Height : 4 + Random.Below(8);
    if (InnerW > KitFieldWidth - 2) InnerW = KitFieldWidth - 2;
    if (InnerH > KitFieldHeight - 2) InnerH = KitFieldHeight - 2;
    int W = InnerW + 2, H = InnerH + 2;
    Grid = LevelGrid();
    Grid.Width = W;
    Grid.Height = H;
    std::vector<uint8_t> Floor(W * H, 0);
    int Rectangles = 2 + Random.Below(5);
    int Carved = 0;
    if (Options.Segments > 0 && !Options.Outline) {
        // Structured rooms: the whole rectangle less up to two corner blocks; the
        // wall lines below give it its shape.
        for (int Y = 1; Y <= InnerH; Y++) {
            for (int X = 1; X <= InnerW; X++) Floor[Y * W + X] = 1;
        }
        for (int Corner = Random.Below(3); Corner > 0; Corner--) {
            int CW = 2 + Random.Below(InnerW / 3), CH = 1 + Random.Below(InnerH / 3);
            int Right = Random.Below(2), Bottom = Random.Below(2);
            for (int Y = 0; Y < CH; Y++) {
                for (int X = 0; X < CW; X++) {
                    int CX = Right ? InnerW - X : 1 + X, CY = Bottom ? InnerH - Y : 1 + Y;
                    Floor[CY * W + CX] = 0;
                }
            }
        }
        Carved = Rectangles;
    }
    for (int Tries = 0; Carved < Rectangles && Tries < 200; Tries++) {
        // Outlined rooms take rectangles up to 2/3 of the room, plain ones up to half.
        int RW = 2 + Random.Below(Options.Outline ? InnerW * 2 / 3 : InnerW / 2 + 1);
        int RH = 2 + Random.Below(Options.Outline ? InnerH * 2 / 3 : InnerH / 2 + 1);
        if (RW > InnerW) RW = InnerW;
        if (RH > InnerH) RH = InnerH;
        int X0 = 1 + Random.Below(InnerW - RW + 1), Y0 = 1 + Random.Below(InnerH - RH + 1);
        int Touches = Carved == 0;
        for (int Y = Y0; Y < Y0 + RH && !Touches; Y++) {
            for (int X = X0; X < X0 + RW && !Touches; X++) Touches = Floor[Y * W + X];
        }
        if (!Touches) continue;
        for (int Y = Y0; Y < Y0 + RH; Y++) {
            for (int X = X0; X < X0 + RW; X++) Floor[Y * W + X] = 1;
        }
        Carved++;
    }
    Grid.Wall.assign(W * H, 1);
    Grid.Target.assign(W * H, 0);
    Grid.Inside.assign(W * H, 0);
    int Count = 0;
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Floor[Cell]) {
            Grid.Wall[Cell] = 0;
            Count++;
        }
    }
    // Inner wall lines of 2 to 5 cells, each kept only when the floor stays in one piece.
    for (int K = 0; K < Options.Segments; K++) {
        int Length = 2 + Random.Below(4), Across = Random.Below(2);
        int X = 1 + Random.Below(InnerW), Y = 1 + Random.Below(InnerH);
        std::vector<int> Placed;
        for (int L = 0; L < Length; L++) {
            int CX = X + (Across ? L : 0), CY = Y + (Across ? 0 : L);
            if (CX > InnerW || CY > InnerH) break;
            int Cell = CY * W + CX;
            if (Grid.Wall[Cell]) continue;
            Grid.Wall[Cell] = 1;
            Placed.push_back(Cell);
        }
        if (Placed.empty()) continue;
        if (Connected(Grid, Count - (int)Placed.size())) {
            Count -= (int)Placed.size();
        } else {
            for (int Cell : Placed) Grid.Wall[Cell] = 0;
        }
    }
    // Pillars that keep the floor in one piece.
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell] || Random.Below(100) >= Options.Pillars) continue;
        Grid.Wall[Cell] = 1;
        if (Connected(Grid, Count - 1)) Count--;
        else Grid.Wall[Cell] = 0;
    }
    // Dead ends (three walls around) do nothing for the puzzle; fill most of them.
    for (int Pass = 0; Pass < 3; Pass++) {
        for (int Cell = 0; Cell < W * H; Cell++) {
            if (Grid.Wall[Cell]) continue;
            int Walls = Grid.Wall[Cell - 1] + Grid.Wall[Cell + 1] + Grid.Wall[Cell - W] + Grid.Wall[Cell + W];
            if (Walls >= 3 && Random.Below(4) != 0) {
                Grid.Wall[Cell] = 1;
                Count--;
            }
        }
    }
    if (Count < Options.Crates * 3 + 4) return 0;
    // Walls stay only where they touch the floor (8 neighbours); the rest is outside.
    std::vector<uint8_t> Keep(W * H, 0);
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell]) continue;
        int X = Cell % W, Y = Cell / W;
        for (int DY = -1; DY <= 1; DY++) {
            for (int DX = -1; DX <= 1; DX++) Keep[(Y + DY) * W + X + DX] = 1;
        }
    }
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell]) Grid.Wall[Cell] = Keep[Cell];
        else Grid.Inside[Cell] = 1;
    }
    // Targets: scattered, or grown as one patch from a random floor cell.
    std::vector<int> FloorCells;
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Inside[Cell]) FloorCells.push_back(Cell);
    }
    int Clustered = Options.Clustered >= 0 ? Options.Clustered : Random.Below(2);
    if (Clustered) {
        std::vector<int> Queue{FloorCells[Random.Below((int)FloorCells.size())]};
        std::vector<uint8_t> Seen(W * H, 0);
        Seen[Queue[0]] = 1;
        for (size_t Head = 0; Head < Queue.size() && (int)Grid.Crates.size() < Options.Crates; Head++) {
            int Cell = Queue[Head];
            if (Random.Below(3) != 0 || Head + 1 == Queue.size()) {
                Grid.Target[Cell] = 1;
                Grid.Crates.push_back(Cell);
            }
            const int Next[4] = {Cell - 1, Cell + 1, Cell - W, Cell + W};
            for (int N : Next) {
                if (Grid.Inside[N] && !Seen[N]) {
                    Seen[N] = 1;
                    Queue.push_back(N);
                }
            }
        }
    }
    while ((int)Grid.Crates.size() < Options.Crates) {
        int Cell = FloorCells[Random.Below((int)FloorCells.size())];
        if (Grid.Target[Cell]) continue;
        Grid.Target[Cell] = 1;
        Grid.Crates.push_back(Cell);
    }
    return 1;
}

int Connected(const LevelGrid& Grid, int Floor)
{
    int Start = -1;
    for (int Cell = 0; Cell < Grid.Width * Grid.Height && Start < 0; Cell++) {
        if (!Grid.Wall[Cell]) Start = Cell;
    }
    if (Start < 0) return 0;
    std::vector<uint8_t> Seen(Grid.Wall.size(), 0);
    std::vector<int> Queue{Start};
    Seen[Start] = 1;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        int Cell = Queue[Head];
        const int Next[4] = {Cell - 1, Cell + 1, Cell - Grid.Width, Cell + Grid.Width};
        for (int N : Next) {
            if (!Grid.Wall[N] && !Seen[N]) {
                Seen[N] = 1;
                Queue.push_back(N);
            }
        }
    }
    return (int)Queue.size() == Floor;
}

// Pulls the crates off their targets: the worker stands beside a crate and steps
// back, the crate following. Runs of pulls on one crate in one direction are favoured.
void Scramble(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int Pulls = Options.Pulls ? Options.Pulls : 40 + Options.Crates * 25 + Random.Below(60);
    Pull(Random, Options, Grid, Pulls, 0);
}

// Pulls from the grid's position. FromWorker 1 starts in the worker's region (every
// pull keeps the position solvable: the push that undoes it leads back); 0 starts
// anywhere, which only suits the solved position. The forward start is then put
// anywhere in the worker's final region.
void Pull(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid, int Pulls, int FromWorker)
{
    int W = Grid.Width;
    int Cells = W * Grid.Height;
    std::vector<uint8_t> Crate(Cells, 0);
    for (int C : Grid.Crates) Crate[C] = 1;
    std::vector<int> Free;
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Grid.Inside[Cell] && !Crate[Cell]) Free.push_back(Cell);
    }
    int Worker = FromWorker && Grid.Worker >= 0 ? Grid.Worker : Free[Random.Below((int)Free.size())];
    const int Step[4] = {-1, 1, -W, W};
    std::vector<uint8_t> Reach(Cells, 0);
    // Walking distance from the nearest target, crates ignored: pulls that raise it spread the crates.
    std::vector<int> Away(Cells, 1 << 20);
    {
        std::vector<int> Queue;
        for (int Cell = 0; Cell < Cells; Cell++) {
            if (Grid.Target[Cell]) {
                Away[Cell] = 0;
                Queue.push_back(Cell);
            }
        }
        for (size_t Head = 0; Head < Queue.size(); Head++) {
            for (int D = 0; D < 4; D++) {
                int N = Queue[Head] + Step[D];
                if (Grid.Inside[N] && Away[N] > Away[Queue[Head]] + 1) {
                    Away[N] = Away[Queue[Head]] + 1;
                    Queue.push_back(N);
                }
            }
        }
    }
    for (int Done = 0; Done < Pulls;) {
        std::fill(Reach.begin(), Reach.end(), 0);
        std::vector<int> Queue{Worker};
        Reach[Worker] = 1;
        for (size_t Head = 0; Head < Queue.size(); Head++) {
            for (int D = 0; D < 4; D++) {
                int N = Queue[Head] + Step[D];
                if (Grid.Inside[N] && !Crate[N] && !Reach[N]) {
                    Reach[N] = 1;
                    Queue.push_back(N);
                }
            }
        }
        // Every pull: crate C, worker at C + s, worker retreats to C + 2s.
        std::vector<std::pair<int, int>> Choices;
        for (int Cell = 0; Cell < Cells; Cell++) {
            if (!Crate[Cell]) continue;
            for (int D = 0; D < 4; D++) {
                int Stand = Cell + Step[D], Back = Stand + Step[D];
                if (Back < 0 || Back >= Cells) continue;
                if (Reach[Stand] && Grid.Inside[Back] && !Crate[Back]) Choices.push_back({Cell, D});
            }
        }
        if (Choices.empty()) break;
        std::vector<std::pair<int, int>> Farther;
        for (auto [C, D] : Choices) {
            if (Away[C + Step[D]] > Away[C]) Farther.push_back({C, D});
        }
        if (!Farther.empty() && Random.Below(100) < Options.Away) Choices.swap(Farther);
        auto [Cell, D] = Choices[Random.Below((int)Choices.size())];
        int Run = 1 + Random.Below(4);
        for (int R = 0; R < Run && Done < Pulls; R++) {
            int Stand = Cell + Step[D], Back = Stand + Step[D];
            if (!Grid.Inside[Back] || Crate[Back]) break;
            Crate[Cell] = 0;
            Crate[Stand] = 1;
            Worker = Back;
            Cell = Stand;
            Done++;
        }
    }
    // The forward start: anywhere in the worker's final region.
    std::fill(Reach.begin(), Reach.end(), 0);
    std::vector<int> Queue{Worker};
    Reach[Worker] = 1;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        for (int D = 0; D < 4; D++) {
            int N = Queue[Head] + Step[D];
            if (Grid.Inside[N] && !Crate[N] && !Reach[N]) {
                Reach[N] = 1;
                Queue.push_back(N);
            }
        }
    }
    Grid.Worker = Queue[Random.Below((int)Queue.size())];
    Grid.Crates.clear();
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Crate[Cell]) Grid.Crates.push_back(Cell);
    }
}

// The shell's room with the crates on the targets (the solved position).
int ReadShell(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    std::vector<SourceLevel> Levels;
    std::string Error;
    if (!ReadLevelFile(Options.Shell, Levels, Error)) {
        std::fprintf(stderr, "kistora-levelgen: %s\n", Error.c_str());
        return 0;
    }
    const SourceLevel* Shell = nullptr;
    for (const SourceLevel& Level : Levels) {
        if (!Shell && (Options.ShellLevel.empty() || Level.Name == Options.ShellLevel)) Shell = &Level;
    }
    if (!Shell) {
        std::fprintf(stderr, "kistora-levelgen: no level %s in %s\n", Options.ShellLevel.c_str(), Options.Shell.c_str());
        return 0;
    }
    if (!BuildLevelGrid(Shell->Rows, Grid, Error)) {
        std::fprintf(stderr, "kistora-levelgen: %s: %s\n", Options.Shell.c_str(), Error.c_str());
        return 0;
    }
    if (Options.RandomTargets) {
        std::vector<int> Floor;
        for (int Cell = 0; Cell < (int)Grid.Inside.size(); Cell++) {
            Grid.Target[Cell] = 0;
            if (Grid.Inside[Cell]) Floor.push_back(Cell);
        }
        if ((int)Floor.size() <= Options.Crates) return 0;
        for (int K = 0; K < Options.Crates;) {
            int Cell = Floor[Random.Below((int)Floor.size())];
            if (Grid.Target[Cell]) continue;
            Grid.Target[Cell] = 1;
            K++;
        }
    }
    Grid.Crates.clear();
    for (int Cell = 0; Cell < (int)Grid.Target.size(); Cell++) {
        if (Grid.Target[Cell]) Grid.Crates.push_back(Cell);
    }
    Grid.Worker = -1;
    return 1;
}

// Solves the candidate and rates it; 0 when it fails a limit or the solver.
int RateCandidate(const GenOptions& Options, Candidate& Found)
{
    const LevelGrid& Grid = Found.Grid;
    int OnTarget = 0;
    for (int C : Grid.Crates) OnTarget += Grid.Target[C];
    if (OnTarget * 100 > Options.OnTargetShare * (int)Grid.Crates.size()) return 0;
    SolveLimits Limits;
    Limits.MaxSeconds = Options.SolveSeconds;
    Limits.MaxNodes = Options.SolveNodes;
    if (!SolveLevel(Grid, Limits, Found.Result)) return 0;
    MeasureLevel(Grid, Found.Result.Lurd, Found.Figures);
    Found.Score = Options.ChangesWeight * Found.Result.CrateChanges + Options.NodesWeight * std::log2(1.0 + (double)Found.Result.Nodes) +
                  Found.Result.Pushes * 0.25 - 4.0 * OnTarget;
    // Over the limits a candidate is not kept, but it still leads the climb and the
    // room changes towards them: half a point per percent of unused floor too many,
    // two points per floor cell too many.
    const LevelFigures& F = Found.Figures;
    Found.Fits = 1;
    double UnusedShare = 100.0 * F.Unused / F.Floor;
    if (UnusedShare > Options.MaxUnused) {
        Found.Score -= (UnusedShare - Options.MaxUnused) * 0.5;
        Found.Fits = 0;
    }
    if (Options.MaxFloorPerCrate > 0 && F.Floor > Options.MaxFloorPerCrate * F.Crates) {
        Found.Score -= (F.Floor - Options.MaxFloorPerCrate * F.Crates) * 2.0;
        Found.Fits = 0;
    }
    return 1;
}

// Keeps the Keep best candidates, best first; a position already kept (same crates,
// worker in the same region) is kept once.
void KeepCandidate(const GenOptions& Options, std::vector<Candidate>& Best, const Candidate& Found)
{
    if (!Found.Fits) return;
    for (Candidate& Known : Best) {
        if (Known.Grid.Crates == Found.Grid.Crates && Known.Result.Lurd == Found.Result.Lurd) return;
    }
    Best.push_back(Found);
    std::stable_sort(Best.begin(), Best.end(), [](const Candidate& A, const Candidate& B) { return A.Score > B.Score; });
    if ((int)Best.size() > Options.Keep) Best.resize(Options.Keep);
}

// Scrambles of one room, each improved by climbing; an incumbent position from the
// room before a change is tried again when it still fits. Every result goes to Best;
// the best of this room is answered (Score -1 when none).
Candidate SearchRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Empty, const Candidate* Incumbent,
                     std::vector<Candidate>& Best)
{
    Candidate RoomBest;
    int Tries = Options.Deep ? 1 : Options.Scrambles;
    for (int K = (Incumbent ? -1 : 0); K < Tries; K++) {
        Candidate Found;
        Found.Grid = Empty;
        if (K < 0) {
            // The incumbent's crates and worker in the changed room.
            int Fits = Empty.Inside[Incumbent->Grid.Worker];
            for (int C : Incumbent->Grid.Crates) Fits &= Empty.Inside[C];
            if (!Fits) continue;
            Found.Grid.Crates = Incumbent->Grid.Crates;
            Found.Grid.Worker = Incumbent->Grid.Worker;
        } else if (Options.Deep) {
            if (!Deepest(Random, Options, Found.Grid)) continue;
        } else if (Options.Beam > 0) {
            if (!BeamDeepest(Random, Options, Found.Grid)) continue;
        } else {
            // A scramble can shut the worker in early (in a goal room, say): try again.
            for (int Try = 0; Try < 20; Try++) {
                Found.Grid = Empty;
                Scramble(Random, Options, Found.Grid);
                int OnTarget = 0;
                for (int C : Found.Grid.Crates) OnTarget += Found.Grid.Target[C];
                if (OnTarget * 3 <= (int)Found.Grid.Crates.size()) break;
            }
        }
        if (!RateCandidate(Options, Found)) continue;
        for (int Step = 0; Step < Options.Climb; Step++) {
            Candidate Next;
            Next.Grid = Found.Grid;
            Pull(Random, Options, Next.Grid, 1 + Random.Below(4), 1);
            if (RateCandidate(Options, Next) && Next.Score >= Found.Score) Found = Next;
        }
        KeepCandidate(Options, Best, Found);
        if (Found.Score > RoomBest.Score) RoomBest = Found;
    }
    return RoomBest;
}

// One change to a room: a wall cell becomes floor, a floor cell becomes wall, or a
// target moves. The outer ring stays wall, the floor stays in one piece and within
// the floor limit. 1 when a change was made.
int MutateRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Shell, LevelGrid& Room)
{
    int W = Room.Width, H = Room.Height;
    int Cells = W * H;
    int Crates = (int)Room.Crates.size();
    int Floor = 0;
    for (uint8_t In : Room.Inside) Floor += In;
    for (int Try = 0; Try < 50; Try++) {
        int Cell = W + 1 + Random.Below(Cells - 2 * W - 2);
        int X = Cell % W, Y = Cell / W;
        if (X == 0 || X == W - 1 || Y == 0 || Y == H - 1) continue;
        std::vector<uint8_t> Inside = Room.Inside;
        std::vector<uint8_t> Target = Room.Target;
        int Kind = Random.Below(10);
        if (Kind < 2 && !Options.FixedTargets) {
            // Move a target to a free floor cell.
            if (!Inside[Cell] || Target[Cell]) continue;
            int Which = Room.Crates[Random.Below(Crates)];
            Target[Which] = 0;
            Target[Cell] = 1;
        } else if (Inside[Cell]) {
            if (Target[Cell]) continue;
            Inside[Cell] = 0;
        } else {
            if (Options.KeepWalls && !Shell.Inside[Cell]) continue;
            if (!Inside[Cell - 1] && !Inside[Cell + 1] && !Inside[Cell - W] && !Inside[Cell + W]) continue;
            if (Options.MaxFloorPerCrate > 0 && Floor + 1 > Options.MaxFloorPerCrate * Crates) continue;
            Inside[Cell] = 1;
        }
        // One piece of floor.
        int Start = -1, Count = 0;
        for (int C = 0; C < Cells; C++) {
            if (Inside[C]) {
                Count++;
                if (Start < 0) Start = C;
            }
        }
        if (Count < Crates * 3) continue;
        std::vector<uint8_t> Seen(Cells, 0);
        std::vector<int> Queue{Start};
        Seen[Start] = 1;
        for (size_t Head = 0; Head < Queue.size(); Head++) {
            const int Next[4] = {Queue[Head] - 1, Queue[Head] + 1, Queue[Head] - W, Queue[Head] + W};
            for (int N : Next) {
                if (Inside[N] && !Seen[N]) {
                    Seen[N] = 1;
                    Queue.push_back(N);
                }
            }
        }
        if ((int)Queue.size() != Count) continue;
        Room.Inside = Inside;
        Room.Target = Target;
        Room.Crates.clear();
        for (int C = 0; C < Cells; C++) {
            if (Target[C]) Room.Crates.push_back(C);
            // Walls only where they touch the floor (8 neighbours).
            int Near = 0;
            for (int DY = -1; DY <= 1; DY++) {
                for (int DX = -1; DX <= 1; DX++) {
                    int NX = C % W + DX, NY = C / W + DY;
                    if (NX >= 0 && NY >= 0 && NX < W && NY < H) Near |= Inside[NY * W + NX];
                }
            }
            Room.Wall[C] = !Inside[C] && Near;
        }
        return 1;
    }
    return 0;
}

void PrintCandidate(const Candidate& Found, int Number)
{
    const SolveResult& R = Found.Result;
    const LevelFigures& F = Found.Figures;
    std::printf("; pushes=%d moves=%d changes=%d nodes=%llu ms=%.0f floor=%d unused=%d per-crate=%.1f "
                "unused%%=%.1f score=%.1f\n",
                R.Pushes, R.Moves, R.CrateChanges, (unsigned long long)R.Nodes, R.Seconds * 1000.0, F.Floor, F.Unused,
                (double)F.Floor / F.Crates, 100.0 * F.Unused / F.Floor, Found.Score);
    std::printf("Name: c%02d\nTitle: tCandidate\n", Number);
    PrintCroppedRows(Found.Grid);
    std::printf("\n");
}

}   // namespace

namespace {

// Breadth-first over pulls from every solved position (worker in any region around
// the crates on their targets). The last layer holds the positions that need the
// most pushes; one with the fewest crates still on targets is taken. Answers that
// number of pushes, or 0 when the search outgrew its limit or no pull is possible.
// The floor of a grid numbered for the scrambles: Ids[cell] is the number of
// a cell inside (-1 outside), CellOf the cell of each number.
struct FloorNumbers {
    std::vector<int> Ids, CellOf;
    int Step[4] = {};
};

static FloorNumbers NumberFloor(const LevelGrid& Grid)
{
    FloorNumbers Floor;
    int Cells = Grid.Width * Grid.Height;
    Floor.Ids.assign(Cells, -1);
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Grid.Inside[Cell]) {
            Floor.Ids[Cell] = (int)Floor.CellOf.size();
            Floor.CellOf.push_back(Cell);
        }
    }
    Floor.Step[0] = -1;
    Floor.Step[1] = 1;
    Floor.Step[2] = -Grid.Width;
    Floor.Step[3] = Grid.Width;
    return Floor;
}

// Marks in Reach the floor numbers the worker reaches from From past the
// crates marked in Crate; returns the smallest of them (the region's name).
static int FloodFloor(const FloorNumbers& Floor, const std::vector<uint8_t>& Crate, std::vector<uint8_t>& Reach,
                      std::vector<int>& Queue, int From)
{
    std::fill(Reach.begin(), Reach.end(), 0);
    Queue.assign(1, From);
    Reach[From] = 1;
    int Smallest = From;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        int Cell = Floor.CellOf[Queue[Head]];
        if (Queue[Head] < Smallest) Smallest = Queue[Head];
        for (int D = 0; D < 4; D++) {
            int Near = Floor.Ids[Cell + Floor.Step[D]];
            if (Near >= 0 && !Crate[Near] && !Reach[Near]) {
                Reach[Near] = 1;
                Queue.push_back(Near);
            }
        }
    }
    return Smallest;
}

int Deepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int W = Grid.Width;
    const FloorNumbers Floor = NumberFloor(Grid);
    const std::vector<int>& Ids = Floor.Ids;
    const std::vector<int>& CellOf = Floor.CellOf;
    int F = (int)CellOf.size();
    int N = (int)Grid.Crates.size();
    if (F > 255 || N > 7) return 0;
    const int Step[4] = {-1, 1, -W, W};
    // A position packs N crate ids (ascending, 8 bits each) and the region's smallest id.
    auto Pack = [&](std::vector<int>& Crates, int Region) {
        std::sort(Crates.begin(), Crates.end());
        uint64_t Key = (uint64_t)Region;
        for (int C : Crates) Key = (Key << 8) | (uint64_t)C;
        return Key;
    };
    auto Unpack = [&](uint64_t Key, std::vector<int>& Crates) {
        Crates.assign(N, 0);
        for (int K = N - 1; K >= 0; K--) {
            Crates[K] = (int)(Key & 255);
            Key >>= 8;
        }
        return (int)Key;
    };
    std::vector<uint8_t> Crate(F, 0), Reach(F, 0);
    std::vector<int> Queue;
    auto Flood = [&](int From) { return FloodFloor(Floor, Crate, Reach, Queue, From); };
    std::unordered_set<uint64_t> Seen;
    std::vector<uint64_t> Layer, NextLayer;
    std::vector<int> Crates;
    for (int C : Grid.Crates) Crates.push_back(Ids[C]);
    for (int C : Crates) Crate[C] = 1;
    std::vector<uint8_t> Done(F, 0);
    for (int Id = 0; Id < F; Id++) {
        if (Crate[Id] || Done[Id]) continue;
        int Region = Flood(Id);
        for (int Q : Queue) Done[Q] = 1;
        std::vector<int> Copy = Crates;
        uint64_t Key = Pack(Copy, Region);
        if (Seen.insert(Key).second) Layer.push_back(Key);
    }
    int Depth = 0;
    std::vector<uint64_t> Last = Layer;
    while (!Layer.empty()) {
        NextLayer.clear();
        for (uint64_t Key : Layer) {
            int Region = Unpack(Key, Crates);
            std::fill(Crate.begin(), Crate.end(), 0);
            for (int C : Crates) Crate[C] = 1;
            Flood(Region);
            std::vector<uint8_t> Reachable = Reach;
            for (int K = 0; K < N; K++) {
                int Cell = CellOf[Crates[K]];
                for (int D = 0; D < 4; D++) {
                    int Stand = Ids[Cell + Step[D]];
                    if (Stand < 0 || !Reachable[Stand]) continue;
                    int BackCell = CellOf[Stand] + Step[D];
                    int Back = Ids[BackCell];
                    if (Back < 0 || Crate[Back]) continue;
                    Crate[Crates[K]] = 0;
                    Crate[Stand] = 1;
                    int NewRegion = Flood(Back);
                    Crate[Stand] = 0;
                    Crate[Crates[K]] = 1;
                    std::vector<int> Moved = Crates;
                    Moved[K] = Stand;
                    uint64_t NewKey = Pack(Moved, NewRegion);
                    if (Seen.insert(NewKey).second) NextLayer.push_back(NewKey);
                }
            }
            if ((int)Seen.size() > Options.DeepLimit) return 0;
        }
        if (NextLayer.empty()) break;
        Depth++;
        Last = NextLayer;
        Layer.swap(NextLayer);
    }
    if (Depth == 0) return 0;
    // Fewest crates on targets among the deepest; ties broken at random.
    int BestOn = N + 1;
    std::vector<uint64_t> Pick;
    for (uint64_t Key : Last) {
        Unpack(Key, Crates);
        int On = 0;
        for (int C : Crates) On += Grid.Target[CellOf[C]];
        if (On < BestOn) {
            BestOn = On;
            Pick.clear();
        }
        if (On == BestOn) Pick.push_back(Key);
    }
    uint64_t Key = Pick[Random.Below((int)Pick.size())];
    int Region = Unpack(Key, Crates);
    std::fill(Crate.begin(), Crate.end(), 0);
    for (int C : Crates) Crate[C] = 1;
    Flood(Region);
    Grid.Worker = CellOf[Queue[Random.Below((int)Queue.size())]];
    Grid.Crates.clear();
    for (int C : Crates) Grid.Crates.push_back(CellOf[C]);
    std::sort(Grid.Crates.begin(), Grid.Crates.end());
    return Depth;
}

}   // namespace

namespace {

// Breadth-first over pulls like Deepest, for any number of crates, with each layer
// cut to Options.Beam positions chosen at random. Answers the depth reached, 0 when
// no pull is possible.
int BeamDeepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int W = Grid.Width;
    const FloorNumbers Floor = NumberFloor(Grid);
    const std::vector<int>& Ids = Floor.Ids;
    const std::vector<int>& CellOf = Floor.CellOf;
    int F = (int)CellOf.size();
    int N = (int)Grid.Crates.size();
    if (F > 255) return 0;
    const int Step[4] = {-1, 1, -W, W};
    // A position: N crate ids ascending, then the region's smallest id, one byte each.
    std::vector<uint8_t> Crate(F, 0), Reach(F, 0);
    std::vector<int> Queue;
    auto Flood = [&](int From) { return FloodFloor(Floor, Crate, Reach, Queue, From); };
    auto Pack = [&](std::vector<int> Crates, int Region) {
        std::sort(Crates.begin(), Crates.end());
        std::string Key;
        for (int C : Crates) Key += (char)C;
        Key += (char)Region;
        return Key;
    };
    std::unordered_set<std::string> Seen;
    std::vector<std::string> Layer, NextLayer;
    std::vector<int> Crates;
    for (int C : Grid.Crates) Crates.push_back(Ids[C]);
    for (int C : Crates) Crate[C] = 1;
    std::vector<uint8_t> Done(F, 0);
    for (int Id = 0; Id < F; Id++) {
        if (Crate[Id] || Done[Id]) continue;
        int Region = Flood(Id);
        for (int Q : Queue) Done[Q] = 1;
        std::string Key = Pack(Crates, Region);
        if (Seen.insert(Key).second) Layer.push_back(Key);
    }
    int Depth = 0;
    std::vector<std::string> Last = Layer;
    while (!Layer.empty()) {
        NextLayer.clear();
        for (const std::string& Key : Layer) {
            Crates.assign(N, 0);
            for (int K = 0; K < N; K++) Crates[K] = (uint8_t)Key[K];
            int Region = (uint8_t)Key[N];
            std::fill(Crate.begin(), Crate.end(), 0);
            for (int C : Crates) Crate[C] = 1;
            Flood(Region);
            std::vector<uint8_t> Reachable = Reach;
            for (int K = 0; K < N; K++) {
                int Cell = CellOf[Crates[K]];
                for (int D = 0; D < 4; D++) {
                    int Stand = Ids[Cell + Step[D]];
                    if (Stand < 0 || !Reachable[Stand]) continue;
                    int Back = Ids[CellOf[Stand] + Step[D]];
                    if (Back < 0 || Crate[Back]) continue;
                    Crate[Crates[K]] = 0;
                    Crate[Stand] = 1;
                    int NewRegion = Flood(Back);
                    Crate[Stand] = 0;
                    Crate[Crates[K]] = 1;
                    std::vector<int> Moved = Crates;
                    Moved[K] = Stand;
                    std::string NewKey = Pack(Moved, NewRegion);
                    if (Seen.insert(NewKey).second) NextLayer.push_back(NewKey);
                }
            }
        }
        if (NextLayer.empty()) break;
        if ((int)NextLayer.size() > Options.Beam) {
            for (int K = 0; K < Options.Beam; K++) std::swap(NextLayer[K], NextLayer[K + Random.Below((int)NextLayer.size() - K)]);
            NextLayer.resize(Options.Beam);
        }
        Depth++;
        Last = NextLayer;
        Layer.swap(NextLayer);
    }
    if (Depth == 0) return 0;
    // Fewest crates on targets among the deepest; ties broken at random.
    int BestOn = N + 1;
    std::vector<const std::string*> Pick;
    for (const std::string& Key : Last) {
        int On = 0;
        for (int K = 0; K < N; K++) On += Grid.Target[CellOf[(uint8_t)Key[K]]];
        if (On < BestOn) {
            BestOn = On;
            Pick.clear();
        }
        if (On == BestOn) Pick.push_back(&Key);
    }
    const std::string& Key = *Pick[Random.Below((int)Pick.size())];
    std::fill(Crate.begin(), Crate.end(), 0);
    Grid.Crates.clear();
    for (int K = 0; K < N; K++) {
        Crate[(uint8_t)Key[K]] = 1;
        Grid.Crates.push_back(CellOf[(uint8_t)Key[K]]);
    }
    std::sort(Grid.Crates.begin(), Grid.Crates.end());
    Flood((uint8_t)Key[N]);
    Grid.Worker = CellOf[Queue[Random.Below((int)Queue.size())]];
    return Depth;
}

}   // namespace
