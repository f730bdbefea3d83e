// Application shell: the top layer. Start-up and the screen re-open, the main
// loop with its states and bindings, the level flow between the rules and the
// screens, the normal shutdown. Nothing below includes this header.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// startup.cpp: start-up, fatal errors
// ---------------------------------------------------------------------------

// A message box titled "Kistora::" + the word for error, with the text of Key
// + Suffix, then the end of the process without saving (status 1).
[[noreturn]] void ShowFatalError(const std::string& Key, const std::string& Suffix = "");
// Runs the start-up sequence up to the first frame (the screen is open,
// everything loaded). Args are the game's own parameters (without argv[0]).
void GameStartUp(int ArgCount, char** Args);
// From LogTimeStamp to the "[INITIAL SETTINGS]" Language line.
void LogStartupReport();
// Every panel and level card rendered with the loop's current selections.
void RenderEveryPanel();

// ---------------------------------------------------------------------------
// reopen.cpp: the screen re-open
// ---------------------------------------------------------------------------

// Closes the screen and opens it again in the pending mode and size; every
// layout, picture, panel and card is made again for the new screen.
void ReopenScreen();

// ---------------------------------------------------------------------------
// levelplay.cpp: a level started, played and finished
// ---------------------------------------------------------------------------

// Starts an attempt at the level at that progress position and switches to
// Playing. 1, or 0 when its data was refused: the board is left as it was,
// a log line is written and the level select shows that level.
int SetUpLevel(int ProgressIndex);
// A held direction: a move on the board, only while Playing.
void RequestMove(int Dir);
// Once per frame while Playing: when every target holds a crate, the result
// is stored, the next level unlocked, and the level-complete panel shown.
void CheckCompletion();

// ---------------------------------------------------------------------------
// frame.cpp: the states, their drawing and per-frame ticks, the frame
// ---------------------------------------------------------------------------

enum GameStateKind {
    Logo = 0,
    Title,
    MainMenu,
    LevelSelect,
    Credits,
    MenuSettings,
    MenuQuitQuestion,
    Playing,
    InGameMenu,
    InGameSettings,
    InGameQuitQuestion,
    LevelComplete,
    GameComplete
};
constexpr int GameStateCount = GameComplete + 1;

extern int32_t GameState;
extern int ExitRequested;
extern int ScreenReopenPending;
extern int32_t IntroCounter;
extern int32_t SwayCounter;
extern float SwayStep;
extern int32_t JoystickCount;
extern int32_t JoystickNumber, JoystickPad, JoystickButton;

// "Playing" for 7; nullptr outside 0..12. GameStateByName: the number of a
// name, -1 for none.
const char* GameStateName(int State);
int GameStateByName(const std::string& Name);
void BeforeFirstFrame();
// One frame of the loop; returns 0 once ExitRequested ended the loop.
int RunFrame();
// Normal shutdown: preferences, scores, exit 0.
[[noreturn]] void NormalShutdown();

// ---------------------------------------------------------------------------
// bindings.cpp: the keys and the gamepad, per state
// ---------------------------------------------------------------------------

// Selections kept by the main loop (1-based).
extern int MainMenuSelection;
extern int InGameSelection;
extern int SettingsRow;
extern int QuitSelection;
extern int LevelCompleteSelection;

// The keyboard examined and its tests run in their fixed order: held left,
// right, up, down; released down, up, left, right, Return, S, M, Escape,
// Space. Each test acts on the state the earlier ones left.
void ReadKeyboard();
// The gamepad's axes (held directions) and its start button.
void ReadGamepad();
// Notes the cursor keys down at a completion: their release is not a choice.
void NoteKeysHeldAtCompletion();

// ---------------------------------------------------------------------------
// settingsflow.cpp: the settings panel opened, stepped, applied, left
// ---------------------------------------------------------------------------

void RenderSettingsPanel();
void OpenSettings();
void LeaveSettings();
void ApplySettings();
// Left (-1) or Right (+1) on the current settings row; 1 when a value changed.
int StepSetting(int Delta);

// ---------------------------------------------------------------------------
// music.cpp: tracks and effects
// ---------------------------------------------------------------------------

extern int MusicOn;
extern int MusicChannel;

void PlaySoundEffect(int Sound); // rollover or click on a new channel
int CurrentTrack();              // the state's track: menu below Playing, game from it on
void StartTrack(int Track);      // looped, on a new channel
void StopTrack(int Track);
void PauseBothTracks();  // each if playing
void ResumeBothTracks(); // each if paused
void SwitchToMenuTrack();
void SwitchToGameTrack();
void ToggleMusic(); // the M key
// Which music track is audible now: 0 menu, 1 game, -1 none.
int PlayingMusicTrack();
// The screen lost the focus: the state's track paused if playing; in full
// screen ResumeAfterFocus brings it back once the screen is active again.
void PauseTrackForFocus();
void ResumeAfterFocus();
