// Ogg Vorbis decoding of the game's own music, taken from the built asset
// archive (skipped until the content has been built), and damaged copies of it.
#include "display/display.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Every frame of sound Number, read the way a channel playing it from its start gets them.
std::vector<int16_t> AllFrames(int Number)
{
    std::vector<int16_t> Samples(size_t(SoundFrames(Number)) * 2);
    int64_t Got = ReadSoundFrames(Number, 0, Samples.data(), SoundFrames(Number));
    Samples.resize(size_t(std::max<int64_t>(Got, 0)) * 2);
    return Samples;
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
    // The music stays compressed and is decoded as it plays.
    EXPECT_EQ(SoundIsStreamed(0), 1);
    int64_t Frames = SoundFrames(0);
    // Loop tracks of a few seconds to a few minutes.
    EXPECT_GT(Frames, 44100);
    EXPECT_LT(Frames, 44100 * 600);
    // Every frame the length promises is there.
    std::vector<int16_t> Samples = AllFrames(0);
    ASSERT_EQ(int64_t(Samples.size()), Frames * 2);
    // Not silence: some sample of the first ten seconds is well above the noise floor.
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

// The music decoded as it plays, through the mixer in uneven pieces, twice
// around its loop, with a pause and a restart on the way: sample for sample
// the straight decode of the whole file, and frame 0 follows the last frame.
TEST(PlatformOgg, StreamedMusicLoopsSampleExactlyThroughPauses)
{
    std::string Path = std::string(KISTORA_GAME_DIR) + "/Kistora.data";
    if (!std::filesystem::exists(Path)) {
        GTEST_SKIP() << "no built " << Path;
    }
    SoundShutdown();
    std::vector<uint8_t> Music = BuiltMusic("music2.ogg");
    ASSERT_GT(Music.size(), 1000u) << "Kistora.data holds no music2.ogg";
    ASSERT_EQ(LoadSoundFromMemory(1, Music.data(), Music.size()), 1);
    ASSERT_EQ(SoundIsStreamed(1), 1);
    const int64_t Frames = SoundFrames(1);
    const std::vector<int16_t> Straight = AllFrames(1);
    ASSERT_EQ(int64_t(Straight.size()), Frames * 2);

    // A part from the middle, read on its own, matches the same part of the whole.
    std::vector<int16_t> Middle(2 * 3000);
    ASSERT_EQ(ReadSoundFrames(1, Frames / 2, Middle.data(), 3000), 3000);
    EXPECT_TRUE(std::equal(Middle.begin(), Middle.end(), Straight.begin() + Frames / 2 * 2));

    int Channel = PlaySound(1, 1);
    ASSERT_GT(Channel, 0);
    const int64_t Total = 2 * Frames + 12345;
    int64_t Done = 0;
    int Piece = 0;
    std::vector<int16_t> Out;
    int Mismatches = 0;
    int64_t FirstMismatch = -1;
    while (Done < Total) {
        // Pieces of 1 to 70000 frames, so ring wraps, device-sized buffers and
        // long stretches all occur, and the loop point falls inside a piece.
        int Size = int(std::min<int64_t>(Total - Done, 1 + (int64_t(Piece) * 7919) % 70000));
        ++Piece;
        Out.assign(size_t(Size) * 2, 0);
        MixInto(Out.data(), Size);
        for (int64_t I = 0; I < int64_t(Size) * 2; I++) {
            int16_t Want = Straight[size_t(((Done * 2 + I) % (Frames * 2)))];
            if (Out[size_t(I)] != Want && Mismatches++ == 0) {
                FirstMismatch = Done + I / 2;
            }
        }
        Done += Size;
        // Paused now and then: silence while paused, then the very next frame.
        if (Piece % 5 == 0) {
            PauseChannel(Channel);
            EXPECT_EQ(ChannelStatus(Channel), ChannelPaused);
            std::vector<int16_t> Quiet(2 * 500, 1);
            MixInto(Quiet.data(), 500);
            EXPECT_TRUE(std::all_of(Quiet.begin(), Quiet.end(), [](int16_t V) { return V == 0; }));
            ResumeChannel(Channel);
        }
    }
    EXPECT_EQ(Mismatches, 0) << "first differing frame " << FirstMismatch << " of " << Frames;
    EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying);

    // Played once, the stream ends after its last frame and the channel stops.
    StopChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelStopped);
    int Once = PlaySound(1, 0);
    std::vector<int16_t> Rest(size_t(Frames + 50) * 2, 7);
    MixInto(Rest.data(), int(Frames + 50));
    EXPECT_EQ(ChannelStatus(Once), ChannelStopped);
    EXPECT_TRUE(std::equal(Straight.begin(), Straight.end(), Rest.begin()));
    EXPECT_TRUE(std::all_of(Rest.begin() + Frames * 2, Rest.end(), [](int16_t V) { return V == 0; }));
    SoundShutdown();
}
