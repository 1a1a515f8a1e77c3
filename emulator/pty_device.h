// The emulator's end of the serial link: a pseudo-terminal, and the COM<N> link that names its other
// end in the ports folder, so fieldcam finds it when the operator types N.
//
// The emulator holds the tool's side (the slave) open itself for its whole life: the pty then never
// reports a hang-up between two runs of the tool, and the line settings set here stay put.
#pragma once

#include <string>

#include "options.h"

struct Pty_Device {
    int Master = -1;          // the device's end, non-blocking
    int Slave = -1;           // the tool's end, held open by the emulator
    std::string SlavePath;    // /dev/pts/<k>
    std::string LinkPath;     // <ports>/COM<N>, once registered
    int LockFd = -1;          // flock on <ports>/COM<N>.lock while the link is ours
};

// Opens the pty, makes both sides raw before anyone else can open the tool's side, and sets the line
// settings asked for. False with a message in Error on failure.
bool Pty_Open(const Options &Opts, Pty_Device &Device, std::string &Error);

// Links <ports>/COM<Com> to the tool's side, under an exclusive lock, so a second emulator on the
// same number is refused while a stale link of a killed one is replaced. False with a message.
bool Link_Register(int Com, Pty_Device &Device, std::string &Error);

// Removes the link if it still points at this pty, and lets the lock go.
void Link_Remove(Pty_Device &Device);

// A tool that set TIOCEXCL on the pty and then closed it leaves the pty exclusive for as long as it
// exists (unlike a real port, whose state goes with its last close), and the tool's next run would
// be refused. Call this now and then: it clears the flag once no tool holds the port's flock.
void Pty_Release_Exclusive(Pty_Device &Device);

// Hangs up: closes both sides.
void Pty_Close(Pty_Device &Device);
