// Hostile operators: two hundred generated dialogues typed into the real fieldcam binary.
//
// Each dialogue is a list of steps, each the text fieldcam prints (its prompt), what the operator
// types, and what fieldcam answers (a message, or nothing). The generator knows what it typed:
// random words, words of up to 10,000 characters, numbers beyond the 32-bit range, crops outside
// 2 to 960, signs and junk glued to numbers, random sensor numbers. Every dialogue is also cut short
// at a random step, which must end the run there with a line end and status 0. A run that crashes,
// hangs, prints anything else or ends with another status fails, with the seed and the case to
// replay it (FIELDCAM_HOSTILE_SEED=<seed> runs the same dialogues again).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "emulator_client.h"
#include "operator_texts.h"
#include "process.h"
#include "test_port.h"

namespace {


// Menu numbers with a sensor type, and each one's bus address.
const struct {
    int Number;
    uint8_t Address;
} Sensors[] = {{1, 0x21},  {2, 0x10},  {3, 0x0D},  {4, 0x0A},  {5, 0x26},  {20, 0x08}, {21, 0x09},
               {22, 0x04}, {23, 0x01}, {24, 0x81}, {25, 0x82}, {26, 0x83}, {27, 0x84}, {28, 0x85},
               {29, 0x86}, {40, 0x03}, {41, 0x25}, {42, 0x06}};

const int RunLimitMs = 30000;   // a run past this has hung

// One exchange: what fieldcam prints, what the operator types, what fieldcam answers. A pause step
// is the operator's Enter after a sensor message; its prompt is the menu that follows it.
struct Step {
    std::string Prompt, Answer, After;
    bool Pause = false;
};

enum Ending { ENDS_IN_LIVE_VIEW, LEAVES_THE_MENU };

struct Dialogue {
    std::vector<Step> Steps;
    Ending End = ENDS_IN_LIVE_VIEW;
    std::vector<uint8_t> Requests;   // bus addresses sent, in order, when every step is typed
};

// What a run given the first Given steps of a dialogue must print and end with.
struct Expected {
    std::string Input, Output;
    int Status;
    bool NoDisplayLine;
};

Expected Expect(const Dialogue &Talk, size_t Given)
{
    Expected Want{"", "", 0, false};
    for (size_t K = 0; K < Given; K++) {
        Want.Input += Talk.Steps[K].Answer;
        Want.Output += Talk.Steps[K].Prompt + Talk.Steps[K].After;
    }
    if (Given < Talk.Steps.size()) {
        // Standard input ends at this step: its question is asked, then the run ends with a line end.
        // An Enter that never comes ends the pause at once, and the menu's own question meets the end.
        Want.Output += Talk.Steps[Given].Prompt;
        if (Talk.Steps[Given].Pause)
            Want.Output += MenuPrompt;
        Want.Output += "\n";
    } else if (Talk.End == ENDS_IN_LIVE_VIEW) {
        Want.Status = 1;   // no display to open the window on
        Want.NoDisplayLine = true;
    }
    return Want;
}

// Printable text for a failure message: control bytes escaped, long runs shortened.
std::string Shown(const std::string &Text)
{
    std::string Out;
    for (size_t K = 0; K < Text.size(); K++) {
        size_t Run = 1;
        while (K + Run < Text.size() && Text[K + Run] == Text[K])
            Run++;
        const unsigned char C = (unsigned char)Text[K];
        char Byte[8];
        snprintf(Byte, sizeof Byte, C >= 0x20 && C < 0x7F && C != '\\' ? "%c" : "\\x%02X", C);
        Out += Byte;
        if (Run > 8) {
            Out += "{x" + std::to_string(Run) + "}";
            K += Run - 1;
        }
    }
    return Out;
}

class Generator {
  public:
    explicit Generator(unsigned Seed) : Random_(Seed) {}

    // A whole dialogue, the port answered with Port.
    Dialogue Make(const std::string &Port, const std::string &PortAfter)
    {
        Dialogue Talk;
        Talk.Steps.push_back({PortPrompt, Blanks() + Port + Separator(), PortAfter});
        const bool Sensors = Chance(2);
        Talk.Steps.push_back({ModePrompt, Yes_No(Sensors) + Separator(), ""});
        if (Sensors)
            Add_Menu(Talk);
        else
            Add_Camera(Talk);
        return Talk;
    }

    // A port word that names no port: a letter first, so it is never taken as a serial port number.
    std::pair<std::string, std::string> No_Port()
    {
        switch (Pick(6)) {
        case 0: return {"COM4", NoSuchPort};
        case 1: return {"0", NoSuchPort};   // COM0 is no port: they count from 1
        case 2: return {std::string(10, '7'), NameTooLong};
        case 3: return {Word(10 + Pick(10000 - 10)), NameTooLong};
        default: return {Word(1 + Pick(9)), NoSuchPort};
        }
    }

    size_t Pick(size_t Count) { return std::uniform_int_distribution<size_t>(0, Count - 1)(Random_); }
    bool Chance(size_t OneIn) { return Pick(OneIn) == 0; }

    // A sensor number with a sensor type behind it; its address goes into Requests.
    std::string Valid_Sensor(Dialogue &Talk)
    {
        const auto &Sensor = Sensors[Pick(sizeof Sensors / sizeof Sensors[0])];
        Talk.Requests.push_back(Sensor.Address);
        return (Chance(4) ? "+" : Chance(3) ? "000" : "") + std::to_string(Sensor.Number);
    }

  private:
    std::mt19937 Random_;

    std::string Blanks()
    {
        static const char *const Runs[] = {"", "", "", " ", "\t", "\n", "\n\n", " \t \n", "\r\n"};
        return Runs[Pick(sizeof Runs / sizeof Runs[0])];
    }
    std::string Separator()
    {
        static const char *const Runs[] = {"\n", "\n", " ", "\t", "\r\n", "\n\n\n", " \f\v "};
        return Runs[Pick(sizeof Runs / sizeof Runs[0])];
    }

    // Length bytes of anything but white space, a line end or 0xFF, starting with a byte that can
    // begin neither a number nor a yes.
    std::string Word(size_t Length)
    {
        static const std::string Starts = "abcdefghijklmnopqrstuvwxzABCDEFGHIJKLMNOPQRSTUVWXYZ_.,;:!?#$%&*()[]{}<>=/\\|~'\"`@^";
        std::string Text(1, Starts[Pick(Starts.size())]);
        while (Text.size() < Length) {
            const unsigned char C = (unsigned char)Pick(255);
            if (C != ' ' && (C < '\t' || C > '\r'))
                Text += (char)C;
        }
        return Text;
    }
    std::string Any_Length_Word() { return Word(Chance(10) ? 1000 + Pick(9000) : 1 + Pick(40)); }

    std::string Yes_No(bool Yes)
    {
        static const char *const Yeses[] = {"y", "yes", "yellow", "y\x01\x80"};
        static const char *const Noes[] = {"Y", "Yes", "n", "no", "x", "\xFE"};
        if (Yes)
            return Chance(8) ? "y" + std::string(300 + Pick(9700), 'y') : Yeses[Pick(4)];
        return Chance(4) ? Any_Length_Word() : Noes[Pick(6)];
    }

    void Add_Camera(Dialogue &Talk)
    {
        for (;;) {
            switch (Pick(7)) {
            case 0: {   // out of range, or beyond 32 bits whichever way it would wrap
                static const char *const Bad[] = {"0", "1", "961", "5000", "-3", "-0", "2147483648", "4294967776",
                                                  "99999999999", "-99999999999", "-2147483649",
                                                  "00000000000000000000000000000000000000000000000001"};
                Talk.Steps.push_back({CropPrompt, std::string(Bad[Pick(12)]) + Separator(), CropRange});
                continue;
            }
            case 1:   // not a number: the whole word goes
                Talk.Steps.push_back({CropPrompt, (Chance(3) ? "-" : "") + Any_Length_Word() + Separator(), CropRange});
                continue;
            case 2:   // a bad number glued to a word: two refusals, one for each
                Talk.Steps.push_back({CropPrompt, Chance(2) ? "0" : "1234", CropRange});
                Talk.Steps.push_back({CropPrompt, Word(1 + Pick(5)) + Separator(), CropRange});
                continue;
            default:
                break;
            }
            break;
        }
        // A good crop; now and then with leading zeros, or glued to the flash answer.
        const std::string Crop = std::to_string(2 + Pick(959));
        const bool Glued = Chance(4);
        Talk.Steps.push_back({CropPrompt, (Chance(4) ? std::string(1 + Pick(2000), '0') : "") + Crop +
                                              (Glued ? "" : Separator()), ""});
        Talk.Steps.push_back({FlashPrompt, Yes_No(Chance(2)) + Separator(), ""});
        Talk.Steps.push_back({LedPrompt, Yes_No(Chance(2)) + Separator(), ""});
        Talk.Steps.push_back({MotorsPrompt, Yes_No(Chance(2)) + Separator(), ""});
        Talk.End = ENDS_IN_LIVE_VIEW;
    }

    // Up to a dozen menu passes, then a number below 1.
    void Add_Menu(Dialogue &Talk)
    {
        static const char *const NoSensor[] = {"6", "19", "30", "39", "43", "59", "60", "1000", "+7",
                                               "2147483647", "99999999999", "4294967297"};
        static const char *const Leave[] = {"0", "-0", "00", "-5", "-2147483648", "-99999999999"};
        for (size_t Passes = Pick(12); Passes > 0; Passes--) {
            std::string Answer = Blanks(), After;
            switch (Pick(3)) {
            case 0: Answer += Valid_Sensor(Talk), After = Fail; break;   // no device: nothing answers
            case 1: Answer += NoSensor[Pick(12)], After = InvalidSensor; break;
            default: Answer += (Chance(3) ? "-" : "") + Any_Length_Word(), After = InvalidNumber; break;
            }
            // The pause throws away the rest of the answer's line, whatever it holds.
            if (Chance(4))
                Answer += (Chance(2) ? " " : "") + Word(1 + Pick(30));
            Talk.Steps.push_back({MenuPrompt, Answer + "\n", After});
            Talk.Steps.push_back({"", Chance(4) ? " " : "\n", "", true});
        }
        Talk.Steps.push_back({MenuPrompt, Blanks() + Leave[Pick(6)] + Separator(), ""});
        Talk.End = LEAVES_THE_MENU;
    }
};

// Runs fieldcam once per input, Parallel runs at a time, each input then end of input.
std::vector<Finished_Run> Run_All(const std::vector<std::string> &Inputs, const std::vector<std::string> &Env,
                                  size_t Parallel)
{
    std::vector<Finished_Run> Runs;
    for (size_t First = 0; First < Inputs.size(); First += Parallel) {
        std::vector<std::unique_ptr<Process>> Batch;
        for (size_t K = First; K < Inputs.size() && K < First + Parallel; K++) {
            // All of it must fit the pipe at once, so no run waits for another's turn to be read.
            EXPECT_LT(Inputs[K].size(), 60000u);
            Batch.push_back(std::make_unique<Process>(std::vector<std::string>{Fieldcam_Path()}, Env));
            Batch.back()->Write(Inputs[K]);
            Batch.back()->Close_Input();
        }
        for (auto &Program : Batch) {
            const int Status = Program->Wait(RunLimitMs);
            Runs.push_back({Status, Program->Output(), Program->Errors()});
        }
    }
    return Runs;
}

// Holds one run to what it must do; false when it did not.
bool Check_Run(const Finished_Run &Run, const Expected &Want, const std::string &Case)
{
    const bool ErrorsRight = Want.NoDisplayLine ? Run.Errors.find('\n') == Run.Errors.size() - 1 &&
                                                      Run.Errors.find("no display") != std::string::npos
                                                : Run.Errors.empty();
    EXPECT_EQ(Run.Status, Want.Status) << Case;
    EXPECT_EQ(Run.Output, Want.Output) << Case;
    EXPECT_TRUE(ErrorsRight) << "standard error: \"" << Run.Errors << "\", "
                             << (Want.NoDisplayLine ? "one line on the missing display" : "nothing") << Case;
    return Run.Status == Want.Status && Run.Output == Want.Output && ErrorsRight;
}

unsigned Seed()
{
    const char *Given = getenv("FIELDCAM_HOSTILE_SEED");
    return Given ? (unsigned)strtoul(Given, nullptr, 10) : 20240611u;
}

std::string Case_Text(unsigned Seed, size_t Index, const Expected &Want)
{
    return "\nseed " + std::to_string(Seed) + ", case " + std::to_string(Index) + ", typed: \"" + Shown(Want.Input) + "\"";
}

TEST(HostileInput, GeneratedDialoguesWithoutADeviceEndAsDecided)
{
    Temp_Dir Runtime;
    Generator Make(Seed());
    std::vector<Expected> Cases;
    for (int K = 0; K < 200; K++) {
        const auto Port = Make.No_Port();
        const Dialogue Talk = Make.Make(Port.first, Port.second + ZeroSettings);
        // Two in three typed to the end; the rest cut short at a random step, the first included.
        const size_t Given = Make.Chance(3) ? Make.Pick(Talk.Steps.size()) : Talk.Steps.size();
        Cases.push_back(Expect(Talk, Given));
    }
    std::vector<std::string> Inputs;
    for (const auto &Case : Cases)
        Inputs.push_back(Case.Input);
    const auto Runs = Run_All(Inputs, {"XDG_RUNTIME_DIR=" + Runtime.Path(), "DISPLAY=", "WAYLAND_DISPLAY="}, 4);
    // The first few failing cases tell enough; hundreds of transcripts would bury them.
    int Failed = 0;
    for (size_t K = 0; K < Cases.size() && Failed < 3; K++)
        Failed += Check_Run(Runs[K], Cases[K], Case_Text(Seed(), K, Cases[K])) ? 0 : 1;
}

// The settings line of a real port depends on the port; the rest of the transcript does not.
std::string Without_Settings_Line(const std::string &Output)
{
    const std::string Head = PortPrompt + Opened + "\nBaudRate = ";
    if (Output.compare(0, Head.size(), Head) != 0)
        return "(no port opened) " + Output;
    return PortPrompt + Opened + Output.substr(Output.find('\n', Head.size()) + 1);
}

std::string Hex_Of(const std::string &Bytes) { return Hex(Bytes.data(), Bytes.size()); }

// The sensor address requests for these bus addresses, back to back.
std::string Requests_Of(const std::vector<uint8_t> &Addresses)
{
    std::string Bytes;
    for (uint8_t Address : Addresses)
        Bytes += std::string{'\xF5', (char)Address, '\x01', '\x03', '\xC0', '\x01', '\x00', '\x00'};
    return Bytes;
}

// Dialogues typed against a real port, the test playing the device.
std::vector<Dialogue> Device_Dialogues(Generator &Make, const std::string &Port, size_t MaxRequests, size_t Count)
{
    std::vector<Dialogue> Talks;
    bool Camera = false;
    for (int Tries = 0; Talks.size() < Count && Tries < 1000; Tries++) {
        Dialogue Talk = Make.Make(Port, "");
        const bool Menu = Talk.End == LEAVES_THE_MENU;
        // One live-view dialogue is enough; the rest are menus with at least one request each.
        if (Menu ? Talk.Requests.empty() || Talk.Requests.size() > MaxRequests : Camera)
            continue;
        Camera = Camera || !Menu;
        Talks.push_back(Talk);
    }
    return Talks;
}

void Check_Device_Run(const Finished_Run &Run, const Expected &Want, const std::string &Case)
{
    EXPECT_EQ(Run.Status, Want.Status) << Case;
    // The port prompt's answer opens the port: the queue message and the port's own settings.
    EXPECT_EQ(Without_Settings_Line(Run.Output), PortPrompt + Opened + Want.Output.substr(PortPrompt.size())) << Case;
}

// A device that takes every request and never answers: each valid choice reports FAIL after its
// one-second read time-out, so only a few runs, with at most two requests each.
TEST(HostileInput, ASilentDeviceGetsExactlyTheValidRequestsAndNoFrameRequest)
{
    Temp_Dir Runtime;
    Test_Port Device(Runtime.Path(), 7);
    Generator Make(Seed() + 1);
    const std::vector<Dialogue> Talks = Device_Dialogues(Make, "7", 2, 3);
    ASSERT_EQ(Talks.size(), 3u);
    for (size_t K = 0; K < Talks.size(); K++) {
        const Expected Want = Expect(Talks[K], Talks[K].Steps.size());
        const std::string Case = Case_Text(Seed() + 1, K, Want);
        const Finished_Run Run = Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY=", "WAYLAND_DISPLAY="},
                                            Want.Input, RunLimitMs);
        Check_Device_Run(Run, Want, Case);
        // Live view without a display ends before its first frame request.
        EXPECT_EQ(Hex_Of(Device.Receive(4096, 200)), Hex_Of(Requests_Of(Talks[K].Requests))) << Case;
    }
}

// The emulator's sensor bus: OK for an address the first time, ALREADY SET after, over every run.
TEST(HostileInput, SensorSessionsAgainstTheEmulator)
{
    Temp_Dir Logs;
    const std::string Log = Logs.Path() + "/records";
    Emulator Device({"--log", Log});
    ASSERT_TRUE(Device.Started());
    Generator Make(Seed() + 2);
    const std::vector<Dialogue> Talks = Device_Dialogues(Make, "9", 100, 6);
    ASSERT_EQ(Talks.size(), 6u);

    std::set<uint8_t> Set;
    std::string Records;
    for (size_t K = 0; K < Talks.size(); K++) {
        Dialogue Talk = Talks[K];
        size_t Request = 0;
        for (Step &Each : Talk.Steps)
            if (Each.After == Fail)
                Each.After = Set.insert(Talk.Requests[Request++]).second ? Ok : AlreadySet;
        const Expected Want = Expect(Talk, Talk.Steps.size());
        const std::string Case = Case_Text(Seed() + 2, K, Want);
        Check_Device_Run(Run_To_End({Fieldcam_Path()}, {Device.Env(), "DISPLAY=", "WAYLAND_DISPLAY="}, Want.Input,
                                    RunLimitMs),
                         Want, Case);
        for (uint8_t Address : Talk.Requests)
            Records += Hex_Of(Requests_Of({Address})) + "\n";
    }
    EXPECT_EQ(Read_File(Log), Records) << "every record the emulator received, in order";
}

}   // namespace
