// The pack container reader: "2zlp" (18-byte entry headers) and the older
// "1zlp" (24-byte entry headers), stored or "1zlb" block-compressed entries.
#include "formats/formats.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

// The directory ends after this many entries (our archives hold a few
// hundred): a file of tiny headers cannot make the directory itself huge.
static constexpr size_t MaxEntries = 65536;

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

// One open archive: a file or a block of memory owned by the caller.
struct PackArchive {
    int InUse = 0;
    std::FILE* File = nullptr;
    const uint8_t* Memory = nullptr;
    uint64_t Size = 0; // bytes in the file or memory block
    size_t HeaderSize = PackHeaderBytesVersion2;
    int DirectoryRead = 0;
    std::vector<PackEntry> Entries;
};

// Handles are index + 1, so 0 means none.
static std::vector<PackArchive> Archives;

// ---------------------------------------------------------------------------
// Static helpers' declarations
// ---------------------------------------------------------------------------

static PackArchive* FindArchive(int Archive);
static size_t MagicHeaderSize(const uint8_t* Magic);
static int64_t ExtractEntryAt(PackArchive& Pack, const PackEntry& Entry, uint8_t* Buffer, size_t Capacity);
static int NewArchiveSlot();
static int ReadAt(PackArchive& Pack, uint64_t Offset, void* Into, size_t Count);
static void ReadDirectory(PackArchive& Pack);
static uint64_t ReadU64(const uint8_t* Bytes);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int OpenArchive(const std::string& Path)
{
    std::FILE* File = OpenFileStream(Path, "rb");
    if (File == nullptr)
        return 0;
    uint8_t Magic[4] = {};
    int64_t Size = -1;
    if (std::fseek(File, 0, SEEK_END) == 0)
        Size = int64_t(std::ftell(File));
    if (Size < 4 || std::fseek(File, 0, SEEK_SET) != 0 || std::fread(Magic, 1, 4, File) != 4) {
        std::fclose(File);
        return 0;
    }
    size_t HeaderSize = MagicHeaderSize(Magic);
    if (HeaderSize == 0) {
        std::fclose(File);
        return 0;
    }
    int Handle = NewArchiveSlot();
    PackArchive& Pack = Archives[size_t(Handle - 1)];
    Pack.File = File;
    Pack.Size = uint64_t(Size);
    Pack.HeaderSize = HeaderSize;
    return Handle;
}

int OpenArchiveMemory(const uint8_t* Data, size_t Size)
{
    if (Data == nullptr || Size < 4)
        return 0;
    size_t HeaderSize = MagicHeaderSize(Data);
    if (HeaderSize == 0)
        return 0;
    int Handle = NewArchiveSlot();
    PackArchive& Pack = Archives[size_t(Handle - 1)];
    Pack.Memory = Data;
    Pack.Size = Size;
    Pack.HeaderSize = HeaderSize;
    return Handle;
}

const std::vector<PackEntry>* ArchiveEntries(int Archive)
{
    PackArchive* Pack = FindArchive(Archive);
    if (Pack == nullptr)
        return nullptr;
    ReadDirectory(*Pack);
    return &Pack->Entries;
}

int FindPackEntry(int Archive, const std::string& Name)
{
    PackArchive* Pack = FindArchive(Archive);
    if (Pack == nullptr)
        return -1;
    ReadDirectory(*Pack);
    // The first entry in file order with that exact name wins.
    for (size_t Position = 0; Position < Pack->Entries.size(); Position++) {
        if (Pack->Entries[Position].Name == Name)
            return int(Position);
    }
    return -1;
}

int64_t ExtractEntry(int Archive, const std::string& Name, uint8_t* Buffer, size_t Capacity)
{
    int Position = FindPackEntry(Archive, Name);
    if (Position < 0)
        return -1;
    PackArchive& Pack = *FindArchive(Archive);
    return ExtractEntryAt(Pack, Pack.Entries[size_t(Position)], Buffer, Capacity);
}

int ReadPackEntry(int Archive, const std::string& Name, std::vector<uint8_t>& Bytes, uint64_t Limit)
{
    return ReadPackEntryAt(Archive, FindPackEntry(Archive, Name), Bytes, Limit);
}

int ReadPackEntryAt(int Archive, int Position, std::vector<uint8_t>& Bytes, uint64_t Limit)
{
    Bytes.clear();
    PackArchive* Pack = FindArchive(Archive);
    if (Pack == nullptr || Position < 0)
        return 0;
    ReadDirectory(*Pack);
    if (size_t(Position) >= Pack->Entries.size())
        return 0;
    const PackEntry& Entry = Pack->Entries[size_t(Position)];
    // The size recorded in the header decides, before anything is allocated.
    if (Entry.UnpackedSize > Limit || Entry.UnpackedSize > SIZE_MAX)
        return 0;
    try {
        Bytes.resize(size_t(Entry.UnpackedSize));
    } catch (const std::exception&) { // no memory for it
        return 0;
    }
    if (ExtractEntryAt(*Pack, Entry, Bytes.data(), Bytes.size()) < 0) {
        Bytes.clear();
        Bytes.shrink_to_fit();
        return 0;
    }
    return 1;
}

void CloseArchive(int Archive)
{
    PackArchive* Pack = FindArchive(Archive);
    if (Pack == nullptr)
        return;
    if (Pack->File != nullptr)
        std::fclose(Pack->File);
    *Pack = PackArchive();
}

// ---------------------------------------------------------------------------
// Static helpers
// ---------------------------------------------------------------------------

static PackArchive* FindArchive(int Archive)
{
    if (Archive < 1 || size_t(Archive) > Archives.size())
        return nullptr;
    PackArchive& Pack = Archives[size_t(Archive - 1)];
    return Pack.InUse ? &Pack : nullptr;
}

// The stored bytes of Entry, unpacked into Buffer. The unpacked size, or -1
// when it exceeds Capacity, the stored bytes pass the end of the file, or a
// compressed stream does not yield exactly the recorded size.
static int64_t ExtractEntryAt(PackArchive& Pack, const PackEntry& Entry, uint8_t* Buffer, size_t Capacity)
{
    if (Entry.UnpackedSize > Capacity)
        return -1;
    if (Entry.UnpackedSize > uint64_t(INT64_MAX))
        return -1;
    // Stored bytes that run past the end of the file are unreadable.
    if (Entry.Offset > Pack.Size || Entry.StoredSize > Pack.Size - Entry.Offset)
        return -1;
    if (Entry.UnpackedSize > 0 && Buffer == nullptr)
        return -1;

    if (Entry.StoredSize == Entry.UnpackedSize) {
        if (Entry.StoredSize > 0 && !ReadAt(Pack, Entry.Offset, Buffer, size_t(Entry.StoredSize)))
            return -1;
        return int64_t(Entry.UnpackedSize);
    }

    // Compressed: the stored bytes fit in the file, so this allocation is bounded by it.
    const uint8_t* Stream = nullptr;
    std::unique_ptr<uint8_t[]> Owned;
    if (Pack.Memory != nullptr) {
        Stream = Pack.Memory + Entry.Offset;
    } else {
        Owned.reset(new (std::nothrow) uint8_t[size_t(Entry.StoredSize) + 1]);
        if (!Owned)
            return -1;
        if (!ReadAt(Pack, Entry.Offset, Owned.get(), size_t(Entry.StoredSize)))
            return -1;
        Stream = Owned.get();
    }
    int64_t Total = BlzUnpackStream(Stream, size_t(Entry.StoredSize), Buffer, size_t(Entry.UnpackedSize));
    if (Total < 0 || uint64_t(Total) != Entry.UnpackedSize)
        return -1;
    return Total;
}

// The entry header size the magic stands for, or 0 when it is neither.
static size_t MagicHeaderSize(const uint8_t* Magic)
{
    if (std::memcmp(Magic, PackMagicVersion2, PackMagicBytes) == 0)
        return PackHeaderBytesVersion2;
    if (std::memcmp(Magic, PackMagicVersion1, PackMagicBytes) == 0)
        return PackHeaderBytesVersion1;
    return 0;
}

static int NewArchiveSlot()
{
    for (size_t Index = 0; Index < Archives.size(); Index++) {
        if (!Archives[Index].InUse) {
            Archives[Index] = PackArchive();
            Archives[Index].InUse = 1;
            return int(Index + 1);
        }
    }
    Archives.emplace_back();
    Archives.back().InUse = 1;
    return int(Archives.size());
}

static int ReadAt(PackArchive& Pack, uint64_t Offset, void* Into, size_t Count)
{
    if (Offset > Pack.Size || Count > Pack.Size - Offset)
        return 0;
    if (Pack.Memory != nullptr) {
        std::memcpy(Into, Pack.Memory + Offset, Count);
        return 1;
    }
    if (std::fseek(Pack.File, long(Offset), SEEK_SET) != 0)
        return 0;
    return std::fread(Into, 1, Count, Pack.File) == Count ? 1 : 0;
}

// Walks the entries from offset 4 until a complete header (or its name) can no
// longer be read, or MaxEntries are listed. Entries keep their file order; stored bytes are not checked here.
static void ReadDirectory(PackArchive& Pack)
{
    if (Pack.DirectoryRead)
        return;
    Pack.DirectoryRead = 1;
    uint64_t Offset = 4;
    uint8_t Header[PackHeaderBytesVersion1] = {};
    while (Pack.Entries.size() < MaxEntries && ReadAt(Pack, Offset, Header, Pack.HeaderSize)) {
        int16_t NameLength =
            int16_t(uint16_t(Header[PackEntryNameLength]) | (uint16_t(Header[PackEntryNameLength + 1]) << 8));
        if (NameLength < 0)
            break; // a negative length cannot be a name: the directory ends
        PackEntry Entry;
        Entry.UnpackedSize = ReadU64(Header + PackEntryUnpackedSize);
        Entry.StoredSize = ReadU64(Header + PackEntryStoredSize);
        Entry.Name.resize(size_t(NameLength));
        if (NameLength > 0 && !ReadAt(Pack, Offset + uint64_t(Pack.HeaderSize), Entry.Name.data(), size_t(NameLength)))
            break;
        Entry.Offset = Offset + uint64_t(Pack.HeaderSize) + uint64_t(NameLength);
        Pack.Entries.push_back(std::move(Entry));
        // An entry whose stored bytes pass the end of the file is the last one.
        if (Pack.Entries.back().StoredSize > Pack.Size - Pack.Entries.back().Offset)
            break;
        Offset = Pack.Entries.back().Offset + Pack.Entries.back().StoredSize;
    }
}

static uint64_t ReadU64(const uint8_t* Bytes)
{
    uint64_t Value = 0;
    for (int Index = 7; Index >= 0; Index--)
        Value = (Value << 8) | Bytes[Index];
    return Value;
}
