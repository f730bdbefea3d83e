// The one pack look-up every reader uses: ReadPackEntry and ReadPackEntryAt
// over a container written byte by byte here (not by our pack writer), with a
// duplicate name, an empty entry, an entry exactly at and one byte over the
// limit, a corrupt compressed entry and stored bytes cut off by the file's end.
#include "formats/formats.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// One "2zlp" entry: unpacked size, stored size, name length, name, stored bytes.
void AddEntry(std::vector<uint8_t>& Pack, const std::string& Name, uint64_t Unpacked, const std::string& Stored)
{
    uint64_t StoredSize = Stored.size();
    for (int Byte = 0; Byte < 8; Byte++)
        Pack.push_back(uint8_t(Unpacked >> (8 * Byte)));
    for (int Byte = 0; Byte < 8; Byte++)
        Pack.push_back(uint8_t(StoredSize >> (8 * Byte)));
    Pack.push_back(uint8_t(Name.size()));
    Pack.push_back(0);
    Pack.insert(Pack.end(), Name.begin(), Name.end());
    Pack.insert(Pack.end(), Stored.begin(), Stored.end());
}

std::vector<uint8_t> SamplePack()
{
    std::vector<uint8_t> Pack = {'2', 'z', 'l', 'p'};
    AddEntry(Pack, "crate.png", 3, "xyz");
    AddEntry(Pack, "crate.png", 6, "second"); // a later duplicate: never found by name
    AddEntry(Pack, "empty", 0, "");
    AddEntry(Pack, "ten", 10, "0123456789");
    // Claims 50 bytes from a "1zlb" stream that stops after its header.
    std::string Stream = std::string("1zlb") + std::string(4, '\0');
    Stream += std::string("\x32\0\0\0\0\0\0\0", 8) + std::string("\0\0\4\0\0\0\0\0", 8);
    AddEntry(Pack, "corrupt", 50, Stream);
    return Pack;
}

std::string Text(const std::vector<uint8_t>& Bytes)
{
    return std::string(Bytes.begin(), Bytes.end());
}

TEST(PackLookup, FindsReadsAndRefusesEntriesByName)
{
    std::vector<uint8_t> Pack = SamplePack();
    int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
    ASSERT_NE(Archive, 0);
    std::vector<uint8_t> Bytes = {'o', 'l', 'd'};

    // The first entry of a name, at its own size.
    EXPECT_EQ(FindPackEntry(Archive, "crate.png"), 0);
    ASSERT_EQ(ReadPackEntry(Archive, "crate.png", Bytes, 100), 1);
    EXPECT_EQ(Text(Bytes), "xyz");

    // Missing (names compare exactly): 0 and nothing left in the buffer.
    Bytes = {'o', 'l', 'd'};
    EXPECT_EQ(FindPackEntry(Archive, "Crate.png"), -1);
    EXPECT_EQ(ReadPackEntry(Archive, "Crate.png", Bytes, 100), 0);
    EXPECT_TRUE(Bytes.empty());

    // An entry of exactly the limit reads; one byte over refuses it.
    ASSERT_EQ(ReadPackEntry(Archive, "ten", Bytes, 10), 1);
    EXPECT_EQ(Text(Bytes), "0123456789");
    EXPECT_EQ(ReadPackEntry(Archive, "ten", Bytes, 9), 0);
    EXPECT_TRUE(Bytes.empty());

    // An empty entry is found and read as empty.
    Bytes = {'o', 'l', 'd'};
    EXPECT_EQ(ReadPackEntry(Archive, "empty", Bytes, 0), 1);
    EXPECT_TRUE(Bytes.empty());

    // A compressed entry that does not unpack to its size.
    Bytes = {'o', 'l', 'd'};
    EXPECT_EQ(FindPackEntry(Archive, "corrupt"), 4);
    EXPECT_EQ(ReadPackEntry(Archive, "corrupt", Bytes, 100), 0);
    EXPECT_TRUE(Bytes.empty());
    CloseArchive(Archive);

    // A closed handle finds nothing.
    EXPECT_EQ(FindPackEntry(Archive, "crate.png"), -1);
    EXPECT_EQ(ReadPackEntry(Archive, "crate.png", Bytes, 100), 0);
}

TEST(PackLookup, PositionsReachDuplicatesAndTruncatedEntriesFail)
{
    std::vector<uint8_t> Pack = SamplePack();
    // A last entry whose 8 stored bytes the file cuts after 5.
    AddEntry(Pack, "cut", 8, "abcdefgh");
    Pack.resize(Pack.size() - 3);
    int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
    ASSERT_NE(Archive, 0);
    ASSERT_EQ(ArchiveEntries(Archive)->size(), 6u);
    std::vector<uint8_t> Bytes;

    ASSERT_EQ(ReadPackEntryAt(Archive, 1, Bytes, 100), 1);
    EXPECT_EQ(Text(Bytes), "second");
    EXPECT_EQ(ReadPackEntryAt(Archive, 1, Bytes, 5), 0);
    EXPECT_TRUE(Bytes.empty());

    EXPECT_EQ(FindPackEntry(Archive, "cut"), 5);
    EXPECT_EQ(ReadPackEntry(Archive, "cut", Bytes, 100), 0);
    EXPECT_TRUE(Bytes.empty());
    // The old interface gives -1 for the same entry.
    uint8_t Buffer[16] = {};
    EXPECT_EQ(ExtractEntry(Archive, "cut", Buffer, sizeof Buffer), -1);

    for (int Outside : {-1, 6, 1000})
        EXPECT_EQ(ReadPackEntryAt(Archive, Outside, Bytes, 100), 0) << Outside;
    CloseArchive(Archive);
}

} // namespace
