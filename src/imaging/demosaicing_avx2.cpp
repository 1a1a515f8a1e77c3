// Demosaicing with AVX2: sixteen pixels per 256-bit vector of 16-bit lanes, 32 per step.
#include <immintrin.h>

#include "imaging/demosaicing_kernels.h"
#include "imaging/demosaicing_sse.h"

static inline __m256i Load_Samples_256(const uint16_t *At)
{
    return _mm256_loadu_si256((const __m256i *)At);
}

// Even lanes (even columns) from Even, odd lanes from Odd.
static inline __m256i Pick_256(__m256i Even, __m256i Odd)
{
    return _mm256_blend_epi16(Even, Odd, 0xAA);
}

// Sixteen pixels from Src as 16-bit words: blue in the low byte and green in the high byte of
// BlueGreen, red in the low byte of Red (its high byte zero). The rule is Demosaic_Eight's.
static inline void Demosaic_Sixteen_256(const uint16_t *Src, uint32_t Stride, uint32_t OddRow, __m256i *BlueGreen,
                                        __m256i *Red)
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
    __m256i Blue, Green;
    if (!OddRow) {
        Blue = Pick_256(Vertical5, Diagonals6);
        Green = Pick_256(Own, Cross6);
        *Red = Pick_256(Horizontal5, Own);
    } else {
        Blue = Pick_256(Own, Horizontal5);
        Green = Pick_256(Cross6, Own);
        *Red = Pick_256(Diagonals6, Vertical5);
    }
    // Shifting green up by 8 keeps just its low byte, which is all that is stored.
    const __m256i LowByte = _mm256_set1_epi16(0x00FF);
    *BlueGreen = _mm256_or_si256(_mm256_and_si256(Blue, LowByte), _mm256_slli_epi16(Green, 8));
    *Red = _mm256_and_si256(*Red, LowByte);
}

// Each 128-bit half of a BlueGreen vector holds eight pixels, whose 24 output bytes are written as two
// overlapping pieces of 16: bytes 0 to 15 (Front) and bytes 8 to 23 (Back). Byte t of a piece takes,
// for blue or green, byte 2p or 2p + 1 of BlueGreen, and for red byte p of the packed reds, p being the
// pixel the byte belongs to; -1 leaves it zero for the other vector to fill.
static const int8_t Front_Blue_Green[16] = {0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10};
static const int8_t Back_Blue_Green[16] = {-1, 6, 7, -1, 8, 9, -1, 10, 11, -1, 12, 13, -1, 14, 15, -1};
// For the first sixteen pixels of a step their reds are bytes 0 to 7 of each half; for the second, 8 to 15.
static const int8_t Front_Red[2][16] = {{-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1},
                                        {-1, -1, 8, -1, -1, 9, -1, -1, 10, -1, -1, 11, -1, -1, 12, -1}};
static const int8_t Back_Red[2][16] = {{2, -1, -1, 3, -1, -1, 4, -1, -1, 5, -1, -1, 6, -1, -1, 7},
                                       {10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15}};

static inline __m256i Mask_256(const int8_t *Mask)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i *)Mask));
}

// Sixteen pixels' 48 bytes at Dest: the lower half's eight pixels, then the upper half's.
static inline void Store_Sixteen(__m256i BlueGreen, __m256i Reds, int Which, uint8_t *Dest)
{
    const __m256i Front = _mm256_or_si256(_mm256_shuffle_epi8(BlueGreen, Mask_256(Front_Blue_Green)),
                                          _mm256_shuffle_epi8(Reds, Mask_256(Front_Red[Which])));
    const __m256i Back = _mm256_or_si256(_mm256_shuffle_epi8(BlueGreen, Mask_256(Back_Blue_Green)),
                                         _mm256_shuffle_epi8(Reds, Mask_256(Back_Red[Which])));
    _mm_storeu_si128((__m128i *)Dest, _mm256_castsi256_si128(Front));
    _mm_storeu_si128((__m128i *)(Dest + 8), _mm256_castsi256_si128(Back));
    _mm_storeu_si128((__m128i *)(Dest + 24), _mm256_extracti128_si256(Front, 1));
    _mm_storeu_si128((__m128i *)(Dest + 32), _mm256_extracti128_si256(Back, 1));
}

// 32 pixels from Src into the 96 bytes at Dest.
static inline void Demosaic_Store_Thirty_Two(const uint16_t *Src, uint8_t *Dest, uint32_t Stride, uint32_t OddRow)
{
    __m256i BlueGreen0, Red0, BlueGreen1, Red1;
    Demosaic_Sixteen_256(Src, Stride, OddRow, &BlueGreen0, &Red0);
    Demosaic_Sixteen_256(Src + 16, Stride, OddRow, &BlueGreen1, &Red1);
    // Per 128-bit half: the reds of BlueGreen0's eight pixels, then those of BlueGreen1's.
    const __m256i Reds = _mm256_packus_epi16(Red0, Red1);
    Store_Sixteen(BlueGreen0, Reds, 0, Dest);
    Store_Sixteen(BlueGreen1, Reds, 1, Dest + 48);
}

// The row with OddRow fixed, so that each of the two forms is compiled without the test in its loop.
static inline __attribute__((always_inline)) uint32_t Demosaic_Row(const uint16_t *Src, uint8_t *Dest, uint32_t H,
                                                                   uint32_t Stride, uint32_t OddRow)
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

uint32_t Demosaic_Row_Avx2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow)
{
    return OddRow ? Demosaic_Row(Src, Dest, H, Stride, 1) : Demosaic_Row(Src, Dest, H, Stride, 0);
}
