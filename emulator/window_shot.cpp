// fieldcam-shot: saves what a window on the X display shows as a PNG, so the demo can keep pictures
// of the live view when it runs on a virtual display that nobody watches.
//
//   fieldcam-shot NAME FILE.png     exit 0 when saved, 1 when no mapped window has that name
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

// The largest mapped window named Name in the tree under Root (the toolkit may give the name to a
// frame and to the window inside it alike).
static Window Find_Window(Display *Screen, Window Root, const char *Name, long &Area)
{
    Window Best = 0;
    char *Title = nullptr;
    XWindowAttributes Attributes;
    if (XFetchName(Screen, Root, &Title) && Title) {
        if (strcmp(Title, Name) == 0 && XGetWindowAttributes(Screen, Root, &Attributes) &&
            Attributes.map_state == IsViewable && Attributes.c_class == InputOutput &&
            (long)Attributes.width * Attributes.height > Area) {
            Best = Root;
            Area = (long)Attributes.width * Attributes.height;
        }
        XFree(Title);
    }
    Window Parent, *Children = nullptr;
    unsigned Count = 0;
    if (XQueryTree(Screen, Root, &Root, &Parent, &Children, &Count)) {
        for (unsigned K = 0; K < Count; K++)
            if (Window Found = Find_Window(Screen, Children[K], Name, Area))
                Best = Found;
        if (Children)
            XFree(Children);
    }
    return Best;
}

int main(int Argc, char **Argv)
{
    if (Argc != 3) {
        fputs("usage: fieldcam-shot WINDOW_NAME FILE.png\n", stderr);
        return 2;
    }
    Display *Screen = XOpenDisplay(nullptr);
    if (!Screen) {
        fputs("fieldcam-shot: cannot open the display\n", stderr);
        return 1;
    }
    long Area = 0;
    const Window Target = Find_Window(Screen, DefaultRootWindow(Screen), Argv[1], Area);
    XWindowAttributes Attributes;
    if (!Target || !XGetWindowAttributes(Screen, Target, &Attributes)) {
        XCloseDisplay(Screen);
        return 1;
    }
    // Read the window's place on the screen, clipped to the screen: a window that sticks out past an
    // edge cannot be read by itself.
    const Window Root = DefaultRootWindow(Screen);
    int Left = 0, Top = 0;
    Window Child;
    XTranslateCoordinates(Screen, Target, Root, 0, 0, &Left, &Top, &Child);
    const int Right = std::min(Left + Attributes.width, DisplayWidth(Screen, DefaultScreen(Screen)));
    const int Bottom = std::min(Top + Attributes.height, DisplayHeight(Screen, DefaultScreen(Screen)));
    Left = std::max(Left, 0);
    Top = std::max(Top, 0);
    if (Right <= Left || Bottom <= Top) {
        XCloseDisplay(Screen);
        return 1;
    }
    Attributes.width = Right - Left;
    Attributes.height = Bottom - Top;
    XImage *Image = XGetImage(Screen, Root, Left, Top, Attributes.width, Attributes.height, AllPlanes, ZPixmap);
    if (!Image) {
        XCloseDisplay(Screen);
        return 1;
    }
    cv::Mat Picture(Attributes.height, Attributes.width, CV_8UC3);
    for (int Y = 0; Y < Attributes.height; Y++)
        for (int X = 0; X < Attributes.width; X++) {
            const unsigned long Pixel = XGetPixel(Image, X, Y);
            Picture.at<cv::Vec3b>(Y, X) = cv::Vec3b((uchar)(Pixel & Image->blue_mask),
                                                    (uchar)((Pixel & Image->green_mask) >> 8),
                                                    (uchar)((Pixel & Image->red_mask) >> 16));
        }
    XDestroyImage(Image);
    XCloseDisplay(Screen);
    return cv::imwrite(Argv[2], Picture, {cv::IMWRITE_PNG_COMPRESSION, 9}) ? 0 : 1;
}
