// kistora-levelgen: the room. Carved from random rectangles (with pillars and
// inner wall lines), or read from a hand-drawn shell; one cell's change to it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "levelgen.h"

// Carves a closed room; the grid gets walls around every floor cell and nothing else.
int CarveRoom(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid)
{
    int InnerW = Options.Width ? Options.Width : 5 + Random.Below(20);
    int InnerH = Options.Height ? Options.Height : 4 + Random.Below(8);
    if (InnerW > KitFieldWidth - 2)
        InnerW = KitFieldWidth - 2;
    if (InnerH > KitFieldHeight - 2)
        InnerH = KitFieldHeight - 2;
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
            for (int X = 1; X <= InnerW; X++)
                Floor[Y * W + X] = 1;
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
        if (RW > InnerW)
            RW = InnerW;
        if (RH > InnerH)
            RH = InnerH;
        int X0 = 1 + Random.Below(InnerW - RW + 1), Y0 = 1 + Random.Below(InnerH - RH + 1);
        int Touches = Carved == 0;
        for (int Y = Y0; Y < Y0 + RH && !Touches; Y++) {
            for (int X = X0; X < X0 + RW && !Touches; X++)
                Touches = Floor[Y * W + X];
        }
        if (!Touches)
            continue;
        for (int Y = Y0; Y < Y0 + RH; Y++) {
            for (int X = X0; X < X0 + RW; X++)
                Floor[Y * W + X] = 1;
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
            if (CX > InnerW || CY > InnerH)
                break;
            int Cell = CY * W + CX;
            if (Grid.Wall[Cell])
                continue;
            Grid.Wall[Cell] = 1;
            Placed.push_back(Cell);
        }
        if (Placed.empty())
            continue;
        if (Connected(Grid, Count - (int)Placed.size())) {
            Count -= (int)Placed.size();
        } else {
            for (int Cell : Placed)
                Grid.Wall[Cell] = 0;
        }
    }
    // Pillars that keep the floor in one piece.
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell] || Random.Below(100) >= Options.Pillars)
            continue;
        Grid.Wall[Cell] = 1;
        if (Connected(Grid, Count - 1))
            Count--;
        else
            Grid.Wall[Cell] = 0;
    }
    // Dead ends (three walls around) do nothing for the puzzle; fill most of them.
    for (int Pass = 0; Pass < 3; Pass++) {
        for (int Cell = 0; Cell < W * H; Cell++) {
            if (Grid.Wall[Cell])
                continue;
            int Walls = Grid.Wall[Cell - 1] + Grid.Wall[Cell + 1] + Grid.Wall[Cell - W] + Grid.Wall[Cell + W];
            if (Walls >= 3 && Random.Below(4) != 0) {
                Grid.Wall[Cell] = 1;
                Count--;
            }
        }
    }
    if (Count < Options.Crates * 3 + 4)
        return 0;
    // Walls stay only where they touch the floor (8 neighbours); the rest is outside.
    std::vector<uint8_t> Keep(W * H, 0);
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell])
            continue;
        int X = Cell % W, Y = Cell / W;
        for (int DY = -1; DY <= 1; DY++) {
            for (int DX = -1; DX <= 1; DX++)
                Keep[(Y + DY) * W + X + DX] = 1;
        }
    }
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Wall[Cell])
            Grid.Wall[Cell] = Keep[Cell];
        else
            Grid.Inside[Cell] = 1;
    }
    // Targets: scattered, or grown as one patch from a random floor cell.
    std::vector<int> FloorCells;
    for (int Cell = 0; Cell < W * H; Cell++) {
        if (Grid.Inside[Cell])
            FloorCells.push_back(Cell);
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
        if (Grid.Target[Cell])
            continue;
        Grid.Target[Cell] = 1;
        Grid.Crates.push_back(Cell);
    }
    return 1;
}

int Connected(const LevelGrid& Grid, int Floor)
{
    int Start = -1;
    for (int Cell = 0; Cell < Grid.Width * Grid.Height && Start < 0; Cell++) {
        if (!Grid.Wall[Cell])
            Start = Cell;
    }
    if (Start < 0)
        return 0;
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
        if (!Shell && (Options.ShellLevel.empty() || Level.Name == Options.ShellLevel))
            Shell = &Level;
    }
    if (!Shell) {
        std::fprintf(stderr, "kistora-levelgen: no level %s in %s\n", Options.ShellLevel.c_str(),
                     Options.Shell.c_str());
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
            if (Grid.Inside[Cell])
                Floor.push_back(Cell);
        }
        if ((int)Floor.size() <= Options.Crates)
            return 0;
        for (int K = 0; K < Options.Crates;) {
            int Cell = Floor[Random.Below((int)Floor.size())];
            if (Grid.Target[Cell])
                continue;
            Grid.Target[Cell] = 1;
            K++;
        }
    }
    Grid.Crates.clear();
    for (int Cell = 0; Cell < (int)Grid.Target.size(); Cell++) {
        if (Grid.Target[Cell])
            Grid.Crates.push_back(Cell);
    }
    Grid.Worker = -1;
    return 1;
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
    for (uint8_t In : Room.Inside)
        Floor += In;
    for (int Try = 0; Try < 50; Try++) {
        int Cell = W + 1 + Random.Below(Cells - 2 * W - 2);
        int X = Cell % W, Y = Cell / W;
        if (X == 0 || X == W - 1 || Y == 0 || Y == H - 1)
            continue;
        std::vector<uint8_t> Inside = Room.Inside;
        std::vector<uint8_t> Target = Room.Target;
        int Kind = Random.Below(10);
        if (Kind < 2 && !Options.FixedTargets) {
            // Move a target to a free floor cell.
            if (!Inside[Cell] || Target[Cell])
                continue;
            int Which = Room.Crates[Random.Below(Crates)];
            Target[Which] = 0;
            Target[Cell] = 1;
        } else if (Inside[Cell]) {
            if (Target[Cell])
                continue;
            Inside[Cell] = 0;
        } else {
            if (Options.KeepWalls && !Shell.Inside[Cell])
                continue;
            if (!Inside[Cell - 1] && !Inside[Cell + 1] && !Inside[Cell - W] && !Inside[Cell + W])
                continue;
            if (Options.MaxFloorPerCrate > 0 && Floor + 1 > Options.MaxFloorPerCrate * Crates)
                continue;
            Inside[Cell] = 1;
        }
        // One piece of floor.
        int Start = -1, Count = 0;
        for (int C = 0; C < Cells; C++) {
            if (Inside[C]) {
                Count++;
                if (Start < 0)
                    Start = C;
            }
        }
        if (Count < Crates * 3)
            continue;
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
        if ((int)Queue.size() != Count)
            continue;
        Room.Inside = Inside;
        Room.Target = Target;
        Room.Crates.clear();
        for (int C = 0; C < Cells; C++) {
            if (Target[C])
                Room.Crates.push_back(C);
            // Walls only where they touch the floor (8 neighbours).
            int Near = 0;
            for (int DY = -1; DY <= 1; DY++) {
                for (int DX = -1; DX <= 1; DX++) {
                    int NX = C % W + DX, NY = C / W + DY;
                    if (NX >= 0 && NY >= 0 && NX < W && NY < H)
                        Near |= Inside[NY * W + NX];
                }
            }
            Room.Wall[C] = !Inside[C] && Near;
        }
        return 1;
    }
    return 0;
}
