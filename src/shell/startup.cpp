// Start-up, folders and the two ways out: the normal shutdown and the fatal exit.
#include "shell/shell.h"

#include "display/display.h"
#include "levels/levels.h"
#include "platform/platform.h"
#include "play/play.h"
#include "screens/screens.h"
#include "settings/settings.h"

const char* const GameVersion = "1.0";
std::string ProductTitle = "Kistora 1.0 - a game by brindlewood game studio (brindlewood.games)";

std::string Language;
int32_t Music = 1;
int32_t GameScreen = 2;
int32_t Resolution = 1;
int32_t Gamepad = 0;
int32_t Pad = 0;
int32_t Button = 0;
int32_t LastPlayed = 0;

PendingSettingsRecord PendingSettings;

std::string GameDir;
std::string UserDir;
std::string SaveTo;
int PreferencesFoundInGameDir = 0;

static const char* const UserSubPath = "brindlewood game studio/Kistora";

static std::string LanguageSource()
{
    return GameDir + "Kistora.languages";
}

std::string ResolveUserDir(const std::string& SubPath)
{
    std::string Roaming = RoamingDataFolder();
    if (Roaming.empty())
        return "";
    if (Roaming.size() < 4096)
        return Roaming + "/" + SubPath + "/";
    return HomeFolder() + SubPath + "/";
}

int CreatePath(const std::string& Path)
{
    std::string Full = Path;
    if (Full.empty() || Full.back() != '/')
        Full += '/';
    if (FileExists(Full))
        return 1;
    int Result = 1;
    std::string Accumulator;
    size_t Start = 0;
    while (Start < Full.size()) {
        size_t Slash = Full.find('/', Start);
        Accumulator += Full.substr(Start, Slash - Start);
        // The root ("" before the first "/") and folders already there are passed over.
        if (!Accumulator.empty() && !FileExists(Accumulator) && !CreateFolder(Accumulator))
            Result = 0;
        Accumulator += '/';
        Start = Slash + 1;
    }
    return Result;
}

void FatalExit(int Status)
{
    PlatformShutdown();
    PlatformExit(Status);
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
        ShowFatalError("tErrorSUBSYSTEM", std::string("  : ") + Name);
}

static void SetStartValues()
{
    Language.clear();
    Music = 1;
    GameScreen = 2;
    Resolution = 1;
    Gamepad = 0;
    Pad = 0;
    Button = 0;
    LastPlayed = 0;
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
    if (FindLanguageCode(Language) < 0)
        Language = "en_GB";
    int Loaded = LoadLanguage(LanguageSource(), Language);
    LogValue("Load language (" + Language + "):", Loaded ? "OK" : "FAILED");
    SelectLanguageEntry(Language);
}

void GameStartUp(int ArgCount, char** Args)
{
    // 1. Services, containers, start values.
    if (!PlatformInit())
        ShowFatalError("tErrorSUBSYSTEM", "  : Sprite");
    SetStartValues();
    InitFont();

    // 2. Folders.
    GameDir = Overrides.GameDir.empty() ? ExecutableFolder() : Overrides.GameDir;
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
    if (GameScreen == ModeWindowed)
        ChooseScreenSize();

    // 11. Sounds.
    LoadSounds();

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
    SelectedLevelIndex = LastPlayed;
    Play.LastPlayedIndex = LastPlayed;

    // 16. Pictures.
    LoadPictures();

    // 17-18. HUD panel, panel sprites, every panel and card rendered once.
    RenderHudBackground();
    ComputeCardGeometry();
    ComputePanelLayouts();

    // 19. Board art at the tile size, board origin, log lines.
    ScaleBoardArt();

    // 20. 60 frames per second.
    SetFrameRate(60);
}
