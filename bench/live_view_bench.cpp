// One live-view pass at crop 960, all of it but the frame pull: demosaicing, focus measure, frame rate
// and overlay text, the overlay drawn into the picture, the picture shown in the window with the 1 ms
// key poll, and the telemetry line (to /dev/null). The reference in the same run is a copy of the raw
// frame's bytes from memory. Also printed: the absolute time per pass, and each step's share.
//
// The window needs a display: the one in DISPLAY, or else a private Xvfb started here. Without
// either, the steps that show the picture are skipped and say so.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "device/acquisition.h"
#include "device/records.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "live_view.h"
#include "ratio_reporter.h"
#include "telemetry.h"
#include "xvfb.h"

namespace {

const uint32_t Crop = 960;
bool Have_Display = false;
FILE *Null_Out = nullptr;

void Set_Up_Frame(void)
{
    CameraHorizontalPixels = CameraVerticalPixels = Crop;
    std::mt19937 Random(Crop);
    uint16_t *Samples = (uint16_t *)CameraBuff;
    for (uint32_t At = 0; At < (Crop + 4) * (Crop + 4); At++)
        Samples[At] = (uint16_t)(Random() & 0x0FFF);
    const uint8_t Status[DEV_STAT_SIZE] = {0x00, 0xEB, 0x00, 0xC8, 0x01, 0x01, 0xD8, 0x02,
                                           0x80, 0x00, 0x00, 0x01, 0xB9, 0x00, 0x00, 0x00};
    memcpy(DevStat, Status, sizeof DevStat);
}

void Reference_Memcpy_Frame(benchmark::State &State)
{
    static std::vector<uint8_t> Copy(CAMERA_BUFF_SIZE);
    const uint32_t Bytes = Transfer_Size(Crop, Crop);
    for (auto _ : State) {
        memcpy(Copy.data(), CameraBuff, Bytes);
        benchmark::DoNotOptimize(Copy.data());
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed((int64_t)State.iterations() * Bytes);
}

void Step_Demosaicing(benchmark::State &State)
{
    for (auto _ : State) {
        Camera_Demosaicing();
        benchmark::ClobberMemory();
    }
}

void Step_Focus(benchmark::State &State)
{
    Camera_Demosaicing();
    for (auto _ : State)
        benchmark::DoNotOptimize(Compute_Fvol4());
}

void Step_Overlay(benchmark::State &State)
{
    cv::Mat Camera((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb);
    uint32_t TimePrev = Platform_Clock_Ms_In_Minute();
    for (auto _ : State)
        Live_View_Overlay(Camera, &TimePrev, 4321);
}

void Step_Telemetry(benchmark::State &State)
{
    for (auto _ : State)
        Telemetry_Print_Line(Null_Out);
}

// imshow and the 1 ms key poll, in which the window repaints.
void Step_Show(benchmark::State &State)
{
    if (!Have_Display) {
        State.SkipWithError("no display: neither DISPLAY nor a private Xvfb");
        return;
    }
    cv::Mat Camera((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb);
    for (auto _ : State) {
        cv::imshow("Camera", Camera);
        benchmark::DoNotOptimize(cv::waitKey(1));
    }
}

// A whole pass, less the frame pull; with the window when there is a display.
void Pass(benchmark::State &State, bool Show)
{
    if (Show && !Have_Display) {
        State.SkipWithError("no display: neither DISPLAY nor a private Xvfb");
        return;
    }
    cv::Mat Camera((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb);
    uint32_t TimePrev = Platform_Clock_Ms_In_Minute();
    for (auto _ : State) {
        Camera_Demosaicing();
        const uint32_t Fvol4 = Compute_Fvol4();
        Live_View_Overlay(Camera, &TimePrev, Fvol4);
        if (Show)
            cv::imshow("Camera", Camera);
        Telemetry_Print_Line(Null_Out);
        if (Show)
            benchmark::DoNotOptimize(cv::waitKey(1));
    }
}

void Pass_Without_Window(benchmark::State &State) { Pass(State, false); }
void Pass_With_Window(benchmark::State &State) { Pass(State, true); }

}  // namespace

BENCHMARK(Reference_Memcpy_Frame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_Demosaicing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_Focus)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_Overlay)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_Telemetry)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Step_Show)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Pass_Without_Window)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Pass_With_Window)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Set_Up_Frame();
    Null_Out = fopen("/dev/null", "w");
    if (!Null_Out)
        return 1;

    // The window goes to the display in DISPLAY, or to a private virtual one.
    std::unique_ptr<Xvfb> Screen;
    if (Platform_Display_Available()) {
        Have_Display = true;
    } else {
        try {
            Screen = std::make_unique<Xvfb>();
            setenv("DISPLAY", Screen->Display().c_str(), 1);
            Have_Display = true;
            printf("No DISPLAY: the window is shown on a private Xvfb, %s\n", Screen->Display().c_str());
        } catch (const std::exception &Error) {
            printf("No display (%s): the steps that show the picture are skipped\n", Error.what());
        }
    }
    if (Have_Display)
        cv::namedWindow("Camera", cv::WINDOW_AUTOSIZE);

    Ratio_Reporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    if (Have_Display)
        cv::destroyAllWindows();

    printf("\nOne live-view pass at crop 960, the frame pull left out:\n");
    Reporter.Print_Ratio("pass without the window vs memcpy of the raw frame", "Pass_Without_Window/real_time",
                         "Reference_Memcpy_Frame/real_time");
    Reporter.Print_Ratio("pass with the window vs memcpy of the raw frame", "Pass_With_Window/real_time",
                         "Reference_Memcpy_Frame/real_time");
    for (const char *Name : {"Pass_Without_Window/real_time", "Pass_With_Window/real_time"}) {
        const double Ms = Reporter.Time_Of(Name);   // in the benchmarks' unit, milliseconds
        if (Ms > 0)
            printf("%-56s %8.2f ms per pass\n", Name, Ms);
    }
    const char *Steps[] = {"Step_Demosaicing", "Step_Focus", "Step_Overlay", "Step_Telemetry", "Step_Show"};
    for (const char *Step : Steps) {
        const std::string Name = std::string(Step) + "/real_time";
        Reporter.Print_Ratio((std::string(Step) + " vs memcpy of the raw frame").c_str(), Name,
                             "Reference_Memcpy_Frame/real_time");
    }
    fclose(Null_Out);
    return 0;
}
