#include "live_view.h"

#include <cstdio>

#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "telemetry.h"

static const char CameraWindow[] = "Camera";
static const char OverlayFormat[] = "FPS: %u.%u/s  Focus: %u";
static const char MessageNoDisplay[] =
    "fieldcam: cannot open the Camera window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";

static const uint32_t MS_PER_MINUTE = 60000;
static const uint8_t KEY_ESC = 27;

uint32_t Frame_Rate_Tenths(uint32_t TimePrev, uint32_t TimeCur)
{
    uint32_t Interval = TimeCur >= TimePrev ? TimeCur - TimePrev : TimeCur + MS_PER_MINUTE - TimePrev;
    if (Interval == 0)
        Interval = 1;
    return 10000 / Interval;
}

void Overlay_Text(char *Text, size_t Size, uint32_t FrameRate, uint32_t Fvol4)
{
    snprintf(Text, Size, OverlayFormat, (unsigned)(FrameRate / 10), (unsigned)(FrameRate % 10), (unsigned)Fvol4);
}

void Live_View_Overlay(cv::Mat &Camera, uint32_t *TimePrev, uint32_t Fvol4)
{
    const uint32_t TimeCur = Platform_Clock_Ms_In_Minute();
    const uint32_t FrameRate = Frame_Rate_Tenths(*TimePrev, TimeCur);
    *TimePrev = TimeCur;

    char Overlay[64];
    Overlay_Text(Overlay, sizeof Overlay, FrameRate, Fvol4);
    cv::putText(Camera, Overlay, cv::Point(5, 20), cv::FONT_HERSHEY_SIMPLEX, 0.4, cv::Scalar(255, 255, 255, 0), 1,
                cv::LINE_8, false);
}

bool Live_View(HANDLE hCom)
{
    if (!Platform_Display_Available()) {
        fputs(MessageNoDisplay, stderr);
        return false;
    }

    // The window shows CameraBuffRgb in place: demosaicing, overlay and display share its bytes.
    cv::Mat Camera((int)CameraVerticalPixels, (int)CameraHorizontalPixels, CV_8UC3, CameraBuffRgb);
    cv::namedWindow(CameraWindow, cv::WINDOW_AUTOSIZE);

    uint32_t TimePrev = Platform_Clock_Ms_In_Minute();
    for (;;) {
        Camera_Acquisition(hCom);
        Camera_Demosaicing();
        const uint32_t Fvol4 = Compute_Fvol4();
        Live_View_Overlay(Camera, &TimePrev, Fvol4);
        cv::imshow(CameraWindow, Camera);

        Telemetry_Print_Line(stdout);

        const uint8_t KeyPress = (uint8_t)cv::waitKey(1);
        if (KeyPress == KEY_ESC)
            return true;
    }
}
