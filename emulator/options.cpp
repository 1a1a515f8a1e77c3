#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

static const char Help[] =
    "usage: fieldcam-emu [options]\n"
    "A stand-in for the field device on a pseudo-terminal, registered as COM<N> in the ports folder\n"
    "($XDG_RUNTIME_DIR/fieldcam/ports, or /tmp/fieldcam-<uid>/ports). Serves until SIGINT or SIGTERM.\n"
    "\n"
    "  --com N                 COM number to register (default 9)\n"
    "  --frame FILE            serve this fixed raw frame: the file's bytes are the transfer from byte 0,\n"
    "                          zero bytes past its end\n"
    "  --status HEX            fixed status record, 32 hex digits (blanks allowed); give it several times\n"
    "                          to cycle through them, one per frame\n"
    "  --sensor-reply CODE     answer every sensor address request with this result code (0..255)\n"
    "  --sensor-fail           answer FAIL (0), the same as --sensor-reply 0\n"
    "  --sensor-silent         never answer sensor address requests\n"
    "  --log FILE              append one line per record received (\"A5 01 01 03 C0 01 00 00\")\n"
    "  --silent                take requests, never answer anything\n"
    "  --rate BYTES_PER_S      throttle everything sent to this byte rate\n"
    "  --baud N                line settings set on the pty before the tool opens it; a Linux pty\n"
    "  --data-bits 5..8        keeps 8 data bits and no parity whatever is asked, so --data-bits and\n"
    "  --parity none|odd|even|mark|space    --parity may not stick (a warning says so)\n"
    "  --stop-bits 1|2\n"
    "  --stop-after K          answer nothing after K chunks have been served (over the run)\n"
    "  --resume-after MS       with --stop-after: answer again MS milliseconds after going silent\n"
    "  --short-chunk I:N       in every frame, send only the first N bytes of chunk I\n"
    "  --hangup-at-chunk I     on the request for chunk I (0-based) of the first frame, hang up: close\n"
    "                          the pty, remove the link and exit 0\n"
    "  --garbage N             after the final chunk of each frame, send N unasked bytes (0x55), queued\n                          with the frame's last byte so they wait for the tool's next pull\n"
    "  --flat R,G,B            a uniform scene of these 12-bit values instead of the test chart\n"
    "  --sweep-ms MS           period of the focus sweep (default 10000)\n"
    "  --measure               print the render rate, the pty's raw throughput and the serve rate at\n"
    "                          crop 960, then exit\n"
    "  --help                  this text\n";

static bool Parse_Number(const char *Text, uint64_t Max, uint64_t &Out)
{
    if (!Text || !*Text || *Text == '-')
        return false;
    char *End = nullptr;
    errno = 0;
    unsigned long long Value = strtoull(Text, &End, 10);
    if (errno || *End || Value > Max)
        return false;
    Out = Value;
    return true;
}

static bool Parse_Status(const char *Text, std::array<uint8_t, 16> &Out)
{
    std::string Digits;
    for (const char *C = Text; *C; C++) {
        if (*C == ' ' || *C == '\t')
            continue;
        if (!isxdigit((unsigned char)*C))
            return false;
        Digits += *C;
    }
    if (Digits.size() != 32)
        return false;
    for (size_t K = 0; K < 16; K++)
        Out[K] = (uint8_t)strtoul(Digits.substr(2 * K, 2).c_str(), nullptr, 16);
    return true;
}

static bool Parse_Parity(std::string_view Text, int &Out)
{
    static const char *Names[] = {"none", "odd", "even", "mark", "space"};
    for (int K = 0; K < 5; K++)
        if (Text == Names[K]) {
            Out = K;
            return true;
        }
    return false;
}

// One option with its argument (if it takes one); false when the argument does not parse.
static bool Apply(std::string_view Name, const char *Arg, Options &Out)
{
    uint64_t N = 0, M = 0;
    if (Name == "--com")
        return Parse_Number(Arg, 999999999, N) && N >= 1 && ((Out.Com = (int)N), true);
    if (Name == "--frame")
        return (Out.FrameFile = Arg, true);
    if (Name == "--status") {
        std::array<uint8_t, 16> Record;
        return Parse_Status(Arg, Record) && (Out.Status.push_back(Record), true);
    }
    if (Name == "--sensor-reply")
        return Parse_Number(Arg, 255, N) && ((Out.SensorReply = (int)N), true);
    if (Name == "--log")
        return (Out.LogFile = Arg, true);
    if (Name == "--rate")
        return Parse_Number(Arg, UINT64_MAX, N) && N > 0 && ((Out.Rate = N), true);
    if (Name == "--baud")
        return Parse_Number(Arg, 4000000, N) && ((Out.Baud = (uint32_t)N), true);
    if (Name == "--data-bits")
        return Parse_Number(Arg, 8, N) && N >= 5 && ((Out.DataBits = (int)N), true);
    if (Name == "--parity") {
        int P = 0;
        return Parse_Parity(Arg, P) && ((Out.Parity = P), true);
    }
    if (Name == "--stop-bits")
        return Parse_Number(Arg, 2, N) && N >= 1 && ((Out.StopBits = (int)N), true);
    if (Name == "--stop-after")
        return Parse_Number(Arg, UINT64_MAX, N) && ((Out.StopAfter = N), true);
    if (Name == "--resume-after")
        return Parse_Number(Arg, 86400000, N) && ((Out.ResumeAfterMs = N), true);
    if (Name == "--short-chunk") {
        const char *Colon = strchr(Arg, ':');
        if (!Colon)
            return false;
        std::string Index(Arg, Colon);
        if (!Parse_Number(Index.c_str(), 49, N) || !Parse_Number(Colon + 1, 61440, M))
            return false;
        Out.ShortChunk = (uint32_t)N;
        Out.ShortChunkBytes = (uint32_t)M;
        return true;
    }
    if (Name == "--hangup-at-chunk")
        return Parse_Number(Arg, 49, N) && ((Out.HangupAtChunk = (uint32_t)N), true);
    if (Name == "--garbage")
        return Parse_Number(Arg, 16u << 20, N) && ((Out.Garbage = (uint32_t)N), true);
    if (Name == "--flat") {
        unsigned R, G, B;
        char Tail;
        if (sscanf(Arg, "%u,%u,%u%c", &R, &G, &B, &Tail) != 3 || R > 4095 || G > 4095 || B > 4095)
            return false;
        Out.Flat = std::array<uint16_t, 3>{(uint16_t)R, (uint16_t)G, (uint16_t)B};
        return true;
    }
    if (Name == "--sweep-ms")
        return Parse_Number(Arg, 3600000, N) && N >= 100 && ((Out.SweepMs = (uint32_t)N), true);
    return false;
}

int Parse_Options(int Argc, char **Argv, Options &Out)
{
    for (int K = 1; K < Argc; K++) {
        const std::string_view Name = Argv[K];
        if (Name == "--help" || Name == "-h") {
            fputs(Help, stdout);
            return 0;
        }
        if (Name == "--sensor-fail") {
            Out.SensorReply = 0;
        } else if (Name == "--sensor-silent") {
            Out.SensorSilent = true;
        } else if (Name == "--silent") {
            Out.Silent = true;
        } else if (Name == "--measure") {
            Out.Measure = true;
        } else if (K + 1 >= Argc || !Apply(Name, Argv[K + 1], Out)) {
            fprintf(stderr, "fieldcam-emu: bad option or value: %s%s%s (see --help)\n", Argv[K],
                    K + 1 < Argc ? " " : "", K + 1 < Argc ? Argv[K + 1] : "");
            return 2;
        } else {
            K++;
        }
    }
    if (Out.ResumeAfterMs && !Out.StopAfter) {
        fputs("fieldcam-emu: --resume-after needs --stop-after\n", stderr);
        return 2;
    }
    return -1;
}
