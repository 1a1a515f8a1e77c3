// Focus measure: Vollath's F4 along the rows of the picture in CameraBuffRgb, on each pixel's
// luminance, divided by 1000:
//   sum over rows of [ sum Y(j) Y(j+1) - sum Y(j) Y(j+2) ] / 1000, truncated.
// The luminance weights are single-precision constants widened to double; products and both sums are
// doubles, added in a fixed order (row by row, lag 1 before lag 2 at each step), so the figure is
// the same bit for bit on every machine.
#pragma once

#include <cstdint>

// The focus figure of the current crop. A negative quotient (detail repeating every two pixels)
// gives 0; so does a crop the buffers cannot hold or a width below 2.
uint32_t Compute_Fvol4(void);

// The statement of the algorithm, one pixel at a time; the fast paths are checked against it.
uint32_t Compute_Fvol4_Plain(void);
