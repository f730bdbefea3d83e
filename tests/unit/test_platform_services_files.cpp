// Folders, file queries, atomic replacement, the locked buffered log files,
// and the system details and locale name.
#include "platform/platform.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& Path, const std::string& Text)
{
    std::ofstream(Path, std::ios::binary) << Text;
}

// Sets (or with nullptr unsets) an environment variable for one scope.
class EnvironmentOverride {
  public:
    EnvironmentOverride(const char* Variable, const char* Value) : Name(Variable)
    {
        const char* Old = std::getenv(Name);
        HadOld = Old != nullptr;
        if (HadOld) {
            OldValue = Old;
        }
        if (Value != nullptr) {
            setenv(Name, Value, 1);
        } else {
            unsetenv(Name);
        }
    }
    ~EnvironmentOverride()
    {
        if (HadOld) {
            setenv(Name, OldValue.c_str(), 1);
        } else {
            unsetenv(Name);
        }
    }

  private:
    const char* Name;
    bool HadOld = false;
    std::string OldValue;
};

class PlatformFiles : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char Template[] = "/tmp/kistora-files-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = std::string(Template) + "/";
    }
    void TearDown() override
    {
        CloseAllFiles();
        std::error_code Ignored;
        fs::permissions(Dir, fs::perms::owner_all, Ignored);
        fs::remove_all(Dir, Ignored);
    }
    // Names in the folder, to catch temporary files left behind.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> Names;
        for (const auto& Entry : fs::directory_iterator(Dir)) {
            Names.push_back(Entry.path().filename().string());
        }
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    std::string Dir;
};

} // namespace

TEST_F(PlatformFiles, FoldersEndWithASlashAndFollowTheEnvironment)
{
    {
        EnvironmentOverride Temp("TMPDIR", "/var/scratch");
        EXPECT_EQ(TempFolder(), "/var/scratch/");
    }
    {
        EnvironmentOverride Temp("TMPDIR", nullptr);
        EXPECT_EQ(TempFolder(), "/tmp/");
    }
    EnvironmentOverride Home("HOME", "/home/tester");
    EXPECT_EQ(HomeFolder(), "/home/tester/");
    {
        EnvironmentOverride Data("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(RoamingDataFolder(), "/srv/data");
    }
    {
        EnvironmentOverride Data("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(RoamingDataFolder(), "/home/tester/.local/share");
    }
    {
        EnvironmentOverride Data("XDG_DATA_HOME", "relative/path");
        EXPECT_EQ(RoamingDataFolder(), "/home/tester/.local/share") << "a relative XDG path is ignored";
    }

    std::string SavedGameDir = Overrides.GameDir;
    Overrides.GameDir = "";
    std::string Own = fs::canonical("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(ExecutableFolder(), Own);
    Overrides.GameDir = "/opt/kistora/";
    EXPECT_EQ(ExecutableFolder(), "/opt/kistora/");
    Overrides.GameDir = SavedGameDir;
}

TEST_F(PlatformFiles, QueriesCreateAndDelete)
{
    std::string File = Dir + "a.bin";
    EXPECT_EQ(FileExists(File), 0);
    EXPECT_EQ(FileSize(File), -1);
    WriteText(File, "12345");
    EXPECT_EQ(FileExists(File), 1);
    EXPECT_EQ(FolderExists(File), 0);
    EXPECT_EQ(FileSize(File), 5);
    EXPECT_EQ(FileExists(Dir), 1);
    EXPECT_EQ(FolderExists(Dir), 1);
    EXPECT_EQ(FileSize(Dir), -1);

    EXPECT_EQ(CreateFolder(Dir + "sub"), 1);
    EXPECT_EQ(FolderExists(Dir + "sub/"), 1);
    EXPECT_EQ(CreateFolder(Dir + "sub"), 1) << "an existing folder is fine";
    EXPECT_EQ(CreateFolder(File), 0) << "a file is in the way";
    EXPECT_EQ(CreateFolder(Dir + "missing/deeper"), 0);
    EXPECT_EQ(CreateFolder(""), 0);

    EXPECT_EQ(DeleteFile(File), 1);
    EXPECT_EQ(FileExists(File), 0);
    EXPECT_EQ(DeleteFile(File), 0);
}

TEST_F(PlatformFiles, ListFilesMatchesWildcardsIgnoringCase)
{
    for (const char* Name :
         {"en_GB.language", "DE_de.LANGUAGE", "fr.language.bak", "notes.txt", "x.languages", "a.txt", ".language"}) {
        WriteText(Dir + Name, "x");
    }
    fs::create_directory(Dir + "folder.language");
    EXPECT_EQ(ListFiles(Dir, "*.language"),
              (std::vector<std::string>{".language", "DE_de.LANGUAGE", "en_GB.language"}));
    EXPECT_EQ(ListFiles(Dir.substr(0, Dir.size() - 1), "*.LANGUAGE").size(), 3u) << "folder without a slash";
    EXPECT_EQ(ListFiles(Dir, "?.txt"), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(ListFiles(Dir, "*a*e*.*"), (std::vector<std::string>{"fr.language.bak"})) << "a star gives back";
    EXPECT_EQ(ListFiles(Dir, "*").size(), 7u);
    EXPECT_TRUE(ListFiles(Dir, "*.png").empty());
    EXPECT_TRUE(ListFiles(Dir + "nowhere/", "*").empty());
}

TEST_F(PlatformFiles, ReadWholeFile)
{
    std::string Content;
    for (int I = 0; I < 200000; I++) {
        Content += char(I * 7);
    }
    WriteText(Dir + "big", Content);
    std::vector<uint8_t> Bytes = {1, 2, 3};
    ASSERT_EQ(ReadWholeFile(Dir + "big", Bytes), 1);
    ASSERT_EQ(Bytes.size(), Content.size());
    EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), Content);

    WriteText(Dir + "empty", "");
    EXPECT_EQ(ReadWholeFile(Dir + "empty", Bytes), 1);
    EXPECT_TRUE(Bytes.empty());

    Bytes = {1, 2, 3};
    EXPECT_EQ(ReadWholeFile(Dir + "missing", Bytes), 0);
    EXPECT_TRUE(Bytes.empty());
    EXPECT_EQ(ReadWholeFile(Dir, Bytes), 0) << "a folder is not a file";
}

TEST_F(PlatformFiles, AtomicWriteReplacesWholeOrNotAtAll)
{
    std::string Path = Dir + "Kistora.prefs";
    ASSERT_EQ(WriteFileAtomic(Path, "first", 5), 1);
    EXPECT_EQ(ReadText(Path), "first");
    ASSERT_EQ(WriteFileAtomic(Path, "second version", 14), 1);
    EXPECT_EQ(ReadText(Path), "second version");
    ASSERT_EQ(WriteFileAtomic(Path, nullptr, 0), 1);
    EXPECT_EQ(ReadText(Path), "");
    WriteText(Path, "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Kistora.prefs"}));

    // The target is a folder: the rename fails and the temporary file goes.
    fs::create_directory(Dir + "taken");
    WriteText(Dir + "taken/inside", "keep");
    EXPECT_EQ(WriteFileAtomic(Dir + "taken", "data", 4), 0);
    EXPECT_EQ(ReadText(Dir + "taken/inside"), "keep");
    EXPECT_EQ(WriteFileAtomic(Dir + "missing/file", "data", 4), 0);
    EXPECT_EQ(WriteFileAtomic(Dir, "data", 4), 0);

    // The disk fills up during the write (a file-size limit stands in for it).
    std::vector<char> Big(64 * 1024, 'n');
    rlimit Saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Saved), 0);
    auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Saved;
    Small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
    int Result = WriteFileAtomic(Path, Big.data(), Big.size());
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, OldHandler);
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(ReadText(Path), "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Kistora.prefs", "taken"}));
}

TEST_F(PlatformFiles, AtomicWriteIntoReadOnlyFolderKeepsTheOldFile)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    std::string Path = Dir + "Kistora.scores";
    WriteText(Path, "old scores");
    fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(WriteFileAtomic(Path, "new", 3), 0);
    fs::permissions(Dir, fs::perms::owner_all);
    EXPECT_EQ(ReadText(Path), "old scores");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Kistora.scores"}));
}

TEST_F(PlatformFiles, LockedFileBuffersFourKilobytes)
{
    std::string Path = Dir + "Log.log";
    int File = CreateLockedFile(Path);
    ASSERT_GT(File, 0);
    std::string Line(4095, 'a');
    ASSERT_EQ(WriteToFile(File, Line.data(), Line.size()), 1);
    EXPECT_EQ(FileSize(Path), 0) << "still in the buffer";
    ASSERT_EQ(WriteToFile(File, "b", 1), 1);
    EXPECT_EQ(FileSize(Path), 4096) << "a full buffer goes to the disk";
    ASSERT_EQ(WriteToFile(File, "0123456789", 10), 1);
    EXPECT_EQ(FileSize(Path), 4096);
    std::string Long(9000, 'c');
    ASSERT_EQ(WriteToFile(File, Long.data(), Long.size()), 1);
    EXPECT_EQ(FileSize(Path), 3 * 4096);
    CloseFile(File);
    EXPECT_EQ(ReadText(Path), Line + "b" + "0123456789" + Long);

    EXPECT_EQ(WriteToFile(File, "x", 1), 0) << "closed handle";
    EXPECT_EQ(WriteToFile(0, "x", 1), 0);
    EXPECT_EQ(WriteToFile(-1, "x", 1), 0);
    EXPECT_EQ(WriteToFile(987654, "x", 1), 0);
    CloseFile(File);
    CloseFile(-5);
    EXPECT_EQ(CreateLockedFile(Dir + "missing/Log.log"), 0);
    EXPECT_EQ(CreateLockedFile(Dir), 0);
}

TEST_F(PlatformFiles, LockedFileIsExclusiveAndReplacedOnceFree)
{
    std::string Path = Dir + "Log 2018-07-10--14-05-09.log";
    WriteText(Path, "an older run");
    int First = CreateLockedFile(Path);
    ASSERT_GT(First, 0);
    EXPECT_EQ(FileSize(Path), 0) << "the old log is replaced";
    std::string Text(5000, 'L');
    ASSERT_EQ(WriteToFile(First, Text.data(), Text.size()), 1);
    ASSERT_EQ(FileSize(Path), 4096);

    // A second run while the first still holds the file: no log, and the
    // first run's lines stay.
    EXPECT_EQ(CreateLockedFile(Path), 0);
    EXPECT_EQ(FileSize(Path), 4096);
    pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        _exit(CreateLockedFile(Path) == 0 ? 0 : 1);
    }
    int Status = -1;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "another process got the file";
    EXPECT_EQ(FileSize(Path), 4096);

    CloseAllFiles();
    EXPECT_EQ(ReadText(Path), Text) << "CloseAllFiles writes out the buffer";
    int Second = CreateLockedFile(Path);
    ASSERT_GT(Second, 0);
    EXPECT_NE(Second, First) << "handles are not reused";
    EXPECT_EQ(FileSize(Path), 0);
    ASSERT_EQ(WriteToFile(Second, "next", 4), 1);
    CloseAllFiles();
    EXPECT_EQ(ReadText(Path), "next");
}

TEST(PlatformSystem, DetailsDescribeTheMachine)
{
    EXPECT_FALSE(CpuName().empty());
    EXPECT_EQ(CpuName(), CpuName());
    EXPECT_EQ(CpuCoresTotal(), int(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_GE(CpuCoresAvailable(), 1);
    EXPECT_LE(CpuCoresAvailable(), CpuCoresTotal());
    EXPECT_GT(PhysicalMemoryBytes(), int64_t(64) << 20);
    EXPECT_GT(FreeMemoryBytes(), 0);
    EXPECT_LE(FreeMemoryBytes(), PhysicalMemoryBytes());
    EXPECT_GE(OperatingSystemCode(), 200) << "a Linux kernel is 2.x or later";
    EXPECT_EQ(OperatingSystemCode(), OperatingSystemCode());
}

TEST(PlatformSystem, LocaleNameFromTheEnvironment)
{
    struct Case {
        const char* All;
        const char* Messages;
        const char* Lang;
        const char* Expected;
    };
    const Case Cases[] = {
        {"en_US.UTF-8", nullptr, nullptr, "en-US"},
        {nullptr, nullptr, "de_DE.ISO-8859-1", "de-DE"},
        {nullptr, "fr_FR@euro", "de_DE.UTF-8", "fr-FR"},
        {"", "", "pt_BR.utf8", "pt-BR"},
        {"nl_NL.UTF-8", "fr_FR", "de_DE", "nl-NL"},
        {"C", nullptr, "en_GB.UTF-8", ""},
        {nullptr, nullptr, "POSIX", ""},
        {nullptr, nullptr, "C.UTF-8", ""},
        {nullptr, nullptr, "eo", "eo"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const Case& C : Cases) {
        EnvironmentOverride All("LC_ALL", C.All);
        EnvironmentOverride Messages("LC_MESSAGES", C.Messages);
        EnvironmentOverride Lang("LANG", C.Lang);
        EXPECT_EQ(UserLocaleName(), C.Expected) << (C.All ? C.All : "-") << " " << (C.Lang ? C.Lang : "-");
    }
}
