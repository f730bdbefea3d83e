// Zip archives (the language source) made here with Python's zipfile module.
#include "platform/platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// 20000 bytes that deflate well and that a test can rebuild.
std::string BigContent()
{
    std::string Text;
    for (int I = 0; Text.size() < 20000; I++) {
        Text += "line " + std::to_string(I % 97) + ";";
    }
    Text.resize(20000);
    return Text;
}

class PlatformZip : public ::testing::Test {
  protected:
    // One archive for the whole suite: starting Python takes a while.
    static void SetUpTestSuite()
    {
        if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) {
            return;
        }
        char Template[] = "/tmp/kistora-zip-XXXXXX";
        if (mkdtemp(Template) == nullptr) {
            return;
        }
        Dir = std::string(Template) + "/";
        Zip = Dir + "Kistora.languages";
        std::string Script = "import zipfile\n"
                             "z = zipfile.ZipFile('" +
                             Zip +
                             "', 'w', zipfile.ZIP_DEFLATED)\n"
                             "z.writestr('en_GB.language', '[LANGUAGE FILE]\\r\\ntLangFileNAME=English\\r\\n')\n"
                             "z.writestr('de_DE.LANGUAGE', 'x')\n"
                             "z.writestr('sub/', '')\n"
                             "z.writestr('sub/nl_NL.language', 'nl')\n"
                             "z.writestr('empty.flag', '')\n"
                             "z.writestr('big.bin', open('" +
                             Dir +
                             "big.src').read())\n"
                             "z.writestr('en_GB.language', 'second copy')\n"
                             "z.close()\n";
        std::ofstream(Dir + "big.src", std::ios::binary) << BigContent();
        std::ofstream(Dir + "make.py") << Script;
        if (std::system(("python3 '" + Dir + "make.py' 2>/dev/null").c_str()) != 0) {
            Zip.clear();
        }
    }
    static void TearDownTestSuite()
    {
        if (!Dir.empty()) {
            std::error_code Ignored;
            fs::remove_all(Dir, Ignored);
        }
    }
    void SetUp() override
    {
        if (Zip.empty() || !fs::exists(Zip)) {
            GTEST_SKIP() << "python3 with zipfile is needed to make the archive";
        }
    }
    static std::string Dir;
    static std::string Zip;
};

std::string PlatformZip::Dir;
std::string PlatformZip::Zip;

} // namespace

TEST_F(PlatformZip, ListsFileEntriesInArchiveOrder)
{
    std::vector<std::string> Names = {"stale"};
    ASSERT_EQ(ZipListFiles(Zip, Names), 1);
    EXPECT_EQ(Names, (std::vector<std::string>{"en_GB.language", "de_DE.LANGUAGE", "sub/nl_NL.language", "empty.flag",
                                               "big.bin", "en_GB.language"}));
}

TEST_F(PlatformZip, ExtractsIntoMemoryWithinTheCapacity)
{
    std::string Big = BigContent();
    std::vector<uint8_t> Buffer(30000, 0xEE);
    ASSERT_EQ(ZipExtractToMemory(Zip, "big.bin", Buffer.data(), Buffer.size()), 20000);
    EXPECT_EQ(std::string(Buffer.begin(), Buffer.begin() + 20000), Big);
    EXPECT_EQ(Buffer[20000], 0xEE) << "nothing written past the entry";

    std::vector<uint8_t> Exact(20000);
    EXPECT_EQ(ZipExtractToMemory(Zip, "big.bin", Exact.data(), Exact.size()), 20000);
    EXPECT_EQ(std::string(Exact.begin(), Exact.end()), Big);
    std::vector<uint8_t> Short(19999);
    EXPECT_EQ(ZipExtractToMemory(Zip, "big.bin", Short.data(), Short.size()), -1) << "one byte too large";

    // The first of two entries with the same name wins; names are case-sensitive.
    char Text[64] = {};
    int64_t Size = ZipExtractToMemory(Zip, "en_GB.language", reinterpret_cast<uint8_t*>(Text), sizeof Text);
    ASSERT_GT(Size, 0);
    EXPECT_EQ(std::string(Text, size_t(Size)), "[LANGUAGE FILE]\r\ntLangFileNAME=English\r\n");
    EXPECT_EQ(ZipExtractToMemory(Zip, "EN_GB.language", reinterpret_cast<uint8_t*>(Text), sizeof Text), 0);
    EXPECT_EQ(ZipExtractToMemory(Zip, "missing.flag", reinterpret_cast<uint8_t*>(Text), sizeof Text), 0);
    EXPECT_EQ(ZipExtractToMemory(Zip, "sub/", reinterpret_cast<uint8_t*>(Text), sizeof Text), 0) << "a folder entry";
    EXPECT_EQ(ZipExtractToMemory(Zip, "empty.flag", reinterpret_cast<uint8_t*>(Text), sizeof Text), 0);
    EXPECT_EQ(ZipExtractToMemory(Dir + "none.zip", "big.bin", Buffer.data(), Buffer.size()), -1);
}

TEST_F(PlatformZip, ExtractsToAFile)
{
    std::string Out = Dir + "en_GB.language";
    ASSERT_EQ(ZipExtractToFile(Zip, "sub/nl_NL.language", Out), 1);
    EXPECT_EQ(ReadText(Out), "nl");
    ASSERT_EQ(ZipExtractToFile(Zip, "big.bin", Out), 1);
    EXPECT_EQ(ReadText(Out), BigContent());
    EXPECT_EQ(ZipExtractToFile(Zip, "nothing.language", Dir + "nothing.language"), 0);
    EXPECT_FALSE(fs::exists(Dir + "nothing.language"));
    EXPECT_EQ(ZipExtractToFile(Zip, "big.bin", Dir + "no/such/folder/file"), 0);
}

TEST_F(PlatformZip, DamagedArchivesFailCleanly)
{
    std::vector<std::string> Names = {"stale"};
    EXPECT_EQ(ZipListFiles(Dir + "missing.zip", Names), 0);
    EXPECT_TRUE(Names.empty());
    EXPECT_EQ(ZipListFiles(Dir, Names), 0) << "a folder";

    std::string Bytes = ReadText(Zip);
    std::string Noise = Dir + "noise.zip";
    std::ofstream(Noise, std::ios::binary) << std::string(5000, 'Z');
    EXPECT_EQ(ZipListFiles(Noise, Names), 0);
    uint8_t Buffer[64];
    EXPECT_EQ(ZipExtractToMemory(Noise, "big.bin", Buffer, sizeof Buffer), -1);
    EXPECT_EQ(ZipExtractToFile(Noise, "big.bin", Dir + "out"), 0);

    std::string Empty = Dir + "empty.zip";
    std::ofstream(Empty, std::ios::binary).flush();
    EXPECT_EQ(ZipListFiles(Empty, Names), 0);

    // Every cut of the archive is handled without a crash; a cut inside the
    // big entry's data never hands out wrong bytes.
    std::string Big = BigContent();
    std::vector<uint8_t> Out(30000);
    size_t BigStart = Bytes.find("big.bin");
    ASSERT_NE(BigStart, std::string::npos);
    for (size_t Length = 0; Length < Bytes.size(); Length += 7) {
        std::string Cut = Dir + "cut.zip";
        std::ofstream(Cut, std::ios::binary) << Bytes.substr(0, Length);
        ZipListFiles(Cut, Names);
        int64_t Size = ZipExtractToMemory(Cut, "big.bin", Out.data(), Out.size());
        if (Size > 0) {
            ASSERT_EQ(Size, 20000) << Length;
            ASSERT_EQ(std::string(Out.begin(), Out.begin() + 20000), Big) << Length;
        }
        if (Length < BigStart) {
            EXPECT_LE(Size, 0) << Length;
        }
    }

    // Damaged compressed data inside the big entry: a CRC or inflate error.
    std::string Corrupt = Bytes;
    size_t Data = BigStart + 7 + 20;
    for (size_t I = Data; I < Data + 40 && I < Corrupt.size(); I++) {
        Corrupt[I] = char(Corrupt[I] ^ 0x5A);
    }
    std::ofstream(Dir + "corrupt.zip", std::ios::binary) << Corrupt;
    EXPECT_EQ(ZipExtractToMemory(Dir + "corrupt.zip", "big.bin", Out.data(), Out.size()), -1);
    EXPECT_EQ(ZipExtractToFile(Dir + "corrupt.zip", "big.bin", Dir + "corrupt.out"), 0);
    EXPECT_FALSE(fs::exists(Dir + "corrupt.out"));
}
