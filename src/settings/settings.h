// Settings and languages: the grouped key-value text format, the preferences
// file, the language files and the text table.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// numbers.cpp: the one number parser for every text that becomes a number
// ---------------------------------------------------------------------------

// Skips blanks and tabs, takes an optional sign, then decimal digits up to the
// first other character ("$" hexadecimal, "%" binary); no digits gives 0.
int64_t ParseNumber(const std::string& Text);
// The same, decimal digits only (preference integers): "$10" gives 0.
// Both saturate at the int64_t limits instead of overflowing.
int64_t ParseDecimalNumber(const std::string& Text);
// Clamps a parsed number into the 32-bit range of the settings.
int32_t ClampToInt32(int64_t Value);

// ---------------------------------------------------------------------------
// document.cpp: grouped key-value documents ("[Group]", "Key = Value", "; comment")
// ---------------------------------------------------------------------------

enum DocumentEntryKind { EntryGroup = 0, EntryComment = 1, EntryKey = 2 };

struct DocumentEntry {
    int Kind = EntryKey;
    std::string Name;   // group or key name (UTF-8)
    std::string Value;  // key value or comment text
};

struct Document {
    std::string Path;
    int ForWriting = 0;
    std::vector<DocumentEntry> Entries;
    int SelectedGroup = -1;          // index of the selected group line, -1 none
    std::string PendingGroup;        // writing: group noted but not yet added
    int GroupCursor = -1;            // enumeration
    int KeyCursor = -1;
};

// Parses a file (UTF-8 with byte-order mark, else the 8-bit code page). 1 or
// 0 (missing, unreadable, or larger than 1 MiB).
int OpenDocument(Document& Doc, const std::string& Path);
// Parses bytes already in memory (same rules). Never fails.
void ParseDocument(Document& Doc, const std::string& Bytes);
void CreateDocument(Document& Doc, const std::string& Path);
// Reading: case-insensitive; the first group of that name. Writing: notes it.
int SelectGroup(Document& Doc, const std::string& Group);
std::string ReadText(Document& Doc, const std::string& Key, const std::string& Default);
int64_t ReadInteger(Document& Doc, const std::string& Key, int64_t Default);
void WriteText(Document& Doc, const std::string& Key, const std::string& Value);
void WriteInteger(Document& Doc, const std::string& Key, int64_t Value);
void WriteComment(Document& Doc, const std::string& Text);
int FirstGroup(Document& Doc);                    // 1 when there is one
int NextGroup(Document& Doc);
std::string CurrentGroupName(const Document& Doc);
int FirstKey(Document& Doc);
int NextKey(Document& Doc);
std::string CurrentKeyName(const Document& Doc);
std::string CurrentKeyValue(const Document& Doc);
// The bytes a document written at close consists of (BOM, CR LF lines).
std::string SerialiseDocument(const Document& Doc);
// Writing documents are written (atomically) here. 1 or 0.
int CloseDocument(Document& Doc);

// ---------------------------------------------------------------------------
// preferences.cpp: the settings and their file
// ---------------------------------------------------------------------------

// The settings, stored in the preferences file.
extern std::string Language;     // locale code such as "en_GB"
extern int32_t Music;            // 1 on, 0 off
extern int32_t GameScreen;       // 0 full screen, 1 windowed, 2 borderless
extern int32_t Resolution;       // index into the resolution list (windowed only)
extern int32_t Gamepad;          // joystick number that is read
extern int32_t Pad;              // its pad index
extern int32_t Button;           // its button that starts a level
extern int32_t LastPlayed;       // progress index of the last level played

// Every setting back to its start value (before any file is read).
void SetSettingsStartValues();
int LoadPreferences(const std::string& Folder);   // 1 when the file could be opened
int SavePreferences(const std::string& Folder);   // 1 when written; a failure is reported

// ---------------------------------------------------------------------------
// languages.cpp: language source, text table
// ---------------------------------------------------------------------------

struct LanguageInfo {
    std::string Name, Code, Version, Date, Author, LanguageId, Software;
    int Flag = 0;  // image handle, 0 if none
};

struct LanguageListEntry {
    std::string Code;
    std::string Name;
};

extern std::map<std::string, LanguageInfo> languagesByName;  // keyed by display name
extern std::vector<LanguageListEntry> LanguageList;
extern int LanguageListCurrent;                                // index into LanguageList, -1 if empty
extern std::map<std::string, std::string> TextTable;
extern const char* const LanguageModuleVersion;               // "2.0"

std::string Text(const std::string& Key);          // "" when missing
std::string DefaultLocale(int Part);
int ScanLanguages(const std::string& Source);      // count of languages found
int LoadLanguage(const std::string& Source, const std::string& Code);
void SelectLanguageEntry(const std::string& Code);
void RebuildLanguageList();
int FindLanguageCode(const std::string& Code);     // list index or -1
