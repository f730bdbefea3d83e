// The diagnostic log: bytes on disk, the switch, the start-up report.
#include "shell/shell.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include "test_settings_helpers.h"

namespace {

class LogFile : public ::testing::Test {
  protected:
    void SetUp() override
    {
        LogClose();
    }
    void TearDown() override
    {
        LogClose();
    }
    ScratchFolder Folder;
};

} // namespace

TEST(LogTabs, CountsAndNonPositive)
{
    EXPECT_EQ(Tabs(0), "");
    EXPECT_EQ(Tabs(-1), "");
    EXPECT_EQ(Tabs(-100), "");
    EXPECT_EQ(Tabs(1), "\t");
    EXPECT_EQ(Tabs(2), "\t\t");
    EXPECT_EQ(Tabs(5), "\t\t\t\t\t");
}

TEST_F(LogFile, LineBytesAndTheSwitch)
{
    std::string Path = Folder.Path() + "Log 2018-07-10--14-05-09.log";
    WriteBytes(Path, "an older log of the same name that is longer than the new one\r\n");
    LogLine("nothing open");
    LogValue("Nothing:", "open");
    EXPECT_EQ(LoggingOn(), 0);
    ASSERT_EQ(LogOpen(Path, "Kistora"), 1);
    LogLine("not enabled yet");
    EXPECT_EQ(LoggingOn(), 0);
    LogEnable();
    EXPECT_EQ(LoggingOn(), 1);
    LogValue("Load language (en_GB):", "OK");
    LogValue("ScreenWidth:", int64_t(1920));
    LogValue("Joystick: ", int64_t(-3));
    LogLine("");
    LogLine("Gr\xC3\xBC\xC3\x9F"
            "e");
    LogClose();
    LogLine("after the close");
    EXPECT_EQ(ReadBytes(Path), "Kistora\r\n"
                               "Load language (en_GB):\t\tOK\r\n"
                               "ScreenWidth:\t\t1920\r\n"
                               "Joystick: \t\t-3\r\n"
                               "\r\n"
                               "Gr\xC3\xBC\xC3\x9F"
                               "e\r\n");
}

TEST_F(LogFile, LongLogPassesTheWriteBuffer)
{
    std::string Path = Folder.Path() + "long.log";
    ASSERT_EQ(LogOpen(Path, "Kistora"), 1);
    LogEnable();
    std::string Expected = "Kistora\r\n";
    for (int I = 0; I < 2000; I++) {
        LogValue("Line " + std::to_string(I) + ":", int64_t(I) * 1000003);
        Expected += "Line " + std::to_string(I) + ":\t\t" + std::to_string(int64_t(I) * 1000003) + "\r\n";
    }
    LogClose();
    EXPECT_GT(Expected.size(), 4096u * 3);
    EXPECT_EQ(ReadBytes(Path), Expected);
}

TEST_F(LogFile, UncreatableFileLeavesLoggingOff)
{
    std::string Path = Folder.Path() + "missing folder/x.log";
    EXPECT_EQ(LogOpen(Path, "Kistora"), 0);
    LogEnable();
    EXPECT_EQ(LoggingOn(), 0);
    LogLine("dropped");
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() + "missing folder"));
}

TEST_F(LogFile, InvalidHandleSwitchesLoggingOff)
{
    std::string Path = Folder.Path() + "gone.log";
    ASSERT_EQ(LogOpen(Path, "Kistora"), 1);
    LogEnable();
    LogLine("kept");
    CloseAllFiles(); // the handle is no longer valid
    LogLine("lost");
    EXPECT_EQ(LoggingOn(), 0);
    EXPECT_EQ(ReadBytes(Path), "Kistora\r\nkept\r\n");
}

TEST_F(LogFile, StartupReport)
{
    std::string SavedLanguage = Language, SavedGame = GameDir, SavedUser = UserDir, SavedSave = SaveTo;
    LogTimeStamp = "2018-07-10--14-05-09";
    Language = "en_GB";
    GameDir = "/opt/kistora/";
    UserDir = "/home/player/.local/share/brindlewood game studio/Kistora/";
    SaveTo = UserDir;
    std::string Path = Folder.Path() + "Log " + LogTimeStamp + ".log";

    LogStartupReport(); // not open: nothing, no crash
    ASSERT_EQ(LogOpen(Path, "Kistora"), 1);
    LogEnable();
    LogStartupReport();
    LogClose();

    auto Line = [](const std::string& Label, const std::string& Value) { return Label + "\t\t" + Value + "\r\n"; };
    std::string Expected = "Kistora\r\n2018-07-10--14-05-09\r\n\r\n[SYSTEM DETAILS]\r\n" +
                           Line("CPU Name:", CpuName()) + Line("Total CPU cores:", std::to_string(CpuCoresTotal())) +
                           Line("Available CPU cores:", std::to_string(CpuCoresAvailable())) +
                           Line("Total physical memory:", std::to_string(PhysicalMemoryBytes())) + "FREE MEMORY LINE" +
                           Line("Number of desktops:", std::to_string(DesktopCount())) +
                           Line("Operating system:", std::to_string(OperatingSystemCode())) + "\r\n[GAME DETAILS]\r\n" +
                           Line("Title:", "Kistora") + Line("Family:", "Orbel Games") + Line("Version:", "1.0") +
                           Line("Directory:", "brindlewood game studio\\Kistora") + Line("Bit:", "(x86)") +
                           "\r\n[CODE SUBSYSTEMS]\r\n" + Line("Language:", "2.0") + Line("Log:", "1.2") +
                           "\r\n[PATHS]\r\n" + Line("GameDir:", "/opt/kistora/") + Line("UserDir:", UserDir) +
                           Line("SaveTo:", UserDir) + "\r\n[INITIAL SETTINGS]\r\n" + Line("Language:", "en_GB");
    std::string Actual = ReadBytes(Path);
    // Free memory changes from one moment to the next: check its line's shape
    // and put the placeholder in its place.
    size_t Start = Actual.find("Free physical memory:\t\t");
    ASSERT_NE(Start, std::string::npos);
    size_t End = Actual.find("\r\n", Start);
    ASSERT_NE(End, std::string::npos);
    std::string Value = Actual.substr(Start + 23, End - Start - 23);
    EXPECT_FALSE(Value.empty());
    EXPECT_EQ(Value.find_first_not_of("0123456789"), std::string::npos) << Value;
    Actual.replace(Start, End + 2 - Start, "FREE MEMORY LINE");
    EXPECT_EQ(Actual, Expected);
    EXPECT_EQ(Actual.find("\xEF\xBB\xBF"), std::string::npos);

    Language = SavedLanguage;
    GameDir = SavedGame;
    UserDir = SavedUser;
    SaveTo = SavedSave;
}
