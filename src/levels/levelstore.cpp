// The level store: the "index", "MAPS/" and "TILES/" entries of Kistora.maps
// read into records, and the few questions the rest of the game asks of them.
#include "levels/levels.h"
#include "formats/formats.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

// The entries' layouts (IndexMagic, MapMagic, the offsets and widths) are
// in formats/formats.h, shared with the level compiler.
// Tile images stay for the whole run at their own size: all of them together
// may hold this many pixels (16 MiB); tiles past it get no image. Ours use a
// few dozen thousand.
static constexpr int64_t TilePixelBudget = int64_t(4) << 20;

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

LevelArchiveInfoRecord LevelArchiveInfo;
std::vector<std::string> levelOrder;
std::map<std::string, LevelRecord> levelsByName;
std::map<std::string, TileRecord> tilesByName;

// The level archive loaded last, held in memory for the thumbnails.
struct ThumbnailRecord {
    const uint8_t* Data = nullptr; // the PNG bytes (in the held file, or Unpacked)
    size_t Size = 0;
    std::vector<uint8_t> Unpacked; // a compressed entry, unpacked once
    int Job = 0;                   // decoding on the second core
    int JobWidth = 0;              // the size that decoding brings it to
    int JobHeight = 0;
};

struct HeldArchiveRecord {
    std::string Path;
    std::vector<uint8_t> Bytes;                        // the whole file
    int Archive = 0;                                   // pack handle over Bytes
    std::map<std::string, ThumbnailRecord> Thumbnails; // by level name, made when first asked for
};

// A level archive larger than this is read entry by entry and not held.
static constexpr int64_t MaxHeldArchiveBytes = 64 * 1024 * 1024;

static HeldArchiveRecord HeldArchive;

// Board placement given by the play screen.
static double TileSize = 0.0;    // pixels per cell
static int32_t BoardOriginX = 0; // screen position of cell (0, 0)
static int32_t BoardOriginY = 0;

// ---------------------------------------------------------------------------
// Static helpers' declarations
// ---------------------------------------------------------------------------

static int32_t ReadI32(const uint8_t* At);
static int64_t ReadI64(const uint8_t* At);
static std::u16string ReadText(const uint8_t* At, size_t Units);
static int ParseMap(const uint8_t* Data, size_t Size, LevelRecord& Record);
static void LoadTiles(int Archive, const uint8_t* Index, size_t Size, size_t Pos);
static const LevelRecord& FindLevel(const std::string& Name);
static void DropTileImages();
static void ReleaseHeldArchive();
static ThumbnailRecord* FindThumbnail(const std::string& LevelName);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

std::string Utf16ToUtf8(const std::u16string& Text)
{
    std::string Result;
    Result.reserve(Text.size());
    for (size_t Index = 0; Index < Text.size(); Index++) {
        uint32_t Code = Text[Index];
        if (Code >= 0xD800 && Code <= 0xDBFF && Index + 1 < Text.size() && Text[Index + 1] >= 0xDC00 &&
            Text[Index + 1] <= 0xDFFF) {
            Code = 0x10000 + ((Code - 0xD800) << 10) + (uint32_t(Text[Index + 1]) - 0xDC00);
            Index++;
        } else if (Code >= 0xD800 && Code <= 0xDFFF) {
            Code = 0xFFFD; // an unpaired surrogate
        }
        AppendUtf8(Result, Code);
    }
    return Result;
}

void LoadLevelArchive(const std::string& ArchivePath)
{
    ReleaseHeldArchive();
    // Read whole, once (every entry but a few bytes is wanted), and kept for the thumbnails.
    int64_t Size = FileSize(ArchivePath);
    if (Size > 0 && Size <= MaxHeldArchiveBytes && ReadWholeFile(ArchivePath, HeldArchive.Bytes) &&
        (HeldArchive.Archive = OpenArchiveMemory(HeldArchive.Bytes.data(), HeldArchive.Bytes.size())) != 0) {
        HeldArchive.Path = ArchivePath;
        LoadLevelArchiveFrom(HeldArchive.Archive);
        // Every level's thumbnail found now, not while the level strip slides.
        for (const std::string& Name : levelOrder)
            FindThumbnail(Name);
        return;
    }
    ReleaseHeldArchive();
    int Archive = OpenArchive(ArchivePath);
    if (Archive == 0) {
        DropTileImages();
        return;
    }
    LoadLevelArchiveFrom(Archive);
    CloseArchive(Archive);
}

int TakeLevelThumbnail(const std::string& ArchivePath, const std::string& LevelName, int Width, int Height)
{
    if (HeldArchive.Archive == 0 || ArchivePath != HeldArchive.Path)
        return -1;
    ThumbnailRecord* Thumbnail = FindThumbnail(LevelName);
    if (Thumbnail == nullptr)
        return 0;
    int Image = 0;
    if (Thumbnail->Job != 0) {
        Image = TakeDecodedImage(Thumbnail->Job);
        Thumbnail->Job = 0;
        if (Image != 0 && (Thumbnail->JobWidth != Width || Thumbnail->JobHeight != Height)) {
            FreeImage(Image); // made for another size
            Image = 0;
        } else {
            return Image;
        }
    }
    Image = LoadImagePng(Thumbnail->Data, Thumbnail->Size);
    if (Image != 0 && Width > 0 && Height > 0 && !ResizeImage(Image, Width, Height)) {
        FreeImage(Image);
        Image = 0;
    }
    return Image;
}

void PrefetchLevelThumbnails(int First, int Count, int Width, int Height)
{
    if (HeldArchive.Archive == 0)
        return;
    for (int Position = std::max(First, 0); Position < First + Count && Position < int(levelOrder.size()); Position++) {
        ThumbnailRecord* Thumbnail = FindThumbnail(levelOrder[size_t(Position)]);
        if (Thumbnail == nullptr || Thumbnail->Job != 0)
            continue;
        Thumbnail->Job = QueueImageDecode(Thumbnail->Data, Thumbnail->Size, Width, Height);
        Thumbnail->JobWidth = Width;
        Thumbnail->JobHeight = Height;
    }
}

void LoadLevelArchiveFrom(int Archive)
{
    // Tile images belong to the screen: the old ones go before any new one is
    // made, so no stale handle survives a reload that finds no tiles.
    DropTileImages();
    std::vector<uint8_t> Index;
    if (!ReadPackEntry(Archive, "index", Index, LevelEntryBufferLimit) || Index.size() < IndexLevelNames ||
        std::memcmp(Index.data(), IndexMagic, 4) != 0)
        return;
    const uint8_t* Data = Index.data();
    const size_t Size = Index.size();

    // A reload keeps every record (overwriting those it finds again) and lists the order anew.
    levelOrder.clear();
    LevelArchiveInfo = LevelArchiveInfoRecord();
    LevelArchiveInfo.Text1 = ReadText(Data + IndexText1, IndexArchiveTextUnits);
    LevelArchiveInfo.Text2 = ReadText(Data + IndexText2, IndexArchiveTextUnits);
    LevelArchiveInfo.Number = ReadI64(Data + IndexNumber);
    LevelArchiveInfo.Text3 = ReadText(Data + IndexText3, IndexText3Units);
    int32_t LevelCount = ReadI32(Data + IndexLevelCount);
    LevelArchiveInfo.LevelCount = LevelCount;

    // Level names that would lie past the end of the index are not read.
    size_t Pos = IndexLevelNames;
    int32_t Read = 0;
    std::vector<uint8_t> Map;
    size_t MapBytesLeft = MapBytesBudget;
    for (; Read < LevelCount && Read < MaxLevels && Size - Pos >= NameBytes; Read++, Pos += NameBytes) {
        std::string Name = Utf16ToUtf8(ReadText(Data + Pos, NameUnits));
        levelOrder.push_back(Name);
        LevelRecord& Record = levelsByName[Name];
        Record.Name = ReadText(Data + Pos, NameUnits);

        if (!ReadPackEntry(Archive, "MAPS/" + Name, Map, std::min(LevelEntryBufferLimit, MapBytesLeft)) || Map.empty())
            continue;
        const size_t MapSize = Map.size();
        MapBytesLeft -= MapSize;
        // A map that breaks the model's limits or is shorter than it claims leaves
        // the record as it was (for a new record: only its name).
        LevelRecord Parsed;
        Parsed.Name = Record.Name;
        if (ParseMap(Map.data(), MapSize, Parsed))
            Record = std::move(Parsed);
    }
    Map.clear();
    Map.shrink_to_fit();
    if (Read < LevelCount) {
        LevelArchiveInfo.LevelCount = Read;
        // Past MaxLevels the tile table is still found after the names.
        if (Read < MaxLevels || uint64_t(LevelCount - Read) * NameBytes > Size - Pos)
            return;
        Pos += size_t(LevelCount - Read) * NameBytes;
    }

    if (Size - Pos < 4)
        return;
    int32_t SkipCount = ReadI32(Data + Pos);
    Pos += 4;
    if (SkipCount < 0 || uint64_t(SkipCount) * IndexSkippedRecordBytes > Size - Pos)
        return;
    Pos += size_t(SkipCount) * IndexSkippedRecordBytes;
    LoadTiles(Archive, Data, Size, Pos);
}

void CopyLevelOrder(std::vector<std::string>& List)
{
    List.clear();
    List.insert(List.end(), levelOrder.begin(), levelOrder.end());
}

std::string GetLevelProperty(const std::string& LevelName, int Property)
{
    const LevelRecord& Record = FindLevel(LevelName);
    switch (Property) {
    case 0: return Utf16ToUtf8(Record.TitleKey);
    case 1: return Utf16ToUtf8(Record.Name);
    case 2: return std::to_string(Record.Width);
    case 3: return std::to_string(Record.Height);
    case 4: return std::to_string(Record.Reserved1);
    case 5: return std::to_string(Record.Reserved2);
    case 6: return std::to_string(Record.LayerCount);
    case 7: return std::to_string(Record.Reserved3);
    case 8: return std::to_string(Record.Reserved4);
    case 9: return std::to_string(Record.CrateCount);
    case 10: return Utf16ToUtf8(Record.CrateList);
    case 11: return Utf16ToUtf8(Record.TargetList);
    case 12: return Utf16ToUtf8(Record.WorkerStart);
    case 13: return Utf16ToUtf8(Record.ReservedText1);
    case 14: return Utf16ToUtf8(Record.ReservedText2);
    default: return "";
    }
}

std::string GetArchiveProperty(int Property)
{
    switch (Property) {
    case 0: return Utf16ToUtf8(LevelArchiveInfo.Text1);
    case 1: return Utf16ToUtf8(LevelArchiveInfo.Text2);
    case 2: return std::to_string(LevelArchiveInfo.Number);
    case 3: return Utf16ToUtf8(LevelArchiveInfo.Text3);
    case 4: return std::to_string(LevelArchiveInfo.LevelCount);
    case 5: return std::to_string(LevelArchiveInfo.TileCount);
    default: return "";
    }
}

int32_t IsCellFree(const std::string& LevelName, int Layer, int X, int Y)
{
    const LevelRecord& Record = FindLevel(LevelName);
    if (Layer < 0 || Layer >= Record.LayerCount || Layer >= MaxLayers)
        return -1;
    // Beyond the 33 x 33 grid nothing is free, so the move rules never leave it.
    if (X < 0 || Y < 0 || X >= MaxMapSide || Y >= MaxMapSide)
        return 0;
    return Record.Layers[Layer].Cells[X][Y] == 0 ? 1 : 0;
}

void DrawLevel(const std::string& LevelName)
{
    if (LevelName.empty())
        return;
    auto Found = levelsByName.find(LevelName);
    if (Found == levelsByName.end())
        return;
    const LevelRecord& Record = Found->second;
    // Cell values name tiles by their decimal text. Small values (every level of
    // ours uses them) are looked up once per frame in a fixed table, without
    // allocating; larger ones are looked up for each cell.
    constexpr int CachedValues = 256;
    const TileRecord* TileByValue[CachedValues];
    uint8_t Known[CachedValues] = {};
    for (int X = 0; X < Record.Width && X < MaxMapSide; X++) {
        for (int Y = 0; Y < Record.Height && Y < MaxMapSide; Y++) {
            for (int Layer = 0; Layer < Record.LayerCount && Layer < MaxLayers; Layer++) {
                const LayerRecord& Slot = Record.Layers[Layer];
                if (!Slot.Present)
                    continue;
                int Value = Slot.Cells[X][Y];
                if (Value <= 0)
                    continue;
                const TileRecord* Tile = nullptr;
                if (Value < CachedValues && Known[Value]) {
                    Tile = TileByValue[Value];
                } else {
                    auto Named = tilesByName.find(std::to_string(Value));
                    Tile = Named == tilesByName.end() ? nullptr : &Named->second;
                    if (Value < CachedValues) {
                        TileByValue[Value] = Tile;
                        Known[Value] = 1;
                    }
                }
                if (Tile == nullptr || Tile->Image == 0)
                    continue;
                // Halves go to the even neighbour (the default rounding mode).
                int ScreenX = int(std::nearbyint(double(BoardOriginX) + double(X) * TileSize));
                int ScreenY = int(std::nearbyint(double(BoardOriginY) + double(Y) * TileSize));
                if (Tile->Alpha) {
                    ShowSpriteTransparent(Tile->Image, ScreenX, ScreenY);
                } else {
                    ShowSprite(Tile->Image, ScreenX, ScreenY);
                }
            }
        }
    }
}

void SetTileSize(double Size)
{
    TileSize = Size;
    int Side = int(std::nearbyint(Size));
    for (auto& [Name, Tile] : tilesByName) {
        if (Tile.Image != 0)
            ZoomSprite(Tile.Image, Side, Side);
    }
}

void SetBoardOriginX(int32_t X)
{
    BoardOriginX = X;
}

void SetBoardOriginY(int32_t Y)
{
    BoardOriginY = Y;
}

void ForgetScreenImages()
{
    for (auto& Tile : tilesByName)
        Tile.second.Image = 0;
    for (LevelProgress& Entry : ProgressList)
        Entry.CardImage = 0;
}

// ---------------------------------------------------------------------------
// Static helpers
// ---------------------------------------------------------------------------

static int32_t ReadI32(const uint8_t* At)
{
    return int32_t(uint32_t(At[0]) | (uint32_t(At[1]) << 8) | (uint32_t(At[2]) << 16) | (uint32_t(At[3]) << 24));
}

static int64_t ReadI64(const uint8_t* At)
{
    uint64_t Value = 0;
    for (int Index = 7; Index >= 0; Index--)
        Value = (Value << 8) | At[Index];
    return int64_t(Value);
}

// A fixed-width UTF-16LE field of Units code units, up to its first zero unit.
static std::u16string ReadText(const uint8_t* At, size_t Units)
{
    std::u16string Text;
    for (size_t Index = 0; Index < Units; Index++) {
        char16_t Unit = char16_t(At[2 * Index] | (At[2 * Index + 1] << 8));
        if (Unit == 0)
            break;
        Text += Unit;
    }
    return Text;
}

// Reads a "MAP0" entry into Record. 0 when the entry is not a map, breaks the
// limits (sides 0 to 33, 3 to 16 layers, 0 to 12 crates) or is shorter than
// its fields and layers claim.
static int ParseMap(const uint8_t* Data, size_t Size, LevelRecord& Record)
{
    if (Size < MapFirstLayer || std::memcmp(Data, MapMagic, 4) != 0)
        return 0;
    int32_t Width = ReadI32(Data + MapWidth), Height = ReadI32(Data + MapHeight);
    int32_t LayerCount = ReadI32(Data + MapLayerCount), CrateCount = ReadI32(Data + MapCrateCount);
    if (Width < 0 || Width > MaxMapSide || Height < 0 || Height > MaxMapSide)
        return 0;
    if (LayerCount < MinLayers || LayerCount > MaxLayers)
        return 0;
    if (CrateCount < 0 || CrateCount > MaxCrates)
        return 0;
    const size_t LayerBytes = LayerBlockBytes(size_t(Width), size_t(Height));
    if (Size - MapFirstLayer < size_t(LayerCount) * LayerBytes)
        return 0;

    Record.TitleKey = ReadText(Data + MapTitleKey, MapTitleKeyUnits);
    Record.Width = Width;
    Record.Height = Height;
    Record.Reserved1 = ReadI32(Data + MapReserved1);
    Record.Reserved2 = ReadI32(Data + MapReserved2);
    Record.LayerCount = LayerCount;
    Record.Reserved3 = ReadI32(Data + MapReserved3);
    Record.Reserved4 = ReadI32(Data + MapReserved4);
    Record.CrateCount = CrateCount;
    Record.CrateList = ReadText(Data + MapCrateList, MapListUnits);
    Record.TargetList = ReadText(Data + MapTargetList, MapListUnits);
    Record.WorkerStart = ReadText(Data + MapWorkerStart, MapListUnits);
    Record.ReservedText1 = ReadText(Data + MapReservedText1, MapListUnits);
    Record.ReservedText2 = ReadText(Data + MapReservedText2, MapListUnits);

    const uint8_t* Block = Data + MapFirstLayer;
    for (int Layer = 0; Layer < LayerCount; Layer++, Block += LayerBytes) {
        LayerRecord& Slot = Record.Layers[Layer];
        Slot.Name = ReadText(Block + LayerName, LayerNameUnits);
        Slot.Value1 = ReadI32(Block + LayerValue1);
        Slot.Value2 = ReadI32(Block + LayerValue2);
        Slot.Value3 = ReadI32(Block + LayerValue3);
        Slot.Value4 = int8_t(Block[LayerValue4]);
        Slot.Present = 1;
        // Column by column: the first Height cells are column 0, top to
        // bottom. That is the format's order, not a transposition to undo.
        const uint8_t* Cell = Block + LayerCells;
        for (int X = 0; X < Width; X++) {
            for (int Y = 0; Y < Height; Y++, Cell += 2)
                Slot.Cells[X][Y] = int16_t(uint16_t(Cell[0] | (Cell[1] << 8)));
        }
    }
    return 1;
}

// The tile table at Pos: count, then 66-byte entries; tiles past the end of the
// index are not read.
static void LoadTiles(int Archive, const uint8_t* Index, size_t Size, size_t Pos)
{
    if (Size - Pos < 4)
        return;
    int32_t TileCount = ReadI32(Index + Pos);
    Pos += 4;
    LevelArchiveInfo.TileCount = TileCount;
    int32_t Read = 0;
    int64_t PixelsLeft = TilePixelBudget;
    std::vector<uint8_t> Png;
    for (; Read < TileCount && Read < MaxTiles && Size - Pos >= TileEntryBytes; Read++, Pos += TileEntryBytes) {
        std::u16string Name16 = ReadText(Index + Pos, NameUnits);
        std::string Name = Utf16ToUtf8(Name16);
        TileRecord& Tile = tilesByName[Name];
        Tile.Name = Name16;
        Tile.Collision = Index[Pos + TileEntryCollision];
        Tile.Alpha = Index[Pos + TileEntryAlpha];
        if (Tile.Image != 0)
            FreeSprite(Tile.Image); // a name listed twice: the later entry wins
        Tile.Image = 0;
        if (!ReadPackEntry(Archive, "TILES/" + Name, Png, LevelPictureEntryLimit) || Png.empty())
            continue;
        const size_t PngSize = Png.size();
        int Width = 0, Height = 0;
        if (!PngPictureSize(Png.data(), PngSize, &Width, &Height) || Width > LevelPictureMaxSide ||
            Height > LevelPictureMaxSide || int64_t(Width) * Height > PixelsLeft)
            continue;
        PixelsLeft -= int64_t(Width) * Height;
        // Without a screen no sprite can be made and the tile keeps no image.
        Tile.Image = CreateSpriteFromPng(0, Png.data(), PngSize, Tile.Alpha ? SpriteOwnAlpha : SpriteColourKey);
    }
    if (Read < TileCount)
        LevelArchiveInfo.TileCount = Read;
}

static const LevelRecord& FindLevel(const std::string& Name)
{
    static const LevelRecord Empty;
    auto Found = levelsByName.find(Name);
    return Found == levelsByName.end() ? Empty : Found->second;
}

// Lets go of the held level archive, after any decoding of its thumbnails.
static void ReleaseHeldArchive()
{
    for (auto& [Name, Thumbnail] : HeldArchive.Thumbnails)
        if (Thumbnail.Job != 0)
            FreeImage(TakeDecodedImage(Thumbnail.Job));
    if (HeldArchive.Archive != 0)
        CloseArchive(HeldArchive.Archive);
    HeldArchive = HeldArchiveRecord();
}

// The thumbnail entry of a level in the held archive, or nullptr when it has none.
static ThumbnailRecord* FindThumbnail(const std::string& LevelName)
{
    auto Found = HeldArchive.Thumbnails.find(LevelName);
    if (Found != HeldArchive.Thumbnails.end())
        return Found->second.Data != nullptr ? &Found->second : nullptr;
    ThumbnailRecord& Thumbnail = HeldArchive.Thumbnails[LevelName];
    const std::string Name = "THUMBS/" + LevelName + ".png";
    int Position = FindPackEntry(HeldArchive.Archive, Name);
    if (Position < 0)
        return nullptr;
    const PackEntry& Entry = (*ArchiveEntries(HeldArchive.Archive))[size_t(Position)];
    if (Entry.UnpackedSize == 0)
        return nullptr;
    if (Entry.StoredSize == Entry.UnpackedSize && Entry.UnpackedSize <= LevelEntryBufferLimit &&
        Entry.Offset <= HeldArchive.Bytes.size() && Entry.StoredSize <= HeldArchive.Bytes.size() - Entry.Offset) {
        Thumbnail.Data = HeldArchive.Bytes.data() + Entry.Offset; // stored: read in place
        Thumbnail.Size = size_t(Entry.StoredSize);
        return &Thumbnail;
    }
    // Never more than the 20 MiB limit of a level archive entry.
    if (!ReadPackEntryAt(HeldArchive.Archive, Position, Thumbnail.Unpacked, LevelEntryBufferLimit))
        return nullptr;
    Thumbnail.Data = Thumbnail.Unpacked.data();
    Thumbnail.Size = Thumbnail.Unpacked.size();
    return &Thumbnail;
}

static void DropTileImages()
{
    for (auto& [Name, Tile] : tilesByName) {
        if (Tile.Image != 0)
            FreeSprite(Tile.Image);
        Tile.Image = 0;
    }
}
