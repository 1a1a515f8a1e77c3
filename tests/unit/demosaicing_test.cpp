// Demosaicing: the worked examples at crop 4, the colour-filter layout, every vector path against the
// plain loop on random frames, crops the buffers cannot hold, and the samples a short frame transfer
// leaves at zero.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/imaging_paths.h"
#include "imaging_paths_list.h"

namespace {

struct Bgr {
    int Blue, Green, Red;
    bool operator==(const Bgr &Other) const
    {
        return Blue == Other.Blue && Green == Other.Green && Red == Other.Red;
    }
};

std::ostream &operator<<(std::ostream &Out, const Bgr &Pixel)
{
    return Out << "(" << Pixel.Blue << ", " << Pixel.Green << ", " << Pixel.Red << ")";
}

// Every test starts from a zero raw frame and gives back the buffers and crop it found.
class Demosaicing : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SavedRaw_.assign(CameraBuff, CameraBuff + CAMERA_BUFF_SIZE);
        SavedRgb_.assign(CameraBuffRgb, CameraBuffRgb + CAMERA_BUFF_RGB_SIZE);
        SavedHorizontal_ = CameraHorizontalPixels;
        SavedVertical_ = CameraVerticalPixels;
        memset(CameraBuff, 0, CAMERA_BUFF_SIZE);
    }
    void TearDown() override
    {
        memcpy(CameraBuff, SavedRaw_.data(), CAMERA_BUFF_SIZE);
        memcpy(CameraBuffRgb, SavedRgb_.data(), CAMERA_BUFF_RGB_SIZE);
        CameraHorizontalPixels = SavedHorizontal_;
        CameraVerticalPixels = SavedVertical_;
    }

    static void Set_Crop(uint32_t Crop) { CameraHorizontalPixels = CameraVerticalPixels = Crop; }

    // Raw (Y, X) of the current crop, low byte first as the device sends it.
    static void Set_Sample(uint32_t Y, uint32_t X, uint16_t Value)
    {
        const uint32_t At = 2 * (Y * (CameraHorizontalPixels + 4) + X);
        CameraBuff[At] = (uint8_t)Value;
        CameraBuff[At + 1] = (uint8_t)(Value >> 8);
    }

    static Bgr Pixel(uint32_t I, uint32_t J)
    {
        const uint8_t *At = CameraBuffRgb + 3 * (I * CameraHorizontalPixels + J);
        return {At[0], At[1], At[2]};
    }

    // Fills the image buffer with a byte no result here contains, to see what a call wrote.
    static void Mark_Image() { memset(CameraBuffRgb, 0xA5, CAMERA_BUFF_RGB_SIZE); }

    // The first offset from which the image buffer still holds the mark, or its size if none.
    static size_t Marked_From(size_t From)
    {
        for (size_t At = From; At < CAMERA_BUFF_RGB_SIZE; At++)
            if (CameraBuffRgb[At] != 0xA5)
                return At;
        return CAMERA_BUFF_RGB_SIZE;
    }

  private:
    std::vector<uint8_t> SavedRaw_, SavedRgb_;
    uint32_t SavedHorizontal_ = 0, SavedVertical_ = 0;
};

struct Sample {
    uint32_t Y, X;
    uint16_t Value;
};
struct Expected_Value {
    uint32_t I, J;
    int Channel;   // 0 blue, 1 green, 2 red
    int Value;
};

TEST_F(Demosaicing, WorkedExamplesAtCrop4)
{
    const struct {
        const char *Name;
        std::vector<Sample> Samples;
        std::vector<Expected_Value> NonZero;   // every other byte of the 4 x 4 image is 0
    } Cases[] = {
        {"single red", {{2, 3, 4080}},
         {{0, 1, 2, 255}, {0, 0, 2, 127}, {0, 2, 2, 127}, {1, 1, 2, 127}, {1, 0, 2, 63}, {1, 2, 2, 63}}},
        {"single green", {{3, 3, 4080}},
         {{1, 1, 1, 255}, {0, 1, 1, 63}, {1, 0, 1, 63}, {1, 2, 1, 63}, {2, 1, 1, 63}}},
        {"single blue", {{5, 4, 4080}},
         {{3, 2, 0, 255}, {2, 2, 0, 127}, {3, 1, 0, 127}, {3, 3, 0, 127}, {2, 1, 0, 63}, {2, 3, 0, 63}}},
        {"inner border ring", {{1, 2, 4080}}, {{0, 0, 0, 127}, {0, 1, 0, 63}}},
        {"outer border ring",
         {{0, 0, 4080}, {0, 2, 4080}, {0, 5, 4080}, {0, 7, 4080}, {3, 0, 4080}, {4, 7, 4080},
          {7, 0, 4080}, {7, 3, 4080}, {7, 7, 4080}},
         {}},
        // Pixel (0, 0)'s green centre is also the left neighbour of red (0, 1) and above blue (1, 0).
        {"12 bits full", {{2, 2, 4095}}, {{0, 0, 1, 255}, {0, 1, 1, 63}, {1, 0, 1, 63}}},
        {"13th bit wraps", {{2, 2, 4096}}, {{0, 1, 1, 64}, {1, 0, 1, 64}}},
        {"13th bit and more", {{2, 2, 4112}}, {{0, 0, 1, 1}, {0, 1, 1, 64}, {1, 0, 1, 64}}},
    };
    Set_Crop(4);
    for (Imaging_Path Path : Supported_Paths())
        for (const auto &Case : Cases) {
            memset(CameraBuff, 0, 128);
            for (const Sample &Each : Case.Samples)
                Set_Sample(Each.Y, Each.X, Each.Value);
            Mark_Image();
            Camera_Demosaicing_On(Path);

            uint8_t Want[48] = {0};
            for (const Expected_Value &Each : Case.NonZero)
                Want[3 * (4 * Each.I + Each.J) + Each.Channel] = (uint8_t)Each.Value;
            for (int At = 0; At < 48; At++)
                EXPECT_EQ(CameraBuffRgb[At], Want[At]) << Case.Name << " on " << Imaging_Path_Name(Path)
                                                       << ", pixel (" << At / 12 << ", " << At % 12 / 3
                                                       << ") channel " << At % 3;
            EXPECT_EQ(Marked_From(48), CAMERA_BUFF_RGB_SIZE) << Case.Name;
        }
}

// A flat field of red 2048, green 1024 and blue 512 by the filter layout (G R / B G) comes out as
// (32, 64, 128) at every pixel only if each pixel's colour site is read as the layout says. The
// samples that must never be read hold 0xFFFF: the outer ring, and the inner corners not read.
TEST_F(Demosaicing, FlatFieldPinsTheColourFilterLayout)
{
    const struct {
        uint32_t Crop;
        std::vector<std::pair<uint32_t, uint32_t>> UnreadCorners;
    } Cases[] = {
        {4, {{1, 1}, {6, 6}}},
        {5, {{1, 1}, {1, 7}, {7, 1}, {7, 7}}},   // odd: rows 0 and 4 G R G R G, row 1 B G B G B
        {2, {{1, 1}, {4, 4}}},
    };
    for (Imaging_Path Path : Supported_Paths())
        for (const auto &Case : Cases) {
            Set_Crop(Case.Crop);
            const uint32_t Last = Case.Crop + 3;
            for (uint32_t Y = 0; Y <= Last; Y++)
                for (uint32_t X = 0; X <= Last; X++) {
                    const bool Ring = Y == 0 || X == 0 || Y == Last || X == Last;
                    const uint16_t Flat = Y % 2 == X % 2 ? 1024 : Y % 2 == 0 ? 2048 : 512;
                    Set_Sample(Y, X, Ring ? 0xFFFF : Flat);
                }
            for (const auto &Corner : Case.UnreadCorners)
                Set_Sample(Corner.first, Corner.second, 0xFFFF);
            Mark_Image();
            Camera_Demosaicing_On(Path);
            for (uint32_t I = 0; I < Case.Crop; I++)
                for (uint32_t J = 0; J < Case.Crop; J++)
                    EXPECT_EQ(Pixel(I, J), (Bgr{32, 64, 128}))
                        << "crop " << Case.Crop << " on " << Imaging_Path_Name(Path) << ", pixel (" << I << ", "
                        << J << ")";
            EXPECT_EQ(Marked_From(3 * Case.Crop * Case.Crop), CAMERA_BUFF_RGB_SIZE);
        }
}

// Random samples over the whole 16-bit range, so the wrapping of sums is exercised too; crops that
// leave every kind of remainder for the plain rule to finish, and the largest crop, whose last row
// ends exactly at the end of the image buffer.
TEST_F(Demosaicing, EveryVectorPathGivesThePlainBytes)
{
    std::mt19937 Random(20240611);
    for (uint32_t At = 0; At < CAMERA_BUFF_SIZE; At++)
        CameraBuff[At] = (uint8_t)Random();
    const uint32_t Crops[] = {2, 3, 5, 17, 240, 320, 480, 959, 960};
    for (uint32_t Crop : Crops) {
        Set_Crop(Crop);
        const size_t Bytes = 3 * Crop * Crop;
        Camera_Demosaicing_Plain();
        const std::vector<uint8_t> Want(CameraBuffRgb, CameraBuffRgb + Bytes);
        for (Imaging_Path Path : Supported_Paths()) {
            Mark_Image();
            Camera_Demosaicing_On(Path);
            size_t First_Difference = 0;
            while (First_Difference < Bytes && CameraBuffRgb[First_Difference] == Want[First_Difference])
                First_Difference++;
            EXPECT_EQ(First_Difference, Bytes) << "crop " << Crop << " on " << Imaging_Path_Name(Path)
                                               << ": pixel (" << First_Difference / 3 / Crop << ", "
                                               << First_Difference / 3 % Crop << ")";
            EXPECT_EQ(Marked_From(Bytes), CAMERA_BUFF_RGB_SIZE) << "crop " << Crop << " on " << Imaging_Path_Name(Path);
        }
    }
}

TEST_F(Demosaicing, CropsTheBuffersCannotHoldWriteNothing)
{
    const std::pair<uint32_t, uint32_t> Crops[] = {{0, 0},       {961, 961},   {5000, 5000}, {0xFFFFFFFF, 0xFFFFFFFF},
                                                   {960, 961},   {961, 960},   {0, 960},     {960, 0}};
    memset(CameraBuff, 0x5A, CAMERA_BUFF_SIZE);
    for (Imaging_Path Path : Supported_Paths())
        for (const auto &Crop : Crops) {
            CameraHorizontalPixels = Crop.first;
            CameraVerticalPixels = Crop.second;
            Mark_Image();
            Camera_Demosaicing_On(Path);
            EXPECT_EQ(Marked_From(0), CAMERA_BUFF_RGB_SIZE)
                << Crop.first << " x " << Crop.second << " on " << Imaging_Path_Name(Path);
        }
}

TEST_F(Demosaicing, CropOneIsOneGreenPixel)
{
    Set_Crop(1);
    Set_Sample(2, 2, 1600);                          // centre: green 100
    Set_Sample(1, 2, 1000), Set_Sample(3, 2, 600);   // above and below: blue 1600 >> 5 = 50
    Set_Sample(2, 1, 2000), Set_Sample(2, 3, 2000);  // beside: red 4000 >> 5 = 125
    for (Imaging_Path Path : Supported_Paths()) {
        Mark_Image();
        Camera_Demosaicing_On(Path);
        EXPECT_EQ(Pixel(0, 0), (Bgr{50, 100, 125})) << Imaging_Path_Name(Path);
        EXPECT_EQ(Marked_From(3), CAMERA_BUFF_RGB_SIZE) << Imaging_Path_Name(Path);
    }
}

// At crops 320 and 480 the frame transfer ends inside raw row V + 2, the one below the last image row:
// from raw column Zero_From on, those samples are never written and read as zero. On a uniform frame
// of 2048 (128 everywhere once demosaiced) the last row then loses the terms from below: at the blue
// sites green keeps three quarters, red three quarters at the first such site and a half after it; at
// the green sites red keeps a half. Every other row, and blue throughout, stays 128.
TEST_F(Demosaicing, ShortTransferWeakensTheEndOfTheLastRow)
{
    const struct {
        uint32_t Crop, Zero_From;
    } Cases[] = {{320, 120}, {480, 184}};
    for (const auto &Case : Cases) {
        Set_Crop(Case.Crop);
        const uint32_t Transfer = Transfer_Size(Case.Crop, Case.Crop);
        ASSERT_EQ((Case.Crop + 3) * (Case.Crop + 4) - Transfer / 2, Case.Crop + 4 - Case.Zero_From)
            << "samples of raw row V + 2 past the transfer";
        memset(CameraBuff, 0, CAMERA_BUFF_SIZE);
        for (uint32_t At = 0; At < Transfer; At += 2)
            CameraBuff[At + 1] = 2048 >> 8;
        const uint32_t First_Weak = Case.Zero_From - 2;   // the image column above raw column Zero_From
        for (Imaging_Path Path : Supported_Paths()) {
            Mark_Image();
            Camera_Demosaicing_On(Path);
            const uint32_t Last = Case.Crop - 1;
            for (uint32_t I = 0; I < Last; I++)
                for (uint32_t J = 0; J < Case.Crop; J++)
                    ASSERT_EQ(Pixel(I, J), (Bgr{128, 128, 128})) << "crop " << Case.Crop << " on "
                                                                 << Imaging_Path_Name(Path) << ", pixel (" << I
                                                                 << ", " << J << ")";
            for (uint32_t J = 0; J < Case.Crop; J++) {
                Bgr Want = {128, 128, 128};
                if (J >= First_Weak && J % 2 == 0)
                    Want = {128, 96, J == First_Weak ? 96 : 64};
                else if (J >= First_Weak)
                    Want = {128, 128, 64};
                EXPECT_EQ(Pixel(Last, J), Want) << "crop " << Case.Crop << " on " << Imaging_Path_Name(Path)
                                                << ", last row, column " << J;
            }
        }
    }
}

}  // namespace
