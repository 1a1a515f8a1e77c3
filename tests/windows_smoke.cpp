// fieldcam without its picture window, for the Windows cross-build (scripts/check-windows).
//
// The console half of the program runs here unchanged: the port question, Com_Open on the real
// Win32 serial calls, the mode question, then either the sensor menu or the camera options followed
// by one frame pull, its demosaicing, its focus figure and its telemetry line, in place of the live
// view loop that needs OpenCV's window. Linking it proves that everything but the window builds
// against <windows.h>; run on Windows (or under Wine) it talks to a real COM port.
#include <cstdio>

#include "device/acquisition.h"
#include "device/serial_port.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "platform/platform.h"
#include "sensor_menu.h"
#include "startup_dialogue.h"
#include "telemetry.h"

int main(void)
{
    char TmpChar[TMP_CHAR_SIZE] = {0};
    int32_t TmpInt = 0;

    bool WordTooLong = false;
    if (!Dialogue_Port(&WordTooLong))
        return 0;
    HANDLE hCom = Com_Open(WordTooLong);

    switch (Dialogue_Mode_Question(TmpChar)) {
    case MODE_END_OF_INPUT:
        return 0;
    case MODE_SENSOR_ADDRESSES:
        Sensor_Menu(hCom, &TmpInt);
        return 0;
    case MODE_LIVE_VIEW:
        if (!Dialogue_Camera_Options(TmpChar, &TmpInt))
            return 0;
        break;
    }

    // One pass of live view without the window.
    const uint32_t TimePrev = Platform_Clock_Ms_In_Minute();
    Camera_Acquisition(hCom);
    Camera_Demosaicing();
    const uint32_t Fvol4 = Compute_Fvol4();
    printf("Focus: %u in %u ms\n", (unsigned)Fvol4, (unsigned)((Platform_Clock_Ms_In_Minute() + 60000 - TimePrev) % 60000));
    Telemetry_Print_Line(stdout);
    return 0;
}
