// Live view as the operator sees it: the real fieldcam on pipes, the device on a real pseudo-terminal
// (held by the test, or fieldcam-emu), the real "Camera" window on a private virtual display. The
// test reads back what the window shows, compares it with the picture the frame must give, and ends
// the run with a real Esc key.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "device/acquisition.h"
#include "device/records.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "process.h"
#include "test_port.h"
#include "xvfb.h"

namespace {

const int Crop = 240;
const std::string LastPrompt = "Deactivate motors? (y/n): ";

// The overlay as the tool draws it, into the top of Picture.
void Draw_Overlay(cv::Mat &Picture, const std::string &Text)
{
    cv::putText(Picture, Text, cv::Point(5, 20), cv::FONT_HERSHEY_SIMPLEX, 0.4, cv::Scalar(255, 255, 255, 0), 1,
                cv::LINE_8, false);
}

// The rows that any overlay text can touch: the band at the top of the picture that is left out
// when the picture is compared.
int Overlay_Rows()
{
    cv::Mat Ink = cv::Mat::zeros(Crop, Crop * 2, CV_8UC3);
    Draw_Overlay(Ink, "FPS: 0123456789./s  Focus: 0123456789");
    std::vector<cv::Point> Touched;
    cv::findNonZero(Ink.reshape(1), Touched);
    int Last = 0;
    for (const auto &P : Touched)
        Last = std::max(Last, P.y);
    return Last + 1;
}

// Where Expected (the picture without its overlay) sits in the window: every pixel below the overlay
// band must match, and so must the first word of the overlay, "FPS:", which pins the place even when
// the picture is one flat colour.
cv::Point Locate(const cv::Mat &Shot, const cv::Mat &Expected)
{
    const int Band = Overlay_Rows();
    int Baseline = 0;
    const int Prefix = 5 + cv::getTextSize("FPS:", cv::FONT_HERSHEY_SIMPLEX, 0.4, 1, &Baseline).width;
    cv::Mat Marked = Expected.clone();
    Draw_Overlay(Marked, "FPS:");
    cv::Mat Mask(Expected.size(), CV_8UC1, cv::Scalar(255));
    Mask(cv::Rect(Prefix, 0, Crop - Prefix, Band)).setTo(0);
    return Find_Picture(Shot, Marked, Mask);
}

// The frame rate (in tenths) whose overlay, drawn over Expected, gives exactly the band the window
// shows; -1 when no rate does.
int Overlay_Frame_Rate(const cv::Mat &Shown, const cv::Mat &Expected, uint32_t Fvol4)
{
    const cv::Rect Band(0, 0, Crop, Overlay_Rows());
    for (uint32_t FrameRate = 0; FrameRate <= 10000; FrameRate++) {
        // Written here, not by the tool's own function, so a fault there cannot hide.
        const std::string Text = "FPS: " + std::to_string(FrameRate / 10) + "." + std::to_string(FrameRate % 10) +
                                 "/s  Focus: " + std::to_string(Fvol4);
        cv::Mat Candidate = Expected(Band).clone();
        Draw_Overlay(Candidate, Text);
        if (cv::countNonZero(cv::Mat(Candidate != Shown(Band)).reshape(1)) == 0)
            return (int)FrameRate;
    }
    return -1;
}

// Reads the window until the picture shows up in it (the window repaints only between passes).
// Returns the picture as shown, overlay and all; empty when it never appeared.
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

// The lines fieldcam printed after the last camera question: the telemetry, one line a pass.
std::vector<std::string> Telemetry_Lines(const std::string &Output)
{
    std::vector<std::string> Lines;
    const size_t Start = Output.find(LastPrompt);
    if (Start == std::string::npos)
        return Lines;
    std::istringstream Text(Output.substr(Start + LastPrompt.size()));
    for (std::string Line; std::getline(Text, Line);)
        Lines.push_back(Line);
    return Lines;
}

std::string Frame_Line(size_t Frame, const std::string &Rest) { return "Frame : " + std::to_string(Frame) + Rest; }

size_t Count_Of(const std::string &Text, const std::string &Needle)
{
    size_t Count = 0;
    for (size_t At = Text.find(Needle); At != std::string::npos; At = Text.find(Needle, At + 1))
        Count++;
    return Count;
}

struct LiveView : ::testing::Test {
    Temp_Dir Runtime;
    Xvfb Screen;
};

// The device never answers: each pass waits out three one-second reads (status, two chunks).
TEST_F(LiveView, SilentDeviceShowsABlackPictureWithItsOverlayAndEscEndsTheRun)
{
    Test_Port Device(Runtime.Path(), 3);
    Process Fieldcam({Fieldcam_Path()}, {Device.Env(), Screen.Env()});
    Fieldcam.Write("3\nn\n240\nn\nn\nn\n");

    const unsigned long Window = Find_Window(Screen.Display(), "Camera", 10000);
    ASSERT_NE(Window, 0u) << Fieldcam.Errors();
    ASSERT_TRUE(Fieldcam.Wait_For_Output("Frame : 0, ", 10000)) << Fieldcam.Output() << Fieldcam.Errors();

    const cv::Mat Black = cv::Mat::zeros(Crop, Crop, CV_8UC3);
    const cv::Mat Shown = Wait_For_Picture(Screen.Display(), Window, Black, 8000);
    ASSERT_FALSE(Shown.empty()) << "no black 240 x 240 picture in the window";
    const int FrameRate = Overlay_Frame_Rate(Shown, Black, 0);
    EXPECT_GE(FrameRate, 2) << "the overlay is not \"FPS: <rate>/s  Focus: 0\"";
    EXPECT_LE(FrameRate, 3) << "a pass takes at least three one-second time-outs";

    // Esc while a pass is pulling: it takes effect at that pass's key poll, after its line.
    std::string Requests = Device.Receive(8 * 3, 8000);
    ASSERT_EQ(Requests.size(), 24u) << "the next pass did not begin";
    const size_t LinesBeforeEsc = Telemetry_Lines(Fieldcam.Output()).size();
    ASSERT_TRUE(Send_Escape(Screen.Display(), Window));
    EXPECT_EQ(Fieldcam.Wait(10000), 0) << Fieldcam.Errors();
    Requests += Device.Receive(4096, 200);

    const std::vector<std::string> Lines = Telemetry_Lines(Fieldcam.Output());
    ASSERT_EQ(Lines.size(), LinesBeforeEsc + 1) << Fieldcam.Output();
    const std::string Zeros = ", HyperRAM: OK, Battery Voltage: 0.00V, Temp: 0.0C, Humidity: 0.0%, IR Voltage: 0.00V, "
                              "Tilt = OFF, NFC Field = OFF, ModemStatus = Firmware_Boot, RSSI = 0dBm, RgbLed: RED";
    for (size_t Frame = 0; Frame < Lines.size(); Frame++)
        EXPECT_EQ(Lines[Frame], Frame_Line(Frame, Zeros));
    // Two requests a pass at crop 240, every one the same record: flash, LED and motors on, crop 0x00F0.
    ASSERT_EQ(Requests.size(), 16 * Lines.size());
    for (size_t At = 0; At < Requests.size(); At += 8)
        EXPECT_EQ(Hex(Requests.data() + At, 8), "A5 01 01 00 F0 01 00 00") << "request " << At / 8;
}

// A raw frame with detail everywhere, so its picture can be found in the window in one place only.
std::string Test_Frame()
{
    const int Side = Crop + 4;
    std::string Bytes(Transfer_Size(Crop, Crop), '\0');
    uint32_t Noise = 12345;
    for (int Row = 0; Row < Side; Row++)
        for (int Column = 0; Column < Side; Column++) {
            Noise = Noise * 1103515245u + 12345u;
            const int Wave = (int)(1500 * std::sin(Column / 7.0) * std::cos(Row / 11.0));
            const uint16_t Sample = (uint16_t)((2048 + Wave + (int)(Noise >> 24)) & 0xFFF);
            const size_t At = 2 * ((size_t)Row * Side + Column);
            Bytes[At] = (char)(Sample & 0xFF);   // little-endian samples
            Bytes[At + 1] = (char)(Sample >> 8);
        }
    return Bytes;
}

// What the tool must show for that frame, and its focus figure, from the plain statements of the
// algorithms over the same bytes.
cv::Mat Expected_Picture(const std::string &Frame, uint32_t &Fvol4)
{
    CameraHorizontalPixels = CameraVerticalPixels = Crop;
    memset(CameraBuff, 0, sizeof CameraBuff);
    memcpy(CameraBuff, Frame.data(), Frame.size());
    Camera_Demosaicing_Plain();
    Fvol4 = Compute_Fvol4_Plain();
    return cv::Mat(Crop, Crop, CV_8UC3, CameraBuffRgb).clone();
}

TEST_F(LiveView, EmulatorFramesAreShownAsDemosaicedWithTelemetryForEachPass)
{
    if (!*Emulator_Path())
        GTEST_SKIP() << "fieldcam-emu is not built";
    const std::string FramePath = Runtime.Path() + "/frame.raw", LogPath = Runtime.Path() + "/requests.log";
    const std::string Frame = Test_Frame();
    Write_File(FramePath, Frame);
    Process Emulator({Emulator_Path(), "--com", "4", "--frame", FramePath, "--log", LogPath, "--status",
                      "00 EB 00 C8 01 01 D8 02 80 00 00 01 B9 00 00 00"},
                     {"XDG_RUNTIME_DIR=" + Runtime.Path()});
    ASSERT_TRUE(Emulator.Wait_For_Output("type 4 at fieldcam's port prompt", 10000)) << Emulator.Errors();

    Process Fieldcam({Fieldcam_Path()}, {"XDG_RUNTIME_DIR=" + Runtime.Path(), Screen.Env()});
    Fieldcam.Write("4\nn\n240\ny\nn\nn\n");
    const unsigned long Window = Find_Window(Screen.Display(), "Camera", 10000);
    ASSERT_NE(Window, 0u) << Fieldcam.Errors();

    uint32_t Fvol4 = 0;
    const cv::Mat Expected = Expected_Picture(Frame, Fvol4);
    const cv::Mat Shown = Wait_For_Picture(Screen.Display(), Window, Expected, 10000);
    ASSERT_FALSE(Shown.empty()) << "the demosaiced frame is not in the window";
    EXPECT_GE(Overlay_Frame_Rate(Shown, Expected, Fvol4), 0)
        << "the overlay is not \"FPS: <rate>/s  Focus: " << Fvol4 << "\" over the picture";

    ASSERT_TRUE(Fieldcam.Wait_For_Output("Frame : 3, ", 10000)) << Fieldcam.Output();
    ASSERT_TRUE(Send_Escape(Screen.Display(), Window));
    EXPECT_EQ(Fieldcam.Wait(10000), 0) << Fieldcam.Errors();
    Emulator.Signal(SIGTERM);
    EXPECT_EQ(Emulator.Wait(5000), 0);

    // The fixed record on every line, byte for byte; the frames counted from 0 without a gap.
    const std::vector<std::string> Lines = Telemetry_Lines(Fieldcam.Output());
    ASSERT_GE(Lines.size(), 4u);
    const std::string Example = ", HyperRAM: OK, Battery Voltage: 3.71V, Temp: 23.5C, Humidity: 45.6%, IR Voltage: 0.90V, "
                                "Tilt = OFF, NFC Field = ON, ModemStatus = Network_Registered, RSSI = -71dBm, RgbLed: GREEN";
    for (size_t Line = 0; Line < Lines.size(); Line++)
        ASSERT_EQ(Lines[Line], Frame_Line(Line, Example));
    // Every pass asked twice (two chunks at crop 240), always with the flash off.
    const std::string Log = Read_File(LogPath);
    EXPECT_EQ(Count_Of(Log, "\n"), 2 * Lines.size());
    EXPECT_EQ(Count_Of(Log, "A5 00 01 00 F0 01 00 00\n"), 2 * Lines.size()) << Log.substr(0, 200);
}

TEST(LiveViewWithoutDisplay, OneLineOnStandardErrorAndExitStatusOne)
{
    Temp_Dir Runtime;
    Test_Port Device(Runtime.Path(), 2);
    const Finished_Run Result =
        Run_To_End({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", Fieldcam_Path()}, {Device.Env()},
                   "2\nn\n240\nn\nn\nn\n", 10000);
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Count_Of(Result.Errors, "\n"), 1u) << Result.Errors;
    EXPECT_EQ(Result.Errors.back(), '\n');
    EXPECT_NE(Result.Errors.find("display"), std::string::npos) << Result.Errors;
    EXPECT_EQ(Result.Output.substr(Result.Output.size() - LastPrompt.size()), LastPrompt);
    EXPECT_EQ(Device.Receive(1, 100), "") << "no frame was asked for";
}

}  // namespace
