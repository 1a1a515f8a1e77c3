// Live view against a device that misbehaves: the real fieldcam on pipes, fieldcam-emu told to hang
// up, fall silent, chatter or crawl, or a port that vanished before the open; the real "Camera" window
// on a private virtual display, read back and matched. Whatever the device does, the tool goes on
// pass after pass, shows what its buffers hold, and a real Esc ends the run with status 0.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "device/acquisition.h"
#include "live_view_check.h"
#include "process.h"
#include "xvfb.h"

namespace {

const char Com[] = "4";

struct MisbehavingDevice : ::testing::Test {
    Temp_Dir Runtime;
    Xvfb Screen;
    std::unique_ptr<Process> Emulator, Fieldcam;
    unsigned long Window = 0;

    std::string Runtime_Env() const { return "XDG_RUNTIME_DIR=" + Runtime.Path(); }
    std::string Link_Path() const { return Runtime.Path() + "/fieldcam/ports/COM" + Com; }

    // The emulator on COM4, serving Frame and the example status record, misbehaving as Options say.
    void Start_Emulator(const std::string &Frame, const std::vector<std::string> &Options)
    {
        const std::string FramePath = Runtime.Path() + "/frame.raw";
        Write_File(FramePath, Frame);
        std::vector<std::string> Argv = {Emulator_Path(), "--com", Com, "--frame", FramePath, "--status", Example_Status};
        Argv.insert(Argv.end(), Options.begin(), Options.end());
        Emulator = std::make_unique<Process>(Argv, std::vector<std::string>{Runtime_Env()});
        ASSERT_TRUE(Emulator->Wait_For_Output(std::string("type ") + Com + " at fieldcam's port prompt", 10000))
            << Emulator->Errors();
    }

    // fieldcam in live view on COM4 at Crop, flash, LED and motors left on; waits for its window.
    void Start_Fieldcam(uint32_t Crop)
    {
        Fieldcam = std::make_unique<Process>(std::vector<std::string>{Fieldcam_Path()},
                                             std::vector<std::string>{Runtime_Env(), Screen.Env()});
        ASSERT_TRUE(Fieldcam->Wait_For_Output("Please input COM number (just number): ", 10000));
        Fieldcam->Write(std::string(Com) + "\nn\n" + std::to_string(Crop) + "\nn\nn\nn\n");
        Window = Find_Window(Screen.Display(), "Camera", 10000);
        ASSERT_NE(Window, 0u) << Fieldcam->Output() << Fieldcam->Errors();
    }

    // Waits for at least Count telemetry lines.
    bool Wait_For_Lines(size_t Count, int TimeoutMs)
    {
        return Fieldcam->Wait_For_Output("Frame : " + std::to_string(Count - 1) + ", ", TimeoutMs);
    }

    // Reads the window until it shows Expected under an overlay whose frame rate (in tenths) is in
    // From..To; that rate, or -1 when it never came.
    int Wait_For_Frame_Rate(const cv::Mat &Expected, uint32_t Fvol4, int From, int To, int TimeoutMs)
    {
        const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (std::chrono::steady_clock::now() < End) {
            const cv::Mat Shown = Wait_For_Picture(Screen.Display(), Window, Expected, 1000);
            const int FrameRate = Shown.empty() ? -1 : Overlay_Frame_Rate(Shown, Expected, Fvol4);
            if (FrameRate >= From && FrameRate <= To)
                return FrameRate;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    // A real Esc in the window: the run ends with status 0. Then every telemetry line must be the
    // record's line, Rest, counted from 0 without a gap; returns how many there were.
    size_t Escape_And_Check_Lines(const std::string &Rest)
    {
        EXPECT_TRUE(Send_Escape(Screen.Display(), Window));
        EXPECT_EQ(Fieldcam->Wait(10000), 0) << Fieldcam->Errors();
        const std::vector<std::string> Lines = Telemetry_Lines(Fieldcam->Output());
        for (size_t Line = 0; Line < Lines.size(); Line++)
            if (Lines[Line] != Frame_Line(Line, Rest)) {
                ADD_FAILURE() << "line " << Line << ": " << Lines[Line];
                break;
            }
        return Lines.size();
    }

    void SetUp() override
    {
        if (!*Emulator_Path())
            GTEST_SKIP() << "fieldcam-emu is not built";
    }
};

// The device hangs up on the request for chunk 4 of its first frame. Every later read fails at once,
// so passes go on fast with what the first pull left: four chunks of the frame and zeros below them.
TEST_F(MisbehavingDevice, HangUpMidFrameKeepsThePartialPictureAndTheLinesComing)
{
    const uint32_t Crop = 960;
    const std::string Frame = Test_Frame(Crop);
    Start_Emulator(Frame, {"--hangup-at-chunk", "4"});
    Start_Fieldcam(Crop);
    EXPECT_EQ(Emulator->Wait(10000), 0) << "the emulator hangs up and ends";

    uint32_t Fvol4 = 0;
    const cv::Mat Expected = Expected_Picture(Frame.substr(0, 4 * CHUNK_SIZE), Crop, Fvol4);
    EXPECT_GE(Wait_For_Frame_Rate(Expected, Fvol4, 0, 10000, 10000), 0)
        << "the window does not show the four chunks that came, under the overlay";
    const size_t Seen = Telemetry_Lines(Fieldcam->Output()).size();
    EXPECT_TRUE(Wait_For_Lines(Seen + 20, 10000)) << "passes stopped after the hang-up";
    EXPECT_TRUE(Fieldcam->Running());
    EXPECT_GE(Escape_And_Check_Lines(Example_Status_Line), Seen + 20);
}

// The device answers one frame (two chunks at crop 240), is silent for five seconds, then answers
// again. Meanwhile passes go on at three one-second time-outs each, showing the frame they kept.
TEST_F(MisbehavingDevice, SilenceSlowsThePassesAndThePictureRecoversWhenTheDeviceAnswersAgain)
{
    const uint32_t Crop = 240;
    const std::string Frame = Test_Frame(Crop);
    Start_Emulator(Frame, {"--stop-after", "2", "--resume-after", "5000"});
    Start_Fieldcam(Crop);

    uint32_t Fvol4 = 0;
    const cv::Mat Expected = Expected_Picture(Frame, Crop, Fvol4);
    EXPECT_EQ(Wait_For_Frame_Rate(Expected, Fvol4, 2, 3, 10000), 3)
        << "no silent pass of three seconds (FPS: 0.3/s) over the kept picture";
    EXPECT_GE(Wait_For_Frame_Rate(Expected, Fvol4, 10, 10000, 10000), 10)
        << "the picture never came back at the device's own pace";
    EXPECT_TRUE(Wait_For_Lines(Telemetry_Lines(Fieldcam->Output()).size() + 10, 5000)) << "passes are slow still";
    Escape_And_Check_Lines(Example_Status_Line);
}

// After the final chunk of every frame the device sends 3000 unasked bytes (0x55). The pull's receive
// purge drops them: they reach neither the status record nor the picture.
TEST_F(MisbehavingDevice, GarbageBetweenFramesNeverReachesThePictureOrTheLine)
{
    const uint32_t Crop = 240;
    const std::string Frame = Test_Frame(Crop);
    Start_Emulator(Frame, {"--garbage", "3000"});
    Start_Fieldcam(Crop);
    ASSERT_TRUE(Wait_For_Lines(20, 10000)) << Fieldcam->Output();

    uint32_t Fvol4 = 0;
    const cv::Mat Expected = Expected_Picture(Frame, Crop, Fvol4);
    EXPECT_GE(Wait_For_Frame_Rate(Expected, Fvol4, 0, 10000, 10000), 0) << "the picture is not the frame's";
    EXPECT_GE(Escape_And_Check_Lines(Example_Status_Line), 20u);
}

// 119,824 bytes a frame at crop 240 over 115,200 bytes a second: each pass takes a little over a
// second, every chunk still comes within its one-second read.
TEST_F(MisbehavingDevice, AThrottledLinkGivesAboutOneFrameASecondAndRightFrames)
{
    const uint32_t Crop = 240;
    const std::string Frame = Test_Frame(Crop);
    Start_Emulator(Frame, {"--rate", "115200"});
    Start_Fieldcam(Crop);

    uint32_t Fvol4 = 0;
    const cv::Mat Expected = Expected_Picture(Frame, Crop, Fvol4);
    const int FrameRate = Wait_For_Frame_Rate(Expected, Fvol4, 0, 10000, 10000);
    EXPECT_GE(FrameRate, 7) << "FPS: 0.7/s or more";
    EXPECT_LE(FrameRate, 9) << "a frame cannot cross the link in less than 1.04 s";
    ASSERT_TRUE(Wait_For_Lines(3, 10000)) << Fieldcam->Output();
    EXPECT_GE(Escape_And_Check_Lines(Example_Status_Line), 3u);
}

// The emulator is killed outright: its link stays, pointing at a pseudo-terminal that is gone. The
// open fails with ENOENT, every pull fails at once, and live view shows a black picture.
TEST_F(MisbehavingDevice, APortGoneBeforeTheOpenGivesABlackPictureAndEscStillEndsTheRun)
{
    Start_Emulator(Test_Frame(240), {});
    Emulator->Signal(SIGKILL);
    EXPECT_EQ(Emulator->Wait(5000), 128 + SIGKILL);
    struct stat Link;
    ASSERT_EQ(lstat(Link_Path().c_str(), &Link), 0) << "a killed emulator leaves its link";

    Fieldcam = std::make_unique<Process>(std::vector<std::string>{Fieldcam_Path()},
                                         std::vector<std::string>{Runtime_Env(), Screen.Env()});
    ASSERT_TRUE(Fieldcam->Wait_For_Output("Please input COM number (just number): ", 10000));
    // Checked at the last moment: a parallel test's new pseudo-terminal may take the dead one's number.
    struct stat Target;
    ASSERT_NE(stat(Link_Path().c_str(), &Target), 0) << "the link's pseudo-terminal is still there";
    Fieldcam->Write(std::string(Com) + "\nn\n240\nn\nn\nn\n");
    Window = Find_Window(Screen.Display(), "Camera", 10000);
    ASSERT_NE(Window, 0u) << Fieldcam->Output() << Fieldcam->Errors();
    EXPECT_TRUE(Fieldcam->Wait_For_Output("CreateFile failed with error 2.\n"
                                          "\nBaudRate = 0, ByteSize = 0, Parity = 0, StopBits = 0\n",
                                          5000))
        << Fieldcam->Output();

    const cv::Mat Black = cv::Mat::zeros(240, 240, CV_8UC3);
    EXPECT_GE(Wait_For_Frame_Rate(Black, 0, 0, 10000, 10000), 0) << "no black picture under the overlay";
    ASSERT_TRUE(Wait_For_Lines(5, 10000));
    Escape_And_Check_Lines(", HyperRAM: OK, Battery Voltage: 0.00V, Temp: 0.0C, Humidity: 0.0%, IR Voltage: 0.00V, "
                           "Tilt = OFF, NFC Field = OFF, ModemStatus = Firmware_Boot, RSSI = 0dBm, RgbLed: RED");
}

}  // namespace
