// The pack container writer: "2zlp" or "1zlp", each entry stored or as a
// "1zlb" stream, whichever is smaller.
#include "packwriter.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <string>

// ---------------------------------------------------------------------------
// Static helpers
// ---------------------------------------------------------------------------

static void PutU64(std::vector<uint8_t>& Out, uint64_t Value)
{
    for (int Index = 0; Index < 8; Index++)
        Out.push_back(uint8_t((Value >> (8 * Index)) & 255));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

std::vector<uint8_t> BuildPack(const std::vector<PackInput>& Entries, const PackOptions& Options)
{
    std::vector<uint8_t> Out;
    const int Version = Options.Version == 1 ? 1 : 2;
    Out.resize(PackMagicBytes);
    std::memcpy(Out.data(), Version == 1 ? PackMagicVersion1 : PackMagicVersion2, PackMagicBytes);
    for (const PackInput& Entry : Entries) {
        // Name lengths are a signed 16-bit field; longer names are cut (never in our content).
        size_t NameLength = Entry.Name.size() > PackMaxNameBytes ? PackMaxNameBytes : Entry.Name.size();
        std::vector<uint8_t> Stream;
        if (Options.Level > 0 && !Entry.Bytes.empty()) {
            Stream = BlzPackStream(Entry.Bytes.data(), Entry.Bytes.size(), Options.Level, Options.BlockSize);
        }
        // A stream not strictly smaller than the content would read as stored: store instead.
        const int Compressed = !Stream.empty() && Stream.size() < Entry.Bytes.size();
        const std::vector<uint8_t>& Stored = Compressed ? Stream : Entry.Bytes;
        PutU64(Out, Entry.Bytes.size());
        PutU64(Out, Stored.size());
        Out.push_back(uint8_t(NameLength & 255));
        Out.push_back(uint8_t((NameLength >> 8) & 255));
        if (Version == 1)
            Out.insert(Out.end(), PackHeaderBytesVersion1 - PackHeaderBytesVersion2, 0);
        Out.insert(Out.end(), Entry.Name.begin(), Entry.Name.begin() + std::ptrdiff_t(NameLength));
        Out.insert(Out.end(), Stored.begin(), Stored.end());
    }
    return Out;
}

int WritePackFile(const std::string& Path, const std::vector<PackInput>& Entries, const PackOptions& Options)
{
    // Replaced in one step, as the game replaces its own files.
    std::vector<uint8_t> Bytes = BuildPack(Entries, Options);
    return WriteFileAtomic(Path, Bytes.data(), Bytes.size());
}
