// Settings and languages: the preferences file, the language files and the
// text table. The key-value documents both are written in, and the number
// parser, are in formats/formats.h.
#pragma once

#include "formats/formats.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// preferences.cpp: the settings and their file
// ---------------------------------------------------------------------------

// The settings, stored in the preferences file.
extern std::string Language; // locale code such as "en_GB"
extern int32_t Music;        // 1 on, 0 off
extern int32_t GameScreen;   // 0 full screen, 1 windowed, 2 borderless
extern int32_t Resolution;   // index into the resolution list (windowed only)
extern int32_t Gamepad;      // joystick number that is read
extern int32_t Pad;          // its pad index
extern int32_t Button;       // its button that starts a level
extern int32_t LastPlayed;   // progress index of the last level played

// Every setting back to its start value (before any file is read).
void SetSettingsStartValues();
int LoadPreferences(const std::string& Folder); // 1 when the file could be opened
int SavePreferences(const std::string& Folder); // 1 when written; a failure is reported

// ---------------------------------------------------------------------------
// languages.cpp: language source, text table
// ---------------------------------------------------------------------------

struct LanguageInfo {
    std::string Name, Code, Version, Date, Author, LanguageId, Software;
    int Flag = 0; // image handle, 0 if none
};

struct LanguageListEntry {
    std::string Code;
    std::string Name;
};

extern std::map<std::string, LanguageInfo> languagesByName; // keyed by display name
extern std::vector<LanguageListEntry> LanguageList;
extern int LanguageListCurrent; // index into LanguageList, -1 if empty
extern std::map<std::string, std::string> TextTable;
extern const char* const LanguageModuleVersion; // "2.0"

std::string Text(const std::string& Key); // "" when missing
std::string DefaultLocale(int Part);
int ScanLanguages(const std::string& Source); // count of languages found
int LoadLanguage(const std::string& Source, const std::string& Code);
void SelectLanguageEntry(const std::string& Code);
void RebuildLanguageList();
int FindLanguageCode(const std::string& Code); // list index or -1
// The language the game plays in when Code is wanted: Code itself when the
// language list (after ScanLanguages) has it, else "en_GB", whether or not
// that one is there. Start-up and kistora-import both choose through here.
std::string SettledLanguage(const std::string& Code);
