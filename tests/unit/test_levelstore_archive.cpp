// The level store read from level archives built here: index and map fields,
// column-major cells, the model's limits, missing entries and reloads.
#include "levels/levels.h"
#include "display/display.h"

#include <gtest/gtest.h>

#include "packwriter.h"
#include "test_pack_support.h"

namespace {

using packtest::MakeIndex;
using packtest::MakeMap;
using packtest::MapSpec;

class LevelStore : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Reset();
    }
    void TearDown() override
    {
        Reset();
    }
    static void Reset()
    {
        levelOrder.clear();
        levelsByName.clear();
        tilesByName.clear();
        LevelArchiveInfo = LevelArchiveInfoRecord();
    }
    // Loads a container of the given entries through the in-memory reader.
    static void Load(const std::vector<PackInput>& Entries, int Level = 1)
    {
        PackOptions Options;
        Options.Level = Level;
        std::vector<uint8_t> Pack = BuildPack(Entries, Options);
        int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
        ASSERT_GT(Archive, 0);
        LoadLevelArchiveFrom(Archive);
        CloseArchive(Archive);
    }
    static MapSpec Walled()
    {
        MapSpec Spec;
        Spec.Width = 4;
        Spec.Height = 3;
        Spec.Cells.assign(3, std::vector<std::vector<int16_t>>(4, std::vector<int16_t>(3, 0)));
        Spec.Cells[0][1][2] = 5;  // floor tile at (1, 2)
        Spec.Cells[2][3][0] = 9;  // wall at (3, 0)
        Spec.Cells[2][0][1] = -1; // a negative cell still blocks
        return Spec;
    }
};

TEST_F(LevelStore, ReadsIndexAndMapFields)
{
    Load({{"index", MakeIndex({u"Level 1", u"Zweite"}, {{u"5", 0, 1}, {u"9", 1, 0}}, 2, -7)},
          {"MAPS/Level 1", MakeMap(Walled())},
          {"MAPS/Zweite", MakeMap(MapSpec())}});
    ASSERT_EQ(levelOrder, (std::vector<std::string>{"Level 1", "Zweite"}));
    std::vector<std::string> Copy = {"stale"};
    CopyLevelOrder(Copy);
    EXPECT_EQ(Copy, levelOrder);

    EXPECT_EQ(GetArchiveProperty(0), "First archive text");
    EXPECT_EQ(GetArchiveProperty(1), "Second archive text");
    EXPECT_EQ(GetArchiveProperty(2), "-7");
    EXPECT_EQ(GetArchiveProperty(3), "Third");
    EXPECT_EQ(GetArchiveProperty(4), "2");
    EXPECT_EQ(GetArchiveProperty(5), "2");
    EXPECT_EQ(GetArchiveProperty(6), "");
    EXPECT_EQ(GetArchiveProperty(-1), "");

    const char* Expected[15] = {"tLevelTITLE", "Level 1",      "4",           "3", "11",       "-12",
                                "3",           "13",           "14",          "2", "1,1, 2,1", "1,2,2,2",
                                "0,0",         "reserved one", "reserved two"};
    for (int Property = 0; Property < 15; Property++)
        EXPECT_EQ(GetLevelProperty("Level 1", Property), Expected[Property]) << Property;
    EXPECT_EQ(GetLevelProperty("Level 1", 15), "");
    EXPECT_EQ(GetLevelProperty("Level 1", -1), "");

    const LevelRecord& Record = levelsByName.at("Level 1");
    EXPECT_EQ(Record.Layers[0].Value1, 100);
    EXPECT_EQ(Record.Layers[0].Value4, -1) << "layer value 4 is a signed byte";
    EXPECT_EQ(Record.Layers[2].Present, 1);
    EXPECT_EQ(Record.Layers[3].Present, 0);
    EXPECT_EQ(tilesByName.at("5").Alpha, 1);
    EXPECT_EQ(tilesByName.at("9").Collision, 1);
    EXPECT_EQ(tilesByName.at("9").Image, 0) << "no screen, so no sprite";
}

TEST_F(LevelStore, CellsAreColumnMajor)
{
    MapSpec Spec = Walled();
    Load({{"index", MakeIndex({u"L"}, {})}, {"MAPS/L", MakeMap(Spec)}});
    const LevelRecord& Record = levelsByName.at("L");
    EXPECT_EQ(Record.Layers[0].Cells[1][2], 5);
    EXPECT_EQ(Record.Layers[2].Cells[3][0], 9);
    EXPECT_EQ(Record.Layers[0].Cells[2][1], 0);

    // The same cells stored row by row land transposed.
    Spec.RowMajor = 1;
    Load({{"index", MakeIndex({u"L"}, {})}, {"MAPS/L", MakeMap(Spec)}});
    const LevelRecord& Wrong = levelsByName.at("L");
    EXPECT_NE(Wrong.Layers[0].Cells[1][2], 5);
    EXPECT_NE(Wrong.Layers[2].Cells[3][0], 9);
}

TEST_F(LevelStore, IsCellFree)
{
    Load({{"index", MakeIndex({u"L"}, {})}, {"MAPS/L", MakeMap(Walled())}});
    EXPECT_EQ(IsCellFree("L", 2, 1, 1), 1);
    EXPECT_EQ(IsCellFree("L", 2, 3, 0), 0);
    EXPECT_EQ(IsCellFree("L", 2, 0, 1), 0) << "negative values block";
    EXPECT_EQ(IsCellFree("L", 3, 1, 1), -1) << "layer 3 of a 3-layer level";
    EXPECT_EQ(IsCellFree("L", -1, 1, 1), -1);
    EXPECT_EQ(IsCellFree("L", 0, 1, 2), 0);
    // Outside the 33 x 33 grid nothing is free; inside it but past the map, cells are 0.
    EXPECT_EQ(IsCellFree("L", 2, -1, 0), 0);
    EXPECT_EQ(IsCellFree("L", 2, 0, -2), 0);
    EXPECT_EQ(IsCellFree("L", 2, 33, 0), 0);
    EXPECT_EQ(IsCellFree("L", 2, 0, 40), 0);
    EXPECT_EQ(IsCellFree("L", 2, 32, 32), 1);
    EXPECT_EQ(IsCellFree("not a level", 0, 0, 0), -1);
}

TEST_F(LevelStore, MissingOrRejectedMapsKeepOnlyTheName)
{
    std::vector<PackInput> Entries = {
        {"index", MakeIndex({u"good", u"missing", u"wide", u"tall", u"negative", u"layers", u"twolayers", u"crates",
                             u"fewcrates", u"short", u"magic"},
                            {})},
        {"MAPS/good", MakeMap(Walled())}};
    auto Add = [&](const char* Name, MapSpec Spec) { Entries.push_back({std::string("MAPS/") + Name, MakeMap(Spec)}); };
    MapSpec Spec;
    Spec.Width = 34;
    Add("wide", Spec);
    Spec = MapSpec();
    Spec.Height = 34;
    Add("tall", Spec);
    Spec = MapSpec();
    Spec.Width = -1;
    Add("negative", Spec);
    Spec = MapSpec();
    Spec.Layers = 17;
    Add("layers", Spec);
    Spec = MapSpec();
    Spec.Layers = 2;
    Add("twolayers", Spec);
    Spec = MapSpec();
    Spec.Crates = 13;
    Add("crates", Spec);
    Spec = MapSpec();
    Spec.Crates = -1;
    Add("fewcrates", Spec);
    std::vector<uint8_t> Short = MakeMap(MapSpec());
    Short.pop_back(); // one cell byte short of what the header claims
    Entries.push_back({"MAPS/short", Short});
    std::vector<uint8_t> Magic = MakeMap(MapSpec());
    Magic[3] = '1';
    Entries.push_back({"MAPS/magic", Magic});
    Load(Entries);

    ASSERT_EQ(levelOrder.size(), 11u);
    EXPECT_EQ(GetLevelProperty("good", 2), "4");
    for (const char* Name :
         {"missing", "wide", "tall", "negative", "layers", "twolayers", "crates", "fewcrates", "short", "magic"}) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(GetLevelProperty(Name, 1), Name);
        EXPECT_EQ(GetLevelProperty(Name, 0), "");
        for (int Property : {2, 3, 6, 9})
            EXPECT_EQ(GetLevelProperty(Name, Property), "0");
        EXPECT_EQ(IsCellFree(Name, 2, 1, 1), -1);
    }
    // The largest legal map loads.
    Spec = MapSpec();
    Spec.Width = 33;
    Spec.Height = 33;
    Spec.Layers = 16;
    Spec.Crates = 12;
    Spec.Cells.assign(16, std::vector<std::vector<int16_t>>(33, std::vector<int16_t>(33, 0)));
    Spec.Cells[15][32][32] = 77;
    Load({{"index", MakeIndex({u"big"}, {})}, {"MAPS/big", MakeMap(Spec)}});
    EXPECT_EQ(GetLevelProperty("big", 6), "16");
    EXPECT_EQ(IsCellFree("big", 15, 32, 32), 0);
}

TEST_F(LevelStore, ReloadKeepsRecordsAndARejectedMapLeavesTheOldOne)
{
    Load({{"index", MakeIndex({u"A", u"B"}, {{u"5"}})}, {"MAPS/A", MakeMap(Walled())}, {"MAPS/B", MakeMap(MapSpec())}});
    MapSpec Broken = MapSpec();
    Broken.Layers = 99;
    MapSpec Changed = MapSpec();
    Changed.Width = 7;
    Load({{"index", MakeIndex({u"A", u"B"}, {{u"5"}})}, {"MAPS/A", MakeMap(Broken)}, {"MAPS/B", MakeMap(Changed)}});
    EXPECT_EQ(levelOrder.size(), 2u) << "the order is read anew, not appended";
    EXPECT_EQ(GetLevelProperty("A", 2), "4");
    EXPECT_EQ(IsCellFree("A", 2, 3, 0), 0);
    EXPECT_EQ(GetLevelProperty("B", 2), "7");
    EXPECT_EQ(tilesByName.size(), 1u);
}

TEST_F(LevelStore, IndexEdgeCases)
{
    // No levels: empty order and store, tiles still read.
    Load({{"index", MakeIndex({}, {{u"1"}, {u"2"}})}});
    EXPECT_TRUE(levelOrder.empty());
    EXPECT_TRUE(levelsByName.empty());
    EXPECT_EQ(tilesByName.size(), 2u);
    EXPECT_EQ(GetArchiveProperty(5), "2");

    // Wrong magic or no index: nothing at all.
    Reset();
    std::vector<uint8_t> Bad = MakeIndex({u"x"}, {});
    Bad[0] = 'J';
    Load({{"index", Bad}, {"MAPS/x", MakeMap(MapSpec())}});
    EXPECT_TRUE(levelOrder.empty());
    Load({{"MAPS/x", MakeMap(MapSpec())}});
    EXPECT_TRUE(levelOrder.empty());
    EXPECT_EQ(GetArchiveProperty(4), "0");

    // An index that claims a million levels but holds two names: two are read.
    Reset();
    std::vector<uint8_t> Claim = MakeIndex({u"p", u"q"}, {});
    packtest::PutInt(Claim, 1068, 1000000, 4);
    Claim.resize(1072 + 2 * 64);
    Load({{"index", Claim}});
    EXPECT_EQ(levelOrder, (std::vector<std::string>{"p", "q"}));
    EXPECT_EQ(GetArchiveProperty(4), "2");

    // Skipped records are skipped; a tile count past the end reads what is there.
    Reset();
    std::vector<uint8_t> Tiles = MakeIndex({u"p"}, {{u"3", 1, 1}, {u"4"}}, 3);
    packtest::PutInt(Tiles, 1072 + 64 + 4 + 3 * 256, 50, 4);
    Load({{"index", Tiles}});
    EXPECT_EQ(tilesByName.size(), 2u);
    EXPECT_EQ(tilesByName.at("3").Collision, 1);
    EXPECT_EQ(GetArchiveProperty(5), "2");

    // A non-ASCII name travels as UTF-8 into the entry name and the order.
    Reset();
    Load({{"index", MakeIndex({u"Ébène"}, {})},
          {"MAPS/\xC3\x89"
           "b\xC3\xA8"
           "ne",
           MakeMap(MapSpec())}});
    ASSERT_EQ(levelOrder.size(), 1u);
    EXPECT_EQ(levelOrder[0], "\xC3\x89"
                             "b\xC3\xA8"
                             "ne");
    EXPECT_EQ(GetLevelProperty(levelOrder[0], 2), "4");
}

TEST_F(LevelStore, EntryAtTheTwentyMebibyteLimitLoadsOneByteMoreDoesNot)
{
    std::vector<uint8_t> Map = MakeMap(Walled());
    Map.resize(LevelEntryBufferLimit, 0);
    std::vector<uint8_t> Over = Map;
    Over.push_back(0);
    Load({{"index", MakeIndex({u"at", u"over"}, {})}, {"MAPS/at", Map}, {"MAPS/over", Over}}, 1);
    EXPECT_EQ(GetLevelProperty("at", 2), "4");
    EXPECT_EQ(GetLevelProperty("over", 2), "0");
    EXPECT_EQ(GetLevelProperty("over", 1), "over");
}

TEST(LevelStoreText, Utf16ToUtf8)
{
    EXPECT_EQ(Utf16ToUtf8(u"abc"), "abc");
    EXPECT_EQ(Utf16ToUtf8(u"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "a lone surrogate";
}

} // namespace
