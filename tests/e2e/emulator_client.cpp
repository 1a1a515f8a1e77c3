#include "emulator_client.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>

#include <gtest/gtest.h>

#include "device/acquisition.h"

static long long Now_Ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Emulator::Emulator(const std::vector<std::string> &Args, int Com) : Com_(Com)
{
    std::vector<std::string> Argv = {Emulator_Path(), "--com", std::to_string(Com)};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    Program_ = std::make_unique<Process>(Argv, std::vector<std::string>{Env()});
    if (!Program_->Wait_For_Output("at fieldcam's port prompt\n", 10000))
        return;
    // "fieldcam-emu: device on COM<N> (<slave path>): type <N> at fieldcam's port prompt"
    const std::string &Line = Program_->Output();
    const std::string Head = "fieldcam-emu: device on COM" + std::to_string(Com) + " (";
    const size_t Open = Line.find(Head), Close = Line.find("): type " + std::to_string(Com) + " at");
    if (Open == 0 && Close != std::string::npos)
        SlavePath_ = Line.substr(Head.size(), Close - Head.size());
}

Emulator::~Emulator()
{
    if (Fd_ >= 0)
        close(Fd_);
    if (Program_ && Program_->Running()) {
        Program_->Signal(SIGTERM);
        Program_->Wait(5000);
    }
}

std::string Emulator::Link_Path() const
{
    return Runtime_.Path() + "/fieldcam/ports/COM" + std::to_string(Com_);
}

bool Emulator::Connect()
{
    Fd_ = open(Link_Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return Fd_ >= 0;
}

void Emulator::Send(const std::vector<uint8_t> &Record)
{
    ASSERT_EQ(write(Fd_, Record.data(), Record.size()), (ssize_t)Record.size());
}

std::string Emulator::Receive(size_t Count, int TimeoutMs)
{
    std::string Got;
    const long long End = Now_Ms() + TimeoutMs;
    std::vector<char> Buffer(65536);
    while (Got.size() < Count) {
        const long long Left = End - Now_Ms();
        if (Left <= 0)
            break;
        struct pollfd Wait = {Fd_, POLLIN, 0};
        if (poll(&Wait, 1, (int)Left) <= 0)
            continue;
        const ssize_t Done = read(Fd_, Buffer.data(), std::min(Buffer.size(), Count - Got.size()));
        if (Done > 0)
            Got.append(Buffer.data(), (size_t)Done);
        else if (Done == 0 || errno != EAGAIN)
            break;   // hung up
    }
    return Got;
}

std::vector<uint8_t> Frame_Request(uint32_t Crop, bool Flash)
{
    return {0xA5, (uint8_t)Flash, 1, (uint8_t)(Crop >> 8), (uint8_t)Crop, 1, 0, 0};
}

std::vector<uint8_t> Sensor_Request(uint8_t Address) { return {0xF5, Address, 1, 0x03, 0xC0, 1, 0, 0}; }

Pulled_Frame Pull_Frame(Emulator &Device, uint32_t Crop, bool Flash)
{
    Pulled_Frame Frame;
    uint32_t Size = Transfer_Size(Crop, Crop);
    for (uint32_t I = 0;; I++) {
        Device.Send(Frame_Request(Crop, Flash));
        if (I == 0)
            Frame.Status = Device.Receive(16, 1000);
        const std::string Chunk = Device.Receive(std::min(Size, CHUNK_SIZE), 1000);
        Frame.Chunks.push_back(Chunk.size());
        Frame.Data += Chunk;
        if (Size <= CHUNK_SIZE)
            break;
        Size -= CHUNK_SIZE;
    }
    return Frame;
}

std::vector<uint16_t> Samples(const std::string &Data, uint32_t Crop)
{
    std::vector<uint16_t> Out((size_t)(Crop + 4) * (Crop + 4), 0);
    memcpy(Out.data(), Data.data(), std::min(Data.size(), Out.size() * 2));
    return Out;
}
