// One play frame at 1920 x 1080 on the headless software renderer: HUD with
// the steps and time texts rendered again, fill, the level's three layers,
// crates and the sliding worker, then the present. Goal: at most 4 ms.
#include "shell/shell.h"
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "base/base.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

// A 64 x 64 picture with some texture, so the renderer does real work.
int PatternSprite(int Slot, uint32_t Base, int Transparency)
{
    int Image = CreateImage(64, 64, Base);
    for (int I = 0; I < 8; I++) {
        FillImageRect(Image, I * 8, I * 8, 8, 8, Rgba(255 - I * 20, 80 + I * 10, 40, 255));
    }
    if (Transparency == SpriteOwnAlpha) {
        FillImageRect(Image, 0, 0, 64, 16, Rgba(0, 0, 0, 0));
    }
    int Sprite = CreateSpriteFromImage(Slot, Image, Transparency);
    FreeImage(Image);
    return Sprite;
}

// A 30 x 15 level: floor everywhere (layer 0), some decoration with alpha
// (layer 1), a wall ring and a few inner walls (layer 2), 8 crates.
void MakeLevel()
{
    LevelRecord Level;
    Level.Name = u"bench";
    Level.TitleKey = u"tLevelBENCH";
    Level.Width = 30;
    Level.Height = 15;
    Level.LayerCount = 3;
    for (int K = 0; K < 3; K++) {
        Level.Layers[K].Present = 1;
    }
    for (int X = 0; X < 30; X++) {
        for (int Y = 0; Y < 15; Y++) {
            Level.Layers[0].Cells[X][Y] = 1;
            if ((X * 7 + Y * 3) % 5 == 0) {
                Level.Layers[1].Cells[X][Y] = 3;
            }
            if (X == 0 || Y == 0 || X == 29 || Y == 14 || (X == 15 && Y > 3 && Y < 11)) {
                Level.Layers[2].Cells[X][Y] = 2;
            }
        }
    }
    Level.CrateCount = 8;
    Level.CrateList = u"3,3,5,3,7,3,9,3,3,11,5,11,7,11,9,11";
    Level.TargetList = u"20,3,22,3,24,3,26,3,20,11,22,11,24,11,26,11";
    Level.WorkerStart = u"2,7";
    levelsByName["bench"] = Level;
    tilesByName["1"] = TileRecord{u"1", PatternSprite(0, Rgba(40, 110, 40), SpriteColourKey), 0, 0};
    tilesByName["2"] = TileRecord{u"2", PatternSprite(0, Rgba(110, 110, 110), SpriteColourKey), 0, 0};
    tilesByName["3"] = TileRecord{u"3", PatternSprite(0, Rgba(60, 60, 160), SpriteOwnAlpha), 0, 1};
    ProgressList.assign(1, LevelProgress{"bench", "tLevelBENCH", 1, 0, 0, 0});
}

int SetUpScreen()
{
    Overrides.Headless = 1;
    if (!PlatformInit() || !InitSprite() || !InitFont() || !OpenScreen(ModeWindowed, 1920, 1080, "Kistora")) {
        return 0;
    }
    PatternSprite(SpriteCrate, Rgba(200, 160, 40), SpriteColourKey);
    PatternSprite(SpriteFillTile, Rgba(20, 60, 120), SpriteColourKey);
    for (int Slot = SpriteIdleLeft; Slot <= SpritePushDown; Slot++) {
        PatternSprite(Slot, Rgba(240, 240, 240), SpriteColourKey);
    }
    MakeLevel();
    ComputePlayLayout(1920, 1080, AspectClass(1920, 1080));
    RenderHudBackground();
    ScaleBoardArt();
    MusicOn = 0;
    GameState = LevelSelect;
    return SetUpLevel(0);
}

// The worker walks up and down its column for ever, so a slide is drawn in
// almost every frame, and the clock moves one frame per iteration.
void KeepWalking()
{
    if (Play.MoveKind == 0) {
        RequestMove(Play.Worker.Y <= 2 ? DirDown : (Play.Worker.Y >= 12 ? DirUp : Play.Worker.Facing));
    }
    AdvanceVirtualFrame();
}

// One play frame; argument 1 includes the present, 0 is the drawing alone
// (what the game itself adds).
void BM_PlayFrame(benchmark::State& State)
{
    if (!SetUpScreen()) {
        State.SkipWithError("no headless screen");
        return;
    }
    const bool Present = State.range(0) != 0;
    Play.Worker.Facing = DirDown;
    for (auto _ : State) {
        DrawPlayScreen();
        CheckCompletion();
        KeepWalking();
        if (Present)
            PresentScreen();
    }
    CloseScreen();
}
BENCHMARK(BM_PlayFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The time text alone: measured, drawn into its image and copied to its sprite.
void BM_HudTimeText(benchmark::State& State)
{
    if (!SetUpScreen()) {
        State.SkipWithError("no headless screen");
        return;
    }
    for (auto _ : State) {
        RenderHudTime();
        AdvanceVirtualFrame();
    }
    CloseScreen();
}
BENCHMARK(BM_HudTimeText)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
