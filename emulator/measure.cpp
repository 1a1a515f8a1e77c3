#include "measure.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "device/acquisition.h"
#include "device/records.h"
#include "pty_device.h"
#include "scene.h"
#include "server.h"

static const uint32_t CROP = 960;
static const double FRAME_BYTES = 16 + 1859584.0;   // status record and transfer at crop 960
static const double SECONDS = 1.5;

static double Seconds_Since(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// Moves Count bytes one way over Fd, waiting in poll() whenever the pty's small buffer says so.
static bool Transfer_All(int Fd, uint8_t *Bytes, size_t Count, bool Writing)
{
    while (Count > 0) {
        const ssize_t Done = Writing ? write(Fd, Bytes, Count) : read(Fd, Bytes, Count);
        if (Done > 0) {
            Bytes += Done;
            Count -= (size_t)Done;
            continue;
        }
        if (Done == 0 || (errno != EAGAIN && errno != EINTR))
            return false;
        struct pollfd Wait = {Fd, (short)(Writing ? POLLOUT : POLLIN), 0};
        if (poll(&Wait, 1, 1000) <= 0)
            return false;
    }
    return true;
}

static double Render_Rate(const Options &Opts)
{
    Scene Chart;
    Scene_Build(Chart, Opts.Flat);
    std::vector<uint16_t> Frame((CROP + 4) * (CROP + 4));
    const auto Start = std::chrono::steady_clock::now();
    uint32_t Frames = 0;
    while (Seconds_Since(Start) < SECONDS) {
        Scene_Render(Chart, CROP, (Frames % 100) / 100.0, true, Frames, Frame.data());
        Frames++;
    }
    return Frames / Seconds_Since(Start);
}

// Bytes per second that one writer and one reader get through a raw pty, in frame-sized writes.
static double Raw_Throughput(const Options &Opts)
{
    Pty_Device Pty;
    std::string Error;
    if (!Pty_Open(Opts, Pty, Error))
        return 0;
    std::atomic<bool> Done{false};
    std::atomic<uint64_t> Received{0};
    std::thread Reader([&] {
        std::vector<uint8_t> Buffer(65536);
        while (!Done) {
            struct pollfd Wait = {Pty.Slave, POLLIN, 0};
            if (poll(&Wait, 1, 100) > 0) {
                const ssize_t Count = read(Pty.Slave, Buffer.data(), Buffer.size());
                if (Count > 0)
                    Received += (uint64_t)Count;
            }
        }
    });
    std::vector<uint8_t> Frame((size_t)FRAME_BYTES, 0x5A);
    const auto Start = std::chrono::steady_clock::now();
    while (Seconds_Since(Start) < SECONDS && Transfer_All(Pty.Master, Frame.data(), Frame.size(), true)) {
    }
    const double Rate = Received / Seconds_Since(Start);
    Done = true;
    Reader.join();
    Pty_Close(Pty);
    return Rate;
}

// Frames per second that a client pulling exactly as fieldcam does gets from the running server.
static double Serve_Rate(const Options &Opts)
{
    Pty_Device Pty;
    Server Device;
    std::string Error;
    if (!Pty_Open(Opts, Pty, Error) || !Server_Start(Device, Opts, Pty))
        return 0;
    static volatile sig_atomic_t Stop = 0;
    std::thread Serving([&] { Server_Run(Device, Stop); });

    uint8_t Request[SEND_CMD_SIZE] = {CMD_FRAME_REQUEST, 1, 1, CROP >> 8, CROP & 0xFF, 1, 0, 0};
    std::vector<uint8_t> Buffer(CAMERA_BUFF_SIZE);
    uint8_t Status[DEV_STAT_SIZE];
    const auto Start = std::chrono::steady_clock::now();
    uint32_t Frames = 0;
    bool Good = true;
    while (Good && Seconds_Since(Start) < SECONDS) {
        uint32_t Size = Transfer_Size(CROP, CROP);
        for (uint32_t I = 0; Good; I++) {
            const uint32_t Count = Size < CHUNK_SIZE ? Size : CHUNK_SIZE;
            Good = Transfer_All(Pty.Slave, Request, sizeof Request, true) &&
                   (I > 0 || Transfer_All(Pty.Slave, Status, sizeof Status, false)) &&
                   Transfer_All(Pty.Slave, Buffer.data() + I * CHUNK_SIZE, Count, false);
            if (Size <= CHUNK_SIZE)
                break;
            Size -= CHUNK_SIZE;
        }
        Frames += Good;
    }
    const double Rate = Frames / Seconds_Since(Start);
    Stop = 1;
    Serving.join();
    Pty_Close(Pty);
    return Rate;
}

int Measure_Run(const Options &Opts)
{
    Options Plain;
    Plain.Flat = Opts.Flat;
    const double Render = Render_Rate(Plain);
    const double Raw = Raw_Throughput(Plain);
    const double Served = Serve_Rate(Plain);
    printf("crop 960, one frame = %.0f bytes on the wire\n", FRAME_BYTES);
    printf("render:          %8.1f frames/s\n", Render);
    printf("pty raw:         %8.1f frames/s  (%.1f MB/s)\n", Raw / FRAME_BYTES, Raw / 1e6);
    printf("served:          %8.1f frames/s  (%.1f MB/s)\n", Served, Served * FRAME_BYTES / 1e6);
    printf("render / pty raw: %.2f   served / pty raw: %.2f\n", Render * FRAME_BYTES / Raw,
           Served * FRAME_BYTES / Raw);
    return Render > 0 && Raw > 0 && Served > 0 ? 0 : 1;
}
