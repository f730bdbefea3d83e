// DrawLevel and SetTileSize on a headless screen: cell placement with
// round-half-even, column-major order, which values draw which tile, plain
// versus alpha tiles, and tile images replaced by a reload.
#include "levels/levels.h"
#include "display/display.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include "packwriter.h"
#include "test_pack_support.h"
#include "test_platform_video_png.h"

namespace {

constexpr uint32_t White = 0xFFFFFFFFu, Red = 0xFF0000FFu, Green = 0x00FF00FFu, Black = 0x000000FFu;

std::vector<uint8_t> Solid(uint32_t Colour)
{
    return testpng::MakeRgba(4, 4, std::vector<uint32_t>(16, Colour));
}

class LevelDrawing : public ::testing::Test {
  protected:
    static constexpr int Width = 160, Height = 120;

    void SetUp() override
    {
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(OpenScreen(ModeWindowed, Width, Height, "test"), 1);
        SetFilteredSampling(0);
        Reset();
    }
    void TearDown() override
    {
        Reset();
        CloseScreen();
    }
    static void Reset()
    {
        levelOrder.clear();
        levelsByName.clear();
        tilesByName.clear();
        SetBoardOriginX(0);
        SetBoardOriginY(0);
    }
    // Level "D", 5 x 2, three layers; tile 7 is red and plain, tile "07" green,
    // tile 5 black and plain (colour-keyed), tile 3 fully transparent with alpha.
    static void LoadBoard(uint32_t SevenColour)
    {
        packtest::MapSpec Spec;
        Spec.Width = 5;
        Spec.Height = 2;
        Spec.Cells.assign(3, std::vector<std::vector<int16_t>>(5, std::vector<int16_t>(2, 0)));
        Spec.Cells[0][1][0] = 7;
        Spec.Cells[0][3][0] = 7;
        Spec.Cells[0][0][1] = -1;
        Spec.Cells[0][2][1] = 5;
        Spec.Cells[0][4][1] = 7;
        Spec.Cells[2][4][1] = 3; // above the red tile: transparent, red stays visible
        PackOptions Options;
        std::vector<uint8_t> Pack =
            BuildPack({{"index", packtest::MakeIndex({u"D"}, {{u"7"}, {u"07"}, {u"5"}, {u"3", 0, 1}})},
                       {"MAPS/D", packtest::MakeMap(Spec)},
                       {"TILES/7", Solid(SevenColour)},
                       {"TILES/07", Solid(Green)},
                       {"TILES/5", Solid(Black)},
                       {"TILES/3", Solid(0x0000FF00u)}},
                      Options);
        int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
        ASSERT_GT(Archive, 0);
        LoadLevelArchiveFrom(Archive);
        CloseArchive(Archive);
    }
    std::vector<uint32_t> Frame(const std::string& Level)
    {
        int Clear = CreateEmptySprite(0, Width, Height);
        FillSprite(Clear, White);
        ShowSprite(Clear, 0, 0);
        FreeSprite(Clear);
        DrawLevel(Level);
        std::vector<uint32_t> Pixels;
        int W = 0, H = 0;
        EXPECT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
        return Pixels;
    }
    static uint32_t At(const std::vector<uint32_t>& Pixels, int X, int Y)
    {
        return Pixels[size_t(Y) * Width + size_t(X)];
    }
};

TEST_F(LevelDrawing, CellsLandOnTheirTilesWithHalvesToEven)
{
    LoadBoard(Red);
    ASSERT_NE(tilesByName.at("7").Image, 0);
    SetTileSize(10.5); // shown 10 x 10 (10.5 rounds to even)
    SetBoardOriginX(0);
    SetBoardOriginY(20);
    EXPECT_EQ(SpriteWidth(tilesByName.at("7").Image), 10);
    std::vector<uint32_t> Pixels = Frame("D");
    // Cell (1, 0): x = 10.5 -> 10, so columns 10 to 19 are red and 9 is not.
    EXPECT_EQ(At(Pixels, 10, 20), Red);
    EXPECT_EQ(At(Pixels, 19, 29), Red);
    EXPECT_EQ(At(Pixels, 9, 20), White);
    EXPECT_EQ(At(Pixels, 20, 20), White);
    // Cell (3, 0): x = 31.5 -> 32.
    EXPECT_EQ(At(Pixels, 31, 20), White);
    EXPECT_EQ(At(Pixels, 32, 20), Red);
    // Cell (0, 1) holds -1 and (1, 1) holds 0: nothing drawn.
    EXPECT_EQ(At(Pixels, 5, 35), White);
    EXPECT_EQ(At(Pixels, 15, 35), White);
    // Cell (2, 1): a plain colour-keyed black tile shows black (no transparency).
    EXPECT_EQ(At(Pixels, 25, 35), Black);
    // Cell (4, 1): red under a transparent alpha tile stays red; y = 20 + 10.5 -> 30 (even).
    EXPECT_EQ(At(Pixels, 45, 30), Red);
    EXPECT_EQ(At(Pixels, 45, 29), White);
    // Nothing is ever drawn with the tile named "07".
    for (uint32_t Pixel : Pixels)
        ASSERT_NE(Pixel, Green);
}

TEST_F(LevelDrawing, UnknownOrEmptyNamesDrawNothing)
{
    LoadBoard(Red);
    SetTileSize(10.0);
    for (const char* Name : {"", "d", "E"}) {
        std::vector<uint32_t> Pixels = Frame(Name);
        for (uint32_t Pixel : Pixels)
            ASSERT_EQ(Pixel, White) << Name;
    }
}

TEST_F(LevelDrawing, ReloadReplacesTileImagesAndKeepsRecords)
{
    LoadBoard(Red);
    SetTileSize(10.0);
    EXPECT_EQ(At(Frame("D"), 12, 2), Red);
    // The screen is re-opened: every sprite is gone, the loader makes new ones.
    CloseScreen();
    ASSERT_EQ(OpenScreen(ModeWindowed, Width, Height, "test"), 1);
    LoadBoard(Green);
    SetTileSize(10.0);
    EXPECT_EQ(levelOrder.size(), 1u);
    EXPECT_EQ(GetLevelProperty("D", 2), "5");
    EXPECT_EQ(At(Frame("D"), 12, 2), Green);
}

} // namespace
