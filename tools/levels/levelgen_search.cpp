// kistora-levelgen: a candidate solved and rated, the best few kept, the search
// of one room, and the printing in the level notation.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "levelgen.h"

// Solves the candidate and rates it; 0 when it fails a limit or the solver.
int RateCandidate(const GenOptions& Options, Candidate& Found)
{
    const LevelGrid& Grid = Found.Grid;
    int OnTarget = 0;
    for (int C : Grid.Crates)
        OnTarget += Grid.Target[C];
    if (OnTarget * 100 > Options.OnTargetShare * (int)Grid.Crates.size())
        return 0;
    SolveLimits Limits;
    Limits.MaxSeconds = Options.SolveSeconds;
    Limits.MaxNodes = Options.SolveNodes;
    if (!SolveLevel(Grid, Limits, Found.Result))
        return 0;
    MeasureLevel(Grid, Found.Result.Lurd, Found.Figures);
    Found.Score = Options.ChangesWeight * Found.Result.CrateChanges +
                  Options.NodesWeight * std::log2(1.0 + (double)Found.Result.Nodes) + Found.Result.Pushes * 0.25 -
                  4.0 * OnTarget;
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
    if (!Found.Fits)
        return;
    for (Candidate& Known : Best) {
        if (Known.Grid.Crates == Found.Grid.Crates && Known.Result.Lurd == Found.Result.Lurd)
            return;
    }
    Best.push_back(Found);
    std::stable_sort(Best.begin(), Best.end(),
                     [](const Candidate& A, const Candidate& B) { return A.Score > B.Score; });
    if ((int)Best.size() > Options.Keep)
        Best.resize(Options.Keep);
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
            for (int C : Incumbent->Grid.Crates)
                Fits &= Empty.Inside[C];
            if (!Fits)
                continue;
            Found.Grid.Crates = Incumbent->Grid.Crates;
            Found.Grid.Worker = Incumbent->Grid.Worker;
        } else if (Options.Deep) {
            if (!Deepest(Random, Options, Found.Grid))
                continue;
        } else if (Options.Beam > 0) {
            if (!BeamDeepest(Random, Options, Found.Grid))
                continue;
        } else {
            // A scramble can shut the worker in early (in a goal room, say): try again.
            for (int Try = 0; Try < 20; Try++) {
                Found.Grid = Empty;
                Scramble(Random, Options, Found.Grid);
                int OnTarget = 0;
                for (int C : Found.Grid.Crates)
                    OnTarget += Found.Grid.Target[C];
                if (OnTarget * 3 <= (int)Found.Grid.Crates.size())
                    break;
            }
        }
        if (!RateCandidate(Options, Found))
            continue;
        for (int Step = 0; Step < Options.Climb; Step++) {
            Candidate Next;
            Next.Grid = Found.Grid;
            Pull(Random, Options, Next.Grid, 1 + Random.Below(4), 1);
            if (RateCandidate(Options, Next) && Next.Score >= Found.Score)
                Found = Next;
        }
        KeepCandidate(Options, Best, Found);
        if (Found.Score > RoomBest.Score)
            RoomBest = Found;
    }
    return RoomBest;
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

void PrintCroppedRows(const LevelGrid& Grid)
{
    std::vector<std::string> Rows;
    size_t Indent = std::string::npos;
    for (const std::string& Row : LevelGridRows(Grid)) {
        if (Row.empty())
            continue;
        Rows.push_back(Row);
        size_t First = Row.find_first_not_of(' ');
        if (First < Indent)
            Indent = First;
    }
    for (const std::string& Row : Rows)
        std::printf("%s\n", Row.substr(Indent).c_str());
}
