// kistora-levelgen: positions played backwards from the solved one. Random
// pulls, a full breadth-first search for the farthest position, or a beam.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "levelgen.h"

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
    for (int C : Grid.Crates)
        Crate[C] = 1;
    std::vector<int> Free;
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (Grid.Inside[Cell] && !Crate[Cell])
            Free.push_back(Cell);
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
            if (!Crate[Cell])
                continue;
            for (int D = 0; D < 4; D++) {
                int Stand = Cell + Step[D], Back = Stand + Step[D];
                if (Back < 0 || Back >= Cells)
                    continue;
                if (Reach[Stand] && Grid.Inside[Back] && !Crate[Back])
                    Choices.push_back({Cell, D});
            }
        }
        if (Choices.empty())
            break;
        std::vector<std::pair<int, int>> Farther;
        for (auto [C, D] : Choices) {
            if (Away[C + Step[D]] > Away[C])
                Farther.push_back({C, D});
        }
        if (!Farther.empty() && Random.Below(100) < Options.Away)
            Choices.swap(Farther);
        auto [Cell, D] = Choices[Random.Below((int)Choices.size())];
        int Run = 1 + Random.Below(4);
        for (int R = 0; R < Run && Done < Pulls; R++) {
            int Stand = Cell + Step[D], Back = Stand + Step[D];
            if (!Grid.Inside[Back] || Crate[Back])
                break;
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
        if (Crate[Cell])
            Grid.Crates.push_back(Cell);
    }
}

// Breadth-first over pulls from every solved position (worker in any region around
// the crates on their targets). The last layer holds the positions that need the
// most pushes; one with the fewest crates still on targets is taken. Answers that
// number of pushes, or 0 when the search outgrew its limit or no pull is possible.
// The floor of a grid numbered for the scrambles: Ids[cell] is the number of
// a cell inside (-1 outside), CellOf the cell of each number.
namespace {
struct FloorNumbers {
    std::vector<int> Ids, CellOf;
    int Step[4] = {};
};
} // namespace

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
        if (Queue[Head] < Smallest)
            Smallest = Queue[Head];
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
    if (F > 255 || N > 7)
        return 0;
    const int Step[4] = {-1, 1, -W, W};
    // A position packs N crate ids (ascending, 8 bits each) and the region's smallest id.
    auto Pack = [&](std::vector<int>& Crates, int Region) {
        std::sort(Crates.begin(), Crates.end());
        uint64_t Key = (uint64_t)Region;
        for (int C : Crates)
            Key = (Key << 8) | (uint64_t)C;
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
    for (int C : Grid.Crates)
        Crates.push_back(Ids[C]);
    for (int C : Crates)
        Crate[C] = 1;
    std::vector<uint8_t> Done(F, 0);
    for (int Id = 0; Id < F; Id++) {
        if (Crate[Id] || Done[Id])
            continue;
        int Region = Flood(Id);
        for (int Q : Queue)
            Done[Q] = 1;
        std::vector<int> Copy = Crates;
        uint64_t Key = Pack(Copy, Region);
        if (Seen.insert(Key).second)
            Layer.push_back(Key);
    }
    int Depth = 0;
    std::vector<uint64_t> Last = Layer;
    while (!Layer.empty()) {
        NextLayer.clear();
        for (uint64_t Key : Layer) {
            int Region = Unpack(Key, Crates);
            std::fill(Crate.begin(), Crate.end(), 0);
            for (int C : Crates)
                Crate[C] = 1;
            Flood(Region);
            std::vector<uint8_t> Reachable = Reach;
            for (int K = 0; K < N; K++) {
                int Cell = CellOf[Crates[K]];
                for (int D = 0; D < 4; D++) {
                    int Stand = Ids[Cell + Step[D]];
                    if (Stand < 0 || !Reachable[Stand])
                        continue;
                    int BackCell = CellOf[Stand] + Step[D];
                    int Back = Ids[BackCell];
                    if (Back < 0 || Crate[Back])
                        continue;
                    Crate[Crates[K]] = 0;
                    Crate[Stand] = 1;
                    int NewRegion = Flood(Back);
                    Crate[Stand] = 0;
                    Crate[Crates[K]] = 1;
                    std::vector<int> Moved = Crates;
                    Moved[K] = Stand;
                    uint64_t NewKey = Pack(Moved, NewRegion);
                    if (Seen.insert(NewKey).second)
                        NextLayer.push_back(NewKey);
                }
            }
            if ((int)Seen.size() > Options.DeepLimit)
                return 0;
        }
        if (NextLayer.empty())
            break;
        Depth++;
        Last = NextLayer;
        Layer.swap(NextLayer);
    }
    if (Depth == 0)
        return 0;
    // Fewest crates on targets among the deepest; ties broken at random.
    int BestOn = N + 1;
    std::vector<uint64_t> Pick;
    for (uint64_t Key : Last) {
        Unpack(Key, Crates);
        int On = 0;
        for (int C : Crates)
            On += Grid.Target[CellOf[C]];
        if (On < BestOn) {
            BestOn = On;
            Pick.clear();
        }
        if (On == BestOn)
            Pick.push_back(Key);
    }
    uint64_t Key = Pick[Random.Below((int)Pick.size())];
    int Region = Unpack(Key, Crates);
    std::fill(Crate.begin(), Crate.end(), 0);
    for (int C : Crates)
        Crate[C] = 1;
    Flood(Region);
    Grid.Worker = CellOf[Queue[Random.Below((int)Queue.size())]];
    Grid.Crates.clear();
    for (int C : Crates)
        Grid.Crates.push_back(CellOf[C]);
    std::sort(Grid.Crates.begin(), Grid.Crates.end());
    return Depth;
}

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
    if (F > 255)
        return 0;
    const int Step[4] = {-1, 1, -W, W};
    // A position: N crate ids ascending, then the region's smallest id, one byte each.
    std::vector<uint8_t> Crate(F, 0), Reach(F, 0);
    std::vector<int> Queue;
    auto Flood = [&](int From) { return FloodFloor(Floor, Crate, Reach, Queue, From); };
    auto Pack = [&](std::vector<int> Crates, int Region) {
        std::sort(Crates.begin(), Crates.end());
        std::string Key;
        for (int C : Crates)
            Key += (char)C;
        Key += (char)Region;
        return Key;
    };
    std::unordered_set<std::string> Seen;
    std::vector<std::string> Layer, NextLayer;
    std::vector<int> Crates;
    for (int C : Grid.Crates)
        Crates.push_back(Ids[C]);
    for (int C : Crates)
        Crate[C] = 1;
    std::vector<uint8_t> Done(F, 0);
    for (int Id = 0; Id < F; Id++) {
        if (Crate[Id] || Done[Id])
            continue;
        int Region = Flood(Id);
        for (int Q : Queue)
            Done[Q] = 1;
        std::string Key = Pack(Crates, Region);
        if (Seen.insert(Key).second)
            Layer.push_back(Key);
    }
    int Depth = 0;
    std::vector<std::string> Last = Layer;
    while (!Layer.empty()) {
        NextLayer.clear();
        for (const std::string& Key : Layer) {
            Crates.assign(N, 0);
            for (int K = 0; K < N; K++)
                Crates[K] = (uint8_t)Key[K];
            int Region = (uint8_t)Key[N];
            std::fill(Crate.begin(), Crate.end(), 0);
            for (int C : Crates)
                Crate[C] = 1;
            Flood(Region);
            std::vector<uint8_t> Reachable = Reach;
            for (int K = 0; K < N; K++) {
                int Cell = CellOf[Crates[K]];
                for (int D = 0; D < 4; D++) {
                    int Stand = Ids[Cell + Step[D]];
                    if (Stand < 0 || !Reachable[Stand])
                        continue;
                    int Back = Ids[CellOf[Stand] + Step[D]];
                    if (Back < 0 || Crate[Back])
                        continue;
                    Crate[Crates[K]] = 0;
                    Crate[Stand] = 1;
                    int NewRegion = Flood(Back);
                    Crate[Stand] = 0;
                    Crate[Crates[K]] = 1;
                    std::vector<int> Moved = Crates;
                    Moved[K] = Stand;
                    std::string NewKey = Pack(Moved, NewRegion);
                    if (Seen.insert(NewKey).second)
                        NextLayer.push_back(NewKey);
                }
            }
        }
        if (NextLayer.empty())
            break;
        if ((int)NextLayer.size() > Options.Beam) {
            for (int K = 0; K < Options.Beam; K++)
                std::swap(NextLayer[K], NextLayer[K + Random.Below((int)NextLayer.size() - K)]);
            NextLayer.resize(Options.Beam);
        }
        Depth++;
        Last = NextLayer;
        Layer.swap(NextLayer);
    }
    if (Depth == 0)
        return 0;
    // Fewest crates on targets among the deepest; ties broken at random.
    int BestOn = N + 1;
    std::vector<const std::string*> Pick;
    for (const std::string& Key : Last) {
        int On = 0;
        for (int K = 0; K < N; K++)
            On += Grid.Target[CellOf[(uint8_t)Key[K]]];
        if (On < BestOn) {
            BestOn = On;
            Pick.clear();
        }
        if (On == BestOn)
            Pick.push_back(&Key);
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
