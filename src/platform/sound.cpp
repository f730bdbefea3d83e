// Sound output through SDL_mixer at 44.1 kHz, stereo, signed 16-bit. Effects
// (WAV) are decoded once into chunks and played on the mixer's channels, so
// they may overlap. Music (Ogg Vorbis) stays compressed in memory and is
// streamed by SDL_mixer's music player, one track at a time: starting a track
// ends the one before. Every PlaySound hands out a new handle, never reused
// in a run; a handle whose sound has ended, was stopped, or whose channel went
// to a later sound reads as stopped.
#include "platform/platform.h"
#include "platform/platform_internal.h"

#include <SDL_mixer.h>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <glob.h>
#endif
#include <map>
#include <memory>
#ifndef _WIN32
#include <unistd.h>
#endif

static constexpr int MixRate = 44100;       // frames per second
static constexpr int DeviceFrames = 1024;   // frames per device buffer (about 23 ms)
static constexpr int MaxSoundNumber = 4095; // sounds are numbered 0 to this
static constexpr int FirstChannels = 16;    // effect channels to begin with
static constexpr int MaxChannels = 256;     // effects at once, at most
// Longest sound: 30 minutes. Anything longer in a header is a damaged or hostile file.
static constexpr double MaxSoundSeconds = 30 * 60;
// WAV sample rates taken: a rate far below the output's would make the
// conversion to it take gigabytes.
static constexpr int MinWavRate = 4000;
static constexpr int MaxWavRate = 192000;

// A loaded sound: an effect decoded into a chunk, or music read from its
// compressed bytes (which the player reads as it plays, so they stay here).
struct SoundRecord {
    Mix_Chunk* Chunk = nullptr;
    Mix_Music* Music = nullptr;
    std::unique_ptr<std::vector<uint8_t>> Compressed;

    SoundRecord() = default;
    SoundRecord(const SoundRecord&) = delete;
    SoundRecord& operator=(const SoundRecord&) = delete;
    ~SoundRecord()
    {
        // Freeing halts whatever plays it.
        if (Chunk != nullptr)
            Mix_FreeChunk(Chunk);
        if (Music != nullptr)
            Mix_FreeMusic(Music);
    }
};

// A handle that may still sound.
struct HandleRecord {
    int Id = 0;
    int SoundNumber = -1;
    int Channel = -1; // mixer channel; -1 for the music player
    int Paused = 0;
};

struct MixerRecord {
    int Open = 0;         // the device is open
    int AudioStarted = 0; // we started SDL's audio subsystem
    int NextId = 1;
    std::map<int, SoundRecord> Sounds;
    std::vector<int> ChannelOwner; // handle that last started each channel
    int MusicOwner = 0;            // handle that last started the music player
    std::vector<HandleRecord> Handles;
};

// Made once and never destroyed: the audio thread may still run while a
// process ends without SoundShutdown.
static MixerRecord& Mixer = *new MixerRecord();

// 1 when the machine shows no sign of anything that plays sound: no sound
// card device, no PulseAudio or PipeWire server socket. SDL would then try
// each of its drivers in turn (a tenth of a second and more of start-up) only
// to end on the silent one.
static int NoSoundAnywhere()
{
#ifdef _WIN32
    return 0; // Windows always has an audio endpoint service to ask
#else
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
#endif
}

// Opens the device on the audio driver SDL is set to now; 1 or 0.
static int OpenMixer()
{
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return 0;
        Mixer.AudioStarted = 1;
    }
    if (Mix_OpenAudio(MixRate, AUDIO_S16SYS, 2, DeviceFrames) != 0) {
        if (Mixer.AudioStarted)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Mixer.AudioStarted = 0;
        return 0;
    }
    Mix_Init(MIX_INIT_OGG);
    Mix_AllocateChannels(FirstChannels);
    Mixer.ChannelOwner.assign(FirstChannels, 0);
    Mixer.Open = 1;
    return 1;
}

int InitSound()
{
    if (Mixer.Open)
        return 1;
    if (Overrides.Headless || (std::getenv("SDL_AUDIODRIVER") == nullptr && NoSoundAnywhere()))
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1); // straight to the silent driver
    if (OpenMixer())
        return 1;
    // A machine without a sound card (a server, a virtual display) still plays
    // the game: the mixer then runs on SDL's silent driver, and channels, pauses
    // and loops behave as they would with speakers.
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    return OpenMixer();
}

// RIFF WAVE, refused when damaged rather than guessed at: a RIFF size claiming
// more than there is, or (SDL's strict reading) a truncated data chunk; and
// refused when its rate or length is beyond any sound of the game's.
static Mix_Chunk* LoadWav(const uint8_t* Data, size_t Size)
{
    uint32_t RiffSize =
        uint32_t(Data[4]) | (uint32_t(Data[5]) << 8) | (uint32_t(Data[6]) << 16) | (uint32_t(Data[7]) << 24);
    if (Size < 12 || Size > size_t(INT32_MAX) || std::memcmp(Data + 8, "WAVE", 4) != 0 || uint64_t(RiffSize) + 8 > Size)
        return nullptr;
    SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
    SDL_SetHint(SDL_HINT_WAVE_FACT_CHUNK, "strict");
    SDL_AudioSpec Spec{};
    Uint8* Samples = nullptr;
    Uint32 Length = 0;
    if (SDL_LoadWAV_RW(SDL_RWFromConstMem(Data, int(Size)), 1, &Spec, &Samples, &Length) == nullptr)
        return nullptr;
    SDL_FreeWAV(Samples);
    int FrameBytes = int(SDL_AUDIO_BITSIZE(Spec.format)) / 8 * Spec.channels;
    if (Spec.freq < MinWavRate || Spec.freq > MaxWavRate || FrameBytes <= 0 ||
        double(Length / Uint32(FrameBytes)) / Spec.freq > MaxSoundSeconds)
        return nullptr;
    SDL_RWops* Stream = SDL_RWFromConstMem(Data, int(Size));
    if (Stream == nullptr)
        return nullptr;
    Mix_Chunk* Chunk = Mix_LoadWAV_RW(Stream, 1);
    if (Chunk != nullptr && Chunk->alen == 0) {
        Mix_FreeChunk(Chunk);
        Chunk = nullptr;
    }
    return Chunk;
}

// Ogg Vorbis over a copy of its bytes, refused unless its length is sensible.
static Mix_Music* LoadOgg(const uint8_t* Data, size_t Size, std::unique_ptr<std::vector<uint8_t>>& Compressed)
{
    if (Size > size_t(INT32_MAX))
        return nullptr;
    Compressed = std::make_unique<std::vector<uint8_t>>(Data, Data + Size);
    SDL_RWops* Stream = SDL_RWFromConstMem(Compressed->data(), int(Size));
    if (Stream == nullptr)
        return nullptr;
    Mix_Music* Music = Mix_LoadMUSType_RW(Stream, MUS_OGG, 1);
    if (Music == nullptr)
        return nullptr;
    double Seconds = Mix_MusicDuration(Music);
    if (!(Seconds > 0 && Seconds <= MaxSoundSeconds)) {
        Mix_FreeMusic(Music);
        return nullptr;
    }
    return Music;
}

int LoadSoundFromMemory(int Number, const uint8_t* Data, size_t Size)
{
    if (!Mixer.Open || Number < 0 || Number > MaxSoundNumber || Data == nullptr || Size < 12)
        return 0;
    SoundRecord Sound;
    if (std::memcmp(Data, "RIFF", 4) == 0)
        Sound.Chunk = LoadWav(Data, Size);
    else if (std::memcmp(Data, "OggS", 4) == 0)
        Sound.Music = LoadOgg(Data, Size, Sound.Compressed);
    if (Sound.Chunk == nullptr && Sound.Music == nullptr)
        return 0;
    SoundRecord& Slot = Mixer.Sounds[Number];
    std::swap(Slot.Chunk, Sound.Chunk);
    std::swap(Slot.Music, Sound.Music);
    std::swap(Slot.Compressed, Sound.Compressed);
    return 1; // the sound that was in the slot goes with Sound
}

static HandleRecord* FindHandle(int Channel)
{
    for (HandleRecord& Handle : Mixer.Handles)
        if (Handle.Id == Channel && Channel > 0)
            return &Handle;
    return nullptr;
}

// Stopped, playing or paused, from what the mixer says of the handle's channel.
static int StatusOf(const HandleRecord& Handle)
{
    int Sounding = Handle.Channel < 0
                       ? Mixer.MusicOwner == Handle.Id && Mix_PlayingMusic()
                       : Mixer.ChannelOwner[size_t(Handle.Channel)] == Handle.Id && Mix_Playing(Handle.Channel);
    if (!Sounding)
        return ChannelStopped;
    return Handle.Paused ? ChannelPaused : ChannelPlaying;
}

// A free effect channel, with more channels made when all are busy; -1 when none.
static int PlayChunk(Mix_Chunk* Chunk, int Loop)
{
    int Channel = Mix_PlayChannel(-1, Chunk, Loop ? -1 : 0);
    if (Channel < 0 && int(Mixer.ChannelOwner.size()) < MaxChannels) {
        Mixer.ChannelOwner.resize(Mixer.ChannelOwner.size() * 2, 0);
        Mix_AllocateChannels(int(Mixer.ChannelOwner.size()));
        Channel = Mix_PlayChannel(-1, Chunk, Loop ? -1 : 0);
    }
    return Channel;
}

int PlaySound(int Number, int Loop)
{
    auto Found = Mixer.Sounds.find(Number);
    if (!Mixer.Open || Found == Mixer.Sounds.end())
        return 0;
    std::erase_if(Mixer.Handles, [](const HandleRecord& Handle) { return StatusOf(Handle) == ChannelStopped; });
    HandleRecord Handle;
    Handle.Id = Mixer.NextId;
    Handle.SoundNumber = Number;
    if (Found->second.Music != nullptr) {
        // Loops: -1 for ever, 1 to play once.
        if (Mix_PlayMusic(Found->second.Music, Loop ? -1 : 1) != 0)
            return 0;
        Mix_ResumeMusic(); // a pause of the track before must not hold this one
        Mixer.MusicOwner = Handle.Id;
    } else {
        Handle.Channel = PlayChunk(Found->second.Chunk, Loop);
        if (Handle.Channel < 0)
            return 0;
        Mix_Resume(Handle.Channel);
        Mixer.ChannelOwner[size_t(Handle.Channel)] = Handle.Id;
    }
    Mixer.Handles.push_back(Handle);
    return Mixer.NextId++;
}

int ChannelStatus(int Channel)
{
    HandleRecord* Handle = FindHandle(Channel);
    return Handle != nullptr ? StatusOf(*Handle) : ChannelStopped;
}

int ChannelSound(int Channel)
{
    HandleRecord* Handle = FindHandle(Channel);
    return Handle != nullptr && StatusOf(*Handle) != ChannelStopped ? Handle->SoundNumber : -1;
}

void PauseChannel(int Channel)
{
    HandleRecord* Handle = FindHandle(Channel);
    if (Handle == nullptr || StatusOf(*Handle) != ChannelPlaying)
        return;
    if (Handle->Channel < 0) {
        Mix_PauseMusic();
    } else {
        // SDL_mixer marks a paused channel with the tick count of the pause,
        // and 0 reads as not paused: a pause in the first millisecond after
        // SDL started would be lost.
        while (SDL_GetTicks() == 0)
            SDL_Delay(1);
        Mix_Pause(Handle->Channel);
    }
    Handle->Paused = 1;
}

void ResumeChannel(int Channel)
{
    HandleRecord* Handle = FindHandle(Channel);
    if (Handle == nullptr || StatusOf(*Handle) != ChannelPaused)
        return;
    if (Handle->Channel < 0)
        Mix_ResumeMusic();
    else
        Mix_Resume(Handle->Channel);
    Handle->Paused = 0;
}

void StopChannel(int Channel)
{
    HandleRecord* Handle = FindHandle(Channel);
    if (Handle == nullptr)
        return;
    if (StatusOf(*Handle) != ChannelStopped) {
        if (Handle->Channel < 0)
            Mix_HaltMusic();
        else
            Mix_HaltChannel(Handle->Channel);
    }
    std::erase_if(Mixer.Handles, [Channel](const HandleRecord& Other) { return Other.Id == Channel; });
}

void SoundShutdown()
{
    // Handle numbers keep counting up: a handle from before stays stopped.
    Mixer.Handles.clear();
    Mixer.MusicOwner = 0;
    if (Mixer.Open) {
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
    }
    Mixer.Sounds.clear();
    if (Mixer.Open) {
        Mix_CloseAudio();
        Mix_Quit();
        Mixer.Open = 0;
    }
    if (Mixer.AudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Mixer.AudioStarted = 0;
    }
    Mixer.ChannelOwner.clear();
}
