#include "ctl/sharedimages.h"

#include <QDebug>

namespace ctl {

std::optional<firmware::TransferImage> SharedImages::image(const QString &path, firmware::ImageError *error)
{
    const auto found = images.constFind(path);
    if (found != images.constEnd())
        return *found;
    ++readCount;
    std::optional<firmware::TransferImage> image = firmware::readTransferImageFile(path, error);
    if (image) {
        qDebug().noquote() << "read" << path << "once for every camera:" << image->imageSize << "bytes";
        images.insert(path, *image);
    }
    return image;
}

void SharedImages::release(const QString &path)
{
    images.remove(path);
}

} // namespace ctl
