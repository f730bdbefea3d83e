// Vector text: one bold sans face found through fontconfig ("Arial", else
// "Liberation Sans", its metric twin), rendered antialiased by FreeType at a
// pixel em size and blended into off-screen images. Glyph bitmaps are cached
// per (size, code point), so text drawn every frame costs lookups and blends.
#include "platform/platform.h"
#include "platform/video_internal.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <locale.h>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <wctype.h>

// fontconfig 2.14 loses a few bytes while it parses its configuration; the
// leak checker of sanitizer builds is told to look away during that call.
#if defined(__SANITIZE_ADDRESS__)
#define KISTORA_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KISTORA_LEAK_CHECKS 1
#endif
#endif
#ifdef KISTORA_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

// Sizes are kept in 26.6 fixed point (1/64 pixel); text above 2048 pixels is
// not drawn. The cache is emptied when it passes this many glyphs.
static constexpr long MaxSize26 = 2048 * 64;
static constexpr size_t MaxCachedGlyphs = 16384;

struct GlyphRecord {
    int Width = 0; // bitmap size in pixels
    int Height = 0;
    int Left = 0;                  // bitmap offset from the pen, pixels right
    int Top = 0;                   // bitmap top above the baseline, pixels
    double Advance = 0.0;          // pen advance in pixels (unhinted)
    std::vector<uint8_t> Coverage; // Width x Height, 0-255
};

struct SizeMetrics {
    double Ascender = 0.0;   // baseline below the line top, pixels
    double LineHeight = 0.0; // the font's line height at this size
};

struct FontRecord {
    int Tried = 0; // InitFont ran (successfully or not)
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    long CurrentSize26 = 0;                           // size now set on Face
    std::unordered_map<uint64_t, GlyphRecord> Glyphs; // key: size26 << 32 | code point
    std::unordered_map<long, SizeMetrics> Sizes;
};

static FontRecord Font;

struct ClipRect {
    double Left, Top, Right, Bottom;
};

static int FindFontFile(const char* Name, std::string* File, int* Index, std::string* Family);
static int OpenFace(const std::string& File, int Index);
static long ToSize26(double SizePx);
static int SelectSize(long Size26);
static const SizeMetrics* MetricsFor(long Size26);
static const GlyphRecord* GlyphFor(long Size26, uint32_t CodePoint);
static uint32_t NextCodePoint(std::string_view Text, size_t* Position);
static double RunWidth(std::string_view Text, long Size26);
static void DrawRun(ImageRecord& Image, std::string_view Text, double X, double Y, long Size26, uint32_t Colour,
                    const ClipRect& Clip);

int InitFont()
{
    if (Font.Face != nullptr)
        return 1;
    if (Font.Tried)
        return 0;
    Font.Tried = 1;
    if (FT_Init_FreeType(&Font.Library) != 0) {
        Font.Library = nullptr;
        return 0;
    }
    // "Arial" bold when the system has it; otherwise Liberation Sans Bold,
    // drawn to Arial's metrics; failing both, whatever sans fontconfig offers.
    std::string ArialFile, ArialFamily, LiberationFile, LiberationFamily;
    int ArialIndex = 0, LiberationIndex = 0;
    int HaveArial = FindFontFile("Arial:bold", &ArialFile, &ArialIndex, &ArialFamily);
    if (HaveArial && strcasecmp(ArialFamily.c_str(), "Arial") == 0 && OpenFace(ArialFile, ArialIndex))
        return 1;
    if (FindFontFile("Liberation Sans:bold", &LiberationFile, &LiberationIndex, &LiberationFamily) &&
        OpenFace(LiberationFile, LiberationIndex))
        return 1;
    if (HaveArial && OpenFace(ArialFile, ArialIndex))
        return 1;
    FT_Done_FreeType(Font.Library);
    Font.Library = nullptr;
    return 0;
}

void FontShutdown()
{
    Font.Glyphs.clear();
    Font.Sizes.clear();
    if (Font.Face != nullptr)
        FT_Done_Face(Font.Face);
    if (Font.Library != nullptr)
        FT_Done_FreeType(Font.Library);
    Font = FontRecord();
}

void MeasureText(const std::string& Utf8, double SizePx, double* Width, double* Height)
{
    *Width = 0.0;
    *Height = 0.0;
    long Size26 = ToSize26(SizePx);
    const SizeMetrics* Metrics = MetricsFor(Size26);
    if (Metrics == nullptr)
        return;
    *Width = RunWidth(Utf8, Size26);
    *Height = Metrics->LineHeight;
}

double MeasureTextInk(const std::string& Utf8, double SizePx)
{
    long Size26 = ToSize26(SizePx);
    if (MetricsFor(Size26) == nullptr)
        return 0.0;
    int InkTop = 0, InkBottom = 0, Any = 0;
    size_t Position = 0;
    while (Position < Utf8.size()) {
        const GlyphRecord* Glyph = GlyphFor(Size26, NextCodePoint(Utf8, &Position));
        if (Glyph == nullptr || Glyph->Height == 0)
            continue;
        int Bottom = Glyph->Top - Glyph->Height;
        InkTop = Any ? std::max(InkTop, Glyph->Top) : Glyph->Top;
        InkBottom = Any ? std::min(InkBottom, Bottom) : Bottom;
        Any = 1;
    }
    return Any ? double(InkTop - InkBottom) : 0.0;
}

void DrawText(int Image, const std::string& Utf8, double X, double Y, double SizePx, uint32_t Colour)
{
    ImageRecord* Target = FindImage(Image);
    long Size26 = ToSize26(SizePx);
    if (Target == nullptr || MetricsFor(Size26) == nullptr)
        return;
    ClipRect Clip = {0.0, 0.0, double(Target->Width), double(Target->Height)};
    DrawRun(*Target, Utf8, X, Y, Size26, Colour, Clip);
}

void DrawParagraph(int Image, const std::string& Utf8, double X, double Y, double BoxWidth, double BoxHeight,
                   double SizePx, uint32_t Colour)
{
    ImageRecord* Target = FindImage(Image);
    long Size26 = ToSize26(SizePx);
    const SizeMetrics* Metrics = MetricsFor(Size26);
    if (Target == nullptr || Metrics == nullptr || !(BoxWidth > 0.0) || !(BoxHeight > 0.0))
        return;
    // The box places the lines; only the image's edge cuts their glyphs, so a
    // second line's descenders below a tight box still show.
    ClipRect Clip = {0.0, 0.0, double(Target->Width), double(Target->Height)};
    double LineHeight = Metrics->LineHeight;
    double SpaceWidth = RunWidth(" ", Size26);
    std::string_view Text = Utf8;
    double LineTop = Y;
    size_t SegmentStart = 0;
    // One segment per line feed; each is wrapped greedily at the blanks.
    while (SegmentStart <= Text.size() && LineTop < Y + BoxHeight) {
        size_t SegmentEnd = Text.find('\n', SegmentStart);
        if (SegmentEnd == std::string_view::npos)
            SegmentEnd = Text.size();
        std::string_view Segment = Text.substr(SegmentStart, SegmentEnd - SegmentStart);
        size_t Position = 0;
        int LineDrawn = 0;
        while (LineTop < Y + BoxHeight) {
            while (Position < Segment.size() && (Segment[Position] == ' ' || Segment[Position] == '\r'))
                ++Position;
            if (Position >= Segment.size()) {
                if (!LineDrawn) // an empty segment is an empty line
                    LineTop += LineHeight;
                break;
            }
            size_t LineStart = Position, LineEnd = Position;
            double LineWidth = 0.0;
            while (Position < Segment.size()) {
                size_t WordStart = Position;
                while (WordStart < Segment.size() && Segment[WordStart] == ' ')
                    ++WordStart;
                size_t WordEnd = WordStart;
                while (WordEnd < Segment.size() && Segment[WordEnd] != ' ')
                    ++WordEnd;
                if (WordStart == WordEnd)
                    break;
                double Gap = double(WordStart - Position) * SpaceWidth;
                double WordWidth = RunWidth(Segment.substr(WordStart, WordEnd - WordStart), Size26);
                double Wider = LineEnd == LineStart ? WordWidth : LineWidth + Gap + WordWidth;
                if (LineEnd != LineStart && Wider > BoxWidth)
                    break; // the word starts the next line
                LineWidth = Wider;
                LineEnd = WordEnd;
                Position = WordEnd;
            }
            DrawRun(*Target, Segment.substr(LineStart, LineEnd - LineStart), X + (BoxWidth - LineWidth) / 2.0, LineTop,
                    Size26, Colour, Clip);
            LineDrawn = 1;
            LineTop += LineHeight;
        }
        SegmentStart = SegmentEnd + 1;
    }
}

std::string UpperCaseText(const std::string& Utf8)
{
    // C.UTF-8 carries the whole Unicode case table whatever the user's locale;
    // made once and kept for the run. Without it only a-z have capitals.
    static locale_t Unicode = [] {
        locale_t Made = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (Made == locale_t(0))
            Made = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
        return Made;
    }();
    std::string Out;
    Out.reserve(Utf8.size());
    size_t Position = 0;
    while (Position < Utf8.size()) {
        size_t Start = Position;
        uint32_t CodePoint = NextCodePoint(Utf8, &Position);
        if (CodePoint == 0xFFFD && Utf8.compare(Start, Position - Start, "\xEF\xBF\xBD") != 0) {
            Out.append(Utf8, Start, Position - Start); // not UTF-8: the byte as it was
            continue;
        }
        uint32_t Upper = CodePoint;
        if (Unicode != locale_t(0))
            Upper = uint32_t(towupper_l(wint_t(CodePoint), Unicode));
        else if (CodePoint >= 'a' && CodePoint <= 'z')
            Upper = CodePoint - 32;
        if (Upper == CodePoint || Upper > 0x10FFFF || (Upper >= 0xD800 && Upper <= 0xDFFF))
            Out.append(Utf8, Start, Position - Start);
        else
            AppendUtf8(Out, Upper);
    }
    return Out;
}

// The file and face index fontconfig picks for Name, and the family it has.
static int FindFontFile(const char* Name, std::string* File, int* Index, std::string* Family)
{
    File->clear();
    Family->clear();
    *Index = 0;
#ifdef KISTORA_LEAK_CHECKS
    __lsan_disable();
#endif
    FcBool Loaded = FcInit();
#ifdef KISTORA_LEAK_CHECKS
    __lsan_enable();
#endif
    if (!Loaded)
        return 0;
    FcPattern* Pattern = FcNameParse(reinterpret_cast<const FcChar8*>(Name));
    if (Pattern == nullptr)
        return 0;
    FcConfigSubstitute(nullptr, Pattern, FcMatchPattern);
    FcDefaultSubstitute(Pattern);
    FcResult Result = FcResultNoMatch;
    FcPattern* Match = FcFontMatch(nullptr, Pattern, &Result);
    FcPatternDestroy(Pattern);
    if (Match == nullptr)
        return 0;
    FcChar8* Path = nullptr;
    FcChar8* Name8 = nullptr;
    int Found = 0;
    if (FcPatternGetString(Match, FC_FILE, 0, &Path) == FcResultMatch && Path != nullptr) {
        *File = reinterpret_cast<const char*>(Path);
        if (FcPatternGetInteger(Match, FC_INDEX, 0, Index) != FcResultMatch)
            *Index = 0;
        if (FcPatternGetString(Match, FC_FAMILY, 0, &Name8) == FcResultMatch && Name8 != nullptr)
            *Family = reinterpret_cast<const char*>(Name8);
        Found = 1;
    }
    FcPatternDestroy(Match);
    return Found;
}

static int OpenFace(const std::string& File, int Index)
{
    FT_Face Face = nullptr;
    if (FT_New_Face(Font.Library, File.c_str(), Index, &Face) != 0)
        return 0;
    if (!FT_IS_SCALABLE(Face) || FT_Select_Charmap(Face, FT_ENCODING_UNICODE) != 0) {
        FT_Done_Face(Face);
        return 0;
    }
    Font.Face = Face;
    Font.CurrentSize26 = 0;
    return 1;
}

// Pixel size in 26.6; 0 for sizes we do not draw (not positive, not finite, huge).
static long ToSize26(double SizePx)
{
    if (!(SizePx > 0.0) || SizePx * 64.0 > double(MaxSize26))
        return 0;
    long Size26 = std::lround(SizePx * 64.0);
    return Size26 > 0 ? Size26 : 0;
}

static int SelectSize(long Size26)
{
    if (Font.CurrentSize26 == Size26)
        return 1;
    // 72 dots per inch: a point is a pixel, so the em is SizePx pixels.
    if (FT_Set_Char_Size(Font.Face, 0, FT_F26Dot6(Size26), 72, 72) != 0) {
        Font.CurrentSize26 = 0;
        return 0;
    }
    Font.CurrentSize26 = Size26;
    return 1;
}

static const SizeMetrics* MetricsFor(long Size26)
{
    if (Size26 <= 0 || !InitFont())
        return nullptr;
    auto Found = Font.Sizes.find(Size26);
    if (Found != Font.Sizes.end())
        return &Found->second;
    if (!SelectSize(Size26))
        return nullptr;
    SizeMetrics Metrics;
    Metrics.Ascender = double(Font.Face->size->metrics.ascender) / 64.0;
    Metrics.LineHeight = double(Font.Face->size->metrics.height) / 64.0;
    return &Font.Sizes.emplace(Size26, Metrics).first->second;
}

static const GlyphRecord* GlyphFor(long Size26, uint32_t CodePoint)
{
    uint64_t Key = (uint64_t(Size26) << 32) | CodePoint;
    auto Found = Font.Glyphs.find(Key);
    if (Found != Font.Glyphs.end())
        return &Found->second;
    if (Font.Face == nullptr || !SelectSize(Size26))
        return nullptr;
    if (Font.Glyphs.size() >= MaxCachedGlyphs)
        Font.Glyphs.clear();
    GlyphRecord Glyph;
    FT_UInt Index = FT_Get_Char_Index(Font.Face, CodePoint);
    // Light hinting: crisp horizontal stems without distorting the shapes.
    if (FT_Load_Glyph(Font.Face, Index, FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER) == 0) {
        FT_GlyphSlot Slot = Font.Face->glyph;
        const FT_Bitmap& Bitmap = Slot->bitmap;
        Glyph.Advance = double(Slot->linearHoriAdvance) / 65536.0;
        if (Bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && Bitmap.buffer != nullptr && Bitmap.width > 0 &&
            Bitmap.rows > 0) {
            Glyph.Width = int(Bitmap.width);
            Glyph.Height = int(Bitmap.rows);
            Glyph.Left = Slot->bitmap_left;
            Glyph.Top = Slot->bitmap_top;
            Glyph.Coverage.resize(size_t(Glyph.Width) * Glyph.Height);
            int Levels = Bitmap.num_grays > 1 ? Bitmap.num_grays - 1 : 255;
            for (int Row = 0; Row < Glyph.Height; ++Row) {
                const uint8_t* In = Bitmap.buffer + ptrdiff_t(Row) * Bitmap.pitch;
                uint8_t* Out = Glyph.Coverage.data() + size_t(Row) * Glyph.Width;
                for (int X = 0; X < Glyph.Width; ++X)
                    Out[X] = uint8_t(Levels == 255 ? In[X] : In[X] * 255 / Levels);
            }
        }
    }
    return &Font.Glyphs.emplace(Key, std::move(Glyph)).first->second;
}

// Decodes one UTF-8 sequence at *Position and moves past it. Broken,
// overlong or surrogate sequences give U+FFFD and skip one byte.
static uint32_t NextCodePoint(std::string_view Text, size_t* Position)
{
    size_t At = *Position;
    uint8_t Lead = uint8_t(Text[At]);
    *Position = At + 1;
    if (Lead < 0x80)
        return Lead;
    int Extra = 0;
    uint32_t Value = 0;
    uint32_t Minimum = 0;
    if ((Lead & 0xE0) == 0xC0) {
        Extra = 1;
        Value = Lead & 0x1F;
        Minimum = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
        Extra = 2;
        Value = Lead & 0x0F;
        Minimum = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
        Extra = 3;
        Value = Lead & 0x07;
        Minimum = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (At + size_t(Extra) >= Text.size()) // cut short by the end of the text
        return 0xFFFD;
    for (int I = 1; I <= Extra; ++I) {
        uint8_t Next = uint8_t(Text[At + size_t(I)]);
        if ((Next & 0xC0) != 0x80)
            return 0xFFFD;
        Value = (Value << 6) | (Next & 0x3F);
    }
    if (Value < Minimum || Value > 0x10FFFF || (Value >= 0xD800 && Value <= 0xDFFF))
        return 0xFFFD;
    *Position = At + 1 + size_t(Extra);
    return Value;
}

void AppendUtf8(std::string& Out, uint32_t CodePoint)
{
    if (CodePoint < 0x80) {
        Out += char(CodePoint);
    } else if (CodePoint < 0x800) {
        Out += char(0xC0 | (CodePoint >> 6));
        Out += char(0x80 | (CodePoint & 0x3F));
    } else if (CodePoint < 0x10000) {
        Out += char(0xE0 | (CodePoint >> 12));
        Out += char(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += char(0x80 | (CodePoint & 0x3F));
    } else {
        Out += char(0xF0 | (CodePoint >> 18));
        Out += char(0x80 | ((CodePoint >> 12) & 0x3F));
        Out += char(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += char(0x80 | (CodePoint & 0x3F));
    }
}

// Control characters (line feeds, returns, tabs) take no room on a line.
static inline int Printable(uint32_t CodePoint)
{
    return CodePoint >= 0x20 && CodePoint != 0x7F;
}

static double RunWidth(std::string_view Text, long Size26)
{
    double Width = 0.0;
    size_t Position = 0;
    while (Position < Text.size()) {
        uint32_t CodePoint = NextCodePoint(Text, &Position);
        if (!Printable(CodePoint))
            continue;
        const GlyphRecord* Glyph = GlyphFor(Size26, CodePoint);
        if (Glyph != nullptr)
            Width += Glyph->Advance;
    }
    return Width;
}

// Draws Text with its line box's top-left at (X, Y), blended by each pixel's
// coverage times the colour's alpha, inside Clip (already within the image).
static void DrawRun(ImageRecord& Image, std::string_view Text, double X, double Y, long Size26, uint32_t Colour,
                    const ClipRect& Clip)
{
    const SizeMetrics* Metrics = MetricsFor(Size26);
    // Positions far outside any image cannot show anything (and would overflow).
    if (Metrics == nullptr || !(std::fabs(X) < 1e8) || !(std::fabs(Y) < 1e8))
        return;
    int ClipLeft = std::max(0, int(std::ceil(Clip.Left - 0.5)));
    int ClipTop = std::max(0, int(std::ceil(Clip.Top - 0.5)));
    int ClipRight = std::min(Image.Width, int(std::ceil(Clip.Right - 0.5)));
    int ClipBottom = std::min(Image.Height, int(std::ceil(Clip.Bottom - 0.5)));
    if (ClipLeft >= ClipRight || ClipTop >= ClipBottom)
        return;
    uint32_t ColourAlpha = Colour & 255;
    uint32_t Rgb = Colour & 0xffffff00u;
    int Baseline = int(std::lround(Y + Metrics->Ascender));
    double Pen = X;
    size_t Position = 0;
    while (Position < Text.size()) {
        uint32_t CodePoint = NextCodePoint(Text, &Position);
        if (!Printable(CodePoint))
            continue;
        const GlyphRecord* Glyph = GlyphFor(Size26, CodePoint);
        if (Glyph == nullptr)
            continue;
        int Left = int(std::lround(Pen)) + Glyph->Left;
        int Top = Baseline - Glyph->Top;
        Pen += Glyph->Advance;
        int FromX = std::max(Left, ClipLeft), ToX = std::min(Left + Glyph->Width, ClipRight);
        int FromY = std::max(Top, ClipTop), ToY = std::min(Top + Glyph->Height, ClipBottom);
        for (int Row = FromY; Row < ToY; ++Row) {
            const uint8_t* In = Glyph->Coverage.data() + size_t(Row - Top) * Glyph->Width;
            uint32_t* Out = Image.Pixels.data() + size_t(Row) * Image.Width;
            for (int Column = FromX; Column < ToX; ++Column) {
                uint32_t Coverage = In[Column - Left];
                if (Coverage == 0)
                    continue;
                uint32_t Alpha = (Coverage * ColourAlpha + 127) / 255;
                Out[Column] = BlendOver(Out[Column], Rgb | Alpha, Alpha);
            }
        }
    }
}
