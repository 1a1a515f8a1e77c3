// The camera answers as they land in the command record and the crop globals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "device/acquisition.h"
#include "device/records.h"
#include "process.h"
#include "startup_dialogue.h"

namespace {

// Answers the camera questions with Input; the prompts go to /dev/null. Leaves the record and the
// crop globals as the answers made them and returns the record.
std::string Camera_Record_For(const std::string &Input)
{
    Temp_Dir Folder;
    const std::string Answers = Folder.Path() + "/answers";
    Write_File(Answers, Input);
    EXPECT_NE(freopen(Answers.c_str(), "r", stdin), nullptr);

    fflush(stdout);
    const int Screen = dup(1);
    FILE *Null = fopen("/dev/null", "w");
    dup2(fileno(Null), 1);

    char TmpChar[TMP_CHAR_SIZE];
    int32_t TmpInt = 0;
    const bool Answered = Dialogue_Camera_Options(TmpChar, &TmpInt);

    fflush(stdout);
    dup2(Screen, 1);
    close(Screen);
    fclose(Null);
    EXPECT_TRUE(Answered) << Input;
    return Hex(SendCmd, SEND_CMD_SIZE);
}

struct CameraAnswers : ::testing::Test {
    uint8_t Saved[SEND_CMD_SIZE];
    void SetUp() override { memcpy(Saved, SendCmd, sizeof Saved); }
    void TearDown() override
    {
        memcpy(SendCmd, Saved, sizeof Saved);
        CameraHorizontalPixels = CameraVerticalPixels = CAMERA_MAX_PIXELS;
    }
};

TEST_F(CameraAnswers, FillTheFrameRequest)
{
    const struct {
        const char *Input;
        const char *Record;
    } Cases[] = {
        {"960\nn\nn\nn\n", "A5 01 01 03 C0 01 00 00"},
        {"240\ny\nn\nn\n", "A5 00 01 00 F0 01 00 00"},
        {"320\nn\ny\ny\n", "A5 01 00 01 40 00 00 00"},
        {"480 y n n\n", "A5 00 01 01 E0 01 00 00"},
        {"480\nyes\nyellow\nY\n", "A5 00 00 01 E0 01 00 00"},
        {"480\nYes\nno\nx\n", "A5 01 01 01 E0 01 00 00"},
        {"abc 0 961\n\n\n  2 n n n\n", "A5 01 01 00 02 01 00 00"},
    };
    for (const auto &Case : Cases) {
        EXPECT_EQ(Camera_Record_For(Case.Input), Case.Record) << Case.Input;
        memcpy(SendCmd, Saved, sizeof Saved);
    }
}

TEST_F(CameraAnswers, SetBothSidesOfTheCrop)
{
    Camera_Record_For("480\nn\nn\nn\n");
    EXPECT_EQ(CameraHorizontalPixels, 480u);
    EXPECT_EQ(CameraVerticalPixels, 480u);
}

} // namespace
