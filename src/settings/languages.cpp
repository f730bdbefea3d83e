// Language source (a folder or a zip archive of code.language files with
// optional code.flag pictures), the scan that lists the languages, loading one
// language into the text table, and the default code from the user's locale.
#include "settings/settings.h"
#include "platform/platform.h"

#include <algorithm>
#include <random>

// Keyed by display name: two files with the same name give one entry, the
// one read last. std::map order (byte order of the names) is the order of the
// log lines and of the settings' language list.
std::map<std::string, LanguageInfo> languagesByName;
std::vector<LanguageListEntry> LanguageList;
int LanguageListCurrent = -1;
// Key (case-sensitive) to text. Never emptied: a newly loaded language
// overwrites the keys it has and leaves the others as they were.
std::map<std::string, std::string> TextTable;
const char* const LanguageModuleVersion = "2.0";

static const char* const LanguageExtension = "language";
// The language a code without a language file falls back to.
static const char* const FallbackLanguage = "en_GB";
// Flags unpacked from an archive go through a buffer of this many bytes.
static const size_t FlagBufferSize = 16000;

static void ClearLanguages();
static void ReadLanguageHeader(Document& Doc, const std::string& Code);
static std::string UniqueTempName();
static uint64_t TempNameSeed();
static std::string TrimBlanks(const std::string& Text);
static int IsSafeCode(const std::string& Code);
static std::string JoinSource(const std::string& Source, const std::string& Name);

std::string Text(const std::string& Key)
{
    auto It = TextTable.find(Key);
    return It == TextTable.end() ? std::string() : It->second;
}

// Part 0 "en_GB", part 1 "en", part 2 "GB" for the locale name "en-GB"; a name
// without "-" has an empty part 2. No locale name at all gives "" for every
// part (start-up then falls back to "en_GB").
std::string DefaultLocale(int Part)
{
    std::string Name = UserLocaleName();
    if (Name.empty())
        return "";
    size_t First = Name.find('-');
    if (Part == 0) {
        for (char& C : Name) {
            if (C == '-')
                C = '_';
        }
        return Name;
    }
    if (Part == 1)
        return Name.substr(0, First);
    if (Part == 2) {
        if (First == std::string::npos)
            return "";
        size_t Second = Name.find('-', First + 1);
        return Name.substr(First + 1, Second == std::string::npos ? std::string::npos : Second - First - 1);
    }
    return "";
}

// Fills languagesByName from the source and rebuilds the language list;
// returns the number of languages. A source that cannot be examined (missing,
// empty file, not a zip) leaves both empty.
int ScanLanguages(const std::string& Source)
{
    ClearLanguages();
    if (FolderExists(Source)) {
        // The folder listing matches "*.language" with the case ignored.
        std::vector<std::string> Files = ListFiles(Source, "*.language");
        for (const std::string& File : Files) {
            Document Doc;
            if (!OpenDocument(Doc, JoinSource(Source, File)))
                continue;
            ReadLanguageHeader(Doc, File.substr(0, File.rfind('.')));
            CloseDocument(Doc);
        }
        RebuildLanguageList();
        for (auto& [Name, Info] : languagesByName) {
            std::string FlagPath = JoinSource(Source, Info.Code + ".flag");
            std::vector<uint8_t> Bytes;
            if (FileSize(FlagPath) > 0 && ReadWholeFile(FlagPath, Bytes) && !Bytes.empty())
                Info.Flag = LoadImagePng(Bytes.data(), Bytes.size());
        }
        return int(languagesByName.size());
    }
    if (FileSize(Source) <= 0)
        return 0;
    std::vector<std::string> Entries;
    if (!ZipListFiles(Source, Entries))
        return 0;
    for (const std::string& Entry : Entries) {
        // Only "code.language" at the archive root: that is where LoadLanguage
        // looks, so a file in a subfolder could be listed but never loaded.
        // The extension compares case-sensitively.
        size_t Dot = Entry.rfind('.');
        if (Dot == std::string::npos || Entry.compare(Dot + 1, std::string::npos, LanguageExtension) != 0)
            continue;
        if (Entry.find('/') != std::string::npos || Entry.find('\\') != std::string::npos)
            continue;
        // Extracted under a name of our own: an entry name never decides where
        // a file is written.
        std::string TempPath = UniqueTempName();
        if (ZipExtractToFile(Source, Entry, TempPath)) {
            Document Doc;
            if (OpenDocument(Doc, TempPath)) {
                ReadLanguageHeader(Doc, Entry.substr(0, Dot));
                CloseDocument(Doc);
            }
        }
        DeleteFile(TempPath);
    }
    RebuildLanguageList();
    std::vector<uint8_t> Buffer(FlagBufferSize);
    for (auto& [Name, Info] : languagesByName) {
        std::fill(Buffer.begin(), Buffer.end(), 0);
        int64_t Size = ZipExtractToMemory(Source, Info.Code + ".flag", Buffer.data(), Buffer.size());
        if (Size > 0 && size_t(Size) <= Buffer.size())
            Info.Flag = LoadImagePng(Buffer.data(), size_t(Size));
    }
    return int(languagesByName.size());
}

// Every key of every group enters the text table, values without the blanks
// and tabs at both ends; a key met again later in the file overwrites the
// earlier one. Lines before the first group are not read. 1 when the language
// file could be opened, else 0 (the table keeps what it held).
int LoadLanguage(const std::string& Source, const std::string& Code)
{
    if (!IsSafeCode(Code))
        return 0;
    std::string FileName = Code + "." + LanguageExtension;
    std::string Path;
    std::string TempPath;
    if (FolderExists(Source)) {
        // The file the scan listed for this code: the listing ignores the
        // case of the extension ("de_DE.LANGUAGE"), so the name is taken from
        // it rather than spelt here. The code itself compares exactly.
        Path = JoinSource(Source, FileName);
        if (!FileExists(Path)) {
            for (const std::string& File : ListFiles(Source, "*.language")) {
                if (File.size() == FileName.size() && File.compare(0, Code.size() + 1, Code + ".") == 0) {
                    Path = JoinSource(Source, File);
                    break;
                }
            }
        }
    } else {
        if (FileSize(Source) <= 0)
            return 0;
        TempPath = UniqueTempName();
        if (!ZipExtractToFile(Source, FileName, TempPath)) {
            DeleteFile(TempPath);
            return 0;
        }
        Path = TempPath;
    }
    Document Doc;
    int Result = OpenDocument(Doc, Path);
    if (Result) {
        for (int Group = FirstGroup(Doc); Group; Group = NextGroup(Doc)) {
            for (int Key = FirstKey(Doc); Key; Key = NextKey(Doc))
                TextTable[CurrentKeyName(Doc)] = TrimBlanks(CurrentKeyValue(Doc));
        }
        CloseDocument(Doc);
    }
    if (!TempPath.empty())
        DeleteFile(TempPath);
    return Result;
}

// The first entry with that code becomes current; without one, the last entry
// (-1 when the list is empty).
void SelectLanguageEntry(const std::string& Code)
{
    int Index = FindLanguageCode(Code);
    LanguageListCurrent = Index >= 0 ? Index : int(LanguageList.size()) - 1;
}

void RebuildLanguageList()
{
    LanguageList.clear();
    for (const auto& [Name, Info] : languagesByName)
        LanguageList.push_back({Info.Code, Info.Name});
    if (LanguageListCurrent >= int(LanguageList.size()))
        LanguageListCurrent = int(LanguageList.size()) - 1;
    if (LanguageListCurrent < 0 && !LanguageList.empty())
        LanguageListCurrent = 0;
}

int FindLanguageCode(const std::string& Code)
{
    for (size_t I = 0; I < LanguageList.size(); I++) {
        if (LanguageList[I].Code == Code)
            return int(I);
    }
    return -1;
}

// Only the exact code counts: "de_AT" does not fall back to "de_DE", so a
// portable folder starts in the language the game itself would start in.
std::string SettledLanguage(const std::string& Code)
{
    return FindLanguageCode(Code) >= 0 ? Code : std::string(FallbackLanguage);
}

// Frees the flag pictures of the previous scan.
static void ClearLanguages()
{
    for (auto& [Name, Info] : languagesByName) {
        if (Info.Flag)
            FreeImage(Info.Flag);
    }
    languagesByName.clear();
    LanguageList.clear();
    LanguageListCurrent = -1;
}

// The six header keys of group "LANGUAGE FILE" (each "" when missing); a file
// without that group gives an entry under the empty name.
static void ReadLanguageHeader(Document& Doc, const std::string& Code)
{
    LanguageInfo Info;
    SelectGroup(Doc, "LANGUAGE FILE");
    Info.Name = ReadText(Doc, "tLangFileNAME", "");
    Info.Code = Code;
    Info.Version = ReadText(Doc, "tLangFileVERSION", "");
    Info.Date = ReadText(Doc, "tLangFileDATE", "");
    Info.Author = ReadText(Doc, "tLangFileAUTHOR", "");
    Info.LanguageId = ReadText(Doc, "tLangFileLANGID", "");
    Info.Software = ReadText(Doc, "tLangFileSOFTWARE", "");
    auto Old = languagesByName.find(Info.Name);
    if (Old != languagesByName.end() && Old->second.Flag)
        FreeImage(Old->second.Flag);
    languagesByName[Info.Name] = Info;
}

// A file name in the temporary folder that no other extraction (of this or
// another running game) uses.
static std::string UniqueTempName()
{
    static std::mt19937_64 Generator{TempNameSeed()};
    static const char Digits[] = "0123456789abcdef";
    uint64_t Value = Generator();
    std::string Name = "Kistora-";
    for (int I = 0; I < 16; I++) {
        Name += Digits[Value & 15];
        Value >>= 4;
    }
    return TempFolder() + Name + ".language.tmp";
}

// The clock mixed with the system's random source when there is one.
static uint64_t TempNameSeed()
{
    uint64_t Seed = uint64_t(MilliClock()) * 0x9E3779B97F4A7C15ull;
    try {
        std::random_device Device;
        Seed ^= (uint64_t(Device()) << 32) | Device();
    } catch (...) {
        // No random source: the clock alone.
    }
    return Seed;
}

static std::string TrimBlanks(const std::string& Text)
{
    size_t Start = Text.find_first_not_of(" \t");
    if (Start == std::string::npos)
        return "";
    size_t End = Text.find_last_not_of(" \t");
    return Text.substr(Start, End - Start + 1);
}

// A code names a file in the source itself: no folders, not empty.
static int IsSafeCode(const std::string& Code)
{
    if (Code.empty() || Code == "." || Code == "..")
        return 0;
    return Code.find('/') == std::string::npos && Code.find('\\') == std::string::npos &&
           Code.find('\0') == std::string::npos;
}

static std::string JoinSource(const std::string& Source, const std::string& Name)
{
    if (!Source.empty() && Source.back() == '/')
        return Source + Name;
    return Source + "/" + Name;
}
