// Screen modes, the resolution list and aspect classes.
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstdio>

std::vector<std::string> ResolutionList;
int ScreenWidth = 0;
int ScreenHeight = 0;
int ScreenAspectClass = 0;
int ScreenOpenResult = 0;

// The built-in table: the count, then the entries, all 16:9.
static const char* const BuiltInResolutions[] = {
    "10",        "1024x576",  "1280x720",  "1366x768",  "1600x900",  "1920x1080",
    "2048x1152", "2560x1440", "2880x1620", "3200x1800", "3840x2160",
};

void FillResolutionList()
{
    ResolutionList.clear();
    int Count = int(ParseNumber(BuiltInResolutions[0]));
    for (int I = 1; I <= Count; ++I)
        ResolutionList.push_back(BuiltInResolutions[I]);
}

int AspectClass(int Width, int Height)
{
    if (Width <= 0 || Height <= 0)
        return AspectOther;
    char Ratio[32];
    std::snprintf(Ratio, sizeof Ratio, "%.2f", double(Width) / double(Height));
    const std::string R = Ratio;
    if (R == "1.50")
        return Aspect3x2;
    if (R == "1.33")
        return Aspect4x3;
    if (R == "1.25")
        return Aspect5x4;
    if (R == "1.77" || R == "1.78")
        return Aspect16x9;
    if (R == "1.60")
        return Aspect16x10;
    if (R == "1.89" || R == "1.90")
        return Aspect17x9;
    if (R == "2.37" || R == "2.38" || R == "2.39")
        return Aspect21x9;
    return AspectOther;
}

int ParseResolution(const std::string& Entry, int* Width, int* Height)
{
    *Width = 0;
    *Height = 0;
    size_t X = Entry.find('x');
    if (X == std::string::npos)
        return 0;
    *Width = int(ParseNumber(Entry.substr(0, X)));
    *Height = int(ParseNumber(Entry.substr(X + 1)));
    return *Width > 0 && *Height > 0;
}

void ChooseScreenSize()
{
    int W = 0, H = 0;
    DesktopSize(0, &W, &H);
    ScreenWidth = W;
    ScreenHeight = H;
    if (GameScreen == ModeWindowed && !ResolutionList.empty()) {
        // A preferences file may hold any number: keep the index inside the list.
        if (Resolution < 0)
            Resolution = 0;
        if (Resolution >= int(ResolutionList.size()))
            Resolution = int(ResolutionList.size()) - 1;
        ParseResolution(ResolutionList[Resolution], &ScreenWidth, &ScreenHeight);
    }
}

int ResolutionFitsDesktop(int Index)
{
    if (Index < 0 || Index >= int(ResolutionList.size()))
        return 0;
    int W = 0, H = 0, DesktopW = 0, DesktopH = 0;
    if (!ParseResolution(ResolutionList[size_t(Index)], &W, &H))
        return 0;
    // A desktop that cannot be measured takes every size, as before.
    if (!DesktopSize(0, &DesktopW, &DesktopH) || DesktopW <= 0 || DesktopH <= 0)
        return 1;
    return W <= DesktopW && H <= DesktopH;
}

void FitResolutionToDesktop()
{
    if (ResolutionList.empty())
        return;
    if (Resolution < 0)
        Resolution = 0;
    if (Resolution >= int(ResolutionList.size()))
        Resolution = int(ResolutionList.size()) - 1;
    if (ResolutionFitsDesktop(Resolution))
        return;
    // The list grows: the largest size that fits lies below the stored one.
    while (Resolution > 0 && !ResolutionFitsDesktop(Resolution))
        --Resolution;
}

int MenuLayoutWidth(int Width, int Height)
{
    if (Height > 0 && Width > 2 * Height)
        return Height * 16 / 9;
    return Width;
}

const char* ScreenModeName(int Mode)
{
    switch (Mode) {
    case ModeFullScreen: return "Fullscreen";
    case ModeWindowed: return "Windowed";
    case ModeBorderless: return "Borderless";
    default: return "";
    }
}

void OpenGameScreen()
{
    ScreenOpenResult = 0;
    if (GameScreen < 0 || GameScreen > 2)
        return;
    std::string Label = std::string("Opening screen (") + ScreenModeName(GameScreen) + "):";
    ScreenOpenResult = OpenScreen(GameScreen, ScreenWidth, ScreenHeight, ProductTitle);
    if (!ScreenOpenResult) {
        LogValue(Label, "FAILED");
        return;
    }
    LogValue(Label, "OK");
    LogValue("Screenwidth:", int64_t(ScreenWidth));
    LogValue("Screenheight:", int64_t(ScreenHeight));
    if (GameScreen != ModeWindowed)
        ShowMouseCursor(0);
}
