#include "device/acquisition.h"

#include "device/records.h"
#include "device/serial_port.h"

uint8_t CameraBuff[CAMERA_BUFF_SIZE] = {0};
uint32_t CameraHorizontalPixels = CAMERA_MAX_PIXELS;
uint32_t CameraVerticalPixels = CAMERA_MAX_PIXELS;

uint32_t Transfer_Size(uint32_t Horizontal, uint32_t Vertical)
{
    return (((Horizontal + 4) * (Vertical + 4) + 512) * 2) & 0xFFFFF400u;
}

void Camera_Acquisition(HANDLE hCom)
{
    Link_Purge_Receive(hCom);

    uint32_t Size = Transfer_Size(CameraHorizontalPixels, CameraVerticalPixels);
    // No crop the dialogue accepts comes near it, but whatever the crop globals hold, no read may
    // run past the buffer: the device's surplus stays in the queue for the next purge.
    if (Size > CAMERA_BUFF_SIZE)
        Size = CAMERA_BUFF_SIZE;
    const uint32_t SizeRx = CHUNK_SIZE;

    for (uint32_t I = 0; I < CHUNK_MAX_REQUESTS; I++) {
        Link_Send_Command(hCom);
        if (I == 0)
            Link_Read(hCom, DevStat, DEV_STAT_SIZE);
        if (Size <= SizeRx) {
            Link_Read(hCom, CameraBuff + I * SizeRx, Size);
            return;
        }
        if (!Link_Read(hCom, CameraBuff + I * SizeRx, SizeRx))
            return;
        Size -= SizeRx;
    }
}
