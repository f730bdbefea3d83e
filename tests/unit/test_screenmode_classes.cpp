// Aspect classes, the resolution list and the choice of the screen size.
#include "shell/shell.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

struct ClassCase {
    int W, H, Class;
};

// Desktop sizes met in the wild, with the class the two-decimal ratio text gives.
const ClassCase ClassCases[] = {
    {1920, 1080, Aspect16x9},  // "1.78"
    {1366, 768, Aspect16x9},   // 1.7786 -> "1.78"
    {1360, 768, Aspect16x9},   // 1.7708 -> "1.77"
    {1280, 1024, Aspect5x4},   // "1.25"
    {1920, 1200, Aspect16x10}, // "1.60"
    {1440, 900, Aspect16x10},  {2560, 1600, Aspect16x10}, {1680, 1050, Aspect16x10},
    {2560, 1080, Aspect21x9},                                                     // 2.370 -> "2.37"
    {3440, 1440, Aspect21x9},                                                     // 2.389 -> "2.39"
    {3840, 1600, AspectOther},                                                    // "2.40" is in no row
    {5120, 2160, Aspect21x9},                                                     // "2.37"
    {1280, 768, AspectOther},                                                     // "1.67"
    {1024, 768, Aspect4x3},                                                       // "1.33"
    {1600, 1200, Aspect4x3},   {800, 600, Aspect4x3},     {1440, 960, Aspect3x2}, // "1.50"
    {2160, 1440, Aspect3x2},   {2048, 1080, Aspect17x9},                          // 1.896 -> "1.90"
    {4096, 2168, Aspect17x9},                                                     // 1.889 -> "1.89"
    {1900, 1000, Aspect17x9},                                                     // exactly "1.90"
    {1024, 600, AspectOther},                                                     // 1.7067 -> "1.71"
    {1280, 800, Aspect16x10},  {1000, 1000, AspectOther},                         // "1.00"
    {768, 1366, AspectOther},                                                     // a portrait screen: "0.56"
};

TEST(ScreenModeAspect, EveryKnownDesktopGetsItsClass)
{
    for (const ClassCase& C : ClassCases) {
        SCOPED_TRACE(std::to_string(C.W) + " x " + std::to_string(C.H));
        EXPECT_EQ(AspectClass(C.W, C.H), C.Class);
    }
}

TEST(ScreenModeAspect, RoundingAtTheEdgesOfARow)
{
    // 1.765 and up rounds to "1.77" (16:9), just below rounds to "1.76" (other).
    EXPECT_EQ(AspectClass(1766, 1000), Aspect16x9);  // 1.766 -> "1.77"
    EXPECT_EQ(AspectClass(1764, 1000), AspectOther); // 1.764 -> "1.76"
    EXPECT_EQ(AspectClass(1784, 1000), Aspect16x9);  // 1.784 -> "1.78"
    EXPECT_EQ(AspectClass(1786, 1000), AspectOther); // 1.786 -> "1.79"
    EXPECT_EQ(AspectClass(1326, 1000), Aspect4x3);   // 1.326 -> "1.33"
    EXPECT_EQ(AspectClass(1324, 1000), AspectOther); // 1.324 -> "1.32"
    EXPECT_EQ(AspectClass(2394, 1000), Aspect21x9);  // "2.39"
    EXPECT_EQ(AspectClass(2396, 1000), AspectOther); // "2.40"
    EXPECT_EQ(AspectClass(2366, 1000), Aspect21x9);  // "2.37"
    EXPECT_EQ(AspectClass(2364, 1000), AspectOther); // "2.36"
}

TEST(ScreenModeAspect, DegenerateSizesFallIntoTheOtherClass)
{
    EXPECT_EQ(AspectClass(0, 0), AspectOther);
    EXPECT_EQ(AspectClass(1920, 0), AspectOther);
    EXPECT_EQ(AspectClass(-1920, 1080), AspectOther);
}

TEST(ScreenModeResolutions, TheListHoldsTenSixteenByNineSizesInOrder)
{
    ResolutionList = {"stale"};
    FillResolutionList();
    const char* const Want[] = {"1024x576",  "1280x720",  "1366x768",  "1600x900",  "1920x1080",
                                "2048x1152", "2560x1440", "2880x1620", "3200x1800", "3840x2160"};
    // The same sizes as numbers, written out here rather than read back.
    const int Sizes[10][2] = {{1024, 576},  {1280, 720},  {1366, 768},  {1600, 900},  {1920, 1080},
                              {2048, 1152}, {2560, 1440}, {2880, 1620}, {3200, 1800}, {3840, 2160}};
    ASSERT_EQ(ResolutionList.size(), 10u);
    for (int I = 0; I < 10; ++I) {
        SCOPED_TRACE(I);
        EXPECT_EQ(ResolutionList[size_t(I)], Want[I]);
        int W = 0, H = 0;
        ASSERT_EQ(ParseResolution(ResolutionList[size_t(I)], &W, &H), 1);
        EXPECT_EQ(W, Sizes[I][0]);
        EXPECT_EQ(H, Sizes[I][1]);
        // Every windowed size is 16:9: nine times the width is sixteen times the
        // height, give or take the 1366 x 768 rounding.
        EXPECT_LE(std::abs(9 * Sizes[I][0] - 16 * Sizes[I][1]), 9 * 3);
        EXPECT_EQ(AspectClass(W, H), Aspect16x9);
    }
}

TEST(ScreenModeResolutions, ParsingTakesTheNumbersAroundTheFirstX)
{
    int W = -1, H = -1;
    EXPECT_EQ(ParseResolution("  1280x720", &W, &H), 1);
    EXPECT_EQ(W, 1280);
    EXPECT_EQ(H, 720);
    EXPECT_EQ(ParseResolution("1600x 900", &W, &H), 1);
    EXPECT_EQ(W, 1600);
    EXPECT_EQ(H, 900);
    // No "x", no width or no height: not a size, both zero.
    EXPECT_EQ(ParseResolution("1920", &W, &H), 0);
    EXPECT_EQ(W, 0);
    EXPECT_EQ(H, 0);
    EXPECT_EQ(ParseResolution("x1080", &W, &H), 0);
    EXPECT_EQ(ParseResolution("1920x", &W, &H), 0);
    EXPECT_EQ(ParseResolution("", &W, &H), 0);
    EXPECT_EQ(ParseResolution("axb", &W, &H), 0);
    // Only the first "x" divides.
    EXPECT_EQ(ParseResolution("800x600x32", &W, &H), 1);
    EXPECT_EQ(W, 800);
    EXPECT_EQ(H, 600);
}

TEST(ScreenModeResolutions, ModeNamesForTheLog)
{
    EXPECT_STREQ(ScreenModeName(0), "Fullscreen");
    EXPECT_STREQ(ScreenModeName(1), "Windowed");
    EXPECT_STREQ(ScreenModeName(2), "Borderless");
    EXPECT_STREQ(ScreenModeName(3), "");
    EXPECT_STREQ(ScreenModeName(-1), "");
}

class ScreenSizeChoice : public ::testing::Test {
  protected:
    PlatformOverrides Saved;
    int SavedMode = 0, SavedResolution = 0;
    void SetUp() override
    {
        Saved = Overrides;
        SavedMode = GameScreen;
        SavedResolution = Resolution;
        Overrides.DesktopWidth = 1280;
        Overrides.DesktopHeight = 1024;
        FillResolutionList();
    }
    void TearDown() override
    {
        Overrides = Saved;
        GameScreen = SavedMode;
        Resolution = SavedResolution;
    }
};

TEST_F(ScreenSizeChoice, FullScreenAndBorderlessUseTheDesktopWhateverTheIndex)
{
    for (int Mode : {ModeFullScreen, ModeBorderless}) {
        GameScreen = Mode;
        Resolution = 4;
        ChooseScreenSize();
        EXPECT_EQ(ScreenWidth, 1280);
        EXPECT_EQ(ScreenHeight, 1024);
        EXPECT_EQ(Resolution, 4);
    }
}

TEST_F(ScreenSizeChoice, WindowedTakesTheListedSize)
{
    const int Sizes[10][2] = {{1024, 576},  {1280, 720},  {1366, 768},  {1600, 900},  {1920, 1080},
                              {2048, 1152}, {2560, 1440}, {2880, 1620}, {3200, 1800}, {3840, 2160}};
    GameScreen = ModeWindowed;
    for (int Index = 0; Index < 10; ++Index) {
        SCOPED_TRACE(Index);
        Resolution = Index;
        ChooseScreenSize();
        EXPECT_EQ(ScreenWidth, Sizes[Index][0]);
        EXPECT_EQ(ScreenHeight, Sizes[Index][1]);
    }
}

// Window sizes larger than the desktop are not offered: a size fits when it is
// neither wider nor taller than desktop 0.
TEST_F(ScreenSizeChoice, OnlyWindowSizesThatFitTheDesktopAreOffered)
{
    struct DesktopCase {
        int W, H;
        int Fitting; // how many listed sizes fit, from the smallest on
    };
    const DesktopCase Cases[] = {
        {1920, 1080, 5},                                    // up to 1920x1080 itself; 2048x1152 does not
        {1600, 910, 4},                                     // up to 1600x900
        {1280, 1024, 2},                                    // 1366 is too wide: up to 1280x720
        {1366, 768, 3},  {1920, 1200, 5},  {2560, 1080, 5}, // 2048x1152 is too tall
        {3440, 1440, 7}, {3840, 2160, 10}, {5120, 2880, 10}, {800, 600, 0}, // none fits
    };
    for (const DesktopCase& C : Cases) {
        SCOPED_TRACE(std::to_string(C.W) + " x " + std::to_string(C.H));
        Overrides.DesktopWidth = C.W;
        Overrides.DesktopHeight = C.H;
        for (int Index = 0; Index < 10; ++Index)
            EXPECT_EQ(ResolutionFitsDesktop(Index), Index < C.Fitting ? 1 : 0) << Index;
        EXPECT_EQ(ResolutionFitsDesktop(-1), 0);
        EXPECT_EQ(ResolutionFitsDesktop(10), 0);
        // The largest that fits, or the smallest when none does.
        const int LargestFitting = C.Fitting > 0 ? C.Fitting - 1 : 0;
        // A stored size that fits stays; a larger one comes down to the largest that fits.
        Resolution = 0;
        FitResolutionToDesktop();
        EXPECT_EQ(Resolution, 0);
        Resolution = 9;
        FitResolutionToDesktop();
        EXPECT_EQ(Resolution, LargestFitting);
        Resolution = 42;
        FitResolutionToDesktop();
        EXPECT_EQ(Resolution, LargestFitting);
        Resolution = -3;
        FitResolutionToDesktop();
        EXPECT_EQ(Resolution, 0);
    }
}

// Menus are laid out on the 16:9 part of a screen wider than 2:1; up to 2:1
// the screen's own width.
TEST(ScreenModeLayout, WideScreensLayTheMenusOutAtSixteenByNine)
{
    EXPECT_EQ(MenuLayoutWidth(2560, 1080), 1920);
    EXPECT_EQ(MenuLayoutWidth(3440, 1440), 2560);
    EXPECT_EQ(MenuLayoutWidth(3840, 1600), 2844); // 1600 x 16 / 9 = 2844.4
    EXPECT_EQ(MenuLayoutWidth(5120, 1440), 2560);
    EXPECT_EQ(MenuLayoutWidth(2160, 1080), 2160); // exactly 2:1: as it is
    EXPECT_EQ(MenuLayoutWidth(2048, 1080), 2048); // 17:9
    EXPECT_EQ(MenuLayoutWidth(1920, 1080), 1920);
    EXPECT_EQ(MenuLayoutWidth(1024, 768), 1024);
    EXPECT_EQ(MenuLayoutWidth(768, 1366), 768);
}

TEST_F(ScreenSizeChoice, AnIndexOutsideTheListIsKeptInside)
{
    GameScreen = ModeWindowed;
    Resolution = 42;
    ChooseScreenSize();
    EXPECT_EQ(Resolution, 9);
    EXPECT_EQ(ScreenWidth, 3840);
    EXPECT_EQ(ScreenHeight, 2160);
    Resolution = -3;
    ChooseScreenSize();
    EXPECT_EQ(Resolution, 0);
    EXPECT_EQ(ScreenWidth, 1024);
    EXPECT_EQ(ScreenHeight, 576);
}

} // namespace
