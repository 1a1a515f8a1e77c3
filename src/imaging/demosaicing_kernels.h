// The vector kernels of the demosaicing, one row at a time (x86-64 only, each file built for its own
// instruction set; only call one that Imaging_Path_Supported() allows).
//
// Src points at the centre sample of the row's first pixel, Dest at its first output byte, Stride is
// the raw row length in samples (H + 4), OddRow says whether the row reads B G B G ... Each kernel
// demosaics pixels 0, 1, 2, ... of the row as far as its vectors reach without reading or writing past
// the row, and returns how many it did (a multiple of 16); the plain rule finishes the rest.
#pragma once

#include <cstdint>

uint32_t Demosaic_Row_Sse2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow);
uint32_t Demosaic_Row_Ssse3(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow);

// The AVX2 kernel takes a band of Rows rows at once (1 to DEMOSAIC_BAND_ROWS, the first an even row
// and the rest following it), Src and Dest as above for the band's first row; it does the same pixels
// in each of them and returns how many (a multiple of 16).
constexpr uint32_t DEMOSAIC_BAND_ROWS = 4;
uint32_t Demosaic_Band_Avx2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t Rows);
