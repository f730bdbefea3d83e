// The small base every game layer may use: the product's name and version,
// the game's folders, the diagnostic log and the fatal exit. It sits on the
// platform layer and knows nothing of the settings, screens or rules above it.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// folders.cpp: product, folders, exit
// ---------------------------------------------------------------------------

extern const char* const GameVersion; // "1.0"
extern std::string ProductTitle;      // the window's caption

extern std::string GameDir; // each ends with a folder separator (a backslash on Windows)
extern std::string UserDir;
extern std::string SaveTo;
extern int PreferencesFoundInGameDir;

// The folder of the three archives for an executable in ExeFolder (ends with
// "/", links resolved): ExeFolder itself when "Kistora.data" lies there, else
// the installed data folder relative to it when the archive lies there, else
// ExeFolder. Ends with "/".
std::string FindGameDir(const std::string& ExeFolder);
// The per-user data folder + "/" + SubPath + "/", every "/" as the system
// writes it, or "" when the platform names none; the home folder + SubPath +
// "/" when its path is unusable.
std::string ResolveUserDir(const std::string& SubPath);
// Creates every missing folder along Path. 1 when all of them exist after.
int CreatePath(const std::string& Path);
// A save that failed: one log line (when logging is on) and one line on
// standard error naming the file and the reason. The game goes on.
void ReportSaveFailure(const std::string& What, const std::string& Path, const std::string& Reason);
// Releases every platform service (which flushes the log) and ends the
// process with Status: 0 after the normal shutdown, 1 after a fatal error or
// a normal shutdown whose saves failed.
[[noreturn]] void FatalExit(int Status);

// ---------------------------------------------------------------------------
// log.cpp: "Log <time>.log", label + two tabs + value, CR LF
// ---------------------------------------------------------------------------

extern std::string LogTimeStamp;
extern const char* const LogModuleVersion; // "1.2"
int LogOpen(const std::string& FileName, const std::string& FirstLine);
void LogEnable();
void LogLine(const std::string& Text);
std::string Tabs(int Count);
// Label + two tabs + value.
void LogValue(const std::string& Label, const std::string& Value);
void LogValue(const std::string& Label, int64_t Value);
// 1 while lines are being written (opened, enabled, no write failed yet).
int LoggingOn();
// Flushes and closes the log and switches logging off (the platform's file
// shutdown does the same at the end of the run; the tests need it earlier).
void LogClose();
