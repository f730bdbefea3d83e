// Turning a picture on the CPU, for the software renderer: SDL's own turning
// there costs about 90 ms for a screen-sized sprite with smoothing, which the
// swaying title background would pay every frame.
#include "platform/video_internal.h"

#include <algorithm>
#include <cmath>

// Fixed point for source positions: 16 bits of fraction.
static constexpr int FractionBits = 16;
static constexpr int64_t One = int64_t(1) << FractionBits;

static constexpr int TileSide = 64;

static inline uint32_t Sample(const uint32_t* Source, int SourceWidth, int SourceHeight, int64_t FixedU, int64_t FixedV,
                              int Filtered);
static inline uint32_t MixOpaque(uint32_t A, uint32_t B, uint32_t Weight);
static uint32_t SampleEdge(const uint32_t* Source, int SourceWidth, int SourceHeight, int X0, int Y0, uint32_t Wx,
                           uint32_t Wy);

void TurnPixels(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
                double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
                int Width, int Height, int Filtered)
{
    double Radians = Degrees * M_PI / 180.0;
    double Cos = std::cos(Radians), Sin = std::sin(Radians);
    double ScaleX = double(SourceWidth) / DisplayWidth; // source pixels per display pixel
    double ScaleY = double(SourceHeight) / DisplayHeight;
    // Per target column the source position moves by (StepU, StepV). The box
    // is walked in tiles so that the source pixels a tile reads stay cached.
    int64_t StepU = std::llround(Cos * ScaleX * One);
    int64_t StepV = std::llround(-Sin * ScaleY * One);
    for (int TileTop = 0; TileTop < Height; TileTop += TileSide) {
        for (int TileLeft = 0; TileLeft < Width; TileLeft += TileSide) {
            int TileRight = std::min(TileLeft + TileSide, Width), TileBottom = std::min(TileTop + TileSide, Height);
            for (int Row = TileTop; Row < TileBottom; ++Row) {
                // The centre of the row's first pixel in the tile, relative to the box
                // centre, turned back into display coordinates, then into source pixels.
                double Dx = FromX + TileLeft + 0.5 - BoxWidth / 2.0;
                double Dy = FromY + Row + 0.5 - BoxHeight / 2.0;
                double U = (Dx * Cos + Dy * Sin + DisplayWidth / 2.0) * ScaleX;
                double V = (-Dx * Sin + Dy * Cos + DisplayHeight / 2.0) * ScaleY;
                // Bilinear sampling works from pixel centres, nearest from pixel edges.
                if (Filtered) {
                    U -= 0.5;
                    V -= 0.5;
                }
                int64_t FixedU = std::llround(U * One), FixedV = std::llround(V * One);
                uint32_t* Out = Target + size_t(Row) * size_t(Pitch);
                for (int Column = TileLeft; Column < TileRight; ++Column, FixedU += StepU, FixedV += StepV)
                    Out[Column] = Sample(Source, SourceWidth, SourceHeight, FixedU, FixedV, Filtered);
            }
        }
    }
}

// The source colour at a fixed-point position (bilinear or nearest).
static inline uint32_t Sample(const uint32_t* Source, int SourceWidth, int SourceHeight, int64_t FixedU, int64_t FixedV,
                              int Filtered)
{
    int64_t X0 = FixedU >> FractionBits, Y0 = FixedV >> FractionBits; // floor
    if (!Filtered) {
        if (X0 >= 0 && Y0 >= 0 && X0 < SourceWidth && Y0 < SourceHeight)
            return Source[size_t(Y0) * size_t(SourceWidth) + size_t(X0)];
        return 0;
    }
    if (X0 < -1 || Y0 < -1 || X0 >= SourceWidth || Y0 >= SourceHeight)
        return 0;
    uint32_t Wx = uint32_t(FixedU >> (FractionBits - 8)) & 255; // weight of the right column, of 256
    uint32_t Wy = uint32_t(FixedV >> (FractionBits - 8)) & 255;
    if (X0 >= 0 && Y0 >= 0 && X0 + 1 < SourceWidth && Y0 + 1 < SourceHeight) {
        const uint32_t* P = Source + size_t(Y0) * size_t(SourceWidth) + size_t(X0);
        uint32_t P00 = P[0], P01 = P[1], P10 = P[SourceWidth], P11 = P[SourceWidth + 1];
        if ((P00 & P01 & P10 & P11) >= 0xff000000u) // all opaque: the common case
            return MixOpaque(MixOpaque(P00, P01, Wx), MixOpaque(P10, P11, Wx), Wy);
    }
    return SampleEdge(Source, SourceWidth, SourceHeight, int(X0), int(Y0), Wx, Wy);
}

// A + (B - A) x Weight / 256 on all four bytes, two at a time.
static inline uint32_t MixOpaque(uint32_t A, uint32_t B, uint32_t Weight)
{
    uint32_t Keep = 256 - Weight;
    uint32_t RedBlue = (((A & 0x00ff00ffu) * Keep + (B & 0x00ff00ffu) * Weight) >> 8) & 0x00ff00ffu;
    uint32_t AlphaGreen = (((A >> 8) & 0x00ff00ffu) * Keep + ((B >> 8) & 0x00ff00ffu) * Weight) & 0xff00ff00u;
    return RedBlue | AlphaGreen;
}

// Bilinear sample where some of the four pixels are transparent or outside
// the picture (outside counts as transparent, which softens the edges).
static uint32_t SampleEdge(const uint32_t* Source, int SourceWidth, int SourceHeight, int X0, int Y0, uint32_t Wx,
                           uint32_t Wy)
{
    uint64_t Alpha = 0, Red = 0, Green = 0, Blue = 0;
    for (int Corner = 0; Corner < 4; ++Corner) {
        int X = X0 + (Corner & 1), Y = Y0 + (Corner >> 1);
        if (X < 0 || Y < 0 || X >= SourceWidth || Y >= SourceHeight)
            continue;
        uint32_t P = Source[size_t(Y) * size_t(SourceWidth) + size_t(X)];
        uint64_t Weight = uint64_t((Corner & 1) ? Wx : 256 - Wx) * ((Corner >> 1) ? Wy : 256 - Wy); // of 65536
        uint64_t A = Weight * (P >> 24);
        Alpha += A;
        Red += A * ((P >> 16) & 255);
        Green += A * ((P >> 8) & 255);
        Blue += A * (P & 255);
    }
    if (Alpha == 0)
        return 0;
    uint32_t OutAlpha = uint32_t((Alpha + 32768) >> 16);
    if (OutAlpha == 0)
        return 0;
    uint32_t R = uint32_t((Red + Alpha / 2) / Alpha), G = uint32_t((Green + Alpha / 2) / Alpha),
             B = uint32_t((Blue + Alpha / 2) / Alpha);
    return (OutAlpha << 24) | (R << 16) | (G << 8) | B;
}
