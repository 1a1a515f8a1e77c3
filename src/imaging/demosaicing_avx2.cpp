// Demosaicing with AVX2: sixteen pixels per 256-bit vector of 16-bit lanes, four rows at a time.
//
// The time goes into loads and vector instructions, not memory, so the rule is spent in as few of
// them as it allows: the rows of a band share the sums of the raw rows between them; a colour's even
// and odd lanes are picked from their two sums first and then scaled by one multiply (the high half of
// x times 2^(16 - k) is x >> k, with k per lane); the reds go into the output shuffle straight from
// their 16-bit lanes.
#include <immintrin.h>

#include "imaging/demosaicing_kernels.h"

static inline __m256i Load_Samples_256(const uint16_t *At)
{
    return _mm256_loadu_si256((const __m256i *)At);
}

// Even lanes (even columns) from Even, odd lanes from Odd.
static inline __m256i Pick_256(__m256i Even, __m256i Odd)
{
    return _mm256_blend_epi16(Even, Odd, 0xAA);
}

// Shifts the even lanes right by Even bits and the odd lanes by Odd bits. Sums that wrapped modulo 65536
// still give the right byte: it depends only on bits 4 to 13 of the sum (see demosaicing_sse.h).
static inline __m256i Shift_Lanes(__m256i Sums, int Even, int Odd)
{
    return _mm256_mulhi_epu16(Sums, _mm256_set1_epi32((1 << (16 - Even)) | (1 << (32 - Odd))));
}

// The sums a raw row lends to its neighbours, for sixteen pixels: its own samples (Centre) and the
// sums of their left and right neighbours (Sides). Row r's vertical sum is Centre(r - 1) + Centre(r + 1),
// its diagonal sum Sides(r - 1) + Sides(r + 1), its horizontal sum Sides(r).
struct Raw_Sums {
    __m256i Centre, Sides;
};

static inline Raw_Sums Sums_Of(const uint16_t *Src)
{
    return {Load_Samples_256(Src), _mm256_add_epi16(Load_Samples_256(Src - 1), Load_Samples_256(Src + 1))};
}

// Sixteen pixels of a row from its sums and those of the raw rows above and below, as 16-bit words:
// blue in the low byte and green in the high byte of BlueGreen, red in the low byte of Red (its high
// byte whatever is left). The rule is Demosaic_Eight's.
static inline void Demosaic_Sixteen_256(Raw_Sums Above, Raw_Sums Own, Raw_Sums Below, uint32_t OddRow,
                                        __m256i *BlueGreen, __m256i *Red)
{
    const __m256i Centre = Own.Centre, Horizontal = Own.Sides;
    const __m256i Vertical = _mm256_add_epi16(Above.Centre, Below.Centre);
    const __m256i Diagonals = _mm256_add_epi16(Above.Sides, Below.Sides);
    const __m256i Cross = _mm256_add_epi16(Vertical, Horizontal);
    // One sample >> 4, a sum of two >> 5, a sum of four >> 6.
    __m256i Blue, Green;
    if (!OddRow) {   // G R G R ...
        Blue = Shift_Lanes(Pick_256(Vertical, Diagonals), 5, 6);
        Green = Shift_Lanes(Pick_256(Centre, Cross), 4, 6);
        *Red = Shift_Lanes(Pick_256(Horizontal, Centre), 5, 4);
    } else {         // B G B G ...
        Blue = Shift_Lanes(Pick_256(Centre, Horizontal), 4, 5);
        Green = Shift_Lanes(Pick_256(Cross, Centre), 6, 4);
        *Red = Shift_Lanes(Pick_256(Diagonals, Vertical), 6, 5);
    }
    // Shifting green up by 8 keeps just its low byte, which is all that is stored.
    *BlueGreen = _mm256_blendv_epi8(Blue, _mm256_slli_epi16(Green, 8), _mm256_set1_epi16((short)0xFF00));
}

// Each 128-bit half of a vector holds eight pixels, whose 24 output bytes are written as two
// overlapping pieces of 16: bytes 0 to 15 (Front) and bytes 8 to 23 (Back). Byte t of a piece takes,
// for blue or green, byte 2p or 2p + 1 of BlueGreen, and for red byte 2p of Red, p being the pixel the
// byte belongs to; -1 leaves it zero for the other vector to fill.
static const int8_t Front_Blue_Green[16] = {0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10};
static const int8_t Back_Blue_Green[16] = {-1, 6, 7, -1, 8, 9, -1, 10, 11, -1, 12, 13, -1, 14, 15, -1};
static const int8_t Front_Red[16] = {-1, -1, 0, -1, -1, 2, -1, -1, 4, -1, -1, 6, -1, -1, 8, -1};
static const int8_t Back_Red[16] = {4, -1, -1, 6, -1, -1, 8, -1, -1, 10, -1, -1, 12, -1, -1, 14};

static inline __m256i Mask_256(const int8_t *Mask)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128((const __m128i *)Mask));
}

// Sixteen pixels' 48 bytes at Dest: the lower half's eight pixels, then the upper half's.
static inline void Store_Sixteen(__m256i BlueGreen, __m256i Red, uint8_t *Dest)
{
    const __m256i Front = _mm256_or_si256(_mm256_shuffle_epi8(BlueGreen, Mask_256(Front_Blue_Green)),
                                          _mm256_shuffle_epi8(Red, Mask_256(Front_Red)));
    const __m256i Back = _mm256_or_si256(_mm256_shuffle_epi8(BlueGreen, Mask_256(Back_Blue_Green)),
                                         _mm256_shuffle_epi8(Red, Mask_256(Back_Red)));
    _mm_storeu_si128((__m128i *)Dest, _mm256_castsi256_si128(Front));
    _mm_storeu_si128((__m128i *)(Dest + 8), _mm256_castsi256_si128(Back));
    _mm_storeu_si128((__m128i *)(Dest + 24), _mm256_extracti128_si256(Front, 1));
    _mm_storeu_si128((__m128i *)(Dest + 32), _mm256_extracti128_si256(Back, 1));
}

// Rows rows from an even one, sixteen columns at a time: each raw row's sums are formed once per
// column step and shared by the up to three rows that use them, so a band of four costs 18 loads where
// row by row it took 36. Rows is fixed at compile time and the loops unrolled so the sums stay in
// registers; a band of eight no longer fits the sixteen and measured slower.
template <uint32_t Rows>
static inline uint32_t Demosaic_Band(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride)
{
    uint32_t J = 0;
    for (; J + 16 <= H; J += 16) {
        Raw_Sums Sums[Rows + 2];
#pragma GCC unroll 8
        for (uint32_t Row = 0; Row < Rows + 2; Row++)
            Sums[Row] = Sums_Of(Src - Stride + Row * Stride + J);   // raw rows from the one above
#pragma GCC unroll 8
        for (uint32_t Row = 0; Row < Rows; Row++) {
            __m256i BlueGreen, Red;
            Demosaic_Sixteen_256(Sums[Row], Sums[Row + 1], Sums[Row + 2], Row & 1, &BlueGreen, &Red);
            Store_Sixteen(BlueGreen, Red, Dest + 3 * (Row * H + J));
        }
    }
    return J;
}

uint32_t Demosaic_Band_Avx2(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t Rows)
{
    switch (Rows) {
    case 4:
        return Demosaic_Band<4>(Src, Dest, H, Stride);
    case 3:
        return Demosaic_Band<3>(Src, Dest, H, Stride);
    case 2:
        return Demosaic_Band<2>(Src, Dest, H, Stride);
    default:
        return Demosaic_Band<1>(Src, Dest, H, Stride);
    }
}
