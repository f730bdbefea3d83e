// The software renderer's own drawing against its references: copying and
// blending checked value for value against SDL's blitter itself (every
// source, alpha and screen value), and the turning on two cores with SSE2
// checked pixel for pixel against the plain one-at-a-time turning it replaces.
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

// Every source value and alpha against 64 screen values, each colour byte a
// different mix of them, in rows of 1021 pixels (not a multiple of four).
constexpr int BlitWidth = 1021;

void FillCases(std::vector<uint32_t>& Source, std::vector<uint32_t>& Screen)
{
    Source.clear();
    Screen.clear();
    for (uint32_t S = 0; S < 256; ++S)
        for (uint32_t A = 0; A < 256; ++A)
            for (uint32_t D = 0; D < 256; D += 4) {
                uint32_t Under = D | (D ^ 0x55u) << 8 | (255 - D) << 16 | 0xff000000u;
                Source.push_back(A << 24 | S << 16 | (S ^ 0xa5u) << 8 | (S * 7u & 255u));
                Screen.push_back(Under);
            }
    while (Source.size() % BlitWidth) {
        Source.push_back(0x80402010u);
        Screen.push_back(0xff102030u);
    }
}

// What SDL's own blitter makes of Source over Screen (ARGB8888 onto the
// window surface's RGB888), with the given modulation.
std::vector<uint32_t> SdlBlit(const std::vector<uint32_t>& Source, std::vector<uint32_t> Screen, int Blend,
                              int ColourMod, int AlphaMod)
{
    int Height = int(Source.size() / BlitWidth);
    SDL_Surface* From = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(Source.data()), BlitWidth, Height, 32,
                                                           BlitWidth * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* To =
        SDL_CreateRGBSurfaceWithFormatFrom(Screen.data(), BlitWidth, Height, 32, BlitWidth * 4, SDL_PIXELFORMAT_RGB888);
    EXPECT_NE(From, nullptr);
    EXPECT_NE(To, nullptr);
    SDL_SetSurfaceBlendMode(From, Blend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    SDL_SetSurfaceColorMod(From, Uint8(ColourMod), Uint8(ColourMod), Uint8(ColourMod));
    SDL_SetSurfaceAlphaMod(From, Uint8(AlphaMod));
    SDL_BlitSurface(From, nullptr, To, nullptr);
    SDL_FreeSurface(From);
    SDL_FreeSurface(To);
    return Screen;
}

// Colour bytes that differ between two screens (the fourth byte is not shown).
int64_t Differences(const std::vector<uint32_t>& A, const std::vector<uint32_t>& B)
{
    int64_t Count = 0;
    for (size_t I = 0; I < A.size(); ++I)
        Count += (A[I] & 0xffffffu) != (B[I] & 0xffffffu);
    return Count;
}

// The turning as it was written first: one pixel at a time, one core. The
// reference the fast turning must equal exactly.
uint32_t PlainMix(uint32_t A, uint32_t B, uint32_t Weight)
{
    uint32_t Keep = 256 - Weight;
    uint32_t RedBlue = (((A & 0x00ff00ffu) * Keep + (B & 0x00ff00ffu) * Weight) >> 8) & 0x00ff00ffu;
    uint32_t AlphaGreen = (((A >> 8) & 0x00ff00ffu) * Keep + ((B >> 8) & 0x00ff00ffu) * Weight) & 0xff00ff00u;
    return RedBlue | AlphaGreen;
}

uint32_t PlainSample(const uint32_t* Source, int SourceWidth, int SourceHeight, int64_t FixedU, int64_t FixedV,
                     int Filtered)
{
    int64_t X0 = FixedU >> 16, Y0 = FixedV >> 16;
    if (!Filtered)
        return X0 >= 0 && Y0 >= 0 && X0 < SourceWidth && Y0 < SourceHeight ? Source[Y0 * SourceWidth + X0] : 0;
    if (X0 < -1 || Y0 < -1 || X0 >= SourceWidth || Y0 >= SourceHeight)
        return 0;
    uint32_t Wx = uint32_t(FixedU >> 8) & 255, Wy = uint32_t(FixedV >> 8) & 255;
    if (X0 >= 0 && Y0 >= 0 && X0 + 1 < SourceWidth && Y0 + 1 < SourceHeight) {
        const uint32_t* P = Source + Y0 * SourceWidth + X0;
        if ((P[0] & P[1] & P[SourceWidth] & P[SourceWidth + 1]) >= 0xff000000u)
            return PlainMix(PlainMix(P[0], P[1], Wx), PlainMix(P[SourceWidth], P[SourceWidth + 1], Wx), Wy);
    }
    uint64_t Alpha = 0, Red = 0, Green = 0, Blue = 0;
    for (int Corner = 0; Corner < 4; ++Corner) {
        int64_t X = X0 + (Corner & 1), Y = Y0 + (Corner >> 1);
        if (X < 0 || Y < 0 || X >= SourceWidth || Y >= SourceHeight)
            continue;
        uint32_t P = Source[Y * SourceWidth + X];
        uint64_t A = uint64_t((Corner & 1) ? Wx : 256 - Wx) * ((Corner >> 1) ? Wy : 256 - Wy) * (P >> 24);
        Alpha += A;
        Red += A * ((P >> 16) & 255);
        Green += A * ((P >> 8) & 255);
        Blue += A * (P & 255);
    }
    uint32_t OutAlpha = uint32_t((Alpha + 32768) >> 16);
    if (Alpha == 0 || OutAlpha == 0)
        return 0;
    return OutAlpha << 24 | uint32_t((Red + Alpha / 2) / Alpha) << 16 | uint32_t((Green + Alpha / 2) / Alpha) << 8 |
           uint32_t((Blue + Alpha / 2) / Alpha);
}

void PlainTurn(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
               double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
               int Width, int Height, int Filtered)
{
    double Radians = Degrees * M_PI / 180.0;
    double Cos = std::cos(Radians), Sin = std::sin(Radians);
    double ScaleX = double(SourceWidth) / DisplayWidth, ScaleY = double(SourceHeight) / DisplayHeight;
    int64_t StepU = std::llround(Cos * ScaleX * 65536), StepV = std::llround(-Sin * ScaleY * 65536);
    for (int Row = 0; Row < Height; ++Row)
        for (int TileLeft = 0; TileLeft < Width; TileLeft += 64) {
            double Dx = FromX + TileLeft + 0.5 - BoxWidth / 2.0, Dy = FromY + Row + 0.5 - BoxHeight / 2.0;
            double U = (Dx * Cos + Dy * Sin + DisplayWidth / 2.0) * ScaleX;
            double V = (-Dx * Sin + Dy * Cos + DisplayHeight / 2.0) * ScaleY;
            if (Filtered) {
                U -= 0.5;
                V -= 0.5;
            }
            int64_t FixedU = std::llround(U * 65536), FixedV = std::llround(V * 65536);
            for (int Column = TileLeft; Column < std::min(TileLeft + 64, Width);
                 ++Column, FixedU += StepU, FixedV += StepV)
                Target[size_t(Row) * Pitch + Column] =
                    PlainSample(Source, SourceWidth, SourceHeight, FixedU, FixedV, Filtered);
        }
}

} // namespace

TEST(SoftwareBlit, CopyAndBlendsEqualSdlsBlitterForEveryValue)
{
    std::vector<uint32_t> Source, Screen;
    FillCases(Source, Screen);
    const int Height = int(Source.size() / BlitWidth);
    struct Case {
        int Blend, ColourMod, AlphaMod;
    };
    // Plain; per-pixel alpha (the title, the turned background); the dim
    // layer's half alpha; the dark crate icon; both modulations at once.
    const Case Cases[] = {{0, 255, 255}, {1, 255, 255}, {1, 255, 128}, {1, 64, 255}, {1, 200, 77}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << "blend " << C.Blend << " colour " << C.ColourMod << " alpha " << C.AlphaMod);
        std::vector<uint32_t> Want = SdlBlit(Source, Screen, C.Blend, C.ColourMod, C.AlphaMod);
        std::vector<uint32_t> Got = Screen;
        if (C.Blend == 0)
            BlitCopy(Source.data(), BlitWidth, Got.data(), BlitWidth, BlitWidth, Height);
        else
            BlitBlendModulated(Source.data(), BlitWidth, Got.data(), BlitWidth, BlitWidth, Height, C.ColourMod,
                               C.AlphaMod);
        EXPECT_EQ(Differences(Got, Want), 0);
    }
    // One colour throughout (the dim layer, a blank sprite): what the blends
    // above make of a source of that colour.
    const uint32_t Colours[] = {0xff000000u, 0x80c04020u, 0x00ffffffu, 0xff12ab34u, 0x01fefefeu, 0xfe010203u};
    for (const Case& C : Cases) {
        for (uint32_t Colour : Colours) {
            SCOPED_TRACE(testing::Message() << std::hex << Colour << std::dec << " blend " << C.Blend << " colour "
                                            << C.ColourMod << " alpha " << C.AlphaMod);
            std::vector<uint32_t> Row(BlitWidth, Colour), Want = Screen, Got = Screen;
            if (C.Blend == 0)
                BlitCopy(Row.data(), 0, Want.data(), BlitWidth, BlitWidth, Height);
            else
                BlitBlendModulated(Row.data(), 0, Want.data(), BlitWidth, BlitWidth, Height, C.ColourMod, C.AlphaMod);
            BlitUniform(Colour, Got.data(), BlitWidth, BlitWidth, Height, C.Blend, C.ColourMod, C.AlphaMod);
            EXPECT_EQ(Differences(Got, Want), 0);
        }
    }
    // A part of a row and of the screen: only that rectangle changes.
    std::vector<uint32_t> Got = Screen;
    BlitBlend(Source.data() + 3, BlitWidth, Got.data() + 5 * BlitWidth + 7, BlitWidth, 13, 2);
    for (int Row = 0; Row < 8; ++Row) {
        for (int X = 0; X < 30; ++X) {
            size_t I = size_t(Row) * BlitWidth + size_t(X);
            int Inside = Row >= 5 && Row < 7 && X >= 7 && X < 20;
            if (!Inside) {
                ASSERT_EQ(Got[I], Screen[I]) << Row << "," << X;
            }
        }
    }
}

TEST(SoftwareTurn, EqualsThePlainTurningPixelForPixel)
{
    std::mt19937 Random(7);
    // A picture with a transparent hole, transparent and half-transparent
    // edges and noise, so every path of the sampling is taken.
    const int SourceWidth = 301, SourceHeight = 203;
    std::vector<uint32_t> Source(size_t(SourceWidth) * SourceHeight);
    for (int Y = 0; Y < SourceHeight; ++Y)
        for (int X = 0; X < SourceWidth; ++X) {
            uint32_t P = 0xff000000u | (Random() & 0xffffffu);
            if ((X - 150) * (X - 150) + (Y - 100) * (Y - 100) < 400)
                P = 0; // keyed out
            if (X < 3 || Y < 2)
                P = (P & 0xffffffu) | uint32_t(Random() & 255) << 24;
            Source[size_t(Y) * SourceWidth + X] = P;
        }
    struct Case {
        double Degrees;
        int DisplayWidth, DisplayHeight, Width, Height, FromX, FromY, Filtered;
    };
    const Case Cases[] = {
        {-3.0, 722, 406, 700, 390, 12, 20, 1}, // the title background's sway: grown, split over both cores
        {2.95, 722, 406, 699, 389, 0, 0, 1},     {0.05, 300, 200, 300, 200, 0, 0, 1},
        {0.0, 301, 203, 301, 203, 0, 0, 1},      {45.0, 200, 140, 250, 250, 0, 0, 1}, // shrunk, far edges
        {-90.0, 301, 203, 203, 301, 0, 0, 1},    {180.0, 905, 611, 640, 480, 130, 60, 1},
        {-3.0, 722, 406, 700, 390, 12, 20, 0}, // nearest
        {17.5, 1500, 1100, 1210, 1330, 7, 3, 1},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Degrees << " degrees, " << C.Width << " x " << C.Height);
        double Radians = C.Degrees * M_PI / 180.0;
        int BoxWidth = int(std::ceil(C.DisplayWidth * std::fabs(std::cos(Radians)) +
                                     C.DisplayHeight * std::fabs(std::sin(Radians)) - 1e-6));
        int BoxHeight = int(std::ceil(C.DisplayWidth * std::fabs(std::sin(Radians)) +
                                      C.DisplayHeight * std::fabs(std::cos(Radians)) - 1e-6));
        const int Pitch = C.Width + 5;
        std::vector<uint32_t> Want(size_t(Pitch) * C.Height, 0x12345678u), Got = Want;
        PlainTurn(Source.data(), SourceWidth, SourceHeight, C.DisplayWidth, C.DisplayHeight, C.Degrees, BoxWidth,
                  BoxHeight, C.FromX, C.FromY, Want.data(), Pitch, C.Width, C.Height, C.Filtered);
        TurnPixels(Source.data(), SourceWidth, SourceHeight, C.DisplayWidth, C.DisplayHeight, C.Degrees, BoxWidth,
                   BoxHeight, C.FromX, C.FromY, Got.data(), Pitch, C.Width, C.Height, C.Filtered);
        int64_t Differ = 0, First = -1;
        for (size_t I = 0; I < Want.size(); ++I)
            if (Want[I] != Got[I] && Differ++ == 0)
                First = int64_t(I);
        EXPECT_EQ(Differ, 0) << "first at row " << First / Pitch << ", column " << First % Pitch;
        // Something was drawn at all: not a turn into nothing.
        EXPECT_GT(std::count_if(Got.begin(), Got.end(), [](uint32_t P) { return P >> 24 == 255; }), int64_t(C.Width));
    }
    WorkerShutdown();
}

TEST(SecondCore, PiecesRunOnceWhoeverFinishesThem)
{
    // Many pieces posted at once (more than the worker holds), finished in a
    // shuffled order: each runs exactly once and is done when finished.
    std::vector<int> Runs(300, 0);
    struct Piece {
        int* Counter;
    };
    std::vector<Piece> Pieces(Runs.size());
    std::vector<int> Tickets(Runs.size());
    for (size_t I = 0; I < Runs.size(); ++I) {
        Pieces[I].Counter = &Runs[I];
        Tickets[I] = PostWork([](void* Argument) { ++*static_cast<Piece*>(Argument)->Counter; }, &Pieces[I]);
    }
    std::vector<size_t> Order(Runs.size());
    for (size_t I = 0; I < Order.size(); ++I)
        Order[I] = I;
    std::shuffle(Order.begin(), Order.end(), std::mt19937(3));
    for (size_t I : Order) {
        FinishWork(Tickets[I]);
        EXPECT_EQ(Runs[I], 1) << I;
    }
    for (size_t I = 0; I < Runs.size(); ++I)
        EXPECT_EQ(Runs[I], 1) << I;
    WorkerShutdown();
    // After a shutdown the worker starts again when needed.
    int Again = 0;
    FinishWork(PostWork([](void* Argument) { ++*static_cast<int*>(Argument); }, &Again));
    EXPECT_EQ(Again, 1);
    WorkerShutdown();
}
