// Sound output: one SDL audio device at 44.1 kHz, stereo, signed 16-bit, fed
// by our own mixer. Effects (WAV) and unusual Ogg files are decoded once into
// 44.1 kHz stereo samples. Ogg Vorbis music at 44.1 kHz stereo (the game's two
// tracks) stays compressed in memory and is decoded as it plays: each playing
// channel has its own decoder and a ring of decoded frames, topped up by a
// feeder thread well ahead of the audio device, so neither the frame loop nor
// the device waits for the decoder. Every PlaySound starts a new channel, so
// effects may overlap and the music keeps its own channel. The audio thread
// reads and advances the channels under the device lock; the game's thread
// starts, pauses and stops them.
#include "platform/platform.h"

#include "platform/platform_internal.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <glob.h>
#include <string>
#include <unistd.h>
#include <memory>
#include <mutex>
#include <pthread.h>

static constexpr int MixRate = 44100;        // frames per second
static constexpr int DeviceFrames = 1024;    // frames per device buffer (about 23 ms)
static constexpr int MaxSoundNumber = 4095;  // sounds are numbered 0 to this
// Longest decoded sound: 30 minutes (about 317 MB of samples). Anything
// longer in a header is a damaged or hostile file.
static constexpr int64_t MaxSoundFrames = int64_t(MixRate) * 60 * 30;
static constexpr int MinSourceRate = 4000;
static constexpr int MaxSourceRate = 192000;
// A streamed channel keeps this many decoded frames ahead (about 370 ms, 64 KiB).
static constexpr int RingFrames = 16384;
// The feeder decodes at most this many frames per turn, so a mixer that needs
// the same decoder (a ring run dry) never waits long; about 46 ms of sound.
static constexpr int FeedFrames = 2048;
// The feeder wakes when the device has taken a buffer, and at least this often (ms).
static constexpr int FeedPeriodMs = 10;
// Streamed channels the feeder tends at once (more wait for a later turn).
static constexpr int MaxFedStreams = 16;

// Memory reader handed to libvorbisfile.
struct OggSource {
    const uint8_t* Data;
    size_t Size;
    size_t Position;
};

// A playing Ogg Vorbis stream: its decoder over the shared compressed bytes
// and the ring of frames decoded ahead. The ring has one writer at a time
// (whoever holds Decoding) and one reader (the mixer, under the device lock).
struct StreamRecord {
    std::shared_ptr<const std::vector<uint8_t>> Ogg;
    OggSource Source{nullptr, 0, 0};             // the decoder's reader over Ogg
    OggVorbis_File File{};
    int Open = 0;
    int Loop = 0;
    std::mutex Decoding;                         // held while the decoder runs
    std::vector<int16_t> Ring;                   // RingFrames x 2 samples
    std::atomic<int64_t> Written{0};             // frames put into the ring so far
    std::atomic<int64_t> Read{0};                // frames taken out of it so far
    std::atomic<int> Ended{0};                   // the decoder has nothing more to give
    int64_t SinceStart = 0;                      // frames decoded since the last loop restart

    ~StreamRecord()
    {
        if (Open) {
            ov_clear(&File);
        }
    }
};

// A loaded sound: decoded samples, or compressed Ogg decoded as it plays.
struct SoundRecord {
    std::shared_ptr<const std::vector<int16_t>> Samples;   // interleaved left/right at MixRate
    std::shared_ptr<const std::vector<uint8_t>> Ogg;       // 44.1 kHz stereo Ogg Vorbis
    int64_t Frames = 0;                                    // length at MixRate
};

struct ChannelRecord {
    int Id = 0;                                  // > 0, never handed out twice in a run
    int SoundNumber = -1;
    int Loop = 0;
    int Status = ChannelStopped;
    int64_t Position = 0;                        // next frame to play (decoded sounds)
    // Held so a sound replaced while playing stays valid until the channel ends.
    std::shared_ptr<const std::vector<int16_t>> Samples;
    std::shared_ptr<StreamRecord> Stream;        // streamed sounds
};

struct MixerRecord {
    SDL_AudioDeviceID Device = 0;                // 0 when no device is open
    int AudioStarted = 0;                        // we started SDL's audio subsystem
    int NextChannelId = 1;
    std::vector<SoundRecord> Sounds;
    // Playing and paused channels; stopped ones are dropped on the game's
    // thread (PlaySound, StopChannel), never on the audio thread.
    std::vector<ChannelRecord> Channels;
    std::vector<int32_t> Accumulator;            // the mix before clipping
    // The feeder thread and its wake-up call.
    SDL_Thread* Feeder = nullptr;
    SDL_sem* FeederWake = nullptr;
    std::atomic<int> FeederQuit{0};
};

// Made once and never destroyed: the audio and feeder threads may still run
// while a process ends without SoundShutdown.
static MixerRecord& Mixer = *new MixerRecord();

static void LockMixer();
static void UnlockMixer();
static void DeviceCallback(void* UserData, Uint8* Stream, int Length);
static void MixLocked(int16_t* Out, int Frames);
static int64_t MixStream(ChannelRecord& Channel, int32_t* To, int64_t Frames);
static ChannelRecord* FindChannel(int Channel);
static void RemoveStoppedChannels();
static int DecodeWav(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo);
static int DecodeOgg(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo);
static int CheckStreamableOgg(const uint8_t* Data, size_t Size, int64_t* Frames);
static int OpenOggDecoder(OggSource* Source, OggVorbis_File* File);
static std::shared_ptr<StreamRecord> StartStream(const std::shared_ptr<const std::vector<uint8_t>>& Ogg, int Loop);
static void FillStream(StreamRecord& Stream, int64_t MaxFrames);
static int FeederMain(void* UserData);
static void StartFeeder();
static void StopFeeder();
static size_t OggRead(void* Target, size_t ItemSize, size_t Items, void* UserData);
static int OggSeek(void* UserData, ogg_int64_t Offset, int Whence);
static long OggTell(void* UserData);
static int ConvertToMix(SDL_AudioFormat Format, int Channels, int Rate, const void* Bytes, size_t Length,
                        std::vector<int16_t>& Stereo);
static uint32_t ReadLe32(const uint8_t* Bytes);

// Opens the output device on the audio driver SDL is using now; 1 or 0.
static int OpenMixerDevice()
{
    SDL_AudioSpec Want{};
    Want.freq = MixRate;
    Want.format = AUDIO_S16SYS;
    Want.channels = 2;
    Want.samples = DeviceFrames;
    Want.callback = DeviceCallback;
    SDL_AudioSpec Have{};
    // No changes allowed: SDL converts if the hardware wants another format.
    Mixer.Device = SDL_OpenAudioDevice(nullptr, 0, &Want, &Have, 0);
    if (Mixer.Device == 0)
        return 0;
    // The mix buffer is sized once, here, so the audio thread never allocates.
    Mixer.Accumulator.reserve(size_t(std::max<int>(DeviceFrames, Have.samples)) * 2);
    StartFeeder();
    SDL_PauseAudioDevice(Mixer.Device, 0);
    return 1;
}

// 1 when the machine shows no sign of anything that plays sound: no sound
// card device, no PulseAudio or PipeWire server socket. SDL would then try
// each of its drivers in turn (a tenth of a second and more of start-up) only
// to end on the silent one.
static int NoSoundAnywhere()
{
    glob_t Found;
    int Cards = glob("/dev/snd/pcm*", 0, nullptr, &Found) == 0 && Found.gl_pathc > 0;
    globfree(&Found);
    if (Cards || glob("/dev/dsp*", 0, nullptr, &Found) == 0) {
        if (!Cards)
            globfree(&Found);
        return 0;
    }
    const char* Runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string Folder = Runtime != nullptr ? Runtime : "";
    const char* const Servers[] = {"/pulse/native", "/pipewire-0"};
    for (const char* Server : Servers)
        if (!Folder.empty() && access((Folder + Server).c_str(), F_OK) == 0)
            return 0;
    if (access("/var/run/pulse/native", F_OK) == 0 || std::getenv("PULSE_SERVER") != nullptr)
        return 0;
    return 1;
}

int InitSound()
{
    if (Mixer.Device != 0) {
        return 1;
    }
    if (Overrides.Headless) {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    } else if (std::getenv("SDL_AUDIODRIVER") == nullptr && NoSoundAnywhere()) {
        // Straight to the silent driver the game would end up on anyway.
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
            Mixer.AudioStarted = 1;
    }
    if (Mixer.AudioStarted && OpenMixerDevice())
        return 1;
    // A machine without a sound card (a server, a virtual display) still plays
    // the game: the mixer then runs on SDL's silent driver, and channels, pauses
    // and loops behave as they would with speakers.
    if (Mixer.AudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Mixer.AudioStarted = 0;
    }
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        Mixer.AudioStarted = 1;
        if (OpenMixerDevice())
            return 1;
    }
    // Scripted runs still need sounds to load and channels to count.
    return Overrides.Headless ? 1 : 0;
}

int LoadSoundFromMemory(int Number, const uint8_t* Data, size_t Size)
{
    if (Number < 0 || Number > MaxSoundNumber || Data == nullptr || Size < 4) {
        return 0;
    }
    SoundRecord Sound;
    if (std::memcmp(Data, "RIFF", 4) == 0) {
        auto Stereo = std::make_shared<std::vector<int16_t>>();
        if (!DecodeWav(Data, Size, *Stereo) || Stereo->empty())
            return 0;
        Sound.Frames = int64_t(Stereo->size() / 2);
        Sound.Samples = std::move(Stereo);
    } else if (std::memcmp(Data, "OggS", 4) == 0) {
        int64_t Frames = 0;
        int Streamable = CheckStreamableOgg(Data, Size, &Frames);
        if (Streamable < 0)
            return 0;
        if (Streamable) {
            // Kept compressed (a few MB less per minute of music) and decoded as it plays.
            Sound.Ogg = std::make_shared<const std::vector<uint8_t>>(Data, Data + Size);
            Sound.Frames = Frames;
        } else {
            auto Stereo = std::make_shared<std::vector<int16_t>>();
            if (!DecodeOgg(Data, Size, *Stereo) || Stereo->empty())
                return 0;
            Sound.Frames = int64_t(Stereo->size() / 2);
            Sound.Samples = std::move(Stereo);
        }
    } else {
        return 0;
    }
    LockMixer();
    if (Mixer.Sounds.size() <= size_t(Number)) {
        Mixer.Sounds.resize(size_t(Number) + 1);
    }
    Mixer.Sounds[size_t(Number)] = std::move(Sound);
    UnlockMixer();
    return 1;
}

int PlaySound(int Number, int Loop)
{
    if (Number < 0 || size_t(Number) >= Mixer.Sounds.size() || Mixer.Sounds[size_t(Number)].Frames <= 0) {
        return 0;
    }
    // A streamed sound gets its own decoder, opened and primed here on the
    // game's thread (it allocates), never on the audio thread.
    std::shared_ptr<StreamRecord> Stream;
    if (Mixer.Sounds[size_t(Number)].Ogg) {
        Stream = StartStream(Mixer.Sounds[size_t(Number)].Ogg, Loop != 0);
        if (!Stream)
            return 0;
    }
    LockMixer();
    RemoveStoppedChannels();
    ChannelRecord Channel;
    Channel.Id = Mixer.NextChannelId++;
    Channel.SoundNumber = Number;
    Channel.Loop = Loop != 0;
    Channel.Status = ChannelPlaying;
    Channel.Samples = Mixer.Sounds[size_t(Number)].Samples;
    Channel.Stream = std::move(Stream);
    Mixer.Channels.push_back(std::move(Channel));
    int Id = Mixer.Channels.back().Id;
    UnlockMixer();
    return Id;
}

int ChannelStatus(int Channel)
{
    LockMixer();
    ChannelRecord* Found = FindChannel(Channel);
    int Status = Found != nullptr ? Found->Status : ChannelStopped;
    UnlockMixer();
    return Status;
}

int ChannelSound(int Channel)
{
    LockMixer();
    ChannelRecord* Found = FindChannel(Channel);
    int Number = Found != nullptr && Found->Status != ChannelStopped ? Found->SoundNumber : -1;
    UnlockMixer();
    return Number;
}

void PauseChannel(int Channel)
{
    LockMixer();
    ChannelRecord* Found = FindChannel(Channel);
    if (Found != nullptr && Found->Status == ChannelPlaying) {
        Found->Status = ChannelPaused;
    }
    UnlockMixer();
}

void ResumeChannel(int Channel)
{
    LockMixer();
    ChannelRecord* Found = FindChannel(Channel);
    if (Found != nullptr && Found->Status == ChannelPaused) {
        Found->Status = ChannelPlaying;
    }
    UnlockMixer();
}

void StopChannel(int Channel)
{
    LockMixer();
    ChannelRecord* Found = FindChannel(Channel);
    if (Found != nullptr) {
        Found->Status = ChannelStopped;
    }
    RemoveStoppedChannels();
    UnlockMixer();
}

void MixInto(int16_t* Out, int Frames)
{
    if (Out == nullptr || Frames <= 0) {
        return;
    }
    LockMixer();
    MixLocked(Out, Frames);
    UnlockMixer();
}

int64_t SoundFrames(int Number)
{
    if (Number < 0 || size_t(Number) >= Mixer.Sounds.size()) {
        return 0;
    }
    return Mixer.Sounds[size_t(Number)].Frames;
}

const int16_t* SoundSamples(int Number)
{
    if (Number < 0 || size_t(Number) >= Mixer.Sounds.size() || !Mixer.Sounds[size_t(Number)].Samples) {
        return nullptr;
    }
    return Mixer.Sounds[size_t(Number)].Samples->data();
}

int SoundIsStreamed(int Number)
{
    return Number >= 0 && size_t(Number) < Mixer.Sounds.size() && Mixer.Sounds[size_t(Number)].Ogg ? 1 : 0;
}

int64_t ReadSoundFrames(int Number, int64_t First, int16_t* Out, int64_t Count)
{
    if (Out == nullptr || Count <= 0 || First < 0 || Number < 0 || size_t(Number) >= Mixer.Sounds.size()) {
        return 0;
    }
    const SoundRecord& Sound = Mixer.Sounds[size_t(Number)];
    Count = std::min(Count, Sound.Frames - First);
    if (Count <= 0) {
        return 0;
    }
    if (Sound.Samples) {
        std::memcpy(Out, Sound.Samples->data() + First * 2, size_t(Count) * 4);
        return Count;
    }
    // A decoder of its own, started at the wanted frame.
    std::shared_ptr<StreamRecord> Stream = StartStream(Sound.Ogg, 0);
    if (!Stream) {
        return 0;
    }
    std::lock_guard<std::mutex> Hold(Stream->Decoding);
    if (First > 0) {
        if (ov_pcm_seek(&Stream->File, First) != 0) {
            return 0;
        }
        Stream->Written = 0;
        Stream->Read = 0;
    }
    int64_t Done = 0;
    while (Done < Count) {
        int64_t Have = Stream->Written - Stream->Read;
        if (Have == 0) {
            if (Stream->Ended) {
                break;
            }
            FillStream(*Stream, RingFrames);
            continue;
        }
        int64_t At = Stream->Read % RingFrames;
        int64_t Take = std::min({Have, Count - Done, RingFrames - At});
        std::memcpy(Out + Done * 2, Stream->Ring.data() + At * 2, size_t(Take) * 4);
        Stream->Read += Take;
        Done += Take;
    }
    return Done;
}

void SoundShutdown()
{
    // The feeder goes first: it takes the device lock.
    StopFeeder();
    if (Mixer.Device != 0) {
        SDL_CloseAudioDevice(Mixer.Device);
        Mixer.Device = 0;
    }
    if (Mixer.AudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Mixer.AudioStarted = 0;
    }
    // Channel ids keep counting up: a handle from before stays stopped.
    Mixer.Channels.clear();
    Mixer.Sounds.clear();
}

static void LockMixer()
{
    if (Mixer.Device != 0) {
        SDL_LockAudioDevice(Mixer.Device);
    }
}

static void UnlockMixer()
{
    if (Mixer.Device != 0) {
        SDL_UnlockAudioDevice(Mixer.Device);
    }
}

// Runs on SDL's audio thread with the device lock held.
static void DeviceCallback(void*, Uint8* Stream, int Length)
{
    MixLocked(reinterpret_cast<int16_t*>(Stream), Length / int(2 * sizeof(int16_t)));
    // The rings have room again: time for the feeder.
    if (Mixer.FeederWake != nullptr) {
        SDL_SemPost(Mixer.FeederWake);
    }
}

static void MixLocked(int16_t* Out, int Frames)
{
    size_t Samples = size_t(Frames) * 2;
    Mixer.Accumulator.assign(Samples, 0);
    for (ChannelRecord& Channel : Mixer.Channels) {
        if (Channel.Status != ChannelPlaying) {
            continue;
        }
        if (Channel.Stream) {
            MixStream(Channel, Mixer.Accumulator.data(), Frames);
            continue;
        }
        if (!Channel.Samples) {
            continue;
        }
        const std::vector<int16_t>& Source = *Channel.Samples;
        int64_t Length = int64_t(Source.size() / 2);
        int64_t Written = 0;
        while (Written < Frames) {
            if (Channel.Position >= Length) {
                if (!Channel.Loop || Length == 0) {
                    Channel.Status = ChannelStopped;
                    break;
                }
                // A loop goes on in the same buffer: no gap at the seam.
                Channel.Position = 0;
            }
            int64_t Take = std::min<int64_t>(Frames - Written, Length - Channel.Position);
            const int16_t* From = Source.data() + Channel.Position * 2;
            int32_t* To = Mixer.Accumulator.data() + Written * 2;
            for (int64_t I = 0; I < Take * 2; I++) {
                To[I] += From[I];
            }
            Written += Take;
            Channel.Position += Take;
        }
        // A sound played once stops as soon as its last frame has been mixed.
        if (Channel.Status == ChannelPlaying && !Channel.Loop && Channel.Position >= Length) {
            Channel.Status = ChannelStopped;
        }
    }
    for (size_t I = 0; I < Samples; I++) {
        Out[I] = int16_t(std::clamp<int32_t>(Mixer.Accumulator[I], -32768, 32767));
    }
}

// Adds up to Frames frames of a streamed channel to To from its ring. A ring
// that runs dry (no feeder: tests and tools; or a feeder held up) is filled
// here and now rather than leaving a gap. Returns the frames mixed.
static int64_t MixStream(ChannelRecord& Channel, int32_t* To, int64_t Frames)
{
    StreamRecord& Stream = *Channel.Stream;
    int64_t Done = 0;
    while (Done < Frames) {
        int64_t Have = Stream.Written.load(std::memory_order_acquire) - Stream.Read.load(std::memory_order_relaxed);
        if (Have == 0) {
            std::lock_guard<std::mutex> Hold(Stream.Decoding);
            Have = Stream.Written.load(std::memory_order_acquire) - Stream.Read.load(std::memory_order_relaxed);
            if (Have == 0 && !Stream.Ended) {
                FillStream(Stream, std::min<int64_t>(RingFrames, std::max<int64_t>(Frames - Done, FeedFrames)));
                Have = Stream.Written.load(std::memory_order_acquire) - Stream.Read.load(std::memory_order_relaxed);
            }
            if (Have == 0) {
                // The end of a sound played once (or of a stream that cannot go on).
                Channel.Status = ChannelStopped;
                break;
            }
        }
        int64_t Read = Stream.Read.load(std::memory_order_relaxed);
        int64_t At = Read % RingFrames;
        int64_t Take = std::min({Have, Frames - Done, RingFrames - At});
        const int16_t* From = Stream.Ring.data() + At * 2;
        int32_t* Into = To + Done * 2;
        for (int64_t I = 0; I < Take * 2; I++) {
            Into[I] += From[I];
        }
        Stream.Read.store(Read + Take, std::memory_order_release);
        Done += Take;
    }
    // A sound played once stops as soon as its last frame has been mixed.
    if (Channel.Status == ChannelPlaying && Stream.Ended.load(std::memory_order_acquire) &&
        Stream.Written.load(std::memory_order_acquire) == Stream.Read.load(std::memory_order_relaxed)) {
        Channel.Status = ChannelStopped;
    }
    return Done;
}

static ChannelRecord* FindChannel(int Channel)
{
    if (Channel <= 0) {
        return nullptr;
    }
    for (ChannelRecord& Record : Mixer.Channels) {
        if (Record.Id == Channel) {
            return &Record;
        }
    }
    return nullptr;
}

static void RemoveStoppedChannels()
{
    std::erase_if(Mixer.Channels, [](const ChannelRecord& Channel) { return Channel.Status == ChannelStopped; });
}

// RIFF WAVE with PCM samples, 8-bit unsigned or 16-bit signed, mono or
// stereo, read by SDL's WAV loader. Damaged files are refused rather than
// guessed at: a truncated data chunk, or a RIFF size claiming more than there is.
static int DecodeWav(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo)
{
    if (Size < 12 || Size > size_t(INT32_MAX) || std::memcmp(Data + 8, "WAVE", 4) != 0 ||
        uint64_t(ReadLe32(Data + 4)) + 8 > Size) {
        return 0;
    }
    SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
    SDL_SetHint(SDL_HINT_WAVE_FACT_CHUNK, "strict");
    SDL_RWops* Stream = SDL_RWFromConstMem(Data, int(Size));
    if (Stream == nullptr) {
        return 0;
    }
    SDL_AudioSpec Spec{};
    Uint8* Samples = nullptr;
    Uint32 Length = 0;
    if (SDL_LoadWAV_RW(Stream, 1, &Spec, &Samples, &Length) == nullptr) {
        return 0;
    }
    int Ok = (Spec.format == AUDIO_U8 || Spec.format == AUDIO_S16LSB) &&
             ConvertToMix(Spec.format, Spec.channels, Spec.freq, Samples, Length, Stereo);
    SDL_FreeWAV(Samples);
    return Ok;
}

static size_t OggRead(void* Target, size_t ItemSize, size_t Items, void* UserData)
{
    OggSource* Source = static_cast<OggSource*>(UserData);
    if (ItemSize == 0) {
        return 0;
    }
    size_t Left = Source->Size - Source->Position;
    size_t Count = std::min(Items, Left / ItemSize);
    std::memcpy(Target, Source->Data + Source->Position, Count * ItemSize);
    Source->Position += Count * ItemSize;
    return Count;
}

static int OggSeek(void* UserData, ogg_int64_t Offset, int Whence)
{
    OggSource* Source = static_cast<OggSource*>(UserData);
    int64_t Base = 0;
    if (Whence == SEEK_CUR) {
        Base = int64_t(Source->Position);
    } else if (Whence == SEEK_END) {
        Base = int64_t(Source->Size);
    } else if (Whence != SEEK_SET) {
        return -1;
    }
    int64_t Target = Base + Offset;
    if (Target < 0 || Target > int64_t(Source->Size)) {
        return -1;
    }
    Source->Position = size_t(Target);
    return 0;
}

static long OggTell(void* UserData)
{
    return long(static_cast<OggSource*>(UserData)->Position);
}

static int DecodeOgg(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo)
{
    OggSource Source{Data, Size, 0};
    ov_callbacks Callbacks{};
    Callbacks.read_func = OggRead;
    Callbacks.seek_func = OggSeek;
    Callbacks.close_func = nullptr;
    Callbacks.tell_func = OggTell;
    OggVorbis_File File;
    if (ov_open_callbacks(&Source, &File, nullptr, 0, Callbacks) != 0) {
        return 0;
    }
    vorbis_info* Info = ov_info(&File, -1);
    if (Info == nullptr || (Info->channels != 1 && Info->channels != 2) || Info->rate < MinSourceRate ||
        Info->rate > MaxSourceRate) {
        ov_clear(&File);
        return 0;
    }
    int Channels = Info->channels;
    int Rate = int(Info->rate);
    int64_t SourceLimit = MaxSoundFrames * Rate / MixRate * Channels;
    std::vector<int16_t> Decoded;
    ogg_int64_t Total = ov_pcm_total(&File, -1);
    if (Total > 0 && Total * Channels <= SourceLimit) {
        Decoded.reserve(size_t(Total) * size_t(Channels));
    }
    const int BigEndian = SDL_BYTEORDER == SDL_BIG_ENDIAN;
    char Chunk[16384];
    int Ok = 1;
    for (;;) {
        int Section = 0;
        long Got = ov_read(&File, Chunk, sizeof Chunk, BigEndian, 2, 1, &Section);
        if (Got == 0) {
            break;
        }
        if (Got == OV_HOLE) {
            continue;                            // a gap in the data; decoding goes on after it
        }
        if (Got < 0) {
            Ok = 0;
            break;
        }
        // A chained stream may change its layout; only the first one is understood.
        vorbis_info* Now = ov_info(&File, Section);
        if (Now == nullptr || Now->channels != Channels || Now->rate != Rate) {
            Ok = 0;
            break;
        }
        size_t Count = size_t(Got) / 2;
        if (int64_t(Decoded.size() + Count) > SourceLimit) {
            Ok = 0;
            break;
        }
        size_t Start = Decoded.size();
        Decoded.resize(Start + Count);
        std::memcpy(Decoded.data() + Start, Chunk, Count * 2);
    }
    ov_clear(&File);
    if (!Ok) {
        return 0;
    }
    // A sample left over from an odd byte count would belong to no frame.
    Decoded.resize(Decoded.size() - Decoded.size() % size_t(Channels));
    if (Decoded.empty()) {
        return 0;
    }
    return ConvertToMix(AUDIO_S16SYS, Channels, Rate, Decoded.data(), Decoded.size() * 2, Stereo);
}

// Opens libvorbisfile over the bytes of Source (read from its start). 1 or 0.
static int OpenOggDecoder(OggSource* Source, OggVorbis_File* File)
{
    Source->Position = 0;
    ov_callbacks Callbacks{};
    Callbacks.read_func = OggRead;
    Callbacks.seek_func = OggSeek;
    Callbacks.close_func = nullptr;
    Callbacks.tell_func = OggTell;
    return ov_open_callbacks(Source, File, nullptr, 0, Callbacks) == 0 ? 1 : 0;
}

// Whether an Ogg file can be played straight from its compressed bytes: 1
// (with its length at *Frames) for 44.1 kHz stereo Vorbis whose every link
// has that layout and whose audio begins to decode; 0 for a Vorbis file of
// another layout (decoded whole instead); -1 when it is no usable Vorbis.
static int CheckStreamableOgg(const uint8_t* Data, size_t Size, int64_t* Frames)
{
    *Frames = 0;
    OggSource Source{Data, Size, 0};
    OggVorbis_File File;
    if (!OpenOggDecoder(&Source, &File)) {
        return -1;
    }
    int Result = 1;
    vorbis_info* Info = ov_info(&File, -1);
    if (Info == nullptr || (Info->channels != 1 && Info->channels != 2) || Info->rate < MinSourceRate ||
        Info->rate > MaxSourceRate) {
        Result = -1;
    } else if (Info->channels != 2 || Info->rate != MixRate) {
        Result = 0;
    }
    for (long Link = 0; Result == 1 && Link < ov_streams(&File); Link++) {
        vorbis_info* Now = ov_info(&File, int(Link));
        if (Now == nullptr || Now->channels != 2 || Now->rate != MixRate) {
            Result = 0;                          // a chain that changes its layout: decoded whole
        }
    }
    ogg_int64_t Total = Result == 1 ? ov_pcm_total(&File, -1) : 0;
    if (Result == 1 && (Total <= 0 || Total > MaxSoundFrames)) {
        Result = -1;
    }
    // The first packets must decode: a file whose audio is damaged from the
    // start is refused now, not found silent later.
    if (Result == 1) {
        char Chunk[4096];
        int Section = 0;
        long Got = 0;
        for (int Tries = 0; Tries < 64; Tries++) {
            Got = ov_read(&File, Chunk, sizeof Chunk, SDL_BYTEORDER == SDL_BIG_ENDIAN, 2, 1, &Section);
            if (Got != OV_HOLE) {
                break;
            }
        }
        if (Got <= 0) {
            Result = -1;
        }
    }
    ov_clear(&File);
    if (Result == 1) {
        *Frames = int64_t(Total);
    }
    return Result;
}

// A new decoder over Ogg at its first frame, with a primed ring; nullptr when
// it cannot be opened.
static std::shared_ptr<StreamRecord> StartStream(const std::shared_ptr<const std::vector<uint8_t>>& Ogg, int Loop)
{
    auto Stream = std::make_shared<StreamRecord>();
    Stream->Ogg = Ogg;
    Stream->Source = OggSource{Ogg->data(), Ogg->size(), 0};
    Stream->Loop = Loop;
    Stream->Ring.resize(size_t(RingFrames) * 2);
    if (!OpenOggDecoder(&Stream->Source, &Stream->File)) {
        return nullptr;
    }
    Stream->Open = 1;
    std::lock_guard<std::mutex> Hold(Stream->Decoding);
    FillStream(*Stream, FeedFrames);
    return Stream;
}

// Decodes up to MaxFrames frames (no more than the ring has room for) into the
// ring. At the end of the data a looped stream goes back to its first frame,
// so frame N of the loop is frame 0 of the file, sample for sample; a stream
// played once, or one that yields nothing between two restarts, ends. The
// caller holds Stream.Decoding.
static void FillStream(StreamRecord& Stream, int64_t MaxFrames)
{
    const int BigEndian = SDL_BYTEORDER == SDL_BIG_ENDIAN;
    int64_t Room = RingFrames - (Stream.Written.load(std::memory_order_relaxed) - Stream.Read.load(std::memory_order_acquire));
    int64_t Want = std::min(MaxFrames, Room);
    int64_t Done = 0;
    while (Done < Want && !Stream.Ended.load(std::memory_order_relaxed)) {
        int64_t Written = Stream.Written.load(std::memory_order_relaxed);
        int64_t At = Written % RingFrames;
        // Straight into the ring, up to its wrap point.
        int64_t Span = std::min(Want - Done, RingFrames - At);
        int Section = 0;
        long Got = ov_read(&Stream.File, reinterpret_cast<char*>(Stream.Ring.data() + At * 2), int(Span * 4), BigEndian,
                           2, 1, &Section);
        if (Got == OV_HOLE) {
            continue;                            // a gap in the data; decoding goes on after it
        }
        if (Got > 0) {
            int64_t Frames = Got / 4;
            Stream.Written.store(Written + Frames, std::memory_order_release);
            Stream.SinceStart += Frames;
            Done += Frames;
            continue;
        }
        // The end of the data (or data that cannot be decoded further).
        if (!Stream.Loop || Stream.SinceStart == 0 || ov_pcm_seek(&Stream.File, 0) != 0) {
            Stream.Ended.store(1, std::memory_order_release);
            break;
        }
        Stream.SinceStart = 0;
    }
}

// The feeder thread: tops up the ring of every playing streamed channel, a
// little at a time, whenever the device has taken a buffer.
static int FeederMain(void*)
{
    std::shared_ptr<StreamRecord> Fed[MaxFedStreams];
    while (!Mixer.FeederQuit.load()) {
        SDL_SemWaitTimeout(Mixer.FeederWake, FeedPeriodMs);
        int Count = 0;
        LockMixer();
        for (ChannelRecord& Channel : Mixer.Channels) {
            if (Channel.Stream && Channel.Status == ChannelPlaying && Count < MaxFedStreams) {
                Fed[Count++] = Channel.Stream;
            }
        }
        UnlockMixer();
        for (int I = 0; I < Count; I++) {
            StreamRecord& Stream = *Fed[I];
            // Half a ring free is the time to decode; one turn at most FeedFrames.
            for (;;) {
                int64_t Have = Stream.Written.load(std::memory_order_relaxed) - Stream.Read.load(std::memory_order_acquire);
                if (Stream.Ended.load() || Have > RingFrames / 2 || Mixer.FeederQuit.load()) {
                    break;
                }
                std::lock_guard<std::mutex> Hold(Stream.Decoding);
                FillStream(Stream, FeedFrames);
            }
            // The last reference to a stopped channel's decoder may go here.
            Fed[I].reset();
        }
    }
    return 0;
}

// A forked child has no feeder thread: it must not wait for one at its end.
static void ForgetFeederAfterFork()
{
    Mixer.Feeder = nullptr;
    Mixer.FeederWake = nullptr;
}

static void StartFeeder()
{
    if (Mixer.Feeder != nullptr) {
        return;
    }
    static int ForkHandled = 0;
    if (!ForkHandled) {
        pthread_atfork(nullptr, nullptr, ForgetFeederAfterFork);
        ForkHandled = 1;
    }
    Mixer.FeederQuit = 0;
    Mixer.FeederWake = SDL_CreateSemaphore(0);
    if (Mixer.FeederWake == nullptr) {
        return;                                  // no feeder: the mixer decodes as it goes
    }
    Mixer.Feeder = SDL_CreateThread(FeederMain, "KistoraSoundFeeder", nullptr);
    if (Mixer.Feeder == nullptr) {
        SDL_DestroySemaphore(Mixer.FeederWake);
        Mixer.FeederWake = nullptr;
    }
}

static void StopFeeder()
{
    if (Mixer.Feeder != nullptr) {
        Mixer.FeederQuit = 1;
        SDL_SemPost(Mixer.FeederWake);
        SDL_WaitThread(Mixer.Feeder, nullptr);
        Mixer.Feeder = nullptr;
    }
    if (Mixer.FeederWake != nullptr) {
        SDL_DestroySemaphore(Mixer.FeederWake);
        Mixer.FeederWake = nullptr;
    }
}

// Interleaved samples of an SDL format, 1 or 2 channels, any common rate, to the
// mixer's 44.1 kHz stereo 16-bit samples through SDL's audio converter.
static int ConvertToMix(SDL_AudioFormat Format, int Channels, int Rate, const void* Bytes, size_t Length,
                        std::vector<int16_t>& Stereo)
{
    int FrameBytes = int(SDL_AUDIO_BITSIZE(Format)) / 8 * Channels;
    if (Channels < 1 || Channels > 2 || Rate < MinSourceRate || Rate > MaxSourceRate || FrameBytes <= 0) {
        return 0;
    }
    int64_t InFrames = int64_t(Length) / FrameBytes;
    if (InFrames <= 0 || InFrames > MaxSoundFrames * MaxSourceRate / MixRate) {
        return 0;
    }
    const uint8_t* In = static_cast<const uint8_t*>(Bytes);
    if (Format == AUDIO_S16SYS && Channels == 2 && Rate == MixRate) {
        Stereo.resize(size_t(InFrames) * 2);
        std::memcpy(Stereo.data(), In, Stereo.size() * 2);
        return 1;
    }
    SDL_AudioCVT Convert;
    if (SDL_BuildAudioCVT(&Convert, Format, Uint8(Channels), Rate, AUDIO_S16SYS, 2, MixRate) < 0) {
        return 0;
    }
    // The converter works in place in one buffer of len x len_mult bytes, sized in an int.
    const int64_t InBytes = InFrames * FrameBytes;
    if (InBytes * Convert.len_mult > int64_t(INT32_MAX)) {
        return 0;
    }
    std::vector<uint8_t> Work(size_t(InBytes) * size_t(Convert.len_mult));
    std::memcpy(Work.data(), In, size_t(InBytes));
    Convert.buf = Work.data();
    Convert.len = int(InBytes);
    if (SDL_ConvertAudio(&Convert) != 0 || Convert.len_cvt < 4 || int64_t(Convert.len_cvt) / 4 > MaxSoundFrames) {
        return 0;
    }
    Stereo.resize(size_t(Convert.len_cvt / 4) * 2);
    std::memcpy(Stereo.data(), Work.data(), Stereo.size() * 2);
    return 1;
}

static uint32_t ReadLe32(const uint8_t* Bytes)
{
    return uint32_t(Bytes[0]) | (uint32_t(Bytes[1]) << 8) | (uint32_t(Bytes[2]) << 16) | (uint32_t(Bytes[3]) << 24);
}
