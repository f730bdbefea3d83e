// The whole piece: notes summed into the stereo loop, the ping-pong echo and
// the reverb, then scaled so the loudest sample sits at the score's peak.
//
// Looping music is rendered as a circle: a note that rings past the last
// sample continues at the first, and the echo and the reverb run over the loop
// twice, keeping only the second pass, so their tails from the end are already
// sounding at the start. Played looped, the seam is just another sample step.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace {

// Freeverb-style comb with damping in its feedback path.
struct Comb {
    std::vector<double> Line;
    size_t Pos = 0;
    double Store = 0;
    double Run(double In, double Feedback, double Damp)
    {
        double Out = Line[Pos];
        Store = Out * (1.0 - Damp) + Store * Damp;
        Line[Pos] = In + Store * Feedback;
        if (++Pos == Line.size())
            Pos = 0;
        return Out;
    }
};

struct Allpass {
    std::vector<double> Line;
    size_t Pos = 0;
    double Run(double In)
    {
        double Delayed = Line[Pos];
        double Out = Delayed - In;
        Line[Pos] = In + Delayed * 0.5;
        if (++Pos == Line.size())
            Pos = 0;
        return Out;
    }
};

// Delay lengths in samples at 44.1 kHz; the right channel is 23 samples longer.
const int CombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int AllpassLengths[4] = {556, 441, 341, 225};
constexpr int StereoSpread = 23;

} // namespace

static void RunReverb(const Score& S, const std::vector<double>& Send, int Passes, std::vector<double>& OutL,
                      std::vector<double>& OutR);
static void RunEcho(const Score& S, const std::vector<double>& Send, int Passes, std::vector<double>& OutL,
                    std::vector<double>& OutR);

double RenderScore(const Score& S, int WrapTails, std::vector<float>& Stereo)
{
    const int64_t N = S.LengthSamples;
    const int Wrap = S.IsEffect ? 0 : WrapTails;
    std::vector<double> L(size_t(N), 0.0), R(size_t(N), 0.0), ReverbSend(size_t(N), 0.0), EchoSend(size_t(N), 0.0);
    std::vector<float> Voice;
    uint32_t NoteSeed = S.Seed;
    for (const NoteEvent& Note : S.Notes) {
        const Instrument& Inst = S.Instruments[size_t(Note.Instrument)];
        NoteSeed = NoteSeed * 1103515245u + 12345u;
        RenderNote(Inst, Note, NoteSeed, Voice);
        // Equal-power pan.
        double Angle = (Inst.Pan + 1.0) * 0.7853981633974483;
        double GainL = std::cos(Angle) * 1.4142135623730951, GainR = std::sin(Angle) * 1.4142135623730951;
        for (size_t I = 0; I < Voice.size(); I++) {
            int64_t At = Note.Start + int64_t(I);
            if (At >= N) {
                if (!Wrap)
                    break;
                At %= N;
            }
            double V = Voice[I];
            L[size_t(At)] += V * GainL;
            R[size_t(At)] += V * GainR;
            ReverbSend[size_t(At)] += V * Inst.ReverbSend;
            EchoSend[size_t(At)] += V * Inst.DelaySend;
        }
    }
    int Passes = Wrap ? 2 : 1;
    std::vector<double> EchoL, EchoR, VerbL, VerbR;
    RunEcho(S, EchoSend, Passes, EchoL, EchoR);
    // The echo feeds the reverb a little too, so repeats sit in the same room.
    for (int64_t I = 0; I < N; I++)
        ReverbSend[size_t(I)] += 0.3 * (EchoL[size_t(I)] + EchoR[size_t(I)]);
    RunReverb(S, ReverbSend, Passes, VerbL, VerbR);

    std::vector<double> Mixed(size_t(N) * 2);
    for (int64_t I = 0; I < N; I++) {
        Mixed[size_t(2 * I)] = L[size_t(I)] + S.DelayMix * EchoL[size_t(I)] + S.ReverbMix * VerbL[size_t(I)];
        Mixed[size_t(2 * I + 1)] = R[size_t(I)] + S.DelayMix * EchoR[size_t(I)] + S.ReverbMix * VerbR[size_t(I)];
    }
    if (S.IsEffect) {
        // Raised-cosine fades: 1.5 ms in, 12 ms out (or a third of a very short effect).
        int64_t In = std::min<int64_t>(N / 3, SynthRate * 15 / 10000);
        int64_t Out = std::min<int64_t>(N / 3, SynthRate * 12 / 1000);
        for (int64_t I = 0; I < N; I++) {
            double G = 1.0;
            if (I < In)
                G *= 0.5 - 0.5 * std::cos(3.141592653589793 * double(I) / double(In));
            if (I >= N - Out)
                G *= 0.5 - 0.5 * std::cos(3.141592653589793 * double(N - 1 - I) / double(Out));
            Mixed[size_t(2 * I)] *= G;
            Mixed[size_t(2 * I + 1)] *= G;
        }
    }
    double Peak = 0;
    for (double V : Mixed)
        Peak = std::max(Peak, std::fabs(V));
    double Scale = Peak > 0 ? std::pow(10.0, S.PeakDb / 20.0) / Peak : 0.0;
    Stereo.resize(Mixed.size());
    for (size_t I = 0; I < Mixed.size(); I++)
        Stereo[I] = float(Mixed[I] * Scale);
    return Scale > 0 ? 20.0 * std::log10(Scale) : 0.0;
}

// Ping-pong echo: the send enters the left line, each repeat crosses sides
// and loses some treble. Output gets the last pass over the loop.
static void RunEcho(const Score& S, const std::vector<double>& Send, int Passes, std::vector<double>& OutL,
                    std::vector<double>& OutR)
{
    const size_t N = Send.size();
    OutL.assign(N, 0.0);
    OutR.assign(N, 0.0);
    size_t Length = size_t(std::llround(60.0 * SynthRate / S.Tempo / StepsPerBeat * S.DelaySteps));
    std::vector<double> LineL(Length, 0.0), LineR(Length, 0.0);
    size_t Pos = 0;
    double ToneL = 0, ToneR = 0;
    for (int Pass = 0; Pass < Passes; Pass++) {
        for (size_t I = 0; I < N; I++) {
            double DelayedL = LineL[Pos], DelayedR = LineR[Pos];
            ToneL += 0.35 * (DelayedL - ToneL);
            ToneR += 0.35 * (DelayedR - ToneR);
            LineL[Pos] = Send[I] + ToneR * S.DelayFeedback;
            LineR[Pos] = ToneL * S.DelayFeedback;
            if (++Pos == Length)
                Pos = 0;
            if (Pass == Passes - 1) {
                OutL[I] = DelayedL;
                OutR[I] = DelayedR;
            }
        }
    }
}

static void RunReverb(const Score& S, const std::vector<double>& Send, int Passes, std::vector<double>& OutL,
                      std::vector<double>& OutR)
{
    const size_t N = Send.size();
    OutL.assign(N, 0.0);
    OutR.assign(N, 0.0);
    Comb CombsL[8], CombsR[8];
    Allpass PassL[4], PassR[4];
    for (int K = 0; K < 8; K++) {
        CombsL[K].Line.assign(size_t(CombLengths[K]), 0.0);
        CombsR[K].Line.assign(size_t(CombLengths[K] + StereoSpread), 0.0);
    }
    for (int K = 0; K < 4; K++) {
        PassL[K].Line.assign(size_t(AllpassLengths[K]), 0.0);
        PassR[K].Line.assign(size_t(AllpassLengths[K] + StereoSpread), 0.0);
    }
    double Feedback = 0.7 + 0.28 * S.ReverbSize;
    double Damp = 0.4 * S.ReverbDamp;
    for (int Pass = 0; Pass < Passes; Pass++) {
        for (size_t I = 0; I < N; I++) {
            double In = Send[I] * 0.03;
            double L = 0, R = 0;
            for (int K = 0; K < 8; K++) {
                L += CombsL[K].Run(In, Feedback, Damp);
                R += CombsR[K].Run(In, Feedback, Damp);
            }
            for (int K = 0; K < 4; K++) {
                L = PassL[K].Run(L);
                R = PassR[K].Run(R);
            }
            if (Pass == Passes - 1) {
                OutL[I] = L;
                OutR[I] = R;
            }
        }
    }
}
