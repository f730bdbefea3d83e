// kistora-synth: our own small synthesizer and sequencer. It reads a score
// (text, content/audio/*.score), renders it at 44.1 kHz stereo and writes the
// music as Ogg Vorbis and the effects as 16-bit PCM WAV. It also checks built
// files (--check). Only this tool and the checker know these records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int SynthRate = 44100; // samples per second, per channel
constexpr int StepsPerBeat = 4;  // the note grid is the sixteenth note

// ---------------------------------------------------------------------------
// score.cpp: the score text and what it turns into
// ---------------------------------------------------------------------------

enum VoiceKind { VoicePad, VoiceFm, VoicePluck, VoiceBass, VoicePulse, VoiceKick, VoiceSnare, VoiceHat, VoiceTick };

struct Instrument {
    std::string Name;
    int Kind = VoiceFm;
    double Gain = 0.2;       // linear, before normalising
    double Pan = 0.0;        // -1 left .. +1 right
    double Attack = 0.005;   // seconds
    double Decay = 0.3;      // seconds from peak to the sustain level
    double Sustain = 0.6;    // 0..1 of peak
    double Release = 0.3;    // seconds after the note's gate ends
    double Cutoff = 4000.0;  // Hz, low-pass of the voices that filter
    double Resonance = 0.2;  // 0..0.9
    double Detune = 7.0;     // cents between the pad's oscillators
    double Ratio = 2.0;      // FM modulator / carrier frequency
    double Index = 1.5;      // FM modulation index at the note start
    double IndexDecay = 0.6; // seconds for the index to fall to a third
    double Brightness = 0.5; // pluck: 0 dull .. 1 bright
    double Width = 0.5;      // pulse duty 0.05..0.95
    double Vibrato = 0.0;    // semitones of vibrato depth (5.5 Hz, fades in)
    double Glide = 0.0;      // semitones the pitch starts above the note
    double GlideTime = 0.03; // seconds for the glide to settle to a third
    double ReverbSend = 0.0; // 0..1
    double DelaySend = 0.0;  // 0..1
    double Swing = 0.0;      // 0..0.5 of a step: off-beat sixteenths come late
    double Humanise = 0.0;   // 0..1: random velocity spread
};

struct NoteEvent {
    int Instrument = 0;       // index into Score::Instruments
    int64_t Start = 0;        // sample of the note start (may lie past the loop end: it wraps)
    int64_t Gate = 0;         // samples the note is held
    double Frequency = 440.0; // Hz
    double Velocity = 1.0;    // 0..1
};

struct Score {
    std::string Path;
    int IsEffect = 0;           // 1: one-shot effect (WAV), 0: looping music (Ogg)
    double Tempo = 100.0;       // beats per minute
    int Meter = 4;              // beats per bar
    int Bars = 8;               // length of the loop in bars
    double EffectSeconds = 0.1; // length of an effect
    double PeakDb = -3.0;       // normalise the loudest sample to this level
    double Quality = 0.45;      // Vorbis quality
    double ReverbSize = 0.75;   // 0..1 feedback of the reverb combs
    double ReverbDamp = 0.4;    // 0..1 high-frequency damping in the tail
    double ReverbMix = 0.3;     // gain of the reverb return
    int DelaySteps = 3;         // echo time in sixteenth steps
    double DelayFeedback = 0.3;
    double DelayMix = 0.25;
    uint32_t Seed = 1;
    std::vector<Instrument> Instruments;
    std::vector<NoteEvent> Notes;
    int64_t LengthSamples = 0; // exact length of the rendered loop or effect
};

// Reads and expands a score file. On failure Error holds "file:line: reason". 1 or 0.
int LoadScore(const std::string& Path, Score& Out, std::string& Error);
// Parses score text (Path only names it in messages). 1 or 0.
int ParseScore(const std::string& Text, const std::string& Path, Score& Out, std::string& Error);
// "C4", "F#3", "Bb2" -> Hz (A4 = 440). 0 when the name is not a pitch.
double PitchToFrequency(const std::string& Name);

// ---------------------------------------------------------------------------
// voices.cpp: one note of one instrument into a mono buffer
// ---------------------------------------------------------------------------

// Samples the note sounds for, release and ringing included.
int64_t NoteLength(const Instrument& Inst, int64_t Gate);
// Renders the note (Out gets NoteLength samples). Seed varies noise per note.
void RenderNote(const Instrument& Inst, const NoteEvent& Note, uint32_t Seed, std::vector<float>& Out);

// ---------------------------------------------------------------------------
// mix.cpp: the whole piece, effects, normalising
// ---------------------------------------------------------------------------

// Stereo interleaved result, LengthSamples frames. Music wraps every tail
// (notes, echo, reverb) into the loop start so the seam is continuous.
// WrapTails = 0 renders a plain cut instead (only to prove the seam check).
// Returns the gain (dB) the normalising applied, for comparing renders.
double RenderScore(const Score& S, int WrapTails, std::vector<float>& Stereo);

// ---------------------------------------------------------------------------
// output.cpp: writing and reading the files
// ---------------------------------------------------------------------------

int WriteOggVorbis(const std::string& Path, const std::vector<float>& Stereo, double Quality); // 1 or 0
int WriteWav16(const std::string& Path, const std::vector<float>& Stereo);                     // 1 or 0

// ---------------------------------------------------------------------------
// check.cpp: --check FILE
// ---------------------------------------------------------------------------

struct CheckLimits {
    double MinSeconds = 60.0;      // music
    double MaxEffectSeconds = 0.2; // effects
    double MaxPeakDb = -1.0;
};

// Decodes FILE (.ogg or .wav), prints its figures and returns 1 when it passes.
int CheckAudioFile(const std::string& Path, const CheckLimits& Limits);
