// File formats shared by the game and its tools: the number parser, the
// grouped key-value documents, the pack container with its "1zlb" blocks, and
// the byte layout of the level archive's "index" and "MAPS/" entries. Every
// reader and writer of these formats takes its offsets, widths and limits
// from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// numbers.cpp: the one number parser for every text that becomes a number
// ---------------------------------------------------------------------------

// Skips blanks and tabs, takes an optional sign, then decimal digits up to the
// first other character ("$" hexadecimal, "%" binary); no digits gives 0.
int64_t ParseNumber(const std::string& Text);
// The same, decimal digits only (preference integers): "$10" gives 0.
// Both saturate at the int64_t limits instead of overflowing.
int64_t ParseDecimalNumber(const std::string& Text);
// Clamps a parsed number into the 32-bit range of the settings.
int32_t ClampToInt32(int64_t Value);

// ---------------------------------------------------------------------------
// document.cpp: grouped key-value documents ("[Group]", "Key = Value", "; comment")
// ---------------------------------------------------------------------------
// Files are read and written through the platform's file functions, so a
// program that opens or closes documents links the platform too.

enum DocumentEntryKind { EntryGroup = 0, EntryComment = 1, EntryKey = 2 };

struct DocumentEntry {
    int Kind = EntryKey;
    std::string Name;  // group or key name (UTF-8)
    std::string Value; // key value or comment text
};

struct Document {
    std::string Path;
    int ForWriting = 0;
    std::vector<DocumentEntry> Entries;
    int SelectedGroup = -1;   // index of the selected group line, -1 none
    std::string PendingGroup; // writing: group noted but not yet added
    int GroupCursor = -1;     // enumeration
    int KeyCursor = -1;
};

// Parses a file (UTF-8 with byte-order mark, else the 8-bit code page). 1 or
// 0 (missing, unreadable, or larger than 1 MiB).
int OpenDocument(Document& Doc, const std::string& Path);
// Parses bytes already in memory (same rules). Never fails.
void ParseDocument(Document& Doc, const std::string& Bytes);
void CreateDocument(Document& Doc, const std::string& Path);
// Reading: case-insensitive; the first group of that name. Writing: notes it.
int SelectGroup(Document& Doc, const std::string& Group);
std::string ReadText(Document& Doc, const std::string& Key, const std::string& Default);
int64_t ReadInteger(Document& Doc, const std::string& Key, int64_t Default);
void WriteText(Document& Doc, const std::string& Key, const std::string& Value);
void WriteInteger(Document& Doc, const std::string& Key, int64_t Value);
void WriteComment(Document& Doc, const std::string& Text);
int FirstGroup(Document& Doc); // 1 when there is one
int NextGroup(Document& Doc);
std::string CurrentGroupName(const Document& Doc);
int FirstKey(Document& Doc);
int NextKey(Document& Doc);
std::string CurrentKeyName(const Document& Doc);
std::string CurrentKeyValue(const Document& Doc);
// The bytes a document written at close consists of (BOM, CR LF lines).
std::string SerialiseDocument(const Document& Doc);
// Writing documents are written (atomically) here. 1 or 0.
int CloseDocument(Document& Doc);

// ---------------------------------------------------------------------------
// pack.cpp: the pack container ("2zlp"/"1zlp")
// ---------------------------------------------------------------------------
// "2zlp" file: the magic, then entries back to back to the end of the file.
// Entry header: unpacked size (8), stored size S (8), name length N (2,
// signed), then the N name bytes and the S stored bytes. "1zlp" has 6 more
// header bytes, unused, before the name. Stored bytes of an entry whose S
// equals its unpacked size are the content itself, else a "1zlb" stream.

constexpr uint8_t PackMagicVersion2[4] = {0x32, 0x7A, 0x6C, 0x70}; // "2zlp"
constexpr uint8_t PackMagicVersion1[4] = {0x31, 0x7A, 0x6C, 0x70}; // "1zlp", still read
constexpr size_t PackMagicBytes = 4;
constexpr size_t PackEntryUnpackedSize = 0;    // 8-byte unsigned
constexpr size_t PackEntryStoredSize = 8;      // 8-byte unsigned
constexpr size_t PackEntryNameLength = 16;     // 2-byte signed
constexpr size_t PackHeaderBytesVersion2 = 18; // the name follows
constexpr size_t PackHeaderBytesVersion1 = 24;
constexpr size_t PackMaxNameBytes = 32767;

struct PackEntry {
    std::string Name;
    uint64_t UnpackedSize = 0;
    uint64_t StoredSize = 0;
    uint64_t Offset = 0; // of the stored bytes in the file
};

// Opens a container file; returns a handle (> 0) or 0.
int OpenArchive(const std::string& Path);
// Unpacked size, or -1 (no such entry, larger than Capacity, or corrupt).
int64_t ExtractEntry(int Archive, const std::string& Name, uint8_t* Buffer, size_t Capacity);
void CloseArchive(int Archive);
// The same reader over bytes in memory (tests, fuzzing, tools).
int OpenArchiveMemory(const uint8_t* Data, size_t Size);
// The directory in file order (nullptr for a handle that is not open).
const std::vector<PackEntry>* ArchiveEntries(int Archive);
// Position in ArchiveEntries of the first entry named exactly Name, or -1.
int FindPackEntry(int Archive, const std::string& Name);
// The first entry named Name, unpacked into Bytes (resized to its size). 1,
// or 0 with Bytes empty when there is no such entry, it unpacks to more than
// Limit bytes, no memory can be had for it, or it is truncated or corrupt.
int ReadPackEntry(int Archive, const std::string& Name, std::vector<uint8_t>& Bytes, uint64_t Limit);
// The same for the entry at a position of ArchiveEntries (duplicates included).
int ReadPackEntryAt(int Archive, int Position, std::vector<uint8_t>& Bytes, uint64_t Limit);

// ---------------------------------------------------------------------------
// blz.cpp: "1zlb" block streams of BriefLZ blocks
// ---------------------------------------------------------------------------
// Stream header: the magic, 4 bytes no reader uses, total size T (8), block
// size B (8); then the blocks back to back, block k unpacking to
// min(B, T - k B) bytes.

constexpr uint8_t BlzStreamMagic[4] = {0x31, 0x7A, 0x6C, 0x62}; // "1zlb"
constexpr size_t BlzStreamTotalSize = 8;                        // 8-byte unsigned
constexpr size_t BlzStreamBlockSize = 16;                       // 8-byte unsigned
constexpr size_t BlzStreamHeaderBytes = 24;
constexpr uint64_t BlzDefaultBlockSize = 262144;

// One BriefLZ block: exactly OutSize bytes from Src; returns the number of
// source bytes consumed, or -1 when the stream is corrupt or truncated.
int64_t BlzUnpackBlock(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t OutSize);
// A whole "1zlb" stream into Out; returns the total size T, or -1.
int64_t BlzUnpackStream(const uint8_t* Src, size_t SrcSize, uint8_t* Out, size_t Capacity);

// ---------------------------------------------------------------------------
// The level archive's "index" and "MAPS/" entries
// ---------------------------------------------------------------------------
// Integers are signed little-endian of the width given; a text of n units is
// n UTF-16LE code units (2n bytes), read up to the first zero unit, zero after
// the text. Offsets are in bytes from the start of the entry.

constexpr size_t LevelEntryBufferLimit = 20971520; // 20 MiB per entry (the index)

// The model's limits (a map outside them is refused).
constexpr int MaxLayers = 16;
constexpr int MinLayers = 3;   // layer 2 holds the walls
constexpr int MaxMapSide = 33; // cells 0..32
constexpr int MaxCrates = 12;  // the head-up display has 12 crate icons
constexpr int WallLayer = 2;   // a cell not 0 in this layer blocks

// "index": magic, three archive texts and a number, the level names, K
// skipped records, then the tile table.
constexpr uint8_t IndexMagic[4] = {0x49, 0x4E, 0x58, 0x30}; // "INX0"
constexpr size_t IndexText1 = 4;                            // text, IndexArchiveTextUnits
constexpr size_t IndexText2 = 516;                          // text, IndexArchiveTextUnits
constexpr size_t IndexNumber = 1028;                        // 8-byte integer
constexpr size_t IndexText3 = 1036;                         // text, IndexText3Units
constexpr size_t IndexLevelCount = 1068;                    // 4-byte integer L
constexpr size_t IndexLevelNames = 1072;                    // L names of NameUnits, then the 4-byte count K
constexpr size_t IndexArchiveTextUnits = 256;
constexpr size_t IndexText3Units = 16;
constexpr size_t NameUnits = 32; // level and tile names
constexpr size_t NameBytes = 2 * NameUnits;
constexpr size_t IndexSkippedRecordBytes = 256; // K of them after K, then the 4-byte tile count T
constexpr size_t TileEntryCollision = 64;       // after the name: collision byte, alpha byte
constexpr size_t TileEntryAlpha = 65;
constexpr size_t TileEntryBytes = 66;

static_assert(IndexText2 == IndexText1 + 2 * IndexArchiveTextUnits);
static_assert(IndexNumber == IndexText2 + 2 * IndexArchiveTextUnits);
static_assert(IndexText3 == IndexNumber + 8);
static_assert(IndexLevelCount == IndexText3 + 2 * IndexText3Units);
static_assert(IndexLevelNames == IndexLevelCount + 4);
static_assert(TileEntryAlpha == NameBytes + 1 && TileEntryBytes == NameBytes + 2);

// "MAPS/<name>": magic, name, title key, eight integers, five texts, then the
// layer blocks back to back.
constexpr uint8_t MapMagic[4] = {0x4D, 0x41, 0x50, 0x30}; // "MAP0"
constexpr size_t MapName = 4;                             // text, NameUnits (the game takes the index's name)
constexpr size_t MapTitleKey = 68;                        // text, MapTitleKeyUnits
constexpr size_t MapWidth = 580;                          // 4-byte integers from here on
constexpr size_t MapHeight = 584;
constexpr size_t MapReserved1 = 588;
constexpr size_t MapReserved2 = 592;
constexpr size_t MapLayerCount = 596;
constexpr size_t MapReserved3 = 600;
constexpr size_t MapReserved4 = 604;
constexpr size_t MapCrateCount = 608;
constexpr size_t MapCrateList = 612; // texts of MapListUnits from here on
constexpr size_t MapTargetList = 1636;
constexpr size_t MapWorkerStart = 2660;
constexpr size_t MapReservedText1 = 3684;
constexpr size_t MapReservedText2 = 4708;
constexpr size_t MapFirstLayer = 5732;
constexpr size_t MapTitleKeyUnits = 256;
constexpr size_t MapListUnits = 512; // comma-separated integers: x1,y1,x2,y2,...

static_assert(MapTitleKey == MapName + NameBytes);
static_assert(MapWidth == MapTitleKey + 2 * MapTitleKeyUnits);
static_assert(MapCrateList == MapWidth + 8 * 4);
static_assert(MapTargetList == MapCrateList + 2 * MapListUnits && MapWorkerStart == MapTargetList + 2 * MapListUnits);
static_assert(MapReservedText1 == MapWorkerStart + 2 * MapListUnits);
static_assert(MapReservedText2 == MapReservedText1 + 2 * MapListUnits);
static_assert(MapFirstLayer == MapReservedText2 + 2 * MapListUnits);

// A layer block: name, three 4-byte values and a 1-byte one, then W x H
// 2-byte cells column by column (for x, for y).
constexpr size_t LayerName = 0; // text, LayerNameUnits
constexpr size_t LayerValue1 = 256;
constexpr size_t LayerValue2 = 260;
constexpr size_t LayerValue3 = 264;
constexpr size_t LayerValue4 = 268; // 1-byte signed
constexpr size_t LayerCells = 269;
constexpr size_t LayerNameUnits = 128;

static_assert(LayerValue1 == LayerName + 2 * LayerNameUnits && LayerCells == LayerValue4 + 1);

// Bytes of one layer block of a Width x Height map.
constexpr size_t LayerBlockBytes(size_t Width, size_t Height)
{
    return LayerCells + 2 * Width * Height;
}
