// Numbers on a frame for the instruments: a pixel's value, the histogram and
// its statistics, a focus score, and the saturation marks of the picture. All
// take the frame image as cvMatToQImage makes it (Format_Indexed8 grey or
// Format_RGB888) and a region of it; other formats are read through their colours.
#ifndef TAVIX_FRAMESTATS_H
#define TAVIX_FRAMESTATS_H

#include <QImage>
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>

namespace framestats {

// True for a frame of grey levels: Format_Grayscale8, or Format_Indexed8 whose
// colour table holds greys only. Its level is its red value.
bool isGrey(const QImage &frame);

// The frame's own value at pixel `at`: one grey level, or red, green, blue.
struct PixelValue {
    bool valid = false; // false for a pixel outside the frame or a null frame
    bool grey = false;
    int level[3] = { 0, 0, 0 }; // grey: level[0]; colour: R, G, B
};
PixelValue pixelValue(const QImage &frame, const QPoint &at);

// Counts of each level 0..255 per channel over `region` (clipped to the frame).
// A grey frame fills channel 0 only; a colour frame R, G and B (0, 1, 2).
struct Histogram {
    bool grey = true;
    std::uint64_t pixels = 0; // pixels counted
    std::array<std::array<std::uint32_t, 256>, 3> bins {};
};
Histogram histogram(const QImage &frame, const QRect &region);

// The figures of one channel of a histogram. All 0 for a histogram without pixels.
struct Statistics {
    int min = 0;
    int max = 0;
    double mean = 0;
    double stdDev = 0; // of the population, not of a sample
    double shareAt0 = 0; // 0..1
    double shareAt255 = 0;
};
Statistics statistics(const Histogram &histogram, int channel);

// Sharpness of `region` (clipped to the frame): the mean of the squared
// differences between neighbouring levels, across and down, of a reduced copy
// (the region's brightness, averaged over blocks so that its longer side is at
// most FocusSide pixels; a colour block's brightness is (77 R + 150 G + 29 B)
// / 256 of its red, green and blue sums, rounded down, over its pixels).
// Higher is sharper; 0 for a region smaller than 2 x 2 or a flat one.
// Comparable between frames of one region, not between regions.
constexpr int FocusSide = 256;
double focusScore(const QImage &frame, const QRect &region);

// histogram() and focusScore() of one region at once, reading the frame once.
struct Analysis {
    Histogram histogram;
    double focusScore = 0;
};
Analysis analyse(const QImage &frame, const QRect &region);

// The histogram as the statistics window draws it, `size` large, in
// Format_RGB32: on a dark ground (24, 24, 24), each level's count a bar 1/256
// of the width wide, as high as the square root of its count over that of the
// tallest (so that small counts beside a tall peak still show), up to the row
// above the bottom one. Grey bars are light grey (220, 220, 220); red, green
// and blue are added over each other at two thirds (alpha 170), as painting
// them with QPainter::CompositionMode_Plus would. The pixels are those of
// filling the bars' outline with QPainter without antialiasing: a bar covers
// the pixels whose centres lie within it, its edges placed in 1/64 pixel.
QImage histogramPicture(const Histogram &histogram, const QSize &size);

// The frame's `region` (clipped) as Format_RGB32, each pixel with 255 in any
// channel red and, of the others, each with 0 in any channel blue. The frame
// itself is not changed.
QImage saturationMarked(const QImage &frame, const QRect &region);

} // namespace framestats

#endif
