// Time: the millisecond clock, sleeping and local dates. In headless runs the
// clock is virtual: it moves only when the driver finishes a frame, so play
// times in scripted tests come out the same on every machine.
#include "platform/platform.h"

#include <chrono>
#include <ctime>
#include <thread>

// Virtual frames run so far (headless runs only).
static int64_t VirtualFrames = 0;

static void AppendNumber(std::string& Out, int Value, int Digits);

int64_t MilliClock()
{
    if (Overrides.Headless) {
        // floor(n x 1000 / 60): 16, 33, 50, ... 1000 after 60 frames.
        return VirtualFrames * 1000 / 60;
    }
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int Milliseconds)
{
    if (Overrides.Headless || Milliseconds <= 0) {
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

std::string FormatDate(const std::string& Mask)
{
    std::time_t Now = std::time(nullptr);
    std::tm Local{};
    if (localtime_r(&Now, &Local) == nullptr) {
        return FormatDateTime(Mask, 1970, 1, 1, 0, 0, 0);
    }
    return FormatDateTime(Mask, Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Local.tm_hour, Local.tm_min,
                          Local.tm_sec);
}

std::string FormatDateTime(const std::string& Mask, int Year, int Month, int Day, int Hour, int Minute, int Second)
{
    // Each mask is a percent sign and a doubled (quadrupled for the year)
    // letter; anything else, a lone "%" included, is copied as it stands.
    std::string Out;
    Out.reserve(Mask.size() + 8);
    size_t I = 0;
    while (I < Mask.size()) {
        if (Mask[I] == '%') {
            std::string_view Rest(Mask.data() + I + 1, Mask.size() - I - 1);
            if (Rest.starts_with("yyyy")) {
                AppendNumber(Out, Year, 4);
                I += 5;
                continue;
            }
            struct TwoDigitMask {
                const char* Letters;
                int Value;
            };
            const TwoDigitMask Masks[] = {{"mm", Month}, {"dd", Day}, {"hh", Hour}, {"ii", Minute}, {"ss", Second}};
            bool Matched = false;
            for (const TwoDigitMask& M : Masks) {
                if (Rest.starts_with(M.Letters)) {
                    AppendNumber(Out, M.Value, 2);
                    I += 3;
                    Matched = true;
                    break;
                }
            }
            if (Matched) {
                continue;
            }
        }
        Out += Mask[I];
        I++;
    }
    return Out;
}

void AdvanceVirtualFrame()
{
    VirtualFrames++;
}

int64_t VirtualFrameCount()
{
    return VirtualFrames;
}

void ResetVirtualClock()
{
    VirtualFrames = 0;
}

// Zero-padded to at least Digits digits; negative values keep their sign.
static void AppendNumber(std::string& Out, int Value, int Digits)
{
    if (Value < 0) {
        Out += '-';
        Value = -Value;
    }
    std::string Text = std::to_string(Value);
    if (int(Text.size()) < Digits) {
        Out.append(size_t(Digits) - Text.size(), '0');
    }
    Out += Text;
}
