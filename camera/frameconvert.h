#ifndef TAVIX_FRAMECONVERT_H
#define TAVIX_FRAMECONVERT_H

#include <QImage>
#include <opencv2/core/mat.hpp>

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
// in RGB32. A null frame or an empty size gives a null image.
QImage scaleForDisplay(const QImage &frame, const QSize &size);

#endif
