// Test-only PNG writer: builds PNG files byte by byte (stored deflate blocks,
// our own CRC-32 and Adler-32), so the decoder is checked against files made
// independently of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpng {

enum ColourType { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

inline uint32_t Crc32(const uint8_t* Data, size_t Size, uint32_t Crc = 0)
{
    Crc = ~Crc;
    for (size_t I = 0; I < Size; ++I) {
        Crc ^= Data[I];
        for (int Bit = 0; Bit < 8; ++Bit)
            Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
    }
    return ~Crc;
}

inline void Put32(std::vector<uint8_t>& Out, uint32_t V)
{
    Out.push_back(uint8_t(V >> 24));
    Out.push_back(uint8_t(V >> 16));
    Out.push_back(uint8_t(V >> 8));
    Out.push_back(uint8_t(V));
}

inline void Chunk(std::vector<uint8_t>& Out, const char* Type, const std::vector<uint8_t>& Data)
{
    Put32(Out, uint32_t(Data.size()));
    std::vector<uint8_t> Body(Type, Type + 4);
    Body.insert(Body.end(), Data.begin(), Data.end());
    Out.insert(Out.end(), Body.begin(), Body.end());
    Put32(Out, Crc32(Body.data(), Body.size()));
}

// Raw scanlines (each already starting with its filter byte) as a zlib stream
// of stored blocks.
inline std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& Raw)
{
    std::vector<uint8_t> Out = {0x78, 0x01};
    size_t Pos = 0;
    do {
        size_t Len = Raw.size() - Pos;
        if (Len > 65535)
            Len = 65535;
        bool Final = Pos + Len == Raw.size();
        Out.push_back(Final ? 1 : 0);
        Out.push_back(uint8_t(Len));
        Out.push_back(uint8_t(Len >> 8));
        Out.push_back(uint8_t(~Len));
        Out.push_back(uint8_t(~Len >> 8));
        Out.insert(Out.end(), Raw.begin() + long(Pos), Raw.begin() + long(Pos + Len));
        Pos += Len;
    } while (Pos < Raw.size());
    uint32_t A = 1, B = 0;
    for (uint8_t C : Raw) {
        A = (A + C) % 65521;
        B = (B + A) % 65521;
    }
    Put32(Out, (B << 16) | A);
    return Out;
}

// A PNG of Width x Height; Samples holds the rows' bytes without filter bytes
// (BitDepth 8 or 16, big-endian samples). Palette and Transparency become PLTE
// and tRNS when not empty.
inline std::vector<uint8_t> Make(int Width, int Height, int Type, int BitDepth, const std::vector<uint8_t>& Samples,
                                 const std::vector<uint8_t>& PaletteRgb = {},
                                 const std::vector<uint8_t>& Transparency = {})
{
    std::vector<uint8_t> Out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> Header;
    Put32(Header, uint32_t(Width));
    Put32(Header, uint32_t(Height));
    Header.push_back(uint8_t(BitDepth));
    Header.push_back(uint8_t(Type));
    Header.push_back(0);
    Header.push_back(0);
    Header.push_back(0);
    Chunk(Out, "IHDR", Header);
    if (!PaletteRgb.empty())
        Chunk(Out, "PLTE", PaletteRgb);
    if (!Transparency.empty())
        Chunk(Out, "tRNS", Transparency);
    size_t RowBytes = Height > 0 ? Samples.size() / size_t(Height) : 0;
    std::vector<uint8_t> Raw;
    for (int Row = 0; Row < Height; ++Row) {
        Raw.push_back(0); // filter: none
        Raw.insert(Raw.end(), Samples.begin() + long(Row * RowBytes), Samples.begin() + long((Row + 1) * RowBytes));
    }
    Chunk(Out, "IDAT", StoredZlib(Raw));
    Chunk(Out, "IEND", {});
    return Out;
}

// An 8-bit RGBA PNG from 0xRRGGBBAA pixels.
inline std::vector<uint8_t> MakeRgba(int Width, int Height, const std::vector<uint32_t>& Pixels)
{
    std::vector<uint8_t> Samples;
    for (uint32_t P : Pixels) {
        Samples.push_back(uint8_t(P >> 24));
        Samples.push_back(uint8_t(P >> 16));
        Samples.push_back(uint8_t(P >> 8));
        Samples.push_back(uint8_t(P));
    }
    return Make(Width, Height, Rgba, 8, Samples);
}

// An 8-bit RGB PNG (no alpha) from 0xRRGGBBAA pixels (alpha dropped).
inline std::vector<uint8_t> MakeRgb(int Width, int Height, const std::vector<uint32_t>& Pixels)
{
    std::vector<uint8_t> Samples;
    for (uint32_t P : Pixels) {
        Samples.push_back(uint8_t(P >> 24));
        Samples.push_back(uint8_t(P >> 16));
        Samples.push_back(uint8_t(P >> 8));
    }
    return Make(Width, Height, Rgb, 8, Samples);
}

} // namespace testpng
