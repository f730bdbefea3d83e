// Numbered sprite slots. Every sprite keeps its pixels in memory (so sprites
// can be resized, copied and re-keyed). With a graphics card's renderer each
// also has a texture, uploaded lazily at the first draw after a change. With
// the software renderer the pixels in memory are the only copy: they are
// drawn straight onto the window's surface (blit.cpp, with SDL's own
// arithmetic), so no sprite is held twice. Drawing never allocates or
// uploads otherwise.
//
// A deferred sprite has a renderer instead of fixed pixels: it is drawn by
// its renderer the first time it is shown, and only the few most recently
// shown deferred sprites keep their pixels; the others give them up and are
// drawn again when next shown. Sixty level cards thus cost what a handful do.
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <algorithm>
#include <array>
#include <cmath>

// Handles given out for slot 0 (level tiles, cards) start here, clear of the
// game's fixed slots.
static constexpr int FirstFreeHandle = 1000;
static constexpr int MaxSlot = 65535;
// A zoomed sprite is scaled once on the CPU into a texture of its display
// size (then every draw is a 1:1 copy); above this many pixels the renderer
// scales at each draw instead.
static constexpr int64_t MaxPrescaledPixels = int64_t(1) << 24;
static constexpr size_t KeptScalePixels = size_t(1) << 20;
// Turning a screen-sized sprite costs the software renderer milliseconds,
// so it is turned again only when its angle moves by this many degrees (the
// title background sways 0.01 degrees per frame).
static constexpr double TurnStep = 0.05;
// Deferred sprites that keep their pixels at once: the five cards of the
// level strip and the ones a slide brings in next.
static constexpr int MaxDeferredKept = 8;
// Software renderer: a sprite of at least this many pixels not shown for
// this many frames is packed (its runs of equal pixels counted), and
// unpacked when next needed; so are its scaled and turned copies dropped.
// Panels and the splash pack to a tenth or less; a sprite that would not
// pack to half its size is left as it is.
static constexpr size_t PackablePixels = size_t(1) << 18;
static constexpr uint64_t IdleFrames = 30;

enum SpriteBlendKind { BlendUnset = -1, BlendPlain = 0, BlendAlpha = 1 };

struct SpriteRecord {
    int InUse = 0;
    int Width = 0; // pixel size
    int Height = 0;
    int DisplayWidth = 0; // size on screen (zoom)
    int DisplayHeight = 0;
    double Angle = 0.0;           // degrees, clockwise on screen
    std::vector<uint32_t> Pixels; // 0xAARRGGBB; empty while a deferred sprite has none
    uint32_t Version = 0;         // counts changes of pixels and display size
    // Graphics card renderer: the texture and what it is set to now, so a
    // draw only calls SDL for changes.
    SDL_Texture* Texture = nullptr;
    int TextureWidth = 0;           // size of the texture: the display size when
    int TextureHeight = 0;          // the sprite is zoomed (scaled once, here)
    int TextureScaledFiltered = -1; // sampling the scaled content was made with
    int Dirty = 1;                  // pixels changed since the last upload
    int Opaque = 0;                 // every alpha is 255 (known after the upload)
    int TextureBlend = BlendUnset;
    int TextureColourMod = -1;
    int TextureAlphaMod = -1;
    int TextureFiltered = -1;
    // Software renderer: a zoomed sprite at its display size, made once per version.
    std::vector<uint32_t> Scaled;
    int64_t ScaledKey = -1; // version x 2 + sampling
    // Software renderer: the sprite turned on the CPU, the part of its box on
    // the screen, kept while its angle (in steps of TurnStep degrees), pixels
    // and size stay the same.
    std::vector<uint32_t> Turned;
    std::array<int64_t, 7> TurnedKey = {}; // step, version, sampling, box and visible corner
    long TurnedStep = 0;                   // the step Turned shows
    int TurnDirection = 1;                 // the way the steps went last (+1 or -1)
    // The next step turned ahead on the second core (while the sprite sways
    // through the frames of the present step), ready when NextReady is 1.
    std::vector<uint32_t> NextTurned;
    std::array<int64_t, 7> NextKey = {};
    int NextReady = 0;
    SDL_Texture* TurnedTexture = nullptr;  // plain drawing: Turned as a texture for SDL
    int TurnedTextureWidth = 0;
    int TurnedTextureHeight = 0;
    // Deferred sprites.
    int Deferred = 0;
    SpriteRenderFunction Render = nullptr;
    int RenderArgument = 0;
    uint64_t LastShown = 0; // draw counter at its last draw
    // Software renderer, idle sprites: the pixels packed (see PackPixels)
    // while Pixels is empty.
    std::vector<uint32_t> Packed;
    uint64_t ShownFrame = 0;       // frame of its last draw
    int64_t UnpackableVersion = -1; // the version that did not pack well
};

// Sprites by handle; index 0 is never used.
static std::vector<SpriteRecord> Sprites(1);
// Scaled pixels on their way into a texture; kept to avoid reallocating.
static std::vector<uint32_t> ScaleBuffer;
// Counts draws, for the least recently shown deferred sprite.
static uint64_t ShowCounter = 0;
// The deferred sprite whose renderer runs now (0: none).
static int RenderingSprite = 0;
// Buffers given up by sprites, kept for the next deferred sprite drawn (so
// the level strip allocates nothing as it slides): at most one more than the
// deferred sprites that keep their pixels, none above KeptScalePixels.
static std::vector<std::vector<uint32_t>> SparePixels;
static void KeepSpare(std::vector<uint32_t>& Pixels);
static int TakeSpare(std::vector<uint32_t>& Pixels, size_t Count);
static int DeferredKeeping();
// Where a turned picture lies: the step, the turned box and the part of it
// on the screen, and the key that tells one such picture from another.
struct TurnPlan {
    long Step = 0;
    double Degrees = 0;
    int BoxWidth = 0, BoxHeight = 0, BoxX = 0, BoxY = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::array<int64_t, 7> Key = {}; // step, version, sampling, box and visible corner
};

// The one turning under way on the second core: what it turns, from and into.
struct PendingTurnRecord {
    int Sprite = 0;      // 0: none
    int Ticket = 0;
    TurnPlan Plan;
    const uint32_t* Source = nullptr;
    int SourceWidth = 0, SourceHeight = 0, DisplayWidth = 0, DisplayHeight = 0, Filtered = 0;
    uint32_t* Target = nullptr;
};
static PendingTurnRecord PendingTurn;

// Frames presented, and where the look for idle sprites goes on next frame.
static uint64_t FrameCounter = 0;
static size_t IdleLookFrom = 1;

static SpriteRecord* FindSprite(int Sprite);
static SpriteRecord* PrepareSlot(int Slot, int* Handle);
static void SetPixelsFromRgba(SpriteRecord& Record, const uint32_t* Rgba, int Width, int Height, int ColourKeyed);
static SpriteRecord* ReadySprite(int Sprite);
static SpriteRecord* WritableSprite(int Sprite, int Replacing);
static void GiveUpPixels(SpriteRecord& Record);
static void TakePixels(SpriteRecord& Record);
static void MakeRoomForDeferred(int Sprite);
static void DropDrawingCopies(SpriteRecord& Record);
static SDL_Texture* ReadyTexture(SpriteRecord& Record, int Blend, int ColourMod, int AlphaMod);
static void DrawSprite(int Sprite, int X, int Y, int Blend, int ColourMod, int AlphaMod);
static int DrawSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int Blend, int ColourMod, int AlphaMod);
static void DropTexture(SpriteRecord& Record);
static void ScaleNearest(const SpriteRecord& Record, uint32_t* Target, int Width, int Height);
static int DrawTurnedSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod,
                              const ScreenTarget& View);
static int PackPixels(const std::vector<uint32_t>& Pixels, std::vector<uint32_t>& Packed);
static int TurnedPart(SpriteRecord& Record, int X, int Y, int ScreenWidth, int ScreenHeight, int* Left, int* Top,
                      int* Width, int* Height);
static int PlanTurn(const SpriteRecord& Record, int X, int Y, long Step, int ScreenWidth, int ScreenHeight,
                    TurnPlan* Plan);
static void TurnAhead(void* Argument);
static void SettleTurns();
static int DrawTurnedPlain(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod);
static void UnpackPixels(SpriteRecord& Record);
static void SetUniform(SpriteRecord& Record, uint32_t Colour);
static int UniformColour(const SpriteRecord& Record, uint32_t* Colour);
static int DrawUniform(SpriteRecord& Record, uint32_t Colour, int X, int Y, int Blend, int ColourMod, int AlphaMod);

void DestroyAllSprites()
{
    SettleTurns();
    for (SpriteRecord& Record : Sprites)
        DropTexture(Record);
    Sprites.clear();
    Sprites.shrink_to_fit();
    Sprites.resize(1);
    SparePixels.clear();
    SparePixels.shrink_to_fit();
    RenderingSprite = 0;
}

void MarkSpriteTexturesDirty()
{
    for (SpriteRecord& Record : Sprites)
        Record.Dirty = 1;
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
    const SpriteRecord& From = Sprites[size_t(Source)]; // PrepareSlot may have moved the records
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

int SpritePixelsPacked(int Sprite)
{
    SpriteRecord* Record = FindSprite(Sprite);
    return Record != nullptr && !Record->Packed.empty() ? 1 : 0;
}

void SpriteHousekeeping()
{
    ++FrameCounter;
    if (!VideoScreen.Software || Sprites.size() < 2)
        return;
    // At most one sprite a frame, looked for where the last look stopped.
    for (size_t Looked = 0; Looked < Sprites.size(); ++Looked, ++IdleLookFrom) {
        if (IdleLookFrom >= Sprites.size())
            IdleLookFrom = 1;
        SpriteRecord& Record = Sprites[IdleLookFrom];
        if (!Record.InUse || Record.ShownFrame + IdleFrames > FrameCounter || int(IdleLookFrom) == RenderingSprite)
            continue;
        if (int(IdleLookFrom) == PendingTurn.Sprite)
            SettleTurns(); // its turning ahead must be done before its pictures go
        if (Record.Scaled.size() >= PackablePixels || Record.Turned.size() >= PackablePixels) {
            // A copy made for drawing: made again when next drawn.
            DropDrawingCopies(Record);
            ++IdleLookFrom;
            return;
        }
        if (Record.Deferred || Record.Pixels.size() < PackablePixels || Record.UnpackableVersion == Record.Version)
            continue;
        if (!PackPixels(Record.Pixels, Record.Packed)) {
            Record.UnpackableVersion = Record.Version;
            continue;
        }
        Record.Pixels.clear();
        Record.Pixels.shrink_to_fit();
        ++IdleLookFrom;
        return;
    }
}

static SpriteRecord* FindSprite(int Sprite)
{
    if (Sprite <= 0 || size_t(Sprite) >= Sprites.size() || !Sprites[size_t(Sprite)].InUse)
        return nullptr;
    return &Sprites[size_t(Sprite)];
}

// The sprite with its pixels at hand: packed ones are unpacked, a deferred
// sprite without them is drawn by its renderer first. nullptr when there is
// no such sprite.
static SpriteRecord* ReadySprite(int Sprite)
{
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record != nullptr && !Record->Packed.empty())
        UnpackPixels(*Record);
    if (Record == nullptr || !Record->Deferred || !Record->Pixels.empty() || RenderingSprite == Sprite)
        return Record;
    MakeRoomForDeferred(Sprite);
    Record = FindSprite(Sprite);
    TakePixels(*Record);
    SpriteRenderFunction Render = Record->Render;
    int Argument = Record->RenderArgument;
    int Outer = RenderingSprite;
    RenderingSprite = Sprite;
    Render(Sprite, Argument); // may create sprites and so move the records
    RenderingSprite = Outer;
    return FindSprite(Sprite);
}

// The sprite about to have its pixels changed from outside its renderer:
// from then on it keeps its pixels like any other sprite. Replacing = 1 when
// every pixel is about to be overwritten (a deferred sprite is then not drawn first).
static SpriteRecord* WritableSprite(int Sprite, int Replacing)
{
    SettleTurns();
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record != nullptr && !Record->Packed.empty()) {
        if (Replacing) {
            Record->Packed.clear();
            Record->Packed.shrink_to_fit();
            Record->Pixels.assign(size_t(Record->Width) * size_t(Record->Height), 0u);
        } else {
            UnpackPixels(*Record);
        }
    }
    if (Record == nullptr || !Record->Deferred || RenderingSprite == Sprite)
        return Record;
    if (Record->Pixels.empty()) {
        if (Replacing)
            TakePixels(*Record);
        else
            Record = ReadySprite(Sprite);
    }
    if (Record != nullptr) {
        Record->Deferred = 0;
        Record->Render = nullptr;
    }
    return Record;
}

// The scaled and turned copies made for drawing go; made again when next drawn.
static void DropDrawingCopies(SpriteRecord& Record)
{
    Record.Scaled.clear();
    Record.Scaled.shrink_to_fit();
    Record.Turned.clear();
    Record.Turned.shrink_to_fit();
    Record.NextTurned.clear();
    Record.NextTurned.shrink_to_fit();
    Record.ScaledKey = -1;
    Record.TurnedKey = {};
    Record.NextReady = 0;
}

// A deferred sprite's pixels (and texture) go; the buffer is kept for the next one drawn.
static void GiveUpPixels(SpriteRecord& Record)
{
    SettleTurns();
    DropTexture(Record);
    KeepSpare(Record.Pixels);
    Record.Pixels.clear();
    Record.Pixels.shrink_to_fit();
    Record.Packed.clear();
    Record.Packed.shrink_to_fit();
    DropDrawingCopies(Record);
    ++Record.Version;
}

// Fully transparent pixels for a deferred sprite about to be drawn, in the
// spare buffer when it is big enough (no allocation while the strip slides).
static void TakePixels(SpriteRecord& Record)
{
    size_t Count = size_t(Record.Width) * size_t(Record.Height);
    TakeSpare(Record.Pixels, Count);
    Record.Pixels.assign(Count, 0u);
    Record.Dirty = 1;
    ++Record.Version;
}

void ReserveDeferredPixels(int Width, int Height)
{
    if (Width <= 0 || Height <= 0 || size_t(Width) * size_t(Height) > KeptScalePixels)
        return;
    size_t Count = size_t(Width) * size_t(Height);
    size_t Want = size_t(MaxDeferredKept + 1 - DeferredKeeping());
    SparePixels.reserve(MaxDeferredKept + 1);
    for (std::vector<uint32_t>& Spare : SparePixels)
        if (Spare.capacity() < Count)
            Spare.reserve(Count);
    // Reserved only: the pages are the system's until a sprite is drawn into them.
    while (SparePixels.size() < Want) {
        SparePixels.emplace_back();
        SparePixels.back().reserve(Count);
    }
}

// The deferred sprites holding their pixels now.
static int DeferredKeeping()
{
    int Kept = 0;
    for (size_t I = 1; I < Sprites.size(); ++I)
        Kept += Sprites[I].InUse && Sprites[I].Deferred && !Sprites[I].Pixels.empty();
    return Kept;
}

// Pixels (emptied) into the spares, or given back when there are enough or
// the buffer is too big to keep.
static void KeepSpare(std::vector<uint32_t>& Pixels)
{
    if (Pixels.capacity() == 0 || Pixels.capacity() > KeptScalePixels)
        return;
    if (SparePixels.size() < size_t(MaxDeferredKept + 1 - std::min(MaxDeferredKept, DeferredKeeping()))) {
        SparePixels.reserve(MaxDeferredKept + 1);
        SparePixels.emplace_back();
        SparePixels.back().swap(Pixels);
        SparePixels.back().clear();
    }
}

// The smallest spare buffer that holds Count pixels, swapped into Pixels. 1 or 0.
static int TakeSpare(std::vector<uint32_t>& Pixels, size_t Count)
{
    size_t Best = SparePixels.size();
    for (size_t I = 0; I < SparePixels.size(); ++I)
        if (SparePixels[I].capacity() >= Count &&
            (Best == SparePixels.size() || SparePixels[I].capacity() < SparePixels[Best].capacity()))
            Best = I;
    if (Best == SparePixels.size())
        return 0;
    Pixels.swap(SparePixels[Best]);
    SparePixels[Best].swap(SparePixels.back());
    SparePixels.pop_back();
    return 1;
}

// At most MaxDeferredKept deferred sprites keep their pixels: before Sprite
// is drawn, the least recently shown of the others give theirs up.
static void MakeRoomForDeferred(int Sprite)
{
    for (;;) {
        int Kept = 0;
        SpriteRecord* Oldest = nullptr;
        for (size_t I = 1; I < Sprites.size(); ++I) {
            SpriteRecord& Record = Sprites[I];
            if (!Record.InUse || !Record.Deferred || Record.Pixels.empty() || int(I) == Sprite ||
                int(I) == RenderingSprite)
                continue;
            ++Kept;
            if (Oldest == nullptr || Record.LastShown < Oldest->LastShown)
                Oldest = &Record;
        }
        if (Kept < MaxDeferredKept || Oldest == nullptr)
            return;
        GiveUpPixels(*Oldest);
    }
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
        while (size_t(Slot) < Sprites.size() && Sprites[size_t(Slot)].InUse)
            ++Slot;
        if (Slot > MaxSlot)
            return nullptr;
    }
    if (size_t(Slot) >= Sprites.size())
        Sprites.resize(size_t(Slot) + 1);
    SpriteRecord& Record = Sprites[size_t(Slot)];
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

// The sprite's texture, created or refreshed as needed and set to the wanted
// blending, modulation and sampling. nullptr without a renderer.
static SDL_Texture* ReadyTexture(SpriteRecord& Record, int Blend, int ColourMod, int AlphaMod)
{
    SDL_Renderer* Renderer = VideoScreen.Renderer;
    if (Renderer == nullptr)
        return nullptr;
    int Zoomed = (Record.DisplayWidth != Record.Width || Record.DisplayHeight != Record.Height) &&
                 PictureSizeValid(Record.DisplayWidth, Record.DisplayHeight) &&
                 int64_t(Record.DisplayWidth) * Record.DisplayHeight <= MaxPrescaledPixels;
    int WantWidth = Zoomed ? Record.DisplayWidth : Record.Width;
    int WantHeight = Zoomed ? Record.DisplayHeight : Record.Height;
    if (Record.Texture != nullptr && (Record.TextureWidth != WantWidth || Record.TextureHeight != WantHeight))
        DropTexture(Record);
    if (Record.Texture == nullptr) {
        Record.Texture =
            SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, WantWidth, WantHeight);
        if (Record.Texture == nullptr && Zoomed) { // too big for the renderer: let it scale the original
            Zoomed = 0;
            WantWidth = Record.Width;
            WantHeight = Record.Height;
            Record.Texture =
                SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, WantWidth, WantHeight);
        }
        if (Record.Texture == nullptr)
            return nullptr;
        Record.TextureWidth = WantWidth;
        Record.TextureHeight = WantHeight;
        Record.Dirty = 1;
        Record.TextureBlend = BlendUnset;
        Record.TextureColourMod = -1;
        Record.TextureAlphaMod = -1;
        Record.TextureFiltered = -1;
    }
    if (Zoomed && Record.TextureScaledFiltered != VideoScreen.Filtered)
        Record.Dirty = 1;
    if (Record.Dirty) {
        if (Zoomed) {
            ScaleBuffer.resize(size_t(WantWidth) * WantHeight);
            if (VideoScreen.Filtered)
                ResamplePixels(Record.Pixels.data(), Record.Width, Record.Height, ScaleBuffer.data(), WantWidth,
                               WantHeight, 24);
            else
                ScaleNearest(Record, ScaleBuffer.data(), WantWidth, WantHeight);
            SDL_UpdateTexture(Record.Texture, nullptr, ScaleBuffer.data(), WantWidth * 4);
            Record.TextureScaledFiltered = VideoScreen.Filtered;
            if (ScaleBuffer.capacity() > KeptScalePixels) { // one big picture: give it back
                ScaleBuffer.clear();
                ScaleBuffer.shrink_to_fit();
            }
        } else {
            SDL_UpdateTexture(Record.Texture, nullptr, Record.Pixels.data(), Record.Width * 4);
        }
        Record.Dirty = 0;
        uint32_t AllAlpha = 0xff000000u;
        for (uint32_t P : Record.Pixels)
            AllAlpha &= P;
        Record.Opaque = AllAlpha == 0xff000000u;
    }
    // Blending an opaque sprite at full strength gives what a plain copy
    // gives, and the renderer copies several times faster.
    if (Blend == BlendAlpha && Record.Opaque && ColourMod == 255 && AlphaMod == 255 && Record.Angle == 0.0)
        Blend = BlendPlain;
    if (Record.TextureBlend != Blend) {
        SDL_SetTextureBlendMode(Record.Texture, Blend == BlendPlain ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
        Record.TextureBlend = Blend;
    }
    if (Record.TextureColourMod != ColourMod) {
        SDL_SetTextureColorMod(Record.Texture, Uint8(ColourMod), Uint8(ColourMod), Uint8(ColourMod));
        Record.TextureColourMod = ColourMod;
    }
    if (Record.TextureAlphaMod != AlphaMod) {
        SDL_SetTextureAlphaMod(Record.Texture, Uint8(AlphaMod));
        Record.TextureAlphaMod = AlphaMod;
    }
    if (Record.TextureFiltered != VideoScreen.Filtered) {
        SDL_SetTextureScaleMode(Record.Texture, VideoScreen.Filtered ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        Record.TextureFiltered = VideoScreen.Filtered;
    }
    return Record.Texture;
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
        Uniform->ShownFrame = FrameCounter;
        VideoScreen.Drawn = 1;
        return;
    }
    SpriteRecord* Record = ReadySprite(Sprite);
    if (Record == nullptr || Record->Pixels.empty())
        return;
    Record->LastShown = ++ShowCounter;
    Record->ShownFrame = FrameCounter;
    VideoScreen.Drawn = 1;
    if (VideoScreen.Software && !VideoScreen.PlainDrawing &&
        DrawSoftware(Sprite, *Record, X, Y, Blend, ColourMod, AlphaMod))
        return;
    if (VideoScreen.Software && VideoScreen.PlainDrawing && Record->Angle != 0.0 && Blend == BlendAlpha &&
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

// The software renderer's draw, straight onto the screen surface. 0 when
// this case is left to SDL (a sprite too big to scale in memory, a screen
// surface of an unusual pixel layout).
static int DrawSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int Blend, int ColourMod, int AlphaMod)
{
    ScreenTarget View;
    if (!SoftwareScreenTarget(&View))
        return 0;
    if (Record.Angle != 0.0)
        return Blend == BlendAlpha && DrawTurnedSoftware(Sprite, Record, X, Y, ColourMod, AlphaMod, View);
    if (Blend == BlendPlain && (ColourMod != 255 || AlphaMod != 255))
        return 0;
    const uint32_t* Pixels = Record.Pixels.data();
    int Width = Record.Width, Height = Record.Height;
    if (Record.DisplayWidth != Record.Width || Record.DisplayHeight != Record.Height) {
        // Zoomed: scaled once into a buffer of the display size, like a texture.
        if (!PictureSizeValid(Record.DisplayWidth, Record.DisplayHeight) ||
            int64_t(Record.DisplayWidth) * Record.DisplayHeight > MaxPrescaledPixels)
            return 0;
        Width = Record.DisplayWidth;
        Height = Record.DisplayHeight;
        int64_t Key = int64_t(Record.Version) * 2 + VideoScreen.Filtered;
        if (Record.ScaledKey != Key) {
            Record.Scaled.resize(size_t(Width) * Height);
            if (VideoScreen.Filtered)
                ResamplePixels(Record.Pixels.data(), Record.Width, Record.Height, Record.Scaled.data(), Width, Height,
                               24);
            else
                ScaleNearest(Record, Record.Scaled.data(), Width, Height);
            Record.ScaledKey = Key;
        }
        Pixels = Record.Scaled.data();
    }
    // Clipped to the screen.
    int Left = std::max(X, 0), Top = std::max(Y, 0);
    int Right = int(std::min<int64_t>(int64_t(X) + Width, View.Width));
    int Bottom = int(std::min<int64_t>(int64_t(Y) + Height, View.Height));
    if (Left >= Right || Top >= Bottom)
        return 1;
    const uint32_t* From = Pixels + size_t(Top - Y) * size_t(Width) + size_t(Left - X);
    uint32_t* To = View.Pixels + size_t(Top) * size_t(View.Pitch) + size_t(Left);
    if (Blend == BlendPlain)
        BlitCopy(From, Width, To, View.Pitch, Right - Left, Bottom - Top);
    else
        BlitBlendModulated(From, Width, To, View.Pitch, Right - Left, Bottom - Top, ColourMod, AlphaMod);
    return 1;
}

static void DropTexture(SpriteRecord& Record)
{
    if (Record.Texture != nullptr)
        SDL_DestroyTexture(Record.Texture);
    if (Record.TurnedTexture != nullptr)
        SDL_DestroyTexture(Record.TurnedTexture);
    Record.TurnedTexture = nullptr;
    Record.Texture = nullptr;
    Record.TextureWidth = 0;
    Record.TextureHeight = 0;
    Record.TextureScaledFiltered = -1;
    Record.Dirty = 1;
    Record.TextureBlend = BlendUnset;
    Record.TextureColourMod = -1;
    Record.TextureAlphaMod = -1;
    Record.TextureFiltered = -1;
}

// Nearest-neighbour scaling of the sprite's pixels (sampling switched off).
static void ScaleNearest(const SpriteRecord& Record, uint32_t* Target, int Width, int Height)
{
    for (int Y = 0; Y < Height; ++Y) {
        int SourceY = int((int64_t(Y) * 2 + 1) * Record.Height / (int64_t(Height) * 2));
        const uint32_t* In = Record.Pixels.data() + size_t(SourceY) * Record.Width;
        uint32_t* Out = Target + size_t(Y) * Width;
        for (int X = 0; X < Width; ++X)
            Out[X] = In[(int64_t(X) * 2 + 1) * Record.Width / (int64_t(Width) * 2)];
    }
}

// The turned box of the sprite drawn at (X, Y) at Step (of TurnStep degrees)
// and its part on a screen of that size; 0 when none of it lies on the screen.
static int PlanTurn(const SpriteRecord& Record, int X, int Y, long Step, int ScreenWidth, int ScreenHeight,
                    TurnPlan* Plan)
{
    Plan->Step = Step;
    Plan->Degrees = double(Step) * TurnStep;
    double Radians = Plan->Degrees * M_PI / 180.0;
    double Cos = std::fabs(std::cos(Radians)), Sin = std::fabs(std::sin(Radians));
    // The turned rectangle's bounding box (a hair less, so 90 degrees stays exact),
    // centred where the unturned sprite's centre is.
    Plan->BoxWidth = std::max(1, int(std::ceil(Record.DisplayWidth * Cos + Record.DisplayHeight * Sin - 1e-6)));
    Plan->BoxHeight = std::max(1, int(std::ceil(Record.DisplayWidth * Sin + Record.DisplayHeight * Cos - 1e-6)));
    Plan->BoxX = int(std::lround(X + Record.DisplayWidth / 2.0 - Plan->BoxWidth / 2.0));
    Plan->BoxY = int(std::lround(Y + Record.DisplayHeight / 2.0 - Plan->BoxHeight / 2.0));
    Plan->Left = std::max(Plan->BoxX, 0);
    Plan->Top = std::max(Plan->BoxY, 0);
    int Right = int(std::min<int64_t>(int64_t(Plan->BoxX) + Plan->BoxWidth, ScreenWidth));
    int Bottom = int(std::min<int64_t>(int64_t(Plan->BoxY) + Plan->BoxHeight, ScreenHeight));
    if (Plan->Left >= Right || Plan->Top >= Bottom)
        return 0;
    Plan->Width = Right - Plan->Left;
    Plan->Height = Bottom - Plan->Top;
    Plan->Key = {Step, Record.Version, VideoScreen.Filtered, Plan->BoxX, Plan->BoxY, Plan->Left, Plan->Top};
    return 1;
}

// Makes Record.Turned the part of the sprite's turned box (turned on the CPU
// in steps of TurnStep degrees) that lies on a screen of that size, when it
// is not that already: the step turned ahead when it was foreseen, else
// turned now. 0 when none of it lies on the screen.
static int TurnedPart(SpriteRecord& Record, int X, int Y, int ScreenWidth, int ScreenHeight, int* Left, int* Top,
                      int* Width, int* Height)
{
    TurnPlan Plan;
    if (!PlanTurn(Record, X, Y, std::lround(Record.Angle / TurnStep), ScreenWidth, ScreenHeight, &Plan))
        return 0;
    *Left = Plan.Left;
    *Top = Plan.Top;
    *Width = Plan.Width;
    *Height = Plan.Height;
    size_t Size = size_t(Plan.Width) * size_t(Plan.Height);
    if (Record.TurnedKey == Plan.Key && Record.Turned.size() == Size)
        return 1;
    if (Plan.Step != Record.TurnedStep)
        Record.TurnDirection = Plan.Step > Record.TurnedStep ? 1 : -1;
    Record.TurnedStep = Plan.Step;
    if (&Record == &Sprites[size_t(PendingTurn.Sprite)] && PendingTurn.Plan.Key == Plan.Key)
        SettleTurns();
    if (Record.NextReady && Record.NextKey == Plan.Key && Record.NextTurned.size() == Size) {
        Record.Turned.swap(Record.NextTurned);
        Record.TurnedKey = Plan.Key;
        Record.NextReady = 0;
        return 1;
    }
    // Room for the tallest part the sway can show, once, so swaying never reallocates.
    if (Record.Turned.capacity() < size_t(Plan.Width) * size_t(ScreenHeight))
        Record.Turned.reserve(size_t(Plan.Width) * size_t(ScreenHeight));
    Record.Turned.resize(Size);
    TurnPixels(Record.Pixels.data(), Record.Width, Record.Height, Record.DisplayWidth, Record.DisplayHeight,
               Plan.Degrees, Plan.BoxWidth, Plan.BoxHeight, Plan.Left - Plan.BoxX, Plan.Top - Plan.BoxY,
               Record.Turned.data(), Plan.Width, Plan.Width, Plan.Height, VideoScreen.Filtered);
    Record.TurnedKey = Plan.Key;
    return 1;
}

// Draws a turned sprite through its turned part, straight onto the screen,
// then has the next step (the way the sway goes) turned ahead on the second core.
static int DrawTurnedSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod,
                              const ScreenTarget& View)
{
    int Left = 0, Top = 0, Width = 0, Height = 0;
    if (!TurnedPart(Record, X, Y, View.Width, View.Height, &Left, &Top, &Width, &Height))
        return 1;
    BlitBlendModulated(Record.Turned.data(), Width, View.Pixels + size_t(Top) * size_t(View.Pitch) + size_t(Left),
                       View.Pitch, Width, Height, ColourMod, AlphaMod);
    TurnPlan Next;
    if (PendingTurn.Sprite != 0 ||
        !PlanTurn(Record, X, Y, Record.TurnedStep + Record.TurnDirection, View.Width, View.Height, &Next) ||
        (Record.NextReady && Record.NextKey == Next.Key))
        return 1;
    if (Record.NextTurned.capacity() < size_t(Next.Width) * size_t(View.Height))
        Record.NextTurned.reserve(size_t(Next.Width) * size_t(View.Height));
    Record.NextTurned.resize(size_t(Next.Width) * size_t(Next.Height));
    Record.NextKey = Next.Key;
    Record.NextReady = 0;
    PendingTurn.Sprite = Sprite;
    PendingTurn.Plan = Next;
    PendingTurn.Source = Record.Pixels.data();
    PendingTurn.SourceWidth = Record.Width;
    PendingTurn.SourceHeight = Record.Height;
    PendingTurn.DisplayWidth = Record.DisplayWidth;
    PendingTurn.DisplayHeight = Record.DisplayHeight;
    PendingTurn.Filtered = VideoScreen.Filtered;
    PendingTurn.Target = Record.NextTurned.data();
    PendingTurn.Ticket = PostWork(TurnAhead, &PendingTurn);
    return 1;
}

// On the second core: the pending turn, on that core alone.
static void TurnAhead(void* Argument)
{
    const PendingTurnRecord& Turn = *static_cast<const PendingTurnRecord*>(Argument);
    const TurnPlan& Plan = Turn.Plan;
    TurnPixelsOnOneCore(Turn.Source, Turn.SourceWidth, Turn.SourceHeight, Turn.DisplayWidth, Turn.DisplayHeight,
                        Plan.Degrees, Plan.BoxWidth, Plan.BoxHeight, Plan.Left - Plan.BoxX, Plan.Top - Plan.BoxY,
                        Turn.Target, Plan.Width, Plan.Width, Plan.Height, Turn.Filtered);
}

// Waits for the turning ahead, if one is under way (before anything that
// could change what it reads or writes); its picture is then ready.
static void SettleTurns()
{
    if (PendingTurn.Sprite == 0)
        return;
    FinishWork(PendingTurn.Ticket);
    if (size_t(PendingTurn.Sprite) < Sprites.size())
        Sprites[size_t(PendingTurn.Sprite)].NextReady = 1;
    PendingTurn = PendingTurnRecord();
}

// The plain way: the turned part uploaded into a texture that SDL blends.
static int DrawTurnedPlain(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod)
{
    int Left = 0, Top = 0, Width = 0, Height = 0;
    if (!TurnedPart(Record, X, Y, VideoScreen.Width, VideoScreen.Height, &Left, &Top, &Width, &Height))
        return 1;
    if (Record.TurnedTexture != nullptr && (Record.TurnedTextureWidth != Width || Record.TurnedTextureHeight != Height)) {
        SDL_DestroyTexture(Record.TurnedTexture);
        Record.TurnedTexture = nullptr;
    }
    if (Record.TurnedTexture == nullptr) {
        Record.TurnedTexture = SDL_CreateTexture(VideoScreen.Renderer, SDL_PIXELFORMAT_ARGB8888,
                                                 SDL_TEXTUREACCESS_STATIC, Width, Height);
        if (Record.TurnedTexture == nullptr)
            return 0;
        SDL_SetTextureBlendMode(Record.TurnedTexture, SDL_BLENDMODE_BLEND);
        Record.TurnedTextureWidth = Width;
        Record.TurnedTextureHeight = Height;
    }
    SDL_UpdateTexture(Record.TurnedTexture, nullptr, Record.Turned.data(), Width * 4);
    SDL_SetTextureColorMod(Record.TurnedTexture, Uint8(ColourMod), Uint8(ColourMod), Uint8(ColourMod));
    SDL_SetTextureAlphaMod(Record.TurnedTexture, Uint8(AlphaMod));
    SDL_Rect Target = {Left, Top, Width, Height};
    SDL_RenderCopy(VideoScreen.Renderer, Record.TurnedTexture, nullptr, &Target);
    return 1;
}

// Packs pixels as runs: a word of Count x 2 + 1 followed by the pixel
// repeated Count times, or a word of Count x 2 followed by Count pixels as
// they are. 0 (Packed left empty) when that would not take under half the
// room of the pixels.
static int PackPixels(const std::vector<uint32_t>& Pixels, std::vector<uint32_t>& Packed)
{
    const size_t Count = Pixels.size(), Limit = Count / 2;
    Packed.clear();
    Packed.reserve(Count / 8);
    size_t I = 0;
    while (I < Count) {
        size_t Run = 1;
        while (I + Run < Count && Pixels[I + Run] == Pixels[I] && Run < 0x7fffffffu)
            ++Run;
        if (Run >= 3) {
            Packed.push_back(uint32_t(Run) * 2 + 1);
            Packed.push_back(Pixels[I]);
            I += Run;
        } else {
            // Pixels as they are, up to the next run of three.
            size_t Start = I;
            while (I < Count && I - Start < 0x7fffffffu &&
                   !(I + 2 < Count && Pixels[I] == Pixels[I + 1] && Pixels[I] == Pixels[I + 2]))
                ++I;
            Packed.push_back(uint32_t(I - Start) * 2);
            Packed.insert(Packed.end(), Pixels.begin() + long(Start), Pixels.begin() + long(I));
        }
        if (Packed.size() > Limit) {
            Packed.clear();
            Packed.shrink_to_fit();
            return 0;
        }
    }
    Packed.shrink_to_fit();
    return 1;
}

static void UnpackPixels(SpriteRecord& Record)
{
    SettleTurns();
    std::vector<uint32_t>& Pixels = Record.Pixels;
    Pixels.resize(size_t(Record.Width) * size_t(Record.Height));
    size_t At = 0, Read = 0;
    const std::vector<uint32_t>& Packed = Record.Packed;
    while (Read < Packed.size() && At < Pixels.size()) {
        size_t Count = std::min<size_t>(Packed[Read] / 2, Pixels.size() - At);
        if (Packed[Read] & 1) {
            std::fill_n(Pixels.begin() + long(At), Count, Packed[Read + 1]);
            Read += 2;
        } else {
            std::copy_n(Packed.begin() + long(Read + 1), Count, Pixels.begin() + long(At));
            Read += 1 + Packed[Read] / 2;
        }
        At += Count;
    }
    Record.Packed.clear();
    Record.Packed.shrink_to_fit();
}

// The sprite's pixels: Colour (0xAARRGGBB) throughout, held as one run.
static void SetUniform(SpriteRecord& Record, uint32_t Colour)
{
    Record.Packed.assign({uint32_t(size_t(Record.Width) * size_t(Record.Height)) * 2 + 1, Colour});
    Record.Dirty = 1;
    ++Record.Version;
}

// 1 (and the colour) when the packed pixels are one colour throughout.
static int UniformColour(const SpriteRecord& Record, uint32_t* Colour)
{
    if (Record.Packed.size() != 2 || !(Record.Packed[0] & 1) ||
        Record.Packed[0] / 2 != uint32_t(size_t(Record.Width) * size_t(Record.Height)))
        return 0;
    if (Colour != nullptr)
        *Colour = Record.Packed[1];
    return 1;
}

// The software renderer's draw of a one-colour sprite, from its colour
// alone (no screen-sized source to read). 0 when this case is left to the
// ordinary draw (turned or zoomed).
static int DrawUniform(SpriteRecord& Record, uint32_t Colour, int X, int Y, int Blend, int ColourMod, int AlphaMod)
{
    ScreenTarget View;
    if (Record.Angle != 0.0 || Record.DisplayWidth != Record.Width || Record.DisplayHeight != Record.Height ||
        (Blend == BlendPlain && (ColourMod != 255 || AlphaMod != 255)) || !SoftwareScreenTarget(&View))
        return 0;
    int Left = std::max(X, 0), Top = std::max(Y, 0);
    int Right = int(std::min<int64_t>(int64_t(X) + Record.Width, View.Width));
    int Bottom = int(std::min<int64_t>(int64_t(Y) + Record.Height, View.Height));
    if (Left < Right && Top < Bottom)
        BlitUniform(Colour, View.Pixels + size_t(Top) * size_t(View.Pitch) + size_t(Left), View.Pitch, Right - Left,
                    Bottom - Top, Blend != BlendPlain, ColourMod, AlphaMod);
    return 1;
}
