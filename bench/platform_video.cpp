// Frame costs on the headless software renderer at 1920 x 1080. A play
// frame: the head-up display background, its texts re-rendered into small
// sprites, about 500 tiles of 64 x 64 (a fifth of them blended), the present.
#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int ScreenW = 1920;
constexpr int ScreenH = 1080;
constexpr int Tile = 64;

int TileOpaque = 0;
int TileKeyed = 0;   // binary alpha, like the crates and most worker pixels
int TileBlended = 0; // half-transparent inside: the worst case for blending
int HudBackground = 0;
int HudTexts[4] = {};

void OpenBenchScreen()
{
    static int Ready = 0;
    if (Ready)
        return;
    Overrides.Headless = 1;
    PlatformInit();
    InitSprite();
    OpenScreen(ModeWindowed, ScreenW, ScreenH, "bench");
    InitFont();
    SetFilteredSampling(1);
    TileOpaque = CreateEmptySprite(7, Tile, Tile);
    FillSprite(TileOpaque, Rgba(120, 90, 60));
    int Image = CreateImage(Tile, Tile, Rgba(0, 0, 0, 0));
    FillImageRect(Image, 8, 8, 48, 48, Rgba(200, 150, 40, 200));
    TileBlended = CreateSpriteFromImage(5, Image, SpriteOwnAlpha);
    TileKeyed = CreateSpriteFromImage(6, Image, SpriteColourKey);
    FreeImage(Image);
    HudBackground = CreateEmptySprite(17, ScreenW, 96);
    FillSprite(HudBackground, Rgba(86, 86, 86));
    for (int I = 0; I < 4; ++I)
        HudTexts[I] = CreateEmptySprite(18 + I, 360, 48);
    Ready = 1;
}

// The texts of the display, as the play screen renders them each frame.
void RenderHudTexts(int Frame)
{
    const std::string Texts[4] = {"Level 12: The Long Corridor", "Time " + std::to_string(Frame / 60) + ":00",
                                  "Steps " + std::to_string(Frame), "Crates 3/7"};
    for (int I = 0; I < 4; ++I) {
        int Image = CreateImage(360, 48, Rgba(86, 86, 86));
        DrawText(Image, Texts[I], 4, 4, 32, Rgba(255, 255, 255));
        CopyImageToSprite(HudTexts[I], Image);
        FreeImage(Image);
    }
}

// Count tiles, every fifth blended: with the keyed tile (Worst = 0) or the
// half-transparent one (Worst = 1).
void DrawTiles(int Count, int Worst)
{
    int PerRow = ScreenW / Tile;
    for (int I = 0; I < Count; ++I) {
        int X = (I % PerRow) * Tile, Y = 96 + (I / PerRow) * Tile;
        if (I % 5 == 0)
            ShowSpriteTransparent(Worst ? TileBlended : TileKeyed, X, Y);
        else
            ShowSprite(TileOpaque, X, Y);
    }
}

void BM_PlayFrame(benchmark::State& State)
{
    OpenBenchScreen();
    int Frame = 0;
    for (auto _ : State) {
        ShowSprite(HudBackground, 0, 0);
        RenderHudTexts(Frame++);
        for (int I = 0; I < 4; ++I)
            ShowSpriteTransparent(HudTexts[I], 40 + I * 460, 24);
        DrawTiles(int(State.range(0)), int(State.range(1)));
        PresentScreen();
    }
}
BENCHMARK(BM_PlayFrame)
    ->Args({500, 0})
    ->Args({500, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_TilesOnly(benchmark::State& State)
{
    OpenBenchScreen();
    for (auto _ : State) {
        DrawTiles(int(State.range(0)), int(State.range(1)));
        PresentScreen();
    }
}
BENCHMARK(BM_TilesOnly)
    ->Args({500, 0})
    ->Args({500, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_PresentOnly(benchmark::State& State)
{
    OpenBenchScreen();
    for (auto _ : State)
        PresentScreen();
}
BENCHMARK(BM_PresentOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_HudTextRender(benchmark::State& State)
{
    OpenBenchScreen();
    int Frame = 0;
    for (auto _ : State)
        RenderHudTexts(Frame++);
}
BENCHMARK(BM_HudTextRender)->Unit(benchmark::kMicrosecond);

// A title-screen frame: the swaying background (1.2 screen widths, turned
// 0.01 degrees per frame) blended under the title art, then the present.
void BM_TitleFrame(benchmark::State& State)
{
    OpenBenchScreen();
    static int Background = 0, Title = 0;
    if (Background == 0) {
        int Image = CreateImage(1920, 1080, Rgba(60, 50, 45));
        for (int X = 0; X < 1920; X += 96)
            FillImageRect(Image, X, 0, 6, 1080, Rgba(90, 80, 70));
        Background = CreateSpriteFromImage(4, Image, SpriteColourKey);
        FreeImage(Image);
        ZoomSprite(Background, 2304, 1296);
        TurnSprite(Background, -3.0);
        Image = CreateImage(1920, 260, Rgba(0, 0, 0, 0));
        FillImageRect(Image, 0, 80, 1920, 100, Rgba(232, 106, 23));
        Title = CreateSpriteFromImage(2, Image, SpriteOwnAlpha);
        FreeImage(Image);
    }
    for (auto _ : State) {
        TurnSprite(Background, 0.01);
        ShowSpriteTransparent(Background, -192, 0);
        ShowSpriteTransparent(Title, 0, 0);
        PresentScreen();
    }
}
BENCHMARK(BM_TitleFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The grab half of a screenshot (the S key); the PNG encoding comes on top.
void BM_ReadBackBuffer(benchmark::State& State)
{
    OpenBenchScreen();
    std::vector<uint32_t> Pixels;
    int W = 0, H = 0;
    for (auto _ : State)
        ReadBackBuffer(Pixels, &W, &H);
}
BENCHMARK(BM_ReadBackBuffer)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
