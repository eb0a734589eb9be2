#ifndef TAVIX_FRAMECONVERT_H
#define TAVIX_FRAMECONVERT_H

#include <QImage>
#include <opencv2/core/mat.hpp>

#include <cstdint>

// The largest image a frame may become: 65 MiB, a frame buffer's 64 MiB and
// 1 MiB for the padding Qt adds to each row (rows are kept at a multiple of 4
// bytes). Every frame of up to 64 MiB at least 192 pixels wide stays below it;
// frames a few pixels wide and millions of rows high do not (1 x 67108864 grey
// would take 256 MiB, 2 x 33554432 grey 128 MiB) and are refused.
constexpr std::uint64_t FrameImageLimitBytes = 65ull << 20;

// The bytes of the image cvMatToQImage makes of a frame of `width` x `height`
// pixels with `bitCount` bits per pixel (8: Format_Indexed8, 24: Format_RGB888):
// each row of width x bytes per pixel rounded up to a multiple of 4, times the
// rows, without its colour table. 0 for any other bit count; sizes beyond 64
// bits give UINT64_MAX.
std::uint64_t frameImageBytes(std::uint32_t width, std::uint32_t height, std::uint32_t bitCount);

// Converts a matrix of 8-bit pixels into an image that owns its pixels:
// one channel -> Format_Indexed8 with a 256-entry grey colour table;
// three channels (blue, green, red) -> Format_RGB888 (red, green, blue);
// four channels -> a copy in Format_ARGB32. Any other type gives a null image
// and the log line "ERROR: Mat could not be converted to QImage."; so does a
// matrix whose image cannot be allocated (or that Qt refuses for its size),
// after a warning. The result never refers to the matrix data.
QImage cvMatToQImage(const cv::Mat &mat);

// The frame as the picture label shows it: smoothly scaled to `size`, pixel for
// pixel what QImage::scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
// gives for it. A grey frame made larger in both directions is worked out on its
// one grey plane instead of Qt's four channels, several times faster, and comes
// in RGB32; so does a grey or colour frame made smaller in both directions
// (reduceForDisplay). A null frame or an empty size gives a null image.
QImage scaleForDisplay(const QImage &frame, const QSize &size);

#endif
