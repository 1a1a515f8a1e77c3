#include "imaging/demosaicing.h"

#include "device/acquisition.h"
#include "imaging/imaging_paths.h"
#ifdef FIELDCAM_X86_KERNELS
#include "imaging/demosaicing_kernels.h"
#endif

uint8_t CameraBuffRgb[CAMERA_BUFF_RGB_SIZE] = {0};

// Whether a crop fits both buffers: at most 960 pixels a side, and at least one.
static bool Crop_Fits(uint32_t H, uint32_t V)
{
    return H >= 1 && V >= 1 && H <= CAMERA_MAX_PIXELS && V <= CAMERA_MAX_PIXELS;
}

// The centre sample of image pixel (0, 0), raw (2, 2). Samples arrive low byte first; reading them
// through a 16-bit pointer assumes a little-endian host, which every workstation this tool runs on is.
static const uint16_t *First_Centre(uint32_t H)
{
    return (const uint16_t *)CameraBuff + 2 * (H + 4) + 2;
}

// One pixel by the rule of its colour-filter site: Src is its centre sample, Stride the raw row length.
static void Demosaic_Pixel(const uint16_t *Src, uint8_t *Dest, uint32_t Stride, uint32_t I, uint32_t J)
{
    const uint32_t Centre = Src[0];
    const uint32_t Up = Src[-(int32_t)Stride], Down = Src[Stride];
    const uint32_t Left = Src[-1], Right = Src[1];
    const uint32_t Diagonals = Src[-(int32_t)Stride - 1] + Src[-(int32_t)Stride + 1] +
                               Src[Stride - 1] + Src[Stride + 1];
    uint32_t Blue, Green, Red;
    if ((I & 1) == 0 && (J & 1) == 0) {        // green on a green-red row
        Blue = (Up + Down) >> 5;
        Green = Centre >> 4;
        Red = (Left + Right) >> 5;
    } else if ((I & 1) == 0) {                 // red
        Blue = Diagonals >> 6;
        Green = (Up + Down + Left + Right) >> 6;
        Red = Centre >> 4;
    } else if ((J & 1) == 0) {                 // blue
        Blue = Centre >> 4;
        Green = (Up + Down + Left + Right) >> 6;
        Red = Diagonals >> 6;
    } else {                                   // green on a blue-green row
        Blue = (Left + Right) >> 5;
        Green = Centre >> 4;
        Red = (Up + Down) >> 5;
    }
    // The low 8 bits, unclamped: a sample above 12 bits wraps rather than saturates.
    Dest[0] = (uint8_t)Blue;
    Dest[1] = (uint8_t)Green;
    Dest[2] = (uint8_t)Red;
}

void Camera_Demosaicing_Plain(void)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    if (!Crop_Fits(H, V))
        return;

    const uint32_t Stride = H + 4;
    const uint16_t *Src = First_Centre(H);
    uint8_t *Dest = CameraBuffRgb;
    for (uint32_t I = 0; I < V; I++) {
        for (uint32_t J = 0; J < H; J++) {
            Demosaic_Pixel(Src, Dest, Stride, I, J);
            Dest += 3;
            Src++;
        }
        Src += 4;   // the two right border samples of this row, the two left ones of the next
    }
}

typedef uint32_t Demosaic_Row_Kernel(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride,
                                     uint32_t OddRow);

static Demosaic_Row_Kernel *Kernel_For(Imaging_Path Path)
{
#ifdef FIELDCAM_X86_KERNELS
    if (Imaging_Path_Supported(Path)) {
        if (Path == IMAGING_SSSE3)
            return Demosaic_Row_Ssse3;
        if (Path == IMAGING_SSE2)
            return Demosaic_Row_Sse2;
    }
#else
    (void)Path;
#endif
    return nullptr;
}

static uint32_t Smaller(uint32_t A, uint32_t B) { return A < B ? A : B; }

// Rows From to From + Rows - 1 from pixel J on, by the plain rule.
static void Demosaic_Rows_Rest(uint32_t H, uint32_t From, uint32_t Rows, uint32_t J)
{
    const uint32_t Stride = H + 4;
    for (uint32_t I = From; I < From + Rows; I++)
        for (uint32_t Each = J; Each < H; Each++)
            Demosaic_Pixel(First_Centre(H) + I * Stride + Each, CameraBuffRgb + 3 * (H * I + Each), Stride, I,
                           Each);
}

void Camera_Demosaicing_On(Imaging_Path Path)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
#ifdef FIELDCAM_X86_KERNELS
    // AVX2 takes bands of rows from even ones; the vectors do each band as far as they reach.
    if (Path == IMAGING_AVX2 && Imaging_Path_Supported(Path)) {
        if (!Crop_Fits(H, V))
            return;
        for (uint32_t I = 0; I < V; I += DEMOSAIC_BAND_ROWS) {
            const uint32_t Rows = Smaller(DEMOSAIC_BAND_ROWS, V - I);
            const uint32_t J = Demosaic_Band_Avx2(First_Centre(H) + I * (H + 4), CameraBuffRgb + 3 * H * I, H,
                                                  H + 4, Rows);
            Demosaic_Rows_Rest(H, I, Rows, J);
        }
        return;
    }
#endif
    Demosaic_Row_Kernel *Kernel = Kernel_For(Path);
    if (!Kernel) {
        Camera_Demosaicing_Plain();
        return;
    }
    if (!Crop_Fits(H, V))
        return;
    // The vectors take each row as far as they reach; the plain rule does the last few pixels.
    for (uint32_t I = 0; I < V; I++) {
        const uint32_t J = Kernel(First_Centre(H) + I * (H + 4), CameraBuffRgb + 3 * H * I, H, H + 4, I & 1);
        Demosaic_Rows_Rest(H, I, 1, J);
    }
}

void Camera_Demosaicing(void) { Camera_Demosaicing_On(Imaging_Best_Path()); }
