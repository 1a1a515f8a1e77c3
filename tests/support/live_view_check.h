// Test support for live view: the picture the "Camera" window must show for a raw frame, where that
// picture sits in a screenshot of the window, which overlay is drawn over it, and the telemetry lines
// on the console. Written from the plain statements of the algorithms, so a fault in the tool's own
// functions cannot hide behind them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

// The last camera question; the telemetry lines follow it.
extern const char Last_Camera_Prompt[];

// A status record that the emulator serves with --status, and the telemetry line it gives after
// "Frame : <n>".
extern const char Example_Status[];
extern const char Example_Status_Line[];

// The overlay as the tool draws it, into the top of Picture.
void Draw_Overlay(cv::Mat &Picture, const std::string &Text);

// The rows that any overlay text can touch: the band at the top of the picture that is left out
// when the picture is compared.
int Overlay_Rows();

// Where Expected (the picture without its overlay) sits in Shot: every pixel below the overlay band
// must match, and so must the first word of the overlay, "FPS:", which pins the place even when the
// picture is one flat colour. (-1, -1) when it is nowhere, or in more than one place.
cv::Point Locate(const cv::Mat &Shot, const cv::Mat &Expected);

// The frame rate (in tenths) whose overlay, drawn over Expected, gives exactly the band that Shown
// (the picture as the window shows it) has; -1 when no rate does.
int Overlay_Frame_Rate(const cv::Mat &Shown, const cv::Mat &Expected, uint32_t Fvol4);

// Reads the window until Expected shows up in it (the window repaints only between passes). Returns
// the picture as shown, overlay and all; empty when it never appeared within TimeoutMs.
cv::Mat Wait_For_Picture(const std::string &Display, unsigned long Window, const cv::Mat &Expected, int TimeoutMs);

// The lines fieldcam printed after the last camera question: the telemetry, one line a pass.
std::vector<std::string> Telemetry_Lines(const std::string &Output);

// "Frame : <Frame>" followed by Rest.
std::string Frame_Line(size_t Frame, const std::string &Rest);

// A raw frame for a Crop x Crop picture with detail everywhere, so that its picture can be found in
// the window in one place only: the transfer's bytes, at least the whole raw frame.
std::string Test_Frame(uint32_t Crop);

// What the tool must show at Crop when CameraBuff holds Frame from its start and zeros after it, as far
// as a pull at that crop brings; Fvol4 takes the focus figure of that picture. Uses the library's
// buffers and crop globals.
cv::Mat Expected_Picture(const std::string &Frame, uint32_t Crop, uint32_t &Fvol4);
