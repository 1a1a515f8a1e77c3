#include "scene.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "samples go on the wire little-endian as stored");

static const double BlurSigmas[] = {0.0, 0.9, 1.8, 3.2, 5.0, 7.5};
static const int BLACK_LEVEL = 64;      // a sensor never reads quite zero
static const int FULL_SCALE = 3900;     // white paper under the flash, below the 12-bit ceiling
static const int NOISE_SPAN = 1 << 20;  // noise samples; rows read from random places in it
static const int SIDE = (int)SCENE_SIDE;

// A star of alternating black and white wedges: the finer its centre, the sharper the lens.
static void Draw_Star(cv::Mat &Chart, cv::Point Centre, int Radius, int Spokes)
{
    static const cv::Vec3b Black(15, 15, 15), White(245, 245, 245);
    for (int Y = -Radius; Y <= Radius; Y++)
        for (int X = -Radius; X <= Radius; X++) {
            if (X * X + Y * Y > Radius * Radius)
                continue;
            const double Angle = std::atan2((double)Y, (double)X);
            Chart.at<cv::Vec3b>(Centre.y + Y, Centre.x + X) = std::sin(Angle * Spokes / 2) >= 0 ? White : Black;
        }
}

// Eight colour bars: white, yellow, cyan, green, magenta, red, blue, black (BGR).
static void Draw_Bars(cv::Mat &Chart, cv::Rect Area)
{
    static const cv::Scalar Bars[] = {{235, 235, 235}, {20, 225, 225}, {225, 225, 20}, {20, 210, 20},
                                      {225, 20, 225},  {20, 20, 225},  {225, 20, 20},  {15, 15, 15}};
    for (int K = 0; K < 8; K++) {
        const int X0 = Area.x + Area.width * K / 8, X1 = Area.x + Area.width * (K + 1) / 8;
        cv::rectangle(Chart, cv::Rect(X0, Area.y, X1 - X0, Area.height), Bars[K], cv::FILLED);
    }
}

// Line pairs getting finer: the detail that goes first when the focus drifts.
static void Draw_Gratings(cv::Mat &Chart, cv::Rect Area, bool Vertical)
{
    static const int Periods[] = {16, 12, 8, 6, 4, 2};
    static const cv::Vec3b Ink(25, 25, 25), Paper(230, 230, 230);
    const int Bands = 6, Length = Vertical ? Area.height : Area.width;
    for (int B = 0; B < Bands; B++)
        for (int T = Length * B / Bands; T < Length * (B + 1) / Bands; T++)
            for (int S = 0; S < (Vertical ? Area.width : Area.height); S++) {
                const bool Dark = (S / (Periods[B] / 2)) % 2 == 0;
                const cv::Point P = Vertical ? cv::Point(Area.x + S, Area.y + T) : cv::Point(Area.x + T, Area.y + S);
                Chart.at<cv::Vec3b>(P) = Dark ? Ink : Paper;
            }
}

// Small print on a white card: the fine, irregular detail of a label or a data sheet.
static void Draw_Text(cv::Mat &Chart, cv::Rect Area, double Scale)
{
    cv::Mat Card = Chart(Area);   // drawing into the card alone clips the lines at its edges
    Card.setTo(cv::Scalar(235, 235, 235));
    static const char *Lines[] = {"FIELDCAM 0123456789 ABCDEFGHIJKLM", "soil 8in1 TERRA8K NPK EC SAL T/H",
                                  "nopqrstuvwxyz -+/()[] 1.8V 4.38V", "RSSI -71dBm HyperRAM OK LED GREEN"};
    const int Step = (int)std::lround(14 * Scale);
    int K = 0;
    for (int Y = Step; Y < Area.height - 2; Y += Step, K++)
        cv::putText(Card, Lines[K % 4], cv::Point(4, Y), cv::FONT_HERSHEY_PLAIN, Scale, cv::Scalar(20, 20, 20), 1,
                    cv::LINE_AA);
}

// The whole chart, BGR 8-bit, SIDE x SIDE. The centre is what the small crops see, so it carries a
// bit of everything: the star, colour patches, gratings; the outer rings add bars, ramps and print.
static cv::Mat Draw_Chart()
{
    cv::Mat Chart(SIDE, SIDE, CV_8UC3, cv::Scalar(110, 115, 120));
    const int C = SIDE / 2;
    // Outer ring, seen at crops above 480: a hue ramp on top, a grey ramp at the bottom, print aside.
    for (int X = 0; X < SIDE; X++) {
        cv::Mat Hsv(1, 1, CV_8UC3, cv::Scalar(X * 180 / SIDE, 220, 230)), Bgr;
        cv::cvtColor(Hsv, Bgr, cv::COLOR_HSV2BGR);
        cv::line(Chart, {X, C - 420}, {X, C - 290}, cv::Scalar(Bgr.at<cv::Vec3b>(0)), 1);
        const int Grey = 10 + X * 235 / SIDE;
        cv::line(Chart, {X, C + 290}, {X, C + 420}, cv::Scalar(Grey, Grey, Grey), 1);
    }
    Draw_Text(Chart, cv::Rect(C - 470, C - 270, 220, 540), 0.9);
    Draw_Text(Chart, cv::Rect(C + 250, C - 270, 220, 540), 1.2);
    // Middle ring, seen from crop 320 up: colour bars above, print below, gratings to the sides.
    Draw_Bars(Chart, cv::Rect(C - 235, C - 235, 470, 100));
    Draw_Text(Chart, cv::Rect(C - 235, C + 135, 470, 100), 0.8);
    Draw_Gratings(Chart, cv::Rect(C - 235, C - 125, 100, 250), true);
    Draw_Gratings(Chart, cv::Rect(C + 135, C - 125, 100, 250), false);
    // Centre, seen at every crop from about 240: the star and four colour patches in its corners.
    static const cv::Scalar Patches[] = {{30, 30, 220}, {40, 200, 40}, {210, 60, 30}, {30, 210, 220}};
    for (int K = 0; K < 4; K++) {
        const int Dx = (K & 1) ? 1 : -1, Dy = (K & 2) ? 1 : -1;
        cv::rectangle(Chart, cv::Rect(C + (Dx > 0 ? 92 : -120), C + (Dy > 0 ? 92 : -120), 28, 28), Patches[K],
                      cv::FILLED);
    }
    Draw_Star(Chart, {C, C}, 100, 48);
    return Chart;
}

// The sensor's mosaic of a BGR picture: green on even rows at even columns and odd rows at odd
// columns, red on even rows at odd columns, blue on odd rows at even columns.
static std::vector<uint16_t> Mosaic(const cv::Mat &Picture, double Scale, double Offset)
{
    std::vector<uint16_t> Out((size_t)SIDE * SIDE);
    for (int Y = 0; Y < SIDE; Y++)
        for (int X = 0; X < SIDE; X++) {
            const int Channel = (Y % 2 == X % 2) ? 1 : (Y % 2 == 0 ? 2 : 0);
            const double Value = Offset + Scale * Picture.at<cv::Vec3f>(Y, X)[Channel];
            Out[(size_t)Y * SIDE + X] = (uint16_t)std::clamp(std::lround(Value), 0L, 4095L);
        }
    return Out;
}

void Scene_Build(Scene &Out, const std::optional<std::array<uint16_t, 3>> &Flat)
{
    Out.Levels.clear();
    if (Flat) {
        const cv::Mat Field(SIDE, SIDE, CV_32FC3, cv::Scalar((*Flat)[2], (*Flat)[1], (*Flat)[0]));
        Out.Levels.push_back(Mosaic(Field, 1.0, 0.0));
    } else {
        cv::Mat Chart;
        Draw_Chart().convertTo(Chart, CV_32FC3, 1.0 / 255);
        for (double Sigma : BlurSigmas) {
            cv::Mat Blurred = Chart;
            if (Sigma > 0)
                cv::GaussianBlur(Chart, Blurred, cv::Size(0, 0), Sigma, Sigma, cv::BORDER_REFLECT);
            Out.Levels.push_back(Mosaic(Blurred, FULL_SCALE - BLACK_LEVEL, BLACK_LEVEL));
        }
    }
    std::mt19937 Random(12345);
    std::normal_distribution<float> Gauss(0.0f, 6.0f);
    Out.Noise.resize(NOISE_SPAN + SIDE);
    for (auto &Sample : Out.Noise)
        Sample = (int16_t)std::lround(Gauss(Random));
}

double Scene_Defocus(uint64_t ElapsedMs, uint32_t PeriodMs)
{
    const double Phase = (double)(ElapsedMs % PeriodMs) / PeriodMs;
    return (1.0 - std::cos(2 * M_PI * Phase)) / 2;
}

// One row of the blend: both levels' samples weighted, the exposure applied, noise added, clamped
// to 12 bits. Plain integer arithmetic that the compiler turns into vector code.
static void Blend_Row(const uint16_t *A, const uint16_t *B, const int16_t *Noise, int Weight, int Gain, int Count,
                      uint16_t *Out)
{
    for (int X = 0; X < Count; X++) {
        int Value = ((((int)A[X] * (256 - Weight) + (int)B[X] * Weight) >> 8) * Gain >> 8) + Noise[X];
        Value = Value < 0 ? 0 : Value;
        Out[X] = (uint16_t)(Value > 4095 ? 4095 : Value);
    }
}

void Scene_Render(const Scene &In, uint32_t Crop, double Defocus, bool Flash, uint32_t Seed, uint16_t *Frame)
{
    const int Side = (int)Crop + 4;
    const int Last = (int)In.Levels.size() - 1;
    const double Position = std::clamp(Defocus, 0.0, 1.0) * Last;
    const int Level = std::min((int)Position, Last > 0 ? Last - 1 : 0);
    const int Weight = Last > 0 ? (int)std::lround((Position - Level) * 256) : 0;
    const uint16_t *A = In.Levels[Level].data();
    const uint16_t *B = In.Levels[std::min(Level + 1, Last)].data();
    const int Gain = Flash ? 256 : 85;

    // The crop is cut from the centre, at an even offset so the mosaic's colours stay in place.
    const int Offset = ((SIDE - Side) / 2) & ~1;
    uint32_t Place = Seed;
    for (int Y = 0; Y < Side; Y++) {
        Place = Place * 1664525u + 1013904223u;
        const size_t From = (size_t)(Offset + Y) * SIDE + Offset;
        Blend_Row(A + From, B + From, In.Noise.data() + (Place >> 12) % NOISE_SPAN, Weight, Gain, Side,
                  Frame + (size_t)Y * Side);
    }
}
