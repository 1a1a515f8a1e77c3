// Demosaicing with SSSE3: pshufb interleaves the three channel planes into B G R triples.
#include "imaging/demosaicing_kernels.h"
#include "imaging/demosaicing_sse.h"

uint32_t Demosaic_Row_Ssse3(const uint16_t *Src, uint8_t *Dest, uint32_t H, uint32_t Stride, uint32_t OddRow)
{
    uint32_t J = 0;
    for (; J + 16 <= H; J += 16)
        Demosaic_Store_Sixteen(Src + J, Dest + 3 * J, Stride, OddRow);
    return J;
}
