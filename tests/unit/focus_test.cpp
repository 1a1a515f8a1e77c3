// Focus measure: the worked examples, every vector path against the plain sums bit for bit, and the
// crops it cannot measure.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "imaging/imaging_paths.h"
#include "imaging_paths_list.h"

namespace {

class Focus : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SavedRgb_.assign(CameraBuffRgb, CameraBuffRgb + CAMERA_BUFF_RGB_SIZE);
        SavedHorizontal_ = CameraHorizontalPixels;
        SavedVertical_ = CameraVerticalPixels;
    }
    void TearDown() override
    {
        memcpy(CameraBuffRgb, SavedRgb_.data(), CAMERA_BUFF_RGB_SIZE);
        CameraHorizontalPixels = SavedHorizontal_;
        CameraVerticalPixels = SavedVertical_;
    }

    struct Bgr {
        uint8_t Blue, Green, Red;
    };
    // An H x V image whose pixel (i, j) is Paint(i, j).
    static void Paint(uint32_t H, uint32_t V, const std::function<Bgr(uint32_t, uint32_t)> &Pixel)
    {
        CameraHorizontalPixels = H;
        CameraVerticalPixels = V;
        for (uint32_t I = 0; I < V; I++)
            for (uint32_t J = 0; J < H; J++) {
                const Bgr Each = Pixel(I, J);
                uint8_t *At = CameraBuffRgb + 3 * (I * H + J);
                At[0] = Each.Blue, At[1] = Each.Green, At[2] = Each.Red;
            }
    }
    static std::function<Bgr(uint32_t, uint32_t)> Grey(uint8_t Value)
    {
        return [Value](uint32_t, uint32_t) { return Bgr{Value, Value, Value}; };
    }

  private:
    std::vector<uint8_t> SavedRgb_;
    uint32_t SavedHorizontal_ = 0, SavedVertical_ = 0;
};

TEST_F(Focus, WorkedExamples)
{
    const uint8_t Ramp[4] = {0, 60, 120, 180};
    const struct {
        const char *Name;
        uint32_t H, V;
        std::function<Bgr(uint32_t, uint32_t)> Pixel;
        uint32_t Fvol4;
    } Cases[] = {
        {"black", 4, 4, Grey(0), 0},
        {"white", 4, 4, Grey(255), 260},
        // The weights add up to a little less than 1: 39.9999988 truncates to 39.
        {"grey 100", 4, 4, Grey(100), 39},
        {"red weight on byte 2", 2, 2, [](uint32_t, uint32_t) { return Bgr{0, 0, 200}; }, 7},
        {"green weight on byte 1", 2, 2, [](uint32_t, uint32_t) { return Bgr{0, 200, 0}; }, 27},
        {"blue weight on byte 0", 2, 2, [](uint32_t, uint32_t) { return Bgr{200, 0, 0}; }, 0},
        {"grey ramp along the rows", 4, 4,
         [&Ramp](uint32_t, uint32_t J) { return Bgr{Ramp[J], Ramp[J], Ramp[J]}; }, 71},
        {"white rows 0 and 2", 4, 4,
         [](uint32_t I, uint32_t) { return I % 2 ? Bgr{0, 0, 0} : Bgr{255, 255, 255}; }, 130},
        {"one white column", 4, 4,
         [](uint32_t, uint32_t J) { return J == 1 ? Bgr{255, 255, 255} : Bgr{0, 0, 0}; }, 0},
        {"width 2", 2, 2, Grey(255), 130},
        {"width 3", 3, 3, Grey(255), 195},
        {"960 white", 960, 960, Grey(255), 62423},
        {"960 grey 100", 960, 960, Grey(100), 9599},
        // Detail repeating every two pixels: quotient -260.0999..., shown as 0.
        {"white columns 0 and 2", 4, 4,
         [](uint32_t, uint32_t J) { return J % 2 ? Bgr{0, 0, 0} : Bgr{255, 255, 255}; }, 0},
        {"checkerboard", 4, 4,
         [](uint32_t I, uint32_t J) { return (I + J) % 2 ? Bgr{0, 0, 0} : Bgr{255, 255, 255}; }, 0},
    };
    for (const auto &Case : Cases) {
        Paint(Case.H, Case.V, Case.Pixel);
        EXPECT_EQ(Compute_Fvol4_Plain(), Case.Fvol4) << Case.Name;
        EXPECT_EQ(Compute_Fvol4(), Case.Fvol4) << Case.Name;
        for (Imaging_Path Path : Supported_Paths())
            EXPECT_EQ(Compute_Fvol4_On(Path), Case.Fvol4) << Case.Name << " on " << Imaging_Path_Name(Path);
    }
}

TEST_F(Focus, NegativeQuotientIsZeroNotAWrappedNumber)
{
    Paint(4, 4, [](uint32_t, uint32_t J) { return J % 2 ? Bgr{0, 0, 0} : Bgr{255, 255, 255}; });
    for (Imaging_Path Path : Supported_Paths()) {
        double Sum1Fvol4 = -1, Sum2Fvol4 = -1;
        Fvol4_Sums_On(Path, &Sum1Fvol4, &Sum2Fvol4);
        EXPECT_EQ(Sum1Fvol4, 0.0) << Imaging_Path_Name(Path);
        EXPECT_NEAR((Sum1Fvol4 - Sum2Fvol4) / 1000.0, -260.0999, 0.0001) << Imaging_Path_Name(Path);
        EXPECT_EQ(Compute_Fvol4_On(Path), 0u) << Imaging_Path_Name(Path);
    }
}

// Both running sums, compared bit for bit: the figure alone would hide a difference in the last bits.
TEST_F(Focus, EveryVectorPathGivesThePlainSumsBitForBit)
{
    std::mt19937 Random(7001);
    const uint32_t Crops[] = {2, 3, 5, 15, 16, 17, 24, 240, 320, 480, 959, 960};
    for (uint32_t Crop : Crops) {
        Paint(Crop, Crop, [&Random](uint32_t, uint32_t) {
            const uint32_t Bits = Random();
            return Bgr{(uint8_t)Bits, (uint8_t)(Bits >> 8), (uint8_t)(Bits >> 16)};
        });
        double Want1, Want2;
        Fvol4_Sums_On(IMAGING_PLAIN, &Want1, &Want2);
        ASSERT_GT(Want1, 0.0);
        for (Imaging_Path Path : Supported_Paths()) {
            double Sum1Fvol4, Sum2Fvol4;
            Fvol4_Sums_On(Path, &Sum1Fvol4, &Sum2Fvol4);
            EXPECT_EQ(memcmp(&Sum1Fvol4, &Want1, sizeof(double)), 0)
                << "crop " << Crop << " on " << Imaging_Path_Name(Path) << ": " << Sum1Fvol4 << " vs " << Want1;
            EXPECT_EQ(memcmp(&Sum2Fvol4, &Want2, sizeof(double)), 0)
                << "crop " << Crop << " on " << Imaging_Path_Name(Path) << ": " << Sum2Fvol4 << " vs " << Want2;
            EXPECT_EQ(Compute_Fvol4_On(Path), Compute_Fvol4_Plain()) << "crop " << Crop;
        }
    }
}

// A width below 2 has no pair to measure; a crop past 960 would walk off the image buffer.
TEST_F(Focus, CropsItCannotMeasureGiveZero)
{
    const std::pair<uint32_t, uint32_t> Crops[] = {{0, 0},   {1, 1},     {1, 960},     {961, 961},
                                                   {960, 961}, {5000, 5000}, {0xFFFFFFFF, 0xFFFFFFFF}, {960, 0}};
    memset(CameraBuffRgb, 255, CAMERA_BUFF_RGB_SIZE);
    for (Imaging_Path Path : Supported_Paths())
        for (const auto &Crop : Crops) {
            CameraHorizontalPixels = Crop.first;
            CameraVerticalPixels = Crop.second;
            EXPECT_EQ(Compute_Fvol4_On(Path), 0u) << Crop.first << " x " << Crop.second << " on "
                                                  << Imaging_Path_Name(Path);
        }
}

}  // namespace
