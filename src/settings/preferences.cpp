// The preferences file Kistora.prefs: one group "Settings" with eight keys,
// read at start-up and written once at the normal shutdown.
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

static const char* const PreferencesFileName = "Kistora.prefs";
// The group and key names are written exactly as spelt below ("GameScreen",
// "LastPlayed"), though they are read with the case of letters ignored.
static const char* const PreferencesGroup = "Settings";
// The resolution list always holds ten sizes (indices 0 to 9).
static const int32_t ResolutionCount = 10;

std::string Language;
int32_t Music = 1;
int32_t GameScreen = 2;
int32_t Resolution = 1;
int32_t Gamepad = 0;
int32_t Pad = 0;
int32_t Button = 0;
int32_t LastPlayed = 0;

void SetSettingsStartValues()
{
    Language.clear();
    Music = 1;
    GameScreen = 2;
    Resolution = 1;
    Gamepad = 0;
    Pad = 0;
    Button = 0;
    LastPlayed = 0;
}

// 1 when the file could be opened (the settings are then read from it), 0 when
// there is none (the settings keep their values). Keys the file lacks take the
// defaults below, so a file without "Button" gives 1 while no file leaves 0.
int LoadPreferences(const std::string& Folder)
{
    Document Doc;
    if (!OpenDocument(Doc, Folder + PreferencesFileName))
        return 0;
    SelectGroup(Doc, PreferencesGroup);
    Language = ReadText(Doc, "Language", "");
    Music = ClampToInt32(ReadInteger(Doc, "Music", 1));
    GameScreen = ClampToInt32(ReadInteger(Doc, "GameScreen", GameScreen));
    Resolution = ClampToInt32(ReadInteger(Doc, "Resolution", 1));
    Gamepad = ClampToInt32(ReadInteger(Doc, "Gamepad", 0));
    Pad = ClampToInt32(ReadInteger(Doc, "Pad", 0));
    Button = ClampToInt32(ReadInteger(Doc, "Button", 1));
    LastPlayed = ClampToInt32(ReadInteger(Doc, "LastPlayed", 0));
    CloseDocument(Doc);
    // A mode the game does not have would stop every launch before the first
    // frame (and a fatal exit saves nothing to repair it): borderless instead.
    if (GameScreen < 0 || GameScreen > 2)
        GameScreen = 2;
    if (Resolution < 0)
        Resolution = 0;
    if (Resolution > ResolutionCount - 1)
        Resolution = ResolutionCount - 1;
    // A level index below 0 addresses nothing; the upper end is checked against
    // the level count once the levels are loaded.
    if (LastPlayed < 0)
        LastPlayed = 0;
    return 1;
}

// Writes the eleven-line file (byte-order mark line, comment, group line,
// eight keys) through a temporary file, so a failed write leaves the old file
// as it was. 1 when written, else 0 after reporting the failure (log and
// standard error); the caller decides whether the game goes on.
int SavePreferences(const std::string& Folder)
{
    if (Folder.empty()) {
        // No per-user folder could be named: nothing is written into whatever
        // the current folder happens to be.
        ReportSaveFailure("preferences", PreferencesFileName, "no folder to save in");
        return 0;
    }
    Document Doc;
    CreateDocument(Doc, Folder + PreferencesFileName);
    // Comment line first, then the group: the comment sits above "[Settings]" on purpose.
    WriteComment(Doc, std::string("Kistora ") + GameVersion + " Preferences");
    SelectGroup(Doc, PreferencesGroup);
    WriteText(Doc, "Language", Language);
    WriteInteger(Doc, "Music", Music);
    WriteInteger(Doc, "GameScreen", GameScreen);
    WriteInteger(Doc, "Resolution", Resolution);
    WriteInteger(Doc, "Gamepad", Gamepad);
    WriteInteger(Doc, "Pad", Pad);
    WriteInteger(Doc, "Button", Button);
    WriteInteger(Doc, "LastPlayed", LastPlayed);
    if (!CloseDocument(Doc)) {
        ReportSaveFailure("preferences", Folder + PreferencesFileName, LastSaveError());
        return 0;
    }
    return 1;
}
