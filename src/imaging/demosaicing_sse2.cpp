// Demosaicing with SSE2 alone. Without a byte shuffle the B G R triples are built by unpacking the
// channel planes into B G R 0 words and squeezing out every fourth byte with shifts.
#include "imaging/demosaicing_kernels.h"
#include "imaging/demosaicing_sse.h"

// Four B G R 0 words to their twelve bytes B G R B G R ..., the last four bytes of the vector zero.
static inline __m128i Pack_Four_Pixels(__m128i Words)
{
    // In each 64-bit half: the first pixel's three bytes stay, the second moves down one byte onto them.
    const __m128i FirstOfHalf = _mm_set_epi32(0, -1, 0, -1);
    const __m128i Halves = _mm_or_si128(_mm_and_si128(Words, FirstOfHalf),
                                        _mm_srli_epi64(_mm_andnot_si128(FirstOfHalf, Words), 8));
    // The upper half's six bytes go right after the lower half's six.
    return _mm_or_si128(_mm_move_epi64(Halves), _mm_slli_si128(_mm_srli_si128(Halves, 8), 6));
}

// Eight pixels (lanes 0 to 7 of the planes' low or high halves, as unpacked) to 24 bytes at Dest.
static inline void Store_Eight_Pixels(__m128i BlueGreen, __m128i RedZero, uint8_t *Dest)
{
    _mm_storeu_si128((__m128i *)Dest, Pack_Four_Pixels(_mm_unpacklo_epi16(BlueGreen, RedZero)));
    const __m128i Last = Pack_Four_Pixels(_mm_unpackhi_epi16(BlueGreen, RedZero));
    _mm_storel_epi64((__m128i *)(Dest + 12), Last);
    _mm_storeu_si32(Dest + 20, _mm_srli_si128(Last, 8));
}

uint32_t Demosaic_Row_Sse2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow)
{
    const __m128i Zero = _mm_setzero_si128();
    uint32_t J = 0;
    for (; J + 16 <= H; J += 16) {
        __m128i Blue, Green, Red;
        Demosaic_Sixteen(Src + J, Stride, OddRow, &Blue, &Green, &Red);
        uint8_t *Out = Dest + 3 * J;
        Store_Eight_Pixels(_mm_unpacklo_epi8(Blue, Green), _mm_unpacklo_epi8(Red, Zero), Out);
        Store_Eight_Pixels(_mm_unpackhi_epi8(Blue, Green), _mm_unpackhi_epi8(Red, Zero), Out + 24);
    }
    return J;
}
