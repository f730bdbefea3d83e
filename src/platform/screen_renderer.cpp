// Which renderer the screen draws with: the graphics card's where there is
// one (Direct3D 11 first on Windows), SDL's software renderer otherwise, and
// the software one too when the accelerated one cannot be made, even when
// making it raised X errors.
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <glob.h>
#endif

static int GraphicsCardLikely();
static int PreferredRenderDriver();

// While the renderer is made, X errors are counted instead of ending the
// game through Xlib's default error handler: a GL driver that cannot make a
// context answers BadValue to GLX, and the error may arrive only when the
// software renderer replaces the window after. Nothing is done off X11.
namespace {
class XErrorGuard {
  public:
    XErrorGuard()
    {
#ifndef _WIN32
        const char* Driver = SDL_GetCurrentVideoDriver();
        if (Driver == nullptr || SDL_strcmp(Driver, "x11") != 0)
            return;
        Xlib = SDL_LoadObject("libX11.so.6");
        if (Xlib != nullptr)
            SetHandler = reinterpret_cast<SetHandlerFunction>(SDL_LoadFunction(Xlib, "XSetErrorHandler"));
        Errors() = 0;
        if (SetHandler != nullptr)
            Previous = SetHandler(Count);
#endif
    }
    ~XErrorGuard()
    {
        if (SetHandler != nullptr)
            SetHandler(Previous);
        if (Xlib != nullptr)
            SDL_UnloadObject(Xlib);
    }
    XErrorGuard(const XErrorGuard&) = delete;
    XErrorGuard& operator=(const XErrorGuard&) = delete;
    static int& Errors()
    {
        static int Seen = 0;
        return Seen;
    }

  private:
    using HandlerFunction = int (*)(void*, void*);
    using SetHandlerFunction = HandlerFunction (*)(HandlerFunction);
    static int Count(void*, void*)
    {
        Errors()++;
        return 0;
    }
    void* Xlib = nullptr;
    SetHandlerFunction SetHandler = nullptr;
    HandlerFunction Previous = nullptr;
};
} // namespace

// The graphics card's renderer with synchronised presents when there is one
// that can draw into a texture; SDL's software renderer otherwise, and also
// where OpenGL itself would only be a software rasteriser (no graphics card,
// a virtual display): our own drawing is far cheaper there. *Software tells
// which it is; nullptr when neither can be made.
SDL_Renderer* CreateScreenRenderer(SDL_Window* Window, int* Software)
{
    *Software = 0;
    SDL_Renderer* Renderer = nullptr;
    const Uint32 Accelerated = SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE;
    XErrorGuard Guard;
    if (!Overrides.Headless && GraphicsCardLikely()) {
        int First = PreferredRenderDriver();
        Renderer = SDL_CreateRenderer(Window, First, Accelerated);
        if (Renderer == nullptr && First >= 0)
            Renderer = SDL_CreateRenderer(Window, -1, Accelerated);
    }
    if (Renderer != nullptr && (XErrorGuard::Errors() > 0 || !SDL_RenderTargetSupported(Renderer))) {
        SDL_DestroyRenderer(Renderer);
        Renderer = nullptr;
    }
    if (Renderer == nullptr) {
        Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
        *Software = 1;
    }
    return Renderer;
}

// The render driver to try first: on Windows Direct3D 11 (SDL's own order
// puts Direct3D 9 first), unless the player names one (SDL_RENDER_DRIVER);
// -1, SDL's order, everywhere else.
static int PreferredRenderDriver()
{
#ifdef _WIN32
    const char* Chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (Chosen != nullptr && *Chosen != '\0')
        return -1;
    for (int Index = 0; Index < SDL_GetNumRenderDrivers(); Index++) {
        SDL_RendererInfo Info;
        if (SDL_GetRenderDriverInfo(Index, &Info) == 0 && SDL_strcmp(Info.name, "direct3d11") == 0)
            return Index;
    }
#endif
    return -1;
}

// 0 when OpenGL (or another accelerated API) would run on the processor:
// no graphics card device, an X server without direct rendering (a virtual
// display such as Xvfb), or Mesa told to rasterise in software. 1 otherwise,
// and always when the player names a render driver (SDL_RENDER_DRIVER).
static int GraphicsCardLikely()
{
    const char* Chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (Chosen != nullptr && *Chosen != '\0')
        return SDL_strcasecmp(Chosen, "software") != 0;
    const char* Driver = SDL_GetCurrentVideoDriver();
    if (Driver == nullptr)
        return 0;
    if (SDL_strcmp(Driver, "x11") != 0 && SDL_strcmp(Driver, "wayland") != 0 && SDL_strcmp(Driver, "kmsdrm") != 0)
        return 1; // Windows, macOS and the like: their accelerated renderer is the card's
#ifdef _WIN32
    return 1;
#else
    const char* Software = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    if (Software != nullptr && *Software != '\0' && std::strcmp(Software, "0") != 0)
        return 0;
    glob_t Devices;
    int Found = glob("/dev/dri/renderD*", 0, nullptr, &Devices) == 0 && Devices.gl_pathc > 0;
    globfree(&Devices);
    if (!Found)
        return 0;
    if (SDL_strcmp(Driver, "x11") != 0)
        return 1;
    // X11: the server must offer direct rendering (DRI2 or DRI3), which a
    // virtual display lacks. Asked through the Xlib SDL itself loaded.
    void* Xlib = SDL_LoadObject("libX11.so.6");
    if (Xlib == nullptr)
        return 1;
    using OpenDisplayFunction = void* (*)(const char*);
    using CloseDisplayFunction = int (*)(void*);
    using QueryExtensionFunction = int (*)(void*, const char*, int*, int*, int*);
    auto OpenDisplay = reinterpret_cast<OpenDisplayFunction>(SDL_LoadFunction(Xlib, "XOpenDisplay"));
    auto CloseDisplay = reinterpret_cast<CloseDisplayFunction>(SDL_LoadFunction(Xlib, "XCloseDisplay"));
    auto QueryExtension = reinterpret_cast<QueryExtensionFunction>(SDL_LoadFunction(Xlib, "XQueryExtension"));
    int Direct = 1;
    void* Display = OpenDisplay != nullptr ? OpenDisplay(nullptr) : nullptr;
    if (Display != nullptr && QueryExtension != nullptr) {
        int Opcode = 0, Event = 0, Error = 0;
        Direct = QueryExtension(Display, "DRI3", &Opcode, &Event, &Error) ||
                 QueryExtension(Display, "DRI2", &Opcode, &Event, &Error);
    }
    if (Display != nullptr && CloseDisplay != nullptr)
        CloseDisplay(Display);
    SDL_UnloadObject(Xlib);
    return Direct;
#endif
}
