// The device's side of the protocol: 8-byte command records in, status records and frame chunks out.
//
// A frame request (0xA5) starts or continues a frame. The first request of a frame gets the 16-byte
// status record and chunk 0; each further request gets the next chunk: 61,440 bytes, the last one
// the remainder of the transfer size that the request's crop field gives (possibly a full chunk,
// possibly nothing). After the final chunk the next request starts a new frame, and so does a
// request after a pause of more than 250 ms, so a pull the tool broke off does not leave the device
// out of step. A pause the device caused itself does not count: after an answer it cut short or
// withheld, the tool waits out its 1000 ms read time-out before asking for the next chunk, and the
// device keeps its place (a silent device counts the requests it leaves unanswered). A sensor address request (0xF5) gets a 16-byte reply whose byte 0 is the result:
// OK the first time an address is set, ALREADY SET after. Other records are logged and ignored.
// Nothing is ever sent unasked unless an option says so.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <vector>

#include "options.h"
#include "pty_device.h"
#include "scene.h"

struct Server {
    const Options *Opts = nullptr;
    Pty_Device *Pty = nullptr;
    Scene Chart;
    FILE *Log = nullptr;
    std::vector<uint8_t> FrameFile;          // --frame: the transfer's bytes
    std::vector<uint16_t> Frame;             // the rendered raw frame
    const uint8_t *Transfer = nullptr;       // what the chunks are cut from; zero bytes past its end
    size_t TransferBytes = 0;
    std::mt19937 Random{2024};
    uint64_t StartMs = 0;

    // Where the device stands in a frame.
    bool InFrame = false;
    uint32_t Crop = 0, Chunk = 0, Requests = 0, Size = 0;
    uint64_t Frames = 0;                     // frames begun over the run
    uint64_t LastActivityMs = 0;             // last request taken or answer finished
    uint64_t ToolWaitMs = 0;                 // how long the tool waits out the last answer: its read
                                             // time-out when that answer came short or not at all

    uint64_t ChunksServed = 0;               // for --stop-after
    uint64_t SilentSinceMs = 0;
    bool Resumed = false;
    std::set<uint8_t> SensorAddresses;       // addresses already set on the bus
    double NextSendUs = 0;                   // for --rate: when the next byte may go

    uint8_t Pending[8] = {0};                // a record still arriving
    size_t PendingCount = 0;
    uint64_t PendingSinceMs = 0;
};

enum class Serve_End { Stopped, Hung_Up };

// Prepares the server for Opts on Pty: builds the scene, loads the frame file, opens the log.
// False with a message on standard error.
bool Server_Start(Server &Device, const Options &Opts, Pty_Device &Pty);

// Serves until Stop becomes non-zero, or until a --hangup-at-chunk hang-up.
Serve_End Server_Run(Server &Device, const volatile sig_atomic_t &Stop);

uint64_t Now_Ms();
