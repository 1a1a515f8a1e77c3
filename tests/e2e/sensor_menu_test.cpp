// Sensor address assignment as the operator and the device see it: the real binary on pipes, the test
// playing the device on a pseudo-terminal, transcripts compared byte for byte.
#include <gtest/gtest.h>

#include "process.h"
#include "test_port.h"

namespace {

const std::string Menu =
    "\nSensors list\n"
    " 0 - Exit sensor address configuration\n"
    "--------------------------------------\n"
    " 1 - Wind speed sensor (AVENTO12)\n"
    " 2 - Illumination sensor (LUXMET77)\n"
    " 3 - Photosynthetically sensor (QUANTP5)\n"
    " 4 - UV radiation sensor (SOLRAY3)\n"
    " 5 - Air C2H4 sensor (ETHYLX92)\n"
    "----------------------------------------\n"
    "20 - Soil 8 in 1 sensor (TERRA8K)\n"
    "21 - Soil 4 in 1 sensor (GLEBAQ4V7)\n"
    "22 - Soil Ph Silver sensor (ACIDMTR)\n"
    "23 - Soil Ph sensor (China aliexpress)\n"
    "24 - Soil Multi parameter T/H/SAL/EC/NPK sensor (China aliexpress)\n"
    "25 - Soil Moisture Level2 sensor (China aliexpress)\n"
    "26 - Soil Moisture Level3 sensor (China aliexpress)\n"
    "27 - Soil Moisture Level4 sensor (China aliexpress)\n"
    "28 - Soil Moisture Level5 sensor (China aliexpress)\n"
    "29 - Soil Moisture Level6 sensor (China aliexpress)\n"
    "---------------------------------------------------\n"
    "40 - Soil CO2 sensor (CARBX7)\n"
    "41 - Soil O2 sensor (OXIMZ)\n"
    "42 - Soil CH4 sensor (METHQX41)\n"
    "-------------------------------\n"
    "Input the sensor number: ";
const std::string InvalidNumber = "Set sensor address -> INVALID NUMBER(press enter)\n";
const std::string InvalidSensor = "Set sensor address -> INVALID SENSOR (press enter)\n";
const std::string Fail = "Set sensor address -> FAIL (press enter)\n";
const std::string Ok = "Set sensor address -> OK (press enter)\n";
const std::string AlreadySet = "Set sensor address -> ALREADY SET (press enter)\n";

const std::string Opened = "Please input COM number (just number): Windows In/Out serial buffers changed to 64kb\n"
                           "\nBaudRate = 38400, ByteSize = 8, Parity = 0, StopBits = 0\n"
                           "\nSensors address configuration (y/n)?: ";

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
    EXPECT_EQ(Fieldcam.Output(), Opened + Menu + Fail + Menu + Ok + Menu + AlreadySet + Menu + Menu);
    EXPECT_EQ(Device.Receive(1, 100), "") << "nothing more was sent";
}

TEST_F(SensorMenu, NumbersWithoutASensorSendNothing)
{
    const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="},
                                        "7\ny\nabc\n\n6\n\n19\n\n30\n\n39\n\n43\n\n60\n\n1000\n\n"
                                        "99999999999\n\n  \t\n\n-99999999999\n",
                                        10000);
    EXPECT_EQ(Run.Status, 0);
    std::string Expected = Opened + Menu + InvalidNumber;
    for (int Number = 0; Number < 8; Number++)
        Expected += Menu + InvalidSensor;
    EXPECT_EQ(Run.Output, Expected + Menu);
    EXPECT_EQ(Device.Receive(1, 100), "");
}

TEST_F(SensorMenu, ZeroNegativeOrEndOfInputLeaveTheMode)
{
    for (const std::string Answer : {"0\n", "-5\n", "-99999999999\n", ""}) {
        const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="}, "7\ny\n" + Answer, 5000);
        EXPECT_EQ(Run.Status, 0) << Answer;
        EXPECT_EQ(Run.Output, Opened + Menu + (Answer.empty() ? "\n" : "")) << Answer;
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
    EXPECT_EQ(Fieldcam.Output(), Opened + Menu + Fail + Menu + Ok + Menu + Ok + Menu);
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
    ASSERT_TRUE(Fieldcam.Wait_For_Output(Menu, 5000, 2));
    EXPECT_FALSE(Fieldcam.Wait_For_Output(Menu, 300, 3));
    Fieldcam.Write("\n");
    EXPECT_TRUE(Fieldcam.Wait_For_Output(Menu, 5000, 3));
    Fieldcam.Write("0\n");
    EXPECT_EQ(Fieldcam.Wait(5000), 0);
    EXPECT_EQ(Fieldcam.Output(), Opened + Menu + InvalidSensor + Menu + Menu);
}

TEST_F(SensorMenu, WithoutAPortEveryValidChoiceFails)
{
    const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY="}, "COM4\ny\n23\n\n1\n\n0\n", 5000);
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Output, "Please input COM number (just number): CreateFile failed with error 2.\n"
                          "\nBaudRate = 0, ByteSize = 0, Parity = 0, StopBits = 0\n"
                          "\nSensors address configuration (y/n)?: " +
                              Menu + Fail + Menu + Fail + Menu);
}

} // namespace
