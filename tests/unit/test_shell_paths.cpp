// The per-user folder and the creation of folder paths.
#include "shell/shell.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

#include "test_scratch.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed afterwards.
class ShellPaths : public ::testing::Test {
  protected:
    std::string Root;
    void SetUp() override
    {
        std::string Pattern = (fs::temp_directory_path() / "kistora-paths-XXXXXX").string();
        ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
        Root = Pattern + "/";
    }
    void TearDown() override
    {
        std::error_code Ignored;
        fs::remove_all(Root, Ignored);
    }
};

TEST_F(ShellPaths, CreatesEveryMissingFolderAlongThePath)
{
    std::string Deep = Root + "brindlewood game studio/Kistora/deeper/";
    ASSERT_FALSE(fs::exists(Root + "brindlewood game studio"));
    EXPECT_EQ(CreatePath(Deep), 1);
    EXPECT_TRUE(fs::is_directory(Root + "brindlewood game studio"));
    EXPECT_TRUE(fs::is_directory(Root + "brindlewood game studio/Kistora"));
    EXPECT_TRUE(fs::is_directory(Deep));
}

TEST_F(ShellPaths, APathWithoutTheClosingSlashIsCreatedWhole)
{
    EXPECT_EQ(CreatePath(Root + "a/b/c"), 1);
    EXPECT_TRUE(fs::is_directory(Root + "a/b/c"));
    // Nothing was made of the last field as a file.
    EXPECT_FALSE(fs::is_regular_file(Root + "a/b/c"));
}

TEST_F(ShellPaths, AnExistingPathIsLeftAsItIs)
{
    fs::create_directories(Root + "kept/inner");
    std::ofstream(Root + "kept/inner/file.txt") << "data";
    EXPECT_EQ(CreatePath(Root + "kept/inner/"), 1);
    EXPECT_EQ(CreatePath(Root + "kept/inner"), 1);
    std::ifstream In(Root + "kept/inner/file.txt");
    std::string Content;
    In >> Content;
    EXPECT_EQ(Content, "data");
    // Existing folders part of the way: only the rest is made.
    EXPECT_EQ(CreatePath(Root + "kept/new/newer/"), 1);
    EXPECT_TRUE(fs::is_directory(Root + "kept/new/newer"));
    EXPECT_TRUE(fs::is_regular_file(Root + "kept/inner/file.txt"));
}

TEST_F(ShellPaths, APathThroughAFileFails)
{
    std::ofstream(Root + "plain") << "x";
    EXPECT_EQ(CreatePath(Root + "plain/sub/"), 0);
    EXPECT_FALSE(fs::exists(Root + "plain/sub"));
    EXPECT_TRUE(fs::is_regular_file(Root + "plain"));
    // The path that is itself the file exists: nothing to do.
    EXPECT_EQ(CreatePath(Root + "plain"), 1);
}

TEST_F(ShellPaths, AFolderThatCannotBeMadeFails)
{
    // Nobody, not even root, makes folders in /proc.
    EXPECT_EQ(CreatePath("/proc/kistora-no-such-folder/a/b/"), 0);
    EXPECT_FALSE(fs::exists("/proc/kistora-no-such-folder"));
}

TEST_F(ShellPaths, UserFolderLiesInTheDataHome)
{
    EnvironmentValue Data("XDG_DATA_HOME", (Root + "data").c_str());
    EXPECT_EQ(ResolveUserDir("brindlewood game studio/Kistora"), Root + "data/brindlewood game studio/Kistora/");
    // The folder is only named, not made.
    EXPECT_FALSE(fs::exists(Root + "data"));
}

TEST_F(ShellPaths, UserFolderDefaultsToTheHomesLocalShare)
{
    EnvironmentValue Data("XDG_DATA_HOME", nullptr);
    EnvironmentValue Home("HOME", (Root + "home").c_str());
    EXPECT_EQ(ResolveUserDir("brindlewood game studio/Kistora"),
              Root + "home/.local/share/brindlewood game studio/Kistora/");
}

TEST_F(ShellPaths, ARelativeDataHomeIsIgnored)
{
    EnvironmentValue Data("XDG_DATA_HOME", "relative/data");
    EnvironmentValue Home("HOME", (Root + "home/").c_str());
    EXPECT_EQ(ResolveUserDir("sub"), Root + "home/.local/share/sub/");
}

TEST_F(ShellPaths, TheUserFolderCanBeCreatedAndWrittenTo)
{
    EnvironmentValue Data("XDG_DATA_HOME", (Root + "xdg").c_str());
    std::string Folder = ResolveUserDir("brindlewood game studio/Kistora");
    ASSERT_EQ(Folder.back(), '/');
    EXPECT_EQ(CreatePath(Folder), 1);
    EXPECT_TRUE(fs::is_directory(Folder));
    const char Bytes[] = "abc";
    EXPECT_EQ(WriteFileAtomic(Folder + "probe.txt", Bytes, 3), 1);
    EXPECT_EQ(FileSize(Folder + "probe.txt"), 3);
}

} // namespace

TEST_F(ShellPaths, TheGameFolderIsBesideTheExecutableOrTheInstalledDataFolder)
{
    // An installed tree: <prefix>/games/kistora and <prefix>/share/games/kistora/.
    std::string Games = Root + "prefix/games/";
    std::string Data = Root + "prefix/share/games/kistora/";
    fs::create_directories(Games);
    fs::create_directories(Data);
    // No archive anywhere: the executable's folder, which reports it missing.
    EXPECT_EQ(FindGameDir(Games), Games);
    std::ofstream(Data + "Kistora.data") << "x";
    EXPECT_EQ(FindGameDir(Games), Data) << "the path is written without \"..\"";
    // An archive beside the executable wins (the build folder, an unpacked copy).
    std::ofstream(Games + "Kistora.data") << "x";
    EXPECT_EQ(FindGameDir(Games), Games);
    // Another folder with neither.
    std::string Elsewhere = Root + "elsewhere/bin/";
    fs::create_directories(Elsewhere);
    EXPECT_EQ(FindGameDir(Elsewhere), Elsewhere);
}
