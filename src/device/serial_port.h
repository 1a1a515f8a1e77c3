// The serial port: opened once at start-up, never closed, never reconfigured.
//
// Com_Open turns the typed port word into the device path \\.\COM<word>, opens it exclusively, asks
// for 64 KiB queues, installs the time-outs every later transfer depends on (each read ends at the
// latest 1000 ms after it began, writes have no limit), prints the line settings as it finds them
// and discards both queues. Whatever happens, the run goes on: a failed open leaves
// INVALID_HANDLE_VALUE, on which every later transfer fails at once.
//
// The link operations below are all that the rest of the program does with the port.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr unsigned COM_NUMBER_SIZE = 10;   // 9 characters and the terminating NUL
constexpr unsigned COM_NUMBER_PATH_SIZE = 20;
constexpr DWORD COM_QUEUE_SIZE = 65536;
constexpr DWORD COM_READ_TIMEOUT_MS = 1000;

// The port word as the operator typed it; all NUL at start.
extern char ComNumber[COM_NUMBER_SIZE];

// Opens and prepares the port named by ComNumber and prints this stage's messages. WordTooLong says
// that the typed word did not fit ComNumber: then nothing is opened and the open fails with the
// platform's "name too long" error.
HANDLE Com_Open(bool WordTooLong);

// Discards every received byte not yet read.
void Link_Purge_Receive(HANDLE hCom);
// Sends the 8 bytes of SendCmd with one write.
void Link_Send_Command(HANDLE hCom);
// Reads Count bytes to Dest with one read: returns when they have arrived or 1000 ms after the call.
// False only on an error (an invalid handle, a hung-up line), never on a time-out.
bool Link_Read(HANDLE hCom, void *Dest, uint32_t Count);
