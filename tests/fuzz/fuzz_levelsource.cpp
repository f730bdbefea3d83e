// Fuzzes the level tools' source reader (kistora-levelc, kistora-solve): the
// input is a level source file. Every level read is built into a grid; a
// grid that builds is written back as rows, which must build again into the
// same grid, and the level's title key is played on it as a move string
// (letters other than l, u, r, d in either case end it as illegal).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "levelkit.h"

static std::string SourcePath()
{
    static std::string Path;
    if (Path.empty()) {
        const char* Shm = "/dev/shm";
        const char* Tmp = std::getenv("TMPDIR");
        std::string Folder = access(Shm, W_OK) == 0 ? Shm : (Tmp != nullptr && *Tmp ? Tmp : "/tmp");
        Path = Folder + "/kistora-fuzz-levels-" + std::to_string(getpid()) + ".txt";
        atexit([] { std::remove(SourcePath().c_str()); });
    }
    return Path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string& Path = SourcePath();
    {
        std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
        Out.write(reinterpret_cast<const char*>(Data), std::streamsize(Size));
    }
    std::vector<SourceLevel> Levels;
    std::string Error;
    if (!ReadLevelFile(Path, Levels, Error)) {
        if (Error.empty())
            __builtin_trap();
        return 0;
    }
    for (const SourceLevel& Level : Levels) {
        LevelGrid Grid;
        if (!BuildLevelGrid(Level.Rows, Grid, Error))
            continue;
        LevelGrid Again;
        if (!BuildLevelGrid(LevelGridRows(Grid), Again, Error))
            __builtin_trap();
        if (Again.Width != Grid.Width || Again.Height != Grid.Height || Again.Wall != Grid.Wall ||
            Again.Target != Grid.Target || Again.Crates != Grid.Crates || Again.Worker != Grid.Worker)
            __builtin_trap();
        (void)CheckSolution(Grid, Level.TitleKey);
    }
    return 0;
}
