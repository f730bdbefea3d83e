// Fuzzes the language source when it is a zip archive, the way the game
// reads it: the input is written as the archive, scanned (entries listed,
// every "code.language" extracted and read for its header, every flag
// unpacked and decoded) and every language found is loaded into the text
// table. The archive and the extracted files live in memory-backed /dev/shm
// when there is one.
#include "settings/settings.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static std::string ArchivePath()
{
    static std::string Path;
    if (Path.empty()) {
        std::string Folder = FolderExists("/dev/shm") ? std::string("/dev/shm/") : TempFolder();
        setenv("TMPDIR", Folder.c_str(), 1);
        Path = Folder + "kistora-fuzz-zip-" + std::to_string(getpid()) + ".languages";
        atexit([] { std::remove(ArchivePath().c_str()); });
    }
    return Path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string& Path = ArchivePath();
    std::FILE* File = std::fopen(Path.c_str(), "wb");
    if (File == nullptr)
        return 0;
    size_t Written = std::fwrite(Data, 1, Size, File);
    if (std::fclose(File) != 0 || Written != Size)
        return 0;
    ScanLanguages(Path);
    std::vector<std::string> Codes;
    for (const LanguageListEntry& Entry : LanguageList)
        Codes.push_back(Entry.Code);
    for (const std::string& Code : Codes)
        LoadLanguage(Path, Code);
    TextTable.clear();
    return 0;
}
