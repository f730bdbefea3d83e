// The built pictures: every one decodes with the game's own PNG reader, has
// the size its use needs and fits its buffer; colour-keyed pictures hold no
// pure black but where they are meant to be open (the crate's rim and gaps),
// and nothing half open; the worker reads as eight different poses; wall
// pieces join by their neighbour mask; the turning title background covers
// every screen.
// The pictures are made by the content build; without it these tests skip.
#include "display/display.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const std::string ContentDir = std::string(KISTORA_GAME_DIR) + "/content";
const std::string ArtDir = ContentDir + "/art/";
const std::string TileDir = ContentDir + "/tiles/";
const std::string FlagDir = ContentDir + "/flags/";

// Buffer limits of the asset loader, in bytes.
constexpr size_t SpriteLimit = 204800;
constexpr size_t WideLimit = 4194304;
constexpr size_t FlagLimit = 16000;

const char* const WorkerNames[8] = {"idle_left", "idle_right", "idle_up", "idle_down",
                                    "push_left", "push_right", "push_up", "push_down"};

struct ScreenShape {
    const char* Suffix;
    int Height; // screen height at 1920 wide
};
const ScreenShape Shapes[6] = {{"3x2", 1280},  {"4x3", 1440},   {"5x4", 1536},
                               {"16x9", 1080}, {"16x10", 1200}, {"17x9", 1016}};

struct Picture {
    int Width = 0;
    int Height = 0;
    size_t FileSize = 0;
    std::vector<uint32_t> Pixels; // 0xRRGGBBAA
    uint32_t At(int X, int Y) const
    {
        return Pixels[size_t(Y) * size_t(Width) + size_t(X)];
    }
};

uint32_t AlphaOf(uint32_t P)
{
    return P & 0xffu;
}
uint32_t ChannelOf(uint32_t P, int Shift)
{
    return (P >> Shift) & 0xffu;
}

std::vector<uint8_t> ReadWhole(const std::string& Path)
{
    std::vector<uint8_t> Bytes;
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (File == nullptr)
        return Bytes;
    uint8_t Block[65536];
    size_t Got;
    while ((Got = std::fread(Block, 1, sizeof Block, File)) > 0)
        Bytes.insert(Bytes.end(), Block, Block + Got);
    std::fclose(File);
    return Bytes;
}

// Decodes a picture with the game's reader; an empty result when missing or broken.
Picture LoadPicture(const std::string& Path)
{
    Picture Result;
    std::vector<uint8_t> Bytes = ReadWhole(Path);
    Result.FileSize = Bytes.size();
    if (Bytes.empty())
        return Result;
    int Image = LoadImagePng(Bytes.data(), Bytes.size());
    if (Image == 0)
        return Result;
    Result.Width = ImageWidth(Image);
    Result.Height = ImageHeight(Image);
    const uint32_t* P = ImagePixels(Image);
    Result.Pixels.assign(P, P + size_t(Result.Width) * size_t(Result.Height));
    FreeImage(Image);
    return Result;
}

bool ContentBuilt()
{
    FILE* File = std::fopen((ArtDir + "crate.png").c_str(), "rb");
    if (File == nullptr)
        return false;
    std::fclose(File);
    return true;
}

#define REQUIRE_CONTENT()                                                                                              \
    do {                                                                                                               \
        if (!ContentBuilt()) {                                                                                         \
            GTEST_SKIP() << "pictures not built in " << ContentDir;                                                    \
        }                                                                                                              \
    } while (0)

// Loads and checks the common facts: decodes, expected size, within the limit.
Picture Expect(const std::string& Path, int Width, int Height, size_t Limit)
{
    Picture P = LoadPicture(Path);
    EXPECT_GT(P.FileSize, 0u) << Path << " missing";
    EXPECT_LE(P.FileSize, Limit) << Path << " over its buffer limit";
    EXPECT_FALSE(P.Pixels.empty()) << Path << " does not decode";
    if (Width > 0) {
        EXPECT_EQ(P.Width, Width) << Path;
    }
    if (Height > 0) {
        EXPECT_EQ(P.Height, Height) << Path;
    }
    return P;
}

size_t CountKeyPixels(const Picture& P)
{
    return size_t(std::count_if(P.Pixels.begin(), P.Pixels.end(), [](uint32_t V) { return (V >> 8) == 0; }));
}

size_t CountTranslucent(const Picture& P)
{
    return size_t(std::count_if(P.Pixels.begin(), P.Pixels.end(), [](uint32_t V) { return AlphaOf(V) != 255; }));
}

// Pictures drawn plain or colour-keyed: fully covered and no pixel of the key colour.
void ExpectSolidWithoutKey(const Picture& P, const std::string& Name)
{
    if (P.Pixels.empty())
        return;
    EXPECT_EQ(CountKeyPixels(P), 0u) << Name << " has pure black pixels, which would turn transparent";
    EXPECT_EQ(CountTranslucent(P), 0u) << Name << " is not fully opaque";
}

struct Box {
    int MinX = 1 << 30, MaxX = -1, MinY = 1 << 30, MaxY = -1;
};

// Bounding box of the pixels that are at least half opaque.
Box OpaqueBox(const Picture& P)
{
    Box B;
    for (int Y = 0; Y < P.Height; ++Y)
        for (int X = 0; X < P.Width; ++X)
            if (AlphaOf(P.At(X, Y)) >= 128) {
                B.MinX = std::min(B.MinX, X);
                B.MaxX = std::max(B.MaxX, X);
                B.MinY = std::min(B.MinY, Y);
                B.MaxY = std::max(B.MaxY, Y);
            }
    return B;
}

int ChannelDistance(uint32_t A, uint32_t B)
{
    int Most = 0;
    for (int Shift = 0; Shift < 32; Shift += 8)
        Most = std::max(Most, std::abs(int(ChannelOf(A, Shift)) - int(ChannelOf(B, Shift))));
    return Most;
}

TEST(ArtPictures, BoardPicturesAreSixtyFourSquareAndWithinTheirBuffer)
{
    REQUIRE_CONTENT();
    Picture Crate = Expect(ArtDir + "crate.png", 64, 64, SpriteLimit);
    Picture Fill = Expect(ArtDir + "tile_01.png", 64, 64, SpriteLimit);
    // The margin fill tile is colour-keyed and meant to cover its cell.
    ExpectSolidWithoutKey(Fill, "tile_01.png");
    // The crate is colour-keyed with open parts: on the board and in the icon
    // the game keys out pure black, the thumbnails blend by alpha, so every
    // pixel must be either open (black, alpha 0) or painted in full and not
    // black, and both readings give the same picture. The open parts are the
    // rim of the cell all round and gaps inside the crate's outline.
    if (!Crate.Pixels.empty()) {
        size_t Mixed = 0, OpenInside = 0, ClosedRim = 0;
        for (int Y = 0; Y < 64; ++Y)
            for (int X = 0; X < 64; ++X) {
                uint32_t P = Crate.At(X, Y);
                int Open = P == 0u;
                Mixed += !Open && (AlphaOf(P) != 255 || (P >> 8) == 0);
                int Rim = X < 4 || Y < 4 || X > 59 || Y > 59;
                ClosedRim += Rim && !Open;
                OpenInside += !Rim && X > 12 && Y > 12 && X < 51 && Y < 51 && Open;
            }
        EXPECT_EQ(Mixed, 0u) << "crate.png has half-open or black painted pixels";
        EXPECT_EQ(ClosedRim, 0u) << "crate.png covers the edge of its cell";
        EXPECT_GT(OpenInside, 64u) << "crate.png has no open gaps between its boards";
    }
    for (const char* Name : WorkerNames)
        Expect(ArtDir + Name + ".png", 64, 64, SpriteLimit);
}

TEST(ArtPictures, WorkerStandsOnTransparencyInEightDifferentPoses)
{
    REQUIRE_CONTENT();
    std::vector<Picture> Poses;
    for (const char* Name : WorkerNames) {
        Poses.push_back(LoadPicture(ArtDir + Name + ".png"));
        const Picture& P = Poses.back();
        ASSERT_EQ(P.Width, 64) << Name;
        ASSERT_EQ(P.Height, 64) << Name;
        for (int Y : {0, 1, 62, 63})
            for (int X : {0, 1, 62, 63})
                EXPECT_EQ(AlphaOf(P.At(X, Y)), 0u) << Name << " corner pixel " << X << "," << Y;
        size_t Opaque =
            size_t(std::count_if(P.Pixels.begin(), P.Pixels.end(), [](uint32_t V) { return AlphaOf(V) == 255; }));
        EXPECT_GT(Opaque, 64u * 64u / 6) << Name << " shows too little of the worker";
        EXPECT_LT(Opaque, 64u * 64u * 3 / 4) << Name << " covers its cell like a block";
    }
    // Every pose differs clearly from every other one.
    for (size_t A = 0; A < Poses.size(); ++A)
        for (size_t B = A + 1; B < Poses.size(); ++B) {
            size_t Different = 0;
            for (size_t I = 0; I < Poses[A].Pixels.size(); ++I)
                Different += ChannelDistance(Poses[A].Pixels[I], Poses[B].Pixels[I]) > 32;
            EXPECT_GT(Different, 64u * 64u / 20) << WorkerNames[A] << " and " << WorkerNames[B] << " look alike";
        }
}

TEST(ArtPictures, FacingLeftMirrorsFacingRight)
{
    REQUIRE_CONTENT();
    for (const char* Pose : {"idle", "push"}) {
        Picture Left = LoadPicture(ArtDir + Pose + "_left.png");
        Picture Right = LoadPicture(ArtDir + Pose + "_right.png");
        ASSERT_EQ(Left.Width, 64);
        ASSERT_EQ(Right.Width, 64);
        size_t Off = 0;
        for (int Y = 0; Y < 64; ++Y)
            for (int X = 0; X < 64; ++X)
                Off += ChannelDistance(Left.At(X, Y), Right.At(63 - X, Y)) > 24;
        // Antialiased edges may round differently on the two sides.
        EXPECT_LT(Off, 64u * 64u / 100) << Pose << "_left is not the mirror image of " << Pose << "_right";
    }
}

TEST(ArtPictures, PushPosesReachFurtherTowardsTheCrateThanStanding)
{
    REQUIRE_CONTENT();
    auto BoxOf = [](const char* Name) { return OpaqueBox(LoadPicture(ArtDir + Name + ".png")); };
    // Arms stretched out: the push picture reaches nearer the edge it pushes towards.
    EXPECT_GE(BoxOf("push_right").MaxX, BoxOf("idle_right").MaxX + 8);
    EXPECT_LE(BoxOf("push_left").MinX, BoxOf("idle_left").MinX - 8);
    EXPECT_LT(BoxOf("push_up").MinY, BoxOf("idle_up").MinY);
    EXPECT_GT(BoxOf("push_down").MaxY, BoxOf("idle_down").MaxY);
    EXPECT_GE(BoxOf("push_right").MaxX, 58) << "hands should touch the crate in the next cell";
    EXPECT_LE(BoxOf("push_left").MinX, 5);
}

TEST(ArtPictures, LockIconIsSquareWithTransparentSurroundings)
{
    REQUIRE_CONTENT();
    Picture Lock = Expect(ArtDir + "locked.png", 0, 0, SpriteLimit);
    ASSERT_FALSE(Lock.Pixels.empty());
    EXPECT_EQ(Lock.Width, Lock.Height);
    EXPECT_GE(Lock.Width, 78) << "the lock is shown 78 pixels wide at 1920 and should not be magnified";
    EXPECT_EQ(AlphaOf(Lock.At(0, 0)), 0u);
    EXPECT_EQ(AlphaOf(Lock.At(Lock.Width - 1, 0)), 0u);
    EXPECT_EQ(AlphaOf(Lock.At(Lock.Width / 2, Lock.Height * 3 / 4)), 255u) << "the lock body sits in the lower half";
}

TEST(ArtPictures, TitlesAreFullWidthAndStayInTheUpperHalf)
{
    REQUIRE_CONTENT();
    for (const ScreenShape& Shape : Shapes) {
        std::string Name = std::string("title_") + Shape.Suffix + ".png";
        Picture Title = Expect(ArtDir + Name, 1920, 0, WideLimit);
        if (Title.Pixels.empty())
            continue;
        // The menus hang from half the screen height: keep a clear gap above them.
        EXPECT_LE(Title.Height, Shape.Height / 2 - 100) << Name;
        EXPECT_GE(Title.Height, 240) << Name << " too low to read";
        size_t Clear =
            size_t(std::count_if(Title.Pixels.begin(), Title.Pixels.end(), [](uint32_t V) { return AlphaOf(V) == 0; }));
        size_t Solid = size_t(
            std::count_if(Title.Pixels.begin(), Title.Pixels.end(), [](uint32_t V) { return AlphaOf(V) == 255; }));
        EXPECT_GT(Clear, Title.Pixels.size() / 10) << Name << " hides the background everywhere";
        EXPECT_GT(Solid, Title.Pixels.size() / 4) << Name << " shows almost nothing";
        // The top row is background; the band runs across the full width.
        EXPECT_EQ(AlphaOf(Title.At(960, 0)), 0u) << Name;
        EXPECT_EQ(AlphaOf(Title.At(0, Title.Height / 2)), 255u) << Name;
        EXPECT_EQ(AlphaOf(Title.At(1919, Title.Height / 2)), 255u) << Name;
    }
}

TEST(ArtPictures, SplashesFillTheirScreenShape)
{
    REQUIRE_CONTENT();
    for (const ScreenShape& Shape : Shapes) {
        std::string Name = std::string("bgs_") + Shape.Suffix + ".png";
        Picture Splash = Expect(ArtDir + Name, 1920, Shape.Height, WideLimit);
        if (Splash.Pixels.empty())
            continue;
        EXPECT_EQ(CountTranslucent(Splash), 0u) << Name << " has see-through pixels";
        // Not a flat colour: the mark in the middle differs from the corners.
        EXPECT_GT(ChannelDistance(Splash.At(960, Shape.Height / 2 - 128), Splash.At(0, 0)), 64) << Name;
    }
}

// The title background is zoomed to 1.2 times the screen width, centred on the
// part of the screen below the title and swayed between -3 and +3 degrees: the
// screen's four corners must stay on the picture for every screen shape.
TEST(ArtPictures, TitleBackgroundCoversEveryScreenWhileTurning)
{
    REQUIRE_CONTENT();
    Picture Back = Expect(ArtDir + "titleback_c.png", 0, 0, SpriteLimit);
    ASSERT_FALSE(Back.Pixels.empty());
    ExpectSolidWithoutKey(Back, "titleback_c.png");
    const double Pi = 3.14159265358979323846;
    for (const ScreenShape& Shape : Shapes) {
        Picture Title = LoadPicture(ArtDir + "title_" + Shape.Suffix + ".png");
        ASSERT_GT(Title.Height, 0) << Shape.Suffix;
        const int W = 1920, H = Shape.Height, T = Title.Height;
        const int ShownW = int(std::lround(W * 1.2));
        const int ShownH = int(std::lround(double(Back.Height) / Back.Width * W * 1.2));
        const int X = W / 2 - ShownW / 2;
        const int Y = T + (H - T) / 2 - ShownH / 2;
        const double CentreX = X + ShownW / 2.0, CentreY = Y + ShownH / 2.0;
        for (double Degrees = -3.05; Degrees <= 3.05; Degrees += 0.1) {
            double C = std::cos(Degrees * Pi / 180), S = std::sin(Degrees * Pi / 180);
            for (int Corner = 0; Corner < 4; ++Corner) {
                double Px = (Corner & 1) ? W : 0, Py = (Corner & 2) ? H : 0;
                double Dx = Px - CentreX, Dy = Py - CentreY;
                double U = C * Dx + S * Dy, V = -S * Dx + C * Dy; // into the picture's frame
                EXPECT_LT(std::fabs(U), ShownW / 2.0 - 2) << Shape.Suffix << " at " << Degrees << " degrees";
                EXPECT_LT(std::fabs(V), ShownH / 2.0 - 2) << Shape.Suffix << " at " << Degrees << " degrees";
            }
        }
    }
}

TEST(ArtTiles, GroundTilesAreOpaqueAndTheTargetIsAMarkOnTransparency)
{
    REQUIRE_CONTENT();
    for (const char* Name : {"floor", "outside"}) {
        Picture Tile = Expect(TileDir + Name + ".png", 64, 64, SpriteLimit);
        ExpectSolidWithoutKey(Tile, Name);
    }
    Picture Floor = LoadPicture(TileDir + "floor.png");
    Picture Outside = LoadPicture(TileDir + "outside.png");
    ASSERT_FALSE(Floor.Pixels.empty());
    ASSERT_FALSE(Outside.Pixels.empty());
    auto Brightness = [](const Picture& P) {
        double Sum = 0;
        for (uint32_t V : P.Pixels)
            Sum += ChannelOf(V, 24) + ChannelOf(V, 16) + ChannelOf(V, 8);
        return Sum / double(P.Pixels.size());
    };
    EXPECT_LT(Brightness(Outside) + 30, Brightness(Floor)) << "the outside must be clearly darker than the floor";
    // tile_01 fills the screen margins with the same ground as outside the walls.
    EXPECT_EQ(LoadPicture(ArtDir + "tile_01.png").Pixels, Outside.Pixels);

    Picture Target = Expect(TileDir + "target.png", 64, 64, SpriteLimit);
    ASSERT_FALSE(Target.Pixels.empty());
    EXPECT_EQ(AlphaOf(Target.At(0, 0)), 0u);
    EXPECT_EQ(AlphaOf(Target.At(63, 63)), 0u);
    EXPECT_EQ(AlphaOf(Target.At(32, 32)), 255u) << "the mark sits in the middle of the cell";
}

// wall_NN with NN a mask of wall neighbours (1 up, 2 right, 4 down, 8 left):
// along a joined side the piece looks like the fully joined one, along a free
// side it shows its edge.
TEST(ArtTiles, WallPiecesShowEdgesExactlyOnTheirFreeSides)
{
    REQUIRE_CONTENT();
    std::vector<Picture> Walls;
    for (int Mask = 0; Mask < 16; ++Mask) {
        char Name[16];
        std::snprintf(Name, sizeof Name, "wall_%02d.png", Mask);
        Walls.push_back(Expect(TileDir + Name, 64, 64, SpriteLimit));
        ExpectSolidWithoutKey(Walls.back(), Name);
    }
    for (const Picture& P : Walls)
        ASSERT_EQ(P.Pixels.size(), 64u * 64u);
    const Picture& Joined = Walls[15];
    // One line of pixels 3 inside each side, away from the corners.
    auto SideDiffers = [&](const Picture& P, int Bit) {
        int Different = 0;
        for (int I = 12; I < 52; ++I) {
            int X = Bit == 2 ? 60 : Bit == 8 ? 3 : I;
            int Y = Bit == 1 ? 3 : Bit == 4 ? 60 : I;
            Different += ChannelDistance(P.At(X, Y), Joined.At(X, Y)) > 16;
        }
        return Different > 20;
    };
    for (int Mask = 0; Mask < 16; ++Mask)
        for (int Bit : {1, 2, 4, 8})
            EXPECT_EQ(SideDiffers(Walls[size_t(Mask)], Bit), (Mask & Bit) == 0) << "wall_" << Mask << " side " << Bit;
}

TEST(ArtFlags, EveryLanguageHasASmallOpaqueFlag)
{
    REQUIRE_CONTENT();
    std::vector<std::vector<uint32_t>> Seen;
    for (const char* Code : {"en_GB", "de_DE", "fr_FR", "es_ES", "it_IT"}) {
        Picture Flag = Expect(FlagDir + Code + ".flag", 0, 0, FlagLimit);
        if (Flag.Pixels.empty())
            continue;
        EXPECT_GT(Flag.Width, Flag.Height) << Code;
        EXPECT_GE(Flag.Height, 32) << Code;
        EXPECT_EQ(CountTranslucent(Flag), 0u) << Code;
        for (const std::vector<uint32_t>& Other : Seen)
            EXPECT_NE(Flag.Pixels, Other) << Code << " repeats another flag";
        Seen.push_back(Flag.Pixels);
    }
}

// When the asset archive has been packed, every picture in it is the built
// file, within the buffer its slot extracts it into.
TEST(ArtPictures, AssetArchiveHoldsEveryPictureWithinItsBuffer)
{
    REQUIRE_CONTENT();
    const std::string DataPath = std::string(KISTORA_GAME_DIR) + "/Kistora.data";
    FILE* Probe = std::fopen(DataPath.c_str(), "rb");
    if (Probe == nullptr) {
        GTEST_SKIP() << "Kistora.data not packed";
    }
    std::fclose(Probe);
    int Archive = OpenArchive(DataPath);
    ASSERT_NE(Archive, 0);
    std::vector<std::pair<std::string, size_t>> Entries;
    for (const char* Name : {"crate.png", "tile_01.png", "locked.png", "titleback_c.png"})
        Entries.emplace_back(Name, SpriteLimit);
    for (const char* Name : WorkerNames)
        Entries.emplace_back(std::string(Name) + ".png", SpriteLimit);
    for (const ScreenShape& Shape : Shapes) {
        Entries.emplace_back(std::string("title_") + Shape.Suffix + ".png", WideLimit);
        Entries.emplace_back(std::string("bgs_") + Shape.Suffix + ".png", WideLimit);
    }
    std::vector<uint8_t> Buffer(WideLimit);
    for (const auto& [Name, Limit] : Entries) {
        int64_t Size = ExtractEntry(Archive, Name, Buffer.data(), Limit);
        ASSERT_GT(Size, 0) << Name << " missing from Kistora.data or over its buffer";
        std::vector<uint8_t> Built = ReadWhole(ArtDir + Name);
        EXPECT_TRUE(Built.size() == size_t(Size) && std::equal(Built.begin(), Built.end(), Buffer.begin()))
            << Name << " in Kistora.data differs from the built picture";
    }
    CloseArchive(Archive);
}

} // namespace
