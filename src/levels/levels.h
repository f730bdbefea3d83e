// Levels: the level archive and level store, the progress list and the
// scores file.
#pragma once

#include "formats/formats.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// levelstore.cpp: "index", "MAPS/", "TILES/" entries of Kistora.maps
// ---------------------------------------------------------------------------

// The entries' layouts and the model's limits (MaxLayers, MaxMapSide,
// MaxCrates, LevelEntryBufferLimit) are in formats/formats.h.
// What one load of the archive may cost, whatever its index claims. Levels
// past MaxLevels and tiles past MaxTiles are not read (the level count then
// reads MaxLevels), as if the index ended there: every level costs a record
// and a level-select card of a quarter screen's width squared.
constexpr int32_t MaxLevels = 100; // kistora-import fills a folder up to this
constexpr int32_t MaxTiles = 256;
// All the maps of one load may unpack to this many bytes together (each one
// still up to the 20 MiB of any entry); maps past it are not read. The
// largest map possible is 44,884 bytes, ours some 9 KB.
constexpr size_t MapBytesBudget = size_t(64) << 20;
// Tile and thumbnail pictures: at most this many bytes of PNG, and at most
// this many pixels a side (tiles are drawn a cell wide, thumbnails on a card).
constexpr size_t LevelPictureEntryLimit = 1 << 20;
constexpr int LevelPictureMaxSide = 1024;

struct LayerRecord {
    std::u16string Name;
    int32_t Value1 = 0, Value2 = 0, Value3 = 0, Value4 = 0;
    uint8_t Present = 0;
    int16_t Cells[MaxMapSide][MaxMapSide] = {}; // [x][y]
};

struct LevelRecord {
    std::u16string TitleKey;
    std::u16string Name;
    int32_t Width = 0, Height = 0;
    int32_t Reserved1 = 0, Reserved2 = 0;
    int32_t LayerCount = 0;
    int32_t Reserved3 = 0, Reserved4 = 0;
    int32_t CrateCount = 0;
    std::u16string CrateList, TargetList, WorkerStart, ReservedText1, ReservedText2;
    LayerRecord Layers[MaxLayers];
};

struct TileRecord {
    std::u16string Name;
    int Image = 0; // sprite handle, 0 when none
    int32_t Collision = 0;
    int32_t Alpha = 0;
};

struct LevelArchiveInfoRecord {
    std::u16string Text1, Text2, Text3;
    int64_t Number = 0;
    int32_t LevelCount = 0;
    int32_t TileCount = 0;
};

extern LevelArchiveInfoRecord LevelArchiveInfo;
extern std::vector<std::string> levelOrder;             // UTF-8 names
extern std::map<std::string, LevelRecord> levelsByName; // keyed by UTF-8 name
extern std::map<std::string, TileRecord> tilesByName;

std::string Utf16ToUtf8(const std::u16string& Text);
void LoadLevelArchive(const std::string& ArchivePath);
// The same parser over an already opened pack archive handle (tests, fuzzing).
void LoadLevelArchiveFrom(int Archive);
void CopyLevelOrder(std::vector<std::string>& List);
std::string GetLevelProperty(const std::string& LevelName, int Property);
std::string GetArchiveProperty(int Property);
// -1 when the layer is not below the level's layer count; 1 free (cell 0); 0 otherwise.
// Cells outside 0..32 are never free.
int32_t IsCellFree(const std::string& LevelName, int Layer, int X, int Y);
void DrawLevel(const std::string& LevelName);
void SetTileSize(double Size);
void SetBoardOriginX(int32_t X);
void SetBoardOriginY(int32_t Y);
// The tile and card sprites went with a closed screen: forget their numbers,
// so that freeing an old one later cannot hit a new sprite that got its number.
void ForgetScreenImages();
// The level archive loaded last stays in memory (read from its file once) for
// the level thumbnails ("THUMBS/" + name + ".png"). TakeLevelThumbnail gives
// a level's thumbnail as a new image, resampled smoothly to Width x Height
// when they are above 0: 0 when it has none or it does not decode, -1 when
// ArchivePath is not the archive held (the caller reads the file itself).
int TakeLevelThumbnail(const std::string& ArchivePath, const std::string& LevelName, int Width, int Height);
// Starts decoding the thumbnails of the levels at positions First to
// First + Count - 1 of the level order on the second core, at that size.
void PrefetchLevelThumbnails(int First, int Count, int Width, int Height);

// ---------------------------------------------------------------------------
// progress.cpp: progress list and scores file
// ---------------------------------------------------------------------------

struct LevelProgress {
    std::string Name;
    std::string TitleKey;
    int32_t Unlocked = 0;
    int CardImage = 0; // sprite handle made by the level select
    int32_t Steps = 0;
    int64_t TimeMs = 0;
};

extern std::vector<LevelProgress> ProgressList;
extern std::vector<std::string> LevelNameList; // copy of the level order

void BuildProgressList();                  // from LevelNameList, titles from GetLevelProperty(name, 0)
int LoadScores(const std::string& Folder); // reads at most the file's first MiB
// The progress list's times, steps and unlocked flags from a scores file's bytes.
void ReadScoresText(const std::vector<uint8_t>& Bytes);
int SaveScores(const std::string& Folder); // 1 when written; a failure is reported
std::string ScoresFileText();              // the exact bytes SaveScores writes
