// Sound loading (WAV built here byte by byte, damaged files) and the channel
// handles the game relies on: new handles, status, pause, loops and effects
// that end by themselves, played through SDL's silent driver in real time.
#include "platform/platform.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
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
    std::vector<uint8_t> File = {'R', 'I', 'F', 'F'};
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
    return MakeWav(WavShape{}, Frames,
                   [&](int Frame, int Channel) { return Channel == 0 ? Left(Frame) : -Left(Frame); });
}

// The channel's status once it leaves Status, or Status after Seconds.
int StatusAfterWaiting(int Channel, int Status, double Seconds)
{
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    while (ChannelStatus(Channel) == Status && std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ChannelStatus(Channel);
}

class PlatformSound : public ::testing::Test {
  protected:
    int SavedHeadless = 0;
    void SetUp() override
    {
        SavedHeadless = Overrides.Headless;
        Overrides.Headless = 1;
        ASSERT_EQ(InitSound(), 1);
    }
    void TearDown() override
    {
        SoundShutdown();
        Overrides.Headless = SavedHeadless;
    }
};

} // namespace

TEST_F(PlatformSound, CommonWavShapesLoadAndPlay)
{
    // 16-bit stereo at the output rate, 16-bit mono at 22050 Hz, 8-bit mono at
    // 11025 Hz, 48 kHz stereo: each loads and plays.
    const WavShape Shapes[] = {{2, 44100, 16, 1}, {1, 22050, 16, 1}, {1, 11025, 8, 1}, {2, 48000, 16, 1}};
    int Number = 0;
    for (const WavShape& Shape : Shapes) {
        // Five seconds: still playing when asked, however busy the machine.
        auto Wav = MakeWav(Shape, Shape.Rate * 5, [](int Frame, int) { return Frame % 100; });
        ASSERT_EQ(Load(Number, Wav), 1) << Number;
        int Channel = PlaySound(Number, 0);
        EXPECT_GT(Channel, 0) << Number;
        EXPECT_EQ(ChannelSound(Channel), Number);
        StopChannel(Channel);
        Number++;
    }
}

TEST_F(PlatformSound, WavChunksBeforeDataAndExtensibleFormatAreRead)
{
    // An odd-sized LIST chunk (with its pad byte) between "fmt " and "data".
    std::vector<uint8_t> List;
    PutTag(List, "LIST");
    PutLe32(List, 5);
    List.insert(List.end(), {'I', 'N', 'F', 'O', 'x', 0});
    auto WithList = MakeWav(
        WavShape{}, 10, [](int Frame, int Channel) { return Channel == 0 ? Frame + 1 : -(Frame + 1); }, List);
    ASSERT_EQ(Load(4, WithList), 1);

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
    Ext.insert(Ext.end(),
               {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    PutTag(Ext, "data");
    PutLe32(Ext, 8);
    PutLe16(Ext, 7);
    PutLe16(Ext, uint16_t(-7));
    PutLe16(Ext, 9);
    PutLe16(Ext, uint16_t(-9));
    uint32_t RiffSize = uint32_t(Ext.size() - 8);
    std::memcpy(Ext.data() + 4, &RiffSize, 4);
    ASSERT_EQ(Load(5, Ext), 1);
    EXPECT_GT(PlaySound(5, 0), 0);
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
    EXPECT_EQ(Load(7, Patched(20, {0x55, 0x55})), 0) << "unknown sample format";
    EXPECT_EQ(Load(7, Patched(22, {0, 0})), 0) << "no channels";
    EXPECT_EQ(Load(7, Patched(24, {0, 0, 0, 0})), 0) << "rate 0";
    EXPECT_EQ(Load(7, Patched(24, {1, 0, 0, 0})), 0) << "rate 1: 44100 times the frames at the output";
    EXPECT_EQ(Load(7, Patched(24, {0, 0, 0, 0x40})), 0) << "absurd rate";
    EXPECT_EQ(Load(7, Patched(34, {0, 0})), 0) << "0-bit samples";
    EXPECT_EQ(Load(7, Patched(16, {8, 0, 0, 0})), 0) << "fmt chunk too small";
    EXPECT_EQ(Load(7, Patched(36, {'d', 'a', 't', 'x'})), 0) << "no data chunk";
    EXPECT_EQ(Load(7, Patched(8, {'W', 'A', 'V', 'X'})), 0) << "not WAVE";
    EXPECT_EQ(Load(7, MakeStereo(0, [](int) { return 0; })), 0) << "no samples";
    // Half an hour and one second of 8-bit mono at 4 kHz: longer than any sound may be.
    EXPECT_EQ(Load(7, MakeWav(WavShape{1, 4000, 8, 1}, 4000 * 1801, [](int, int) { return 128; })), 0) << "too long";
    EXPECT_EQ(Load(7, MakeWav(WavShape{1, 4000, 8, 1}, 4000 * 60, [](int, int) { return 128; })), 1) << "a minute";
    EXPECT_GT(PlaySound(7, 0), 0);
    ASSERT_EQ(Load(7, MakeStereo(0, [](int) { return 0; })), 0);

    // Every truncation fails: the RIFF size then claims more than there is.
    for (size_t Length = 0; Length < Good.size(); Length++) {
        std::vector<uint8_t> Cut(Good.begin(), Good.begin() + long(Length));
        EXPECT_EQ(LoadSoundFromMemory(6, Cut.data(), Cut.size()), 0) << Length;
    }
    EXPECT_EQ(LoadSoundFromMemory(8, nullptr, 100), 0);
    const uint8_t Noise[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96};
    EXPECT_EQ(LoadSoundFromMemory(8, Noise, sizeof Noise), 0) << "other formats are not sounds of ours";
    EXPECT_EQ(LoadSoundFromMemory(-1, Good.data(), Good.size()), 0);
    EXPECT_EQ(LoadSoundFromMemory(4096, Good.data(), Good.size()), 0);
    // The failed loads left the sound already in slot 6 alone.
    int Channel = PlaySound(6, 0);
    EXPECT_GT(Channel, 0);
    EXPECT_EQ(ChannelSound(Channel), 6);
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
            int Channel = PlaySound(9, 0);
            ASSERT_GT(Channel, 0);
            StopChannel(Channel);
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
    EXPECT_EQ(PlaySound(10, 0), 0);
}

TEST_F(PlatformSound, EveryPlayIsANewHandle)
{
    ASSERT_EQ(Load(0, MakeStereo(44100 * 5, [](int) { return 1000; })), 1);
    EXPECT_EQ(PlaySound(5, 0), 0) << "no sound 5 loaded";
    int First = PlaySound(0, 0);
    int Second = PlaySound(0, 0);
    ASSERT_GT(First, 0);
    ASSERT_GT(Second, First);
    EXPECT_EQ(ChannelSound(First), 0);
    EXPECT_EQ(ChannelStatus(First), ChannelPlaying);
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying);
    StopChannel(First);
    EXPECT_EQ(ChannelStatus(First), ChannelStopped);
    EXPECT_EQ(ChannelSound(First), -1);
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying) << "stopping one leaves the other";

    // Handles keep growing: a later sound on the same mixer channel does not
    // bring a stopped handle back.
    int Third = PlaySound(0, 1);
    StopChannel(Third);
    int Fourth = PlaySound(0, 1);
    EXPECT_GT(Third, Second);
    EXPECT_GT(Fourth, Third);
    EXPECT_EQ(ChannelStatus(Third), ChannelStopped);
    EXPECT_EQ(ChannelStatus(Fourth), ChannelPlaying);
    StopChannel(Third);
    EXPECT_EQ(ChannelStatus(Fourth), ChannelPlaying) << "a stale handle stops nothing";
    EXPECT_EQ(ChannelStatus(0), ChannelStopped);
    EXPECT_EQ(ChannelStatus(-3), ChannelStopped);
    EXPECT_EQ(ChannelSound(123456), -1);

    // More effects at once than the mixer starts with channels: each gets its own.
    std::vector<int> Many;
    for (int I = 0; I < 40; I++)
        Many.push_back(PlaySound(0, 1));
    for (int Channel : Many)
        EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying) << Channel;
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying);
}

TEST_F(PlatformSound, EffectsEndByThemselvesAndLoopsGoOn)
{
    // 20 ms of sound: the audio thread has to reach its end by itself.
    ASSERT_EQ(Load(0, MakeStereo(882, [](int) { return 100; })), 1);
    int Loop = PlaySound(0, 1);
    int Once = PlaySound(0, 0);
    ASSERT_GT(Once, 0);
    EXPECT_EQ(StatusAfterWaiting(Once, ChannelPlaying, 5), ChannelStopped);
    EXPECT_EQ(ChannelSound(Once), -1);
    // Many times its length later the looped one still plays.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ChannelStatus(Loop), ChannelPlaying);
}

TEST_F(PlatformSound, PauseHoldsTheSoundUntilResumed)
{
    // Half a second played once, paused at once: it is still there long
    // after its length, and ends by itself only after the resume.
    ASSERT_EQ(Load(1, MakeStereo(22050, [](int Frame) { return Frame % 50; })), 1);
    int Channel = PlaySound(1, 0);
    PauseChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelPaused);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(ChannelStatus(Channel), ChannelPaused);
    EXPECT_EQ(ChannelSound(Channel), 1);
    PauseChannel(Channel);
    EXPECT_EQ(ChannelStatus(Channel), ChannelPaused);
    ResumeChannel(Channel);
    EXPECT_EQ(StatusAfterWaiting(Channel, ChannelPlaying, 5), ChannelStopped);

    // A stopped channel cannot be resumed; a paused one can be stopped.
    int Looped = PlaySound(1, 1);
    StopChannel(Looped);
    ResumeChannel(Looped);
    EXPECT_EQ(ChannelStatus(Looped), ChannelStopped);
    int Held = PlaySound(1, 1);
    PauseChannel(Held);
    StopChannel(Held);
    EXPECT_EQ(ChannelStatus(Held), ChannelStopped);
    // A new sound on the channel a paused one left is not paused.
    int Next = PlaySound(1, 1);
    EXPECT_EQ(ChannelStatus(Next), ChannelPlaying);
}
