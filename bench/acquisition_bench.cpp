// Frame pulls against the emulated device, against the raw throughput of the same kind of
// pseudo-terminal measured in the same run: how close the pull comes to what the link can carry.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <termios.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <memory>
#include <string>

#include "device/acquisition.h"
#include "device/records.h"
#include "process.h"
#include "ratio_reporter.h"

namespace {

const size_t FrameBytes960 = 16 + 1859584;   // the status record and the crop-960 transfer

// The floor: a frame's bytes through a raw pseudo-terminal from a writer process that never stops,
// read on the other side in as few reads as the kernel allows: all the link can carry.
void Raw_Pty(benchmark::State &State)
{
    const int Master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(Master);
    unlockpt(Master);
    struct termios Mode;
    tcgetattr(Master, &Mode);
    cfmakeraw(&Mode);
    tcsetattr(Master, TCSANOW, &Mode);
    const int Slave = open(ptsname(Master), O_RDWR | O_NOCTTY);

    const pid_t Writer = fork();
    if (Writer == 0) {
        static uint8_t Source[65536];
        for (;;)
            if (write(Master, Source, sizeof Source) < 0)
                _exit(0);
    }
    for (auto _ : State) {
        size_t Got = 0;
        while (Got < FrameBytes960) {
            ssize_t N = read(Slave, CameraBuff, std::min<size_t>(CAMERA_BUFF_SIZE, FrameBytes960 - Got));
            if (N > 0)
                Got += (size_t)N;
        }
    }
    State.SetBytesProcessed((int64_t)State.iterations() * (int64_t)FrameBytes960);
    kill(Writer, SIGKILL);
    waitpid(Writer, nullptr, 0);
    close(Slave);
    close(Master);
}

// Real pulls from fieldcam-emu serving a fixed frame (so the emulator's renderer is not measured).
void Pull(benchmark::State &State)
{
    const uint32_t Crop = (uint32_t)State.range(0);
    Temp_Dir Runtime;
    setenv("XDG_RUNTIME_DIR", Runtime.Path().c_str(), 1);
    Write_File(Runtime.Path() + "/frame.raw", std::string(CAMERA_BUFF_SIZE, '\x5A'));
    Process Emulator({Emulator_Path(), "--com", "5", "--frame", Runtime.Path() + "/frame.raw"});
    if (!Emulator.Wait_For_Output("type 5", 10000)) {
        State.SkipWithError("the emulator did not start");
        return;
    }
    HANDLE Port = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    COMMTIMEOUTS Timeouts = {0, 0, 1000, 0, 0};
    SetCommTimeouts(Port, &Timeouts);
    CameraHorizontalPixels = CameraVerticalPixels = Crop;
    Record_Set_Crop(Crop);

    for (auto _ : State)
        Camera_Acquisition(Port);

    State.SetBytesProcessed((int64_t)State.iterations() * (16 + Transfer_Size(Crop, Crop)));
    State.counters["frames/s"] = benchmark::Counter((double)State.iterations(), benchmark::Counter::kIsRate);
    CloseHandle(Port);
}

} // namespace

BENCHMARK(Raw_Pty)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Pull)->Arg(240)->Arg(960)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Ratio_Reporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    printf("\nA crop-960 pull takes this many times as long as its bytes need on the raw link\n"
           "(1.00 is the link's limit; 1.11 is 90 %% of it):\n");
    Reporter.Print_Ratio("pull 960 / raw pseudo-terminal", "Pull/960/real_time", "Raw_Pty/real_time");
    benchmark::Shutdown();
}
