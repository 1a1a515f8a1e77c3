// The command record as the dialogue fills it, and the status record's fields as the device sends them.
#include <gtest/gtest.h>

#include <cstring>

#include "device/records.h"
#include "process.h"

TEST(Records, CommandRecordStartsAsAFrameRequestForCrop960)
{
    const uint8_t Start[8] = {0xA5, 0x01, 0x01, 0x03, 0xC0, 0x01, 0x00, 0x00};
    EXPECT_EQ(Hex(SendCmd, 8), Hex(Start, 8));
}

TEST(Records, CropGoesBigEndianIntoBytesThreeAndFour)
{
    const struct {
        uint32_t Crop;
        uint8_t High, Low;
    } Cases[] = {{240, 0x00, 0xF0}, {320, 0x01, 0x40}, {480, 0x01, 0xE0}, {960, 0x03, 0xC0}, {0x12345, 0x23, 0x45}};
    uint8_t Saved[8];
    memcpy(Saved, SendCmd, 8);
    for (const auto &Case : Cases) {
        Record_Set_Crop(Case.Crop);
        EXPECT_EQ(SendCmd[CMD_CROP_HIGH], Case.High) << Case.Crop;
        EXPECT_EQ(SendCmd[CMD_CROP_LOW], Case.Low) << Case.Crop;
    }
    memcpy(SendCmd, Saved, 8);
}

TEST(Records, FrameReplyDecodesEveryField)
{
    const uint8_t Reply[16] = {0x00, 0xE7, 0x00, 0x58, 0x02, 0x01, 0xF2, 0x02,
                               0x80, 0x00, 0x01, 0x00, 0xB5, 0x00, 0x00, 0x00};
    EXPECT_TRUE(Status_HyperRam_Ok(Reply));
    EXPECT_EQ(Status_Temperature_Tenths(Reply), 231);
    EXPECT_EQ(Status_Humidity_Tenths(Reply), 600);
    EXPECT_EQ(Status_Led_Code(Reply), 1);
    EXPECT_NEAR(Status_Battery_Volts(Reply), 4.156, 0.0005);
    EXPECT_EQ(Status_Modem_Code(Reply), 2);
    EXPECT_EQ(Status_Ir_Value(Reply), 32768);
    EXPECT_NEAR(Status_Ir_Volts(Reply), 0.900, 0.0005);
    EXPECT_TRUE(Status_Tilt_On(Reply));
    EXPECT_FALSE(Status_Nfc_On(Reply));
    EXPECT_EQ(Status_Rssi_Dbm(Reply), -75);
}

TEST(Records, SignsByteOrdersAndCodes)
{
    uint8_t Reply[16] = {0};
    Reply[1] = 0x9C, Reply[2] = 0xFF;   // -100 tenths
    Reply[8] = 0x12, Reply[9] = 0x34;   // high byte first: 0x1234, not 0x3412
    Reply[0] = 7;                       // any non-zero HyperRAM state is a failure
    Reply[12] = 0x80;
    EXPECT_EQ(Status_Temperature_Tenths(Reply), -100);
    EXPECT_EQ(Status_Ir_Value(Reply), 4660);
    EXPECT_FALSE(Status_HyperRam_Ok(Reply));
    EXPECT_EQ(Status_Rssi_Dbm(Reply), -128);
    Reply[6] = 255;
    EXPECT_NEAR(Status_Battery_Volts(Reply), 4.38, 0.005);
    Reply[8] = Reply[9] = 0xFF;
    EXPECT_DOUBLE_EQ(Status_Ir_Volts(Reply), 1.8);
}
