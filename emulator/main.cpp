// fieldcam-emu: a stand-in for the field device on a pseudo-terminal.
//
// It opens a pty, registers its other end as COM<N> in the ports folder, says which number to type
// at fieldcam's port prompt, and serves the device's protocol until SIGINT or SIGTERM; then it
// removes its link and ends.
#include <csignal>
#include <cstdio>
#include <string>

#include "measure.h"
#include "options.h"
#include "pty_device.h"
#include "server.h"

static volatile sig_atomic_t Stop = 0;

static void On_Signal(int) { Stop = 1; }

static void Catch_Signals()
{
    struct sigaction Action = {};
    Action.sa_handler = On_Signal;
    sigemptyset(&Action.sa_mask);
    // No SA_RESTART: a blocked poll or sleep returns at once and the loop sees the flag.
    for (int Number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(Number, &Action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

static int Fail(const std::string &Message)
{
    fprintf(stderr, "fieldcam-emu: %s\n", Message.c_str());
    return 1;
}

int main(int Argc, char **Argv)
{
    Options Opts;
    const int Status = Parse_Options(Argc, Argv, Opts);
    if (Status >= 0)
        return Status;
    if (Opts.Measure)
        return Measure_Run(Opts);
    Catch_Signals();

    Pty_Device Pty;
    Server Device;
    std::string Error;
    if (!Pty_Open(Opts, Pty, Error))
        return Fail(Error);
    if (!Server_Start(Device, Opts, Pty))
        return 1;
    if (!Link_Register(Opts.Com, Pty, Error))
        return Fail(Error);
    printf("fieldcam-emu: device on COM%d (%s): type %d at fieldcam's port prompt\n", Opts.Com, Pty.SlavePath.c_str(),
           Opts.Com);
    fflush(stdout);

    const Serve_End End = Server_Run(Device, Stop);
    // A hang-up closes the line first, as a device that loses power would, then cleans up.
    if (End == Serve_End::Hung_Up)
        Pty_Close(Pty);
    Link_Remove(Pty);
    Pty_Close(Pty);
    return 0;
}
