// One note of one instrument, rendered into a mono buffer. Every voice ends at
// exactly zero (the release reaches 0 on its last sample), so notes can be
// summed anywhere without steps in the waveform.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double Dt = 1.0 / SynthRate;

// Topology-preserving state-variable filter (stable at any cutoff).
struct Svf {
    double Ic1 = 0, Ic2 = 0;
    double G = 0, K = 0, A1 = 0, A2 = 0, A3 = 0;
    void Set(double Cutoff, double Resonance)
    {
        Cutoff = std::clamp(Cutoff, 20.0, SynthRate * 0.45);
        G = std::tan(3.141592653589793 * Cutoff / SynthRate);
        K = 2.0 - 2.0 * std::clamp(Resonance, 0.0, 0.95);
        A1 = 1.0 / (1.0 + G * (G + K));
        A2 = G * A1;
        A3 = G * A2;
    }
    // Returns the low-pass output; Band and High get the other two.
    double Run(double In, double& Band, double& High)
    {
        double V3 = In - Ic2;
        double V1 = A1 * Ic1 + A2 * V3;
        double V2 = Ic2 + A2 * Ic1 + A3 * V3;
        Ic1 = 2 * V1 - Ic1;
        Ic2 = 2 * V2 - Ic2;
        Band = V1;
        High = In - K * V1 - V2;
        return V2;
    }
};

struct Noise {
    uint32_t State;
    double Next()
    {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return double(State) / 2147483648.0 - 1.0;
    }
};

} // namespace

static double SinCycles(double Cycles);
static double PolyBlep(double Phase, double Step);
static double Envelope(const Instrument& Inst, double T, double GateSeconds);
static double PitchFactor(const Instrument& Inst, double T);

int64_t NoteLength(const Instrument& Inst, int64_t Gate)
{
    double Tail = 0;
    switch (Inst.Kind) {
    case VoiceKick: return int64_t(SynthRate * (Inst.Decay * 4.0 + 0.02));
    case VoiceSnare: return int64_t(SynthRate * (Inst.Decay * 4.0 + 0.02));
    case VoiceHat: return int64_t(SynthRate * (Inst.Decay * 4.0 + 0.01));
    case VoiceTick: return int64_t(SynthRate * (Inst.Decay * 4.0 + 0.005));
    default: Tail = Inst.Release; break;
    }
    return Gate + int64_t(SynthRate * Tail) + 1;
}

void RenderNote(const Instrument& Inst, const NoteEvent& Note, uint32_t Seed, std::vector<float>& Out)
{
    int64_t Length = NoteLength(Inst, Note.Gate);
    Out.assign(size_t(Length), 0.0f);
    double Gate = double(Note.Gate) / SynthRate;
    double F = Note.Frequency;
    double Amp = Inst.Gain * Note.Velocity;
    Noise Rng{Seed * 747796405u + 2891336453u};
    if (Rng.State == 0)
        Rng.State = 1;
    Svf Filter;
    Filter.Set(Inst.Cutoff, Inst.Resonance);
    double Band = 0, High = 0;

    switch (Inst.Kind) {
    case VoicePad: {
        // Three detuned band-limited saws and a quiet sine an octave down,
        // through a low-pass that opens a little with the attack.
        double Phase[3] = {0.0, 0.31, 0.67};
        double Cents[3] = {-Inst.Detune, 0.0, Inst.Detune};
        double Steps[3];
        for (int V = 0; V < 3; V++)
            Steps[V] = F * std::pow(2.0, Cents[V] / 1200.0) * Dt;
        double SubPhase = 0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Sum = 0;
            for (int V = 0; V < 3; V++) {
                double Step = Steps[V];
                double S = 2.0 * Phase[V] - 1.0 - PolyBlep(Phase[V], Step);
                Sum += S;
                Phase[V] += Step;
                if (Phase[V] >= 1.0)
                    Phase[V] -= 1.0;
            }
            Sum = Sum / 3.0 + 0.35 * SinCycles(SubPhase);
            SubPhase += 0.5 * F * Dt;
            if (SubPhase >= 1.0)
                SubPhase -= 1.0;
            if ((I & 31) == 0)
                Filter.Set(Inst.Cutoff * (0.7 + 0.3 * std::min(1.0, T / (Inst.Attack + 0.05))), Inst.Resonance);
            Out[size_t(I)] = float(Filter.Run(Sum, Band, High) * Envelope(Inst, T, Gate) * Amp);
        }
        break;
    }
    case VoiceFm: {
        // Two operators: the index falls away after the strike, like a bell or an electric piano.
        double CarrierPhase = 0, ModPhase = 0;
        double Strike = Inst.Index * std::sqrt(std::max(0.05, Note.Velocity));
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Freq = F * PitchFactor(Inst, T);
            double Index = Strike * (0.15 + 0.85 * std::exp(-T * 1.1 / Inst.IndexDecay));
            double S = SinCycles(CarrierPhase + Index / TwoPi * SinCycles(ModPhase));
            CarrierPhase += Freq * Dt;
            ModPhase += Freq * Inst.Ratio * Dt;
            CarrierPhase -= std::floor(CarrierPhase);
            ModPhase -= std::floor(ModPhase);
            Out[size_t(I)] = float(S * Envelope(Inst, T, Gate) * Amp);
        }
        break;
    }
    case VoicePluck: {
        // Karplus-Strong string: a burst of filtered noise circulating in a
        // delay one period long, averaged (and so darkened) on every pass.
        double Period = SynthRate / F;
        size_t Size = size_t(Period) + 2;
        std::vector<double> Line(Size, 0.0);
        double Smooth = 0;
        double Colour = 0.15 + 0.8 * Inst.Brightness;
        for (size_t I = 0; I < Size; I++) {
            Smooth += Colour * (Rng.Next() - Smooth);
            Line[I] = Smooth;
        }
        // Loss per period so the string falls by 60 dB in Decay seconds.
        double Loss = std::pow(0.001, Period / (Inst.Decay * SynthRate));
        double Mix = 0.5 + 0.45 * Inst.Brightness; // share of the newest sample in the loop filter
        // The loop filter itself delays by (1 - Mix) samples; the line makes up the rest.
        double LineDelay = std::max(2.0, Period - (1.0 - Mix));
        double Frac = LineDelay - std::floor(LineDelay);
        size_t Write = 0;
        size_t Delay = size_t(std::floor(LineDelay));
        double Previous = 0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            size_t ReadA = (Write + Size - Delay) % Size;
            size_t ReadB = (Write + Size - Delay - 1) % Size;
            double Delayed = Line[ReadA] * (1.0 - Frac) + Line[ReadB] * Frac;
            double Filtered = (Mix * Delayed + (1.0 - Mix) * Previous) * Loss;
            Previous = Delayed;
            Line[Write] = Filtered;
            Write = (Write + 1) % Size;
            double Attack = std::min(1.0, T / 0.002);
            Out[size_t(I)] = float(Delayed * Attack * Envelope(Inst, T, Gate) * Amp * 1.6);
        }
        break;
    }
    case VoiceBass: {
        // Round electric-bass tone: sine, its octave, a soft-clipped triangle, low-passed.
        double Phase = 0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Tri = 1.0 - 4.0 * std::fabs(Phase - 0.5);
            double S = SinCycles(Phase) + 0.25 * SinCycles(2 * Phase) + 0.35 * std::tanh(2.0 * Tri);
            Phase += F * PitchFactor(Inst, T) * Dt;
            Phase -= std::floor(Phase);
            Out[size_t(I)] = float(Filter.Run(S, Band, High) * Envelope(Inst, T, Gate) * Amp);
        }
        break;
    }
    case VoicePulse: {
        double Phase = 0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Step = F * PitchFactor(Inst, T) * Dt;
            double Shifted = Phase + (1.0 - Inst.Width);
            Shifted -= std::floor(Shifted);
            double Saw1 = 2.0 * Phase - 1.0 - PolyBlep(Phase, Step);
            double Saw2 = 2.0 * Shifted - 1.0 - PolyBlep(Shifted, Step);
            double S = 0.5 * (Saw1 - Saw2);
            Phase += Step;
            Phase -= std::floor(Phase);
            Out[size_t(I)] = float(Filter.Run(S, Band, High) * Envelope(Inst, T, Gate) * Amp);
        }
        break;
    }
    case VoiceKick: {
        // A sine swept down from about 2.6 times the note to the note, with a tiny click.
        double Phase = 0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Freq = F * (1.0 + 1.6 * std::exp(-T / 0.035));
            Phase += Freq * Dt;
            double Body = SinCycles(Phase) * std::exp(-T / Inst.Decay);
            double Click = Rng.Next() * std::exp(-T / 0.0015) * 0.3;
            double Fade = std::min(1.0, T / 0.0005) * std::min(1.0, double(Length - 1 - I) / 200.0);
            Out[size_t(I)] = float((Body + Click) * Fade * Amp);
        }
        break;
    }
    case VoiceSnare:
    case VoiceTick: {
        // Snare: a short tone at the note plus band-passed noise. Tick: just the noise.
        double Phase = 0;
        double ToneShare = Inst.Kind == VoiceSnare ? 0.45 : 0.0;
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Tone = SinCycles(Phase) * std::exp(-T / 0.06);
            Phase += F * PitchFactor(Inst, T) * Dt;
            Filter.Run(Rng.Next(), Band, High);
            double Hiss = (0.6 * Band + 0.4 * High) * std::exp(-T / Inst.Decay);
            double Fade = std::min(1.0, T / 0.0008) * std::min(1.0, double(Length - 1 - I) / 100.0);
            Out[size_t(I)] = float((ToneShare * Tone + (1.0 - ToneShare) * Hiss) * Fade * Amp);
        }
        break;
    }
    case VoiceHat: {
        // High-passed noise, sharpened with a few square partials for a metallic edge.
        const double Ratios[4] = {1.0, 1.342, 1.783, 2.159};
        double Phases[4] = {0, 0, 0, 0};
        for (int64_t I = 0; I < Length; I++) {
            double T = I * Dt;
            double Metal = 0;
            for (int K = 0; K < 4; K++) {
                Phases[K] += F * Ratios[K] * Dt;
                Phases[K] -= std::floor(Phases[K]);
                Metal += Phases[K] < 0.5 ? 0.25 : -0.25;
            }
            Filter.Run(0.7 * Rng.Next() + 0.3 * Metal, Band, High);
            double Fade = std::min(1.0, T / 0.0005) * std::min(1.0, double(Length - 1 - I) / 80.0);
            Out[size_t(I)] = float(High * std::exp(-T / Inst.Decay) * Fade * Amp);
        }
        break;
    }
    }
    Out.back() = 0.0f;
}

// sin(2 pi x) from a table of one cycle, linearly interpolated (error below 1e-7).
constexpr int SinTableSize = 8192;
static double SinTable[SinTableSize + 1];
static const int SinTableReady = [] {
    for (int I = 0; I <= SinTableSize; I++)
        SinTable[I] = std::sin(TwoPi * I / SinTableSize);
    return 1;
}(); // filled before main runs

static double SinCycles(double Cycles)
{
    double X = Cycles * SinTableSize;
    double Whole = std::floor(X);
    int I = int(int64_t(Whole) & (SinTableSize - 1));
    double Frac = X - Whole;
    return SinTable[I] + (SinTable[I + 1] - SinTable[I]) * Frac;
}

// Band-limiting correction for the step of a saw at phase 0 (Step = phase increment).
static double PolyBlep(double Phase, double Step)
{
    if (Phase < Step) {
        double X = Phase / Step;
        return X + X - X * X - 1.0;
    }
    if (Phase > 1.0 - Step) {
        double X = (Phase - 1.0) / Step;
        return X * X + X + X + 1.0;
    }
    return 0.0;
}

// Attack (rising sine quarter), decay to sustain, release to exactly zero.
static double Envelope(const Instrument& Inst, double T, double GateSeconds)
{
    auto Held = [&Inst](double U) {
        if (U < Inst.Attack)
            return std::sin(1.5707963267948966 * U / Inst.Attack);
        double D = (U - Inst.Attack) / Inst.Decay;
        return Inst.Sustain + (1.0 - Inst.Sustain) * std::exp(-3.0 * D);
    };
    if (T < GateSeconds)
        return Held(T);
    double R = (T - GateSeconds) / Inst.Release;
    if (R >= 1.0)
        return 0.0;
    double Fall = (1.0 - R);
    return Held(GateSeconds) * Fall * Fall * Fall;
}

// Pitch multiplier: the glide from above and the vibrato that fades in.
static double PitchFactor(const Instrument& Inst, double T)
{
    if (Inst.Glide == 0 && Inst.Vibrato == 0)
        return 1.0;
    double Semis = 0;
    if (Inst.Glide != 0)
        Semis += Inst.Glide * std::exp(-T / Inst.GlideTime);
    if (Inst.Vibrato > 0)
        Semis += Inst.Vibrato * std::sin(TwoPi * 5.5 * T) * std::min(1.0, T / 0.5);
    return std::pow(2.0, Semis / 12.0);
}
