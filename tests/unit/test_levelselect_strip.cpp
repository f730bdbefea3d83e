// The level-select strip: card measures and slot positions, the cards as
// drawn (header, number, thumbnail place, time and steps band, lock), and the
// strip on the screen at rest and while it slides.
#include "shell/shell.h"
#include "screens/screens.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Black = Rgba(0, 0, 0);
constexpr uint32_t CardBody = Rgba(74, 74, 74);
constexpr uint32_t Accent = Rgba(232, 106, 23);
constexpr uint32_t White = Rgba(255, 255, 255);
constexpr uint32_t LockRed = Rgba(250, 0, 0);

class LevelStrip : public ::testing::Test {
  protected:
    std::vector<uint32_t> Pixels;
    int Width = 0, Height = 0;
    std::map<std::string, std::string> SavedTable;
    std::string SavedGameDir;
    int SavedLock = 0;

    void SetUp() override
    {
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(InitFont(), 1);
        SavedTable = TextTable;
        SavedGameDir = GameDir;
        SavedLock = LockImage;
        Open(1920, 1080);
        ProgressList.clear();
        SelectedLevelIndex = 0;
        StripSlideDirection = 0;
        StripSlideOffset = StripSlideStep;
    }
    void TearDown() override
    {
        for (LevelProgress& Entry : ProgressList)
            Entry.CardImage = 0;
        ProgressList.clear();
        CloseScreen();
        SelectedLevelIndex = 0;
        StripSlideDirection = 0;
        StripSlideOffset = StripSlideStep;
        TextTable = SavedTable;
        GameDir = SavedGameDir;
        if (LockImage && LockImage != SavedLock)
            FreeImage(LockImage);
        LockImage = SavedLock;
    }
    void Open(int W, int H)
    {
        CloseScreen();
        ASSERT_EQ(OpenScreen(ModeWindowed, W, H, "Kistora"), 1);
        ScreenWidth = W;
        ScreenHeight = H;
        ComputeCardGeometry();
    }
    // Entries whose cards are plain coloured squares, card N coloured (N+1) x 20 red.
    void ColouredLevels(int Count)
    {
        CardGeometryRecord G = CardGeometry();
        ProgressList.clear();
        for (int N = 0; N < Count; ++N) {
            LevelProgress Entry;
            Entry.Name = "level" + std::to_string(N);
            Entry.Unlocked = 1;
            Entry.CardImage = CreateEmptySprite(0, G.W, G.W);
            FillSprite(Entry.CardImage, CardColour(N));
            ProgressList.push_back(Entry);
        }
    }
    static uint32_t CardColour(int N)
    {
        return Rgba((N + 1) * 20, 200, 100);
    }
    void ClearScreen()
    {
        int Clear = CreateEmptySprite(0, ScreenWidth, ScreenHeight);
        FillSprite(Clear, Black);
        ShowSprite(Clear, 0, 0);
        FreeSprite(Clear);
    }
    void Read()
    {
        ASSERT_EQ(ReadBackBuffer(Pixels, &Width, &Height), 1);
    }
    uint32_t At(int X, int Y) const
    {
        return Pixels[size_t(Y) * size_t(Width) + size_t(X)] | 0xFFu;
    }
    // Which card colour covers column X at the middle of the strip: its entry or -1.
    int CardAt(int X) const
    {
        uint32_t Pixel = At(X, ScreenHeight / 2 + 10);
        for (int N = 0; N < int(ProgressList.size()); ++N)
            if (Pixel == CardColour(N))
                return N;
        return -1;
    }
    // The card of one entry alone at the top-left corner of the screen.
    void CaptureCard(int Entry)
    {
        ClearScreen();
        ShowSprite(ProgressList[size_t(Entry)].CardImage, 0, 0);
        Read();
    }
    int Count(int X0, int Y0, int X1, int Y1, uint32_t Colour) const
    {
        int N = 0;
        for (int Y = Y0; Y < Y1; ++Y)
            for (int X = X0; X < X1; ++X)
                N += At(X, Y) == Colour;
        return N;
    }
    void TextLevels(int Count, int UnlockedUpTo)
    {
        GameDir = "/nonexistent-kistora-folder/"; // no thumbnails: the grey field stands in
        TextTable["tStartHEADER"] = "LEVEL #";
        TextTable["tStartTIME"] = "TIME";
        TextTable["tStartSTEPS"] = "STEPS";
        TextTable["tTitleA"] = "First steps";
        ProgressList.clear();
        for (int N = 0; N < Count; ++N)
            ProgressList.push_back(LevelProgress{"level" + std::to_string(N), "tTitleA", N <= UnlockedUpTo, 0, 0, 0});
        int Lock = CreateImage(10, 10, LockRed);
        ASSERT_NE(Lock, 0);
        LockImage = Lock;
    }

    // Draws the strip until its slide ends (at most 50 frames); the frames drawn.
    int FramesUntilTheSlideEnds(int Frames = 0)
    {
        while (StripSlideDirection != 0 && Frames < 50) {
            DrawLevelSelect();
            AdvanceLevelStrip();
            ++Frames;
        }
        return Frames;
    }
};

TEST_F(LevelStrip, CardMeasuresAndSlotsAt1920)
{
    CardGeometryRecord G = CardGeometry();
    EXPECT_EQ(G.W, 480);
    EXPECT_EQ(G.H, 80);
    EXPECT_EQ(G.F, 26);
    EXPECT_DOUBLE_EQ(G.T, 270.0);
    EXPECT_EQ(G.Lock, 78);
    EXPECT_EQ(G.G, 80);
    EXPECT_EQ(CardSlotX(-2), -400);
    EXPECT_EQ(CardSlotX(-1), 160);
    EXPECT_EQ(CardSlotX(0), 720);
    EXPECT_EQ(CardSlotX(1), 1280);
    EXPECT_EQ(CardSlotX(2), 1840);
}

TEST_F(LevelStrip, CardMeasuresAndSlotsAt1366)
{
    Open(1366, 768);
    CardGeometryRecord G = CardGeometry();
    EXPECT_EQ(G.W, 341);
    EXPECT_EQ(G.H, 56);
    EXPECT_EQ(G.F, 18);
    EXPECT_DOUBLE_EQ(G.T, 341 * 0.5625);
    EXPECT_EQ(G.Lock, 54);
    EXPECT_EQ(G.G, 56);
    // Each division is taken separately: 683 - 682 - 170 - 56 - 56.
    EXPECT_EQ(CardSlotX(-2), -281);
    EXPECT_EQ(CardSlotX(-1), 116);
    EXPECT_EQ(CardSlotX(0), 513);
    EXPECT_EQ(CardSlotX(1), 909);
    EXPECT_EQ(CardSlotX(2), 1306);
}

// On every screen, wide ones included, the selected card and its two
// neighbours lie wholly on the screen and every card keeps its result band
// above the bottom edge. A screen wider than 2:1 lays the strip out as the
// 16:9 screen of its height, centred: 2560 x 1080 has the cards of 1920 x 1080
// moved 320 pixels right.
TEST_F(LevelStrip, CardsStayOnTheScreenWhateverItsWidth)
{
    const int Sizes[][2] = {{2560, 1080}, {3440, 1440}, {3840, 1600}, {5120, 1440}, {2200, 1080},
                            {2160, 1080}, {2048, 1080}, {1920, 1080}, {1600, 910},  {1024, 576},
                            {1280, 1024}, {1024, 768},  {768, 1366}};
    for (const auto& Size : Sizes) {
        const int SW = Size[0], SH = Size[1];
        SCOPED_TRACE(std::to_string(SW) + " x " + std::to_string(SH));
        Open(SW, SH);
        const CardGeometryRecord G = CardGeometry();
        EXPECT_LE(SH / 2 + G.W, SH) << "the band and the lock run off the bottom";
        for (int Slot = -1; Slot <= 1; ++Slot) {
            EXPECT_GE(CardSlotX(Slot), 0) << Slot;
            EXPECT_LE(CardSlotX(Slot) + G.W, SW) << Slot;
        }
        // The middle card is centred.
        EXPECT_LE(std::abs(CardSlotX(0) + G.W / 2 - SW / 2), 1);
    }
    Open(2560, 1080);
    EXPECT_EQ(CardGeometry().W, 480);
    EXPECT_EQ(CardGeometry().G, 80);
    EXPECT_EQ(CardSlotX(-1), 160 + 320);
    EXPECT_EQ(CardSlotX(0), 720 + 320);
    EXPECT_EQ(CardSlotX(1), 1280 + 320);
    Open(3440, 1440); // as 2560 x 1440: cards 640, gap 106, moved 440
    EXPECT_EQ(CardGeometry().W, 640);
    EXPECT_EQ(CardSlotX(0), 1280 - 320 + 440);
}

TEST_F(LevelStrip, FiveSlotsAtRestAroundTheSelection)
{
    ColouredLevels(6);
    SelectedLevelIndex = 2;
    ClearScreen();
    DrawLevelSelect();
    Read();
    // Slot -2 at -400 shows its right 80 columns; slot +2 at 1840 its left 80.
    EXPECT_EQ(CardAt(0), 0);
    EXPECT_EQ(CardAt(79), 0);
    EXPECT_EQ(CardAt(80), -1);
    EXPECT_EQ(CardAt(159), -1);
    EXPECT_EQ(CardAt(160), 1);
    EXPECT_EQ(CardAt(639), 1);
    EXPECT_EQ(CardAt(640), -1);
    EXPECT_EQ(CardAt(720), 2);
    EXPECT_EQ(CardAt(1199), 2);
    EXPECT_EQ(CardAt(1280), 3);
    EXPECT_EQ(CardAt(1840), 4);
    EXPECT_EQ(CardAt(1919), 4);
    // Cards stand with their top at half the screen height.
    EXPECT_EQ(At(720, 539), Black);
    EXPECT_EQ(At(720, 540), CardColour(2));
    EXPECT_EQ(At(720, 1019), CardColour(2));
    EXPECT_EQ(At(720, 1020), Black);
    // At rest nothing moves.
    EXPECT_EQ(SelectedLevelIndex, 2);
    EXPECT_EQ(StripSlideOffset, 45);
}

TEST_F(LevelStrip, MissingNeighboursLeaveTheirSlotsEmpty)
{
    ColouredLevels(1);
    ClearScreen();
    DrawLevelSelect();
    Read();
    for (int X : {0, 100, 300, 1300, 1900})
        EXPECT_EQ(CardAt(X), -1) << X;
    EXPECT_EQ(CardAt(720), 0);

    ColouredLevels(4);
    SelectedLevelIndex = 1;
    ClearScreen();
    DrawLevelSelect();
    Read();
    EXPECT_EQ(CardAt(40), -1); // no level -1 at slot -2
    EXPECT_EQ(CardAt(200), 0);
    EXPECT_EQ(CardAt(1900), 3);

    SelectedLevelIndex = 3; // the last level: slots +1 and +2 empty
    ClearScreen();
    DrawLevelSelect();
    Read();
    EXPECT_EQ(CardAt(1300), -1);
    EXPECT_EQ(CardAt(1900), -1);
    EXPECT_EQ(CardAt(40), 1);
}

TEST_F(LevelStrip, ASlideTakesElevenFramesAt1920)
{
    ColouredLevels(3);
    StripSlideDirection = 1;
    int Frames = 0;
    std::vector<int> LeftEdges;
    while (StripSlideDirection != 0 && Frames < 50) {
        ClearScreen();
        DrawLevelSelect();
        AdvanceLevelStrip();
        Read();
        int Edge = -1;
        for (int X = 0; X < Width && Edge < 0; ++X)
            if (CardAt(X) == 0)
                Edge = X;
        LeftEdges.push_back(Edge);
        ++Frames;
    }
    EXPECT_EQ(Frames, 11);
    // Offsets 45, 90, ... 495 to the left of slot 0.
    ASSERT_EQ(LeftEdges.size(), 11u);
    for (int I = 0; I < 11; ++I)
        EXPECT_EQ(LeftEdges[size_t(I)], 720 - 45 * (I + 1)) << I;
    EXPECT_EQ(SelectedLevelIndex, 1);
    EXPECT_EQ(StripSlideOffset, 45);
    // The next frame shows the new selection at rest.
    ClearScreen();
    DrawLevelSelect();
    AdvanceLevelStrip();
    Read();
    EXPECT_EQ(CardAt(720), 1);
    EXPECT_EQ(CardAt(160), 0);
    EXPECT_EQ(CardAt(1280), 2);
}

TEST_F(LevelStrip, ASlideBackMovesTheStripRight)
{
    ColouredLevels(3);
    SelectedLevelIndex = 2;
    StripSlideDirection = 2;
    ClearScreen();
    DrawLevelSelect();
    AdvanceLevelStrip();
    Read();
    EXPECT_EQ(CardAt(720 + 45), 2);
    EXPECT_EQ(CardAt(720 + 44), -1);
    EXPECT_EQ(CardAt(160 + 45), 1);
    EXPECT_EQ(FramesUntilTheSlideEnds(1), 11);
    EXPECT_EQ(SelectedLevelIndex, 1);
}

TEST_F(LevelStrip, ASlideAt1024TakesSixFrames)
{
    Open(1024, 768);
    ColouredLevels(2);
    StripSlideDirection = 1;
    // w = 256: offsets 45 ... 270, the first multiple of 45 that reaches it.
    EXPECT_EQ(FramesUntilTheSlideEnds(), 6);
    EXPECT_EQ(SelectedLevelIndex, 1);
}

TEST_F(LevelStrip, ASlideEndsOnTheFrameTheOffsetReachesTheCardWidth)
{
    // w = 360 is a multiple of 45: offsets 45 ... 360, eight frames, not nine.
    Open(1440, 900);
    ColouredLevels(2);
    StripSlideDirection = 1;
    EXPECT_EQ(FramesUntilTheSlideEnds(), 8);
}

TEST_F(LevelStrip, CardsShowHeaderBandAndLock)
{
    TextLevels(2, 0);
    BuildAllCards();
    ASSERT_NE(ProgressList[0].CardImage, 0);
    ASSERT_NE(ProgressList[1].CardImage, 0);
    CardGeometryRecord G = CardGeometry();

    // Level 2 is locked: the lock (78 x 78) stands centred at the top of the band.
    CaptureCard(1);
    EXPECT_EQ(At(2, 2), Accent);
    EXPECT_EQ(At(G.W - 1, G.H - 1), Accent);
    EXPECT_EQ(At(2, G.H + 300), CardBody); // between thumbnail and band
    EXPECT_GT(Count(0, 0, G.W, G.H, White), 50);
    const int LockX = G.W / 2 - G.Lock / 2, LockY = G.W - G.H;
    EXPECT_EQ(Count(0, 0, G.W, G.W, LockRed), G.Lock * G.Lock);
    EXPECT_EQ(At(LockX, LockY), LockRed);
    EXPECT_EQ(At(LockX + G.Lock - 1, LockY + G.Lock - 1), LockRed);
    EXPECT_NE(At(LockX - 1, LockY), LockRed);
    EXPECT_NE(At(LockX, LockY - 1), LockRed);
    // No time or steps on a locked card.
    EXPECT_EQ(Count(0, LockY, G.W, G.W, White), 0);
    EXPECT_EQ(At(G.W, 10), Black);

    // Level 1 is unlocked: white text in the band, no lock.
    CaptureCard(0);
    EXPECT_EQ(Count(0, 0, G.W, G.W, LockRed), 0);
    EXPECT_GT(Count(0, LockY, G.W, G.W, White), 50);
}

TEST_F(LevelStrip, TheBandWritesMinutesSecondsAndSteps)
{
    TextLevels(1, 0);
    ProgressList[0].TimeMs = 83999;
    ProgressList[0].Steps = 57;
    BuildAllCards();
    CardGeometryRecord G = CardGeometry();
    CaptureCard(0);
    std::vector<uint32_t> Card = Pixels;

    // The same paragraph written by hand into a band of the card's colour.
    int Band = CreateImage(G.W, G.H, CardBody);
    DrawParagraph(Band, "TIME 01:23\nSTEPS 57\n", 0, 0, G.W, G.H, G.F, Rgba(255, 255, 255, 255));
    const uint32_t* Want = ImagePixels(Band);
    ASSERT_NE(Want, nullptr);
    int Differ = 0;
    for (int Y = 0; Y < G.H; ++Y)
        for (int X = 0; X < G.W; ++X)
            Differ += (Card[size_t(G.W - G.H + Y) * size_t(Width) + size_t(X)] | 0xFFu) !=
                      (Want[size_t(Y) * size_t(G.W) + size_t(X)] | 0xFFu);
    FreeImage(Band);
    EXPECT_EQ(Differ, 0);

    // 0 ms and 0 steps for a level never finished.
    ProgressList[0].TimeMs = 0;
    ProgressList[0].Steps = 0;
    RedrawCard(0);
    CaptureCard(0);
    Band = CreateImage(G.W, G.H, CardBody);
    DrawParagraph(Band, "TIME 00:00\nSTEPS 0\n", 0, 0, G.W, G.H, G.F, Rgba(255, 255, 255, 255));
    Want = ImagePixels(Band);
    Differ = 0;
    for (int Y = 0; Y < G.H; ++Y)
        for (int X = 0; X < G.W; ++X)
            Differ += At(X, G.W - G.H + Y) != (Want[size_t(Y) * size_t(G.W) + size_t(X)] | 0xFFu);
    FreeImage(Band);
    EXPECT_EQ(Differ, 0);
}

TEST_F(LevelStrip, EveryHashInTheHeaderBecomesTheLevelNumber)
{
    TextLevels(12, 11);
    TextTable["tStartHEADER"] = "L#-#";
    BuildAllCards();
    CardGeometryRecord G = CardGeometry();
    auto HeaderDiffers = [&](const std::vector<uint32_t>& A, const std::vector<uint32_t>& B) {
        int Differ = 0;
        for (int Y = 0; Y < G.H; ++Y)
            for (int X = 0; X < G.W; ++X)
                Differ += A[size_t(Y) * size_t(Width) + size_t(X)] != B[size_t(Y) * size_t(Width) + size_t(X)];
        return Differ;
    };
    CaptureCard(0);
    std::vector<uint32_t> First = Pixels;
    CaptureCard(11);
    std::vector<uint32_t> Twelfth = Pixels;
    // The number is the entry's position + 1: level 12 is not level 1.
    EXPECT_GT(HeaderDiffers(First, Twelfth), 0);
    TextTable["tStartHEADER"] = "L12-12";
    BuildAllCards();
    CaptureCard(11);
    EXPECT_EQ(HeaderDiffers(Twelfth, Pixels), 0);
    TextTable["tStartHEADER"] = "L1-1";
    BuildAllCards();
    CaptureCard(0);
    EXPECT_EQ(HeaderDiffers(First, Pixels), 0);
}

TEST_F(LevelStrip, RedrawCardAlwaysDrawsTheUnlockedForm)
{
    TextLevels(2, 0);
    BuildAllCards();
    CardGeometryRecord G = CardGeometry();
    CaptureCard(1);
    ASSERT_GT(Count(0, 0, G.W, G.W, LockRed), 0);
    int Sprite = ProgressList[1].CardImage;
    RedrawCard(1);
    EXPECT_EQ(ProgressList[1].CardImage, Sprite);
    CaptureCard(1);
    EXPECT_EQ(Count(0, 0, G.W, G.W, LockRed), 0);
    EXPECT_GT(Count(0, G.W - G.H, G.W, G.W, White), 50);
    // Out-of-range entries are ignored.
    RedrawCard(-1);
    RedrawCard(2);
}

TEST_F(LevelStrip, ThumbnailsComeFromTheLevelArchive)
{
    // No archive: nothing, quietly.
    EXPECT_EQ(LoadThumbnail("/nonexistent-kistora-folder/Kistora.maps", "level0"), 0);
    const std::string Maps = std::string(KISTORA_GAME_DIR) + "/Kistora.maps";
    if (!FileExists(Maps))
        GTEST_SKIP() << "no built Kistora.maps";
    std::vector<std::string> Names;
    LoadLevelArchive(Maps);
    CopyLevelOrder(Names);
    ASSERT_FALSE(Names.empty());
    int Image = LoadThumbnail(Maps, Names[0]);
    ASSERT_NE(Image, 0);
    EXPECT_GT(ImageWidth(Image), 0);
    EXPECT_GT(ImageHeight(Image), 0);
    FreeImage(Image);
    EXPECT_EQ(LoadThumbnail(Maps, "no such level"), 0);
    levelsByName.clear();
    tilesByName.clear();
    levelOrder.clear();
}

} // namespace
