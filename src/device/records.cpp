#include "device/records.h"

uint8_t SendCmd[SEND_CMD_SIZE] = {CMD_FRAME_REQUEST, 0x01, 0x01, 0x03, 0xC0, 0x01, 0x00, 0x00};
uint8_t DevStat[DEV_STAT_SIZE] = {0};

void Record_Set_Crop(uint32_t Pixels)
{
    SendCmd[CMD_CROP_HIGH] = (uint8_t)(Pixels >> 8);
    SendCmd[CMD_CROP_LOW] = (uint8_t)Pixels;
}

bool Status_HyperRam_Ok(const uint8_t *Stat) { return Stat[0] == 0; }

// Low byte first; the 16 bits are a two's complement number of tenths.
int16_t Status_Temperature_Tenths(const uint8_t *Stat) { return (int16_t)(uint16_t)(Stat[1] | Stat[2] << 8); }

int16_t Status_Humidity_Tenths(const uint8_t *Stat) { return (int16_t)(uint16_t)(Stat[3] | Stat[4] << 8); }

uint8_t Status_Led_Code(const uint8_t *Stat) { return Stat[5]; }

double Status_Battery_Volts(const uint8_t *Stat) { return Stat[6] * 0.017171751221978768; }

uint8_t Status_Modem_Code(const uint8_t *Stat) { return Stat[7]; }

// High byte first, unlike temperature and humidity.
uint16_t Status_Ir_Value(const uint8_t *Stat) { return (uint16_t)(Stat[8] << 8 | Stat[9]); }

double Status_Ir_Volts(const uint8_t *Stat) { return Status_Ir_Value(Stat) * 1.8 / 65535.0; }

bool Status_Tilt_On(const uint8_t *Stat) { return Stat[10] != 0; }

bool Status_Nfc_On(const uint8_t *Stat) { return Stat[11] != 0; }

int8_t Status_Rssi_Dbm(const uint8_t *Stat) { return (int8_t)Stat[12]; }

uint8_t Status_Result_Code(const uint8_t *Stat) { return Stat[0]; }
