// Luminances with AVX2: eight pixels per step, four doubles per vector.
#include <immintrin.h>

#include "imaging/focus_kernels.h"

// Byte c of pixel p (0 to 3) of a 16-byte load into 32-bit lane p, zero-extended.
static inline __m128i Channel_Mask(int First)
{
    return _mm_setr_epi8(First, -1, -1, -1, First + 3, -1, -1, -1, First + 6, -1, -1, -1, First + 9, -1, -1, -1);
}

static inline __m256d Luminance_Four(__m128i Pixels, int Offset)
{
    const __m256d Blue = _mm256_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Channel_Mask(Offset)));
    const __m256d Green = _mm256_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Channel_Mask(Offset + 1)));
    const __m256d Red = _mm256_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Channel_Mask(Offset + 2)));
    return _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(Blue, _mm256_set1_pd(FOCUS_WEIGHT_BLUE)),
                                       _mm256_mul_pd(Green, _mm256_set1_pd(FOCUS_WEIGHT_GREEN))),
                         _mm256_mul_pd(Red, _mm256_set1_pd(FOCUS_WEIGHT_RED)));
}

uint32_t Luminance_Run_Avx2(const uint8_t *Pixels, uint32_t Count, double *Lum)
{
    uint32_t J = 0;
    for (; J + 8 <= Count; J += 8) {
        // Bytes 0 to 15 hold pixels 0 to 3 from byte 0; bytes 8 to 23 hold pixels 4 to 7 from byte 4.
        const __m128i Low = _mm_loadu_si128((const __m128i *)(Pixels + 3 * J));
        const __m128i High = _mm_loadu_si128((const __m128i *)(Pixels + 3 * J + 8));
        _mm256_storeu_pd(Lum + J, Luminance_Four(Low, 0));
        _mm256_storeu_pd(Lum + J + 4, Luminance_Four(High, 4));
    }
    return J;
}
