// System details for the log (processor, memory, Windows version) and the
// user's locale name, on Windows.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <vector>
// windows.h first, the headers that build on it after.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

std::string CpuName()
{
    wchar_t Name[256] = {};
    DWORD Size = sizeof Name - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString",
                     RRF_RT_REG_SZ, nullptr, Name, &Size) == ERROR_SUCCESS) {
        std::string Text = Utf8FromWide(Name, wcslen(Name));
        size_t First = Text.find_first_not_of(' ');
        size_t Last = Text.find_last_not_of(' ');
        if (First != std::string::npos)
            return Text.substr(First, Last - First + 1);
    }
    SYSTEM_INFO Info{};
    GetNativeSystemInfo(&Info);
    switch (Info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return "x86_64";
    case PROCESSOR_ARCHITECTURE_ARM64: return "aarch64";
    case PROCESSOR_ARCHITECTURE_INTEL: return "i686";
    default: return "unknown";
    }
}

// Logical processors of every processor group.
int CpuCoresTotal()
{
    DWORD Count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return Count > 0 ? int(Count) : 1;
}

// The processors this process may run on.
int CpuCoresAvailable()
{
    DWORD_PTR Process = 0, System = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &Process, &System) && Process != 0) {
        int Count = 0;
        for (DWORD_PTR Bits = Process; Bits != 0; Bits &= Bits - 1)
            Count++;
        return Count;
    }
    return CpuCoresTotal();
}

int64_t PhysicalMemoryBytes()
{
    MEMORYSTATUSEX Status{};
    Status.dwLength = sizeof Status;
    return GlobalMemoryStatusEx(&Status) ? int64_t(Status.ullTotalPhys) : 0;
}

int64_t FreeMemoryBytes()
{
    MEMORYSTATUSEX Status{};
    Status.dwLength = sizeof Status;
    return GlobalMemoryStatusEx(&Status) ? int64_t(Status.ullAvailPhys) : 0;
}

// Major x 100 + minor: Windows 10 and 11 give 1000, Windows 8.1 603. Asked of
// ntdll, which reports the real version to every program.
int OperatingSystemCode()
{
    using GetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll");
    auto GetVersion =
        Ntdll != nullptr
            ? reinterpret_cast<GetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(Ntdll, "RtlGetVersion")))
            : nullptr;
    OSVERSIONINFOW Version{};
    Version.dwOSVersionInfoSize = sizeof Version;
    if (GetVersion == nullptr || GetVersion(&Version) != 0)
        return 0;
    return int(Version.dwMajorVersion * 100 + Version.dwMinorVersion);
}

// "de-DE", as the user's Windows settings name it.
std::string UserLocaleName()
{
    wchar_t Name[LOCALE_NAME_MAX_LENGTH] = {};
    int Length = GetUserDefaultLocaleName(Name, LOCALE_NAME_MAX_LENGTH);
    if (Length <= 1)
        return "";
    return Utf8FromWide(Name, size_t(Length - 1));
}

std::vector<std::string> CommandLineArguments(int Count, char** Arguments)
{
    int WideCount = 0;
    wchar_t** Wide = CommandLineToArgvW(GetCommandLineW(), &WideCount);
    if (Wide == nullptr || WideCount != Count) {
        if (Wide != nullptr)
            LocalFree(Wide);
        return std::vector<std::string>(Arguments, Arguments + Count);
    }
    std::vector<std::string> Utf8;
    for (int Index = 0; Index < WideCount; Index++)
        Utf8.push_back(Utf8FromWide(Wide[Index], wcslen(Wide[Index])));
    LocalFree(Wide);
    return Utf8;
}

std::string WindowsFontsFolder()
{
    wchar_t Windows[MAX_PATH] = {};
    UINT Length = GetWindowsDirectoryW(Windows, MAX_PATH);
    if (Length == 0 || Length >= MAX_PATH)
        return "";
    return Utf8FromWide(Windows, Length) + "\\Fonts\\";
}

// One UTF-16 unit at a time: code points past U+FFFF keep their case.
uint32_t WindowsUpperCase(uint32_t CodePoint)
{
    if (CodePoint > 0xFFFF || (CodePoint >= 0xD800 && CodePoint <= 0xDFFF))
        return CodePoint;
    wchar_t Unit = wchar_t(CodePoint);
    CharUpperBuffW(&Unit, 1);
    return uint32_t(Unit);
}
