// Fuzz target: the console readers on standard input of any content.
//
// The input is a short script of reads followed by the text that standard input then holds:
//   byte 0          how many reads (1 to 8)
//   one byte each   the read: low two bits 0 a word into a buffer of 1 + (byte >> 2) bytes,
//                   1 a number, 2 the press-enter pause, 3 a word into a 256-byte buffer
//   the rest        standard input, through a memory stream put in place of stdin
// Each read is held against a model of the operator's words written from the scanf rules: the word
// or number it gives, the buffer never written past (each buffer is exactly its size, on the heap,
// so AddressSanitizer sees one byte too many), numbers beyond 32 bits saturated, and exactly as
// much of standard input consumed as the rules say, no more and no less.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "console_input.h"

namespace {

// What the rules say of one read, and where standard input stands after it.
struct Model {
    const uint8_t *Text;
    size_t Size, At;

    bool Ended() const { return At >= Size; }
    void Skip_White_Space()
    {
        while (!Ended() && isspace(Text[At]))
            At++;
    }

    Console_Read Word(std::string *Word, unsigned BufferSize)
    {
        Skip_White_Space();
        if (Ended())
            return CONSOLE_READ_END_OF_INPUT;
        size_t Length = 0;
        while (!Ended() && !isspace(Text[At]))
            At++, Length++;
        const size_t Kept = std::min<size_t>(Length, BufferSize - 1);
        *Word = std::string((const char *)Text + At - Length, Kept);
        return Length > Kept ? CONSOLE_READ_TOO_LONG : CONSOLE_READ_OK;
    }

    Console_Read Int(int32_t *Value)
    {
        Skip_White_Space();
        if (Ended())
            return CONSOLE_READ_END_OF_INPUT;
        bool Negative = false;
        if (Text[At] == '+' || Text[At] == '-')
            Negative = Text[At++] == '-';
        if (Ended() || !isdigit(Text[At]))
            return CONSOLE_READ_NOT_A_NUMBER;
        // Digits as a decimal string compared with the range's ends, without any arithmetic.
        size_t First = At;
        while (!Ended() && isdigit(Text[At]))
            At++;
        while (First + 1 < At && Text[First] == '0')
            First++;
        const std::string Digits((const char *)Text + First, At - First);
        const std::string Limit = Negative ? "2147483648" : "2147483647";
        if (Digits.size() > Limit.size() || (Digits.size() == Limit.size() && Digits > Limit))
            *Value = Negative ? INT32_MIN : INT32_MAX;
        else
            *Value = (int32_t)(Negative ? -std::stoll(Digits) : std::stoll(Digits));
        return CONSOLE_READ_OK;
    }

    void Press_Enter()
    {
        while (!Ended()) {
            const uint8_t C = Text[At++];
            if (C == 0x0A || C == 0xFF)
                break;
        }
        if (!Ended())
            At++;
    }
};

void Require(bool Condition, const char *What, int Step)
{
    if (Condition)
        return;
    fprintf(stderr, "console input, read %d: %s\n", Step, What);
    abort();
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The readers flush standard output before each read; nothing needs to be seen.
    if (!freopen("/dev/null", "w", stdout))
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    if (Size < 1)
        return 0;
    const size_t Reads = 1 + Data[0] % 8;
    if (Size < 1 + Reads)
        return 0;
    const uint8_t *Script = Data + 1;
    Model Expected{Data + 1 + Reads, Size - 1 - Reads, 0};

    // An empty memory stream is refused; /dev/null is just as empty.
    FILE *Input = Expected.Size ? fmemopen((void *)Expected.Text, Expected.Size, "r") : fopen("/dev/null", "r");
    if (!Input)
        abort();
    FILE *Saved = stdin;
    stdin = Input;

    for (size_t Step = 0; Step < Reads; Step++) {
        const uint8_t Op = Script[Step];
        if ((Op & 3) == 0 || (Op & 3) == 3) {
            const unsigned BufferSize = (Op & 3) == 3 ? 256 : 1 + (Op >> 2);
            std::unique_ptr<char[]> Word(new char[BufferSize]);
            std::string Want;
            const Console_Read Got = Console_Read_Word(Word.get(), BufferSize);
            Require(Got == Expected.Word(&Want, BufferSize), "word result", (int)Step);
            if (Got != CONSOLE_READ_END_OF_INPUT)
                Require(memcmp(Word.get(), Want.data(), Want.size()) == 0 && Word[Want.size()] == '\0', "word text",
                        (int)Step);
            else
                Require(Word[0] == '\0', "an empty word at the end of input", (int)Step);
        } else if ((Op & 3) == 1) {
            int32_t Value = 0x5A5A5A5A, Want = 0x5A5A5A5A;
            const Console_Read Got = Console_Read_Int(&Value);
            Require(Got == Expected.Int(&Want), "number result", (int)Step);
            Require(Value == Want, "number value", (int)Step);
        } else {
            Console_Press_Enter();
            Expected.Press_Enter();
        }
        Require(ftell(stdin) == (long)Expected.At, "standard input consumed as the rules say", (int)Step);
    }

    stdin = Saved;
    fclose(Input);
    return 0;
}
