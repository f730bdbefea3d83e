// kistora-script: the game's own start-up and frame loop, headless, driven by
// a script of key presses, window events, state checks and screenshots.
//
//   kistora-script [--game-dir DIR] [--user-dir DIR] [--desktop WxH] SCRIPT [-- GAME-ARGS...]
//
// Exit status: the game's own when it ends (0 normal, 1 fatal), 0 at the end of
// the script, 2 on a script error, 3 on a failed expect.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct ScriptCommand {
    int Line = 0;
    std::string Verb;
    std::vector<std::string> Args;
};

struct StateValue {
    std::string Key;
    std::string Value;
    int IsText = 0;
};

// 1 once the game has started: leaving must then stop the platform first, or
// the audio thread outlives the objects std::exit destroys (a crash, not 2 or 3).
static int GameRunning = 0;

[[noreturn]] static void LeaveScript(int Status)
{
    std::fflush(stdout);
    if (GameRunning)
        FatalExit(Status);
    std::exit(Status);
}

[[noreturn]] static void ScriptError(const std::string& Message)
{
    std::fprintf(stderr, "kistora-script: %s\n", Message.c_str());
    LeaveScript(2);
}

static std::string WithSlash(std::string Folder)
{
    if (!Folder.empty() && Folder.back() != '/')
        Folder += '/';
    return Folder;
}

static int KeyByName(const std::string& Name)
{
    static const char* const Names[KeyCount] = {"Left", "Right", "Up", "Down", "Return", "Escape", "Space", "S", "M"};
    for (int Key = 0; Key < KeyCount; ++Key)
        if (Name == Names[Key])
            return Key;
    return -1;
}

static int ToInt(const std::string& Text, int Line)
{
    char* End = nullptr;
    long Value = std::strtol(Text.c_str(), &End, 10);
    if (Text.empty() || *End != '\0')
        ScriptError("line " + std::to_string(Line) + ": not a number: " + Text);
    return int(Value);
}

static std::vector<ScriptCommand> ReadScript(const std::string& Path)
{
    std::vector<uint8_t> Bytes;
    if (!ReadWholeFile(Path, Bytes))
        ScriptError("cannot read " + Path);
    std::istringstream File(std::string(Bytes.begin(), Bytes.end()));
    std::vector<ScriptCommand> Commands;
    std::string Text;
    int Line = 0;
    while (std::getline(File, Text)) {
        ++Line;
        if (!Text.empty() && Text.back() == '\r')
            Text.pop_back();
        size_t First = Text.find_first_not_of(" \t");
        if (First == std::string::npos || Text[First] == '#')
            continue;
        ScriptCommand Command;
        Command.Line = Line;
        std::istringstream Words(Text.substr(First));
        Words >> Command.Verb;
        if (Command.Verb == "expect") {
            // expect KEY VALUE: the value is the rest of the line.
            std::string Key;
            Words >> Key;
            std::string Rest;
            std::getline(Words, Rest);
            size_t Start = Rest.find_first_not_of(' ');
            Command.Args = {Key, Start == std::string::npos ? "" : Rest.substr(Start)};
            if (Key.empty())
                ScriptError("line " + std::to_string(Line) + ": expect needs a key");
        } else if (Command.Verb == "screenshot") {
            std::string Rest;
            std::getline(Words, Rest);
            size_t Start = Rest.find_first_not_of(' ');
            if (Start == std::string::npos)
                ScriptError("line " + std::to_string(Line) + ": screenshot needs a file");
            Command.Args = {Rest.substr(Start)};
        } else {
            std::string Word;
            while (Words >> Word)
                Command.Args.push_back(Word);
        }
        const std::string& V = Command.Verb;
        size_t N = Command.Args.size();
        int Ok = (V == "frames" && N == 1) || ((V == "press" || V == "down" || V == "up") && N == 1) ||
                 (V == "axis" && N == 2) || ((V == "button" || V == "release-button") && N == 1) ||
                 (V == "focus" && N == 1) ||
                 ((V == "minimise" || V == "restore" || V == "close" || V == "state") && N == 0) || V == "expect" ||
                 V == "screenshot";
        if (!Ok)
            ScriptError("line " + std::to_string(Line) + ": unknown command or wrong arguments: " + Text);
        if ((V == "press" || V == "down" || V == "up") && KeyByName(Command.Args[0]) < 0)
            ScriptError("line " + std::to_string(Line) + ": unknown key " + Command.Args[0]);
        if (V == "frames" && ToInt(Command.Args[0], Line) < 0)
            ScriptError("line " + std::to_string(Line) + ": negative frame count");
        if (V == "axis" && ((Command.Args[0] != "X" && Command.Args[0] != "Y") || ToInt(Command.Args[1], Line) < -1 ||
                            ToInt(Command.Args[1], Line) > 1))
            ScriptError("line " + std::to_string(Line) + ": axis X|Y -1|0|1");
        if (V == "focus" && Command.Args[0] != "on" && Command.Args[0] != "off")
            ScriptError("line " + std::to_string(Line) + ": focus on|off");
        if (V == "button" || V == "release-button")
            ToInt(Command.Args[0], Line);
        Commands.push_back(Command);
    }
    return Commands;
}

// ---------------------------------------------------------------------------
// The state dump
// ---------------------------------------------------------------------------

static std::string BoardText()
{
    std::string Board;
    for (int Y = 0; Y < 15; ++Y) {
        if (Y > 0)
            Board += '|';
        for (int X = 0; X < 30; ++X) {
            int Target = 0;
            for (int I = 1; I <= Play.CrateCount && I <= 20; ++I)
                if (Play.Targets[I].X == X && Play.Targets[I].Y == Y)
                    Target = 1;
            int Crate = Play.CrateGrid[X][Y] != 0;
            int Worker = Play.Worker.X == X && Play.Worker.Y == Y && !Play.CurrentLevelName.empty();
            char Cell = ' ';
            if (!Play.CurrentLevelName.empty() && IsCellFree(Play.CurrentLevelName, 2, X, Y) == 0)
                Cell = '#';
            else if (Worker)
                Cell = Target ? '+' : '@';
            else if (Crate)
                Cell = Target ? '*' : '$';
            else if (Target)
                Cell = '.';
            Board += Cell;
        }
    }
    return Board;
}

static std::vector<StateValue> CollectState()
{
    std::vector<StateValue> S;
    auto Num = [&S](const char* Key, int64_t Value) { S.push_back({Key, std::to_string(Value), 0}); };
    auto Txt = [&S](const char* Key, const std::string& Value) { S.push_back({Key, Value, 1}); };
    int Filled = 0;
    for (int I = 1; I <= 12; ++I)
        Filled += Play.CrateIndicators[I].Filled != 0;
    char Offset[32];
    std::snprintf(Offset, sizeof Offset, "%g", Play.SlideOffset);
    const LevelProgress* Selected = SelectedLevelIndex >= 0 && SelectedLevelIndex < int(ProgressList.size())
                                        ? &ProgressList[SelectedLevelIndex]
                                        : nullptr;
    std::string Unlocked;
    for (const LevelProgress& Entry : ProgressList)
        Unlocked += char('0' + (Entry.Unlocked & 7));

    Num("frame", VirtualFrameCount());
    Num("GameState", GameState);
    Num("InLevel", Play.InLevel);
    Num("LastPlayedIndex", Play.LastPlayedIndex);
    Num("StepCount", Play.StepCount);
    Num("CrateCount", Play.CrateCount);
    Num("CratesOnTargets", Play.CratesOnTargets);
    Num("WorkerX", Play.Worker.X);
    Num("WorkerY", Play.Worker.Y);
    Num("Facing", Play.Worker.Facing);
    Num("MoveKind", Play.MoveKind);
    Num("ElapsedPlayMs", Play.InLevel ? ElapsedPlayMs() : 0);
    Num("MusicOn", MusicOn);
    Num("MusicTrack", PlayingMusicTrack());
    Num("ScreenWidth", ScreenWidth);
    Num("ScreenHeight", ScreenHeight);
    Num("AspectClass", ScreenAspectClass);
    Num("GameScreen", GameScreen);
    Num("Resolution", Resolution);
    Num("TileSize", TileSize);
    Num("BoardX", BoardX);
    Num("BoardY", BoardY);
    Num("HudHeight", HudHeight);
    Num("MainMenuSelection", MainMenuSelection);
    Num("InGameSelection", InGameSelection);
    Num("SettingsRow", SettingsRow);
    Num("QuitSelection", QuitSelection);
    Num("LevelCompleteSelection", LevelCompleteSelection);
    Num("SelectedLevel", SelectedLevelIndex);
    Num("ExitRequested", ExitRequested);
    Txt("CurrentLevelName", Play.CurrentLevelName);
    Txt("SlideOffset", Offset);
    Num("CrateIndicatorsFilled", Filled);
    Num("HudFontSize", HudFontSize);
    Num("FillLeftX", FillLeftX);
    Num("FillRightX", FillRightX);
    Num("FillTopY", FillTopY);
    Num("FillBottomY", FillBottomY);
    Num("CrateIconSize", CrateIconSize);
    Txt("Language", Language);
    Num("LevelCount", int64_t(ProgressList.size()));
    Txt("Unlocked", Unlocked);
    Num("SelectedSteps", Selected ? Selected->Steps : 0);
    Num("SelectedTimeMs", Selected ? Selected->TimeMs : 0);
    Num("StripSlideDirection", StripSlideDirection);
    Num("SwayCounter", SwayCounter);
    char Sway[32];
    std::snprintf(Sway, sizeof Sway, "%g", double(SwayStep));
    Txt("SwayStep", Sway);
    Num("MainMenuSlideCounter", Panels[PanelMainMenu].SlideCounter);
    Txt("PendingLanguage", PendingSettings.Language);
    Num("PendingMusic", PendingSettings.Music);
    Num("PendingScreenMode", PendingSettings.GameScreen);
    Num("PendingResolution", PendingSettings.Resolution);
    Txt("Board", BoardText());
    return S;
}

static std::string JsonEscape(const std::string& Text)
{
    std::string Out;
    for (unsigned char C : Text) {
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += char(C);
        } else if (C < 0x20) {
            char Buffer[8];
            std::snprintf(Buffer, sizeof Buffer, "\\u%04x", C);
            Out += Buffer;
        } else {
            Out += char(C);
        }
    }
    return Out;
}

static void PrintState()
{
    std::string Line = "{";
    for (const StateValue& V : CollectState()) {
        if (Line.size() > 1)
            Line += ", ";
        Line += '"';
        Line += V.Key;
        Line += "\": ";
        if (V.IsText) {
            Line += '"';
            Line += JsonEscape(V.Value);
            Line += '"';
        } else {
            Line += V.Value;
        }
    }
    Line += "}\n";
    std::fputs(Line.c_str(), stdout);
    std::fflush(stdout);
}

static void Expect(const ScriptCommand& Command)
{
    // A state may be named as well as numbered: "expect GameState Playing".
    std::string Wanted = Command.Args[1];
    if (Command.Args[0] == "GameState" && GameStateByName(Wanted) >= 0)
        Wanted = std::to_string(GameStateByName(Wanted));
    for (const StateValue& V : CollectState()) {
        if (V.Key != Command.Args[0])
            continue;
        if (V.Value == Wanted)
            return;
        std::fprintf(stderr, "kistora-script: line %d: expected %s = %s, found %s\n", Command.Line, V.Key.c_str(),
                     Command.Args[1].c_str(), V.Value.c_str());
        LeaveScript(3);
    }
    ScriptError("line " + std::to_string(Command.Line) + ": unknown state key " + Command.Args[0]);
}

// ---------------------------------------------------------------------------
// Running
// ---------------------------------------------------------------------------

static void OneFrame()
{
    int Going = RunFrame();
    AdvanceVirtualFrame();
    if (!Going) {
        std::fflush(stdout);
        NormalShutdown();
    }
}

static void Run(const ScriptCommand& Command)
{
    const std::string& V = Command.Verb;
    const std::vector<std::string>& A = Command.Args;
    if (V == "frames") {
        for (int I = ToInt(A[0], Command.Line); I > 0; --I)
            OneFrame();
    } else if (V == "press") {
        ScriptKey(KeyByName(A[0]), 1);
        OneFrame();
        ScriptKey(KeyByName(A[0]), 0);
        OneFrame();
    } else if (V == "down" || V == "up") {
        ScriptKey(KeyByName(A[0]), V == "down");
    } else if (V == "axis") {
        ScriptAxis(A[0] == "X" ? 0 : 1, ToInt(A[1], Command.Line));
    } else if (V == "button" || V == "release-button") {
        ScriptButton(ToInt(A[0], Command.Line), V == "button");
    } else if (V == "focus") {
        ScriptFocus(A[0] == "on");
    } else if (V == "minimise") {
        ScriptWindowEvent(WindowEventMinimised);
    } else if (V == "restore") {
        ScriptWindowEvent(WindowEventRestored);
    } else if (V == "close") {
        ScriptWindowEvent(WindowEventClose);
    } else if (V == "state") {
        PrintState();
    } else if (V == "expect") {
        Expect(Command);
    } else if (V == "screenshot") {
        if (!SaveScreenshot(A[0]))
            std::fprintf(stderr, "kistora-script: line %d: screenshot %s failed\n", Command.Line, A[0].c_str());
    }
}

int main(int argc, char** argv)
{
    // From here on the arguments in UTF-8, on every system.
    std::vector<std::string> Utf8 = CommandLineArguments(argc, argv);
    std::vector<char*> Pointers;
    for (std::string& Argument : Utf8)
        Pointers.push_back(Argument.data());
    argc = int(Pointers.size());
    argv = Pointers.data();
    std::string ScriptPath;
    std::vector<char*> GameArgs;
    Overrides.Headless = 1;
    Overrides.DesktopWidth = 1920;
    Overrides.DesktopHeight = 1080;
    for (int I = 1; I < argc; ++I) {
        std::string Arg = argv[I];
        if (Arg == "--") {
            for (++I; I < argc; ++I)
                GameArgs.push_back(argv[I]);
            break;
        }
        if ((Arg == "--game-dir" || Arg == "--user-dir" || Arg == "--desktop" || Arg == "--slow-saves") &&
            I + 1 < argc) {
            std::string Value = argv[++I];
            if (Arg == "--slow-saves") {
                // Each step of every save pauses this many ms and the save's
                // start and end are written to standard error: the kill test.
                Overrides.SaveStepDelayMs = ToInt(Value, 0);
            } else if (Arg == "--game-dir") {
                Overrides.GameDir = WithSlash(Value);
            } else if (Arg == "--user-dir") {
                Overrides.UserDir = WithSlash(Value);
            } else {
                int W = 0, H = 0;
                if (std::sscanf(Value.c_str(), "%dx%d", &W, &H) != 2 || W <= 0 || H <= 0)
                    ScriptError("--desktop takes WxH, for example 1920x1080");
                Overrides.DesktopWidth = W;
                Overrides.DesktopHeight = H;
            }
        } else if (ScriptPath.empty() && !Arg.empty() && Arg[0] != '-') {
            ScriptPath = Arg;
        } else {
            ScriptError("usage: kistora-script [--game-dir DIR] [--user-dir DIR] [--desktop WxH] [--slow-saves MS] "
                        "SCRIPT [-- GAME-ARGS...]");
        }
    }
    if (ScriptPath.empty())
        ScriptError("usage: kistora-script [--game-dir DIR] [--user-dir DIR] [--desktop WxH] [--slow-saves MS] SCRIPT "
                    "[-- GAME-ARGS...]");
    std::vector<ScriptCommand> Commands = ReadScript(ScriptPath);

    GameRunning = 1;
    GameStartUp(int(GameArgs.size()), GameArgs.data());
    BeforeFirstFrame();
    for (const ScriptCommand& Command : Commands)
        Run(Command);
    std::fflush(stdout);
    FatalExit(0);
}
