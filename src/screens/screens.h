// Screens and menus: panel geometry, palette, off-screen rendering, and the
// seven panels.
#pragma once

#include <cstdint>
#include <string>

enum PanelId {
    PanelMainMenu = 0,
    PanelInGameMenu,
    PanelQuitQuestion,
    PanelSettings,
    PanelLevelComplete,
    PanelGameComplete,
    PanelCredits,
    PanelCount
};

constexpr int PanelSlideInSteps = 5;

struct PanelLayout {
    int32_t Width = 0, Height = 0;
    int32_t Header = 0, TitleFont = 0, ItemFont = 0, Body = 0, Gap = 0;
    int32_t RowSlots = 4;
    int32_t ScreenX = 0, ScreenY = 0;
    int32_t SlideInStep = 0;
    int32_t SlideCounter = PanelSlideInSteps;
    int Sprite = 0; // 22 + panel id
};

extern PanelLayout Panels[PanelCount];
extern int CreditsParagraphFont;

// panels.cpp
void ComputePanelGeometry(int Width, int Height); // layouts only (no sprites)
void ComputePanelLayouts();                       // layouts and empty panel sprites of the screen
void ShowPanelOnTitle(int Panel);                 // at its place, SlideCounter steps below it
void StartPanelSlideIn(int Panel);                // the panel comes up from below, PanelSlideInSteps frames
void AdvancePanelSlideIn(int Panel);              // one frame of the slide-in
void ShowPanelCentred(int Panel);                 // over the dimmed play screen
int PanelRowTop(int Panel, int Slot);

// menus.cpp
void RenderMainMenu(int Selection);
void RenderInGameMenu(int Selection);
void RenderQuitQuestion(int Selection);
// settings.cpp
// The settings panel's edit copy of four settings, made when it opens.
struct PendingSettingsRecord {
    std::string Language;
    int32_t Music = 1;
    int32_t GameScreen = 2;
    int32_t Resolution = 1;
};
extern PendingSettingsRecord PendingSettings;
void RenderSettings(int SelectedRow, int ShownScreenMode);
// messages.cpp
void RenderLevelComplete(int Selection);
void RenderGameComplete();
void RenderCredits();

// ---------------------------------------------------------------------------
// levelselect.cpp: the level-select strip of cards
// ---------------------------------------------------------------------------

extern int SelectedLevelIndex;  // 0-based position in the progress list
extern int StripSlideDirection; // 0 none, 1 towards next, 2 towards previous
extern int StripSlideOffset;    // 45 at rest
constexpr int StripSlideStep = 45;

void ComputeCardGeometry();
// The card measures of the opened screen: edge W, header H, text size F,
// thumbnail height T (16:9), lock symbol edge Lock (3F), gap G; all pixels.
struct CardGeometryRecord {
    int W = 0, H = 0, F = 0, Lock = 0, G = 0;
    double T = 0;
};
CardGeometryRecord CardGeometry();
// Left edge of strip slot -2 to +2 at rest (slot 0 holds the selected level).
int CardSlotX(int Slot);
void BuildAllCards();
void RedrawCard(int Entry);
int LoadThumbnail(const std::string& ArchivePath, const std::string& LevelName);
void DrawLevelSelect();
// One frame of a running strip slide, after the strip was drawn: the offset
// grows by StripSlideStep until a card width, then the selection moves on.
void AdvanceLevelStrip();
