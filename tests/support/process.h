// Test support: run a built program with its standard input, output and error on pipes, wait for
// what it prints, and make sure it never outlives the test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Paths of the programs under test, set by the build.
const char *Fieldcam_Path();
const char *Emulator_Path();

class Process {
  public:
    // Starts Argv[0] with the arguments that follow and the environment of the test with Env
    // ("NAME=value" each) added or replaced.
    explicit Process(const std::vector<std::string> &Argv, const std::vector<std::string> &Env = {});
    ~Process();   // a child still running is killed and reaped
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    void Write(const std::string &Text);   // to its standard input
    void Close_Input();

    // Waits until its standard output holds Needle (counted from the start, at least Count times).
    bool Wait_For_Output(const std::string &Needle, int TimeoutMs, int Count = 1);
    bool Wait_For_Errors(const std::string &Needle, int TimeoutMs);

    // Waits for it to end and returns its exit status, or -1 (after killing it) on time-out.
    // A child ended by a signal returns 128 + the signal number.
    int Wait(int TimeoutMs);
    bool Running();
    void Signal(int Number);
    pid_t Pid() const { return Pid_; }

    const std::string &Output();   // everything it printed so far
    const std::string &Errors();

  private:
    void Pump(int TimeoutMs);   // moves what is waiting on its output pipes into the strings
    pid_t Pid_ = -1;
    int In_ = -1, Out_ = -1, Err_ = -1;
    int Status_ = -1;
    std::string Output_, Errors_;
};

// A folder of its own for one test, removed with everything in it afterwards.
class Temp_Dir {
  public:
    Temp_Dir();
    ~Temp_Dir();
    const std::string &Path() const { return Path_; }

  private:
    std::string Path_;
};

std::string Read_File(const std::string &Path);
void Write_File(const std::string &Path, const std::string &Bytes);
std::string Hex(const void *Bytes, size_t Count);   // "A5 01 ..." upper case, blank-separated

// A run that has ended: its exit status (-1 when it had to be killed) and what it printed.
struct Finished_Run {
    int Status;
    std::string Output, Errors;
};

// Runs a program with Input on its standard input, then end of input, and waits for it to end.
Finished_Run Run_To_End(const std::vector<std::string> &Argv, const std::vector<std::string> &Env,
                        const std::string &Input, int TimeoutMs);
