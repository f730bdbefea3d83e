// Vector text on SDL_ttf: one bold sans face found through fontconfig
// ("Arial", else "Liberation Sans", its metric twin), opened by SDL_ttf once
// per pixel size in use, measured and drawn by it and blended into off-screen
// images. What is the game's own sits on top: the paragraph wrap and centring,
// upper-casing, and the line height and ink height the layouts measure with.
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <SDL_ttf.h>
#ifndef _WIN32
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <string_view>
#ifndef _WIN32
#include <locale.h>
#include <uchar.h>
#include <wctype.h>
#endif

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
// not drawn. A panel uses two or three sizes, the whole game about six.
static constexpr long MaxSize26 = 2048 * 64;
static constexpr int MaxOpenSizes = 8;

struct SizedFont {
    long Size26 = 0;
    TTF_Font* Font = nullptr;
    int Ascent = 0;          // SDL_ttf's baseline below the top of what it renders
    double Ascender = 0.0;   // the line's baseline below its top, pixels
    double LineHeight = 0.0; // the font's line height at this size
    unsigned LastUse = 0;
};

struct FontRecord {
    int Tried = 0; // InitFont ran (successfully or not)
    int TtfStarted = 0;
    std::string File; // what fontconfig chose
#ifdef _WIN32
    std::vector<uint8_t> Bytes; // the file, for FreeType
#endif
    int Index = 0;
    // The same file in FreeType for the size metrics SDL_ttf does not report.
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    SizedFont Sizes[MaxOpenSizes];
    unsigned Uses = 0;
};

static FontRecord Font;

// The lines measured and drawn lately, as SDL_ttf measured and rendered them:
// the head-up display writes its clock and steps every frame, and a frame
// that changes nothing renders (and allocates) nothing.
struct KnownLine {
    long Size26 = 0;
    std::string Text;
    int Width = 0;                  // measured lines
    SDL_Surface* Surface = nullptr; // drawn lines: ARGB8888, the coverage as alpha
    int PenX = 0, TopY = 0;         // where the pen starts and the line's top lies in Surface
    unsigned LastUse = 0;
};
static constexpr int MeasuredLines = 16, DrawnLines = 8;
static KnownLine Measured[MeasuredLines], Drawn[DrawnLines];
static unsigned LineUses = 0;

static int FindFontFile(const char* Name, std::string* File, int* Index, std::string* Family);
static int OpenFace(const std::string& File, int Index);
static const SizedFont* FontFor(double SizePx);
static const char* LineOf(std::string_view Text);
static int LineWidth(const SizedFont& Sized, const char* Line);
static void DrawLine(ImageRecord& Image, std::string_view Text, double X, double Y, const SizedFont& Sized,
                     uint32_t Colour);

int InitFont()
{
    if (Font.Face != nullptr)
        return 1;
    if (Font.Tried)
        return 0;
    Font.Tried = 1;
    if (TTF_Init() != 0) // counted: each TTF_Init has its TTF_Quit
        return 0;
    Font.TtfStarted = 1;
    if (FT_Init_FreeType(&Font.Library) != 0) {
        Font.Library = nullptr;
        return 0;
    }
    // "Arial" bold when the system has it; otherwise Liberation Sans Bold,
    // drawn to Arial's metrics; failing both, whatever sans fontconfig offers.
    std::string ArialFile, ArialFamily, LiberationFile, LiberationFamily;
    int ArialIndex = 0, LiberationIndex = 0;
    int HaveArial = FindFontFile("Arial:bold", &ArialFile, &ArialIndex, &ArialFamily);
    if (HaveArial && SDL_strcasecmp(ArialFamily.c_str(), "Arial") == 0 && OpenFace(ArialFile, ArialIndex))
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
    for (KnownLine& Line : Drawn)
        if (Line.Surface != nullptr)
            SDL_FreeSurface(Line.Surface);
    for (KnownLine& Line : Drawn)
        Line = KnownLine();
    for (KnownLine& Line : Measured)
        Line = KnownLine();
    for (SizedFont& Sized : Font.Sizes)
        if (Sized.Font != nullptr)
            TTF_CloseFont(Sized.Font);
    if (Font.Face != nullptr)
        FT_Done_Face(Font.Face);
    if (Font.Library != nullptr)
        FT_Done_FreeType(Font.Library);
    if (Font.TtfStarted)
        TTF_Quit();
    Font = FontRecord();
}

void MeasureText(const std::string& Utf8, double SizePx, double* Width, double* Height)
{
    *Width = 0.0;
    *Height = 0.0;
    const SizedFont* Sized = FontFor(SizePx);
    if (Sized == nullptr)
        return;
    *Width = double(LineWidth(*Sized, LineOf(Utf8)));
    *Height = Sized->LineHeight;
}

#ifndef _WIN32
// C.UTF-8 carries the whole Unicode table whatever the user's locale.
static locale_t UnicodeLocale()
{
    static locale_t Unicode = [] {
        locale_t Made = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (Made == locale_t(0))
            Made = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
        return Made;
    }();
    return Unicode;
}
#endif

// The length of the UTF-8 sequence at the start of Text and its code point,
// as the C library's UTF-8 locale reads it (ForEachCodePoint makes it the
// thread's); 0 when no valid sequence starts there (an overlong form, a
// surrogate, past U+10FFFF, cut short).
static size_t DecodeSequence(std::string_view Text, char32_t* CodePoint)
{
#ifdef _WIN32
    // MinGW's C library reads only the user's code page: the rule written out.
    const auto* Bytes = reinterpret_cast<const unsigned char*>(Text.data());
    unsigned char Lead = Bytes[0];
    size_t Length = Lead < 0x80                    ? 1
                    : Lead >= 0xC2 && Lead <= 0xDF ? 2
                    : Lead >= 0xE0 && Lead <= 0xEF ? 3
                    : Lead >= 0xF0 && Lead <= 0xF4 ? 4
                                                   : 0;
    if (Length == 0 || Length > Text.size())
        return 0;
    char32_t Point = Length == 1 ? Lead : Lead & (0x7F >> Length);
    for (size_t At = 1; At < Length; At++) {
        if ((Bytes[At] & 0xC0) != 0x80)
            return 0;
        Point = (Point << 6) | (Bytes[At] & 0x3F);
    }
    static const char32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (Point < Least[Length] || Point > 0x10FFFF || (Point >= 0xD800 && Point <= 0xDFFF))
        return 0;
    *CodePoint = Point;
    return Length;
#else
    mbstate_t State{};
    size_t Used = mbrtoc32(CodePoint, Text.data(), Text.size(), &State);
    if (Used == 0)
        return 1; // a NUL byte
    return Used > 4 ? 0 : Used;
#endif
}

// The capital of a code point where Unicode's simple case mapping has one;
// without the tables only a-z have capitals.
static uint32_t UpperOf(uint32_t CodePoint)
{
#ifdef _WIN32
    return WindowsUpperCase(CodePoint);
#else
    locale_t Unicode = UnicodeLocale();
    if (Unicode != locale_t(0))
        return uint32_t(towupper_l(wint_t(CodePoint), Unicode));
    return CodePoint >= 'a' && CodePoint <= 'z' ? CodePoint - 32 : CodePoint;
#endif
}

// Calls Visit(code point) for each UTF-8 sequence of Text; a byte that starts
// no valid sequence is U+FFFD alone (Visit learns that by its second
// argument, 0).
template <class VisitFn> static void ForEachCodePoint(std::string_view Text, VisitFn&& Visit)
{
#ifndef _WIN32
    locale_t Unicode = UnicodeLocale();
    locale_t Previous = Unicode != locale_t(0) ? uselocale(Unicode) : locale_t(0);
#endif
    size_t At = 0;
    while (At < Text.size()) {
        char32_t CodePoint = 0;
        size_t Used = DecodeSequence(Text.substr(At), &CodePoint);
        int Valid = 1;
        if (Used == 0) {
            CodePoint = 0xFFFD;
            Used = 1;
            Valid = 0;
        }
        Visit(uint32_t(CodePoint), Valid, Text.substr(At, Used));
        At += Used;
    }
#ifndef _WIN32
    if (Previous != locale_t(0))
        uselocale(Previous);
#endif
}

// The glyph boxes of a line in SDL_ttf's terms: the highest top and lowest
// bottom above the baseline and the first glyph's left edge from the pen.
struct LineInk {
    int Any = 0, Top = 0, Bottom = 0, FirstLeft = 0, First = 1;
};

static LineInk InkOf(const SizedFont& Sized, std::string_view Line)
{
    LineInk Ink;
    ForEachCodePoint(Line, [&](uint32_t CodePoint, int, std::string_view) {
        int MinX = 0, MaxX = 0, MinY = 0, MaxY = 0, Advance = 0;
        if (TTF_GlyphMetrics32(Sized.Font, CodePoint, &MinX, &MaxX, &MinY, &MaxY, &Advance) != 0)
            return;
        if (Ink.First)
            Ink.FirstLeft = MinX;
        Ink.First = 0;
        if (MaxX == MinX || MaxY == MinY)
            return; // a blank
        Ink.Top = Ink.Any ? std::max(Ink.Top, MaxY) : MaxY;
        Ink.Bottom = Ink.Any ? std::min(Ink.Bottom, MinY) : MinY;
        Ink.Any = 1;
    });
    return Ink;
}

double MeasureTextInk(const std::string& Utf8, double SizePx)
{
    const SizedFont* Sized = FontFor(SizePx);
    if (Sized == nullptr)
        return 0.0;
    LineInk Ink = InkOf(*Sized, LineOf(Utf8));
    return Ink.Any ? double(Ink.Top - Ink.Bottom) : 0.0;
}

void DrawText(int Image, const std::string& Utf8, double X, double Y, double SizePx, uint32_t Colour)
{
    ImageRecord* Target = FindImage(Image);
    const SizedFont* Sized = FontFor(SizePx);
    if (Target != nullptr && Sized != nullptr)
        DrawLine(*Target, Utf8, X, Y, *Sized, Colour);
}

void DrawParagraph(int Image, const std::string& Utf8, double X, double Y, double BoxWidth, double BoxHeight,
                   double SizePx, uint32_t Colour)
{
    ImageRecord* Target = FindImage(Image);
    const SizedFont* Sized = FontFor(SizePx);
    if (Target == nullptr || Sized == nullptr || !(BoxWidth > 0.0) || !(BoxHeight > 0.0))
        return;
    // The box places the lines; only the image's edge cuts their glyphs, so a
    // second line's descenders below a tight box still show.
    std::string_view Text = Utf8;
    double LineTop = Y;
    size_t SegmentStart = 0;
    // One segment per line feed; each is wrapped greedily at the blanks (a
    // no-break space is no blank), a line as wide as SDL_ttf measures it.
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
                    LineTop += Sized->LineHeight;
                break;
            }
            size_t LineStart = Position, LineEnd = Position;
            int Wide = 0;
            while (Position < Segment.size()) {
                size_t WordStart = Position;
                while (WordStart < Segment.size() && Segment[WordStart] == ' ')
                    ++WordStart;
                size_t WordEnd = WordStart;
                while (WordEnd < Segment.size() && Segment[WordEnd] != ' ')
                    ++WordEnd;
                if (WordStart == WordEnd)
                    break;
                int Wider = LineWidth(*Sized, LineOf(Segment.substr(LineStart, WordEnd - LineStart)));
                if (LineEnd != LineStart && Wider > BoxWidth)
                    break; // the word starts the next line
                Wide = Wider;
                LineEnd = WordEnd;
                Position = WordEnd;
            }
            DrawLine(*Target, Segment.substr(LineStart, LineEnd - LineStart), X + (BoxWidth - Wide) / 2.0, LineTop,
                     *Sized, Colour);
            LineDrawn = 1;
            LineTop += Sized->LineHeight;
        }
        SegmentStart = SegmentEnd + 1;
    }
}

std::string UpperCaseText(const std::string& Utf8)
{
    std::string Out;
    Out.reserve(Utf8.size());
    ForEachCodePoint(Utf8, [&](uint32_t CodePoint, int Valid, std::string_view Bytes) {
        uint32_t Upper = Valid ? UpperOf(CodePoint) : CodePoint; // not UTF-8: the byte as it was
        if (Upper == CodePoint || Upper > 0x10FFFF || (Upper >= 0xD800 && Upper <= 0xDFFF))
            Out.append(Bytes);
        else
            AppendUtf8(Out, Upper);
    });
    return Out;
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

#ifdef _WIN32
// Windows: "Arial" bold is arialbd.ttf in the system's fonts folder; Liberation
// Sans Bold, where Arial is missing (Wine has none), ships beside the game.
static int FindFontFile(const char* Name, std::string* File, int* Index, std::string* Family)
{
    *Index = 0;
    if (SDL_strncasecmp(Name, "Arial", 5) == 0) {
        std::string Fonts = WindowsFontsFolder();
        if (Fonts.empty())
            return 0;
        *File = Fonts + "arialbd.ttf";
        *Family = "Arial";
    } else {
        *File = ExecutableFolder() + "LiberationSans-Bold.ttf";
        *Family = "Liberation Sans";
    }
    return FileExists(*File);
}
#else
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
#endif

// Keeps File when it is a scalable face with a Unicode character map.
static int OpenFace(const std::string& File, int Index)
{
    FT_Face Face = nullptr;
#ifdef _WIN32
    // FreeType opens files by their name in the user's code page: a game
    // folder such as C:\Users\Zoë\... is read here and handed over in memory.
    if (!ReadWholeFile(File, Font.Bytes) ||
        FT_New_Memory_Face(Font.Library, Font.Bytes.data(), FT_Long(Font.Bytes.size()), Index, &Face) != 0)
        return 0;
#else
    if (FT_New_Face(Font.Library, File.c_str(), Index, &Face) != 0)
        return 0;
#endif
    if (!FT_IS_SCALABLE(Face) || FT_Select_Charmap(Face, FT_ENCODING_UNICODE) != 0) {
        FT_Done_Face(Face);
        return 0;
    }
    Font.Face = Face;
    Font.File = File;
    Font.Index = Index;
    return 1;
}

// The font opened at SizePx pixels (em), or nullptr for sizes we do not draw
// (not positive, not finite, huge) and when there is no font.
static const SizedFont* FontFor(double SizePx)
{
    if (!(SizePx > 0.0) || SizePx * 64.0 > double(MaxSize26) || !InitFont())
        return nullptr;
    long Size26 = std::lround(SizePx * 64.0);
    if (Size26 <= 0)
        return nullptr;
    SizedFont* Oldest = &Font.Sizes[0];
    for (SizedFont& Sized : Font.Sizes) {
        if (Sized.Font != nullptr && Sized.Size26 == Size26) {
            Sized.LastUse = ++Font.Uses;
            return &Sized;
        }
        if (Sized.Font == nullptr || (Oldest->Font != nullptr && Sized.LastUse < Oldest->LastUse))
            Oldest = &Sized;
    }
    // At one dot per inch a point is 1/72 pixel, so the em of Size26/64 pixels
    // is Size26 * 9/8 points: FreeType rounds that back to Size26 exactly.
    if (FT_Set_Char_Size(Font.Face, 0, FT_F26Dot6(Size26), 72, 72) != 0)
        return nullptr;
    int Points = int(std::lround(double(Size26) * 9.0 / 8.0));
    TTF_Font* Opened = TTF_OpenFontIndexDPI(Font.File.c_str(), Points, Font.Index, 1, 1);
    if (Opened == nullptr)
        return nullptr;
    // Light hinting: crisp horizontal stems without distorting the shapes.
    TTF_SetFontHinting(Opened, TTF_HINTING_LIGHT);
    TTF_SetFontKerning(Opened, 0);
    if (Oldest->Font != nullptr)
        TTF_CloseFont(Oldest->Font);
    Oldest->Font = Opened;
    Oldest->Size26 = Size26;
    Oldest->Ascent = TTF_FontAscent(Opened);
    Oldest->Ascender = double(Font.Face->size->metrics.ascender) / 64.0;
    Oldest->LineHeight = double(Font.Face->size->metrics.height) / 64.0;
    Oldest->LastUse = ++Font.Uses;
    return Oldest;
}

// Text as one NUL-terminated line without control characters (line feeds,
// returns, tabs take no room on a line). Valid until the next call.
static const char* LineOf(std::string_view Text)
{
    static std::string Line;
    Line.clear();
    for (char Byte : Text)
        if (uint8_t(Byte) >= 0x20 && Byte != 0x7F)
            Line += Byte;
    return Line.c_str();
}

// The line among Lines with this size and text, or else the one
// unused longest, emptied, to be filled (*Known 0).
template <size_t Count> static KnownLine& FindLine(KnownLine (&Lines)[Count], long Size26, const char* Text, int* Known)
{
    KnownLine* Oldest = &Lines[0];
    for (KnownLine& Line : Lines) {
        if (Line.LastUse != 0 && Line.Size26 == Size26 && Line.Text == Text) {
            Line.LastUse = ++LineUses;
            *Known = 1;
            return Line;
        }
        if (Line.LastUse < Oldest->LastUse)
            Oldest = &Line;
    }
    if (Oldest->Surface != nullptr)
        SDL_FreeSurface(Oldest->Surface);
    Oldest->Surface = nullptr;
    Oldest->Size26 = Size26;
    Oldest->Text.assign(Text);
    Oldest->LastUse = ++LineUses;
    *Known = 0;
    return *Oldest;
}

// The width of a line (no control characters) in whole pixels.
static int LineWidth(const SizedFont& Sized, const char* Line)
{
    if (*Line == '\0')
        return 0;
    int Known = 0;
    KnownLine& Entry = FindLine(Measured, Sized.Size26, Line, &Known);
    int Height = 0;
    if (!Known && TTF_SizeUTF8(Sized.Font, Line, &Entry.Width, &Height) != 0)
        Entry.Width = 0;
    return Entry.Width;
}

// Draws Text with its line box's top-left at (X, Y): SDL_ttf renders the
// line's coverage, which times the colour's alpha blends the colour into
// the image, cut at the image's edge.
static void DrawLine(ImageRecord& Image, std::string_view Text, double X, double Y, const SizedFont& Sized,
                     uint32_t Colour)
{
    // Positions far outside any image cannot show anything (and would overflow).
    if (!(std::fabs(X) < 1e8) || !(std::fabs(Y) < 1e8))
        return;
    const char* Line = LineOf(Text);
    if (*Line == '\0')
        return;
    int Known = 0;
    KnownLine& Entry = FindLine(Drawn, Sized.Size26, Line, &Known);
    if (!Known) {
        SDL_Surface* Rendered = TTF_RenderUTF8_Blended(Sized.Font, Line, SDL_Color{255, 255, 255, 255});
        if (Rendered != nullptr && Rendered->format->format != SDL_PIXELFORMAT_ARGB8888) {
            SDL_Surface* Converted = SDL_ConvertSurfaceFormat(Rendered, SDL_PIXELFORMAT_ARGB8888, 0);
            SDL_FreeSurface(Rendered);
            Rendered = Converted;
        }
        Entry.Surface = Rendered;
        // SDL_ttf widens its picture by a glyph that starts left of the pen or
        // rises above the line; the pen and the line's top are placed, not it.
        LineInk Ink = InkOf(Sized, Line);
        Entry.PenX = std::max(0, -Ink.FirstLeft);
        Entry.TopY = std::max(0, Ink.Top - Sized.Ascent);
    }
    SDL_Surface* Rendered = Entry.Surface;
    if (Rendered == nullptr)
        return;
    int Left = int(std::lround(X)) - Entry.PenX;
    int Top = int(std::lround(Y + Sized.Ascender)) - Sized.Ascent - Entry.TopY;
    uint32_t ColourAlpha = Colour & 255;
    uint32_t Rgb = Colour & 0xffffff00u;
    int FromX = std::max(Left, 0), ToX = std::min(Left + Rendered->w, Image.Width);
    int FromY = std::max(Top, 0), ToY = std::min(Top + Rendered->h, Image.Height);
    for (int Row = FromY; Row < ToY; ++Row) {
        // ARGB8888: the coverage is the top byte.
        const uint32_t* In = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(Rendered->pixels) +
                                                               ptrdiff_t(Row - Top) * Rendered->pitch);
        uint32_t* Out = Image.Pixels.data() + size_t(Row) * Image.Width;
        for (int Column = FromX; Column < ToX; ++Column) {
            uint32_t Coverage = In[Column - Left] >> 24;
            if (Coverage == 0)
                continue;
            uint32_t Alpha = (Coverage * ColourAlpha + 127) / 255;
            Out[Column] = BlendOver(Out[Column], Rgb | Alpha, Alpha);
        }
    }
}
