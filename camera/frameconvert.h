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

#endif
