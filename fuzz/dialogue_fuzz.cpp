// Fuzz target: a whole run of the console dialogue with no device behind the port.
//
// The input is everything the operator types. The run goes as main() takes it: the port question,
// Com_Open, the mode question, then the sensor menu or the camera options, until the menu is left
// or standard input ends. The port is never a real one: the ports folder is an empty one of the
// target's own, and a word that would name a serial port of this machine (a whole number) is not
// opened. Afterwards the records must hold only what the dialogue can put there.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

#include "device/acquisition.h"
#include "device/records.h"
#include "device/serial_port.h"
#include "sensor_menu.h"
#include "startup_dialogue.h"

namespace {

const uint8_t SendCmdAtStart[SEND_CMD_SIZE] = {0xA5, 0x01, 0x01, 0x03, 0xC0, 0x01, 0x00, 0x00};

void Require(bool Condition, const char *What)
{
    if (Condition)
        return;
    fprintf(stderr, "dialogue: %s; command record %02X %02X %02X %02X %02X %02X %02X %02X\n", What, SendCmd[0],
            SendCmd[1], SendCmd[2], SendCmd[3], SendCmd[4], SendCmd[5], SendCmd[6], SendCmd[7]);
    abort();
}

bool All_Digits(const char *Word)
{
    for (; *Word; Word++)
        if (!isdigit((unsigned char)*Word))
            return false;
    return true;
}

bool Is_Sensor_Address(uint8_t Address)
{
    for (unsigned Number = 1; Number < SENSORS_ADRESS_SIZE; Number++)
        if (SensorsAdress[Number] != 0 && SensorsAdress[Number] == Address)
            return true;
    return false;
}

void Run_Dialogue(char *TmpChar)
{
    int32_t TmpInt = 0;
    bool WordTooLong = false;
    if (!Dialogue_Port(&WordTooLong))
        return;
    Require(strnlen(ComNumber, COM_NUMBER_SIZE) < COM_NUMBER_SIZE, "the port word is terminated in its buffer");
    const HANDLE hCom = ComNumber[0] && All_Digits(ComNumber) && !WordTooLong ? INVALID_HANDLE_VALUE : Com_Open(WordTooLong);
    Require(hCom == INVALID_HANDLE_VALUE, "no port opens");

    switch (Dialogue_Mode_Question(TmpChar)) {
    case MODE_END_OF_INPUT:
        Require(memcmp(SendCmd, SendCmdAtStart, SEND_CMD_SIZE) == 0, "nothing changed before the mode is chosen");
        return;
    case MODE_SENSOR_ADDRESSES:
        Sensor_Menu(hCom, &TmpInt);
        Require(SendCmd[CMD_CODE] == CMD_SENSOR_ADDRESS_REQUEST, "a sensor address request");
        Require(SendCmd[1] == 0x01 || Is_Sensor_Address(SendCmd[1]), "a bus address from the table");
        Require(memcmp(SendCmd + 2, SendCmdAtStart + 2, SEND_CMD_SIZE - 2) == 0, "bytes 2 to 7 as at start");
        for (unsigned K = 0; K < DEV_STAT_SIZE; K++)
            Require(DevStat[K] == 0, "no status record arrives without a device");
        return;
    case MODE_LIVE_VIEW:
        if (!Dialogue_Camera_Options(TmpChar, &TmpInt)) {
            Require(CameraHorizontalPixels == CameraVerticalPixels, "a square crop, even when input ends");
            return;
        }
        Require(CameraHorizontalPixels == CameraVerticalPixels, "a square crop");
        Require(CameraHorizontalPixels >= 2 && CameraHorizontalPixels <= 960, "a crop the buffers hold");
        Require(SendCmd[CMD_CROP_HIGH] == CameraHorizontalPixels >> 8 && SendCmd[CMD_CROP_LOW] == (CameraHorizontalPixels & 0xFF),
                "the crop big-endian in bytes 3 and 4");
        Require(SendCmd[CMD_CODE] == CMD_FRAME_REQUEST, "a frame request");
        Require(SendCmd[1] <= 1 && SendCmd[2] <= 1 && SendCmd[5] <= 1 && SendCmd[6] == 0 && SendCmd[7] == 0,
                "enable bytes 0 or 1, bytes 6 and 7 zero");
        return;
    }
}

char Runtime[] = "/tmp/fieldcam-fuzz-XXXXXX";

void Remove_Runtime(void) { rmdir(Runtime); }

}   // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!mkdtemp(Runtime) || setenv("XDG_RUNTIME_DIR", Runtime, 1) != 0 || !freopen("/dev/null", "w", stdout))
        abort();
    atexit(Remove_Runtime);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    memcpy(SendCmd, SendCmdAtStart, SEND_CMD_SIZE);
    memset(DevStat, 0, DEV_STAT_SIZE);
    memset(ComNumber, 0, COM_NUMBER_SIZE);
    CameraHorizontalPixels = CameraVerticalPixels = 960;

    FILE *Input = Size ? fmemopen((void *)Data, Size, "r") : fopen("/dev/null", "r");
    if (!Input)
        abort();
    FILE *Saved = stdin;
    stdin = Input;
    // Exactly the size main() gives it, on the heap, so a byte too many is seen.
    std::unique_ptr<char[]> TmpChar(new char[TMP_CHAR_SIZE]());
    Run_Dialogue(TmpChar.get());
    stdin = Saved;
    fclose(Input);
    return 0;
}
