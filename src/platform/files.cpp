// Files and folders: the game's folders, plain file queries, whole-file
// reading, atomic replacement, and the buffered, exclusively locked files
// that carry the log. Paths use "/" and folders returned end with "/".
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Bytes gathered before a buffered file goes to the disk.
static constexpr size_t FileBufferSize = 4096;

// One buffered file. Handles are slot index + 1 and are not handed out again
// during a run, so a stale handle never reaches another file.
struct BufferedFile {
    int Descriptor = -1; // -1 once closed
    int Failed = 0;      // a write to the disk failed; later writes fail too
    size_t Used = 0;     // bytes waiting in Buffer
    std::vector<uint8_t> Buffer;
};

static std::vector<BufferedFile> BufferedFiles;

// Why the last WriteFileAtomic failed ("" after a success).
static std::string SaveError;

// Bytes per write() while saves are slowed down for the kill test.
static constexpr size_t SlowSaveChunk = 16;

static std::string WithSlash(std::string Folder);
static std::string Environment(const char* Name);
static int WriteAll(int Descriptor, const uint8_t* Data, size_t Size);
static int FlushBufferedFile(BufferedFile& File);
static BufferedFile* FindBufferedFile(int File);
static void KeepWritesFromKilling();
static int SaveFailed(const std::string& Step);
static void SlowSaveStep(const std::string& Path);
static std::string FolderOf(const std::string& Path);
static int SyncFolder(const std::string& Folder);

std::string ExecutableFolder()
{
    if (!Overrides.GameDir.empty()) {
        return WithSlash(Overrides.GameDir);
    }
    // The folder of /proc/self/exe, every link on the way resolved.
    char* Base = SDL_GetBasePath();
    std::string Folder = Base != nullptr ? Base : "./";
    SDL_free(Base);
    return Folder;
}

std::string RoamingDataFolder()
{
    // XDG: only an absolute $XDG_DATA_HOME counts, else ~/.local/share.
    std::string Data = Environment("XDG_DATA_HOME");
    if (Data.empty() || Data[0] != '/') {
        std::string Home = HomeFolder();
        if (Home.empty()) {
            return "";
        }
        Data = Home + ".local/share";
    }
    while (Data.size() > 1 && Data.back() == '/') {
        Data.pop_back();
    }
    return Data;
}

std::string HomeFolder()
{
    std::string Home = Environment("HOME");
    if (Home.empty()) {
        std::vector<char> Scratch(16384);
        passwd Entry{};
        passwd* Found = nullptr;
        if (getpwuid_r(getuid(), &Entry, Scratch.data(), Scratch.size(), &Found) == 0 && Found != nullptr &&
            Found->pw_dir != nullptr) {
            Home = Found->pw_dir;
        }
    }
    if (Home.empty()) {
        return "";
    }
    return WithSlash(Home);
}

std::string TempFolder()
{
    std::string Temp = Environment("TMPDIR");
    if (Temp.empty()) {
        Temp = "/tmp";
    }
    return WithSlash(Temp);
}

int FileExists(const std::string& Path)
{
    std::error_code Error;
    return !Path.empty() && std::filesystem::exists(Path, Error);
}

int FolderExists(const std::string& Path)
{
    std::error_code Error;
    return !Path.empty() && std::filesystem::is_directory(Path, Error);
}

int64_t FileSize(const std::string& Path)
{
    // Regular files only (links followed): a folder or a missing file gives -1.
    std::error_code Error;
    uintmax_t Size = Path.empty() ? 0 : std::filesystem::file_size(Path, Error);
    return Path.empty() || Error ? -1 : int64_t(Size);
}

int CreateFolder(const std::string& Path)
{
    if (Path.empty()) {
        return 0;
    }
    if (mkdir(Path.c_str(), 0755) == 0) {
        return 1;
    }
    // A folder that is already there is what the caller wanted.
    return errno == EEXIST && FolderExists(Path);
}

std::vector<std::string> ListFiles(const std::string& Folder, const std::string& Pattern)
{
    // "*" matches any run of characters, "?" any one; letters compare without
    // case, as file-name matching on the desktop systems does.
    std::vector<std::string> Names;
    std::error_code Error;
    std::filesystem::directory_iterator Entry(Folder.empty() ? std::string(".") : Folder, Error);
    for (; !Error && Entry != std::filesystem::directory_iterator(); Entry.increment(Error)) {
        std::string Name = Entry->path().filename().string();
        // Files only (links followed); folders with a matching name are left out.
        std::error_code Kind;
        if (fnmatch(Pattern.c_str(), Name.c_str(), FNM_CASEFOLD) == 0 && Entry->is_regular_file(Kind))
            Names.push_back(Name);
    }
    std::sort(Names.begin(), Names.end());
    return Names;
}

int ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes)
{
    return ReadFileLimited(Path, Bytes, SIZE_MAX, 0) == 1 ? 1 : 0;
}

// Reads at most MaxBytes. A larger file gives -1 and no bytes, or with
// Prefix 1 its first MaxBytes bytes and 1; a missing or unreadable file 0.
int ReadFileLimited(const std::string& Path, std::vector<uint8_t>& Bytes, size_t MaxBytes, int Prefix)
{
    Bytes.clear();
    int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0) {
        return 0;
    }
    struct stat Info {};
    if (fstat(Descriptor, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        close(Descriptor);
        return 0;
    }
    if (uint64_t(Info.st_size) > MaxBytes && !Prefix) {
        close(Descriptor);
        return -1;
    }
    Bytes.reserve(size_t(std::min<uint64_t>(uint64_t(Info.st_size), MaxBytes)));
    uint8_t Chunk[65536];
    // The size may change while we read: the limit holds whatever the file does.
    while (Bytes.size() < MaxBytes) {
        size_t Want = std::min(sizeof Chunk, MaxBytes - Bytes.size());
        ssize_t Got = read(Descriptor, Chunk, Want);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        if (Got < 0) {
            Bytes.clear();
            close(Descriptor);
            return 0;
        }
        if (Got == 0) {
            break;
        }
        Bytes.insert(Bytes.end(), Chunk, Chunk + Got);
    }
    if (!Prefix && Bytes.size() == MaxBytes) {
        uint8_t More = 0;
        ssize_t Got = read(Descriptor, &More, 1);
        if (Got != 0) {
            Bytes.clear();
            close(Descriptor);
            return Got > 0 ? -1 : 0;
        }
    }
    close(Descriptor);
    return 1;
}

// The temporary file lies beside the target so that the rename stays on one
// file system: a reader (or a game started after a crash or a power cut) sees
// the complete old file or the complete new one, never a mix. The file's data
// and the folder are synced before the rename, and the folder again after it.
// On failure the temporary file is removed, the old file is untouched and
// LastSaveError() tells why.
int WriteFileAtomic(const std::string& Path, const void* Data, size_t Size)
{
    SaveError.clear();
    KeepWritesFromKilling();
    if (Path.empty() || Path.back() == '/' || (Data == nullptr && Size > 0)) {
        SaveError = "no file name";
        return 0;
    }
    if (Overrides.SaveStepDelayMs > 0) {
        std::fprintf(stderr, "save-begin %s\n", Path.c_str());
        std::fflush(stderr);
    }
    std::string Temp = Path + ".XXXXXX";
    std::vector<char> Name(Temp.begin(), Temp.end());
    Name.push_back('\0');
    int Descriptor = mkstemp(Name.data());
    if (Descriptor < 0) {
        return SaveFailed("create");
    }
    SlowSaveStep(Path);
    const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
    int Ok = fchmod(Descriptor, 0644) == 0;
    const char* Step = "write";
    if (Ok && Overrides.SaveStepDelayMs > 0) {
        for (size_t Done = 0; Ok && Done < Size; Done += SlowSaveChunk) {
            Ok = WriteAll(Descriptor, Bytes + Done, std::min(SlowSaveChunk, Size - Done));
            SlowSaveStep(Path);
        }
    } else if (Ok) {
        Ok = WriteAll(Descriptor, Bytes, Size);
    }
    if (Ok) {
        Step = "sync";
        Ok = fsync(Descriptor) == 0;
        SlowSaveStep(Path);
    }
    if (close(Descriptor) != 0 && Ok) {
        Step = "close";
        Ok = 0;
    }
    // The new name must not reach the disk before the temporary file's own entry.
    std::string Folder = FolderOf(Path);
    if (Ok) {
        Step = "sync folder";
        Ok = SyncFolder(Folder);
        SlowSaveStep(Path);
    }
    if (Ok) {
        Step = "rename";
        Ok = rename(Name.data(), Path.c_str()) == 0;
        SlowSaveStep(Path);
    }
    if (!Ok) {
        int Error = errno;
        unlink(Name.data());
        errno = Error;
        return SaveFailed(Step);
    }
    // The new file is in place; this makes the rename itself durable.
    if (!SyncFolder(Folder)) {
        return SaveFailed("sync folder");
    }
    if (Overrides.SaveStepDelayMs > 0) {
        std::fprintf(stderr, "save-end %s\n", Path.c_str());
        std::fflush(stderr);
    }
    return 1;
}

// A file written without syncing (an old one of that name is replaced):
// extracted files live for a moment in the temporary folder. Removed again
// when the write fails.
int WriteTemporaryFile(const std::string& Path, const void* Data, size_t Size)
{
    KeepWritesFromKilling();
    if (Path.empty() || (Data == nullptr && Size > 0)) {
        return 0;
    }
    int Descriptor = open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Descriptor < 0) {
        return 0;
    }
    int Ok = WriteAll(Descriptor, static_cast<const uint8_t*>(Data), Size);
    Ok = (close(Descriptor) == 0) && Ok;
    if (!Ok) {
        unlink(Path.c_str());
    }
    return Ok;
}

std::string LastSaveError()
{
    return SaveError;
}

int DeleteFile(const std::string& Path)
{
    return !Path.empty() && unlink(Path.c_str()) == 0;
}

int CreateLockedFile(const std::string& Path)
{
    KeepWritesFromKilling();
    if (Path.empty()) {
        return 0;
    }
    // Opened without truncating: a file that another live run holds must
    // keep its content. Only once the lock is ours is the old content dropped.
    int Descriptor = open(Path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (Descriptor < 0) {
        return 0;
    }
    struct stat Info {};
    if (fstat(Descriptor, &Info) != 0 || !S_ISREG(Info.st_mode) || flock(Descriptor, LOCK_EX | LOCK_NB) != 0 ||
        ftruncate(Descriptor, 0) != 0) {
        close(Descriptor);
        return 0;
    }
    BufferedFile File;
    File.Descriptor = Descriptor;
    File.Buffer.resize(FileBufferSize);
    BufferedFiles.push_back(std::move(File));
    return int(BufferedFiles.size());
}

int WriteToFile(int File, const void* Data, size_t Size)
{
    BufferedFile* Target = FindBufferedFile(File);
    if (Target == nullptr || Target->Failed || (Data == nullptr && Size > 0)) {
        return 0;
    }
    const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
    while (Size > 0) {
        size_t Room = FileBufferSize - Target->Used;
        size_t Take = std::min(Room, Size);
        std::memcpy(Target->Buffer.data() + Target->Used, Bytes, Take);
        Target->Used += Take;
        Bytes += Take;
        Size -= Take;
        if (Target->Used == FileBufferSize && !FlushBufferedFile(*Target)) {
            return 0;
        }
    }
    return 1;
}

void CloseFile(int File)
{
    BufferedFile* Target = FindBufferedFile(File);
    if (Target == nullptr) {
        return;
    }
    FlushBufferedFile(*Target);
    close(Target->Descriptor); // releases the lock too
    Target->Descriptor = -1;
    Target->Buffer = std::vector<uint8_t>();
}

void CloseAllFiles()
{
    for (size_t Index = 0; Index < BufferedFiles.size(); Index++) {
        CloseFile(int(Index + 1));
    }
}

static std::string WithSlash(std::string Folder)
{
    if (Folder.empty() || Folder.back() != '/') {
        Folder += '/';
    }
    return Folder;
}

static std::string Environment(const char* Name)
{
    const char* Value = std::getenv(Name);
    return Value != nullptr ? std::string(Value) : std::string();
}

static int WriteAll(int Descriptor, const uint8_t* Data, size_t Size)
{
    while (Size > 0) {
        ssize_t Put = write(Descriptor, Data, Size);
        if (Put < 0 && errno == EINTR) {
            continue;
        }
        if (Put <= 0) {
            return 0;
        }
        Data += Put;
        Size -= size_t(Put);
    }
    return 1;
}

static int FlushBufferedFile(BufferedFile& File)
{
    if (File.Used == 0) {
        return !File.Failed;
    }
    if (File.Failed || !WriteAll(File.Descriptor, File.Buffer.data(), File.Used)) {
        File.Failed = 1;
        File.Used = 0;
        return 0;
    }
    File.Used = 0;
    return 1;
}

static BufferedFile* FindBufferedFile(int File)
{
    if (File < 1 || File > int(BufferedFiles.size())) {
        return nullptr;
    }
    BufferedFile& Found = BufferedFiles[size_t(File - 1)];
    return Found.Descriptor >= 0 ? &Found : nullptr;
}

// A write past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the
// process on the spot; ignored, the write fails with EFBIG and the save
// reports it like a full disk.
static void KeepWritesFromKilling()
{
    static int Done = 0;
    if (!Done) {
        std::signal(SIGXFSZ, SIG_IGN);
        Done = 1;
    }
}

// "create: No space left on device"; always 0.
static int SaveFailed(const std::string& Step)
{
    SaveError = Step + ": " + std::strerror(errno);
    return 0;
}

// The kill test slows every step of a save down so that a kill lands inside
// it, and is told when each step is done ("save-step PATH"): it kills during
// the pause after a step of its choosing.
static void SlowSaveStep(const std::string& Path)
{
    if (Overrides.SaveStepDelayMs > 0) {
        std::fprintf(stderr, "save-step %s\n", Path.c_str());
        std::fflush(stderr);
        usleep(useconds_t(Overrides.SaveStepDelayMs) * 1000);
    }
}

static std::string FolderOf(const std::string& Path)
{
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? std::string(".") : Path.substr(0, Slash + 1);
}

// 1 when the folder's entries are on the disk. File systems that cannot sync
// a folder (EINVAL) count as done: there is nothing more to ask of them.
static int SyncFolder(const std::string& Folder)
{
    int Descriptor = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Descriptor < 0) {
        return 0;
    }
    int Ok = fsync(Descriptor) == 0 || errno == EINVAL;
    int Error = errno;
    close(Descriptor);
    errno = Error;
    return Ok;
}
