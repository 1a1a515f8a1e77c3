#include "live_view_check.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "xvfb.h"

const char Last_Camera_Prompt[] = "Deactivate motors? (y/n): ";

const char Example_Status[] = "00 EB 00 C8 01 01 D8 02 80 00 00 01 B9 00 00 00";
const char Example_Status_Line[] =
    ", HyperRAM: OK, Battery Voltage: 3.71V, Temp: 23.5C, Humidity: 45.6%, IR Voltage: 0.90V, "
    "Tilt = OFF, NFC Field = ON, ModemStatus = Network_Registered, RSSI = -71dBm, RgbLed: GREEN";

void Draw_Overlay(cv::Mat &Picture, const std::string &Text)
{
    cv::putText(Picture, Text, cv::Point(5, 20), cv::FONT_HERSHEY_SIMPLEX, 0.4, cv::Scalar(255, 255, 255, 0), 1,
                cv::LINE_8, false);
}

int Overlay_Rows()
{
    cv::Mat Ink = cv::Mat::zeros(64, 640, CV_8UC3);
    Draw_Overlay(Ink, "FPS: 0123456789./s  Focus: 0123456789");
    std::vector<cv::Point> Touched;
    cv::findNonZero(Ink.reshape(1), Touched);
    int Last = 0;
    for (const auto &P : Touched)
        Last = std::max(Last, P.y);
    return Last + 1;
}

cv::Point Locate(const cv::Mat &Shot, const cv::Mat &Expected)
{
    const int Band = Overlay_Rows();
    int Baseline = 0;
    const int Prefix = 5 + cv::getTextSize("FPS:", cv::FONT_HERSHEY_SIMPLEX, 0.4, 1, &Baseline).width;
    cv::Mat Marked = Expected.clone();
    Draw_Overlay(Marked, "FPS:");
    cv::Mat Mask(Expected.size(), CV_8UC1, cv::Scalar(255));
    Mask(cv::Rect(Prefix, 0, Expected.cols - Prefix, Band)).setTo(0);
    return Find_Picture(Shot, Marked, Mask);
}

int Overlay_Frame_Rate(const cv::Mat &Shown, const cv::Mat &Expected, uint32_t Fvol4)
{
    const cv::Rect Band(0, 0, Expected.cols, Overlay_Rows());
    for (uint32_t FrameRate = 0; FrameRate <= 10000; FrameRate++) {
        const std::string Text = "FPS: " + std::to_string(FrameRate / 10) + "." + std::to_string(FrameRate % 10) +
                                 "/s  Focus: " + std::to_string(Fvol4);
        cv::Mat Candidate = Expected(Band).clone();
        Draw_Overlay(Candidate, Text);
        if (cv::countNonZero(cv::Mat(Candidate != Shown(Band)).reshape(1)) == 0)
            return (int)FrameRate;
    }
    return -1;
}

cv::Mat Wait_For_Picture(const std::string &Display, unsigned long Window, const cv::Mat &Expected, int TimeoutMs)
{
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (std::chrono::steady_clock::now() < End) {
        const cv::Mat Shot = Window_Pixels(Display, Window);
        if (!Shot.empty()) {
            const cv::Point At = Locate(Shot, Expected);
            if (At.x >= 0)
                return Shot(cv::Rect(At, Expected.size())).clone();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return cv::Mat();
}

std::vector<std::string> Telemetry_Lines(const std::string &Output)
{
    std::vector<std::string> Lines;
    const std::string Prompt = Last_Camera_Prompt;
    const size_t Start = Output.find(Prompt);
    if (Start == std::string::npos)
        return Lines;
    std::istringstream Text(Output.substr(Start + Prompt.size()));
    for (std::string Line; std::getline(Text, Line);)
        Lines.push_back(Line);
    return Lines;
}

std::string Frame_Line(size_t Frame, const std::string &Rest) { return "Frame : " + std::to_string(Frame) + Rest; }

std::string Test_Frame(uint32_t Crop)
{
    const uint32_t Side = Crop + 4;
    std::string Bytes(std::max<size_t>(Transfer_Size(Crop, Crop), 2 * (size_t)Side * Side), '\0');
    uint32_t Noise = 12345;
    for (uint32_t Row = 0; Row < Side; Row++)
        for (uint32_t Column = 0; Column < Side; Column++) {
            Noise = Noise * 1103515245u + 12345u;
            const int Wave = (int)(1500 * std::sin(Column / 7.0) * std::cos(Row / 11.0));
            const uint16_t Sample = (uint16_t)((2048 + Wave + (int)(Noise >> 24)) & 0xFFF);
            const size_t At = 2 * ((size_t)Row * Side + Column);
            Bytes[At] = (char)(Sample & 0xFF);   // little-endian samples
            Bytes[At + 1] = (char)(Sample >> 8);
        }
    return Bytes;
}

cv::Mat Expected_Picture(const std::string &Frame, uint32_t Crop, uint32_t &Fvol4)
{
    CameraHorizontalPixels = CameraVerticalPixels = Crop;
    memset(CameraBuff, 0, sizeof CameraBuff);
    // At some crops the transfer ends inside the raw frame's last rows; a pull never brings the rest.
    memcpy(CameraBuff, Frame.data(), std::min<size_t>(Frame.size(), Transfer_Size(Crop, Crop)));
    Camera_Demosaicing_Plain();
    Fvol4 = Compute_Fvol4_Plain();
    return cv::Mat((int)Crop, (int)Crop, CV_8UC3, CameraBuffRgb).clone();
}
