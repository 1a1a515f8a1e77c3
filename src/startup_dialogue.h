// The start-up dialogue: port question, mode question, camera options. Every question is asked once,
// in this order, and its answer is read from standard input as one word or one number.
#pragma once

#include <cstdint>

constexpr unsigned TMP_CHAR_SIZE = 256;   // a yes/no answer: 255 characters and the NUL

enum Dialogue_Mode {
    MODE_LIVE_VIEW,
    MODE_SENSOR_ADDRESSES,
    MODE_END_OF_INPUT,
};

// Asks for the COM port and stores the word in ComNumber. WordTooLong tells that it did not fit.
// False when standard input ended instead.
bool Dialogue_Port(bool *WordTooLong);

// Asks which mode to run. On a yes the command record becomes a sensor address request.
Dialogue_Mode Dialogue_Mode_Question(char *TmpChar);

// Asks the crop (again, until it lies within 2 to 960) and the three deactivation questions, and
// writes the answers into the crop globals and the command record. False when standard input ended.
bool Dialogue_Camera_Options(char *TmpChar, int32_t *TmpInt);
