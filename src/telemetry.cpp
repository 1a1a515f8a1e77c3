#include "telemetry.h"

#include <cstdint>
#include <cstring>

#include "device/records.h"

// Every text of the line, segment by segment. Only the last segment ends the line.
static const char FrameFormat[] = "Frame : %u, HyperRAM: %s, ";
static const char HyperRamOk[] = "OK";
static const char HyperRamFail[] = "FAIL";
static const char BatteryFormat[] = "Battery Voltage: %.2fV, ";
static const char ClimateFormat[] = "Temp: %s%d.%dC, Humidity: %s%d.%d%%, ";
static const char IrFormat[] = "IR Voltage: %.2fV, ";
static const char TiltOn[] = "Tilt = ON, ";
static const char TiltOff[] = "Tilt = OFF, ";
static const char NfcOn[] = "NFC Field = ON, ";
static const char NfcOff[] = "NFC Field = OFF, ";
static const char *const ModemStatusText[] = {
    "ModemStatus = Firmware_Boot, ",
    "ModemStatus = Config_Commands, ",
    "ModemStatus = Network_Registered, ",
    "ModemStatus = FtpsServer_Login, ",
    "ModemStatus = Command_Error, ",
};
static const char RssiFormat[] = "RSSI = %ddBm, ";
static const char LedFormat[] = "RgbLed: %s\n";
static const char *const RgbLedColorName[] = {"RED", "GREEN", "BLUE", "WHITE"};
// Until the device has reported a colour with a name.
static const char RgbLedColorUnknown[] = "UNKNOWN";

static const unsigned MODEM_CODES = sizeof ModemStatusText / sizeof ModemStatusText[0];
static const unsigned LED_CODES = sizeof RgbLedColorName / sizeof RgbLedColorName[0];

// The frame counter and the colour name carry over from line to line for the whole run.
static uint32_t J = 0;
static char RgbLedColor[10] = "UNKNOWN";

void Telemetry_Reset(void)
{
    J = 0;
    strcpy(RgbLedColor, RgbLedColorUnknown);
}

// A signed number of tenths as a sign, whole units, a point and the tenths digit of its absolute
// value: -105 is -10.5 and -5 is -0.5 (a plain / and % would print -10.-5, and 0.-5 without a sign).
static const char *Sign_Of(int16_t Tenths) { return Tenths < 0 ? "-" : ""; }
static int Units_Of(int16_t Tenths) { return (Tenths < 0 ? -Tenths : Tenths) / 10; }
static int Tenth_Of(int16_t Tenths) { return (Tenths < 0 ? -Tenths : Tenths) % 10; }

void Telemetry_Print_Line(FILE *Out)
{
    const uint8_t *Stat = DevStat;
    const int16_t Temperature = Status_Temperature_Tenths(Stat);
    const int16_t Humidity = Status_Humidity_Tenths(Stat);
    const int8_t Tmp8Int = Status_Rssi_Dbm(Stat);
    const uint8_t Modem = Status_Modem_Code(Stat);
    const uint8_t Led = Status_Led_Code(Stat);

    fprintf(Out, FrameFormat, (unsigned)J, Status_HyperRam_Ok(Stat) ? HyperRamOk : HyperRamFail);
    J++;
    fprintf(Out, BatteryFormat, Status_Battery_Volts(Stat));
    fprintf(Out, ClimateFormat, Sign_Of(Temperature), Units_Of(Temperature), Tenth_Of(Temperature), Sign_Of(Humidity),
            Units_Of(Humidity), Tenth_Of(Humidity));
    fprintf(Out, IrFormat, Status_Ir_Volts(Stat));
    fputs(Status_Tilt_On(Stat) ? TiltOn : TiltOff, Out);
    fputs(Status_Nfc_On(Stat) ? NfcOn : NfcOff, Out);
    if (Modem < MODEM_CODES)
        fputs(ModemStatusText[Modem], Out);
    fprintf(Out, RssiFormat, (int)Tmp8Int);
    if (Led < LED_CODES)
        strcpy(RgbLedColor, RgbLedColorName[Led]);
    fprintf(Out, LedFormat, RgbLedColor);
    // On a pipe standard output is block-buffered: the operator (and whoever reads the pipe) sees each
    // line as its frame is shown, not thousands of lines later.
    fflush(Out);
}
