// Vector text: measuring, single lines placed by their top-left corner,
// accented letters, and paragraphs wrapped and centred in a box.
// Checked by probing where ink lands, not against golden pictures.
#include <cmath>
#include <string>
#include <vector>

#include "test_platform_video_util.h"

namespace {

struct InkBox {
    int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1; // inclusive; Right < 0 when empty
    int Empty() const
    {
        return Right < 0;
    }
};

// Where the red channel rose above Threshold on a black image.
InkBox FindInk(int Image, int Threshold = 40, int FromY = 0, int ToY = 1 << 30)
{
    InkBox Box;
    const uint32_t* P = ImagePixels(Image);
    int W = ImageWidth(Image), H = ImageHeight(Image);
    for (int Y = std::max(FromY, 0); Y < std::min(ToY, H); ++Y)
        for (int X = 0; X < W; ++X)
            if (Red(P[size_t(Y) * W + X]) > Threshold) {
                Box.Left = std::min(Box.Left, X);
                Box.Right = std::max(Box.Right, X);
                Box.Top = std::min(Box.Top, Y);
                Box.Bottom = std::max(Box.Bottom, Y);
            }
    return Box;
}

double Width(const std::string& Text, double Size)
{
    double W = 0, H = 0;
    MeasureText(Text, Size, &W, &H);
    return W;
}

double LineHeight(const std::string& Text, double Size)
{
    double W = 0, H = 0;
    MeasureText(Text, Size, &W, &H);
    return H;
}

class PlatformVideoText : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(InitFont(), 1) << "no bold sans font (fonts-liberation2)";
    }
};

TEST_F(PlatformVideoText, MeasuresWidthAndLineHeight)
{
    EXPECT_GT(Width("A", 20), 5.0);
    EXPECT_LT(Width("AB", 20), Width("ABC", 20));
    EXPECT_EQ(Width("ABAB", 20), std::floor(Width("ABAB", 20))); // whole pixels
    EXPECT_NEAR(Width("ABAB", 20), 2 * Width("AB", 20), 1.0);
    EXPECT_NEAR(Width("Kistora", 52) / Width("Kistora", 26), 2.0, 0.05); // sizes are pixel em sizes
    EXPECT_LT(Width("Kistora", 26.5), Width("Kistora", 27));             // fractional sizes count
    EXPECT_LT(Width("i", 30), Width("W", 30));                           // proportional
    double Line = LineHeight("a", 30);
    EXPECT_GT(Line, 30.0); // the line box exceeds the em
    EXPECT_LT(Line, 45.0);
    EXPECT_DOUBLE_EQ(LineHeight("ÄÖÜgjy", 30), Line); // the same for any text
    EXPECT_DOUBLE_EQ(LineHeight("", 30), Line);
    EXPECT_EQ(Width("", 30), 0.0);
    EXPECT_EQ(Width("a", 0), 0.0);
    EXPECT_EQ(Width("a", -4), 0.0);
}

TEST_F(PlatformVideoText, InkHeightIsTheVisibleGlyphsOnly)
{
    double Line = LineHeight("x", 40);
    double LowerCase = MeasureTextInk("xo", 40);
    double WithDescender = MeasureTextInk("xg", 40);
    double Capitals = MeasureTextInk("HX", 40);
    EXPECT_GT(LowerCase, 10.0);
    EXPECT_LT(LowerCase, Capitals);
    EXPECT_LT(Capitals, WithDescender);
    EXPECT_LT(WithDescender, Line);
    EXPECT_EQ(MeasureTextInk("", 40), 0.0);
    EXPECT_EQ(MeasureTextInk("   ", 40), 0.0);
}

TEST_F(PlatformVideoText, DrawTextPlacesTheLineBoxTopLeft)
{
    int Image = CreateImage(300, 100, Rgba(0, 0, 0));
    double W = 0, H = 0;
    MeasureText("HHH", 40, &W, &H);
    DrawText(Image, "HHH", 20, 30, 40, Rgba(255, 255, 255));
    InkBox Ink = FindInk(Image);
    ASSERT_FALSE(Ink.Empty());
    EXPECT_GE(Ink.Left, 20);
    EXPECT_LE(Ink.Left, 26); // H has a small side bearing
    EXPECT_LE(Ink.Right, 20 + int(W));
    EXPECT_GE(Ink.Right, 20 + int(W) - 8);
    EXPECT_GE(Ink.Top, 30); // nothing above the line box
    EXPECT_LE(Ink.Bottom, 30 + int(H));
    EXPECT_NEAR(Ink.Bottom - Ink.Top + 1, MeasureTextInk("HHH", 40), 1.0);
    // Inside a stem the colour is the full colour.
    EXPECT_EQ(Red(ImagePixels(Image)[size_t((Ink.Top + Ink.Bottom) / 2) * 300 + Ink.Left + 2]), 255);
    FreeImage(Image);
}

// A glyph that reaches out of the line box (the ring and accent of U+01FA
// above the line, the tail of j left of the pen) does not move the line: the
// H after it lands on the same pixels as after a letter of the same width.
TEST_F(PlatformVideoText, AGlyphOutsideTheLineBoxDoesNotMoveTheLine)
{
    const char* Pairs[][2] = {{"AH", "\xC7\xBAH"}, {"iH", "jH"}};
    for (double Size : {20.0, 52.0, 90.0})
        for (const auto& Pair : Pairs) {
            // A and U+01FA, i and j advance the pen alike in this face.
            std::string First(Pair[0], 1);
            int Plain = CreateImage(300, 200, Rgba(0, 0, 0));
            int Reaching = CreateImage(300, 200, Rgba(0, 0, 0));
            DrawText(Plain, Pair[0], 20.4, 50.6, Size, Rgba(255, 255, 255));
            DrawText(Reaching, Pair[1], 20.4, 50.6, Size, Rgba(255, 255, 255));
            ASSERT_FALSE(FindInk(Plain).Empty());
            const uint32_t* A = ImagePixels(Plain);
            const uint32_t* B = ImagePixels(Reaching);
            int From = 21 + int(Width(First, Size)), Differ = 0, Ink = 0;
            for (int Y = 0; Y < 200; ++Y)
                for (int X = From; X < 300; ++X) {
                    Differ += A[Y * 300 + X] != B[Y * 300 + X];
                    Ink += Red(A[Y * 300 + X]) > 40;
                }
            EXPECT_GT(Ink, 20) << Pair[1] << " at " << Size; // the H is there
            EXPECT_EQ(Differ, 0) << Pair[1] << " at " << Size;
            FreeImage(Plain);
            FreeImage(Reaching);
        }
}

// Sizes come and go (panels, cards, the head-up display after a resize):
// measuring a size again after many others gives what it gave first.
TEST_F(PlatformVideoText, ManySizesMeasureTheSameWhenTheyReturn)
{
    double First = Width("Kistora", 26), FirstLine = LineHeight("Kistora", 26);
    for (int Size = 10; Size < 40; ++Size)
        EXPECT_GT(Width("Kistora", Size), 0.0);
    EXPECT_EQ(Width("Kistora", 26), First);
    EXPECT_EQ(LineHeight("Kistora", 26), FirstLine);
}

// The head-up display draws the same texts every frame: a line drawn again,
// in another colour, or after many other lines, looks as when first drawn.
TEST_F(PlatformVideoText, ALineDrawnAgainLooksTheSameInItsOwnColour)
{
    auto Draw = [](uint32_t Colour) {
        int Image = CreateImage(200, 60, Rgba(0, 0, 0));
        DrawText(Image, "12:34", 10.5, 5, 32, Colour);
        std::vector<uint32_t> Pixels(ImagePixels(Image), ImagePixels(Image) + 200 * 60);
        FreeImage(Image);
        return Pixels;
    };
    std::vector<uint32_t> White = Draw(Rgba(255, 255, 255));
    std::vector<uint32_t> Orange = Draw(Rgba(232, 106, 23));
    std::vector<uint32_t> Faint = Draw(Rgba(255, 255, 255, 95));
    int Ink = 0;
    for (size_t I = 0; I < White.size(); ++I) {
        if (Red(White[I]) == 255) { // inside a stem: the full colour
            ++Ink;
            EXPECT_EQ(Orange[I], Rgba(232, 106, 23));
            EXPECT_EQ(Red(Faint[I]), 95);
        }
        EXPECT_EQ(Red(White[I]) == 0, Red(Orange[I]) == 0); // the same coverage
    }
    EXPECT_GT(Ink, 30);
    int Other = CreateImage(200, 60, Rgba(0, 0, 0));
    for (int N = 0; N < 40; ++N) // enough other lines to push it out of any cache
        DrawText(Other, "line " + std::to_string(N), 0, 0, 32, Rgba(255, 255, 255));
    FreeImage(Other);
    EXPECT_EQ(Draw(Rgba(255, 255, 255)), White);
    EXPECT_EQ(Draw(Rgba(232, 106, 23)), Orange);
}

TEST_F(PlatformVideoText, ColourAlphaBlendsIntoTheImage)
{
    int Image = CreateImage(100, 60, Rgba(0, 0, 0));
    DrawText(Image, "H", 10, 5, 40, Rgba(255, 0, 0, 128));
    int Strongest = 0;
    const uint32_t* P = ImagePixels(Image);
    for (int I = 0; I < 100 * 60; ++I) {
        Strongest = std::max(Strongest, Red(P[I]));
        EXPECT_EQ(Alpha(P[I]), 255); // the image stays opaque
        EXPECT_EQ(Green(P[I]), 0);
    }
    EXPECT_NEAR(Strongest, 128, 1);
    FreeImage(Image);
}

TEST_F(PlatformVideoText, AccentedLettersHaveTheirOwnGlyphs)
{
    // Accents sit above the x-height; a missing glyph would draw a box or nothing.
    EXPECT_GT(MeasureTextInk("é", 40), MeasureTextInk("e", 40) + 3);
    EXPECT_GT(MeasureTextInk("ñ", 40), MeasureTextInk("n", 40) + 3);
    EXPECT_GT(MeasureTextInk("Ä", 40), MeasureTextInk("A", 40) + 3);
    EXPECT_GT(MeasureTextInk("ç", 40), MeasureTextInk("c", 40) + 3);
    EXPECT_GT(Width("ß", 40), 10.0);
    for (const char* Text : {"Grüße", "Français", "España ¿Qué?", "Città più"}) {
        int Image = CreateImage(400, 60, Rgba(0, 0, 0));
        DrawText(Image, Text, 0, 0, 32, Rgba(255, 255, 255));
        EXPECT_FALSE(FindInk(Image).Empty()) << Text;
        FreeImage(Image);
    }
    // Broken UTF-8 neither crashes nor swallows the letters after it.
    EXPECT_GT(Width("\xC3", 20), 0.0);
    EXPECT_NEAR(Width("a\xE2\x82", 20), Width("a", 20) + Width("\xEF\xBF\xBD", 20) * 2, 1.0);
    EXPECT_NEAR(Width("\xC3(b", 20), Width("\xEF\xBF\xBD(b", 20), 0.01);
}

TEST_F(PlatformVideoText, ParagraphWrapsAtTheBoxAndCentresEachLine)
{
    const double Size = 24;
    double Line = LineHeight("x", Size);
    double Box = Width("MMMM MMMM", Size) + 4; // two words fit, three do not
    int Image = CreateImage(400, 200, Rgba(0, 0, 0));
    DrawParagraph(Image, "MMMM MMMM MM\nM", 50, 20, Box, 150, Size, Rgba(255, 255, 255));
    InkBox First = FindInk(Image, 40, 20, 20 + int(Line));
    InkBox Second = FindInk(Image, 40, 20 + int(Line), 20 + int(2 * Line));
    InkBox Third = FindInk(Image, 40, 20 + int(2 * Line), 20 + int(3 * Line));
    InkBox Fourth = FindInk(Image, 40, 20 + int(3 * Line), 200);
    ASSERT_FALSE(First.Empty());
    ASSERT_FALSE(Second.Empty());
    ASSERT_FALSE(Third.Empty());
    EXPECT_TRUE(Fourth.Empty());
    double Centre = 50 + Box / 2;
    for (const InkBox& Ink : {First, Second, Third})
        EXPECT_NEAR((Ink.Left + Ink.Right + 1) / 2.0, Centre, 2.5);
    EXPECT_GT(First.Right - First.Left, 2 * (Second.Right - Second.Left)); // "MMMM MMMM" over "MM"
    EXPECT_LT(Third.Right - Third.Left, Second.Right - Second.Left);       // "M" after the line feed
    EXPECT_LT(First.Top, 20 + int(Line) / 2);                              // the first line at the top
    FreeImage(Image);
}

TEST_F(PlatformVideoText, ParagraphIsPlacedByTheBoxButCutOnlyAtTheImageEdge)
{
    const double Size = 30;
    double Line = LineHeight("x", Size);
    int Image = CreateImage(300, 200, Rgba(0, 0, 0));
    // A word wider than the box and three lines in a box of one and a half:
    // the first two lines start inside the box and are drawn whole, the third
    // starts below it and is not drawn.
    DrawParagraph(Image, "WWWWWWWWWW\nHHgy\nHH", 100, 40, 60, Line * 1.5, Size, Rgba(255, 255, 255));
    InkBox Ink = FindInk(Image, 0);
    ASSERT_FALSE(Ink.Empty());
    EXPECT_LT(Ink.Left, 100); // the wide word runs past the box on both sides
    EXPECT_GT(Ink.Right, 159);
    EXPECT_GE(Ink.Top, 40);
    EXPECT_GT(Ink.Bottom, 40 + int(Line * 1.5)); // the second line's descenders are kept
    EXPECT_LT(Ink.Bottom, 40 + int(2 * Line));
    EXPECT_TRUE(FindInk(Image, 40, 40 + int(2 * Line), 200).Empty()); // no third line
    // Boxes partly outside the image and empty boxes are safe.
    DrawParagraph(Image, "HH HH HH", -30, -10, 500, 500, Size, Rgba(255, 255, 255));
    DrawParagraph(Image, "HH", 10, 10, 0, 50, Size, Rgba(255, 255, 255));
    DrawParagraph(Image, "", 10, 10, 50, 50, Size, Rgba(255, 255, 255));
    DrawParagraph(Image, "WWWWWWWWWWWWWWWWWWWW", 250, 150, 40, 40, Size, Rgba(255, 255, 255));
    DrawText(Image, "HH", 290, 190, Size, Rgba(255, 255, 255));
    DrawText(Image, "HH", -1e9, 1e9, Size, Rgba(255, 255, 255));
    DrawText(4711, "HH", 0, 0, Size, Rgba(255, 255, 255));
    FreeImage(Image);
}

// French puts a no-break space before "?": the wrap never breaks there, so
// the sign never starts a line of its own. The box holds "MMMM MMMM" but not
// "MMMM MMMM ?": the second word goes down with its sign.
TEST_F(PlatformVideoText, ParagraphNeverBreaksAtANoBreakSpace)
{
    const double Size = 24;
    double Line = LineHeight("x", Size);
    double Box = Width("MMMM MMMM", Size) + 4;
    ASSERT_LT(Box, Width("MMMM MMMM\xC2\xA0?", Size));
    int Image = CreateImage(400, 200, Rgba(0, 0, 0));
    DrawParagraph(Image, "MMMM MMMM\xC2\xA0?", 20, 20, Box, 150, Size, Rgba(255, 255, 255));
    InkBox First = FindInk(Image, 40, 20, 20 + int(Line));
    InkBox Second = FindInk(Image, 40, 20 + int(Line), 20 + int(2 * Line));
    InkBox Third = FindInk(Image, 40, 20 + int(2 * Line), 200);
    ASSERT_FALSE(First.Empty());
    ASSERT_FALSE(Second.Empty());
    EXPECT_TRUE(Third.Empty()) << "the question mark went to a line of its own";
    // "MMMM" above "MMMM ?": the second line is the wider one, by the sign.
    EXPECT_NEAR(First.Right - First.Left, Width("MMMM", Size), 4.0);
    EXPECT_NEAR(Second.Right - Second.Left, Width("MMMM\xC2\xA0?", Size), 6.0);
    // A plain blank there is a place to break: the sign then stands alone.
    FreeImage(Image);
    Image = CreateImage(400, 200, Rgba(0, 0, 0));
    DrawParagraph(Image, "MMMM MMMM ?", 20, 20, Box, 150, Size, Rgba(255, 255, 255));
    EXPECT_FALSE(FindInk(Image, 40, 20 + int(Line), 20 + int(2 * Line)).Empty());
    EXPECT_NEAR(FindInk(Image, 40, 20, 20 + int(Line)).Right - FindInk(Image, 40, 20, 20 + int(Line)).Left,
                Width("MMMM MMMM", Size), 4.0);
    FreeImage(Image);
}

} // namespace
