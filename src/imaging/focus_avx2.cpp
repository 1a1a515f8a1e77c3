// Focus measure with AVX2: a row walk whose luminances and products are vectors of four doubles,
// computed beside the two running sums while those wait on their own additions.
#include <immintrin.h>

#include "device/acquisition.h"
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

// The lag-1 and lag-2 products of the four steps whose first luminances are Y (the next four are
// Next), one step per lane. A product is one rounded multiply whether four are done at once or one,
// so these are the plain loop's products.
static inline void Products_Four(__m256d Y, __m256d Next, double *Lag1, double *Lag2)
{
    const __m256d Two = _mm256_permute2f128_pd(Y, Next, 0x21);   // Y(j + 2) of each lane
    const __m256d One = _mm256_shuffle_pd(Y, Two, 0x5);          // Y(j + 1) of each lane
    _mm256_storeu_pd(Lag1, _mm256_mul_pd(Y, One));
    _mm256_storeu_pd(Lag2, _mm256_mul_pd(Y, Two));
}

// Steps J to J + 7 of the two chains of dependent additions, in the plain order, from products stored
// by an earlier pass: adding from memory keeps the shuffle units free for the luminances.
static inline void Add_Eight(const double *Lag1, const double *Lag2, uint32_t J, double *Sum1, double *Sum2)
{
    for (uint32_t K = J; K < J + 8; K++) {
        *Sum1 += Lag1[K];
        *Sum2 += Lag2[K];
    }
}

// The additions cannot be reordered: each sum is a chain, one add's latency per step. Everything else
// is independent of the chains: each pass of the loop computes the luminances of the next eight pixels
// and the products of its own eight steps in registers, stores the products, and adds those of the
// previous pass; so the processor runs the vector work ahead, beside the waiting adds, instead of in
// bursts between them. (Each product is read back from the one store that wrote it: a load across two
// stores that cannot retire until the chains catch up would stall.)
uint32_t Fvol4_Row_Steps_Avx2(const uint8_t *Row, uint32_t H, double *Sum1Fvol4, double *Sum2Fvol4)
{
    if (H < 16)
        return 0;
    double Lag1[CAMERA_MAX_PIXELS], Lag2[CAMERA_MAX_PIXELS];
    double Sum1 = *Sum1Fvol4, Sum2 = *Sum2Fvol4;
    __m256d Y0 = Luminance_Four(_mm_loadu_si128((const __m128i *)Row), 0);
    __m256d Y4 = Luminance_Four(_mm_loadu_si128((const __m128i *)(Row + 8)), 4);
    uint32_t J = 0;
    for (; J + 16 <= H; J += 8) {
        // Bytes 0 to 15 hold pixels 0 to 3 from byte 0, bytes 8 to 23 pixels 4 to 7 from byte 4: nothing
        // past the eight pixels' 24 bytes is read.
        const uint8_t *Ahead = Row + 3 * (J + 8);
        const __m256d Y8 = Luminance_Four(_mm_loadu_si128((const __m128i *)Ahead), 0);
        const __m256d Y12 = Luminance_Four(_mm_loadu_si128((const __m128i *)(Ahead + 8)), 4);
        Products_Four(Y0, Y4, Lag1 + J, Lag2 + J);
        Products_Four(Y4, Y8, Lag1 + J + 4, Lag2 + J + 4);
        if (J > 0)
            Add_Eight(Lag1, Lag2, J - 8, &Sum1, &Sum2);
        Y0 = Y8;
        Y4 = Y12;
    }
    Add_Eight(Lag1, Lag2, J - 8, &Sum1, &Sum2);
    *Sum1Fvol4 = Sum1;
    *Sum2Fvol4 = Sum2;
    return J;
}
