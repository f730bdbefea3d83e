// The "1zlb" block stream and its BriefLZ blocks, unpacked with every read
// and write checked against the source and output bounds.
#include "display/display.h"

#include <cstring>

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static constexpr size_t StreamHeaderSize = 24;   // magic, unused word, T, B
static constexpr uint8_t StreamMagic[4] = {0x31, 0x7A, 0x6C, 0x62};   // "1zlb"

// ---------------------------------------------------------------------------
// Bit reader
// ---------------------------------------------------------------------------

// Control bits come from 16-bit little-endian tag words read from the current
// source position when the previous word is used up, most significant bit first.
struct BlzReader {
    const uint8_t* Src;
    size_t SrcSize;
    size_t Pos;        // next unread source byte
    uint32_t Tag;      // remaining bits sit at the top of the low 16 bits
    int BitsLeft;      // 0 to 16
};

static inline int BlzGetBit(BlzReader& Reader, int* Bit)
{
    if (Reader.BitsLeft == 0) {
        if (Reader.SrcSize - Reader.Pos < 2) return 0;
        Reader.Tag = uint32_t(Reader.Src[Reader.Pos]) | (uint32_t(Reader.Src[Reader.Pos + 1]) << 8);
        Reader.Pos += 2;
        Reader.BitsLeft = 16;
    }
    *Bit = int((Reader.Tag >> 15) & 1);
    Reader.Tag <<= 1;
    Reader.BitsLeft--;
    return 1;
}

// Gamma number: value = 1; repeat { value = 2 x value + bit } while the next bit is 1.
// A value that no longer fits in 32 bits marks a corrupt stream.
static inline int BlzGetGamma(BlzReader& Reader, uint32_t* Value)
{
    uint32_t Result = 1;
    int Bit = 0;
    do {
        if (Result & 0x80000000u) return 0;
        if (!BlzGetBit(Reader, &Bit)) return 0;
        Result = (Result << 1) + uint32_t(Bit);
        if (!BlzGetBit(Reader, &Bit)) return 0;
    } while (Bit);
    *Value = Result;
    return 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int64_t BlzUnpackBlock(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t OutSize)
{
    if (OutSize == 0) return 0;
    if (Src == nullptr || SrcSize < 1) return -1;

    BlzReader Reader{Src, SrcSize, 1, 0, 0};
    Out[0] = Src[0];
    size_t Produced = 1;

    while (Produced < OutSize) {
        int Bit = 0;
        if (!BlzGetBit(Reader, &Bit)) return -1;
        if (Bit == 0) {
            if (Reader.Pos >= SrcSize) return -1;
            Out[Produced++] = Src[Reader.Pos++];
            continue;
        }
        uint32_t LengthCode = 0, OffsetCode = 0;
        if (!BlzGetGamma(Reader, &LengthCode)) return -1;
        if (!BlzGetGamma(Reader, &OffsetCode)) return -1;
        if (Reader.Pos >= SrcSize) return -1;
        // Lengths run from 4 and offsets from 1; both fit in 64 bits without wrapping.
        uint64_t Length = uint64_t(LengthCode) + 2;
        uint64_t Offset = (uint64_t(OffsetCode) - 2) * 256 + Src[Reader.Pos++] + 1;
        if (Offset > Produced || Length > OutSize - Produced) return -1;

        uint8_t* Dst = Out + Produced;
        const uint8_t* From = Dst - Offset;
        if (Offset >= Length) {
            std::memcpy(Dst, From, size_t(Length));
        } else if (Offset >= 8) {
            // Overlapping but at least 8 apart: 8-byte steps never read unwritten bytes.
            size_t Done = 0;
            for (; Done + 8 <= Length; Done += 8) std::memcpy(Dst + Done, From + Done, 8);
            for (; Done < Length; Done++) Dst[Done] = From[Done];
        } else if (Offset == 1) {
            std::memset(Dst, From[0], size_t(Length));
        } else {
            for (size_t Index = 0; Index < Length; Index++) Dst[Index] = From[Index];
        }
        Produced += size_t(Length);
    }
    return int64_t(Reader.Pos);
}

int64_t BlzUnpackStream(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t Capacity)
{
    if (Src == nullptr || SrcSize < StreamHeaderSize) return -1;
    if (std::memcmp(Src, StreamMagic, 4) != 0) return -1;
    uint64_t Total = 0, BlockSize = 0;
    for (int Index = 7; Index >= 0; Index--) {
        Total = (Total << 8) | Src[8 + Index];
        BlockSize = (BlockSize << 8) | Src[16 + Index];
    }
    // The claimed size is checked before anything is written.
    if (Total > Capacity) return -1;
    if (Total > 0 && (BlockSize == 0 || Out == nullptr)) return -1;

    size_t Pos = StreamHeaderSize;
    uint64_t Produced = 0;
    while (Produced < Total) {
        uint64_t Length = Total - Produced < BlockSize ? Total - Produced : BlockSize;
        int64_t Used = BlzUnpackBlock(Src + Pos, SrcSize - Pos, Out + Produced, size_t(Length));
        if (Used < 0) return -1;
        Pos += size_t(Used);
        Produced += Length;
    }
    return int64_t(Total);
}
