// What the emulated camera sees: a colour test chart behind a lens whose focus drifts.
//
// The chart is drawn once, at the sensor's full raw size (964 x 964 samples: the largest crop and
// its border), blurred to a handful of defocus levels, and each level is laid out as the sensor's
// colour mosaic. A frame is then only a blend of two neighbouring levels, cut from the centre at the
// requested crop, scaled for the exposure, with a little noise: cheap enough to outrun the link.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

constexpr uint32_t SCENE_SIDE = 964;   // raw samples per side at the largest crop (960 + border)

struct Scene {
    std::vector<std::vector<uint16_t>> Levels;   // SCENE_SIDE^2 mosaic samples each, sharpest first
    std::vector<int16_t> Noise;                  // sensor noise, read at a random place per row
};

// Draws the chart, or a uniform field of the given 12-bit red, green and blue, and its blur levels.
void Scene_Build(Scene &Out, const std::optional<std::array<uint16_t, 3>> &Flat);

// Renders one raw frame of (Crop + 4)^2 16-bit samples into Frame (which must hold them): the
// mosaic's green-red rows over blue-green rows, 12 significant bits. Defocus runs from 0 (sharp) to
// 1 (the blurriest level); without the flash the picture gets about a third of the light. Crop is
// at most 960.
void Scene_Render(const Scene &In, uint32_t Crop, double Defocus, bool Flash, uint32_t Seed, uint16_t *Frame);

// The lens position at a moment of the sweep: 0 (in focus) at the start of each period, 1 halfway.
double Scene_Defocus(uint64_t ElapsedMs, uint32_t PeriodMs);
