// The headless screen: opening and re-opening, the persistent back buffer,
// screenshots, window events and focus, desktop size overrides.
#include "platform/video_internal.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "test_platform_video_png.h"
#include "test_platform_video_util.h"

namespace {

using PlatformVideoScreen = HeadlessScreen;

TEST_F(PlatformVideoScreen, BackBufferStartsBlackAndKeepsItsContentAcrossPresents)
{
    std::vector<uint32_t> Pixels;
    int W = 0, H = 0;
    ASSERT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
    EXPECT_EQ(W, Width);
    EXPECT_EQ(H, Height);
    EXPECT_EQ(Pixels.size(), size_t(Width * Height));
    EXPECT_EQ(Pixels[0], Rgba(0, 0, 0));
    EXPECT_EQ(Pixels.back(), Rgba(0, 0, 0));

    int Sprite = CreateEmptySprite(2, 10, 10);
    FillSprite(Sprite, Rgba(0, 200, 0));
    ShowSprite(Sprite, 150, 110);
    SetFrameRate(60);
    PresentScreen();
    PresentScreen();
    EXPECT_EQ(Pixel(155, 115), Rgba(0, 200, 0));
    EXPECT_EQ(Pixel(149, 115), Rgba(0, 0, 0));
    // A plain draw of a transparent pixel leaves black, and the screen reads as opaque.
    int Empty = CreateEmptySprite(3, 5, 5);
    ShowSprite(Empty, 150, 110);
    EXPECT_EQ(Pixel(152, 112), Rgba(0, 0, 0, 255));
    ShowSprite(Sprite, -5, -5); // partly off screen
    EXPECT_EQ(Pixel(0, 0), Rgba(0, 200, 0));
}

TEST_F(PlatformVideoScreen, ReopeningChangesTheSizeAndDropsTheSprites)
{
    ASSERT_EQ(CreateEmptySprite(22, 8, 8), 22);
    CloseScreen();
    EXPECT_EQ(ScreenIsOpen(), 0);
    std::vector<uint32_t> Pixels;
    int W = 1, H = 1;
    EXPECT_EQ(ReadBackBuffer(Pixels, &W, &H), 0);
    EXPECT_EQ(W, 0);
    EXPECT_TRUE(Pixels.empty());
    ShowSprite(22, 0, 0); // no screen: ignored

    ASSERT_EQ(OpenScreen(ModeBorderless, 320, 180, "again"), 1);
    EXPECT_EQ(ScreenIsOpen(), 1);
    EXPECT_EQ(SpriteExists(22), 0);
    ASSERT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
    EXPECT_EQ(W, 320);
    EXPECT_EQ(H, 180);
    ASSERT_EQ(OpenScreen(ModeFullScreen, 200, 100, "full"), 1); // opening again closes the old one
    ASSERT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
    EXPECT_EQ(W, 200);

    EXPECT_EQ(OpenScreen(3, 200, 100, "bad mode"), 0);
    EXPECT_EQ(ScreenIsOpen(), 0);
    EXPECT_EQ(OpenScreen(-1, 200, 100, "bad mode"), 0);
    EXPECT_EQ(OpenScreen(ModeWindowed, 0, 100, "bad size"), 0);
    EXPECT_EQ(OpenScreen(ModeWindowed, 200, -1, "bad size"), 0);
}

TEST_F(PlatformVideoScreen, ScreenshotIsAPngOfTheBackBuffer)
{
    int Sprite = CreateEmptySprite(2, 40, 30);
    FillSprite(Sprite, Rgba(10, 120, 230));
    ShowSprite(Sprite, 7, 9);
    int Image = CreateImage(20, 20, Rgba(250, 0, 0, 255));
    FillImageRect(Image, 5, 5, 10, 10, Rgba(0, 0, 0, 255));
    int Keyed = CreateSpriteFromImage(0, Image, SpriteColourKey);
    FreeImage(Image);
    ShowSpriteTransparent(Keyed, 30, 20);

    std::string Path = "/tmp/kistora-video-test-" + std::to_string(getpid()) + ".png";
    ASSERT_EQ(SaveScreenshot(Path), 1);
    std::ifstream File(Path, std::ios::binary);
    std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
    std::remove(Path.c_str());
    ASSERT_GT(Bytes.size(), 8u);
    EXPECT_EQ(Bytes[1], 'P');
    int Shot = LoadImagePng(Bytes.data(), Bytes.size());
    ASSERT_NE(Shot, 0);
    std::vector<uint32_t> Pixels;
    int W = 0, H = 0;
    ASSERT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
    ASSERT_EQ(ImageWidth(Shot), W);
    ASSERT_EQ(ImageHeight(Shot), H);
    EXPECT_TRUE(std::equal(Pixels.begin(), Pixels.end(), ImagePixels(Shot)));
    EXPECT_EQ(ImagePixels(Shot)[10 * W + 10], Rgba(10, 120, 230));
    EXPECT_EQ(ImagePixels(Shot)[21 * W + 31], Rgba(250, 0, 0));
    EXPECT_EQ(ImagePixels(Shot)[30 * W + 40], Rgba(10, 120, 230)); // the keyed hole shows what was below
    FreeImage(Shot);

    EXPECT_EQ(SaveScreenshot("/nonexistent-folder/x/shot.png"), 0);
    CloseScreen();
    EXPECT_EQ(SaveScreenshot(Path), 0); // nothing to grab
}

TEST_F(PlatformVideoScreen, WindowEventsComeOutInOrder)
{
    PumpEvents();
    while (NextWindowEvent() != WindowEventNone) {
    }
    ScriptWindowEvent(WindowEventDeactivated);
    ScriptWindowEvent(WindowEventMinimised);
    ScriptWindowEvent(99); // not an event: dropped
    ScriptWindowEvent(WindowEventClose);
    PumpEvents(); // does not lose queued events
    EXPECT_EQ(NextWindowEvent(), WindowEventDeactivated);
    EXPECT_EQ(NextWindowEvent(), WindowEventMinimised);
    EXPECT_EQ(NextWindowEvent(), WindowEventClose);
    EXPECT_EQ(NextWindowEvent(), WindowEventNone);

    EXPECT_EQ(ScreenActive(), 1);
    ScriptFocus(0);
    EXPECT_EQ(ScreenActive(), 0);
    ScriptFocus(1);
    EXPECT_EQ(ScreenActive(), 1);
}

// One pixel of what the window shows (its surface, which the software
// renderer presents into), as 0xRRGGBBAA.
static uint32_t WindowPixel(int X, int Y)
{
    SDL_Surface* Surface = SDL_GetWindowSurface(VideoScreen.Window);
    if (Surface == nullptr || X < 0 || Y < 0 || X >= Surface->w || Y >= Surface->h ||
        Surface->format->BytesPerPixel != 4)
        return 0x12345678u; // no such pixel: matches no colour the tests expect
    const uint8_t* Row = static_cast<const uint8_t*>(Surface->pixels) + size_t(Y) * size_t(Surface->pitch);
    uint32_t Raw = reinterpret_cast<const uint32_t*>(Row)[X];
    uint8_t R = 0, G = 0, B = 0;
    SDL_GetRGB(Raw, Surface->format, &R, &G, &B);
    return Rgba(R, G, B);
}

TEST_F(PlatformVideoScreen, ThePresentShowsTheBackBufferOneToOneAtTheTopLeftWhateverTheWindowSize)
{
    const uint32_t Back = Rgba(20, 40, 60), Green = Rgba(0, 200, 0), Red = Rgba(220, 0, 0), Blue = Rgba(0, 0, 230);
    Background(Back);
    auto Dot = [](int X, int Y, uint32_t Colour) {
        int Sprite = CreateEmptySprite(0, 1, 1);
        FillSprite(Sprite, Colour);
        ShowSprite(Sprite, X, Y);
        FreeSprite(Sprite);
    };
    Dot(3, 2, Green);
    Dot(50, 40, Blue);
    Dot(Width - 1, Height - 1, Red);

    // As asked: the window shows the buffer exactly.
    PresentScreen();
    EXPECT_EQ(WindowPixel(3, 2), Green);
    EXPECT_EQ(WindowPixel(Width - 1, Height - 1), Red);

    // The window manager makes the window larger (or the drawable of a scaled
    // desktop is larger): the buffer stays at the top-left, unscaled, and the
    // rest is black. Stretched, the red corner would have moved to the window's corner.
    SDL_SetWindowSize(VideoScreen.Window, Width + 40, Height + 30);
    PumpEvents();
    PresentScreen();
    ASSERT_EQ(SDL_GetWindowSurface(VideoScreen.Window)->w, Width + 40) << "the drawable did not grow";
    EXPECT_EQ(WindowPixel(3, 2), Green);
    EXPECT_EQ(WindowPixel(50, 40), Blue);
    EXPECT_EQ(WindowPixel(Width - 1, Height - 1), Red);
    EXPECT_EQ(WindowPixel(Width - 2, Height - 2), Back);
    EXPECT_EQ(WindowPixel(Width, 5), Rgba(0, 0, 0));
    EXPECT_EQ(WindowPixel(5, Height), Rgba(0, 0, 0));
    EXPECT_EQ(WindowPixel(Width + 39, Height + 29), Rgba(0, 0, 0));

    // Smaller: the top-left part, unscaled (squeezed, the blue dot would sit
    // nearer the corner); the back buffer itself keeps its size and content.
    SDL_SetWindowSize(VideoScreen.Window, Width - 60, Height - 50);
    PumpEvents();
    PresentScreen();
    ASSERT_EQ(SDL_GetWindowSurface(VideoScreen.Window)->w, Width - 60) << "the drawable did not shrink";
    EXPECT_EQ(WindowPixel(3, 2), Green);
    EXPECT_EQ(WindowPixel(50, 40), Blue);
    EXPECT_EQ(WindowPixel(Width - 61, Height - 51), Back);
    EXPECT_EQ(Pixel(Width - 1, Height - 1), Red);

    // The rectangle itself, for a high-DPI drawable twice the window's size and
    // for one that is narrower but taller than the buffer.
    SDL_Rect Area;
    EXPECT_EQ(PresentArea(1280, 720, 2560, 1440, &Area), 1);
    EXPECT_EQ(Area.x, 0);
    EXPECT_EQ(Area.y, 0);
    EXPECT_EQ(Area.w, 1280);
    EXPECT_EQ(Area.h, 720);
    EXPECT_EQ(PresentArea(1280, 720, 1280, 720, &Area), 0) << "no margins to clear";
    EXPECT_EQ(PresentArea(1280, 720, 1000, 800, &Area), 1);
    EXPECT_EQ(Area.w, 1000);
    EXPECT_EQ(Area.h, 720);
}

TEST_F(PlatformVideoScreen, DesktopSizeFollowsTheOverride)
{
    int W = 0, H = 0;
    Overrides.DesktopWidth = 2560;
    Overrides.DesktopHeight = 1080;
    EXPECT_EQ(DesktopSize(0, &W, &H), 1);
    EXPECT_EQ(W, 2560);
    EXPECT_EQ(H, 1080);
    Overrides.DesktopWidth = 0;
    Overrides.DesktopHeight = 0;
    EXPECT_EQ(DesktopSize(0, &W, &H), 1);
    EXPECT_EQ(W, 1920); // the headless default
    EXPECT_EQ(H, 1080);
    EXPECT_GE(DesktopCount(), 1);
}

TEST_F(PlatformVideoScreen, MessageBoxesGoToStandardErrorWhenHeadless)
{
    ::testing::internal::CaptureStderr();
    ShowMessageBox("Kistora::Error", "The screen could not be opened.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Kistora::Error: The screen could not be opened.\n");
}

} // namespace

// The frame limiter's schedule, declared by the platform for itself.
uint64_t FrameTickPlan(uint64_t Now, uint64_t* NextTick, uint64_t Period, uint64_t Tolerance);

namespace {

// Simulates Frames frames whose work takes Work ticks and whose present takes
// Present ticks; returns the clock at the end.
uint64_t RunFrames(int Frames, uint64_t Work, uint64_t Present, uint64_t Tolerance, uint64_t* Sleeps = nullptr)
{
    uint64_t Now = 1000, NextTick = 0;
    for (int I = 0; I < Frames; ++I) {
        Now += Work + Present;
        uint64_t Until = FrameTickPlan(Now, &NextTick, 1000, Tolerance);
        if (Until > Now) {
            if (Sleeps)
                ++*Sleeps;
            Now = Until;
        }
    }
    return Now;
}

TEST(PlatformVideoLimiter, CapsFastLoopsAtTheFrameRate)
{
    // Period 1000 ticks; frames that take 100 ticks run 1000 ticks apart.
    uint64_t Sleeps = 0;
    uint64_t End = RunFrames(600, 60, 40, 0, &Sleeps);
    EXPECT_NEAR(double(End), 1000.0 + 600 * 1000.0, 1000.0);
    EXPECT_GE(Sleeps, 598u);
    // Slow frames are not slowed further and do not race afterwards.
    EXPECT_EQ(RunFrames(100, 1500, 0, 0), 1000u + 100 * 1500u);
    uint64_t NextTick = 0;
    EXPECT_EQ(FrameTickPlan(5000, &NextTick, 1000, 0), 0u); // first frame
    EXPECT_EQ(NextTick, 6000u);
    EXPECT_EQ(FrameTickPlan(5200, &NextTick, 1000, 0), 6000u); // early: sleep to the tick
    EXPECT_EQ(NextTick, 7000u);
    EXPECT_EQ(FrameTickPlan(9500, &NextTick, 1000, 0), 0u); // far behind: a fresh schedule
    EXPECT_EQ(NextTick, 10500u);
}

TEST(PlatformVideoLimiter, FollowsADisplayThatPacesThePresents)
{
    // Presents that wait for a display slightly faster than the frame rate
    // (990 ticks per refresh) never add a sleep that could miss a refresh.
    uint64_t Sleeps = 0;
    uint64_t End = RunFrames(1000, 100, 890, 20, &Sleeps);
    EXPECT_EQ(Sleeps, 0u);
    EXPECT_EQ(End, 1000u + 1000u * 990u);
    // Presents that stop waiting are still capped.
    Sleeps = 0;
    End = RunFrames(600, 100, 0, 20, &Sleeps);
    EXPECT_GE(Sleeps, 598u);
    EXPECT_NEAR(double(End), 1000.0 + 600 * 1000.0, 1000.0);
}

} // namespace
