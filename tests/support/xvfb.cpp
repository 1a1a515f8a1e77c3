#include "xvfb.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "process.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status   // Xlib's macro for int; our runs have a field of that name

static const char XvfbPath[] = "/usr/bin/Xvfb";
static const char XdotoolPath[] = "/usr/bin/xdotool";

Xvfb::Xvfb()
{
    if (access(XvfbPath, X_OK) != 0)
        throw std::runtime_error("no Xvfb: install the xvfb package (scripts/setup)");
    // -displayfd: the server picks a free display number itself (so parallel tests never meet) and
    // writes it to that descriptor once it accepts connections. Descriptor 1 is our pipe.
    Server_ = std::make_unique<Process>(std::vector<std::string>{XvfbPath, "-displayfd", "1", "-screen", "0",
                                                                 "1280x1024x24", "-nolisten", "tcp"});
    if (!Server_->Wait_For_Output("\n", 20000))
        throw std::runtime_error("Xvfb did not start: " + Server_->Errors());
    const std::string &Number = Server_->Output();
    Display_ = ":" + Number.substr(0, Number.find('\n'));
}

Xvfb::~Xvfb()
{
    // SIGTERM, not SIGKILL: the server then removes its lock file and socket.
    Server_->Signal(SIGTERM);
    Server_->Wait(5000);
}

namespace {

// Xlib's default handler ends the process on any protocol error, and a window may vanish at any
// moment while a test looks at it: errors are counted instead.
int Errors_Seen = 0;
int Count_Error(::Display *, XErrorEvent *)
{
    Errors_Seen++;
    return 0;
}

struct Connection {
    ::Display *X;
    explicit Connection(const std::string &Name) : X(XOpenDisplay(Name.c_str()))
    {
        if (!X)
            throw std::runtime_error("cannot connect to display " + Name);
        XSetErrorHandler(Count_Error);
    }
    ~Connection() { XCloseDisplay(X); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
};

bool Named(::Display *X, Window W, const std::string &Name)
{
    char *Title = nullptr;
    bool Found = false;
    if (XFetchName(X, W, &Title) && Title)
        Found = Name == Title;
    if (Title)
        XFree(Title);
    if (Found)
        return true;
    Atom Type;
    int Format;
    unsigned long Count, After;
    unsigned char *Text = nullptr;
    const Atom NetWmName = XInternAtom(X, "_NET_WM_NAME", False);
    const Atom Utf8 = XInternAtom(X, "UTF8_STRING", False);
    if (XGetWindowProperty(X, W, NetWmName, 0, 1024, False, Utf8, &Type, &Format, &Count, &After, &Text) == Success &&
        Text) {
        Found = Name == std::string((const char *)Text, Count);
        XFree(Text);
    }
    return Found;
}

Window Search(::Display *X, Window Top, const std::string &Name)
{
    XWindowAttributes Attributes;
    if (Named(X, Top, Name) && XGetWindowAttributes(X, Top, &Attributes) && Attributes.map_state == IsViewable)
        return Top;
    Window Root, Parent, *Children = nullptr;
    unsigned Count = 0;
    if (!XQueryTree(X, Top, &Root, &Parent, &Children, &Count))
        return 0;
    Window Found = 0;
    for (unsigned K = 0; K < Count && !Found; K++)
        Found = Search(X, Children[K], Name);
    if (Children)
        XFree(Children);
    return Found;
}

// The position of the lowest set bit of a colour mask, and how many bits it has.
void Mask_Shape(unsigned long Mask, int &Shift, int &Bits)
{
    Shift = 0;
    Bits = 0;
    while (Mask && !(Mask & 1)) {
        Mask >>= 1;
        Shift++;
    }
    while (Mask & 1) {
        Mask >>= 1;
        Bits++;
    }
}

uint8_t Channel(unsigned long Pixel, int Shift, int Bits)
{
    const unsigned long Value = (Pixel >> Shift) & ((1ul << Bits) - 1);
    return (uint8_t)(Bits >= 8 ? Value >> (Bits - 8) : Value << (8 - Bits));
}

}  // namespace

unsigned long Find_Window(const std::string &Display, const std::string &Name, int TimeoutMs)
{
    Connection Link(Display);
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    for (;;) {
        const Window Found = Search(Link.X, DefaultRootWindow(Link.X), Name);
        if (Found || std::chrono::steady_clock::now() >= End)
            return Found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

cv::Mat Window_Pixels(const std::string &Display, unsigned long Window)
{
    Connection Link(Display);
    ::Window Root = DefaultRootWindow(Link.X), Child;
    XWindowAttributes Attributes, Screen;
    int Left, Top;
    if (!XGetWindowAttributes(Link.X, Window, &Attributes) || Attributes.map_state != IsViewable ||
        !XGetWindowAttributes(Link.X, Root, &Screen) ||
        !XTranslateCoordinates(Link.X, Window, Root, 0, 0, &Left, &Top, &Child))
        return cv::Mat();
    // Read from the root window: reading a window that reaches past the screen's edge is an error,
    // and the toolkit's tool bar can make the window wider than the screen.
    const int X0 = std::max(Left, 0), Y0 = std::max(Top, 0);
    const int X1 = std::min(Left + Attributes.width, Screen.width), Y1 = std::min(Top + Attributes.height, Screen.height);
    if (X1 <= X0 || Y1 <= Y0)
        return cv::Mat();
    XImage *Image = XGetImage(Link.X, Root, X0, Y0, (unsigned)(X1 - X0), (unsigned)(Y1 - Y0), AllPlanes, ZPixmap);
    if (!Image)
        return cv::Mat();
    int RedShift, RedBits, GreenShift, GreenBits, BlueShift, BlueBits;
    Mask_Shape(Image->red_mask, RedShift, RedBits);
    Mask_Shape(Image->green_mask, GreenShift, GreenBits);
    Mask_Shape(Image->blue_mask, BlueShift, BlueBits);
    cv::Mat Pixels(Y1 - Y0, X1 - X0, CV_8UC3);
    for (int Y = 0; Y < Pixels.rows; Y++)
        for (int X = 0; X < Pixels.cols; X++) {
            const unsigned long Pixel = XGetPixel(Image, X, Y);
            Pixels.at<cv::Vec3b>(Y, X) = cv::Vec3b(Channel(Pixel, BlueShift, BlueBits),
                                                   Channel(Pixel, GreenShift, GreenBits),
                                                   Channel(Pixel, RedShift, RedBits));
        }
    XDestroyImage(Image);
    return Pixels;
}

static bool Matches_At(const cv::Mat &Shot, const cv::Mat &Picture, const std::vector<cv::Point> &Compared, cv::Point At)
{
    for (const cv::Point &P : Compared)
        if (Shot.at<cv::Vec3b>(At + P) != Picture.at<cv::Vec3b>(P))
            return false;
    return true;
}

cv::Point Find_Picture(const cv::Mat &Shot, const cv::Mat &Picture, const cv::Mat &Mask)
{
    CV_Assert(Shot.type() == CV_8UC3 && Picture.type() == CV_8UC3 && Mask.type() == CV_8UC1);
    CV_Assert(Mask.size() == Picture.size());
    std::vector<cv::Point> Compared;
    cv::findNonZero(Mask, Compared);
    const cv::Point NotFound(-1, -1);
    if (Compared.empty() || Shot.rows < Picture.rows || Shot.cols < Picture.cols)
        return NotFound;
    // Most places fail on their first pixel; a picture that is mostly one colour costs a row or so more.
    cv::Point Found = NotFound;
    for (int Y = 0; Y + Picture.rows <= Shot.rows; Y++)
        for (int X = 0; X + Picture.cols <= Shot.cols; X++)
            if (Matches_At(Shot, Picture, Compared, cv::Point(X, Y))) {
                if (Found != NotFound)
                    return NotFound;   // two places: the picture does not tell where it is
                Found = cv::Point(X, Y);
            }
    return Found;
}

bool Send_Escape(const std::string &Display, unsigned long Window)
{
    Finished_Run Run = Run_To_End({XdotoolPath, "key", "--window", std::to_string(Window), "Escape"},
                                  {"DISPLAY=" + Display}, "", 10000);
    return Run.Status == 0;
}
