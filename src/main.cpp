// fieldcam: look through the camera of a field device over a serial port, or give the external
// sensors on its bus their addresses.
//
// A run goes through its stages once, in this order: the port question, the port set-up, the mode
// question, one of the two modes, and the common end.
#include <cstdio>

#include <opencv2/highgui.hpp>

#include "device/serial_port.h"
#include "live_view.h"
#include "sensor_menu.h"
#include "startup_dialogue.h"

// Both modes end here: every window goes, and the run ends with exit status 0. When standard input
// ran out mid-question, a line end first, so the shell's prompt starts on a line of its own.
static int Common_End(bool EndOfInput)
{
    if (EndOfInput)
        fputs("\n", stdout);
    cv::destroyAllWindows();
    return 0;
}

int main(void)
{
    char TmpChar[TMP_CHAR_SIZE] = {0};
    int32_t TmpInt = 0;

    bool WordTooLong = false;
    if (!Dialogue_Port(&WordTooLong))
        return Common_End(true);

    // The port stays open until the process ends.
    HANDLE hCom = Com_Open(WordTooLong);

    switch (Dialogue_Mode_Question(TmpChar)) {
    case MODE_END_OF_INPUT:
        return Common_End(true);
    case MODE_SENSOR_ADDRESSES:
        Sensor_Menu(hCom, &TmpInt);
        break;
    case MODE_LIVE_VIEW:
        if (!Dialogue_Camera_Options(TmpChar, &TmpInt))
            return Common_End(true);
        if (!Live_View(hCom))
            return 1;
        break;
    }
    return Common_End(false);
}
