// Sensor address assignment: the operator picks a sensor type by its menu number, the device is asked
// to give the attached sensor that type's bus address, and its answer is shown (failed, done, already
// set). After each message the operator presses Enter and the menu comes again; a number below 1,
// or the end of standard input, leaves the mode.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr unsigned SENSORS_ADRESS_SIZE = 60;

// The bus address of each sensor type by menu number; 0 where no sensor type has that number.
extern const uint8_t SensorsAdress[SENSORS_ADRESS_SIZE];

// Runs the menu until the operator leaves it. The command code must already be the sensor address
// request's.
void Sensor_Menu(HANDLE hCom, int32_t *TmpInt);
