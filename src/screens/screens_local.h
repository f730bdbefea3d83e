// Shared by the panel files only.
#pragma once

#include <cstdint>
#include <string>

enum ItemPlacement { PlaceLeft = 0, PlaceCentre = 1, PlaceRight = 2 };

extern const uint32_t ColourWhite;
extern const uint32_t ColourDisabled;

// Steps 1 to 4 of every panel: the image filled with the panel colour, the
// header bar and the centred title. Returns the image, 0 when it cannot be made.
int BeginPanel(int Panel, const std::string& Title);
// One row item at itemFont size, left (x 10), centred or right (x width - TW - 10).
void PanelItem(int Panel, int Image, const std::string& Text, int Placement, double Y, uint32_t Colour);
// Copies the image into the panel's sprite and frees it.
void FinishPanel(int Panel, int Image);
uint32_t ItemColour(int Item, int Selection);
std::string UpperCase(const std::string& Utf8);
std::string ReplaceAll(std::string Text, const std::string& What, const std::string& With);
