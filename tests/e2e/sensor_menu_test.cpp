// Sensor address assignment as the operator and the device see it: the real binary on pipes, the test
// playing the device on a pseudo-terminal, transcripts compared byte for byte.
#include <gtest/gtest.h>

#include "operator_texts.h"
#include "process.h"
#include "test_port.h"

namespace {

// A pseudo-terminal's settings as Linux makes it: 38400 baud, 8 data bits, no parity, one stop bit.
const std::string UntilMode =
    PortPrompt + Opened + "\nBaudRate = 38400, ByteSize = 8, Parity = 0, StopBits = 0\n" + ModePrompt;

// A 16-byte sensor address reply with the given result code.
std::string Reply(int Code)
{
    std::string Bytes(16, '\0');
    Bytes[0] = (char)Code;
    return Bytes;
}

struct SensorMenu : ::testing::Test {
    Temp_Dir Runtime;
    Test_Port Device{Runtime.Path(), 7};
    // Takes one request from the tool and answers it (or not, for a negative code).
    std::string Serve(int Code)
    {
        const std::string Request = Device.Receive(8, 5000);
        if (Code >= 0)
            Device.Send(Reply(Code));
        return Hex(Request.data(), Request.size());
    }
};

TEST_F(SensorMenu, RequestsCarryTheBusAddressAndRepliesNameTheResult)
{
    Process Fieldcam({Fieldcam_Path()}, {Device.Env(), "DISPLAY="});
    Fieldcam.Write("7\ny\n23\n\n24\n\n1\n\n5xyz\n\n0\n");
    EXPECT_EQ(Serve(0), "F5 01 01 03 C0 01 00 00");
    EXPECT_EQ(Serve(1), "F5 81 01 03 C0 01 00 00");
    EXPECT_EQ(Serve(2), "F5 21 01 03 C0 01 00 00");
    EXPECT_EQ(Serve(3), "F5 26 01 03 C0 01 00 00");
    Fieldcam.Close_Input();
    EXPECT_EQ(Fieldcam.Wait(10000), 0);
    // A result code without a name prints nothing, and the pause still follows.
    EXPECT_EQ(Fieldcam.Output(), UntilMode + MenuPrompt + Fail + MenuPrompt + Ok + MenuPrompt + AlreadySet + MenuPrompt + MenuPrompt);
    EXPECT_EQ(Device.Receive(1, 100), "") << "nothing more was sent";
}

TEST_F(SensorMenu, NumbersWithoutASensorSendNothing)
{
    const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="},
                                        "7\ny\nabc\n\n6\n\n19\n\n30\n\n39\n\n43\n\n60\n\n1000\n\n"
                                        "99999999999\n\n  \t\n\n-99999999999\n",
                                        10000);
    EXPECT_EQ(Run.Status, 0);
    std::string Expected = UntilMode + MenuPrompt + InvalidNumber;
    for (int Number = 0; Number < 8; Number++)
        Expected += MenuPrompt + InvalidSensor;
    EXPECT_EQ(Run.Output, Expected + MenuPrompt);
    EXPECT_EQ(Device.Receive(1, 100), "");
}

TEST_F(SensorMenu, ZeroNegativeOrEndOfInputLeaveTheMode)
{
    for (const std::string Answer : {"0\n", "-5\n", "-99999999999\n", ""}) {
        const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="}, "7\ny\n" + Answer, 5000);
        EXPECT_EQ(Run.Status, 0) << Answer;
        EXPECT_EQ(Run.Output, UntilMode + MenuPrompt + (Answer.empty() ? "\n" : "")) << Answer;
    }
    EXPECT_EQ(Device.Receive(1, 100), "");
}

TEST_F(SensorMenu, AnUnansweredRequestShowsThePreviousResult)
{
    Process Fieldcam({Fieldcam_Path()}, {Device.Env(), "DISPLAY="});
    Fieldcam.Write("7\ny\n23\n\n40\n\n41\n\n0\n");
    EXPECT_EQ(Serve(-1), "F5 01 01 03 C0 01 00 00");   // no reply yet in this run: FAIL
    EXPECT_EQ(Serve(1), "F5 03 01 03 C0 01 00 00");
    EXPECT_EQ(Serve(-1), "F5 25 01 03 C0 01 00 00");   // no reply: the OK before it stands
    EXPECT_EQ(Fieldcam.Wait(10000), 0);
    EXPECT_EQ(Fieldcam.Output(), UntilMode + MenuPrompt + Fail + MenuPrompt + Ok + MenuPrompt + Ok + MenuPrompt);
}

TEST_F(SensorMenu, ThePauseTakesOneCharacterBeyondTheAnswersLine)
{
    Process Fieldcam({Fieldcam_Path()}, {Device.Env(), "DISPLAY="});
    Fieldcam.Write("7\ny\n6\n");
    ASSERT_TRUE(Fieldcam.Wait_For_Output(InvalidSensor, 5000));
    // Typing 12 at the pause: the 1 is its Enter, the 2 answers the next prompt at once.
    Fieldcam.Write("12\n");
    EXPECT_EQ(Serve(3), "F5 10 01 03 C0 01 00 00");
    // Code 3 prints nothing, yet the pause waits for Enter before the menu comes again.
    ASSERT_TRUE(Fieldcam.Wait_For_Output(MenuPrompt, 5000, 2));
    EXPECT_FALSE(Fieldcam.Wait_For_Output(MenuPrompt, 300, 3));
    Fieldcam.Write("\n");
    EXPECT_TRUE(Fieldcam.Wait_For_Output(MenuPrompt, 5000, 3));
    Fieldcam.Write("0\n");
    EXPECT_EQ(Fieldcam.Wait(5000), 0);
    EXPECT_EQ(Fieldcam.Output(), UntilMode + MenuPrompt + InvalidSensor + MenuPrompt + MenuPrompt);
}

TEST_F(SensorMenu, WithoutAPortEveryValidChoiceFails)
{
    const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="}, "COM4\ny\n23\n\n1\n\n0\n", 5000);
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Output, "Please input COM number (just number): CreateFile failed with error 2.\n"
                          "\nBaudRate = 0, ByteSize = 0, Parity = 0, StopBits = 0\n"
                          "\nSensors address configuration (y/n)?: " +
                              MenuPrompt + Fail + MenuPrompt + Fail + MenuPrompt);
}

} // namespace
