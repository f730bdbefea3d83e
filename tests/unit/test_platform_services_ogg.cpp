// Ogg Vorbis decoding of the game's own music, taken from the built asset
// archive (skipped until the content has been built), and damaged copies of it.
#include "display/display.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>

// Shutdown call the platform keeps for itself (its internal header pulls in SDL).
void SoundShutdown();

namespace {

// The music entry of the built Kistora.data, or empty when there is none.
std::vector<uint8_t> BuiltMusic(const char* Name)
{
    std::string Path = std::string(KISTORA_GAME_DIR) + "/Kistora.data";
    if (!std::filesystem::exists(Path)) {
        return {};
    }
    int Archive = OpenArchive(Path);
    if (Archive <= 0) {
        return {};
    }
    std::vector<uint8_t> Bytes(15728640);
    int64_t Size = ExtractEntry(Archive, Name, Bytes.data(), Bytes.size());
    CloseArchive(Archive);
    Bytes.resize(Size > 0 ? size_t(Size) : 0);
    return Bytes;
}

} // namespace

TEST(PlatformOgg, BuiltMusicDecodesToStereoAtMixRate)
{
    std::string Path = std::string(KISTORA_GAME_DIR) + "/Kistora.data";
    if (!std::filesystem::exists(Path)) {
        GTEST_SKIP() << "no built " << Path;
    }
    SoundShutdown();
    std::vector<uint8_t> Music = BuiltMusic("music1.ogg");
    ASSERT_GT(Music.size(), 1000u) << "Kistora.data holds no music1.ogg";
    ASSERT_EQ(Music[0], 'O');
    ASSERT_EQ(LoadSoundFromMemory(0, Music.data(), Music.size()), 1);
    int64_t Frames = SoundFrames(0);
    // Loop tracks of a few seconds to a few minutes.
    EXPECT_GT(Frames, 44100);
    EXPECT_LT(Frames, 44100 * 600);
    // Not silence: some sample of the first ten seconds is well above the noise floor.
    const int16_t* Samples = SoundSamples(0);
    int Peak = 0;
    for (int64_t I = 0; I < std::min<int64_t>(Frames, 441000) * 2; I++) {
        Peak = std::max(Peak, std::abs(int(Samples[I])));
    }
    EXPECT_GT(Peak, 1000);

    // A looped track plays on past its end without a gap.
    int Channel = PlaySound(0, 1);
    std::vector<int16_t> Out(size_t(Frames + 100) * 2);
    MixInto(Out.data(), int(Frames + 100));
    EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying);
    for (int64_t I = 0; I < 200; I++) {
        ASSERT_EQ(Out[size_t(Frames * 2 + I)], Samples[I]) << I;
    }

    // Damaged copies: the header pages cut short, the identification header
    // garbled. Neither loads, and neither touches the loaded sound.
    std::vector<uint8_t> Cut(Music.begin(), Music.begin() + 200);
    EXPECT_EQ(LoadSoundFromMemory(0, Cut.data(), Cut.size()), 0);
    std::vector<uint8_t> Garbled = Music;
    for (size_t I = 28; I < 60; I++) {
        Garbled[I] ^= 0xA5;
    }
    EXPECT_EQ(LoadSoundFromMemory(0, Garbled.data(), Garbled.size()), 0);
    EXPECT_EQ(SoundFrames(0), Frames);
    SoundShutdown();
}
