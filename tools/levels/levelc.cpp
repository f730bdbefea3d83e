// kistora-levelc: compiles the level sources into the level archive Kistora.maps.
//
//   kistora-levelc --out FILE (--tiles DIR | --placeholder-tiles) [--art DIR]
//                  [--thumbs DIR] [--sheet FILE] SOURCE...
//
// The archive holds "index", one "MAPS/<name>" per level (30 x 15 cells, layer 0
// floor or outside on every cell, layer 1 target marks, layer 2 joined walls),
// one "TILES/<n>" per tile and one "THUMBS/<name>.png" (480 x 270) per level.
// --placeholder-tiles draws plain tiles of our own for trying the tools out before
// the tile pictures exist; the build always passes --tiles.
#include "formats/formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "levelkit.h"
#include "packwriter.h"
#include "picture.h"

namespace {

constexpr int ThumbWidth = 480, ThumbHeight = 270;
// The three layers the compiler writes: floor or outside, target marks, walls.
constexpr int CompiledLayers = 3;
static_assert(CompiledLayers == WallLayer + 1 && CompiledLayers >= MinLayers);

struct CompiledLevel {
    SourceLevel Source;
    LevelGrid Grid;
    int OffsetX = 0, OffsetY = 0; // the grid's cell (0, 0) in the field
    int16_t Layers[CompiledLayers][KitFieldWidth][KitFieldHeight] = {};
    int Crate[KitFieldWidth][KitFieldHeight] = {};
};

struct TileSet {
    Picture Tiles[KitTileCount + 1]; // by tile number
    std::vector<uint8_t> Png[KitTileCount + 1];
    Picture CrateIcon, WorkerIcon;
    int Size = 0;
};

void PutText(std::vector<uint8_t>& Bytes, size_t Offset, const std::string& Text, size_t Units);
void PutInt(std::vector<uint8_t>& Bytes, size_t Offset, int64_t Value, int Size);
void CompileLayers(CompiledLevel& Level);
std::vector<uint8_t> MapEntry(const CompiledLevel& Level);
std::vector<uint8_t> IndexEntry(const std::vector<CompiledLevel>& Levels);
std::string PositionList(const CompiledLevel& Level, const std::vector<int>& Cells);
int LoadTiles(const std::string& Folder, const std::string& ArtFolder, int Placeholder, TileSet& Set,
              std::string& Error);
void DrawPlaceholderTiles(TileSet& Set);
void DrawThumbnail(const CompiledLevel& Level, const TileSet& Set, Picture& Thumb);

} // namespace

int main(int ArgCount, char** Args)
{
    std::string Out, TilesFolder, ArtFolder, ThumbsFolder, SheetPath;
    int Placeholder = 0;
    std::vector<std::string> Sources;
    for (int I = 1; I < ArgCount; I++) {
        std::string Arg = Args[I];
        auto Value = [&](std::string& Into) {
            if (I + 1 >= ArgCount)
                return 0;
            Into = Args[++I];
            return 1;
        };
        int Ok = 1;
        if (Arg == "--out")
            Ok = Value(Out);
        else if (Arg == "--tiles")
            Ok = Value(TilesFolder);
        else if (Arg == "--art")
            Ok = Value(ArtFolder);
        else if (Arg == "--thumbs")
            Ok = Value(ThumbsFolder);
        else if (Arg == "--sheet")
            Ok = Value(SheetPath);
        else if (Arg == "--placeholder-tiles")
            Placeholder = 1;
        else if (!Arg.empty() && Arg[0] == '-')
            Ok = 0;
        else
            Sources.push_back(Arg);
        if (!Ok) {
            std::fprintf(stderr, "kistora-levelc: bad argument %s\n", Arg.c_str());
            return 2;
        }
    }
    if (Out.empty() || Sources.empty() || (TilesFolder.empty() && !Placeholder)) {
        std::fprintf(stderr, "usage: kistora-levelc --out FILE (--tiles DIR | --placeholder-tiles) [--art DIR] "
                             "[--thumbs DIR] [--sheet FILE] SOURCE...\n");
        return 2;
    }
    std::vector<CompiledLevel> Levels;
    std::set<std::string> Names;
    std::string Error;
    for (const std::string& Path : Sources) {
        std::vector<SourceLevel> Read;
        if (!ReadLevelFile(Path, Read, Error)) {
            std::fprintf(stderr, "kistora-levelc: %s\n", Error.c_str());
            return 1;
        }
        for (const SourceLevel& Source : Read) {
            CompiledLevel Level;
            Level.Source = Source;
            if (!BuildLevelGrid(Source.Rows, Level.Grid, Error)) {
                std::fprintf(stderr, "kistora-levelc: %s:%d: level %s: %s\n", Path.c_str(), Source.Line,
                             Source.Name.c_str(), Error.c_str());
                return 1;
            }
            if (!Names.insert(Source.Name).second) {
                std::fprintf(stderr, "kistora-levelc: %s:%d: level name %s used twice\n", Path.c_str(), Source.Line,
                             Source.Name.c_str());
                return 1;
            }
            CompileLayers(Level);
            Levels.push_back(std::move(Level));
        }
    }
    TileSet Set;
    if (!LoadTiles(TilesFolder, ArtFolder, Placeholder, Set, Error)) {
        std::fprintf(stderr, "kistora-levelc: %s\n", Error.c_str());
        return 1;
    }
    std::vector<PackInput> Entries;
    Entries.push_back({"index", IndexEntry(Levels)});
    std::vector<Picture> Thumbs;
    for (const CompiledLevel& Level : Levels) {
        Entries.push_back({"MAPS/" + Level.Source.Name, MapEntry(Level)});
        Picture Thumb;
        DrawThumbnail(Level, Set, Thumb);
        std::vector<uint8_t> Png;
        if (!EncodePng(Thumb, Png)) {
            std::fprintf(stderr, "kistora-levelc: thumbnail of %s cannot be encoded\n", Level.Source.Name.c_str());
            return 1;
        }
        if (!ThumbsFolder.empty() && !WritePngFile(ThumbsFolder + "/" + Level.Source.Name + ".png", Thumb)) {
            std::fprintf(stderr, "kistora-levelc: cannot write %s/%s.png\n", ThumbsFolder.c_str(),
                         Level.Source.Name.c_str());
            return 1;
        }
        Entries.push_back({"THUMBS/" + Level.Source.Name + ".png", std::move(Png)});
        if (!SheetPath.empty())
            Thumbs.push_back(std::move(Thumb));
    }
    for (int Tile = 1; Tile <= KitTileCount; Tile++)
        Entries.push_back({"TILES/" + std::to_string(Tile), Set.Png[Tile]});
    PackOptions Options;
    if (!WritePackFile(Out, Entries, Options)) {
        std::fprintf(stderr, "kistora-levelc: cannot write %s\n", Out.c_str());
        return 1;
    }
    if (!SheetPath.empty()) {
        // Contact sheet: six half-size thumbnails a row, numbered by position.
        const int Columns = 6, CellW = ThumbWidth / 2, CellH = ThumbHeight / 2, Gap = 6;
        int Rows = ((int)Thumbs.size() + Columns - 1) / Columns;
        Picture Sheet;
        MakePicture(Sheet, Columns * (CellW + Gap) + Gap, Rows * (CellH + Gap) + Gap, 0x202020FF);
        for (size_t K = 0; K < Thumbs.size(); K++) {
            Picture Small;
            ScaleArea(Thumbs[K], 0, 0, ThumbWidth, ThumbHeight, CellW, CellH, Small);
            DrawPicture(Sheet, Small, Gap + (int)(K % Columns) * (CellW + Gap),
                        Gap + (int)(K / Columns) * (CellH + Gap), 0);
        }
        if (!WritePngFile(SheetPath, Sheet)) {
            std::fprintf(stderr, "kistora-levelc: cannot write %s\n", SheetPath.c_str());
            return 1;
        }
    }
    std::printf("kistora-levelc: %zu levels, %d tiles -> %s\n", Levels.size(), KitTileCount, Out.c_str());
    return 0;
}

namespace {

// Fixed-width UTF-16LE text: Units code units, zero-filled after the text.
void PutText(std::vector<uint8_t>& Bytes, size_t Offset, const std::string& Text, size_t Units)
{
    for (size_t K = 0; K < Text.size() && K < Units; K++) {
        Bytes[Offset + 2 * K] = (uint8_t)Text[K]; // our texts are ASCII
        Bytes[Offset + 2 * K + 1] = 0;
    }
}

void PutInt(std::vector<uint8_t>& Bytes, size_t Offset, int64_t Value, int Size)
{
    for (int K = 0; K < Size; K++)
        Bytes[Offset + K] = (uint8_t)((uint64_t)Value >> (8 * K));
}

// Centres the grid in the field and fills the three layers and the crate map.
void CompileLayers(CompiledLevel& Level)
{
    const LevelGrid& Grid = Level.Grid;
    Level.OffsetX = (KitFieldWidth - Grid.Width) / 2;
    Level.OffsetY = (KitFieldHeight - Grid.Height) / 2;
    int Wall[KitFieldWidth + 2][KitFieldHeight + 2] = {};
    int Inside[KitFieldWidth][KitFieldHeight] = {};
    for (int Y = 0; Y < Grid.Height; Y++) {
        for (int X = 0; X < Grid.Width; X++) {
            int Cell = Y * Grid.Width + X;
            int FX = X + Level.OffsetX, FY = Y + Level.OffsetY;
            Wall[FX + 1][FY + 1] = Grid.Wall[Cell];
            Inside[FX][FY] = Grid.Inside[Cell];
            if (Grid.Target[Cell])
                Level.Layers[1][FX][FY] = KitTileTarget;
        }
    }
    for (int C : Grid.Crates)
        Level.Crate[C % Grid.Width + Level.OffsetX][C / Grid.Width + Level.OffsetY] = 1;
    // Floor is where the worker can go; every other cell, walled pockets too, is outside.
    for (int X = 0; X < KitFieldWidth; X++) {
        for (int Y = 0; Y < KitFieldHeight; Y++) {
            Level.Layers[0][X][Y] = (int16_t)(Inside[X][Y] ? KitTileFloor : KitTileOutside);
            if (Wall[X + 1][Y + 1]) {
                int Mask = Wall[X + 1][Y] * 1 + Wall[X + 2][Y + 1] * 2 + Wall[X + 1][Y + 2] * 4 + Wall[X][Y + 1] * 8;
                Level.Layers[WallLayer][X][Y] = (int16_t)(KitTileWallFirst + Mask);
            }
        }
    }
}

std::string PositionList(const CompiledLevel& Level, const std::vector<int>& Cells)
{
    std::string Text;
    for (int Cell : Cells) {
        if (!Text.empty())
            Text += ",";
        Text += std::to_string(Cell % Level.Grid.Width + Level.OffsetX) + "," +
                std::to_string(Cell / Level.Grid.Width + Level.OffsetY);
    }
    return Text;
}

std::vector<uint8_t> MapEntry(const CompiledLevel& Level)
{
    const size_t LayerBytes = LayerBlockBytes(KitFieldWidth, KitFieldHeight);
    std::vector<uint8_t> Bytes(MapFirstLayer + CompiledLayers * LayerBytes, 0);
    std::memcpy(Bytes.data(), MapMagic, sizeof MapMagic);
    PutText(Bytes, MapName, Level.Source.Name, NameUnits);
    PutText(Bytes, MapTitleKey, Level.Source.TitleKey, MapTitleKeyUnits);
    PutInt(Bytes, MapWidth, KitFieldWidth, 4);
    PutInt(Bytes, MapHeight, KitFieldHeight, 4);
    PutInt(Bytes, MapLayerCount, CompiledLayers, 4);
    PutInt(Bytes, MapCrateCount, (int64_t)Level.Grid.Crates.size(), 4);
    std::vector<int> Targets;
    for (int Cell = 0; Cell < (int)Level.Grid.Target.size(); Cell++) {
        if (Level.Grid.Target[Cell])
            Targets.push_back(Cell);
    }
    PutText(Bytes, MapCrateList, PositionList(Level, Level.Grid.Crates), MapListUnits);
    PutText(Bytes, MapTargetList, PositionList(Level, Targets), MapListUnits);
    PutText(Bytes, MapWorkerStart, PositionList(Level, {Level.Grid.Worker}), MapListUnits);
    const char* LayerNames[CompiledLayers] = {"floor", "targets", "walls"};
    for (int Layer = 0; Layer < CompiledLayers; Layer++) {
        size_t Base = MapFirstLayer + Layer * LayerBytes;
        PutText(Bytes, Base + LayerName, LayerNames[Layer], LayerNameUnits);
        size_t At = Base + LayerCells;
        for (int X = 0; X < KitFieldWidth; X++) { // column by column, as the format has it
            for (int Y = 0; Y < KitFieldHeight; Y++) {
                PutInt(Bytes, At, Level.Layers[Layer][X][Y], 2);
                At += 2;
            }
        }
    }
    return Bytes;
}

std::vector<uint8_t> IndexEntry(const std::vector<CompiledLevel>& Levels)
{
    size_t L = Levels.size();
    // No skipped records (K = 0): the tile count follows K directly.
    const size_t SkipCount = IndexLevelNames + NameBytes * L, TileCountAt = SkipCount + 4, Tiles = TileCountAt + 4;
    std::vector<uint8_t> Bytes(Tiles + TileEntryBytes * KitTileCount, 0);
    std::memcpy(Bytes.data(), IndexMagic, sizeof IndexMagic);
    PutText(Bytes, IndexText1, "Kistora levels", IndexArchiveTextUnits);
    PutText(Bytes, IndexText2, "Made for Kistora by its own level compiler", IndexArchiveTextUnits);
    PutInt(Bytes, IndexNumber, 1, 8); // the level set's edition
    PutText(Bytes, IndexText3, "1.0", IndexText3Units);
    PutInt(Bytes, IndexLevelCount, (int64_t)L, 4);
    for (size_t K = 0; K < L; K++)
        PutText(Bytes, IndexLevelNames + NameBytes * K, Levels[K].Source.Name, NameUnits);
    PutInt(Bytes, SkipCount, 0, 4);
    PutInt(Bytes, TileCountAt, KitTileCount, 4);
    for (int Tile = 1; Tile <= KitTileCount; Tile++) {
        size_t Base = Tiles + TileEntryBytes * (Tile - 1);
        PutText(Bytes, Base, std::to_string(Tile), NameUnits);
        Bytes[Base + TileEntryCollision] = Tile >= KitTileWallFirst; // collision: the walls
        Bytes[Base + TileEntryAlpha] = Tile == KitTileTarget;        // alpha: the target mark over the floor
    }
    return Bytes;
}

int LoadTiles(const std::string& Folder, const std::string& ArtFolder, int Placeholder, TileSet& Set,
              std::string& Error)
{
    if (Placeholder) {
        DrawPlaceholderTiles(Set);
    } else {
        for (int Tile = 1; Tile <= KitTileCount; Tile++) {
            std::string Path = Folder + "/" + KitTileFile(Tile);
            if (!ReadPngFile(Path, Set.Tiles[Tile])) {
                Error = "tile picture " + Path + " is missing or not a PNG";
                return 0;
            }
            if (Set.Tiles[Tile].Width != Set.Tiles[KitTileFloor].Width ||
                Set.Tiles[Tile].Width != Set.Tiles[Tile].Height) {
                Error = "tile picture " + Path + " is not square at the floor tile's size";
                return 0;
            }
            FILE* File = std::fopen(Path.c_str(), "rb");
            if (!File) {
                Error = "cannot read " + Path;
                return 0;
            }
            uint8_t Buffer[65536];
            size_t Got;
            while ((Got = std::fread(Buffer, 1, sizeof Buffer, File)) > 0)
                Set.Png[Tile].insert(Set.Png[Tile].end(), Buffer, Buffer + Got);
            std::fclose(File);
        }
    }
    Set.Size = Set.Tiles[KitTileFloor].Width;
    // Crate and worker for the thumbnails: the art pictures when they exist, else plain shapes.
    int S = Set.Size;
    if (ArtFolder.empty() || !ReadPngFile(ArtFolder + "/crate.png", Set.CrateIcon)) {
        MakePicture(Set.CrateIcon, S, S, 0);
        FillRect(Set.CrateIcon, S / 8, S / 8, S * 3 / 4, S * 3 / 4, 0x6B4423FF);
        FillRect(Set.CrateIcon, S / 8 + S / 16, S / 8 + S / 16, S * 3 / 4 - S / 8, S * 3 / 4 - S / 8, 0xC08A4AFF);
        FillRect(Set.CrateIcon, S / 8, S / 2 - S / 24, S * 3 / 4, S / 12, 0x6B4423FF);
    }
    if (ArtFolder.empty() || !ReadPngFile(ArtFolder + "/idle_down.png", Set.WorkerIcon)) {
        MakePicture(Set.WorkerIcon, S, S, 0);
        FillRect(Set.WorkerIcon, S * 3 / 8, S / 8, S / 4, S / 4, 0xF0C8A0FF);
        FillRect(Set.WorkerIcon, S / 4, S * 3 / 8, S / 2, S * 3 / 8, 0x2F6FD0FF);
        FillRect(Set.WorkerIcon, S * 5 / 16, S * 3 / 4, S * 3 / 8, S / 8, 0x303030FF);
    }
    return 1;
}

// Plain tiles for trying the compiler without the art: never shipped.
void DrawPlaceholderTiles(TileSet& Set)
{
    const int S = 64;
    MakePicture(Set.Tiles[KitTileFloor], S, S, 0x8A7F6EFF);
    FillRect(Set.Tiles[KitTileFloor], 0, 0, S, 1, 0x7A705FFF);
    FillRect(Set.Tiles[KitTileFloor], 0, 0, 1, S, 0x7A705FFF);
    MakePicture(Set.Tiles[KitTileOutside], S, S, 0x2B3A2BFF);
    MakePicture(Set.Tiles[KitTileTarget], S, S, 0x00000000);
    FillRect(Set.Tiles[KitTileTarget], 16, 16, 32, 32, 0xE86A17C0);
    FillRect(Set.Tiles[KitTileTarget], 24, 24, 16, 16, 0x00000000);
    for (int Mask = 0; Mask < 16; Mask++) {
        Picture& Wall = Set.Tiles[KitTileWallFirst + Mask];
        MakePicture(Wall, S, S, 0x5A5A66FF);
        FillRect(Wall, 8, 8, 48, 48, 0x75758AFF);
        if (Mask & 1)
            FillRect(Wall, 8, 0, 48, 8, 0x75758AFF);
        if (Mask & 2)
            FillRect(Wall, 56, 8, 8, 48, 0x75758AFF);
        if (Mask & 4)
            FillRect(Wall, 8, 56, 48, 8, 0x75758AFF);
        if (Mask & 8)
            FillRect(Wall, 0, 8, 8, 48, 0x75758AFF);
    }
    for (int Tile = 1; Tile <= KitTileCount; Tile++)
        EncodePng(Set.Tiles[Tile], Set.Png[Tile]);
}

// The level drawn from its own tiles, crates and worker, cropped to the walls
// (plus half a cell) and widened to 16:9; cells beyond the field show the outside tile.
void DrawThumbnail(const CompiledLevel& Level, const TileSet& Set, Picture& Thumb)
{
    const int S = Set.Size;
    const LevelGrid& Grid = Level.Grid;
    double Wide = Grid.Width + 1.0, High = Grid.Height + 1.0;
    if (Wide * 9 > High * 16)
        High = Wide * 9 / 16;
    else
        Wide = High * 16 / 9;
    double CentreX = Level.OffsetX + Grid.Width / 2.0, CentreY = Level.OffsetY + Grid.Height / 2.0;
    int FirstX = (int)std::floor(CentreX - Wide / 2), LastX = (int)std::ceil(CentreX + Wide / 2);
    int FirstY = (int)std::floor(CentreY - High / 2), LastY = (int)std::ceil(CentreY + High / 2);
    Picture Plane;
    MakePicture(Plane, (LastX - FirstX) * S, (LastY - FirstY) * S, 0x000000FF);
    for (int X = FirstX; X < LastX; X++) {
        for (int Y = FirstY; Y < LastY; Y++) {
            int PX = (X - FirstX) * S, PY = (Y - FirstY) * S;
            int InField = X >= 0 && Y >= 0 && X < KitFieldWidth && Y < KitFieldHeight;
            if (!InField) {
                DrawPicture(Plane, Set.Tiles[KitTileOutside], PX, PY, 0);
                continue;
            }
            for (int Layer = 0; Layer < CompiledLayers; Layer++) {
                int V = Level.Layers[Layer][X][Y];
                if (V <= 0)
                    continue;
                DrawPicture(Plane, Set.Tiles[V], PX, PY, V == KitTileTarget ? 1 : Layer == 0 ? 0 : 2);
            }
            if (Level.Crate[X][Y])
                DrawPictureScaled(Plane, Set.CrateIcon, PX, PY, S, S);
        }
    }
    int Worker = Grid.Worker;
    DrawPictureScaled(Plane, Set.WorkerIcon, (Worker % Grid.Width + Level.OffsetX - FirstX) * S,
                      (Worker / Grid.Width + Level.OffsetY - FirstY) * S, S, S);
    ScaleArea(Plane, (CentreX - Wide / 2 - FirstX) * S, (CentreY - High / 2 - FirstY) * S, Wide * S, High * S,
              ThumbWidth, ThumbHeight, Thumb);
    for (size_t K = 3; K < Thumb.Pixels.size(); K += 4)
        Thumb.Pixels[K] = 255; // the card shows it opaque
}

} // namespace
