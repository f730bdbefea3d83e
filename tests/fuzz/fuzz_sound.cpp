// Fuzzes the sound loading the game owns: telling WAV from Ogg Vorbis, the
// checks that refuse damaged files and sounds beyond the game's rates and
// lengths, then SDL_mixer's decoding behind them, and plays what loads (a
// stream whose audio cannot start loads and plays on no channel: handle 0).
// Nothing may read out of bounds, and no input may take more than the
// memory limit (a WAV at 1 Hz would, once converted to 44.1 kHz).
#include "platform/platform.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static const int Started = [] {
        Overrides.Headless = 1;
        return PlatformInit() && InitSound();
    }();
    if (!Started)
        __builtin_trap();
    // Exactly Size bytes of its own, so any overread is caught.
    std::vector<uint8_t> Copy(Data, Data + Size);
    if (LoadSoundFromMemory(0, Copy.data(), Copy.size()))
        StopChannel(PlaySound(0, 1));
    return 0;
}
