// The five language files of content/languages and the built Kistora.languages:
// each file is in the exact on-disk form (byte-order mark, CR LF, UTF-8), parses
// with the game's document reader, carries the six header keys and every text
// key the game looks up (including the title key of every level in the level
// sources), and keeps its texts short enough for their panels. The zip holds
// the same files and flags the game can read.
#include "settings/settings.h"
#include "platform/platform.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_text_keys.h"

namespace {

struct LanguageCase {
    const char* Code;
    const char* DisplayName;
};

const LanguageCase Languages[] = {
    {"en_GB", "English"}, {"de_DE", "Deutsch"}, {"fr_FR", "Français"}, {"es_ES", "Español"}, {"it_IT", "Italiano"}};

// Items of the two W/4-wide menus and the short labels beside values or buttons.
const char* const ShortKeys[] = {
    "tMenuSTART",      "tMenuSETTINGS",   "tMenuCREDITS",   "tMenuQUIT",     "tInGameRESUME", "tInGameRESTART",
    "tInGameSETTINGS", "tInGameQUIT",     "tQuitYES",       "tQuitNO",       "tSettingsON",   "tSettingsOFF",
    "tSettingsOK",     "tSettingsCANCEL", "tCompleteRETRY", "tCompleteMENU", "tCompleteNEXT"};

constexpr int LevelCount = 60;

std::string LevelKey(int Number)
{
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "tLevel%03d", Number);
    return Buffer;
}

std::string SourcePath(const std::string& Code)
{
    return std::string(KISTORA_SOURCE_DIR) + "/content/languages/" + Code + ".language";
}

std::string ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    return Buffer.str();
}

// Code points in valid UTF-8, or -1 when the bytes are not valid UTF-8.
long Utf8Length(const std::string& Text)
{
    long Count = 0;
    for (size_t I = 0; I < Text.size();) {
        unsigned char C = static_cast<unsigned char>(Text[I]);
        size_t More = C < 0x80 ? 0 : (C >> 5) == 6 ? 1 : (C >> 4) == 14 ? 2 : (C >> 3) == 30 ? 3 : 99;
        if (More == 99 || I + More >= Text.size() + (More == 0 ? 1 : 0))
            return -1;
        for (size_t K = 1; K <= More; K++)
            if ((static_cast<unsigned char>(Text[I + K]) & 0xC0) != 0x80)
                return -1;
        I += More + 1;
        Count++;
    }
    return Count;
}

// Every key of every group, as the language loader enters them; duplicates listed.
void CollectKeys(Document& Doc, std::map<std::string, std::string>& Keys, std::vector<std::string>& Twice)
{
    for (int G = FirstGroup(Doc); G; G = NextGroup(Doc))
        for (int K = FirstKey(Doc); K; K = NextKey(Doc)) {
            if (Keys.count(CurrentKeyName(Doc)))
                Twice.push_back(CurrentKeyName(Doc));
            Keys[CurrentKeyName(Doc)] = CurrentKeyValue(Doc);
        }
}

std::set<std::string> ExpectedKeys()
{
    std::set<std::string> Keys(std::begin(GameTextKeys), std::end(GameTextKeys));
    Keys.insert(std::begin(LanguageHeaderKeys), std::end(LanguageHeaderKeys));
    for (int N = 1; N <= LevelCount; N++)
        Keys.insert(LevelKey(N));
    return Keys;
}

} // namespace

TEST(ContentLanguages, FilesAreUtf8WithByteOrderMarkAndCrLf)
{
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        std::string Bytes = ReadBytes(SourcePath(L.Code));
        ASSERT_GT(Bytes.size(), 3u) << "missing or empty";
        EXPECT_EQ(Bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "no byte-order mark";
        EXPECT_GE(Utf8Length(Bytes.substr(3)), 0) << "not valid UTF-8";
        size_t Lone = 0;
        for (size_t I = 0; I < Bytes.size(); I++) {
            if (Bytes[I] == '\n' && (I == 0 || Bytes[I - 1] != '\r'))
                Lone++;
            if (Bytes[I] == '\r' && (I + 1 == Bytes.size() || Bytes[I + 1] != '\n'))
                Lone++;
        }
        EXPECT_EQ(Lone, 0u) << "line ends other than CR LF";
        EXPECT_EQ(Bytes.substr(Bytes.size() - 2), "\r\n") << "last line not ended";
    }
}

TEST(ContentLanguages, HeaderGroupHasTheSixKeys)
{
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        Document Doc;
        ASSERT_EQ(OpenDocument(Doc, SourcePath(L.Code)), 1);
        ASSERT_EQ(SelectGroup(Doc, "LANGUAGE FILE"), 1);
        for (const char* Key : LanguageHeaderKeys)
            EXPECT_NE(ReadText(Doc, Key, ""), "") << Key;
        EXPECT_EQ(ReadText(Doc, "tLangFileNAME", ""), L.DisplayName);
        EXPECT_EQ(ReadText(Doc, "tLangFileSOFTWARE", ""), "Kistora");
        // The header group comes first, so no text key is read as part of it.
        EXPECT_EQ(ReadText(Doc, "tMenuSTART", "absent"), "absent");
    }
}

TEST(ContentLanguages, EveryKeyOnceAndNoStrangers)
{
    const std::set<std::string> Expected = ExpectedKeys();
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        Document Doc;
        ASSERT_EQ(OpenDocument(Doc, SourcePath(L.Code)), 1);
        std::map<std::string, std::string> Keys;
        std::vector<std::string> Twice;
        CollectKeys(Doc, Keys, Twice);
        EXPECT_TRUE(Twice.empty()) << "key given twice: " << Twice.front();
        for (const std::string& Key : Expected) {
            auto Found = Keys.find(Key);
            if (Found == Keys.end()) {
                ADD_FAILURE() << "missing key " << Key;
                continue;
            }
            EXPECT_NE(Found->second, "") << "empty text for " << Key;
            // The document reader keeps trailing blanks (only the language
            // loader trims them); the files should not depend on that.
            if (!Found->second.empty()) {
                EXPECT_TRUE(Found->second.back() != ' ' && Found->second.back() != '\t') << "trailing blank in " << Key;
            }
        }
        for (auto& [Key, Value] : Keys)
            EXPECT_TRUE(Expected.count(Key)) << "unknown key " << Key << " (misspelt?)";
        // Keys compare case-sensitively: the windowed label has a capital T.
        EXPECT_EQ(Keys.count("tSettingsWINDOWED"), 0u);
        EXPECT_NE(Keys["tStartHEADER"].find('#'), std::string::npos) << "level number place";
        EXPECT_NE(Keys["tCompleteTITLE"].find("###"), std::string::npos) << "level number place";
    }
}

TEST(ContentLanguages, TextsFitTheirPanels)
{
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        Document Doc;
        ASSERT_EQ(OpenDocument(Doc, SourcePath(L.Code)), 1);
        std::map<std::string, std::string> Keys;
        std::vector<std::string> Twice;
        CollectKeys(Doc, Keys, Twice);
        // 28-pixel items in a 256-pixel menu at 1024 x 576.
        for (const char* Key : ShortKeys)
            EXPECT_LE(Utf8Length(Keys[Key]), 13) << Key << " = " << Keys[Key];
        // Label and value share one 569-pixel settings row.
        const char* Modes[] = {"tSettingsFULLSCREEN", "TSettingsWINDOWED", "tSettingsBORDERLESS"};
        for (const char* Mode : Modes)
            EXPECT_LE(Utf8Length(Keys["tSettingsSCREENMODE"]) + Utf8Length(Keys[Mode]), 26) << Mode;
        // The window-size row measured in the game's font: label and the
        // widest listed size, 28 pixels, 10 from each edge, 20 between them.
        ASSERT_EQ(InitFont(), 1);
        double Label = 0, Value = 0, LineHeight = 0;
        MeasureText(Keys["tSettingsRESOLUTION"], 28, &Label, &LineHeight);
        MeasureText("3840x2160", 28, &Value, &LineHeight);
        EXPECT_LE(Label + Value, 569 - 10 - 10 - 20) << Keys["tSettingsRESOLUTION"];
        // The quit question wraps onto at most two lines of a 492-pixel box.
        EXPECT_LE(Utf8Length(Keys["tQuitQUESTION"]), 48);
        for (int N = 1; N <= LevelCount; N++)
            EXPECT_LE(Utf8Length(Keys[LevelKey(N)]), 22) << LevelKey(N);
        // Every language names the levels differently from one another.
        std::set<std::string> Titles;
        for (int N = 1; N <= LevelCount; N++)
            Titles.insert(Keys[LevelKey(N)]);
        EXPECT_EQ(Titles.size(), size_t(LevelCount)) << "two levels share a title";
    }
}

// The level sources name their title keys; every one must be in every language.
TEST(ContentLanguages, LevelSourcesAndLanguagesAgree)
{
    std::vector<std::string> LevelKeys;
    const char* Sources[] = {"levels_01_20.txt", "levels_21_40.txt", "levels_41_60.txt"};
    for (const char* Source : Sources) {
        std::istringstream In(ReadBytes(std::string(KISTORA_SOURCE_DIR) + "/content/levels/" + Source));
        std::string Line;
        while (std::getline(In, Line)) {
            if (!Line.empty() && Line.back() == '\r')
                Line.pop_back();
            if (Line.rfind("Title:", 0) == 0) {
                size_t From = Line.find_first_not_of(" \t", 6);
                LevelKeys.push_back(From == std::string::npos ? "" : Line.substr(From));
            }
        }
    }
    if (LevelKeys.empty())
        GTEST_SKIP() << "no level sources in content/levels";
    EXPECT_EQ(LevelKeys.size(), size_t(LevelCount));
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        Document Doc;
        ASSERT_EQ(OpenDocument(Doc, SourcePath(L.Code)), 1);
        std::map<std::string, std::string> Keys;
        std::vector<std::string> Twice;
        CollectKeys(Doc, Keys, Twice);
        for (const std::string& Key : LevelKeys)
            EXPECT_EQ(Keys.count(Key), 1u) << "no title for level key " << Key;
    }
}

TEST(ContentLanguages, BuiltArchiveHoldsTheLanguagesAndSmallFlags)
{
    const std::string Archive = std::string(KISTORA_GAME_DIR) + "/Kistora.languages";
    if (!FileExists(Archive))
        GTEST_SKIP() << Archive << " not built";
    std::vector<std::string> Names;
    ASSERT_EQ(ZipListFiles(Archive, Names), 1);
    std::set<std::string> Listed(Names.begin(), Names.end());
    for (const LanguageCase& L : Languages) {
        SCOPED_TRACE(L.Code);
        std::string Entry = std::string(L.Code) + ".language";
        ASSERT_TRUE(Listed.count(Entry)) << Entry << " not at the archive root";
        // The packed file is the source file, byte for byte (a stale pack shows here).
        std::string Source = ReadBytes(SourcePath(L.Code));
        std::vector<uint8_t> Buffer(Source.size() + 1);
        int64_t Size = ZipExtractToMemory(Archive, Entry, Buffer.data(), Buffer.size());
        ASSERT_EQ(Size, int64_t(Source.size()));
        EXPECT_EQ(std::string(Buffer.begin(), Buffer.begin() + Size), Source);
        // A flag, when present, fits the game's 16,000-byte flag buffer and is a PNG.
        std::string Flag = std::string(L.Code) + ".flag";
        if (Listed.count(Flag)) {
            std::vector<uint8_t> FlagBytes(16000);
            int64_t FlagSize = ZipExtractToMemory(Archive, Flag, FlagBytes.data(), FlagBytes.size());
            EXPECT_GT(FlagSize, 8) << Flag << " is empty or over 16,000 bytes";
            if (FlagSize > 8) {
                EXPECT_EQ(std::string(FlagBytes.begin(), FlagBytes.begin() + 8), "\x89PNG\r\n\x1a\n");
            }
        }
    }
    for (const std::string& Name : Names) {
        bool LanguageFile = Name.size() > 9 && Name.compare(Name.size() - 9, 9, ".language") == 0;
        bool Flag = Name.size() > 5 && Name.compare(Name.size() - 5, 5, ".flag") == 0;
        EXPECT_TRUE(LanguageFile || Flag) << "stray entry " << Name;
        EXPECT_EQ(Name.find('/'), std::string::npos) << Name << " is not at the root";
    }
}

// Words chosen for the settings and the quit question: the window-size row
// means the size of the window in all five languages (never "resolution");
// Italian and Spanish name the screen modes as players know them, Italian's
// music values agree with "la musica"; German names the screen-mode row and
// asks about quitting with "beenden".
TEST(ContentLanguages, SettingsWordsAgreeAcrossTheLanguages)
{
    struct Wanted {
        const char* Code;
        const char* Key;
        const char* Value;
    };
    const Wanted Words[] = {
        {"en_GB", "tSettingsRESOLUTION", "Window size"},
        {"de_DE", "tSettingsRESOLUTION",
         "Fenstergr\xC3\xB6\xC3\x9F"
         "e"},
        {"fr_FR", "tSettingsRESOLUTION", "Taille de la fen\xC3\xAAtre"},
        {"es_ES", "tSettingsRESOLUTION", "Tama\xC3\xB1o de ventana"},
        {"it_IT", "tSettingsRESOLUTION", "Dimensione finestra"},
        {"it_IT", "tSettingsFULLSCREEN", "Schermo intero"},
        {"it_IT", "TSettingsWINDOWED", "In finestra"},
        {"it_IT", "tSettingsON", "Attivata"},
        {"it_IT", "tSettingsOFF", "Disattivata"},
        {"es_ES", "TSettingsWINDOWED", "En ventana"},
        {"de_DE", "tSettingsSCREENMODE", "Anzeigemodus"},
    };
    for (const Wanted& Word : Words) {
        SCOPED_TRACE(std::string(Word.Code) + " " + Word.Key);
        Document Doc;
        ASSERT_EQ(OpenDocument(Doc, SourcePath(Word.Code)), 1);
        std::map<std::string, std::string> Keys;
        std::vector<std::string> Twice;
        CollectKeys(Doc, Keys, Twice);
        EXPECT_EQ(Keys[Word.Key], Word.Value);
    }
    Document German;
    ASSERT_EQ(OpenDocument(German, SourcePath("de_DE")), 1);
    std::map<std::string, std::string> Keys;
    std::vector<std::string> Twice;
    CollectKeys(German, Keys, Twice);
    EXPECT_NE(Keys["tQuitQUESTION"].find("beenden"), std::string::npos) << Keys["tQuitQUESTION"];
    EXPECT_EQ(Keys["tQuitQUESTION"].find("aufh"), std::string::npos) << Keys["tQuitQUESTION"];
}

// French typography: a no-break space (U+00A0) before every "?", "!", ":" and
// ";", never a plain blank or none, in every French text.
TEST(ContentLanguages, FrenchHasANoBreakSpaceBeforeHighPunctuation)
{
    Document Doc;
    ASSERT_EQ(OpenDocument(Doc, SourcePath("fr_FR")), 1);
    std::map<std::string, std::string> Keys;
    std::vector<std::string> Twice;
    CollectKeys(Doc, Keys, Twice);
    const std::string NoBreak = "\xC2\xA0";
    int Signs = 0;
    for (const auto& [Key, Value] : Keys) {
        for (size_t At = Value.find_first_of("?!:;"); At != std::string::npos;
             At = Value.find_first_of("?!:;", At + 1)) {
            Signs++;
            EXPECT_TRUE(At >= 2 && Value.compare(At - 2, 2, NoBreak) == 0) << Key << " = " << Value;
        }
    }
    // The question, the completion title, the congratulations and the card labels.
    EXPECT_GE(Signs, 6);
    EXPECT_EQ(Keys["tQuitQUESTION"], "Voulez-vous vraiment quitter" + NoBreak + "?");
}
