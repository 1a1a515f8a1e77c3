// --measure: how fast the emulator renders and serves frames at crop 960, against how fast the
// pseudo-terminal itself carries bytes, all measured in this one run on this machine.
#pragma once

#include "options.h"

int Measure_Run(const Options &Opts);
