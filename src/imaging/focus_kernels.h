// The vector kernels of the focus measure (x86-64 only, each file built for its own instruction set;
// only call one that Imaging_Path_Supported() allows).
//
// A kernel writes the luminances of a row's pixels 0, 1, 2, ... into Lum as far as its vectors reach
// without reading past the row's 3 x H bytes at Row, and returns how many it did; the plain rule does
// the rest. Every luminance is b x 0.11f + g x 0.59f + r x 0.30f in double: each product and the sum
// are exact (a multiple of 2^-26 below 256), so vectors give the same bits as the plain loop.
#pragma once

#include <cstdint>

// The single-precision weights, as the plain loop uses them.
constexpr float FOCUS_WEIGHT_BLUE = 0.11f;
constexpr float FOCUS_WEIGHT_GREEN = 0.59f;
constexpr float FOCUS_WEIGHT_RED = 0.30f;

uint32_t Luminance_Row_Ssse3(const uint8_t *Row, uint32_t H, double *Lum);
uint32_t Luminance_Row_Avx2(const uint8_t *Row, uint32_t H, double *Lum);
