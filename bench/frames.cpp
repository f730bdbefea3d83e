// The game's own frame loop, headless (software renderer, SDL's dummy video
// and sound), state by state: the CPU time of every frame on the game's
// thread, its wall time, the CPU of the whole process per frame (the second
// core's share and the sound threads included: work done ahead on the second
// core lands in whichever frames it overlaps, so only its mean is telling),
// and the memory allocations made during each frame, counted by a hook on malloc.
//
//   bench-frames [--desktop WxH] [--frames N] [--warmup N] [--states N]
//
// (--states N: only the first N states, for drawing too slow to measure all.)
//
// Prints one line per state:
//   state <name> frames <n> cpu_median_ms <x> cpu_p99_ms <y> wall_median_ms <w> wall_p99_ms <v>
//         process_cpu_mean_ms <m> allocs_per_frame <a> frames_allocating <f> other_thread_allocs <o>
// and the peak resident memory of the process. Frames run as fast as they
// can; the virtual clock advances 1/60 s per frame as in kistora-script.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <pthread.h>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// The allocation hook: every malloc, calloc, realloc and aligned allocation of
// the process passes here (operator new comes through malloc), counted for
// the game's thread and for all others apart.
// ---------------------------------------------------------------------------

extern "C" {
void* __libc_malloc(size_t Size);
void* __libc_calloc(size_t Count, size_t Size);
void* __libc_realloc(void* Block, size_t Size);
void* __libc_memalign(size_t Alignment, size_t Size);
void __libc_free(void* Block);
}

static pthread_t GameThread;
static std::atomic<int> Counting{0};
static std::atomic<uint64_t> GameThreadAllocations{0};
static std::atomic<uint64_t> OtherAllocations{0};

static inline void CountAllocation()
{
    if (!Counting.load(std::memory_order_relaxed))
        return;
    if (pthread_equal(pthread_self(), GameThread))
        GameThreadAllocations.fetch_add(1, std::memory_order_relaxed);
    else
        OtherAllocations.fetch_add(1, std::memory_order_relaxed);
}

extern "C" void* malloc(size_t Size)
{
    CountAllocation();
    return __libc_malloc(Size);
}

extern "C" void* calloc(size_t Count, size_t Size)
{
    CountAllocation();
    return __libc_calloc(Count, Size);
}

extern "C" void* realloc(void* Block, size_t Size)
{
    CountAllocation();
    return __libc_realloc(Block, Size);
}

extern "C" void* memalign(size_t Alignment, size_t Size); // declared by no standard header
extern "C" void* memalign(size_t Alignment, size_t Size)
{
    CountAllocation();
    return __libc_memalign(Alignment, Size);
}

extern "C" void* aligned_alloc(size_t Alignment, size_t Size)
{
    CountAllocation();
    return __libc_memalign(Alignment, Size);
}

extern "C" int posix_memalign(void** Block, size_t Alignment, size_t Size)
{
    CountAllocation();
    *Block = __libc_memalign(Alignment, Size);
    return *Block != nullptr || Size == 0 ? 0 : 12; // ENOMEM
}

extern "C" void free(void* Block)
{
    __libc_free(Block);
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

namespace {

struct FrameCost {
    double CpuMs;
    double WallMs;
    uint64_t Allocations;
};

double ClockMs(clockid_t Clock)
{
    timespec Now;
    clock_gettime(Clock, &Now);
    return double(Now.tv_sec) * 1000.0 + double(Now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> Values, double Share)
{
    std::sort(Values.begin(), Values.end());
    return Values[std::min(Values.size() - 1, size_t(double(Values.size()) * Share))];
}

// Held keys for the frames of a state, changed every few frames (a hook
// called before each frame with the frame's number).
using FrameHook = std::function<void(int)>;

void OneFrame()
{
    if (!RunFrame()) {
        std::fprintf(stderr, "bench-frames: the game ended\n");
        std::exit(1);
    }
    AdvanceVirtualFrame();
}

void Press(int Key)
{
    ScriptKey(Key, 1);
    OneFrame();
    ScriptKey(Key, 0);
    OneFrame();
}

void Frames(int Count)
{
    for (int I = 0; I < Count; ++I)
        OneFrame();
}

long PeakResidentKib();
int StatesLeft = -1;    // states still to measure (-1: all)
std::string UserFolder; // removed at the end

// Runs Warmup frames, then measures Count; prints the state's line.
void Measure(const char* Name, int Warmup, int Count, int WantState, const FrameHook& Before = {})
{
    for (int I = 0; I < Warmup; ++I) {
        if (Before)
            Before(I);
        OneFrame();
    }
    std::vector<FrameCost> Costs;
    Costs.reserve(size_t(Count));
    uint64_t Others = 0;
    int Wrong = 0;
    double ProcessStart = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    for (int I = 0; I < Count; ++I) {
        if (Before)
            Before(Warmup + I);
        uint64_t OtherBefore = OtherAllocations.load();
        uint64_t MainBefore = GameThreadAllocations.load();
        Counting = 1;
        double Cpu = ClockMs(CLOCK_THREAD_CPUTIME_ID), Wall = ClockMs(CLOCK_MONOTONIC);
        OneFrame();
        double CpuEnd = ClockMs(CLOCK_THREAD_CPUTIME_ID), WallEnd = ClockMs(CLOCK_MONOTONIC);
        Counting = 0;
        Costs.push_back({CpuEnd - Cpu, WallEnd - Wall, GameThreadAllocations.load() - MainBefore});
        Others += OtherAllocations.load() - OtherBefore;
        Wrong += GameState != WantState;
    }
    double ProcessMean = (ClockMs(CLOCK_PROCESS_CPUTIME_ID) - ProcessStart) / double(Count);
    std::vector<double> Cpu, Wall;
    uint64_t Allocations = 0, FramesAllocating = 0;
    for (const FrameCost& C : Costs) {
        Cpu.push_back(C.CpuMs);
        Wall.push_back(C.WallMs);
        Allocations += C.Allocations;
        FramesAllocating += C.Allocations > 0;
    }
    std::printf("state %s frames %d cpu_median_ms %.3f cpu_p99_ms %.3f wall_median_ms %.3f wall_p99_ms %.3f "
                "process_cpu_mean_ms %.3f allocs_per_frame %.3f frames_allocating %llu other_thread_allocs %llu%s\n",
                Name, Count, Percentile(Cpu, 0.5), Percentile(Cpu, 0.99), Percentile(Wall, 0.5), Percentile(Wall, 0.99),
                ProcessMean, double(Allocations) / double(Count), (unsigned long long)FramesAllocating,
                (unsigned long long)Others, Wrong ? " (left the state)" : "");
    std::fflush(stdout);
    if (StatesLeft > 0 && --StatesLeft == 0) {
        std::printf("peak_resident_kib %ld\n", PeakResidentKib());
        std::fflush(stdout);
        std::filesystem::remove_all(UserFolder);
        FatalExit(0);
    }
}

long PeakResidentKib()
{
    FILE* Status = std::fopen("/proc/self/status", "r");
    if (!Status)
        return -1;
    char Line[256];
    long Kib = -1;
    while (std::fgets(Line, sizeof Line, Status))
        if (std::strncmp(Line, "VmHWM:", 6) == 0)
            Kib = std::atol(Line + 6);
    std::fclose(Status);
    return Kib;
}

} // namespace

int main(int argc, char** argv)
{
    GameThread = pthread_self();
    int Width = 1920, Height = 1080, Count = 600, Warmup = 120;
    for (int I = 1; I + 1 < argc; I += 2) {
        if (std::strcmp(argv[I], "--desktop") == 0)
            std::sscanf(argv[I + 1], "%dx%d", &Width, &Height);
        else if (std::strcmp(argv[I], "--frames") == 0)
            Count = std::max(1, std::atoi(argv[I + 1]));
        else if (std::strcmp(argv[I], "--warmup") == 0)
            Warmup = std::max(0, std::atoi(argv[I + 1]));
        else if (std::strcmp(argv[I], "--states") == 0)
            StatesLeft = std::max(1, std::atoi(argv[I + 1]));
    }
    char Folder[] = "/tmp/kistora-bench-XXXXXX";
    if (mkdtemp(Folder) == nullptr)
        return 1;
    UserFolder = Folder;
    Overrides.Headless = 1;
    Overrides.DesktopWidth = Width;
    Overrides.DesktopHeight = Height;
    Overrides.GameDir = std::string(KISTORA_GAME_DIR) + "/";
    Overrides.UserDir = std::string(Folder) + "/";
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    GameStartUp(0, nullptr);
    BeforeFirstFrame();

    // The intro screens stay up as long as their counter is held back.
    Measure("splash", Warmup, Count, Logo, [](int) { IntroCounter = 0; });
    Press(KeyEscape);
    Measure("title", Warmup, Count, Title, [](int) { IntroCounter = 0; });
    Press(KeyEscape);
    Measure("main-menu", Warmup, Count, MainMenu);
    // Each way back to the main menu lets its panel slide in first (keys wait for it).
    MainMenuSelection = 3;
    RenderMainMenu(3);
    Press(KeyReturn);
    Measure("credits", Warmup, Count, Credits);
    Press(KeyEscape);
    Frames(10);
    MainMenuSelection = 2;
    RenderMainMenu(2);
    Press(KeyReturn);
    Measure("settings", Warmup, Count, MenuSettings);
    Press(KeyEscape);
    Frames(10);
    MainMenuSelection = 4;
    RenderMainMenu(4);
    Press(KeyReturn);
    Measure("quit-question", Warmup, Count, MenuQuitQuestion);
    Press(KeyRight); // no
    Press(KeyReturn);
    Frames(10);
    MainMenuSelection = 1;
    RenderMainMenu(1);
    Press(KeyReturn);
    Measure("level-select", Warmup, Count, LevelSelect);
    // The strip slides from card to card as long as the key is held.
    ScriptKey(KeyRight, 1);
    Measure("level-select-sliding", 0, std::min(Count, 500), LevelSelect);
    ScriptKey(KeyRight, 0);
    Frames(30);
    SelectedLevelIndex = 0;
    StripSlideDirection = 0;
    Press(KeyReturn);
    // Twelve seconds first: every digit of the clock has been drawn once, so
    // the glyphs it needs are at hand, as in a level played for a while.
    Measure("playing", std::max(Warmup, 720), Count, Playing);
    // Walking: right and left in turn, a few cells each way.
    Measure("playing-walking", 0, Count, Playing, [](int Frame) {
        int Phase = (Frame / 40) % 2;
        ScriptKey(KeyRight, Phase == 0);
        ScriptKey(KeyLeft, Phase == 1);
    });
    ScriptKey(KeyRight, 0);
    ScriptKey(KeyLeft, 0);
    Frames(20);
    Press(KeyEscape);
    Measure("in-game-menu", Warmup, Count, InGameMenu);
    Press(KeyDown);
    Press(KeyDown);
    Press(KeyReturn);
    Measure("in-game-settings", Warmup, Count, InGameSettings);
    Press(KeyEscape);
    Press(KeyEscape);
    Frames(10);
    // The two end panels over the level in play, as completion shows them.
    LevelCompleteSelection = 3;
    RenderLevelComplete(3);
    GameState = LevelComplete;
    Measure("level-complete", Warmup, Count, LevelComplete);
    RenderGameComplete();
    GameState = GameComplete;
    Measure("game-complete", Warmup, Count, GameComplete);

    std::printf("peak_resident_kib %ld\n", PeakResidentKib());
    std::fflush(stdout);
    std::filesystem::remove_all(Folder);
    FatalExit(0);
}
