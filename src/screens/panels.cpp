// Panel geometry and the common rendering steps of every panel.
#include "screens/screens.h"
#include "screens/screens_local.h"
#include "display/display.h"
#include "platform/platform.h"

PanelLayout Panels[PanelCount];
int CreditsParagraphFont = 0;

const uint32_t ColourWhite = Rgba(255, 255, 255, 255);
const uint32_t ColourDisabled = Rgba(95, 95, 95, 95);

static void SetPanelSize(int Panel, int Width, int Height, int Slots)
{
    PanelLayout& P = Panels[Panel];
    P.Width = Width;
    P.Height = Height;
    P.RowSlots = Slots;
    P.Body = P.Height - P.Header;
    P.Gap = (P.Body - Slots * P.ItemFont) / (Slots + 1);
    P.Sprite = SpritePanelFirst + Panel;
}

void ComputePanelGeometry(int Width, int Height)
{
    // Sizes follow the layout width (the screen's, or its 16:9 part on a
    // screen wider than 2:1); positions centre the panels on the whole screen.
    const int LayoutW = MenuLayoutWidth(Width, Height);
    int Header = (LayoutW / 4) / 6;
    for (PanelLayout& P : Panels) {
        P.Header = Header;
        P.TitleFont = Header / 3;
        P.ItemFont = 2 * P.TitleFont;
    }
    CreditsParagraphFont = Header / 4;
    SetPanelSize(PanelMainMenu, LayoutW / 4, LayoutW / 4, 4);
    SetPanelSize(PanelInGameMenu, LayoutW / 4, LayoutW / 4, 4);
    SetPanelSize(PanelQuitQuestion, LayoutW / 2, LayoutW / 6, 4);
    SetPanelSize(PanelSettings, int(double(LayoutW) / 1.8 + 0.5), LayoutW / 3, 6);
    SetPanelSize(PanelLevelComplete, LayoutW / 2, LayoutW / 3, 6);
    SetPanelSize(PanelGameComplete, LayoutW / 2, LayoutW / 3, 6);
    SetPanelSize(PanelCredits, LayoutW / 2, LayoutW / 3, 6);

    // Where the four sliding panels stand on the title screen.
    for (int Panel : {PanelMainMenu, PanelQuitQuestion})
        Panels[Panel].ScreenY = Height / 2;
    for (int Panel : {PanelSettings, PanelCredits})
        Panels[Panel].ScreenY = Height - Panels[Panel].Height - 10;
    for (PanelLayout& P : Panels) {
        P.ScreenX = Width / 2 - P.Width / 2;
        P.SlideInStep = (Height - P.ScreenY) / 5;
    }
}

void ComputePanelLayouts()
{
    ComputePanelGeometry(ScreenWidth, ScreenHeight);
    for (const PanelLayout& P : Panels)
        CreateEmptySprite(P.Sprite, P.Width, P.Height);
}

int PanelRowTop(int Panel, int Slot)
{
    const PanelLayout& P = Panels[Panel];
    return P.Header + Slot * P.Gap + (Slot - 1) * P.ItemFont;
}

void ShowPanelOnTitle(int Panel)
{
    const PanelLayout& P = Panels[Panel];
    ShowSprite(P.Sprite, P.ScreenX, P.ScreenY + P.SlideInStep * P.SlideCounter);
}

void StartPanelSlideIn(int Panel)
{
    Panels[Panel].SlideCounter = PanelSlideInSteps;
}

void AdvancePanelSlideIn(int Panel)
{
    PanelLayout& P = Panels[Panel];
    if (P.SlideCounter > 0)
        --P.SlideCounter;
}

void ShowPanelCentred(int Panel)
{
    const PanelLayout& P = Panels[Panel];
    ShowSprite(P.Sprite, ScreenWidth / 2 - P.Width / 2, ScreenHeight / 2 - P.Height / 2);
}

// ---------------------------------------------------------------------------
// Shared rendering steps
// ---------------------------------------------------------------------------

int BeginPanel(int Panel, const std::string& Title)
{
    const PanelLayout& P = Panels[Panel];
    int Image = CreateImage(P.Width, P.Height, ColourPanelBackground);
    if (!Image)
        return 0;
    FillImageRect(Image, 0, 0, P.Width, P.Header, ColourAccent);
    double TW = 0, TH = 0;
    MeasureText(Title, P.TitleFont, &TW, &TH);
    DrawText(Image, Title, P.Width / 2.0 - TW / 2.0, P.Header / 2.0 - TH / 2.0, P.TitleFont, ColourWhite);
    return Image;
}

void PanelItem(int Panel, int Image, const std::string& Text, int Placement, double Y, uint32_t Colour)
{
    const PanelLayout& P = Panels[Panel];
    double TW = 0, TH = 0;
    MeasureText(Text, P.ItemFont, &TW, &TH);
    double X = 10;
    if (Placement == PlaceCentre)
        X = P.Width / 2.0 - TW / 2.0;
    else if (Placement == PlaceRight)
        X = P.Width - TW - 10;
    DrawText(Image, Text, X, Y, P.ItemFont, Colour);
}

void FinishPanel(int Panel, int Image)
{
    if (SpriteExists(Panels[Panel].Sprite))
        CopyImageToSprite(Panels[Panel].Sprite, Image);
    FreeImage(Image);
}

uint32_t ItemColour(int Item, int Selection)
{
    return Item == Selection ? ColourAccent : ColourWhite;
}

std::string UpperCase(const std::string& Utf8)
{
    return UpperCaseText(Utf8);
}

std::string ReplaceAll(std::string Text, const std::string& What, const std::string& With)
{
    if (What.empty())
        return Text;
    for (size_t At = Text.find(What); At != std::string::npos; At = Text.find(What, At + With.size()))
        Text.replace(At, What.size(), With);
    return Text;
}
