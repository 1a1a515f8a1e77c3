// Test support: a private virtual X display for one test, and what a test does with a window on it:
// find it by name, read back the pixels it shows, find a known picture among them, press a key in it.
#pragma once

#include <memory>
#include <string>

#include <opencv2/core.hpp>

class Process;

class Xvfb {
  public:
    // Starts an X server of its own (1280 x 1024, 24 bits, no TCP) on the first free display number
    // and waits until it takes connections. Throws when it cannot.
    Xvfb();
    ~Xvfb();   // ends the server and waits for it
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;

    const std::string &Display() const { return Display_; }   // ":N"
    std::string Env() const { return "DISPLAY=" + Display_; }

  private:
    std::unique_ptr<Process> Server_;
    std::string Display_;
};

// The mapped window whose name (WM_NAME or _NET_WM_NAME) is Name, waiting up to TimeoutMs for it to
// appear; 0 when there is none.
unsigned long Find_Window(const std::string &Display, const std::string &Name, int TimeoutMs);

// What the screen shows of the window, as 8-bit BGR: the whole window, less any part off the screen.
// Empty when the window is gone.
cv::Mat Window_Pixels(const std::string &Display, unsigned long Window);

// Where Picture (8-bit BGR) sits in Shot: the top-left corner of the one place where every pixel that
// Mask (8-bit, Picture's size, non-zero: compared) marks is exactly the picture's; (-1, -1) when there
// is no such place.
cv::Point Find_Picture(const cv::Mat &Shot, const cv::Mat &Picture, const cv::Mat &Mask);

// Presses and releases Esc in the window, through xdotool, as X key events sent to it. True when
// xdotool managed it.
bool Send_Escape(const std::string &Display, unsigned long Window);
