#include "imaging/focus.h"

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus_kernels.h"
#include "imaging/imaging_paths.h"

// The nearest single-precision values to 0.11, 0.59 and 0.30: they add up to a little less than 1.
static const float WeightBlue = FOCUS_WEIGHT_BLUE;
static const float WeightGreen = FOCUS_WEIGHT_GREEN;
static const float WeightRed = FOCUS_WEIGHT_RED;

static double Luminance(const uint8_t *Pixel)
{
    return Pixel[0] * (double)WeightBlue + Pixel[1] * (double)WeightGreen + Pixel[2] * (double)WeightRed;
}

// Rows need two pixels for a pair; a crop past 960 would run off the image buffer.
static bool Crop_Measurable(uint32_t H, uint32_t V)
{
    return H >= CAMERA_MIN_PIXELS && H <= CAMERA_MAX_PIXELS && V <= CAMERA_MAX_PIXELS;
}

static void Fvol4_Sums_Plain(double *Sum1Out, double *Sum2Out)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    double Sum1Fvol4 = 0.0;
    double Sum2Fvol4 = 0.0;
    const uint8_t *Src = CameraBuffRgb;
    for (uint32_t I = 0; Crop_Measurable(H, V) && I < V; I++) {
        double Y0 = Luminance(Src);
        double Y1 = Luminance(Src + 3);
        Src += 6;
        for (uint32_t J = 0; J < H - 2; J++) {
            const double Y2 = Luminance(Src);
            Src += 3;
            Sum1Fvol4 += Y0 * Y1;
            Sum2Fvol4 += Y0 * Y2;
            Y0 = Y1;
            Y1 = Y2;
        }
        Sum1Fvol4 += Y0 * Y1;
    }
    *Sum1Out = Sum1Fvol4;
    *Sum2Out = Sum2Fvol4;
}

static uint32_t Fvol4_Of(double Sum1Fvol4, double Sum2Fvol4)
{
    const double Quotient = (Sum1Fvol4 - Sum2Fvol4) / 1000.0;
    // Detail that repeats every two pixels makes the quotient negative; the figure is then 0.
    if (!(Quotient > 0.0))
        return 0;
    return (uint32_t)Quotient;
}

uint32_t Compute_Fvol4_Plain(void)
{
    double Sum1Fvol4, Sum2Fvol4;
    Fvol4_Sums_Plain(&Sum1Fvol4, &Sum2Fvol4);
    return Fvol4_Of(Sum1Fvol4, Sum2Fvol4);
}

typedef uint32_t Luminance_Row_Kernel(const uint8_t *Row, uint32_t H, double *Lum);

static Luminance_Row_Kernel *Kernel_For(Imaging_Path Path)
{
#ifdef FIELDCAM_X86_KERNELS
    if (Imaging_Path_Supported(Path)) {
        if (Path == IMAGING_AVX2)
            return Luminance_Row_Avx2;
        if (Path == IMAGING_SSSE3)
            return Luminance_Row_Ssse3;
    }
#else
    (void)Path;
#endif
    return nullptr;
}

// The same sums as the plain walk, in the same order. The two sums are chains of dependent double
// additions that must not be reordered, so the vectors work ahead of them: a row's luminances go into
// a small array first, then the chains run over it with nothing else in their way.
static void Fvol4_Sums_By_Rows(Luminance_Row_Kernel *Kernel, double *Sum1Out, double *Sum2Out)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    double Sum1Fvol4 = 0.0;
    double Sum2Fvol4 = 0.0;
    double Lum[CAMERA_MAX_PIXELS];
    for (uint32_t I = 0; Crop_Measurable(H, V) && I < V; I++) {
        const uint8_t *Row = CameraBuffRgb + 3 * H * I;
        for (uint32_t J = Kernel(Row, H, Lum); J < H; J++)
            Lum[J] = Luminance(Row + 3 * J);
        for (uint32_t J = 0; J < H - 2; J++) {
            Sum1Fvol4 += Lum[J] * Lum[J + 1];
            Sum2Fvol4 += Lum[J] * Lum[J + 2];
        }
        Sum1Fvol4 += Lum[H - 2] * Lum[H - 1];
    }
    *Sum1Out = Sum1Fvol4;
    *Sum2Out = Sum2Fvol4;
}

void Fvol4_Sums_On(Imaging_Path Path, double *Sum1Fvol4, double *Sum2Fvol4)
{
    Luminance_Row_Kernel *Kernel = Kernel_For(Path);
    if (Kernel)
        Fvol4_Sums_By_Rows(Kernel, Sum1Fvol4, Sum2Fvol4);
    else
        Fvol4_Sums_Plain(Sum1Fvol4, Sum2Fvol4);
}

uint32_t Compute_Fvol4_On(Imaging_Path Path)
{
    double Sum1Fvol4, Sum2Fvol4;
    Fvol4_Sums_On(Path, &Sum1Fvol4, &Sum2Fvol4);
    return Fvol4_Of(Sum1Fvol4, Sum2Fvol4);
}

uint32_t Compute_Fvol4(void) { return Compute_Fvol4_On(Imaging_Best_Path()); }
