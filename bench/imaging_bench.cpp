// Demosaicing and focus measure, each against references measured in the same run:
// - demosaicing against OpenCV's own Bayer conversion of the same raw frame (16-bit mosaic, then
//   scaled to 8 bits; and the 8-bit conversion of a mosaic already scaled), with OpenCV's default
//   threads and with one thread, and against a copy of the image's bytes from memory (the floor);
// - the focus measure against the plain loop, and against a floor that runs only the two dependent
//   sums over luminances computed beforehand.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "imaging/imaging_paths.h"
#include "imaging_paths_list.h"

namespace {

// Runs of each benchmark, repeated: the machine is shared, so a figure is the fastest of several
// short runs, the one least disturbed by other work. Ratios are of those fastest times.
const int Repetitions = 7;
const double Seconds_Per_Run = 0.1;

// Google Benchmark's table, then the fastest run of each benchmark kept by its name for the ratios.
class Fastest_Run_Reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &Runs) override
    {
        ConsoleReporter::ReportRuns(Runs);
        for (const auto &Each : Runs)
            if (!Each.error_occurred && Each.run_type == Run::RT_Aggregate && Each.aggregate_name == "fastest")
                Seconds_[Each.run_name.function_name] = Each.GetAdjustedRealTime();
    }

    // Prints "<Label>: <Measured / Reference> x" (fastest time of Measured over that of Reference).
    void Print_Ratio(const std::string &Label, const std::string &Measured, const std::string &Reference) const
    {
        const auto Top = Seconds_.find(Measured), Bottom = Seconds_.find(Reference);
        if (Top != Seconds_.end() && Bottom != Seconds_.end() && Bottom->second > 0)
            printf("%-60s %8.2f x\n", Label.c_str(), Top->second / Bottom->second);
        else
            printf("%-60s not measured\n", Label.c_str());
    }

  private:
    std::map<std::string, double> Seconds_;
};

double Fastest(const std::vector<double> &Times) { return *std::min_element(Times.begin(), Times.end()); }

// Registers Function(State, Arguments...) under Name, with the repetitions above.
template <class Function, class... Arguments>
void Add(const std::string &Name, Function Run, Arguments... Values)
{
    benchmark::RegisterBenchmark(Name.c_str(), Run, Values...)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(Seconds_Per_Run)
        ->Repetitions(Repetitions)
        ->ComputeStatistics("fastest", Fastest)
        ->ReportAggregatesOnly(true);
}

const uint32_t Crops[] = {240, 480, 960};
int Bayer_Code = -1;                 // the OpenCV code for our layout, found by Find_Bayer_Code()
int Default_Threads = 1;

void Set_Crop(uint32_t Crop) { CameraHorizontalPixels = CameraVerticalPixels = Crop; }

// A raw frame of random 12-bit samples at the crop.
void Fill_Raw_Frame(uint32_t Crop)
{
    std::mt19937 Random(Crop);
    uint16_t *Samples = (uint16_t *)CameraBuff;
    for (uint32_t At = 0; At < (Crop + 4) * (Crop + 4); At++)
        Samples[At] = (uint16_t)(Random() & 0x0FFF);
}

// The image part of the raw frame as OpenCV sees it: a 16-bit matrix over CameraBuff, no copy.
cv::Mat Mosaic16(uint32_t Crop)
{
    cv::Mat Raw((int)Crop + 4, (int)Crop + 4, CV_16UC1, CameraBuff);
    return Raw(cv::Rect(2, 2, (int)Crop, (int)Crop));
}

// OpenCV names a Bayer pattern after the second row and column, a known trap: rather than trust a
// name, convert a flat field in our layout (red 2048, green 1024, blue 512) with each code and keep
// the one that gives blue 512, green 1024, red 2048 inside the tile.
int Find_Bayer_Code(void)
{
    const struct {
        int Code;
        const char *Name;
    } Codes[] = {{cv::COLOR_BayerBG2BGR, "BayerBG"},
                 {cv::COLOR_BayerGB2BGR, "BayerGB"},
                 {cv::COLOR_BayerRG2BGR, "BayerRG"},
                 {cv::COLOR_BayerGR2BGR, "BayerGR"}};
    cv::Mat Tile(8, 8, CV_16UC1);
    for (int Y = 0; Y < 8; Y++)
        for (int X = 0; X < 8; X++)
            Tile.at<uint16_t>(Y, X) = Y % 2 == X % 2 ? 1024 : Y % 2 == 0 ? 2048 : 512;
    for (const auto &Each : Codes) {
        cv::Mat Bgr;
        cv::cvtColor(Tile, Bgr, Each.Code);
        bool Flat = true;
        for (int Y = 2; Y < 6; Y++)
            for (int X = 2; X < 6; X++)
                Flat = Flat && Bgr.at<cv::Vec3w>(Y, X) == cv::Vec3w(512, 1024, 2048);
        if (Flat) {
            printf("Our layout (G R / B G from the top left) is OpenCV's COLOR_%s2BGR\n", Each.Name);
            return Each.Code;
        }
    }
    printf("No OpenCV Bayer code matches our layout\n");
    return -1;
}

void Demosaic(benchmark::State &State, Imaging_Path Path, uint32_t Crop)
{
    Set_Crop(Crop);
    Fill_Raw_Frame(Crop);
    for (auto _ : State) {
        Camera_Demosaicing_On(Path);
        benchmark::ClobberMemory();
    }
}

void OpenCV_Threads(bool Single) { cv::setNumThreads(Single ? 1 : Default_Threads); }

// OpenCV's 16-bit conversion of our very frame, then down to 8 bits (x 1/16) into the image buffer.
void OpenCV_16_Bit(benchmark::State &State, uint32_t Crop, bool Single)
{
    Set_Crop(Crop);
    Fill_Raw_Frame(Crop);
    OpenCV_Threads(Single);
    const cv::Mat Mosaic = Mosaic16(Crop);
    cv::Mat Bgr16((int)Crop, (int)Crop, CV_16UC3);
    cv::Mat Out((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb);
    for (auto _ : State) {
        cv::cvtColor(Mosaic, Bgr16, Bayer_Code);
        Bgr16.convertTo(Out, CV_8UC3, 1.0 / 16);
        benchmark::ClobberMemory();
    }
    OpenCV_Threads(false);
}

// OpenCV's 8-bit conversion of a mosaic already scaled to 8 bits (the scaling is not timed).
void OpenCV_8_Bit(benchmark::State &State, uint32_t Crop, bool Single)
{
    Set_Crop(Crop);
    Fill_Raw_Frame(Crop);
    OpenCV_Threads(Single);
    cv::Mat Mosaic8;
    Mosaic16(Crop).convertTo(Mosaic8, CV_8UC1, 1.0 / 16);
    cv::Mat Out((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb);
    for (auto _ : State) {
        cv::cvtColor(Mosaic8, Out, Bayer_Code);
        benchmark::ClobberMemory();
    }
    OpenCV_Threads(false);
}

// The floor: the image's 3 x H x V bytes copied into the image buffer from a buffer of their own.
// It reads a little more than the demosaicing does (2 bytes a sample, about 2 x H x V) and writes
// exactly as much.
void Copy_Image_Bytes(benchmark::State &State, uint32_t Crop)
{
    const size_t Bytes = 3 * (size_t)Crop * Crop;
    std::vector<uint8_t> Source(Bytes, 0x3C);
    for (auto _ : State) {
        memcpy(CameraBuffRgb, Source.data(), Bytes);
        benchmark::ClobberMemory();
    }
}

// A demosaiced random frame at crop 960, the picture the focus benchmarks measure.
void Prepare_Focus_Image(void)
{
    Set_Crop(960);
    Fill_Raw_Frame(960);
    Camera_Demosaicing_Plain();
}

void Focus(benchmark::State &State, Imaging_Path Path)
{
    Prepare_Focus_Image();
    for (auto _ : State)
        benchmark::DoNotOptimize(Compute_Fvol4_On(Path));
}

// The floor of the focus measure: the two dependent sums alone, over luminances computed beforehand.
void Focus_Sums_Only(benchmark::State &State)
{
    Prepare_Focus_Image();
    const uint32_t H = 960, V = 960;
    std::vector<double> Lum((size_t)H * V);
    for (size_t At = 0; At < Lum.size(); At++) {
        const uint8_t *Pixel = CameraBuffRgb + 3 * At;
        Lum[At] = Pixel[0] * (double)0.11f + Pixel[1] * (double)0.59f + Pixel[2] * (double)0.30f;
    }
    for (auto _ : State) {
        double Sum1 = 0.0, Sum2 = 0.0;
        for (uint32_t I = 0; I < V; I++) {
            const double *Y = Lum.data() + (size_t)I * H;
            for (uint32_t J = 0; J < H - 2; J++) {
                Sum1 += Y[J] * Y[J + 1];
                Sum2 += Y[J] * Y[J + 2];
            }
            Sum1 += Y[H - 2] * Y[H - 1];
        }
        benchmark::DoNotOptimize(Sum1);
        benchmark::DoNotOptimize(Sum2);
    }
}

std::string Name(const char *What, uint32_t Crop) { return std::string(What) + "/" + std::to_string(Crop); }

// Focus has no kernel of its own for SSE2: that path runs the plain loop, so it is not measured.
bool Focus_Has_Kernel(Imaging_Path Path) { return Path != IMAGING_SSE2; }

void Register_All(void)
{
    for (uint32_t Crop : Crops) {
        for (Imaging_Path Path : Supported_Paths())
            Add(Name((std::string("Demosaic/") + Imaging_Path_Name(Path)).c_str(), Crop), Demosaic, Path, Crop);
        if (Bayer_Code >= 0)
            for (bool Single : {false, true}) {
                const char *Threads = Single ? "/1thread" : "/threads";
                Add(Name("OpenCV16", Crop) + Threads, OpenCV_16_Bit, Crop, Single);
                Add(Name("OpenCV8", Crop) + Threads, OpenCV_8_Bit, Crop, Single);
            }
        Add(Name("CopyImageBytes", Crop), Copy_Image_Bytes, Crop);
    }
    for (Imaging_Path Path : Supported_Paths())
        if (Focus_Has_Kernel(Path))
            Add(std::string("Focus/") + Imaging_Path_Name(Path) + "/960", Focus, Path);
    Add("FocusSumsOnly/960", Focus_Sums_Only);
}

void Print_Summary(const Fastest_Run_Reporter &Reporter)
{
    const std::string Best = Imaging_Path_Name(Imaging_Best_Path());
    printf("\nRatios of the fastest of %d runs each (OpenCV's default threads: %d)\n", Repetitions, Default_Threads);
    for (uint32_t Crop : Crops) {
        const std::string Ours = Name(("Demosaic/" + Best).c_str(), Crop);
        const std::string Tag = "demosaic " + std::to_string(Crop) + ": ";
        Reporter.Print_Ratio(Tag + "OpenCV 16-bit, its threads / " + Best, Name("OpenCV16", Crop) + "/threads", Ours);
        Reporter.Print_Ratio(Tag + "OpenCV 16-bit, 1 thread / " + Best, Name("OpenCV16", Crop) + "/1thread", Ours);
        Reporter.Print_Ratio(Tag + "OpenCV 8-bit, its threads / " + Best, Name("OpenCV8", Crop) + "/threads", Ours);
        Reporter.Print_Ratio(Tag + "OpenCV 8-bit, 1 thread / " + Best, Name("OpenCV8", Crop) + "/1thread", Ours);
        for (Imaging_Path Path : Supported_Paths())
            if (Path != IMAGING_PLAIN) {
                const std::string Each = Name((std::string("Demosaic/") + Imaging_Path_Name(Path)).c_str(), Crop);
                Reporter.Print_Ratio(Tag + "plain / " + Imaging_Path_Name(Path), Name("Demosaic/plain", Crop), Each);
                Reporter.Print_Ratio(Tag + Imaging_Path_Name(Path) + " / copy of the image bytes", Each,
                                     Name("CopyImageBytes", Crop));
            }
    }
    for (Imaging_Path Path : Supported_Paths())
        if (Path != IMAGING_PLAIN && Focus_Has_Kernel(Path)) {
            const std::string Each = std::string("Focus/") + Imaging_Path_Name(Path) + "/960";
            Reporter.Print_Ratio(std::string("focus 960: plain / ") + Imaging_Path_Name(Path), "Focus/plain/960", Each);
            Reporter.Print_Ratio(std::string("focus 960: ") + Imaging_Path_Name(Path) + " / sums only", Each,
                                 "FocusSumsOnly/960");
        }
    printf("Goals at 960: OpenCV 16-bit / ours >= 5, OpenCV 8-bit / ours >= 1.5, ours / copy <= 2.5;\n"
           "              focus plain / ours >= 1.5, ours / sums only <= 1.6\n");
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Default_Threads = cv::getNumThreads();
    Bayer_Code = Find_Bayer_Code();
    printf("Fastest path on this processor: %s\n", Imaging_Path_Name(Imaging_Best_Path()));
    Register_All();
    Fastest_Run_Reporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    Print_Summary(Reporter);
    benchmark::Shutdown();
    return 0;
}
