#include "pty_device.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"

static std::string Errno_Text(const char *What) { return std::string(What) + ": " + strerror(errno); }

static speed_t Speed_Code(uint32_t Baud)
{
    static const struct { uint32_t Baud; speed_t Code; } Table[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto &Entry : Table)
        if (Entry.Baud == Baud)
            return Entry.Code;
    return 0;
}

// The line settings the tool will read back. A Linux pty keeps 8 data bits and no parity whatever
// it is told; the baud rate and the stop bits stick.
static bool Set_Line(int Fd, const Options &Opts, std::string &Error)
{
    struct termios Mode;
    if (tcgetattr(Fd, &Mode) != 0)
        return (Error = Errno_Text("tcgetattr"), false);
    if (Opts.Baud) {
        const speed_t Code = Speed_Code(*Opts.Baud);
        if (Code == 0)
            return (Error = "baud rate " + std::to_string(*Opts.Baud) + " is not a standard rate", false);
        cfsetispeed(&Mode, Code);
        cfsetospeed(&Mode, Code);
    }
    if (Opts.DataBits) {
        static const tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
        Mode.c_cflag = (Mode.c_cflag & ~CSIZE) | Sizes[*Opts.DataBits - 5];
    }
    if (Opts.Parity) {
        Mode.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        static const tcflag_t Bits[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
        Mode.c_cflag |= Bits[*Opts.Parity];
    }
    if (Opts.StopBits)
        Mode.c_cflag = *Opts.StopBits == 2 ? (Mode.c_cflag | CSTOPB) : (Mode.c_cflag & ~CSTOPB);
    if (tcsetattr(Fd, TCSANOW, &Mode) != 0)
        return (Error = Errno_Text("tcsetattr"), false);

    struct termios Back;
    tcgetattr(Fd, &Back);
    if ((Back.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR)) != (Mode.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR)))
        fputs("fieldcam-emu: note: the pseudo-terminal keeps 8 data bits and no parity; the tool will read those\n",
              stderr);
    return true;
}

// Raw both ways: a new pty is cooked with echo on, and an echo would send the tool's requests, or
// the frame data, straight back where they came from.
static bool Make_Raw(int Fd, std::string &Error)
{
    struct termios Mode;
    if (tcgetattr(Fd, &Mode) != 0)
        return (Error = Errno_Text("tcgetattr"), false);
    cfmakeraw(&Mode);
    Mode.c_cflag |= CREAD | CLOCAL;
    Mode.c_cc[VMIN] = 1;
    Mode.c_cc[VTIME] = 0;
    if (tcsetattr(Fd, TCSANOW, &Mode) != 0)
        return (Error = Errno_Text("tcsetattr"), false);
    return true;
}

bool Pty_Open(const Options &Opts, Pty_Device &Device, std::string &Error)
{
    Device.Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Device.Master < 0)
        return (Error = Errno_Text("posix_openpt"), false);
    if (grantpt(Device.Master) != 0 || unlockpt(Device.Master) != 0)
        return (Error = Errno_Text("unlockpt"), false);
    char Name[PATH_MAX];
    if (ptsname_r(Device.Master, Name, sizeof Name) != 0)
        return (Error = Errno_Text("ptsname"), false);
    Device.SlavePath = Name;
    Device.Slave = open(Name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (Device.Slave < 0)
        return (Error = Errno_Text(Name), false);
    if (!Make_Raw(Device.Slave, Error) || !Make_Raw(Device.Master, Error) || !Set_Line(Device.Slave, Opts, Error))
        return false;
    const int Flags = fcntl(Device.Master, F_GETFL);
    fcntl(Device.Master, F_SETFL, Flags | O_NONBLOCK);
    return true;
}

// Creates one folder of the path with mode 0700, or accepts it if it is already there.
static bool Make_Folder(const std::string &Path, std::string &Error)
{
    if (mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST)
        return (Error = Errno_Text(Path.c_str()), false);
    return true;
}

// The tool trusts the ports folder only when it is ours and nobody else can write to it; a link in
// any other folder would be ignored, so say so now rather than leave the operator guessing.
static bool Ports_Folder(std::string &Folder, std::string &Error)
{
    char Path[PATH_MAX];
    if (!Platform_Ports_Folder(Path, sizeof Path))
        return (Error = "the ports folder's path is too long", false);
    Folder = Path;
    const std::string Parent = Folder.substr(0, Folder.rfind('/'));
    if (!Make_Folder(Parent, Error) || !Make_Folder(Folder, Error))
        return false;
    struct stat Info;
    if (lstat(Folder.c_str(), &Info) != 0 || !S_ISDIR(Info.st_mode) || Info.st_uid != geteuid() ||
        (Info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return (Error = Folder + " is not a folder of yours that only you can write to; fieldcam would ignore it",
                false);
    return true;
}

bool Link_Register(int Com, Pty_Device &Device, std::string &Error)
{
    std::string Folder;
    if (!Ports_Folder(Folder, Error))
        return false;
    const std::string Name = "COM" + std::to_string(Com);
    const std::string LockPath = Folder + "/" + Name + ".lock";
    Device.LockFd = open(LockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (Device.LockFd < 0)
        return (Error = Errno_Text(LockPath.c_str()), false);
    // The lock, not the link, says whether another emulator serves this number: a killed emulator
    // leaves its link behind, but the kernel drops its lock.
    if (flock(Device.LockFd, LOCK_EX | LOCK_NB) != 0)
        return (Error = Name + " is already served by another fieldcam-emu; choose another number with --com", false);

    const std::string LinkPath = Folder + "/" + Name;
    char Target[PATH_MAX];
    const ssize_t Length = readlink(LinkPath.c_str(), Target, sizeof Target - 1);
    if (Length >= 0) {
        Target[Length] = '\0';
        // A leftover of a killed emulator points at a pty; anything else is the technician's own link.
        if (strncmp(Target, "/dev/pts/", 9) != 0)
            return (Error = Name + " already names " + Target + "; choose another number with --com", false);
        unlink(LinkPath.c_str());
    } else if (errno != ENOENT) {
        return (Error = LinkPath + " exists and is not a link; choose another number with --com", false);
    }
    if (symlink(Device.SlavePath.c_str(), LinkPath.c_str()) != 0)
        return (Error = Errno_Text(LinkPath.c_str()), false);
    Device.LinkPath = LinkPath;
    return true;
}

void Link_Remove(Pty_Device &Device)
{
    if (!Device.LinkPath.empty()) {
        char Target[PATH_MAX];
        const ssize_t Length = readlink(Device.LinkPath.c_str(), Target, sizeof Target - 1);
        if (Length >= 0 && Device.SlavePath == std::string(Target, (size_t)Length))
            unlink(Device.LinkPath.c_str());
        Device.LinkPath.clear();
    }
    if (Device.LockFd >= 0) {
        close(Device.LockFd);
        Device.LockFd = -1;
    }
}

void Pty_Release_Exclusive(Pty_Device &Device)
{
    int Exclusive = 0;
    if (Device.Slave < 0 || ioctl(Device.Slave, TIOCGEXCL, &Exclusive) != 0 || !Exclusive)
        return;
    // The tool takes its flock before it sets TIOCEXCL and keeps it while the port is open: if the
    // lock is free now, the tool that set the flag has gone.
    if (flock(Device.Slave, LOCK_EX | LOCK_NB) == 0) {
        ioctl(Device.Slave, TIOCNXCL);
        flock(Device.Slave, LOCK_UN);
    }
}

void Pty_Close(Pty_Device &Device)
{
    if (Device.Slave >= 0)
        close(Device.Slave);
    if (Device.Master >= 0)
        close(Device.Master);
    Device.Slave = Device.Master = -1;
}
