// Shared between the sprite files only: the slots (sprite.cpp), the texture
// cache (sprite_texture.cpp), the software renderer's drawing
// (sprite_software.cpp), the turning of sprites (sprite_turn.cpp) and the
// deferred sprites (sprite_deferred.cpp).
#pragma once

#include "platform/platform.h"
#include "platform/video_internal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A zoomed sprite is scaled once on the CPU into a texture of its display
// size (then every draw is a 1:1 copy); above this many pixels the renderer
// scales at each draw instead.
constexpr int64_t MaxPrescaledPixels = int64_t(1) << 24;
// Scratch and spare buffers above this many pixels are given back, not kept.
constexpr size_t KeptScalePixels = size_t(1) << 20;

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
    SDL_Texture* TurnedTexture = nullptr; // plain drawing: Turned as a texture for SDL
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
    uint64_t ShownFrame = 0;        // frame of its last draw
    int64_t UnpackableVersion = -1; // the version that did not pack well
};

// sprite.cpp: sprites by handle (index 0 is never used), and the record of a
// live sprite or nullptr.
extern std::vector<SpriteRecord> SpriteSlots;
SpriteRecord* FindSprite(int Sprite);
// Frames presented (counted by SpriteHousekeeping).
extern uint64_t SpriteFrameCounter;

// sprite_deferred.cpp. The deferred sprite whose renderer runs now (0: none).
extern int RenderingSprite;
// The sprite with its pixels at hand: packed ones are unpacked, a deferred
// sprite without them is drawn by its renderer first. nullptr when there is
// no such sprite.
SpriteRecord* ReadySprite(int Sprite);
// The sprite about to have its pixels changed from outside its renderer:
// from then on it keeps its pixels like any other sprite. Replacing = 1 when
// every pixel is about to be overwritten (a deferred sprite is then not drawn first).
SpriteRecord* WritableSprite(int Sprite, int Replacing);
// A deferred sprite's pixels (and texture) go; the buffer is kept for the next one drawn.
void GiveUpPixels(SpriteRecord& Record);
// Pixels (emptied) into the spares, or given back when there are enough or
// the buffer is too big to keep.
void KeepSpare(std::vector<uint32_t>& Pixels);
// Drops every spare buffer (DestroyAllSprites).
void DropSparePixels();

// sprite_texture.cpp. The sprite's texture, created or refreshed as needed
// and set to the wanted blending, modulation and sampling. nullptr without a renderer.
SDL_Texture* ReadyTexture(SpriteRecord& Record, int Blend, int ColourMod, int AlphaMod);
void DropTexture(SpriteRecord& Record);
// Nearest-neighbour scaling of the sprite's pixels (sampling switched off).
void ScaleNearest(const SpriteRecord& Record, uint32_t* Target, int Width, int Height);

// sprite_software.cpp: the software renderer's draw, straight onto the
// screen surface. 0 when this case is left to SDL.
int DrawSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int Blend, int ColourMod, int AlphaMod);
// The draw of a one-colour sprite from its colour alone; 0 when this case is
// left to the ordinary draw (turned or zoomed).
int DrawUniform(SpriteRecord& Record, uint32_t Colour, int X, int Y, int Blend, int ColourMod, int AlphaMod);
// The sprite's pixels: Colour (0xAARRGGBB) throughout, held as one run.
void SetUniform(SpriteRecord& Record, uint32_t Colour);
// 1 (and the colour) when the packed pixels are one colour throughout.
int UniformColour(const SpriteRecord& Record, uint32_t* Colour);
void UnpackPixels(SpriteRecord& Record);
// The scaled and turned copies made for drawing go; made again when next drawn.
void DropDrawingCopies(SpriteRecord& Record);

// sprite_turn.cpp. Draws a turned sprite through its turned part, straight
// onto the screen, and has the next step turned ahead on the second core.
int DrawTurnedSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod,
                       const ScreenTarget& View);
// The plain way: the turned part uploaded into a texture that SDL blends.
int DrawTurnedPlain(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod);
// Waits for the turning ahead, if one is under way (before anything that
// could change what it reads or writes).
void SettleTurns();
// The same, only when the turning ahead is Sprite's.
void SettleTurnOf(int Sprite);
