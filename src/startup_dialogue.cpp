#include "startup_dialogue.h"

#include <cstdio>

#include "console_input.h"
#include "device/acquisition.h"
#include "device/records.h"
#include "device/serial_port.h"

// What the operator reads during start-up, in the order it appears.
static const char PromptPort[] = "Please input COM number (just number): ";
static const char PromptMode[] = "\nSensors address configuration (y/n)?: ";
static const char PromptCrop[] = "Crop resolution (e.g. 240, 320, 480, 960): ";
static const char MessageCropRange[] = "Crop resolution must be a number from 2 to 960\n";
static const char PromptFlash[] = "Deactivate camera FLASH (y/n)?: ";
static const char PromptRgbLed[] = "Deactivate RGB LED? (y/n): ";
static const char PromptMotors[] = "Deactivate motors? (y/n): ";

bool Dialogue_Port(bool *WordTooLong)
{
    fputs(PromptPort, stdout);
    Console_Read Answer = Console_Read_Word(ComNumber, COM_NUMBER_SIZE);
    *WordTooLong = Answer == CONSOLE_READ_TOO_LONG;
    return Answer != CONSOLE_READ_END_OF_INPUT;
}

Dialogue_Mode Dialogue_Mode_Question(char *TmpChar)
{
    fputs(PromptMode, stdout);
    if (Console_Read_Word(TmpChar, TMP_CHAR_SIZE) == CONSOLE_READ_END_OF_INPUT)
        return MODE_END_OF_INPUT;
    if (!Console_Is_Yes(TmpChar))
        return MODE_LIVE_VIEW;
    SendCmd[CMD_CODE] = CMD_SENSOR_ADDRESS_REQUEST;
    return MODE_SENSOR_ADDRESSES;
}

// Asks for the crop until the answer is a number the buffers can hold. A word that is not a number is
// discarded, so it cannot answer the next question by mistake.
static bool Ask_Crop(char *TmpChar, int32_t *TmpInt)
{
    for (;;) {
        fputs(PromptCrop, stdout);
        switch (Console_Read_Int(TmpInt)) {
        case CONSOLE_READ_END_OF_INPUT:
            return false;
        case CONSOLE_READ_OK:
            if (*TmpInt >= (int32_t)CAMERA_MIN_PIXELS && *TmpInt <= (int32_t)CAMERA_MAX_PIXELS)
                return true;
            break;
        default:
            if (Console_Read_Word(TmpChar, TMP_CHAR_SIZE) == CONSOLE_READ_END_OF_INPUT)
                return false;
            break;
        }
        fputs(MessageCropRange, stdout);
    }
}

// Asks one deactivation question; a yes clears the enable byte at Position.
static bool Ask_Deactivate(const char *Prompt, char *TmpChar, unsigned Position)
{
    fputs(Prompt, stdout);
    if (Console_Read_Word(TmpChar, TMP_CHAR_SIZE) == CONSOLE_READ_END_OF_INPUT)
        return false;
    if (Console_Is_Yes(TmpChar))
        SendCmd[Position] = 0;
    return true;
}

bool Dialogue_Camera_Options(char *TmpChar, int32_t *TmpInt)
{
    if (!Ask_Crop(TmpChar, TmpInt))
        return false;
    CameraHorizontalPixels = (uint32_t)*TmpInt;
    CameraVerticalPixels = (uint32_t)*TmpInt;
    Record_Set_Crop(CameraHorizontalPixels);

    return Ask_Deactivate(PromptFlash, TmpChar, CMD_FLASH_ENABLE) &&
           Ask_Deactivate(PromptRgbLed, TmpChar, CMD_RGB_LED_ENABLE) &&
           Ask_Deactivate(PromptMotors, TmpChar, CMD_MOTORS_ENABLE);
}
