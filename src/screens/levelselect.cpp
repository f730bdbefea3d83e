// The level-select strip: one pre-rendered card per level, five slots shown,
// sliding one card at a time.
#include "screens/screens.h"
#include "play/play.h"
#include "levels/levels.h"
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cmath>

int SelectedLevelIndex = 0;
int StripSlideDirection = 0;
int StripSlideOffset = StripSlideStep;

// Card geometry from the screen size: w card edge, h header, f text size,
// t thumbnail height (16:9), g gap.
static int CardW = 0, CardH = 0, CardF = 0, CardG = 0;
static double CardT = 0;

// What each card says, made when the strip is built and again when a level's
// result changes: a card drawn as the strip slides makes no strings, and every
// glyph it needs was measured (and so made) beforehand.
struct CardWordsRecord {
    std::string Header; // "Level 12"
    std::string Title;
    std::string Band; // time and steps, for the unlocked form
};
static std::vector<CardWordsRecord> CardWords;
// The CardW x CardW image each card is drawn in before it is copied into its sprite.
static int CardCanvas = 0;

static const uint32_t CardBackground = Rgba(74, 74, 74);
static const uint32_t CardWhite = Rgba(255, 255, 255, 255);

void ComputeCardGeometry()
{
    // On a screen wider than 2:1 the strip is laid out as on the 16:9 screen
    // of the same height, centred, so the cards keep their result band on screen.
    CardW = MenuLayoutWidth(ScreenWidth, ScreenHeight) / 4;
    CardH = CardW / 6;
    CardF = CardH / 3;
    CardT = CardW * 0.5625;
    CardG = CardW / 6;
    if (SelectedLevelIndex >= int(ProgressList.size()))
        SelectedLevelIndex = int(ProgressList.size()) - 1;
    if (SelectedLevelIndex < 0)
        SelectedLevelIndex = 0;
}

CardGeometryRecord CardGeometry()
{
    CardGeometryRecord G;
    G.W = CardW;
    G.H = CardH;
    G.F = CardF;
    G.Lock = 3 * CardF;
    G.G = CardG;
    G.T = CardT;
    return G;
}

int CardSlotX(int Slot)
{
    const int SW = ScreenWidth, W = CardW, G = CardG;
    switch (Slot) {
    case -2: return SW / 2 - 2 * W - W / 2 - G - G;
    case -1: return SW / 2 - W - W / 2 - G;
    case 1: return SW / 2 + W / 2 + G;
    case 2: return SW / 2 + W / 2 + G + W + G;
    default: return SW / 2 - W / 2;
    }
}

int LoadThumbnail(const std::string& ArchivePath, const std::string& LevelName)
{
    // The level archive loaded last is held in memory: no file to open.
    int Held = TakeLevelThumbnail(ArchivePath, LevelName, 0, 0);
    if (Held >= 0)
        return Held;
    int Archive = OpenArchive(ArchivePath);
    if (!Archive)
        return 0;
    int Image = 0;
    // A thumbnail larger than a level picture may be (bytes or pixels) is not read.
    std::vector<uint8_t> Bytes;
    int Width = 0, Height = 0;
    if (ReadPackEntry(Archive, "THUMBS/" + LevelName + ".png", Bytes, LevelPictureEntryLimit) && !Bytes.empty() &&
        PngPictureSize(Bytes.data(), Bytes.size(), &Width, &Height) && Width <= LevelPictureMaxSide &&
        Height <= LevelPictureMaxSide)
        Image = LoadImagePng(Bytes.data(), Bytes.size());
    CloseArchive(Archive);
    return Image;
}

static void MakeCardWords(int Entry)
{
    const LevelProgress& Level = ProgressList[size_t(Entry)];
    CardWordsRecord& Words = CardWords[size_t(Entry)];
    Words.Header = Text("tStartHEADER");
    for (size_t At = Words.Header.find('#'); At != std::string::npos; At = Words.Header.find('#', At))
        Words.Header.replace(At, 1, std::to_string(Entry + 1));
    Words.Title = Text(Level.TitleKey);
    Words.Band = Text("tStartTIME") + " " + FormatPlayTime(Level.TimeMs) + "\n" + Text("tStartSTEPS") + " " +
                 std::to_string(Level.Steps) + "\n";
    double W = 0, H = 0;
    MeasureText(Words.Header, CardF, &W, &H);
    MeasureText(Words.Title, CardF, &W, &H);
    MeasureText(Words.Band, CardF, &W, &H);
}

// Draws card Entry into the card canvas; 1, or 0 on failure.
static int DrawCard(int Entry, int Unlocked)
{
    const LevelProgress& Level = ProgressList[size_t(Entry)];
    const CardWordsRecord& Words = CardWords[size_t(Entry)];
    int Image = CardCanvas;
    if (ImageWidth(Image) != CardW)
        return 0;
    FillImageRect(Image, 0, 0, CardW, CardW, CardBackground);
    FillImageRect(Image, 0, 0, CardW, CardH, ColourAccent);

    double W1 = 0, H1 = 0, W2 = 0, H2 = 0;
    MeasureText(Words.Header, CardF, &W1, &H1);
    MeasureText(Words.Title, CardF, &W2, &H2);
    double Ink = MeasureTextInk(Words.Header, CardF);
    DrawText(Image, Words.Header, CardW / 2.0 - W1 / 2.0, CardH / 2.0 - Ink - Ink / 2.0, CardF, CardWhite);
    DrawText(Image, Words.Title, CardW / 2.0 - W2 / 2.0, CardH / 2.0, CardF, CardWhite);

    int ThumbHeight = int(std::lround(CardT));
    // Decoded at the card's size (often ahead, on the second core).
    static const std::string MapsFile = "Kistora.maps";
    static std::string MapsPath;
    MapsPath.assign(GameDir).append(MapsFile);
    int Thumb = TakeLevelThumbnail(MapsPath, Level.Name, CardW, ThumbHeight);
    if (Thumb < 0)
        Thumb = LoadThumbnail(MapsPath, Level.Name);
    if (Thumb > 0) {
        DrawImageOnImage(Image, Thumb, 0, CardH, CardW, ThumbHeight, 1);
        FreeImage(Thumb);
    } else {
        // No picture to show: a calm grey field in its place.
        FillImageRect(Image, 0, CardH, CardW, ThumbHeight, ColourGrey);
    }

    if (Unlocked)
        DrawParagraph(Image, Words.Band, 0, CardW - CardH, CardW, CardH, CardF, CardWhite);
    else if (LockImage)
        DrawImageOnImage(Image, LockImage, CardW / 2 - 3 * CardF / 2, CardW - CardH, 3 * CardF, 3 * CardF, 0);
    return 1;
}

// The renderer of a card's sprite: Argument is the entry x 2, + 1 for the
// unlocked form.
static void RenderCardSprite(int Sprite, int Argument)
{
    int Entry = Argument / 2;
    if (Entry < 0 || Entry >= int(ProgressList.size()))
        return;
    if (DrawCard(Entry, Argument % 2))
        CopyImageToSprite(Sprite, CardCanvas);
}

// The thumbnails of the cards within reach of the selected one (the strip
// shows two on each side, a slide brings in a third), decoded on the second
// core ahead of their drawing.
static void PrefetchNearbyThumbnails(int First, int Count)
{
    PrefetchLevelThumbnails(First, Count, CardW, int(std::lround(CardT)));
}

void BuildAllCards()
{
    // Every card is a deferred sprite: drawn by DrawCard when it is first
    // shown, with the progress it has now, and drawn again whenever it is
    // shown after the platform took its pixels back (only the cards shown
    // last keep theirs). What it shows is what drawing it here would show.
    if (ImageWidth(CardCanvas) != CardW) {
        FreeImage(CardCanvas);
        CardCanvas = CreateImage(CardW, CardW, CardBackground);
    }
    CardWords.assign(ProgressList.size(), CardWordsRecord());
    for (size_t Entry = 0; Entry < ProgressList.size(); ++Entry) {
        MakeCardWords(int(Entry));
        if (ProgressList[Entry].CardImage)
            FreeSprite(ProgressList[Entry].CardImage);
        ProgressList[Entry].CardImage = CreateDeferredSprite(0, CardW, CardW, RenderCardSprite,
                                                             int(Entry) * 2 + (ProgressList[Entry].Unlocked != 0));
    }
    ReserveDeferredPixels(CardW, CardW);
    PrefetchNearbyThumbnails(SelectedLevelIndex - 2, 5);
}

void RedrawCard(int Entry)
{
    if (Entry < 0 || Entry >= int(ProgressList.size()))
        return;
    // Drawn again, unlocked, when next shown.
    if (size_t(Entry) < CardWords.size())
        MakeCardWords(Entry);
    if (SpriteExists(ProgressList[Entry].CardImage))
        SetSpriteRenderer(ProgressList[Entry].CardImage, RenderCardSprite, Entry * 2 + 1);
}

void DrawLevelSelect()
{
    const int S = SelectedLevelIndex;
    const int C = int(ProgressList.size());
    int Shift = StripSlideDirection == 1 ? -StripSlideOffset : StripSlideDirection == 2 ? StripSlideOffset : 0;
    for (int K = -2; K <= 2; ++K) {
        int Entry = S + K;
        if (Entry < 0 || Entry >= C)
            continue;
        ShowSprite(ProgressList[Entry].CardImage, CardSlotX(K) + Shift, ScreenHeight / 2);
    }
}

void AdvanceLevelStrip()
{
    const int S = SelectedLevelIndex;
    const int W = CardW;
    if (StripSlideDirection != 0) {
        // The card this slide brings within reach: its thumbnail decodes meanwhile.
        if (StripSlideOffset == StripSlideStep)
            PrefetchNearbyThumbnails(StripSlideDirection == 1 ? S + 3 : S - 3, 1);
        if (StripSlideOffset >= W) {
            SelectedLevelIndex += StripSlideDirection == 1 ? 1 : -1;
            StripSlideOffset = StripSlideStep;
            StripSlideDirection = 0;
        } else {
            StripSlideOffset += StripSlideStep;
        }
    }
}
