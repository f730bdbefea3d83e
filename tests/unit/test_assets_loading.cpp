// LoadSounds and LoadPictures over asset archives built here, on a headless
// screen: slots, sizes, the cover rule, the log lines, the buffer limits and
// the fatal path (exit status 1 with the message on standard error).
#include "shell/shell.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <map>

#include "packwriter.h"
#include "test_pack_support.h"
#include "test_platform_video_png.h"

namespace {

constexpr uint32_t Red = 0xFF0000FFu, Green = 0x00FF00FFu, Blue = 0x0000FFFFu, Black = 0x000000FFu;

::testing::AssertionResult Near(uint32_t Got, uint32_t Want)
{
    for (int Shift = 8; Shift < 32; Shift += 8) {
        int Difference = int((Got >> Shift) & 255) - int((Want >> Shift) & 255);
        if (Difference > 24 || Difference < -24)
            return ::testing::AssertionFailure() << std::hex << Got << " vs " << Want;
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Png(int Width, int Height, uint32_t Colour)
{
    return testpng::MakeRgba(Width, Height, std::vector<uint32_t>(size_t(Width) * size_t(Height), Colour));
}

// A picture whose top TopRows rows are one colour and the rest another.
std::vector<uint8_t> TwoBandPng(int Width, int Height, int TopRows, uint32_t Top, uint32_t Bottom)
{
    std::vector<uint32_t> Pixels(size_t(Width) * size_t(Height), Bottom);
    for (int Y = 0; Y < TopRows; Y++)
        for (int X = 0; X < Width; X++)
            Pixels[size_t(Y) * size_t(Width) + size_t(X)] = Top;
    return testpng::MakeRgba(Width, Height, Pixels);
}

// A PCM WAV of exactly Size bytes: 16-bit stereo 22050 Hz silence.
std::vector<uint8_t> Wav(size_t Size)
{
    std::vector<uint8_t> Out;
    auto Text = [&](const char* Four) { Out.insert(Out.end(), Four, Four + 4); };
    auto Int = [&](uint32_t Value, int Bytes) {
        for (int I = 0; I < Bytes; I++)
            Out.push_back(uint8_t(Value >> (8 * I)));
    };
    Text("RIFF");
    Int(uint32_t(Size - 8), 4);
    Text("WAVE");
    Text("fmt ");
    Int(16, 4);
    Int(1, 2);
    Int(2, 2);
    Int(22050, 4);
    Int(22050 * 4, 4);
    Int(4, 2);
    Int(16, 2);
    Text("data");
    Int(uint32_t(Size - 44), 4);
    Out.resize(Size, 0);
    return Out;
}

// Title and splash colours per aspect class 0 to 5 (3:2, 4:3, 5:4, 16:9, 16:10, 17:9).
const char* const ClassSuffix[6] = {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9"};
const char* const ClassLine[6] = {"3:2", "4:3", "5:4", "16:9", "16:10", "17:9"};
uint32_t TitleColour(int Class)
{
    return Rgba(40 * Class + 20, 200, 30);
}
uint32_t SplashColour(int Class)
{
    return Rgba(30, 40 * Class + 20, 200);
}

std::map<std::string, std::vector<uint8_t>> SampleAssets()
{
    std::map<std::string, std::vector<uint8_t>> Assets;
    Assets["music1.ogg"] = Wav(4000); // the decoder tells formats by content
    Assets["music2.ogg"] = Wav(4000);
    Assets["rollover3.wav"] = Wav(1000);
    Assets["click3.wav"] = Wav(441044); // 5 s: still playing when the test asks
    Assets["title_16x9.png"] = Png(640, 100, Red);
    Assets["bgs_16x9.png"] = Png(100, 100, Blue);
    Assets["title_4x3.png"] = Png(400, 300, Green);
    Assets["bgs_4x3.png"] = Png(40, 30, Green);
    for (const char* Name :
         {"crate.png", "idle_left.png", "idle_right.png", "idle_up.png", "idle_down.png", "push_left.png",
          "push_right.png", "push_up.png", "push_down.png", "tile_01.png", "locked.png"})
        Assets[Name] = Png(8, 8, Green);
    Assets["titleback_c.png"] = Png(100, 50, Blue);
    return Assets;
}

class AssetLoading : public ::testing::Test {
  protected:
    packtest::Scratch Folder;

    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(InitSound(), 1);
        GameDir = Folder.Path();
        TextTable["tErrorERROR"] = "ERROR";
        TextTable["tErrorASSET"] = "An asset is missing";
    }
    void TearDown() override
    {
        CloseScreen();
    }

    void OpenAt(int Width, int Height)
    {
        ASSERT_EQ(OpenScreen(ModeWindowed, Width, Height, "test"), 1);
        ScreenWidth = Width;
        ScreenHeight = Height;
        ScreenAspectClass = AspectClass(Width, Height);
    }
    void WriteData(const std::map<std::string, std::vector<uint8_t>>& Assets, int Level = 1)
    {
        std::vector<PackInput> Entries;
        for (const auto& [Name, Bytes] : Assets)
            Entries.push_back({Name, Bytes});
        PackOptions Options;
        Options.Level = Level;
        ASSERT_EQ(WritePackFile(GameDir + "Kistora.data", Entries, Options), 1);
    }
    // Draws a sprite alone on a cleared screen and reads one pixel.
    uint32_t PixelOf(int Sprite, int X, int Y)
    {
        int Clear = CreateEmptySprite(0, ScreenWidth, ScreenHeight);
        FillSprite(Clear, Black);
        ShowSprite(Clear, 0, 0);
        FreeSprite(Clear);
        ShowSpriteTransparent(Sprite, 0, 0);
        std::vector<uint32_t> Pixels;
        int W = 0, H = 0;
        ReadBackBuffer(Pixels, &W, &H);
        return Pixels[size_t(Y) * size_t(W) + size_t(X)];
    }
};

TEST_F(AssetLoading, SoundsAndPicturesFillTheirSlots)
{
    WriteData(SampleAssets());
    OpenAt(320, 180);
    ASSERT_EQ(ScreenAspectClass, Aspect16x9);
    LoadSounds();
    int Channel = PlaySound(SoundClick, 0);
    EXPECT_GT(Channel, 0);
    EXPECT_EQ(ChannelSound(Channel), SoundClick);
    StopChannel(Channel);

    LoadPictures();
    // Title 640 x 100 scaled to the screen width: 320 x 50.
    EXPECT_EQ(SpriteWidth(SpriteTitleArt), 320);
    EXPECT_EQ(SpriteHeight(SpriteTitleArt), 50);
    // Splash stretched to the whole screen whatever its proportions.
    EXPECT_EQ(SpriteWidth(SpriteSplashArt), 320);
    EXPECT_EQ(SpriteHeight(SpriteSplashArt), 180);
    EXPECT_EQ((PixelOf(SpriteSplashArt, 300, 170) & 0xFFFFFF00u), Blue & 0xFFFFFF00u);
    for (int Slot : {SpriteCrate, SpriteCrateIcon, SpriteFillTile, SpriteIdleLeft, SpriteIdleRight, SpriteIdleUp,
                     SpriteIdleDown, SpritePushLeft, SpritePushRight, SpritePushUp, SpritePushDown}) {
        EXPECT_EQ(SpriteExists(Slot), 1) << Slot;
        EXPECT_EQ(SpriteWidth(Slot), 8) << Slot;
    }
    EXPECT_NE(LockImage, 0);
    EXPECT_EQ(ImageWidth(LockImage), 8);
    // The dim layer is opaque black over the whole screen.
    EXPECT_EQ(SpriteWidth(SpriteDimLayer), 320);
    EXPECT_EQ(PixelOf(SpriteDimLayer, 5, 5), Black);
    // Title background 100 x 50 shown 384 x 192, centred below the 50-pixel title.
    EXPECT_EQ(SpriteWidth(SpriteTitleBackground), 384);
    EXPECT_EQ(SpriteHeight(SpriteTitleBackground), 192);
    EXPECT_EQ(TitleBackgroundX, 160 - 192);
    EXPECT_EQ(TitleBackgroundY, 50 + 65 - 96);
}

TEST_F(AssetLoading, TitleAsWideAsTheScreenKeepsItsHeight)
{
    auto Assets = SampleAssets();
    Assets["title_16x9.png"] = Png(320, 77, Red);
    WriteData(Assets, 0);
    OpenAt(320, 180);
    LoadPictures();
    EXPECT_EQ(SpriteWidth(SpriteTitleArt), 320);
    EXPECT_EQ(SpriteHeight(SpriteTitleArt), 77);
}

TEST_F(AssetLoading, UnknownRatioCoversTheScreenWithTheSixteenByNinePictures)
{
    // 250 x 150 gives "1.67": class 7. A 300 x 400 splash is scaled to 250 x 332
    // and the 150 rows from row 91 are taken: its green top 150 rows end near
    // scaled row 124, so screen row 10 is green and rows 60 and below are red.
    auto Assets = SampleAssets();
    Assets.erase("title_4x3.png");
    Assets["bgs_16x9.png"] = TwoBandPng(300, 400, 150, Green, Red);
    WriteData(Assets);
    OpenAt(250, 150);
    ASSERT_EQ(ScreenAspectClass, AspectOther);
    LoadPictures();
    EXPECT_EQ(SpriteWidth(SpriteTitleArt), 250);
    EXPECT_EQ(SpriteHeight(SpriteTitleArt), 39); // 100 / 640 x 250 = 39.06
    EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, 100, 10), Green));
    EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, 100, 60), Red));
    EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, 100, 149), Red));
}

TEST_F(AssetLoading, AFlatterPictureCoversTheScreenCroppedAtTheSides)
{
    // 300 x 100 on 250 x 150: scaled to 450 x 150 (the height fills the
    // screen), and the middle 250 columns taken. Once this left the splash
    // empty (scaled to 250 x 83, shorter than the screen).
    auto Assets = SampleAssets();
    Assets["bgs_16x9.png"] = Png(300, 100, Red);
    WriteData(Assets);
    OpenAt(250, 150);
    LoadPictures();
    EXPECT_EQ(SpriteExists(SpriteSplashArt), 1);
    for (int Y : {0, 75, 149})
        for (int X : {0, 125, 249})
            EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, X, Y), Red)) << X << ", " << Y;
}

// A picture of four coloured quarters, 160 x 90 (16:9).
std::vector<uint8_t> QuartersPng()
{
    const int W = 160, H = 90;
    std::vector<uint32_t> Pixels(size_t(W) * H);
    for (int Y = 0; Y < H; Y++)
        for (int X = 0; X < W; X++)
            Pixels[size_t(Y) * W + X] = Y < H / 2 ? (X < W / 2 ? Red : Green) : (X < W / 2 ? Blue : 0xFFFFFFFFu);
    return testpng::MakeRgba(W, H, Pixels);
}

// Wide screens (21:9 and the 2.40 that falls in no class) and a portrait
// screen: the 16:9 splash covers the whole screen with its proportions kept,
// the overflow cut evenly on both sides, so its quarters meet at the middle.
TEST_F(AssetLoading, TheSplashCoversWideAndTallScreensCentred)
{
    auto Assets = SampleAssets();
    Assets["bgs_16x9.png"] = QuartersPng();
    WriteData(Assets);
    const int Sizes[][2] = {{256, 108}, {344, 144}, {384, 160}, {100, 200}, {512, 200}};
    for (const auto& Size : Sizes) {
        const int W = Size[0], H = Size[1];
        SCOPED_TRACE(std::to_string(W) + " x " + std::to_string(H));
        OpenAt(W, H);
        LoadPictures();
        ASSERT_EQ(SpriteWidth(SpriteSplashArt), W);
        ASSERT_EQ(SpriteHeight(SpriteSplashArt), H);
        const int Left = W / 2 - W / 8, Right = W / 2 + W / 8, Top = H / 2 - H / 8, Bottom = H / 2 + H / 8;
        EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, Left, Top), Red));
        EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, Right, Top), Green));
        EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, Left, Bottom), Blue));
        EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, Right, Bottom), 0xFFFFFFFFu));
        // Every corner is covered.
        for (int X : {0, W - 1})
            for (int Y : {0, H - 1})
                EXPECT_NE(PixelOf(SpriteSplashArt, X, Y), Black) << X << ", " << Y;
        // The crop keeps the proportions: on a screen wider than 16:9 the
        // picture is scaled by the width, so a quarter ends at the screen's
        // middle row and the top rows shown are those below the cut.
        if (W * 9 > H * 16) {
            EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, W / 4, H / 2 - 3), Red));
            EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, W / 4, H / 2 + 3), Blue));
        }
        CloseScreen();
    }
}

TEST_F(AssetLoading, TwentyOneByNineTakesTheSixteenByNinePictures)
{
    auto Assets = SampleAssets();
    Assets["bgs_16x9.png"] = Png(1000, 400, Blue);
    WriteData(Assets);
    OpenAt(237, 100);
    ASSERT_EQ(ScreenAspectClass, Aspect21x9);
    LoadPictures();
    EXPECT_EQ(SpriteWidth(SpriteTitleArt), 237);
    EXPECT_EQ(SpriteHeight(SpriteTitleArt), 37); // 100 / 640 x 237 = 37.03
    EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, 120, 50), Blue));
}

TEST_F(AssetLoading, PictureAtItsBufferLimitLoads)
{
    auto Assets = SampleAssets();
    Assets["crate.png"].resize(204800, 0); // bytes after the end chunk are ignored by PNG readers
    WriteData(Assets);
    OpenAt(320, 180);
    LoadPictures();
    EXPECT_EQ(SpriteWidth(SpriteCrate), 8);
}

// Each failure: exit status 1, the message box text on standard error (headless).
TEST_F(AssetLoading, MissingArchiveFailsInTheSoundPhase)
{
    EXPECT_EXIT(LoadSounds(), ::testing::ExitedWithCode(1), "Kistora::ERROR: An asset is missing");
}

TEST_F(AssetLoading, MissingOrOversizedEntriesAreFatal)
{
    auto Assets = SampleAssets();
    Assets.erase("crate.png");
    WriteData(Assets);
    OpenAt(320, 180);
    EXPECT_EXIT(LoadPictures(), ::testing::ExitedWithCode(1), "An asset is missing");

    Assets = SampleAssets();
    Assets["crate.png"].resize(204801, 0);
    WriteData(Assets);
    EXPECT_EXIT(LoadPictures(), ::testing::ExitedWithCode(1), "An asset is missing");

    Assets = SampleAssets();
    Assets["idle_up.png"] = {1, 2, 3, 4}; // does not decode
    WriteData(Assets);
    EXPECT_EXIT(LoadPictures(), ::testing::ExitedWithCode(1), "An asset is missing");

    Assets = SampleAssets();
    Assets["click3.wav"] = Wav(15728641);
    WriteData(Assets);
    EXPECT_EXIT(LoadSounds(), ::testing::ExitedWithCode(1), "An asset is missing");
}

TEST_F(AssetLoading, SoundAtItsBufferLimitLoads)
{
    auto Assets = SampleAssets();
    Assets["click3.wav"] = Wav(15728640);
    WriteData(Assets);
    LoadSounds();
    int Channel = PlaySound(SoundClick, 0);
    EXPECT_GT(Channel, 0);
    StopChannel(Channel);
}

TEST_F(AssetLoading, LogLinesInOrder)
{
    WriteData(SampleAssets());
    OpenAt(320, 180);
    std::string LogPath = Folder.Path() + "assets.log";
    ASSERT_EQ(LogOpen(LogPath, "Kistora"), 1);
    LogEnable();
    LoadSounds();
    LoadPictures();
    CloseAllFiles(); // flushes the log (later lines are dropped)
    std::vector<uint8_t> Bytes = packtest::ReadFile(LogPath);
    std::string Log(Bytes.begin(), Bytes.end());
    std::string Expected = "Kistora\r\n";
    for (const char* Name : {"music1.ogg", "music2.ogg", "rollover3.wav", "click3.wav"})
        Expected += std::string("Load asset (") + Name + "):\t\tOK\r\n";
    Expected += "AspectRatio:  16:9\r\nLoad asset (title_16x9.png):\t\tOK\r\n";
    Expected += "AspectRatio:  16:9\r\nLoad asset (bgs_16x9.png):\t\tOK\r\n";
    for (const char* Name :
         {"crate.png", "idle_left.png", "idle_right.png", "idle_up.png", "idle_down.png", "push_right.png",
          "push_left.png", "push_up.png", "push_down.png", "tile_01.png", "locked.png", "titleback_c.png"})
        Expected += std::string("Load asset (") + Name + "):\t\tOK\r\n";
    EXPECT_EQ(Log, Expected);
}

// Every aspect class 0 to 5 takes its own title and splash: a screen of each
// shape shows that class's colours.
TEST_F(AssetLoading, EachAspectClassShowsItsOwnTitleAndSplash)
{
    auto Assets = SampleAssets();
    for (int Class = 0; Class < 6; ++Class) {
        Assets[std::string("title_") + ClassSuffix[Class] + ".png"] = Png(640, 100, TitleColour(Class));
        Assets[std::string("bgs_") + ClassSuffix[Class] + ".png"] = Png(64, 40, SplashColour(Class));
    }
    WriteData(Assets);
    // 300 x 200 "1.50", 320 x 240 "1.33", 250 x 200 "1.25", 320 x 180 "1.78",
    // 320 x 200 "1.60", 340 x 180 "1.89".
    const int Shapes[6][2] = {{300, 200}, {320, 240}, {250, 200}, {320, 180}, {320, 200}, {340, 180}};
    for (int Class = 0; Class < 6; ++Class) {
        SCOPED_TRACE(ClassSuffix[Class]);
        OpenAt(Shapes[Class][0], Shapes[Class][1]);
        ASSERT_EQ(ScreenAspectClass, Class);
        LoadPictures();
        EXPECT_TRUE(Near(PixelOf(SpriteTitleArt, 10, 5), TitleColour(Class)));
        EXPECT_TRUE(Near(PixelOf(SpriteSplashArt, Shapes[Class][0] / 2, Shapes[Class][1] / 2), SplashColour(Class)));
        EXPECT_EQ(SpriteHeight(SpriteTitleArt), int(100.0 / 640.0 * Shapes[Class][0] + 0.5));
        CloseScreen();
    }
}

} // namespace

namespace {

// Runs in a child process (a fresh log per class): each class's aspect line
// before its title, again before its splash. Exits 0 when every log is as
// expected, else 10 + the class whose log was not.
void LogForEveryOwnClass(const std::string& Folder)
{
    const int Shapes[6][2] = {{300, 200}, {320, 240}, {250, 200}, {320, 180}, {320, 200}, {340, 180}};
    for (int Class = 0; Class < 6; ++Class) {
        const int Width = Shapes[Class][0], Height = Shapes[Class][1];
        if (OpenScreen(ModeWindowed, Width, Height, "test") != 1)
            std::exit(4);
        ScreenWidth = Width;
        ScreenHeight = Height;
        ScreenAspectClass = AspectClass(Width, Height);
        if (ScreenAspectClass != Class)
            std::exit(7);
        std::string LogPath = Folder + "own" + std::to_string(Class) + ".log";
        if (LogOpen(LogPath, "Kistora") != 1)
            std::exit(5);
        LogEnable();
        LoadPictures();
        CloseAllFiles();
        LogLine(""); // the closed file refuses the line: the log lets it go for the next one
        CloseScreen();
        std::vector<uint8_t> Bytes = packtest::ReadFile(LogPath);
        std::string Log(Bytes.begin(), Bytes.end());
        const std::string Line = std::string("AspectRatio:  ") + ClassLine[Class] + "\r\n";
        std::string Start = "Kistora\r\n" + Line + "Load asset (title_" + ClassSuffix[Class] + ".png):\t\tOK\r\n" +
                            Line + "Load asset (bgs_" + ClassSuffix[Class] +
                            ".png):\t\tOK\r\nLoad asset (crate.png):\t\tOK\r\n";
        if (Log.compare(0, Start.size(), Start) != 0)
            std::exit(10 + Class);
    }
    std::exit(0);
}

TEST_F(AssetLoading, EachAspectClassWritesItsOwnLines)
{
    auto Assets = SampleAssets();
    for (int Class = 0; Class < 6; ++Class) {
        Assets[std::string("title_") + ClassSuffix[Class] + ".png"] = Png(640, 100, TitleColour(Class));
        Assets[std::string("bgs_") + ClassSuffix[Class] + ".png"] = Png(64, 40, SplashColour(Class));
    }
    WriteData(Assets);
    // Exit status 10 + n: class n (3:2, 4:3, 5:4, 16:9, 16:10, 17:9) wrote other lines.
    EXPECT_EXIT(LogForEveryOwnClass(Folder.Path()), ::testing::ExitedWithCode(0), "");
}

// Runs in a child process (a fresh log): an unknown ratio and 21:9 load the
// 16:9 title and splash without any "AspectRatio:  x:y" line. Exits 0 when
// the log is as expected.
void LogForClass(const std::string& Folder, int Width, int Height)
{
    if (OpenScreen(ModeWindowed, Width, Height, "test") != 1)
        std::exit(4);
    ScreenWidth = Width;
    ScreenHeight = Height;
    ScreenAspectClass = AspectClass(Width, Height);
    std::string LogPath = Folder + "class.log";
    if (LogOpen(LogPath, "Kistora") != 1)
        std::exit(5);
    LogEnable();
    LoadPictures();
    CloseAllFiles();
    std::vector<uint8_t> Bytes = packtest::ReadFile(LogPath);
    std::string Log(Bytes.begin(), Bytes.end());
    std::string Start = "Kistora\r\nLoad asset (title_16x9.png):\t\tOK\r\nLoad asset (bgs_16x9.png):\t\tOK\r\nLoad "
                        "asset (crate.png):\t\tOK\r\n";
    if (Log.compare(0, Start.size(), Start) != 0 || Log.find("AspectRatio") != std::string::npos)
        std::exit(6);
    std::exit(0);
}

TEST_F(AssetLoading, NoAspectLinesForUnknownRatiosOrTwentyOneByNine)
{
    WriteData(SampleAssets());
    EXPECT_EXIT(LogForClass(Folder.Path(), 250, 150), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(LogForClass(Folder.Path(), 237, 100), ::testing::ExitedWithCode(0), "");
}

} // namespace
