// Luminances with SSSE3: four pixels per step, two doubles per vector.
#include <tmmintrin.h>

#include "imaging/focus_kernels.h"

// Byte Channel of pixels First and First + 1 into 32-bit lanes 0 and 1, zero-extended. The vector
// holds the step's bytes 0 to 7 then bytes 4 to 11, so byte k lies at k below 8 and at k + 4 above.
static inline __m128i Pair_Mask(int First, int Channel)
{
    const int At0 = 3 * First + Channel, At1 = 3 * (First + 1) + Channel;
    return _mm_setr_epi8(At0 < 8 ? At0 : At0 + 4, -1, -1, -1, At1 < 8 ? At1 : At1 + 4, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1);
}

static inline __m128d Luminance_Two(__m128i Pixels, int First)
{
    const __m128d Blue = _mm_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Pair_Mask(First, 0)));
    const __m128d Green = _mm_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Pair_Mask(First, 1)));
    const __m128d Red = _mm_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Pair_Mask(First, 2)));
    return _mm_add_pd(_mm_add_pd(_mm_mul_pd(Blue, _mm_set1_pd(FOCUS_WEIGHT_BLUE)),
                                 _mm_mul_pd(Green, _mm_set1_pd(FOCUS_WEIGHT_GREEN))),
                      _mm_mul_pd(Red, _mm_set1_pd(FOCUS_WEIGHT_RED)));
}

uint32_t Luminance_Run_Ssse3(const uint8_t *Pixels, uint32_t Count, double *Lum)
{
    uint32_t J = 0;
    for (; J + 4 <= Count; J += 4) {
        // The step's twelve bytes, read as two overlapping eight-byte halves so nothing past them is read.
        const uint8_t *At = Pixels + 3 * J;
        const __m128i Pixels = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)At),
                                                  _mm_loadl_epi64((const __m128i *)(At + 4)));
        _mm_storeu_pd(Lum + J, Luminance_Two(Pixels, 0));
        _mm_storeu_pd(Lum + J + 2, Luminance_Two(Pixels, 2));
    }
    return J;
}
