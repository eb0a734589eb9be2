#include "core/cameracode.h"

#include <QStringList>

QByteArray macToBytes(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('-'), Qt::KeepEmptyParts);
    QByteArray bytes;
    bytes.reserve(parts.size());
    for (const QString &part : parts) {
        bool ok = false;
        const qulonglong value = part.toULongLong(&ok, 16);
        bytes.append(char(ok ? (value & 0xFF) : 0));
    }
    return bytes;
}
