// Bayer demosaicing: the raw frame in CameraBuff becomes the 8-bit BGR picture in CameraBuffRgb.
//
// The raw frame is V + 4 rows of H + 4 little-endian 16-bit samples (12 significant bits), a border
// two samples wide around the picture, so image pixel (i, j) sits at raw (i + 2, j + 2) and every
// pixel has all eight neighbours. The colour filter is green-red over blue-green: even row and even
// column green, even/odd red, odd/even blue, odd/odd green. Each output value is bilinear over the
// 3 x 3 neighbourhood, the averaging and the 12-to-8-bit scaling folded into one right shift, and
// stored as its low 8 bits without clamping.
#pragma once

#include <cstdint>

constexpr uint32_t CAMERA_BUFF_RGB_SIZE = 960 * 960 * 3;

// V rows of H pixels, 3 bytes each in the order blue, green, red, rows packed without gaps.
extern uint8_t CameraBuffRgb[CAMERA_BUFF_RGB_SIZE];

// Demosaics the current crop. Does nothing for a crop the buffers cannot hold (0, or above 960).
void Camera_Demosaicing(void);

// The statement of the algorithm, one pixel at a time; the fast paths are checked against it.
void Camera_Demosaicing_Plain(void);
