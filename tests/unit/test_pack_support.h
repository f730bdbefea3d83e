// Shared pieces of the pack, block, level store and asset tests: scratch
// folders, files, and builders of "INX0" indexes and "MAP0" maps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "test_scratch.h"

namespace packtest {

// A fresh folder, removed at the end of the test. Path() ends with "/".
struct Scratch : ScratchFolder {
    Scratch() : ScratchFolder("kistora-pack-test") {}
};

inline std::vector<uint8_t> ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

inline std::string TestData(const std::string& Name)
{
    return std::string(KISTORA_TESTDATA_DIR) + "/brieflz/" + Name;
}

// Pseudo-random bytes (xorshift), the same for the same seed.
inline std::vector<uint8_t> RandomBytes(size_t Size, uint64_t Seed)
{
    std::vector<uint8_t> Bytes(Size);
    uint64_t State = Seed * 0x9E3779B97F4A7C15ull + 1;
    for (uint8_t& Byte : Bytes) {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        Byte = uint8_t(State >> 24);
    }
    return Bytes;
}

// Little-endian writers at a position (the vector grows as needed).
inline void PutInt(std::vector<uint8_t>& Out, size_t At, int64_t Value, int Bytes)
{
    if (Out.size() < At + size_t(Bytes))
        Out.resize(At + size_t(Bytes), 0);
    for (int Index = 0; Index < Bytes; Index++)
        Out[At + size_t(Index)] = uint8_t((uint64_t(Value) >> (8 * Index)) & 255);
}

inline void PutText(std::vector<uint8_t>& Out, size_t At, const std::u16string& Text, size_t Units)
{
    if (Out.size() < At + 2 * Units)
        Out.resize(At + 2 * Units, 0);
    for (size_t Index = 0; Index < Text.size() && Index < Units; Index++)
        PutInt(Out, At + 2 * Index, Text[Index], 2);
}

struct TileSpec {
    std::u16string Name;
    int Collision = 0;
    int Alpha = 0;
};

// An "INX0" index with the given level names, Skipped 256-byte records and tiles.
inline std::vector<uint8_t> MakeIndex(const std::vector<std::u16string>& Levels, const std::vector<TileSpec>& Tiles,
                                      int Skipped = 0, int64_t Number = 42)
{
    std::vector<uint8_t> Out = {'I', 'N', 'X', '0'};
    PutText(Out, 4, u"First archive text", 256);
    PutText(Out, 516, u"Second archive text", 256);
    PutInt(Out, 1028, Number, 8);
    PutText(Out, 1036, u"Third", 16);
    PutInt(Out, 1068, int64_t(Levels.size()), 4);
    size_t Pos = 1072;
    for (const auto& Name : Levels) {
        PutText(Out, Pos, Name, 32);
        Pos += 64;
    }
    PutInt(Out, Pos, Skipped, 4);
    Pos += 4;
    for (int Index = 0; Index < Skipped; Index++, Pos += 256)
        PutInt(Out, Pos + 255, 0x5A, 1);
    PutInt(Out, Pos, int64_t(Tiles.size()), 4);
    Pos += 4;
    for (const auto& Tile : Tiles) {
        PutText(Out, Pos, Tile.Name, 32);
        PutInt(Out, Pos + 64, Tile.Collision, 1);
        PutInt(Out, Pos + 65, Tile.Alpha, 1);
        Pos += 66;
    }
    return Out;
}

struct MapSpec {
    std::u16string TitleKey = u"tLevelTITLE";
    int32_t Width = 4, Height = 3;
    int32_t Layers = 3;
    int32_t Crates = 2;
    std::u16string CrateList = u"1,1, 2,1";
    std::u16string TargetList = u"1,2,2,2";
    std::u16string WorkerStart = u"0,0";
    // Cells[layer][x][y]; missing entries are 0.
    std::vector<std::vector<std::vector<int16_t>>> Cells;
    int RowMajor = 0; // store the cells row by row (a wrong file)
};

inline std::vector<uint8_t> MakeMap(const MapSpec& Spec)
{
    std::vector<uint8_t> Out = {'M', 'A', 'P', '0'};
    PutText(Out, 4, u"ignored name", 32);
    PutText(Out, 68, Spec.TitleKey, 256);
    PutInt(Out, 580, Spec.Width, 4);
    PutInt(Out, 584, Spec.Height, 4);
    PutInt(Out, 588, 11, 4);
    PutInt(Out, 592, -12, 4);
    PutInt(Out, 596, Spec.Layers, 4);
    PutInt(Out, 600, 13, 4);
    PutInt(Out, 604, 14, 4);
    PutInt(Out, 608, Spec.Crates, 4);
    PutText(Out, 612, Spec.CrateList, 512);
    PutText(Out, 1636, Spec.TargetList, 512);
    PutText(Out, 2660, Spec.WorkerStart, 512);
    PutText(Out, 3684, u"reserved one", 512);
    PutText(Out, 4708, u"reserved two", 512);
    size_t Pos = 5732;
    int Side = Spec.Width > 0 && Spec.Height > 0 ? 1 : 0;
    for (int Layer = 0; Layer < Spec.Layers; Layer++) {
        PutText(Out, Pos, u"layer", 128);
        PutInt(Out, Pos + 256, 100 + Layer, 4);
        PutInt(Out, Pos + 268, -1, 1);
        Pos += 269;
        for (int Index = 0; Side && Index < Spec.Width * Spec.Height; Index++, Pos += 2) {
            int X = Spec.RowMajor ? Index % Spec.Width : Index / Spec.Height;
            int Y = Spec.RowMajor ? Index / Spec.Width : Index % Spec.Height;
            int16_t Value = 0;
            if (size_t(Layer) < Spec.Cells.size() && size_t(X) < Spec.Cells[Layer].size() &&
                size_t(Y) < Spec.Cells[Layer][X].size())
                Value = Spec.Cells[Layer][X][Y];
            PutInt(Out, Pos, Value, 2);
        }
    }
    if (Out.size() < Pos)
        Out.resize(Pos, 0);
    return Out;
}

} // namespace packtest
