// The level-select strip: one pre-rendered card per level, five slots shown,
// sliding one card at a time.
#include "screens/screens.h"

#include "base/base.h"
#include "display/display.h"
#include "levels/levels.h"
#include "platform/platform.h"
#include "play/play.h"
#include "settings/settings.h"

#include <cmath>

int SelectedLevelIndex = 0;
int StripSlideDirection = 0;
int StripSlideOffset = StripSlideStep;

// Card geometry from the screen size: w card edge, h header, f text size,
// t thumbnail height (16:9), g gap.
static int CardW = 0, CardH = 0, CardF = 0, CardG = 0;
static double CardT = 0;

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
    const std::string Name = "THUMBS/" + LevelName + ".png";
    for (const PackEntry& Entry : *ArchiveEntries(Archive)) {
        if (Entry.Name != Name)
            continue;
        // The entry's own size is enough; a thumbnail larger than a level
        // picture may be (bytes or pixels) is not read.
        if (Entry.UnpackedSize > 0 && Entry.UnpackedSize <= LevelPictureEntryLimit) {
            std::vector<uint8_t> Buffer(Entry.UnpackedSize);
            int64_t Size = ExtractEntry(Archive, Name, Buffer.data(), Buffer.size());
            int Width = 0, Height = 0;
            if (Size > 0 && PngPictureSize(Buffer.data(), size_t(Size), &Width, &Height) &&
                Width <= LevelPictureMaxSide && Height <= LevelPictureMaxSide)
                Image = LoadImagePng(Buffer.data(), size_t(Size));
        }
        break;
    }
    CloseArchive(Archive);
    return Image;
}

// Draws card Entry (level number Number) into a new w x w image; 0 on failure.
static int DrawCard(int Entry, int Number, int Unlocked)
{
    const LevelProgress& Level = ProgressList[Entry];
    int Image = CreateImage(CardW, CardW, CardBackground);
    if (!Image)
        return 0;
    FillImageRect(Image, 0, 0, CardW, CardH, ColourAccent);

    std::string Line1 = Text("tStartHEADER");
    for (size_t At = Line1.find('#'); At != std::string::npos; At = Line1.find('#', At))
        Line1.replace(At, 1, std::to_string(Number));
    std::string Line2 = Text(Level.TitleKey);
    double W1 = 0, H1 = 0, W2 = 0, H2 = 0;
    MeasureText(Line1, CardF, &W1, &H1);
    MeasureText(Line2, CardF, &W2, &H2);
    double Ink = MeasureTextInk(Line1, CardF);
    DrawText(Image, Line1, CardW / 2.0 - W1 / 2.0, CardH / 2.0 - Ink - Ink / 2.0, CardF, CardWhite);
    DrawText(Image, Line2, CardW / 2.0 - W2 / 2.0, CardH / 2.0, CardF, CardWhite);

    int ThumbHeight = int(std::lround(CardT));
    // Decoded at the card's size (often ahead, on the second core).
    int Thumb = TakeLevelThumbnail(GameDir + "Kistora.maps", Level.Name, CardW, ThumbHeight);
    if (Thumb < 0)
        Thumb = LoadThumbnail(GameDir + "Kistora.maps", Level.Name);
    if (Thumb > 0) {
        DrawImageOnImage(Image, Thumb, 0, CardH, CardW, ThumbHeight, 1);
        FreeImage(Thumb);
    } else {
        // No picture to show: a calm grey field in its place.
        FillImageRect(Image, 0, CardH, CardW, ThumbHeight, ColourGrey);
    }

    if (Unlocked) {
        std::string Band = Text("tStartTIME") + " " + FormatPlayTime(Level.TimeMs) + "\n" + Text("tStartSTEPS") + " " +
                           std::to_string(Level.Steps) + "\n";
        DrawParagraph(Image, Band, 0, CardW - CardH, CardW, CardH, CardF, CardWhite);
    } else if (LockImage) {
        DrawImageOnImage(Image, LockImage, CardW / 2 - 3 * CardF / 2, CardW - CardH, 3 * CardF, 3 * CardF, 0);
    }
    return Image;
}

// The renderer of a card's sprite: Argument is the entry x 2, + 1 for the
// unlocked form.
static void RenderCardSprite(int Sprite, int Argument)
{
    int Entry = Argument / 2;
    if (Entry < 0 || Entry >= int(ProgressList.size()))
        return;
    int Image = DrawCard(Entry, Entry + 1, Argument % 2);
    if (!Image)
        return;
    CopyImageToSprite(Sprite, Image);
    FreeImage(Image);
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
    for (size_t Entry = 0; Entry < ProgressList.size(); ++Entry) {
        if (ProgressList[Entry].CardImage)
            FreeSprite(ProgressList[Entry].CardImage);
        ProgressList[Entry].CardImage =
            CreateDeferredSprite(0, CardW, CardW, RenderCardSprite, int(Entry) * 2 + (ProgressList[Entry].Unlocked != 0));
    }
    PrefetchNearbyThumbnails(SelectedLevelIndex - 2, 5);
}

void RedrawCard(int Entry)
{
    if (Entry < 0 || Entry >= int(ProgressList.size()))
        return;
    // Drawn again, unlocked, when next shown.
    if (SpriteExists(ProgressList[Entry].CardImage))
        SetSpriteRenderer(ProgressList[Entry].CardImage, RenderCardSprite, Entry * 2 + 1);
}

void DrawLevelSelect()
{
    const int S = SelectedLevelIndex;
    const int C = int(ProgressList.size());
    const int W = CardW;
    int Shift = StripSlideDirection == 1 ? -StripSlideOffset : StripSlideDirection == 2 ? StripSlideOffset : 0;
    for (int K = -2; K <= 2; ++K) {
        int Entry = S + K;
        if (Entry < 0 || Entry >= C)
            continue;
        ShowSprite(ProgressList[Entry].CardImage, CardSlotX(K) + Shift, ScreenHeight / 2);
    }
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
