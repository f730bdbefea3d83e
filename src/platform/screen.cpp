// The screen: window, renderer, the persistent back buffer, presenting with
// the frame limiter, the focus query and the window events.
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>

// What "examine the desktops" reports when headless and not told otherwise.
static constexpr int HeadlessDesktopWidth = 1920;
static constexpr int HeadlessDesktopHeight = 1080;

VideoScreenRecord VideoScreen;

// Window events waiting for NextWindowEvent, oldest first.
static std::deque<int> WindowEvents;

static int CreateBackBuffer();
static void NoteFirstFrame();
static void HandleWindowEvent(const SDL_WindowEvent& Event);
static void WaitForFrameTick();
static int KeepSoftwareScreen(void* Unused, SDL_Event* Event);
static void RestoreSoftwareScreen();

int VideoStart()
{
    if (VideoScreen.VideoStarted)
        return 1;
    if (Overrides.Headless) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_OVERRIDE);
    }
    // The software renderer's window surface is the window system's own
    // (X11 shared memory), never a texture of an OpenGL context made for it:
    // that would load a GL driver (on a machine without a graphics card a
    // software rasteriser of some 90 MB) just to show a picture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The game takes keys, never typed text: the X input method's compose
    // table (thousands of sequences parsed from the locale's Compose file,
    // about 10 ms of every start) is left empty, unless the player names one.
#if !defined(_WIN32)
    setenv("XCOMPOSEFILE", "/dev/null", 0);
#endif
    const char* Plain = std::getenv("KISTORA_PLAIN_DRAWING");
    VideoScreen.PlainDrawing = Plain == nullptr               ? 0
                               : std::strcmp(Plain, "1") == 0 ? 1
                               : std::strcmp(Plain, "2") == 0 ? 2
                                                              : 0;
    if (VideoScreen.PlainDrawing == 1)
        std::fputs("kistora: plain drawing (SDL's blitter, turning on one core)\n", stderr);
    const char* PlainTurning = std::getenv("KISTORA_PLAIN_TURNING");
    VideoScreen.PlainTurning = PlainTurning != nullptr && std::strcmp(PlainTurning, "1") == 0;
    if (VideoScreen.PlainDrawing == 2)
        std::fputs("kistora: plain drawing (SDL's blitter and SDL's turning)\n", stderr);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return 0;
    // Watching before any renderer does: ours must see a resize first.
    SDL_AddEventWatch(KeepSoftwareScreen, nullptr);
    VideoScreen.VideoStarted = 1;
    return 1;
}

void VideoStop()
{
    CloseScreen();
    if (VideoScreen.VideoStarted) {
        SDL_DelEventWatch(KeepSoftwareScreen, nullptr);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    VideoScreen.VideoStarted = 0;
}

int InitSprite()
{
    return VideoStart();
}

int DesktopCount()
{
    if (Overrides.Headless || !VideoStart())
        return 1;
    int Count = SDL_GetNumVideoDisplays();
    return Count > 0 ? Count : 1;
}

int DesktopSize(int Index, int* Width, int* Height)
{
    *Width = 0;
    *Height = 0;
    if (Overrides.DesktopWidth > 0 && Overrides.DesktopHeight > 0) {
        *Width = Overrides.DesktopWidth;
        *Height = Overrides.DesktopHeight;
        return 1;
    }
    if (Overrides.Headless) {
        *Width = HeadlessDesktopWidth;
        *Height = HeadlessDesktopHeight;
        return 1;
    }
    SDL_DisplayMode Mode;
    if (!VideoStart() || SDL_GetDesktopDisplayMode(Index, &Mode) != 0)
        return 0;
    *Width = Mode.w;
    *Height = Mode.h;
    return 1;
}

int OpenScreen(int Mode, int Width, int Height, const std::string& Title)
{
    CloseScreen();
    if (Mode < ModeFullScreen || Mode > ModeBorderless || !PictureSizeValid(Width, Height) || !VideoStart())
        return 0;

    SDL_Rect Bounds = {0, 0, Width, Height};
    if (SDL_GetDisplayBounds(0, &Bounds) != 0)
        Bounds = SDL_Rect{0, 0, Width, Height};
    Uint32 Flags = SDL_WINDOW_HIDDEN;
    int X = SDL_WINDOWPOS_CENTERED_DISPLAY(0);
    int Y = SDL_WINDOWPOS_CENTERED_DISPLAY(0);
    if (Overrides.Headless) {
        // The dummy driver has no display modes to switch: a plain surface.
        X = 0;
        Y = 0;
    } else if (Mode == ModeFullScreen) {
        Flags = SDL_WINDOW_FULLSCREEN;
    } else if (Mode == ModeWindowed) {
        // Larger than the display: keep the caption reachable at its top-left.
        if (Width > Bounds.w || Height > Bounds.h) {
            X = Bounds.x;
            Y = Bounds.y;
        }
    } else {
        Flags |= SDL_WINDOW_BORDERLESS;
        X = Bounds.x;
        Y = Bounds.y;
    }
    VideoScreen.Window = SDL_CreateWindow(Title.c_str(), X, Y, Width, Height, Flags);
    if (VideoScreen.Window == nullptr)
        return 0;
    ApplyWindowIcon();

    // The graphics card's renderer, or SDL's software one (screen_renderer.cpp).
    VideoScreen.Renderer = CreateScreenRenderer(VideoScreen.Window, &VideoScreen.Software);
    if (VideoScreen.Renderer == nullptr ||
        (!VideoScreen.Software && !SDL_RenderTargetSupported(VideoScreen.Renderer))) {
        CloseScreen();
        return 0;
    }
    VideoScreen.Mode = Mode;
    VideoScreen.Width = Width;
    VideoScreen.Height = Height;
    if (!CreateBackBuffer()) {
        CloseScreen();
        return 0;
    }
    VideoScreen.Open = 1;
    VideoScreen.NextTick = 0;
    // On a display of 60 Hz or less the synchronised present already holds the
    // pace (see WaitForFrameTick).
    SDL_RendererInfo Info;
    SDL_DisplayMode Display;
    VideoScreen.VsyncPaced = 0;
    if (!Overrides.Headless && SDL_GetRendererInfo(VideoScreen.Renderer, &Info) == 0 &&
        (Info.flags & SDL_RENDERER_PRESENTVSYNC) &&
        SDL_GetCurrentDisplayMode(std::max(0, SDL_GetWindowDisplayIndex(VideoScreen.Window)), &Display) == 0 &&
        Display.refresh_rate > 0 && Display.refresh_rate <= 61)
        VideoScreen.VsyncPaced = 1;
    ShowMouseCursor(Mode == ModeWindowed);
    return 1;
}

void CloseScreen()
{
    DestroyAllSprites();
    if (VideoScreen.BackBuffer != nullptr)
        SDL_DestroyTexture(VideoScreen.BackBuffer);
    if (VideoScreen.Renderer != nullptr)
        SDL_DestroyRenderer(VideoScreen.Renderer);
    if (VideoScreen.Window != nullptr) {
        SDL_DestroyWindow(VideoScreen.Window);
        SDL_ShowCursor(SDL_ENABLE);
    }
    VideoScreen.BackBuffer = nullptr;
    VideoScreen.Renderer = nullptr;
    VideoScreen.Window = nullptr;
    VideoScreen.Surface = nullptr;
    VideoScreen.KeptScreen = std::vector<uint32_t>();
    VideoScreen.ScreenKept = 0;
    VideoScreen.Open = 0;
    VideoScreen.Width = 0;
    VideoScreen.Height = 0;
    WindowEvents.clear();
}

int ScreenIsOpen()
{
    return VideoScreen.Open;
}

uint64_t FrameTickPlan(uint64_t Now, uint64_t* NextTick, uint64_t Period, uint64_t Tolerance)
{
    // Late by more than a frame (or the first frame): a fresh schedule, no
    // racing to catch up.
    if (*NextTick == 0 || Now > *NextTick + Period) {
        *NextTick = Now + Period;
        return 0;
    }
    // On time, or early by no more than the tolerance: the schedule follows
    // this frame, so a display's own pace is never fought.
    if (Now + Tolerance >= *NextTick) {
        *NextTick = Now + Period;
        return 0;
    }
    uint64_t Until = *NextTick;
    *NextTick += Period;
    return Until;
}

void ShowScreenWindow()
{
    if (VideoScreen.Window == nullptr)
        return;
    SDL_ShowWindow(VideoScreen.Window);
    SDL_RaiseWindow(VideoScreen.Window);
    // Without a window manager (a bare X server) raising gives no focus; the
    // game would then wait forever for it. Ask for the keyboard focus too.
    if (!Overrides.Headless)
        SDL_SetWindowInputFocus(VideoScreen.Window);
}

void MinimiseScreenWindow()
{
    if (VideoScreen.Window != nullptr)
        SDL_MinimizeWindow(VideoScreen.Window);
}

void ShowMouseCursor(int Show)
{
    if (VideoScreen.VideoStarted)
        SDL_ShowCursor(Show ? SDL_ENABLE : SDL_DISABLE);
}

int ScreenActive()
{
    if (Overrides.Headless)
        return VideoScreen.ScriptActive;
    if (VideoScreen.Window == nullptr)
        return 0;
    Uint32 Flags = SDL_GetWindowFlags(VideoScreen.Window);
    if (Flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN))
        return 0;
    return (Flags & SDL_WINDOW_INPUT_FOCUS) ? 1 : 0;
}

void SetFrameRate(int FramesPerSecond)
{
    VideoScreen.FramesPerSecond = FramesPerSecond > 0 ? FramesPerSecond : 0;
    VideoScreen.NextTick = 0;
}

void PresentScreen()
{
    RestoreSoftwareScreen();
    if (VideoScreen.Open)
        SpriteHousekeeping();
    // Nothing drawn yet (the window has just been shown): there is no picture
    // to show, and the first one follows at once instead of a frame later.
    if (!VideoScreen.Drawn)
        return;
    if (VideoScreen.Open && VideoScreen.BackBuffer == nullptr) {
        // Software: the window surface itself goes to the display.
        SDL_RenderPresent(VideoScreen.Renderer);
    } else if (VideoScreen.Open) {
        SDL_Renderer* Renderer = VideoScreen.Renderer;
        SDL_SetRenderTarget(Renderer, nullptr);
        // The window's drawable size, in pixels (the renderer's output once
        // the back buffer is no longer its target).
        int DrawableWidth = VideoScreen.Width, DrawableHeight = VideoScreen.Height;
        if (SDL_GetRendererOutputSize(Renderer, &DrawableWidth, &DrawableHeight) != 0) {
            DrawableWidth = VideoScreen.Width;
            DrawableHeight = VideoScreen.Height;
        }
        SDL_Rect Area;
        if (PresentArea(VideoScreen.Width, VideoScreen.Height, DrawableWidth, DrawableHeight, &Area)) {
            SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
            SDL_RenderClear(Renderer);
        }
        SDL_RenderCopy(Renderer, VideoScreen.BackBuffer, &Area, &Area);
        SDL_RenderPresent(Renderer);
        SDL_SetRenderTarget(Renderer, VideoScreen.BackBuffer);
    }
    if (VideoScreen.Open && VideoScreen.Drawn && !VideoScreen.FirstFrameNoted)
        NoteFirstFrame();
    if (!Overrides.Headless)
        WaitForFrameTick();
}

int PresentArea(int BufferWidth, int BufferHeight, int DrawableWidth, int DrawableHeight, SDL_Rect* Area)
{
    // 1:1 at the top-left, never stretched: a window manager may give the
    // window another size than asked for, and on a scaled desktop the drawable
    // differs from the window size. What does not fit is cut off.
    Area->x = 0;
    Area->y = 0;
    Area->w = std::max(0, std::min(BufferWidth, DrawableWidth));
    Area->h = std::max(0, std::min(BufferHeight, DrawableHeight));
    return DrawableWidth > BufferWidth || DrawableHeight > BufferHeight;
}

void SetFilteredSampling(int On)
{
    VideoScreen.Filtered = On ? 1 : 0;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, On ? "linear" : "nearest");
}

void PumpEvents()
{
    int CloseQueued = 0;
    SDL_Event Event;
    while (SDL_PollEvent(&Event)) {
        switch (Event.type) {
        case SDL_WINDOWEVENT:
            // Headless runs take their window events from the script only, so a
            // run never depends on what the dummy driver happens to send.
            if (!Overrides.Headless && VideoScreen.Window != nullptr &&
                Event.window.windowID == SDL_GetWindowID(VideoScreen.Window)) {
                if (Event.window.event == SDL_WINDOWEVENT_CLOSE)
                    CloseQueued = 1;
                HandleWindowEvent(Event.window);
            }
            break;
        case SDL_QUIT:
            // Also sent after the close request of the last window: one close is enough.
            if (!CloseQueued)
                ScriptWindowEvent(WindowEventClose);
            CloseQueued = 1;
            break;
        case SDL_RENDER_TARGETS_RESET:
            // The back buffer lost its content; the next frame draws it again.
            if (VideoScreen.Open) {
                SDL_SetRenderDrawColor(VideoScreen.Renderer, 0, 0, 0, 255);
                SDL_RenderClear(VideoScreen.Renderer);
            }
            break;
        case SDL_RENDER_DEVICE_RESET:
            MarkSpriteTexturesDirty();
            if (VideoScreen.Open) {
                SDL_SetRenderDrawColor(VideoScreen.Renderer, 0, 0, 0, 255);
                SDL_RenderClear(VideoScreen.Renderer);
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_JOYAXISMOTION:
        case SDL_JOYBALLMOTION:
        case SDL_JOYHATMOTION:
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_CONTROLLERAXISMOTION:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEREMAPPED: InputHandleEvent(Event); break;
        default: break;
        }
    }
    RestoreSoftwareScreen();
}

int NextWindowEvent()
{
    if (WindowEvents.empty())
        return WindowEventNone;
    int Event = WindowEvents.front();
    WindowEvents.pop_front();
    return Event;
}

int SaveScreenshot(const std::string& Path)
{
    std::vector<uint32_t> Pixels;
    int Width = 0, Height = 0;
    if (!ReadBackBuffer(Pixels, &Width, &Height))
        return 0;
    std::vector<uint8_t> Bytes;
    if (!EncodePng(Pixels.data(), Width, Height, 0, Bytes))
        return 0;
    return WriteFileAtomic(Path, Bytes.data(), Bytes.size());
}

int ReadBackBuffer(std::vector<uint32_t>& Pixels, int* Width, int* Height)
{
    Pixels.clear();
    *Width = 0;
    *Height = 0;
    if (!VideoScreen.Open)
        return 0;
    int W = VideoScreen.Width, H = VideoScreen.Height;
    Pixels.resize(size_t(W) * H);
    // The back buffer (or the software renderer's window surface) is the
    // current target between presents.
    SDL_Rect Area = {0, 0, W, H};
    if (SDL_RenderReadPixels(VideoScreen.Renderer, &Area, SDL_PIXELFORMAT_ARGB8888, Pixels.data(), W * 4) != 0) {
        Pixels.clear();
        return 0;
    }
    // The screen has no transparency: what a plain draw left in alpha is not shown.
    for (uint32_t& P : Pixels)
        P = (P << 8) | 0xffu;
    *Width = W;
    *Height = H;
    return 1;
}

// Queues a window event; the window system's own come the same way (HandleWindowEvent).
void ScriptWindowEvent(int Event)
{
    if (Event > WindowEventNone && Event <= WindowEventClose)
        WindowEvents.push_back(Event);
}

void ScriptFocus(int Active)
{
    VideoScreen.ScriptActive = Active ? 1 : 0;
}

int SoftwareScreenTarget(ScreenTarget* View)
{
    RestoreSoftwareScreen();
    if (!VideoScreen.Open || !VideoScreen.Software || VideoScreen.BackBuffer != nullptr)
        return 0;
    SDL_Surface* Surface = SDL_GetWindowSurface(VideoScreen.Window);
    VideoScreen.Surface = Surface;
    if (Surface == nullptr || Surface->pixels == nullptr || Surface->format->BytesPerPixel != 4 ||
        Surface->format->Rmask != 0x00ff0000u || Surface->format->Gmask != 0x0000ff00u ||
        Surface->format->Bmask != 0x000000ffu || SDL_MUSTLOCK(Surface))
        return 0;
    SDL_RenderFlush(VideoScreen.Renderer);
    View->Pixels = static_cast<uint32_t*>(Surface->pixels);
    View->Pitch = Surface->pitch / 4;
    View->Width = std::min(Surface->w, VideoScreen.Width);
    View->Height = std::min(Surface->h, VideoScreen.Height);
    return 1;
}

// The software renderer draws into the window surface, which SDL frees and
// makes anew when the window changes size (a window manager's choice, a scaled
// desktop): the old one lives until SDL_GetWindowSurface is next called, by us
// or by the renderer reacting to the same event. This watch runs before the
// renderer's and copies the screen out of the old surface; RestoreSoftwareScreen
// puts it back before anything is drawn. Called by SDL for every event.
static int KeepSoftwareScreen(void*, SDL_Event* Event)
{
    if (Event->type != SDL_WINDOWEVENT || Event->window.event != SDL_WINDOWEVENT_SIZE_CHANGED || !VideoScreen.Open ||
        !VideoScreen.Software || VideoScreen.BackBuffer != nullptr || VideoScreen.Window == nullptr ||
        Event->window.windowID != SDL_GetWindowID(VideoScreen.Window))
        return 1;
    SDL_Surface* Old = VideoScreen.Surface;
    if (VideoScreen.ScreenKept || Old == nullptr || Old->pixels == nullptr || Old->format->BytesPerPixel != 4)
        return 1; // already kept (resized twice in a row), or nothing drawn yet
    int W = VideoScreen.Width, H = VideoScreen.Height;
    VideoScreen.KeptScreen.assign(size_t(W) * H, 0);
    for (int Y = 0; Y < std::min(H, Old->h); Y++)
        std::memcpy(&VideoScreen.KeptScreen[size_t(Y) * W], static_cast<uint8_t*>(Old->pixels) + size_t(Y) * Old->pitch,
                    size_t(std::min(W, Old->w)) * 4);
    VideoScreen.ScreenKept = 1;
    VideoScreen.Surface = nullptr;
    return 1;
}

// The kept screen into the new window surface when it has the screen's size;
// at any other size into a back buffer texture, shown 1:1 at the top-left
// like the graphics card's (see PresentArea), for as long as the screen is open.
static void RestoreSoftwareScreen()
{
    if (!VideoScreen.ScreenKept)
        return;
    VideoScreen.ScreenKept = 0;
    std::vector<uint32_t> Kept;
    Kept.swap(VideoScreen.KeptScreen);
    if (!VideoScreen.Open || VideoScreen.BackBuffer != nullptr)
        return;
    int W = VideoScreen.Width, H = VideoScreen.Height;
    SDL_Surface* Surface = SDL_GetWindowSurface(VideoScreen.Window);
    VideoScreen.Surface = Surface;
    SDL_Rect Whole = {0, 0, W, H};
    if (Surface != nullptr && Surface->w == W && Surface->h == H &&
        SDL_ConvertPixels(W, H, SDL_PIXELFORMAT_ARGB8888, Kept.data(), W * 4, Surface->format->format, Surface->pixels,
                          Surface->pitch) == 0)
        return;
    SDL_Texture* Buffer =
        SDL_CreateTexture(VideoScreen.Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, W, H);
    if (Buffer == nullptr)
        return; // drawn into whatever part of the surface there is, as before
    SDL_SetTextureBlendMode(Buffer, SDL_BLENDMODE_NONE);
    SDL_UpdateTexture(Buffer, &Whole, Kept.data(), W * 4);
    if (SDL_SetRenderTarget(VideoScreen.Renderer, Buffer) != 0) {
        SDL_DestroyTexture(Buffer);
        return;
    }
    VideoScreen.BackBuffer = Buffer;
}

// The screen every frame is drawn into; it keeps its content between frames.
// With the graphics card a W x H render target texture, left as the
// renderer's current target; with the software renderer the window surface.
// Cleared to black.
static int CreateBackBuffer()
{
    if (VideoScreen.Software) {
        VideoScreen.Surface = SDL_GetWindowSurface(VideoScreen.Window);
        SDL_SetRenderDrawColor(VideoScreen.Renderer, 0, 0, 0, 255);
        return SDL_RenderClear(VideoScreen.Renderer) == 0 ? 1 : 0;
    }
    Uint32 Format = SDL_PIXELFORMAT_ARGB8888;
    VideoScreen.BackBuffer = SDL_CreateTexture(VideoScreen.Renderer, Format, SDL_TEXTUREACCESS_TARGET,
                                               VideoScreen.Width, VideoScreen.Height);
    if (VideoScreen.BackBuffer == nullptr)
        return 0;
    SDL_SetTextureBlendMode(VideoScreen.BackBuffer, SDL_BLENDMODE_NONE);
    if (SDL_SetRenderTarget(VideoScreen.Renderer, VideoScreen.BackBuffer) != 0)
        return 0;
    SDL_SetRenderDrawColor(VideoScreen.Renderer, 0, 0, 0, 255);
    SDL_RenderClear(VideoScreen.Renderer);
    return 1;
}

// For the start-up benchmark: when KISTORA_FIRST_FRAME_FILE names a file, the
// moment the first drawn frame went to the display is written there, as
// "<wall clock ns since 1970> <process CPU ns>".
static void NoteFirstFrame()
{
    VideoScreen.FirstFrameNoted = 1;
    const char* Path = std::getenv("KISTORA_FIRST_FRAME_FILE");
    if (Path == nullptr || *Path == '\0')
        return;
    timespec Wall{}, Cpu{};
    clock_gettime(CLOCK_REALTIME, &Wall);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Cpu);
    if (std::FILE* File = std::fopen(Path, "w")) {
        std::fprintf(File, "%lld %lld\n", (long long)Wall.tv_sec * 1000000000LL + Wall.tv_nsec,
                     (long long)Cpu.tv_sec * 1000000000LL + Cpu.tv_nsec);
        std::fclose(File);
    }
}

static void HandleWindowEvent(const SDL_WindowEvent& Event)
{
    switch (Event.event) {
    case SDL_WINDOWEVENT_EXPOSED: ScriptWindowEvent(WindowEventRepaint); break;
    case SDL_WINDOWEVENT_MINIMIZED: ScriptWindowEvent(WindowEventMinimised); break;
    case SDL_WINDOWEVENT_RESTORED: ScriptWindowEvent(WindowEventRestored); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: ScriptWindowEvent(WindowEventActivated); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: ScriptWindowEvent(WindowEventDeactivated); break;
    case SDL_WINDOWEVENT_CLOSE: ScriptWindowEvent(WindowEventClose); break;
    default: break;
    }
}

// Sleeps until the next 1/FramesPerSecond tick (see FrameTickPlan).
static void WaitForFrameTick()
{
    if (VideoScreen.FramesPerSecond <= 0)
        return;
    uint64_t Frequency = SDL_GetPerformanceFrequency();
    uint64_t Period = Frequency / uint64_t(VideoScreen.FramesPerSecond);
    uint64_t Tolerance = (VideoScreen.Open && VideoScreen.VsyncPaced) ? Frequency / 500 : 0; // 2 ms
    uint64_t Now = SDL_GetPerformanceCounter();
    uint64_t Until = FrameTickPlan(Now, &VideoScreen.NextTick, Period, Tolerance);
    while (Now < Until) {
        uint64_t RemainingMs = (Until - Now) * 1000 / Frequency;
        SDL_Delay(RemainingMs >= 1 ? Uint32(RemainingMs) : 0);
        Now = SDL_GetPerformanceCounter();
    }
}
