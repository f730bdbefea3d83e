// System details for the log (processor, memory, operating system) and the
// user's locale name, on Linux and the other POSIX systems.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

static std::string Trim(const std::string& Text);
static std::string ProcValue(const char* Path, const std::string& Label);

std::string CpuName()
{
    // x86 names the model; many ARM kernels only give "Hardware" or "Processor".
    for (const char* Label : {"model name", "Hardware", "Processor", "cpu model"}) {
        std::string Name = ProcValue("/proc/cpuinfo", Label);
        if (!Name.empty()) {
            return Name;
        }
    }
    utsname System{};
    if (uname(&System) == 0) {
        return System.machine;
    }
    return "unknown";
}

int CpuCoresTotal()
{
    long Count = sysconf(_SC_NPROCESSORS_ONLN);
    return Count > 0 ? int(Count) : 1;
}

int CpuCoresAvailable()
{
    cpu_set_t Set;
    CPU_ZERO(&Set);
    if (sched_getaffinity(0, sizeof Set, &Set) == 0) {
        int Count = CPU_COUNT(&Set);
        if (Count > 0) {
            return Count;
        }
    }
    return CpuCoresTotal();
}

int64_t PhysicalMemoryBytes()
{
    long Pages = sysconf(_SC_PHYS_PAGES);
    long PageSize = sysconf(_SC_PAGESIZE);
    if (Pages <= 0 || PageSize <= 0) {
        return 0;
    }
    return int64_t(Pages) * int64_t(PageSize);
}

int64_t FreeMemoryBytes()
{
    // MemAvailable counts reclaimable caches too, unlike the free page count.
    std::string Available = ProcValue("/proc/meminfo", "MemAvailable");
    if (!Available.empty()) {
        long long KiB = std::strtoll(Available.c_str(), nullptr, 10);
        if (KiB > 0) {
            return int64_t(KiB) * 1024;
        }
    }
    long Pages = sysconf(_SC_AVPHYS_PAGES);
    long PageSize = sysconf(_SC_PAGESIZE);
    if (Pages <= 0 || PageSize <= 0) {
        return 0;
    }
    return int64_t(Pages) * int64_t(PageSize);
}

int OperatingSystemCode()
{
    // Kernel major x 100 + minor: 6.1.0-18-amd64 gives 601.
    utsname System{};
    if (uname(&System) != 0) {
        return 0;
    }
    int Major = 0;
    int Minor = 0;
    if (std::sscanf(System.release, "%d.%d", &Major, &Minor) < 1) {
        return 0;
    }
    return Major * 100 + Minor;
}

std::string UserLocaleName()
{
    std::string Posix;
    for (const char* Name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* Value = std::getenv(Name);
        if (Value != nullptr && Value[0] != '\0') {
            Posix = Value;
            break;
        }
    }
    // language[_TERRITORY][.codeset][@modifier] -> language-TERRITORY
    size_t Cut = Posix.find_first_of(".@");
    if (Cut != std::string::npos) {
        Posix.resize(Cut);
    }
    if (Posix == "C" || Posix == "POSIX") {
        return "";
    }
    for (char& C : Posix) {
        if (C == '_') {
            C = '-';
        }
    }
    return Posix;
}

static std::string Trim(const std::string& Text)
{
    size_t First = Text.find_first_not_of(" \t\r\n");
    if (First == std::string::npos) {
        return "";
    }
    size_t Last = Text.find_last_not_of(" \t\r\n");
    return Text.substr(First, Last - First + 1);
}

// The value after the colon of the first "Label : value" line of a /proc file.
static std::string ProcValue(const char* Path, const std::string& Label)
{
    std::ifstream File(Path);
    std::string Line;
    while (std::getline(File, Line)) {
        size_t Colon = Line.find(':');
        if (Colon == std::string::npos) {
            continue;
        }
        if (Trim(Line.substr(0, Colon)) == Label) {
            return Trim(Line.substr(Colon + 1));
        }
    }
    return "";
}

std::vector<std::string> CommandLineArguments(int Count, char** Arguments)
{
    return std::vector<std::string>(Arguments, Arguments + Count);
}
