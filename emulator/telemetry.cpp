#include "telemetry.h"

#include <cmath>
#include <cstring>

#include "device/records.h"

static void Put_Le16(uint8_t *At, int16_t Value)
{
    At[0] = (uint8_t)((uint16_t)Value & 0xFF);
    At[1] = (uint8_t)((uint16_t)Value >> 8);
}

void Telemetry_Record(uint64_t ElapsedMs, std::mt19937 &Random, uint8_t *Record)
{
    const double Seconds = ElapsedMs / 1000.0;
    std::uniform_int_distribution<int> Jitter(-3, 3);
    memset(Record, 0, DEV_STAT_SIZE);

    Record[0] = 0;   // HyperRAM in order
    // Tenths of a degree and of a percent, signed, low byte first.
    Put_Le16(Record + 1, (int16_t)std::lround(235 + 15 * std::sin(Seconds / 40) + 3 * std::sin(Seconds / 7)));
    Put_Le16(Record + 3, (int16_t)std::lround(456 - 40 * std::sin(Seconds / 55) + 5 * std::sin(Seconds / 9)));
    Record[5] = (uint8_t)(ElapsedMs / 2000 % 4);   // red, green, blue, white, two seconds each
    // About 3.9 V, one step (17 mV) down every two minutes, never below 3.4 V.
    const long Battery = 227 - (long)(ElapsedMs / 120000);
    Record[6] = (uint8_t)(Battery < 198 ? 198 : Battery);
    // The modem boots, takes its configuration, then stays registered.
    Record[7] = ElapsedMs < 1500 ? 0 : ElapsedMs < 3500 ? 1 : 2;
    // IR voltage around 0.9 V, high byte first.
    const uint16_t Ir = (uint16_t)std::lround(32768 + 3000 * std::sin(Seconds / 13));
    Record[8] = (uint8_t)(Ir >> 8);
    Record[9] = (uint8_t)(Ir & 0xFF);
    Record[10] = (ElapsedMs % 17000) < 1200 && ElapsedMs > 5000;   // a knock now and then
    Record[11] = (ElapsedMs % 23000) > 20000;                      // a card held near it
    Record[12] = (uint8_t)(int8_t)(-70 + Jitter(Random));
}
