#include "camera/imagefile.h"

#include "core/tiffimage.h"

#include <QIODevice>
#include <QImage>

namespace {

// Qt turns a PNG quality q into zlib's level (100 - q) / 11: 80 is level 1,
// the fastest that still compresses, so that a recording keeps up with the
// camera where the default level 6 takes several times as long per frame.
constexpr int PngQuality = 80;

} // namespace

bool writeImageFile(const QImage &image, QIODevice *file, recording::ImageFormat format)
{
    if (image.isNull() || !file)
        return false;
    switch (format) {
    case recording::ImageFormat::Bmp:
        return image.save(file, "BMP", 100);
    case recording::ImageFormat::Png:
        return image.save(file, "PNG", PngQuality);
    case recording::ImageFormat::Tiff:
        break;
    }
    const bool grey = image.isGrayscale();
    const QImage plain = image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const QByteArray bytes
        = tiff::encode(plain.constBits(), plain.width(), plain.height(), plain.bytesPerLine(), grey ? 1 : 3);
    return !bytes.isEmpty() && file->write(bytes) == bytes.size();
}
