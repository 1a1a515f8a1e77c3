// Test support: fieldcam-emu started in a private runtime folder, and a client that speaks the
// device's protocol to it over the real pseudo-terminal, as fieldcam does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process.h"

class Emulator {
  public:
    // Starts fieldcam-emu --com Com with Args, in a runtime folder of its own, and waits for its line.
    explicit Emulator(const std::vector<std::string> &Args, int Com = 9);
    ~Emulator();

    bool Started() const { return !SlavePath_.empty(); }
    const std::string &Slave_Path() const { return SlavePath_; }
    std::string Link_Path() const;
    std::string Runtime() const { return Runtime_.Path(); }
    std::string Env() const { return "XDG_RUNTIME_DIR=" + Runtime_.Path(); }
    Process &Program() { return *Program_; }

    // The tool's side, opened like fieldcam opens it (through the link, raw, non-blocking).
    bool Connect();
    int Fd() const { return Fd_; }
    void Forget_Fd() { Fd_ = -1; }   // after the test closed it itself

    void Send(const std::vector<uint8_t> &Record);
    // Reads until Count bytes have come or TimeoutMs has passed since the call.
    std::string Receive(size_t Count, int TimeoutMs);
    // Whatever arrives within TimeoutMs.
    std::string Receive_Any(int TimeoutMs) { return Receive(1 << 24, TimeoutMs); }

  private:
    Temp_Dir Runtime_;
    std::unique_ptr<Process> Program_;
    std::string SlavePath_;
    int Com_;
    int Fd_ = -1;
};

// The frame request fieldcam sends for a crop, flash on unless told otherwise.
std::vector<uint8_t> Frame_Request(uint32_t Crop, bool Flash = true);
// A sensor address request for a bus address.
std::vector<uint8_t> Sensor_Request(uint8_t Address);

// One frame pulled as fieldcam pulls it: a request per chunk, the status record after the first.
struct Pulled_Frame {
    std::string Status;
    std::string Data;                    // the chunks, in order, back to back
    std::vector<size_t> Chunks;          // bytes that came for each request
};
Pulled_Frame Pull_Frame(Emulator &Device, uint32_t Crop, bool Flash = true);

// The 16-bit samples of a raw frame of (Crop + 4)^2 samples.
std::vector<uint16_t> Samples(const std::string &Data, uint32_t Crop);
