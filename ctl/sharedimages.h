// The transfer images of the files a firmware run sends, read once and handed
// to every camera's download session: the cameras' sessions share the pieces
// (QByteArray is implicitly shared), so one file costs one read, one checksum
// and one copy in memory however many cameras receive it.
#ifndef TAVIX_CTL_SHAREDIMAGES_H
#define TAVIX_CTL_SHAREDIMAGES_H

#include "core/downloadsession.h"

#include <QHash>
#include <QString>

namespace ctl {

class SharedImages {
public:
    // A firmware::ImageSource: the file's image as first read. A file that
    // could not be read is tried again on the next request.
    std::optional<firmware::TransferImage> image(const QString &path, firmware::ImageError *error);
    // Forgets a file's image once no camera will ask for it again (the
    // sessions that still send it keep their pieces).
    void release(const QString &path);
    // Reads of the files so far (a test and the debug log count them).
    int reads() const { return readCount; }

private:
    QHash<QString, firmware::TransferImage> images;
    int readCount = 0;
};

} // namespace ctl

#endif
