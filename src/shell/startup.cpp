// Start-up in its fixed order, the start-up report and the fatal error box.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

static const char* const UserSubPath = "brindlewood game studio/Kistora";

static std::string LanguageSource()
{
    return GameDir + "Kistora.languages";
}

void ShowFatalError(const std::string& Key, const std::string& Suffix)
{
    ShowMessageBox("Kistora::" + Text("tErrorERROR"), Text(Key) + Suffix);
    FatalExit(1);
}

static void StartService(const char* Label, int Ok, const char* Name)
{
    LogValue(Label, Ok ? "OK" : "FAILED");
    if (!Ok)
        ShowFatalError("tErrorSUBSYSTEM", std::string("  : ") + Name); // two blanks before the colon, as always
}

// The window icon from the asset archive, kept by the platform for every
// window it opens. An archive without one leaves the system's icon.
static void LoadWindowIcon()
{
    static constexpr size_t IconBufferLimit = 65536; // a 64 x 64 PNG is about 5 KiB
    int Archive = OpenArchive(GameDir + "Kistora.data");
    if (Archive == 0)
        return;
    std::vector<uint8_t> Bytes(IconBufferLimit);
    int64_t Size = ExtractEntry(Archive, "icon.png", Bytes.data(), Bytes.size());
    CloseArchive(Archive);
    int Image = Size > 0 ? LoadImagePng(Bytes.data(), size_t(Size)) : 0;
    SetWindowIcon(Image);
    FreeImage(Image);
}

static void SetStartValues()
{
    SetSettingsStartValues();
    PendingSettings = {Language, Music, GameScreen, Resolution};
    FillResolutionList();
    ColourPanelBackground = Rgba(74, 74, 74);
    ColourAccent = Rgba(232, 106, 23);
    ColourAccentDark = Rgba(166, 74, 15);
    ColourGrey = Rgba(86, 86, 86);
}

// Writes "[INITIAL SETTINGS]" after its first line, then the language section.
static void SettleLanguage()
{
    static const char* const ModeNames[] = {"Fullscreen", "Windowed", "Borderless"};
    if (GameScreen >= 0 && GameScreen <= 2)
        LogValue("GameScreen:", ModeNames[GameScreen]);
    LogValue("Music:", Music != 0 ? "On" : "Off");
    LogValue("ScreenMode:", int64_t(Resolution));

    ScanLanguages(LanguageSource());
    LogLine("");
    LogLine("[AVAILABLE LANGUAGES]");
    for (const auto& Entry : languagesByName)
        LogValue("Language:", Entry.second.Name);
    LogLine("");
    LogLine("[STARTING GAME]");
    Language = SettledLanguage(Language);
    int Loaded = LoadLanguage(LanguageSource(), Language);
    LogValue("Load language (" + Language + "):", Loaded ? "OK" : "FAILED");
    SelectLanguageEntry(Language);
}

// From the time stamp (the line after "Kistora") to the "Language:" line of
// [INITIAL SETTINGS]; start-up writes the rest of that section itself.
void LogStartupReport()
{
    LogLine(LogTimeStamp);
    LogLine("");
    LogLine("[SYSTEM DETAILS]");
    LogValue("CPU Name:", CpuName());
    LogValue("Total CPU cores:", int64_t(CpuCoresTotal()));
    LogValue("Available CPU cores:", int64_t(CpuCoresAvailable()));
    LogValue("Total physical memory:", PhysicalMemoryBytes());
    LogValue("Free physical memory:", FreeMemoryBytes());
    LogValue("Number of desktops:", int64_t(DesktopCount()));
    LogValue("Operating system:", int64_t(OperatingSystemCode()));
    LogLine("");
    LogLine("[GAME DETAILS]");
    LogValue("Title:", "Kistora");
    LogValue("Family:", "Orbel Games");
    LogValue("Version:", GameVersion);
    // A display text, not a path: the backslash stays on every system.
    LogValue("Directory:", "brindlewood game studio\\Kistora");
    LogValue("Bit:", "(x86)"); // the same text on every build, 64-bit ones too
    LogLine("");
    LogLine("[CODE SUBSYSTEMS]");
    LogValue("Language:", LanguageModuleVersion);
    LogValue("Log:", LogModuleVersion);
    LogLine("");
    LogLine("[PATHS]");
    LogValue("GameDir:", GameDir);
    LogValue("UserDir:", UserDir);
    LogValue("SaveTo:", SaveTo);
    LogLine("");
    LogLine("[INITIAL SETTINGS]");
    LogValue("Language:", Language);
}

void GameStartUp(int ArgCount, char** Args)
{
    // 1. Services, containers, start values.
    if (!PlatformInit())
        ShowFatalError("tErrorSUBSYSTEM", "  : Sprite");
    SetStartValues();
    InitFont();

    // 2. Folders.
    GameDir = Overrides.GameDir.empty() ? FindGameDir(ExecutableFolder()) : Overrides.GameDir;
    UserDir = Overrides.UserDir.empty() ? ResolveUserDir(UserSubPath) : Overrides.UserDir;
    SaveTo = GameDir;

    // 3-4. Preferences: beside the game first, else in the user folder.
    PreferencesFoundInGameDir = LoadPreferences(GameDir);
    if (!PreferencesFoundInGameDir) {
        if (!FileExists(UserDir))
            CreatePath(UserDir);
        LoadPreferences(UserDir);
        SaveTo = UserDir;
        if (Language.empty())
            Language = DefaultLocale(0);
        if (Language.empty())
            Language = "en_GB";
    }
    PendingSettings = {Language, Music, GameScreen, Resolution};

    // 5. The log, only with "/LOG" as the first parameter.
    if (ArgCount >= 1) {
        LogTimeStamp = FormatDate("%yyyy-%mm-%dd--%hh-%ii-%ss");
        if (std::string(Args[0]) == "/LOG") {
            LogOpen(SaveTo + "Log " + LogTimeStamp + ".log", "Kistora");
            LogEnable();
            LogStartupReport();
        }
    }

    // 6-8. The rest of the initial settings, the languages.
    SettleLanguage();

    // 9. Sprite, keyboard and sound services.
    StartService("InitSprite:", InitSprite(), "Sprite");
    StartService("InitKeyboard:", InitKeyboard(), "Keyboard");
    StartService("InitSound:", InitSound(), "Sound");

    // 10. Desktop size, or the listed window size.
    int DesktopW = 0, DesktopH = 0;
    DesktopSize(0, &DesktopW, &DesktopH);
    ScreenWidth = DesktopW;
    ScreenHeight = DesktopH;
    LogValue("ScreenWidth:", int64_t(ScreenWidth));
    LogValue("ScreenHeight:", int64_t(ScreenHeight));
    // A stored window size larger than this desktop would open a window whose
    // menus cannot be reached: the largest size that fits is taken instead.
    FitResolutionToDesktop();
    PendingSettings.Resolution = Resolution;
    if (GameScreen == ModeWindowed)
        ChooseScreenSize();

    // 11. Sounds (and the window icon for the screen about to open).
    LoadSounds();
    LoadWindowIcon();

    // 12. The screen.
    OpenGameScreen();
    if (!ScreenOpenResult)
        ShowFatalError("tErrorSCREEN");

    // 13. Gamepads and the aspect class.
    JoystickCount = InitJoystick();
    LogValue("Joystick:", int64_t(JoystickCount));
    ScreenAspectClass = AspectClass(ScreenWidth, ScreenHeight);
    LogValue("AspectRatio:", int64_t(ScreenAspectClass));

    // 14. Play-field layout.
    ComputePlayLayout(ScreenWidth, ScreenHeight, ScreenAspectClass);

    // 15. Levels, progress and scores.
    LoadLevelArchive(GameDir + "Kistora.maps");
    CopyLevelOrder(LevelNameList);
    BuildProgressList();
    if (!LoadScores(SaveTo) && !ProgressList.empty())
        ProgressList[0].Unlocked = 1;
    // A preferences file may name any position: both the level select and
    // the value saved back stay inside the list.
    int LastIndex = LastPlayed;
    if (LastIndex >= int(ProgressList.size()))
        LastIndex = int(ProgressList.size()) - 1;
    if (LastIndex < 0)
        LastIndex = 0;
    SelectedLevelIndex = LastIndex;
    Play.LastPlayedIndex = LastIndex;

    // 16. Pictures.
    LoadPictures();

    // 17-18. HUD panel, panel sprites, every panel and card rendered once.
    RenderHudBackground();
    ComputeCardGeometry();
    ComputePanelLayouts();
    RenderEveryPanel();

    // 19. Board art at the tile size, board origin, log lines.
    ScaleBoardArt();

    // 20. 60 frames per second.
    SetFrameRate(60);
}

// Start-up step 18: the panels in this order, with the loop's selections.
void RenderEveryPanel()
{
    RenderInGameMenu(InGameSelection);
    RenderSettings(SettingsRow, PendingSettings.GameScreen);
    RenderMainMenu(MainMenuSelection);
    RenderLevelComplete(LevelCompleteSelection);
    RenderCredits();
    RenderQuitQuestion(QuitSelection);
    BuildAllCards();
    RenderGameComplete();
}
