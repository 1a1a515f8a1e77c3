// The start-up dialogue and the port set-up, as the operator sees them: the real binary with its
// standard input and output on pipes, its transcript compared byte for byte.
#include <gtest/gtest.h>

#include <termios.h>

#include "operator_texts.h"
#include "process.h"
#include "test_port.h"

namespace {

const std::string NoPortUntilMode = PortPrompt + NoSuchPort + ZeroSettings + ModePrompt;

// Runs fieldcam with Input on its standard input (then end of input), without a display.
Finished_Run Run_Fieldcam(const std::string &Runtime, const std::string &Input)
{
    return Run_To_End({Fieldcam_Path()}, {"XDG_RUNTIME_DIR=" + Runtime, "DISPLAY=", "WAYLAND_DISPLAY="}, Input, 10000);
}

struct Startup : ::testing::Test {
    Temp_Dir Runtime;
};

TEST_F(Startup, EndOfInputAtEachQuestionEndsTheRunWithALineEnd)
{
    const struct {
        const char *Input;
        std::string Transcript;
    } Cases[] = {
        {"", PortPrompt + "\n"},
        {"COM4\n", NoPortUntilMode + "\n"},
        {"COM4\nn\n", NoPortUntilMode + CropPrompt + "\n"},
        {"COM4\nn\n240\n", NoPortUntilMode + CropPrompt + FlashPrompt + "\n"},
        {"COM4\nn\n240\nn\n", NoPortUntilMode + CropPrompt + FlashPrompt + LedPrompt + "\n"},
        {"COM4\nn\n240\nn\nn\n", NoPortUntilMode + CropPrompt + FlashPrompt + LedPrompt + MotorsPrompt + "\n"},
    };
    for (const auto &Case : Cases) {
        const Finished_Run Result = Run_Fieldcam(Runtime.Path(), Case.Input);
        EXPECT_EQ(Result.Status, 0) << Case.Input;
        EXPECT_EQ(Result.Output, Case.Transcript) << Case.Input;
    }
}

TEST_F(Startup, AllCameraAnswersOnOneLineAreTakenInTurn)
{
    // Without a display the run cannot show its window: it says so and ends with status 1.
    const Finished_Run Result = Run_Fieldcam(Runtime.Path(), "COM4\n\n\nno\n480 y n n\n");
    EXPECT_EQ(Result.Output, NoPortUntilMode + CropPrompt + FlashPrompt + LedPrompt + MotorsPrompt);
    EXPECT_EQ(Result.Status, 1);
    EXPECT_NE(Result.Errors.find("no display"), std::string::npos) << Result.Errors;
}

TEST_F(Startup, ACropOutsideTwoTo960OrNotANumberIsAskedAgain)
{
    const Finished_Run Result = Run_Fieldcam(Runtime.Path(), "COM4 n abc 0 1 961 -3 5000 99999999999 x7\n");
    std::string Expected = NoPortUntilMode;
    for (int Refused = 0; Refused < 8; Refused++)
        Expected += CropPrompt + CropRange;
    Expected += CropPrompt + "\n";
    EXPECT_EQ(Result.Output, Expected);
    EXPECT_EQ(Result.Status, 0);
}

TEST_F(Startup, LongWordsNeverOverflowTheirBuffers)
{
    // A port word past 9 characters opens nothing and reports the platform's "name too long".
    const Finished_Run Long = Run_Fieldcam(Runtime.Path(), std::string(60, '7') + "\n");
    EXPECT_EQ(Long.Output, PortPrompt + "CreateFile failed with error 36.\n" + ZeroSettings + ModePrompt + "\n");
    EXPECT_EQ(Long.Status, 0);

    // A yes of 1,000 characters is a yes; only its first character counts.
    const Finished_Run Yes = Run_Fieldcam(Runtime.Path(), "COM4\n" + std::string(1000, 'y') + "\n");
    EXPECT_EQ(Yes.Output.compare(0, NoPortUntilMode.size() + 14, NoPortUntilMode + "\nSensors list\n"), 0)
        << Yes.Output;
    EXPECT_EQ(Yes.Status, 0);

    const Finished_Run No = Run_Fieldcam(Runtime.Path(), "COM4\n" + std::string(1000, 'n') + "\n240 " +
                                                    std::string(10000, 'x') + "\n");
    EXPECT_EQ(No.Output, NoPortUntilMode + CropPrompt + FlashPrompt + LedPrompt + "\n");
}

TEST_F(Startup, AnOpenedPortReportsItsSettingsAndKeepsThem)
{
    Test_Port Device(Runtime.Path(), 7);
    struct termios Mode;
    tcgetattr(Device.Master(), &Mode);
    cfsetispeed(&Mode, B9600);
    cfsetospeed(&Mode, B9600);
    tcsetattr(Device.Master(), TCSANOW, &Mode);

    const Finished_Run Result = Run_Fieldcam(Runtime.Path(), "7\n");
    EXPECT_EQ(Result.Output, PortPrompt + "Windows In/Out serial buffers changed to 64kb\n" +
                                 "\nBaudRate = 9600, ByteSize = 8, Parity = 0, StopBits = 0\n" + ModePrompt + "\n");
    EXPECT_EQ(Result.Status, 0);

    tcgetattr(Device.Master(), &Mode);
    EXPECT_EQ(cfgetospeed(&Mode), (speed_t)B9600);
}

TEST_F(Startup, APortThatAnotherFieldcamHoldsIsRefused)
{
    Test_Port Device(Runtime.Path(), 7);
    Process First({Fieldcam_Path()}, {"XDG_RUNTIME_DIR=" + Runtime.Path(), "DISPLAY="});
    First.Write("7\n");
    ASSERT_TRUE(First.Wait_For_Output(ModePrompt, 5000)) << First.Output();

    const Finished_Run Second = Run_Fieldcam(Runtime.Path(), "7\n");
    EXPECT_EQ(Second.Output, PortPrompt + "CreateFile failed with error 11.\n" + ZeroSettings + ModePrompt + "\n");

    First.Close_Input();
    EXPECT_EQ(First.Wait(5000), 0);
}

} // namespace
