// fieldcam-emu on a real pseudo-terminal: the exchange of a frame chunk by chunk, the sensor bus,
// the port link, the scene it renders, and each way it can be told to misbehave.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "device/acquisition.h"
#include "emulator_client.h"

static const char FixedStatus[] = "00 EB 00 C8 01 01 D8 02 80 00 00 01 B9 00 00 00";

static std::string Status_Bytes()
{
    const uint8_t Bytes[16] = {0x00, 0xEB, 0x00, 0xC8, 0x01, 0x01, 0xD8, 0x02,
                               0x80, 0x00, 0x00, 0x01, 0xB9, 0x00, 0x00, 0x00};
    return std::string((const char *)Bytes, 16);
}

// Crop, transfer size, and the bytes each request brings (the first request brings the status
// record as well, counted apart).
struct Chunk_Case {
    uint32_t Crop;
    uint32_t Size;
    std::vector<size_t> Chunks;
};

TEST(Emulator, ServesEachCropInChunksOfTheTransferSize)
{
    const std::vector<Chunk_Case> Cases = {
        {240, 119808, {61440, 58368}},
        {320, 208896, {61440, 61440, 61440, 24576}},
        {170, 61440, {61440}},                  // exactly one chunk: one request
        {243, 122880, {61440, 61440}},          // exactly two: the final request brings a full chunk
        {20, 0, {0}},                           // an empty transfer still takes its one request
        {960, 1859584, std::vector<size_t>(30, 61440)},
    };
    Temp_Dir LogDir;
    const std::string Log = LogDir.Path() + "/records.log";
    Emulator Device({"--status", FixedStatus, "--log", Log});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());

    std::string Expected_Log;
    for (auto Case : Cases) {
        if (Case.Crop == 960)
            Case.Chunks.push_back(16384);
        ASSERT_EQ(Transfer_Size(Case.Crop, Case.Crop), Case.Size);
        // Two frames in a row: after the final chunk the next request starts a new frame.
        for (int Frame = 0; Frame < 2; Frame++) {
            SCOPED_TRACE("crop " + std::to_string(Case.Crop) + ", frame " + std::to_string(Frame));
            const Pulled_Frame Pulled = Pull_Frame(Device, Case.Crop);
            EXPECT_EQ(Pulled.Status, Status_Bytes());
            EXPECT_EQ(Pulled.Chunks, Case.Chunks);
            // Nothing more than asked for: no second status record, no stray bytes.
            EXPECT_EQ(Device.Receive_Any(50).size(), 0u);
            for (size_t K = 0; K < Case.Chunks.size(); K++)
                Expected_Log += Hex(Frame_Request(Case.Crop).data(), 8) + "\n";
        }
    }
    EXPECT_EQ(Read_File(Log), Expected_Log);
}

TEST(Emulator, PauseMidFrameStartsANewFrame)
{
    Emulator Device({"--status", FixedStatus});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    Device.Send(Frame_Request(960));
    EXPECT_EQ(Device.Receive(16 + 61440, 1000).size(), 16u + 61440);
    Device.Send(Frame_Request(960));
    EXPECT_EQ(Device.Receive(61440 + 1, 300).size(), 61440u);   // chunk 1, no status record
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Device.Send(Frame_Request(960));
    const std::string Again = Device.Receive(16 + 61440, 1000);
    ASSERT_EQ(Again.size(), 16u + 61440);
    EXPECT_EQ(Again.substr(0, 16), Status_Bytes());
}

// Sensor address requests: each case sends addresses in turn and expects these result codes
// (-1: no reply at all).
TEST(Emulator, SensorBusAnswersByItsRules)
{
    const struct {
        std::vector<std::string> Args;
        std::vector<uint8_t> Addresses;
        std::vector<int> Results;
    } Cases[] = {
        {{}, {0x21, 0x21, 0x81, 0x21, 0x81}, {1, 2, 1, 2, 2}},
        {{"--sensor-reply", "7"}, {0x21, 0x21}, {7, 7}},
        {{"--sensor-fail"}, {0x10, 0x10}, {0, 0}},
        {{"--sensor-silent"}, {0x10}, {-1}},
        {{"--silent"}, {0x10}, {-1}},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Args.empty() ? "default" : Case.Args[0]);
        Emulator Device(Case.Args);
        ASSERT_TRUE(Device.Started());
        ASSERT_TRUE(Device.Connect());
        for (size_t K = 0; K < Case.Addresses.size(); K++) {
            Device.Send(Sensor_Request(Case.Addresses[K]));
            const std::string Reply = Device.Receive(16, Case.Results[K] < 0 ? 300 : 1000);
            if (Case.Results[K] < 0) {
                EXPECT_EQ(Reply.size(), 0u);
            } else {
                ASSERT_EQ(Reply.size(), 16u);
                EXPECT_EQ((uint8_t)Reply[0], Case.Results[K]);
            }
        }
        EXPECT_EQ(Device.Receive_Any(50).size(), 0u);   // one reply per request, nothing more
    }
}

TEST(Emulator, LinksItsPortAndRemovesTheLinkOnSigterm)
{
    Emulator Device({});
    ASSERT_TRUE(Device.Started());
    char Target[256] = {0};
    ASSERT_GT(readlink(Device.Link_Path().c_str(), Target, sizeof Target - 1), 0);
    EXPECT_EQ(std::string(Target), Device.Slave_Path());
    struct stat Folder;
    ASSERT_EQ(stat((Device.Runtime() + "/fieldcam/ports").c_str(), &Folder), 0);
    EXPECT_EQ(Folder.st_mode & 0777, 0700u);

    Device.Program().Signal(SIGTERM);
    EXPECT_EQ(Device.Program().Wait(5000), 0);
    struct stat Link;
    EXPECT_NE(lstat(Device.Link_Path().c_str(), &Link), 0);
}

TEST(Emulator, RefusesASecondEmulatorOnTheSameNumberButNotAStaleLink)
{
    Emulator First({});
    ASSERT_TRUE(First.Started());
    const std::string Env = First.Env();
    Finished_Run Second = Run_To_End({Emulator_Path(), "--com", "9"}, {Env}, "", 5000);
    EXPECT_EQ(Second.Status, 1);
    EXPECT_NE(Second.Errors.find("COM9 is already served by another fieldcam-emu"), std::string::npos);
    EXPECT_EQ(Second.Output, "");

    // Killed outright, the first leaves its link behind; a new emulator takes the number over.
    First.Program().Signal(SIGKILL);
    First.Program().Wait(5000);
    Process Third({Emulator_Path(), "--com", "9"}, {Env});
    ASSERT_TRUE(Third.Wait_For_Output("type 9 at fieldcam's port prompt\n", 10000)) << Third.Errors();
    Third.Signal(SIGTERM);
    EXPECT_EQ(Third.Wait(5000), 0);
}

TEST(Emulator, SetsTheLineSettingsTheToolWillRead)
{
    Emulator Device({"--baud", "115200", "--stop-bits", "2"});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    struct termios Mode;
    ASSERT_EQ(tcgetattr(Device.Fd(), &Mode), 0);
    EXPECT_EQ(cfgetospeed(&Mode), (speed_t)B115200);
    EXPECT_TRUE(Mode.c_cflag & CSTOPB);
    EXPECT_EQ(Mode.c_lflag & (ECHO | ICANON), 0u);   // raw before anyone opened it
}

// Mean of the samples of one colour of the mosaic, picked by the parities of raw row and column.
static double Mean_Of(const std::vector<uint16_t> &Raw, uint32_t Crop, int RowParity, int ColumnParity)
{
    const uint32_t Side = Crop + 4;
    double Sum = 0;
    size_t Count = 0;
    for (uint32_t Y = 2; Y < Side - 2; Y++)
        for (uint32_t X = 2; X < Side - 2; X++)
            if ((int)(Y % 2) == RowParity && (int)(X % 2) == ColumnParity) {
                Sum += Raw[Y * Side + X];
                Count++;
            }
    return Sum / Count;
}

TEST(Emulator, PutsEachColourOnItsOwnSamplesOfTheMosaic)
{
    // Rows even: green, red; rows odd: blue, green.
    const struct {
        const char *Flat;
        double GreenRedRow[2], BlueGreenRow[2];
    } Cases[] = {
        {"4000,0,0", {0, 4000}, {0, 0}},
        {"0,4000,0", {4000, 0}, {0, 4000}},
        {"0,0,4000", {0, 0}, {4000, 0}},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Flat);
        Emulator Device({"--flat", Case.Flat});
        ASSERT_TRUE(Device.Started());
        ASSERT_TRUE(Device.Connect());
        const std::vector<uint16_t> Raw = Samples(Pull_Frame(Device, 240).Data, 240);
        for (int Column = 0; Column < 2; Column++) {
            EXPECT_NEAR(Mean_Of(Raw, 240, 0, Column), Case.GreenRedRow[Column], 30);
            EXPECT_NEAR(Mean_Of(Raw, 240, 1, Column), Case.BlueGreenRow[Column], 30);
        }
        for (uint16_t Sample : Raw)
            ASSERT_LE(Sample, 4095);   // 12 significant bits
    }
}

TEST(Emulator, FlashOffDarkensThePicture)
{
    Emulator Device({"--flat", "3000,3000,3000"});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    const double Lit = Mean_Of(Samples(Pull_Frame(Device, 240, true).Data, 240), 240, 0, 0);
    const double Dark = Mean_Of(Samples(Pull_Frame(Device, 240, false).Data, 240), 240, 0, 0);
    EXPECT_NEAR(Lit, 3000, 30);
    EXPECT_LT(Dark, Lit / 2);
    EXPECT_GT(Dark, 0);
}

// Detail in the picture: how much neighbouring green samples differ, on average.
static double Detail(const std::vector<uint16_t> &Raw, uint32_t Crop)
{
    const uint32_t Side = Crop + 4;
    double Sum = 0;
    for (uint32_t Y = 2; Y < Side - 2; Y += 2)
        for (uint32_t X = 2; X + 2 < Side - 2; X += 2)
            Sum += std::abs((int)Raw[Y * Side + X] - (int)Raw[Y * Side + X + 2]);
    return Sum;
}

TEST(Emulator, FocusSweepsFromSharpToBlurredAndBack)
{
    Emulator Device({"--sweep-ms", "1000"});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    std::vector<double> Details;
    for (int K = 0; K < 24; K++) {
        Details.push_back(Detail(Samples(Pull_Frame(Device, 240).Data, 240), 240));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    const auto [Least, Most] = std::minmax_element(Details.begin(), Details.end());
    EXPECT_GT(*Most, 2.0 * *Least);
    // Over more than a whole period the lens comes back: sharp frames on both sides of a blurred one.
    const size_t Blurred = Least - Details.begin();
    const double Threshold = (*Most + *Least) / 2;
    EXPECT_TRUE(std::any_of(Details.begin(), Details.begin() + Blurred, [&](double D) { return D > Threshold; }) ||
                std::any_of(Details.begin() + Blurred, Details.end(), [&](double D) { return D > Threshold; }));
}

TEST(Emulator, ServesAFixedFrameFileAndZerosPastItsEnd)
{
    Temp_Dir Dir;
    std::string Bytes(100000, '\0');
    for (size_t K = 0; K < Bytes.size(); K++)
        Bytes[K] = (char)(K * 7 + K / 251);
    Write_File(Dir.Path() + "/frame.raw", Bytes);
    Emulator Device({"--frame", Dir.Path() + "/frame.raw"});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    const Pulled_Frame Frame = Pull_Frame(Device, 240);
    ASSERT_EQ(Frame.Data.size(), 119808u);
    EXPECT_TRUE(Frame.Data.substr(0, Bytes.size()) == Bytes);
    EXPECT_EQ(Frame.Data.substr(Bytes.size()), std::string(119808 - Bytes.size(), '\0'));
}

// Each way of misbehaving, seen from the tool's side of the line.
TEST(Emulator, MisbehavesExactlyAsTold)
{
    const struct {
        const char *Name;
        std::vector<std::string> Args;
        std::function<void(Emulator &)> Check;
    } Cases[] = {
        {"silent", {"--silent"},
         [](Emulator &Device) {
             Device.Send(Frame_Request(240));
             EXPECT_EQ(Device.Receive_Any(300).size(), 0u);
         }},
        {"short chunk, every frame", {"--short-chunk", "1:1000"},
         [](Emulator &Device) {
             EXPECT_EQ(Pull_Frame(Device, 240).Chunks, (std::vector<size_t>{61440, 1000}));
             EXPECT_EQ(Pull_Frame(Device, 240).Chunks, (std::vector<size_t>{61440, 1000}));
         }},
        {"stop after 3 chunks", {"--stop-after", "3"},
         [](Emulator &Device) {
             EXPECT_EQ(Pull_Frame(Device, 320).Chunks, (std::vector<size_t>{61440, 61440, 61440, 0}));
             Device.Send(Frame_Request(320));
             EXPECT_EQ(Device.Receive_Any(300).size(), 0u);
         }},
        {"stop, then resume", {"--stop-after", "1", "--resume-after", "300"},
         [](Emulator &Device) {
             Device.Send(Frame_Request(240));
             EXPECT_EQ(Device.Receive(16 + 61440, 1000).size(), 16u + 61440);
             Device.Send(Frame_Request(240));
             EXPECT_EQ(Device.Receive_Any(100).size(), 0u);
             std::this_thread::sleep_for(std::chrono::milliseconds(400));
             Device.Send(Frame_Request(240));   // after the pause: a new frame, status record first
             EXPECT_EQ(Device.Receive(16 + 61440, 1000).size(), 16u + 61440);
         }},
        {"hang up at chunk 1", {"--hangup-at-chunk", "1"},
         [](Emulator &Device) {
             Device.Send(Frame_Request(240));
             EXPECT_EQ(Device.Receive(16 + 61440, 1000).size(), 16u + 61440);
             Device.Send(Frame_Request(240));
             EXPECT_EQ(Device.Receive_Any(1000).size(), 0u);
             EXPECT_EQ(Device.Program().Wait(5000), 0);
             struct stat Link;
             EXPECT_NE(lstat(Device.Link_Path().c_str(), &Link), 0);
         }},
        {"garbage after each frame", {"--garbage", "100"},
         [](Emulator &Device) {
             EXPECT_EQ(Pull_Frame(Device, 170).Chunks, (std::vector<size_t>{61440}));
             EXPECT_EQ(Device.Receive_Any(300), std::string(100, '\x55'));
         }},
        {"throttled", {"--rate", "200000"},
         [](Emulator &Device) {
             // 61,456 bytes at 200,000 bytes/s take about 300 ms: not there after 100, all there soon.
             Device.Send(Frame_Request(240));
             const size_t Early = Device.Receive(16 + 61440, 100).size();
             EXPECT_GT(Early, 0u);
             EXPECT_LT(Early, 16u + 61440);
             EXPECT_EQ(Early + Device.Receive(16 + 61440 - Early, 2000).size(), 16u + 61440);
         }},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::vector<std::string> Args = Case.Args;
        Args.insert(Args.end(), {"--flat", "100,200,300"});   // no chart to draw: a quicker start
        Emulator Device(Args);
        ASSERT_TRUE(Device.Started());
        ASSERT_TRUE(Device.Connect());
        Case.Check(Device);
    }
}

TEST(Emulator, HelpListsEveryOption)
{
    const Finished_Run Help = Run_To_End({Emulator_Path(), "--help"}, {}, "", 5000);
    EXPECT_EQ(Help.Status, 0);
    for (const char *Option : {"--com", "--frame", "--status", "--sensor-reply", "--sensor-fail", "--sensor-silent",
                               "--log", "--silent", "--rate", "--baud", "--data-bits", "--parity", "--stop-bits",
                               "--stop-after", "--resume-after", "--short-chunk", "--hangup-at-chunk", "--garbage"})
        EXPECT_NE(Help.Output.find(Option), std::string::npos) << Option;
    EXPECT_EQ(Run_To_End({Emulator_Path(), "--short-chunk", "x"}, {}, "", 5000).Status, 2);
}

// fieldcam locks its port (flock, then TIOCEXCL). A pty stays exclusive after the tool closes it, and
// would refuse the tool's next run (unless it runs as root): the emulator clears the flag once the
// tool's lock has gone, and not before.
TEST(Emulator, FreesThePortForTheNextRunOfTheTool)
{
    Emulator Device({"--flat", "100,200,300"});
    ASSERT_TRUE(Device.Started());
    ASSERT_TRUE(Device.Connect());
    ASSERT_EQ(flock(Device.Fd(), LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(ioctl(Device.Fd(), TIOCEXCL), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int Exclusive = 0;
    ASSERT_EQ(ioctl(Device.Fd(), TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 1);   // still the tool's

    const int Probe = open(Device.Slave_Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);   // root passes
    ASSERT_GE(Probe, 0);
    close(Device.Fd());
    Device.Forget_Fd();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(ioctl(Probe, TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 0);
    close(Probe);
}
