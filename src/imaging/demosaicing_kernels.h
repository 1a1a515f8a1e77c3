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
uint32_t Demosaic_Row_Avx2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow);
