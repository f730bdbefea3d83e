// Date masks and the headless virtual clock.
#include "platform/platform.h"

#include <chrono>
#include <ctime>
#include <gtest/gtest.h>

TEST(PlatformClock, DateMasksArePaddedAndLiteralsKept)
{
    EXPECT_EQ(FormatDateTime("%yyyy-%mm-%dd--%hh-%ii-%ss", 2018, 7, 10, 14, 5, 9), "2018-07-10--14-05-09");
    EXPECT_EQ(FormatDateTime("Kistora %dd-%mm-%yyyy %hh-%ii-%ss.png", 2024, 12, 31, 0, 0, 59),
              "Kistora 31-12-2024 00-00-59.png");
    EXPECT_EQ(FormatDateTime("%hh%ii%ss", 2024, 1, 1, 23, 59, 0), "235900");
    EXPECT_EQ(FormatDateTime("%yyyy", 987, 1, 1, 0, 0, 0), "0987");
    // Unknown or incomplete masks stay as written.
    EXPECT_EQ(FormatDateTime("100% %m %yy %x %", 2024, 1, 1, 0, 0, 0), "100% %m %yy %x %");
    EXPECT_EQ(FormatDateTime("", 2024, 1, 1, 0, 0, 0), "");
}

TEST(PlatformClock, FormatDateUsesTheLocalTimeNow)
{
    auto Expected = [] {
        std::time_t Now = std::time(nullptr);
        std::tm Local{};
        localtime_r(&Now, &Local);
        char Text[64];
        std::strftime(Text, sizeof Text, "%Y-%m-%d--%H-%M", &Local);
        return std::string(Text);
    };
    std::string Before = Expected();
    std::string Got = FormatDate("%yyyy-%mm-%dd--%hh-%ii");
    std::string After = Expected();
    EXPECT_TRUE(Got == Before || Got == After) << Got;
}

TEST(PlatformClock, VirtualClockCountsSixtiethsOfASecond)
{
    int SavedHeadless = Overrides.Headless;
    Overrides.Headless = 1;
    ResetVirtualClock();
    EXPECT_EQ(MilliClock(), 0);
    const struct {
        int Frames;
        int64_t Ms;
    } Steps[] = {{1, 16}, {59, 983}, {60, 1000}, {61, 1016}, {120, 2000}, {3601, 60016}};
    int64_t Done = 0;
    for (const auto& Step : Steps) {
        while (Done < Step.Frames) {
            AdvanceVirtualFrame();
            Done++;
        }
        EXPECT_EQ(VirtualFrameCount(), Step.Frames);
        EXPECT_EQ(MilliClock(), Step.Ms) << Step.Frames;
    }
    // Sleeping moves neither the virtual clock nor the real one.
    auto Start = std::chrono::steady_clock::now();
    SleepMs(3000);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(1000));
    EXPECT_EQ(MilliClock(), 60016);
    ResetVirtualClock();
    Overrides.Headless = SavedHeadless;
}

TEST(PlatformClock, RealClockAdvancesAcrossASleep)
{
    int SavedHeadless = Overrides.Headless;
    Overrides.Headless = 0;
    int64_t Start = MilliClock();
    SleepMs(30);
    int64_t End = MilliClock();
    EXPECT_GE(End - Start, 29);
    Overrides.Headless = SavedHeadless;
}
