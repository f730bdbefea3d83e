// Time: the millisecond clock, sleeping and local dates. In headless runs the
// clock is virtual: it moves only when the driver finishes a frame, so play
// times in scripted tests come out the same on every machine.
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <thread>
#include <vector>

// Virtual frames run so far (headless runs only).
static int64_t VirtualFrames = 0;

static std::string Formatted(const std::string& Mask, const std::tm& Time);

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
    if (localtime_r(&Now, &Local) == nullptr)
        return FormatDateTime(Mask, 1970, 1, 1, 0, 0, 0);
    return Formatted(Mask, Local);
}

std::string FormatDateTime(const std::string& Mask, int Year, int Month, int Day, int Hour, int Minute, int Second)
{
    std::tm Time{};
    Time.tm_year = Year - 1900;
    Time.tm_mon = Month - 1;
    Time.tm_mday = Day;
    Time.tm_hour = Hour;
    Time.tm_min = Minute;
    Time.tm_sec = Second;
    return Formatted(Mask, Time);
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

// Each mask is a percent sign and a doubled (quadrupled for the year) letter,
// zero-padded to as many digits; anything else, a lone "%" included, is
// copied as it stands.
static std::string Formatted(const std::string& Mask, const std::tm& Time)
{
    static const struct {
        const char* Mask;
        const char* Format;
    } Fields[] = {{"%yyyy", nullptr}, {"%mm", "%m"}, {"%dd", "%d"}, {"%hh", "%H"}, {"%ii", "%M"}, {"%ss", "%S"}};
    // The year padded to four digits by hand: Windows' strftime knows no "%04Y".
    char Year[16];
    std::snprintf(Year, sizeof Year, "%04d", Time.tm_year + 1900);
    // An "x" in front keeps strftime's result from being empty.
    std::string Format = "x";
    for (size_t I = 0; I < Mask.size();) {
        const auto* Field = std::find_if(std::begin(Fields), std::end(Fields), [&](const auto& F) {
            return Mask.compare(I, std::strlen(F.Mask), F.Mask) == 0;
        });
        if (Field != std::end(Fields)) {
            Format += Field->Format != nullptr ? Field->Format : Year;
            I += std::strlen(Field->Mask);
        } else {
            Format += Mask[I] == '%' ? "%%" : std::string(1, Mask[I]);
            I++;
        }
    }
    std::vector<char> Out(Format.size() * 4 + 16);
    size_t Length = std::strftime(Out.data(), Out.size(), Format.c_str(), &Time);
    return Length > 0 ? std::string(Out.data() + 1, Length - 1) : std::string();
}
