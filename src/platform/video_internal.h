// Shared between the platform's video files only (screen, sprites, images,
// text, PNG); nothing outside src/platform includes this header.
#pragma once

#include <SDL.h>
#include <cstddef>
#include <cstdint>
#include <vector>

// Largest side and pixel count of any picture, image or sprite we accept.
// A 16384-pixel side covers every desktop; 64 M pixels (256 MB) stops a hostile
// PNG header from asking for absurd memory.
constexpr int MaxPictureSide = 16384;
constexpr int64_t MaxPicturePixels = int64_t(1) << 26;

// 1 when Width x Height is a size we can hold.
int PictureSizeValid(int Width, int Height);

// ---------------------------------------------------------------------------
// screen.cpp
// ---------------------------------------------------------------------------

struct VideoScreenRecord {
    int VideoStarted = 0; // 1 after SDL's video subsystem was started by us
    SDL_Window* Window = nullptr;
    SDL_Renderer* Renderer = nullptr;
    // Graphics card renderer: the Width x Height render target every frame is
    // drawn into, keeping its content between frames. The software renderer
    // draws into the window's own surface instead, which keeps its content too.
    SDL_Texture* BackBuffer = nullptr;
    int Open = 0;
    int Mode = 0; // ScreenModeKind
    int Width = 0;
    int Height = 0;
    int Software = 0;        // 1 when the renderer is SDL's software renderer
    int VsyncPaced = 0;      // 1: presenting waits for a display of at most 60 Hz
    int Filtered = 0;        // 1: linear sampling for scaled and rotated sprites
    int FramesPerSecond = 0; // 0: no limiter
    uint64_t NextTick = 0;   // performance-counter time the next frame may start
    int ScriptActive = 1;    // headless focus, set by ScriptFocus
    // 1: the software renderer draws the plain way, through SDL's own
    // blitter and one-core turning (KISTORA_PLAIN_DRAWING=1): the reference
    // the fast drawing is checked against.
    int PlainDrawing = 0;
    // 1: our own drawing, but turning one pixel at a time, without SSE2 or
    // AVX2 (KISTORA_PLAIN_TURNING=1; for the benchmark).
    int PlainTurning = 0;
    int Drawn = 0;           // 1 once a sprite has been drawn onto the screen
    int FirstFrameNoted = 0; // 1 once the first drawn frame was presented (see PresentScreen)
    // The software renderer's window surface as last fetched. SDL replaces it
    // when the window changes size; the screen's content is kept across (see
    // KeepSoftwareScreen in screen.cpp).
    SDL_Surface* Surface = nullptr;
    std::vector<uint32_t> KeptScreen; // Width x Height, while a new surface is awaited
    int ScreenKept = 0;               // 1: KeptScreen holds the screen to put back
};
extern VideoScreenRecord VideoScreen;

// The frame limiter's schedule, in performance-counter ticks: the time to
// sleep until (0: go on at once) for a frame ending at Now, with *NextTick
// (0 at first) moved on by Period. A frame up to Tolerance early counts as on
// time (used when a display of at most 60 Hz paces the presents: the limiter
// then never makes a present miss its refresh, yet still caps the rate when
// presents stop waiting).
uint64_t FrameTickPlan(uint64_t Now, uint64_t* NextTick, uint64_t Period, uint64_t Tolerance);

// The software renderer's screen: the window surface's 32-bit pixels
// (0x..RRGGBB) that sprites are drawn onto, limited to the screen's size.
struct ScreenTarget {
    uint32_t* Pixels = nullptr;
    int Pitch = 0; // pixels per row
    int Width = 0;
    int Height = 0;
};
// The software renderer's screen with SDL's queued drawing done, so that what
// is drawn into it next lands on top. 0 with another renderer, or when the
// surface is not 32-bit RGB.
int SoftwareScreenTarget(ScreenTarget* View);
// icon.cpp: gives the window the icon set by SetWindowIcon, if any.
void ApplyWindowIcon();
// screen_renderer.cpp: the renderer for a new window; *Software 1 when it is
// SDL's software renderer. nullptr when none can be made.
SDL_Renderer* CreateScreenRenderer(SDL_Window* Window, int* Software);

// Where PresentScreen puts the Buffer-sized back buffer in a Drawable-sized
// window: Area, the same rectangle in both, is the part of the buffer that
// fits, at (0, 0) and unscaled. 1 when the drawable reaches beyond the buffer
// (to the right or below), so its margins must be cleared to black.
int PresentArea(int BufferWidth, int BufferHeight, int DrawableWidth, int DrawableHeight, SDL_Rect* Area);

// Starts SDL video (dummy driver when headless) once; 1 or 0.
int VideoStart();
void VideoStop();

// ---------------------------------------------------------------------------
// sprite.cpp and the other sprite files (sprite_internal.h)
// ---------------------------------------------------------------------------

// Destroys every sprite (pixels and texture); CloseScreen calls it.
void DestroyAllSprites();
// Uploads every sprite's pixels again at its next draw (after the renderer
// lost the contents of its textures).
void MarkSpriteTexturesDirty();
// Once per presented frame: the software renderer packs one large sprite
// that has not been shown for a while (and drops copies made for drawing).
void SpriteHousekeeping();

// ---------------------------------------------------------------------------
// image.cpp
// ---------------------------------------------------------------------------

struct ImageRecord {
    int InUse = 0;
    int Width = 0;
    int Height = 0;
    int HasAlpha = 1;             // 0 for pictures decoded from a PNG without alpha
    std::vector<uint32_t> Pixels; // row-major 0xRRGGBBAA; capacity kept while free
};

// The record of a live image, or nullptr.
ImageRecord* FindImage(int Image);
// Frees every image (PlatformShutdown).
void FreeAllImages();

// Source-over blending of 0xRRGGBBAA pixels with straight alpha: Over's
// colour with coverage OverAlpha (0-255) on top of Under.
inline uint32_t BlendOver(uint32_t Under, uint32_t Over, uint32_t OverAlpha)
{
    if (OverAlpha >= 255)
        return (Over & 0xffffff00u) | 255u;
    if (OverAlpha == 0)
        return Under;
    uint32_t UnderAlpha = Under & 255;
    // Rounded divisions by 255 keep an opaque Under opaque.
    uint32_t UnderWeight = (UnderAlpha * (255 - OverAlpha) + 127) / 255;
    uint32_t OutAlpha = OverAlpha + UnderWeight;
    uint32_t Result = OutAlpha;
    for (int Shift = 8; Shift < 32; Shift += 8) {
        uint32_t Top = (Over >> Shift) & 255;
        uint32_t Bottom = (Under >> Shift) & 255;
        uint32_t Value = (Top * OverAlpha + Bottom * UnderWeight + OutAlpha / 2) / OutAlpha;
        Result |= (Value > 255 ? 255 : Value) << Shift;
    }
    return Result;
}

// Smooth resampling (an area average when shrinking, bilinear when growing),
// with the colours weighted by alpha so transparent black does not darken
// the edges.
// AlphaShift is the bit position of the alpha byte (0 for 0xRRGGBBAA, 24 for
// 0xAARRGGBB); the other three bytes are treated alike.
void ResamplePixels(const uint32_t* Source, int SourceWidth, int SourceHeight, uint32_t* Target, int TargetWidth,
                    int TargetHeight, int AlphaShift);

// ---------------------------------------------------------------------------
// blit.cpp: sprite pixels (0xAARRGGBB) onto the software renderer's screen,
// with SDL's own arithmetic; pitches in pixels.
// ---------------------------------------------------------------------------

void BlitCopy(const uint32_t* Source, int SourcePitch, uint32_t* Target, int TargetPitch, int Width, int Height);
// Blended by the source's alpha.
void BlitBlend(const uint32_t* Source, int SourcePitch, uint32_t* Target, int TargetPitch, int Width, int Height);
// Blended by the source's alpha, with colour and alpha modulation (0-255).
void BlitBlendModulated(const uint32_t* Source, int SourcePitch, uint32_t* Target, int TargetPitch, int Width,
                        int Height, int ColourMod, int AlphaMod);
// One colour (0xAARRGGBB) over a rectangle: copied (Blended = 0), or blended
// as the three above would blend a source of that colour throughout.
void BlitUniform(uint32_t Colour, uint32_t* Target, int TargetPitch, int Width, int Height, int Blended, int ColourMod,
                 int AlphaMod);

// ---------------------------------------------------------------------------
// turn.cpp
// ---------------------------------------------------------------------------

// Turns a Width x Height picture (0xAARRGGBB), shown at DisplayWidth x
// DisplayHeight, clockwise by Degrees about its centre into a box of
// BoxWidth x BoxHeight, and writes the part from (FromX, FromY) of size
// Width x Height to Target (Pitch pixels per row). Outside the picture is
// transparent. Filtered: bilinear with alpha-weighted colours; else nearest.
void TurnPixels(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
                double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
                int Width, int Height, int Filtered);
// The same on the calling core alone (the turning that runs ahead on the second core).
void TurnPixelsOnOneCore(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
                         double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
                         int Width, int Height, int Filtered);

// ---------------------------------------------------------------------------
// text.cpp
// ---------------------------------------------------------------------------

// Releases the font and the glyph cache (PlatformShutdown).
void FontShutdown();
