// The play screen: where board and head-up display lie for every screen size,
// the HUD sprites, and the drawing of one play frame (states 7 to 12).
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

// Layout values (pixels). 0 in a fill value means "no such fill"; the drawing
// fills around the board from the board's own place (DrawFillTiles).
int TileSize = 0;
int BoardX = 0, BoardY = 0;
int HudHeight = 0;
int HudFrame1 = 0, HudFrame2 = 0, HudMargin = 0;
int HudFontSize = 0;
int FillLeftX = 0, FillRightX = 0, FillTopY = 0, FillBottomY = 0;
int HudTitleX = 0, HudTitleW = 0, HudTimeX = 0, HudTimeW = 0, HudStepsX = 0, HudStepsW = 0, HudCratesX = 0,
    HudCratesW = 0;
int CrateIconSize = 0;
ScreenPos CrateIconPositions[BoardMaxCrates + 1];

// The screen the layout was made for.
static int LayoutWidth = 0;
static int LayoutHeight = 0;

// One off-screen image per HUD text, made once per layout and refilled at
// every render, so a frame allocates no picture memory.
struct HudTextImage {
    int Sprite = 0;
    int Image = 0;
    int Width = 0;
    int Height = 0;
};
static HudTextImage TitleText{SpriteHudTitle};
static HudTextImage TimeText{SpriteHudTime};
static HudTextImage StepsText{SpriteHudSteps};

// Board cells with no opaque tile on any layer: they get a fill tile first, so
// nothing of an earlier frame shows through. Worked out once per level and layout.
static bool BareCell[FieldColumns][FieldRows];
static std::string BareCellsLevel;
static int BareCellsValid = 0;

static void MakeTextImage(HudTextImage& Text, int PanelWidth);
static void RenderHudSteps();
static void RenderCentred(HudTextImage& Text, const std::string& Utf8);
static void PrepareText(HudTextImage& Text);
static void FinishText(HudTextImage& Text);
static void FindBareCells();
static void DrawFillTiles();
static void DrawCratesAndWorker();

void ComputePlayLayout(int Width, int Height, int Class)
{
    LayoutWidth = Width;
    LayoutHeight = Height;
    FillLeftX = FillRightX = FillTopY = FillBottomY = 0;

    // The two fixed widths hold whenever the board fits under the HUD; a taller
    // screen gets fill rows under the board (1920 x 1200 is the common case).
    if (Width == 1920 && Height >= 1080) {
        TileSize = 64;
        BoardX = 0;
        HudHeight = 120;
        BoardY = 120;
        HudFrame1 = 2, HudFrame2 = 10, HudMargin = 15;
        HudFontSize = 45;
        if (Height > 1080) {
            FillTopY = 120;
            FillBottomY = 1080;
        }
    } else if (Width == 3840 && Height >= 2160) {
        TileSize = 128;
        BoardX = 0;
        HudHeight = 240;
        BoardY = 240;
        HudFrame1 = 4, HudFrame2 = 20, HudMargin = 30;
        HudFontSize = 90;
        if (Height > 2160) {
            FillTopY = 240;
            FillBottomY = 2160;
        }
    } else if (Class == Aspect3x2 || Class == Aspect4x3 || Class == Aspect5x4) {
        TileSize = Width / 30;
        BoardX = (Width - 30 * TileSize) / 2;
        HudHeight = Height / 9;
        BoardY = HudHeight + TileSize;
        const int Inset = HudHeight - TileSize;
        HudFrame1 = Inset / 60, HudFrame2 = Inset / 12, HudMargin = Inset / 8;
        const double Divisor = Class == Aspect5x4 ? 2.6 : 2.5;
        HudFontSize = int(std::lround((HudHeight - 2 * HudMargin) / Divisor));
        FillLeftX = BoardX - TileSize;
        FillRightX = BoardX + 30 * TileSize;
        FillTopY = HudHeight;
        FillBottomY = BoardY + 15 * TileSize;
    } else if (Class == Aspect16x9 || Class == Aspect17x9 || Class == Aspect16x10) {
        TileSize = Width / 30;
        BoardX = (Width - 30 * TileSize) / 2;
        if (Class == Aspect16x10) {
            HudHeight = (Height / 10) * 9 - 15 * TileSize;
            BoardY = HudHeight + TileSize;
            FillTopY = HudHeight;
            FillBottomY = BoardY + 15 * TileSize;
        } else {
            HudHeight = Height - 15 * TileSize;
            BoardY = HudHeight;
        }
        HudFrame1 = HudHeight / 60, HudFrame2 = HudHeight / 12, HudMargin = HudHeight / 8;
        HudFontSize = (HudHeight - 2 * HudMargin) / 2;
        FillLeftX = BoardX != 0 ? BoardX - TileSize : 0;
        FillRightX = BoardX + 30 * TileSize != Width ? BoardX + 30 * TileSize : 0;
    } else {
        // Any other ratio, 21:9 included: HUD on top, a fill row, the board
        // centred with fill each side. On screens wider than about 5:3 the
        // tile shrinks so that all 15 rows fit under the HUD.
        HudHeight = Height / 9;
        TileSize = Width / 30;
        const int Fitting = (Height - HudHeight) / 16;
        if (Fitting < TileSize) {
            TileSize = Fitting;
        }
        BoardX = (Width - 30 * TileSize) / 2;
        BoardY = HudHeight + TileSize;
        HudFrame1 = HudHeight / 60, HudFrame2 = HudHeight / 12, HudMargin = HudHeight / 8;
        HudFontSize = (HudHeight - 2 * HudMargin) / 2;
        FillLeftX = BoardX - TileSize;
        FillRightX = BoardX + 30 * TileSize;
        FillTopY = HudHeight;
        FillBottomY = BoardY + 15 * TileSize;
    }

    Play.SlideStep = TileSize / 8.0;
    Play.SlideOffset = Play.SlideStep;

    // Four HUD panels side by side; the crate panel takes the rest of the width.
    HudTitleX = 0;
    HudTitleW = (Width / 100) * 66;
    HudTimeX = HudTitleW;
    HudTimeW = (Width / 100) * 11;
    HudStepsX = HudTimeX + HudTimeW;
    HudStepsW = (Width / 100) * 9;
    HudCratesX = HudStepsX + HudStepsW;
    HudCratesW = Width - HudTitleW - HudTimeW - HudStepsW;

    // Twelve crate icons in two rows of six.
    const int M = HudMargin;
    CrateIconSize = (HudHeight - 2 * M) / 3 - (Class == Aspect4x3 ? 4 : 0);
    const int Inner = HudCratesW - 2 * M;
    if (Inner - 6 * CrateIconSize < 7) {
        // A narrow panel (portrait screens): smaller icons rather than icons
        // piled over each other and over the panel's edge.
        CrateIconSize = (Inner - 7) / 6;
    }
    if (CrateIconSize < 1) {
        CrateIconSize = 1;
    }
    const int S = CrateIconSize;
    const int Gap = (Inner - 6 * S) / 7;
    for (int K = 1; K <= 6; K++) {
        const int X = HudCratesX + M + Gap + 1 + (K - 1) * (S + Gap);
        CrateIconPositions[K].X = X;
        CrateIconPositions[K].Y = M + S / 3;
        CrateIconPositions[K + 6].X = X;
        CrateIconPositions[K + 6].Y = HudHeight - M - S / 3 - S;
    }
    BareCellsValid = 0;
}

void RenderHudBackground()
{
    if (LayoutWidth <= 0 || HudHeight <= 0) {
        return;
    }
    const int H = HudHeight;
    int Image = CreateImage(LayoutWidth, H, ColourAccentDark);
    if (Image != 0) {
        const int PanelX[4] = {HudTitleX, HudTimeX, HudStepsX, HudCratesX};
        const int PanelW[4] = {HudTitleW, HudTimeW, HudStepsW, HudCratesW};
        for (int P = 0; P < 4; P++) {
            const int X0 = PanelX[P], W = PanelW[P];
            FillImageRect(Image, X0 + HudFrame1, HudFrame1, W - 2 * HudFrame1, H - 2 * HudFrame1, ColourAccent);
            FillImageRect(Image, X0 + HudFrame2, HudFrame2, W - 2 * HudFrame2, H - 2 * HudFrame2, ColourGrey);
            FillImageRect(Image, X0 + HudMargin, HudMargin, W - 2 * HudMargin, H - 2 * HudMargin,
                          ColourPanelBackground);
        }
        CreateSpriteFromImage(SpriteHudBackground, Image, SpriteOwnAlpha);
        FreeImage(Image);
    }
    MakeTextImage(TitleText, HudTitleW);
    MakeTextImage(TimeText, HudTimeW);
    MakeTextImage(StepsText, HudStepsW);
}

// CurrentLevelName + ": " + the level's title in the current language,
// centred horizontally with its top 10 pixels down.
void RenderHudTitle()
{
    if (TitleText.Image == 0) {
        return;
    }
    PrepareText(TitleText);
    const std::string Title = Play.CurrentLevelName + ": " + Text(GetLevelProperty(Play.CurrentLevelName, 0));
    double Width = 0, Height = 0;
    MeasureText(Title, HudFontSize, &Width, &Height);
    DrawText(TitleText.Image, Title, std::floor((TitleText.Width - Width) / 2), 10, HudFontSize, ColourAccent | 0xFFu);
    FinishText(TitleText);
}

// During a pause the clock shows the time it stopped at, also when the HUD
// is drawn anew under the pause menu (after a screen re-open).
void RenderHudTime()
{
    const int64_t Ms = Play.ClockPaused ? BoardElapsedMs(Play, Play.PauseStartMs) : ElapsedPlayMs();
    RenderCentred(TimeText, FormatPlayTime(Ms));
}

void ScaleBoardArt()
{
    const int T = TileSize;
    if (T <= 0) {
        return;
    }
    // The icon is copied from the crate before the crate is scaled, so both
    // are resampled once from the original picture.
    if (SpriteExists(SpriteCrate)) {
        CopySprite(SpriteCrateIcon, SpriteCrate);
        if (CrateIconSize > 0) {
            ResizeSprite(SpriteCrateIcon, CrateIconSize, CrateIconSize);
        }
    }
    if (T != 64) {
        const int Scaled[] = {SpriteCrate,    SpriteFillTile, SpriteIdleLeft,  SpriteIdleRight, SpriteIdleUp,
                              SpriteIdleDown, SpritePushLeft, SpritePushRight, SpritePushUp,    SpritePushDown};
        for (int Sprite : Scaled) {
            if (SpriteExists(Sprite)) {
                ResizeSprite(Sprite, T, T);
            }
        }
    }
    SetTileSize(double(T));
    SetBoardOriginX(BoardX);
    SetBoardOriginY(BoardY);
    // These three labels end in a blank, unlike the log's others: the log has always read so.
    LogValue("TileSize: ", int64_t(T));
    LogValue("OffsetX: ", int64_t(BoardX));
    LogValue("OffsetY: ", int64_t(BoardY));
    BareCellsValid = 0;
}

void DrawPlayScreen()
{
    if (TileSize <= 0) {
        return;
    }
    const int M = HudMargin;
    ShowSprite(SpriteHudBackground, 0, 0);
    ShowSprite(SpriteHudTitle, M, M);
    RenderHudSteps();
    ShowSprite(SpriteHudSteps, HudStepsX + M, M);
    if (Play.InLevel == 1 && !Play.ClockPaused) {
        RenderHudTime();
    }
    ShowSprite(SpriteHudTime, HudTimeX + M, M);

    const int Count = Play.CrateCount < MaxCrates ? Play.CrateCount : MaxCrates;
    for (int I = 1; I <= Count; I++) {
        const ScreenPos& Icon = CrateIconPositions[I];
        ShowSpriteIntensity(SpriteCrateIcon, Icon.X, Icon.Y, Play.CrateIndicators[I].Filled ? 255 : 64);
    }

    DrawFillTiles();
    DrawLevel(Play.CurrentLevelName);
    DrawCratesAndWorker();
}

void AdvancePlayScreen()
{
    if (TileSize <= 0) {
        return;
    }
    AdvanceSlide();
}

std::string FormatPlayTime(int64_t Ms)
{
    if (Ms < 0) {
        Ms = 0;
    }
    const int64_t Seconds = Ms / 1000;
    char Buffer[32];
    std::snprintf(Buffer, sizeof Buffer, "%02" PRId64 ":%02" PRId64, Seconds / 60, Seconds % 60);
    return Buffer;
}

int WorkerSprite(const WorkerRecord& Worker)
{
    if (Worker.Pose == PoseNone || Worker.PoseDir < DirLeft || Worker.PoseDir > DirDown) {
        return 0;
    }
    const int First = Worker.Pose == PosePush ? SpritePushLeft : SpriteIdleLeft;
    return First + (Worker.PoseDir - DirLeft);
}

// A text sprite of the panel's inner size, with its reusable image.
static void MakeTextImage(HudTextImage& Text, int PanelWidth)
{
    const int Width = PanelWidth - 2 * HudMargin;
    const int Height = HudHeight - 2 * HudMargin - 1;
    if (Text.Image != 0) {
        FreeImage(Text.Image);
        Text.Image = 0;
    }
    Text.Width = Width > 1 ? Width : 1;
    Text.Height = Height > 1 ? Height : 1;
    CreateEmptySprite(Text.Sprite, Text.Width, Text.Height);
    Text.Image = CreateImage(Text.Width, Text.Height, ColourPanelBackground);
    if (Text.Image != 0) {
        CopyImageToSprite(Text.Sprite, Text.Image);
    }
}

static void RenderHudSteps()
{
    RenderCentred(StepsText, std::to_string(Play.StepCount));
}

// Centred both ways by the text's measured width and line height.
static void RenderCentred(HudTextImage& Text, const std::string& Utf8)
{
    if (Text.Image == 0) {
        return;
    }
    PrepareText(Text);
    double Width = 0, Height = 0;
    MeasureText(Utf8, HudFontSize, &Width, &Height);
    DrawText(Text.Image, Utf8, std::floor((Text.Width - Width) / 2), std::floor((Text.Height - Height) / 2),
             HudFontSize, ColourAccent | 0xFFu);
    FinishText(Text);
}

static void PrepareText(HudTextImage& Text)
{
    FillImageRect(Text.Image, 0, 0, Text.Width, Text.Height, ColourPanelBackground);
}

static void FinishText(HudTextImage& Text)
{
    CopyImageToSprite(Text.Sprite, Text.Image);
}

// A cell is covered when some layer shows an opaque tile there; tiles with
// their own alpha may let the ground through, so they do not count.
static void FindBareCells()
{
    BareCellsLevel = Play.CurrentLevelName;
    BareCellsValid = 1;
    auto Level = levelsByName.find(Play.CurrentLevelName);
    char Name[16];
    for (int X = 0; X < FieldColumns; X++) {
        for (int Y = 0; Y < FieldRows; Y++) {
            bool Covered = false;
            if (Level != levelsByName.end() && X < Level->second.Width && Y < Level->second.Height) {
                const LevelRecord& Record = Level->second;
                const int Layers = Record.LayerCount < MaxLayers ? Record.LayerCount : MaxLayers;
                for (int K = 0; K < Layers && !Covered; K++) {
                    const LayerRecord& Layer = Record.Layers[K];
                    const int Value = Layer.Cells[X][Y];
                    if (!Layer.Present || Value <= 0) {
                        continue;
                    }
                    std::snprintf(Name, sizeof Name, "%d", Value);
                    auto Tile = tilesByName.find(Name);
                    Covered = Tile != tilesByName.end() && Tile->second.Image != 0 && Tile->second.Alpha == 0;
                }
            }
            BareCell[X][Y] = !Covered;
        }
    }
}

// Fill tiles on every tile place of the screen below the HUD that the board
// does not take, in step with the board's columns and rows, and under board
// cells without a tile. What is around the board follows from where the board
// lies, not from the fill values, so no strip of the screen is ever left with
// an earlier frame's pixels (a class-7 board one tile in from the left edge
// has a fill value of 0). Tiles past the screen edge are clipped; a partial
// row just under the HUD is drawn flush with it.
static void DrawFillTiles()
{
    const int T = TileSize;
    const int BoardRight = BoardX + FieldColumns * T, BoardBottom = BoardY + FieldRows * T;
    int FirstX = BoardX;
    while (FirstX > 0) {
        FirstX -= T;
    }
    int FirstY = BoardY;
    while (FirstY > HudHeight) {
        FirstY -= T;
    }
    for (int Y = FirstY; Y < LayoutHeight; Y += T) {
        const int RowY = Y < HudHeight ? HudHeight : Y;
        const int InBoardRows = Y >= BoardY && Y < BoardBottom;
        for (int X = FirstX; X < LayoutWidth; X += T) {
            if (InBoardRows && X >= BoardX && X < BoardRight) {
                continue;
            }
            ShowSprite(SpriteFillTile, X, RowY);
        }
    }

    if (!BareCellsValid || BareCellsLevel != Play.CurrentLevelName) {
        FindBareCells();
    }
    for (int X = 0; X < FieldColumns; X++) {
        for (int Y = 0; Y < FieldRows; Y++) {
            if (BareCell[X][Y]) {
                ShowSprite(SpriteFillTile, BoardX + X * T, BoardY + Y * T);
            }
        }
    }
}

// Idle: crates, then the worker on top. Sliding: the worker first, moved by
// the rounded offset, then the crates with the pushed one moved alongside.
// Crates are drawn with their colour key: the floor or the target mark shows
// round the crate and through the gaps between its boards.
static void DrawCratesAndWorker()
{
    const int T = TileSize;
    const int Offset = int(std::lround(Play.SlideOffset));
    int Dx = 0, Dy = 0;
    if (Play.MoveKind != 0) {
        const int Kind = Play.MoveKind > 4 ? Play.MoveKind / 11 : Play.MoveKind;
        Dx = Kind == 1 ? -1 : (Kind == 2 ? 1 : 0);
        Dy = Kind == 3 ? -1 : (Kind == 4 ? 1 : 0);
        ShowSpriteTransparent(WorkerSprite(Play.Worker), BoardX + Play.Worker.X * T + Dx * Offset,
                              BoardY + Play.Worker.Y * T + Dy * Offset);
    }
    for (int X = 0; X < FieldColumns; X++) {
        for (int Y = 0; Y < FieldRows; Y++) {
            if (Play.CrateGrid[X][Y] != 1) {
                continue;
            }
            int ScreenX = BoardX + X * T, ScreenY = BoardY + Y * T;
            if (Play.MoveKind != 0 && X == Play.PushedCrate.X && Y == Play.PushedCrate.Y) {
                ScreenX += Dx * Offset;
                ScreenY += Dy * Offset;
            }
            ShowSpriteTransparent(SpriteCrate, ScreenX, ScreenY);
        }
    }
    if (Play.MoveKind == 0) {
        ShowSpriteTransparent(WorkerSprite(Play.Worker), BoardX + Play.Worker.X * T, BoardY + Play.Worker.Y * T);
    }
}
