// Off-screen images: PNG decoding of every colour type, bad input, smooth
// resizing, cropping, filling and drawing one image onto another.
#include "test_platform_video_png.h"
#include "test_platform_video_util.h"

namespace {

std::vector<uint32_t> PixelsOf(int Image)
{
    const uint32_t* P = ImagePixels(Image);
    if (P == nullptr)
        return {};
    return std::vector<uint32_t>(P, P + size_t(ImageWidth(Image)) * ImageHeight(Image));
}

int Load(const std::vector<uint8_t>& Png)
{
    return LoadImagePng(Png.data(), Png.size());
}

TEST(PlatformVideoImages, DecodesEveryColourTypeToRgba)
{
    int Image = Load(testpng::MakeRgba(2, 1, {Rgba(1, 2, 3, 4), Rgba(250, 251, 252, 253)}));
    ASSERT_NE(Image, 0);
    EXPECT_EQ(ImageWidth(Image), 2);
    EXPECT_EQ(ImageHeight(Image), 1);
    EXPECT_EQ(PixelsOf(Image), (std::vector<uint32_t>{Rgba(1, 2, 3, 4), Rgba(250, 251, 252, 253)}));
    FreeImage(Image);

    Image = Load(testpng::MakeRgb(1, 2, {Rgba(9, 8, 7), Rgba(0, 0, 0)}));
    EXPECT_EQ(PixelsOf(Image), (std::vector<uint32_t>{Rgba(9, 8, 7, 255), Rgba(0, 0, 0, 255)}));
    FreeImage(Image);

    Image = Load(testpng::Make(3, 1, testpng::Grey, 8, {0, 77, 255}));
    EXPECT_EQ(PixelsOf(Image), (std::vector<uint32_t>{Rgba(0, 0, 0), Rgba(77, 77, 77), Rgba(255, 255, 255)}));
    FreeImage(Image);

    Image = Load(testpng::Make(2, 1, testpng::GreyAlpha, 8, {200, 0, 40, 255}));
    EXPECT_EQ(PixelsOf(Image), (std::vector<uint32_t>{Rgba(200, 200, 200, 0), Rgba(40, 40, 40, 255)}));
    FreeImage(Image);

    // Palette with tRNS: entry 1 half transparent, entry 2 without a tRNS value is opaque.
    Image = Load(testpng::Make(3, 1, testpng::Palette, 8, {0, 1, 2}, {10, 20, 30, 40, 50, 60, 70, 80, 90}, {255, 128}));
    EXPECT_EQ(PixelsOf(Image),
              (std::vector<uint32_t>{Rgba(10, 20, 30, 255), Rgba(40, 50, 60, 128), Rgba(70, 80, 90, 255)}));
    FreeImage(Image);

    // 16-bit RGBA: the high byte decides at the extremes.
    Image = Load(
        testpng::Make(2, 1, testpng::Rgba, 16, {0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0, 0, 0xff, 0xff, 0, 0, 0, 0}));
    EXPECT_EQ(PixelsOf(Image), (std::vector<uint32_t>{Rgba(255, 0, 0, 255), Rgba(0, 255, 0, 0)}));
    FreeImage(Image);
}

TEST(PlatformVideoImages, BadPngBytesGiveNoImage)
{
    std::vector<uint8_t> Good = testpng::MakeRgba(2, 2, {0, 0, 0, 0});
    EXPECT_EQ(LoadImagePng(nullptr, 0), 0);
    EXPECT_EQ(LoadImagePng(Good.data(), 7), 0);                // cut inside the signature
    EXPECT_EQ(LoadImagePng(Good.data(), Good.size() - 20), 0); // cut inside the data
    std::vector<uint8_t> Wrong = Good;
    Wrong[0] = 0x88;
    EXPECT_EQ(Load(Wrong), 0);
    std::vector<uint8_t> BadCrc = Good;
    BadCrc[20] ^= 0x55; // IHDR content, CRC now wrong
    EXPECT_EQ(Load(BadCrc), 0);
    // A header announcing a gigantic picture with almost no data.
    EXPECT_EQ(Load(testpng::Make(60000, 60000, testpng::Grey, 8, {})), 0);
    // Too few rows in the data stream.
    EXPECT_EQ(Load(testpng::Make(4, 4, testpng::Grey, 8, {1, 2, 3, 4})), 0);
}

TEST(PlatformVideoImages, ResizeAveragesWhenShrinkingAndRampsWhenGrowing)
{
    // A 4 x 4 checkerboard shrinks to an even grey.
    std::vector<uint8_t> Grey;
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X)
            Grey.push_back((X + Y) % 2 ? 255 : 0);
    int Image = Load(testpng::Make(4, 4, testpng::Grey, 8, Grey));
    ASSERT_EQ(ResizeImage(Image, 2, 2), 1);
    EXPECT_EQ(ImageWidth(Image), 2);
    for (uint32_t P : PixelsOf(Image))
        EXPECT_TRUE(Near(P, Rgba(128, 128, 128), 8));
    FreeImage(Image);

    // Two flat halves keep their colours.
    Image = CreateImage(8, 2, Rgba(255, 0, 0));
    FillImageRect(Image, 4, 0, 4, 2, Rgba(0, 0, 255));
    ASSERT_EQ(ResizeImage(Image, 2, 1), 1);
    EXPECT_TRUE(Near(PixelsOf(Image)[0], Rgba(255, 0, 0), 0));
    EXPECT_TRUE(Near(PixelsOf(Image)[1], Rgba(0, 0, 255), 0));
    FreeImage(Image);

    // Black | white grown to 6 pixels gives a rising ramp with grey steps.
    Image = CreateImage(2, 1, Rgba(0, 0, 0));
    FillImageRect(Image, 1, 0, 1, 1, Rgba(255, 255, 255));
    ASSERT_EQ(ResizeImage(Image, 6, 3), 1);
    std::vector<uint32_t> Row = PixelsOf(Image);
    EXPECT_EQ(Red(Row[0]), 0);
    EXPECT_EQ(Red(Row[5]), 255);
    EXPECT_GT(Red(Row[2]), 20);
    EXPECT_LT(Red(Row[2]), 200);
    EXPECT_GT(Red(Row[3]), Red(Row[2]));
    EXPECT_EQ(Row[2], Row[6 + 2]); // rows alike
    FreeImage(Image);

    // A transparent neighbour lowers the alpha but lends no colour.
    Image = Load(testpng::MakeRgba(2, 1, {Rgba(255, 40, 0, 255), Rgba(0, 0, 0, 0)}));
    ASSERT_EQ(ResizeImage(Image, 1, 1), 1);
    EXPECT_TRUE(Near(PixelsOf(Image)[0], Rgba(255, 40, 0, 128), 1));
    FreeImage(Image);
    Image = Load(testpng::MakeRgba(2, 1, {Rgba(255, 40, 0, 255), Rgba(255, 255, 255, 0)}));
    ASSERT_EQ(ResizeImage(Image, 1, 1), 1);
    EXPECT_TRUE(Near(PixelsOf(Image)[0], Rgba(255, 40, 0, 128), 1));
    EXPECT_EQ(ResizeImage(Image, 0, 5), 0);
    EXPECT_EQ(ResizeImage(9999, 5, 5), 0);
    FreeImage(Image);
}

TEST(PlatformVideoImages, CropTakesOnlyRectanglesInside)
{
    int Image = CreateImage(10, 6, Rgba(1, 1, 1));
    FillImageRect(Image, 3, 2, 2, 2, Rgba(200, 0, 0));
    int Part = CropImage(Image, 3, 2, 3, 3);
    ASSERT_NE(Part, 0);
    EXPECT_EQ(ImageWidth(Part), 3);
    EXPECT_EQ(ImageHeight(Part), 3);
    std::vector<uint32_t> P = PixelsOf(Part);
    EXPECT_EQ(P[0], Rgba(200, 0, 0));
    EXPECT_EQ(P[4], Rgba(200, 0, 0));
    EXPECT_EQ(P[2], Rgba(1, 1, 1));
    EXPECT_EQ(P[8], Rgba(1, 1, 1));
    EXPECT_NE(CropImage(Image, 0, 0, 10, 6), 0); // the whole picture
    EXPECT_EQ(CropImage(Image, 8, 0, 3, 1), 0);  // one column too far
    EXPECT_EQ(CropImage(Image, 0, 5, 1, 2), 0);
    EXPECT_EQ(CropImage(Image, -1, 0, 2, 2), 0);
    EXPECT_EQ(CropImage(Image, 0, 0, 0, 2), 0);
    EXPECT_EQ(CropImage(Image, 2147483000, 0, 2000, 1), 0); // no overflow into range
}

TEST(PlatformVideoImages, FillReplacesAndClips)
{
    int Image = CreateImage(4, 3, Rgba(5, 6, 7, 255));
    FillImageRect(Image, -2, -2, 4, 4, Rgba(0, 0, 0, 0)); // replaces, alpha included
    FillImageRect(Image, 3, 2, 100, 100, Rgba(9, 9, 9, 9));
    FillImageRect(Image, 10, 10, 2, 2, Rgba(1, 1, 1)); // fully outside
    std::vector<uint32_t> P = PixelsOf(Image);
    EXPECT_EQ(P[0], Rgba(0, 0, 0, 0));
    EXPECT_EQ(P[5], Rgba(0, 0, 0, 0));
    EXPECT_EQ(P[2], Rgba(5, 6, 7, 255));
    EXPECT_EQ(P[11], Rgba(9, 9, 9, 9));
    EXPECT_EQ(P[10], Rgba(5, 6, 7, 255));
}

TEST(PlatformVideoImages, DrawImageOnImageScalesAndBlends)
{
    int Target = CreateImage(10, 10, Rgba(0, 0, 200));
    int Source = CreateImage(2, 2, Rgba(255, 255, 255, 128));
    DrawImageOnImage(Target, Source, 2, 3, 4, 4, 0);
    std::vector<uint32_t> P = PixelsOf(Target);
    EXPECT_TRUE(Near(P[3 * 10 + 2], Rgba(128, 128, 227, 255), 1)); // half white over blue, still opaque
    EXPECT_TRUE(Near(P[6 * 10 + 5], Rgba(128, 128, 227, 255), 1)); // last covered pixel
    EXPECT_EQ(P[3 * 10 + 6], Rgba(0, 0, 200));                     // just right of it
    EXPECT_EQ(P[7 * 10 + 2], Rgba(0, 0, 200));                     // just below it
    DrawImageOnImage(Target, Source, 0, 0, 2, 2, 1);               // opaque: copied as is
    EXPECT_EQ(PixelsOf(Target)[0], Rgba(255, 255, 255, 128));
    DrawImageOnImage(Target, Source, -1, 8, 3, 5, 0); // clipped at two edges
    EXPECT_TRUE(Near(PixelsOf(Target)[9 * 10 + 1], Rgba(128, 128, 227), 1));
    DrawImageOnImage(Target, 4242, 0, 0, 2, 2, 0); // a missing source draws nothing
    EXPECT_EQ(PixelsOf(Target)[99], Rgba(0, 0, 200));
    FreeImage(Source);
    FreeImage(Target);
}

TEST(PlatformVideoImages, FreedHandlesAreGone)
{
    int Image = CreateImage(3, 3, 0);
    ASSERT_NE(Image, 0);
    FreeImage(Image);
    EXPECT_EQ(ImageWidth(Image), 0);
    EXPECT_EQ(ImagePixels(Image), nullptr);
    FreeImage(Image); // twice is harmless
    EXPECT_EQ(CreateImage(0, 3, 0), 0);
    EXPECT_EQ(CreateImage(3, -3, 0), 0);
    EXPECT_EQ(CreateImage(100000, 100000, 0), 0);
    int Other = CreateImage(2, 2, Rgba(1, 2, 3)); // a reused record starts clean
    EXPECT_EQ(PixelsOf(Other), (std::vector<uint32_t>(4, Rgba(1, 2, 3))));
    FreeImage(Other);
}

} // namespace
