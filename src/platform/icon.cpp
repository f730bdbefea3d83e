// The window icon: a copy of one picture, given to every window the screen
// opens (the screen opens a new window at every re-open).
#include "platform/platform.h"
#include "platform/video_internal.h"

static std::vector<uint32_t> IconPixels; // 0xRRGGBBAA, row-major; empty: no icon
static int IconWidth = 0;
static int IconHeight = 0;

int SetWindowIcon(int Image)
{
    IconPixels.clear();
    IconWidth = 0;
    IconHeight = 0;
    const uint32_t* Pixels = ImagePixels(Image);
    if (Pixels == nullptr)
        return 0;
    IconWidth = ImageWidth(Image);
    IconHeight = ImageHeight(Image);
    IconPixels.assign(Pixels, Pixels + size_t(IconWidth) * size_t(IconHeight));
    ApplyWindowIcon();
    return 1;
}

void ApplyWindowIcon()
{
    if (VideoScreen.Window == nullptr || IconPixels.empty())
        return;
    // 0xRRGGBBAA in a 32-bit word is SDL's packed RGBA8888; SDL copies the pixels.
    SDL_Surface* Surface = SDL_CreateRGBSurfaceWithFormatFrom(IconPixels.data(), IconWidth, IconHeight, 32,
                                                              IconWidth * 4, SDL_PIXELFORMAT_RGBA8888);
    if (Surface == nullptr)
        return;
    SDL_SetWindowIcon(VideoScreen.Window, Surface);
    SDL_FreeSurface(Surface);
}
