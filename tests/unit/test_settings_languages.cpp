// Language source (folder or zip), scan, loading into the text table, the
// language list and the default locale.
#include "settings/settings.h"
#include "platform/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

#include "test_settings_helpers.h"

namespace {

const std::string Bom = "\xEF\xBB\xBF";

// A 2 x 1 PNG (one red, one blue pixel).
const std::string
    FlagPng("\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x01\x08\x06"
            "\x00\x00\x00\xF4\x22\x7F\x8A\x00\x00\x00\x0E\x49\x44\x41\x54\x78\x9C\x63\xF8\xCF\xC0\x00\x42\xFF\x01\x0F"
            "\xF9\x03\xFD\x85\x11\x99\x76\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82",
            71);

// A language file with its header group and Body after it.
std::string LanguageFile(const std::string& DisplayName, const std::string& Body)
{
    return Bom + "; language file\r\n[LANGUAGE FILE]\r\ntLangFileNAME = " + DisplayName +
           "\r\ntLangFileVERSION = 1.0\r\ntLangFileDATE = 2024-01-01\r\ntLangFileAUTHOR = Someone\r\n"
           "tLangFileLANGID = 7\r\ntLangFileSOFTWARE = Kistora\r\n" +
           Body;
}

// Writes a zip archive at Zip holding the given (entry name, bytes) pairs,
// through Python's zipfile. The entry names are used exactly as given.
bool MakeZip(const ScratchFolder& Stage, const std::string& Zip,
             const std::vector<std::pair<std::string, std::string>>& Entries)
{
    std::string Command =
        "python3 -c \"import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n"
        "for i in range(2, len(sys.argv), 2): z.writestr(sys.argv[i], open(sys.argv[i + 1], 'rb').read())\n"
        "z.close()\" '" +
        Zip + "'";
    int Number = 0;
    for (const auto& [Name, Bytes] : Entries) {
        std::string Data = Stage.Path() + "entry" + std::to_string(Number++);
        WriteBytes(Data, Bytes);
        Command += " '" + Name + "' '" + Data + "'";
    }
    return std::system(Command.c_str()) == 0;
}

std::vector<std::string> ListCodes()
{
    std::vector<std::string> Codes;
    for (const LanguageListEntry& Entry : LanguageList)
        Codes.push_back(Entry.Code);
    return Codes;
}

std::vector<std::string> ListNames()
{
    std::vector<std::string> Names;
    for (const LanguageListEntry& Entry : LanguageList)
        Names.push_back(Entry.Name);
    return Names;
}

// Files the language code leaves behind in the temporary folder.
int TempLeftovers()
{
    int Count = 0;
    std::error_code Error;
    for (const auto& Item : std::filesystem::directory_iterator(TempFolder(), Error)) {
        std::string Name = Item.path().filename().string();
        if (Name.rfind("Kistora-", 0) == 0 && Name.find(".language") != std::string::npos)
            Count++;
    }
    return Count;
}

class SettingsLanguages : public ::testing::Test {
  protected:
    // The zip path extracts into the temporary folder: each test gets one of
    // its own, so files of tests running beside it are never counted.
    void SetUp() override
    {
        const char* Old = std::getenv("TMPDIR");
        HadTemp = Old != nullptr;
        OldTemp = HadTemp ? Old : "";
        std::filesystem::create_directories(Temp.Path() + "tmp");
        setenv("TMPDIR", (Temp.Path() + "tmp").c_str(), 1);
        TextTable.clear();
        ScanLanguages(Folder.Path() + "nothing here");
    }
    void TearDown() override
    {
        TextTable.clear();
        ScanLanguages(Folder.Path() + "nothing here");
        if (HadTemp)
            setenv("TMPDIR", OldTemp.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    ScratchFolder Temp;
    ScratchFolder Folder;
    ScratchFolder Stage;
    bool HadTemp = false;
    std::string OldTemp;
};

} // namespace

TEST_F(SettingsLanguages, FolderScan)
{
    std::string Source = Folder.Path() + "Kistora.languages";
    std::filesystem::create_directories(Source);
    WriteBytes(Source + "/en_GB.language", LanguageFile("English", "[Menu]\r\ntMenuSTART = Start\r\n"));
    WriteBytes(Source + "/en_GB.flag", FlagPng);
    WriteBytes(Source + "/de_DE.language", LanguageFile("Deutsch", ""));
    WriteBytes(Source + "/de_DE.flag", ""); // empty: no flag
    WriteBytes(Source + "/FR_fr.LANGUAGE", LanguageFile("Fran\xC3\xA7"
                                                        "ais",
                                                        "")); // capitals: listed
    WriteBytes(Source + "/aa_AA.language", LanguageFile("Same", ""));
    WriteBytes(Source + "/zz_ZZ.language", LanguageFile("Same", "")); // read last: wins
    WriteBytes(Source + "/nohead.language", "[Menu]\r\ntMenuSTART = x\r\n");
    WriteBytes(Source + "/readme.txt", LanguageFile("Text", ""));
    WriteBytes(Source + "/it_IT.language.bak", LanguageFile("Backup", ""));
    std::filesystem::create_directories(Source + "/sub.language");

    EXPECT_EQ(ScanLanguages(Source), 5);
    // Byte order of the display names; the file without a header has the empty name.
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"", "Deutsch", "English",
                                                     "Fran\xC3\xA7"
                                                     "ais",
                                                     "Same"}));
    EXPECT_EQ(ListCodes(), (std::vector<std::string>{"nohead", "de_DE", "en_GB", "FR_fr", "zz_ZZ"}));

    const LanguageInfo& English = languagesByName.at("English");
    EXPECT_EQ(English.Code, "en_GB");
    EXPECT_EQ(English.Version, "1.0");
    EXPECT_EQ(English.Date, "2024-01-01");
    EXPECT_EQ(English.Author, "Someone");
    EXPECT_EQ(English.LanguageId, "7");
    EXPECT_EQ(English.Software, "Kistora");
    ASSERT_NE(English.Flag, 0);
    EXPECT_EQ(ImageWidth(English.Flag), 2);
    EXPECT_EQ(ImageHeight(English.Flag), 1);
    EXPECT_EQ(languagesByName.at("Deutsch").Flag, 0);
    EXPECT_EQ(languagesByName.at("Same").Flag, 0);
    EXPECT_EQ(languagesByName.at("").Version, "");

    // A trailing "/" on the source changes nothing.
    EXPECT_EQ(ScanLanguages(Source + "/"), 5);
}

// A language the folder scan lists with its extension in capitals loads by
// the name the scan found; the code itself still has to match exactly.
TEST_F(SettingsLanguages, FolderLanguageWithCapitalExtensionLoads)
{
    std::string Source = Folder.Path() + "Kistora.languages";
    std::filesystem::create_directories(Source);
    WriteBytes(Source + "/de_DE.LANGUAGE", LanguageFile("Deutsch", "[Menu]\r\ntMenuSTART = Spielen\r\n"));
    WriteBytes(Source + "/it_IT.Language", LanguageFile("Italiano", "[Menu]\r\ntMenuSTART = Gioca\r\n"));
    ASSERT_EQ(ScanLanguages(Source), 2);
    EXPECT_EQ(ListCodes(), (std::vector<std::string>{"de_DE", "it_IT"}));
    EXPECT_EQ(LoadLanguage(Source, "de_DE"), 1);
    EXPECT_EQ(Text("tMenuSTART"), "Spielen");
    EXPECT_EQ(LoadLanguage(Source + "/", "it_IT"), 1);
    EXPECT_EQ(Text("tMenuSTART"), "Gioca");
    // Another code's file is never taken, whatever the case.
    EXPECT_EQ(LoadLanguage(Source, "DE_de"), 0);
    EXPECT_EQ(LoadLanguage(Source, "de_D"), 0);
    EXPECT_EQ(Text("tMenuSTART"), "Gioca");
}

TEST_F(SettingsLanguages, ZipScan)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 with zipfile is needed to build the archive";
    std::string Source = Folder.Path() + "Kistora.languages";
    std::string Big(20000, 'x');
    ASSERT_TRUE(MakeZip(Stage, Source,
                        {{"en_GB.language", LanguageFile("English", "[M]\r\nk = v\r\n")},
                         {"en_GB.flag", FlagPng},
                         {"es_ES.language", LanguageFile("Espa\xC3\xB1ol", "")},
                         {"es_ES.flag", FlagPng + Big},                   // over 16,000 bytes: no flag
                         {"DE_de.LANGUAGE", LanguageFile("Deutsch", "")}, // capitals: not listed
                         {"a.language", LanguageFile("Same", "")},
                         {"b.language", LanguageFile("Same", "")},
                         {"sub/it_IT.language", LanguageFile("Italiano", "")},
                         {"../evil.language", LanguageFile("Evil", "")},
                         {"notes.txt", "hello"}}));
    int Before = TempLeftovers();
    EXPECT_EQ(ScanLanguages(Source), 3);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"English", "Espa\xC3\xB1ol", "Same"}));
    EXPECT_EQ(ListCodes(), (std::vector<std::string>{"en_GB", "es_ES", "b"}));
    EXPECT_EQ(languagesByName.at("English").Author, "Someone");
    ASSERT_NE(languagesByName.at("English").Flag, 0);
    EXPECT_EQ(ImageWidth(languagesByName.at("English").Flag), 2);
    EXPECT_EQ(languagesByName.at("Espa\xC3\xB1ol").Flag, 0);
    EXPECT_EQ(TempLeftovers(), Before); // extracted files deleted
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(TempFolder()).parent_path().parent_path() / "evil.language"));
}

TEST_F(SettingsLanguages, SourcesThatCannotBeExamined)
{
    std::string Source = Folder.Path() + "Kistora.languages";
    EXPECT_EQ(ScanLanguages(Source), 0); // missing
    EXPECT_TRUE(LanguageList.empty());
    EXPECT_EQ(LanguageListCurrent, -1);
    WriteBytes(Source, "");
    EXPECT_EQ(ScanLanguages(Source), 0); // empty file
    WriteBytes(Source, "this is not a zip archive at all");
    EXPECT_EQ(ScanLanguages(Source), 0);
    EXPECT_TRUE(languagesByName.empty());
    EXPECT_EQ(LoadLanguage(Source, "en_GB"), 0);
    EXPECT_TRUE(TextTable.empty());
}

// The same language files served from a folder and from a zip archive.
TEST_F(SettingsLanguages, LoadFillsTheTextTable)
{
    const std::string English = LanguageFile(
        "English", "[Menu]\r\ntMenuSTART =   Start   \r\ntMenuQUIT\t=\tQuit\t\r\ntMenuSAME = first\r\n"
                   "[Other]\r\ntMenuSAME = second\r\n; tMenuCOMMENT = no\r\nTSettingsWINDOWED = Windowed\r\n"
                   "tEmpty =\r\ntMenuSAME = third\r\n");
    const std::string Short = Bom + "tBeforeGroup = lost\r\n[LANGUAGE FILE]\r\ntLangFileNAME = Short\r\n"
                                    "[Menu]\r\ntMenuSTART = Los\r\n";
    for (int Zip = 0; Zip < 2; Zip++) {
        SCOPED_TRACE(Zip ? "zip" : "folder");
        TextTable.clear();
        std::string Source = Folder.Path() + (Zip ? "zipped.languages" : "folder.languages");
        if (Zip) {
            if (!HavePython())
                GTEST_SKIP() << "python3 with zipfile is needed to build the archive";
            ASSERT_TRUE(MakeZip(Stage, Source, {{"en_GB.language", English}, {"xx_XX.language", Short}}));
        } else {
            std::filesystem::create_directories(Source);
            WriteBytes(Source + "/en_GB.language", English);
            WriteBytes(Source + "/xx_XX.language", Short);
        }
        int Before = TempLeftovers();
        ASSERT_EQ(LoadLanguage(Source, "en_GB"), 1);
        EXPECT_EQ(Text("tMenuSTART"), "Start"); // blanks trimmed on both sides
        EXPECT_EQ(Text("tMenuQUIT"), "Quit");   // tabs too
        EXPECT_EQ(Text("tMenuSAME"), "third");  // the last occurrence wins
        EXPECT_EQ(Text("TSettingsWINDOWED"), "Windowed");
        EXPECT_EQ(Text("tSettingsWINDOWED"), "");    // keys are case-sensitive
        EXPECT_EQ(Text("tLangFileNAME"), "English"); // header keys enter too
        EXPECT_EQ(Text("tMenuCOMMENT"), "");
        EXPECT_EQ(TextTable.count("tEmpty"), 1u);
        EXPECT_EQ(Text("tNoSuchKey"), "");

        // Switching: the new language's keys overwrite, the others stay.
        ASSERT_EQ(LoadLanguage(Source, "xx_XX"), 1);
        EXPECT_EQ(Text("tMenuSTART"), "Los");
        EXPECT_EQ(Text("tMenuQUIT"), "Quit");
        EXPECT_EQ(Text("tLangFileNAME"), "Short");
        EXPECT_EQ(Text("tBeforeGroup"), ""); // lines before the first group

        // A code without a file fails and leaves the table as it was.
        auto Snapshot = TextTable;
        EXPECT_EQ(LoadLanguage(Source, "fr_FR"), 0);
        EXPECT_EQ(LoadLanguage(Source, "EN_gb"), 0);
        EXPECT_EQ(LoadLanguage(Source, ""), 0);
        EXPECT_EQ(LoadLanguage(Source, "../folder.languages/en_GB"), 0);
        EXPECT_EQ(TextTable, Snapshot);
        EXPECT_EQ(TempLeftovers(), Before);
    }
}

TEST_F(SettingsLanguages, SelectLanguageEntry)
{
    SelectLanguageEntry("en_GB");
    EXPECT_EQ(LanguageListCurrent, -1); // empty list
    LanguageList = {{"de_DE", "Deutsch"}, {"en_GB", "English"}, {"en_GB", "English (copy)"}, {"fr_FR", "Francais"}};
    SelectLanguageEntry("en_GB");
    EXPECT_EQ(LanguageListCurrent, 1); // the first with that code
    EXPECT_EQ(FindLanguageCode("fr_FR"), 3);
    SelectLanguageEntry("de_DE");
    EXPECT_EQ(LanguageListCurrent, 0);
    SelectLanguageEntry("xx_XX");
    EXPECT_EQ(LanguageListCurrent, 3); // unknown: the last entry
    EXPECT_EQ(FindLanguageCode("xx_XX"), -1);
    LanguageList.clear();
}

// The code the game starts in: exactly one it has a file for, else English.
// Two files under one display name leave one code, so the other falls back too.
TEST_F(SettingsLanguages, SettledLanguageTakesOnlyAScannedCode)
{
    std::string Source = Folder.Path() + "Kistora.languages";
    std::filesystem::create_directories(Source);
    WriteBytes(Source + "/de_DE.language", LanguageFile("Deutsch", ""));
    WriteBytes(Source + "/fr_FR.language", LanguageFile("Same", ""));
    WriteBytes(Source + "/it_IT.language", LanguageFile("Same", "")); // read last: fr_FR is gone
    ASSERT_EQ(ScanLanguages(Source), 2);
    EXPECT_EQ(SettledLanguage("de_DE"), "de_DE");
    EXPECT_EQ(SettledLanguage("it_IT"), "it_IT");
    EXPECT_EQ(SettledLanguage("fr_FR"), "en_GB");
    EXPECT_EQ(SettledLanguage("de_AT"), "en_GB"); // no neighbour of the same language
    EXPECT_EQ(SettledLanguage("de_de"), "en_GB"); // codes compare exactly
    EXPECT_EQ(SettledLanguage("de_DE "), "en_GB");
    EXPECT_EQ(SettledLanguage(""), "en_GB");
    // English although there is no English file: the game then runs without texts.
    EXPECT_EQ(SettledLanguage("en_GB"), "en_GB");
}

namespace {

// Sets the locale variables for one test and puts the old ones back.
class LocaleEnvironment {
  public:
    LocaleEnvironment()
    {
        for (const char* Name : Names) {
            const char* Value = std::getenv(Name);
            Saved.push_back(Value ? std::optional<std::string>(Value) : std::nullopt);
        }
    }
    ~LocaleEnvironment()
    {
        for (size_t I = 0; I < Names.size(); I++) {
            if (Saved[I])
                setenv(Names[I], Saved[I]->c_str(), 1);
            else
                unsetenv(Names[I]);
        }
    }
    void Set(const char* Value)
    {
        for (const char* Name : Names)
            unsetenv(Name);
        if (Value)
            setenv("LC_ALL", Value, 1);
    }

  private:
    std::vector<const char*> Names{"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<std::string>> Saved;
};

} // namespace

TEST(SettingsLocale, DefaultLocaleParts)
{
    LocaleEnvironment Environment;
    Environment.Set("de_AT.UTF-8");
    ASSERT_EQ(UserLocaleName(), "de-AT");
    EXPECT_EQ(DefaultLocale(0), "de_AT");
    EXPECT_EQ(DefaultLocale(1), "de");
    EXPECT_EQ(DefaultLocale(2), "AT");
    EXPECT_EQ(DefaultLocale(3), "");
    EXPECT_EQ(DefaultLocale(-1), "");

    Environment.Set(nullptr);
    ASSERT_EQ(UserLocaleName(), "");
    for (int Part = 0; Part < 3; Part++)
        EXPECT_EQ(DefaultLocale(Part), "") << Part;
}

TEST(SettingsLocale, LocaleNameWithoutRegion)
{
    LocaleEnvironment Environment;
    Environment.Set("fr");
    if (UserLocaleName() != "fr")
        GTEST_SKIP() << "the platform reports \"" << UserLocaleName() << "\" for LC_ALL=fr";
    EXPECT_EQ(DefaultLocale(0), "fr");
    EXPECT_EQ(DefaultLocale(1), "fr");
    EXPECT_EQ(DefaultLocale(2), "");
}
