// Frame acquisition: one raw camera frame and its status record, pulled from the device in chunks.
//
// The exchange, as the device sees it: the tool discards its receive queue, then sends the whole
// command record once per chunk. After the first request the device answers with the 16-byte status
// record and chunk 0; after each further request with the next chunk. Chunks are 61,440 bytes, the
// last one holds the remainder (possibly 0 bytes, possibly a full chunk). Every read ends at the
// latest 1000 ms after it began; a short read is not an error, and chunk I always lands at offset
// I x 61,440 of CameraBuff, whatever the chunks before it brought.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t CAMERA_BUFF_SIZE = 2097152;   // 2 MiB: a crop-960 transfer and room to spare
constexpr uint32_t CAMERA_MAX_PIXELS = 960;      // the largest crop the image buffer holds
constexpr uint32_t CAMERA_MIN_PIXELS = 2;        // the focus measure needs rows of two pixels
constexpr uint32_t CHUNK_SIZE = 61440;           // 60 x 1024 bytes per request
constexpr uint32_t CHUNK_MAX_REQUESTS = 50;

// The raw frame of 16-bit little-endian samples, as the device sends it; all zero at start.
extern uint8_t CameraBuff[CAMERA_BUFF_SIZE];
// The side of the square crop in pixels; both 960 at start and both the operator's value in live view.
extern uint32_t CameraHorizontalPixels;
extern uint32_t CameraVerticalPixels;

// Bytes of one frame transfer: ((H + 4) x (V + 4) + 512) x 2, rounded down by the mask 0xFFFFF400
// that the device uses (it clears bit 11 too), in 32-bit arithmetic. 0 for crops 19 to 27.
uint32_t Transfer_Size(uint32_t Horizontal, uint32_t Vertical);

// Pulls one frame at the current crop into CameraBuff and its status record into DevStat.
void Camera_Acquisition(HANDLE hCom);
