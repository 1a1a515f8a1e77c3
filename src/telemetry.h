// The telemetry line: one console line per live-view frame with the device's state as its status
// record reports it. The line is written segment by segment; only the last segment ends it.
#pragma once

#include <cstdio>

// Writes the line for the status record in DevStat to Out. The frame counter counts the lines of the
// run from 0; the LED colour name stays as it was when the record's colour code has no name.
void Telemetry_Print_Line(FILE *Out);

// Starts the frame counter and the colour name afresh, as at program start.
void Telemetry_Reset(void);
