// The portable game folder: a copy of the game and its pictures, a level archive
// made by the level compiler, the language files with the imported titles, and a
// preferences file beside the executable, which makes the game keep its
// settings and progress in that folder. Everything is built in a temporary
// folder beside the target and renamed into place at the end, so the target
// either appears whole or not at all.
#include "settings/settings.h"
#include "formats/formats.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "import.h"
#include "levelkit.h"

extern char** environ;

namespace {

// The game's own Kistora.maps holds the level compiler's tiles as "TILES/1" ..
// "TILES/19", which is where an installed game keeps them; the compiler reads
// them back from a folder of files named as KitTileFile says.
constexpr uint64_t EntryLimit = 16u << 20; // bytes: a tile, a picture or a language file
constexpr int OutputLimit = 65536;         // bytes of a tool's messages kept

struct LanguageFile {
    std::string Name; // entry name at the root: "en_GB.language", "en_GB.flag"
    std::string Bytes;
};

volatile sig_atomic_t Interrupted = 0;

} // namespace

static std::string FolderOf(const std::string& Path);
static std::string RealPath(const std::string& Path);
static int IsFile(const std::string& Path);
static int IsFolder(const std::string& Path);
static int WriteBytes(const std::string& Path, const std::string& Bytes);
static int CopyFile(const std::string& From, const std::string& To, int Executable);
static int RunTool(const std::vector<std::string>& Args, double Seconds, std::string& Output, int& TimedOut);
static std::string LastLines(const std::string& Output);
static int ExtractPackEntries(const std::string& Archive,
                              const std::vector<std::pair<std::string, std::string>>& Entries, std::string& Error);
static int ReadLanguageSource(const std::string& Path, std::vector<LanguageFile>& Files, std::string& Error);
static std::string LanguageValue(const std::string& Text, const std::string& Key);
static std::string LevelSource(const std::vector<ImportedLevel>& Levels);
static void OnInterrupt(int Signal);

std::string OwnFolder()
{
    char Buffer[PATH_MAX];
    ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    if (Length <= 0)
        return "";
    Buffer[Length] = 0;
    return FolderOf(RealPath(Buffer));
}

int FindGameFiles(const std::string& GameOption, const std::string& DataOption, FolderPlan& Plan, std::string& Error)
{
    Plan.ToolFolder = OwnFolder();
    std::string Game = GameOption;
    if (Game.empty() && IsFile(Plan.ToolFolder + "kistora"))
        Game = Plan.ToolFolder + "kistora";
    if (Game.empty()) {
        // Like the shell: the first "kistora" on the PATH.
        const char* Path = std::getenv("PATH");
        std::string List = Path ? Path : "";
        size_t Start = 0;
        while (Game.empty() && Start <= List.size()) {
            size_t End = List.find(':', Start);
            if (End == std::string::npos)
                End = List.size();
            std::string Folder = List.substr(Start, End - Start);
            if (!Folder.empty() && IsFile(Folder + "/kistora") && access((Folder + "/kistora").c_str(), X_OK) == 0)
                Game = Folder + "/kistora";
            Start = End + 1;
        }
    }
    if (Game.empty()) {
        Error = "the game is not beside kistora-import nor on the PATH; name it with --game FILE";
        return 0;
    }
    if (!IsFile(Game) || access(Game.c_str(), X_OK) != 0) {
        Error = "the game " + Game + " is not an executable file";
        return 0;
    }
    Plan.GamePath = RealPath(Game);
    std::string Data = DataOption;
    if (!Data.empty()) {
        if (Data.back() != '/')
            Data += '/';
    } else {
        // The game reads its archives from its own folder; an installed game may
        // keep them in the games data folder instead.
        std::string GameFolder = FolderOf(Plan.GamePath);
        Data = GameFolder;
        if (!IsFile(Data + "Kistora.data") && IsFile(GameFolder + "../share/games/kistora/Kistora.data"))
            Data = GameFolder + "../share/games/kistora/";
    }
    for (const char* Name : {"Kistora.data", "Kistora.maps", "Kistora.languages"}) {
        if (!IsFile(Data + Name) && !(std::string(Name) == "Kistora.languages" && IsFolder(Data + Name))) {
            Error =
                "no " + std::string(Name) + " in " + Data + "; name the folder of the game's archives with --data DIR";
            return 0;
        }
    }
    Plan.DataFolder = Data;
    for (const char* Tool : {"kistora-levelc", "kistora-langpack"}) {
        if (!IsFile(Plan.ToolFolder + Tool)) {
            Error = std::string(Tool) + " is missing beside kistora-import in " + Plan.ToolFolder;
            return 0;
        }
    }
    return 1;
}

int BeginPortableFolder(FolderPlan& Plan, std::string& Error)
{
    std::string Out = Plan.OutFolder;
    while (Out.size() > 1 && Out.back() == '/')
        Out.pop_back();
    std::string Base = Out.substr(Out.rfind('/') == std::string::npos ? 0 : Out.rfind('/') + 1);
    if (Out.empty() || Base.empty() || Base == "." || Base == ".." || Base == "/") {
        Error = "cannot make the folder \"" + Plan.OutFolder + "\"; name a new folder with -o";
        return 0;
    }
    Plan.OutFolder = Out;
    struct stat Info;
    if (lstat(Out.c_str(), &Info) == 0) {
        std::error_code Failed;
        if (!S_ISDIR(Info.st_mode) || !std::filesystem::is_empty(Out, Failed) || Failed) {
            Error =
                Out +
                " exists already; name a new folder (an imported folder keeps its progress, so it is never replaced)";
            return 0;
        }
    }
    std::string Parent = FolderOf(Out);
    if (Parent.empty())
        Parent = "./";
    if (!IsFolder(Parent)) {
        Error = "the folder " + Parent + " does not exist";
        return 0;
    }
    std::string Template = Parent + "." + Base + ".import-XXXXXX";
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back(0);
    if (!mkdtemp(Name.data())) {
        Error = "cannot make a folder in " + Parent + ": " + std::strerror(errno);
        return 0;
    }
    Plan.TempFolder = Name.data();
    Plan.WorkFolder = Plan.TempFolder + "/work/";
    mode_t Mask = umask(0);
    umask(Mask);
    chmod(Plan.TempFolder.c_str(), 0777 & ~Mask); // mkdtemp makes it private; the folder is the user's
    if (mkdir(Plan.WorkFolder.c_str(), 0700) != 0) {
        Error = "cannot make a folder in " + Plan.TempFolder;
        AbandonPortableFolder(Plan);
        return 0;
    }
    return 1;
}

int ProveLevel(const FolderPlan& Plan, const PlayableLevel& Level, double Seconds, std::string& Verdict, int& Pushes,
               std::string& Error)
{
    Verdict.clear();
    Pushes = 0;
    std::string Solver = Plan.ToolFolder + "kistora-solve";
    if (!IsFile(Solver)) {
        Error = "kistora-solve is missing beside kistora-import in " + Plan.ToolFolder;
        return 0;
    }
    std::string Source = "Name: proof\nTitle: tProof\n";
    for (const std::string& Row : Level.Rows)
        Source += Row + "\n";
    std::string Path = Plan.WorkFolder + "proof.txt";
    if (!WriteBytes(Path, Source)) {
        Error = "cannot write " + Path;
        return 0;
    }
    char Limit[32];
    std::snprintf(Limit, sizeof Limit, "%g", Seconds);
    std::string Output;
    int TimedOut = 0;
    // The solver keeps its own time; the hard stop only catches a solver that overruns it.
    int Status = RunTool({Solver, Path, "--max-seconds", Limit}, Seconds * 2 + 5, Output, TimedOut);
    std::remove(Path.c_str());
    if (ImportInterrupted()) {
        Error = "interrupted";
        return 0;
    }
    if (TimedOut) {
        Verdict = "gave up";
        return 1;
    }
    if (Output.compare(0, 13, "proof solved ") == 0 && Status == 0) {
        Verdict = "solved";
        size_t At = Output.find("pushes=");
        Pushes = At == std::string::npos ? 0 : std::atoi(Output.c_str() + At + 7);
    } else if (Output.compare(0, 15, "proof unsolved ") == 0) {
        Verdict = "unsolved";
    } else if (Output.compare(0, 14, "proof gave-up ") == 0 || Output.compare(0, 19, "proof bad-solution ") == 0) {
        Verdict = "gave up";
    } else {
        Error = "kistora-solve failed: " + LastLines(Output);
        return 0;
    }
    return 1;
}

int FinishPortableFolder(FolderPlan& Plan, const std::vector<ImportedLevel>& Levels, std::string& Error)
{
    const std::string Out = Plan.TempFolder + "/";
    const std::string Work = Plan.WorkFolder;
    auto Fail = [&](const std::string& What) {
        Error = What;
        AbandonPortableFolder(Plan);
        return 0;
    };
    if (Levels.empty())
        return Fail("no levels to write");

    // The game and its pictures, music and sounds.
    if (!CopyFile(Plan.GamePath, Out + "kistora", 1))
        return Fail("cannot copy the game " + Plan.GamePath);
    if (!CopyFile(Plan.DataFolder + "Kistora.data", Out + "Kistora.data", 0))
        return Fail("cannot copy " + Plan.DataFolder + "Kistora.data");

    // Tiles from the game's level archive, the crate and worker for the thumbnails from its assets.
    std::vector<std::pair<std::string, std::string>> Tiles;
    mkdir((Work + "tiles").c_str(), 0700);
    mkdir((Work + "art").c_str(), 0700);
    for (int Tile = 1; Tile <= KitTileCount; Tile++)
        Tiles.push_back({"TILES/" + std::to_string(Tile), Work + "tiles/" + KitTileFile(Tile)});
    if (!ExtractPackEntries(Plan.DataFolder + "Kistora.maps", Tiles, Error))
        return Fail(Error);
    if (!ExtractPackEntries(Plan.DataFolder + "Kistora.data",
                            {{"crate.png", Work + "art/crate.png"}, {"idle_down.png", Work + "art/idle_down.png"}},
                            Error))
        return Fail(Error);

    // The level archive, made by the level compiler.
    if (!WriteBytes(Work + "levels.txt", LevelSource(Levels)))
        return Fail("cannot write " + Work + "levels.txt");
    std::string Output;
    int TimedOut = 0;
    int Status = RunTool({Plan.ToolFolder + "kistora-levelc", "--out", Out + "Kistora.maps", "--tiles", Work + "tiles",
                          "--art", Work + "art", Work + "levels.txt"},
                         0, Output, TimedOut);
    if (ImportInterrupted())
        return Fail("interrupted");
    if (Status != 0)
        return Fail("the level compiler failed: " + LastLines(Output));

    // The language files with a group of level titles each.
    std::vector<LanguageFile> Languages;
    if (!ReadLanguageSource(Plan.DataFolder + "Kistora.languages", Languages, Error))
        return Fail(Error);
    mkdir((Work + "languages").c_str(), 0700);
    std::vector<std::string> PackArgs = {Plan.ToolFolder + "kistora-langpack", Out + "Kistora.languages"};
    for (LanguageFile& File : Languages) {
        const std::string Suffix = ".language";
        if (File.Name.size() > Suffix.size() &&
            File.Name.compare(File.Name.size() - Suffix.size(), Suffix.size(), Suffix) == 0) {
            std::string Text = DecodeCollectionText(File.Bytes); // UTF-8, whatever the file was
            std::string Header = LanguageValue(Text, "tStartHEADER");
            if (Header.find('#') == std::string::npos)
                Header = (Header.empty() ? "Level" : Header) + " #";
            if (!Text.empty() && Text.back() != '\n')
                Text += "\r\n";
            Text = "\xEF\xBB\xBF" + Text + "\r\n; Titles of the imported levels\r\n[Imported Levels]\r\n";
            int Count = (int)Levels.size();
            for (int K = 0; K < Count; K++) {
                std::string Title = Levels[K].Title;
                if (Title.empty()) { // a collection named only by digits
                    Title = Header;
                    for (size_t At = Title.find('#'); At != std::string::npos; At = Title.find('#', At))
                        Title.replace(At, 1, std::to_string(K + 1));
                }
                Text += "tPackLEVEL" + PackLevelName(K, Count) + " = " + Title + "\r\n";
            }
            File.Bytes = Text;
        }
        std::string Path = Work + "languages/" + File.Name;
        if (!WriteBytes(Path, File.Bytes))
            return Fail("cannot write " + Path);
        PackArgs.push_back(Path);
    }
    Output.clear();
    Status = RunTool(PackArgs, 0, Output, TimedOut);
    if (ImportInterrupted())
        return Fail("interrupted");
    if (Status != 0)
        return Fail("the language packer failed: " + LastLines(Output));

    // Portable mode: preferences beside the executable, written by the game's
    // own writer with its start values and the language it would start in
    // with the languages just packed.
    SetSettingsStartValues();
    ScanLanguages(Out + "Kistora.languages");
    Language = SettledLanguage(Plan.LocaleName);
    if (!SavePreferences(Out))
        return Fail("cannot write " + Out + "Kistora.prefs");

    std::error_code Ignored;
    std::filesystem::remove_all(Work, Ignored);
    if (std::rename(Plan.TempFolder.c_str(), Plan.OutFolder.c_str()) != 0)
        return Fail("cannot rename " + Plan.TempFolder + " to " + Plan.OutFolder + ": " + std::strerror(errno));
    Plan.TempFolder.clear();
    Plan.WorkFolder.clear();
    return 1;
}

void AbandonPortableFolder(FolderPlan& Plan)
{
    if (Plan.TempFolder.empty())
        return;
    std::error_code Ignored;
    std::filesystem::remove_all(Plan.TempFolder, Ignored);
    Plan.TempFolder.clear();
    Plan.WorkFolder.clear();
}

std::string PackLevelName(int Position, int Count)
{
    int Digits = Count >= 100 ? 3 : 2;
    std::string Name = std::to_string(Position + 1);
    while ((int)Name.size() < Digits)
        Name = "0" + Name;
    return Name;
}

int ImportInterrupted()
{
    return Interrupted != 0;
}

void CatchInterrupts()
{
    struct sigaction Action;
    std::memset(&Action, 0, sizeof Action);
    Action.sa_handler = OnInterrupt;
    sigemptyset(&Action.sa_mask);
    for (int Signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(Signal, &Action, nullptr);
}

static void OnInterrupt(int)
{
    Interrupted = 1;
}

// The levels in the level compiler's notation, named "01", "02", ... in play order.
static std::string LevelSource(const std::vector<ImportedLevel>& Levels)
{
    std::string Text = "; Levels written by kistora-import for kistora-levelc\n";
    int Count = (int)Levels.size();
    for (int K = 0; K < Count; K++) {
        std::string Name = PackLevelName(K, Count);
        Text += "\nName: " + Name + "\nTitle: tPackLEVEL" + Name + "\n";
        for (const std::string& Row : Levels[K].Level.Rows)
            Text += Row + "\n";
    }
    return Text;
}

// The value of Key in a language file's text (the last one, as the game's text table keeps it).
static std::string LanguageValue(const std::string& Text, const std::string& Key)
{
    std::string Value;
    size_t At = 0;
    while (At < Text.size()) {
        size_t End = Text.find('\n', At);
        if (End == std::string::npos)
            End = Text.size();
        std::string Line = Text.substr(At, End - At);
        At = End + 1;
        size_t First = Line.find_first_not_of(" \t");
        size_t Equals = Line.find('=');
        if (First == std::string::npos || Equals == std::string::npos || Equals < First)
            continue;
        std::string Name = Line.substr(First, Equals - First);
        while (!Name.empty() && (Name.back() == ' ' || Name.back() == '\t'))
            Name.pop_back();
        if (Name != Key)
            continue;
        size_t Start = Line.find_first_not_of(" \t", Equals + 1);
        size_t Last = Line.find_last_not_of(" \t\r");
        Value = Start == std::string::npos || Last < Start ? "" : Line.substr(Start, Last - Start + 1);
    }
    return Value;
}

static int ExtractPackEntries(const std::string& Archive,
                              const std::vector<std::pair<std::string, std::string>>& Entries, std::string& Error)
{
    int Handle = OpenArchive(Archive);
    if (!Handle) {
        Error = "cannot open " + Archive;
        return 0;
    }
    int Ok = 1;
    Error.clear();
    std::vector<uint8_t> Bytes;
    for (size_t K = 0; Ok && K < Entries.size(); K++) {
        const auto& [Name, Path] = Entries[K];
        if (!ReadPackEntry(Handle, Name, Bytes, EntryLimit) ||
            !WriteBytes(Path, std::string(Bytes.begin(), Bytes.end()))) {
            Error = Archive + " has no readable entry " + Name;
            Ok = 0;
        }
    }
    CloseArchive(Handle);
    return Ok;
}

// The language files and flags of the game's language source, a folder or a zip archive.
static int ReadLanguageSource(const std::string& Path, std::vector<LanguageFile>& Files, std::string& Error)
{
    Files.clear();
    auto Wanted = [](const std::string& Name) {
        auto Ends = [&](const std::string& Tail) {
            return Name.size() > Tail.size() && Name.compare(Name.size() - Tail.size(), Tail.size(), Tail) == 0;
        };
        return Name.find('/') == std::string::npos && (Ends(".language") || Ends(".flag"));
    };
    if (IsFolder(Path)) {
        std::error_code Failed;
        for (const auto& Entry : std::filesystem::directory_iterator(Path, Failed)) {
            std::string Name = Entry.path().filename().string();
            if (!Entry.is_regular_file() || !Wanted(Name))
                continue;
            std::ifstream In(Entry.path(), std::ios::binary);
            LanguageFile File{Name, std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>())};
            if (File.Bytes.size() > EntryLimit)
                continue;
            Files.push_back(File);
        }
    } else {
        struct archive* Zip = archive_read_new();
        archive_read_support_format_zip(Zip);
        if (archive_read_open_filename(Zip, Path.c_str(), 65536) != ARCHIVE_OK) {
            Error = "cannot read the languages " + Path;
            archive_read_free(Zip);
            return 0;
        }
        struct archive_entry* Entry = nullptr;
        int Result;
        while ((Result = archive_read_next_header(Zip, &Entry)) == ARCHIVE_OK) {
            std::string Name = archive_entry_pathname(Entry) ? archive_entry_pathname(Entry) : "";
            la_int64_t Size = archive_entry_size(Entry);
            if (archive_entry_filetype(Entry) != AE_IFREG || !Wanted(Name) || Size < 0 || (uint64_t)Size > EntryLimit)
                continue;
            LanguageFile File{Name, std::string((size_t)Size, '\0')};
            la_int64_t Done = 0;
            while (Done < Size) {
                la_ssize_t Got = archive_read_data(Zip, File.Bytes.data() + Done, (size_t)(Size - Done));
                if (Got <= 0)
                    break;
                Done += Got;
            }
            if (Done != Size) {
                Result = ARCHIVE_FATAL;
                break;
            }
            Files.push_back(File);
        }
        archive_read_free(Zip);
        if (Result != ARCHIVE_EOF) {
            Error = "the languages " + Path + " are damaged";
            return 0;
        }
    }
    std::sort(Files.begin(), Files.end(), [](const LanguageFile& A, const LanguageFile& B) { return A.Name < B.Name; });
    // Two entries of one name would make two files of one name.
    Files.erase(std::unique(Files.begin(), Files.end(),
                            [](const LanguageFile& A, const LanguageFile& B) { return A.Name == B.Name; }),
                Files.end());
    int Languages = 0;
    for (const LanguageFile& File : Files)
        Languages += File.Name.find(".language") != std::string::npos;
    if (!Languages) {
        Error = "no language files in " + Path;
        return 0;
    }
    return 1;
}

// Runs a tool with Args (Args[0] is its path) and collects what it prints. Seconds > 0
// stops it after that long (TimedOut 1); an interrupt stops it too. The exit status,
// or -1 when it did not run or was stopped.
static int RunTool(const std::vector<std::string>& Args, double Seconds, std::string& Output, int& TimedOut)
{
    Output.clear();
    TimedOut = 0;
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
    std::vector<char*> Argv;
    for (const std::string& Arg : Args)
        Argv.push_back(const_cast<char*>(Arg.c_str()));
    Argv.push_back(nullptr);
    pid_t Child = 0;
    int Spawned = posix_spawn(&Child, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[1]);
    if (Spawned != 0) {
        close(Pipe[0]);
        Output = Args[0] + ": " + std::strerror(Spawned);
        return -1;
    }
    auto Start = std::chrono::steady_clock::now();
    int Stopped = 0;
    for (;;) {
        double Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        if (ImportInterrupted() || (Seconds > 0 && Elapsed > Seconds)) {
            TimedOut = !ImportInterrupted();
            kill(Child, SIGKILL);
            Stopped = 1;
            break;
        }
        pollfd Wait{Pipe[0], POLLIN, 0};
        if (poll(&Wait, 1, 100) <= 0)
            continue;
        char Buffer[4096];
        ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
        if (Got > 0) {
            if (Output.size() < (size_t)OutputLimit)
                Output.append(Buffer, (size_t)Got);
        } else if (Got == 0 || errno != EINTR) {
            break; // the tool closed its output: it has ended
        }
    }
    close(Pipe[0]);
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
    }
    if (Stopped || !WIFEXITED(Status))
        return -1;
    return WEXITSTATUS(Status);
}

// The end of a tool's messages, for an error line.
static std::string LastLines(const std::string& Output)
{
    std::string Text = Output;
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r'))
        Text.pop_back();
    if (Text.size() > 400)
        Text = "..." + Text.substr(Text.size() - 400);
    return Text.empty() ? "no message" : Text;
}

static std::string FolderOf(const std::string& Path)
{
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? "" : Path.substr(0, Slash + 1);
}

static std::string RealPath(const std::string& Path)
{
    char* Real = realpath(Path.c_str(), nullptr);
    if (!Real)
        return Path;
    std::string Result = Real;
    std::free(Real);
    return Result;
}

static int IsFile(const std::string& Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

static int IsFolder(const std::string& Path)
{
    struct stat Info;
    return stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

static int WriteBytes(const std::string& Path, const std::string& Bytes)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Bytes.data(), (std::streamsize)Bytes.size());
    Out.close();
    return Out.good();
}

static int CopyFile(const std::string& From, const std::string& To, int Executable)
{
    std::ifstream In(From, std::ios::binary);
    if (!In)
        return 0;
    std::ofstream Out(To, std::ios::binary | std::ios::trunc);
    Out << In.rdbuf();
    Out.close();
    if (!Out.good() || In.bad())
        return 0;
    if (Executable) {
        mode_t Mask = umask(0);
        umask(Mask);
        if (chmod(To.c_str(), 0777 & ~Mask) != 0)
            return 0;
    }
    return 1;
}
