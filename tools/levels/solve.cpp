// kistora-solve LEVELFILE [--level NAME] [--max-nodes N] [--max-seconds S]
// Solves every level of a source file (or the named one) push-optimally and prints,
// per level, one line:
//   NAME solved pushes=P moves=M changes=C nodes=N ms=T floor=F unused=U lurd=LURD
// (floor: cells the worker reaches on an empty board; unused: floor cells that
// neither the worker nor a crate stands on in the answer)
// or "NAME unsolved ..." / "NAME gave-up ...". Exit status 0 when every level asked
// for was solved, 1 when one was not, 2 for bad arguments or a bad file.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "levelkit.h"

int main(int ArgCount, char** Args)
{
    const char* Path = nullptr;
    const char* Only = nullptr;
    SolveLimits Limits;
    for (int I = 1; I < ArgCount; I++) {
        if (std::strcmp(Args[I], "--level") == 0 && I + 1 < ArgCount)
            Only = Args[++I];
        else if (std::strcmp(Args[I], "--max-nodes") == 0 && I + 1 < ArgCount)
            Limits.MaxNodes = std::strtoull(Args[++I], nullptr, 10);
        else if (std::strcmp(Args[I], "--max-seconds") == 0 && I + 1 < ArgCount)
            Limits.MaxSeconds = std::atof(Args[++I]);
        else if (!Path && Args[I][0] != '-')
            Path = Args[I];
        else {
            std::fprintf(stderr, "kistora-solve: unknown argument %s\n", Args[I]);
            return 2;
        }
    }
    if (!Path) {
        std::fprintf(stderr, "usage: kistora-solve LEVELFILE [--level NAME] [--max-nodes N] [--max-seconds S]\n");
        return 2;
    }
    std::vector<SourceLevel> Levels;
    std::string Error;
    if (!ReadLevelFile(Path, Levels, Error)) {
        std::fprintf(stderr, "kistora-solve: %s\n", Error.c_str());
        return 2;
    }
    int Asked = 0, Failed = 0;
    for (const SourceLevel& Level : Levels) {
        if (Only && Level.Name != Only)
            continue;
        Asked++;
        LevelGrid Grid;
        if (!BuildLevelGrid(Level.Rows, Grid, Error)) {
            std::fprintf(stderr, "kistora-solve: %s:%d: level %s: %s\n", Path, Level.Line, Level.Name.c_str(),
                         Error.c_str());
            return 2;
        }
        SolveResult Result;
        SolveLevel(Grid, Limits, Result);
        const char* Verdict = Result.Solved ? "solved" : Result.Aborted ? "gave-up" : "unsolved";
        // The tools' own replay guards against a solver fault slipping through.
        if (Result.Solved && !CheckSolution(Grid, Result.Lurd))
            Verdict = "bad-solution";
        if (std::strcmp(Verdict, "solved") != 0)
            Failed++;
        LevelFigures Figures;
        MeasureLevel(Grid, Result.Lurd, Figures);
        std::printf("%s %s pushes=%d moves=%d changes=%d nodes=%llu ms=%.0f floor=%d unused=%d lurd=%s\n",
                    Level.Name.c_str(), Verdict, Result.Pushes, Result.Moves, Result.CrateChanges,
                    (unsigned long long)Result.Nodes, Result.Seconds * 1000.0, Figures.Floor, Figures.Unused,
                    Result.Lurd.c_str());
        std::fflush(stdout);
    }
    if (Only && !Asked) {
        std::fprintf(stderr, "kistora-solve: no level named %s in %s\n", Only, Path);
        return 2;
    }
    return Failed ? 1 : 0;
}
