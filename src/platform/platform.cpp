// Platform services as a whole: the start of SDL's core, the release of every
// service at the end, and the process exit.
#include "platform/platform.h"

#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <cstdio>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

PlatformOverrides Overrides;

// 1 between PlatformInit and PlatformShutdown.
static int PlatformStarted = 0;

int PlatformInit()
{
    if (PlatformStarted)
        return 1;
    if (Overrides.Headless) {
        // The scripted driver and the tests run without a display or sound card.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
    }
#if defined(__GLIBC__)
    // Pictures of a megabyte or more (screen-sized sprites, decoded pictures)
    // get pages of their own, given back the moment they are freed; left to
    // itself the allocator would move that threshold up after the first such
    // free and keep the memory of every later one.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
#ifdef _WIN32
    SDL_SetMainReady(); // the game's main() is a plain one, not SDL's
#endif
    if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
        return 0;
    PlatformStarted = 1;
    return 1;
}

void PlatformShutdown()
{
    WorkerShutdown();
    VideoStop(); // closes the screen: every sprite, the renderer and the window
    FontShutdown();
    FreeAllImages();
    SoundShutdown();
    InputShutdown();
    CloseAllFiles();
    if (PlatformStarted)
        SDL_Quit();
    PlatformStarted = 0;
}

void PlatformExit(int Status)
{
    PlatformShutdown();
    std::exit(Status);
}

void ShowMessageBox(const std::string& Title, const std::string& Text)
{
    // Over the game window when there is one, else on the desktop; without a
    // display (headless, no X server) the message goes to standard error.
    SDL_Window* Parent = VideoScreen.Window;
    if (Parent != nullptr && !(SDL_GetWindowFlags(Parent) & SDL_WINDOW_SHOWN))
        Parent = nullptr;
    if (!Overrides.Headless && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, Title.c_str(), Text.c_str(), Parent) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", Title.c_str(), Text.c_str());
    std::fflush(stderr);
}
