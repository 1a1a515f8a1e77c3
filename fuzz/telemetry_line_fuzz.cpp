// Fuzz target: status records from a device that sends anything, turned into telemetry lines.
//
// The input is a run of 16-byte status records, one per frame. Each line is read back and held
// against the record it came from: one line end, at the end; the frame counter; every figure the
// record carries, with temperature and humidity parsed back to the very tenths they encode (a
// wrong sign or a negative tenths digit shows here); the modem segment only for codes 0 to 4; the
// LED name carried over from the last frame that named one.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/records.h"
#include "telemetry.h"

namespace {

void Require(bool Condition, const char *What, const std::string &Line)
{
    if (Condition)
        return;
    fprintf(stderr, "telemetry line: %s\nline: %s\n", What, Line.c_str());
    abort();
}

// The text after Label, or nullptr when the line has no Label.
const char *After(const std::string &Line, const char *Label)
{
    const size_t At = Line.find(Label);
    return At == std::string::npos ? nullptr : Line.c_str() + At + strlen(Label);
}

// "[-]units.tenth" followed by Unit, back into tenths; false when the text has another shape.
bool Parse_Tenths(const char *Text, char Unit, long *Tenths)
{
    if (!Text)
        return false;
    const bool Negative = *Text == '-';
    if (Negative)
        Text++;
    char *End;
    const long Units = strtol(Text, &End, 10);
    if (*Text < '0' || *Text > '9' || End[0] != '.' || End[1] < '0' || End[1] > '9' || End[2] != Unit)
        return false;
    const long Magnitude = Units * 10 + (End[1] - '0');
    if (Negative && Magnitude == 0)
        return false;   // "-0.0" is not a way to print zero
    *Tenths = Negative ? -Magnitude : Magnitude;
    return true;
}

bool Near(const char *Text, double Expected)
{
    return Text && std::fabs(strtod(Text, nullptr) - Expected) <= 0.0051;
}

std::string Line_For(const uint8_t *Record)
{
    memcpy(DevStat, Record, DEV_STAT_SIZE);
    char *Text = nullptr;
    size_t Size = 0;
    FILE *Out = open_memstream(&Text, &Size);
    Telemetry_Print_Line(Out);
    fclose(Out);
    std::string Line(Text, Size);
    free(Text);
    return Line;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    static const char *const Leds[] = {"RED", "GREEN", "BLUE", "WHITE"};
    static const char *const Modems[] = {"Firmware_Boot", "Config_Commands", "Network_Registered", "FtpsServer_Login",
                                         "Command_Error"};
    Telemetry_Reset();
    const char *Led = "UNKNOWN";
    for (size_t Frame = 0; (Frame + 1) * DEV_STAT_SIZE <= Size && Frame < 64; Frame++) {
        const uint8_t *R = Data + Frame * DEV_STAT_SIZE;
        const std::string Line = Line_For(R);

        Require(Line.find('\n') == Line.size() - 1, "exactly one line end, at the end", Line);
        Require(Line.find('\0') == std::string::npos, "no NUL in the line", Line);
        const std::string Head = "Frame : " + std::to_string(Frame) + ", HyperRAM: " + (R[0] == 0 ? "OK, " : "FAIL, ");
        Require(Line.compare(0, Head.size(), Head) == 0, "frame counter and HyperRAM state", Line);
        Require(Near(After(Line, "Battery Voltage: "), R[6] * 0.017171751221978768), "battery volts", Line);

        long Tenths;
        Require(Parse_Tenths(After(Line, "Temp: "), 'C', &Tenths) && Tenths == (int16_t)(R[1] | R[2] << 8),
                "temperature in tenths", Line);
        Require(Parse_Tenths(After(Line, "Humidity: "), '%', &Tenths) && Tenths == (int16_t)(R[3] | R[4] << 8),
                "humidity in tenths", Line);
        Require(Near(After(Line, "IR Voltage: "), (R[8] << 8 | R[9]) * 1.8 / 65535.0), "IR volts", Line);

        Require(Line.find(R[10] ? "Tilt = ON, " : "Tilt = OFF, ") != std::string::npos, "tilt", Line);
        Require(Line.find(R[11] ? "NFC Field = ON, " : "NFC Field = OFF, ") != std::string::npos, "NFC field", Line);
        const char *Modem = After(Line, "ModemStatus = ");
        if (R[7] < 5)
            Require(Modem && strncmp(Modem, Modems[R[7]], strlen(Modems[R[7]])) == 0, "modem status", Line);
        else
            Require(!Modem && After(Line, "NFC Field = O") != nullptr, "no modem segment for an unnamed code", Line);
        const char *Rssi = After(Line, "RSSI = ");
        Require(Rssi && strtol(Rssi, nullptr, 10) == (int8_t)R[12], "RSSI", Line);

        if (R[5] < 4)
            Led = Leds[R[5]];
        Require(Line.size() >= strlen(Led) + 9 && Line.compare(Line.size() - strlen(Led) - 9, std::string::npos,
                                                               std::string("RgbLed: ") + Led + "\n") == 0,
                "LED colour carried from the last named code", Line);
    }
    return 0;
}
