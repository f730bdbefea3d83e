// The progress list and the scores file "Kistora.scores".
#include "levels/levels.h"
#include "platform/platform.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class ProgressScores : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Folder = std::filesystem::temp_directory_path() /
                 ("kistora-progress-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        FolderText = Folder.string() + "/";
        ProgressList.clear();
    }

    void TearDown() override
    {
        std::filesystem::remove_all(Folder);
        ProgressList.clear();
        LevelNameList.clear();
    }

    // Entries with names only, every other field set to a marker value that a
    // load must overwrite.
    void MakeEntries(int Count)
    {
        ProgressList.clear();
        for (int I = 0; I < Count; I++) {
            LevelProgress Entry;
            Entry.Name = "L";
            Entry.Name += std::to_string(I + 1);
            Entry.TimeMs = 777;
            Entry.Steps = 77;
            Entry.Unlocked = 7;
            ProgressList.push_back(Entry);
        }
    }

    void WriteScores(const std::string& Bytes)
    {
        std::FILE* File = std::fopen((FolderText + "Kistora.scores").c_str(), "wb");
        ASSERT_NE(File, nullptr);
        std::fwrite(Bytes.data(), 1, Bytes.size(), File);
        std::fclose(File);
    }

    std::string ReadScores()
    {
        std::vector<uint8_t> Bytes;
        if (!ReadWholeFile(FolderText + "Kistora.scores", Bytes)) {
            return "<missing>";
        }
        return std::string(Bytes.begin(), Bytes.end());
    }

    std::filesystem::path Folder;
    std::string FolderText;
};

TEST_F(ProgressScores, FileBytesAreThreeCrLfLinesPerLevelWithoutBom)
{
    MakeEntries(3);
    ProgressList[0] = {"a", "tA", 1, 0, 120, 95000};
    ProgressList[1] = {"b", "tB", 0, 0, -3, -1};
    ProgressList[2] = {"c", "tC", 2, 0, 2147483647, 9000000000000LL};
    const std::string Expected = "95000\r\n120\r\n1\r\n-1\r\n-3\r\n0\r\n9000000000000\r\n2147483647\r\n2\r\n";
    EXPECT_EQ(ScoresFileText(), Expected);
    SaveScores(FolderText);
    EXPECT_EQ(ReadScores(), Expected);

    // Saving again replaces the whole file, a longer old one included.
    WriteScores(std::string(500, '9'));
    ProgressList.resize(1);
    SaveScores(FolderText);
    EXPECT_EQ(ReadScores(), "95000\r\n120\r\n1\r\n");
    ProgressList.clear();
    SaveScores(FolderText);
    EXPECT_EQ(ReadScores(), "");
}

TEST_F(ProgressScores, SaveAndLoadGiveTheSameProgressBack)
{
    MakeEntries(4);
    ProgressList[0] = {"L1", "", 1, 0, 80, 60000};
    ProgressList[1] = {"L2", "", 1, 0, 0, 0};
    ProgressList[2] = {"L3", "", 0, 0, -5, -70000};
    ProgressList[3] = {"L4", "", -1, 0, 2147483647, 9223372036854775807LL};
    const std::vector<LevelProgress> Saved = ProgressList;
    SaveScores(FolderText);
    MakeEntries(4);
    ASSERT_EQ(LoadScores(FolderText), 1);
    for (size_t I = 0; I < Saved.size(); I++) {
        SCOPED_TRACE(I);
        EXPECT_EQ(ProgressList[I].TimeMs, Saved[I].TimeMs);
        EXPECT_EQ(ProgressList[I].Steps, Saved[I].Steps);
        EXPECT_EQ(ProgressList[I].Unlocked, Saved[I].Unlocked);
        EXPECT_EQ(ProgressList[I].Name, Saved[I].Name); // names are never read from the file
    }
}

TEST_F(ProgressScores, MissingFileReturnsZeroAndChangesNothing)
{
    MakeEntries(2);
    EXPECT_EQ(LoadScores(FolderText), 0);
    EXPECT_EQ(ProgressList[0].TimeMs, 777);
    EXPECT_EQ(ProgressList[1].Unlocked, 7);
    EXPECT_EQ(LoadScores(FolderText + "no-such-folder/"), 0);
}

TEST_F(ProgressScores, ShortAndEmptyFilesLockTheRest)
{
    // Three lines, five levels: level 1 unlocked, the rest locked and never completed.
    MakeEntries(5);
    WriteScores("0\r\n0\r\n1\r\n");
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[0].Unlocked, 1);
    for (int I = 0; I < 5; I++) {
        SCOPED_TRACE(I);
        EXPECT_EQ(ProgressList[I].TimeMs, 0);
        EXPECT_EQ(ProgressList[I].Steps, 0);
        if (I > 0) {
            EXPECT_EQ(ProgressList[I].Unlocked, 0);
        }
    }

    // An existing empty file opens: even the first level stays locked.
    MakeEntries(3);
    WriteScores("");
    ASSERT_EQ(LoadScores(FolderText), 1);
    for (const LevelProgress& Entry : ProgressList) {
        EXPECT_EQ(Entry.Unlocked, 0);
        EXPECT_EQ(Entry.TimeMs, 0);
        EXPECT_EQ(Entry.Steps, 0);
    }

    // Written with 10 levels, read with 12: levels 11 and 12 get 0, 0, 0;
    // a file longer than the list is read only as far as needed.
    MakeEntries(10);
    for (LevelProgress& Entry : ProgressList) {
        Entry = {Entry.Name, "", 1, 0, 5, 50};
    }
    SaveScores(FolderText);
    MakeEntries(12);
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[9].TimeMs, 50);
    EXPECT_EQ(ProgressList[9].Unlocked, 1);
    for (int I : {10, 11}) {
        EXPECT_EQ(ProgressList[I].TimeMs, 0);
        EXPECT_EQ(ProgressList[I].Steps, 0);
        EXPECT_EQ(ProgressList[I].Unlocked, 0);
    }
    MakeEntries(2);
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[1].Steps, 5);
}

TEST_F(ProgressScores, CrOnlyLfOnlyAndMixedLineEndsReadAlike)
{
    const char* Files[] = {
        "1500\r\n12\r\n1\r\n2500\r\n34\r\n0",
        "1500\n12\n1\n2500\n34\n0\n",
        "1500\r12\r1\r2500\r34\r0\r",
        "1500\r\n12\n1\r2500\r\n34\n0",
    };
    for (const char* Bytes : Files) {
        SCOPED_TRACE(testing::PrintToString(std::string(Bytes)));
        MakeEntries(2);
        WriteScores(Bytes);
        ASSERT_EQ(LoadScores(FolderText), 1);
        EXPECT_EQ(ProgressList[0].TimeMs, 1500);
        EXPECT_EQ(ProgressList[0].Steps, 12);
        EXPECT_EQ(ProgressList[0].Unlocked, 1);
        EXPECT_EQ(ProgressList[1].TimeMs, 2500);
        EXPECT_EQ(ProgressList[1].Steps, 34);
        EXPECT_EQ(ProgressList[1].Unlocked, 0);
    }
    // "\n\r" is two line ends: an empty line comes between.
    MakeEntries(1);
    WriteScores("9\n\r3\r\n");
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[0].TimeMs, 9);
    EXPECT_EQ(ProgressList[0].Steps, 0);
    EXPECT_EQ(ProgressList[0].Unlocked, 3);
}

TEST_F(ProgressScores, LinesAreParsedAsNumbersWithLow32BitsForStepsAndFlag)
{
    MakeEntries(5);
    WriteScores(
        // level 1: blanks, tab and sign; trailing text ignored
        "  \t+42ms\r\n\t-7\r\n 1 \r\n"
        // level 2: hexadecimal and binary
        "$FF\r\n%101\r\n$1\r\n"
        // level 3: words and empty lines read as 0
        "time\r\n\r\n-\r\n"
        // level 4: 2^32 + 3 steps keeps 3; flag 2^32 - 1 becomes -1; 64-bit time kept whole
        "8589934592\r\n4294967299\r\n4294967295\r\n"
        // level 5: the unlocked value 2 is kept as it stands
        "1\r\n1\r\n2\r\n");
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[0].TimeMs, 42);
    EXPECT_EQ(ProgressList[0].Steps, -7);
    EXPECT_EQ(ProgressList[0].Unlocked, 1);
    EXPECT_EQ(ProgressList[1].TimeMs, 255);
    EXPECT_EQ(ProgressList[1].Steps, 5);
    EXPECT_EQ(ProgressList[1].Unlocked, 1);
    EXPECT_EQ(ProgressList[2].TimeMs, 0);
    EXPECT_EQ(ProgressList[2].Steps, 0);
    EXPECT_EQ(ProgressList[2].Unlocked, 0);
    EXPECT_EQ(ProgressList[3].TimeMs, 8589934592LL);
    EXPECT_EQ(ProgressList[3].Steps, 3);
    EXPECT_EQ(ProgressList[3].Unlocked, -1);
    EXPECT_EQ(ProgressList[4].Unlocked, 2);
}

TEST_F(ProgressScores, ByteOrderMarkIsNotSkipped)
{
    MakeEntries(2);
    WriteScores("\xEF\xBB\xBF"
                "60000\r\n80\r\n1\r\n95000\r\n120\r\n1\r\n");
    ASSERT_EQ(LoadScores(FolderText), 1);
    EXPECT_EQ(ProgressList[0].TimeMs, 0);
    EXPECT_EQ(ProgressList[0].Steps, 80);
    EXPECT_EQ(ProgressList[0].Unlocked, 1);
    EXPECT_EQ(ProgressList[1].TimeMs, 95000);
}

TEST_F(ProgressScores, FailedSaveLeavesNothingBehind)
{
    MakeEntries(1);
    // The folder does not exist: nothing is written, nothing is created.
    SaveScores(FolderText + "missing/");
    EXPECT_FALSE(std::filesystem::exists(Folder / "missing"));
    // The scores name is taken by a folder: it stays as it was, and no
    // temporary file is left beside it.
    std::filesystem::create_directories(Folder / "Kistora.scores" / "keep");
    SaveScores(FolderText);
    EXPECT_TRUE(std::filesystem::is_directory(Folder / "Kistora.scores" / "keep"));
    int Files = 0;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder)) {
        Files += Entry.path().filename() != "Kistora.scores";
    }
    EXPECT_EQ(Files, 0);
}

TEST_F(ProgressScores, ProgressListFollowsTheLevelOrder)
{
    levelsByName.clear();
    LevelRecord Level;
    Level.Name = u"first";
    Level.TitleKey = u"tLevelFIRST";
    levelsByName["first"] = Level;
    LevelNameList = {"first", "missing", "first"};
    ProgressList.resize(7);
    BuildProgressList();
    ASSERT_EQ(ProgressList.size(), 3u);
    EXPECT_EQ(ProgressList[0].Name, "first");
    EXPECT_EQ(ProgressList[0].TitleKey, "tLevelFIRST");
    EXPECT_EQ(ProgressList[1].Name, "missing");
    EXPECT_EQ(ProgressList[1].TitleKey, "");
    EXPECT_EQ(ProgressList[2].Name, "first");
    for (const LevelProgress& Entry : ProgressList) {
        EXPECT_EQ(Entry.Unlocked, 0);
        EXPECT_EQ(Entry.Steps, 0);
        EXPECT_EQ(Entry.TimeMs, 0);
        EXPECT_EQ(Entry.CardImage, 0);
    }
    levelsByName.clear();
}

} // namespace
