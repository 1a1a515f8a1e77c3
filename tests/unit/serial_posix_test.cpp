// The Win32 serial calls on POSIX, against a real pseudo-terminal whose other end the test holds.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/platform.h"
#include "process.h"
#include "test_port.h"

namespace {

struct SerialPosix : ::testing::Test {
    Temp_Dir Runtime;
    std::string SavedRuntime = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
    void SetUp() override { setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1); }
    void TearDown() override
    {
        if (SavedRuntime.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", SavedRuntime.c_str(), 1);
    }

    HANDLE Open(const char *Word)
    {
        const std::string Path = std::string("\\\\.\\COM") + Word;
        return CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // Opened as the tool opens it: every read ends at the latest 1000 ms after it began.
    HANDLE Open_With_Read_Timeout(const char *Word)
    {
        HANDLE Port = Open(Word);
        COMMTIMEOUTS Timeouts = {0, 0, 1000, 0, 0};
        if (Port != INVALID_HANDLE_VALUE && !SetCommTimeouts(Port, &Timeouts)) {
            CloseHandle(Port);
            return INVALID_HANDLE_VALUE;
        }
        return Port;
    }
    static long long Ms_Since(std::chrono::steady_clock::time_point Start)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
    }
};

TEST_F(SerialPosix, ReadReturnsWhatCameAsSuccessWhenTheTimeOutEnds)
{
    Test_Port Device(Runtime.Path(), 3);
    HANDLE Port = Open_With_Read_Timeout("3");
    ASSERT_NE(Port, INVALID_HANDLE_VALUE);

    Device.Send("12345");
    char Buffer[16] = {0};
    DWORD Got = 99;
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReadFile(Port, Buffer, 16, &Got, nullptr));
    const long long Elapsed = Ms_Since(Start);
    EXPECT_EQ(Got, 5u);
    EXPECT_EQ(std::string(Buffer, 5), "12345");
    EXPECT_GE(Elapsed, 950);
    EXPECT_LT(Elapsed, 2500);

    // A count that arrives in full returns at once, and a count of 0 is done before it starts.
    Device.Send(std::string(16, 'z'));
    EXPECT_TRUE(ReadFile(Port, Buffer, 16, &Got, nullptr));
    EXPECT_EQ(Got, 16u);
    EXPECT_TRUE(ReadFile(Port, Buffer, 0, &Got, nullptr));
    EXPECT_EQ(Got, 0u);
    CloseHandle(Port);
}

TEST_F(SerialPosix, EveryByteValuePassesUnchangedBothWaysAndNothingIsEchoed)
{
    Test_Port Device(Runtime.Path(), 3);
    HANDLE Port = Open_With_Read_Timeout("3");
    ASSERT_NE(Port, INVALID_HANDLE_VALUE);

    // Carriage return, line feed, XON, XOFF, Ctrl-C, DEL: what a cooked terminal would translate,
    // swallow or act on; then every other byte value.
    std::string Bytes = "\x0D\x0A\x11\x13\x03\x7F";
    for (int Value = 0; Value < 256; Value++)
        Bytes += (char)Value;

    Device.Send(Bytes);
    std::string Received(Bytes.size(), '\0');
    DWORD Got = 0;
    EXPECT_TRUE(ReadFile(Port, Received.data(), (DWORD)Received.size(), &Got, nullptr));
    EXPECT_EQ(Hex(Received.data(), Got), Hex(Bytes.data(), Bytes.size()));

    DWORD Sent = 0;
    EXPECT_TRUE(WriteFile(Port, Bytes.data(), (DWORD)Bytes.size(), &Sent, nullptr));
    EXPECT_EQ(Sent, Bytes.size());
    const std::string AtDevice = Device.Receive(Bytes.size() + 1, 300);
    EXPECT_EQ(Hex(AtDevice.data(), AtDevice.size()), Hex(Bytes.data(), Bytes.size()))
        << "the device must get exactly what was written, and no echo of its own bytes";
    CloseHandle(Port);
}

TEST_F(SerialPosix, ReceivePurgeDropsQueuedBytes)
{
    Test_Port Device(Runtime.Path(), 3);
    HANDLE Port = Open_With_Read_Timeout("3");
    ASSERT_NE(Port, INVALID_HANDLE_VALUE);

    Device.Send("stale");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(PurgeComm(Port, PURGE_RXCLEAR));
    Device.Send("fresh");
    char Buffer[8] = {0};
    DWORD Got = 0;
    EXPECT_TRUE(ReadFile(Port, Buffer, 5, &Got, nullptr));
    EXPECT_EQ(std::string(Buffer, Got), "fresh");
    CloseHandle(Port);
}

TEST_F(SerialPosix, AHungUpDeviceFailsTheReadAtOnce)
{
    Test_Port Device(Runtime.Path(), 3);
    HANDLE Port = Open_With_Read_Timeout("3");
    ASSERT_NE(Port, INVALID_HANDLE_VALUE);

    Device.Hang_Up();
    char Buffer[16];
    DWORD Got = 0;
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadFile(Port, Buffer, 16, &Got, nullptr));
    EXPECT_LT(Ms_Since(Start), 500);
    EXPECT_NE(GetLastError(), 0u);
    CloseHandle(Port);
}

TEST_F(SerialPosix, AnInvalidHandleFailsEveryCallAtOnce)
{
    HANDLE Port = INVALID_HANDLE_VALUE;
    char Buffer[16];
    DWORD Count = 7;
    COMMTIMEOUTS Timeouts = {0, 0, 1000, 0, 0};
    DCB Dcb;
    memset(&Dcb, 0, sizeof Dcb);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SetupComm(Port, 65536, 65536));
    EXPECT_FALSE(SetCommTimeouts(Port, &Timeouts));
    EXPECT_FALSE(GetCommState(Port, &Dcb));
    EXPECT_FALSE(PurgeComm(Port, PURGE_RXCLEAR));
    EXPECT_FALSE(WriteFile(Port, Buffer, 8, &Count, nullptr));
    EXPECT_FALSE(ReadFile(Port, Buffer, 16, &Count, nullptr));
    EXPECT_LT(Ms_Since(Start), 100);
    EXPECT_EQ(Dcb.BaudRate, 0u) << "a failed settings read leaves the record as it was";
}

TEST_F(SerialPosix, LineSettingsAreReadBackAndLeftAsFound)
{
    Test_Port Device(Runtime.Path(), 3);
    struct termios Mode;
    tcgetattr(Device.Master(), &Mode);
    cfsetispeed(&Mode, B9600);
    cfsetospeed(&Mode, B9600);
    Mode.c_cflag |= CSTOPB;
    tcsetattr(Device.Master(), TCSANOW, &Mode);

    HANDLE Port = Open("3");
    ASSERT_NE(Port, INVALID_HANDLE_VALUE);
    DCB Dcb;
    memset(&Dcb, 0, sizeof Dcb);
    Dcb.DCBlength = sizeof Dcb;
    EXPECT_TRUE(GetCommState(Port, &Dcb));
    EXPECT_EQ(Dcb.BaudRate, 9600u);
    EXPECT_EQ(Dcb.ByteSize, 8);   // a pseudo-terminal forces 8 data bits and no parity
    EXPECT_EQ(Dcb.Parity, NOPARITY);
    EXPECT_EQ(Dcb.StopBits, TWOSTOPBITS);
    CloseHandle(Port);

    tcgetattr(Device.Master(), &Mode);
    EXPECT_EQ(cfgetospeed(&Mode), (speed_t)B9600);
    EXPECT_TRUE(Mode.c_cflag & CSTOPB);
}

TEST_F(SerialPosix, APortHeldOpenIsRefused)
{
    Test_Port Device(Runtime.Path(), 3);
    HANDLE First = Open("3");
    ASSERT_NE(First, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("3"), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), 0u);
    CloseHandle(First);
    HANDLE Again = Open("3");
    EXPECT_NE(Again, INVALID_HANDLE_VALUE) << "closing the port frees it";
    CloseHandle(Again);
}

TEST_F(SerialPosix, OnlyATerminalInATrustedFolderIsOpened)
{
    const std::string Ports = Runtime.Path() + "/fieldcam/ports";
    Test_Port Device(Runtime.Path(), 3);

    // A link to a plain file is never written to.
    Write_File(Runtime.Path() + "/plain", "");
    ASSERT_EQ(symlink((Runtime.Path() + "/plain").c_str(), (Ports + "/COM5").c_str()), 0);
    EXPECT_EQ(Open("5"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ENOTTY);

    // Words that name nothing, or try to leave the folder.
    EXPECT_EQ(Open("COM4"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ENOENT);
    EXPECT_EQ(Open("../x"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ENOENT);

    // A folder that others may write to is ignored.
    ASSERT_EQ(symlink(Device.Slave_Path().c_str(), (Ports + "/COMlab").c_str()), 0);
    chmod(Ports.c_str(), 0777);
    EXPECT_EQ(Open("lab"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ENOENT);
    chmod(Ports.c_str(), 0700);
    HANDLE Port = Open("lab");
    EXPECT_NE(Port, INVALID_HANDLE_VALUE);
    CloseHandle(Port);
}

} // namespace
