// Our BriefLZ-format compressor: "1zlb" streams of independent blocks.
// Levels 1 to 5 parse greedily (with one step of lazy matching) over hash
// chains; levels 6 to 10 find matches with a binary tree and choose the
// cheapest sequence of literals and matches per block by dynamic programming.
#include <algorithm>
#include <cstring>

#include "packwriter.h"

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static constexpr uint32_t MinMatch = 4; // the shortest length the bit-stream can say
static constexpr int MaxHashBits = 17;  // hash heads per block: at most 2^17
static constexpr uint32_t NoPosition = 0xFFFFFFFFu;
static constexpr uint32_t LiteralBits = 9; // control bit + byte
static constexpr uint32_t Unreached = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

// Control bits go into 16-bit tag words reserved in the output at the moment
// the first bit of a word is written, so the reader finds each word exactly
// where it needs its next bit.
struct BlzWriter {
    std::vector<uint8_t>* Out;
    size_t TagPos = 0;
    uint32_t Tag = 0;
    int BitsUsed = 16; // 16: no open word
    int HaveTag = 0;
};

struct BlzStep {
    uint32_t Length; // 1 = literal
    uint32_t Offset;
};

// ---------------------------------------------------------------------------
// Static helpers
// ---------------------------------------------------------------------------

static void FlushTag(BlzWriter& Writer)
{
    (*Writer.Out)[Writer.TagPos] = uint8_t(Writer.Tag & 255);
    (*Writer.Out)[Writer.TagPos + 1] = uint8_t((Writer.Tag >> 8) & 255);
}

static inline void PutBit(BlzWriter& Writer, uint32_t Bit)
{
    if (Writer.BitsUsed == 16) {
        if (Writer.HaveTag)
            FlushTag(Writer);
        Writer.TagPos = Writer.Out->size();
        Writer.Out->push_back(0);
        Writer.Out->push_back(0);
        Writer.Tag = 0;
        Writer.BitsUsed = 0;
        Writer.HaveTag = 1;
    }
    Writer.Tag = (Writer.Tag << 1) | (Bit & 1);
    Writer.BitsUsed++;
}

static void FinishBlock(BlzWriter& Writer)
{
    if (!Writer.HaveTag)
        return;
    Writer.Tag <<= (16 - Writer.BitsUsed);
    FlushTag(Writer);
    Writer.HaveTag = 0;
    Writer.BitsUsed = 16;
}

static inline int TopBit(uint64_t Value)
{
    return 63 - __builtin_clzll(Value);
}

// Gamma code of Value >= 2: the bits below the leading 1, each followed by a
// continuation bit (1 = more follow).
static void PutGamma(BlzWriter& Writer, uint32_t Value)
{
    for (int Bit = TopBit(Value) - 1; Bit >= 0; Bit--) {
        PutBit(Writer, (Value >> Bit) & 1);
        PutBit(Writer, Bit > 0 ? 1 : 0);
    }
}

static inline uint32_t GammaBits(uint64_t Value)
{
    return uint32_t(2 * TopBit(Value));
}

static inline uint32_t MatchBits(uint32_t Length, uint32_t Offset)
{
    return 1 + GammaBits(Length - 2) + GammaBits(((Offset - 1) >> 8) + 2) + 8;
}

// Whether the bit-stream can say this offset at all (its gamma stays within 32 bits).
static inline int OffsetFits(uint32_t Offset)
{
    return ((uint64_t(Offset) - 1) >> 8) + 2 <= 0xFFFFFFFFull;
}

static void PutStep(BlzWriter& Writer, const uint8_t* Block, uint32_t Pos, const BlzStep& Step)
{
    if (Step.Length == 1) {
        PutBit(Writer, 0);
        Writer.Out->push_back(Block[Pos]);
        return;
    }
    PutBit(Writer, 1);
    PutGamma(Writer, Step.Length - 2);
    PutGamma(Writer, ((Step.Offset - 1) >> 8) + 2);
    Writer.Out->push_back(uint8_t((Step.Offset - 1) & 255));
}

static inline uint32_t Hash4(const uint8_t* At, int Bits)
{
    uint32_t Word;
    std::memcpy(&Word, At, 4);
    return (Word * 2654435761u) >> (32 - Bits);
}

// Small blocks get small hash tables, so many tiny blocks stay cheap.
static int HashBitsFor(uint32_t Size)
{
    int Bits = 8;
    while (Bits < MaxHashBits && (uint32_t(1) << Bits) < Size)
        Bits++;
    return Bits;
}

static inline uint32_t CommonLength(const uint8_t* A, const uint8_t* B, uint32_t Limit)
{
    uint32_t Length = 0;
    while (Length + 8 <= Limit) {
        uint64_t X, Y;
        std::memcpy(&X, A + Length, 8);
        std::memcpy(&Y, B + Length, 8);
        if (X != Y)
            return Length + uint32_t(__builtin_ctzll(X ^ Y) >> 3);
        Length += 8;
    }
    while (Length < Limit && A[Length] == B[Length])
        Length++;
    return Length;
}

// ---- greedy / lazy parse over hash chains (levels 1 to 5) ----

struct ChainFinder {
    std::vector<uint32_t> Head;
    std::vector<uint32_t> Prev;
    int Depth = 1;
    int HashBits = 8;
};

static void ChainInsert(ChainFinder& Finder, const uint8_t* Block, uint32_t Pos)
{
    uint32_t Hash = Hash4(Block + Pos, Finder.HashBits);
    Finder.Prev[Pos] = Finder.Head[Hash];
    Finder.Head[Hash] = Pos;
}

// Longest match at Pos (nearest on ties) among Depth chain candidates; inserts Pos.
static uint32_t ChainFind(ChainFinder& Finder, const uint8_t* Block, uint32_t Size, uint32_t Pos, uint32_t* Offset)
{
    uint32_t Best = 0;
    uint32_t Limit = Size - Pos;
    uint32_t Hash = Hash4(Block + Pos, Finder.HashBits);
    uint32_t Candidate = Finder.Head[Hash];
    for (int Tries = 0; Candidate != NoPosition && Tries < Finder.Depth; Tries++) {
        if (Block[Candidate + Best] == Block[Pos + Best] || Best == 0) {
            uint32_t Length = CommonLength(Block + Candidate, Block + Pos, Limit);
            if (Length > Best && OffsetFits(Pos - Candidate)) {
                Best = Length;
                *Offset = Pos - Candidate;
                if (Length == Limit)
                    break;
            }
        }
        Candidate = Finder.Prev[Candidate];
    }
    Finder.Prev[Pos] = Finder.Head[Hash];
    Finder.Head[Hash] = Pos;
    return Best;
}

static int MatchPays(uint32_t Length, uint32_t Offset)
{
    return Length >= MinMatch && MatchBits(Length, Offset) < Length * LiteralBits;
}

static void ParseGreedy(const uint8_t* Block, uint32_t Size, int Level, std::vector<BlzStep>& Steps)
{
    ChainFinder Finder;
    Finder.HashBits = HashBitsFor(Size);
    Finder.Head.assign(size_t(1) << Finder.HashBits, NoPosition);
    Finder.Prev.assign(Size, NoPosition);
    static const int Depths[5] = {4, 8, 16, 64, 256};
    Finder.Depth = Depths[Level - 1];
    const int Lazy = 1;

    uint32_t Pos = 1;
    if (Size >= MinMatch)
        ChainInsert(Finder, Block, 0);
    uint32_t PendingLength = 0, PendingOffset = 0;
    int HavePending = 0;
    while (Pos < Size) {
        uint32_t Length = 0, Offset = 0;
        if (HavePending) {
            Length = PendingLength;
            Offset = PendingOffset;
            HavePending = 0;
        } else if (Size - Pos >= MinMatch) {
            Length = ChainFind(Finder, Block, Size, Pos, &Offset);
        }
        if (!MatchPays(Length, Offset)) {
            Steps.push_back({1, 0});
            Pos++;
            continue;
        }
        if (Lazy && Pos + 1 < Size && Size - (Pos + 1) >= MinMatch) {
            uint32_t NextOffset = 0;
            uint32_t NextLength = ChainFind(Finder, Block, Size, Pos + 1, &NextOffset);
            if (MatchPays(NextLength, NextOffset) && NextLength > Length &&
                MatchBits(NextLength, NextOffset) + LiteralBits <
                    MatchBits(Length, Offset) + (NextLength - Length + 1) * LiteralBits) {
                Steps.push_back({1, 0});
                Pos++;
                PendingLength = NextLength;
                PendingOffset = NextOffset;
                HavePending = 1;
                continue;
            }
            // Pos + 1 is already in the chains; insert the rest of the match.
            Steps.push_back({Length, Offset});
            for (uint32_t Inner = Pos + 2; Inner < Pos + Length && Size - Inner >= MinMatch; Inner++)
                ChainInsert(Finder, Block, Inner);
            Pos += Length;
            continue;
        }
        Steps.push_back({Length, Offset});
        for (uint32_t Inner = Pos + 1; Inner < Pos + Length && Size - Inner >= MinMatch; Inner++)
            ChainInsert(Finder, Block, Inner);
        Pos += Length;
    }
}

// ---- optimal parse over a binary-tree match finder (levels 6 to 10) ----

struct TreeFinder {
    std::vector<uint32_t> Head;
    std::vector<uint32_t> Son; // two children per position
    int HashBits = 8;
    uint32_t CutValue = 32;
    uint32_t NiceLength = 256;
};

struct TreeMatch {
    uint32_t Length;
    uint32_t Offset;
};

// Inserts Pos into the tree and, when Matches is given, lists matches of
// growing length (each the nearest the walk met for its length).
static void TreeFind(TreeFinder& Finder, const uint8_t* Block, uint32_t Size, uint32_t Pos,
                     std::vector<TreeMatch>* Matches)
{
    uint32_t LengthLimit = std::min(Finder.NiceLength, Size - Pos);
    uint32_t Hash = Hash4(Block + Pos, Finder.HashBits);
    uint32_t Candidate = Finder.Head[Hash];
    Finder.Head[Hash] = Pos;
    uint32_t* Ptr0 = &Finder.Son[2 * size_t(Pos) + 1];
    uint32_t* Ptr1 = &Finder.Son[2 * size_t(Pos)];
    uint32_t Length0 = 0, Length1 = 0, BestLength = MinMatch - 1;
    const uint8_t* Current = Block + Pos;
    for (uint32_t Depth = Finder.CutValue;; Depth--) {
        if (Candidate == NoPosition || Depth == 0) {
            *Ptr0 = *Ptr1 = NoPosition;
            return;
        }
        const uint8_t* Other = Block + Candidate;
        uint32_t Length = std::min(Length0, Length1);
        Length += CommonLength(Other + Length, Current + Length, LengthLimit - Length);
        if (Length > BestLength && OffsetFits(Pos - Candidate)) {
            BestLength = Length;
            if (Matches != nullptr)
                Matches->push_back({Length, Pos - Candidate});
        }
        uint32_t* Pair = &Finder.Son[2 * size_t(Candidate)];
        if (Length == LengthLimit) {
            *Ptr1 = Pair[0];
            *Ptr0 = Pair[1];
            return;
        }
        if (Other[Length] < Current[Length]) {
            *Ptr1 = Candidate;
            Ptr1 = Pair + 1;
            Candidate = *Ptr1;
            Length1 = Length;
        } else {
            *Ptr0 = Candidate;
            Ptr0 = Pair;
            Candidate = *Ptr0;
            Length0 = Length;
        }
    }
}

static void ParseOptimal(const uint8_t* Block, uint32_t Size, int Level, std::vector<BlzStep>& Steps)
{
    static const uint32_t CutValues[5] = {8, 16, 32, 64, 256};
    static const uint32_t NiceLengths[5] = {32, 64, 128, 256, 1024};
    TreeFinder Finder;
    Finder.HashBits = HashBitsFor(Size);
    Finder.Head.assign(size_t(1) << Finder.HashBits, NoPosition);
    Finder.Son.assign(2 * size_t(Size), NoPosition);
    Finder.CutValue = CutValues[Level - 6];
    Finder.NiceLength = NiceLengths[Level - 6];
    // Every length up to this many is priced; longer matches only at their full length.
    const uint32_t PricedLengths = std::max<uint32_t>(64, Finder.NiceLength / 4);

    std::vector<uint32_t> Price(size_t(Size) + 1, Unreached);
    std::vector<BlzStep> From(size_t(Size) + 1, BlzStep{1, 0});
    std::vector<TreeMatch> Matches;
    Price[1] = 0;
    if (Size >= MinMatch)
        TreeFind(Finder, Block, Size, 0, nullptr);

    uint32_t Pos = 1;
    while (Pos < Size) {
        uint32_t Here = Price[Pos];
        if (Price[Pos + 1] > Here + LiteralBits) {
            Price[Pos + 1] = Here + LiteralBits;
            From[Pos + 1] = {1, 0};
        }
        if (Size - Pos < MinMatch) {
            Pos++;
            continue;
        }
        Matches.clear();
        TreeFind(Finder, Block, Size, Pos, &Matches);
        uint32_t Longest = 0;
        uint32_t Length = MinMatch;
        for (const TreeMatch& Match : Matches) {
            uint32_t OffsetBits = GammaBits(((Match.Offset - 1) >> 8) + 2) + 9;
            for (; Length <= Match.Length; Length++) {
                if (Length > PricedLengths && Length != Match.Length)
                    Length = Match.Length;
                uint32_t Cost = Here + OffsetBits + GammaBits(Length - 2);
                if (Cost < Price[Pos + Length]) {
                    Price[Pos + Length] = Cost;
                    From[Pos + Length] = {Length, Match.Offset};
                }
            }
            Longest = Match.Length;
        }
        if (Longest >= Finder.NiceLength && !Matches.empty()) {
            // A long match is taken as it stands, extended past the search limit
            // at the same offset; the positions inside only feed the tree.
            uint32_t Offset = Matches.back().Offset;
            Longest += CommonLength(Block + Pos + Longest - Offset, Block + Pos + Longest, Size - Pos - Longest);
            uint32_t Cost = Here + MatchBits(Longest, Offset);
            if (Cost < Price[Pos + Longest]) {
                Price[Pos + Longest] = Cost;
                From[Pos + Longest] = {Longest, Offset};
            }
            uint32_t End = Pos + Longest;
            for (uint32_t Inner = Pos + 1; Inner < End && Size - Inner >= MinMatch; Inner++)
                TreeFind(Finder, Block, Size, Inner, nullptr);
            Pos = End;
            continue;
        }
        Pos++;
    }

    // Walk back from the end, then emit in order.
    std::vector<BlzStep> Reverse;
    for (uint32_t At = Size; At > 1;) {
        BlzStep Step = From[At];
        Reverse.push_back(Step);
        At -= Step.Length;
    }
    Steps.insert(Steps.end(), Reverse.rbegin(), Reverse.rend());
}

static void PackBlock(const uint8_t* Block, uint32_t Size, int Level, std::vector<uint8_t>& Out)
{
    if (Size == 0)
        return;
    std::vector<BlzStep> Steps;
    Steps.reserve(Size / 4 + 16);
    if (Level >= 6) {
        ParseOptimal(Block, Size, Level, Steps);
    } else {
        ParseGreedy(Block, Size, Level, Steps);
    }
    BlzWriter Writer;
    Writer.Out = &Out;
    Out.push_back(Block[0]);
    uint32_t Pos = 1;
    for (const BlzStep& Step : Steps) {
        PutStep(Writer, Block, Pos, Step);
        Pos += Step.Length;
    }
    FinishBlock(Writer);
}

static void PutU64(std::vector<uint8_t>& Out, uint64_t Value)
{
    for (int Index = 0; Index < 8; Index++)
        Out.push_back(uint8_t((Value >> (8 * Index)) & 255));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

std::vector<uint8_t> BlzPackStream(const uint8_t* Data, size_t Size, int Level, uint64_t BlockSize)
{
    if (BlockSize == 0)
        BlockSize = BlzDefaultBlockSize;
    // Block positions are 32-bit inside the compressor.
    if (BlockSize > 0x7FFFFFFFull)
        BlockSize = 0x7FFFFFFFull;
    Level = std::clamp(Level, 1, 10);
    // The magic, 4 bytes no reader uses (zero), T and B.
    std::vector<uint8_t> Out(BlzStreamTotalSize, 0);
    std::memcpy(Out.data(), BlzStreamMagic, sizeof BlzStreamMagic);
    PutU64(Out, Size);
    PutU64(Out, BlockSize);
    Out.reserve(Out.size() + Size / 2 + 64);
    for (size_t Start = 0; Start < Size; Start += size_t(BlockSize)) {
        size_t Length = std::min<size_t>(size_t(BlockSize), Size - Start);
        PackBlock(Data + Start, uint32_t(Length), Level, Out);
    }
    return Out;
}
