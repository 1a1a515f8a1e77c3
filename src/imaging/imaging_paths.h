// Which instruction set the demosaicing and the focus measure run on.
//
// Each has a plain loop, the readable statement of what it computes, and fast paths for the vector
// units of x86-64 (SSE2, SSSE3, AVX2) that give the same bytes and the same sums bit for bit. The
// processor is asked once which it offers; Camera_Demosaicing() and Compute_Fvol4() then take the
// best. The _On forms run a named path, so tests and benchmarks can hold each one against the plain
// loop; a path the processor lacks runs the plain loop instead.
#pragma once

#include <cstdint>

enum Imaging_Path { IMAGING_PLAIN, IMAGING_SSE2, IMAGING_SSSE3, IMAGING_AVX2, IMAGING_PATH_COUNT };

// Whether this build and this processor can run the path (the plain loop always can).
bool Imaging_Path_Supported(Imaging_Path Path);
// The fastest supported path, decided at the first call and kept for the run.
Imaging_Path Imaging_Best_Path(void);
const char *Imaging_Path_Name(Imaging_Path Path);

void Camera_Demosaicing_On(Imaging_Path Path);
uint32_t Compute_Fvol4_On(Imaging_Path Path);

// The focus measure's two running sums (lag 1 and lag 2) as the path leaves them; 0 and 0 for a crop
// it does not measure. Compute_Fvol4_On() divides their difference by 1000.
void Fvol4_Sums_On(Imaging_Path Path, double *Sum1Fvol4, double *Sum2Fvol4);
