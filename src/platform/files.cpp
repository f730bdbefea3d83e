// Files and folders: plain file queries, whole-file reading, atomic
// replacement, and the buffered, exclusively held files that carry the log.
// The calls that differ between the systems are in files_posix.cpp and
// files_windows.cpp, which also say where the game's folders are.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// Bytes gathered before a buffered file goes to the disk.
static constexpr size_t FileBufferSize = 4096;

// One buffered file. Handles are slot index + 1 and are not handed out again
// during a run, so a stale handle never reaches another file.
struct BufferedFile {
    NativeFile File = NoNativeFile; // NoNativeFile once closed
    int Failed = 0;                 // a write to the disk failed; later writes fail too
    size_t Used = 0;                // bytes waiting in Buffer
    std::vector<uint8_t> Buffer;
};

static std::vector<BufferedFile> BufferedFiles;

// Why the last WriteFileAtomic failed ("" after a success).
static std::string SaveError;

// Bytes per write while saves are slowed down for the kill test.
static constexpr size_t SlowSaveChunk = 16;

static int FlushBufferedFile(BufferedFile& File);
static BufferedFile* FindBufferedFile(int File);
static void PrepareWrites();
static int SaveFailed(const std::string& Step);
static void SlowSaveStep(const std::string& Path);
static std::string FolderOf(const std::string& Path);

std::string ExecutableFolder()
{
    if (!Overrides.GameDir.empty()) {
        std::string Folder = Overrides.GameDir;
        if (!IsFolderSeparator(Folder.back()))
            Folder += '/';
        return Folder;
    }
    // The executable's own folder, every link on the way resolved; SDL ends
    // it with the system's separator.
    char* Base = SDL_GetBasePath();
    std::string Folder = Base != nullptr ? Base : "./";
    SDL_free(Base);
    return Folder;
}

int FileExists(const std::string& Path)
{
    return !Path.empty() && NativeKind(Path) != 0;
}

int FolderExists(const std::string& Path)
{
    return !Path.empty() && NativeKind(Path) == 2;
}

int64_t FileSize(const std::string& Path)
{
    // Regular files only (links followed): a folder or a missing file gives -1.
    std::error_code Error;
    uintmax_t Size = Path.empty() ? 0 : std::filesystem::file_size(NativePath(Path), Error);
    return Path.empty() || Error ? -1 : int64_t(Size);
}

int CreateFolder(const std::string& Path)
{
    if (Path.empty()) {
        return 0;
    }
    // A folder that is already there is what the caller wanted.
    return NativeMakeFolder(Path) || FolderExists(Path);
}

std::vector<std::string> ListFiles(const std::string& Folder, const std::string& Pattern)
{
    // "*" matches any run of characters, "?" any one; letters compare without
    // case, as file-name matching on the desktop systems does.
    std::vector<std::string> Names;
    std::error_code Error;
    std::filesystem::directory_iterator Entry(NativePath(Folder.empty() ? std::string(".") : Folder), Error);
    for (; !Error && Entry != std::filesystem::directory_iterator(); Entry.increment(Error)) {
        std::string Name = Utf8Path(Entry->path().filename());
        // Files only (links followed); folders with a matching name are left out.
        std::error_code Kind;
        if (NativeMatchName(Name, Pattern) && Entry->is_regular_file(Kind))
            Names.push_back(Name);
    }
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::string NormalPath(const std::string& Path)
{
    return Utf8Path(NativePath(Path).lexically_normal());
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
    NativeFile File = NativeOpenRead(Path);
    if (File == NoNativeFile) {
        return 0;
    }
    int64_t Length = NativeFileLength(File);
    if (Length < 0) {
        NativeClose(File);
        return 0;
    }
    if (uint64_t(Length) > MaxBytes && !Prefix) {
        NativeClose(File);
        return -1;
    }
    Bytes.reserve(size_t(std::min<uint64_t>(uint64_t(Length), MaxBytes)));
    uint8_t Chunk[65536];
    // The size may change while we read: the limit holds whatever the file does.
    while (Bytes.size() < MaxBytes) {
        size_t Want = std::min(sizeof Chunk, MaxBytes - Bytes.size());
        int64_t Got = NativeRead(File, Chunk, Want);
        if (Got < 0) {
            Bytes.clear();
            NativeClose(File);
            return 0;
        }
        if (Got == 0) {
            break;
        }
        Bytes.insert(Bytes.end(), Chunk, Chunk + Got);
    }
    if (!Prefix && Bytes.size() == MaxBytes) {
        uint8_t More = 0;
        int64_t Got = NativeRead(File, &More, 1);
        if (Got != 0) {
            Bytes.clear();
            NativeClose(File);
            return Got > 0 ? -1 : 0;
        }
    }
    NativeClose(File);
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
    PrepareWrites();
    if (Path.empty() || IsFolderSeparator(Path.back()) || (Data == nullptr && Size > 0)) {
        SaveError = "no file name";
        return 0;
    }
    if (Overrides.SaveStepDelayMs > 0) {
        std::fprintf(stderr, "save-begin %s\n", Path.c_str());
        std::fflush(stderr);
    }
    std::string Temp;
    NativeFile File = NativeCreateBeside(Path, Temp);
    if (File == NoNativeFile) {
        return SaveFailed("create");
    }
    SlowSaveStep(Path);
    const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
    int Ok = 1;
    const char* Step = "write";
    if (Overrides.SaveStepDelayMs > 0) {
        for (size_t Done = 0; Ok && Done < Size; Done += SlowSaveChunk) {
            Ok = NativeWriteAll(File, Bytes + Done, std::min(SlowSaveChunk, Size - Done));
            SlowSaveStep(Path);
        }
    } else {
        Ok = NativeWriteAll(File, Bytes, Size);
    }
    std::string Reason;
    if (Ok) {
        Step = "sync";
        Ok = NativeSync(File);
        SlowSaveStep(Path);
    }
    if (!Ok)
        Reason = NativeErrorText();
    if (!NativeClose(File) && Ok) {
        Step = "close";
        Ok = 0;
    }
    // The new name must not reach the disk before the temporary file's own entry.
    std::string Folder = FolderOf(Path);
    if (Ok) {
        Step = "sync folder";
        Ok = NativeSyncFolder(Folder);
        SlowSaveStep(Path);
    }
    if (Ok) {
        Step = "rename";
        Ok = NativeReplace(Temp, Path);
        SlowSaveStep(Path);
    }
    if (!Ok) {
        if (Reason.empty())
            Reason = NativeErrorText();
        NativeDelete(Temp);
        SaveError = std::string(Step) + ": " + Reason;
        return 0;
    }
    // The new file is in place; this makes the rename itself durable.
    if (!NativeSyncFolder(Folder)) {
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
    PrepareWrites();
    if (Path.empty() || (Data == nullptr && Size > 0)) {
        return 0;
    }
    NativeFile File = NativeOpenWrite(Path);
    if (File == NoNativeFile) {
        return 0;
    }
    int Ok = NativeWriteAll(File, Data, Size);
    Ok = NativeClose(File) && Ok;
    if (!Ok) {
        NativeDelete(Path);
    }
    return Ok;
}

std::string LastSaveError()
{
    return SaveError;
}

int DeleteFile(const std::string& Path)
{
    return !Path.empty() && NativeDelete(Path);
}

int CreateLockedFile(const std::string& Path)
{
    PrepareWrites();
    if (Path.empty()) {
        return 0;
    }
    NativeFile Native = NativeOpenExclusive(Path);
    if (Native == NoNativeFile) {
        return 0;
    }
    BufferedFile File;
    File.File = Native;
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
    NativeClose(Target->File); // lets other runs have it again
    Target->File = NoNativeFile;
    Target->Buffer = std::vector<uint8_t>();
}

void CloseAllFiles()
{
    for (size_t Index = 0; Index < BufferedFiles.size(); Index++) {
        CloseFile(int(Index + 1));
    }
}

static int FlushBufferedFile(BufferedFile& File)
{
    if (File.Used == 0) {
        return !File.Failed;
    }
    if (File.Failed || !NativeWriteAll(File.File, File.Buffer.data(), File.Used)) {
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
    return Found.File != NoNativeFile ? &Found : nullptr;
}

static void PrepareWrites()
{
    static int Done = 0;
    if (!Done) {
        NativeFilesPrepare();
        Done = 1;
    }
}

// "create: No space left on device"; always 0.
static int SaveFailed(const std::string& Step)
{
    SaveError = Step + ": " + NativeErrorText();
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
        SDL_Delay(Uint32(Overrides.SaveStepDelayMs));
    }
}

static std::string FolderOf(const std::string& Path)
{
    size_t Cut = Path.size();
    while (Cut > 0 && !IsFolderSeparator(Path[Cut - 1]))
        Cut--;
    return Cut == 0 ? std::string(".") : Path.substr(0, Cut);
}
