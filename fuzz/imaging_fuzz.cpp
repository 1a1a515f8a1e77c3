// Fuzz target: demosaicing and focus over raw frames of any content, at any crop from 2 to 960.
//
// The first two bytes choose the crop; the rest, repeated, fill the raw frame, so samples may carry
// bits above the twelve a camera sends. Every instruction set this processor runs must give the
// plain loop's picture byte for byte and its focus sums bit for bit; and no path may write a byte
// of CameraBuffRgb past the crop's picture. (AddressSanitizer cannot see that: the buffer is one
// global, so a write past the picture is still inside it. A pattern in the 64 KiB behind the
// picture shows it; a vector store that runs over lands there.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "device/acquisition.h"
#include "imaging/demosaicing.h"
#include "imaging/focus.h"
#include "imaging/imaging_paths.h"

namespace {

const uint8_t Behind = 0xA7;   // what lies past the picture before each run
const size_t BEHIND_SIZE = 65536;
uint8_t BehindAll[BEHIND_SIZE];

void Fail(const char *What, uint32_t Crop, Imaging_Path Path)
{
    fprintf(stderr, "imaging: %s at crop %u on the %s path\n", What, (unsigned)Crop, Imaging_Path_Name(Path));
    abort();
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    if (Size < 2)
        return 0;
    if (BehindAll[0] != Behind)
        memset(BehindAll, Behind, sizeof BehindAll);
    // Most inputs take a crop up to 129, where the vector paths meet every tail length and a run
    // costs little; one in sixty-four any crop up to 960 (a run at 960 takes a fifth of a second).
    const uint32_t Crop = Data[0] >= 0xFC ? 2 + (uint32_t)((Data[0] & 0x03) << 8 | Data[1]) % 959 : 2 + Data[1] % 128;
    CameraHorizontalPixels = Crop;
    CameraVerticalPixels = Crop;

    const size_t RawBytes = (size_t)(Crop + 4) * (Crop + 4) * 2;
    const uint8_t *Pattern = Data + 2;
    const size_t PatternSize = Size - 2;
    if (PatternSize == 0) {
        memset(CameraBuff, 0, RawBytes);
    } else {
        for (size_t At = 0; At < RawBytes; At += PatternSize)
            memcpy(CameraBuff + At, Pattern, std::min(PatternSize, RawBytes - At));
    }

    const size_t Picture = (size_t)Crop * Crop * 3;
    const size_t Past = std::min(BEHIND_SIZE, CAMERA_BUFF_RGB_SIZE - Picture);
    memset(CameraBuffRgb + Picture, Behind, Past);

    Camera_Demosaicing_Plain();
    const std::vector<uint8_t> Plain(CameraBuffRgb, CameraBuffRgb + Picture);
    double PlainSum1, PlainSum2;
    Fvol4_Sums_On(IMAGING_PLAIN, &PlainSum1, &PlainSum2);
    const uint32_t PlainFocus = Compute_Fvol4_Plain();

    for (int Path = IMAGING_PLAIN; Path < IMAGING_PATH_COUNT; Path++) {
        if (!Imaging_Path_Supported((Imaging_Path)Path))
            continue;
        memset(CameraBuffRgb, 0, Picture);
        Camera_Demosaicing_On((Imaging_Path)Path);
        if (memcmp(CameraBuffRgb, Plain.data(), Picture) != 0)
            Fail("the picture differs from the plain loop's", Crop, (Imaging_Path)Path);
        if (memcmp(CameraBuffRgb + Picture, BehindAll, Past) != 0)
            Fail("a byte past the picture was written", Crop, (Imaging_Path)Path);

        double Sum1, Sum2;
        Fvol4_Sums_On((Imaging_Path)Path, &Sum1, &Sum2);
        if (memcmp(&Sum1, &PlainSum1, sizeof Sum1) != 0 || memcmp(&Sum2, &PlainSum2, sizeof Sum2) != 0)
            Fail("the focus sums differ from the plain loop's", Crop, (Imaging_Path)Path);
        if (Compute_Fvol4_On((Imaging_Path)Path) != PlainFocus)
            Fail("the focus figure differs from the plain loop's", Crop, (Imaging_Path)Path);
    }
    Camera_Demosaicing();
    if (memcmp(CameraBuffRgb, Plain.data(), Picture) != 0 || Compute_Fvol4() != PlainFocus)
        Fail("the chosen path differs from the plain loop", Crop, Imaging_Best_Path());
    return 0;
}
