#include "camera/imagefile.h"

#include "core/tiffimage.h"

#include <QIODevice>
#include <QImage>

bool writeImageFile(const QImage &image, QIODevice *file, recording::ImageFormat format)
{
    if (image.isNull() || !file)
        return false;
    switch (format) {
    case recording::ImageFormat::Bmp:
        return image.save(file, "BMP", 100);
    case recording::ImageFormat::Png:
        return image.save(file, "PNG");
    case recording::ImageFormat::Tiff:
        break;
    }
    const bool grey = image.isGrayscale();
    const QImage plain = image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const QByteArray bytes
        = tiff::encode(plain.constBits(), plain.width(), plain.height(), plain.bytesPerLine(), grey ? 1 : 3);
    return !bytes.isEmpty() && file->write(bytes) == bytes.size();
}
