// Turned sprites. The software renderer turns a sprite on the CPU
// (turn.cpp) in steps of TurnStep degrees, keeps the part of its turned box
// that lies on the screen, and while the sprite sways through the frames of
// one step has the next step turned ahead on the second core. The plain
// drawing uploads that part into a texture; SDL's renderers otherwise turn
// the sprite's texture themselves (SDL_RenderCopyEx).
#include "platform/platform_internal.h"
#include "platform/sprite_internal.h"

#include <algorithm>
#include <cmath>

// Turning a screen-sized sprite costs the software renderer milliseconds,
// so it is turned again only when its angle moves by this many degrees (the
// title background sways 0.01 degrees per frame).
static constexpr double TurnStep = 0.05;

// Where a turned picture lies: the step, the turned box and the part of it
// on the screen, and the key that tells one such picture from another.
struct TurnPlan {
    long Step = 0;
    double Degrees = 0;
    int BoxWidth = 0, BoxHeight = 0, BoxX = 0, BoxY = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::array<int64_t, 7> Key = {}; // step, version, sampling, box and visible corner
};

// The one turning under way on the second core: what it turns, from and into.
struct PendingTurnRecord {
    int Sprite = 0; // 0: none
    int Ticket = 0;
    TurnPlan Plan;
    const uint32_t* Source = nullptr;
    int SourceWidth = 0, SourceHeight = 0, DisplayWidth = 0, DisplayHeight = 0, Filtered = 0;
    uint32_t* Target = nullptr;
};
static PendingTurnRecord PendingTurn;

static int TurnedPart(SpriteRecord& Record, int X, int Y, int ScreenWidth, int ScreenHeight, int* Left, int* Top,
                      int* Width, int* Height);
static int PlanTurn(const SpriteRecord& Record, int X, int Y, long Step, int ScreenWidth, int ScreenHeight,
                    TurnPlan* Plan);
static void TurnAhead(void* Argument);

// The turned box of the sprite drawn at (X, Y) at Step (of TurnStep degrees)
// and its part on a screen of that size; 0 when none of it lies on the screen.
static int PlanTurn(const SpriteRecord& Record, int X, int Y, long Step, int ScreenWidth, int ScreenHeight,
                    TurnPlan* Plan)
{
    Plan->Step = Step;
    Plan->Degrees = double(Step) * TurnStep;
    double Radians = Plan->Degrees * M_PI / 180.0;
    double Cos = std::fabs(std::cos(Radians)), Sin = std::fabs(std::sin(Radians));
    // The turned rectangle's bounding box (a hair less, so 90 degrees stays exact),
    // centred where the unturned sprite's centre is.
    Plan->BoxWidth = std::max(1, int(std::ceil(Record.DisplayWidth * Cos + Record.DisplayHeight * Sin - 1e-6)));
    Plan->BoxHeight = std::max(1, int(std::ceil(Record.DisplayWidth * Sin + Record.DisplayHeight * Cos - 1e-6)));
    Plan->BoxX = int(std::lround(X + Record.DisplayWidth / 2.0 - Plan->BoxWidth / 2.0));
    Plan->BoxY = int(std::lround(Y + Record.DisplayHeight / 2.0 - Plan->BoxHeight / 2.0));
    Plan->Left = std::max(Plan->BoxX, 0);
    Plan->Top = std::max(Plan->BoxY, 0);
    int Right = int(std::min<int64_t>(int64_t(Plan->BoxX) + Plan->BoxWidth, ScreenWidth));
    int Bottom = int(std::min<int64_t>(int64_t(Plan->BoxY) + Plan->BoxHeight, ScreenHeight));
    if (Plan->Left >= Right || Plan->Top >= Bottom)
        return 0;
    Plan->Width = Right - Plan->Left;
    Plan->Height = Bottom - Plan->Top;
    Plan->Key = {Step, Record.Version, VideoScreen.Filtered, Plan->BoxX, Plan->BoxY, Plan->Left, Plan->Top};
    return 1;
}

// Makes Record.Turned the part of the sprite's turned box (turned on the CPU
// in steps of TurnStep degrees) that lies on a screen of that size, when it
// is not that already: the step turned ahead when it was foreseen, else
// turned now. 0 when none of it lies on the screen.
static int TurnedPart(SpriteRecord& Record, int X, int Y, int ScreenWidth, int ScreenHeight, int* Left, int* Top,
                      int* Width, int* Height)
{
    TurnPlan Plan;
    if (!PlanTurn(Record, X, Y, std::lround(Record.Angle / TurnStep), ScreenWidth, ScreenHeight, &Plan))
        return 0;
    *Left = Plan.Left;
    *Top = Plan.Top;
    *Width = Plan.Width;
    *Height = Plan.Height;
    size_t Size = size_t(Plan.Width) * size_t(Plan.Height);
    if (Record.TurnedKey == Plan.Key && Record.Turned.size() == Size)
        return 1;
    if (Plan.Step != Record.TurnedStep)
        Record.TurnDirection = Plan.Step > Record.TurnedStep ? 1 : -1;
    Record.TurnedStep = Plan.Step;
    if (&Record == &SpriteSlots[size_t(PendingTurn.Sprite)] && PendingTurn.Plan.Key == Plan.Key)
        SettleTurns();
    if (Record.NextReady && Record.NextKey == Plan.Key && Record.NextTurned.size() == Size) {
        Record.Turned.swap(Record.NextTurned);
        Record.TurnedKey = Plan.Key;
        Record.NextReady = 0;
        return 1;
    }
    // Room for the tallest part the sway can show, once, so swaying never reallocates.
    if (Record.Turned.capacity() < size_t(Plan.Width) * size_t(ScreenHeight))
        Record.Turned.reserve(size_t(Plan.Width) * size_t(ScreenHeight));
    Record.Turned.resize(Size);
    TurnPixels(Record.Pixels.data(), Record.Width, Record.Height, Record.DisplayWidth, Record.DisplayHeight,
               Plan.Degrees, Plan.BoxWidth, Plan.BoxHeight, Plan.Left - Plan.BoxX, Plan.Top - Plan.BoxY,
               Record.Turned.data(), Plan.Width, Plan.Width, Plan.Height, VideoScreen.Filtered);
    Record.TurnedKey = Plan.Key;
    return 1;
}

// Draws a turned sprite through its turned part, straight onto the screen,
// then has the next step (the way the sway goes) turned ahead on the second core.
int DrawTurnedSoftware(int Sprite, SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod,
                       const ScreenTarget& View)
{
    int Left = 0, Top = 0, Width = 0, Height = 0;
    if (!TurnedPart(Record, X, Y, View.Width, View.Height, &Left, &Top, &Width, &Height))
        return 1;
    BlitBlendModulated(Record.Turned.data(), Width, View.Pixels + size_t(Top) * size_t(View.Pitch) + size_t(Left),
                       View.Pitch, Width, Height, ColourMod, AlphaMod);
    TurnPlan Next;
    if (PendingTurn.Sprite != 0 ||
        !PlanTurn(Record, X, Y, Record.TurnedStep + Record.TurnDirection, View.Width, View.Height, &Next) ||
        (Record.NextReady && Record.NextKey == Next.Key))
        return 1;
    if (Record.NextTurned.capacity() < size_t(Next.Width) * size_t(View.Height))
        Record.NextTurned.reserve(size_t(Next.Width) * size_t(View.Height));
    Record.NextTurned.resize(size_t(Next.Width) * size_t(Next.Height));
    Record.NextKey = Next.Key;
    Record.NextReady = 0;
    PendingTurn.Sprite = Sprite;
    PendingTurn.Plan = Next;
    PendingTurn.Source = Record.Pixels.data();
    PendingTurn.SourceWidth = Record.Width;
    PendingTurn.SourceHeight = Record.Height;
    PendingTurn.DisplayWidth = Record.DisplayWidth;
    PendingTurn.DisplayHeight = Record.DisplayHeight;
    PendingTurn.Filtered = VideoScreen.Filtered;
    PendingTurn.Target = Record.NextTurned.data();
    PendingTurn.Ticket = PostWork(TurnAhead, &PendingTurn);
    return 1;
}

// On the second core: the pending turn, on that core alone.
static void TurnAhead(void* Argument)
{
    const PendingTurnRecord& Turn = *static_cast<const PendingTurnRecord*>(Argument);
    const TurnPlan& Plan = Turn.Plan;
    TurnPixelsOnOneCore(Turn.Source, Turn.SourceWidth, Turn.SourceHeight, Turn.DisplayWidth, Turn.DisplayHeight,
                        Plan.Degrees, Plan.BoxWidth, Plan.BoxHeight, Plan.Left - Plan.BoxX, Plan.Top - Plan.BoxY,
                        Turn.Target, Plan.Width, Plan.Width, Plan.Height, Turn.Filtered);
}

// Waits for the turning ahead, if one is under way (before anything that
// could change what it reads or writes); its picture is then ready.
void SettleTurns()
{
    if (PendingTurn.Sprite == 0)
        return;
    FinishWork(PendingTurn.Ticket);
    if (size_t(PendingTurn.Sprite) < SpriteSlots.size())
        SpriteSlots[size_t(PendingTurn.Sprite)].NextReady = 1;
    PendingTurn = PendingTurnRecord();
}

// The plain way: the turned part uploaded into a texture that SDL blends.
int DrawTurnedPlain(SpriteRecord& Record, int X, int Y, int ColourMod, int AlphaMod)
{
    int Left = 0, Top = 0, Width = 0, Height = 0;
    if (!TurnedPart(Record, X, Y, VideoScreen.Width, VideoScreen.Height, &Left, &Top, &Width, &Height))
        return 1;
    if (Record.TurnedTexture != nullptr &&
        (Record.TurnedTextureWidth != Width || Record.TurnedTextureHeight != Height)) {
        SDL_DestroyTexture(Record.TurnedTexture);
        Record.TurnedTexture = nullptr;
    }
    if (Record.TurnedTexture == nullptr) {
        Record.TurnedTexture =
            SDL_CreateTexture(VideoScreen.Renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, Width, Height);
        if (Record.TurnedTexture == nullptr)
            return 0;
        SDL_SetTextureBlendMode(Record.TurnedTexture, SDL_BLENDMODE_BLEND);
        Record.TurnedTextureWidth = Width;
        Record.TurnedTextureHeight = Height;
    }
    SDL_UpdateTexture(Record.TurnedTexture, nullptr, Record.Turned.data(), Width * 4);
    SDL_SetTextureColorMod(Record.TurnedTexture, Uint8(ColourMod), Uint8(ColourMod), Uint8(ColourMod));
    SDL_SetTextureAlphaMod(Record.TurnedTexture, Uint8(AlphaMod));
    SDL_Rect Target = {Left, Top, Width, Height};
    SDL_RenderCopy(VideoScreen.Renderer, Record.TurnedTexture, nullptr, &Target);
    return 1;
}

void SettleTurnOf(int Sprite)
{
    if (Sprite != 0 && PendingTurn.Sprite == Sprite)
        SettleTurns();
}
