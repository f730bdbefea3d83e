// Every shipped level solved by kistora-solve and the solution played through the
// game's own move rules (SetUpLevel, RequestMove, AdvanceSlide, CheckCompletion)
// on the built archive: each letter must be accepted as the walk or push it
// claims, the level must not count as solved early, and must end solved.
#include "levels/levels.h"
#include "play/play.h"
#include "base/base.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include "test_scratch.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

bool FileExists(const std::string& Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0;
}

std::vector<std::string> LevelSources()
{
    std::string Folder = std::string(KISTORA_SOURCE_DIR) + "/content/levels";
    std::vector<std::string> Files;
    if (DIR* Dir = opendir(Folder.c_str())) {
        while (dirent* Entry = readdir(Dir)) {
            std::string Name = Entry->d_name;
            if (Name.rfind("levels_", 0) == 0 && Name.size() > 4 && Name.substr(Name.size() - 4) == ".txt")
                Files.push_back(Folder + "/" + Name);
        }
        closedir(Dir);
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

struct Solution {
    std::string Verdict;
    std::string Lurd;
};

// Runs the solver over every source file at once (the machine has two cores) and
// collects "NAME VERDICT ... lurd=MOVES" lines.
std::map<std::string, Solution> SolveAll(const std::string& Solver)
{
    std::vector<FILE*> Pipes;
    for (const std::string& Source : LevelSources()) {
        std::string Command = "'" + Solver + "' '" + Source + "'";
        if (FILE* Pipe = popen(Command.c_str(), "r")) Pipes.push_back(Pipe);
    }
    std::map<std::string, Solution> Result;
    for (FILE* Pipe : Pipes) {
        std::string Line;
        int C;
        while ((C = std::fgetc(Pipe)) != EOF) {
            if (C != '\n') {
                Line += char(C);
                continue;
            }
            size_t Space = Line.find(' ');
            size_t Moves = Line.find("lurd=");
            if (Space != std::string::npos && Moves != std::string::npos) {
                size_t Second = Line.find(' ', Space + 1);
                Result[Line.substr(0, Space)] = {Line.substr(Space + 1, Second - Space - 1), Line.substr(Moves + 5)};
            }
            Line.clear();
        }
        pclose(Pipe);
    }
    return Result;
}

int DirectionOf(char Move)
{
    switch (Move | 0x20) {
    case 'l': return DirLeft;
    case 'r': return DirRight;
    case 'u': return DirUp;
    default: return DirDown;
    }
}

TEST(LevelsContentReplay, EverySolverSolutionSolvesTheLevelUnderTheGameRules)
{
    std::string Maps = std::string(KISTORA_GAME_DIR) + "/Kistora.maps";
    if (!FileExists(Maps)) GTEST_SKIP() << Maps << " is not built";
    std::string Solver = std::string(KISTORA_GAME_DIR) + "/kistora-solve";
    ASSERT_TRUE(FileExists(Solver)) << "kistora-solve is built beside the archive";

    // Every completion writes the scores: into a folder of this test's own.
    ScratchFolder Folder;
    const std::string SavedSaveTo = SaveTo;
    SaveTo = Folder.Path();
    LoadLevelArchive(Maps);
    CopyLevelOrder(LevelNameList);
    BuildProgressList();
    ASSERT_EQ(ProgressList.size(), 60u);
    std::map<std::string, Solution> Solutions = SolveAll(Solver);
    ASSERT_EQ(Solutions.size(), 60u) << "the solver reports every level of the sources";

    // A small tile: the slide takes 8 frames of TileSize / 8.
    TileSize = 64;
    Play.SlideStep = 8.0;
    Play.SlideOffset = 8.0;
    for (size_t Index = 0; Index < ProgressList.size(); Index++) {
        const std::string& Name = ProgressList[Index].Name;
        SCOPED_TRACE("level " + Name);
        ASSERT_EQ(Solutions.count(Name), 1u);
        const Solution& Found = Solutions[Name];
        ASSERT_EQ(Found.Verdict, "solved");
        ASSERT_FALSE(Found.Lurd.empty());
        GameState = LevelSelect;
        ASSERT_EQ(SetUpLevel(int(Index)), 1);
        ASSERT_EQ(GameState, Playing);
        int Steps = 0;
        for (size_t K = 0; K < Found.Lurd.size(); K++) {
            char Move = Found.Lurd[K];
            int Dir = DirectionOf(Move);
            int FromX = Play.Worker.X, FromY = Play.Worker.Y;
            if (Play.Worker.Facing != Dir) {
                RequestMove(Dir);                        // the first request only turns
                ASSERT_EQ(Play.MoveKind, 0) << "move " << K;
            }
            RequestMove(Dir);
            int Kind = Dir - 1;                          // 1 left .. 4 down
            ASSERT_EQ(Play.MoveKind, Move < 'a' ? Kind : Kind * 11) << "move " << K << " '" << Move << "' refused";
            for (int Frame = 0; Frame < 8 && Play.MoveKind != 0; Frame++) AdvanceSlide();
            ASSERT_EQ(Play.MoveKind, 0) << "the slide ends after 8 frames";
            Steps++;
            const int Step[6][2] = {{0, 0}, {0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            ASSERT_EQ(Play.Worker.X, FromX + Step[Dir][0]);
            ASSERT_EQ(Play.Worker.Y, FromY + Step[Dir][1]);
            if (Move < 'a') {
                ASSERT_EQ(Play.CrateGrid[Play.Worker.X + Step[Dir][0]][Play.Worker.Y + Step[Dir][1]], 1);
            }
            CheckCompletion();
            if (K + 1 < Found.Lurd.size()) {
                ASSERT_EQ(GameState, Playing) << "solved before the last move " << K;
            }
        }
        EXPECT_EQ(Play.StepCount, Steps);
        EXPECT_EQ(GameState, LevelComplete);
        EXPECT_EQ(Play.InLevel, 0);
        EXPECT_EQ(int(Play.CratesOnTargets), Play.CrateCount);
    }
    SaveTo = SavedSaveTo;
}

}   // namespace
