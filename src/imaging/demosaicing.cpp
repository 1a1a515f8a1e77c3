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
        if (Path == IMAGING_AVX2)
            return Demosaic_Row_Avx2;
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

void Camera_Demosaicing_On(Imaging_Path Path)
{
    Demosaic_Row_Kernel *Kernel = Kernel_For(Path);
    if (!Kernel) {
        Camera_Demosaicing_Plain();
        return;
    }
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    if (!Crop_Fits(H, V))
        return;

    const uint32_t Stride = H + 4;
    for (uint32_t I = 0; I < V; I++) {
        const uint16_t *Src = First_Centre(H) + I * Stride;
        uint8_t *Dest = CameraBuffRgb + 3 * H * I;
        // The vectors take the row as far as they reach; the plain rule does the last few pixels.
        for (uint32_t J = Kernel(Src, Dest, H, Stride, I & 1); J < H; J++)
            Demosaic_Pixel(Src + J, Dest + 3 * J, Stride, I, J);
    }
}

void Camera_Demosaicing(void) { Camera_Demosaicing_On(Imaging_Best_Path()); }
