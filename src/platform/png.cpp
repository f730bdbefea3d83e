// PNG decoding and encoding with libpng's simplified API (no setjmp here:
// libpng keeps its error jump inside png_image_* and reports failure by result).
#include "platform/platform.h"
#include "platform/video_internal.h"

#include <cstring>
#include <png.h>

// libpng names formats by the byte order in memory. Our pixels are 32-bit
// words 0xRRGGBBAA, so on a little-endian machine their bytes are A, B, G, R.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
static constexpr png_uint_32 WordFormatRgba = PNG_FORMAT_ABGR;
#else
static constexpr png_uint_32 WordFormatRgba = PNG_FORMAT_RGBA;
#endif

// The most pixels a PNG file may decode to: 48 MiB as 32-bit words, a 4K
// picture with room to spare. A header claiming more (65535 x 65535, or a
// small file claiming a huge picture) is refused before anything is allocated.
static constexpr int64_t MaxDecodedPixels = int64_t(12) << 20;

// Reads the header of PNG bytes into Image. 1, or 0 when they are no PNG.
static int BeginPng(const uint8_t* Data, size_t Size, png_image* Image)
{
    if (Data == nullptr || Size < 8 || png_sig_cmp(Data, 0, 8) != 0)
        return 0;
    std::memset(Image, 0, sizeof(*Image));
    Image->version = PNG_IMAGE_VERSION;
    return png_image_begin_read_from_memory(Image, Data, Size) ? 1 : 0;
}

int PictureSizeValid(int Width, int Height)
{
    if (Width <= 0 || Height <= 0 || Width > MaxPictureSide || Height > MaxPictureSide)
        return 0;
    return int64_t(Width) * Height <= MaxPicturePixels ? 1 : 0;
}

int DecodePng(const uint8_t* Data, size_t Size, std::vector<uint32_t>& Pixels, int* Width, int* Height, int* HasAlpha)
{
    Pixels.clear();
    *Width = 0;
    *Height = 0;
    *HasAlpha = 0;
    png_image Image;
    if (!BeginPng(Data, Size, &Image))
        return 0;
    if (!PictureSizeValid(int(Image.width > 0x7fffffff ? 0 : Image.width),
                          int(Image.height > 0x7fffffff ? 0 : Image.height)) ||
        int64_t(Image.width) * Image.height > MaxDecodedPixels) {
        png_image_free(&Image);
        return 0;
    }
    int FileHasAlpha = (Image.format & PNG_FORMAT_FLAG_ALPHA) ? 1 : 0;
    Image.format = WordFormatRgba;
    Pixels.resize(size_t(Image.width) * Image.height);
    // No background colour: transparency stays in the alpha byte. libpng turns
    // palettes, grey, tRNS and 16-bit samples into 8-bit RGBA on the way.
    if (!png_image_finish_read(&Image, nullptr, Pixels.data(), int(Image.width * 4), nullptr)) {
        png_image_free(&Image);
        Pixels.clear();
        Pixels.shrink_to_fit();
        return 0;
    }
    *Width = int(Image.width);
    *Height = int(Image.height);
    *HasAlpha = FileHasAlpha;
    return 1;
}

int PngPictureSize(const uint8_t* Data, size_t Size, int* Width, int* Height)
{
    *Width = 0;
    *Height = 0;
    png_image Image;
    if (!BeginPng(Data, Size, &Image))
        return 0;
    int Ok = Image.width <= 0x7fffffff && Image.height <= 0x7fffffff;
    if (Ok) {
        *Width = int(Image.width);
        *Height = int(Image.height);
    }
    png_image_free(&Image);
    return Ok;
}

int EncodePng(const uint32_t* Pixels, int Width, int Height, int WithAlpha, std::vector<uint8_t>& Bytes)
{
    Bytes.clear();
    if (Pixels == nullptr || !PictureSizeValid(Width, Height))
        return 0;
    // RGB output needs packed 3-byte rows; RGBA output reads our words directly.
    std::vector<uint8_t> Packed;
    const void* Rows = Pixels;
    int RowBytes = Width * 4;
    png_image Image;
    std::memset(&Image, 0, sizeof(Image));
    Image.version = PNG_IMAGE_VERSION;
    Image.width = png_uint_32(Width);
    Image.height = png_uint_32(Height);
    if (WithAlpha) {
        Image.format = WordFormatRgba;
    } else {
        Image.format = PNG_FORMAT_RGB;
        RowBytes = Width * 3;
        Packed.resize(size_t(RowBytes) * Height);
        uint8_t* Out = Packed.data();
        size_t Count = size_t(Width) * Height;
        for (size_t I = 0; I < Count; ++I) {
            uint32_t P = Pixels[I];
            *Out++ = uint8_t(P >> 24);
            *Out++ = uint8_t(P >> 16);
            *Out++ = uint8_t(P >> 8);
        }
        Rows = Packed.data();
    }
    png_alloc_size_t Needed = 0;
    if (!png_image_write_to_memory(&Image, nullptr, &Needed, 0, Rows, RowBytes, nullptr) || Needed == 0)
        return 0;
    Bytes.resize(Needed);
    if (!png_image_write_to_memory(&Image, Bytes.data(), &Needed, 0, Rows, RowBytes, nullptr)) {
        Bytes.clear();
        return 0;
    }
    Bytes.resize(Needed);
    return 1;
}
