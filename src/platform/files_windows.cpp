// Files on Windows: every path through the wide-character calls (a user
// folder such as C:\Users\Zoë works), the temporary file renamed over the old
// one with MoveFileExW, the log opened without sharing; the roaming
// application-data folder.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <cstdio>
// windows.h first, the headers that build on it after.
// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

static DWORD LastError = 0;

static DWORD Failed()
{
    LastError = GetLastError();
    return LastError;
}

std::wstring WidePath(const std::string& Path)
{
    if (Path.empty())
        return std::wstring();
    int Count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Path.data(), int(Path.size()), nullptr, 0);
    if (Count <= 0)
        return std::wstring(); // not UTF-8: no file has that name
    std::wstring Wide(size_t(Count), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Path.data(), int(Path.size()), Wide.data(), Count);
    return Wide;
}

std::string Utf8FromWide(const wchar_t* Wide, size_t Length)
{
    if (Length == 0)
        return std::string();
    int Count = WideCharToMultiByte(CP_UTF8, 0, Wide, int(Length), nullptr, 0, nullptr, nullptr);
    if (Count <= 0)
        return std::string();
    std::string Text(size_t(Count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide, int(Length), Text.data(), Count, nullptr, nullptr);
    return Text;
}

static std::string Utf8FromWide(const std::wstring& Wide)
{
    return Utf8FromWide(Wide.data(), Wide.size());
}

static std::string KnownFolder(REFKNOWNFOLDERID Id)
{
    PWSTR Path = nullptr;
    std::string Found;
    if (SHGetKnownFolderPath(Id, KF_FLAG_DEFAULT, nullptr, &Path) == S_OK && Path != nullptr)
        Found = Utf8FromWide(Path, wcslen(Path));
    CoTaskMemFree(Path);
    return Found;
}

static std::string WithBackslash(std::string Found)
{
    if (!Found.empty() && !IsFolderSeparator(Found.back()))
        Found += '\\';
    return Found;
}

int IsFolderSeparator(char C)
{
    return C == '/' || C == '\\';
}

std::string NativeFolderPath(const std::string& Path)
{
    std::string Native = Path;
    for (char& C : Native)
        if (C == '/')
            C = '\\';
    return Native;
}

std::string RoamingDataFolder()
{
    std::string Found = KnownFolder(FOLDERID_RoamingAppData);
    while (Found.size() > 3 && IsFolderSeparator(Found.back()))
        Found.pop_back();
    return Found;
}

std::string HomeFolder()
{
    return WithBackslash(KnownFolder(FOLDERID_Profile));
}

std::string TempFolder()
{
    wchar_t Path[MAX_PATH + 2];
    DWORD Length = GetTempPathW(MAX_PATH + 2, Path);
    if (Length == 0 || Length > MAX_PATH + 1)
        return ".\\";
    return WithBackslash(Utf8FromWide(Path, Length));
}

std::filesystem::path NativePath(const std::string& Path)
{
    return std::filesystem::path(WidePath(Path));
}

std::string Utf8Path(const std::filesystem::path& Path)
{
    return Utf8FromWide(Path.native());
}

std::FILE* OpenFileStream(const std::string& Path, const char* Mode)
{
    std::wstring Wide = WidePath(Path);
    std::wstring WideMode(Mode, Mode + strlen(Mode));
    return Wide.empty() ? nullptr : _wfopen(Wide.c_str(), WideMode.c_str());
}

static NativeFile Open(const std::string& Path, DWORD Access, DWORD Share, DWORD Disposition, DWORD Flags)
{
    std::wstring Wide = WidePath(Path);
    if (Wide.empty()) {
        LastError = ERROR_INVALID_NAME;
        return NoNativeFile;
    }
    HANDLE File = CreateFileW(Wide.c_str(), Access, Share, nullptr, Disposition, Flags, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Failed();
        return NoNativeFile;
    }
    return NativeFile(File);
}

NativeFile NativeOpenRead(const std::string& Path)
{
    NativeFile File = Open(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL);
    if (File != NoNativeFile && GetFileType(HANDLE(File)) != FILE_TYPE_DISK) {
        CloseHandle(HANDLE(File));
        return NoNativeFile;
    }
    return File;
}

int64_t NativeFileLength(NativeFile File)
{
    LARGE_INTEGER Size{};
    if (!GetFileSizeEx(HANDLE(File), &Size)) {
        Failed();
        return -1;
    }
    return int64_t(Size.QuadPart);
}

NativeFile NativeCreateBeside(const std::string& Path, std::string& Name)
{
    // A name no file has yet: CREATE_NEW fails on one that exists.
    static unsigned Counter = 0;
    for (int Attempt = 0; Attempt < 100; Attempt++) {
        char Suffix[40];
        std::snprintf(Suffix, sizeof Suffix, ".%lu-%u.tmp", GetCurrentProcessId(), Counter++);
        NativeFile File = Open(Path + Suffix, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (File != NoNativeFile) {
            Name = Path + Suffix;
            return File;
        }
        if (LastError != ERROR_FILE_EXISTS && LastError != ERROR_ALREADY_EXISTS)
            return NoNativeFile;
    }
    return NoNativeFile;
}

NativeFile NativeOpenWrite(const std::string& Path)
{
    return Open(Path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

NativeFile NativeOpenExclusive(const std::string& Path)
{
    // Not shared with anyone: a second run cannot open the file at all while
    // this one holds it, so its content stays; once it is ours it is emptied.
    NativeFile File = Open(Path, GENERIC_WRITE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (File == NoNativeFile)
        return NoNativeFile;
    if (GetFileType(HANDLE(File)) != FILE_TYPE_DISK || !SetEndOfFile(HANDLE(File))) {
        Failed();
        CloseHandle(HANDLE(File));
        return NoNativeFile;
    }
    return File;
}

int64_t NativeRead(NativeFile File, void* Into, size_t Count)
{
    DWORD Got = 0;
    DWORD Want = Count > 0x40000000 ? 0x40000000 : DWORD(Count);
    if (!ReadFile(HANDLE(File), Into, Want, &Got, nullptr)) {
        Failed();
        return -1;
    }
    return int64_t(Got);
}

int NativeWriteAll(NativeFile File, const void* Data, size_t Size)
{
    const uint8_t* Bytes = static_cast<const uint8_t*>(Data);
    while (Size > 0) {
        DWORD Put = 0;
        DWORD Want = Size > 0x40000000 ? 0x40000000 : DWORD(Size);
        if (!WriteFile(HANDLE(File), Bytes, Want, &Put, nullptr) || Put == 0) {
            Failed();
            return 0;
        }
        Bytes += Put;
        Size -= Put;
    }
    return 1;
}

int NativeSync(NativeFile File)
{
    if (!FlushFileBuffers(HANDLE(File))) {
        Failed();
        return 0;
    }
    return 1;
}

int NativeClose(NativeFile File)
{
    if (!CloseHandle(HANDLE(File))) {
        Failed();
        return 0;
    }
    return 1;
}

int NativeReplace(const std::string& From, const std::string& To)
{
    // The write-through flag returns only once the new name is on the disk.
    std::wstring WideFrom = WidePath(From), WideTo = WidePath(To);
    if (WideFrom.empty() || WideTo.empty()) {
        LastError = ERROR_INVALID_NAME;
        return 0;
    }
    if (!MoveFileExW(WideFrom.c_str(), WideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Failed();
        return 0;
    }
    return 1;
}

// Windows has no call that syncs a folder: MoveFileExW's write-through flag
// already waits for the rename.
int NativeSyncFolder(const std::string&)
{
    return 1;
}

int NativeDelete(const std::string& Path)
{
    std::wstring Wide = WidePath(Path);
    return !Wide.empty() && DeleteFileW(Wide.c_str());
}

// "C:" counts as the folder it names (the drive's current folder), as Windows
// itself reads it.
int NativeKind(const std::string& Path)
{
    std::wstring Wide = WidePath(Path);
    DWORD Attributes = Wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int NativeMakeFolder(const std::string& Path)
{
    std::wstring Wide = WidePath(Path);
    if (Wide.empty() || !CreateDirectoryW(Wide.c_str(), nullptr)) {
        Failed();
        return 0;
    }
    return 1;
}

int NativeMatchName(const std::string& Name, const std::string& Pattern)
{
    std::wstring WideName = WidePath(Name), WidePattern = WidePath(Pattern);
    return !WideName.empty() && !WidePattern.empty() &&
           PathMatchSpecExW(WideName.c_str(), WidePattern.c_str(), PMSF_NORMAL) == S_OK;
}

std::string NativeErrorText()
{
    wchar_t* Text = nullptr;
    DWORD Length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, LastError,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
    if (Length == 0) // no English messages on this system: the user's language
        Length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, LastError, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
    std::string Reason = Text != nullptr ? Utf8FromWide(Text, Length) : std::string();
    LocalFree(Text);
    while (!Reason.empty() && (Reason.back() == '\n' || Reason.back() == '\r' || Reason.back() == '.'))
        Reason.pop_back();
    if (Reason.empty())
        Reason = "error " + std::to_string(LastError);
    return Reason;
}

void NativeFilesPrepare() {}
