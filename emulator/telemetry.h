// The device's status record as the emulated device would report it at a moment of its life: a
// battery draining slowly, temperature and humidity drifting, the modem booting and registering, the
// signal jittering, the LED cycling through its colours, tilt and NFC now and then.
#pragma once

#include <cstdint>
#include <random>

// Fills the 16 bytes of a status record for the moment ElapsedMs after the device started.
void Telemetry_Record(uint64_t ElapsedMs, std::mt19937 &Random, uint8_t *Record);
