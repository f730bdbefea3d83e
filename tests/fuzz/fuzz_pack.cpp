// Fuzzes the container reader and the block decoder over bytes in memory:
// the input is tried as a container (every entry extracted) and as a bare
// "1zlb" stream. Nothing may read or write out of bounds, hang or allocate
// more than the capacity it was given.
#include "formats/formats.h"

#include <cstring>
#include <vector>

static constexpr size_t Capacity = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static std::vector<uint8_t> Out(Capacity);
    // Exactly Size bytes of its own, so any overread is caught.
    std::vector<uint8_t> Copy(Data, Data + Size);

    int Archive = OpenArchiveMemory(Copy.data(), Copy.size());
    if (Archive != 0) {
        const std::vector<PackEntry>* Entries = ArchiveEntries(Archive);
        std::vector<std::string> Names;
        for (const PackEntry& Entry : *Entries)
            Names.push_back(Entry.Name);
        for (const std::string& Name : Names) {
            int64_t Got = ExtractEntry(Archive, Name, Out.data(), Out.size());
            if (Got > int64_t(Capacity))
                __builtin_trap();
        }
        // Every position, duplicates included, through the one look-up.
        std::vector<uint8_t> Bytes;
        for (size_t Position = 0; Position < Names.size(); Position++) {
            if (ReadPackEntryAt(Archive, int(Position), Bytes, Capacity) && Bytes.size() > Capacity)
                __builtin_trap();
        }
        CloseArchive(Archive);
    }

    int64_t Total = BlzUnpackStream(Copy.data(), Copy.size(), Out.data(), Out.size());
    if (Total > int64_t(Capacity))
        __builtin_trap();
    // The same bytes as one block of a few sizes.
    for (size_t Length : {size_t(1), size_t(17), size_t(4096)}) {
        int64_t Used = BlzUnpackBlock(Copy.data(), Copy.size(), Out.data(), Length);
        if (Used > int64_t(Size))
            __builtin_trap();
    }
    return 0;
}
