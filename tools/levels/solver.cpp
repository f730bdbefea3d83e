// Push-optimal solver: A* over positions (crate cells plus the worker's region,
// named by its smallest cell), ordered by pushes + a matching lower bound.
// Pruning: dead squares (no target reachable by pushing a lone crate) and frozen
// crates off target. Positions are kept in an open-addressing transposition table.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "levelkit.h"

namespace {

constexpr int NoCell = -1;
constexpr int FarAway = 10000; // push distance of an unreachable target
constexpr uint16_t NoCrate = 0xFFFF;

struct SearchNode {
    uint16_t Crates[KitMaxCrates]; // floor ids, ascending; NoCrate past the count
    uint16_t Worker;               // smallest floor id of the worker's region
    uint16_t Pushes;
    uint16_t Bound;     // lower bound of the pushes still needed
    uint32_t Parent;    // node index, UINT32_MAX for the start
    uint16_t CrateFrom; // floor id the pushed crate left
    uint8_t Dir;        // 0 left, 1 right, 2 up, 3 down
    uint8_t Closed;
};

struct SolverBoard {
    int CrateCount = 0;
    int FloorCount = 0;
    std::vector<int> IdToCell;
    std::vector<int> CellToId;
    std::vector<int> Next; // FloorCount x 4 neighbour ids or NoCell
    std::vector<uint8_t> IsTarget;
    std::vector<uint8_t> Dead;
    std::vector<int> TargetIds;
    std::vector<int> Distance; // CrateCount targets x FloorCount pushes
    std::vector<uint64_t> CrateKey, WorkerKey;
    // Scratch, stamped to avoid clearing.
    std::vector<uint32_t> CrateStamp, ReachStamp, WallStamp;
    uint32_t CrateMark = 0, ReachMark = 0;
    std::vector<int> Queue;
};

const char WalkLetters[4] = {'l', 'r', 'u', 'd'};

void BuildBoard(const LevelGrid& Grid, SolverBoard& Board);
void SortCrates(uint16_t* Crates, int N);
void MarkCrates(SolverBoard& Board, const uint16_t* Crates);
int Reach(SolverBoard& Board, int From);
int Frozen(SolverBoard& Board, int Id);
int BlockedOnAxis(SolverBoard& Board, int Id, int Axis);
int LowerBound(const SolverBoard& Board, const uint16_t* Crates);
uint64_t PositionKey(const SolverBoard& Board, const uint16_t* Crates, int Worker);
std::string WalkPath(SolverBoard& Board, int From, int To);

} // namespace

int SolveLevel(const LevelGrid& Grid, const SolveLimits& Limits, SolveResult& Result)
{
    Result = SolveResult();
    auto Start = std::chrono::steady_clock::now();
    SolverBoard Board;
    BuildBoard(Grid, Board);
    int N = Board.CrateCount;

    std::vector<SearchNode> Nodes;
    Nodes.reserve(1 << 16);
    std::vector<uint32_t> Table(1 << 16, 0); // node index + 1, 0 empty
    size_t TableMask = Table.size() - 1;
    std::vector<std::vector<uint32_t>> Buckets; // open nodes by pushes + bound

    auto Lookup = [&](const SearchNode& Node, uint64_t Key) -> uint32_t* {
        size_t Slot = Key & TableMask;
        while (Table[Slot]) {
            const SearchNode& Other = Nodes[Table[Slot] - 1];
            if (Other.Worker == Node.Worker && std::memcmp(Other.Crates, Node.Crates, sizeof Node.Crates) == 0)
                return &Table[Slot];
            Slot = (Slot + 1) & TableMask;
        }
        return &Table[Slot];
    };
    auto GrowTable = [&]() {
        std::vector<uint32_t> Old;
        Old.swap(Table);
        Table.assign(Old.size() * 2, 0);
        TableMask = Table.size() - 1;
        for (uint32_t Entry : Old) {
            if (!Entry)
                continue;
            const SearchNode& Node = Nodes[Entry - 1];
            size_t Slot = PositionKey(Board, Node.Crates, Node.Worker) & TableMask;
            while (Table[Slot])
                Slot = (Slot + 1) & TableMask;
            Table[Slot] = Entry;
        }
    };
    auto AddOpen = [&](uint32_t Index) {
        size_t F = (size_t)Nodes[Index].Pushes + Nodes[Index].Bound;
        if (Buckets.size() <= F)
            Buckets.resize(F + 1);
        Buckets[F].push_back(Index);
    };

    SearchNode First{};
    std::fill(std::begin(First.Crates), std::end(First.Crates), NoCrate);
    for (int K = 0; K < N; K++)
        First.Crates[K] = (uint16_t)Board.CellToId[Grid.Crates[K]];
    SortCrates(First.Crates, N);
    MarkCrates(Board, First.Crates);
    First.Worker = (uint16_t)Reach(Board, Board.CellToId[Grid.Worker]);
    First.Parent = UINT32_MAX;
    int FirstBound = LowerBound(Board, First.Crates);
    if (FirstBound >= FarAway) {
        Result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        return 0;
    }
    First.Bound = (uint16_t)FirstBound;
    Nodes.push_back(First);
    *Lookup(First, PositionKey(Board, First.Crates, First.Worker)) = 1;
    AddOpen(0);

    uint32_t Goal = UINT32_MAX;
    uint64_t Expanded = 0;
    std::vector<uint32_t> ReachCopy; // the parent's region; the child searches reuse the stamps
    for (size_t F = 0; F < Buckets.size() && Goal == UINT32_MAX; F++) {
        while (!Buckets[F].empty()) {
            uint32_t Index = Buckets[F].back();
            Buckets[F].pop_back();
            if (Nodes[Index].Closed)
                continue;
            SearchNode Node = Nodes[Index];
            if ((size_t)Node.Pushes + Node.Bound != F)
                continue; // stale entry
            Nodes[Index].Closed = 1;
            int OnTargets = 1;
            for (int K = 0; K < N; K++)
                OnTargets &= Board.IsTarget[Node.Crates[K]];
            if (OnTargets) {
                Goal = Index;
                break;
            }
            if ((++Expanded & 1023) == 0 && Limits.MaxSeconds > 0 &&
                std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count() > Limits.MaxSeconds) {
                Result.Aborted = 1;
                break;
            }
            MarkCrates(Board, Node.Crates);
            Reach(Board, Node.Worker);
            uint32_t Reachable = Board.ReachMark;
            ReachCopy.assign(Board.ReachStamp.begin(), Board.ReachStamp.end());
            for (int K = 0; K < N; K++) {
                int Crate = Node.Crates[K];
                for (int Dir = 0; Dir < 4; Dir++) {
                    int Behind = Board.Next[Crate * 4 + (Dir ^ 1)];
                    int To = Board.Next[Crate * 4 + Dir];
                    if (Behind == NoCell || To == NoCell || ReachCopy[Behind] != Reachable)
                        continue;
                    if (Board.CrateStamp[To] == Board.CrateMark || Board.Dead[To])
                        continue;
                    SearchNode Child = Node;
                    Child.Crates[K] = (uint16_t)To;
                    SortCrates(Child.Crates, N);
                    Child.Pushes = Node.Pushes + 1;
                    Child.Parent = Index;
                    Child.CrateFrom = (uint16_t)Crate;
                    Child.Dir = (uint8_t)Dir;
                    Child.Closed = 0;
                    MarkCrates(Board, Child.Crates);
                    int Stuck = Frozen(Board, To) && !Board.IsTarget[To];
                    if (!Stuck && Frozen(Board, To)) {
                        // The pushed crate rests on a target; a frozen neighbour off target is lost.
                        for (int Side = 0; Side < 4 && !Stuck; Side++) {
                            int Near = Board.Next[To * 4 + Side];
                            if (Near != NoCell && Board.CrateStamp[Near] == Board.CrateMark && !Board.IsTarget[Near])
                                Stuck = Frozen(Board, Near);
                        }
                    }
                    if (Stuck) {
                        MarkCrates(Board, Node.Crates);
                        continue;
                    }
                    int Bound = LowerBound(Board, Child.Crates);
                    if (Bound >= FarAway) {
                        MarkCrates(Board, Node.Crates);
                        continue;
                    }
                    Child.Bound = (uint16_t)Bound;
                    Child.Worker = (uint16_t)Reach(Board, Crate);
                    MarkCrates(Board, Node.Crates);
                    uint64_t Key = PositionKey(Board, Child.Crates, Child.Worker);
                    uint32_t* Slot = Lookup(Child, Key);
                    if (*Slot) {
                        SearchNode& Known = Nodes[*Slot - 1];
                        if (Known.Closed || Known.Pushes <= Child.Pushes)
                            continue;
                        Known.Pushes = Child.Pushes;
                        Known.Parent = Index;
                        Known.CrateFrom = Child.CrateFrom;
                        Known.Dir = Child.Dir;
                        AddOpen(*Slot - 1);
                        continue;
                    }
                    if (Nodes.size() >= Limits.MaxNodes) {
                        Result.Aborted = 1;
                        break;
                    }
                    Nodes.push_back(Child);
                    *Slot = (uint32_t)Nodes.size();
                    AddOpen((uint32_t)Nodes.size() - 1);
                    if (Nodes.size() * 2 > Table.size())
                        GrowTable();
                }
                if (Result.Aborted)
                    break;
            }
            if (Result.Aborted)
                break;
        }
        if (Result.Aborted)
            break;
    }
    Result.Nodes = Nodes.size();
    if (Goal != UINT32_MAX) {
        std::vector<uint32_t> Chain;
        for (uint32_t At = Goal; Nodes[At].Parent != UINT32_MAX; At = Nodes[At].Parent)
            Chain.push_back(At);
        std::reverse(Chain.begin(), Chain.end());
        uint16_t Crates[KitMaxCrates];
        std::memcpy(Crates, First.Crates, sizeof Crates);
        int Worker = Board.CellToId[Grid.Worker];
        int LastCrate = -1;
        for (uint32_t At : Chain) {
            const SearchNode& Step = Nodes[At];
            int Crate = Step.CrateFrom, Dir = Step.Dir;
            int To = Board.Next[Crate * 4 + Dir];
            MarkCrates(Board, Crates);
            Result.Lurd += WalkPath(Board, Worker, Board.Next[Crate * 4 + (Dir ^ 1)]);
            Result.Lurd += (char)(WalkLetters[Dir] - 32);
            if (LastCrate != -1 && LastCrate != Crate)
                Result.CrateChanges++;
            LastCrate = To;
            for (int K = 0; K < N; K++) {
                if (Crates[K] == Crate)
                    Crates[K] = (uint16_t)To;
            }
            SortCrates(Crates, N);
            Worker = Crate;
        }
        Result.Solved = 1;
        Result.Pushes = Nodes[Goal].Pushes;
        Result.Moves = (int)Result.Lurd.size();
    }
    Result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    return Result.Solved;
}

namespace {

void BuildBoard(const LevelGrid& Grid, SolverBoard& Board)
{
    int Cells = Grid.Width * Grid.Height;
    Board.CrateCount = (int)Grid.Crates.size();
    Board.CellToId.assign(Cells, NoCell);
    for (int Cell = 0; Cell < Cells; Cell++) {
        if (!Grid.Inside[Cell])
            continue;
        Board.CellToId[Cell] = (int)Board.IdToCell.size();
        Board.IdToCell.push_back(Cell);
    }
    int F = Board.FloorCount = (int)Board.IdToCell.size();
    Board.Next.assign(F * 4, NoCell);
    Board.IsTarget.assign(F, 0);
    for (int Id = 0; Id < F; Id++) {
        int Cell = Board.IdToCell[Id];
        const int Step[4] = {-1, 1, -Grid.Width, Grid.Width};
        for (int Dir = 0; Dir < 4; Dir++)
            Board.Next[Id * 4 + Dir] = Board.CellToId[Cell + Step[Dir]];
        if (Grid.Target[Cell]) {
            Board.IsTarget[Id] = 1;
            Board.TargetIds.push_back(Id);
        }
    }
    // Push distances from every floor cell to every target, by pulling back from the target.
    Board.Distance.assign(Board.TargetIds.size() * F, FarAway);
    Board.Dead.assign(F, 1);
    for (size_t T = 0; T < Board.TargetIds.size(); T++) {
        int* Distance = &Board.Distance[T * F];
        std::vector<int> Queue{Board.TargetIds[T]};
        Distance[Board.TargetIds[T]] = 0;
        for (size_t Head = 0; Head < Queue.size(); Head++) {
            int At = Queue[Head];
            for (int Dir = 0; Dir < 4; Dir++) {
                int From = Board.Next[At * 4 + (Dir ^ 1)]; // crate came from here
                if (From == NoCell)
                    continue;
                int Behind = Board.Next[From * 4 + (Dir ^ 1)]; // worker stood here
                if (Behind == NoCell || Distance[From] != FarAway)
                    continue;
                Distance[From] = Distance[At] + 1;
                Queue.push_back(From);
            }
        }
        for (int Id = 0; Id < F; Id++) {
            if (Distance[Id] < FarAway)
                Board.Dead[Id] = 0;
        }
    }
    uint64_t Seed = 0x9E3779B97F4A7C15ull;
    auto Random = [&Seed]() {
        Seed ^= Seed << 13;
        Seed ^= Seed >> 7;
        Seed ^= Seed << 17;
        return Seed;
    };
    Board.CrateKey.resize(F);
    Board.WorkerKey.resize(F);
    for (int Id = 0; Id < F; Id++) {
        Board.CrateKey[Id] = Random();
        Board.WorkerKey[Id] = Random();
    }
    Board.CrateStamp.assign(F, 0);
    Board.ReachStamp.assign(F, 0);
    Board.WallStamp.assign(F, 0);
    Board.Queue.reserve(F);
}

// Insertion sort: at most 12 entries, nearly sorted after one push.
void SortCrates(uint16_t* Crates, int N)
{
    for (int I = 1; I < N; I++) {
        uint16_t Value = Crates[I];
        int J = I - 1;
        while (J >= 0 && Crates[J] > Value) {
            Crates[J + 1] = Crates[J];
            J--;
        }
        Crates[J + 1] = Value;
    }
}

void MarkCrates(SolverBoard& Board, const uint16_t* Crates)
{
    Board.CrateMark++;
    for (int K = 0; K < Board.CrateCount; K++)
        Board.CrateStamp[Crates[K]] = Board.CrateMark;
}

// Floods the worker's region from From around the marked crates; answers its smallest id.
int Reach(SolverBoard& Board, int From)
{
    Board.ReachMark++;
    Board.Queue.clear();
    Board.Queue.push_back(From);
    Board.ReachStamp[From] = Board.ReachMark;
    int Smallest = From;
    for (size_t Head = 0; Head < Board.Queue.size(); Head++) {
        int At = Board.Queue[Head];
        if (At < Smallest)
            Smallest = At;
        for (int Dir = 0; Dir < 4; Dir++) {
            int N = Board.Next[At * 4 + Dir];
            if (N == NoCell || Board.ReachStamp[N] == Board.ReachMark || Board.CrateStamp[N] == Board.CrateMark)
                continue;
            Board.ReachStamp[N] = Board.ReachMark;
            Board.Queue.push_back(N);
        }
    }
    return Smallest;
}

// A crate is frozen when it can move along neither axis, now or ever.
int Frozen(SolverBoard& Board, int Id)
{
    return BlockedOnAxis(Board, Id, 0) && BlockedOnAxis(Board, Id, 1);
}

// Axis 0 horizontal, 1 vertical. Blocked by a wall on either side, by dead squares on
// both sides, or by a neighbour crate that is itself frozen (this crate counting as wall).
int BlockedOnAxis(SolverBoard& Board, int Id, int Axis)
{
    int A = Board.Next[Id * 4 + Axis * 2], B = Board.Next[Id * 4 + Axis * 2 + 1];
    if (A == NoCell || B == NoCell)
        return 1;
    if (Board.WallStamp[A] == 1 || Board.WallStamp[B] == 1)
        return 1;
    if (Board.Dead[A] && Board.Dead[B])
        return 1;
    Board.WallStamp[Id] = 1;
    int Blocked = 0;
    if (Board.CrateStamp[A] == Board.CrateMark && Frozen(Board, A))
        Blocked = 1;
    if (!Blocked && Board.CrateStamp[B] == Board.CrateMark && Frozen(Board, B))
        Blocked = 1;
    Board.WallStamp[Id] = 0;
    return Blocked;
}

// Minimum-cost matching of crates to targets by push distance (Hungarian method);
// FarAway or more when some crate cannot be matched.
int LowerBound(const SolverBoard& Board, const uint16_t* Crates)
{
    int N = Board.CrateCount;
    int F = Board.FloorCount;
    int Cost[KitMaxCrates + 1][KitMaxCrates + 1];
    for (int I = 1; I <= N; I++) {
        for (int J = 1; J <= N; J++)
            Cost[I][J] = Board.Distance[(size_t)(J - 1) * F + Crates[I - 1]];
    }
    int U[KitMaxCrates + 1] = {}, V[KitMaxCrates + 1] = {}, Match[KitMaxCrates + 1] = {}, Way[KitMaxCrates + 1] = {};
    for (int I = 1; I <= N; I++) {
        Match[0] = I;
        int J0 = 0;
        int MinV[KitMaxCrates + 1];
        bool Used[KitMaxCrates + 1];
        for (int J = 0; J <= N; J++) {
            MinV[J] = 1 << 29;
            Used[J] = false;
        }
        do {
            Used[J0] = true;
            int I0 = Match[J0], Delta = 1 << 29, J1 = 0;
            for (int J = 1; J <= N; J++) {
                if (Used[J])
                    continue;
                int Current = Cost[I0][J] - U[I0] - V[J];
                if (Current < MinV[J]) {
                    MinV[J] = Current;
                    Way[J] = J0;
                }
                if (MinV[J] < Delta) {
                    Delta = MinV[J];
                    J1 = J;
                }
            }
            for (int J = 0; J <= N; J++) {
                if (Used[J]) {
                    U[Match[J]] += Delta;
                    V[J] -= Delta;
                } else {
                    MinV[J] -= Delta;
                }
            }
            J0 = J1;
        } while (Match[J0] != 0);
        do {
            int J1 = Way[J0];
            Match[J0] = Match[J1];
            J0 = J1;
        } while (J0);
    }
    int Total = 0;
    for (int J = 1; J <= N; J++) {
        int C = Cost[Match[J]][J];
        if (C >= FarAway)
            return FarAway;
        Total += C;
    }
    return Total;
}

uint64_t PositionKey(const SolverBoard& Board, const uint16_t* Crates, int Worker)
{
    uint64_t Key = Board.WorkerKey[Worker];
    for (int K = 0; K < Board.CrateCount; K++)
        Key ^= Board.CrateKey[Crates[K]];
    Key ^= Key >> 29;
    Key *= 0xBF58476D1CE4E5B9ull;
    Key ^= Key >> 32;
    return Key;
}

// Shortest walk around the marked crates, as lower-case letters.
std::string WalkPath(SolverBoard& Board, int From, int To)
{
    std::vector<int> Came(Board.FloorCount, -1);
    std::vector<int> Queue{From};
    Came[From] = From;
    for (size_t Head = 0; Head < Queue.size() && Came[To] == -1; Head++) {
        int At = Queue[Head];
        for (int Dir = 0; Dir < 4; Dir++) {
            int N = Board.Next[At * 4 + Dir];
            if (N == NoCell || Came[N] != -1 || Board.CrateStamp[N] == Board.CrateMark)
                continue;
            Came[N] = At;
            Queue.push_back(N);
        }
    }
    std::string Path;
    for (int At = To; At != From && Came[At] != -1; At = Came[At]) {
        int Prev = Came[At];
        for (int Dir = 0; Dir < 4; Dir++) {
            if (Board.Next[Prev * 4 + Dir] == At)
                Path += WalkLetters[Dir];
        }
    }
    std::reverse(Path.begin(), Path.end());
    return Path;
}

} // namespace
