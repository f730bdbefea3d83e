// The score text. A score is a list of lines:
//   tempo 70                   beats per minute
//   meter 4                    beats per bar
//   bars 20                    length of the music loop in bars
//   effect 0.09                a one-shot effect of that many seconds (instead of a loop)
//   peak -3                    loudest sample after normalising, dBFS
//   quality 0.45               Vorbis quality
//   reverb size=.. damp=.. mix=..    delay steps=.. feedback=.. mix=..    seed N
//   instrument NAME KIND key=value ...
//   pattern NAME BARS ... end  with lines
//       notes INSTRUMENT TOKEN ...     TOKEN = PITCH[+PITCH..]:STEPS[@VELOCITY] or .:STEPS (rest)
//       grid INSTRUMENT PITCH x.o.     one character per sixteenth: x hit, o soft hit, . nothing
//   at BAR PATTERN[^SEMITONES] ...     places patterns, optionally transposed
// ";" starts a comment ("#" is the sharp sign). Every notes line must fill its pattern exactly,
// so a miscounted bar is an error instead of a melody that drifts.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "synth.h"

namespace {

struct PatternNote {
    int Instrument = 0;
    int Step = 0;                  // sixteenths from the pattern start
    int Steps = 1;                 // gate in sixteenths
    std::vector<double> Semitones; // MIDI note numbers
    double Velocity = 1.0;
};

struct Pattern {
    int Bars = 1;
    std::vector<PatternNote> Notes;
};

struct ParseState {
    Score* Out = nullptr;
    std::string Path;
    int Line = 0;
    std::string Error;
    std::map<std::string, Pattern> Patterns;
    std::string OpenPattern; // name of the pattern being read, "" outside
};

} // namespace

static int Fail(ParseState& P, const std::string& Why);
static std::vector<std::string> SplitWords(const std::string& Line);
static int ParseNumberWord(const std::string& Word, double& Value);
static double PitchToMidi(const std::string& Name);
static int FindInstrument(const Score& S, const std::string& Name);
static int ParseInstrument(ParseState& P, const std::vector<std::string>& W);
static int ParseKeyValues(ParseState& P, const std::vector<std::string>& W, size_t From,
                          std::map<std::string, double>& Values);
static int ParseNotesLine(ParseState& P, const std::vector<std::string>& W);
static int ParseGridLine(ParseState& P, const std::vector<std::string>& W);
static int ParseAtLine(ParseState& P, const std::vector<std::string>& W);

int LoadScore(const std::string& Path, Score& Out, std::string& Error)
{
    std::ifstream In(Path, std::ios::binary);
    if (!In) {
        Error = Path + ": cannot be read";
        return 0;
    }
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    return ParseScore(Buffer.str(), Path, Out, Error);
}

int ParseScore(const std::string& Text, const std::string& Path, Score& Out, std::string& Error)
{
    Out = Score();
    Out.Path = Path;
    ParseState P;
    P.Out = &Out;
    P.Path = Path;
    // Notes are placed in steps first; they become samples once the tempo is known.
    std::istringstream Lines(Text);
    std::string Line;
    while (std::getline(Lines, Line)) {
        P.Line++;
        size_t Cut = Line.find(';');
        if (Cut != std::string::npos)
            Line.resize(Cut);
        std::vector<std::string> W = SplitWords(Line);
        if (W.empty())
            continue;
        const std::string& Verb = W[0];
        int Ok = 1;
        double V = 0;
        if (!P.OpenPattern.empty()) {
            if (Verb == "end")
                P.OpenPattern.clear();
            else if (Verb == "notes")
                Ok = ParseNotesLine(P, W);
            else if (Verb == "grid")
                Ok = ParseGridLine(P, W);
            else
                Ok = Fail(P, "unknown line in pattern: " + Verb);
        } else if (Verb == "tempo" && W.size() == 2 && ParseNumberWord(W[1], V) && V >= 20 && V <= 2000) {
            Out.Tempo = V;
        } else if (Verb == "meter" && W.size() == 2 && ParseNumberWord(W[1], V) && V >= 1 && V <= 16) {
            Out.Meter = int(V);
        } else if (Verb == "bars" && W.size() == 2 && ParseNumberWord(W[1], V) && V >= 1 && V <= 512) {
            Out.Bars = int(V);
        } else if (Verb == "effect" && W.size() == 2 && ParseNumberWord(W[1], V) && V > 0 && V <= 10) {
            Out.IsEffect = 1;
            Out.EffectSeconds = V;
        } else if (Verb == "peak" && W.size() == 2 && ParseNumberWord(W[1], V) && V < 0 && V > -40) {
            Out.PeakDb = V;
        } else if (Verb == "quality" && W.size() == 2 && ParseNumberWord(W[1], V) && V >= -0.1 && V <= 1) {
            Out.Quality = V;
        } else if (Verb == "seed" && W.size() == 2 && ParseNumberWord(W[1], V) && V >= 0 && V <= 4294967295.0) {
            Out.Seed = uint32_t(V);
        } else if (Verb == "reverb" || Verb == "delay") {
            std::map<std::string, double> Values;
            Ok = ParseKeyValues(P, W, 1, Values);
            for (auto& [Key, Value] : Values) {
                if (!Ok)
                    break;
                if (Verb == "reverb" && Key == "size")
                    Out.ReverbSize = std::clamp(Value, 0.0, 1.0);
                else if (Verb == "reverb" && Key == "damp")
                    Out.ReverbDamp = std::clamp(Value, 0.0, 1.0);
                else if (Verb == "reverb" && Key == "mix")
                    Out.ReverbMix = std::clamp(Value, 0.0, 2.0);
                else if (Verb == "delay" && Key == "steps")
                    Out.DelaySteps = int(std::clamp(Value, 1.0, 64.0));
                else if (Verb == "delay" && Key == "feedback")
                    Out.DelayFeedback = std::clamp(Value, 0.0, 0.9);
                else if (Verb == "delay" && Key == "mix")
                    Out.DelayMix = std::clamp(Value, 0.0, 2.0);
                else
                    Ok = Fail(P, "unknown " + Verb + " setting: " + Key);
            }
        } else if (Verb == "instrument") {
            Ok = ParseInstrument(P, W);
        } else if (Verb == "pattern" && W.size() == 3 && ParseNumberWord(W[2], V) && V >= 1 && V <= 64) {
            if (P.Patterns.count(W[1]))
                Ok = Fail(P, "pattern defined twice: " + W[1]);
            P.Patterns[W[1]].Bars = int(V);
            P.OpenPattern = W[1];
        } else if (Verb == "at") {
            Ok = ParseAtLine(P, W);
        } else {
            Ok = Fail(P, "cannot read this line");
        }
        if (!Ok) {
            Error = P.Error;
            return 0;
        }
    }
    if (!P.OpenPattern.empty()) {
        Error = Path + ": pattern " + P.OpenPattern + " has no end";
        return 0;
    }
    // Lengths: the loop must be a whole number of samples so it repeats exactly.
    double SamplesPerBeat = 60.0 * SynthRate / Out.Tempo;
    if (Out.IsEffect) {
        Out.LengthSamples = int64_t(std::llround(Out.EffectSeconds * SynthRate));
    } else {
        double Exact = SamplesPerBeat * Out.Meter * Out.Bars;
        Out.LengthSamples = int64_t(std::llround(Exact));
        if (std::fabs(Exact - double(Out.LengthSamples)) > 1e-6) {
            Error =
                Path + ": tempo " + std::to_string(Out.Tempo) + " gives a loop that is not a whole number of samples";
            return 0;
        }
    }
    if (Out.Notes.empty()) {
        Error = Path + ": no notes placed (no \"at\" line)";
        return 0;
    }
    return 1;
}

double PitchToFrequency(const std::string& Name)
{
    double Midi = PitchToMidi(Name);
    if (Midi < 0)
        return 0.0;
    return 440.0 * std::pow(2.0, (Midi - 69.0) / 12.0);
}

static int Fail(ParseState& P, const std::string& Why)
{
    P.Error = P.Path + ":" + std::to_string(P.Line) + ": " + Why;
    return 0;
}

static std::vector<std::string> SplitWords(const std::string& Line)
{
    std::vector<std::string> Words;
    std::istringstream In(Line);
    std::string W;
    while (In >> W)
        Words.push_back(W);
    return Words;
}

static int ParseNumberWord(const std::string& Word, double& Value)
{
    if (Word.empty())
        return 0;
    char* End = nullptr;
    Value = std::strtod(Word.c_str(), &End);
    return End && *End == 0 && std::isfinite(Value);
}

// "C4" = 60; sharps "#", flats "b"; octave -1..9. -1 when not a pitch.
static double PitchToMidi(const std::string& Name)
{
    static const int Base[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (Name.size() < 2)
        return -1;
    char Letter = Name[0];
    if (Letter < 'A' || Letter > 'G')
        return -1;
    int Semi = Base[Letter - 'A'];
    size_t I = 1;
    while (I < Name.size() && (Name[I] == '#' || Name[I] == 'b')) {
        Semi += Name[I] == '#' ? 1 : -1;
        I++;
    }
    double Octave = 0;
    if (I >= Name.size() || !ParseNumberWord(Name.substr(I), Octave))
        return -1;
    if (Octave < -1 || Octave > 9 || Octave != std::floor(Octave))
        return -1;
    return (Octave + 1) * 12 + Semi;
}

static int FindInstrument(const Score& S, const std::string& Name)
{
    for (size_t I = 0; I < S.Instruments.size(); I++)
        if (S.Instruments[I].Name == Name)
            return int(I);
    return -1;
}

static int ParseKeyValues(ParseState& P, const std::vector<std::string>& W, size_t From,
                          std::map<std::string, double>& Values)
{
    for (size_t I = From; I < W.size(); I++) {
        size_t Eq = W[I].find('=');
        double V = 0;
        if (Eq == std::string::npos || Eq == 0 || !ParseNumberWord(W[I].substr(Eq + 1), V))
            return Fail(P, "expected key=number, found " + W[I]);
        Values[W[I].substr(0, Eq)] = V;
    }
    return 1;
}

static int ParseInstrument(ParseState& P, const std::vector<std::string>& W)
{
    static const std::map<std::string, int> Kinds = {
        {"pad", VoicePad},   {"fm", VoiceFm},       {"pluck", VoicePluck}, {"bass", VoiceBass}, {"pulse", VoicePulse},
        {"kick", VoiceKick}, {"snare", VoiceSnare}, {"hat", VoiceHat},     {"tick", VoiceTick}};
    if (W.size() < 3)
        return Fail(P, "instrument needs a name and a kind");
    if (FindInstrument(*P.Out, W[1]) >= 0)
        return Fail(P, "instrument defined twice: " + W[1]);
    auto Kind = Kinds.find(W[2]);
    if (Kind == Kinds.end())
        return Fail(P, "unknown instrument kind: " + W[2]);
    Instrument Inst;
    Inst.Name = W[1];
    Inst.Kind = Kind->second;
    std::map<std::string, double> Values;
    if (!ParseKeyValues(P, W, 3, Values))
        return 0;
    struct Field {
        const char* Key;
        double* Where;
        double Low, High;
    };
    const Field Fields[] = {{"gain", &Inst.Gain, 0, 4},
                            {"pan", &Inst.Pan, -1, 1},
                            {"attack", &Inst.Attack, 0, 10},
                            {"decay", &Inst.Decay, 0.001, 20},
                            {"sustain", &Inst.Sustain, 0, 1},
                            {"release", &Inst.Release, 0.001, 20},
                            {"cutoff", &Inst.Cutoff, 20, 20000},
                            {"resonance", &Inst.Resonance, 0, 0.9},
                            {"detune", &Inst.Detune, 0, 100},
                            {"ratio", &Inst.Ratio, 0.01, 32},
                            {"index", &Inst.Index, 0, 20},
                            {"indexdecay", &Inst.IndexDecay, 0.001, 20},
                            {"brightness", &Inst.Brightness, 0, 1},
                            {"width", &Inst.Width, 0.05, 0.95},
                            {"vibrato", &Inst.Vibrato, 0, 2},
                            {"glide", &Inst.Glide, -24, 24},
                            {"glidetime", &Inst.GlideTime, 0.001, 2},
                            {"reverb", &Inst.ReverbSend, 0, 1},
                            {"delay", &Inst.DelaySend, 0, 1},
                            {"swing", &Inst.Swing, 0, 0.5},
                            {"humanise", &Inst.Humanise, 0, 1}};
    for (auto& [Key, Value] : Values) {
        const Field* Found = nullptr;
        for (const Field& F : Fields)
            if (Key == F.Key)
                Found = &F;
        if (!Found)
            return Fail(P, "unknown instrument setting: " + Key);
        if (Value < Found->Low || Value > Found->High)
            return Fail(P, Key + " out of range " + std::to_string(Found->Low) + ".." + std::to_string(Found->High));
        *Found->Where = Value;
    }
    P.Out->Instruments.push_back(Inst);
    return 1;
}

static int ParseNotesLine(ParseState& P, const std::vector<std::string>& W)
{
    if (W.size() < 3)
        return Fail(P, "notes needs an instrument and notes");
    int Inst = FindInstrument(*P.Out, W[1]);
    if (Inst < 0)
        return Fail(P, "unknown instrument: " + W[1]);
    Pattern& Pat = P.Patterns[P.OpenPattern];
    int Total = Pat.Bars * P.Out->Meter * StepsPerBeat;
    int Step = 0;
    for (size_t I = 2; I < W.size(); I++) {
        const std::string& T = W[I];
        size_t Colon = T.find(':');
        if (Colon == std::string::npos || Colon == 0)
            return Fail(P, "note needs PITCH:STEPS, found " + T);
        std::string Pitches = T.substr(0, Colon);
        std::string Rest = T.substr(Colon + 1);
        double Velocity = 1.0;
        size_t At = Rest.find('@');
        if (At != std::string::npos) {
            if (!ParseNumberWord(Rest.substr(At + 1), Velocity) || Velocity < 0 || Velocity > 1.5)
                return Fail(P, "bad velocity in " + T);
            Rest.resize(At);
        }
        double Steps = 0;
        if (!ParseNumberWord(Rest, Steps) || Steps < 1 || Steps != std::floor(Steps))
            return Fail(P, "bad length in " + T);
        if (Pitches != "." && Pitches != "r") {
            PatternNote N;
            N.Instrument = Inst;
            N.Step = Step;
            N.Steps = int(Steps);
            N.Velocity = Velocity;
            size_t From = 0;
            while (From <= Pitches.size()) {
                size_t Plus = Pitches.find('+', From);
                std::string One = Pitches.substr(From, Plus == std::string::npos ? std::string::npos : Plus - From);
                double Midi = PitchToMidi(One);
                if (Midi < 0)
                    return Fail(P, "not a pitch: " + One);
                N.Semitones.push_back(Midi);
                if (Plus == std::string::npos)
                    break;
                From = Plus + 1;
            }
            Pat.Notes.push_back(N);
        }
        Step += int(Steps);
    }
    if (Step != Total)
        return Fail(P, "notes of " + W[1] + " fill " + std::to_string(Step) + " sixteenths, the pattern has " +
                           std::to_string(Total));
    return 1;
}

static int ParseGridLine(ParseState& P, const std::vector<std::string>& W)
{
    if (W.size() < 4)
        return Fail(P, "grid needs an instrument, a pitch and steps");
    int Inst = FindInstrument(*P.Out, W[1]);
    if (Inst < 0)
        return Fail(P, "unknown instrument: " + W[1]);
    double Midi = PitchToMidi(W[2]);
    if (Midi < 0)
        return Fail(P, "not a pitch: " + W[2]);
    std::string Cells;
    for (size_t I = 3; I < W.size(); I++)
        Cells += W[I];
    Pattern& Pat = P.Patterns[P.OpenPattern];
    int Total = Pat.Bars * P.Out->Meter * StepsPerBeat;
    if (int(Cells.size()) != Total)
        return Fail(P, "grid of " + W[1] + " has " + std::to_string(Cells.size()) + " cells, the pattern has " +
                           std::to_string(Total));
    for (int I = 0; I < Total; I++) {
        char C = Cells[size_t(I)];
        if (C == '.')
            continue;
        if (C != 'x' && C != 'o')
            return Fail(P, std::string("grid cell must be x, o or ., found ") + C);
        PatternNote N;
        N.Instrument = Inst;
        N.Step = I;
        N.Steps = 1;
        N.Semitones.push_back(Midi);
        N.Velocity = C == 'x' ? 1.0 : 0.55;
        Pat.Notes.push_back(N);
    }
    return 1;
}

// Small deterministic generator for humanising (the same score gives the same file).
static double NextRandom(uint32_t& State)
{
    State = State * 1664525u + 1013904223u;
    return double(State >> 8) / double(1u << 24);
}

static int ParseAtLine(ParseState& P, const std::vector<std::string>& W)
{
    double Bar = 0;
    if (W.size() < 3 || !ParseNumberWord(W[1], Bar) || Bar < 0 || Bar != std::floor(Bar))
        return Fail(P, "at needs a bar number and patterns");
    Score& S = *P.Out;
    double SamplesPerStep = 60.0 * SynthRate / S.Tempo / StepsPerBeat;
    uint32_t Random = S.Seed * 2654435761u + uint32_t(P.Line);
    for (size_t I = 2; I < W.size(); I++) {
        std::string Name = W[I];
        double Transpose = 0;
        size_t Hat = Name.find('^');
        if (Hat != std::string::npos) {
            if (!ParseNumberWord(Name.substr(Hat + 1), Transpose) || Transpose != std::floor(Transpose))
                return Fail(P, "bad transposition in " + Name);
            Name.resize(Hat);
        }
        auto Found = P.Patterns.find(Name);
        if (Found == P.Patterns.end())
            return Fail(P, "unknown pattern: " + Name);
        if (!S.IsEffect && int(Bar) + Found->second.Bars > S.Bars)
            return Fail(P, "pattern " + Name + " runs past the last bar");
        int BaseStep = int(Bar) * S.Meter * StepsPerBeat;
        for (const PatternNote& N : Found->second.Notes) {
            const Instrument& Inst = S.Instruments[size_t(N.Instrument)];
            int Step = BaseStep + N.Step;
            double Start = Step * SamplesPerStep;
            if (Step % 2 == 1)
                Start += Inst.Swing * SamplesPerStep;
            double Velocity = N.Velocity;
            if (Inst.Humanise > 0)
                Velocity *= 1.0 - Inst.Humanise * 0.25 * NextRandom(Random);
            for (double Midi : N.Semitones) {
                NoteEvent E;
                E.Instrument = N.Instrument;
                E.Start = int64_t(std::llround(Start));
                E.Gate = int64_t(std::llround(N.Steps * SamplesPerStep));
                E.Frequency = 440.0 * std::pow(2.0, (Midi + Transpose - 69.0) / 12.0);
                E.Velocity = Velocity;
                S.Notes.push_back(E);
            }
        }
    }
    return 1;
}
