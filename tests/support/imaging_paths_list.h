// The imaging paths this processor can run, the plain loop first: what the tests and benchmarks
// compare with each other.
#pragma once

#include <vector>

#include "imaging/imaging_paths.h"

inline std::vector<Imaging_Path> Supported_Paths()
{
    std::vector<Imaging_Path> Paths;
    for (int Path = IMAGING_PLAIN; Path < IMAGING_PATH_COUNT; Path++)
        if (Imaging_Path_Supported((Imaging_Path)Path))
            Paths.push_back((Imaging_Path)Path);
    return Paths;
}
