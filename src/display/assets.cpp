// Asset slots: the four sounds and the pictures of Kistora.data, prepared for
// the current screen; and the fatal path when one of them cannot be had.
#include "display/display.h"
#include "settings/settings.h"
#include "base/base.h"
#include "platform/platform.h"

#include <cmath>

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static constexpr size_t SoundBufferLimit = 15728640; // 15 MiB per music track or effect
static constexpr size_t ArtBufferLimit = 4194304;    // 4 MiB per title or splash picture
static constexpr size_t SpriteBufferLimit = 204800;  // 200 KiB per board, HUD or lock picture

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

struct SoundAsset {
    const char* Name;
    int Number;
};

struct SpriteAsset {
    const char* Name;
    int Slot; // sprite number, or 0 for the lock image
    int Transparency;
};

// The order of loading is the order of the log lines.
static const SoundAsset SoundAssets[] = {
    {"music1.ogg", SoundMenuMusic},
    {"music2.ogg", SoundGameMusic},
    {"rollover3.wav", SoundRollover},
    {"click3.wav", SoundClick},
};

static const SpriteAsset SpriteAssets[] = {
    {"crate.png", SpriteCrate, SpriteColourKey},
    {"idle_left.png", SpriteIdleLeft, SpriteOwnAlpha},
    {"idle_right.png", SpriteIdleRight, SpriteOwnAlpha},
    {"idle_up.png", SpriteIdleUp, SpriteOwnAlpha},
    {"idle_down.png", SpriteIdleDown, SpriteOwnAlpha},
    {"push_right.png", SpritePushRight, SpriteOwnAlpha},
    {"push_left.png", SpritePushLeft, SpriteOwnAlpha},
    {"push_up.png", SpritePushUp, SpriteOwnAlpha},
    {"push_down.png", SpritePushDown, SpriteOwnAlpha},
    {"tile_01.png", SpriteFillTile, SpriteColourKey},
    {"locked.png", 0, SpriteColourKey},
    {"titleback_c.png", SpriteTitleBackground, SpriteColourKey},
};

// Title and splash picture per aspect class 0 to 5, with the class's log line.
struct AspectPictures {
    const char* LogLine;
    const char* Title;
    const char* Splash;
};

// The log lines are written as they stand: two blanks after the colon and no
// tabs, unlike every other log line.
static const AspectPictures PicturesByClass[6] = {
    {"AspectRatio:  3:2", "title_3x2.png", "bgs_3x2.png"},
    {"AspectRatio:  4:3", "title_4x3.png", "bgs_4x3.png"},
    {"AspectRatio:  5:4", "title_5x4.png", "bgs_5x4.png"},
    {"AspectRatio:  16:9", "title_16x9.png", "bgs_16x9.png"},
    {"AspectRatio:  16:10", "title_16x10.png", "bgs_16x10.png"},
    {"AspectRatio:  17:9", "title_17x9.png", "bgs_17x9.png"},
};

// One picture of the picture phase, read from the archive and its decoding
// queued on the second core ahead of its turn, or the note that it could not
// be read; its turn then reports it in the order of the log.
struct PreparedPicture {
    std::vector<uint8_t> Bytes;
    int Read = 0; // 1 when the entry was read whole
    int Job = 0;  // decoding under way (0: decoded at its turn)
};

// The pictures for one screen size: the title, the splash and the sprite
// pictures in their loading order.
struct PreparedPictures {
    int Ready = 0;
    int Width = 0;
    int Height = 0;
    PreparedPicture Title;
    PreparedPicture Splash;
    PreparedPicture Sprites[sizeof(SpriteAssets) / sizeof(SpriteAssets[0])];
};

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

uint32_t ColourPanelBackground = Rgba(74, 74, 74);
uint32_t ColourAccent = Rgba(232, 106, 23);
uint32_t ColourAccentDark = Rgba(166, 74, 15);
uint32_t ColourGrey = Rgba(86, 86, 86);

int LockImage = 0;
int TitleBackgroundX = 0;
int TitleBackgroundY = 0;

// ---------------------------------------------------------------------------
// Static helpers' declarations
// ---------------------------------------------------------------------------

static PreparedPictures Prepared;

static void ExtractAsset(int Archive, const std::string& Name, size_t Limit, std::vector<uint8_t>& Bytes);
static const AspectPictures& PicturesFor(int Class);
static void PreparePictures(int Archive);
static void PreparePicture(int Archive, const char* Name, size_t Limit, int Width, int Height,
                           PreparedPicture& Picture);
static void DropPreparedPictures();
static int TakePicture(const char* Name, PreparedPicture& Picture);
static void LoadTitle(const AspectPictures& Pictures, int WriteAspectLine);
static void LoadSplash(const AspectPictures& Pictures, int WriteAspectLine, int Cover);
static void PlaceTitleBackground();

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void LoadSounds()
{
    int Archive = OpenArchive(GameDir + "Kistora.data");
    if (Archive == 0)
        AssetFailed("music and sfx");
    for (const SoundAsset& Sound : SoundAssets) {
        std::vector<uint8_t> Bytes;
        ExtractAsset(Archive, Sound.Name, SoundBufferLimit, Bytes);
        if (!LoadSoundFromMemory(Sound.Number, Bytes.data(), Bytes.size()))
            AssetFailed(Sound.Name);
        LogValue(std::string("Load asset (") + Sound.Name + "):", "OK");
    }
    // The screen size is settled by now: the pictures are read while the
    // archive is open and decoded on the second core while the screen opens
    // and the levels load. Nothing is logged or reported here; the picture
    // phase does that in its own order.
    if (ScreenWidth > 0 && ScreenHeight > 0)
        PreparePictures(Archive);
    CloseArchive(Archive);
}

void LoadPictures()
{
    int Archive = OpenArchive(GameDir + "Kistora.data");
    if (Archive == 0) {
        DropPreparedPictures();
        AssetFailed("");
    }
    // Read now unless the sound phase read them for this very screen size; all
    // the decoding is queued at once, and each picture is taken at its turn.
    if (!Prepared.Ready || Prepared.Width != ScreenWidth || Prepared.Height != ScreenHeight)
        PreparePictures(Archive);
    CloseArchive(Archive);
    Prepared.Ready = 0;

    // Classes 0 to 5 have their own pictures and aspect lines; 21:9 screens and
    // unknown ratios take the 16:9 pictures, the splash fitted by the cover rule.
    int Class = ScreenAspectClass;
    if (Class >= Aspect3x2 && Class <= Aspect17x9) {
        LoadTitle(PicturesByClass[Class], 1);
        LoadSplash(PicturesByClass[Class], 1, 0);
    } else {
        LoadTitle(PicturesByClass[Aspect16x9], 0);
        LoadSplash(PicturesByClass[Aspect16x9], 0, 1);
    }

    for (size_t Index = 0; Index < sizeof(SpriteAssets) / sizeof(SpriteAssets[0]); Index++) {
        const SpriteAsset& Asset = SpriteAssets[Index];
        int Image = TakePicture(Asset.Name, Prepared.Sprites[Index]);
        if (Asset.Slot == 0) {
            // The lock icon is a picture for 2D drawing onto the level cards.
            if (LockImage != 0)
                FreeImage(LockImage);
            LockImage = Image;
        } else {
            int Made = CreateSpriteFromImage(Asset.Slot, Image, Asset.Transparency);
            FreeImage(Image);
            if (!Made)
                AssetFailed(Asset.Name);
        }
        LogValue(std::string("Load asset (") + Asset.Name + "):", "OK");
        if (Asset.Slot == SpriteCrate)
            CopySprite(SpriteCrateIcon, SpriteCrate);
    }
    DropPreparedPictures();

    // The dim layer: opaque black with white as its key colour, so nothing is keyed out.
    CreateEmptySprite(SpriteDimLayer, ScreenWidth, ScreenHeight);
    FillSprite(SpriteDimLayer, Rgba(0, 0, 0, 255));
    SetSpriteKeyColour(SpriteDimLayer, Rgba(255, 255, 255, 255));

    PlaceTitleBackground();
}

void AssetFailed(const std::string& Name)
{
    DropPreparedPictures();
    LogValue("Load asset (" + Name + "):", "FAILED");
    // Closing the screen also closes its window in windowed and borderless mode.
    CloseScreen();
    ShowMessageBox("Kistora::" + Text("tErrorERROR"), Text("tErrorASSET"));
    FatalExit(1);
}

// ---------------------------------------------------------------------------
// Static helpers
// ---------------------------------------------------------------------------

// The entry's bytes, or the end of the game through AssetFailed when it is
// missing, above Limit, or does not unpack.
static void ExtractAsset(int Archive, const std::string& Name, size_t Limit, std::vector<uint8_t>& Bytes)
{
    if (!ReadPackEntry(Archive, Name, Bytes, Limit))
        AssetFailed(Name);
}

// Title and splash of an aspect class: classes 0 to 5 their own, the others the 16:9 ones.
static const AspectPictures& PicturesFor(int Class)
{
    return PicturesByClass[Class >= Aspect3x2 && Class <= Aspect17x9 ? Class : Aspect16x9];
}

// Reads every picture of the picture phase for the current screen size and
// queues its decoding, to the size it will be used at where that is known
// now: the title as wide as the screen, the splash (classes 0 to 5) as large.
static void PreparePictures(int Archive)
{
    DropPreparedPictures();
    int Class = AspectClass(ScreenWidth, ScreenHeight);
    const AspectPictures& Pictures = PicturesFor(Class);
    int Stretched = Class >= Aspect3x2 && Class <= Aspect17x9;
    // The splash first: the largest, and needed in the first frame.
    PreparePicture(Archive, Pictures.Splash, ArtBufferLimit, Stretched ? ScreenWidth : 0, Stretched ? ScreenHeight : 0,
                   Prepared.Splash);
    PreparePicture(Archive, Pictures.Title, ArtBufferLimit, ScreenWidth, 0, Prepared.Title);
    for (size_t Index = 0; Index < sizeof(SpriteAssets) / sizeof(SpriteAssets[0]); Index++)
        PreparePicture(Archive, SpriteAssets[Index].Name, SpriteBufferLimit, 0, 0, Prepared.Sprites[Index]);
    Prepared.Ready = 1;
    Prepared.Width = ScreenWidth;
    Prepared.Height = ScreenHeight;
}

static void PreparePicture(int Archive, const char* Name, size_t Limit, int Width, int Height, PreparedPicture& Picture)
{
    Picture.Read = ReadPackEntry(Archive, Name, Picture.Bytes, Limit);
    Picture.Job = Picture.Read ? QueueImageDecode(Picture.Bytes.data(), Picture.Bytes.size(), Width, Height) : 0;
}

// Finishes whatever decoding is still under way and lets go of the bytes.
static void DropPreparedPictures()
{
    auto Drop = [](PreparedPicture& Picture) {
        if (Picture.Job != 0)
            FreeImage(TakeDecodedImage(Picture.Job));
        Picture = PreparedPicture();
    };
    Drop(Prepared.Title);
    Drop(Prepared.Splash);
    for (PreparedPicture& Picture : Prepared.Sprites)
        Drop(Picture);
    Prepared.Ready = 0;
}

// The decoded picture at its turn; a picture that could not be read or
// decoded ends the game through AssetFailed.
static int TakePicture(const char* Name, PreparedPicture& Picture)
{
    if (!Picture.Read)
        AssetFailed(Name);
    int Image =
        Picture.Job != 0 ? TakeDecodedImage(Picture.Job) : LoadImagePng(Picture.Bytes.data(), Picture.Bytes.size());
    Picture = PreparedPicture();
    if (Image == 0)
        AssetFailed(Name);
    return Image;
}

// Sprite 2: the title as wide as the screen, its height scaled with it.
static void LoadTitle(const AspectPictures& Pictures, int WriteAspectLine)
{
    if (WriteAspectLine)
        LogLine(Pictures.LogLine);
    int Image = TakePicture(Pictures.Title, Prepared.Title);
    int Width = ImageWidth(Image), Height = ImageHeight(Image);
    if (Width != ScreenWidth) {
        long NewHeight = std::lround(double(Height) / double(Width) * double(ScreenWidth));
        Height = NewHeight < 1 ? 1 : int(NewHeight);
        if (!ResizeImage(Image, ScreenWidth, Height))
            AssetFailed(Pictures.Title);
    }
    // The picture fills the sprite exactly: its pixels become the sprite's.
    if (ImageWidth(Image) != ScreenWidth || ImageHeight(Image) != Height || !MoveImageToSprite(SpriteTitleArt, Image)) {
        if (!CreateEmptySprite(SpriteTitleArt, ScreenWidth, Height))
            AssetFailed(Pictures.Title);
        CopyImageToSprite(SpriteTitleArt, Image);
        FreeImage(Image);
    }
    LogValue(std::string("Load asset (") + Pictures.Title + "):", "OK");
}

// The cover rule for screens of unknown ratio and for 21:9: a picture of the
// screen's size is used as it is, one of the same whole-number ratio is
// stretched to the screen; any other is scaled, proportions kept, until it
// covers the whole screen, and the middle W x H of it is taken (the overflow
// is cropped evenly on both sides). Returns a new image of W x H, or 0.
static int CoverImage(int Image, int W, int H)
{
    int PictureW = ImageWidth(Image), PictureH = ImageHeight(Image);
    if (PictureW <= 0 || PictureH <= 0 || W <= 0 || H <= 0)
        return 0;
    if (PictureW == W && PictureH == H)
        return CropImage(Image, 0, 0, W, H);
    if (PictureW / PictureH == W / H) {
        if (!ResizeImage(Image, W, H))
            return 0;
        return CropImage(Image, 0, 0, W, H);
    }
    // The scale is the larger of W / w and H / h; the other side is rounded up
    // so it never falls short of the screen.
    int64_t NewW = W, NewH = H;
    if (int64_t(W) * PictureH >= int64_t(H) * PictureW)
        NewH = (int64_t(PictureH) * W + PictureW - 1) / PictureW;
    else
        NewW = (int64_t(PictureW) * H + PictureH - 1) / PictureH;
    if (NewW > 65536 || NewH > 65536)
        return 0;
    if (!ResizeImage(Image, int(NewW), int(NewH)))
        return 0;
    return CropImage(Image, int((NewW - W) / 2), int((NewH - H) / 2), W, H);
}

// Sprite 3: the splash at the full screen size.
static void LoadSplash(const AspectPictures& Pictures, int WriteAspectLine, int Cover)
{
    if (WriteAspectLine)
        LogLine(Pictures.LogLine);
    int Image = TakePicture(Pictures.Splash, Prepared.Splash);
    if (Cover) {
        int Covered = CoverImage(Image, ScreenWidth, ScreenHeight);
        FreeImage(Image);
        Image = Covered;
    } else if (ImageWidth(Image) != ScreenWidth || ImageHeight(Image) != ScreenHeight) {
        // Stretched to the screen; the picture's own proportions are not kept.
        if (!ResizeImage(Image, ScreenWidth, ScreenHeight))
            AssetFailed(Pictures.Splash);
    }
    if (Image != 0 && ImageWidth(Image) == ScreenWidth && ImageHeight(Image) == ScreenHeight &&
        MoveImageToSprite(SpriteSplashArt, Image)) {
        Image = 0; // its pixels became the sprite's
    } else if (!CreateEmptySprite(SpriteSplashArt, ScreenWidth, ScreenHeight)) {
        AssetFailed(Pictures.Splash);
    }
    if (Image != 0) {
        CopyImageToSprite(SpriteSplashArt, Image);
        FreeImage(Image);
    }
    LogValue(std::string("Load asset (") + Pictures.Splash + "):", "OK");
}

// The rotating background: 1.2 screen widths wide, centred across the screen
// and in the space below the title.
static void PlaceTitleBackground()
{
    int Width = SpriteWidth(SpriteTitleBackground), Height = SpriteHeight(SpriteTitleBackground);
    if (Width <= 0)
        return;
    int DisplayWidth = int(std::lround(double(ScreenWidth) * 1.2));
    int DisplayHeight = int(std::lround(double(Height) / double(Width) * double(ScreenWidth) * 1.2));
    ZoomSprite(SpriteTitleBackground, DisplayWidth, DisplayHeight);
    int TitleHeight = SpriteHeight(SpriteTitleArt);
    TitleBackgroundX = ScreenWidth / 2 - DisplayWidth / 2;
    TitleBackgroundY = TitleHeight + (ScreenHeight - TitleHeight) / 2 - DisplayHeight / 2;
}
