// Sound output: one SDL audio device at 44.1 kHz, stereo, signed 16-bit, fed
// by our own mixer. Sounds are decoded once (Ogg Vorbis or WAV, from memory)
// into 44.1 kHz stereo samples; every PlaySound starts a new channel, so
// effects may overlap and the music keeps its own channel. The audio thread
// reads and advances the channels under the device lock; everything else
// runs on the game's thread.
#include "platform/platform.h"

#include "platform/platform_internal.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

static constexpr int MixRate = 44100;        // frames per second
static constexpr int DeviceFrames = 1024;    // frames per device buffer (about 23 ms)
static constexpr int MaxSoundNumber = 4095;  // sounds are numbered 0 to this
// Longest decoded sound: 30 minutes (about 317 MB of samples). Anything
// longer in a header is a damaged or hostile file.
static constexpr int64_t MaxSoundFrames = int64_t(MixRate) * 60 * 30;
static constexpr int MinSourceRate = 4000;
static constexpr int MaxSourceRate = 192000;

// A decoded sound: interleaved left/right samples at MixRate.
struct SoundRecord {
    std::shared_ptr<const std::vector<int16_t>> Samples;
};

struct ChannelRecord {
    int Id = 0;                                  // > 0, never handed out twice in a run
    int SoundNumber = -1;
    int Loop = 0;
    int Status = ChannelStopped;
    int64_t Position = 0;                        // next frame to play
    // Held so a sound replaced while playing stays valid until the channel ends.
    std::shared_ptr<const std::vector<int16_t>> Samples;
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
};

// Memory reader handed to libvorbisfile.
struct OggSource {
    const uint8_t* Data;
    size_t Size;
    size_t Position;
};

static MixerRecord Mixer;

static void LockMixer();
static void UnlockMixer();
static void DeviceCallback(void* UserData, Uint8* Stream, int Length);
static void MixLocked(int16_t* Out, int Frames);
static ChannelRecord* FindChannel(int Channel);
static void RemoveStoppedChannels();
static int DecodeWav(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo);
static int DecodeOgg(const uint8_t* Data, size_t Size, std::vector<int16_t>& Stereo);
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
    SDL_PauseAudioDevice(Mixer.Device, 0);
    return 1;
}

int InitSound()
{
    if (Mixer.Device != 0) {
        return 1;
    }
    if (Overrides.Headless) {
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
    auto Stereo = std::make_shared<std::vector<int16_t>>();
    int Ok = 0;
    if (std::memcmp(Data, "RIFF", 4) == 0) {
        Ok = DecodeWav(Data, Size, *Stereo);
    } else if (std::memcmp(Data, "OggS", 4) == 0) {
        Ok = DecodeOgg(Data, Size, *Stereo);
    }
    if (!Ok || Stereo->empty()) {
        return 0;
    }
    LockMixer();
    if (Mixer.Sounds.size() <= size_t(Number)) {
        Mixer.Sounds.resize(size_t(Number) + 1);
    }
    Mixer.Sounds[size_t(Number)].Samples = std::move(Stereo);
    UnlockMixer();
    return 1;
}

int PlaySound(int Number, int Loop)
{
    if (Number < 0 || size_t(Number) >= Mixer.Sounds.size() || !Mixer.Sounds[size_t(Number)].Samples) {
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
    if (Number < 0 || size_t(Number) >= Mixer.Sounds.size() || !Mixer.Sounds[size_t(Number)].Samples) {
        return 0;
    }
    return int64_t(Mixer.Sounds[size_t(Number)].Samples->size() / 2);
}

const int16_t* SoundSamples(int Number)
{
    if (SoundFrames(Number) == 0) {
        return nullptr;
    }
    return Mixer.Sounds[size_t(Number)].Samples->data();
}

void SoundShutdown()
{
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
}

static void MixLocked(int16_t* Out, int Frames)
{
    size_t Samples = size_t(Frames) * 2;
    Mixer.Accumulator.assign(Samples, 0);
    for (ChannelRecord& Channel : Mixer.Channels) {
        if (Channel.Status != ChannelPlaying || !Channel.Samples) {
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

// Mono or stereo at Rate to stereo at MixRate, by linear interpolation
// between neighbouring source frames (the last frame is held at the end).
// Source may be taken over (stereo at MixRate already: the music tracks).
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
