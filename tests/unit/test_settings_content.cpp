// The game's own language files, read through the language loader: each one
// is listed by the scan and gives a text for every key the program uses.
#include "settings/settings.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "test_text_keys.h"

namespace {

// What the game reads from every language: its text keys and the header keys.
const std::vector<std::string> ProgramKeys = [] {
    std::vector<std::string> Keys(std::begin(GameTextKeys), std::end(GameTextKeys));
    Keys.insert(Keys.end(), std::begin(LanguageHeaderKeys), std::end(LanguageHeaderKeys));
    return Keys;
}();

// Loads every listed language on its own and checks the program's keys.
void CheckSource(const std::string& Source, size_t MinimumLanguages)
{
    ScanLanguages(Source);
    ASSERT_GE(LanguageList.size(), MinimumLanguages);
    std::set<std::string> Codes;
    for (const LanguageListEntry& Entry : LanguageList) {
        SCOPED_TRACE(Entry.Code);
        EXPECT_TRUE(Codes.insert(Entry.Code).second);
        EXPECT_FALSE(Entry.Name.empty());
        TextTable.clear();
        ASSERT_EQ(LoadLanguage(Source, Entry.Code), 1);
        for (const std::string& Key : ProgramKeys)
            EXPECT_FALSE(Text(Key).empty()) << Key;
        EXPECT_NE(Text("tStartHEADER").find('#'), std::string::npos);
        EXPECT_EQ(Text("tLangFileNAME"), Entry.Name);
    }
    EXPECT_GE(FindLanguageCode("en_GB"), 0);
    TextTable.clear();
}

} // namespace

TEST(SettingsContent, CheckedInLanguageFiles)
{
    std::string Folder = std::string(KISTORA_SOURCE_DIR) + "/content/languages";
    if (ListFiles(Folder, "*.language").empty())
        GTEST_SKIP() << "no language files in " << Folder;
    CheckSource(Folder, ListFiles(Folder, "*.language").size());
}

TEST(SettingsContent, BuiltLanguageArchive)
{
    std::string Archive = std::string(KISTORA_GAME_DIR) + "/Kistora.languages";
    if (FileSize(Archive) <= 0)
        GTEST_SKIP() << "Kistora.languages is not built in " << KISTORA_GAME_DIR;
    CheckSource(Archive, 1);
    // A flag packed beside a language must load (at most 16,000 bytes of PNG).
    std::vector<std::string> Entries;
    ASSERT_EQ(ZipListFiles(Archive, Entries), 1);
    std::set<std::string> Packed(Entries.begin(), Entries.end());
    ScanLanguages(Archive);
    for (const auto& [Name, Info] : languagesByName) {
        if (Packed.count(Info.Code + ".flag")) {
            EXPECT_NE(Info.Flag, 0) << Info.Code;
        }
    }
    ScanLanguages("");
}
