// Cost of loading sounds: an effect decoded whole, the music opened for streaming.
#include "display/display.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>

namespace {

// A 16-bit PCM WAV of Frames frames holding a 440 Hz tone.
std::vector<uint8_t> ToneWav(int Channels, int Rate, int Frames)
{
    auto Le = [](std::vector<uint8_t>& Out, uint32_t Value, int Bytes) {
        for (int I = 0; I < Bytes; I++) {
            Out.push_back(uint8_t(Value >> (8 * I)));
        }
    };
    std::vector<uint8_t> Wav;
    Wav.reserve(44 + size_t(Frames) * size_t(Channels) * 2);
    Wav.insert(Wav.end(), {'R', 'I', 'F', 'F'});
    Le(Wav, uint32_t(36 + Frames * Channels * 2), 4);
    Wav.insert(Wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Le(Wav, 16, 4);
    Le(Wav, 1, 2);
    Le(Wav, uint32_t(Channels), 2);
    Le(Wav, uint32_t(Rate), 4);
    Le(Wav, uint32_t(Rate * Channels * 2), 4);
    Le(Wav, uint32_t(Channels * 2), 2);
    Le(Wav, 16, 2);
    Wav.insert(Wav.end(), {'d', 'a', 't', 'a'});
    Le(Wav, uint32_t(Frames * Channels * 2), 4);
    for (int Frame = 0; Frame < Frames; Frame++) {
        int16_t Value = int16_t(12000 * std::sin(Frame * 2 * 3.14159265 * 440 / Rate));
        for (int C = 0; C < Channels; C++) {
            Le(Wav, uint16_t(Value), 2);
        }
    }
    return Wav;
}

// One second of 22.05 kHz mono WAV, converted to the 44.1 kHz stereo output.
void DecodeWavSecond(benchmark::State& State)
{
    auto Wav = ToneWav(1, 22050, 22050);
    for (auto _ : State) {
        benchmark::DoNotOptimize(LoadSoundFromMemory(5, Wav.data(), Wav.size()));
    }
}
BENCHMARK(DecodeWavSecond);

// The menu music of the built asset archive (as at start-up).
void DecodeBuiltMusic(benchmark::State& State)
{
    std::string Path = std::string(KISTORA_GAME_DIR) + "/Kistora.data";
    std::vector<uint8_t> Bytes(15728640);
    int64_t Size = -1;
    if (std::filesystem::exists(Path)) {
        int Archive = OpenArchive(Path);
        if (Archive > 0) {
            Size = ExtractEntry(Archive, "music1.ogg", Bytes.data(), Bytes.size());
            CloseArchive(Archive);
        }
    }
    if (Size <= 0) {
        State.SkipWithError("no built Kistora.data with music1.ogg");
        return;
    }
    for (auto _ : State) {
        benchmark::DoNotOptimize(LoadSoundFromMemory(6, Bytes.data(), size_t(Size)));
    }
}
BENCHMARK(DecodeBuiltMusic)->Unit(benchmark::kMillisecond);

} // namespace

// The sounds load into the open mixer, on SDL's silent driver.
int main(int Argc, char** Argv)
{
    Overrides.Headless = 1;
    if (!PlatformInit() || !InitSound())
        return 1;
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PlatformShutdown();
    return 0;
}
