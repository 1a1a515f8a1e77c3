#include "telemetry.h"

#include <cstdint>
#include <cstring>

#include "device/records.h"

static uint32_t J = 0;
static char RgbLedColor[10] = "UNKNOWN";

static const char *const ModemStatusText[] = {
    "ModemStatus = Firmware_Boot, ",
    "ModemStatus = Config_Commands, ",
    "ModemStatus = Network_Registered, ",
    "ModemStatus = FtpsServer_Login, ",
    "ModemStatus = Command_Error, ",
};
static const char *const RgbLedColorName[] = {"RED", "GREEN", "BLUE", "WHITE"};

void Telemetry_Reset(void)
{
    J = 0;
    strcpy(RgbLedColor, "UNKNOWN");
}

// A signed number of tenths as whole units, a point and the tenths digit: -105 is -10.5, -5 is -0.5.
static const char *Sign_Of(int16_t Tenths) { return Tenths < 0 ? "-" : ""; }
static int Units_Of(int16_t Tenths) { return (Tenths < 0 ? -Tenths : Tenths) / 10; }
static int Tenth_Of(int16_t Tenths) { return (Tenths < 0 ? -Tenths : Tenths) % 10; }

void Telemetry_Print_Line(FILE *Out)
{
    const uint8_t *Stat = DevStat;
    const int16_t Temperature = Status_Temperature_Tenths(Stat);
    const int16_t Humidity = Status_Humidity_Tenths(Stat);
    const int8_t Tmp8Int = Status_Rssi_Dbm(Stat);

    fprintf(Out, "Frame : %u, HyperRAM: %s, ", (unsigned)J, Status_HyperRam_Ok(Stat) ? "OK" : "FAIL");
    J++;
    fprintf(Out, "Battery Voltage: %.2fV, ", Status_Battery_Volts(Stat));
    fprintf(Out, "Temp: %s%d.%dC, Humidity: %s%d.%d%%, ", Sign_Of(Temperature), Units_Of(Temperature),
            Tenth_Of(Temperature), Sign_Of(Humidity), Units_Of(Humidity), Tenth_Of(Humidity));
    fprintf(Out, "IR Voltage: %.2fV, ", Status_Ir_Volts(Stat));
    fputs(Status_Tilt_On(Stat) ? "Tilt = ON, " : "Tilt = OFF, ", Out);
    fputs(Status_Nfc_On(Stat) ? "NFC Field = ON, " : "NFC Field = OFF, ", Out);
    if (Status_Modem_Code(Stat) < sizeof ModemStatusText / sizeof ModemStatusText[0])
        fputs(ModemStatusText[Status_Modem_Code(Stat)], Out);
    fprintf(Out, "RSSI = %ddBm, ", (int)Tmp8Int);
    if (Status_Led_Code(Stat) < sizeof RgbLedColorName / sizeof RgbLedColorName[0])
        strcpy(RgbLedColor, RgbLedColorName[Status_Led_Code(Stat)]);
    fprintf(Out, "RgbLed: %s\n", RgbLedColor);
    fflush(Out);
}
