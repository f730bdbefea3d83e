// The product's name, the three folders the game works with, and the one way
// out of the process.
#include "base/base.h"
#include "platform/platform.h"

#include <cstdio>

// Where an installed game keeps its archives, seen from the executable's
// folder. The build writes its install layout in here ("../share/games/kistora/"
// for the executable in <prefix>/games); this is the same default.
#ifndef KISTORA_DATA_FROM_EXE
#define KISTORA_DATA_FROM_EXE "../share/games/kistora/"
#endif

const char* const GameVersion = "1.0";
std::string ProductTitle = "Kistora 1.0 - a game by brindlewood game studio (brindlewood.games)";

std::string GameDir;
std::string UserDir;
std::string SaveTo;
int PreferencesFoundInGameDir = 0;

std::string ResolveUserDir(const std::string& SubPath)
{
    std::string Roaming = RoamingDataFolder();
    if (Roaming.empty())
        return "";
    if (Roaming.size() < 4096)
        return NativeFolderPath(Roaming + "/" + SubPath + "/");
    return NativeFolderPath(HomeFolder() + SubPath + "/");
}

std::string FindGameDir(const std::string& ExeFolder)
{
    // Built or unpacked: the archives lie beside the executable.
    if (FileExists(ExeFolder + "Kistora.data"))
        return ExeFolder;
    // Installed: the executable in <prefix>/games, the archives in the data folder.
    std::string Installed = NormalPath(ExeFolder + KISTORA_DATA_FROM_EXE);
    if (!Installed.empty() && !IsFolderSeparator(Installed.back()))
        Installed += '/';
    if (FileExists(Installed + "Kistora.data"))
        return Installed;
    // Neither: the executable's folder, where the missing archive is then reported.
    return ExeFolder;
}

int CreatePath(const std::string& Path)
{
    std::string Full = Path;
    if (Full.empty() || !IsFolderSeparator(Full.back()))
        Full += '/';
    if (FileExists(Full))
        return 1;
    int Result = 1;
    std::string Accumulator;
    size_t Start = 0;
    while (Start < Full.size()) {
        size_t Slash = Start;
        while (!IsFolderSeparator(Full[Slash]))
            Slash++;
        Accumulator += Full.substr(Start, Slash - Start);
        // The root ("" before the first separator) and folders already there are passed over.
        if (!Accumulator.empty() && !FileExists(Accumulator) && !CreateFolder(Accumulator))
            Result = 0;
        Accumulator += Full[Slash];
        Start = Slash + 1;
    }
    return Result;
}

// The log line "Saving preferences:" + two tabs + "FAILED (reason)", and the
// same on standard error, which is seen even without "/LOG".
void ReportSaveFailure(const std::string& What, const std::string& Path, const std::string& Reason)
{
    LogValue("Saving " + What + ":", "FAILED (" + Reason + ")");
    std::fprintf(stderr, "Kistora: the %s could not be saved to %s: %s\n", What.c_str(), Path.c_str(), Reason.c_str());
    std::fflush(stderr);
}

void FatalExit(int Status)
{
    PlatformShutdown();
    PlatformExit(Status);
}
