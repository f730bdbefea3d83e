// Screens and menus: panel geometry, palette, off-screen rendering, and the
// seven panels.
#pragma once

#include <cstdint>

enum PanelId {
    PanelMainMenu = 0, PanelInGameMenu, PanelQuitQuestion, PanelSettings,
    PanelLevelComplete, PanelGameComplete, PanelCredits, PanelCount
};

struct PanelLayout {
    int32_t Width = 0, Height = 0;
    int32_t Header = 0, TitleFont = 0, ItemFont = 0, Body = 0, Gap = 0;
    int32_t RowSlots = 4;
    int32_t ScreenX = 0, ScreenY = 0;
    int32_t SlideInStep = 0;
    int32_t SlideCounter = 5;
    int Sprite = 0;          // 22 + panel id
};

extern PanelLayout Panels[PanelCount];
extern int CreditsParagraphFont;

// Palette (0xRRGGBBAA).
extern uint32_t ColourPanelBackground;
extern uint32_t ColourAccent;
extern uint32_t ColourAccentDark;
extern uint32_t ColourGrey;

// panels.cpp
void ComputePanelGeometry(int Width, int Height);   // layouts only (no sprites)
void ComputePanelLayouts();                          // layouts, sprites, render every panel
void ShowPanelOnTitle(int Panel);                    // at its place, sliding in
void ShowPanelCentred(int Panel);                    // over the dimmed play screen
int PanelRowTop(int Panel, int Slot);

// menus.cpp
void RenderMainMenu(int Selection);
void RenderInGameMenu(int Selection);
void RenderQuitQuestion(int Selection);
// settings.cpp
void RenderSettings(int SelectedRow, int ShownScreenMode);
// messages.cpp
void RenderLevelComplete(int Selection);
void RenderGameComplete();
void RenderCredits();
