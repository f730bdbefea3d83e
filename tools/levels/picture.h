// Pictures for the level compiler: RGBA images, PNG reading and writing with
// the game's PNG codec (platform), compositing and box-filtered scaling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Pixels; // RGBA, 8 bits each, rows top to bottom, straight alpha
};

int ReadPngFile(const std::string& Path, Picture& Image);
int EncodePng(const Picture& Image, std::vector<uint8_t>& Bytes);
int WritePngFile(const std::string& Path, const Picture& Image);

void MakePicture(Picture& Image, int Width, int Height, uint32_t Rgba);
// Draws Source at (X, Y) 1:1. Mode 0 opaque, 1 alpha blend, 2 black colour key.
void DrawPicture(Picture& Target, const Picture& Source, int X, int Y, int Mode);
// Draws Source scaled to W x H at (X, Y), box-filtered, alpha-blended.
void DrawPictureScaled(Picture& Target, const Picture& Source, int X, int Y, int W, int H);
// The area (SX, SY, SW, SH) of Source (real pixel units) averaged into a W x H picture.
void ScaleArea(const Picture& Source, double SX, double SY, double SW, double SH, int W, int H, Picture& Out);
void FillRect(Picture& Target, int X, int Y, int W, int H, uint32_t Rgba);
