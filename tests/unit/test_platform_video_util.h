// Shared pieces of the platform video tests: a headless screen fixture and
// pixel helpers.
#pragma once

#include "platform/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

inline int Red(uint32_t P)
{
    return int(P >> 24);
}
inline int Green(uint32_t P)
{
    return int((P >> 16) & 255);
}
inline int Blue(uint32_t P)
{
    return int((P >> 8) & 255);
}
inline int Alpha(uint32_t P)
{
    return int(P & 255);
}

// Channels of A and B differ by at most Tolerance.
inline ::testing::AssertionResult Near(uint32_t A, uint32_t B, int Tolerance)
{
    for (int Shift = 0; Shift < 32; Shift += 8) {
        int Difference = std::abs(int((A >> Shift) & 255) - int((B >> Shift) & 255));
        if (Difference > Tolerance) {
            char Text[64];
            std::snprintf(Text, sizeof(Text), "%08X vs %08X", A, B);
            return ::testing::AssertionFailure() << Text;
        }
    }
    return ::testing::AssertionSuccess();
}

// A windowed headless screen of 160 x 120, opened fresh for every test.
class HeadlessScreen : public ::testing::Test {
  protected:
    static constexpr int Width = 160;
    static constexpr int Height = 120;

    void SetUp() override
    {
        SavedOverrides = Overrides;
        Overrides.Headless = 1;
        ASSERT_EQ(PlatformInit(), 1);
        ASSERT_EQ(InitSprite(), 1);
        ASSERT_EQ(OpenScreen(ModeWindowed, Width, Height, "test"), 1);
        SetFilteredSampling(0);
    }
    void TearDown() override
    {
        CloseScreen();
        Overrides = SavedOverrides; // other suites in this process see what they set
    }

    PlatformOverrides SavedOverrides;

    // Paints the whole back buffer with one opaque colour.
    void Background(uint32_t Colour)
    {
        int Sprite = CreateEmptySprite(0, Width, Height);
        ASSERT_GT(Sprite, 0);
        FillSprite(Sprite, Colour);
        ShowSprite(Sprite, 0, 0);
        FreeSprite(Sprite);
    }

    uint32_t Pixel(int X, int Y)
    {
        std::vector<uint32_t> Pixels;
        int W = 0, H = 0;
        EXPECT_EQ(ReadBackBuffer(Pixels, &W, &H), 1);
        if (X < 0 || Y < 0 || X >= W || Y >= H)
            return 0;
        return Pixels[size_t(Y) * W + X];
    }
};
