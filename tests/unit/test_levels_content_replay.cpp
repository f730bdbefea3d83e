// Every shipped level's stored answer (content/levels/solutions.txt, which the
// content test checks against kistora-solve) played through the game's own move
// rules (SetUpLevel, RequestMove, AdvanceSlide, CheckCompletion) on the built
// archive: each letter must be accepted as the walk or push it claims, the level
// must not count as solved early, and must end solved.
#include "shell/shell.h"
#include "play/play.h"
#include "levels/levels.h"
#include "base/base.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>

#include "test_scratch.h"

namespace {

bool FileExists(const std::string& Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0;
}

// "NAME MOVES" lines; lines starting with '#' are comments.
std::map<std::string, std::string> StoredAnswers()
{
    std::ifstream In(std::string(KISTORA_SOURCE_DIR) + "/content/levels/solutions.txt");
    std::map<std::string, std::string> Answers;
    std::string Line;
    while (std::getline(In, Line)) {
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        size_t Space = Line.find(' ');
        if (Line.empty() || Line[0] == '#' || Space == std::string::npos)
            continue;
        Answers[Line.substr(0, Space)] = Line.substr(Space + 1);
    }
    return Answers;
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

TEST(LevelsContentReplay, EveryStoredAnswerSolvesTheLevelUnderTheGameRules)
{
    std::string Maps = std::string(KISTORA_GAME_DIR) + "/Kistora.maps";
    if (!FileExists(Maps))
        GTEST_SKIP() << Maps << " is not built";

    // Every completion writes the scores: into a folder of this test's own.
    ScratchFolder Folder;
    const std::string SavedSaveTo = SaveTo;
    SaveTo = Folder.Path();
    LoadLevelArchive(Maps);
    CopyLevelOrder(LevelNameList);
    BuildProgressList();
    ASSERT_EQ(ProgressList.size(), 60u);
    std::map<std::string, std::string> Answers = StoredAnswers();
    ASSERT_EQ(Answers.size(), 60u) << "solutions.txt holds an answer for every level";

    // A small tile: the slide takes 8 frames of TileSize / 8.
    TileSize = 64;
    Play.SlideStep = 8.0;
    Play.SlideOffset = 8.0;
    for (size_t Index = 0; Index < ProgressList.size(); Index++) {
        const std::string& Name = ProgressList[Index].Name;
        SCOPED_TRACE("level " + Name);
        ASSERT_EQ(Answers.count(Name), 1u);
        const std::string& Lurd = Answers[Name];
        ASSERT_FALSE(Lurd.empty());
        GameState = LevelSelect;
        ASSERT_EQ(SetUpLevel(int(Index)), 1);
        ASSERT_EQ(GameState, Playing);
        int Steps = 0;
        for (size_t K = 0; K < Lurd.size(); K++) {
            char Move = Lurd[K];
            int Dir = DirectionOf(Move);
            int FromX = Play.Worker.X, FromY = Play.Worker.Y;
            if (Play.Worker.Facing != Dir) {
                RequestMove(Dir); // the first request only turns
                ASSERT_EQ(Play.MoveKind, 0) << "move " << K;
            }
            RequestMove(Dir);
            int Kind = Dir - 1; // 1 left .. 4 down
            ASSERT_EQ(Play.MoveKind, Move < 'a' ? Kind : Kind * 11) << "move " << K << " '" << Move << "' refused";
            for (int Frame = 0; Frame < 8 && Play.MoveKind != 0; Frame++)
                AdvanceSlide();
            ASSERT_EQ(Play.MoveKind, 0) << "the slide ends after 8 frames";
            Steps++;
            const int Step[6][2] = {{0, 0}, {0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            ASSERT_EQ(Play.Worker.X, FromX + Step[Dir][0]);
            ASSERT_EQ(Play.Worker.Y, FromY + Step[Dir][1]);
            if (Move < 'a') {
                ASSERT_EQ(Play.CrateGrid[Play.Worker.X + Step[Dir][0]][Play.Worker.Y + Step[Dir][1]], 1);
            }
            CheckCompletion();
            if (K + 1 < Lurd.size()) {
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

} // namespace
