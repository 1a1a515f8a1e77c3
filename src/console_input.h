// The operator's answers: one whitespace-delimited word, or one decimal number, from standard input,
// read as scanf's "%s" and "%d" would, but never written past the buffer given. Standard output is
// flushed before every read, so a prompt is on screen before the program waits for its answer.
#pragma once

#include <cstdint>

enum Console_Read {
    CONSOLE_READ_OK,
    CONSOLE_READ_TOO_LONG,      // a word longer than its buffer: consumed whole, the buffer holds its start
    CONSOLE_READ_NOT_A_NUMBER,  // no digits where a number should begin; that character stays unread
    CONSOLE_READ_END_OF_INPUT,  // standard input ended before an answer
};

// The next word: white space before it (line ends included) is skipped, the white space after it
// stays unread. Word receives at most Size - 1 characters and a terminating NUL.
Console_Read Console_Read_Word(char *Word, unsigned Size);

// The next signed decimal number: white space before it is skipped, an optional sign and the digits
// are taken, and the read stops at the first character that cannot continue the number, leaving it
// unread. A number beyond the 32-bit range reads as the nearer end of the range.
Console_Read Console_Read_Int(int32_t *Value);

// The press-enter pause: discard the rest of the current line (up to a line feed, a 0xFF byte or the
// end of input), then one more character, the operator's Enter.
void Console_Press_Enter(void);

// A yes/no answer is yes when its first character is a lower-case y.
bool Console_Is_Yes(const char *Word);
