// Sound decoding (WAV built here byte by byte, damaged files) and the mixer,
// checked sample by sample through MixInto with no audio device open.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

// Shutdown calls the platform keeps for itself (its internal header pulls in SDL).
void SoundShutdown();

namespace {

struct WavShape {
    int Channels = 2;
    int Rate = 44100;
    int Bits = 16;
    int Tag = 1;
};

void PutLe16(std::vector<uint8_t>& Out, unsigned Value)
{
    Out.push_back(uint8_t(Value));
    Out.push_back(uint8_t(Value >> 8));
}

void PutLe32(std::vector<uint8_t>& Out, uint32_t Value)
{
    for (int Shift = 0; Shift < 32; Shift += 8) {
        Out.push_back(uint8_t(Value >> Shift));
    }
}

void PutTag(std::vector<uint8_t>& Out, const char* Tag)
{
    Out.insert(Out.end(), Tag, Tag + 4);
}

// Sample(frame, channel) gives the value to store (already in the sample's own range).
std::vector<uint8_t> MakeWav(const WavShape& Shape, int Frames, const std::function<int(int, int)>& Sample,
                             const std::vector<uint8_t>& ExtraChunkBeforeData = {})
{
    int BlockAlign = Shape.Channels * Shape.Bits / 8;
    std::vector<uint8_t> Body;
    Body.reserve(64 + ExtraChunkBeforeData.size() + size_t(Frames) * size_t(BlockAlign > 0 ? BlockAlign : 1));
    PutTag(Body, "WAVE");
    PutTag(Body, "fmt ");
    PutLe32(Body, 16);
    PutLe16(Body, unsigned(Shape.Tag));
    PutLe16(Body, unsigned(Shape.Channels));
    PutLe32(Body, uint32_t(Shape.Rate));
    PutLe32(Body, uint32_t(Shape.Rate * BlockAlign));
    PutLe16(Body, unsigned(BlockAlign));
    PutLe16(Body, unsigned(Shape.Bits));
    Body.insert(Body.end(), ExtraChunkBeforeData.begin(), ExtraChunkBeforeData.end());
    PutTag(Body, "data");
    PutLe32(Body, uint32_t(Frames * BlockAlign));
    for (int Frame = 0; Frame < Frames; Frame++) {
        for (int Channel = 0; Channel < Shape.Channels; Channel++) {
            int Value = Sample(Frame, Channel);
            if (Shape.Bits == 8) {
                Body.push_back(uint8_t(Value));
            } else {
                PutLe16(Body, unsigned(uint16_t(int16_t(Value))));
            }
        }
    }
    std::vector<uint8_t> File;
    File.reserve(Body.size() + 8);
    PutTag(File, "RIFF");
    PutLe32(File, uint32_t(Body.size()));
    File.insert(File.end(), Body.begin(), Body.end());
    return File;
}

int Load(int Number, const std::vector<uint8_t>& Bytes)
{
    return LoadSoundFromMemory(Number, Bytes.data(), Bytes.size());
}

// A 16-bit stereo 44.1 kHz sound whose left sample is Left(frame) and right -Left(frame).
std::vector<uint8_t> MakeStereo(int Frames, const std::function<int(int)>& Left)
{
    return MakeWav(WavShape{}, Frames, [&](int Frame, int Channel) { return Channel == 0 ? Left(Frame) : -Left(Frame); });
}

std::vector<int16_t> Mix(int Frames)
{
    std::vector<int16_t> Out(size_t(Frames) * 2, 12345);
    MixInto(Out.data(), Frames);
    return Out;
}

class PlatformSound : public ::testing::Test {
protected:
    void SetUp() override { SoundShutdown(); }     // no device: the tests drive the mixer
    void TearDown() override { SoundShutdown(); }
};

} // namespace

TEST_F(PlatformSound, WavAtMixRateIsKeptSampleForSample)
{
    auto Wav = MakeStereo(300, [](int Frame) { return Frame * 100 - 15000; });
    ASSERT_EQ(Load(0, Wav), 1);
    ASSERT_EQ(SoundFrames(0), 300);
    const int16_t* S = SoundSamples(0);
    ASSERT_NE(S, nullptr);
    for (int Frame = 0; Frame < 300; Frame++) {
        ASSERT_EQ(S[2 * Frame], Frame * 100 - 15000) << Frame;
        ASSERT_EQ(S[2 * Frame + 1], -(Frame * 100 - 15000)) << Frame;
    }
}

TEST_F(PlatformSound, WavIsResampledToMixRateAndSpreadToStereo)
{
    // 16-bit mono at 22050 Hz: twice the frames, the ramp kept (away from its ends,
    // where the converter's filter has nothing on one side), both sides equal.
    WavShape Mono{1, 22050, 16, 1};
    auto Wav = MakeWav(Mono, 100, [](int Frame, int) { return Frame * 200; });
    ASSERT_EQ(Load(1, Wav), 1);
    EXPECT_NEAR(SoundFrames(1), 200, 4);
    const int16_t* S = SoundSamples(1);
    // The converter's filter may shade the level by a fraction of a percent.
    for (int Frame = 10; Frame < 90; Frame++) {
        EXPECT_NEAR(S[4 * Frame], Frame * 200, 30 + Frame * 2) << Frame;
        EXPECT_NEAR(S[4 * Frame + 2], Frame * 200 + 100, 30 + Frame * 2) << Frame;
        EXPECT_EQ(S[4 * Frame], S[4 * Frame + 1]) << Frame;
    }

    // 8-bit unsigned mono at 11025 Hz: four times the frames, 128 is silence,
    // 255 and 0 the two extremes.
    WavShape Byte{1, 11025, 8, 1};
    auto Wav8 = MakeWav(Byte, 120, [](int Frame, int) { return Frame < 40 ? 128 : (Frame < 80 ? 255 : 0); });
    ASSERT_EQ(Load(2, Wav8), 1);
    EXPECT_NEAR(SoundFrames(2), 480, 8);
    const int16_t* B = SoundSamples(2);
    EXPECT_NEAR(B[2 * 80], 0, 300);
    EXPECT_NEAR(B[2 * 240], 127 * 256, 400);
    EXPECT_NEAR(B[2 * 400], -32768, 400);

    // 48 kHz stereo: one second stays one second, each side its own value.
    WavShape Fast{2, 48000, 16, 1};
    auto Wav48 = MakeWav(Fast, 48000, [](int, int Channel) { return Channel == 0 ? 1000 : -1000; });
    ASSERT_EQ(Load(3, Wav48), 1);
    EXPECT_NEAR(SoundFrames(3), 44100, 8);
    EXPECT_NEAR(SoundSamples(3)[2 * 22050], 1000, 5);
    EXPECT_NEAR(SoundSamples(3)[2 * 22050 + 1], -1000, 5);
}

TEST_F(PlatformSound, WavChunksBeforeDataAndExtensibleFormatAreRead)
{
    // An odd-sized LIST chunk (with its pad byte) between "fmt " and "data".
    std::vector<uint8_t> List;
    PutTag(List, "LIST");
    PutLe32(List, 5);
    List.insert(List.end(), {'I', 'N', 'F', 'O', 'x', 0});
    auto WithList = MakeWav(WavShape{}, 10, [](int Frame, int Channel) { return Channel == 0 ? Frame + 1 : -(Frame + 1); },
                            List);
    ASSERT_EQ(Load(4, WithList), 1);
    ASSERT_EQ(SoundFrames(4), 10);
    EXPECT_EQ(SoundSamples(4)[18], 10);

    // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
    std::vector<uint8_t> Ext;
    PutTag(Ext, "RIFF");
    PutLe32(Ext, 0);
    PutTag(Ext, "WAVE");
    PutTag(Ext, "fmt ");
    PutLe32(Ext, 40);
    PutLe16(Ext, 0xFFFE);
    PutLe16(Ext, 2);
    PutLe32(Ext, 44100);
    PutLe32(Ext, 44100 * 4);
    PutLe16(Ext, 4);
    PutLe16(Ext, 16);
    PutLe16(Ext, 22);
    PutLe16(Ext, 16);
    PutLe32(Ext, 3);
    // KSDATAFORMAT_SUBTYPE_PCM: 00000001-0000-0010-8000-00AA00389B71.
    Ext.insert(Ext.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    PutTag(Ext, "data");
    PutLe32(Ext, 8);
    PutLe16(Ext, 7);
    PutLe16(Ext, uint16_t(-7));
    PutLe16(Ext, 9);
    PutLe16(Ext, uint16_t(-9));
    uint32_t RiffSize = uint32_t(Ext.size() - 8);
    std::memcpy(Ext.data() + 4, &RiffSize, 4);
    ASSERT_EQ(Load(5, Ext), 1);
    ASSERT_EQ(SoundFrames(5), 2);
    EXPECT_EQ(SoundSamples(5)[2], 9);
    EXPECT_EQ(SoundSamples(5)[3], -9);
}

TEST_F(PlatformSound, DamagedWavIsRejected)
{
    auto Good = MakeStereo(64, [](int Frame) { return Frame; });
    ASSERT_EQ(Load(6, Good), 1);

    auto Patched = [&](size_t Offset, std::vector<uint8_t> Bytes) {
        auto Copy = Good;
        std::copy(Bytes.begin(), Bytes.end(), Copy.begin() + long(Offset));
        return Copy;
    };
    // Offsets: 4 RIFF size, 20 tag, 22 channels, 24 rate, 32 block align, 34 bits, 40 data size.
    EXPECT_EQ(Load(7, Patched(4, {0xFF, 0xFF, 0xFF, 0x7F})), 0) << "RIFF size past the end";
    EXPECT_EQ(Load(7, Patched(40, {0xF0, 0xFF, 0xFF, 0xFF})), 0) << "absurd data size";
    EXPECT_EQ(Load(7, Patched(40, {0x04, 0x01, 0, 0})), 0) << "data chunk runs past the file";
    EXPECT_EQ(Load(7, Patched(20, {3, 0})), 0) << "float samples";
    EXPECT_EQ(Load(7, Patched(22, {0, 0})), 0) << "no channels";
    EXPECT_EQ(Load(7, Patched(22, {6, 0})), 0) << "six channels";
    EXPECT_EQ(Load(7, Patched(24, {0, 0, 0, 0})), 0) << "rate 0";
    EXPECT_EQ(Load(7, Patched(24, {0, 0, 0, 0x40})), 0) << "absurd rate";
    EXPECT_EQ(Load(7, Patched(32, {3, 0})), 0) << "block align disagrees";
    EXPECT_EQ(Load(7, Patched(34, {24, 0})), 0) << "24-bit samples";
    EXPECT_EQ(Load(7, Patched(16, {8, 0, 0, 0})), 0) << "fmt chunk too small";
    EXPECT_EQ(Load(7, Patched(36, {'d', 'a', 't', 'x'})), 0) << "no data chunk";
    EXPECT_EQ(Load(7, Patched(8, {'W', 'A', 'V', 'X'})), 0) << "not WAVE";
    EXPECT_EQ(Load(7, MakeStereo(0, [](int) { return 0; })), 0) << "no samples";
    EXPECT_EQ(SoundFrames(7), 0);

    // Every truncation fails: the RIFF size then claims more than there is.
    for (size_t Length = 0; Length < Good.size(); Length++) {
        std::vector<uint8_t> Cut(Good.begin(), Good.begin() + long(Length));
        EXPECT_EQ(LoadSoundFromMemory(8, Cut.data(), Cut.size()), 0) << Length;
    }
    EXPECT_EQ(LoadSoundFromMemory(8, nullptr, 100), 0);
    const uint8_t Noise[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    EXPECT_EQ(LoadSoundFromMemory(8, Noise, sizeof Noise), 0);
    EXPECT_EQ(LoadSoundFromMemory(-1, Good.data(), Good.size()), 0);
    // A failed load leaves the sound already in that slot alone.
    EXPECT_EQ(SoundFrames(6), 64);
}

TEST_F(PlatformSound, RandomlyDamagedWavNeverCrashes)
{
    auto Good = MakeWav(WavShape{1, 22050, 16, 1}, 40, [](int Frame, int) { return Frame * 3; });
    std::mt19937 Random(1234);
    int Loaded = 0;
    for (int Round = 0; Round < 3000; Round++) {
        auto Copy = Good;
        int Flips = 1 + int(Random() % 4);
        for (int F = 0; F < Flips; F++) {
            Copy[Random() % Copy.size()] = uint8_t(Random());
        }
        Copy.resize(Copy.size() - Random() % 8);
        if (LoadSoundFromMemory(9, Copy.data(), Copy.size())) {
            Loaded++;
            ASSERT_GT(SoundFrames(9), 0);
        }
    }
    // Damage in the sample bytes alone still gives a sound.
    EXPECT_GT(Loaded, 0);
}

TEST_F(PlatformSound, DamagedOggIsRejected)
{
    std::vector<uint8_t> Fake = {'O', 'g', 'g', 'S'};
    EXPECT_EQ(Load(10, Fake), 0);
    std::mt19937 Random(99);
    for (int Round = 0; Round < 50; Round++) {
        Fake.resize(4);
        for (int I = 0; I < 300; I++) {
            Fake.push_back(uint8_t(Random()));
        }
        EXPECT_EQ(Load(10, Fake), 0);
    }
    EXPECT_EQ(SoundFrames(10), 0);
}

TEST_F(PlatformSound, EveryPlayIsANewChannelWithItsOwnPosition)
{
    ASSERT_EQ(Load(0, MakeStereo(100, [](int) { return 1000; })), 1);
    EXPECT_EQ(PlaySound(5, 0), 0) << "no sound 5 loaded";
    int First = PlaySound(0, 0);
    auto Half = Mix(50);
    int Second = PlaySound(0, 0);
    ASSERT_GT(First, 0);
    ASSERT_GT(Second, First);
    EXPECT_EQ(Half[0], 1000);
    EXPECT_EQ(Half[1], -1000);
    EXPECT_EQ(ChannelSound(First), 0);
    EXPECT_EQ(ChannelStatus(First), ChannelPlaying);

    // 50 frames of both, then the first ends and only the second sounds.
    auto Rest = Mix(90);
    EXPECT_EQ(Rest[0], 2000);
    EXPECT_EQ(Rest[2 * 49 + 1], -2000);
    EXPECT_EQ(Rest[2 * 50], 1000);
    EXPECT_EQ(Rest[2 * 89], 1000);
    EXPECT_EQ(ChannelStatus(First), ChannelStopped);
    EXPECT_EQ(ChannelSound(First), -1);
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying);
    auto After = Mix(20);
    EXPECT_EQ(After[2 * 9], 1000);
    EXPECT_EQ(After[2 * 10], 0);
    EXPECT_EQ(ChannelStatus(Second), ChannelStopped);

    // Ids keep growing: stopped channels are never reused.
    int Third = PlaySound(0, 1);
    StopChannel(Third);
    int Fourth = PlaySound(0, 1);
    EXPECT_GT(Third, Second);
    EXPECT_GT(Fourth, Third);
    EXPECT_EQ(ChannelStatus(Third), ChannelStopped);
    EXPECT_EQ(ChannelStatus(0), ChannelStopped);
    EXPECT_EQ(ChannelStatus(-3), ChannelStopped);
    EXPECT_EQ(ChannelSound(123456), -1);
}

TEST_F(PlatformSound, PauseHoldsThePositionAndLoopsJoinWithoutGap)
{
    auto Ramp = [](int Frame) { return Frame * 10; };
    ASSERT_EQ(Load(1, MakeStereo(100, Ramp)), 1);
    int Channel = PlaySound(1, 1);
    auto A = Mix(30);
    PauseChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelPaused);
    EXPECT_EQ(ChannelSound(Channel), 1);
    auto Silent = Mix(40);
    for (int16_t Sample : Silent) {
        ASSERT_EQ(Sample, 0);
    }
    ResumeChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying);
    // Crosses the seam twice inside one buffer: frame 100 is frame 0 again.
    auto B = Mix(250);
    for (int Frame = 0; Frame < 30; Frame++) {
        ASSERT_EQ(A[2 * Frame], Frame * 10);
    }
    for (int Frame = 0; Frame < 250; Frame++) {
        ASSERT_EQ(B[2 * Frame], ((30 + Frame) % 100) * 10) << Frame;
        ASSERT_EQ(B[2 * Frame + 1], -((30 + Frame) % 100) * 10) << Frame;
    }
    EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying);
    // A stopped channel cannot be resumed.
    StopChannel(Channel);
    ResumeChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelStopped);
    EXPECT_EQ(Mix(5)[0], 0);
}

TEST_F(PlatformSound, OverlappingChannelsSumAndClip)
{
    ASSERT_EQ(Load(2, MakeStereo(20, [](int) { return 30000; })), 1);
    ASSERT_EQ(Load(3, MakeStereo(20, [](int) { return -4000; })), 1);
    PlaySound(2, 0);
    auto One = Mix(1);
    EXPECT_EQ(One[0], 30000);
    PlaySound(2, 0);
    PlaySound(2, 0);
    auto Three = Mix(1);
    EXPECT_EQ(Three[0], 32767);
    EXPECT_EQ(Three[1], -32768);
    PlaySound(3, 0);
    PlaySound(3, 0);
    auto Mixed = Mix(1);
    // 3 x 30000 - 2 x 4000 still clips; the sum is taken before clipping.
    EXPECT_EQ(Mixed[0], 32767);
    EXPECT_EQ(Mixed[1], -32768);
}

TEST_F(PlatformSound, ReplacingAPlayingSoundKeepsItsChannelSafe)
{
    ASSERT_EQ(Load(4, MakeStereo(50, [](int) { return 500; })), 1);
    int Channel = PlaySound(4, 0);
    Mix(10);
    ASSERT_EQ(Load(4, MakeStereo(5, [](int) { return 7; })), 1);
    auto Out = Mix(40);
    EXPECT_EQ(Out[0], 500);
    EXPECT_EQ(Out[2 * 39], 500);
    EXPECT_EQ(ChannelStatus(Channel), ChannelStopped);
    int Next = PlaySound(4, 0);
    EXPECT_EQ(Mix(1)[0], 7);
    EXPECT_EQ(ChannelSound(Next), 4);
}

TEST_F(PlatformSound, DummyDeviceFinishesASoundPlayedOnce)
{
    int SavedHeadless = Overrides.Headless;
    Overrides.Headless = 1;
    ASSERT_EQ(InitSound(), 1);
    // 20 ms of sound: the audio thread has to reach its end by itself.
    ASSERT_EQ(Load(0, MakeStereo(882, [](int) { return 100; })), 1);
    int Loop = PlaySound(0, 1);
    int Once = PlaySound(0, 0);
    ASSERT_GT(Once, 0);
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ChannelStatus(Once) != ChannelStopped && std::chrono::steady_clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ChannelStatus(Once), ChannelStopped);
    EXPECT_EQ(ChannelStatus(Loop), ChannelPlaying);
    SoundShutdown();
    Overrides.Headless = SavedHeadless;
}
