// The "1zlb" block stream and its BriefLZ blocks, unpacked with every read
// and write checked against the source and output bounds.
#include "formats/formats.h"

#include <cstring>

// ---------------------------------------------------------------------------
// Bit reader
// ---------------------------------------------------------------------------

// Control bits come from 16-bit little-endian tag words read from the current
// source position when the previous word is used up, most significant bit first.
struct BlzReader {
    const uint8_t* Src;
    size_t SrcSize;
    size_t Pos;   // next unread source byte
    uint32_t Tag; // remaining bits sit at the top of the low 16 bits
    int BitsLeft; // 0 to 16
};

__attribute__((always_inline)) static inline int BlzGetBit(BlzReader& Reader, int* Bit)
{
    if (Reader.BitsLeft == 0) {
        if (Reader.SrcSize - Reader.Pos < 2)
            return 0;
        Reader.Tag = uint32_t(Reader.Src[Reader.Pos]) | (uint32_t(Reader.Src[Reader.Pos + 1]) << 8);
        Reader.Pos += 2;
        Reader.BitsLeft = 16;
    }
    *Bit = int((Reader.Tag >> 15) & 1);
    Reader.Tag <<= 1;
    Reader.BitsLeft--;
    return 1;
}

// Gamma codes of up to four bit pairs decoded from the next 8 control bits:
// the value (0 when the code is longer) and how many bits it takes.
struct GammaEntry {
    uint8_t Value;
    uint8_t Bits;
};

static constexpr struct GammaTable {
    GammaEntry Entries[256] = {};
    constexpr GammaTable()
    {
        for (int Peek = 0; Peek < 256; Peek++) {
            int Value = 1;
            for (int Pair = 0; Pair < 4; Pair++) {
                Value = 2 * Value + ((Peek >> (7 - 2 * Pair)) & 1);
                if (((Peek >> (6 - 2 * Pair)) & 1) == 0) {
                    Entries[Peek] = {uint8_t(Value), uint8_t(2 * Pair + 2)};
                    break;
                }
            }
        }
    }
} GammaCodes;

// Gamma number: value = 1; repeat { value = 2 x value + bit } while the next bit is 1.
// A value that no longer fits in 32 bits marks a corrupt stream.
__attribute__((always_inline)) static inline int BlzGetGamma(BlzReader& Reader, uint32_t* Value)
{
    // Short codes that lie wholly in the current tag word take one table look-up.
    const GammaEntry& Fast = GammaCodes.Entries[(Reader.Tag >> 8) & 255];
    if (Fast.Bits != 0 && Fast.Bits <= Reader.BitsLeft) {
        Reader.Tag <<= Fast.Bits;
        Reader.BitsLeft -= Fast.Bits;
        *Value = Fast.Value;
        return 1;
    }
    uint32_t Result = 1;
    int Bit = 0;
    do {
        if (Result & 0x80000000u)
            return 0;
        if (!BlzGetBit(Reader, &Bit))
            return 0;
        Result = (Result << 1) + uint32_t(Bit);
        if (!BlzGetBit(Reader, &Bit))
            return 0;
    } while (Bit);
    *Value = Result;
    return 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int64_t BlzUnpackBlock(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t OutSize)
{
    if (OutSize == 0)
        return 0;
    if (Src == nullptr || SrcSize < 1)
        return -1;

    BlzReader Reader{Src, SrcSize, 1, 0, 0};
    Out[0] = Src[0];
    size_t Produced = 1;

    while (Produced < OutSize) {
        if (Reader.BitsLeft == 0) {
            if (SrcSize - Reader.Pos < 2)
                return -1;
            Reader.Tag = uint32_t(Src[Reader.Pos]) | (uint32_t(Src[Reader.Pos + 1]) << 8);
            Reader.Pos += 2;
            Reader.BitsLeft = 16;
        }
        if ((Reader.Tag & 0x8000) == 0) {
            // A run of literals: the zero bits at the top of the tag word, as
            // many as remain in it and as the block still needs.
            uint32_t Window = (Reader.Tag & 0xFFFF) << 16;
            size_t Count = Window == 0 ? 32 : size_t(__builtin_clz(Window));
            if (Count > size_t(Reader.BitsLeft))
                Count = size_t(Reader.BitsLeft);
            if (Count > OutSize - Produced)
                Count = OutSize - Produced;
            if (Count > SrcSize - Reader.Pos)
                return -1;
            // A run is at most 16 bytes: copy 16 when both sides have room
            // (the extra bytes lie inside this block and are written over later).
            if (OutSize - Produced >= 16 && SrcSize - Reader.Pos >= 16) {
                std::memcpy(Out + Produced, Src + Reader.Pos, 16);
            } else {
                std::memcpy(Out + Produced, Src + Reader.Pos, Count);
            }
            Reader.Tag <<= Count;
            Reader.BitsLeft -= int(Count);
            Reader.Pos += Count;
            Produced += Count;
            continue;
        }
        Reader.Tag <<= 1;
        Reader.BitsLeft--;
        uint32_t LengthCode = 0, OffsetCode = 0;
        if (!BlzGetGamma(Reader, &LengthCode))
            return -1;
        if (!BlzGetGamma(Reader, &OffsetCode))
            return -1;
        if (Reader.Pos >= SrcSize)
            return -1;
        // Lengths run from 4 and offsets from 1; both fit in 64 bits without wrapping.
        uint64_t Length = uint64_t(LengthCode) + 2;
        uint64_t Offset = (uint64_t(OffsetCode) - 2) * 256 + Src[Reader.Pos++] + 1;
        if (Offset > Produced || Length > OutSize - Produced)
            return -1;

        uint8_t* Dst = Out + Produced;
        const uint8_t* From = Dst - Offset;
        if (Length <= 16 && Offset >= 16 && OutSize - Produced >= 16) {
            // Short match, far enough back: one fixed 16-byte copy inside this block.
            std::memcpy(Dst, From, 16);
        } else if (Offset >= Length) {
            std::memcpy(Dst, From, size_t(Length));
        } else if (Offset >= 8) {
            // Overlapping but at least 8 apart: 8-byte steps never read unwritten bytes.
            size_t Done = 0;
            for (; Done + 8 <= Length; Done += 8)
                std::memcpy(Dst + Done, From + Done, 8);
            for (; Done < Length; Done++)
                Dst[Done] = From[Done];
        } else if (Offset == 1) {
            std::memset(Dst, From[0], size_t(Length));
        } else {
            for (size_t Index = 0; Index < Length; Index++)
                Dst[Index] = From[Index];
        }
        Produced += size_t(Length);
    }
    return int64_t(Reader.Pos);
}

int64_t BlzUnpackStream(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t Capacity)
{
    if (Src == nullptr || SrcSize < BlzStreamHeaderBytes)
        return -1;
    if (std::memcmp(Src, BlzStreamMagic, 4) != 0)
        return -1;
    // Bytes 4 to 7 are not read: writers have put anything there.
    uint64_t Total = 0, BlockSize = 0;
    for (int Index = 7; Index >= 0; Index--) {
        Total = (Total << 8) | Src[BlzStreamTotalSize + Index];
        BlockSize = (BlockSize << 8) | Src[BlzStreamBlockSize + Index];
    }
    // The claimed size is checked before anything is written.
    if (Total > Capacity)
        return -1;
    if (Total > 0 && (BlockSize == 0 || Out == nullptr))
        return -1;

    size_t Pos = BlzStreamHeaderBytes;
    uint64_t Produced = 0;
    while (Produced < Total) {
        uint64_t Length = Total - Produced < BlockSize ? Total - Produced : BlockSize;
        int64_t Used = BlzUnpackBlock(Src + Pos, SrcSize - Pos, Out + Produced, size_t(Length));
        if (Used < 0)
            return -1;
        Pos += size_t(Used);
        Produced += Length;
    }
    return int64_t(Total);
}
