// Play-screen layout for the fixed widths and every aspect class, against
// values worked out by hand; the clock text.
#include "play/play.h"
#include "display/display.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    int W, H, Class;
    int T, BoardX, HudHeight, BoardY, F1, F2, M, Font;
    int FillLeft, FillRight, FillTop, FillBottom;
    int TitleW, TimeX, TimeW, StepsX, StepsW, CratesX, CratesW;
    int Icon, Icon1X, Icon1Y, Icon7Y, Gap;
};

// Hand computation, row by row (integer divisions drop the fraction):
//
// 1920 x 1080, 16:9: fixed width: T 64, BoardX 0, HUD = BoardY = 120, f 2/10/15, font 45, no fills.
//   W/100 = 19: title 19*66 = 1254, time 19*11 = 209 at 1254, steps 19*9 = 171 at 1463,
//   crates at 1634, 1920-1254-209-171 = 286 wide. s = (120-30)/3 = 30, g = (286-30-180)/7 = 76/7 = 10,
//   icon 1 x = 1634+15+10+1 = 1660, y = 15+30/3 = 25; lower row y = 120-15-10-30 = 65.
// 1920 x 1200, 16:10: the same, with fill rows FillTopY 120 (under the board) and FillBottomY 1080.
// 3840 x 2160, 16:9: T 128, 0, 240, 240, f 4/20/30, font 90. W/100 = 38: title 2508, time 418 at 2508,
//   steps 342 at 2926, crates at 3268, 572 wide. s = (240-60)/3 = 60, g = (572-60-360)/7 = 152/7 = 21,
//   icon 1 x = 3268+30+21+1 = 3320, y = 30+20 = 50; lower y = 240-30-20-60 = 130.
// 1366 x 768, 16:9: T = 45, BoardX = (1366-1350)/2 = 8, HUD = 768-675 = 93 = BoardY, f 93/60 = 1,
//   93/12 = 7, 93/8 = 11, font (93-22)/2 = 35. Left fill 8-45 = -37, right 8+1350 = 1358.
//   W/100 = 13: title 858, time 143 at 858, steps 117 at 1001, crates at 1118, 248 wide.
//   s = 71/3 = 23, g = (248-22-138)/7 = 88/7 = 12, icon 1 x = 1118+11+12+1 = 1142, y = 11+7 = 18,
//   lower y = 93-11-7-23 = 52.
// 2880 x 1620, 16:9: T = 96, BoardX 0, HUD = 1620-1440 = 180, f 3/15/22, font (180-44)/2 = 68;
//   BoardX 0 and 0+2880 = W: no fills. W/100 = 28: title 1848, time 308 at 1848, steps 252 at 2156,
//   crates at 2408, 472 wide. s = 136/3 = 45, g = (472-44-270)/7 = 158/7 = 22,
//   icon 1 x = 2408+22+22+1 = 2453, y = 22+15 = 37, lower y = 180-22-15-45 = 98.
// 1024 x 768, 4:3: T = 34, BoardX = (1024-1020)/2 = 2, HUD = 768/9 = 85, BoardY = 119,
//   (85-34) = 51: f 0/4/6, font round(73/2.5 = 29.2) = 29. Fills -32, 1022, 85, 119+510 = 629.
//   W/100 = 10: title 660, time 110 at 660, steps 90 at 770, crates at 860, 164 wide.
//   s = 73/3 - 4 = 20 (4:3), g = (164-12-120)/7 = 32/7 = 4, icon 1 x = 860+6+4+1 = 871,
//   y = 6+20/3 = 12, lower y = 85-6-6-20 = 53.
// 1280 x 1024, 5:4: T = 42, BoardX = 10, HUD = 113, BoardY = 155, (113-42) = 71: f 1/5/8,
//   font round(97/2.6 = 37.3) = 37. Fills 10-42 = -32, 10+1260 = 1270, 113, 155+630 = 785.
//   W/100 = 12: title 792, time 132 at 792, steps 108 at 924, crates at 1032, 248 wide.
//   s = 97/3 = 32, g = (248-16-192)/7 = 40/7 = 5, icon 1 x = 1032+8+5+1 = 1046, y = 8+10 = 18,
//   lower y = 113-8-10-32 = 63.
// 1440 x 900, 16:10: T = 48, BoardX 0, HUD = (900/10)*9 - 720 = 90, BoardY = 138, f 1/7/11,
//   font (90-22)/2 = 34. Left none (BoardX 0), right none (0+1440 = W), top 90, bottom 138+720 = 858.
//   W/100 = 14: title 924, time 154 at 924, steps 126 at 1078, crates at 1204, 236 wide.
//   s = 68/3 = 22, g = (236-22-132)/7 = 82/7 = 11, icon 1 x = 1204+11+11+1 = 1227, y = 11+7 = 18,
//   lower y = 90-11-7-22 = 50.
// 1280 x 768, other (5:3): T = 42, BoardX 10, HUD = 85, BoardY = 127, f 85/60 = 1, 85/12 = 7,
//   85/8 = 10, font (85-20)/2 = 32. Fills -32, 1270, 85, 127+630 = 757 (the board fits:
//   (768-85)/16 = 42). Panels as 1280 x 1024. s = 65/3 = 21, g = (248-20-126)/7 = 102/7 = 14,
//   icon 1 x = 1032+10+14+1 = 1057, y = 10+7 = 17, lower y = 85-10-7-21 = 47.
// 2560 x 1080, 21:9: laid out like "other", HUD = 120, T = min(2560/30 = 85, (1080-120)/16 = 60) = 60,
//   BoardX = (2560-1800)/2 = 380, BoardY = 180, f 2/10/15, font 45. Fills 320, 2180, 120,
//   180+900 = 1080. W/100 = 25: title 1650, time 275 at 1650, steps 225 at 1925, crates at 2150,
//   410 wide. s = 30, g = (410-30-180)/7 = 200/7 = 28, icon 1 x = 2150+15+28+1 = 2194, y = 25,
//   lower y = 65.
// 1440 x 960, 3:2: T = 48, BoardX 0, HUD = 960/9 = 106, BoardY = 154, (106-48) = 58: f 0/4/7,
//   font round(92/2.5 = 36.8) = 37 (rounded, not cut). Fills 0-48 = -48, 0+1440 = 1440, 106,
//   154+720 = 874. Panels as 1440 x 900. s = 92/3 = 30, g = (236-14-180)/7 = 42/7 = 6,
//   icon 1 x = 1204+7+6+1 = 1218, y = 7+10 = 17, lower y = 106-7-10-30 = 59.
// clang-format off
// W, H, class, T, BoardX, HudHeight, BoardY, f1, f2, m, font, fills left/right/top/bottom,
//  title W, time X/W, steps X/W, crates X/W, icon size, icon 1 x and y, lower row y, gap
const Expected Layouts[] = {
    {1920, 1080, Aspect16x9, 64, 0, 120, 120, 2, 10, 15, 45, 0, 0, 0, 0,
     1254, 1254, 209, 1463, 171, 1634, 286, 30, 1660, 25, 65, 10},
    {1920, 1200, Aspect16x10, 64, 0, 120, 120, 2, 10, 15, 45, 0, 0, 120, 1080,
     1254, 1254, 209, 1463, 171, 1634, 286, 30, 1660, 25, 65, 10},
    {3840, 2160, Aspect16x9, 128, 0, 240, 240, 4, 20, 30, 90, 0, 0, 0, 0,
     2508, 2508, 418, 2926, 342, 3268, 572, 60, 3320, 50, 130, 21},
    {1366, 768, Aspect16x9, 45, 8, 93, 93, 1, 7, 11, 35, -37, 1358, 0, 0,
     858, 858, 143, 1001, 117, 1118, 248, 23, 1142, 18, 52, 12},
    {2880, 1620, Aspect16x9, 96, 0, 180, 180, 3, 15, 22, 68, 0, 0, 0, 0,
     1848, 1848, 308, 2156, 252, 2408, 472, 45, 2453, 37, 98, 22},
    {1024, 768, Aspect4x3, 34, 2, 85, 119, 0, 4, 6, 29, -32, 1022, 85, 629,
     660, 660, 110, 770, 90, 860, 164, 20, 871, 12, 53, 4},
    {1280, 1024, Aspect5x4, 42, 10, 113, 155, 1, 5, 8, 37, -32, 1270, 113, 785,
     792, 792, 132, 924, 108, 1032, 248, 32, 1046, 18, 63, 5},
    {1440, 900, Aspect16x10, 48, 0, 90, 138, 1, 7, 11, 34, 0, 0, 90, 858,
     924, 924, 154, 1078, 126, 1204, 236, 22, 1227, 18, 50, 11},
    {1280, 768, AspectOther, 42, 10, 85, 127, 1, 7, 10, 32, -32, 1270, 85, 757,
     792, 792, 132, 924, 108, 1032, 248, 21, 1057, 17, 47, 14},
    {2560, 1080, Aspect21x9, 60, 380, 120, 180, 2, 10, 15, 45, 320, 2180, 120, 1080,
     1650, 1650, 275, 1925, 225, 2150, 410, 30, 2194, 25, 65, 28},
    {1440, 960, Aspect3x2, 48, 0, 106, 154, 0, 4, 7, 37, -48, 1440, 106, 874,
     924, 924, 154, 1078, 126, 1204, 236, 30, 1218, 17, 59, 6},
};
// clang-format on

TEST(PlayLayout, EveryScreenSizeAgainstHandValues)
{
    for (const Expected& E : Layouts) {
        SCOPED_TRACE(std::to_string(E.W) + " x " + std::to_string(E.H));
        ASSERT_EQ(AspectClass(E.W, E.H), E.Class);
        ComputePlayLayout(E.W, E.H, E.Class);
        EXPECT_EQ(TileSize, E.T);
        EXPECT_EQ(BoardX, E.BoardX);
        EXPECT_EQ(HudHeight, E.HudHeight);
        EXPECT_EQ(BoardY, E.BoardY);
        EXPECT_EQ(HudFrame1, E.F1);
        EXPECT_EQ(HudFrame2, E.F2);
        EXPECT_EQ(HudMargin, E.M);
        EXPECT_EQ(HudFontSize, E.Font);
        EXPECT_EQ(FillLeftX, E.FillLeft);
        EXPECT_EQ(FillRightX, E.FillRight);
        EXPECT_EQ(FillTopY, E.FillTop);
        EXPECT_EQ(FillBottomY, E.FillBottom);
        EXPECT_EQ(HudTitleX, 0);
        EXPECT_EQ(HudTitleW, E.TitleW);
        EXPECT_EQ(HudTimeX, E.TimeX);
        EXPECT_EQ(HudTimeW, E.TimeW);
        EXPECT_EQ(HudStepsX, E.StepsX);
        EXPECT_EQ(HudStepsW, E.StepsW);
        EXPECT_EQ(HudCratesX, E.CratesX);
        EXPECT_EQ(HudCratesW, E.CratesW);
        EXPECT_EQ(CrateIconSize, E.Icon);
        EXPECT_EQ(Play.SlideStep, E.T / 8.0);
        EXPECT_EQ(Play.SlideOffset, E.T / 8.0);
        // Upper row: icon k at icon 1 + (k-1)(s+g); lower row under it.
        for (int K = 1; K <= 6; K++) {
            EXPECT_EQ(CrateIconPositions[K].X, E.Icon1X + (K - 1) * (E.Icon + E.Gap)) << "icon " << K;
            EXPECT_EQ(CrateIconPositions[K].Y, E.Icon1Y) << "icon " << K;
            EXPECT_EQ(CrateIconPositions[K + 6].X, CrateIconPositions[K].X) << "icon " << K + 6;
            EXPECT_EQ(CrateIconPositions[K + 6].Y, E.Icon7Y) << "icon " << K + 6;
        }
    }
}

// Whatever the screen, the 30 x 15 board lies wholly on it under the HUD, and
// the twelve icons stay inside the crate panel's dark field.
TEST(PlayLayout, BoardAndIconsStayOnScreen)
{
    const int Sizes[][2] = {{1920, 1080}, {1920, 1200}, {3840, 2160}, {3840, 2400}, {1366, 768},  {1024, 768},
                            {1280, 1024}, {1440, 900},  {1280, 768},  {2560, 1080}, {3440, 1440}, {1920, 800},
                            {3840, 1600}, {2560, 1600}, {1600, 900},  {1280, 800},  {1152, 864},  {2160, 1080},
                            {1920, 1440}, {1440, 960},  {800, 600},   {5120, 1440}, {1080, 1920}};
    for (const auto& Size : Sizes) {
        const int W = Size[0], H = Size[1];
        SCOPED_TRACE(std::to_string(W) + " x " + std::to_string(H));
        ComputePlayLayout(W, H, AspectClass(W, H));
        ASSERT_GT(TileSize, 0);
        EXPECT_GE(BoardX, 0);
        EXPECT_LE(BoardX + 30 * TileSize, W);
        EXPECT_GE(BoardY, HudHeight);
        EXPECT_LE(BoardY + 15 * TileSize, H);
        EXPECT_GT(HudFontSize, 0);
        for (int K = 1; K <= 12; K++) {
            const ScreenPos& Icon = CrateIconPositions[K];
            EXPECT_GE(Icon.X, HudCratesX + HudMargin) << "icon " << K;
            EXPECT_LE(Icon.X + CrateIconSize, HudCratesX + HudCratesW - HudMargin) << "icon " << K;
            EXPECT_GE(Icon.Y, HudMargin) << "icon " << K;
            EXPECT_LE(Icon.Y + CrateIconSize, HudHeight - HudMargin) << "icon " << K;
        }
    }
}

TEST(PlayLayout, ClockTextPadsBothFieldsAndShowsTotalMinutes)
{
    EXPECT_EQ(FormatPlayTime(0), "00:00");
    EXPECT_EQ(FormatPlayTime(999), "00:00"); // whole seconds, truncated
    EXPECT_EQ(FormatPlayTime(59999), "00:59");
    EXPECT_EQ(FormatPlayTime(60000), "01:00");
    EXPECT_EQ(FormatPlayTime(307000), "05:07");
    EXPECT_EQ(FormatPlayTime(307999), "05:07");
    EXPECT_EQ(FormatPlayTime(75 * 60000), "75:00");
    EXPECT_EQ(FormatPlayTime(5999999), "99:59");
    EXPECT_EQ(FormatPlayTime(6000000), "100:00"); // no hour field
    EXPECT_EQ(FormatPlayTime(-5), "00:00");
}

} // namespace
