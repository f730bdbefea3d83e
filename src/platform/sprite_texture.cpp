// Sprite textures for SDL's renderers: made at a sprite's first draw after a
// change, at the display size of a zoomed sprite (scaled once on the CPU),
// and set to the blending, modulation and sampling of each draw only when
// these change.
#include "platform/platform_internal.h"
#include "platform/sprite_internal.h"

#include <algorithm>
#include <cmath>

// Scaled pixels on their way into a texture; kept to avoid reallocating.
static std::vector<uint32_t> ScaleBuffer;

void MarkSpriteTexturesDirty()
{
    for (SpriteRecord& Record : SpriteSlots)
        Record.Dirty = 1;
}

// The sprite's texture, created or refreshed as needed and set to the wanted
// blending, modulation and sampling. nullptr without a renderer.
SDL_Texture* ReadyTexture(SpriteRecord& Record, int Blend, int ColourMod, int AlphaMod)
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

void DropTexture(SpriteRecord& Record)
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
