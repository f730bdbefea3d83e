// The block decoder against the reference streams listed in MANIFEST.tsv:
// every "ok" stream must give its raw data byte for byte, every "reject"
// stream must fail; and no stream may be read or written out of bounds.
#include "display/display.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "test_pack_support.h"

namespace {

struct VectorCase {
    std::string Name, Raw, Stream, Expected;
};

std::vector<VectorCase> ReadManifest()
{
    std::vector<VectorCase> Cases;
    std::ifstream In(packtest::TestData("MANIFEST.tsv"));
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.empty() || Line[0] == '#')
            continue;
        std::vector<std::string> Fields;
        std::stringstream Split(Line);
        std::string Field;
        while (std::getline(Split, Field, '\t'))
            Fields.push_back(Field);
        if (Fields.size() < 6)
            continue;
        Cases.push_back({Fields[0], Fields[1], Fields[2], Fields[5]});
    }
    return Cases;
}

TEST(BlzVectors, EveryManifestCaseDecodesOrIsRejected)
{
    std::vector<VectorCase> Cases = ReadManifest();
    ASSERT_GE(Cases.size(), 29u) << "MANIFEST.tsv missing or short";
    int Ok = 0, Rejected = 0;
    for (const VectorCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::vector<uint8_t> Stream = packtest::ReadFile(packtest::TestData(Case.Stream));
        ASSERT_FALSE(Case.Stream.empty());
        // Exactly the stream's bytes in their own allocation, so ASan sees any overread.
        std::vector<uint8_t> Exact(Stream);
        if (Case.Expected == "ok") {
            std::vector<uint8_t> Raw = packtest::ReadFile(packtest::TestData(Case.Raw));
            std::vector<uint8_t> Out(Raw.size() + 16, 0xCC);
            int64_t Total = BlzUnpackStream(Exact.data(), Exact.size(), Out.data(), Raw.size());
            ASSERT_EQ(Total, int64_t(Raw.size()));
            EXPECT_TRUE(std::equal(Raw.begin(), Raw.end(), Out.begin()));
            for (size_t Index = Raw.size(); Index < Out.size(); Index++)
                ASSERT_EQ(Out[Index], 0xCC) << "wrote past T";
            Ok++;
        } else {
            ASSERT_EQ(Case.Expected, "reject");
            std::vector<uint8_t> Out(4 << 20);
            EXPECT_EQ(BlzUnpackStream(Exact.data(), Exact.size(), Out.data(), Out.size()), -1);
            Rejected++;
        }
    }
    EXPECT_GE(Ok, 18);
    EXPECT_GE(Rejected, 11);
}

TEST(BlzVectors, TotalIsCheckedAgainstCapacityBeforeWriting)
{
    std::vector<uint8_t> Stream = packtest::ReadFile(packtest::TestData("zeros_1000_l1.1zlb"));
    std::vector<uint8_t> Out(1000, 0xCC);
    EXPECT_EQ(BlzUnpackStream(Stream.data(), Stream.size(), Out.data(), 999), -1);
    for (uint8_t Byte : Out)
        ASSERT_EQ(Byte, 0xCC);
    EXPECT_EQ(BlzUnpackStream(Stream.data(), Stream.size(), Out.data(), 1000), 1000);
    // A claimed total of 2^64 - 1 with a null buffer and no capacity: refused, nothing allocated.
    std::vector<uint8_t> Huge = packtest::ReadFile(packtest::TestData("t_huge.1zlb"));
    EXPECT_EQ(BlzUnpackStream(Huge.data(), Huge.size(), nullptr, 0), -1);
}

// Every proper prefix of a stream whose writer left no unread words must fail,
// and never read past the prefix (the copy is exactly that long).
TEST(BlzVectors, EveryTruncationOfAStreamFails)
{
    for (const char* Name : {"random_1000_b17.1zlb", "rgba_64x64_l10.1zlb", "zeros_1000_l10.1zlb"}) {
        SCOPED_TRACE(Name);
        std::vector<uint8_t> Stream = packtest::ReadFile(packtest::TestData(Name));
        ASSERT_GT(Stream.size(), 24u);
        std::vector<uint8_t> Out(16384);
        for (size_t Cut = 0; Cut < Stream.size(); Cut++) {
            std::vector<uint8_t> Prefix(Stream.begin(), Stream.begin() + std::ptrdiff_t(Cut));
            ASSERT_EQ(BlzUnpackStream(Prefix.data(), Prefix.size(), Out.data(), Out.size()), -1) << "cut at " << Cut;
        }
    }
}

TEST(BlzBlock, ReportsTheBytesItConsumed)
{
    // 'a', tag 0x0000 (literal, literal), 'b', 'c': three bytes from five source bytes.
    const uint8_t Literals[] = {'a', 0x00, 0x00, 'b', 'c', 0xEE};
    uint8_t Out[3] = {};
    EXPECT_EQ(BlzUnpackBlock(Literals, sizeof(Literals), Out, 3), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Out), 3), "abc");
    // 'x', tag 1000 0000 ...: a match, length gamma 10 (=2 -> 4), offset gamma 10 (=2), byte 0 -> offset 1.
    const uint8_t Run[] = {'x', 0x00, 0x80, 0x00};
    uint8_t Five[5] = {};
    EXPECT_EQ(BlzUnpackBlock(Run, sizeof(Run), Five, 5), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Five), 5), "xxxxx");
    // The same match one byte short of room in the output fails.
    uint8_t Four[4] = {};
    EXPECT_EQ(BlzUnpackBlock(Run, sizeof(Run), Four, 4), -1);
    // A block with no source bytes cannot give its first byte.
    EXPECT_EQ(BlzUnpackBlock(Run, 0, Four, 1), -1);
}

} // namespace
