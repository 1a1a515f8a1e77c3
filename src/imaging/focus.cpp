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

typedef uint32_t Luminance_Run_Kernel(const uint8_t *Pixels, uint32_t Count, double *Lum);

static Luminance_Run_Kernel *Kernel_For(Imaging_Path Path)
{
#ifdef FIELDCAM_X86_KERNELS
    if (Imaging_Path_Supported(Path)) {
        if (Path == IMAGING_SSSE3)
            return Luminance_Run_Ssse3;
    }
#else
    (void)Path;
#endif
    return nullptr;
}

// Luminances of the row's pixels From to To - 1 into Lum: the vectors as far as they reach, then the
// plain rule.
static void Fill_Luminances(Luminance_Run_Kernel *Kernel, const uint8_t *Row, uint32_t From, uint32_t To,
                            double *Lum)
{
    for (uint32_t J = From + Kernel(Row + 3 * From, To - From, Lum + From); J < To; J++)
        Lum[J] = Luminance(Row + 3 * J);
}

static uint32_t Smaller(uint32_t A, uint32_t B) { return A < B ? A : B; }

// Pixels whose luminances are computed one block ahead of the sums (a multiple of every kernel's step).
static const uint32_t LUMINANCE_BLOCK = 64;

// The same sums as the plain walk, in the same order. The two sums are chains of dependent double
// additions that must not be reordered, so the vectors work beside them: the luminances of the next
// block of a row are computed just before the sums run over the current one, close enough in the
// instruction stream for the processor to do both at once.
static void Fvol4_Sums_By_Blocks(Luminance_Run_Kernel *Kernel, double *Sum1Out, double *Sum2Out)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    double Sum1Fvol4 = 0.0;
    double Sum2Fvol4 = 0.0;
    double Lum[CAMERA_MAX_PIXELS];
    for (uint32_t I = 0; Crop_Measurable(H, V) && I < V; I++) {
        const uint8_t *Row = CameraBuffRgb + 3 * H * I;
        Fill_Luminances(Kernel, Row, 0, Smaller(LUMINANCE_BLOCK, H), Lum);
        for (uint32_t Start = 0; Start < H - 2; Start += LUMINANCE_BLOCK) {
            // A step reads up to two pixels past its block, so the next block must be there first.
            const uint32_t Next = Start + LUMINANCE_BLOCK;
            if (Next < H)
                Fill_Luminances(Kernel, Row, Next, Smaller(Next + LUMINANCE_BLOCK, H), Lum);
            for (uint32_t J = Start; J < Smaller(Next, H - 2); J++) {
                Sum1Fvol4 += Lum[J] * Lum[J + 1];
                Sum2Fvol4 += Lum[J] * Lum[J + 2];
            }
        }
        Sum1Fvol4 += Lum[H - 2] * Lum[H - 1];
    }
    *Sum1Out = Sum1Fvol4;
    *Sum2Out = Sum2Fvol4;
}

// A row's walk from step From on by the plain rule, luminances one at a time, and its last lag-1 pair.
static void Fvol4_Row_Rest(const uint8_t *Row, uint32_t H, uint32_t From, double *Sum1Fvol4, double *Sum2Fvol4)
{
    double Sum1 = *Sum1Fvol4, Sum2 = *Sum2Fvol4;
    double Y0 = Luminance(Row + 3 * From);
    double Y1 = Luminance(Row + 3 * From + 3);
    for (uint32_t J = From; J < H - 2; J++) {
        const double Y2 = Luminance(Row + 3 * J + 6);
        Sum1 += Y0 * Y1;
        Sum2 += Y0 * Y2;
        Y0 = Y1;
        Y1 = Y2;
    }
    *Sum1Fvol4 = Sum1 + Y0 * Y1;
    *Sum2Fvol4 = Sum2;
}

#ifdef FIELDCAM_X86_KERNELS
// The AVX2 form: the kernel walks each row as far as its vectors reach, the plain rule finishes it.
static void Fvol4_Sums_By_Rows_Avx2(double *Sum1Out, double *Sum2Out)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    double Sum1Fvol4 = 0.0;
    double Sum2Fvol4 = 0.0;
    for (uint32_t I = 0; Crop_Measurable(H, V) && I < V; I++) {
        const uint8_t *Row = CameraBuffRgb + 3 * H * I;
        const uint32_t From = Fvol4_Row_Steps_Avx2(Row, H, &Sum1Fvol4, &Sum2Fvol4);
        Fvol4_Row_Rest(Row, H, From, &Sum1Fvol4, &Sum2Fvol4);
    }
    *Sum1Out = Sum1Fvol4;
    *Sum2Out = Sum2Fvol4;
}
#endif

void Fvol4_Sums_On(Imaging_Path Path, double *Sum1Fvol4, double *Sum2Fvol4)
{
#ifdef FIELDCAM_X86_KERNELS
    if (Path == IMAGING_AVX2 && Imaging_Path_Supported(Path)) {
        Fvol4_Sums_By_Rows_Avx2(Sum1Fvol4, Sum2Fvol4);
        return;
    }
#endif
    Luminance_Run_Kernel *Kernel = Kernel_For(Path);
    if (Kernel)
        Fvol4_Sums_By_Blocks(Kernel, Sum1Fvol4, Sum2Fvol4);
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
