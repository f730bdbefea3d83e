// Deferred sprites: a renderer instead of fixed pixels, run the first time
// the sprite is shown; only the few most recently shown deferred sprites keep
// their pixels, the others give them up (into spare buffers, so the sliding
// level strip allocates nothing) and are drawn again when next shown.
#include "platform/platform_internal.h"
#include "platform/sprite_internal.h"

#include <algorithm>
#include <cmath>

// Deferred sprites that keep their pixels at once: the five cards of the
// level strip and the ones a slide brings in next.
static constexpr int MaxDeferredKept = 8;

int RenderingSprite = 0;
// Buffers given up by sprites, kept for the next deferred sprite drawn: at
// most one more than the deferred sprites that keep their pixels, none above
// KeptScalePixels.
static std::vector<std::vector<uint32_t>> SparePixels;

static int TakeSpare(std::vector<uint32_t>& Pixels, size_t Count);
static int DeferredKeeping();
static void TakePixels(SpriteRecord& Record);
static void MakeRoomForDeferred(int Sprite);

// The sprite with its pixels at hand: packed ones are unpacked, a deferred
// sprite without them is drawn by its renderer first. nullptr when there is
// no such sprite.
SpriteRecord* ReadySprite(int Sprite)
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
SpriteRecord* WritableSprite(int Sprite, int Replacing)
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

// A deferred sprite's pixels (and texture) go; the buffer is kept for the next one drawn.
void GiveUpPixels(SpriteRecord& Record)
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
    for (size_t I = 1; I < SpriteSlots.size(); ++I)
        Kept += SpriteSlots[I].InUse && SpriteSlots[I].Deferred && !SpriteSlots[I].Pixels.empty();
    return Kept;
}

// Pixels (emptied) into the spares, or given back when there are enough or
// the buffer is too big to keep.
void KeepSpare(std::vector<uint32_t>& Pixels)
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
        for (size_t I = 1; I < SpriteSlots.size(); ++I) {
            SpriteRecord& Record = SpriteSlots[I];
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

void DropSparePixels()
{
    SparePixels.clear();
    SparePixels.shrink_to_fit();
}
