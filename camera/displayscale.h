// The reduction of a large frame to the picture label's area.
#ifndef TAVIX_DISPLAYSCALE_H
#define TAVIX_DISPLAYSCALE_H

#include <QImage>
#include <QSize>

// Smooth reduction of `width` x `height` pixels of one byte per channel,
// `channels` of them per pixel (1: grey; 3: red, green, blue in that order),
// rows `bytesPerLine` apart, to `size`, which must be smaller in both
// directions. The result, in Format_RGB32, is pixel for pixel what Qt's smooth
// scaling gives for the same pixels in RGB32 (QImage::scaled with
// Qt::SmoothTransformation: each target pixel the weighted sum of its box of
// source pixels in 1/16384, across first, then down, each step rounded down as
// Qt rounds it). It reads the frame's own channels, without converting the
// frame first (a colour row as it is, its channels side by side, unless its
// boxes are wider than 5 pixels), with vector instructions (SSE4.1, and AVX2
// where the processor has it, looked for at run time).
//
// Gives a null image, and the caller scales as before, for any other channel
// count, a size not smaller in both directions, rows shorter than the pixels,
// a processor without SSE4.1 or no memory for the result.
QImage reduceForDisplay(
    const uchar *pixels, int width, int height, qsizetype bytesPerLine, int channels, const QSize &size);

#endif
