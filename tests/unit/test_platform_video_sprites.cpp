// Sprites on the headless screen: transparency kinds, the three ways of
// showing, zoom, rotation, resizing, copies and slot handling, all checked
// through the pixels that land in the back buffer.
#include <algorithm>
#include <iterator>

#include "test_platform_video_png.h"
#include "test_platform_video_util.h"

namespace {

const uint32_t Grey = Rgba(100, 100, 100);

// 2 x 2: opaque black, half-transparent red, opaque green, fully transparent blue.
std::vector<uint8_t> MixedAlphaPng()
{
    return testpng::MakeRgba(2, 2,
                             {Rgba(0, 0, 0, 255), Rgba(255, 0, 0, 128), Rgba(0, 255, 0, 255), Rgba(0, 0, 255, 0)});
}

// Shows Sprite zoomed to 20 x 20 per source pixel block at (10, 10).
void ShowZoomedTransparent(int Sprite)
{
    ZoomSprite(Sprite, 40, 40);
    ShowSpriteTransparent(Sprite, 10, 10);
}

using Sprites = HeadlessScreen;

// Deferred sprites: a renderer that paints sprite Argument's colour and
// counts its calls per argument.
int DeferredDraws[32] = {};

uint32_t DeferredColour(int Argument)
{
    return Rgba(10 * Argument, 200 - 5 * Argument, 77);
}

void PaintDeferred(int Sprite, int Argument)
{
    ++DeferredDraws[Argument];
    int Image = CreateImage(SpriteWidth(Sprite), SpriteHeight(Sprite), DeferredColour(Argument));
    FillImageRect(Image, 0, 0, 2, 2, Rgba(0, 0, 0, 0)); // a transparent corner
    CopyImageToSprite(Sprite, Image);
    FreeImage(Image);
}

TEST_F(Sprites, DeferredSpritesAreDrawnWhenShownAndOnlyAFewKeepTheirPixels)
{
    std::fill(std::begin(DeferredDraws), std::end(DeferredDraws), 0);
    int Cards[12];
    for (int I = 0; I < 12; ++I) {
        Cards[I] = CreateDeferredSprite(0, 20, 10, PaintDeferred, I);
        ASSERT_GT(Cards[I], 0);
        EXPECT_EQ(SpriteWidth(Cards[I]), 20);
        EXPECT_EQ(SpritePixelsHeld(Cards[I]), 0);
    }
    EXPECT_EQ(DeferredDraws[0], 0) << "drawn before it was shown";

    // Shown: drawn once, and not again while it keeps its pixels.
    Background(Grey);
    ShowSpriteTransparent(Cards[0], 10, 10);
    ShowSpriteTransparent(Cards[0], 40, 10);
    EXPECT_EQ(DeferredDraws[0], 1);
    EXPECT_TRUE(Near(Pixel(15, 15), DeferredColour(0), 0));
    EXPECT_TRUE(Near(Pixel(10, 10), Grey, 0)); // its transparent corner
    EXPECT_TRUE(Near(Pixel(45, 15), DeferredColour(0), 0));

    // Twelve shown in turn: the first ones give their pixels up, at most a few keep them.
    for (int I = 0; I < 12; ++I)
        ShowSprite(Cards[I], 0, 40);
    int Held = 0;
    for (int I = 0; I < 12; ++I)
        Held += SpritePixelsHeld(Cards[I]);
    EXPECT_GE(Held, 5);
    EXPECT_LE(Held, 8);
    EXPECT_EQ(SpritePixelsHeld(Cards[11]), 1);
    EXPECT_EQ(SpritePixelsHeld(Cards[0]), 0);
    // Shown again, it is drawn again, to the same picture.
    ShowSprite(Cards[0], 0, 60);
    EXPECT_EQ(DeferredDraws[0], 2);
    EXPECT_TRUE(Near(Pixel(5, 65), DeferredColour(0), 0));
    EXPECT_TRUE(Near(Pixel(0, 60), Rgba(0, 0, 0), 0)); // plain: the transparent corner shows its black

    // Reading its pixels (a copy) draws it too; the copy is an ordinary sprite.
    int Copy = CopySprite(0, Cards[3]);
    EXPECT_GE(DeferredDraws[3], 1);
    ShowSprite(Copy, 100, 100);
    EXPECT_TRUE(Near(Pixel(105, 105), DeferredColour(3), 0));

    // A new renderer (same handle): the old pixels go, the new ones come at the next show.
    SetSpriteRenderer(Cards[1], PaintDeferred, 20);
    EXPECT_EQ(SpritePixelsHeld(Cards[1]), 0);
    ShowSprite(Cards[1], 0, 80);
    EXPECT_EQ(DeferredDraws[20], 1);
    EXPECT_TRUE(Near(Pixel(5, 85), DeferredColour(20), 0));

    // Written from outside its renderer, a deferred sprite becomes ordinary:
    // a part written over an undrawn one lands on its drawn picture, and it
    // keeps its pixels however many others are shown.
    int Patch = CreateImage(4, 4, Rgba(255, 255, 255));
    int Before = DeferredDraws[5];
    ASSERT_EQ(SpritePixelsHeld(Cards[5]), 0);
    CopyImageToSprite(Cards[5], Patch);
    FreeImage(Patch);
    EXPECT_EQ(DeferredDraws[5], Before + 1);
    for (int Round = 0; Round < 2; ++Round)
        for (int I = 0; I < 12; ++I)
            if (I != 5)
                ShowSprite(Cards[I], 0, 40);
    EXPECT_EQ(SpritePixelsHeld(Cards[5]), 1);
    ShowSprite(Cards[5], 60, 100);
    EXPECT_EQ(DeferredDraws[5], Before + 1);
    EXPECT_TRUE(Near(Pixel(61, 101), Rgba(255, 255, 255), 0));
    EXPECT_TRUE(Near(Pixel(70, 105), DeferredColour(5), 0));

    // Bad arguments make nothing.
    EXPECT_EQ(CreateDeferredSprite(0, 0, 10, PaintDeferred, 1), 0);
    EXPECT_EQ(CreateDeferredSprite(0, 10, 10, nullptr, 1), 0);
    EXPECT_EQ(CreateDeferredSprite(-2, 10, 10, PaintDeferred, 1), 0);
}

TEST_F(Sprites, ColourKeyHidesExactlyBlackAndIgnoresThePictureAlpha)
{
    std::vector<uint8_t> Png = MixedAlphaPng();
    int Sprite = CreateSpriteFromPng(5, Png.data(), Png.size(), SpriteColourKey);
    ASSERT_EQ(Sprite, 5);
    Background(Grey);
    ShowZoomedTransparent(Sprite);
    EXPECT_TRUE(Near(Pixel(15, 15), Grey, 0));            // black is the key
    EXPECT_TRUE(Near(Pixel(35, 15), Rgba(255, 0, 0), 0)); // keyed sprites are opaque elsewhere
    EXPECT_TRUE(Near(Pixel(15, 35), Rgba(0, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(35, 35), Rgba(0, 0, 255), 0)); // alpha 0 in the file does not matter
    EXPECT_TRUE(Near(Pixel(5, 5), Grey, 0));              // outside the sprite
    EXPECT_TRUE(Near(Pixel(55, 55), Grey, 0));
}

TEST_F(Sprites, OwnAlphaKeepsThePictureAlpha)
{
    std::vector<uint8_t> Png = MixedAlphaPng();
    int Sprite = CreateSpriteFromPng(6, Png.data(), Png.size(), SpriteOwnAlpha);
    ASSERT_EQ(Sprite, 6);
    Background(Grey);
    ShowZoomedTransparent(Sprite);
    EXPECT_TRUE(Near(Pixel(15, 15), Rgba(0, 0, 0), 0));     // opaque black stays black
    EXPECT_TRUE(Near(Pixel(35, 15), Rgba(178, 50, 50), 2)); // 128/255 red over grey
    EXPECT_TRUE(Near(Pixel(15, 35), Rgba(0, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(35, 35), Grey, 0)); // alpha 0 lets the background through
}

TEST_F(Sprites, OwnAlphaOfAPictureWithoutAlphaFallsBackToTheColourKey)
{
    std::vector<uint8_t> Png = testpng::MakeRgb(2, 1, {Rgba(0, 0, 0), Rgba(1, 0, 0)});
    int Sprite = CreateSpriteFromPng(7, Png.data(), Png.size(), SpriteOwnAlpha);
    ASSERT_EQ(Sprite, 7);
    Background(Grey);
    ZoomSprite(Sprite, 40, 20);
    ShowSpriteTransparent(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(10, 10), Grey, 0));          // pure black keyed
    EXPECT_TRUE(Near(Pixel(30, 10), Rgba(1, 0, 0), 0)); // nearly black is not
}

TEST_F(Sprites, PlainShowIgnoresTransparency)
{
    std::vector<uint8_t> Png = MixedAlphaPng();
    int Sprite = CreateSpriteFromPng(8, Png.data(), Png.size(), SpriteOwnAlpha);
    Background(Grey);
    ZoomSprite(Sprite, 40, 40);
    ShowSprite(Sprite, 10, 10);
    EXPECT_TRUE(Near(Pixel(35, 15), Rgba(255, 0, 0), 0)); // no blending at half alpha
    EXPECT_TRUE(Near(Pixel(35, 35), Rgba(0, 0, 255), 0)); // nor at alpha 0
}

TEST_F(Sprites, IntensityDarkensAndStillBlendsTheOwnAlpha)
{
    std::vector<uint8_t> Png = testpng::MakeRgba(2, 1, {Rgba(200, 100, 250, 255), Rgba(255, 255, 255, 0)});
    int Sprite = CreateSpriteFromPng(9, Png.data(), Png.size(), SpriteOwnAlpha);
    Background(Grey);
    ZoomSprite(Sprite, 40, 20);
    ShowSpriteIntensity(Sprite, 0, 0, 128);
    EXPECT_TRUE(Near(Pixel(10, 10), Rgba(100, 50, 125), 2));
    EXPECT_TRUE(Near(Pixel(30, 10), Grey, 0));
    ShowSpriteIntensity(Sprite, 0, 20, 255);
    EXPECT_TRUE(Near(Pixel(10, 30), Rgba(200, 100, 250), 0));
    ShowSpriteIntensity(Sprite, 0, 40, 0);
    EXPECT_TRUE(Near(Pixel(10, 50), Rgba(0, 0, 0), 0));
}

TEST_F(Sprites, TransparentShowAppliesTheGlobalAlpha)
{
    // The dim layer recipe: own alpha, filled black, key colour white.
    int Dim = CreateEmptySprite(1, Width, Height);
    FillSprite(Dim, Rgba(0, 0, 0));
    SetSpriteKeyColour(Dim, Rgba(255, 255, 255));
    Background(Rgba(200, 100, 50));
    ShowSpriteTransparent(Dim, 0, 0, 128);
    EXPECT_TRUE(Near(Pixel(80, 60), Rgba(100, 50, 25), 2));
    ShowSpriteTransparent(Dim, 0, 0, 0);
    EXPECT_TRUE(Near(Pixel(80, 60), Rgba(100, 50, 25), 2)); // alpha 0 changes nothing
}

TEST_F(Sprites, EmptySpritesAreTransparentUntilFilled)
{
    int Sprite = CreateEmptySprite(0, 30, 30);
    ASSERT_GE(Sprite, 1000);
    Background(Grey);
    ShowSpriteTransparent(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(15, 15), Grey, 0));
    int Image = CreateImage(30, 30, Rgba(10, 20, 30));
    CopyImageToSprite(Sprite, Image);
    FreeImage(Image);
    ShowSpriteTransparent(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(15, 15), Rgba(10, 20, 30), 0));
}

TEST_F(Sprites, ChangedPixelsReachTheScreenAtTheNextDraw)
{
    int Sprite = CreateEmptySprite(20, 10, 10);
    FillSprite(Sprite, Rgba(255, 0, 0));
    ShowSprite(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(5, 5), Rgba(255, 0, 0), 0));
    FillSprite(Sprite, Rgba(0, 0, 255));
    ShowSprite(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(5, 5), Rgba(0, 0, 255), 0));
    int Image = CreateImage(5, 10, Rgba(0, 255, 0)); // smaller: only its part changes
    CopyImageToSprite(Sprite, Image);
    FreeImage(Image);
    ShowSprite(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(2, 5), Rgba(0, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(7, 5), Rgba(0, 0, 255), 0));
    SetSpriteKeyColour(Sprite, Rgba(0, 255, 0));
    Background(Grey);
    ShowSpriteTransparent(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(2, 5), Grey, 0));
    EXPECT_TRUE(Near(Pixel(7, 5), Rgba(0, 0, 255), 0));
}

TEST_F(Sprites, CopiesAreIndependentAndKeepTheSize)
{
    int Source = CreateEmptySprite(5, 12, 8);
    FillSprite(Source, Rgba(9, 8, 7));
    ZoomSprite(Source, 24, 16);
    int Copy = CopySprite(6, Source);
    ASSERT_EQ(Copy, 6);
    EXPECT_EQ(SpriteWidth(Copy), 24);
    EXPECT_EQ(SpriteHeight(Copy), 16);
    FillSprite(Source, Rgba(255, 255, 255));
    ShowSprite(Copy, 0, 0);
    EXPECT_TRUE(Near(Pixel(20, 14), Rgba(9, 8, 7), 0));
    EXPECT_EQ(CopySprite(7, 999), 0); // missing source
    EXPECT_EQ(SpriteExists(7), 0);
}

TEST_F(Sprites, ZoomAndRotationKeepTheSpriteCentred)
{
    int Sprite = CreateEmptySprite(4, 40, 10);
    FillSprite(Sprite, Rgba(255, 255, 0));
    EXPECT_EQ(SpriteWidth(Sprite), 40);
    ZoomSprite(Sprite, 60, 20);
    EXPECT_EQ(SpriteWidth(Sprite), 60);
    EXPECT_EQ(SpriteHeight(Sprite), 20);
    Background(Grey);
    ShowSpriteTransparent(Sprite, 50, 50); // covers 50..109 x 50..69
    EXPECT_TRUE(Near(Pixel(50, 50), Rgba(255, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(109, 69), Rgba(255, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(110, 60), Grey, 0));
    EXPECT_TRUE(Near(Pixel(80, 70), Grey, 0));

    // A quarter turn in two steps about the centre (80, 60): 20 wide, 60 high.
    Background(Grey);
    TurnSprite(Sprite, 45.0);
    TurnSprite(Sprite, 45.0);
    ShowSpriteTransparent(Sprite, 50, 50);
    EXPECT_TRUE(Near(Pixel(80, 60), Rgba(255, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(80, 33), Rgba(255, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(80, 87), Rgba(255, 255, 0), 0));
    EXPECT_TRUE(Near(Pixel(80, 27), Grey, 0));
    EXPECT_TRUE(Near(Pixel(80, 93), Grey, 0));
    EXPECT_TRUE(Near(Pixel(55, 60), Grey, 0)); // where the unturned sprite was
    EXPECT_TRUE(Near(Pixel(105, 60), Grey, 0));
    EXPECT_EQ(SpriteWidth(Sprite), 60); // turning keeps the display size
}

TEST_F(Sprites, ZoomedSpritesFollowLaterChanges)
{
    std::vector<uint8_t> Png = testpng::MakeRgba(2, 1, {Rgba(255, 0, 0, 255), Rgba(0, 0, 255, 255)});
    int Sprite = CreateSpriteFromPng(0, Png.data(), Png.size(), SpriteOwnAlpha);
    ZoomSprite(Sprite, 20, 10);
    ShowSprite(Sprite, 0, 0);
    EXPECT_TRUE(Near(Pixel(5, 5), Rgba(255, 0, 0), 0));
    EXPECT_TRUE(Near(Pixel(15, 5), Rgba(0, 0, 255), 0));
    EXPECT_TRUE(Near(Pixel(25, 5), Rgba(0, 0, 0), 0));
    ZoomSprite(Sprite, 40, 10); // a new display size
    ShowSprite(Sprite, 0, 20);
    EXPECT_TRUE(Near(Pixel(15, 25), Rgba(255, 0, 0), 0));
    EXPECT_TRUE(Near(Pixel(35, 25), Rgba(0, 0, 255), 0));
    FillSprite(Sprite, Rgba(0, 255, 0)); // new pixels at the same zoom
    ShowSprite(Sprite, 0, 40);
    EXPECT_TRUE(Near(Pixel(35, 45), Rgba(0, 255, 0), 0));
    // Shrunk with filtering, a fine checkerboard averages to grey.
    std::vector<uint32_t> Checker;
    for (int I = 0; I < 16; ++I)
        Checker.push_back(((I % 4) + (I / 4)) % 2 ? Rgba(255, 255, 255) : Rgba(0, 0, 0, 255));
    std::vector<uint8_t> CheckerPng = testpng::MakeRgba(4, 4, Checker);
    int Fine = CreateSpriteFromPng(0, CheckerPng.data(), CheckerPng.size(), SpriteOwnAlpha);
    SetFilteredSampling(1);
    ZoomSprite(Fine, 2, 2);
    ShowSprite(Fine, 100, 100);
    EXPECT_TRUE(Near(Pixel(100, 100), Rgba(128, 128, 128), 8));
    EXPECT_TRUE(Near(Pixel(101, 101), Rgba(128, 128, 128), 8));
}

TEST_F(Sprites, PositiveAnglesTurnClockwiseWhicheverWayTheSpriteIsShown)
{
    int Image = CreateImage(40, 10, Rgba(255, 0, 0));
    FillImageRect(Image, 20, 0, 20, 10, Rgba(0, 0, 255));
    int Sprite = CreateSpriteFromImage(0, Image, SpriteOwnAlpha);
    FreeImage(Image);
    TurnSprite(Sprite, 90.0);
    for (int Filtered = 0; Filtered < 2; ++Filtered) {
        SetFilteredSampling(Filtered);
        Background(Grey);
        ShowSpriteTransparent(Sprite, 20, 40);    // centre (40, 45)
        ShowSprite(Sprite, 100, 40);              // centre (120, 45)
        ShowSpriteIntensity(Sprite, 60, 80, 255); // centre (80, 85)
        for (int CentreX : {40, 120})
            EXPECT_TRUE(Near(Pixel(CentreX, 35), Rgba(255, 0, 0), 0)) << CentreX; // the left end went up
        EXPECT_TRUE(Near(Pixel(40, 55), Rgba(0, 0, 255), 0));
        EXPECT_TRUE(Near(Pixel(120, 55), Rgba(0, 0, 255), 0));
        EXPECT_TRUE(Near(Pixel(80, 75), Rgba(255, 0, 0), 0));
        EXPECT_TRUE(Near(Pixel(80, 95), Rgba(0, 0, 255), 0));
        EXPECT_TRUE(Near(Pixel(25, 45), Grey, 0));
    }
    // A small turn keeps the middle where it was and moves the ends.
    TurnSprite(Sprite, -80.0); // 10 degrees now
    Background(Grey);
    ShowSpriteTransparent(Sprite, 60, 50); // centre (80, 55)
    EXPECT_TRUE(Near(Pixel(70, 54), Rgba(255, 0, 0), 0));
    EXPECT_TRUE(Near(Pixel(90, 56), Rgba(0, 0, 255), 0));
    EXPECT_TRUE(Near(Pixel(62, 59), Grey, 0));             // below-left corner rose out of the way
    EXPECT_TRUE(Near(Pixel(61, 49), Rgba(255, 0, 0), 10)); // the left end came up there
}

TEST_F(Sprites, ResizeResamplesSmoothlyOnce)
{
    std::vector<uint8_t> Png = testpng::MakeRgba(2, 1, {Rgba(0, 0, 0, 255), Rgba(255, 255, 255, 255)});
    int Sprite = CreateSpriteFromPng(3, Png.data(), Png.size(), SpriteOwnAlpha);
    ZoomSprite(Sprite, 100, 100);
    ResizeSprite(Sprite, 8, 1);
    EXPECT_EQ(SpriteWidth(Sprite), 8); // the display size follows
    EXPECT_EQ(SpriteHeight(Sprite), 1);
    ShowSprite(Sprite, 0, 0);
    std::vector<int> Row;
    for (int X = 0; X < 8; ++X)
        Row.push_back(Red(Pixel(X, 0)));
    EXPECT_EQ(Row.front(), 0);
    EXPECT_EQ(Row.back(), 255);
    for (int X = 1; X < 8; ++X)
        EXPECT_GE(Row[size_t(X)], Row[size_t(X) - 1]);
    int Between = 0;
    for (int V : Row)
        Between += V > 20 && V < 235;
    EXPECT_GE(Between, 2); // a ramp, not a hard step
}

TEST_F(Sprites, FilteredSamplingSmoothsScaledSprites)
{
    std::vector<uint8_t> Png = testpng::MakeRgba(2, 1, {Rgba(0, 0, 0, 255), Rgba(255, 255, 255, 255)});
    int Sprite = CreateSpriteFromPng(3, Png.data(), Png.size(), SpriteOwnAlpha);
    ZoomSprite(Sprite, 100, 4);
    SetFilteredSampling(0);
    ShowSprite(Sprite, 0, 0);
    int NearestMiddle = 0;
    for (int X = 0; X < 100; ++X)
        NearestMiddle += Red(Pixel(X, 1)) > 20 && Red(Pixel(X, 1)) < 235;
    SetFilteredSampling(1);
    ShowSprite(Sprite, 0, 10);
    int LinearMiddle = 0;
    for (int X = 0; X < 100; ++X)
        LinearMiddle += Red(Pixel(X, 11)) > 20 && Red(Pixel(X, 11)) < 235;
    EXPECT_EQ(NearestMiddle, 0);
    EXPECT_GT(LinearMiddle, 10);
}

TEST_F(Sprites, SlotsAndHandles)
{
    int First = CreateEmptySprite(0, 4, 4);
    int Second = CreateEmptySprite(0, 4, 4);
    EXPECT_GE(First, 1000);
    EXPECT_GE(Second, 1000);
    EXPECT_NE(First, Second);
    FreeSprite(First);
    EXPECT_EQ(SpriteExists(First), 0);
    EXPECT_EQ(SpriteWidth(First), 0);
    EXPECT_EQ(CreateEmptySprite(0, 4, 4), First); // a freed handle is used again

    // A fixed slot is replaced; a failed creation keeps the old sprite.
    EXPECT_EQ(CreateEmptySprite(12, 4, 4), 12);
    EXPECT_EQ(CreateEmptySprite(12, 6, 5), 12);
    EXPECT_EQ(SpriteWidth(12), 6);
    const uint8_t Garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(CreateSpriteFromPng(12, Garbage, sizeof(Garbage), SpriteOwnAlpha), 0);
    EXPECT_EQ(CreateSpriteFromPng(13, nullptr, 0, SpriteOwnAlpha), 0);
    EXPECT_EQ(SpriteWidth(12), 6);
    EXPECT_EQ(CreateEmptySprite(-1, 4, 4), 0);
    EXPECT_EQ(CreateEmptySprite(14, 0, 4), 0);
    EXPECT_EQ(CreateSpriteFromImage(14, 12345, SpriteOwnAlpha), 0);

    // Unknown handles are ignored everywhere.
    ShowSprite(777, 0, 0);
    ZoomSprite(777, 5, 5);
    TurnSprite(777, 5);
    FillSprite(777, 0);
    EXPECT_EQ(SpriteExists(777), 0);

    // Closing the screen destroys every sprite.
    CloseScreen();
    EXPECT_EQ(SpriteExists(12), 0);
    EXPECT_EQ(SpriteExists(Second), 0);
}

} // namespace
