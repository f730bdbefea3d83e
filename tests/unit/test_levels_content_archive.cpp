// The shipped level archive read back with the game's own level store: the 60
// levels in play order, their title keys, 30 x 15 maps of three layers, crates,
// targets and worker on enclosed floor, every cell of layer 0 drawn, the tiles
// and the thumbnails present.
#include "levels/levels.h"
#include "display/display.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string MapsPath()
{
    return std::string(KISTORA_GAME_DIR) + "/Kistora.maps";
}

bool MapsPresent()
{
    struct stat Info;
    return stat(MapsPath().c_str(), &Info) == 0;
}

// "x,y,x,y" as pairs; Ok is false for anything but plain non-negative numbers.
std::vector<std::pair<int, int>> Pairs(const std::string& Text, bool& Ok)
{
    std::vector<int> Fields;
    std::string Field;
    Ok = true;
    for (size_t K = 0; K <= Text.size(); K++) {
        if (K == Text.size() || Text[K] == ',') {
            if (Field.empty())
                Ok = false;
            else
                Fields.push_back(std::stoi(Field));
            Field.clear();
        } else if (Text[K] >= '0' && Text[K] <= '9') {
            Field += Text[K];
        } else {
            Ok = false;
        }
    }
    std::vector<std::pair<int, int>> Result;
    if (Fields.size() % 2)
        Ok = false;
    for (size_t K = 0; K + 1 < Fields.size(); K += 2)
        Result.push_back({Fields[K], Fields[K + 1]});
    return Result;
}

const TileRecord* TileOf(int Value)
{
    auto Found = tilesByName.find(std::to_string(Value));
    return Found == tilesByName.end() ? nullptr : &Found->second;
}

// True when the worker's floor around (X, Y) never reaches the field's edge:
// the walls of layer 2 close it in.
bool Enclosed(const std::string& Name, int X, int Y)
{
    std::vector<std::vector<int>> Seen(30, std::vector<int>(15, 0));
    std::vector<std::pair<int, int>> Queue{{X, Y}};
    Seen[X][Y] = 1;
    for (size_t Head = 0; Head < Queue.size(); Head++) {
        auto [CX, CY] = Queue[Head];
        if (CX == 0 || CY == 0 || CX == 29 || CY == 14)
            return false;
        const int Step[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& S : Step) {
            int NX = CX + S[0], NY = CY + S[1];
            if (Seen[NX][NY] || IsCellFree(Name, 2, NX, NY) != 1)
                continue;
            Seen[NX][NY] = 1;
            Queue.push_back({NX, NY});
        }
    }
    return true;
}

class LevelsContentArchive : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!MapsPresent())
            GTEST_SKIP() << MapsPath() << " is not built";
        LoadLevelArchive(MapsPath());
        CopyLevelOrder(Order);
    }
    std::vector<std::string> Order;
};

TEST_F(LevelsContentArchive, IndexListsSixtyLevelsInPlayOrderWithTheirTitleKeys)
{
    ASSERT_EQ(Order.size(), 60u);
    EXPECT_EQ(GetArchiveProperty(4), "60");
    for (int K = 0; K < 60; K++) {
        char Name[8], Key[16];
        std::snprintf(Name, sizeof Name, "%02d", K + 1);
        std::snprintf(Key, sizeof Key, "tLevel%03d", K + 1);
        EXPECT_EQ(Order[K], Name);
        EXPECT_EQ(GetLevelProperty(Order[K], 0), Key) << "level " << Order[K];
        EXPECT_EQ(GetLevelProperty(Order[K], 1), Name);
    }
}

TEST_F(LevelsContentArchive, TilesHaveNumericNamesFlagsAndPictures)
{
    int Tiles = std::stoi(GetArchiveProperty(5));
    ASSERT_GT(Tiles, 0);
    ASSERT_EQ(tilesByName.size(), size_t(Tiles));
    int Walls = 0, Marks = 0;
    for (const auto& [Name, Tile] : tilesByName) {
        ASSERT_FALSE(Name.empty());
        EXPECT_NE(Name[0], '0') << "tile names carry no leading zeros";
        EXPECT_EQ(Name.find_first_not_of("0123456789"), std::string::npos);
        Walls += Tile.Collision != 0;
        Marks += Tile.Alpha != 0;
    }
    EXPECT_EQ(Walls, 16) << "one joined wall piece per neighbour mask";
    EXPECT_EQ(Marks, 1) << "the target mark is the one tile drawn with alpha";
    int Archive = OpenArchive(MapsPath());
    ASSERT_GT(Archive, 0);
    std::vector<uint8_t> Buffer(1 << 20);
    for (const auto& [Name, Tile] : tilesByName) {
        int64_t Size = ExtractEntry(Archive, "TILES/" + Name, Buffer.data(), Buffer.size());
        ASSERT_GT(Size, 8) << "TILES/" << Name;
        EXPECT_EQ(Buffer[1], 'P');
        EXPECT_EQ(Buffer[2], 'N');
        EXPECT_EQ(Buffer[3], 'G');
    }
    CloseArchive(Archive);
}

TEST_F(LevelsContentArchive, EveryMapIsAWholeDrawnFieldWithWallsClosingTheFloor)
{
    for (const std::string& Name : Order) {
        SCOPED_TRACE("level " + Name);
        ASSERT_EQ(GetLevelProperty(Name, 2), "30");
        ASSERT_EQ(GetLevelProperty(Name, 3), "15");
        ASSERT_EQ(GetLevelProperty(Name, 6), "3");
        const LevelRecord& Level = levelsByName.at(Name);
        int Count = std::stoi(GetLevelProperty(Name, 9));
        ASSERT_GE(Count, 1);
        ASSERT_LE(Count, 12);
        bool CratesOk = false, TargetsOk = false, WorkerOk = false;
        auto Crates = Pairs(GetLevelProperty(Name, 10), CratesOk);
        auto Targets = Pairs(GetLevelProperty(Name, 11), TargetsOk);
        auto Worker = Pairs(GetLevelProperty(Name, 12), WorkerOk);
        ASSERT_TRUE(CratesOk && TargetsOk && WorkerOk);
        ASSERT_EQ(Crates.size(), size_t(Count));
        ASSERT_EQ(Targets.size(), size_t(Count));
        ASSERT_EQ(Worker.size(), 1u);
        std::set<std::pair<int, int>> CrateSet(Crates.begin(), Crates.end()), TargetSet(Targets.begin(), Targets.end());
        EXPECT_EQ(CrateSet.size(), Crates.size()) << "two crates on one cell";
        EXPECT_EQ(TargetSet.size(), Targets.size()) << "two targets on one cell";
        // Layer 0 draws every cell; the floor tile is the one under the worker.
        for (int X = 0; X < 30; X++) {
            for (int Y = 0; Y < 15; Y++) {
                int V = Level.Layers[0].Cells[X][Y];
                ASSERT_GT(V, 0) << "undrawn cell " << X << "," << Y;
                ASSERT_NE(TileOf(V), nullptr) << "cell " << X << "," << Y << " names no tile";
                int Mark = Level.Layers[1].Cells[X][Y];
                if (Mark) {
                    ASSERT_TRUE(TileOf(Mark) && TileOf(Mark)->Alpha) << "mark at " << X << "," << Y;
                }
                int Wall = Level.Layers[2].Cells[X][Y];
                if (Wall) {
                    ASSERT_TRUE(TileOf(Wall) && TileOf(Wall)->Collision) << "wall at " << X << "," << Y;
                }
            }
        }
        auto [WX, WY] = Worker[0];
        ASSERT_TRUE(WX < 30 && WY < 15);
        int Floor = Level.Layers[0].Cells[WX][WY];
        EXPECT_EQ(IsCellFree(Name, 2, WX, WY), 1) << "worker on a wall";
        EXPECT_TRUE(Enclosed(Name, WX, WY)) << "the worker's floor reaches the field's edge";
        int MarkCount = 0;
        for (int X = 0; X < 30; X++) {
            for (int Y = 0; Y < 15; Y++)
                MarkCount += Level.Layers[1].Cells[X][Y] != 0;
        }
        EXPECT_EQ(MarkCount, Count) << "one target mark per target";
        for (const auto& List : {Crates, Targets}) {
            for (auto [X, Y] : List) {
                ASSERT_TRUE(X < 30 && Y < 15);
                EXPECT_EQ(IsCellFree(Name, 2, X, Y), 1) << X << "," << Y << " is a wall";
                EXPECT_EQ(Level.Layers[0].Cells[X][Y], Floor) << X << "," << Y << " is not floor";
                EXPECT_TRUE(Enclosed(Name, X, Y)) << X << "," << Y;
            }
        }
        for (auto [X, Y] : Targets)
            EXPECT_NE(Level.Layers[1].Cells[X][Y], 0) << "target " << X << "," << Y << " unmarked";
    }
}

TEST_F(LevelsContentArchive, EveryLevelHasASixteenByNineThumbnail)
{
    int Archive = OpenArchive(MapsPath());
    ASSERT_GT(Archive, 0);
    std::vector<uint8_t> Buffer(4 << 20);
    for (const std::string& Name : Order) {
        int64_t Size = ExtractEntry(Archive, "THUMBS/" + Name + ".png", Buffer.data(), Buffer.size());
        ASSERT_GT(Size, 24) << Name;
        // The PNG header's IHDR: width and height, big-endian, at bytes 16 and 20.
        ASSERT_EQ(std::string(Buffer.begin() + 12, Buffer.begin() + 16), "IHDR") << Name;
        uint32_t Width = uint32_t(Buffer[16]) << 24 | Buffer[17] << 16 | Buffer[18] << 8 | Buffer[19];
        uint32_t Height = uint32_t(Buffer[20]) << 24 | Buffer[21] << 16 | Buffer[22] << 8 | Buffer[23];
        EXPECT_EQ(Width * 9, Height * 16) << Name << " is " << Width << " x " << Height;
        EXPECT_GE(Width, 480u) << Name;
    }
    CloseArchive(Archive);
}

} // namespace
