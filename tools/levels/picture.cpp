// RGBA pictures: files and memory through the game's own PNG codec, plus the
// few drawing operations the thumbnails need.
#include "picture.h"

#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

static void BlendPixel(uint8_t* Out, const uint8_t* In, double Alpha);

int ReadPngFile(const std::string& Path, Picture& Image)
{
    Image = Picture();
    std::vector<uint8_t> Bytes;
    std::vector<uint32_t> Words;
    int Width = 0, Height = 0, HasAlpha = 0;
    if (!ReadWholeFile(Path, Bytes) || !DecodePng(Bytes.data(), Bytes.size(), Words, &Width, &Height, &HasAlpha))
        return 0;
    Image.Width = Width;
    Image.Height = Height;
    Image.Pixels.resize(Words.size() * 4);
    uint8_t* Out = Image.Pixels.data();
    for (uint32_t Word : Words) {
        *Out++ = uint8_t(Word >> 24);
        *Out++ = uint8_t(Word >> 16);
        *Out++ = uint8_t(Word >> 8);
        *Out++ = uint8_t(Word);
    }
    return 1;
}

int EncodePng(const Picture& Image, std::vector<uint8_t>& Bytes)
{
    std::vector<uint32_t> Words(size_t(Image.Width) * size_t(Image.Height));
    if (Image.Pixels.size() < Words.size() * 4) {
        Bytes.clear();
        return 0;
    }
    const uint8_t* In = Image.Pixels.data();
    for (uint32_t& Word : Words) {
        Word = Rgba(In[0], In[1], In[2], In[3]);
        In += 4;
    }
    return EncodePng(Words.data(), Image.Width, Image.Height, 1, Bytes);
}

int WritePngFile(const std::string& Path, const Picture& Image)
{
    std::vector<uint8_t> Bytes;
    if (!EncodePng(Image, Bytes))
        return 0;
    FILE* File = std::fopen(Path.c_str(), "wb");
    if (!File)
        return 0;
    int Ok = std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
    Ok &= std::fclose(File) == 0;
    return Ok;
}

void MakePicture(Picture& Image, int Width, int Height, uint32_t Rgba)
{
    Image.Width = Width;
    Image.Height = Height;
    Image.Pixels.assign((size_t)Width * Height * 4, 0);
    FillRect(Image, 0, 0, Width, Height, Rgba);
}

void FillRect(Picture& Target, int X, int Y, int W, int H, uint32_t Rgba)
{
    uint8_t Colour[4] = {(uint8_t)(Rgba >> 24), (uint8_t)(Rgba >> 16), (uint8_t)(Rgba >> 8), (uint8_t)Rgba};
    for (int PY = std::max(Y, 0); PY < std::min(Y + H, Target.Height); PY++) {
        for (int PX = std::max(X, 0); PX < std::min(X + W, Target.Width); PX++) {
            uint8_t* Out = &Target.Pixels[((size_t)PY * Target.Width + PX) * 4];
            BlendPixel(Out, Colour, Colour[3] / 255.0);
        }
    }
}

void DrawPicture(Picture& Target, const Picture& Source, int X, int Y, int Mode)
{
    for (int SY = 0; SY < Source.Height; SY++) {
        int PY = Y + SY;
        if (PY < 0 || PY >= Target.Height)
            continue;
        for (int SX = 0; SX < Source.Width; SX++) {
            int PX = X + SX;
            if (PX < 0 || PX >= Target.Width)
                continue;
            const uint8_t* In = &Source.Pixels[((size_t)SY * Source.Width + SX) * 4];
            uint8_t* Out = &Target.Pixels[((size_t)PY * Target.Width + PX) * 4];
            if (Mode == 1) {
                BlendPixel(Out, In, In[3] / 255.0);
            } else if (Mode == 2 && In[0] == 0 && In[1] == 0 && In[2] == 0) {
                continue; // the colour key: pure black shows what lies beneath
            } else {
                Out[0] = In[0];
                Out[1] = In[1];
                Out[2] = In[2];
                Out[3] = 255;
            }
        }
    }
}

void DrawPictureScaled(Picture& Target, const Picture& Source, int X, int Y, int W, int H)
{
    Picture Scaled;
    ScaleArea(Source, 0, 0, Source.Width, Source.Height, W, H, Scaled);
    DrawPicture(Target, Scaled, X, Y, 1);
}

void ScaleArea(const Picture& Source, double SX, double SY, double SW, double SH, int W, int H, Picture& Out)
{
    MakePicture(Out, W, H, 0);
    double StepX = SW / W, StepY = SH / H;
    for (int Y = 0; Y < H; Y++) {
        double Y0 = SY + Y * StepY, Y1 = Y0 + StepY;
        for (int X = 0; X < W; X++) {
            double X0 = SX + X * StepX, X1 = X0 + StepX;
            // Area-weighted average of premultiplied colour over the covered source pixels.
            double Sum[4] = {0, 0, 0, 0}, Area = 0;
            for (int PY = (int)std::floor(Y0); PY < (int)std::ceil(Y1); PY++) {
                if (PY < 0 || PY >= Source.Height)
                    continue;
                double CoverY = std::min(Y1, PY + 1.0) - std::max(Y0, (double)PY);
                for (int PX = (int)std::floor(X0); PX < (int)std::ceil(X1); PX++) {
                    if (PX < 0 || PX >= Source.Width)
                        continue;
                    double Cover = CoverY * (std::min(X1, PX + 1.0) - std::max(X0, (double)PX));
                    const uint8_t* In = &Source.Pixels[((size_t)PY * Source.Width + PX) * 4];
                    double Alpha = In[3] / 255.0 * Cover;
                    Sum[0] += In[0] * Alpha;
                    Sum[1] += In[1] * Alpha;
                    Sum[2] += In[2] * Alpha;
                    Sum[3] += Alpha;
                    Area += Cover;
                }
            }
            uint8_t* P = &Out.Pixels[((size_t)Y * W + X) * 4];
            if (Area <= 0 || Sum[3] <= 0)
                continue;
            for (int C = 0; C < 3; C++)
                P[C] = (uint8_t)std::lround(std::min(255.0, Sum[C] / Sum[3]));
            P[3] = (uint8_t)std::lround(std::min(255.0, 255.0 * Sum[3] / Area));
        }
    }
}

// Straight-alpha "over" onto a pixel.
static void BlendPixel(uint8_t* Out, const uint8_t* In, double Alpha)
{
    if (Alpha <= 0)
        return;
    double Below = Out[3] / 255.0 * (1 - Alpha);
    double Total = Alpha + Below;
    for (int C = 0; C < 3; C++)
        Out[C] = (uint8_t)std::lround((In[C] * Alpha + Out[C] * Below) / Total);
    Out[3] = (uint8_t)std::lround(Total * 255.0);
}
