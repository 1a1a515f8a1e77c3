// The vector kernels of the focus measure (x86-64 only, each file built for its own instruction set;
// only call one that Imaging_Path_Supported() allows).
//
// Every luminance is b x 0.11f + g x 0.59f + r x 0.30f in double: each product and the sum are exact
// (a multiple of 2^-26 below 256), and a product of two luminances is one rounded multiply however many
// are done at once, so vectors give the same bits as the plain loop as long as the two sums are added
// in its order.
#pragma once

#include <cstdint>

// The single-precision weights, as the plain loop uses them.
constexpr float FOCUS_WEIGHT_BLUE = 0.11f;
constexpr float FOCUS_WEIGHT_GREEN = 0.59f;
constexpr float FOCUS_WEIGHT_RED = 0.30f;

// Writes the luminances of the Count pixels at Pixels into Lum, from the first on, as far as its vectors
// reach without reading past those 3 x Count bytes, and returns how many it did (a multiple of 4); the
// plain rule does the rest.
uint32_t Luminance_Run_Ssse3(const uint8_t *Pixels, uint32_t Count, double *Lum);

// The AVX2 walk of one row of H pixels (2 to 960): adds the products of the row's steps 0 to N - 1 to
// the two sums in the plain order, lag 1 before lag 2 at each step, and returns N (a multiple of 8; 0
// for a row under 16 pixels). The plain rule does the remaining steps and the row's last lag-1 pair.
uint32_t Fvol4_Row_Steps_Avx2(const uint8_t *Row, uint32_t H, double *Sum1Fvol4, double *Sum2Fvol4);
