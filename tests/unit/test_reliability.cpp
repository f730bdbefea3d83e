// Saves that fail (a full disk, no folder, a folder that cannot be made) and
// the hostile files every reader of outside data must get through with a
// defined outcome and bounded work. bench/hostile.cpp measures what the
// hostile files cost in time and memory.
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include "hostile_inputs.h"
#include "test_scratch.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& Path, const std::string& Text)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Text;
}

std::vector<std::string> FolderNames(const std::string& Folder)
{
    std::vector<std::string> Names;
    for (const auto& Entry : fs::directory_iterator(Folder))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

// Lowers the largest file this process may write, for one test.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t Bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Old_);
        rlimit New = Old_;
        New.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &New);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old_);
    }

  private:
    rlimit Old_{};
};

// Standard error into a pipe (a capture file would itself be held to a
// lowered file-size limit). Read() gives what was written and restores it.
class StderrPipe {
  public:
    StderrPipe()
    {
        std::fflush(stderr);
        if (pipe(Ends_) != 0)
            return;
        Saved_ = dup(2);
        dup2(Ends_[1], 2);
    }
    std::string Read()
    {
        std::fflush(stderr);
        dup2(Saved_, 2);
        close(Saved_);
        close(Ends_[1]);
        std::string Text;
        char Chunk[4096];
        ssize_t Got;
        while ((Got = read(Ends_[0], Chunk, sizeof Chunk)) > 0)
            Text.append(Chunk, size_t(Got));
        close(Ends_[0]);
        return Text;
    }

  private:
    int Ends_[2] = {-1, -1};
    int Saved_ = -1;
};

class Reliability : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SetSettingsStartValues();
        ProgressList.clear();
        for (int I = 0; I < 20; I++) {
            LevelProgress Entry;
            Entry.Name = std::to_string(I + 1);
            Entry.TimeMs = 1000000 + I;
            Entry.Steps = 500 + I;
            Entry.Unlocked = 1;
            ProgressList.push_back(Entry);
        }
    }
    void TearDown() override
    {
        ProgressList.clear();
        SetSettingsStartValues();
    }
    ScratchFolder Folder{"kistora-reliability"};
};

// A disk that takes no more than 64 bytes per file: both saves fail, say so
// on standard error with the reason, and leave the old files and nothing else.
TEST_F(Reliability, AFullDiskKeepsTheOldFilesAndSaysSo)
{
    const std::string OldPrefs = "\xEF\xBB\xBF\r\n[Settings]\r\nMusic = 0\r\n";
    const std::string OldScores = "1\r\n2\r\n1\r\n";
    WriteText(Folder.Path() + "Kistora.prefs", OldPrefs);
    WriteText(Folder.Path() + "Kistora.scores", OldScores);
    int Prefs = 1, Scores = 1;
    std::string PrefsError, Said;
    {
        StderrPipe Errors;
        FileSizeLimit Limit(64);
        Prefs = SavePreferences(Folder.Path());
        PrefsError = LastSaveError();
        Scores = SaveScores(Folder.Path());
        Said = Errors.Read();
    }
    EXPECT_EQ(Prefs, 0);
    EXPECT_EQ(Scores, 0);
    EXPECT_EQ(PrefsError, "write: " + std::string(std::strerror(EFBIG)));
    EXPECT_NE(Said.find("preferences could not be saved to " + Folder.Path() + "Kistora.prefs: write:"),
              std::string::npos)
        << Said;
    EXPECT_NE(Said.find("scores could not be saved to " + Folder.Path() + "Kistora.scores: write:"), std::string::npos)
        << Said;
    EXPECT_EQ(ReadText(Folder.Path() + "Kistora.prefs"), OldPrefs);
    EXPECT_EQ(ReadText(Folder.Path() + "Kistora.scores"), OldScores);
    EXPECT_EQ(FolderNames(Folder.Path()), (std::vector<std::string>{"Kistora.prefs", "Kistora.scores"}));

    // With room again the same saves go through.
    EXPECT_EQ(SavePreferences(Folder.Path()), 1);
    EXPECT_EQ(SaveScores(Folder.Path()), 1);
    EXPECT_EQ(ReadText(Folder.Path() + "Kistora.scores"), ScoresFileText());
}

// No per-user folder could be named: nothing lands in the current folder.
TEST_F(Reliability, NoFolderToSaveInWritesNothingAnywhere)
{
    fs::path Before = fs::current_path();
    fs::current_path(Folder.Root);
    testing::internal::CaptureStderr();
    int Prefs = SavePreferences("");
    int Scores = SaveScores("");
    std::string Said = testing::internal::GetCapturedStderr();
    fs::current_path(Before);
    EXPECT_EQ(Prefs, 0);
    EXPECT_EQ(Scores, 0);
    EXPECT_NE(Said.find("no folder to save in"), std::string::npos) << Said;
    EXPECT_TRUE(FolderNames(Folder.Path()).empty());
}

// Without HOME and XDG_DATA_HOME the account's home from the user database
// is used; a relative or unusable home gives no folder at all.
TEST_F(Reliability, MissingHomeFallsBackToTheAccountsHome)
{
    EnvironmentValue Data("XDG_DATA_HOME", nullptr);
    EnvironmentValue Home("HOME", nullptr);
    passwd* Account = getpwuid(getuid());
    ASSERT_NE(Account, nullptr);
    std::string Expected = std::string(Account->pw_dir);
    if (Expected.back() != '/')
        Expected += '/';
    EXPECT_EQ(ResolveUserDir("brindlewood game studio/Kistora"),
              Expected + ".local/share/brindlewood game studio/Kistora/");
}

// A user folder whose name is not ASCII is made, written and read back.
TEST_F(Reliability, ANonAsciiUserFolderWorks)
{
    std::string Data = Folder.Path() + "J\xC3\xBCrgen \xC3\x98 \xE6\x97\xA5\xE6\x9C\xAC";
    EnvironmentValue Xdg("XDG_DATA_HOME", Data.c_str());
    std::string User = ResolveUserDir("brindlewood game studio/Kistora");
    EXPECT_EQ(User, Data + "/brindlewood game studio/Kistora/");
    ASSERT_EQ(CreatePath(User), 1);
    Language = "de_DE";
    Music = 0;
    ASSERT_EQ(SavePreferences(User), 1);
    ASSERT_EQ(SaveScores(User), 1);
    SetSettingsStartValues();
    ASSERT_EQ(LoadPreferences(User), 1);
    EXPECT_EQ(Language, "de_DE");
    EXPECT_EQ(Music, 0);
    EXPECT_EQ(LoadScores(User), 1);
    EXPECT_EQ(ProgressList[19].Steps, 519);
}

// ~/.local/share taken by a plain file: the user folder cannot be made and
// the save fails with a reason, leaving the file alone.
TEST_F(Reliability, AnUnwritableDataHomeFailsTheSaveCleanly)
{
    EnvironmentValue Xdg("XDG_DATA_HOME", nullptr);
    EnvironmentValue Home("HOME", (Folder.Path() + "home").c_str());
    fs::create_directories(Folder.Path() + "home/.local");
    WriteText(Folder.Path() + "home/.local/share", "a file, not a folder");
    std::string User = ResolveUserDir("brindlewood game studio/Kistora");
    EXPECT_EQ(CreatePath(User), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SavePreferences(User), 0);
    std::string Said = testing::internal::GetCapturedStderr();
    EXPECT_NE(Said.find("create: " + std::string(std::strerror(ENOTDIR))), std::string::npos) << Said;
    EXPECT_EQ(ReadText(Folder.Path() + "home/.local/share"), "a file, not a folder");
}

// ---------------------------------------------------------------------------
// Hostile files
// ---------------------------------------------------------------------------

class HostileFiles : public ::testing::Test {
  protected:
    void TearDown() override
    {
        levelOrder.clear();
        levelsByName.clear();
        tilesByName.clear();
        LevelArchiveInfo = LevelArchiveInfoRecord();
        ProgressList.clear();
        TextTable.clear();
        SetSettingsStartValues();
    }
    ScratchFolder Folder{"kistora-hostile"};
};

// 10,000 levels and 10,000 tiles claimed: the first 100 levels are read (the
// count then says 100), the tile table behind the skipped names is still
// found, and at most 256 tiles are read.
TEST_F(HostileFiles, AnIndexClaimingTenThousandLevelsAndTilesIsCut)
{
    std::vector<uint8_t> Bytes = hostile::MakeClaimingLevelArchive(10000, 10000, 150, 300);
    int Archive = OpenArchiveMemory(Bytes.data(), Bytes.size());
    ASSERT_NE(Archive, 0);
    LoadLevelArchiveFrom(Archive);
    CloseArchive(Archive);
    EXPECT_EQ(levelOrder.size(), size_t(MaxLevels));
    EXPECT_EQ(levelsByName.size(), size_t(MaxLevels));
    EXPECT_EQ(GetArchiveProperty(4), "100");
    EXPECT_EQ(levelOrder.back(), "100");
    EXPECT_EQ(GetLevelProperty("100", 2), "4"); // its map was there and was read
    EXPECT_EQ(GetArchiveProperty(5), "256");
    EXPECT_EQ(tilesByName.size(), size_t(MaxTiles));
    EXPECT_EQ(tilesByName.count("256"), 1u);
    EXPECT_EQ(tilesByName.count("257"), 0u);
}

// Sides of 1000, 100 layers, 50 crates and 200,000 bytes: the level is kept
// in the order but its record stays empty.
TEST_F(HostileFiles, AMapOverEveryLimitIsNotRead)
{
    std::vector<uint8_t> Bytes = hostile::MakeArchiveWithMap(hostile::MakeMapOverEveryLimit());
    int Archive = OpenArchiveMemory(Bytes.data(), Bytes.size());
    ASSERT_NE(Archive, 0);
    LoadLevelArchiveFrom(Archive);
    CloseArchive(Archive);
    ASSERT_EQ(levelOrder, std::vector<std::string>{"01"});
    EXPECT_EQ(GetLevelProperty("01", 2), "0");
    EXPECT_EQ(GetLevelProperty("01", 6), "0");
    EXPECT_EQ(GetLevelProperty("01", 9), "0");
}

// Maps of 20 MiB each (the most an entry may have): three are read, and the
// fourth would take the maps of one load past 64 MiB, so it is not.
TEST_F(HostileFiles, MapsTogetherStayWithinTheirBudget)
{
    std::vector<uint8_t> Map = packtest::MakeMap(packtest::MapSpec());
    Map.resize(LevelEntryBufferLimit, 0);
    std::vector<PackInput> Entries;
    Entries.push_back({"index", packtest::MakeIndex({u"1", u"2", u"3", u"4", u"5"}, {})});
    for (const char* Name : {"1", "2", "3", "4"})
        Entries.push_back({std::string("MAPS/") + Name, Map});
    Entries.push_back({"MAPS/5", packtest::MakeMap(packtest::MapSpec())});
    PackOptions Options;
    Options.Level = 1;
    std::vector<uint8_t> Bytes = BuildPack(Entries, Options);
    int Archive = OpenArchiveMemory(Bytes.data(), Bytes.size());
    LoadLevelArchiveFrom(Archive);
    CloseArchive(Archive);
    EXPECT_EQ(GetLevelProperty("3", 2), "4");
    EXPECT_EQ(GetLevelProperty("4", 2), "0");
    // What is left of the budget still takes a small map.
    EXPECT_EQ(GetLevelProperty("5", 2), "4");
}

// Entries claiming 4 GiB fail at once, into the sound buffer of 15 MiB as
// through any other capacity, and the file is not read past its end.
TEST_F(HostileFiles, APackEntryClaimingFourGibibytesFails)
{
    std::vector<uint8_t> Bytes = hostile::MakePackClaiming4GiB();
    packtest::WriteFile(Folder.Path() + "Kistora.data", Bytes);
    int Archive = OpenArchive(Folder.Path() + "Kistora.data");
    ASSERT_NE(Archive, 0);
    const std::vector<PackEntry>* Entries = ArchiveEntries(Archive);
    ASSERT_EQ(Entries->size(), 2u);
    EXPECT_EQ((*Entries)[0].UnpackedSize, uint64_t(4) << 30);
    std::vector<uint8_t> Buffer(15728640);
    EXPECT_EQ(ExtractEntry(Archive, "music1.ogg", Buffer.data(), Buffer.size()), -1);
    EXPECT_EQ(ExtractEntry(Archive, "music2.ogg", Buffer.data(), Buffer.size()), -1);
    CloseArchive(Archive);
}

// A header claiming 65535 x 65535 (and one claiming 4096 x 4096 from a few
// bytes) is refused before the pixels are allocated; the size query still
// reports the claim.
TEST_F(HostileFiles, APngClaimingAHugePictureIsRefused)
{
    std::vector<uint8_t> Huge = hostile::MakePng(65535, 65535, 0);
    int Width = 0, Height = 0;
    EXPECT_EQ(PngPictureSize(Huge.data(), Huge.size(), &Width, &Height), 1);
    EXPECT_EQ(Width, 65535);
    EXPECT_EQ(Height, 65535);
    EXPECT_EQ(LoadImagePng(Huge.data(), Huge.size()), 0);
    std::vector<uint8_t> Large = hostile::MakePng(4096, 4096, 0);
    EXPECT_EQ(LoadImagePng(Large.data(), Large.size()), 0);
    std::vector<uint8_t> Fine = hostile::MakePng(64, 32);
    int Image = LoadImagePng(Fine.data(), Fine.size());
    ASSERT_NE(Image, 0);
    EXPECT_EQ(ImageWidth(Image), 64);
    EXPECT_EQ(ImageHeight(Image), 32);
    FreeImage(Image);
}

// 50 MB with a line of 1 MB: not listed, not loaded; the other language is.
TEST_F(HostileFiles, AFiftyMegabyteLanguageFileIsRefused)
{
    std::string Source = Folder.Path() + "Kistora.languages/";
    fs::create_directories(Source);
    WriteText(Source + "hu_GE.language", hostile::MakeHugeLanguage(50000000, 1000000));
    WriteText(Source + "en_GB.language",
              "[LANGUAGE FILE]\r\ntLangFileNAME = English\r\n[Menu]\r\ntMenuSTART = Start\r\n");
    EXPECT_EQ(ScanLanguages(Source), 1);
    ASSERT_EQ(LanguageList.size(), 1u);
    EXPECT_EQ(LanguageList[0].Code, "en_GB");
    EXPECT_EQ(LoadLanguage(Source, "hu_GE"), 0);
    EXPECT_TRUE(TextTable.empty());
    EXPECT_EQ(LoadLanguage(Source, "en_GB"), 1);
    EXPECT_EQ(Text("tMenuSTART"), "Start");
    // A file of just under the limit, with the same 1 MB line, is read.
    WriteText(Source + "hu_GE.language", hostile::MakeHugeLanguage(1 << 20, 1000000));
    EXPECT_EQ(LoadLanguage(Source, "hu_GE"), 1);
    EXPECT_EQ(Text("tLong"), std::string(1000000, 'x'));
}

// A zip whose language entry inflates to 1 GiB: not listed, not loaded, and
// no extracted file is left in the temporary folder.
TEST_F(HostileFiles, ALanguageZipInflatingToOneGibibyteIsRefused)
{
    std::string Zip = std::string(KISTORA_TESTDATA_DIR) + "/hostile/language_bomb_1gib.zip";
    std::vector<std::string> Names;
    ASSERT_EQ(ZipListFiles(Zip, Names), 1);
    EXPECT_EQ(Names, std::vector<std::string>{"xx_XX.language"});
    EnvironmentValue Temp("TMPDIR", Folder.Path().c_str());
    EXPECT_EQ(ScanLanguages(Zip), 0);
    EXPECT_EQ(LoadLanguage(Zip, "xx_XX"), 0);
    EXPECT_TRUE(TextTable.empty());
    EXPECT_EQ(ZipExtractToFile(Zip, "xx_XX.language", Folder.Path() + "out"), 0);
    EXPECT_TRUE(FolderNames(Folder.Path()).empty());
}

// A million lines: the levels' lines are read from the start of the file,
// and no more than its first MiB is read at all.
TEST_F(HostileFiles, AMillionLineScoresFileReadsItsStart)
{
    WriteText(Folder.Path() + "Kistora.scores", hostile::MakeLongScores(1000000));
    ProgressList.assign(60, LevelProgress());
    ASSERT_EQ(LoadScores(Folder.Path()), 1);
    // Line n (from 0) holds n % 1000: level k has lines 3k, 3k + 1, 3k + 2.
    for (int K = 0; K < 60; K++) {
        EXPECT_EQ(ProgressList[size_t(K)].TimeMs, 3 * K);
        EXPECT_EQ(ProgressList[size_t(K)].Steps, 3 * K + 1);
        EXPECT_EQ(ProgressList[size_t(K)].Unlocked, 3 * K + 2);
    }
    std::vector<uint8_t> Bytes;
    EXPECT_EQ(ReadFileLimited(Folder.Path() + "Kistora.scores", Bytes, 1 << 20, 1), 1);
    EXPECT_EQ(Bytes.size(), size_t(1) << 20);
    EXPECT_EQ(ReadFileLimited(Folder.Path() + "Kistora.scores", Bytes, 1 << 20, 0), -1);
    EXPECT_TRUE(Bytes.empty());
}

// 10 MB of preferences: refused like a missing file, the settings untouched.
TEST_F(HostileFiles, ATenMegabytePreferencesFileIsRefused)
{
    WriteText(Folder.Path() + "Kistora.prefs", hostile::MakeHugePreferences(10000000));
    SetSettingsStartValues();
    EXPECT_EQ(LoadPreferences(Folder.Path()), 0);
    EXPECT_EQ(Music, 1);
    EXPECT_EQ(GameScreen, 2);
    // The same start within the limit is read.
    WriteText(Folder.Path() + "Kistora.prefs", hostile::MakeHugePreferences(1 << 20));
    EXPECT_EQ(LoadPreferences(Folder.Path()), 1);
    EXPECT_EQ(Music, 0);
    EXPECT_EQ(GameScreen, 1);
}

} // namespace
