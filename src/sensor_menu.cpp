#include "sensor_menu.h"

#include <cstdio>

#include "console_input.h"
#include "device/records.h"
#include "device/serial_port.h"

const uint8_t SensorsAdress[SENSORS_ADRESS_SIZE] = {
    // 0 to 9: wind speed, illumination, photosynthetically active radiation, UV, air C2H4
    0, 0x21, 0x10, 0x0D, 0x0A, 0x26, 0, 0, 0, 0,
    // 10 to 19
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 20 to 29: soil 8 in 1, 4 in 1, pH silver, pH, multi parameter, moisture levels 2 to 6
    0x08, 0x09, 0x04, 0x01, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86,
    // 30 to 39
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 40 to 49: soil CO2, O2, CH4
    0x03, 0x25, 0x06, 0, 0, 0, 0, 0, 0, 0,
    // 50 to 59
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// What the operator reads in this mode.
static const char SensorMenu[] =
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
    "-------------------------------\n";
static const char PromptSensor[] = "Input the sensor number: ";
static const char MessageInvalidNumber[] = "Set sensor address -> INVALID NUMBER(press enter)\n";
static const char MessageInvalidSensor[] = "Set sensor address -> INVALID SENSOR (press enter)\n";
static const char MessageFail[] = "Set sensor address -> FAIL (press enter)\n";
static const char MessageOk[] = "Set sensor address -> OK (press enter)\n";
static const char MessageAlreadySet[] = "Set sensor address -> ALREADY SET (press enter)\n";

// Sends one sensor address request for Address and shows the device's answer.
static void Request_Address(HANDLE hCom, uint8_t Address)
{
    SendCmd[CMD_SENSOR_BUS_ADDRESS] = Address;
    Link_Purge_Receive(hCom);
    Link_Send_Command(hCom);
    // Whether and how much arrived is not looked at: an unanswered request shows the result code of
    // the previous reply, or FAIL before the first.
    Link_Read(hCom, DevStat, DEV_STAT_SIZE);
    switch (Status_Result_Code(DevStat)) {
    case SENSOR_RESULT_FAIL:
        fputs(MessageFail, stdout);
        break;
    case SENSOR_RESULT_OK:
        fputs(MessageOk, stdout);
        break;
    case SENSOR_RESULT_ALREADY_SET:
        fputs(MessageAlreadySet, stdout);
        break;
    default:   // a code without a name shows nothing
        break;
    }
}

void Sensor_Menu(HANDLE hCom, int32_t *TmpInt)
{
    for (;;) {
        fputs(SensorMenu, stdout);
        fputs(PromptSensor, stdout);
        switch (Console_Read_Int(TmpInt)) {
        case CONSOLE_READ_END_OF_INPUT:
            fputs("\n", stdout);
            return;
        case CONSOLE_READ_OK:
            break;
        default:
            fputs(MessageInvalidNumber, stdout);
            Console_Press_Enter();
            continue;
        }
        if (*TmpInt < 1)
            return;
        if (*TmpInt >= (int32_t)SENSORS_ADRESS_SIZE || SensorsAdress[*TmpInt] == 0)
            fputs(MessageInvalidSensor, stdout);
        else
            Request_Address(hCom, SensorsAdress[*TmpInt]);
        Console_Press_Enter();
    }
}
