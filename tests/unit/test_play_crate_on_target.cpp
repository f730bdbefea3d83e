// A crate standing on a target looks clearly different from a crate on the
// floor: the game started as at start-up on the built pictures and levels,
// level 32 (four of its eight crates start home) drawn by the play screen at the
// smallest and the largest tile, and every crate cell read back. The target's
// orange must show inside each crate-on-target cell and nowhere in a
// crate-on-floor cell, and the two kinds of cell must differ in many pixels.
// Without the built content the test skips.
#include "shell/shell.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "base/base.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "test_scratch.h"

namespace {

const std::string BuiltGameDir = std::string(KISTORA_GAME_DIR) + "/";

bool Exists(const std::string& Path)
{
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (File == nullptr)
        return false;
    std::fclose(File);
    return true;
}

int Channel(uint32_t P, int Shift)
{
    return int((P >> Shift) & 0xffu);
}

int ColourDistance(uint32_t A, uint32_t B)
{
    int Most = 0;
    for (int Shift = 8; Shift < 32; Shift += 8)
        Most = std::max(Most, std::abs(Channel(A, Shift) - Channel(B, Shift)));
    return Most;
}

// The target mark's own colour: the commonest fully opaque colour of the
// built target tile (its frame, ring and diamond are painted in it).
uint32_t TargetColour()
{
    std::vector<uint8_t> Bytes;
    FILE* File = std::fopen((BuiltGameDir + "content/tiles/target.png").c_str(), "rb");
    if (File == nullptr)
        return 0;
    uint8_t Block[65536];
    size_t Got;
    while ((Got = std::fread(Block, 1, sizeof Block, File)) > 0)
        Bytes.insert(Bytes.end(), Block, Block + Got);
    std::fclose(File);
    int Image = LoadImagePng(Bytes.data(), Bytes.size());
    if (Image == 0)
        return 0;
    std::map<uint32_t, int> Count;
    const uint32_t* P = ImagePixels(Image);
    for (int I = 0; I < ImageWidth(Image) * ImageHeight(Image); ++I)
        if ((P[I] & 0xffu) == 0xffu)
            ++Count[P[I]];
    FreeImage(Image);
    uint32_t Best = 0;
    int Most = 0;
    for (const auto& [Colour, N] : Count)
        if (N > Most)
            Best = Colour, Most = N;
    return Best;
}

class CrateOnTarget : public ::testing::Test {
  protected:
    ScratchFolder Folder;
    std::string SavedGameDir, SavedSaveTo;

    void SetUp() override
    {
        if (!Exists(BuiltGameDir + "Kistora.maps") || !Exists(BuiltGameDir + "Kistora.data") ||
            !Exists(BuiltGameDir + "content/tiles/target.png"))
            GTEST_SKIP() << "the game's pictures and levels are not built in " << BuiltGameDir;
        SavedGameDir = GameDir;
        SavedSaveTo = SaveTo;
        GameDir = BuiltGameDir;
        SaveTo = Folder.Path();
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(InitFont(), 1);
        MusicOn = 0;
    }

    void TearDown() override
    {
        CloseScreen();
        levelsByName.clear();
        tilesByName.clear();
        ProgressList.clear();
        Play = PlayStateRecord{};
        GameState = Logo;
        GameDir = SavedGameDir;
        SaveTo = SavedSaveTo;
    }

    // The start-up's order: screen, layout, levels, pictures, scaled board art.
    void Start(int W, int H)
    {
        ASSERT_EQ(OpenScreen(ModeWindowed, W, H, "Kistora"), 1);
        ScreenWidth = W;
        ScreenHeight = H;
        ScreenAspectClass = AspectClass(W, H);
        ComputePlayLayout(W, H, ScreenAspectClass);
        LoadLevelArchive(GameDir + "Kistora.maps");
        CopyLevelOrder(LevelNameList);
        BuildProgressList();
        LoadPictures();
        RenderHudBackground();
        ScaleBoardArt();
    }
};

TEST_F(CrateOnTarget, ShowsTheTargetRoundAndThroughTheCrateAtEveryTileSize)
{
    const uint32_t Orange = TargetColour();
    ASSERT_NE(Orange, 0u) << "target.png does not decode";
    const int Sizes[][2] = {{1024, 576}, {3840, 2160}};
    for (const auto& Size : Sizes) {
        SCOPED_TRACE(std::to_string(Size[0]) + " x " + std::to_string(Size[1]));
        Start(Size[0], Size[1]);
        ASSERT_GE(ProgressList.size(), 32u);
        GameState = LevelSelect;
        ASSERT_EQ(SetUpLevel(31), 1);
        DrawPlayScreen();
        std::vector<uint32_t> Pixels;
        int ReadW = 0, ReadH = 0;
        ASSERT_EQ(ReadBackBuffer(Pixels, &ReadW, &ReadH), 1);
        ASSERT_EQ(ReadW, Size[0]);

        // The crate cells, each as its T x T pixels, sorted by what lies beneath.
        const int T = TileSize;
        auto Cell = [&](int X, int Y) {
            std::vector<uint32_t> Out;
            for (int PY = 0; PY < T; ++PY)
                for (int PX = 0; PX < T; ++PX)
                    Out.push_back(Pixels[size_t(BoardY + Y * T + PY) * size_t(ReadW) + size_t(BoardX + X * T + PX)]);
            return Out;
        };
        std::vector<std::vector<uint32_t>> Home, Floor;
        for (int X = 0; X < 30; ++X)
            for (int Y = 0; Y < 15; ++Y) {
                if (Play.CrateGrid[X][Y] != 1)
                    continue;
                int OnTarget = 0;
                for (int I = 1; I <= Play.CrateCount; ++I)
                    OnTarget |= Play.Targets[I].X == X && Play.Targets[I].Y == Y;
                (OnTarget ? Home : Floor).push_back(Cell(X, Y));
            }
        ASSERT_EQ(Home.size(), 4u) << "level 32 starts with four crates home";
        ASSERT_EQ(Floor.size(), 4u);

        auto OrangeCount = [&](const std::vector<uint32_t>& C) {
            return std::count_if(C.begin(), C.end(), [&](uint32_t P) { return ColourDistance(P, Orange) <= 24; });
        };
        const long Area = long(T) * T;
        for (const auto& C : Floor)
            EXPECT_EQ(OrangeCount(C), 0) << "a crate on the floor shows the target's colour";
        for (const auto& C : Home) {
            // The target's orange, as a tenth of the cell at least (the frame
            // round the crate and the ring between its boards).
            EXPECT_GE(OrangeCount(C) * 10, Area) << "only " << OrangeCount(C) << " of " << Area << " pixels";
            // And a sixth of the cell differs from a crate on the floor by more
            // than a quarter of the colour range in some channel.
            long Different = 0;
            for (size_t I = 0; I < C.size(); ++I)
                Different += ColourDistance(C[I], Floor[0][I]) > 64;
            EXPECT_GE(Different * 6, Area) << "only " << Different << " of " << Area << " pixels differ";
        }
        CloseScreen();
        levelsByName.clear();
        tilesByName.clear();
    }
}

} // namespace
