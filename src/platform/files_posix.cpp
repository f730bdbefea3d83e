// Files on Linux and the other POSIX systems: descriptors, mkstemp beside the
// target, rename, fsync of the folder, flock for the log; the XDG folders.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

int IsFolderSeparator(char C)
{
    return C == '/';
}

std::string NativeFolderPath(const std::string& Path)
{
    return Path;
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

std::filesystem::path NativePath(const std::string& Path)
{
    return std::filesystem::path(Path);
}

std::string Utf8Path(const std::filesystem::path& Path)
{
    return Path.string();
}

NativeFile NativeOpenRead(const std::string& Path)
{
    int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0) {
        return NoNativeFile;
    }
    struct stat Info {};
    if (fstat(Descriptor, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        close(Descriptor);
        return NoNativeFile;
    }
    return Descriptor;
}

int64_t NativeFileLength(NativeFile File)
{
    struct stat Info {};
    return fstat(int(File), &Info) == 0 ? int64_t(Info.st_size) : -1;
}

NativeFile NativeCreateBeside(const std::string& Path, std::string& Name)
{
    std::string Temp = Path + ".XXXXXX";
    std::vector<char> Template(Temp.begin(), Temp.end());
    Template.push_back('\0');
    int Descriptor = mkstemp(Template.data());
    if (Descriptor < 0) {
        return NoNativeFile;
    }
    Name = Template.data();
    // mkstemp makes the file private; the saved file is the user's to read.
    if (fchmod(Descriptor, 0644) != 0) {
        int Error = errno;
        close(Descriptor);
        unlink(Name.c_str());
        errno = Error;
        return NoNativeFile;
    }
    return Descriptor;
}

NativeFile NativeOpenWrite(const std::string& Path)
{
    int Descriptor = open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return Descriptor < 0 ? NoNativeFile : Descriptor;
}

NativeFile NativeOpenExclusive(const std::string& Path)
{
    // Opened without truncating: a file that another live run holds must
    // keep its content. Only once the lock is ours is the old content dropped.
    int Descriptor = open(Path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (Descriptor < 0) {
        return NoNativeFile;
    }
    struct stat Info {};
    if (fstat(Descriptor, &Info) != 0 || !S_ISREG(Info.st_mode) || flock(Descriptor, LOCK_EX | LOCK_NB) != 0 ||
        ftruncate(Descriptor, 0) != 0) {
        close(Descriptor);
        return NoNativeFile;
    }
    return Descriptor;
}

int64_t NativeRead(NativeFile File, void* Into, size_t Count)
{
    for (;;) {
        ssize_t Got = read(int(File), Into, Count);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        return Got;
    }
}

int NativeWriteAll(NativeFile File, const void* Data, size_t Size)
{
    const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
    while (Size > 0) {
        ssize_t Put = write(int(File), Bytes, Size);
        if (Put < 0 && errno == EINTR) {
            continue;
        }
        if (Put <= 0) {
            return 0;
        }
        Bytes += Put;
        Size -= size_t(Put);
    }
    return 1;
}

int NativeSync(NativeFile File)
{
    return fsync(int(File)) == 0;
}

int NativeClose(NativeFile File)
{
    return close(int(File)) == 0; // releases a lock too
}

int NativeReplace(const std::string& From, const std::string& To)
{
    return rename(From.c_str(), To.c_str()) == 0;
}

// File systems that cannot sync a folder (EINVAL) count as done: there is
// nothing more to ask of them.
int NativeSyncFolder(const std::string& Folder)
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

int NativeDelete(const std::string& Path)
{
    return unlink(Path.c_str()) == 0;
}

int NativeKind(const std::string& Path)
{
    std::error_code Error;
    std::filesystem::file_status Status = std::filesystem::status(Path, Error);
    if (Error || !std::filesystem::exists(Status))
        return 0;
    return std::filesystem::is_directory(Status) ? 2 : 1;
}

int NativeMakeFolder(const std::string& Path)
{
    return mkdir(Path.c_str(), 0755) == 0;
}

int NativeMatchName(const std::string& Name, const std::string& Pattern)
{
    return fnmatch(Pattern.c_str(), Name.c_str(), FNM_CASEFOLD) == 0;
}

std::string NativeErrorText()
{
    return std::strerror(errno);
}

// A write past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the
// process on the spot; ignored, the write fails with EFBIG and the save
// reports it like a full disk.
void NativeFilesPrepare()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

std::FILE* OpenFileStream(const std::string& Path, const char* Mode)
{
    return std::fopen(Path.c_str(), Mode);
}
