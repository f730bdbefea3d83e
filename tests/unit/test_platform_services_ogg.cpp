// The game's own music, taken from the built asset archive (skipped until the
// content has been built): it loads, plays looped, pauses, one track follows
// another, a short cut of it loops or ends, and damaged copies are refused.
#include "display/display.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

// Shutdown call the platform keeps for itself (its internal header pulls in SDL).
void SoundShutdown();

namespace {

// An entry of the built Kistora.data, or empty when there is none.
std::vector<uint8_t> BuiltEntry(const char* Name)
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

// The pages of an Ogg file up to the first whose position reaches Frames:
// a shorter, whole Ogg Vorbis stream of the same music.
std::vector<uint8_t> FirstPages(const std::vector<uint8_t>& Ogg, int64_t Frames)
{
    size_t At = 0;
    while (At + 27 <= Ogg.size() && std::equal(Ogg.begin() + long(At), Ogg.begin() + long(At) + 4, "OggS")) {
        int64_t Granule = 0;
        for (int I = 7; I >= 0; I--)
            Granule = (Granule << 8) | Ogg[At + 6 + size_t(I)];
        size_t Segments = Ogg[At + 26];
        size_t Length = 27 + Segments;
        for (size_t I = 0; I < Segments && At + 27 + I < Ogg.size(); I++)
            Length += Ogg[At + 27 + I];
        At += Length;
        if (Granule >= Frames)
            break;
    }
    return std::vector<uint8_t>(Ogg.begin(), Ogg.begin() + long(std::min(At, Ogg.size())));
}

int StatusAfterWaiting(int Channel, int Status, double Seconds)
{
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    while (ChannelStatus(Channel) == Status && std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ChannelStatus(Channel);
}

class PlatformOgg : public ::testing::Test {
  protected:
    int SavedHeadless = 0;
    void SetUp() override
    {
        if (!std::filesystem::exists(std::string(KISTORA_GAME_DIR) + "/Kistora.data"))
            GTEST_SKIP() << "no built Kistora.data";
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

TEST_F(PlatformOgg, BuiltMusicPlaysPausesAndGivesWayToTheOtherTrack)
{
    std::vector<uint8_t> Menu = BuiltEntry("music1.ogg");
    std::vector<uint8_t> Game = BuiltEntry("music2.ogg");
    ASSERT_GT(Menu.size(), 1000u) << "Kistora.data holds no music1.ogg";
    ASSERT_GT(Game.size(), 1000u) << "Kistora.data holds no music2.ogg";
    ASSERT_EQ(LoadSoundFromMemory(0, Menu.data(), Menu.size()), 1);
    ASSERT_EQ(LoadSoundFromMemory(1, Game.data(), Game.size()), 1);

    int First = PlaySound(0, 1);
    ASSERT_GT(First, 0);
    EXPECT_EQ(ChannelStatus(First), ChannelPlaying);
    EXPECT_EQ(ChannelSound(First), 0);
    PauseChannel(First);
    EXPECT_EQ(ChannelStatus(First), ChannelPaused);
    ResumeChannel(First);
    EXPECT_EQ(ChannelStatus(First), ChannelPlaying);

    // An effect beside the music does not touch it.
    std::vector<uint8_t> Click = BuiltEntry("click3.wav");
    ASSERT_EQ(LoadSoundFromMemory(3, Click.data(), Click.size()), 1);
    int Effect = PlaySound(3, 0);
    EXPECT_GT(Effect, 0);
    EXPECT_EQ(ChannelStatus(First), ChannelPlaying);

    // The other track, started while the first one is paused, plays; the first one is over.
    PauseChannel(First);
    int Second = PlaySound(1, 1);
    ASSERT_GT(Second, First);
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying);
    EXPECT_EQ(ChannelStatus(First), ChannelStopped);
    ResumeChannel(First);
    EXPECT_EQ(ChannelStatus(First), ChannelStopped);
    StopChannel(First);
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying) << "stopping an ended track stops nothing";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ChannelStatus(Second), ChannelPlaying);
    StopChannel(Second);
    EXPECT_EQ(ChannelStatus(Second), ChannelStopped);

    // Damaged copies: the header pages cut short, the identification header
    // garbled. Neither loads, and neither touches the loaded sound.
    std::vector<uint8_t> Cut(Menu.begin(), Menu.begin() + 200);
    EXPECT_EQ(LoadSoundFromMemory(0, Cut.data(), Cut.size()), 0);
    std::vector<uint8_t> Garbled = Menu;
    for (size_t I = 28; I < 60; I++) {
        Garbled[I] ^= 0xA5;
    }
    EXPECT_EQ(LoadSoundFromMemory(0, Garbled.data(), Garbled.size()), 0);
    int Again = PlaySound(0, 1);
    EXPECT_EQ(ChannelStatus(Again), ChannelPlaying);
    EXPECT_EQ(ChannelSound(Again), 0);
}

TEST_F(PlatformOgg, ShortMusicLoopsOrEnds)
{
    // About a fifth of a second of the menu music, as a whole Ogg stream.
    std::vector<uint8_t> Short = FirstPages(BuiltEntry("music1.ogg"), 44100 / 5);
    ASSERT_GT(Short.size(), 1000u);
    ASSERT_EQ(LoadSoundFromMemory(0, Short.data(), Short.size()), 1);
    int Once = PlaySound(0, 0);
    ASSERT_GT(Once, 0);
    EXPECT_EQ(StatusAfterWaiting(Once, ChannelPlaying, 5), ChannelStopped);
    int Looped = PlaySound(0, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(ChannelStatus(Looped), ChannelPlaying) << "a looped track stopped at its end";
    EXPECT_EQ(ChannelSound(Looped), 0);
}
