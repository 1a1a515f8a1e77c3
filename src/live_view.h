// Live view: frame after frame, pull the raw frame, demosaic it, measure its focus, draw the frame
// rate and focus figure into its top left corner, show it in the window "Camera", print the
// telemetry line, and poll the keyboard for 1 ms. Esc in the window ends it.
#pragma once

#include <cstddef>
#include <cstdint>

#include <opencv2/core.hpp>

#include "platform/platform.h"

// Runs live view until Esc. False, with the reason on standard error, when no window can be opened.
bool Live_View(HANDLE hCom);

// The frame rate in tenths of frames per second between two frame times given in milliseconds within
// the minute. A time that went back has passed the end of a minute; an interval of 0 counts as 1 ms.
uint32_t Frame_Rate_Tenths(uint32_t TimePrev, uint32_t TimeCur);

// The overlay step of a pass: takes the frame time, works out the rate against *TimePrev (which then
// holds the new time) and draws "FPS: a.b/s  Focus: n" into the picture's top left corner.
void Live_View_Overlay(cv::Mat &Camera, uint32_t *TimePrev, uint32_t Fvol4);

// The overlay text, "FPS: a.b/s  Focus: n", into Text (Size bytes).
void Overlay_Text(char *Text, size_t Size, uint32_t FrameRate, uint32_t Fvol4);
