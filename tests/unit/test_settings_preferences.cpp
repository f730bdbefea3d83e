// The preferences file Kistora.prefs.
#include "shell/shell.h"
#include "settings/settings.h"
#include "base/base.h"

#include <gtest/gtest.h>
#include <limits>

#include "test_settings_helpers.h"

namespace {

// Puts every setting to a known value and back to the start values after.
class SettingsPreferences : public ::testing::Test {
  protected:
    void SetUp() override
    {
        StartValues();
    }
    void TearDown() override
    {
        StartValues();
    }
    static void StartValues()
    {
        Language = "";
        Music = 1;
        GameScreen = 2;
        Resolution = 1;
        Gamepad = 0;
        Pad = 0;
        Button = 0;
        LastPlayed = 0;
    }
    ScratchFolder Folder;
    void WritePrefs(const std::string& Bytes)
    {
        WriteBytes(Folder.Path() + "Kistora.prefs", Bytes);
    }
};

} // namespace

TEST_F(SettingsPreferences, SavedFileBytes)
{
    Language = "en_GB";
    ASSERT_EQ(SavePreferences(Folder.Path()), 1);
    EXPECT_EQ(ReadBytes(Folder.Path() + "Kistora.prefs"), "\xEF\xBB\xBF\r\n"
                                                          "; Kistora 1.0 Preferences\r\n"
                                                          "[Settings]\r\n"
                                                          "Language = en_GB\r\n"
                                                          "Music = 1\r\n"
                                                          "GameScreen = 2\r\n"
                                                          "Resolution = 1\r\n"
                                                          "Gamepad = 0\r\n"
                                                          "Pad = 0\r\n"
                                                          "Button = 0\r\n"
                                                          "LastPlayed = 0\r\n");

    Language = "";
    Music = 0;
    GameScreen = 1;
    Resolution = 9;
    Gamepad = 3;
    Pad = -1;
    Button = 12;
    LastPlayed = 41;
    ASSERT_EQ(SavePreferences(Folder.Path()), 1); // replaces the old file
    EXPECT_EQ(ReadBytes(Folder.Path() + "Kistora.prefs"),
              "\xEF\xBB\xBF\r\n; Kistora 1.0 Preferences\r\n[Settings]\r\nLanguage = \r\nMusic = 0\r\n"
              "GameScreen = 1\r\nResolution = 9\r\nGamepad = 3\r\nPad = -1\r\nButton = 12\r\nLastPlayed = 41\r\n");
}

TEST_F(SettingsPreferences, SaveThenLoadRestoresEverySetting)
{
    Language = "de_DE";
    Music = 0;
    GameScreen = 0;
    Resolution = 7;
    Gamepad = 2;
    Pad = 1;
    Button = 5;
    LastPlayed = 13;
    ASSERT_EQ(SavePreferences(Folder.Path()), 1);
    StartValues();
    ASSERT_EQ(LoadPreferences(Folder.Path()), 1);
    EXPECT_EQ(Language, "de_DE");
    EXPECT_EQ(Music, 0);
    EXPECT_EQ(GameScreen, 0);
    EXPECT_EQ(Resolution, 7);
    EXPECT_EQ(Gamepad, 2);
    EXPECT_EQ(Pad, 1);
    EXPECT_EQ(Button, 5);
    EXPECT_EQ(LastPlayed, 13);
}

TEST_F(SettingsPreferences, MissingFileLeavesStartValues)
{
    Language = "xx_YY";
    GameScreen = 1;
    Resolution = 4;
    EXPECT_EQ(LoadPreferences(Folder.Path()), 0);
    EXPECT_EQ(Language, "xx_YY");
    EXPECT_EQ(GameScreen, 1);
    EXPECT_EQ(Resolution, 4);
    EXPECT_EQ(Button, 0); // not the file default 1
}

TEST_F(SettingsPreferences, DefaultsWhenKeysOrGroupMissing)
{
    for (const std::string Content : {"[Settings]\r\n", "", "[Other]\r\nMusic = 0\r\n"}) {
        Language = "fr_FR";
        Music = 0;
        GameScreen = 1; // GameScreen's default is the value before the read
        Resolution = 6;
        Gamepad = 4;
        Pad = 4;
        Button = 4;
        LastPlayed = 4;
        WritePrefs(Content);
        ASSERT_EQ(LoadPreferences(Folder.Path()), 1) << Content;
        EXPECT_EQ(Language, "");
        EXPECT_EQ(Music, 1);
        EXPECT_EQ(GameScreen, 1);
        EXPECT_EQ(Resolution, 1);
        EXPECT_EQ(Gamepad, 0);
        EXPECT_EQ(Pad, 0);
        EXPECT_EQ(Button, 1);
        EXPECT_EQ(LastPlayed, 0);
    }
}

TEST_F(SettingsPreferences, HandWrittenFilesAreRead)
{
    // Small letters, no blanks around "=", no byte-order mark, a duplicate key
    // (the first counts), a key above the group (not seen), a trailing blank
    // kept in the language code.
    WritePrefs("Resolution = 5\n[settings]\nMUSIC=0\nmusic = 1\nlanguage = en_GB \nResolution=3 ; note\n"
               "Button = on\n[Other]\nGamepad = 9\n");
    ASSERT_EQ(LoadPreferences(Folder.Path()), 1);
    EXPECT_EQ(Music, 0);
    EXPECT_EQ(Language, "en_GB ");
    EXPECT_EQ(Resolution, 3);
    EXPECT_EQ(Button, 0);  // "on" reads as 0
    EXPECT_EQ(Gamepad, 0); // key of another group: default
}

TEST_F(SettingsPreferences, ScreenModeAndResolutionOutOfRange)
{
    struct Case {
        const char* GameScreen;
        const char* Resolution;
        int32_t ExpectedScreen;
        int32_t ExpectedResolution;
    };
    const Case Cases[] = {
        {"0", "0", 0, 0},
        {"1", "9", 1, 9},
        {"2", "4", 2, 4},
        {"3", "10", 2, 9},
        {"-1", "-1", 2, 0},
        {"99999999999", "99999999999", 2, 9},
        {"7", "-99999999999", 2, 0},
    };
    for (const Case& C : Cases) {
        GameScreen = 0;
        WritePrefs(std::string("[Settings]\r\nGameScreen = ") + C.GameScreen + "\r\nResolution = " + C.Resolution +
                   "\r\n");
        ASSERT_EQ(LoadPreferences(Folder.Path()), 1);
        EXPECT_EQ(GameScreen, C.ExpectedScreen) << C.GameScreen;
        EXPECT_EQ(Resolution, C.ExpectedResolution) << C.Resolution;
    }
}

TEST_F(SettingsPreferences, HugeAndNegativeIntegersStayInRange)
{
    WritePrefs("[Settings]\r\nMusic = 99999999999\r\nButton = -99999999999\r\nLastPlayed = -4\r\n");
    ASSERT_EQ(LoadPreferences(Folder.Path()), 1);
    EXPECT_EQ(Music, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Button, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(LastPlayed, 0); // no level has a negative index
}

TEST_F(SettingsPreferences, SaveFailuresReturnZero)
{
    EXPECT_EQ(SavePreferences(Folder.Path() + "absent/"), 0);
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() + "absent"));

    // A folder where the file should go cannot be replaced: 0, and the folder
    // with its content is left alone.
    std::filesystem::create_directories(Folder.Path() + "Kistora.prefs/inner");
    EXPECT_EQ(SavePreferences(Folder.Path()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(Folder.Path() + "Kistora.prefs/inner"));
    EXPECT_EQ(LoadPreferences(Folder.Path()), 0);
}
