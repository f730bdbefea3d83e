// Hostile inputs for the readers of outside data, shared by the reliability
// tests (which check each one's outcome) and bench/hostile.cpp (which
// measures what each one costs in time and memory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <zlib.h>

#include "packwriter.h"
#include "test_pack_support.h"

namespace hostile {

inline void PutBigEndian(std::vector<uint8_t>& Out, uint32_t Value)
{
    for (int Shift = 24; Shift >= 0; Shift -= 8)
        Out.push_back(uint8_t(Value >> Shift));
}

inline void PngChunk(std::vector<uint8_t>& Out, const char* Type, const std::vector<uint8_t>& Data)
{
    PutBigEndian(Out, uint32_t(Data.size()));
    std::vector<uint8_t> Body(Type, Type + 4);
    Body.insert(Body.end(), Data.begin(), Data.end());
    Out.insert(Out.end(), Body.begin(), Body.end());
    PutBigEndian(Out, uint32_t(crc32(0, Body.data(), uInt(Body.size()))));
}

// An 8-bit RGBA PNG whose header claims Width x Height. With Rows 1 the
// pixel data is all there (grey, opaque); otherwise it holds a single row.
inline std::vector<uint8_t> MakePng(uint32_t Width, uint32_t Height, int Rows = 1)
{
    std::vector<uint8_t> Out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> Header;
    PutBigEndian(Header, Width);
    PutBigEndian(Header, Height);
    Header.insert(Header.end(), {8, 6, 0, 0, 0});
    PngChunk(Out, "IHDR", Header);
    size_t RowCount = Rows ? Height : 1;
    std::vector<uint8_t> Raw(RowCount * (1 + size_t(Width) * 4), 0x80);
    for (size_t Row = 0; Row < RowCount; Row++)
        Raw[Row * (1 + size_t(Width) * 4)] = 0; // filter: none
    uLongf Packed = compressBound(uLong(Raw.size()));
    std::vector<uint8_t> Data(Packed);
    compress2(Data.data(), &Packed, Raw.data(), uLong(Raw.size()), 9);
    Data.resize(Packed);
    PngChunk(Out, "IDAT", Data);
    PngChunk(Out, "IEND", {});
    return Out;
}

// Kistora.maps whose index claims Levels levels and Tiles tiles. Maps exist
// for the first MapsPresent levels and tile pictures for the first
// TilesPresent tiles; every other name has no entry.
inline std::vector<uint8_t> MakeClaimingLevelArchive(int Levels, int Tiles, int MapsPresent, int TilesPresent)
{
    std::vector<std::u16string> Names;
    for (int I = 0; I < Levels; I++) {
        std::string Name = std::to_string(I + 1);
        Names.emplace_back(Name.begin(), Name.end());
    }
    std::vector<packtest::TileSpec> TileSpecs;
    for (int I = 0; I < Tiles; I++) {
        std::string Name = std::to_string(I + 1);
        TileSpecs.push_back({std::u16string(Name.begin(), Name.end()), 0, I % 2});
    }
    std::vector<PackInput> Entries;
    Entries.push_back({"index", packtest::MakeIndex(Names, TileSpecs)});
    packtest::MapSpec Map;
    for (int I = 0; I < MapsPresent && I < Levels; I++)
        Entries.push_back({"MAPS/" + std::to_string(I + 1), packtest::MakeMap(Map)});
    std::vector<uint8_t> Tile = MakePng(64, 64);
    for (int I = 0; I < TilesPresent && I < Tiles; I++)
        Entries.push_back({"TILES/" + std::to_string(I + 1), Tile});
    PackOptions Options;
    Options.Level = 1;
    return BuildPack(Entries, Options);
}

// A map entry over every limit: 1000 x 1000 cells, 100 layers, 50 crates and
// more bytes than any map can have (the cells are not all there).
inline std::vector<uint8_t> MakeMapOverEveryLimit()
{
    packtest::MapSpec Spec;
    Spec.Width = 1;
    Spec.Height = 1;
    Spec.Layers = 3;
    std::vector<uint8_t> Map = packtest::MakeMap(Spec);
    packtest::PutInt(Map, 580, 1000, 4);
    packtest::PutInt(Map, 584, 1000, 4);
    packtest::PutInt(Map, 596, 100, 4);
    packtest::PutInt(Map, 608, 50, 4);
    Map.resize(200000, 0x7F);
    return Map;
}

inline std::vector<uint8_t> MakeArchiveWithMap(const std::vector<uint8_t>& Map)
{
    std::vector<PackInput> Entries;
    Entries.push_back({"index", packtest::MakeIndex({u"01"}, {})});
    Entries.push_back({"MAPS/01", Map});
    PackOptions Options;
    Options.Level = 1;
    return BuildPack(Entries, Options);
}

// A "2zlp" container whose one entry claims 4 GiB unpacked from a few stored
// bytes (a "1zlb" stream claiming the same), then a stored entry that claims
// 4 GiB of stored bytes past the end of the file.
inline std::vector<uint8_t> MakePackClaiming4GiB()
{
    const uint64_t Claim = uint64_t(4) << 30;
    std::vector<uint8_t> Out = {0x32, 0x7A, 0x6C, 0x70};
    std::vector<uint8_t> Stream = {0x31, 0x7A, 0x6C, 0x62, 0, 0, 0, 0};
    size_t At = Stream.size();
    packtest::PutInt(Stream, At, int64_t(Claim), 8);
    packtest::PutInt(Stream, At + 8, 262144, 8);
    Stream.insert(Stream.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    auto Entry = [&Out](const std::string& Name, uint64_t Unpacked, const std::vector<uint8_t>& Stored,
                        uint64_t StoredClaim) {
        size_t Pos = Out.size();
        packtest::PutInt(Out, Pos, int64_t(Unpacked), 8);
        packtest::PutInt(Out, Pos + 8, int64_t(StoredClaim), 8);
        packtest::PutInt(Out, Pos + 16, int64_t(Name.size()), 2);
        Out.insert(Out.end(), Name.begin(), Name.end());
        Out.insert(Out.end(), Stored.begin(), Stored.end());
    };
    Entry("music1.ogg", Claim, Stream, Stream.size());
    Entry("music2.ogg", Claim, {1, 2, 3}, Claim);
    return Out;
}

// A language file of TotalBytes with one line of LineBytes in it.
inline std::string MakeHugeLanguage(size_t TotalBytes, size_t LineBytes)
{
    std::string Text = "\xEF\xBB\xBF[LANGUAGE FILE]\r\ntLangFileNAME = Huge\r\n[Texts]\r\ntLong = ";
    Text.append(LineBytes, 'x');
    Text += "\r\n";
    while (Text.size() + 16 <= TotalBytes)
        Text += "tMenuSTART = go\r\n";
    Text.resize(TotalBytes, ' ');
    return Text;
}

// A scores file of Lines lines, each a number.
inline std::string MakeLongScores(size_t Lines)
{
    std::string Text;
    Text.reserve(Lines * 8);
    for (size_t I = 0; I < Lines; I++)
        Text += std::to_string(I % 1000) + "\r\n";
    return Text;
}

// A preferences file of TotalBytes: the right group and keys, then filler keys.
inline std::string MakeHugePreferences(size_t TotalBytes)
{
    std::string Text = "\xEF\xBB\xBF\r\n[Settings]\r\nMusic = 0\r\nGameScreen = 1\r\n";
    while (Text.size() + 8 <= TotalBytes)
        Text += "k = v\r\n";
    Text.resize(TotalBytes, ' ');
    return Text;
}

} // namespace hostile
