// The rendered music and effects, as the game itself takes them: each file
// decodes through the platform's sound loader the game uses,
// music lasts at least a minute and effects under 0.2 s, and the game's own
// mixer plays each track across its loop point without a gap or a jump.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct AudioCase {
    const char* Name;
    int Slot;      // sound number used here (the game's 0..3 moved up, clear of other tests)
    int IsMusic;
};

const AudioCase Files[] = {
    {"music1.ogg", 4000, 1}, {"music2.ogg", 4001, 1}, {"rollover3.wav", 4002, 0}, {"click3.wav", 4003, 0}};

std::string BuiltPath(const char* Name) { return std::string(KISTORA_GAME_DIR) + "/content/audio/" + Name; }

std::vector<uint8_t> ReadBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    std::string S = Buffer.str();
    return std::vector<uint8_t>(S.begin(), S.end());
}

// Loads every file into its slot; 0 (and a skip) when the audio is not built.
int LoadAll() {
    for (const AudioCase& C : Files) {
        std::vector<uint8_t> Bytes = ReadBytes(BuiltPath(C.Name));
        if (Bytes.empty()) return 0;
        if (!LoadSoundFromMemory(C.Slot, Bytes.data(), Bytes.size())) {
            ADD_FAILURE() << C.Name << " does not decode";
            return 0;
        }
    }
    return 1;
}

}  // namespace

TEST(ContentAudio, DecodeWithTheRightLengthsAndHeadroom) {
    if (!FileExists(BuiltPath("music1.ogg"))) GTEST_SKIP() << "audio not built";
    ASSERT_EQ(LoadAll(), 1);
    for (const AudioCase& C : Files) {
        SCOPED_TRACE(C.Name);
        int64_t Frames = SoundFrames(C.Slot);
        // Every frame, decoded or streamed, as a channel would play it.
        std::vector<int16_t> All(size_t(Frames) * 2);
        ASSERT_EQ(ReadSoundFrames(C.Slot, 0, All.data(), Frames), Frames);
        const int16_t* Samples = All.data();
        if (C.IsMusic) {
            EXPECT_GE(Frames, 60 * 44100);
        } else {
            EXPECT_GT(Frames, 0);
            EXPECT_LT(Frames, 44100 / 5);
            // Starts and ends at silence (within 1/256 of full scale): no click.
            for (int K = 0; K < 2; K++) {
                EXPECT_LE(std::abs(Samples[K]), 128);
                EXPECT_LE(std::abs(Samples[2 * (Frames - 1) + K]), 128);
            }
        }
        // Headroom: every sample below -1 dBFS (29204 of 32767).
        int Peak = 0;
        for (int64_t I = 0; I < 2 * Frames; I++) Peak = std::max(Peak, std::abs(int(Samples[I])));
        EXPECT_LT(Peak, 29204);
        EXPECT_GT(Peak, 3000) << "nearly silent";
    }
}

TEST(ContentAudio, MixerLoopsTheMusicWithoutAJump) {
    if (!FileExists(BuiltPath("music1.ogg"))) GTEST_SKIP() << "audio not built";
    ASSERT_EQ(LoadAll(), 1);
    for (int Music = 0; Music < 2; Music++) {
        const int Slot = Files[Music].Slot;
        SCOPED_TRACE(Files[Music].Name);
        const int64_t Frames = SoundFrames(Slot);
        int Channel = PlaySound(Slot, 1);
        ASSERT_GT(Channel, 0);
        // Mix up to 256 frames before the end, then 512 frames across the loop point.
        std::vector<int16_t> Out(2 * 65536);
        int64_t Done = 0;
        while (Done < Frames - 256) {
            int Now = int(std::min<int64_t>(65536, Frames - 256 - Done));
            MixInto(Out.data(), Now);
            Done += Now;
        }
        std::vector<int16_t> Seam(2 * 512);
        MixInto(Seam.data(), 512);
        EXPECT_EQ(ChannelStatus(Channel), ChannelPlaying) << "a looped track stopped at its end";
        StopChannel(Channel);
        for (int K = 0; K < 2; K++) {
            // The step over the loop point (frame 255 -> 256) against the largest
            // step in the 200 frames before it. Vorbis alone leaves up to about
            // 2.5 times that at a stream's ends; a loop cut instead of wrapped
            // jumps by 5 to 12 times.
            int Before = 0;
            for (int I = 56; I < 255; I++)
                Before = std::max(Before, std::abs(Seam[2 * (I + 1) + K] - Seam[2 * I + K]));
            int AtSeam = std::abs(Seam[2 * 256 + K] - Seam[2 * 255 + K]);
            EXPECT_LE(AtSeam, 4 * Before + 64) << "channel " << K;
            // No gap: the samples after the loop point are not a run of silence.
            int Loud = 0;
            for (int I = 256; I < 320; I++) Loud = std::max(Loud, std::abs(int(Seam[2 * I + K])));
            EXPECT_GT(Loud, 16) << "silence after the loop point";
        }
    }
}
