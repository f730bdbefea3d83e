// kistora-levelgen: finds level candidates for our own set by playing backwards.
// A room is carved from random rectangles, targets are placed, the crates start on
// them and the worker pulls them apart; each scrambled position is then solved
// push-optimally and rated (pushes, how often the worked crate changes, crates
// left on targets). The best candidate is printed in the level notation.
//
//   kistora-levelgen --seed S --crates N [--width W] [--height H] [--rooms R]
//                    [--scrambles K] [--pulls P] [--solve-seconds T] [--pillars PCT]
#include "levelkit.h"

#include <algorithm>
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
};

struct Candidate {
    LevelGrid Grid;
    SolveResult Result;
    double Score = -1;
};

int CarveRoom(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int Connected(const LevelGrid& Grid, int Floor);
void Scramble(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int Deepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);

}   // namespace

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
        else {
            std::fprintf(stderr, "kistora-levelgen: unknown argument %s\n", Key);
            return 2;
        }
    }
    if (Options.Crates < 1 || Options.Crates > KitMaxCrates) return 2;
    for (int W = 0; W < 5; W++) Random.Next();
    Candidate Best;
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
    // Crop to the walls: drop empty rows and the blank columns on the left.
    std::vector<std::string> Rows;
    size_t Indent = std::string::npos;
    for (const std::string& Row : LevelGridRows(Best.Grid)) {
        if (Row.empty()) continue;
        Rows.push_back(Row);
        size_t First = Row.find_first_not_of(' ');
        if (First < Indent) Indent = First;
    }
    for (const std::string& Row : Rows) std::printf("%s\n", Row.substr(Indent).c_str());
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
    int W = Grid.Width;
    int Cells = W * Grid.Height;
    std::vector<uint8_t> Crate(Cells, 0);
    for (int C : Grid.Crates) Crate[C] = 1;
    std::vector<int> Free;
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Grid.Inside[Cell] && !Crate[Cell]) Free.push_back(Cell);
    }
    int Worker = Free[Random.Below((int)Free.size())];
    const int Step[4] = {-1, 1, -W, W};
    int Pulls = Options.Pulls ? Options.Pulls : 40 + Options.Crates * 25 + Random.Below(60);
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

}   // namespace

namespace {

// Breadth-first over pulls from every solved position (worker in any region around
// the crates on their targets). The last layer holds the positions that need the
// most pushes; one with the fewest crates still on targets is taken. Answers that
// number of pushes, or 0 when the search outgrew its limit or no pull is possible.
int Deepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int W = Grid.Width;
    int Cells = W * Grid.Height;
    std::vector<int> Ids(Cells, -1), CellOf;
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Grid.Inside[Cell]) {
            Ids[Cell] = (int)CellOf.size();
            CellOf.push_back(Cell);
        }
    }
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
    auto Flood = [&](int From) {
        std::fill(Reach.begin(), Reach.end(), 0);
        Queue.assign(1, From);
        Reach[From] = 1;
        int Smallest = From;
        for (size_t Head = 0; Head < Queue.size(); Head++) {
            int Cell = CellOf[Queue[Head]];
            if (Queue[Head] < Smallest) Smallest = Queue[Head];
            for (int D = 0; D < 4; D++) {
                int Near = Ids[Cell + Step[D]];
                if (Near >= 0 && !Crate[Near] && !Reach[Near]) {
                    Reach[Near] = 1;
                    Queue.push_back(Near);
                }
            }
        }
        return Smallest;
    };
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
