// The two fixed-size records that cross the serial link besides the raw frame.
//
// The tool sends the 8-byte command record SendCmd: a frame request (code 0xA5) in live view, a
// sensor address request (code 0xF5) in sensor address assignment. The device answers with the
// 16-byte status record DevStat: ahead of the frame data after the first frame request of a frame,
// and as the whole answer to a sensor address request. Neither has a header, length or checksum.
//
// The records mix byte orders: the crop size in SendCmd is big-endian, temperature and humidity in
// DevStat are little-endian, the IR voltage in the same record is big-endian.
#pragma once

#include <cstdint>

constexpr unsigned SEND_CMD_SIZE = 8;
constexpr unsigned DEV_STAT_SIZE = 16;

// Sent whole, with one write, as it stands at that moment. Starts as A5 01 01 03 C0 01 00 00.
extern uint8_t SendCmd[SEND_CMD_SIZE];
// Written only by the 16-byte reads of a frame pull or a sensor address request; all zero at start.
// Bytes that do not arrive keep their earlier values.
extern uint8_t DevStat[DEV_STAT_SIZE];

// Command codes (byte 0 of SendCmd).
constexpr uint8_t CMD_FRAME_REQUEST = 0xA5;
constexpr uint8_t CMD_SENSOR_ADDRESS_REQUEST = 0xF5;

// Byte positions in SendCmd. Byte 1 is the flash enable in a frame request and the sensor bus
// address in a sensor address request; bytes 6 and 7 are always 0.
constexpr unsigned CMD_CODE = 0;
constexpr unsigned CMD_FLASH_ENABLE = 1;
constexpr unsigned CMD_SENSOR_BUS_ADDRESS = 1;
constexpr unsigned CMD_RGB_LED_ENABLE = 2;
constexpr unsigned CMD_CROP_HIGH = 3;
constexpr unsigned CMD_CROP_LOW = 4;
constexpr unsigned CMD_MOTORS_ENABLE = 5;

// The crop size goes big-endian into bytes 3 and 4; bits above 15 are not sent.
void Record_Set_Crop(uint32_t Pixels);

// Status record fields, decoded from a 16-byte record in the device's layout.
bool Status_HyperRam_Ok(const uint8_t *Stat);         // byte 0 is 0
int16_t Status_Temperature_Tenths(const uint8_t *Stat); // bytes 1-2, signed, little-endian, 0.1 degC
int16_t Status_Humidity_Tenths(const uint8_t *Stat);    // bytes 3-4, signed, little-endian, 0.1 %
uint8_t Status_Led_Code(const uint8_t *Stat);           // byte 5: 0 red, 1 green, 2 blue, 3 white
double Status_Battery_Volts(const uint8_t *Stat);       // byte 6 x 0.017171751221978768
uint8_t Status_Modem_Code(const uint8_t *Stat);         // byte 7: 0 to 4 named
uint16_t Status_Ir_Value(const uint8_t *Stat);          // bytes 8-9, unsigned, big-endian
double Status_Ir_Volts(const uint8_t *Stat);            // IR value x 1.8 / 65535
bool Status_Tilt_On(const uint8_t *Stat);               // byte 10, any non-zero value is on
bool Status_Nfc_On(const uint8_t *Stat);                // byte 11, any non-zero value is on
int8_t Status_Rssi_Dbm(const uint8_t *Stat);            // byte 12, signed
uint8_t Status_Result_Code(const uint8_t *Stat);        // byte 0 of a sensor address reply

// Result codes of a sensor address reply.
constexpr uint8_t SENSOR_RESULT_FAIL = 0;
constexpr uint8_t SENSOR_RESULT_OK = 1;
constexpr uint8_t SENSOR_RESULT_ALREADY_SET = 2;
