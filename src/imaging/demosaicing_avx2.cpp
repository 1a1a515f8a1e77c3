// Demosaicing with AVX2: sixteen pixels per 256-bit vector of 16-bit lanes, 32 per step.
#include <immintrin.h>

#include "imaging/demosaicing_kernels.h"
#include "imaging/demosaicing_sse.h"

static inline __m256i Load_Samples_256(const uint16_t *At)
{
    return _mm256_loadu_si256((const __m256i *)At);
}

// Even lanes (even columns) from Even, odd lanes from Odd, low bytes only.
static inline __m256i Pick_Low_Bytes_256(__m256i Even, __m256i Odd)
{
    return _mm256_and_si256(_mm256_blend_epi16(Even, Odd, 0xAA), _mm256_set1_epi16(0x00FF));
}

// As Demosaic_Eight, for sixteen pixels.
static inline void Demosaic_Sixteen_256(const uint16_t *Src, uint32_t Stride, uint32_t OddRow, __m256i *Blue,
                                        __m256i *Green, __m256i *Red)
{
    const uint16_t *Up = Src - Stride, *Down = Src + Stride;
    const __m256i Centre = Load_Samples_256(Src);
    const __m256i Vertical = _mm256_add_epi16(Load_Samples_256(Up), Load_Samples_256(Down));
    const __m256i Horizontal = _mm256_add_epi16(Load_Samples_256(Src - 1), Load_Samples_256(Src + 1));
    const __m256i Diagonals =
        _mm256_add_epi16(_mm256_add_epi16(Load_Samples_256(Up - 1), Load_Samples_256(Up + 1)),
                         _mm256_add_epi16(Load_Samples_256(Down - 1), Load_Samples_256(Down + 1)));
    const __m256i Own = _mm256_srli_epi16(Centre, 4);
    const __m256i Vertical5 = _mm256_srli_epi16(Vertical, 5);
    const __m256i Horizontal5 = _mm256_srli_epi16(Horizontal, 5);
    const __m256i Diagonals6 = _mm256_srli_epi16(Diagonals, 6);
    const __m256i Cross6 = _mm256_srli_epi16(_mm256_add_epi16(Vertical, Horizontal), 6);
    if (!OddRow) {
        *Blue = Pick_Low_Bytes_256(Vertical5, Diagonals6);
        *Green = Pick_Low_Bytes_256(Own, Cross6);
        *Red = Pick_Low_Bytes_256(Horizontal5, Own);
    } else {
        *Blue = Pick_Low_Bytes_256(Own, Horizontal5);
        *Green = Pick_Low_Bytes_256(Cross6, Own);
        *Red = Pick_Low_Bytes_256(Diagonals6, Vertical5);
    }
}

// Two vectors of sixteen 16-bit lanes to 32 bytes in pixel order (packus works within 128-bit halves).
static inline __m256i Pack_Bytes_256(__m256i First, __m256i Second)
{
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(First, Second), 0xD8);
}

static inline __m256i Interleave_Part_256(__m256i Blue, __m256i Green, __m256i Red, int Part)
{
    const __m256i MaskBlue = _mm256_broadcastsi128_si256(Interleave_Mask_Of(0, Part));
    const __m256i MaskGreen = _mm256_broadcastsi128_si256(Interleave_Mask_Of(1, Part));
    const __m256i MaskRed = _mm256_broadcastsi128_si256(Interleave_Mask_Of(2, Part));
    return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(Blue, MaskBlue), _mm256_shuffle_epi8(Green, MaskGreen)),
                           _mm256_shuffle_epi8(Red, MaskRed));
}

// 32 pixels from Src into the 96 bytes at Dest.
static inline void Demosaic_Store_Thirty_Two(const uint16_t *Src, uint8_t *Dest, uint32_t Stride, uint32_t OddRow)
{
    __m256i B0, G0, R0, B1, G1, R1;
    Demosaic_Sixteen_256(Src, Stride, OddRow, &B0, &G0, &R0);
    Demosaic_Sixteen_256(Src + 16, Stride, OddRow, &B1, &G1, &R1);
    const __m256i Blue = Pack_Bytes_256(B0, B1), Green = Pack_Bytes_256(G0, G1), Red = Pack_Bytes_256(R0, R1);
    // Each 128-bit half interleaves its own sixteen pixels: the lower half gives bytes 0 to 47, the
    // upper half bytes 48 to 95, in three parts each.
    const __m256i Part0 = Interleave_Part_256(Blue, Green, Red, 0);
    const __m256i Part1 = Interleave_Part_256(Blue, Green, Red, 1);
    const __m256i Part2 = Interleave_Part_256(Blue, Green, Red, 2);
    _mm256_storeu_si256((__m256i *)Dest, _mm256_permute2x128_si256(Part0, Part1, 0x20));
    _mm256_storeu_si256((__m256i *)(Dest + 32), _mm256_permute2x128_si256(Part2, Part0, 0x30));
    _mm256_storeu_si256((__m256i *)(Dest + 64), _mm256_permute2x128_si256(Part1, Part2, 0x31));
}

uint32_t Demosaic_Row_Avx2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow)
{
    uint32_t J = 0;
    for (; J + 32 <= H; J += 32)
        Demosaic_Store_Thirty_Two(Src + J, Dest + 3 * J, Stride, OddRow);
    if (J + 16 <= H) {
        Demosaic_Store_Sixteen(Src + J, Dest + 3 * J, Stride, OddRow);
        J += 16;
    }
    return J;
}
