// Numbered sprite slots: a CPU copy of the pixels (so sprites can be resized,
// copied and re-keyed) and a texture on the current screen, uploaded lazily at
// the first draw after a change. Drawing never allocates or uploads otherwise.
#include "platform/platform.h"
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
// Turning a screen-sized sprite costs the software renderer tens of
// milliseconds, so it is turned again only when its angle moves by this many
// degrees (the title background sways 0.01 degrees per frame).
static constexpr double TurnStep = 0.05;

enum SpriteBlendKind { BlendUnset = -1, BlendPlain = 0, BlendAlpha = 1 };

struct SpriteRecord {
    int InUse = 0;
    int Width = 0; // pixel size
    int Height = 0;
    int DisplayWidth = 0; // size on screen (zoom)
    int DisplayHeight = 0;
    double Angle = 0.0;           // degrees, clockwise on screen
    std::vector<uint32_t> Pixels; // 0xAARRGGBB, the texture's own layout
    SDL_Texture* Texture = nullptr;
    int TextureWidth = 0;           // size of the texture: the display size when
    int TextureHeight = 0;          // the sprite is zoomed (scaled once, here)
    int TextureScaledFiltered = -1; // sampling the scaled content was made with
    int Dirty = 1;                  // pixels changed since the last upload
    int Opaque = 0;                 // every alpha is 255 (known after the upload)
    uint32_t Version = 0;           // counts changes of pixels and display size
    // Software renderer only: the sprite turned on the CPU, kept while its
    // angle (in steps of TurnStep degrees), pixels and size stay the same.
    SDL_Texture* Turned = nullptr;
    int TurnedWidth = 0;
    int TurnedHeight = 0;
    std::array<int64_t, 7> TurnedKey = {}; // step, version, sampling, box and visible corner
    // What the texture is set to now, so a draw only calls SDL for changes.
    int TextureBlend = BlendUnset;
    int TextureColourMod = -1;
    int TextureAlphaMod = -1;
    int TextureFiltered = -1;
};

// Sprites by handle; index 0 is never used.
static std::vector<SpriteRecord> Sprites(1);
// Scaled pixels on their way into a texture; kept to avoid reallocating.
static std::vector<uint32_t> ScaleBuffer;

static SpriteRecord* FindSprite(int Sprite);
static SpriteRecord* PrepareSlot(int Slot, int* Handle);
static void SetPixelsFromRgba(SpriteRecord& Record, const uint32_t* Rgba, int Width, int Height, int ColourKeyed);
static SDL_Texture* ReadyTexture(SpriteRecord& Record, int Blend, int ColourMod, int AlphaMod);
static void DrawSprite(int Sprite, int X, int Y, int Blend, int ColourMod, int AlphaMod);
static void DropTexture(SpriteRecord& Record);
static void ScaleNearest(const SpriteRecord& Record, uint32_t* Target, int Width, int Height);
static int DrawTurnedSoftware(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod);

void DestroyAllSprites()
{
    for (SpriteRecord& Record : Sprites)
        DropTexture(Record);
    Sprites.clear();
    Sprites.shrink_to_fit();
    Sprites.resize(1);
}

void MarkSpriteTexturesDirty()
{
    for (SpriteRecord& Record : Sprites) {
        Record.Dirty = 1;
        Record.TurnedKey = {};
    }
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

int CreateEmptySprite(int Slot, int Width, int Height)
{
    if (Slot < 0 || !PictureSizeValid(Width, Height))
        return 0;
    int Handle = 0;
    SpriteRecord* Record = PrepareSlot(Slot, &Handle);
    if (Record == nullptr)
        return 0;
    Record->Pixels.assign(size_t(Width) * Height, 0u);
    Record->Width = Record->DisplayWidth = Width;
    Record->Height = Record->DisplayHeight = Height;
    return Handle;
}

int CopySprite(int Slot, int Source)
{
    if (Slot < 0 || FindSprite(Source) == nullptr)
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
    SpriteRecord* Record = FindSprite(Sprite);
    ImageRecord* Source = FindImage(Image);
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
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr)
        return;
    std::fill(Record->Pixels.begin(), Record->Pixels.end(), (Colour >> 8) | (Colour << 24));
    Record->Dirty = 1;
    ++Record->Version;
}

void SetSpriteKeyColour(int Sprite, uint32_t Colour)
{
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr)
        return;
    uint32_t Key = Colour >> 8; // 0x00RRGGBB
    for (uint32_t& P : Record->Pixels)
        if ((P & 0xffffffu) == Key)
            P &= 0xffffffu;
    Record->Dirty = 1;
    ++Record->Version;
}

void ZoomSprite(int Sprite, int Width, int Height)
{
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
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr || !PictureSizeValid(Width, Height))
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

static SpriteRecord* FindSprite(int Sprite)
{
    if (Sprite <= 0 || size_t(Sprite) >= Sprites.size() || !Sprites[size_t(Sprite)].InUse)
        return nullptr;
    return &Sprites[size_t(Sprite)];
}

// The record for Slot (0: the lowest free handle from 1000 on), emptied and
// marked in use. nullptr when the slot number is unusable.
static SpriteRecord* PrepareSlot(int Slot, int* Handle)
{
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
    // gives, and the software renderer copies several times faster.
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
    SpriteRecord* Record = FindSprite(Sprite);
    if (Record == nullptr || !VideoScreen.Open)
        return;
    if (Record->Angle != 0.0 && VideoScreen.Software && Blend == BlendAlpha &&
        DrawTurnedSoftware(*Record, X, Y, ColourMod, AlphaMod))
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

static void DropTexture(SpriteRecord& Record)
{
    if (Record.Texture != nullptr)
        SDL_DestroyTexture(Record.Texture);
    Record.Texture = nullptr;
    Record.TextureWidth = 0;
    Record.TextureHeight = 0;
    Record.TextureScaledFiltered = -1;
    if (Record.Turned != nullptr)
        SDL_DestroyTexture(Record.Turned);
    Record.Turned = nullptr;
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

// Draws a turned sprite through a texture turned on the CPU (see TurnStep),
// holding only the part of the turned box that lies on the screen.
// 0 when that texture cannot be made; the caller then lets SDL turn it.
static int DrawTurnedSoftware(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod)
{
    long Step = std::lround(Record.Angle / TurnStep);
    double Degrees = double(Step) * TurnStep;
    double Radians = Degrees * M_PI / 180.0;
    double Cos = std::fabs(std::cos(Radians)), Sin = std::fabs(std::sin(Radians));
    // The turned rectangle's bounding box (a hair less, so 90 degrees stays exact),
    // centred where the unturned sprite's centre is.
    int BoxWidth = std::max(1, int(std::ceil(Record.DisplayWidth * Cos + Record.DisplayHeight * Sin - 1e-6)));
    int BoxHeight = std::max(1, int(std::ceil(Record.DisplayWidth * Sin + Record.DisplayHeight * Cos - 1e-6)));
    int BoxX = int(std::lround(X + Record.DisplayWidth / 2.0 - BoxWidth / 2.0));
    int BoxY = int(std::lround(Y + Record.DisplayHeight / 2.0 - BoxHeight / 2.0));
    int Left = std::max(BoxX, 0), Top = std::max(BoxY, 0);
    int Right = int(std::min<int64_t>(int64_t(BoxX) + BoxWidth, VideoScreen.Width));
    int Bottom = int(std::min<int64_t>(int64_t(BoxY) + BoxHeight, VideoScreen.Height));
    if (Left >= Right || Top >= Bottom)
        return 1; // wholly off the screen
    int Width = Right - Left, Height = Bottom - Top;
    if (Record.Turned != nullptr && (Record.TurnedWidth != Width || Record.TurnedHeight != Height)) {
        SDL_DestroyTexture(Record.Turned);
        Record.Turned = nullptr;
    }
    if (Record.Turned == nullptr) {
        Record.Turned = SDL_CreateTexture(VideoScreen.Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                          Width, Height);
        if (Record.Turned == nullptr)
            return 0;
        SDL_SetTextureBlendMode(Record.Turned, SDL_BLENDMODE_BLEND);
        Record.TurnedWidth = Width;
        Record.TurnedHeight = Height;
        Record.TurnedKey = {};
    }
    std::array<int64_t, 7> Key = {Step, Record.Version, VideoScreen.Filtered, BoxX, BoxY, Left, Top};
    if (Record.TurnedKey != Key) {
        void* Pixels = nullptr;
        int Pitch = 0;
        if (SDL_LockTexture(Record.Turned, nullptr, &Pixels, &Pitch) != 0)
            return 0;
        TurnPixels(Record.Pixels.data(), Record.Width, Record.Height, Record.DisplayWidth, Record.DisplayHeight,
                   Degrees, BoxWidth, BoxHeight, Left - BoxX, Top - BoxY, static_cast<uint32_t*>(Pixels), Pitch / 4,
                   Width, Height, VideoScreen.Filtered);
        SDL_UnlockTexture(Record.Turned);
        Record.TurnedKey = Key;
    }
    SDL_SetTextureColorMod(Record.Turned, Uint8(ColourMod), Uint8(ColourMod), Uint8(ColourMod));
    SDL_SetTextureAlphaMod(Record.Turned, Uint8(AlphaMod));
    SDL_Rect Target = {Left, Top, Width, Height};
    SDL_RenderCopy(VideoScreen.Renderer, Record.Turned, nullptr, &Target);
    return 1;
}
