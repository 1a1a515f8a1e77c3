#include "test_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

Test_Port::Test_Port(const std::string &Runtime, int Number) : Runtime_(Runtime)
{
    Master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master_ < 0 || grantpt(Master_) != 0 || unlockpt(Master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    SlavePath_ = ptsname(Master_);
    // A new pseudo-terminal starts cooked, with echo on: raw before the tool opens the other end.
    struct termios Mode;
    tcgetattr(Master_, &Mode);
    cfmakeraw(&Mode);
    tcsetattr(Master_, TCSANOW, &Mode);

    const std::string Ports = Runtime + "/fieldcam/ports";
    mkdir((Runtime + "/fieldcam").c_str(), 0700);
    mkdir(Ports.c_str(), 0700);
    const std::string Link = Ports + "/COM" + std::to_string(Number);
    unlink(Link.c_str());
    if (symlink(SlavePath_.c_str(), Link.c_str()) != 0)
        throw std::runtime_error("cannot link " + Link);
}

Test_Port::~Test_Port() { Hang_Up(); }

void Test_Port::Send(const std::string &Bytes)
{
    size_t Done = 0;
    while (Master_ >= 0 && Done < Bytes.size()) {
        ssize_t N = write(Master_, Bytes.data() + Done, Bytes.size() - Done);
        if (N <= 0)
            break;
        Done += (size_t)N;
    }
}

std::string Test_Port::Receive(size_t Count, int TimeoutMs)
{
    using namespace std::chrono;
    const auto End = steady_clock::now() + milliseconds(TimeoutMs);
    std::string Bytes;
    while (Master_ >= 0 && Bytes.size() < Count) {
        const long long Left = duration_cast<milliseconds>(End - steady_clock::now()).count();
        if (Left <= 0)
            break;
        struct pollfd Ready = {Master_, POLLIN, 0};
        if (poll(&Ready, 1, (int)Left) <= 0)
            continue;
        char Buffer[4096];
        ssize_t N = read(Master_, Buffer, std::min(sizeof Buffer, Count - Bytes.size()));
        if (N <= 0)
            break;   // the tool's end is closed
        Bytes.append(Buffer, (size_t)N);
    }
    return Bytes;
}

void Test_Port::Hang_Up()
{
    if (Master_ >= 0)
        close(Master_);
    Master_ = -1;
}
