// Writing a frame image as a file of the snapshot and recording formats.
#ifndef TAVIX_IMAGEFILE_H
#define TAVIX_IMAGEFILE_H

#include "core/recordingplan.h"

class QImage;
class QIODevice;

// Writes `image` to `file` as BMP (quality 100, as snapshots always were),
// PNG (zlib's fastest level) or uncompressed TIFF (grey frames as 8-bit
// grey, any other as 24-bit RGB). False when the image is null or the bytes
// could not all be written.
bool writeImageFile(const QImage &image, QIODevice *file, recording::ImageFormat format);

#endif
