// The Win32 serial calls of platform.h, on POSIX termios.
//
// A handle is a file descriptor in disguise. CreateFileA looks the COM word up in the ports folder,
// opens the terminal exclusively and makes it raw; ReadFile and WriteFile loop on poll() until their
// count is done or, for reads, the installed total time-out has run out. Failures leave errno's number
// for GetLastError.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

static DWORD LastError = 0;

// Read time-outs per handle, as SetCommTimeouts installed them. A handle without any waits for ever,
// as a Windows port does with all-zero time-outs.
struct PortTimeouts {
    int Fd;
    COMMTIMEOUTS Timeouts;
};
static PortTimeouts TimeoutTable[16];
static unsigned TimeoutCount = 0;

static int Fd_Of(HANDLE Handle) { return (int)(intptr_t)Handle; }

static BOOL Fail(int Error)
{
    LastError = (DWORD)Error;
    return FALSE;
}

// Only descriptors this layer opened count as ports: anything else, INVALID_HANDLE_VALUE included,
// fails every call at once.
static PortTimeouts *Port_Of(HANDLE Handle)
{
    const int Fd = Fd_Of(Handle);
    for (unsigned K = 0; K < TimeoutCount; K++)
        if (TimeoutTable[K].Fd == Fd)
            return &TimeoutTable[K];
    return nullptr;
}

static int64_t Now_Ms(void)
{
    struct timespec Now;
    clock_gettime(CLOCK_MONOTONIC, &Now);
    return (int64_t)Now.tv_sec * 1000 + Now.tv_nsec / 1000000;
}

DWORD GetLastError(void) { return LastError; }

bool Platform_Ports_Folder(char *Path, unsigned Size)
{
    const char *Runtime = getenv("XDG_RUNTIME_DIR");
    int Length = Runtime && Runtime[0] ? snprintf(Path, Size, "%s/fieldcam/ports", Runtime)
                                       : snprintf(Path, Size, "/tmp/fieldcam-%u/ports", (unsigned)getuid());
    return Length > 0 && (unsigned)Length < Size;
}

// The ports folder may sit in a shared /tmp: it counts only when it is a folder of ours that nobody
// else can write to.
static bool Folder_Is_Trusted(const char *Folder)
{
    struct stat Info;
    return lstat(Folder, &Info) == 0 && S_ISDIR(Info.st_mode) && Info.st_uid == geteuid() &&
           (Info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Finds the device behind the COM word: a link COM<word> in the ports folder, or else, for a whole
// number N from 1 up, the N-th serial port /dev/ttyS<N-1>. Returns an errno number, 0 when found.
static int Port_Path(const char *Word, char *Path, size_t Size)
{
    if (Word[0] == '\0' || strchr(Word, '/'))
        return ENOENT;
    if (strlen(Word) > 9)
        return ENAMETOOLONG;

    char Folder[PATH_MAX];
    struct stat Info;
    if (Platform_Ports_Folder(Folder, sizeof Folder) && Folder_Is_Trusted(Folder)) {
        int Length = snprintf(Path, Size, "%s/COM%s", Folder, Word);
        if (Length < 0 || (size_t)Length >= Size)
            return ENAMETOOLONG;
        if (lstat(Path, &Info) == 0)
            return 0;
    }

    char *End = nullptr;
    errno = 0;
    unsigned long Number = strtoul(Word, &End, 10);
    if (Word[0] < '0' || Word[0] > '9' || *End != '\0' || errno != 0 || Number < 1 || Number > 1000000)
        return ENOENT;
    snprintf(Path, Size, "/dev/ttyS%lu", Number - 1);
    return 0;
}

// Raw binary mode: no byte is translated, swallowed or echoed. The line settings the port was found
// with (baud rate, character size, parity, stop bits) stay exactly as they were.
static int Make_Raw(int Fd)
{
    struct termios Mode;
    if (tcgetattr(Fd, &Mode) != 0)
        return errno;
    Mode.c_iflag &= ~(IGNBRK | BRKINT | PARMRK);   // a break is a 0 byte, not a signal or a marker
    Mode.c_iflag &= ~ISTRIP;                        // keep the eighth bit
    Mode.c_iflag &= ~(INLCR | IGNCR | ICRNL);       // 0x0D and 0x0A pass unchanged
    Mode.c_iflag &= ~(IXON | IXOFF | IXANY);        // 0x11 and 0x13 are data, not flow control
    Mode.c_oflag &= ~OPOST;                         // no output processing (LF to CR LF)
    Mode.c_lflag &= ~(ECHO | ECHONL);               // never echo the device's bytes back to it
    Mode.c_lflag &= ~ICANON;                        // bytes, not lines
    Mode.c_lflag &= ~(ISIG | IEXTEN);               // 0x03 and 0x7F are data, not signals or editing
    Mode.c_cflag |= CREAD | CLOCAL;                 // receive, and ignore the modem lines
    Mode.c_cc[VMIN] = 1;                            // an empty queue reads as EAGAIN, 0 only at a hang-up
    Mode.c_cc[VTIME] = 0;                           // poll() does the waiting
    if (tcsetattr(Fd, TCSANOW, &Mode) != 0)
        return errno;
    return 0;
}

HANDLE CreateFileA(LPCSTR FileName, DWORD Access, DWORD ShareMode, void *Security, DWORD Disposition,
                   DWORD FlagsAndAttributes, HANDLE Template)
{
    (void)Access;
    (void)Security;
    (void)Disposition;
    (void)FlagsAndAttributes;
    (void)Template;

    static const char Prefix[] = "\\\\.\\COM";
    if (strncmp(FileName, Prefix, sizeof Prefix - 1) != 0) {
        Fail(ENOENT);
        return INVALID_HANDLE_VALUE;
    }
    char Path[PATH_MAX];
    int Error = Port_Path(FileName + sizeof Prefix - 1, Path, sizeof Path);
    if (Error != 0 || TimeoutCount == sizeof TimeoutTable / sizeof TimeoutTable[0]) {
        Fail(Error != 0 ? Error : EMFILE);
        return INVALID_HANDLE_VALUE;
    }

    // O_NOCTTY: the port must never become our controlling terminal. O_NONBLOCK: an open must not
    // wait for a modem's carrier, and the transfers wait in poll() instead.
    const int Fd = open(Path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        Fail(errno);
        return INVALID_HANDLE_VALUE;
    }
    // Whatever the link points at, only a terminal is written to: a planted link must never make the
    // tool write command bytes into a file.
    if (!isatty(Fd)) {
        Error = ENOTTY;
    } else if (ShareMode == 0) {
        // A share mode of 0 means nobody else may hold the port. TIOCEXCL refuses later opens of the
        // terminal, but not root's; the flock refuses a second fieldcam whoever runs it.
        if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
            Error = errno;
        else if (ioctl(Fd, TIOCEXCL) != 0)
            Error = errno;
    }
    if (Error == 0)
        Error = Make_Raw(Fd);
    if (Error != 0) {
        close(Fd);
        Fail(Error);
        return INVALID_HANDLE_VALUE;
    }

    PortTimeouts *Port = &TimeoutTable[TimeoutCount++];
    Port->Fd = Fd;
    memset(&Port->Timeouts, 0, sizeof Port->Timeouts);
    return (HANDLE)(intptr_t)Fd;
}

BOOL CloseHandle(HANDLE Handle)
{
    PortTimeouts *Port = Port_Of(Handle);
    if (!Port)
        return Fail(EBADF);
    *Port = TimeoutTable[--TimeoutCount];
    if (close(Fd_Of(Handle)) != 0)
        return Fail(errno);
    return TRUE;
}

// Linux sizes a terminal's queues itself; there is nothing to ask for.
BOOL SetupComm(HANDLE Handle, DWORD InQueue, DWORD OutQueue)
{
    (void)InQueue;
    (void)OutQueue;
    return Port_Of(Handle) ? TRUE : Fail(EBADF);
}

BOOL SetCommTimeouts(HANDLE Handle, COMMTIMEOUTS *Timeouts)
{
    PortTimeouts *Port = Port_Of(Handle);
    if (!Port)
        return Fail(EBADF);
    Port->Timeouts = *Timeouts;
    return TRUE;
}

static DWORD Baud_Of(speed_t Speed)
{
    static const struct {
        speed_t Code;
        DWORD Rate;
    } Rates[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},
        {B1800, 1800},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
        {B38400, 38400},   {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
        {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000},
        {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
    };
    for (const auto &Rate : Rates)
        if (Rate.Code == Speed)
            return Rate.Rate;
    return 0;
}

BOOL GetCommState(HANDLE Handle, DCB *Dcb)
{
    if (!Port_Of(Handle))
        return Fail(EBADF);
    struct termios Mode;
    if (tcgetattr(Fd_Of(Handle), &Mode) != 0)
        return Fail(errno);

    Dcb->BaudRate = Baud_Of(cfgetospeed(&Mode));
    switch (Mode.c_cflag & CSIZE) {
    case CS5: Dcb->ByteSize = 5; break;
    case CS6: Dcb->ByteSize = 6; break;
    case CS7: Dcb->ByteSize = 7; break;
    default: Dcb->ByteSize = 8; break;
    }
    // With CMSPAR the parity bit is constant: PARODD makes it a mark (1), its absence a space (0).
    if (!(Mode.c_cflag & PARENB))
        Dcb->Parity = NOPARITY;
    else if (Mode.c_cflag & CMSPAR)
        Dcb->Parity = (Mode.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        Dcb->Parity = (Mode.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    Dcb->StopBits = (Mode.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    return TRUE;
}

BOOL PurgeComm(HANDLE Handle, DWORD Flags)
{
    if (!Port_Of(Handle))
        return Fail(EBADF);
    // The transfers here are synchronous, so there is never one in progress to abort.
    const bool Receive = Flags & PURGE_RXCLEAR, Transmit = Flags & PURGE_TXCLEAR;
    if (!Receive && !Transmit)
        return TRUE;
    if (tcflush(Fd_Of(Handle), Receive && Transmit ? TCIOFLUSH : Receive ? TCIFLUSH : TCOFLUSH) != 0)
        return Fail(errno);
    return TRUE;
}

BOOL WriteFile(HANDLE Handle, const void *Buffer, DWORD Count, DWORD *Written, void *Overlapped)
{
    (void)Overlapped;
    *Written = 0;
    if (!Port_Of(Handle))
        return Fail(EBADF);
    const int Fd = Fd_Of(Handle);
    const uint8_t *Bytes = (const uint8_t *)Buffer;
    while (*Written < Count) {
        ssize_t Sent = write(Fd, Bytes + *Written, Count - *Written);
        if (Sent > 0) {
            *Written += (DWORD)Sent;
            continue;
        }
        if (Sent < 0 && errno == EINTR)
            continue;
        if (Sent < 0 && errno != EAGAIN)
            return Fail(errno);
        // The queue is full: wait, without a time limit, until it takes more.
        struct pollfd Wait = {Fd, POLLOUT, 0};
        if (poll(&Wait, 1, -1) < 0 && errno != EINTR)
            return Fail(errno);
        if (Wait.revents & (POLLERR | POLLHUP | POLLNVAL))
            return Fail(EIO);
    }
    return TRUE;
}

BOOL ReadFile(HANDLE Handle, void *Buffer, DWORD Count, DWORD *Read, void *Overlapped)
{
    (void)Overlapped;
    *Read = 0;
    PortTimeouts *Port = Port_Of(Handle);
    if (!Port)
        return Fail(EBADF);
    if (Count == 0)
        return TRUE;

    const COMMTIMEOUTS &Limits = Port->Timeouts;
    const int64_t Total = (int64_t)Limits.ReadTotalTimeoutMultiplier * Count + Limits.ReadTotalTimeoutConstant;
    const int64_t Deadline = Total > 0 ? Now_Ms() + Total : -1;
    const int Fd = Fd_Of(Handle);
    uint8_t *Bytes = (uint8_t *)Buffer;

    // Take what is queued first and wait only when nothing is: a chunk streaming in costs one read
    // per burst the kernel hands over, not a poll and a read.
    while (*Read < Count) {
        if (Deadline >= 0 && Now_Ms() >= Deadline)
            return TRUE;   // the time-out: success, with what came
        const ssize_t Got = read(Fd, Bytes + *Read, Count - *Read);
        if (Got > 0) {
            *Read += (DWORD)Got;
            continue;
        }
        if (Got == 0)
            return Fail(EIO);   // end of file on a terminal: the other end has hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Fail(errno);   // EIO when the other end has hung up

        int Wait = -1;
        if (Deadline >= 0)
            Wait = (int)std::max<int64_t>(Deadline - Now_Ms(), 0);
        struct pollfd Ready = {Fd, POLLIN, 0};
        if (poll(&Ready, 1, Wait) < 0 && errno != EINTR)
            return Fail(errno);
    }
    return TRUE;
}

uint32_t Platform_Clock_Ms_In_Minute(void) { return (uint32_t)(Now_Ms() % 60000); }

bool Platform_Display_Available(void)
{
    const char *X11 = getenv("DISPLAY");
    const char *Wayland = getenv("WAYLAND_DISPLAY");
    return (X11 && X11[0]) || (Wayland && Wayland[0]);
}
