// Fuzzes the sound decoders (RIFF WAV and Ogg Vorbis from memory) and plays
// whatever decodes through the mixer. Nothing may read out of bounds, and a
// sound that loads must have at least one frame.
#include "platform/platform.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    // Exactly Size bytes of its own, so any overread is caught.
    std::vector<uint8_t> Copy(Data, Data + Size);
    if (LoadSoundFromMemory(0, Copy.data(), Copy.size())) {
        if (SoundFrames(0) <= 0) __builtin_trap();
        int Channel = PlaySound(0, 1);
        static std::vector<int16_t> Out(2 * 4096);
        MixInto(Out.data(), 4096);
        StopChannel(Channel);
    }
    return 0;
}
