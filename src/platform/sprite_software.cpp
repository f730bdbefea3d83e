// The software renderer's own drawing: sprites copied and blended straight
// onto the window surface (blit.cpp), zoomed sprites scaled once, sprites of
// one colour drawn from that colour alone, and large sprites not shown for
// a while packed as runs of equal pixels. Against SDL's blitter see blit.cpp;
// without the packing and the one-colour sprites (KISTORA_NO_PACKING=1) the
// peak in a window is 88 MiB instead of 70 (bench/library_vs_own.txt).
#include "platform/platform_internal.h"
#include "platform/sprite_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// A sprite of at least this many pixels not shown for this many frames is
// packed (its runs of equal pixels counted), and unpacked when next needed;
// so are its scaled and turned copies dropped. Panels and the splash pack to
// a tenth or less; a sprite that would not pack to half its size is left as it is.
static constexpr size_t PackablePixels = size_t(1) << 18;
static constexpr uint64_t IdleFrames = 30;

// Where the look for idle sprites goes on next frame.
static size_t IdleLookFrom = 1;

// KISTORA_NO_PACKING=1 (for the benchmark, bench/run): no sprite is packed
// and one-colour sprites hold all their pixels.
static int PackingOff()
{
    static const int Off = [] {
        const char* Value = std::getenv("KISTORA_NO_PACKING");
        return Value != nullptr && std::strcmp(Value, "1") == 0;
    }();
    return Off;
}

static int PackPixels(const std::vector<uint32_t>& Pixels, std::vector<uint32_t>& Packed);

void SpriteHousekeeping()
{
    ++SpriteFrameCounter;
    if (!VideoScreen.Software || SpriteSlots.size() < 2 || PackingOff())
        return;
    // At most one sprite a frame, looked for where the last look stopped.
    for (size_t Looked = 0; Looked < SpriteSlots.size(); ++Looked, ++IdleLookFrom) {
        if (IdleLookFrom >= SpriteSlots.size())
            IdleLookFrom = 1;
        SpriteRecord& Record = SpriteSlots[IdleLookFrom];
        if (!Record.InUse || Record.ShownFrame + IdleFrames > SpriteFrameCounter ||
            int(IdleLookFrom) == RenderingSprite)
            continue;
        SettleTurnOf(int(IdleLookFrom)); // its turning ahead must be done before its pictures go
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

// The scaled and turned copies made for drawing go; made again when next drawn.
void DropDrawingCopies(SpriteRecord& Record)
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

// The software renderer's draw, straight onto the screen surface. 0 when
// this case is left to SDL (a sprite too big to scale in memory, a screen
// surface of an unusual pixel layout).
int DrawSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int Blend, int ColourMod, int AlphaMod)
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

// Nearest-neighbour scaling of the sprite's pixels (sampling switched off).
void ScaleNearest(const SpriteRecord& Record, uint32_t* Target, int Width, int Height)
{
    for (int Y = 0; Y < Height; ++Y) {
        int SourceY = int((int64_t(Y) * 2 + 1) * Record.Height / (int64_t(Height) * 2));
        const uint32_t* In = Record.Pixels.data() + size_t(SourceY) * Record.Width;
        uint32_t* Out = Target + size_t(Y) * Width;
        for (int X = 0; X < Width; ++X)
            Out[X] = In[(int64_t(X) * 2 + 1) * Record.Width / (int64_t(Width) * 2)];
    }
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

void UnpackPixels(SpriteRecord& Record)
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
void SetUniform(SpriteRecord& Record, uint32_t Colour)
{
    if (PackingOff()) {
        Record.Packed.clear();
        Record.Pixels.assign(size_t(Record.Width) * size_t(Record.Height), Colour);
        Record.Dirty = 1;
        ++Record.Version;
        return;
    }
    Record.Packed.assign({uint32_t(size_t(Record.Width) * size_t(Record.Height)) * 2 + 1, Colour});
    Record.Dirty = 1;
    ++Record.Version;
}

// 1 (and the colour) when the packed pixels are one colour throughout.
int UniformColour(const SpriteRecord& Record, uint32_t* Colour)
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
int DrawUniform(SpriteRecord& Record, uint32_t Colour, int X, int Y, int Blend, int ColourMod, int AlphaMod)
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
