// The vector kernels of the focus measure (x86-64 only, each file built for its own instruction set;
// only call one that Imaging_Path_Supported() allows).
//
// A kernel writes the luminances of the Count pixels at Pixels into Lum, from the first on, as far as
// its vectors reach without reading past those 3 x Count bytes, and returns how many it did (a multiple
// of its step); the plain rule does the rest. Every luminance is b x 0.11f + g x 0.59f + r x 0.30f in double: each product and the sum
// are exact (a multiple of 2^-26 below 256), so vectors give the same bits as the plain loop.
#pragma once

#include <cstdint>

// The single-precision weights, as the plain loop uses them.
constexpr float FOCUS_WEIGHT_BLUE = 0.11f;
constexpr float FOCUS_WEIGHT_GREEN = 0.59f;
constexpr float FOCUS_WEIGHT_RED = 0.30f;

uint32_t Luminance_Run_Ssse3(const uint8_t *Pixels, uint32_t Count, double *Lum);
uint32_t Luminance_Run_Avx2(const uint8_t *Pixels, uint32_t Count, double *Lum);
