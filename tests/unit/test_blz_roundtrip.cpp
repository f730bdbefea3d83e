// Our compressor's streams read back through the game's decoder: every level,
// several block sizes and the awkward sizes (empty, one byte, block + 1).
#include "display/display.h"

#include <cstring>
#include <gtest/gtest.h>

#include "packwriter.h"
#include "test_pack_support.h"

namespace {

std::vector<uint8_t> TextBytes(size_t Size)
{
    static const char* Words[] = {"crate ", "worker ", "push ", "the ", "level ", "target ", "wall\n", "floor, "};
    std::vector<uint8_t> Bytes;
    std::vector<uint8_t> Noise = packtest::RandomBytes(Size, 7);
    for (size_t Index = 0; Bytes.size() < Size; Index++) {
        const char* Word = Words[Noise[Index % Noise.size()] % 8];
        Bytes.insert(Bytes.end(), Word, Word + std::strlen(Word));
    }
    Bytes.resize(Size);
    return Bytes;
}

// Decodes block by block and checks that each block starts right where the
// previous one ended and that the stream holds no bytes the reader skips.
void ExpectRoundTrip(const std::vector<uint8_t>& Raw, int Level, uint64_t BlockSize)
{
    std::vector<uint8_t> Stream = BlzPackStream(Raw.data(), Raw.size(), Level, BlockSize);
    ASSERT_GE(Stream.size(), 24u);
    std::vector<uint8_t> Out(Raw.size() + 1, 0xCC);
    ASSERT_EQ(BlzUnpackStream(Stream.data(), Stream.size(), Out.data(), Raw.size()), int64_t(Raw.size()));
    ASSERT_TRUE(std::equal(Raw.begin(), Raw.end(), Out.begin()));
    EXPECT_EQ(Out[Raw.size()], 0xCC);

    size_t Pos = 24, Produced = 0;
    while (Produced < Raw.size()) {
        size_t Length = std::min<size_t>(size_t(BlockSize), Raw.size() - Produced);
        int64_t Used = BlzUnpackBlock(Stream.data() + Pos, Stream.size() - Pos, Out.data() + Produced, Length);
        ASSERT_GT(Used, 0);
        Pos += size_t(Used);
        Produced += Length;
    }
    EXPECT_EQ(Pos, Stream.size()) << "unread bytes between or after blocks";
}

TEST(BlzRoundTrip, EveryLevelOnRandomTextAndZeros)
{
    std::vector<uint8_t> Random = packtest::RandomBytes(70000, 1);
    std::vector<uint8_t> Text = TextBytes(120000);
    std::vector<uint8_t> Zeros(100000, 0);
    for (int Level = 1; Level <= 10; Level++) {
        SCOPED_TRACE(Level);
        ExpectRoundTrip(Random, Level, 262144);
        ExpectRoundTrip(Text, Level, 262144);
        ExpectRoundTrip(Zeros, Level, 262144);
    }
}

TEST(BlzRoundTrip, BlockSizes)
{
    std::vector<uint8_t> Text = TextBytes(300000);
    for (int Level : {1, 10}) {
        for (uint64_t BlockSize : {uint64_t(17), uint64_t(65536), uint64_t(262144)}) {
            SCOPED_TRACE(testing::Message() << "level " << Level << " block " << BlockSize);
            ExpectRoundTrip(Text, Level, BlockSize);
            ExpectRoundTrip(std::vector<uint8_t>(Text.begin(), Text.begin() + std::ptrdiff_t(BlockSize + 1)), Level,
                            BlockSize);
        }
    }
}

TEST(BlzRoundTrip, EmptyAndOneByte)
{
    for (int Level : {1, 10}) {
        std::vector<uint8_t> Empty = BlzPackStream(nullptr, 0, Level, 262144);
        EXPECT_EQ(Empty.size(), 24u);
        EXPECT_EQ(BlzUnpackStream(Empty.data(), Empty.size(), nullptr, 0), 0);
        // One byte: the block is that byte alone, no tag word.
        const uint8_t One[1] = {0x5A};
        std::vector<uint8_t> Stream = BlzPackStream(One, 1, Level, 262144);
        ASSERT_EQ(Stream.size(), 25u);
        EXPECT_EQ(Stream[24], 0x5A);
        uint8_t Out[1] = {};
        EXPECT_EQ(BlzUnpackStream(Stream.data(), Stream.size(), Out, 1), 1);
        EXPECT_EQ(Out[0], 0x5A);
    }
}

TEST(BlzRoundTrip, StrongestIsNeverLargerThanFastestOnText)
{
    std::vector<uint8_t> Text = TextBytes(200000);
    std::vector<uint8_t> Fast = BlzPackStream(Text.data(), Text.size(), 1, 262144);
    std::vector<uint8_t> Strong = BlzPackStream(Text.data(), Text.size(), 10, 262144);
    EXPECT_LT(Fast.size(), Text.size() / 2);
    EXPECT_LE(Strong.size(), Fast.size());
    // A run of zeros shrinks to a handful of bytes at either level.
    std::vector<uint8_t> Zeros(262144, 0);
    EXPECT_LT(BlzPackStream(Zeros.data(), Zeros.size(), 1, 262144).size(), 200u);
    EXPECT_LT(BlzPackStream(Zeros.data(), Zeros.size(), 10, 262144).size(), 200u);
}

} // namespace
