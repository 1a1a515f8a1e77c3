#include "server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "device/acquisition.h"
#include "device/records.h"
#include "telemetry.h"

static const uint64_t NEW_FRAME_PAUSE_MS = 250;   // a longer pause than this starts a new frame
static const uint64_t TOOL_READ_TIMEOUT_MS = 1000;   // every read of the tool ends by then
static const uint64_t STALL_MS = 1500;            // the tool gave up on a read long before this
static const int POLL_MS = 100;                   // how often a waiting loop looks at the stop flag

static const volatile sig_atomic_t *StopFlag = nullptr;

uint64_t Now_Ms()
{
    using namespace std::chrono;
    return (uint64_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

static double Now_Us()
{
    using namespace std::chrono;
    return (double)duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool Server_Start(Server &Device, const Options &Opts, Pty_Device &Pty)
{
    Device.Opts = &Opts;
    Device.Pty = &Pty;
    Device.StartMs = Now_Ms();
    Device.SilentSinceMs = Device.StartMs;   // --stop-after 0: silent from the start
    if (!Opts.FrameFile.empty()) {
        std::ifstream File(Opts.FrameFile, std::ios::binary);
        if (!File) {
            fprintf(stderr, "fieldcam-emu: cannot read %s: %s\n", Opts.FrameFile.c_str(), strerror(errno));
            return false;
        }
        Device.FrameFile.assign(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
    } else {
        Scene_Build(Device.Chart, Opts.Flat);
    }
    if (!Opts.LogFile.empty() && !(Device.Log = fopen(Opts.LogFile.c_str(), "a"))) {
        fprintf(stderr, "fieldcam-emu: cannot open %s: %s\n", Opts.LogFile.c_str(), strerror(errno));
        return false;
    }
    return true;
}

// Waits until the next byte may go at the --rate asked for, and returns how many may go in one piece.
static size_t Throttle(Server &Device, size_t Count)
{
    if (!Device.Opts->Rate)
        return Count;
    const double Now = Now_Us();
    if (Device.NextSendUs > Now)
        std::this_thread::sleep_for(std::chrono::microseconds((long long)(Device.NextSendUs - Now)));
    // Pieces of about 5 ms of the rate keep the pace even without a system call per byte.
    return std::min<size_t>(Count, std::max<uint64_t>(1, Device.Opts->Rate / 200));
}

static void Account_Sent(Server &Device, size_t Count)
{
    if (!Device.Opts->Rate)
        return;
    Device.NextSendUs = std::max(Device.NextSendUs, Now_Us()) + Count * 1e6 / (double)Device.Opts->Rate;
}

// Writes all of Bytes (or Count zero bytes when Bytes is null) to the tool. The kernel holds only a
// few KiB between the two sides, so this waits for room again and again. False when the stop flag
// is raised, or when nobody has read anything for longer than any read of the tool lasts: the rest
// would only land in a queue that the tool's next pull discards.
static bool Send(Server &Device, const uint8_t *Bytes, size_t Count)
{
    static const uint8_t Zeros[4096] = {0};
    uint64_t ProgressMs = Now_Ms();
    while (Count > 0) {
        if (*StopFlag)
            return false;
        const size_t Piece = std::min(Throttle(Device, Count), Bytes ? Count : sizeof Zeros);
        const ssize_t Done = write(Device.Pty->Master, Bytes ? Bytes : Zeros, Piece);
        if (Done > 0) {
            Account_Sent(Device, (size_t)Done);
            Count -= (size_t)Done;
            Bytes = Bytes ? Bytes + Done : nullptr;
            ProgressMs = Now_Ms();
            continue;
        }
        if (Done < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (Now_Ms() - ProgressMs > STALL_MS) {
            fprintf(stderr, "fieldcam-emu: nobody reads; %zu bytes of the answer dropped\n", Count);
            return false;
        }
        struct pollfd Wait = {Device.Pty->Master, POLLOUT, 0};
        poll(&Wait, 1, POLL_MS);
    }
    return true;
}

// Sends the transfer's bytes [From, From + Count), zero bytes past the end of what there is.
static void Send_Transfer(Server &Device, size_t From, size_t Count)
{
    const size_t Have = From < Device.TransferBytes ? std::min(Count, Device.TransferBytes - From) : 0;
    if (Have && !Send(Device, Device.Transfer + From, Have))
        return;
    if (Count > Have)
        Send(Device, nullptr, Count - Have);
}

static void Log_Record(Server &Device, const uint8_t *Record)
{
    if (!Device.Log)
        return;
    char Line[3 * SEND_CMD_SIZE + 1];
    for (unsigned K = 0; K < SEND_CMD_SIZE; K++)
        snprintf(Line + 3 * K, 4, K + 1 < SEND_CMD_SIZE ? "%02X " : "%02X\n", Record[K]);
    fputs(Line, Device.Log);
    fflush(Device.Log);
}

// Silent by --silent, or by --stop-after until --resume-after has run out.
static bool Is_Silent(Server &Device, uint64_t Now)
{
    const Options &Opts = *Device.Opts;
    if (Opts.Silent)
        return true;
    if (!Opts.StopAfter || Device.Resumed || Device.ChunksServed < *Opts.StopAfter)
        return false;
    if (Opts.ResumeAfterMs && Now >= Device.SilentSinceMs + Opts.ResumeAfterMs) {
        Device.Resumed = true;
        return false;
    }
    return true;
}

// A new frame: the picture of this moment, or the fixed frame, and its place in the exchange.
static void Begin_Frame(Server &Device, uint32_t Crop, bool Flash)
{
    Device.InFrame = true;
    Device.Crop = Crop;
    Device.Chunk = 0;
    Device.Size = Transfer_Size(Crop, Crop);
    Device.Requests = std::max<uint32_t>(1, (Device.Size + CHUNK_SIZE - 1) / CHUNK_SIZE);
    Device.Frames++;
    if (!Device.FrameFile.empty()) {
        Device.Transfer = Device.FrameFile.data();
        Device.TransferBytes = Device.FrameFile.size();
    } else if (Crop <= CAMERA_MAX_PIXELS) {
        Device.Frame.resize((size_t)(Crop + 4) * (Crop + 4));
        const double Defocus = Scene_Defocus(Now_Ms() - Device.StartMs, Device.Opts->SweepMs);
        Scene_Render(Device.Chart, Crop, Defocus, Flash, (uint32_t)Device.Random(), Device.Frame.data());
        Device.Transfer = reinterpret_cast<const uint8_t *>(Device.Frame.data());
        Device.TransferBytes = Device.Frame.size() * 2;
    } else {
        fprintf(stderr, "fieldcam-emu: crop %u is beyond the sensor's 960; sending a blank frame\n", Crop);
        Device.TransferBytes = 0;
    }
}

static void Send_Status(Server &Device)
{
    uint8_t Record[DEV_STAT_SIZE];
    const auto &Fixed = Device.Opts->Status;
    if (!Fixed.empty())
        memcpy(Record, Fixed[(Device.Frames - 1) % Fixed.size()].data(), DEV_STAT_SIZE);
    else
        Telemetry_Record(Now_Ms() - Device.StartMs, Device.Random, Record);
    Send(Device, Record, DEV_STAT_SIZE);
}

// --garbage: unasked bytes between frames. They must be queued at the tool before its next pull
// begins, whatever the scheduler does, or they would land in that pull as if they were its answer.
// So they go in one write with the frame's last byte, once the tool has taken everything before it:
// the tool's final read cannot end before they are queued, and its next pull's purge drops them.
// At is the last byte's place in the transfer, or SIZE_MAX for a frame without bytes.
static void Send_Last_Byte_With_Garbage(Server &Device, size_t At)
{
    std::vector<uint8_t> Bytes(Device.Opts->Garbage, 0x55);
    if (At != SIZE_MAX)
        Bytes.insert(Bytes.begin(), At < Device.TransferBytes ? Device.Transfer[At] : 0);
    const uint64_t Since = Now_Ms();
    int Queued = 0;
    while (ioctl(Device.Pty->Slave, FIONREAD, &Queued) == 0 && Queued > 0 && Now_Ms() - Since < STALL_MS && !*StopFlag)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    Send(Device, Bytes.data(), Bytes.size());
}

// One frame request, answered or, while the device is silent, only counted. Returns false when the
// device hangs up on it (--hangup-at-chunk).
static bool Frame_Request(Server &Device, const uint8_t *Record, uint64_t Now, bool Answer)
{
    const Options &Opts = *Device.Opts;
    const uint32_t Crop = (uint32_t)Record[CMD_CROP_HIGH] << 8 | Record[CMD_CROP_LOW];
    if (!Device.InFrame || Now - Device.LastActivityMs > NEW_FRAME_PAUSE_MS + Device.ToolWaitMs || Crop != Device.Crop)
        Begin_Frame(Device, Crop, Record[CMD_FLASH_ENABLE] != 0);

    const size_t From = (size_t)Device.Chunk * CHUNK_SIZE;
    const size_t Whole = std::min<size_t>(CHUNK_SIZE, Device.Size - From);
    size_t Count = Whole;
    if (!Answer) {
        Count = 0;
    } else {
        if (Opts.HangupAtChunk && Device.Frames == 1 && Device.Chunk == *Opts.HangupAtChunk)
            return false;
        if (Device.Chunk == 0)
            Send_Status(Device);
        if (Opts.ShortChunk && *Opts.ShortChunk == Device.Chunk)
            Count = std::min<size_t>(Count, Opts.ShortChunkBytes);
        if (Opts.Garbage && Device.Chunk + 1 == Device.Requests) {
            Send_Transfer(Device, From, Count ? Count - 1 : 0);
            Send_Last_Byte_With_Garbage(Device, Count ? From + Count - 1 : SIZE_MAX);
        } else {
            Send_Transfer(Device, From, Count);
        }
        if (++Device.ChunksServed == Opts.StopAfter.value_or(0))
            Device.SilentSinceMs = Now_Ms();
    }
    // Unanswered, the first request of a frame costs the tool two time-outs: the status record's
    // read and chunk 0's.
    if (!Answer)
        Device.ToolWaitMs = (Device.Chunk == 0 ? 2 : 1) * TOOL_READ_TIMEOUT_MS;
    else
        Device.ToolWaitMs = Count < Whole ? TOOL_READ_TIMEOUT_MS : 0;

    if (++Device.Chunk == Device.Requests)
        Device.InFrame = false;
    return true;
}

static void Sensor_Request(Server &Device, const uint8_t *Record)
{
    Device.InFrame = false;
    if (Device.Opts->SensorSilent)
        return;
    const uint8_t Address = Record[CMD_SENSOR_BUS_ADDRESS];
    uint8_t Reply[DEV_STAT_SIZE] = {0};
    if (Device.Opts->SensorReply)
        Reply[0] = (uint8_t)*Device.Opts->SensorReply;
    else
        Reply[0] = Device.SensorAddresses.insert(Address).second ? SENSOR_RESULT_OK : SENSOR_RESULT_ALREADY_SET;
    Reply[1] = Address;   // not read by the tool; handy when reading a capture of the line
    Send(Device, Reply, sizeof Reply);
}

// One whole record from the tool. Returns false on a hang-up.
static bool Handle_Record(Server &Device, const uint8_t *Record)
{
    Log_Record(Device, Record);
    const uint64_t Now = Now_Ms();
    bool Going_On = true;
    const bool Silent = Is_Silent(Device, Now);
    if (Record[CMD_CODE] == CMD_FRAME_REQUEST) {
        Going_On = Frame_Request(Device, Record, Now, !Silent);
    } else if (Silent) {
        // Nothing else is answered either.
    } else if (Record[CMD_CODE] == CMD_SENSOR_ADDRESS_REQUEST) {
        Sensor_Request(Device, Record);
    } else {
        fprintf(stderr, "fieldcam-emu: ignored a record with command code 0x%02X\n", Record[CMD_CODE]);
    }
    Device.LastActivityMs = Now_Ms();
    return Going_On;
}

// Takes the bytes read from the tool, record by record. A piece of a record that waited longer than
// a pause between frames is dropped, so one stray byte cannot shift every later record.
static bool Take_Bytes(Server &Device, const uint8_t *Bytes, size_t Count)
{
    const uint64_t Now = Now_Ms();
    if (Device.PendingCount && Now - Device.PendingSinceMs > NEW_FRAME_PAUSE_MS) {
        fprintf(stderr, "fieldcam-emu: dropped %zu bytes of an unfinished record\n", Device.PendingCount);
        Device.PendingCount = 0;
    }
    for (size_t K = 0; K < Count; K++) {
        if (Device.PendingCount == 0)
            Device.PendingSinceMs = Now;
        Device.Pending[Device.PendingCount++] = Bytes[K];
        if (Device.PendingCount == SEND_CMD_SIZE) {
            Device.PendingCount = 0;
            if (!Handle_Record(Device, Device.Pending))
                return false;
        }
    }
    return true;
}

Serve_End Server_Run(Server &Device, const volatile sig_atomic_t &Stop)
{
    StopFlag = &Stop;
    uint8_t Bytes[4096];
    while (!Stop) {
        struct pollfd Wait = {Device.Pty->Master, POLLIN, 0};
        const int Ready = poll(&Wait, 1, POLL_MS);
        if (Ready <= 0) {
            Pty_Release_Exclusive(*Device.Pty);
            continue;
        }
        const ssize_t Count = read(Device.Pty->Master, Bytes, sizeof Bytes);
        if (Count > 0) {
            if (!Take_Bytes(Device, Bytes, (size_t)Count))
                return Serve_End::Hung_Up;
        } else if (Count == 0 || (errno != EAGAIN && errno != EINTR)) {
            // The tool's side reports a hang-up (only when nobody, not even we, holds it): wait, don't spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
        }
    }
    return Serve_End::Stopped;
}
