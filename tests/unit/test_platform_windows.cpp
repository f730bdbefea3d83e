// The Windows halves of the platform's files and folders (built for Windows
// only): the per-user folder in the roaming application data, paths beyond
// the user's code page, replacing a file in one step, the log held alone.
#include "base/base.h"
#include "platform/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "test_scratch.h"

TEST(WindowsFolders, UserFolderIsTheRoamingApplicationDataFolder)
{
    const char* AppData = std::getenv("APPDATA");
    ASSERT_NE(AppData, nullptr);
    EXPECT_EQ(RoamingDataFolder(), AppData);
    EXPECT_EQ(ResolveUserDir("brindlewood game studio/Kistora"),
              std::string(AppData) + "\\brindlewood game studio\\Kistora\\");
    // The executable's folder ends with a backslash and holds the test itself.
    std::string Exe = ExecutableFolder();
    ASSERT_FALSE(Exe.empty());
    EXPECT_EQ(Exe.back(), '\\');
    EXPECT_TRUE(FileExists(Exe + "kistora_tests.exe"));
    EXPECT_EQ(TempFolder().back(), '\\');
}

// "Zoë" and "Kistora 箱" are outside every Western code page's reach at once:
// only the wide-character calls find them.
TEST(WindowsFiles, FoldersAndFilesBeyondTheCodePage)
{
    ScratchFolder Scratch;
    std::string User = NativeFolderPath(Scratch.Path() + "Zo\xC3\xAB/Kistora \xE7\xAE\xB1/");
    ASSERT_EQ(CreatePath(User), 1);
    EXPECT_TRUE(FolderExists(User));
    std::string Prefs = User + "Kistora.prefs";
    ASSERT_EQ(WriteFileAtomic(Prefs, "first", 5), 1);
    ASSERT_EQ(WriteFileAtomic(Prefs, "second", 6), 1) << LastSaveError(); // over the old file
    std::vector<uint8_t> Bytes;
    ASSERT_EQ(ReadWholeFile(Prefs, Bytes), 1);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), "second");
    EXPECT_EQ(FileSize(Prefs), 6);
    // No temporary file is left, and names match without case.
    EXPECT_EQ(ListFiles(User, "*"), std::vector<std::string>{"Kistora.prefs"});
    EXPECT_EQ(ListFiles(User, "*.PREFS"), std::vector<std::string>{"Kistora.prefs"});
    EXPECT_TRUE(ListFiles(User, "*.scores").empty());
    // A pack in such a folder opens too.
    EXPECT_EQ(OpenFileStream(User + "missing", "rb"), nullptr);
    std::FILE* Stream = OpenFileStream(Prefs, "rb");
    ASSERT_NE(Stream, nullptr);
    std::fclose(Stream);
    EXPECT_EQ(DeleteFile(Prefs), 1);
    EXPECT_FALSE(FileExists(Prefs));
}

TEST(WindowsFiles, AFailedSaveSaysWhyAndKeepsTheOldFile)
{
    ScratchFolder Scratch;
    std::string Prefs = NativeFolderPath(Scratch.Path() + "Kistora.prefs");
    ASSERT_EQ(WriteFileAtomic(Prefs, "kept", 4), 1);
    // A folder where the file should be: the rename cannot replace it.
    std::string Blocked = NativeFolderPath(Scratch.Path() + "Blocked");
    ASSERT_EQ(CreateFolder(Blocked), 1);
    EXPECT_EQ(WriteFileAtomic(Blocked, "new", 3), 0);
    EXPECT_EQ(LastSaveError().rfind("rename: ", 0), 0u) << LastSaveError();
    EXPECT_EQ(ListFiles(Scratch.Path(), "*"), std::vector<std::string>{"Kistora.prefs"});
    std::vector<uint8_t> Bytes;
    ASSERT_EQ(ReadWholeFile(Prefs, Bytes), 1);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), "kept");
}

TEST(WindowsFiles, TheLogIsHeldByOneRunAlone)
{
    ScratchFolder Scratch;
    std::string Log = NativeFolderPath(Scratch.Path() + "Log.log");
    int First = CreateLockedFile(Log);
    ASSERT_NE(First, 0);
    ASSERT_EQ(WriteToFile(First, "one run\n", 8), 1);
    CloseFile(First);
    int Again = CreateLockedFile(Log);
    ASSERT_NE(Again, 0);
    ASSERT_EQ(WriteToFile(Again, "held", 4), 1);
    // While it is open no one else may open it, and what it holds stays.
    EXPECT_EQ(CreateLockedFile(Log), 0);
    std::vector<uint8_t> Bytes;
    EXPECT_EQ(ReadWholeFile(Log, Bytes), 0);
    CloseFile(Again);
    ASSERT_EQ(ReadWholeFile(Log, Bytes), 1);
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), "held"); // the older text was dropped
}
