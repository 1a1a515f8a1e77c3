// Frame pulls against the emulated device on a real pseudo-terminal: how many requests, which bytes
// land in which slot, and what a short, broken, silent or chatty device leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "device/acquisition.h"
#include "device/records.h"
#include "platform/platform.h"
#include "process.h"

namespace {

const char Status[] = "00 EB 00 C8 01 01 D8 02 80 00 00 01 B9 00 00 00";
const uint8_t Before = 0xEE;   // what the buffers held before the pull

// Bytes that differ from their neighbours and from one chunk to the next, so a chunk stored at the
// wrong place shows.
std::string Pattern(size_t Count)
{
    std::string Bytes(Count, '\0');
    uint32_t State = 12345;
    for (auto &Byte : Bytes) {
        State = State * 1103515245u + 12345u;
        Byte = (char)(State >> 16);
    }
    return Bytes;
}

size_t Count_Lines(const std::string &Text, const std::string &Line)
{
    std::istringstream Lines(Text);
    size_t Count = 0;
    for (std::string Each; std::getline(Lines, Each);)
        Count += Each == Line;
    return Count;
}

struct Acquisition : ::testing::Test {
    Temp_Dir Runtime;
    std::string Frame = Pattern(CAMERA_BUFF_SIZE);
    std::unique_ptr<Process> Emulator;
    HANDLE Port = INVALID_HANDLE_VALUE;
    uint8_t SavedCommand[SEND_CMD_SIZE];

    void SetUp() override
    {
        setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1);
        Write_File(Runtime.Path() + "/frame.raw", Frame);
        memcpy(SavedCommand, SendCmd, sizeof SavedCommand);
        Fill_With_Before();
    }

    // The buffers as a pull finds them: every byte the value of before.
    static void Fill_With_Before()
    {
        memset(CameraBuff, Before, CAMERA_BUFF_SIZE);
        memset(DevStat, Before, DEV_STAT_SIZE);
    }
    void TearDown() override
    {
        if (Port != INVALID_HANDLE_VALUE)
            CloseHandle(Port);
        Emulator.reset();
        memcpy(SendCmd, SavedCommand, sizeof SavedCommand);
        Set_Crop(CAMERA_MAX_PIXELS);
        memset(CameraBuff, 0, CAMERA_BUFF_SIZE);
        memset(DevStat, 0, DEV_STAT_SIZE);
    }

    static void Set_Crop(uint32_t Crop)
    {
        CameraHorizontalPixels = CameraVerticalPixels = Crop;
        Record_Set_Crop(Crop);
    }

    // Starts the emulator serving the fixed frame and status record, and opens its port as the tool does.
    void Start(std::vector<std::string> Options = {})
    {
        std::vector<std::string> Argv = {Emulator_Path(), "--com", "5", "--frame", Runtime.Path() + "/frame.raw",
                                         "--status", Status, "--log", Runtime.Path() + "/log"};
        Argv.insert(Argv.end(), Options.begin(), Options.end());
        Emulator = std::make_unique<Process>(Argv);
        ASSERT_TRUE(Emulator->Wait_For_Output("type 5", 10000)) << Emulator->Errors();
        Port = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(Port, INVALID_HANDLE_VALUE) << GetLastError();
        COMMTIMEOUTS Timeouts = {0, 0, 1000, 0, 0};
        SetCommTimeouts(Port, &Timeouts);
    }

    std::string Log() { return Read_File(Runtime.Path() + "/log"); }

    // Whether CameraBuff from From (inclusive) to To (exclusive) holds the frame's bytes, or the
    // bytes of before the pull.
    bool Holds_Frame(size_t From, size_t To) { return memcmp(CameraBuff + From, Frame.data() + From, To - From) == 0; }
    bool Holds_Before(size_t From, size_t To)
    {
        for (size_t K = From; K < To; K++)
            if (CameraBuff[K] != Before)
                return false;
        return true;
    }
    static long long Ms_Since(std::chrono::steady_clock::time_point Start)
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now() - Start).count();
    }
};

TEST_F(Acquisition, EveryChunkLandsInItsOwnSlotAndTheStatusRecordComesOnce)
{
    const struct {
        uint32_t Crop;
        uint32_t Size;
        size_t Requests;
        const char *Request;
    } Cases[] = {
        {960, 1859584, 31, "A5 01 01 03 C0 01 00 00"},
        {240, 119808, 2, "A5 01 01 00 F0 01 00 00"},
        {170, 61440, 1, "A5 01 01 00 AA 01 00 00"},    // exactly one chunk: one request, a full final read
        {243, 122880, 2, "A5 01 01 00 F3 01 00 00"},    // exactly two chunks
        {20, 0, 1, "A5 01 01 00 14 01 00 00"},          // the mask leaves nothing to transfer
    };
    Start();
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Crop);
        ASSERT_EQ(Transfer_Size(Case.Crop, Case.Crop), Case.Size);
        Fill_With_Before();
        Set_Crop(Case.Crop);
        Camera_Acquisition(Port);
        EXPECT_EQ(Hex(DevStat, DEV_STAT_SIZE), Status);
        EXPECT_TRUE(Holds_Frame(0, Case.Size));
        EXPECT_TRUE(Holds_Before(Case.Size, CAMERA_BUFF_SIZE)) << "nothing is written past the transfer";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(Count_Lines(Log(), Case.Request), Case.Requests);
    }
}

TEST_F(Acquisition, AShortChunkLeavesTheRestOfItsSlotAndTheNextChunkStillLandsInPlace)
{
    Start({"--short-chunk", "2:1000"});
    Set_Crop(960);
    Camera_Acquisition(Port);
    EXPECT_TRUE(Holds_Frame(0, 2 * CHUNK_SIZE + 1000));
    EXPECT_TRUE(Holds_Before(2 * CHUNK_SIZE + 1000, 3 * CHUNK_SIZE));
    EXPECT_TRUE(Holds_Frame(3 * CHUNK_SIZE, 1859584));
}

TEST_F(Acquisition, AHangUpEndsThePullAndLaterSlotsKeepThePreviousFrame)
{
    Start({"--hangup-at-chunk", "4"});
    Set_Crop(960);
    const auto Begin = std::chrono::steady_clock::now();
    Camera_Acquisition(Port);
    EXPECT_LT(Ms_Since(Begin), 900) << "a failed read ends the pull at once";
    EXPECT_EQ(Hex(DevStat, DEV_STAT_SIZE), Status);
    EXPECT_TRUE(Holds_Frame(0, 4 * CHUNK_SIZE));
    EXPECT_TRUE(Holds_Before(4 * CHUNK_SIZE, CAMERA_BUFF_SIZE));
}

TEST_F(Acquisition, ADeviceThatFallsSilentAndAnswersAgainGivesWholeFramesAgain)
{
    Start({"--stop-after", "3", "--resume-after", "1500"});
    Set_Crop(240);
    const auto Begin = std::chrono::steady_clock::now();
    while (Ms_Since(Begin) < 2500)   // one frame and a half, then silence until the device is back
        Camera_Acquisition(Port);
    Fill_With_Before();
    Camera_Acquisition(Port);
    EXPECT_EQ(Hex(DevStat, DEV_STAT_SIZE), Status);
    EXPECT_TRUE(Holds_Frame(0, 119808));
}

TEST_F(Acquisition, BytesLeftFromAnEarlierPullNeverReachTheRecordOrTheFrame)
{
    Start({"--garbage", "3000"});
    Set_Crop(240);
    Camera_Acquisition(Port);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // the unasked bytes are queued now
    Fill_With_Before();
    Camera_Acquisition(Port);
    EXPECT_EQ(Hex(DevStat, DEV_STAT_SIZE), Status);
    EXPECT_TRUE(Holds_Frame(0, 119808));
}

TEST_F(Acquisition, ASilentDeviceCostsOneTimeOutPerReadAndChangesNothing)
{
    Start({"--silent"});
    Set_Crop(240);
    const auto Begin = std::chrono::steady_clock::now();
    Camera_Acquisition(Port);
    const long long Elapsed = Ms_Since(Begin);
    EXPECT_GE(Elapsed, 2900);   // the status record and two chunks: three reads of 1000 ms
    EXPECT_LT(Elapsed, 4500);
    EXPECT_TRUE(Holds_Before(0, CAMERA_BUFF_SIZE));
    EXPECT_EQ(Hex(DevStat, 1), "EE");
}

TEST_F(Acquisition, AnInvalidHandleEndsThePullAtOnceWithNothingWritten)
{
    Set_Crop(960);
    const auto Begin = std::chrono::steady_clock::now();
    Camera_Acquisition(INVALID_HANDLE_VALUE);
    EXPECT_LT(Ms_Since(Begin), 100);
    EXPECT_TRUE(Holds_Before(0, CAMERA_BUFF_SIZE));
    EXPECT_EQ(Hex(DevStat, 1), "EE");
}

TEST_F(Acquisition, ACropBeyondTheBufferNeverWritesPastIt)
{
    // 1100 x 1100 would need 2.4 MB; the pull stops at the 2 MiB of the buffer.
    Start();
    Set_Crop(1100);
    Camera_Acquisition(Port);
    EXPECT_TRUE(Holds_Frame(0, CAMERA_BUFF_SIZE));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Count_Lines(Log(), "A5 01 01 04 4C 01 00 00"), 35u);   // 34 full chunks and 8,192 bytes
}

} // namespace
