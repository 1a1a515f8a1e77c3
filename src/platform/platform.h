// The operating system, seen through the names of the Win32 serial API.
//
// The device link is written once, against CreateFileA, ReadFile, WriteFile, PurgeComm and the rest.
// On Windows these come from <windows.h>. Elsewhere this header declares minimal versions of them,
// implemented on POSIX termios in posix.cpp, with the behaviour the link relies on:
//   - CreateFileA("\\.\COM<word>") opens the port that the word names, exclusively, in raw mode;
//   - ReadFile returns when the count has arrived or when the installed total time-out has run out,
//     and a time-out is success with fewer bytes; an error or a hang-up fails at once;
//   - WriteFile sends every byte, with no time limit;
//   - PurgeComm discards the queues named; GetCommState reads the line settings back;
//   - an invalid handle makes every call fail at once, and GetLastError tells why a call failed.
// Besides the serial calls it gives the frame clock and the check for a display.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Windows' own number for a path that is too long to be a port name.
#define PLATFORM_NAME_TOO_LONG ERROR_FILENAME_EXCED_RANGE

// Milliseconds within the current minute (0 to 59999) of a clock that never jumps.
inline uint32_t Platform_Clock_Ms_In_Minute(void) { return (uint32_t)(GetTickCount64() % 60000u); }

// A Windows workstation always has its desktop.
inline bool Platform_Display_Available(void) { return true; }

#else

typedef void *HANDLE;
typedef uint32_t DWORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef const char *LPCSTR;

#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define OPEN_EXISTING 3u

#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2

// errno's number for a path that is too long to be a port name.
#define PLATFORM_NAME_TOO_LONG 36u

// Only the fields the link reads; the Win32 record has many more.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
};

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// Access is always read and write; a share mode of 0 makes the open exclusive. Security attributes,
// flags and template are accepted and ignored: every transfer is synchronous.
HANDLE CreateFileA(LPCSTR FileName, DWORD Access, DWORD ShareMode, void *Security, DWORD Disposition,
                   DWORD FlagsAndAttributes, HANDLE Template);
BOOL CloseHandle(HANDLE Handle);
DWORD GetLastError(void);
BOOL SetupComm(HANDLE Handle, DWORD InQueue, DWORD OutQueue);
BOOL SetCommTimeouts(HANDLE Handle, COMMTIMEOUTS *Timeouts);
BOOL GetCommState(HANDLE Handle, DCB *Dcb);
BOOL PurgeComm(HANDLE Handle, DWORD Flags);
BOOL WriteFile(HANDLE Handle, const void *Buffer, DWORD Count, DWORD *Written, void *Overlapped);
BOOL ReadFile(HANDLE Handle, void *Buffer, DWORD Count, DWORD *Read, void *Overlapped);

// The folder of COM<word> links that names the ports on this machine: $XDG_RUNTIME_DIR/fieldcam/ports,
// or /tmp/fieldcam-<uid>/ports without that variable. Written into Path (Size bytes); false when it
// does not fit.
bool Platform_Ports_Folder(char *Path, unsigned Size);

// Milliseconds within the current minute (0 to 59999) of a clock that never jumps.
uint32_t Platform_Clock_Ms_In_Minute(void);

// Whether a window can be opened at all: Debian's OpenCV draws with Qt, which aborts the whole process
// when there is no display to connect to (neither DISPLAY nor WAYLAND_DISPLAY).
bool Platform_Display_Available(void);

#endif
