// Baseline TIFF, uncompressed, little-endian ("II", 42): one image of 8-bit
// grey (BlackIsZero) or 8-bit-per-sample RGB in a single strip, 72 dpi. Qt
// has no TIFF writer of its own without an extra plugin; this one needs none.
#ifndef TAVIX_TIFFIMAGE_H
#define TAVIX_TIFFIMAGE_H

#include <QByteArray>

namespace tiff {

// The file for `height` rows of `width` pixels with `samples` bytes each (1
// grey, 3 red-green-blue), row r starting at pixels + r * bytesPerLine (rows
// may be padded; the padding is not written). Empty for a width or height
// below 1, a sample count other than 1 or 3, a row shorter than its pixels,
// or an image whose file would not fit the format's 32-bit offsets.
QByteArray encode(const uchar *pixels, int width, int height, int bytesPerLine, int samples);

} // namespace tiff

#endif
