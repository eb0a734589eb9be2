#include "core/recentfiles.h"

#include <QDir>
#include <QFileInfo>

namespace recentfiles {

namespace {

    QString normalised(const QString &path)
    {
        return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    }

} // namespace

QStringList tidied(const QStringList &list, int max)
{
    QStringList out;
    for (const QString &entry : list) {
        if (out.size() >= max)
            break;
        if (entry.isEmpty())
            continue;
        const QString path = normalised(entry);
        if (!out.contains(path))
            out << path;
    }
    return out;
}

QStringList added(const QStringList &list, const QString &path, int max)
{
    if (path.isEmpty())
        return tidied(list, max);
    QStringList with { normalised(path) };
    with << list;
    return tidied(with, max);
}

} // namespace recentfiles
