// kistora-synth SCORE OUTPUT        renders a score (.ogg for music, .wav for effects)
// kistora-synth --cut SCORE OUTPUT  renders music without wrapping its tails (a deliberately bad loop)
// kistora-synth --check FILE...     checks built files; exit status 1 when one fails
#include <chrono>
#include <cstdio>
#include <cstring>

#include "synth.h"

static int Render(const std::string& ScorePath, const std::string& OutPath, int WrapTails);

int main(int Argc, char** Argv)
{
    if (Argc >= 3 && std::strcmp(Argv[1], "--check") == 0) {
        CheckLimits Limits;
        int Ok = 1;
        for (int I = 2; I < Argc; I++)
            Ok &= CheckAudioFile(Argv[I], Limits);
        return Ok ? 0 : 1;
    }
    if (Argc == 4 && std::strcmp(Argv[1], "--cut") == 0)
        return Render(Argv[2], Argv[3], 0) ? 0 : 1;
    if (Argc == 3)
        return Render(Argv[1], Argv[2], 1) ? 0 : 1;
    std::fprintf(stderr, "usage: kistora-synth SCORE OUTPUT.ogg|OUTPUT.wav\n"
                         "       kistora-synth --cut SCORE OUTPUT.ogg\n"
                         "       kistora-synth --check FILE...\n");
    return 2;
}

static int Render(const std::string& ScorePath, const std::string& OutPath, int WrapTails)
{
    auto Began = std::chrono::steady_clock::now();
    Score S;
    std::string Error;
    if (!LoadScore(ScorePath, S, Error)) {
        std::fprintf(stderr, "kistora-synth: %s\n", Error.c_str());
        return 0;
    }
    int WantsWav = OutPath.size() > 4 && OutPath.compare(OutPath.size() - 4, 4, ".wav") == 0;
    if (WantsWav != S.IsEffect) {
        std::fprintf(stderr, "kistora-synth: %s: effects are written as .wav, music as .ogg\n", ScorePath.c_str());
        return 0;
    }
    std::vector<float> Stereo;
    double GainDb = RenderScore(S, WrapTails, Stereo);
    int Ok = S.IsEffect ? WriteWav16(OutPath, Stereo) : WriteOggVorbis(OutPath, Stereo, S.Quality);
    double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
    if (!Ok) {
        std::fprintf(stderr, "kistora-synth: cannot write %s\n", OutPath.c_str());
        return 0;
    }
    std::printf("kistora-synth: %s: %zu notes, %lld frames (%.2f s of sound), normalised by %+.1f dB, in %.2f s\n",
                OutPath.c_str(), S.Notes.size(), static_cast<long long>(S.LengthSamples),
                double(S.LengthSamples) / SynthRate, GainDb, Seconds);
    return 1;
}
