// The two music tracks and the two effects: which track belongs to the state,
// the switches between them, the M key's toggle, and the pauses for a window
// that is minimised or loses the focus.
#include "shell/shell.h"
#include "display/display.h"
#include "settings/settings.h"
#include "platform/platform.h"

int MusicOn = 1;
int MusicChannel = 0;

// Channels of the two music tracks (0 when never started).
static int TrackChannel[2] = {0, 0};
// Full screen: music paused because the game lost the focus, resumed when it is back.
static int PausedForFocus = 0;

static void PauseTrackIfPlaying(int Track);
static void ResumeTrackIfPaused(int Track);

int CurrentTrack()
{
    return GameState < Playing ? SoundMenuMusic : SoundGameMusic;
}

void StartTrack(int Track)
{
    TrackChannel[Track] = PlaySound(Track, 1);
    MusicChannel = TrackChannel[Track];
}

void StopTrack(int Track)
{
    if (TrackChannel[Track])
        StopChannel(TrackChannel[Track]);
}

void PauseBothTracks()
{
    PauseTrackIfPlaying(SoundMenuMusic);
    PauseTrackIfPlaying(SoundGameMusic);
}

void ResumeBothTracks()
{
    ResumeTrackIfPaused(SoundMenuMusic);
    ResumeTrackIfPaused(SoundGameMusic);
}

void PlaySoundEffect(int Sound)
{
    PlaySound(Sound, 0);
}

void SwitchToMenuTrack()
{
    if (!MusicOn)
        return;
    StopTrack(SoundGameMusic);
    StartTrack(SoundMenuMusic);
}

void SwitchToGameTrack()
{
    if (!MusicOn)
        return;
    StopTrack(SoundMenuMusic);
    StartTrack(SoundGameMusic);
}

void ToggleMusic()
{
    if (MusicOn) {
        StopTrack(CurrentTrack());
        MusicOn = 0;
    } else {
        StartTrack(CurrentTrack());
        MusicOn = 1;
    }
}

int PlayingMusicTrack()
{
    for (int Track = 0; Track < 2; ++Track)
        if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying)
            return Track;
    return -1;
}

void PauseTrackForFocus()
{
    int Track = CurrentTrack();
    if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying) {
        PauseChannel(TrackChannel[Track]);
        PausedForFocus = GameScreen == ModeFullScreen;
    }
}

void ResumeAfterFocus()
{
    // Full screen has no activation event: bring back the music paused for the focus.
    if (PausedForFocus) {
        PausedForFocus = 0;
        ResumeBothTracks();
    }
}

static void PauseTrackIfPlaying(int Track)
{
    if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPlaying)
        PauseChannel(TrackChannel[Track]);
}

static void ResumeTrackIfPaused(int Track)
{
    if (TrackChannel[Track] && ChannelStatus(TrackChannel[Track]) == ChannelPaused)
        ResumeChannel(TrackChannel[Track]);
}
