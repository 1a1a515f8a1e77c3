// The frame rate and the overlay text of live view: frame times in milliseconds within the minute,
// the rate in tenths of frames per second, and the text drawn into the picture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "live_view.h"

namespace {

std::string Overlay(uint32_t FrameRate, uint32_t Fvol4)
{
    char Text[64];
    Overlay_Text(Text, sizeof Text, FrameRate, Fvol4);
    return Text;
}

struct Interval_Case {
    uint32_t TimePrev, TimeCur;
    uint32_t FrameRate;
    const char *Shown;   // the overlay for that rate with a focus figure of 0
};

TEST(FrameRate, TenthsOfFramesPerSecondFromTwoFrameTimes)
{
    const Interval_Case Cases[] = {
        {1000, 1100, 100, "FPS: 10.0/s  Focus: 0"},
        {1000, 1070, 142, "FPS: 14.2/s  Focus: 0"},      // 142.857 loses its remainder
        {5000, 8000, 3, "FPS: 0.3/s  Focus: 0"},
        {0, 10000, 1, "FPS: 0.1/s  Focus: 0"},
        {0, 10001, 0, "FPS: 0.0/s  Focus: 0"},           // anything above 10 s shows 0.0
        {100, 59999, 0, "FPS: 0.0/s  Focus: 0"},
        {4321, 4322, 10000, "FPS: 1000.0/s  Focus: 0"},
        {59950, 30, 125, "FPS: 12.5/s  Focus: 0"},       // across the end of a minute: 80 ms
        {30, 100, 142, "FPS: 14.2/s  Focus: 0"},         // and the pass after it: 70 ms
        {59999, 0, 10000, "FPS: 1000.0/s  Focus: 0"},    // 1 ms across the boundary
        {20000, 21000, 10, "FPS: 1.0/s  Focus: 0"},      // a 61 s pass, seen modulo the minute
        {7777, 7777, 10000, "FPS: 1000.0/s  Focus: 0"},  // the same frame time: counted as 1 ms
        {0, 0, 10000, "FPS: 1000.0/s  Focus: 0"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(testing::Message() << Case.TimePrev << " -> " << Case.TimeCur);
        const uint32_t FrameRate = Frame_Rate_Tenths(Case.TimePrev, Case.TimeCur);
        EXPECT_EQ(FrameRate, Case.FrameRate);
        EXPECT_EQ(Overlay(FrameRate, 0), Case.Shown);
    }
}

TEST(FrameRate, OverlayWritesEveryNumberWithItsDigitsOnly)
{
    EXPECT_EQ(Overlay(125, 4321), "FPS: 12.5/s  Focus: 4321");
    EXPECT_EQ(Overlay(7, 1000000), "FPS: 0.7/s  Focus: 1000000");
    EXPECT_EQ(Overlay(10000, 4294967295u), "FPS: 1000.0/s  Focus: 4294967295");
}

TEST(FrameRate, OverlayNeverOverrunsItsBuffer)
{
    char Text[12];
    memset(Text, 'x', sizeof Text);
    Overlay_Text(Text, 10, 125, 4321);
    EXPECT_STREQ(Text, "FPS: 12.5");
    EXPECT_EQ(Text[10], 'x');
}

}  // namespace
