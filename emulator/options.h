// fieldcam-emu's command line: what to serve and how to misbehave. Every option is listed by --help.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Options {
    int Com = 9;                                  // registered as COM<Com> in the ports folder
    std::string FrameFile;                        // fixed transfer bytes instead of the scene
    std::vector<std::array<uint8_t, 16>> Status;  // fixed status records, one per frame, cycling
    std::optional<int> SensorReply;               // fixed result code for every sensor request
    bool SensorSilent = false;
    std::string LogFile;                          // one line of hex per record received
    bool Silent = false;
    uint64_t Rate = 0;                            // bytes per second, 0: as fast as the pty goes
    std::optional<uint32_t> Baud;
    std::optional<int> DataBits;
    std::optional<int> Parity;                    // 0 none 1 odd 2 even 3 mark 4 space
    std::optional<int> StopBits;
    std::optional<uint64_t> StopAfter;            // chunks served before going silent
    uint64_t ResumeAfterMs = 0;                   // with StopAfter: silent for this long, 0 for ever
    std::optional<uint32_t> ShortChunk;           // chunk index to cut short...
    uint32_t ShortChunkBytes = 0;                 // ...to this many bytes
    std::optional<uint32_t> HangupAtChunk;
    uint32_t Garbage = 0;                         // unasked bytes after each frame's final chunk
    std::optional<std::array<uint16_t, 3>> Flat; // a uniform scene: red, green, blue, 12-bit
    uint32_t SweepMs = 10000;                     // period of the focus sweep
    bool Measure = false;                         // print render and serve rates, then exit
};

// Parses argv into Out. Returns -1 to go on, or the exit status to end with (after --help: 0, after
// a bad option: 2, with a message on standard error).
int Parse_Options(int Argc, char **Argv, Options &Out);
