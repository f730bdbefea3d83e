// Turning a picture on the CPU, for the software renderer: SDL's own turning
// there (SDL_RenderCopyEx) costs some 150 ms a frame for the swaying title
// background, and turning one pixel at a time still takes 0.34 core idle in
// the main menu against 0.19 with this code (bench/run, bench/library_vs_own.txt:
// the "SDL's blitter and turning" and "Scalar turning" columns). The rows are
// shared with the second core, and two pixels are sampled at once with SSE2; every pixel
// comes out exactly as the plain one-at-a-time code gives it (the same
// fixed-point steps and roundings).
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <algorithm>
#include <climits>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#define KISTORA_TURN_AVX2 1
#include <immintrin.h>
#endif

// Fixed point for source positions: 16 bits of fraction.
static constexpr int FractionBits = 16;
static constexpr int64_t One = int64_t(1) << FractionBits;

// The box is walked in tiles so that the source pixels a tile reads stay
// cached; each tile row starts its source position afresh from the exact
// position of its first pixel.
static constexpr int TileSide = 64;

// Below this many target pixels the second core is not worth waking.
static constexpr int64_t SplitPixels = 65536;

struct TurnJob {
    const uint32_t* Source;
    int SourceWidth, SourceHeight, DisplayWidth, DisplayHeight;
    double Cos, Sin, ScaleX, ScaleY;
    int64_t StepU, StepV;
    int BoxWidth, BoxHeight, FromX, FromY;
    uint32_t* Target;
    int Pitch, Width, Height, Filtered;
    int RowFirst, RowEnd; // the rows of Target this job writes
};

static inline uint32_t Sample(const uint32_t* Source, int SourceWidth, int SourceHeight, int64_t FixedU, int64_t FixedV,
                              int Filtered);
static inline uint32_t MixOpaque(uint32_t A, uint32_t B, uint32_t Weight);
static uint32_t SampleEdge(const uint32_t* Source, int SourceWidth, int SourceHeight, int X0, int Y0, uint32_t Wx,
                           uint32_t Wy);
static void TurnRows(void* Argument);
static void TurnRowsPlain(const TurnJob& Job);
static void SourcePosition(const TurnJob& Job, int Column, int Row, int64_t* FixedU, int64_t* FixedV);
static int TurnSpanWide(const TurnJob& Job, uint32_t* Out, int Count, int64_t FixedU, int64_t FixedV);
// 1 when a span of Count pixels from (FixedU, FixedV) can be stepped in 32-bit lanes.
static int SpanFitsLanes(const TurnJob& Job, int Count, int64_t FixedU, int64_t FixedV);
#if defined(KISTORA_TURN_AVX2)
static int HasAvx2();
__attribute__((target("avx2"))) static int TurnSpanWide8(const TurnJob& Job, uint32_t* Out, int Count, int64_t FixedU,
                                                         int64_t FixedV);
#endif

// The job of turning Source by Degrees into the Width x Height part of the
// turned box that starts at (FromX, FromY); every row, until split.
static TurnJob MakeTurnJob(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth,
                           int DisplayHeight, double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY,
                           uint32_t* Target, int Pitch, int Width, int Height, int Filtered)
{
    double Radians = Degrees * M_PI / 180.0;
    TurnJob Job;
    Job.Source = Source;
    Job.SourceWidth = SourceWidth;
    Job.SourceHeight = SourceHeight;
    Job.DisplayWidth = DisplayWidth;
    Job.DisplayHeight = DisplayHeight;
    Job.Cos = std::cos(Radians);
    Job.Sin = std::sin(Radians);
    Job.ScaleX = double(SourceWidth) / DisplayWidth; // source pixels per display pixel
    Job.ScaleY = double(SourceHeight) / DisplayHeight;
    // Per target column the source position moves by (StepU, StepV).
    Job.StepU = std::llround(Job.Cos * Job.ScaleX * One);
    Job.StepV = std::llround(-Job.Sin * Job.ScaleY * One);
    Job.BoxWidth = BoxWidth;
    Job.BoxHeight = BoxHeight;
    Job.FromX = FromX;
    Job.FromY = FromY;
    Job.Target = Target;
    Job.Pitch = Pitch;
    Job.Width = Width;
    Job.Height = Height;
    Job.Filtered = Filtered;
    Job.RowFirst = 0;
    Job.RowEnd = Height;
    return Job;
}

void TurnPixels(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
                double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
                int Width, int Height, int Filtered)
{
    TurnJob Job = MakeTurnJob(Source, SourceWidth, SourceHeight, DisplayWidth, DisplayHeight, Degrees, BoxWidth,
                              BoxHeight, FromX, FromY, Target, Pitch, Width, Height, Filtered);
    if (VideoScreen.PlainDrawing || VideoScreen.PlainTurning) {
        // The reference: one pixel at a time, on this core.
        TurnRowsPlain(Job);
        return;
    }
    if (int64_t(Width) * Height < SplitPixels || Height < 2 * TileSide) {
        TurnRows(&Job);
        return;
    }
    // The lower half on the second core, the upper half here (whole tiles each).
    TurnJob Lower = Job;
    int Split = (Height / 2 + TileSide - 1) / TileSide * TileSide;
    Job.RowFirst = 0;
    Job.RowEnd = Split;
    Lower.RowFirst = Split;
    Lower.RowEnd = Height;
    int Ticket = PostWork(TurnRows, &Lower);
    TurnRows(&Job);
    FinishWork(Ticket);
}

void TurnPixelsOnOneCore(const uint32_t* Source, int SourceWidth, int SourceHeight, int DisplayWidth, int DisplayHeight,
                         double Degrees, int BoxWidth, int BoxHeight, int FromX, int FromY, uint32_t* Target, int Pitch,
                         int Width, int Height, int Filtered)
{
    // Below the size worth sharing, TurnPixels keeps to the calling core.
    TurnJob Job = MakeTurnJob(Source, SourceWidth, SourceHeight, DisplayWidth, DisplayHeight, Degrees, BoxWidth,
                              BoxHeight, FromX, FromY, Target, Pitch, Width, Height, Filtered);
    if (VideoScreen.PlainTurning)
        TurnRowsPlain(Job);
    else
        TurnRows(&Job);
}

static void TurnRows(void* Argument)
{
    const TurnJob& Job = *static_cast<const TurnJob*>(Argument);
    const int Wide = Job.Filtered;
    for (int TileTop = Job.RowFirst; TileTop < Job.RowEnd; TileTop += TileSide) {
        for (int TileLeft = 0; TileLeft < Job.Width; TileLeft += TileSide) {
            int TileRight = std::min(TileLeft + TileSide, Job.Width);
            int TileBottom = std::min(TileTop + TileSide, Job.RowEnd);
            for (int Row = TileTop; Row < TileBottom; ++Row) {
                int64_t FixedU = 0, FixedV = 0;
                SourcePosition(Job, TileLeft, Row, &FixedU, &FixedV);
                uint32_t* Out = Job.Target + size_t(Row) * size_t(Job.Pitch);
                int Column = TileLeft;
                if (Wide) {
                    int Done = 0;
#if defined(KISTORA_TURN_AVX2)
                    if (HasAvx2())
                        Done = TurnSpanWide8(Job, Out + Column, TileRight - Column, FixedU, FixedV);
#endif
                    Done += TurnSpanWide(Job, Out + Column + Done, TileRight - Column - Done, FixedU + Done * Job.StepU,
                                         FixedV + Done * Job.StepV);
                    Column += Done;
                    FixedU += Done * Job.StepU;
                    FixedV += Done * Job.StepV;
                }
                for (; Column < TileRight; ++Column, FixedU += Job.StepU, FixedV += Job.StepV)
                    Out[Column] = Sample(Job.Source, Job.SourceWidth, Job.SourceHeight, FixedU, FixedV, Job.Filtered);
            }
        }
    }
}

// The fixed-point source position of target pixel (Column, Row): its centre,
// relative to the box centre, turned back into display coordinates, then into
// source pixels. Bilinear sampling works from pixel centres, nearest from edges.
static void SourcePosition(const TurnJob& Job, int Column, int Row, int64_t* FixedU, int64_t* FixedV)
{
    double Dx = Job.FromX + Column + 0.5 - Job.BoxWidth / 2.0;
    double Dy = Job.FromY + Row + 0.5 - Job.BoxHeight / 2.0;
    double U = (Dx * Job.Cos + Dy * Job.Sin + Job.DisplayWidth / 2.0) * Job.ScaleX;
    double V = (-Dx * Job.Sin + Dy * Job.Cos + Job.DisplayHeight / 2.0) * Job.ScaleY;
    if (Job.Filtered) {
        U -= 0.5;
        V -= 0.5;
    }
    *FixedU = std::llround(U * One);
    *FixedV = std::llround(V * One);
}

static void TurnRowsPlain(const TurnJob& Job)
{
    for (int Row = Job.RowFirst; Row < Job.RowEnd; ++Row) {
        for (int TileLeft = 0; TileLeft < Job.Width; TileLeft += TileSide) {
            int64_t FixedU = 0, FixedV = 0;
            SourcePosition(Job, TileLeft, Row, &FixedU, &FixedV);
            uint32_t* Out = Job.Target + size_t(Row) * size_t(Job.Pitch);
            for (int Column = TileLeft; Column < std::min(TileLeft + TileSide, Job.Width);
                 ++Column, FixedU += Job.StepU, FixedV += Job.StepV)
                Out[Column] = Sample(Job.Source, Job.SourceWidth, Job.SourceHeight, FixedU, FixedV, Job.Filtered);
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

#if defined(__SSE2__)
// Two neighbouring pixels (as bytes in 16-bit lanes: left B G R A, right B G R
// A) mixed across by the weights (256 - W four times, W four times): the sums
// land in the low four lanes, still to be divided by 256.
static inline __m128i MixAcross(__m128i Pair, __m128i Weights)
{
    __m128i Products = _mm_mullo_epi16(Pair, Weights);
    return _mm_add_epi16(Products, _mm_unpackhi_epi64(Products, Products));
}

static int SpanFitsLanes(const TurnJob& Job, int Count, int64_t FixedU, int64_t FixedV)
{
    // Positions in 32-bit lanes, with the picture's sides in 16 bits (always
    // true for pictures of a sane size; checked so no other size goes wrong).
    int64_t EndU = FixedU + int64_t(Count) * Job.StepU, EndV = FixedV + int64_t(Count) * Job.StepV;
    return std::min(FixedU, EndU) >= INT32_MIN / 2 && std::max(FixedU, EndU) <= INT32_MAX / 2 &&
           std::min(FixedV, EndV) >= INT32_MIN / 2 && std::max(FixedV, EndV) <= INT32_MAX / 2 &&
           Job.SourceWidth <= 32767 && Job.SourceHeight <= 32767;
}

// Bilinear samples four at a time wherever the four source pixels of all four
// lie inside the picture and are opaque (the common case): positions and
// weights in 32-bit lanes, each pair of neighbours one 64-bit load, the
// mixing on 16-bit lanes with the same roundings as MixOpaque. Other groups
// are sampled one pixel at a time. Returns how many pixels it wrote (a
// multiple of four), which the caller continues from.
static int TurnSpanWide(const TurnJob& Job, uint32_t* Out, int Count, int64_t FixedU, int64_t FixedV)
{
    if (!SpanFitsLanes(Job, Count, FixedU, FixedV))
        return 0;
    const uint32_t* Source = Job.Source;
    const int Width = Job.SourceWidth;
    const __m128i Zero = _mm_setzero_si128();
    const __m128i AlphaMask = _mm_set1_epi32(int(0xff000000u));
    const __m128i Byte = _mm_set1_epi32(255);
    const __m128i Whole = _mm_set1_epi16(256);
    const __m128i Minus1 = _mm_set1_epi32(-1);
    const __m128i LastX = _mm_set1_epi32(Job.SourceWidth - 1), LastY = _mm_set1_epi32(Job.SourceHeight - 1);
    const __m128i RowStep = _mm_set1_epi32(int(uint32_t(Width) | (1u << 16))); // Y x Width + X x 1
    const int32_t StepU = int32_t(Job.StepU), StepV = int32_t(Job.StepV);
    __m128i U = _mm_setr_epi32(int(FixedU), int(FixedU + StepU), int(FixedU + 2 * int64_t(StepU)),
                               int(FixedU + 3 * int64_t(StepU)));
    __m128i V = _mm_setr_epi32(int(FixedV), int(FixedV + StepV), int(FixedV + 2 * int64_t(StepV)),
                               int(FixedV + 3 * int64_t(StepV)));
    const __m128i StepU4 = _mm_set1_epi32(int(4 * int64_t(StepU))), StepV4 = _mm_set1_epi32(int(4 * int64_t(StepV)));
    alignas(16) int32_t Index[4];
    int Done = 0;
    for (; Done + 4 <= Count; Done += 4, U = _mm_add_epi32(U, StepU4), V = _mm_add_epi32(V, StepV4)) {
        __m128i X0 = _mm_srai_epi32(U, FractionBits), Y0 = _mm_srai_epi32(V, FractionBits);
        // Inside: 0 <= X0 < W - 1 and 0 <= Y0 < H - 1.
        __m128i Inside = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(X0, Minus1), _mm_cmpgt_epi32(LastX, X0)),
                                       _mm_and_si128(_mm_cmpgt_epi32(Y0, Minus1), _mm_cmpgt_epi32(LastY, Y0)));
        int Wide = _mm_movemask_epi8(Inside) == 0xffff;
        __m128i UpperAB, UpperCD, LowerAB, LowerCD;
        if (Wide) {
            // Y0 in the low and X0 in the high half of each lane: one multiply-add gives Y0 x W + X0.
            _mm_store_si128(reinterpret_cast<__m128i*>(Index),
                            _mm_madd_epi16(_mm_or_si128(Y0, _mm_slli_epi32(X0, 16)), RowStep));
            const uint32_t* A = Source + Index[0];
            const uint32_t* B = Source + Index[1];
            const uint32_t* C = Source + Index[2];
            const uint32_t* D = Source + Index[3];
            UpperAB = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(A)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(B)));
            UpperCD = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(C)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(D)));
            LowerAB = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(A + Width)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(B + Width)));
            LowerCD = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(C + Width)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(D + Width)));
            __m128i All = _mm_and_si128(_mm_and_si128(UpperAB, UpperCD), _mm_and_si128(LowerAB, LowerCD));
            Wide = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(All, AlphaMask), AlphaMask)) == 0xffff;
        }
        if (!Wide) {
            for (int K = 0; K < 4; ++K)
                Out[Done + K] = Sample(Source, Job.SourceWidth, Job.SourceHeight, FixedU + (Done + K) * Job.StepU,
                                       FixedV + (Done + K) * Job.StepV, 1);
            continue;
        }
        // Weights of 256 in 16-bit lanes: across, [256 - Wx] x 4 then [Wx] x 4 per pixel;
        // down, [256 - Wy] x 4 and [Wy] x 4 for the two pixels of a pair.
        __m128i Wx = _mm_and_si128(_mm_srai_epi32(U, FractionBits - 8), Byte);
        __m128i Wy = _mm_and_si128(_mm_srai_epi32(V, FractionBits - 8), Byte);
        Wx = _mm_packs_epi32(Wx, Wx); // a b c d a b c d
        Wy = _mm_packs_epi32(Wy, Wy);
        __m128i KeepWx = _mm_unpacklo_epi16(_mm_sub_epi16(Whole, Wx), Wx); // ka wa kb wb kc wc kd wd
        __m128i PairsAB = _mm_unpacklo_epi16(KeepWx, KeepWx);              // ka ka wa wa kb kb wb wb
        __m128i PairsCD = _mm_unpackhi_epi16(KeepWx, KeepWx);
        __m128i Across[4] = {_mm_unpacklo_epi32(PairsAB, PairsAB), _mm_unpackhi_epi32(PairsAB, PairsAB),
                             _mm_unpacklo_epi32(PairsCD, PairsCD), _mm_unpackhi_epi32(PairsCD, PairsCD)};
        __m128i KeepY = _mm_sub_epi16(Whole, Wy);
        __m128i KeepY2 = _mm_unpacklo_epi16(KeepY, KeepY), TakeY2 = _mm_unpacklo_epi16(Wy, Wy); // aa bb cc dd
        __m128i KeepYAB = _mm_unpacklo_epi32(KeepY2, KeepY2), KeepYCD = _mm_unpackhi_epi32(KeepY2, KeepY2);
        __m128i TakeYAB = _mm_unpacklo_epi32(TakeY2, TakeY2), TakeYCD = _mm_unpackhi_epi32(TakeY2, TakeY2);

        __m128i TopAB = _mm_srli_epi16(_mm_unpacklo_epi64(MixAcross(_mm_unpacklo_epi8(UpperAB, Zero), Across[0]),
                                                          MixAcross(_mm_unpackhi_epi8(UpperAB, Zero), Across[1])),
                                       8);
        __m128i BottomAB = _mm_srli_epi16(_mm_unpacklo_epi64(MixAcross(_mm_unpacklo_epi8(LowerAB, Zero), Across[0]),
                                                             MixAcross(_mm_unpackhi_epi8(LowerAB, Zero), Across[1])),
                                          8);
        __m128i TopCD = _mm_srli_epi16(_mm_unpacklo_epi64(MixAcross(_mm_unpacklo_epi8(UpperCD, Zero), Across[2]),
                                                          MixAcross(_mm_unpackhi_epi8(UpperCD, Zero), Across[3])),
                                       8);
        __m128i BottomCD = _mm_srli_epi16(_mm_unpacklo_epi64(MixAcross(_mm_unpacklo_epi8(LowerCD, Zero), Across[2]),
                                                             MixAcross(_mm_unpackhi_epi8(LowerCD, Zero), Across[3])),
                                          8);
        __m128i AB =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(TopAB, KeepYAB), _mm_mullo_epi16(BottomAB, TakeYAB)), 8);
        __m128i CD =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(TopCD, KeepYCD), _mm_mullo_epi16(BottomCD, TakeYCD)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + Done), _mm_packus_epi16(AB, CD));
    }
    return Done;
}

#if defined(KISTORA_TURN_AVX2)
static int HasAvx2()
{
    static const int Has = __builtin_cpu_supports("avx2") ? 1 : 0;
    return Has;
}

__attribute__((target("avx2"))) static inline __m256i MixAcross8(__m256i Pair, __m256i Weights)
{
    __m256i Products = _mm256_mullo_epi16(Pair, Weights);
    return _mm256_add_epi16(Products, _mm256_unpackhi_epi64(Products, Products));
}

// Two neighbouring source pixels for each of two output pixels as one
// 128-bit half: the pixels A and B of the span.
__attribute__((target("avx2"))) static inline __m128i PairOfPairs(const uint32_t* A, const uint32_t* B)
{
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(A)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(B)));
}

// TurnSpanWide with AVX2: eight pixels at a time, the same steps as the four
// at a time below, each 128-bit half of the registers doing the work of one
// SSE2 register (pixels A B | E F and C D | G H). Returns how many pixels it
// wrote (a multiple of eight).
__attribute__((target("avx2"))) static int TurnSpanWide8(const TurnJob& Job, uint32_t* Out, int Count, int64_t FixedU,
                                                         int64_t FixedV)
{
    if (!SpanFitsLanes(Job, Count, FixedU, FixedV))
        return 0;
    const uint32_t* Source = Job.Source;
    const int Width = Job.SourceWidth;
    const __m256i Zero = _mm256_setzero_si256();
    const __m256i AlphaMask = _mm256_set1_epi32(int(0xff000000u));
    const __m256i Byte = _mm256_set1_epi32(255);
    const __m256i Whole = _mm256_set1_epi16(256);
    const __m256i Minus1 = _mm256_set1_epi32(-1);
    const __m256i LastX = _mm256_set1_epi32(Job.SourceWidth - 1), LastY = _mm256_set1_epi32(Job.SourceHeight - 1);
    const __m256i RowStep = _mm256_set1_epi32(int(uint32_t(Width) | (1u << 16)));
    const __m256i Lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i U =
        _mm256_add_epi32(_mm256_set1_epi32(int(FixedU)), _mm256_mullo_epi32(Lanes, _mm256_set1_epi32(int(Job.StepU))));
    __m256i V =
        _mm256_add_epi32(_mm256_set1_epi32(int(FixedV)), _mm256_mullo_epi32(Lanes, _mm256_set1_epi32(int(Job.StepV))));
    const __m256i StepU8 = _mm256_set1_epi32(int(8 * Job.StepU)), StepV8 = _mm256_set1_epi32(int(8 * Job.StepV));
    alignas(32) int32_t Index[8];
    int Done = 0;
    for (; Done + 8 <= Count; Done += 8, U = _mm256_add_epi32(U, StepU8), V = _mm256_add_epi32(V, StepV8)) {
        __m256i X0 = _mm256_srai_epi32(U, FractionBits), Y0 = _mm256_srai_epi32(V, FractionBits);
        __m256i Inside =
            _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(X0, Minus1), _mm256_cmpgt_epi32(LastX, X0)),
                             _mm256_and_si256(_mm256_cmpgt_epi32(Y0, Minus1), _mm256_cmpgt_epi32(LastY, Y0)));
        int Wide = _mm256_movemask_epi8(Inside) == -1;
        __m256i Upper0, Upper1, Lower0, Lower1;
        if (Wide) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(Index),
                               _mm256_madd_epi16(_mm256_or_si256(Y0, _mm256_slli_epi32(X0, 16)), RowStep));
            const uint32_t* P[8];
            for (int K = 0; K < 8; ++K)
                P[K] = Source + Index[K];
            Upper0 =
                _mm256_inserti128_si256(_mm256_castsi128_si256(PairOfPairs(P[0], P[1])), PairOfPairs(P[4], P[5]), 1);
            Upper1 =
                _mm256_inserti128_si256(_mm256_castsi128_si256(PairOfPairs(P[2], P[3])), PairOfPairs(P[6], P[7]), 1);
            Lower0 = _mm256_inserti128_si256(_mm256_castsi128_si256(PairOfPairs(P[0] + Width, P[1] + Width)),
                                             PairOfPairs(P[4] + Width, P[5] + Width), 1);
            Lower1 = _mm256_inserti128_si256(_mm256_castsi128_si256(PairOfPairs(P[2] + Width, P[3] + Width)),
                                             PairOfPairs(P[6] + Width, P[7] + Width), 1);
            __m256i All = _mm256_and_si256(_mm256_and_si256(Upper0, Upper1), _mm256_and_si256(Lower0, Lower1));
            Wide = _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(All, AlphaMask), AlphaMask)) == -1;
        }
        if (!Wide) {
            for (int K = 0; K < 8; ++K)
                Out[Done + K] = Sample(Source, Job.SourceWidth, Job.SourceHeight, FixedU + (Done + K) * Job.StepU,
                                       FixedV + (Done + K) * Job.StepV, 1);
            continue;
        }
        __m256i Wx = _mm256_and_si256(_mm256_srai_epi32(U, FractionBits - 8), Byte);
        __m256i Wy = _mm256_and_si256(_mm256_srai_epi32(V, FractionBits - 8), Byte);
        Wx = _mm256_packs_epi32(Wx, Wx); // a b c d a b c d | e f g h e f g h
        Wy = _mm256_packs_epi32(Wy, Wy);
        __m256i KeepWx = _mm256_unpacklo_epi16(_mm256_sub_epi16(Whole, Wx), Wx);
        __m256i Pairs0 = _mm256_unpacklo_epi16(KeepWx, KeepWx); // a b | e f
        __m256i Pairs1 = _mm256_unpackhi_epi16(KeepWx, KeepWx); // c d | g h
        __m256i AcrossA = _mm256_unpacklo_epi32(Pairs0, Pairs0), AcrossB = _mm256_unpackhi_epi32(Pairs0, Pairs0);
        __m256i AcrossC = _mm256_unpacklo_epi32(Pairs1, Pairs1), AcrossD = _mm256_unpackhi_epi32(Pairs1, Pairs1);
        __m256i KeepY = _mm256_sub_epi16(Whole, Wy);
        __m256i KeepY2 = _mm256_unpacklo_epi16(KeepY, KeepY), TakeY2 = _mm256_unpacklo_epi16(Wy, Wy);
        __m256i KeepY0 = _mm256_unpacklo_epi32(KeepY2, KeepY2), KeepY1 = _mm256_unpackhi_epi32(KeepY2, KeepY2);
        __m256i TakeY0 = _mm256_unpacklo_epi32(TakeY2, TakeY2), TakeY1 = _mm256_unpackhi_epi32(TakeY2, TakeY2);

        __m256i Top0 = _mm256_srli_epi16(_mm256_unpacklo_epi64(MixAcross8(_mm256_unpacklo_epi8(Upper0, Zero), AcrossA),
                                                               MixAcross8(_mm256_unpackhi_epi8(Upper0, Zero), AcrossB)),
                                         8);
        __m256i Bottom0 =
            _mm256_srli_epi16(_mm256_unpacklo_epi64(MixAcross8(_mm256_unpacklo_epi8(Lower0, Zero), AcrossA),
                                                    MixAcross8(_mm256_unpackhi_epi8(Lower0, Zero), AcrossB)),
                              8);
        __m256i Top1 = _mm256_srli_epi16(_mm256_unpacklo_epi64(MixAcross8(_mm256_unpacklo_epi8(Upper1, Zero), AcrossC),
                                                               MixAcross8(_mm256_unpackhi_epi8(Upper1, Zero), AcrossD)),
                                         8);
        __m256i Bottom1 =
            _mm256_srli_epi16(_mm256_unpacklo_epi64(MixAcross8(_mm256_unpacklo_epi8(Lower1, Zero), AcrossC),
                                                    MixAcross8(_mm256_unpackhi_epi8(Lower1, Zero), AcrossD)),
                              8);
        __m256i Mixed0 = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(Top0, KeepY0), _mm256_mullo_epi16(Bottom0, TakeY0)), 8);
        __m256i Mixed1 = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(Top1, KeepY1), _mm256_mullo_epi16(Bottom1, TakeY1)), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + Done), _mm256_packus_epi16(Mixed0, Mixed1));
    }
    return Done;
}
#endif
#else
static int TurnSpanWide(const TurnJob&, uint32_t*, int, int64_t, int64_t)
{
    return 0;
}
#endif
