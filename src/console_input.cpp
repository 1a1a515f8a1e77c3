#include "console_input.h"

#include <cctype>
#include <cstdio>

// Skips white space; returns the first other character, or EOF.
static int Skip_White_Space(void)
{
    int C;
    do {
        C = getchar();
    } while (C != EOF && isspace(C));
    return C;
}

Console_Read Console_Read_Word(char *Word, unsigned Size)
{
    fflush(stdout);
    int C = Skip_White_Space();
    if (C == EOF) {
        Word[0] = '\0';
        return CONSOLE_READ_END_OF_INPUT;
    }
    unsigned Length = 0;
    bool TooLong = false;
    while (C != EOF && !isspace(C)) {
        if (Length + 1 < Size)
            Word[Length++] = (char)C;
        else
            TooLong = true;
        C = getchar();
    }
    if (C != EOF)
        ungetc(C, stdin);
    Word[Length] = '\0';
    return TooLong ? CONSOLE_READ_TOO_LONG : CONSOLE_READ_OK;
}

Console_Read Console_Read_Int(int32_t *Value)
{
    fflush(stdout);
    int C = Skip_White_Space();
    if (C == EOF)
        return CONSOLE_READ_END_OF_INPUT;

    bool Negative = false;
    if (C == '+' || C == '-') {
        Negative = C == '-';
        C = getchar();
    }
    if (C == EOF || !isdigit(C)) {
        if (C != EOF)
            ungetc(C, stdin);
        return CONSOLE_READ_NOT_A_NUMBER;
    }

    // Accumulate the magnitude up to just past the 32-bit range, then saturate.
    const int64_t Limit = (int64_t)INT32_MAX + 1;
    int64_t Magnitude = 0;
    while (C != EOF && isdigit(C)) {
        if (Magnitude <= Limit)
            Magnitude = Magnitude * 10 + (C - '0');
        C = getchar();
    }
    if (C != EOF)
        ungetc(C, stdin);

    if (Negative)
        *Value = Magnitude >= Limit ? INT32_MIN : (int32_t)-Magnitude;
    else
        *Value = Magnitude > INT32_MAX ? INT32_MAX : (int32_t)Magnitude;
    return CONSOLE_READ_OK;
}

void Console_Press_Enter(void)
{
    fflush(stdout);
    // Each character is taken as a byte, so the end of input (EOF, -1) reads as 0xFF and ends the
    // line as well as a line feed does.
    uint8_t C;
    do {
        C = (uint8_t)getchar();
    } while (C != 0x0A && C != 0xFF);
    getchar();
}

bool Console_Is_Yes(const char *Word) { return Word[0] == 'y'; }
