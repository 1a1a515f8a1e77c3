// The demosaicing rule on 128-bit vectors: eight pixels of one row at a time in 16-bit lanes.
//
// Shared by the SSE2 and SSSE3 kernels. Everything here is static inline, so each kernel file
// gets its own copy built with its own instruction set and no copy can leak into another file.
//
// Why 16-bit lanes are exact even for samples above 12 bits: a stored value is the low 8 bits of a
// sum shifted right by 4, 5 or 6, so it depends only on bits 4 to 13 of the sum. A sum that wraps
// modulo 65536 keeps bits 0 to 15, so the stored byte is the same as with wide integers.
#pragma once

#include <emmintrin.h>
#include <cstdint>

// Lane k of a vector holds pixel J + k; J is always even, so even lanes are even columns.
// Picks the even lanes from Even and the odd lanes from Odd, keeping only their low bytes.
static inline __m128i Pick_Low_Bytes(__m128i Even, __m128i Odd)
{
    const __m128i EvenLow = _mm_set1_epi32(0x000000FF), OddLow = _mm_set1_epi32(0x00FF0000);
    return _mm_or_si128(_mm_and_si128(Even, EvenLow), _mm_and_si128(Odd, OddLow));
}

static inline __m128i Load_Samples(const uint16_t *At)
{
    return _mm_loadu_si128((const __m128i *)At);
}

// Blue, green and red of the eight pixels whose centre samples start at Src, each value in the low
// byte of its 16-bit lane (high byte zero). Stride is the raw row length in samples.
static inline void Demosaic_Eight(const uint16_t *Src, uint32_t Stride, uint32_t OddRow, __m128i *Blue,
                                  __m128i *Green, __m128i *Red)
{
    const uint16_t *Up = Src - Stride, *Down = Src + Stride;
    const __m128i Centre = Load_Samples(Src);
    const __m128i Vertical = _mm_add_epi16(Load_Samples(Up), Load_Samples(Down));
    const __m128i Horizontal = _mm_add_epi16(Load_Samples(Src - 1), Load_Samples(Src + 1));
    const __m128i Diagonals = _mm_add_epi16(_mm_add_epi16(Load_Samples(Up - 1), Load_Samples(Up + 1)),
                                            _mm_add_epi16(Load_Samples(Down - 1), Load_Samples(Down + 1)));
    // One sample >> 4, a sum of two >> 5, a sum of four >> 6.
    const __m128i Own = _mm_srli_epi16(Centre, 4);
    const __m128i Vertical5 = _mm_srli_epi16(Vertical, 5);
    const __m128i Horizontal5 = _mm_srli_epi16(Horizontal, 5);
    const __m128i Diagonals6 = _mm_srli_epi16(Diagonals, 6);
    const __m128i Cross6 = _mm_srli_epi16(_mm_add_epi16(Vertical, Horizontal), 6);
    if (!OddRow) {   // G R G R ...: blue above and below a green, red beside it
        *Blue = Pick_Low_Bytes(Vertical5, Diagonals6);
        *Green = Pick_Low_Bytes(Own, Cross6);
        *Red = Pick_Low_Bytes(Horizontal5, Own);
    } else {         // B G B G ...: blue beside a green, red above and below it
        *Blue = Pick_Low_Bytes(Own, Horizontal5);
        *Green = Pick_Low_Bytes(Cross6, Own);
        *Red = Pick_Low_Bytes(Diagonals6, Vertical5);
    }
}

// The same for sixteen pixels, packed to one byte per pixel and channel.
static inline void Demosaic_Sixteen(const uint16_t *Src, uint32_t Stride, uint32_t OddRow, __m128i *Blue,
                                    __m128i *Green, __m128i *Red)
{
    __m128i B0, G0, R0, B1, G1, R1;
    Demosaic_Eight(Src, Stride, OddRow, &B0, &G0, &R0);
    Demosaic_Eight(Src + 8, Stride, OddRow, &B1, &G1, &R1);
    *Blue = _mm_packus_epi16(B0, B1);
    *Green = _mm_packus_epi16(G0, G1);
    *Red = _mm_packus_epi16(R0, R1);
}

#ifdef __SSSE3__
#include <tmmintrin.h>

// Byte t of output vector m takes byte (16 m + t) / 3 of channel (16 m + t) % 3 (blue, green, red);
// -1 leaves the byte zero for another channel to fill.
static const int8_t Interleave_Mask[3][3][16] = {
    {{0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5},
     {-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1},
     {-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1}},
    {{-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1},
     {5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10},
     {-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1}},
    {{-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1},
     {-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1},
     {10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15}},
};

static inline __m128i Interleave_Mask_Of(int Channel, int Part)
{
    return _mm_loadu_si128((const __m128i *)Interleave_Mask[Channel][Part]);
}

// Part (0 to 2) of the 48 bytes B G R B G R ... of sixteen pixels.
static inline __m128i Interleave_Part(__m128i Blue, __m128i Green, __m128i Red, int Part)
{
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(Blue, Interleave_Mask_Of(0, Part)),
                                     _mm_shuffle_epi8(Green, Interleave_Mask_Of(1, Part))),
                        _mm_shuffle_epi8(Red, Interleave_Mask_Of(2, Part)));
}

// Sixteen pixels from Src into the 48 bytes at Dest.
static inline void Demosaic_Store_Sixteen(const uint16_t *Src, uint8_t *Dest, uint32_t Stride, uint32_t OddRow)
{
    __m128i Blue, Green, Red;
    Demosaic_Sixteen(Src, Stride, OddRow, &Blue, &Green, &Red);
    for (int Part = 0; Part < 3; Part++)
        _mm_storeu_si128((__m128i *)(Dest + 16 * Part), Interleave_Part(Blue, Green, Red, Part));
}
#endif
