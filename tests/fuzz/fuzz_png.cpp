// Fuzzes PNG decoding as the game does it for every picture: the header
// query, then the decoder. A picture that decodes has the size its header
// claims and pixels for all of it.
#include "platform/platform.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    // Exactly Size bytes of its own, so any overread is caught.
    std::vector<uint8_t> Copy(Data, Data + Size);
    int Width = 0, Height = 0;
    int Known = PngPictureSize(Copy.data(), Copy.size(), &Width, &Height);
    int Image = LoadImagePng(Copy.data(), Copy.size());
    if (Image != 0) {
        if (!Known || ImageWidth(Image) != Width || ImageHeight(Image) != Height)
            __builtin_trap();
        const uint32_t* Pixels = ImagePixels(Image);
        if (Pixels == nullptr)
            __builtin_trap();
        volatile uint32_t Sum = 0;
        Sum = Sum + Pixels[0] + Pixels[size_t(Width) * size_t(Height) - 1];
        FreeImage(Image);
    }
    return 0;
}
