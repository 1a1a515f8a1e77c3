#include "imaging/focus.h"

#include "device/acquisition.h"
#include "imaging/demosaicing.h"

// The nearest single-precision values to 0.11, 0.59 and 0.30: they add up to a little less than 1.
static const float WeightBlue = 0.11f;
static const float WeightGreen = 0.59f;
static const float WeightRed = 0.30f;

static double Luminance(const uint8_t *Pixel)
{
    return Pixel[0] * (double)WeightBlue + Pixel[1] * (double)WeightGreen + Pixel[2] * (double)WeightRed;
}

uint32_t Compute_Fvol4_Plain(void)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    if (H < CAMERA_MIN_PIXELS || H > CAMERA_MAX_PIXELS || V > CAMERA_MAX_PIXELS)
        return 0;

    double Sum1Fvol4 = 0.0;
    double Sum2Fvol4 = 0.0;
    const uint8_t *Src = CameraBuffRgb;
    for (uint32_t I = 0; I < V; I++) {
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

    const double Quotient = (Sum1Fvol4 - Sum2Fvol4) / 1000.0;
    // Detail that repeats every two pixels makes the quotient negative; the figure is then 0.
    if (!(Quotient > 0.0))
        return 0;
    return (uint32_t)Quotient;
}

uint32_t Compute_Fvol4(void) { return Compute_Fvol4_Plain(); }
