// The telemetry line, byte for byte, for status records that differ from the worked example of a
// device in good order in one field at a time; and what carries over from line to line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "device/records.h"
#include "telemetry.h"

namespace {

// HyperRAM in order, 23.5 degC, 45.6 %, LED green, battery 216, modem registered, IR 0x8000, tilt off,
// NFC field on, RSSI -71 dBm.
const uint8_t Example[DEV_STAT_SIZE] = {0x00, 0xEB, 0x00, 0xC8, 0x01, 0x01, 0xD8, 0x02,
                                        0x80, 0x00, 0x00, 0x01, 0xB9, 0x00, 0x00, 0x00};
const std::string ExampleLine =
    "Frame : 0, HyperRAM: OK, Battery Voltage: 3.71V, Temp: 23.5C, Humidity: 45.6%, IR Voltage: 0.90V, "
    "Tilt = OFF, NFC Field = ON, ModemStatus = Network_Registered, RSSI = -71dBm, RgbLed: GREEN\n";

struct Telemetry : ::testing::Test {
    void SetUp() override
    {
        Telemetry_Reset();
        memcpy(DevStat, Example, sizeof DevStat);
    }
    void TearDown() override { memset(DevStat, 0, sizeof DevStat); }

    // The line Telemetry_Print_Line writes for what DevStat holds now.
    static std::string Line()
    {
        char *Text = nullptr;
        size_t Size = 0;
        FILE *Out = open_memstream(&Text, &Size);
        Telemetry_Print_Line(Out);
        fclose(Out);
        std::string Result(Text, Size);
        free(Text);
        return Result;
    }
};

std::string Replaced(std::string Text, const std::string &From, const std::string &To)
{
    const size_t At = Text.find(From);
    EXPECT_NE(At, std::string::npos) << From;
    EXPECT_EQ(Text.find(From, At + 1), std::string::npos) << From << " is not unique";
    return At == std::string::npos ? Text : Text.replace(At, From.size(), To);
}

TEST_F(Telemetry, WorkedExampleOnTheFirstFrame) { EXPECT_EQ(Line(), ExampleLine); }

struct Field_Case {
    std::vector<std::pair<int, uint8_t>> Bytes;   // (position, value) changed from the example
    const char *From, *To;                        // the text of the example line that changes
};

TEST_F(Telemetry, EachFieldOfTheRecord)
{
    const Field_Case Cases[] = {
        // HyperRAM: only 0 is in order.
        {{{0, 0x01}}, "HyperRAM: OK", "HyperRAM: FAIL"},
        {{{0, 0xFF}}, "HyperRAM: OK", "HyperRAM: FAIL"},
        // Battery: the byte times 0.017171751221978768, two decimals rounded.
        {{{6, 0}}, "Battery Voltage: 3.71V", "Battery Voltage: 0.00V"},
        {{{6, 255}}, "Battery Voltage: 3.71V", "Battery Voltage: 4.38V"},
        // Temperature and humidity: signed tenths, low byte first.
        {{{1, 0x05}, {2, 0x00}}, "Temp: 23.5C", "Temp: 0.5C"},
        {{{1, 0x9C}, {2, 0xFF}}, "Temp: 23.5C", "Temp: -10.0C"},
        {{{1, 0x97}, {2, 0xFF}}, "Temp: 23.5C", "Temp: -10.5C"},
        {{{1, 0xFB}, {2, 0xFF}}, "Temp: 23.5C", "Temp: -0.5C"},
        {{{1, 0x00}, {2, 0x80}}, "Temp: 23.5C", "Temp: -3276.8C"},
        {{{1, 0xFF}, {2, 0x7F}}, "Temp: 23.5C", "Temp: 3276.7C"},
        {{{3, 0xE8}, {4, 0x03}}, "Humidity: 45.6%, ", "Humidity: 100.0%, "},
        {{{3, 0x00}, {4, 0x00}}, "Humidity: 45.6%, ", "Humidity: 0.0%, "},
        {{{3, 0xFF}, {4, 0xFF}}, "Humidity: 45.6%, ", "Humidity: -0.1%, "},
        // IR voltage: unsigned, high byte first, x 1.8 / 65535.
        {{{8, 0x00}, {9, 0x80}}, "IR Voltage: 0.90V", "IR Voltage: 0.00V"},
        {{{8, 0xFF}, {9, 0xFF}}, "IR Voltage: 0.90V", "IR Voltage: 1.80V"},
        {{{8, 0x12}, {9, 0x34}}, "IR Voltage: 0.90V", "IR Voltage: 0.13V"},
        // Tilt and NFC: any non-zero value is on.
        {{{10, 0x80}}, "Tilt = OFF, ", "Tilt = ON, "},
        {{{11, 0x00}}, "NFC Field = ON, ", "NFC Field = OFF, "},
        {{{11, 0xFF}}, "NFC Field = ON, ", "NFC Field = ON, "},
        // Modem: five named states; any other code leaves the segment out.
        {{{7, 0}}, "Network_Registered", "Firmware_Boot"},
        {{{7, 1}}, "Network_Registered", "Config_Commands"},
        {{{7, 3}}, "Network_Registered", "FtpsServer_Login"},
        {{{7, 4}}, "Network_Registered", "Command_Error"},
        {{{7, 5}}, "ModemStatus = Network_Registered, ", ""},
        {{{7, 255}}, "ModemStatus = Network_Registered, ", ""},
        // RSSI: the byte is signed.
        {{{12, 0x7F}}, "RSSI = -71dBm", "RSSI = 127dBm"},
        {{{12, 0x80}}, "RSSI = -71dBm", "RSSI = -128dBm"},
        {{{12, 0x00}}, "RSSI = -71dBm", "RSSI = 0dBm"},
        // LED: four named colours.
        {{{5, 0}}, "RgbLed: GREEN", "RgbLed: RED"},
        {{{5, 2}}, "RgbLed: GREEN", "RgbLed: BLUE"},
        {{{5, 3}}, "RgbLed: GREEN", "RgbLed: WHITE"},
        // Bytes 13 to 15 mean nothing.
        {{{13, 0xFF}, {14, 0xFF}, {15, 0xFF}}, "", ""},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.To);
        Telemetry_Reset();
        memcpy(DevStat, Example, sizeof DevStat);
        for (const auto &[Position, Value] : Case.Bytes)
            DevStat[Position] = Value;
        const std::string Expected = *Case.From ? Replaced(ExampleLine, Case.From, Case.To) : ExampleLine;
        EXPECT_EQ(Line(), Expected);
    }
}

TEST_F(Telemetry, CounterAndColourNameCarryOverFromLineToLine)
{
    // Before any named colour the line says so; an unnamed code keeps the last name; a shorter name
    // after a longer one keeps none of its letters.
    const std::pair<uint8_t, const char *> Colours[] = {
        {9, "UNKNOWN"}, {1, "GREEN"}, {9, "GREEN"}, {2, "BLUE"}, {3, "WHITE"}, {0, "RED"}, {255, "RED"},
    };
    unsigned Frame = 0;
    for (const auto &[Code, Name] : Colours) {
        DevStat[5] = Code;
        std::string Expected = Replaced(ExampleLine, "RgbLed: GREEN\n", std::string("RgbLed: ") + Name + "\n");
        Expected = Replaced(Expected, "Frame : 0,", "Frame : " + std::to_string(Frame++) + ",");
        EXPECT_EQ(Line(), Expected);
    }
}

TEST_F(Telemetry, AllZeroRecordBeforeAnyFrameArrived)
{
    memset(DevStat, 0, sizeof DevStat);
    EXPECT_EQ(Line(), "Frame : 0, HyperRAM: OK, Battery Voltage: 0.00V, Temp: 0.0C, Humidity: 0.0%, IR Voltage: 0.00V, "
                      "Tilt = OFF, NFC Field = OFF, ModemStatus = Firmware_Boot, RSSI = 0dBm, RgbLed: RED\n");
}

}  // namespace
