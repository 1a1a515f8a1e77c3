// Live view as the operator sees it: the real fieldcam on pipes, the device on a real pseudo-terminal
// (held by the test, or fieldcam-emu), the real "Camera" window on a private virtual display. The
// test reads back what the window shows, compares it with the picture the frame must give, and ends
// the run with a real Esc key.
#include <gtest/gtest.h>

#include <signal.h>

#include "live_view_check.h"
#include "process.h"
#include "test_port.h"
#include "xvfb.h"

namespace {

const int Crop = 240;

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

TEST_F(LiveView, EmulatorFramesAreShownAsDemosaicedWithTelemetryForEachPass)
{
    if (!*Emulator_Path())
        GTEST_SKIP() << "fieldcam-emu is not built";
    const std::string FramePath = Runtime.Path() + "/frame.raw", LogPath = Runtime.Path() + "/requests.log";
    const std::string Frame = Test_Frame(Crop);
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
    const cv::Mat Expected = Expected_Picture(Frame, Crop, Fvol4);
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
    for (size_t Line = 0; Line < Lines.size(); Line++)
        ASSERT_EQ(Lines[Line], Frame_Line(Line, Example_Status_Line));
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
    EXPECT_EQ(Result.Output.substr(Result.Output.size() - std::string(Last_Camera_Prompt).size()), std::string(Last_Camera_Prompt));
    EXPECT_EQ(Device.Receive(1, 100), "") << "no frame was asked for";
}

}  // namespace
