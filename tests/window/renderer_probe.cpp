// Loaded into the game with LD_PRELOAD by renderers.sh: after every
// SDL_CreateRenderer it appends to the file named by KISTORA_RENDERER_REPORT
// one line saying what the game asked for and which renderer SDL made (or
// "none") and, for an OpenGL one, the GL renderer string (on a machine
// without a graphics card, Mesa's llvmpipe). It changes nothing: the game
// gets SDL's own result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

// SDL_RendererInfo as SDL 2 lays it out; the flag values are SDL 2's too.
struct RendererInfo {
    const char* Name;
    uint32_t Flags;
    uint32_t TextureFormatCount;
    uint32_t TextureFormats[16];
    int MaxTextureWidth;
    int MaxTextureHeight;
};
constexpr uint32_t Software = 0x1, Accelerated = 0x2, PresentVsync = 0x4, TargetTexture = 0x8;
constexpr unsigned GlRenderer = 0x1F01, GlVersion = 0x1F02;

using CreateRendererFunction = void* (*)(void*, int, uint32_t);
using GetRendererInfoFunction = int (*)(void*, RendererInfo*);
using GetProcAddressFunction = void* (*)(const char*);
using GetStringFunction = const unsigned char* (*)(unsigned);

void Report(void* Renderer, uint32_t Asked)
{
    const char* Path = std::getenv("KISTORA_RENDERER_REPORT");
    if (Path == nullptr || *Path == '\0')
        return;
    std::FILE* File = std::fopen(Path, "a");
    if (File == nullptr)
        return;
    std::fprintf(File, "asked for %s renderer, SDL made",
                 (Asked & Software)      ? "a software"
                 : (Asked & Accelerated) ? "an accelerated"
                                         : "any");
    auto GetInfo = reinterpret_cast<GetRendererInfoFunction>(dlsym(RTLD_DEFAULT, "SDL_GetRendererInfo"));
    RendererInfo Info{};
    if (Renderer == nullptr || GetInfo == nullptr || GetInfo(Renderer, &Info) != 0 || Info.Name == nullptr) {
        std::fputs(" none\n", File);
        std::fclose(File);
        return;
    }
    std::fprintf(File, " %s (%s%s%s)", Info.Name, (Info.Flags & Accelerated) ? "accelerated" : "not accelerated",
                 (Info.Flags & PresentVsync) ? ", vsync" : "", (Info.Flags & TargetTexture) ? ", target textures" : "");
    if (std::strncmp(Info.Name, "opengl", 6) == 0) {
        // The renderer's context is current once SDL has made it.
        auto GetProc = reinterpret_cast<GetProcAddressFunction>(dlsym(RTLD_DEFAULT, "SDL_GL_GetProcAddress"));
        auto GetString = GetProc != nullptr ? reinterpret_cast<GetStringFunction>(GetProc("glGetString")) : nullptr;
        const unsigned char* Name = GetString != nullptr ? GetString(GlRenderer) : nullptr;
        const unsigned char* Version = GetString != nullptr ? GetString(GlVersion) : nullptr;
        std::fprintf(File, " on GL %s, %s", Name != nullptr ? reinterpret_cast<const char*>(Name) : "?",
                     Version != nullptr ? reinterpret_cast<const char*>(Version) : "?");
    }
    std::fputc('\n', File);
    std::fclose(File);
}

} // namespace

// Stands in for SDL's own, which it calls.
extern "C" void* SDL_CreateRenderer(void* Window, int Index, uint32_t Flags);

extern "C" void* SDL_CreateRenderer(void* Window, int Index, uint32_t Flags)
{
    static auto Real = reinterpret_cast<CreateRendererFunction>(dlsym(RTLD_NEXT, "SDL_CreateRenderer"));
    void* Renderer = Real != nullptr ? Real(Window, Index, Flags) : nullptr;
    Report(Renderer, Flags);
    return Renderer;
}
