// Panel geometry from the screen size, and the panels as rendered: header bar,
// body colour, which row carries the highlight, left/centred/right placement,
// the disabled resolution row, the slide-in and the centred display.
#include "shell/shell.h"
#include "screens/screens.h"
#include "screens/screens_local.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

TEST(ScreensGeometry, WorkedValuesAt1920x1080)
{
    ComputePanelGeometry(1920, 1080);
    for (const PanelLayout& P : Panels) {
        EXPECT_EQ(P.Header, 80);
        EXPECT_EQ(P.TitleFont, 26);
        EXPECT_EQ(P.ItemFont, 52);
    }
    EXPECT_EQ(CreditsParagraphFont, 20);
    for (int Panel : {PanelMainMenu, PanelInGameMenu}) {
        SCOPED_TRACE(Panel);
        EXPECT_EQ(Panels[Panel].Width, 480);
        EXPECT_EQ(Panels[Panel].Height, 480);
        EXPECT_EQ(Panels[Panel].Body, 400);
        EXPECT_EQ(Panels[Panel].Gap, 38);
        EXPECT_EQ(PanelRowTop(Panel, 1), 118);
        EXPECT_EQ(PanelRowTop(Panel, 2), 208);
        EXPECT_EQ(PanelRowTop(Panel, 3), 298);
        EXPECT_EQ(PanelRowTop(Panel, 4), 388);
    }
    EXPECT_EQ(Panels[PanelMainMenu].ScreenX, 720);
    EXPECT_EQ(Panels[PanelMainMenu].ScreenY, 540);
    EXPECT_EQ(Panels[PanelQuitQuestion].Width, 960);
    EXPECT_EQ(Panels[PanelQuitQuestion].Height, 320);
    EXPECT_EQ(Panels[PanelQuitQuestion].Gap, 6);
    EXPECT_EQ(Panels[PanelQuitQuestion].ScreenX, 480);
    EXPECT_EQ(Panels[PanelQuitQuestion].ScreenY, 540);
    EXPECT_EQ(Panels[PanelSettings].Width, 1067);
    EXPECT_EQ(Panels[PanelSettings].Height, 640);
    EXPECT_EQ(Panels[PanelSettings].Gap, 35);
    EXPECT_EQ(Panels[PanelSettings].ScreenX, 427);
    EXPECT_EQ(Panels[PanelSettings].ScreenY, 430);
    const int SixSlots[6] = {115, 202, 289, 376, 463, 550};
    for (int Panel : {PanelSettings, PanelLevelComplete, PanelGameComplete, PanelCredits}) {
        SCOPED_TRACE(Panel);
        EXPECT_EQ(Panels[Panel].RowSlots, 6);
        for (int Slot = 1; Slot <= 6; ++Slot)
            EXPECT_EQ(PanelRowTop(Panel, Slot), SixSlots[Slot - 1]);
    }
    for (int Panel : {PanelLevelComplete, PanelGameComplete, PanelCredits}) {
        EXPECT_EQ(Panels[Panel].Width, 960);
        EXPECT_EQ(Panels[Panel].Height, 640);
    }
    EXPECT_EQ(Panels[PanelCredits].ScreenX, 480);
    EXPECT_EQ(Panels[PanelCredits].ScreenY, 430);
    // Slide-in steps, each from its own panel's place.
    EXPECT_EQ(Panels[PanelMainMenu].SlideInStep, 108);
    EXPECT_EQ(Panels[PanelQuitQuestion].SlideInStep, 108);
    EXPECT_EQ(Panels[PanelSettings].SlideInStep, 130);
    EXPECT_EQ(Panels[PanelCredits].SlideInStep, 130);
    for (int Panel = 0; Panel < PanelCount; ++Panel)
        EXPECT_EQ(Panels[Panel].Sprite, 22 + Panel);
}

TEST(ScreensGeometry, WorkedValuesAt1024x576)
{
    ComputePanelGeometry(1024, 576);
    EXPECT_EQ(Panels[PanelMainMenu].Header, 42);
    EXPECT_EQ(Panels[PanelMainMenu].TitleFont, 14);
    EXPECT_EQ(Panels[PanelMainMenu].ItemFont, 28);
    EXPECT_EQ(Panels[PanelMainMenu].Width, 256);
    EXPECT_EQ(Panels[PanelMainMenu].Height, 256);
    EXPECT_EQ(Panels[PanelMainMenu].Gap, 20);
    EXPECT_EQ(Panels[PanelMainMenu].ScreenX, 384);
    EXPECT_EQ(Panels[PanelMainMenu].ScreenY, 288);
    EXPECT_EQ(Panels[PanelQuitQuestion].Width, 512);
    EXPECT_EQ(Panels[PanelQuitQuestion].Height, 170);
    EXPECT_EQ(Panels[PanelQuitQuestion].Gap, 3);
    EXPECT_EQ(Panels[PanelSettings].Width, 569); // 568.9 rounded
    EXPECT_EQ(Panels[PanelSettings].Height, 341);
    EXPECT_EQ(Panels[PanelSettings].ScreenY, 576 - 341 - 10);
    EXPECT_EQ(Panels[PanelCredits].Width, 512);
    EXPECT_EQ(Panels[PanelCredits].Height, 341);
    EXPECT_EQ(CreditsParagraphFont, 10);
}

TEST(ScreensGeometry, EverythingFollowsTheWidthNotTheHeight)
{
    // A very wide desktop (3440 x 1440, wider than 2:1): the panels are those
    // of the 16:9 screen of the same height, 2560 x 1440, centred on the
    // whole width: the main menu 640 x 640 from y 720 ends at 1360.
    ComputePanelGeometry(3440, 1440);
    EXPECT_EQ(Panels[PanelMainMenu].Width, 640);
    EXPECT_EQ(Panels[PanelMainMenu].Height, 640);
    EXPECT_EQ(Panels[PanelMainMenu].Header, 106);
    EXPECT_EQ(Panels[PanelMainMenu].ScreenX, 1720 - 320);
    EXPECT_EQ(Panels[PanelMainMenu].ScreenY, 720);
    EXPECT_EQ(Panels[PanelSettings].Width, 1422); // 2560 / 1.8 = 1422.2
    EXPECT_EQ(Panels[PanelSettings].Height, 853);
    EXPECT_EQ(Panels[PanelSettings].ScreenY, 1440 - 853 - 10);
    ComputePanelGeometry(1280, 1024);
    const PanelLayout Tall = Panels[PanelSettings];
    ComputePanelGeometry(1280, 720);
    EXPECT_EQ(Panels[PanelSettings].Width, Tall.Width);
    EXPECT_EQ(Panels[PanelSettings].Height, Tall.Height);
    EXPECT_EQ(Panels[PanelSettings].Gap, Tall.Gap);
    // Only the anchoring moves with the height.
    EXPECT_EQ(Tall.ScreenY - Panels[PanelSettings].ScreenY, 1024 - 720);
}

// Every panel, at its place on the title screen and centred over a level,
// lies wholly on the screen: wide desktops (21:9 and wider), the windowed
// sizes and the usual desktop shapes.
TEST(ScreensGeometry, EveryPanelLiesInsideTheScreen)
{
    const int Sizes[][2] = {{2560, 1080}, {3440, 1440}, {3840, 1600}, {5120, 2160}, {5120, 1440},
                            {2200, 1080}, {2160, 1080}, {2048, 1080}, {1024, 576},  {1280, 720},
                            {1366, 768},  {1600, 900},  {1920, 1080}, {3840, 2160}, {1920, 1200},
                            {1280, 1024}, {1024, 768},  {1600, 910},  {768, 1366}};
    for (const auto& Size : Sizes) {
        const int W = Size[0], H = Size[1];
        SCOPED_TRACE(std::to_string(W) + " x " + std::to_string(H));
        ComputePanelGeometry(W, H);
        for (int Panel = 0; Panel < PanelCount; ++Panel) {
            SCOPED_TRACE(Panel);
            const PanelLayout& P = Panels[Panel];
            if (Panel == PanelMainMenu || Panel == PanelQuitQuestion || Panel == PanelSettings ||
                Panel == PanelCredits) {
                EXPECT_GE(P.ScreenX, 0);
                EXPECT_LE(P.ScreenX + P.Width, W);
                EXPECT_GE(P.ScreenY, 0);
                EXPECT_LE(P.ScreenY + P.Height, H);
                // Centred across the screen, however wide.
                EXPECT_LE(std::abs((P.ScreenX + P.Width / 2) - W / 2), 1);
            }
            // Shown centred during a level.
            EXPECT_LE(P.Width, W);
            EXPECT_LE(P.Height, H);
        }
    }
}

TEST(ScreensGeometry, GeometryLeavesTheSlideCountersAlone)
{
    Panels[PanelMainMenu].SlideCounter = 3;
    Panels[PanelCredits].SlideCounter = 0;
    ComputePanelGeometry(1920, 1080);
    EXPECT_EQ(Panels[PanelMainMenu].SlideCounter, 3);
    EXPECT_EQ(Panels[PanelCredits].SlideCounter, 0);
    Panels[PanelMainMenu].SlideCounter = 5;
    Panels[PanelCredits].SlideCounter = 5;
}

// ---------------------------------------------------------------------------
// Text helpers
// ---------------------------------------------------------------------------

TEST(ScreensText, UpperCaseCoversTheLanguageNames)
{
    EXPECT_EQ(UpperCase("Français"), "FRANÇAIS");
    EXPECT_EQ(UpperCase("Español"), "ESPAÑOL");
    EXPECT_EQ(UpperCase("Deutsch"), "DEUTSCH");
    EXPECT_EQ(UpperCase("Italiano"), "ITALIANO");
    EXPECT_EQ(UpperCase("English (UK)"), "ENGLISH (UK)");
    EXPECT_EQ(UpperCase("äöüéèàâîôûëï"), "ÄÖÜÉÈÀÂÎÔÛËÏ");
    // Already capital, digits, signs: unchanged; the division sign has no capital.
    EXPECT_EQ(UpperCase("ÉTÉ 2024 ÷ ×"), "ÉTÉ 2024 ÷ ×");
    EXPECT_EQ(UpperCase(""), "");
    // A cut-off sequence at the end is passed through, not read past.
    EXPECT_EQ(UpperCase(std::string("ab\xC3", 3)), std::string("AB\xC3", 3));
    // Beyond Latin-1: the whole Unicode case table, not a list of our own.
    EXPECT_EQ(UpperCase("Čeština"), "ČEŠTINA");
    EXPECT_EQ(UpperCase("Łódź"), "ŁÓDŹ");
    EXPECT_EQ(UpperCase("Ελληνικά"), "ΕΛΛΗΝΙΚΆ");
    EXPECT_EQ(UpperCase("Русский"), "РУССКИЙ");
    EXPECT_EQ(UpperCase("Українська"), "УКРАЇНСЬКА");
    EXPECT_EQ(UpperCase("Magyar ő ű"), "MAGYAR Ő Ű");
    EXPECT_EQ(UpperCase("ÿ"), "Ÿ");
    // A letter with no single capital stays as it is.
    EXPECT_EQ(UpperCase("Straße"), "STRAßE");
    EXPECT_EQ(UpperCase("日本語"), "日本語");
    EXPECT_EQ(UpperCase(std::string("a\xFF"
                                    "b",
                                    3)),
              std::string("A\xFF"
                          "B",
                          3));
}

TEST(ScreensText, ReplaceAllReplacesEveryOccurrence)
{
    EXPECT_EQ(ReplaceAll("Level ### of ###", "###", "12"), "Level 12 of 12");
    EXPECT_EQ(ReplaceAll("Level solved", "###", "3"), "Level solved");
    EXPECT_EQ(ReplaceAll("####", "###", "7"), "7#");
    // A replacement that holds the pattern is not replaced again.
    EXPECT_EQ(ReplaceAll("a###b", "###", "###x"), "a###xb");
    EXPECT_EQ(ReplaceAll("abc", "", "z"), "abc");
}

// ---------------------------------------------------------------------------
// Rendered panels on a headless 1920 x 1080 screen
// ---------------------------------------------------------------------------

constexpr uint32_t Background = Rgba(74, 74, 74);
constexpr uint32_t Accent = Rgba(232, 106, 23);
constexpr uint32_t White = Rgba(255, 255, 255);
constexpr uint32_t Black = Rgba(0, 0, 0);

uint32_t Rgb(uint32_t Pixel)
{
    return Pixel | 0xFFu;
}

class PanelPictures : public ::testing::Test {
  protected:
    std::map<std::string, std::string> SavedTable;
    std::vector<LanguageListEntry> SavedLanguages;
    int SavedCurrent = -1;
    PendingSettingsRecord SavedPending;
    std::vector<uint32_t> Pixels;
    int Width = 0, Height = 0;

    void SetUp() override
    {
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(InitFont(), 1);
        ASSERT_EQ(OpenScreen(ModeWindowed, 1920, 1080, "Kistora"), 1);
        ScreenWidth = 1920;
        ScreenHeight = 1080;
        FillResolutionList();
        ComputePanelGeometry(1920, 1080);
        for (const PanelLayout& P : Panels)
            ASSERT_NE(CreateEmptySprite(P.Sprite, P.Width, P.Height), 0);
        SavedTable = TextTable;
        SavedLanguages = LanguageList;
        SavedCurrent = LanguageListCurrent;
        SavedPending = PendingSettings;
        TextTable = {
            {"tMenuSTART", "START"},
            {"tMenuSETTINGS", "SETTINGS"},
            {"tMenuCREDITS", "CREDITS"},
            {"tMenuQUIT", "QUIT"},
            {"tQuitQUESTION", "REALLY QUIT?"},
            {"tQuitYES", "YES"},
            {"tQuitNO", "NO"},
            {"tSettingsTITLE", "SETTINGS"},
            {"tSettingsLANGUAGE", "LANGUAGE"},
            {"tSettingsMUSIC", "MUSIC"},
            {"tSettingsON", "ON"},
            {"tSettingsOFF", "OFF"},
            {"tSettingsSCREENMODE", "MODE"},
            {"tSettingsFULLSCREEN", "FULL"},
            {"TSettingsWINDOWED", "WINDOW"},
            {"tSettingsBORDERLESS", "BORDERLESS"},
            {"tSettingsRESOLUTION", "SIZE"},
            {"tSettingsOK", "OK"},
            {"tSettingsCANCEL", "CANCEL"},
            {"tCompleteTITLE", "LEVEL ###"},
            {"tCompleteTIME", "TIME"},
            {"tCompleteSTEPS", "STEPS"},
            {"tCompleteRETRY", "RETRY"},
            {"tCompleteMENU", "MENU"},
            {"tCompleteNEXT", "NEXT"},
            {"tCreditsTITLE", "CREDITS"},
            {"tCreditsCODEDESIGN", "CODE"},
            {"tCreditsMUSIC", "MUSIC"},
            {"tCreditsGFX", "GRAPHICS"},
            {"tCreditsCRATE", "CRATE"},
            {"tGcCONGRATULATIONS", "WELL DONE"},
            {"tGcGAMECOMPLETE", "ALL SOLVED"},
        };
        LanguageList = {{"en_GB", "English"}, {"fr_FR", "Français"}};
        LanguageListCurrent = 0;
        PendingSettings = {"en_GB", 1, ModeBorderless, 4};
    }
    void TearDown() override
    {
        CloseScreen();
        TextTable = SavedTable;
        LanguageList = SavedLanguages;
        LanguageListCurrent = SavedCurrent;
        PendingSettings = SavedPending;
    }

    // Shows the panel's sprite alone at the top-left of a black screen and reads it back.
    void Capture(int Panel)
    {
        int Clear = CreateEmptySprite(0, 1920, 1080);
        FillSprite(Clear, Black);
        ShowSprite(Clear, 0, 0);
        FreeSprite(Clear);
        ShowSprite(Panels[Panel].Sprite, 0, 0);
        ASSERT_EQ(ReadBackBuffer(Pixels, &Width, &Height), 1);
    }
    uint32_t At(int X, int Y) const
    {
        return Rgb(Pixels[size_t(Y) * size_t(Width) + size_t(X)]);
    }
    int Count(int X0, int Y0, int X1, int Y1, uint32_t Colour) const
    {
        int N = 0;
        for (int Y = Y0; Y < Y1; ++Y)
            for (int X = X0; X < X1; ++X)
                N += At(X, Y) == Colour;
        return N;
    }
    // Leftmost and rightmost column in the band that differs from the body colour.
    void InkColumns(int X0, int Y0, int X1, int Y1, int* Left, int* Right) const
    {
        *Left = X1;
        *Right = X0 - 1;
        for (int Y = Y0; Y < Y1; ++Y)
            for (int X = X0; X < X1; ++X)
                if (At(X, Y) != Background) {
                    *Left = std::min(*Left, X);
                    *Right = std::max(*Right, X);
                }
    }
    // The band of row slot k at 1920 x 1080, from its top for one item and one
    // gap, worked out by hand: header 80 and items 52 in every panel. Four
    // slots in the 480-high menus: gap (400 - 4 x 52) / 5 = 38, tops 80 + 38 =
    // 118, then 90 apart. Six slots in the 640-high panels: gap (560 - 6 x 52)
    // / 7 = 35, tops 115, then 87 apart.
    static int FourSlots(int Panel)
    {
        return Panel == PanelMainMenu || Panel == PanelInGameMenu;
    }
    int BandTop(int Panel, int Slot) const
    {
        return FourSlots(Panel) ? 118 + (Slot - 1) * 90 : 115 + (Slot - 1) * 87;
    }
    int BandBottom(int Panel, int Slot) const
    {
        const int PanelHeight = FourSlots(Panel) ? 480 : 640;
        return std::min(PanelHeight, BandTop(Panel, Slot) + (FourSlots(Panel) ? 90 : 87));
    }
};

TEST_F(PanelPictures, MainMenuHeaderBodyAndHighlight)
{
    RenderMainMenu(2);
    Capture(PanelMainMenu);
    const PanelLayout& P = Panels[PanelMainMenu];
    // Header bar across the top, body below, nothing outside the panel.
    EXPECT_EQ(At(2, 2), Accent);
    EXPECT_EQ(At(P.Width - 3, P.Header - 1), Accent);
    EXPECT_EQ(At(2, P.Header), Background);
    EXPECT_EQ(At(P.Width - 1, P.Height - 1), Background);
    EXPECT_EQ(At(P.Width, 10), Black);
    EXPECT_EQ(At(10, P.Height), Black);
    // The title "KISTORA" in white inside the header bar.
    EXPECT_GT(Count(0, 0, P.Width, P.Header, White), 20);
    for (int Item = 1; Item <= 4; ++Item) {
        SCOPED_TRACE(Item);
        int Top = BandTop(PanelMainMenu, Item), Bottom = BandBottom(PanelMainMenu, Item);
        int Lit = Count(0, Top, P.Width, Bottom, Accent);
        int Plain = Count(0, Top, P.Width, Bottom, White);
        if (Item == 2) {
            EXPECT_GT(Lit, 50);
            EXPECT_EQ(Plain, 0);
        } else {
            EXPECT_EQ(Lit, 0);
            EXPECT_GT(Plain, 50);
        }
        // Every item is centred.
        int Left = 0, Right = 0;
        InkColumns(0, Top, P.Width, Bottom, &Left, &Right);
        ASSERT_LT(Left, Right);
        EXPECT_NEAR((Left + Right) / 2.0, P.Width / 2.0, 4.0);
    }
    // Nothing is drawn in the gap above the first row.
    EXPECT_EQ(Count(0, P.Header, P.Width, P.Header + P.Gap - 4, White), 0);
}

TEST_F(PanelPictures, InGameMenuHighlightsTheGivenItem)
{
    const PanelLayout& P = Panels[PanelInGameMenu];
    TextTable["tInGameRESUME"] = "RESUME";
    TextTable["tInGameRESTART"] = "RESTART";
    TextTable["tInGameSETTINGS"] = "SETTINGS";
    TextTable["tInGameQUIT"] = "QUIT";
    RenderInGameMenu(4);
    Capture(PanelInGameMenu);
    EXPECT_GT(Count(0, BandTop(PanelInGameMenu, 4), P.Width, P.Height, Accent), 50);
    EXPECT_EQ(Count(0, P.Header, P.Width, BandBottom(PanelInGameMenu, 3), Accent), 0);
}

TEST_F(PanelPictures, QuitAnswersSitLeftAndRight)
{
    const PanelLayout& P = Panels[PanelQuitQuestion];
    // Header 80, gap (320 - 80 - 4 x 52) / 5 = 6: the answers at 80 + 18 + 156.
    const int Y = 254;
    ASSERT_LT(Y, P.Height);
    for (int Selection : {1, 2}) {
        SCOPED_TRACE(Selection);
        RenderQuitQuestion(Selection);
        Capture(PanelQuitQuestion);
        int LeftLit = Count(0, Y, P.Width / 2, P.Height, Accent);
        int RightLit = Count(P.Width / 2, Y, P.Width, P.Height, Accent);
        int LeftWhite = Count(0, Y, P.Width / 2, P.Height, White);
        int RightWhite = Count(P.Width / 2, Y, P.Width, P.Height, White);
        if (Selection == 1) {
            EXPECT_GT(LeftLit, 30);
            EXPECT_EQ(RightLit, 0);
            EXPECT_GT(RightWhite, 30);
        } else {
            EXPECT_EQ(LeftLit, 0);
            EXPECT_GT(RightLit, 30);
            EXPECT_GT(LeftWhite, 30);
        }
        // "YES" starts at x = 10, "NO" ends 10 pixels before the right edge.
        int Left = 0, Right = 0;
        InkColumns(0, Y, P.Width, P.Height, &Left, &Right);
        EXPECT_GE(Left, 10);
        EXPECT_LE(Left, 16);
        EXPECT_LE(Right, P.Width - 10);
        EXPECT_GE(Right, P.Width - 16);
        // The question is white text above the answers, centred.
        EXPECT_GT(Count(0, P.Header, P.Width, Y, White), 50);
        InkColumns(0, P.Header, P.Width, Y, &Left, &Right);
        EXPECT_NEAR((Left + Right) / 2.0, P.Width / 2.0, 4.0);
    }
}

TEST_F(PanelPictures, SettingsResolutionRowIsGreyUnlessWindowed)
{
    const PanelLayout& P = Panels[PanelSettings];
    const int Top4 = BandTop(PanelSettings, 4), Bottom4 = BandBottom(PanelSettings, 4);
    RenderSettings(1, ModeBorderless);
    Capture(PanelSettings);
    // Something is written in row 4, but neither in white nor in the highlight.
    int Left = 0, Right = 0;
    InkColumns(0, Top4, P.Width, Bottom4, &Left, &Right);
    EXPECT_LT(Left, Right);
    EXPECT_EQ(Count(0, Top4, P.Width, Bottom4, White), 0);
    EXPECT_EQ(Count(0, Top4, P.Width, Bottom4, Accent), 0);
    // Row 1 is the highlighted one.
    EXPECT_GT(Count(0, BandTop(PanelSettings, 1), P.Width, BandBottom(PanelSettings, 1), Accent), 50);

    PendingSettings.GameScreen = ModeWindowed;
    RenderSettings(4, ModeWindowed);
    Capture(PanelSettings);
    EXPECT_GT(Count(0, Top4, P.Width, Bottom4, Accent), 50);
    RenderSettings(3, ModeWindowed);
    Capture(PanelSettings);
    EXPECT_GT(Count(0, Top4, P.Width, Bottom4, White), 50);
    EXPECT_EQ(Count(0, Top4, P.Width, Bottom4, Accent), 0);
}

TEST_F(PanelPictures, SettingsLabelsLeftValuesRightOkAndCancelApart)
{
    const PanelLayout& P = Panels[PanelSettings];
    for (int Row = 1; Row <= 6; ++Row) {
        SCOPED_TRACE(Row);
        RenderSettings(Row, ModeWindowed);
        Capture(PanelSettings);
        for (int Slot = 1; Slot <= 4; ++Slot) {
            int Left = 0, Right = 0;
            InkColumns(0, BandTop(PanelSettings, Slot), P.Width, BandBottom(PanelSettings, Slot), &Left, &Right);
            EXPECT_GE(Left, 10);
            EXPECT_LE(Left, 16);
            EXPECT_LE(Right, P.Width - 10);
            EXPECT_GE(Right, P.Width - 16);
            // Label and value share one colour: lit together or not at all.
            int Lit = Count(0, BandTop(PanelSettings, Slot), P.Width, BandBottom(PanelSettings, Slot), Accent);
            if (Slot == Row)
                EXPECT_GT(Lit, 50);
            else
                EXPECT_EQ(Lit, 0);
        }
        // Slot 5 stays empty; slot 6 holds OK (row 5) on the left, cancel (row 6) on the right.
        EXPECT_EQ(Count(0, BandTop(PanelSettings, 5), P.Width, BandBottom(PanelSettings, 5), White), 0);
        int Top6 = BandTop(PanelSettings, 6);
        int OkLit = Count(0, Top6, P.Width / 2, P.Height, Accent);
        int CancelLit = Count(P.Width / 2, Top6, P.Width, P.Height, Accent);
        EXPECT_EQ(OkLit > 0, Row == 5);
        EXPECT_EQ(CancelLit > 0, Row == 6);
    }
}

TEST_F(PanelPictures, SettingsShowTheLanguageInCapitals)
{
    const PanelLayout& P = Panels[PanelSettings];
    const int Top = BandTop(PanelSettings, 1), Bottom = BandBottom(PanelSettings, 1);
    LanguageListCurrent = 1;
    RenderSettings(2, ModeWindowed);
    Capture(PanelSettings);
    int CapsLeft = 0, CapsRight = 0;
    InkColumns(P.Width / 2, Top, P.Width, Bottom, &CapsLeft, &CapsRight);
    // The same row with the name already in capitals gives the same picture.
    LanguageList[1].Name = "FRANÇAIS";
    RenderSettings(2, ModeWindowed);
    std::vector<uint32_t> First = Pixels;
    Capture(PanelSettings);
    int Left = 0, Right = 0;
    InkColumns(P.Width / 2, Top, P.Width, Bottom, &Left, &Right);
    EXPECT_EQ(Left, CapsLeft);
    EXPECT_EQ(Right, CapsRight);
    EXPECT_EQ(First, Pixels);
}

TEST_F(PanelPictures, LevelCompleteButtonsAcrossTheBottomRow)
{
    const PanelLayout& P = Panels[PanelLevelComplete];
    const int Top6 = BandTop(PanelLevelComplete, 6);
    for (int Selection = 1; Selection <= 3; ++Selection) {
        SCOPED_TRACE(Selection);
        RenderLevelComplete(Selection);
        Capture(PanelLevelComplete);
        int Thirds[3];
        for (int T = 0; T < 3; ++T)
            Thirds[T] = Count(T * P.Width / 3, Top6, (T + 1) * P.Width / 3, P.Height, Accent);
        for (int T = 0; T < 3; ++T)
            EXPECT_EQ(Thirds[T] > 0, T == Selection - 1);
        // Time and steps rows are white, never highlighted.
        EXPECT_EQ(Count(0, P.Header, P.Width, Top6, Accent), 0);
        EXPECT_GT(Count(0, BandTop(PanelLevelComplete, 1), P.Width, BandBottom(PanelLevelComplete, 2), White), 50);
        // Slots 3 to 5 are empty.
        EXPECT_EQ(Count(0, BandTop(PanelLevelComplete, 3), P.Width, Top6, White), 0);
    }
}

TEST_F(PanelPictures, GameCompleteAndCreditsHaveOneLitCentredButton)
{
    for (int Panel : {PanelGameComplete, PanelCredits}) {
        SCOPED_TRACE(Panel);
        const PanelLayout& P = Panels[Panel];
        if (Panel == PanelGameComplete)
            RenderGameComplete();
        else
            RenderCredits();
        Capture(Panel);
        const int Top6 = BandTop(Panel, 6);
        EXPECT_GT(Count(0, Top6, P.Width, P.Height, Accent), 20);
        EXPECT_EQ(Count(0, P.Header, P.Width, Top6 - 4, Accent), 0);
        // The paragraph is white text in the body, centred.
        EXPECT_GT(Count(0, P.Header, P.Width, Top6, White), 50);
        int Left = 0, Right = 0;
        InkColumns(0, P.Header + 1, P.Width, Top6 - 4, &Left, &Right);
        EXPECT_NEAR((Left + Right) / 2.0, P.Width / 2.0, 6.0);
    }
}

TEST_F(PanelPictures, CreditsListSeventeenLinesEvenWithoutHeadings)
{
    const PanelLayout& P = Panels[PanelCredits];
    // The first row of every text line of the paragraph (runs of rows holding ink).
    auto LineStarts = [&]() {
        std::vector<int> Starts;
        int InLine = 0;
        for (int Y = P.Header + P.Gap; Y < BandTop(PanelCredits, 6); ++Y) {
            int Ink = 0;
            for (int X = 0; X < P.Width && !Ink; ++X)
                Ink = At(X, Y) != Background;
            if (Ink && !InLine)
                Starts.push_back(Y);
            InLine = Ink;
        }
        return Starts;
    };
    RenderCredits();
    Capture(PanelCredits);
    std::vector<int> With = LineStarts();
    // 17 lines of which 4 are empty.
    ASSERT_EQ(With.size(), 13u);
    for (const char* Key : {"tCreditsCODEDESIGN", "tCreditsMUSIC", "tCreditsGFX", "tCreditsCRATE"})
        TextTable.erase(Key);
    RenderCredits();
    Capture(PanelCredits);
    std::vector<int> Without = LineStarts();
    // The four headings (lines 2, 10, 13, 16) are gone; the others stay where they were.
    std::vector<int> Kept;
    for (size_t I = 0; I < With.size(); ++I)
        if (I != 1 && I != 7 && I != 9 && I != 11)
            Kept.push_back(With[I]);
    ASSERT_EQ(Without.size(), Kept.size());
    for (size_t I = 0; I < Kept.size(); ++I)
        EXPECT_NEAR(Without[I], Kept[I], 3) << "line " << I;
}

TEST_F(PanelPictures, TitlePanelsSlideInOverSixFramesThenStay)
{
    const PanelLayout& P = Panels[PanelMainMenu];
    RenderMainMenu(1);
    Panels[PanelMainMenu].SlideCounter = 5;
    std::vector<int> Tops;
    for (int Frame = 0; Frame < 8; ++Frame) {
        int Clear = CreateEmptySprite(0, 1920, 1080);
        FillSprite(Clear, Black);
        ShowSprite(Clear, 0, 0);
        FreeSprite(Clear);
        ShowPanelOnTitle(PanelMainMenu);
        AdvancePanelSlideIn(PanelMainMenu);
        ASSERT_EQ(ReadBackBuffer(Pixels, &Width, &Height), 1);
        int Top = -1;
        for (int Y = 0; Y < Height && Top < 0; ++Y)
            if (At(P.ScreenX + 2, Y) == Accent)
                Top = Y;
        Tops.push_back(Top);
    }
    // 540 + 108 x counter: the first frame is just off the bottom edge.
    EXPECT_EQ(Tops, (std::vector<int>{-1, 972, 864, 756, 648, 540, 540, 540}));
    EXPECT_EQ(Panels[PanelMainMenu].SlideCounter, 0);
    // And it stands centred horizontally.
    EXPECT_EQ(At(P.ScreenX, 545), Accent);
    EXPECT_NE(At(P.ScreenX - 1, 545), Accent);
    EXPECT_EQ(At(P.ScreenX + P.Width - 1, 545), Accent);
    EXPECT_NE(At(P.ScreenX + P.Width, 545), Accent);
    Panels[PanelMainMenu].SlideCounter = 5;
}

TEST_F(PanelPictures, PanelsDuringALevelStandCentred)
{
    RenderSettings(1, ModeBorderless);
    int Clear = CreateEmptySprite(0, 1920, 1080);
    FillSprite(Clear, Black);
    ShowSprite(Clear, 0, 0);
    FreeSprite(Clear);
    int Counter = Panels[PanelSettings].SlideCounter = 4;
    ShowPanelCentred(PanelSettings);
    ASSERT_EQ(ReadBackBuffer(Pixels, &Width, &Height), 1);
    const PanelLayout& P = Panels[PanelSettings];
    const int X = 960 - P.Width / 2, Y = 540 - P.Height / 2;
    EXPECT_EQ(At(X, Y), Accent);
    EXPECT_EQ(At(X + P.Width - 1, Y + P.Height - 1), Background);
    EXPECT_EQ(At(X - 1, Y), Black);
    EXPECT_EQ(At(X, Y - 1), Black);
    // No slide during a level: the counter is not used up.
    EXPECT_EQ(Panels[PanelSettings].SlideCounter, Counter);
    Panels[PanelSettings].SlideCounter = 5;
}

// A question long enough for two lines keeps the second line's descenders:
// the box places the paragraph, it does not cut its glyphs. The box is 940
// wide from y 86 and 2 x 52 + 6 = 110 high, so it ends at 196; the answers
// start at 254.
TEST_F(PanelPictures, ATwoLineQuitQuestionIsNotCutAtItsBox)
{
    const PanelLayout& P = Panels[PanelQuitQuestion];
    const std::string Question = "Do you really want to quit? Your progress in this puzzle is gone.";
    double Wide = 0, High = 0;
    MeasureText(Question, 52, &Wide, &High);
    ASSERT_GT(Wide, 940.0);  // more than one line ...
    ASSERT_LT(Wide, 1700.0); // ... and well under two
    TextTable["tQuitQUESTION"] = Question;
    RenderQuitQuestion(1);
    Capture(PanelQuitQuestion);
    // Two lines: ink near the top of the box and ink in the second line.
    EXPECT_GT(Count(0, 86, P.Width, 86 + 30, White), 50);
    EXPECT_GT(Count(0, 150, P.Width, 190, White), 50);
    // The descenders of the second line (g, p, y) reach below the box.
    EXPECT_GT(Count(0, 196, P.Width, 254, White), 10) << "the second line is cut at the box";
    // And nothing of the question comes near the answers' row.
    EXPECT_EQ(Count(0, 220, P.Width, 254, White), 0);
}

// The title of the level-complete panel writes the level's number (its place
// in the list counted from 1), not its 0-based index.
TEST_F(PanelPictures, LevelCompleteTitleNamesTheLevelNumber)
{
    const PanelLayout& P = Panels[PanelLevelComplete];
    std::vector<LevelProgress> SavedProgress = ProgressList;
    const int SavedSelected = SelectedLevelIndex;
    auto Header = [&]() {
        Capture(PanelLevelComplete);
        std::vector<uint32_t> Band;
        for (int Y = 0; Y < P.Header; ++Y)
            for (int X = 0; X < P.Width; ++X)
                Band.push_back(At(X, Y));
        return Band;
    };
    ProgressList.assign(12, LevelProgress{"x", "", 1, 0, 0, 0});
    SelectedLevelIndex = 6; // the seventh level
    TextTable["tCompleteTITLE"] = "LEVEL ### DONE";
    RenderLevelComplete(3);
    const std::vector<uint32_t> WithNumber = Header();
    TextTable["tCompleteTITLE"] = "LEVEL 7 DONE";
    RenderLevelComplete(3);
    EXPECT_TRUE(Header() == WithNumber) << "\"###\" is not the level's number 7";
    TextTable["tCompleteTITLE"] = "LEVEL 6 DONE";
    RenderLevelComplete(3);
    EXPECT_FALSE(Header() == WithNumber);
    ProgressList = SavedProgress;
    SelectedLevelIndex = SavedSelected;
}

} // namespace
