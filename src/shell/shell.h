// Application shell: start-up and folders, the main loop and its states, the
// shutdown and fatal exit, the diagnostic log.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// startup.cpp: settings, folders, start-up, exits
// ---------------------------------------------------------------------------

extern const char* const GameVersion;      // "1.0"
extern std::string ProductTitle;

// Settings (stored in the preferences file).
extern std::string Language;
extern int32_t Music;
extern int32_t GameScreen;
extern int32_t Resolution;
extern int32_t Gamepad;
extern int32_t Pad;
extern int32_t Button;
extern int32_t LastPlayed;

struct PendingSettingsRecord {
    std::string Language;
    int32_t Music = 1;
    int32_t GameScreen = 2;
    int32_t Resolution = 1;
};
extern PendingSettingsRecord PendingSettings;

extern std::string GameDir;    // each ends with "/"
extern std::string UserDir;
extern std::string SaveTo;
extern int PreferencesFoundInGameDir;

std::string ResolveUserDir(const std::string& SubPath);
int CreatePath(const std::string& Path);
[[noreturn]] void ShowFatalError(const std::string& Key, const std::string& Suffix = "");
[[noreturn]] void FatalExit(int Status);
// Runs the start-up sequence up to the first frame (the screen is open,
// everything loaded). Args are the game's own parameters (without argv[0]).
void GameStartUp(int ArgCount, char** Args);

// ---------------------------------------------------------------------------
// mainloop.cpp: states, bindings, frame
// ---------------------------------------------------------------------------

enum GameStateKind {
    Logo = 0, Title, MainMenu, LevelSelect, Credits, MenuSettings, MenuQuitQuestion,
    Playing, InGameMenu, InGameSettings, InGameQuitQuestion, LevelComplete, GameComplete
};

extern int32_t GameState;
extern int ExitRequested;
extern int MusicOn;
extern int MusicChannel;
extern int ScreenReopenPending;
extern int32_t IntroCounter;
extern int32_t SwayCounter;
extern float SwayStep;
extern int32_t JoystickCount;
extern int32_t JoystickNumber, JoystickPad, JoystickButton;

// Selections kept by the main loop (1-based).
extern int MainMenuSelection;
extern int InGameSelection;
extern int SettingsRow;
extern int QuitSelection;
extern int LevelCompleteSelection;

void PlaySoundEffect(int Sound);          // rollover or click on a new channel
void SwitchToMenuTrack();
void SwitchToGameTrack();
void BeforeFirstFrame();
// One frame of the loop; returns 0 once ExitRequested ended the loop.
int RunFrame();
// Normal shutdown: preferences, scores, exit 0.
[[noreturn]] void NormalShutdown();

// ---------------------------------------------------------------------------
// log.cpp
// ---------------------------------------------------------------------------

extern std::string LogTimeStamp;
int LogOpen(const std::string& FileName, const std::string& FirstLine);
void LogEnable();
void LogLine(const std::string& Text);
std::string Tabs(int Count);
// Label + two tabs + value.
void LogValue(const std::string& Label, const std::string& Value);
void LogValue(const std::string& Label, int64_t Value);
void LogStartupReport();   // from LogTimeStamp to the "[INITIAL SETTINGS]" Language line
// 1 while lines are being written (opened, enabled, no write failed yet).
int LoggingOn();
// Flushes and closes the log and switches logging off (the platform's file
// shutdown does the same at the end of the run; the tests need it earlier).
void LogClose();
