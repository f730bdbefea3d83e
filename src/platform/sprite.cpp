// Numbered sprite slots: handles, the public operations and the draw. Every sprite keeps its pixels in memory (so
// sprites can be resized, copied and re-keyed). With a graphics card's renderer each also has a texture, uploaded
// lazily at the first draw after a change. With the software renderer the pixels in memory are the only copy: they are
// drawn straight onto the window's surface (blit.cpp, with SDL's own
// arithmetic), so no sprite is held twice. Drawing never allocates or
// uploads otherwise.
//
// A deferred sprite has a renderer instead of fixed pixels: it is drawn by
// its renderer the first time it is shown, and only the few most recently
// shown deferred sprites keep their pixels; the others give them up and are
// drawn again when next shown. Sixty level cards thus cost what a handful do.
//
// The other sprite files: sprite_texture.cpp (textures for SDL's
// renderers), sprite_software.cpp (the software renderer's own drawing, one
// colour and packed sprites), sprite_turn.cpp (turned sprites),
// sprite_deferred.cpp (sprites drawn when shown).
#include "platform/platform_internal.h"
#include "platform/sprite_internal.h"

#include <algorithm>
#include <cmath>

// Handles given out for slot 0 (level tiles, cards) start here, clear of the
// game's fixed slots.
static constexpr int FirstFreeHandle = 1000;
static constexpr int MaxSlot = 65535;

std::vector<SpriteRecord> SpriteSlots(1);
uint64_t SpriteFrameCounter = 0;
// Counts draws, for the least recently shown deferred sprite.
static uint64_t ShowCounter = 0;

static SpriteRecord* PrepareSlot(int Slot, int* Handle);
static void SetPixelsFromRgba(SpriteRecord& Record, const uint32_t* Rgba, int Width, int Height, int ColourKeyed);
static void DrawSprite(int Sprite, int X, int Y, int Blend, int ColourMod, int AlphaMod);

void DestroyAllSprites()
{
    SettleTurns();
    for (SpriteRecord& Record : SpriteSlots)
        DropTexture(Record);
    SpriteSlots.clear();
    SpriteSlots.shrink_to_fit();
    SpriteSlots.resize(1);
    DropSparePixels();
    RenderingSprite = 0;
}

int CreateSpriteFromPng(int Slot, const uint8_t* Data, size_t Size, int Transparency)
{
    std::vector<uint32_t> Rgba;
    int Width = 0, Height = 0, HasAlpha = 0;
    if (Slot < 0 || !DecodePng(Data, Size, Rgba, &Width, &Height, &HasAlpha))
        return 0;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    SetPixelsFromRgba(*Record, Rgba.data(), Width, Height, Transparency != SpriteOwnAlpha || !HasAlpha);
    return Handle;
}

int CreateSpriteFromImage(int Slot, int Image, int Transparency)
{
    ImageRecord* Source = FindImage(Image);
    if (Slot < 0 || Source == nullptr)
        return 0;
    int HasAlpha = Source->HasAlpha;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    Source = FindImage(Image);
    SetPixelsFromRgba(*Record, Source->Pixels.data(), Source->Width, Source->Height,
                      Transparency != SpriteOwnAlpha || !HasAlpha);
    return Handle;
}

int MoveImageToSprite(int Slot, int Image)
{
    SettleTurns();
    ImageRecord* Source = FindImage(Image);
    if (Slot < 0 || Source == nullptr)
        return 0;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    Source = FindImage(Image);
    if (Record == nullptr || Source == nullptr)
        return 0;
    // The image's own buffer becomes the sprite's, turned in place from
    // 0xRRGGBBAA into the sprite's 0xAARRGGBB: no second copy of a picture
    // the size of the screen.
    Record->Pixels.swap(Source->Pixels);
    for (uint32_t& P : Record->Pixels)
        P = (P >> 8) | (P << 24);
    Record->Width = Record->DisplayWidth = Source->Width;
    Record->Height = Record->DisplayHeight = Source->Height;
    Record->Dirty = 1;
    ++Record->Version;
    FreeImage(Image);
    return Handle;
}

int CreateEmptySprite(int Slot, int Width, int Height)
{
    if (Slot < 0 || !PictureSizeValid(Width, Height))
        return 0;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    // One colour throughout: held as a single run until something is drawn into it.
    Record->Pixels.clear();
    Record->Pixels.shrink_to_fit();
    Record->Width = Record->DisplayWidth = Width;
    Record->Height = Record->DisplayHeight = Height;
    SetUniform(*Record, 0u);
    return Handle;
}

int CreateDeferredSprite(int Slot, int Width, int Height, SpriteRenderFunction Render, int Argument)
{
    if (Slot < 0 || Render == nullptr || !PictureSizeValid(Width, Height))
        return 0;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    GiveUpPixels(*Record);
    Record->Width = Record->DisplayWidth = Width;
    Record->Height = Record->DisplayHeight = Height;
    Record->Deferred = 1;
    Record->Render = Render;
    Record->RenderArgument = Argument;
    return Handle;
}

void SetSpriteRenderer(int Sprite, SpriteRenderFunction Render, int Argument)
{
    SettleTurns();
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr || Render == nullptr)
        return;
    GiveUpPixels(*Record);
    Record->Deferred = 1;
    Record->Render = Render;
    Record->RenderArgument = Argument;
    ++Record->Version;
}

int CopySprite(int Slot, int Source)
{
    if (ReadySprite(Source) == nullptr || Slot < 0)
        return 0;
    if (Slot == Source)
        return Source;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    const SpriteRecord& From = SpriteSlots[size_t(Source)]; // PrepareSlot may have moved the records
    Record->Pixels = From.Pixels;
    Record->Width = From.Width;
    Record->Height = From.Height;
    Record->DisplayWidth = From.DisplayWidth;
    Record->DisplayHeight = From.DisplayHeight;
    Record->Angle = From.Angle;
    return Handle;
}

void FreeSprite(int Sprite)
{
    SettleTurns();
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr)
        return;
    DropTexture(*Record);
    *Record = SpriteRecord();
}

int SpriteExists(int Sprite)
{
    return FindSprite(Sprite) ? 1 : 0;
}

int SpriteWidth(int Sprite)
{
    SpriteRecord* Record = FindSprite(Sprite);
    return Record ? Record->DisplayWidth : 0;
}

int SpriteHeight(int Sprite)
{
    SpriteRecord* Record = FindSprite(Sprite);
    return Record ? Record->DisplayHeight : 0;
}

void CopyImageToSprite(int Sprite, int Image)
{
    ImageRecord* Source = FindImage(Image);
    SpriteRecord* Target = FindSprite(Sprite);
    if (Target == nullptr || Source == nullptr)
        return;
    // An image that covers the whole sprite replaces all of it: a deferred
    // sprite need not be drawn first.
    SpriteRecord* Record = WritableSprite(Sprite, Source->Width >= Target->Width && Source->Height >= Target->Height);
    Source = FindImage(Image); // a renderer that ran may have moved the images
    if (Record == nullptr || Source == nullptr)
        return;
    // The part of the image that overlaps the sprite replaces its pixels.
    int Columns = std::min(Record->Width, Source->Width);
    int Rows = std::min(Record->Height, Source->Height);
    for (int Row = 0; Row < Rows; ++Row) {
        const uint32_t* In = Source->Pixels.data() + size_t(Row) * Source->Width;
        uint32_t* Out = Record->Pixels.data() + size_t(Row) * Record->Width;
        for (int X = 0; X < Columns; ++X)
            Out[X] = (In[X] >> 8) | (In[X] << 24);
    }
    Record->Dirty = 1;
    ++Record->Version;
}

void FillSprite(int Sprite, uint32_t Colour)
{
    SettleTurns();
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr)
        return;
    if (Record->Deferred && RenderingSprite != Sprite) {
        Record->Deferred = 0; // written from outside its renderer: an ordinary sprite now
        Record->Render = nullptr;
    }
    if (!VideoScreen.Software && !Record->Pixels.empty()) {
        std::fill(Record->Pixels.begin(), Record->Pixels.end(), (Colour >> 8) | (Colour << 24));
        Record->Dirty = 1;
        ++Record->Version;
        return;
    }
    // One colour throughout (the dim layer): a single run, never a screen of pixels.
    KeepSpare(Record->Pixels);
    Record->Pixels.clear();
    Record->Pixels.shrink_to_fit();
    SetUniform(*Record, (Colour >> 8) | (Colour << 24));
}

void SetSpriteKeyColour(int Sprite, uint32_t Colour)
{
    SettleTurns();
    uint32_t Key = Colour >> 8; // 0x00RRGGBB
    SpriteRecord* Uniform = FindSprite(Sprite);
    if (Uniform != nullptr && Uniform->Pixels.empty() && UniformColour(*Uniform, nullptr) &&
        (!Uniform->Deferred || RenderingSprite == Sprite)) {
        if ((Uniform->Packed[1] & 0xffffffu) == Key)
            Uniform->Packed[1] &= 0xffffffu;
        Uniform->Dirty = 1;
        ++Uniform->Version;
        return;
    }
    SpriteRecord* Record = WritableSprite(Sprite, 0);
    if (Record == nullptr)
        return;
    for (uint32_t& P : Record->Pixels)
        if ((P & 0xffffffu) == Key)
            P &= 0xffffffu;
    Record->Dirty = 1;
    ++Record->Version;
}

void ZoomSprite(int Sprite, int Width, int Height)
{
    SettleTurns();
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr || Width <= 0 || Height <= 0)
        return;
    if (Width == Record->DisplayWidth && Height == Record->DisplayHeight)
        return;
    Record->DisplayWidth = Width;
    Record->DisplayHeight = Height;
    ++Record->Version;
}

void ResizeSprite(int Sprite, int Width, int Height)
{
    SettleTurns();
    if (!PictureSizeValid(Width, Height))
        return;
    SpriteRecord* Record = WritableSprite(Sprite, 0);
    if (Record == nullptr)
        return;
    if (Width != Record->Width || Height != Record->Height) {
        std::vector<uint32_t> Resized(size_t(Width) * Height);
        ResamplePixels(Record->Pixels.data(), Record->Width, Record->Height, Resized.data(), Width, Height, 24);
        Record->Pixels.swap(Resized);
        Record->Width = Width;
        Record->Height = Height;
        DropTexture(*Record); // a new size needs a new texture
    }
    Record->DisplayWidth = Width;
    Record->DisplayHeight = Height;
    ++Record->Version;
}

void TurnSprite(int Sprite, double Degrees)
{
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr || !std::isfinite(Degrees))
        return;
    Record->Angle = std::fmod(Record->Angle + Degrees, 360.0);
}

void ShowSprite(int Sprite, int X, int Y)
{
    DrawSprite(Sprite, X, Y, BlendPlain, 255, 255);
}

void ShowSpriteIntensity(int Sprite, int X, int Y, int Intensity)
{
    DrawSprite(Sprite, X, Y, BlendAlpha, std::clamp(Intensity, 0, 255), 255);
}

void ShowSpriteTransparent(int Sprite, int X, int Y, int Alpha)
{
    DrawSprite(Sprite, X, Y, BlendAlpha, 255, std::clamp(Alpha, 0, 255));
}

int SpritePixelsHeld(int Sprite)
{
    SpriteRecord* Record = FindSprite(Sprite);
    return Record != nullptr && !Record->Pixels.empty() ? 1 : 0;
}

SpriteRecord* FindSprite(int Sprite)
{
    if (Sprite <= 0 || size_t(Sprite) >= SpriteSlots.size() || !SpriteSlots[size_t(Sprite)].InUse)
        return nullptr;
    return &SpriteSlots[size_t(Sprite)];
}

// The record for Slot (0: the lowest free handle from 1000 on), emptied and
// marked in use. nullptr when the slot number is unusable.
static SpriteRecord* PrepareSlot(int Slot, int* Handle)
{
    SettleTurns();
    *Handle = 0;
    if (Slot < 0 || Slot > MaxSlot)
        return nullptr;
    if (Slot == 0) {
        Slot = FirstFreeHandle;
        while (size_t(Slot) < SpriteSlots.size() && SpriteSlots[size_t(Slot)].InUse)
            ++Slot;
        if (Slot > MaxSlot)
            return nullptr;
    }
    if (size_t(Slot) >= SpriteSlots.size())
        SpriteSlots.resize(size_t(Slot) + 1);
    SpriteRecord& Record = SpriteSlots[size_t(Slot)];
    DropTexture(Record);
    std::vector<uint32_t> Keep;
    Keep.swap(Record.Pixels); // reuse the buffer when the slot is refilled
    Record = SpriteRecord();
    Record.Pixels.swap(Keep);
    Record.InUse = 1;
    *Handle = Slot;
    return &Record;
}

// Converts 0xRRGGBBAA pixels into the record; colour keying gives alpha 0
// exactly where RGB is 0,0,0 and 255 elsewhere.
static void SetPixelsFromRgba(SpriteRecord& Record, const uint32_t* Rgba, int Width, int Height, int ColourKeyed)
{
    size_t Count = size_t(Width) * Height;
    Record.Pixels.resize(Count);
    uint32_t* Out = Record.Pixels.data();
    if (ColourKeyed) {
        for (size_t I = 0; I < Count; ++I) {
            uint32_t Rgb = Rgba[I] >> 8;
            Out[I] = Rgb == 0 ? 0u : (Rgb | 0xff000000u);
        }
    } else {
        for (size_t I = 0; I < Count; ++I)
            Out[I] = (Rgba[I] >> 8) | (Rgba[I] << 24);
    }
    Record.Width = Record.DisplayWidth = Width;
    Record.Height = Record.DisplayHeight = Height;
    Record.Dirty = 1;
    ++Record.Version;
}

// Draws the sprite at its display size with its top-left at (X, Y), turned
// about the centre of that rectangle by its angle.
static void DrawSprite(int Sprite, int X, int Y, int Blend, int ColourMod, int AlphaMod)
{
    if (!VideoScreen.Open)
        return;
    // A sprite of one colour throughout is drawn from that colour alone.
    SpriteRecord* Uniform = FindSprite(Sprite);
    uint32_t Colour = 0;
    if (Uniform != nullptr && VideoScreen.Software && !VideoScreen.PlainDrawing && Uniform->Pixels.empty() &&
        UniformColour(*Uniform, &Colour) && DrawUniform(*Uniform, Colour, X, Y, Blend, ColourMod, AlphaMod)) {
        Uniform->LastShown = ++ShowCounter;
        Uniform->ShownFrame = SpriteFrameCounter;
        VideoScreen.Drawn = 1;
        return;
    }
    SpriteRecord* Record = ReadySprite(Sprite);
    if (Record == nullptr || Record->Pixels.empty())
        return;
    Record->LastShown = ++ShowCounter;
    Record->ShownFrame = SpriteFrameCounter;
    VideoScreen.Drawn = 1;
    if (VideoScreen.Software && !VideoScreen.PlainDrawing &&
        DrawSoftware(Sprite, *Record, X, Y, Blend, ColourMod, AlphaMod))
        return;
    if (VideoScreen.Software && VideoScreen.PlainDrawing == 1 && Record->Angle != 0.0 && Blend == BlendAlpha &&
        DrawTurnedPlain(*Record, X, Y, ColourMod, AlphaMod))
        return;
    SDL_Texture* Texture = ReadyTexture(*Record, Blend, ColourMod, AlphaMod);
    if (Texture == nullptr)
        return;
    SDL_Rect Target = {X, Y, Record->DisplayWidth, Record->DisplayHeight};
    if (Record->Angle == 0.0)
        SDL_RenderCopy(VideoScreen.Renderer, Texture, nullptr, &Target);
    else
        SDL_RenderCopyEx(VideoScreen.Renderer, Texture, nullptr, &Target, Record->Angle, nullptr, SDL_FLIP_NONE);
}
