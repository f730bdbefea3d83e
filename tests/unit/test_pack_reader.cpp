// The container reader over files our writer made (both versions, stored and
// compressed) and over hand-damaged containers.
#include "display/display.h"

#include <gtest/gtest.h>

#include "packwriter.h"
#include "test_pack_support.h"

namespace {

std::vector<PackInput> SampleEntries()
{
    std::vector<uint8_t> Text;
    for (int Index = 0; Index < 4000; Index++)
        Text.push_back(uint8_t("kistora crates "[Index % 15]));
    return {
        {"music1.ogg", packtest::RandomBytes(5000, 3)}, // does not compress: stored
        {"MAPS/Level 1", Text},                         // compresses
        {"empty", {}},
        {"crate.png", std::vector<uint8_t>(300, 0)},
    };
}

int64_t Extract(int Archive, const std::string& Name, std::vector<uint8_t>& Out, size_t Capacity)
{
    Out.assign(Capacity, 0xCC);
    return ExtractEntry(Archive, Name, Out.data(), Capacity);
}

TEST(PackReader, BothVersionsStoredAndCompressedFromFile)
{
    packtest::Scratch Folder;
    std::vector<PackInput> Entries = SampleEntries();
    for (int Version : {1, 2}) {
        for (int Level : {0, 1, 10}) {
            SCOPED_TRACE(testing::Message() << "version " << Version << " level " << Level);
            PackOptions Options;
            Options.Version = Version;
            Options.Level = Level;
            std::string Path = Folder.Path() + "test.data";
            ASSERT_EQ(WritePackFile(Path, Entries, Options), 1);
            std::vector<uint8_t> Bytes = packtest::ReadFile(Path);
            ASSERT_GE(Bytes.size(), 4u);
            EXPECT_EQ(Bytes[0], Version == 1 ? '1' : '2');

            int Archive = OpenArchive(Path);
            ASSERT_GT(Archive, 0);
            const std::vector<PackEntry>* List = ArchiveEntries(Archive);
            ASSERT_NE(List, nullptr);
            ASSERT_EQ(List->size(), Entries.size());
            for (size_t Index = 0; Index < Entries.size(); Index++) {
                const PackEntry& Entry = (*List)[Index];
                EXPECT_EQ(Entry.Name, Entries[Index].Name);
                EXPECT_EQ(Entry.UnpackedSize, Entries[Index].Bytes.size());
                // The random entry never pays; the text and zeros always do when compressing.
                if (Level == 0 || Index == 0 || Index == 2) {
                    EXPECT_EQ(Entry.StoredSize, Entry.UnpackedSize);
                } else {
                    EXPECT_LT(Entry.StoredSize, Entry.UnpackedSize);
                }
                std::vector<uint8_t> Out;
                EXPECT_EQ(Extract(Archive, Entry.Name, Out, Entries[Index].Bytes.size() + 8),
                          int64_t(Entries[Index].Bytes.size()));
                EXPECT_TRUE(std::equal(Entries[Index].Bytes.begin(), Entries[Index].Bytes.end(), Out.begin()));
            }
            CloseArchive(Archive);
        }
    }
}

TEST(PackReader, CapacityExactlyTheSizeLoadsOneLessFails)
{
    for (int Level : {0, 10}) {
        PackOptions Options;
        Options.Level = Level;
        std::vector<uint8_t> Pack = BuildPack(SampleEntries(), Options);
        int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
        ASSERT_GT(Archive, 0);
        std::vector<uint8_t> Out;
        EXPECT_EQ(Extract(Archive, "MAPS/Level 1", Out, 4000), 4000);
        EXPECT_EQ(Extract(Archive, "MAPS/Level 1", Out, 3999), -1);
        EXPECT_EQ(Out[0], 0xCC) << "wrote into a buffer that was too small";
        EXPECT_EQ(Extract(Archive, "music1.ogg", Out, 4999), -1);
        EXPECT_EQ(Extract(Archive, "empty", Out, 0), 0);
        EXPECT_EQ(Extract(Archive, "no such entry", Out, 100000), -1);
        EXPECT_EQ(Extract(Archive, "maps/level 1", Out, 100000), -1) << "names are case-sensitive";
        CloseArchive(Archive);
        EXPECT_EQ(Extract(Archive, "empty", Out, 10), -1) << "a closed handle still answered";
    }
}

TEST(PackReader, FirstOfTwoEntriesWithTheSameNameWins)
{
    std::vector<PackInput> Entries = {{"a", {1, 2, 3}}, {"b", {9}}, {"a", {4, 5, 6, 7}}};
    for (int Version : {1, 2}) {
        PackOptions Options;
        Options.Version = Version;
        Options.Level = 0;
        std::vector<uint8_t> Pack = BuildPack(Entries, Options);
        int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
        std::vector<uint8_t> Out;
        ASSERT_EQ(Extract(Archive, "a", Out, 10), 3);
        EXPECT_EQ(Out[0], 1);
        EXPECT_EQ(Out[2], 3);
        EXPECT_EQ(ArchiveEntries(Archive)->size(), 3u);
        CloseArchive(Archive);
    }
}

TEST(PackReader, RejectsWhatIsNotAContainer)
{
    packtest::Scratch Folder;
    EXPECT_EQ(OpenArchive(Folder.Path() + "missing.data"), 0);
    packtest::WriteFile(Folder.Path() + "wrong.data", {'1', 'z', 'l', 'b', 0, 0, 0, 0});
    EXPECT_EQ(OpenArchive(Folder.Path() + "wrong.data"), 0);
    packtest::WriteFile(Folder.Path() + "short.data", {'2', 'z', 'l'});
    EXPECT_EQ(OpenArchive(Folder.Path() + "short.data"), 0);
    // The magic alone is an empty container.
    packtest::WriteFile(Folder.Path() + "empty.data", {'2', 'z', 'l', 'p'});
    int Archive = OpenArchive(Folder.Path() + "empty.data");
    ASSERT_GT(Archive, 0);
    EXPECT_TRUE(ArchiveEntries(Archive)->empty());
    CloseArchive(Archive);
}

TEST(PackReader, DamagedDirectoriesAndEntries)
{
    PackOptions Options;
    Options.Level = 10;
    std::vector<uint8_t> Good = BuildPack({{"one", std::vector<uint8_t>(2000, 7)}, {"two", {1, 2, 3}}}, Options);
    std::vector<uint8_t> Out;
    const size_t StoredOne = size_t(Good[12]) | (size_t(Good[13]) << 8); // "one" is compressed and small
    ASSERT_LT(StoredOne, 2000u);

    { // A trailing partial header is where the directory ends.
        std::vector<uint8_t> Tail = Good;
        Tail.insert(Tail.end(), 10, 0xFF);
        int Archive = OpenArchiveMemory(Tail.data(), Tail.size());
        EXPECT_EQ(ArchiveEntries(Archive)->size(), 2u);
        EXPECT_EQ(Extract(Archive, "two", Out, 3), 3);
        CloseArchive(Archive);
    }
    { // Stored bytes cut short by the end of the file.
        std::vector<uint8_t> Cut(Good.begin(), Good.end() - 1);
        int Archive = OpenArchiveMemory(Cut.data(), Cut.size());
        EXPECT_EQ(Extract(Archive, "two", Out, 3), -1);
        EXPECT_EQ(Extract(Archive, "one", Out, 2000), 2000);
        CloseArchive(Archive);
    }
    { // A stream that unpacks to fewer bytes than the entry records.
        std::vector<uint8_t> Short = Good;
        packtest::PutInt(Short, 4, 2001, 8);
        int Archive = OpenArchiveMemory(Short.data(), Short.size());
        EXPECT_EQ(Extract(Archive, "one", Out, 4000), -1);
        CloseArchive(Archive);
    }
    { // The stream's total disagrees with the entry (T = 1999 of 2000).
        std::vector<uint8_t> Total = Good;
        packtest::PutInt(Total, 4 + 18 + 3 + 8, 1999, 8);
        int Archive = OpenArchiveMemory(Total.data(), Total.size());
        EXPECT_EQ(Extract(Archive, "one", Out, 4000), -1);
        CloseArchive(Archive);
    }
    { // A claimed size of 2^63 is refused against the capacity, never allocated.
        std::vector<uint8_t> Huge = Good;
        packtest::PutInt(Huge, 4, int64_t(1) << 62, 8);
        int Archive = OpenArchiveMemory(Huge.data(), Huge.size());
        EXPECT_EQ(Extract(Archive, "one", Out, 1 << 20), -1);
        CloseArchive(Archive);
    }
    { // Stored size running past the end: that entry is the last one read.
        std::vector<uint8_t> Long = Good;
        packtest::PutInt(Long, 12, int64_t(1) << 40, 8);
        int Archive = OpenArchiveMemory(Long.data(), Long.size());
        EXPECT_EQ(ArchiveEntries(Archive)->size(), 1u);
        EXPECT_EQ(Extract(Archive, "one", Out, 2000), -1);
        EXPECT_EQ(Extract(Archive, "two", Out, 3), -1);
        CloseArchive(Archive);
    }
    { // A negative name length ends the directory.
        std::vector<uint8_t> Negative = Good;
        packtest::PutInt(Negative, 4 + 18 + 3 + StoredOne + 16, -1, 2);
        int Archive = OpenArchiveMemory(Negative.data(), Negative.size());
        EXPECT_EQ(ArchiveEntries(Archive)->size(), 1u);
        EXPECT_EQ(Extract(Archive, "one", Out, 2000), 2000);
        CloseArchive(Archive);
    }
}

TEST(PackReader, OlderVersionSkipsSixBytesWhateverTheyHold)
{
    std::vector<uint8_t> Pack = {'1', 'z', 'l', 'p'};
    packtest::PutInt(Pack, 4, 3, 8);
    packtest::PutInt(Pack, 12, 3, 8);
    packtest::PutInt(Pack, 20, 2, 2);
    for (int Index = 0; Index < 6; Index++)
        packtest::PutInt(Pack, 22 + size_t(Index), 0xA0 + Index, 1);
    Pack.insert(Pack.end(), {'o', 'k', 'x', 'y', 'z'});
    int Archive = OpenArchiveMemory(Pack.data(), Pack.size());
    std::vector<uint8_t> Out;
    ASSERT_EQ(Extract(Archive, "ok", Out, 3), 3);
    EXPECT_EQ(std::string(Out.begin(), Out.begin() + 3), "xyz");
    CloseArchive(Archive);
}

} // namespace
