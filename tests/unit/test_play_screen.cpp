// The play screen drawn on a headless screen: every pixel covered, the HUD
// boxes, crates, the sliding worker and the crate icons where they belong.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "test_scratch.h"

namespace {

constexpr uint32_t Marker = Rgba(255, 0, 255);
constexpr uint32_t CrateColour = Rgba(200, 160, 40);
constexpr uint32_t FillColour = Rgba(20, 60, 120);
constexpr uint32_t FloorColour = Rgba(40, 120, 40);
constexpr uint32_t WallColour = Rgba(120, 120, 120);
constexpr uint32_t WorkerColour = Rgba(250, 250, 250);

int SolidSprite(int Slot, uint32_t Colour)
{
    int Image = CreateImage(64, 64, Colour);
    int Sprite = CreateSpriteFromImage(Slot, Image, SpriteColourKey);
    FreeImage(Image);
    return Sprite;
}

class PlayScreen : public ::testing::Test {
  protected:
    ScratchFolder Folder; // completions write the scores here
    std::string SavedSaveTo;

    void SetUp() override
    {
        SavedSaveTo = SaveTo;
        SaveTo = Folder.Path();
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(InitFont(), 1);
        levelsByName.clear();
        tilesByName.clear();
        Play = PlayStateRecord{};
        MusicOn = 0;

        // Floor (tile 1) on layer 0 everywhere but three bare cells; walls
        // (tile 2) on layer 2 round the edge; a crate on a target, one off.
        LevelRecord Level;
        Level.Name = u"pic";
        Level.Width = 30;
        Level.Height = 15;
        Level.LayerCount = 3;
        for (int K = 0; K < 3; K++) {
            Level.Layers[K].Present = 1;
        }
        for (int X = 0; X < 30; X++) {
            for (int Y = 0; Y < 15; Y++) {
                Level.Layers[0].Cells[X][Y] = 1;
                if (X == 0 || Y == 0 || X == 29 || Y == 14) {
                    Level.Layers[2].Cells[X][Y] = 2;
                }
            }
        }
        Level.Layers[0].Cells[0][0] = 0;
        Level.Layers[2].Cells[0][0] = 0;
        Level.Layers[0].Cells[12][7] = 0;
        Level.Layers[0].Cells[13][7] = 9; // a value without a tile
        Level.CrateCount = 2;
        Level.CrateList = u"5,5,10,10";
        Level.TargetList = u"5,5,20,10";
        Level.WorkerStart = u"3,5";
        levelsByName["pic"] = Level;
        ProgressList.assign(1, LevelProgress{"pic", "", 1, 0, 0, 0});
    }

    void TearDown() override
    {
        CloseScreen();
        levelsByName.clear();
        tilesByName.clear();
        ProgressList.clear();
        Play = PlayStateRecord{};
        GameState = Logo;
        SaveTo = SavedSaveTo;
    }

    // Screen, art and level as the start-up leaves them, then the level set up.
    void Open(int W, int H)
    {
        ASSERT_EQ(OpenScreen(ModeWindowed, W, H, "Kistora"), 1);
        for (int Slot = SpriteIdleLeft; Slot <= SpritePushDown; Slot++) {
            SolidSprite(Slot, WorkerColour);
        }
        SolidSprite(SpriteCrate, CrateColour);
        SolidSprite(SpriteFillTile, FillColour);
        tilesByName["1"] = TileRecord{u"1", SolidSprite(0, FloorColour), 0, 0};
        tilesByName["2"] = TileRecord{u"2", SolidSprite(0, WallColour), 0, 0};
        Width = W;
        Height = H;
        ComputePlayLayout(W, H, AspectClass(W, H));
        RenderHudBackground();
        ScaleBoardArt();
        GameState = LevelSelect;
        ASSERT_EQ(SetUpLevel(0), 1);
    }

    // The whole screen in one colour, standing for what the last screen left.
    void Paint(uint32_t Colour)
    {
        int Cover = CreateImage(Width, Height, Colour);
        CreateSpriteFromImage(SpriteHudSpare, Cover, SpriteOwnAlpha);
        FreeImage(Cover);
        ShowSprite(SpriteHudSpare, 0, 0);
    }

    // One frame over a screen painted with the marker colour.
    void DrawOverMarker()
    {
        int Cover = CreateImage(Width, Height, Marker);
        CreateSpriteFromImage(SpriteHudSpare, Cover, SpriteOwnAlpha);
        FreeImage(Cover);
        ShowSprite(SpriteHudSpare, 0, 0);
        DrawPlayScreen();
        AdvancePlayScreen();
        ASSERT_EQ(ReadBackBuffer(Pixels, &ReadWidth, &ReadHeight), 1);
        ASSERT_EQ(ReadWidth, Width);
        ASSERT_EQ(ReadHeight, Height);
    }

    uint32_t At(int X, int Y) const
    {
        return Pixels[size_t(Y) * size_t(ReadWidth) + size_t(X)];
    }

    uint32_t CellCentre(int X, int Y) const
    {
        return At(BoardX + X * TileSize + TileSize / 2, BoardY + Y * TileSize + TileSize / 2);
    }

    int Width = 0, Height = 0, ReadWidth = 0, ReadHeight = 0;
    std::vector<uint32_t> Pixels;
};

TEST_F(PlayScreen, EveryPixelIsDrawnOnEveryScreenShape)
{
    const int Sizes[][2] = {{1920, 1080}, {1920, 1200}, {1366, 768}, {1024, 768},  {1280, 1024}, {1440, 900},
                            {1280, 768},  {2560, 1080}, {1440, 960}, {3440, 1440}, {1600, 910},  {3840, 1600}};
    for (const auto& Size : Sizes) {
        SCOPED_TRACE(std::to_string(Size[0]) + " x " + std::to_string(Size[1]));
        Open(Size[0], Size[1]);
        DrawOverMarker();
        int Uncovered = 0, FirstX = -1, FirstY = -1;
        for (int Y = 0; Y < Height; Y++) {
            for (int X = 0; X < Width; X++) {
                if (At(X, Y) == Marker && Uncovered++ == 0) {
                    FirstX = X, FirstY = Y;
                }
            }
        }
        EXPECT_EQ(Uncovered, 0) << "first at " << FirstX << ", " << FirstY;
        // Bare cells (no tile, or a value without a tile) show the fill tile.
        EXPECT_EQ(CellCentre(0, 0), FillColour);
        EXPECT_EQ(CellCentre(12, 7), FillColour);
        EXPECT_EQ(CellCentre(13, 7), FillColour);
        EXPECT_EQ(CellCentre(1, 1), FloorColour);
        EXPECT_EQ(CellCentre(29, 1), WallColour);
        CloseScreen();
    }
}

TEST_F(PlayScreen, HudBoxesCratesWorkerAndIcons)
{
    Open(1920, 1080);
    DrawOverMarker();
    // Three nested boxes per panel on the dark orange bar.
    for (int PanelX : {HudTitleX, HudTimeX, HudStepsX, HudCratesX}) {
        SCOPED_TRACE(PanelX);
        EXPECT_EQ(At(PanelX + 1, 1), ColourAccentDark);
        EXPECT_EQ(At(PanelX + 2, 60), ColourAccent); // f1 = 2
        EXPECT_EQ(At(PanelX + 9, 60), ColourAccent);
        EXPECT_EQ(At(PanelX + 10, 60), ColourGrey); // f2 = 10
        EXPECT_EQ(At(PanelX + 14, 60), ColourGrey);
        EXPECT_EQ(At(PanelX + 20, 104), ColourPanelBackground); // below the text sprites (m = 15)
    }
    // The text sprites sit on the dark field; the steps text "0" shows accent-coloured ink.
    int Ink = 0;
    for (int Y = 15; Y < 104; Y++) {
        for (int X = HudStepsX + 15; X < HudStepsX + HudStepsW - 15; X++) {
            Ink += At(X, Y) == ColourAccent;
        }
    }
    EXPECT_GT(Ink, 20);

    EXPECT_EQ(CellCentre(5, 5), CrateColour);
    EXPECT_EQ(CellCentre(10, 10), CrateColour);
    EXPECT_EQ(CellCentre(3, 5), WorkerColour);
    EXPECT_EQ(CellCentre(4, 5), FloorColour);

    // Icons: two crates, so two icons; none filled before the completion test
    // runs, the first filled after it (one crate stands on a target).
    const ScreenPos& First = CrateIconPositions[1];
    const int Half = CrateIconSize / 2;
    const uint32_t Dim = Rgba(200 * 64 / 255, 160 * 64 / 255, 40 * 64 / 255);
    auto Near = [](uint32_t A, uint32_t B) {
        for (int Shift : {24, 16, 8}) {
            if (std::abs(int((A >> Shift) & 255) - int((B >> Shift) & 255)) > 2) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(Near(At(First.X + Half, First.Y + Half), Dim));
    EXPECT_TRUE(Near(At(CrateIconPositions[2].X + Half, CrateIconPositions[2].Y + Half), Dim));
    EXPECT_EQ(At(CrateIconPositions[3].X + Half, CrateIconPositions[3].Y + Half), ColourPanelBackground);
    CheckCompletion();
    DrawOverMarker();
    EXPECT_EQ(At(First.X + Half, First.Y + Half), CrateColour);
    EXPECT_TRUE(Near(At(CrateIconPositions[2].X + Half, CrateIconPositions[2].Y + Half), Dim));
}

// The worker (and a pushed crate) is drawn T/8 further each frame; the frame
// that draws it a whole tile on also moves it into its new cell.
TEST_F(PlayScreen, SlideDrawsEightSteps)
{
    for (const auto& Size : {std::pair{1920, 1080}, std::pair{1366, 768}}) {
        SCOPED_TRACE(Size.first);
        Open(Size.first, Size.second);
        Play.Worker.X = 4;
        Play.Worker.Facing = DirRight;
        RequestMove(DirRight); // push the crate at (5, 5)
        ASSERT_EQ(Play.MoveKind, 2);
        const int T = TileSize;
        for (int Frame = 1; Frame <= 8; Frame++) {
            SCOPED_TRACE(Frame);
            DrawOverMarker();
            const int Offset = int(std::lround(Frame * T / 8.0));
            const int WorkerLeft = BoardX + 4 * T + Offset;
            const int Row = BoardY + 5 * T + T / 2;
            EXPECT_EQ(At(WorkerLeft, Row), WorkerColour);
            EXPECT_EQ(At(WorkerLeft - 1, Row), FloorColour);
            EXPECT_EQ(At(WorkerLeft + T, Row), CrateColour); // the crate moves alongside
            EXPECT_EQ(At(WorkerLeft + 2 * T, Row), FloorColour);
            EXPECT_EQ(Play.Worker.X, Frame == 8 ? 5 : 4);
        }
        EXPECT_EQ(Play.MoveKind, 0);
        EXPECT_EQ(Play.CrateGrid[6][5], 1);
        CloseScreen();
    }
}

// The same level reached from the level select and again through the pause
// menu's restart looks the same below the HUD: nothing of the screen that
// came before (cards, a dimmed panel) is left anywhere, at any desktop size.
TEST_F(PlayScreen, TheSameLevelLooksTheSameWhicheverScreenCameBefore)
{
    // The 16:9, 16:10, 4:3, 5:4, 3:2, 17:9 and 21:9 shapes, and odd ones
    // around them (the wide ones large are in the test above).
    const int Sizes[][2] = {{1600, 910}, {1600, 900},  {1601, 901},  {1599, 899},  {1920, 1080}, {1920, 1200},
                            {1366, 768}, {1360, 768},  {1280, 720},  {1280, 768},  {1280, 800},  {1280, 1024},
                            {1024, 768}, {1024, 600},  {1024, 576},  {800, 600},   {1440, 900},  {1440, 960},
                            {1536, 864}, {2048, 1080}, {2560, 1080}, {1000, 1000}, {768, 1366},  {1700, 910},
                            {1500, 910}, {1650, 920},  {1111, 777}};
    const uint32_t LevelSelectLeft = Rgba(255, 0, 255), PauseMenuLeft = Rgba(0, 255, 255);
    for (const auto& Size : Sizes) {
        SCOPED_TRACE(std::to_string(Size[0]) + " x " + std::to_string(Size[1]));
        Open(Size[0], Size[1]);
        GameState = LevelSelect;
        Paint(LevelSelectLeft);
        ASSERT_EQ(SetUpLevel(0), 1);
        DrawPlayScreen();
        std::vector<uint32_t> FromLevelSelect;
        ASSERT_EQ(ReadBackBuffer(FromLevelSelect, &ReadWidth, &ReadHeight), 1);

        PauseClock();
        GameState = InGameMenu;
        Paint(PauseMenuLeft);
        ASSERT_EQ(SetUpLevel(0), 1); // restart
        DrawPlayScreen();
        ASSERT_EQ(ReadBackBuffer(Pixels, &ReadWidth, &ReadHeight), 1);
        int Differ = 0, FirstX = -1, FirstY = -1;
        for (int Y = HudHeight; Y < Height; Y++) {
            for (int X = 0; X < Width; X++) {
                size_t I = size_t(Y) * size_t(Width) + size_t(X);
                if (FromLevelSelect[I] != Pixels[I] && Differ++ == 0) {
                    FirstX = X, FirstY = Y;
                }
            }
        }
        EXPECT_EQ(Differ, 0) << "first at " << FirstX << ", " << FirstY << " (tile " << TileSize << ", board at "
                             << BoardX << ", " << BoardY << ")";
        CloseScreen();
    }
}

// After a screen re-open in the pause menu the HUD clock is drawn again: it
// shows the time it stopped at, not the time that passed in the menu.
TEST_F(PlayScreen, TheClockUnderThePauseMenuStandsStillThroughARedraw)
{
    Open(1920, 1080);
    for (int Frame = 0; Frame < 130; Frame++) {
        AdvanceVirtualFrame();
    }
    DrawOverMarker(); // Playing: the clock is drawn (two seconds and a bit)
    PauseClock();
    GameState = InGameMenu;
    DrawOverMarker();
    auto Clock = [this]() {
        std::vector<uint32_t> Box;
        for (int Y = HudMargin; Y < HudHeight - HudMargin; Y++) {
            for (int X = HudTimeX + HudMargin; X < HudTimeX + HudTimeW - HudMargin; X++) {
                Box.push_back(At(X, Y));
            }
        }
        return Box;
    };
    const std::vector<uint32_t> AtPause = Clock();
    for (int Frame = 0; Frame < 600; Frame++) {
        AdvanceVirtualFrame(); // ten seconds in the menu
    }
    RenderHudTime(); // as the re-open does while a level is in play
    DrawOverMarker();
    EXPECT_TRUE(Clock() == AtPause) << "the clock jumped on by the time spent in the pause menu";
    ResumeClock();
    GameState = Playing;
    DrawOverMarker();
    EXPECT_TRUE(Clock() == AtPause) << "the pause was counted";
}

// A level the rules refuse (a crate outside the field) is not played: the
// level select shows it, the log says so, and Return again never carries the
// player past it to the level after.
TEST_F(PlayScreen, ARefusedLevelShowsTheLevelSelectThereAndIsNeverSkipped)
{
    LevelRecord Bad = levelsByName["pic"];
    Bad.Name = u"bad";
    Bad.CrateList = u"5,5,45,10";
    levelsByName["bad"] = Bad;
    ProgressList = {LevelProgress{"pic", "", 1, 0, 0, 0}, LevelProgress{"bad", "", 1, 0, 0, 0},
                    LevelProgress{"pic", "", 1, 0, 0, 0}};
    SelectedLevelIndex = 0;
    Open(1920, 1080);
    const std::string LogPath = Folder.Path() + "refused.log";
    ASSERT_EQ(LogOpen(LogPath, "Kistora"), 1);
    LogEnable();
    // The level-complete panel of level 1 with "next" highlighted.
    GameState = LevelComplete;
    Play.InLevel = 0;
    LevelCompleteSelection = 3;
    auto PressReturn = []() {
        ScriptKey(KeyReturn, 1);
        RunFrame();
        ScriptKey(KeyReturn, 0);
        RunFrame();
    };
    PressReturn();
    EXPECT_EQ(GameState, LevelSelect);
    EXPECT_EQ(SelectedLevelIndex, 1);
    EXPECT_EQ(Play.CurrentLevelName, "pic");
    EXPECT_EQ(Play.LastPlayedIndex, 0);
    EXPECT_EQ(Play.InLevel, 0);
    PressReturn();
    EXPECT_EQ(GameState, LevelSelect);
    EXPECT_EQ(SelectedLevelIndex, 1);
    EXPECT_EQ(Play.CurrentLevelName, "pic");
    CloseAllFiles(); // flushes the log
    std::vector<uint8_t> Bytes;
    ASSERT_EQ(ReadWholeFile(LogPath, Bytes), 1);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()),
              "Kistora\r\nSet up level (bad):\t\tFAILED\r\nSet up level (bad):\t\tFAILED\r\n");
    SelectedLevelIndex = 0;
}

} // namespace
