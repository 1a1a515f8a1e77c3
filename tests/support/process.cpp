#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char *Fieldcam_Path() { return FIELDCAM_BIN; }
const char *Emulator_Path() { return FIELDCAM_EMU_BIN; }

static long long Now_Ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Process::Process(const std::vector<std::string> &Argv, const std::vector<std::string> &Env)
{
    int InPipe[2], OutPipe[2], ErrPipe[2];
    if (pipe2(InPipe, O_CLOEXEC) || pipe2(OutPipe, O_CLOEXEC) || pipe2(ErrPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    // A test that stops reading must not die of SIGPIPE when it writes to a child that has ended.
    signal(SIGPIPE, SIG_IGN);

    Pid_ = fork();
    if (Pid_ < 0)
        throw std::runtime_error("fork failed");
    if (Pid_ == 0) {
        dup2(InPipe[0], 0);
        dup2(OutPipe[1], 1);
        dup2(ErrPipe[1], 2);
        setpgid(0, 0);   // its own group: killing the group ends whatever it started too
        for (const auto &Variable : Env)
            putenv(strdup(Variable.c_str()));
        std::vector<char *> Args;
        for (const auto &Arg : Argv)
            Args.push_back(const_cast<char *>(Arg.c_str()));
        Args.push_back(nullptr);
        signal(SIGPIPE, SIG_DFL);
        execv(Args[0], Args.data());
        _exit(127);
    }
    close(InPipe[0]);
    close(OutPipe[1]);
    close(ErrPipe[1]);
    In_ = InPipe[1];
    Out_ = OutPipe[0];
    Err_ = ErrPipe[0];
}

Process::~Process()
{
    if (Running()) {
        kill(-Pid_, SIGKILL);
        kill(Pid_, SIGKILL);
        waitpid(Pid_, nullptr, 0);
    }
    for (int Fd : {In_, Out_, Err_})
        if (Fd >= 0)
            close(Fd);
}

void Process::Write(const std::string &Text)
{
    size_t Done = 0;
    while (In_ >= 0 && Done < Text.size()) {
        ssize_t N = write(In_, Text.data() + Done, Text.size() - Done);
        if (N <= 0)
            break;
        Done += (size_t)N;
    }
}

void Process::Close_Input()
{
    if (In_ >= 0)
        close(In_);
    In_ = -1;
}

void Process::Pump(int TimeoutMs)
{
    struct pollfd Fds[2] = {{Out_, POLLIN, 0}, {Err_, POLLIN, 0}};
    if (poll(Fds, 2, TimeoutMs) <= 0)
        return;
    char Buffer[65536];
    for (int K = 0; K < 2; K++) {
        if (!(Fds[K].revents & (POLLIN | POLLHUP)))
            continue;
        ssize_t N = read(Fds[K].fd, Buffer, sizeof Buffer);
        if (N > 0)
            (K == 0 ? Output_ : Errors_).append(Buffer, (size_t)N);
        else if (N == 0) {   // closed: stop polling it
            close(Fds[K].fd);
            (K == 0 ? Out_ : Err_) = -1;
        }
    }
}

static size_t Count_Of(const std::string &Haystack, const std::string &Needle)
{
    size_t Found = 0;
    for (size_t At = Haystack.find(Needle); At != std::string::npos; At = Haystack.find(Needle, At + Needle.size()))
        Found++;
    return Found;
}

bool Process::Wait_For_Output(const std::string &Needle, int TimeoutMs, int Count)
{
    const long long End = Now_Ms() + TimeoutMs;
    while (Count_Of(Output_, Needle) < (size_t)Count) {
        const long long Left = End - Now_Ms();
        if (Left <= 0 || (Out_ < 0 && Err_ < 0))
            return false;
        Pump((int)std::min(Left, 50LL));
    }
    return true;
}

bool Process::Wait_For_Errors(const std::string &Needle, int TimeoutMs)
{
    const long long End = Now_Ms() + TimeoutMs;
    while (Errors_.find(Needle) == std::string::npos) {
        const long long Left = End - Now_Ms();
        if (Left <= 0 || (Out_ < 0 && Err_ < 0))
            return false;
        Pump((int)std::min(Left, 50LL));
    }
    return true;
}

bool Process::Running()
{
    if (Pid_ <= 0 || Status_ != -1)
        return false;
    int Raw;
    if (waitpid(Pid_, &Raw, WNOHANG) == Pid_) {
        Status_ = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : 128 + WTERMSIG(Raw);
        return false;
    }
    return true;
}

int Process::Wait(int TimeoutMs)
{
    const long long End = Now_Ms() + TimeoutMs;
    while (Running()) {
        if (Now_Ms() >= End) {
            kill(-Pid_, SIGKILL);
            kill(Pid_, SIGKILL);
            waitpid(Pid_, nullptr, 0);
            Status_ = -2;
            return -1;
        }
        if (Out_ >= 0 || Err_ >= 0)
            Pump(10);
        else
            usleep(2000);
    }
    while (Out_ >= 0 || Err_ >= 0)   // what it printed before it ended
        Pump(100);
    return Status_ == -2 ? -1 : Status_;
}

void Process::Signal(int Number)
{
    if (Running())
        kill(Pid_, Number);
}

const std::string &Process::Output()
{
    if (Out_ >= 0)
        Pump(0);
    return Output_;
}

const std::string &Process::Errors()
{
    if (Err_ >= 0)
        Pump(0);
    return Errors_;
}

Temp_Dir::Temp_Dir()
{
    char Template[] = "/tmp/fieldcam-test-XXXXXX";
    if (!mkdtemp(Template))
        throw std::runtime_error("mkdtemp failed");
    Path_ = Template;
}

Temp_Dir::~Temp_Dir()
{
    std::error_code Ignored;
    std::filesystem::remove_all(Path_, Ignored);
}

std::string Read_File(const std::string &Path)
{
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

void Write_File(const std::string &Path, const std::string &Bytes)
{
    std::ofstream Out(Path, std::ios::binary);
    Out.write(Bytes.data(), (std::streamsize)Bytes.size());
}

std::string Hex(const void *Bytes, size_t Count)
{
    std::string Text;
    char Digits[4];
    for (size_t K = 0; K < Count; K++) {
        snprintf(Digits, sizeof Digits, K ? " %02X" : "%02X", ((const unsigned char *)Bytes)[K]);
        Text += Digits;
    }
    return Text;
}

Finished_Run Run_To_End(const std::vector<std::string> &Argv, const std::vector<std::string> &Env,
                        const std::string &Input, int TimeoutMs)
{
    Process Program(Argv, Env);
    Program.Write(Input);
    Program.Close_Input();
    const int Status = Program.Wait(TimeoutMs);
    return {Status, Program.Output(), Program.Errors()};
}
