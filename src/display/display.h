// Display and assets: screen modes, the resolution list, aspect classes;
// asset slots and the palette. The pack container they are read from is in
// formats/formats.h.
#pragma once

#include "formats/formats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// screenmode.cpp
// ---------------------------------------------------------------------------

extern std::vector<std::string> ResolutionList; // "1024x576" ... "3840x2160"
extern int ScreenWidth;
extern int ScreenHeight;
extern int ScreenAspectClass; // 0 to 7
extern int ScreenOpenResult;  // 0 when the last open failed

enum AspectClassKind {
    Aspect3x2 = 0,
    Aspect4x3,
    Aspect5x4,
    Aspect16x9,
    Aspect16x10,
    Aspect17x9,
    Aspect21x9,
    AspectOther
};

void FillResolutionList();
int AspectClass(int Width, int Height);
// "1920x1080" -> 1920, 1080 (leading blanks skipped). 1 or 0.
int ParseResolution(const std::string& Entry, int* Width, int* Height);
// ScreenWidth/Height from desktop 0, or from the resolution list when windowed.
void ChooseScreenSize();
// 1 when list entry Index fits desktop 0 (neither wider nor taller); 0 for an
// index outside the list. A window larger than the desktop would put the menus
// out of reach, so the settings offer only the sizes that fit.
int ResolutionFitsDesktop(int Index);
// Start-up: Resolution kept inside the list, and moved down to the largest
// size that fits the desktop when it does not (0 when none does).
void FitResolutionToDesktop();
// The width the menus, panels and level cards are laid out for: the screen's
// own, or on a screen wider than 2:1 that of the 16:9 screen of its height
// (they are then centred), so that nothing runs off the bottom edge.
int MenuLayoutWidth(int Width, int Height);
const char* ScreenModeName(int Mode); // "Fullscreen", "Windowed", "Borderless" or ""
// Opens the screen in GameScreen at ScreenWidth x ScreenHeight; ScreenOpenResult
// says whether it opened. Writes the "Opening screen" log lines.
void OpenGameScreen();

// ---------------------------------------------------------------------------
// assets.cpp: slots, LoadSounds, LoadPictures, AssetFailed
// ---------------------------------------------------------------------------

enum SoundSlot { SoundMenuMusic = 0, SoundGameMusic = 1, SoundRollover = 2, SoundClick = 3 };
enum SpriteSlot {
    SpriteDimLayer = 1,
    SpriteTitleArt = 2,
    SpriteSplashArt = 3,
    SpriteTitleBackground = 4,
    SpriteCrate = 5,
    SpriteCrateIcon = 6,
    SpriteFillTile = 7,
    SpriteIdleLeft = 8,
    SpriteIdleRight = 9,
    SpriteIdleUp = 10,
    SpriteIdleDown = 11,
    SpritePushLeft = 12,
    SpritePushRight = 13,
    SpritePushUp = 14,
    SpritePushDown = 15,
    SpriteHudBackground = 17,
    SpriteHudTitle = 18,
    SpriteHudTime = 19,
    SpriteHudSteps = 20,
    SpriteHudSpare = 21,
    SpritePanelFirst = 22, // 22 to 28: the seven panels
};

// The palette of the HUD, the panels and the level cards (0xRRGGBBAA).
extern uint32_t ColourPanelBackground;
extern uint32_t ColourAccent;
extern uint32_t ColourAccentDark;
extern uint32_t ColourGrey;

extern int LockImage; // image handle of "locked.png" (image 16)
extern int TitleBackgroundX;
extern int TitleBackgroundY;

void LoadSounds();
void LoadPictures();
[[noreturn]] void AssetFailed(const std::string& Name);
