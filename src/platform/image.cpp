// Off-screen CPU images: 0xRRGGBBAA pixel buffers behind integer handles,
// for the panels, cards and pictures drawn before they become sprites.
#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/video_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// Freed images keep their buffers for reuse (the head-up display and the
// level cards make and free images of the same sizes again and again); a
// buffer above this many pixels (a screen-sized picture) is released.
static constexpr size_t KeptCapacityPixels = size_t(1) << 18;

// PNG decodes under way on the second core, at most this many at once.
static constexpr int MaxDecodes = 160;

// Images by handle; index 0 is never used (handle 0 means none).
static std::vector<ImageRecord> Images(1);

// One PNG being decoded (and brought to its size) on the second core. The
// worker touches only its own record; the game's thread reads it after
// FinishWork.
struct DecodeRecord {
    int InUse = 0;
    int Ticket = 0;
    const uint8_t* Data = nullptr; // the caller's bytes, alive until taken
    size_t Size = 0;
    int WantWidth = 0;  // 0: as decoded
    int WantHeight = 0; // 0 with a width: the height that keeps the proportions
    std::vector<uint32_t> Pixels;
    int Width = 0;
    int Height = 0;
    int HasAlpha = 0;
    int Ok = 0;
};
static DecodeRecord Decodes[MaxDecodes + 1]; // index 0 is never used

static void DecodeOnWorker(void* Argument);

static int NewImage(int Width, int Height);
static constexpr size_t KeptScalePixels = size_t(1) << 20;
static void ComputeContributions(int SourceSize, int TargetSize, std::vector<int>& First, std::vector<int>& Count,
                                 std::vector<float>& Weights, int* Stride);

ImageRecord* FindImage(int Image)
{
    if (Image <= 0 || size_t(Image) >= Images.size() || !Images[size_t(Image)].InUse)
        return nullptr;
    return &Images[size_t(Image)];
}

void FreeAllImages()
{
    Images.clear();
    Images.shrink_to_fit();
    Images.resize(1);
}

int CreateImage(int Width, int Height, uint32_t Fill)
{
    int Handle = NewImage(Width, Height);
    if (Handle == 0)
        return 0;
    ImageRecord& Record = Images[size_t(Handle)];
    std::fill(Record.Pixels.begin(), Record.Pixels.end(), Fill);
    return Handle;
}

int QueueImageDecode(const uint8_t* Data, size_t Size, int Width, int Height)
{
    if (Data == nullptr || Width < 0 || Height < 0 || (Width == 0 && Height > 0))
        return 0;
    for (int Job = 1; Job <= MaxDecodes; ++Job) {
        DecodeRecord& Record = Decodes[Job];
        if (Record.InUse)
            continue;
        Record = DecodeRecord();
        Record.InUse = 1;
        Record.Data = Data;
        Record.Size = Size;
        Record.WantWidth = Width;
        Record.WantHeight = Height;
        Record.Ticket = PostWork(DecodeOnWorker, &Record, 0);
        return Job;
    }
    return 0;
}

int TakeDecodedImage(int Job)
{
    if (Job <= 0 || Job > MaxDecodes || !Decodes[Job].InUse)
        return 0;
    DecodeRecord& Record = Decodes[Job];
    FinishWork(Record.Ticket);
    int Handle = Record.Ok ? NewImage(Record.Width, Record.Height) : 0;
    if (Handle != 0) {
        ImageRecord& Image = Images[size_t(Handle)];
        Image.Pixels.swap(Record.Pixels);
        Image.HasAlpha = Record.HasAlpha;
    }
    Record = DecodeRecord();
    return Handle;
}

int LoadImagePng(const uint8_t* Data, size_t Size)
{
    std::vector<uint32_t> Pixels;
    int Width = 0, Height = 0, HasAlpha = 0;
    if (!DecodePng(Data, Size, Pixels, &Width, &Height, &HasAlpha))
        return 0;
    int Handle = NewImage(Width, Height);
    if (Handle == 0)
        return 0;
    ImageRecord& Record = Images[size_t(Handle)];
    Record.Pixels.swap(Pixels);
    Record.HasAlpha = HasAlpha;
    return Handle;
}

void FreeImage(int Image)
{
    ImageRecord* Record = FindImage(Image);
    if (Record == nullptr)
        return;
    Record->InUse = 0;
    Record->Width = 0;
    Record->Height = 0;
    Record->Pixels.clear();
    if (Record->Pixels.capacity() > KeptCapacityPixels)
        Record->Pixels.shrink_to_fit();
}

int ImageWidth(int Image)
{
    ImageRecord* Record = FindImage(Image);
    return Record ? Record->Width : 0;
}

int ImageHeight(int Image)
{
    ImageRecord* Record = FindImage(Image);
    return Record ? Record->Height : 0;
}

const uint32_t* ImagePixels(int Image)
{
    ImageRecord* Record = FindImage(Image);
    return Record ? Record->Pixels.data() : nullptr;
}

int ResizeImage(int Image, int Width, int Height)
{
    ImageRecord* Record = FindImage(Image);
    if (Record == nullptr || !PictureSizeValid(Width, Height))
        return 0;
    if (Width == Record->Width && Height == Record->Height)
        return 1;
    std::vector<uint32_t> Resized(size_t(Width) * Height);
    ResamplePixels(Record->Pixels.data(), Record->Width, Record->Height, Resized.data(), Width, Height, 0);
    Record->Pixels.swap(Resized);
    Record->Width = Width;
    Record->Height = Height;
    return 1;
}

int CropImage(int Image, int X, int Y, int Width, int Height)
{
    ImageRecord* Record = FindImage(Image);
    if (Record == nullptr || !PictureSizeValid(Width, Height) || X < 0 || Y < 0)
        return 0;
    // The rectangle must lie wholly inside the picture (64-bit: no overflow).
    if (int64_t(X) + Width > Record->Width || int64_t(Y) + Height > Record->Height)
        return 0;
    int SourceHasAlpha = Record->HasAlpha;
    int Handle = NewImage(Width, Height);
    if (Handle == 0)
        return 0;
    ImageRecord& Source = Images[size_t(Image)]; // NewImage may have moved the records
    ImageRecord& Target = Images[size_t(Handle)];
    Target.HasAlpha = SourceHasAlpha;
    for (int Row = 0; Row < Height; ++Row) {
        const uint32_t* From = Source.Pixels.data() + size_t(Y + Row) * Source.Width + X;
        std::copy(From, From + Width, Target.Pixels.data() + size_t(Row) * Width);
    }
    return Handle;
}

void FillImageRect(int Image, int X, int Y, int Width, int Height, uint32_t Colour)
{
    ImageRecord* Record = FindImage(Image);
    if (Record == nullptr || Width <= 0 || Height <= 0)
        return;
    int64_t Left = std::max<int64_t>(X, 0);
    int64_t Top = std::max<int64_t>(Y, 0);
    int64_t Right = std::min<int64_t>(int64_t(X) + Width, Record->Width);
    int64_t Bottom = std::min<int64_t>(int64_t(Y) + Height, Record->Height);
    if (Left >= Right || Top >= Bottom)
        return;
    for (int64_t Row = Top; Row < Bottom; ++Row) {
        uint32_t* Line = Record->Pixels.data() + size_t(Row) * Record->Width;
        std::fill(Line + Left, Line + Right, Colour);
    }
}

void DrawImageOnImage(int Target, int Source, int X, int Y, int Width, int Height, int Opaque)
{
    ImageRecord* To = FindImage(Target);
    ImageRecord* From = FindImage(Source);
    if (To == nullptr || From == nullptr || !PictureSizeValid(Width, Height))
        return;
    // Scale first (smoothly) when the size differs, then copy or blend. The
    // buffer is kept for the next picture (a card drawn while the level strip
    // slides allocates nothing) unless it grew beyond a million pixels.
    static thread_local std::vector<uint32_t> Scaled;
    const uint32_t* Pixels = From->Pixels.data();
    if (Width != From->Width || Height != From->Height) {
        Scaled.resize(size_t(Width) * Height);
        ResamplePixels(From->Pixels.data(), From->Width, From->Height, Scaled.data(), Width, Height, 0);
        Pixels = Scaled.data();
    }
    int Left = std::max(X, 0);
    int Top = std::max(Y, 0);
    int64_t Right = std::min<int64_t>(int64_t(X) + Width, To->Width);
    int64_t Bottom = std::min<int64_t>(int64_t(Y) + Height, To->Height);
    for (int64_t Row = Top; Row < Bottom; ++Row) {
        const uint32_t* In = Pixels + size_t(Row - Y) * Width + (Left - X);
        uint32_t* Out = To->Pixels.data() + size_t(Row) * To->Width + Left;
        int64_t Count = Right - Left;
        if (Opaque) {
            std::copy(In, In + Count, Out);
            continue;
        }
        for (int64_t I = 0; I < Count; ++I)
            Out[I] = BlendOver(Out[I], In[I], In[I] & 255);
    }
    if (Scaled.capacity() > KeptScalePixels)
        std::vector<uint32_t>().swap(Scaled);
}

// The resampler is ours for its pixels: SDL's stretch is no faster on any
// figure the project tracks (bench/library_vs_own.txt), but it would change
// every picture. For the benchmark (bench/run) only: KISTORA_SDL_RESAMPLE=1 resamples with
// SDL_SoftStretchLinear instead, the library's bilinear stretch (no area
// average when shrinking, colours not weighted by alpha: other pixels), so
// the two can be measured side by side. 1 when it did.
static int ResampleWithSdl(const uint32_t* Source, int SourceWidth, int SourceHeight, uint32_t* Target, int TargetWidth,
                           int TargetHeight, int AlphaShift)
{
    static const int Chosen = [] {
        const char* Value = std::getenv("KISTORA_SDL_RESAMPLE");
        return Value != nullptr && std::strcmp(Value, "1") == 0;
    }();
    if (!Chosen)
        return 0;
    Uint32 Format = AlphaShift == 0 ? SDL_PIXELFORMAT_RGBA8888 : SDL_PIXELFORMAT_ARGB8888;
    SDL_Surface* From = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(Source), SourceWidth, SourceHeight, 32,
                                                           SourceWidth * 4, Format);
    SDL_Surface* To =
        SDL_CreateRGBSurfaceWithFormatFrom(Target, TargetWidth, TargetHeight, 32, TargetWidth * 4, Format);
    int Done = From != nullptr && To != nullptr && SDL_SoftStretchLinear(From, nullptr, To, nullptr) == 0;
    SDL_FreeSurface(From);
    SDL_FreeSurface(To);
    return Done;
}

void ResamplePixels(const uint32_t* Source, int SourceWidth, int SourceHeight, uint32_t* Target, int TargetWidth,
                    int TargetHeight, int AlphaShift)
{
    if (ResampleWithSdl(Source, SourceWidth, SourceHeight, Target, TargetWidth, TargetHeight, AlphaShift))
        return;
    // The three colour bytes sit at the shifts that are not the alpha's.
    int Shifts[3];
    for (int S = 0, N = 0; S < 32; S += 8)
        if (S != AlphaShift)
            Shifts[N++] = S;

    // The working rows and weights are kept by each thread for its next
    // picture: resampling allocates nothing once they are big enough.
    static thread_local std::vector<int> FirstX, CountX, FirstY, CountY, RowInRing;
    static thread_local std::vector<float> WeightsX, WeightsY, Ring, Sum;
    int StrideX = 0, StrideY = 0;
    ComputeContributions(SourceWidth, TargetWidth, FirstX, CountX, WeightsX, &StrideX);
    ComputeContributions(SourceHeight, TargetHeight, FirstY, CountY, WeightsY, &StrideY);

    // Horizontal pass into premultiplied floats (4 per pixel: c0, c1, c2,
    // alpha), one source row at a time, kept in a ring of StrideY rows: the
    // rows one target row needs always lie within StrideY of each other.
    Ring.assign(size_t(TargetWidth) * StrideY * 4, 0.0f);
    RowInRing.assign(size_t(StrideY), -1);
    auto WideRow = [&](int Row) -> const float* {
        float* Out = Ring.data() + size_t(Row % StrideY) * TargetWidth * 4;
        if (RowInRing[size_t(Row % StrideY)] == Row)
            return Out;
        RowInRing[size_t(Row % StrideY)] = Row;
        const uint32_t* In = Source + size_t(Row) * SourceWidth;
        for (int X = 0; X < TargetWidth; ++X) {
            float C0 = 0, C1 = 0, C2 = 0, A = 0;
            const float* W = WeightsX.data() + size_t(X) * StrideX;
            for (int K = 0; K < CountX[size_t(X)]; ++K) {
                uint32_t P = In[FirstX[size_t(X)] + K];
                float Alpha = float((P >> AlphaShift) & 255);
                float Wa = W[K] * Alpha;
                C0 += Wa * float((P >> Shifts[0]) & 255);
                C1 += Wa * float((P >> Shifts[1]) & 255);
                C2 += Wa * float((P >> Shifts[2]) & 255);
                A += Wa;
            }
            Out[X * 4 + 0] = C0;
            Out[X * 4 + 1] = C1;
            Out[X * 4 + 2] = C2;
            Out[X * 4 + 3] = A;
        }
        return Out;
    };

    // Vertical pass, then back to straight alpha and bytes.
    Sum.assign(size_t(TargetWidth) * 4, 0.0f);
    for (int Y = 0; Y < TargetHeight; ++Y) {
        std::fill(Sum.begin(), Sum.end(), 0.0f);
        const float* W = WeightsY.data() + size_t(Y) * StrideY;
        for (int K = 0; K < CountY[size_t(Y)]; ++K) {
            const float* In = WideRow(FirstY[size_t(Y)] + K);
            float Weight = W[K];
            for (size_t I = 0; I < Sum.size(); ++I)
                Sum[I] += Weight * In[I];
        }
        uint32_t* Out = Target + size_t(Y) * TargetWidth;
        for (int X = 0; X < TargetWidth; ++X) {
            float A = Sum[size_t(X) * 4 + 3];
            uint32_t Pixel = 0;
            if (A > 0.0f) {
                float Scale = 1.0f / A;
                for (int C = 0; C < 3; ++C) {
                    long V = std::lround(Sum[size_t(X) * 4 + size_t(C)] * Scale);
                    Pixel |= uint32_t(std::clamp(V, 0L, 255L)) << Shifts[C];
                }
                Pixel |= uint32_t(std::clamp(std::lround(A), 0L, 255L)) << AlphaShift;
            }
            Out[X] = Pixel;
        }
    }
}

// The work of one QueueImageDecode: decode, then resample to the wanted size
// the way ResizeImage does, so the picture arrives as it will be used.
static void DecodeOnWorker(void* Argument)
{
    DecodeRecord& Record = *static_cast<DecodeRecord*>(Argument);
    Record.Ok = DecodePng(Record.Data, Record.Size, Record.Pixels, &Record.Width, &Record.Height, &Record.HasAlpha);
    if (!Record.Ok || Record.WantWidth == 0)
        return;
    int Width = Record.WantWidth, Height = Record.WantHeight;
    if (Height == 0) {
        // As wide as wanted, the height in proportion; a picture already that
        // wide keeps its own height.
        if (Record.Width == Width)
            return;
        long Scaled = std::lround(double(Record.Height) / double(Record.Width) * double(Width));
        Height = Scaled < 1 ? 1 : int(Scaled);
    }
    if (Width == Record.Width && Height == Record.Height)
        return;
    if (!PictureSizeValid(Width, Height)) {
        Record.Ok = 0;
        return;
    }
    std::vector<uint32_t> Resized(size_t(Width) * Height);
    ResamplePixels(Record.Pixels.data(), Record.Width, Record.Height, Resized.data(), Width, Height, 0);
    Record.Pixels.swap(Resized);
    Record.Width = Width;
    Record.Height = Height;
}

// A free record (reusing one whose buffer is big enough) sized Width x Height;
// the pixels are left as they come. Handle or 0.
static int NewImage(int Width, int Height)
{
    if (!PictureSizeValid(Width, Height))
        return 0;
    size_t Needed = size_t(Width) * Height;
    size_t Best = 0;
    for (size_t I = 1; I < Images.size(); ++I) {
        if (Images[I].InUse)
            continue;
        if (Best == 0 || (Images[I].Pixels.capacity() >= Needed && Images[Best].Pixels.capacity() < Needed))
            Best = I;
    }
    if (Best == 0) {
        Images.emplace_back();
        Best = Images.size() - 1;
    }
    ImageRecord& Record = Images[Best];
    Record.Pixels.resize(Needed);
    Record.InUse = 1;
    Record.Width = Width;
    Record.Height = Height;
    Record.HasAlpha = 1;
    return int(Best);
}

// Weights for one axis: target cell T takes Count[T] source cells from
// First[T] on, with weights at Weights[T * Stride ...] that sum to 1. Shrinking
// averages the source area under each target cell; growing interpolates
// linearly between the two nearest source cells.
static void ComputeContributions(int SourceSize, int TargetSize, std::vector<int>& First, std::vector<int>& Count,
                                 std::vector<float>& Weights, int* Stride)
{
    double Scale = double(SourceSize) / double(TargetSize);
    int MaxTaps = int(std::ceil(Scale)) + 2;
    *Stride = MaxTaps;
    First.assign(size_t(TargetSize), 0);
    Count.assign(size_t(TargetSize), 0);
    Weights.assign(size_t(TargetSize) * MaxTaps, 0.0f);
    for (int T = 0; T < TargetSize; ++T) {
        float* W = Weights.data() + size_t(T) * MaxTaps;
        int Low = 0, High = 0;
        if (Scale > 1.0) {
            double From = T * Scale, To = (T + 1) * Scale;
            Low = std::clamp(int(std::floor(From)), 0, SourceSize - 1);
            High = std::clamp(int(std::ceil(To)) - 1, Low, SourceSize - 1);
            High = std::min(High, Low + MaxTaps - 1);
            for (int S = Low; S <= High; ++S)
                W[S - Low] = float(std::max(0.0, std::min(To, S + 1.0) - std::max(From, double(S))));
        } else {
            double Centre = (T + 0.5) * Scale - 0.5;
            Low = int(std::floor(Centre));
            double Fraction = Centre - Low;
            High = Low + 1;
            W[0] = float(1.0 - Fraction);
            W[1] = float(Fraction);
            if (Low < 0) { // before the first cell: the first cell alone
                Low = High = 0;
                W[0] = 1.0f;
            } else if (High > SourceSize - 1) {
                High = Low = SourceSize - 1;
                W[0] = 1.0f;
            }
        }
        double Total = 0.0;
        for (int S = Low; S <= High; ++S)
            Total += W[S - Low];
        if (Total <= 0.0) {
            W[0] = 1.0f;
            High = Low;
            Total = 1.0;
        }
        for (int S = Low; S <= High; ++S)
            W[S - Low] = float(W[S - Low] / Total);
        First[size_t(T)] = Low;
        Count[size_t(T)] = High - Low + 1;
    }
}
