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
#include "levelgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

int main(int ArgCount, char** Args)
{
    GenOptions Options;
    GenRandom Random;
    for (int I = 1; I + 1 < ArgCount; I += 2) {
        const char* Key = Args[I];
        const char* Value = Args[I + 1];
        if (!std::strcmp(Key, "--seed"))
            Random.State = std::strtoull(Value, nullptr, 10) * 2654435761ull + 7;
        else if (!std::strcmp(Key, "--crates"))
            Options.Crates = std::atoi(Value);
        else if (!std::strcmp(Key, "--width"))
            Options.Width = std::atoi(Value);
        else if (!std::strcmp(Key, "--height"))
            Options.Height = std::atoi(Value);
        else if (!std::strcmp(Key, "--rooms"))
            Options.Rooms = std::atoi(Value);
        else if (!std::strcmp(Key, "--scrambles"))
            Options.Scrambles = std::atoi(Value);
        else if (!std::strcmp(Key, "--pulls"))
            Options.Pulls = std::atoi(Value);
        else if (!std::strcmp(Key, "--solve-seconds"))
            Options.SolveSeconds = std::atof(Value);
        else if (!std::strcmp(Key, "--pillars"))
            Options.Pillars = std::atoi(Value);
        else if (!std::strcmp(Key, "--clustered"))
            Options.Clustered = std::atoi(Value);
        else if (!std::strcmp(Key, "--segments"))
            Options.Segments = std::atoi(Value);
        else if (!std::strcmp(Key, "--outline"))
            Options.Outline = std::atoi(Value);
        else if (!std::strcmp(Key, "--away"))
            Options.Away = std::atoi(Value);
        else if (!std::strcmp(Key, "--deep"))
            Options.Deep = std::atoi(Value);
        else if (!std::strcmp(Key, "--deep-limit"))
            Options.DeepLimit = std::atoi(Value);
        else if (!std::strcmp(Key, "--shell"))
            Options.Shell = Value;
        else if (!std::strcmp(Key, "--level"))
            Options.ShellLevel = Value;
        else if (!std::strcmp(Key, "--random-targets"))
            Options.RandomTargets = std::atoi(Value);
        else if (!std::strcmp(Key, "--keep"))
            Options.Keep = std::atoi(Value);
        else if (!std::strcmp(Key, "--climb"))
            Options.Climb = std::atoi(Value);
        else if (!std::strcmp(Key, "--max-floor-per-crate"))
            Options.MaxFloorPerCrate = std::atof(Value);
        else if (!std::strcmp(Key, "--max-unused"))
            Options.MaxUnused = std::atoi(Value);
        else if (!std::strcmp(Key, "--nodes-weight"))
            Options.NodesWeight = std::atof(Value);
        else if (!std::strcmp(Key, "--changes-weight"))
            Options.ChangesWeight = std::atof(Value);
        else if (!std::strcmp(Key, "--solve-nodes"))
            Options.SolveNodes = std::strtoull(Value, nullptr, 10);
        else if (!std::strcmp(Key, "--on-target"))
            Options.OnTargetShare = std::atoi(Value);
        else if (!std::strcmp(Key, "--evolve"))
            Options.Evolve = std::atoi(Value);
        else if (!std::strcmp(Key, "--fixed-targets"))
            Options.FixedTargets = std::atoi(Value);
        else if (!std::strcmp(Key, "--keep-walls"))
            Options.KeepWalls = std::atoi(Value);
        else if (!std::strcmp(Key, "--beam"))
            Options.Beam = std::atoi(Value);
        else {
            std::fprintf(stderr, "kistora-levelgen: unknown argument %s\n", Key);
            return 2;
        }
    }
    if (Options.Crates < 1 || Options.Crates > KitMaxCrates)
        return 2;
    for (int W = 0; W < 5; W++)
        Random.Next();
    if (!Options.Shell.empty() || Options.Keep > 1 || Options.Climb > 0 || Options.Evolve > 0) {
        // Many scrambles of a shell (or of carved rooms), each climbed; with --evolve the
        // room's walls change too. The best few positions are printed.
        std::vector<Candidate> Best;
        for (int Room = 0; Room < Options.Rooms; Room++) {
            LevelGrid Empty;
            if (Options.Shell.empty()) {
                if (!CarveRoom(Random, Options, Empty))
                    continue;
                int Floor = 0;
                for (uint8_t In : Empty.Inside)
                    Floor += In;
                if (Options.MaxFloorPerCrate > 0 && Floor > Options.MaxFloorPerCrate * Options.Crates)
                    continue;
            } else if (!ReadShell(Random, Options, Empty)) {
                return 2;
            }
            Candidate Current = SearchRoom(Random, Options, Empty, nullptr, Best);
            const LevelGrid Shell = Empty;
            for (int Step = 0; Step < Options.Evolve; Step++) {
                LevelGrid Changed = Empty;
                if (!MutateRoom(Random, Options, Shell, Changed))
                    continue;
                Candidate Found =
                    SearchRoom(Random, Options, Changed, Current.Score > -1000 ? &Current : nullptr, Best);
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
        for (size_t K = 0; K < Best.size(); K++)
            PrintCandidate(Best[K], (int)K + 1);
        return 0;
    }
    Candidate Best;
    Best.Score = -1;
    for (int Room = 0; Room < Options.Rooms; Room++) {
        LevelGrid Empty;
        if (!CarveRoom(Random, Options, Empty))
            continue;
        for (int K = 0; K < (Options.Deep ? 1 : Options.Scrambles); K++) {
            LevelGrid Grid = Empty;
            int Depth = 0;
            if (Options.Deep) {
                Depth = Deepest(Random, Options, Grid);
                if (!Depth)
                    continue;
            } else {
                Scramble(Random, Options, Grid);
            }
            int OnTarget = 0;
            for (int C : Grid.Crates)
                OnTarget += Grid.Target[C];
            if (OnTarget * 3 > Options.Crates)
                continue;
            SolveLimits Limits;
            Limits.MaxSeconds = Options.SolveSeconds;
            Limits.MaxNodes = 6000000;
            SolveResult Result;
            if (!SolveLevel(Grid, Limits, Result))
                continue;
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
