// The pack writer: our own BriefLZ-format compressor and the container writer
// used by kistora-pack and the level compiler. The game never writes archives.
#pragma once

#include "formats/formats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PackInput {
    std::string Name;
    std::vector<uint8_t> Bytes;
};

struct PackOptions {
    int Version = 2;                          // 2 writes "2zlp" (18-byte entry headers), 1 writes "1zlp" (24)
    int Level = 1;                            // 0 = stored; 1 fastest .. 10 strongest
    uint64_t BlockSize = BlzDefaultBlockSize; // bytes per "1zlb" block
};

// A whole "1zlb" stream (24-byte header and the blocks) for Size bytes.
std::vector<uint8_t> BlzPackStream(const uint8_t* Data, size_t Size, int Level, uint64_t BlockSize);
// The container bytes; each entry falls back to stored when compression does not pay.
std::vector<uint8_t> BuildPack(const std::vector<PackInput>& Entries, const PackOptions& Options);
// Writes the container through a temporary file beside Path, then renames it. 1 or 0.
int WritePackFile(const std::string& Path, const std::vector<PackInput>& Entries, const PackOptions& Options);
