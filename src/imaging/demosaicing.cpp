#include "imaging/demosaicing.h"

#include "device/acquisition.h"

uint8_t CameraBuffRgb[CAMERA_BUFF_RGB_SIZE] = {0};

// Whether a crop fits both buffers: at most 960 pixels a side, and at least one.
static bool Crop_Fits(uint32_t H, uint32_t V)
{
    return H >= 1 && V >= 1 && H <= CAMERA_MAX_PIXELS && V <= CAMERA_MAX_PIXELS;
}

void Camera_Demosaicing_Plain(void)
{
    const uint32_t H = CameraHorizontalPixels;
    const uint32_t V = CameraVerticalPixels;
    if (!Crop_Fits(H, V))
        return;

    // Samples arrive low byte first; reading them through a 16-bit pointer assumes a little-endian
    // host, which every workstation this tool runs on is.
    const uint16_t *Src = (const uint16_t *)CameraBuff + 2 * (H + 4) + 2;
    uint8_t *Dest = CameraBuffRgb;
    const uint32_t Stride = H + 4;

    for (uint32_t I = 0; I < V; I++) {
        for (uint32_t J = 0; J < H; J++) {
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
            Dest[0] = (uint8_t)Blue;
            Dest[1] = (uint8_t)Green;
            Dest[2] = (uint8_t)Red;
            Dest += 3;
            Src++;
        }
        Src += 4;   // the two right border samples of this row, the two left ones of the next
    }
}

void Camera_Demosaicing(void) { Camera_Demosaicing_Plain(); }
