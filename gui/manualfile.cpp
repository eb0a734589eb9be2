#include "gui/manualfile.h"

#include <QDir>
#include <QFileInfo>

QString findManual(const QString &workingDir, const QString &programDir, const QString &docFromProgram)
{
    QStringList places { workingDir, programDir };
    if (!docFromProgram.isEmpty())
        places << QDir(programDir).filePath(docFromProgram);
    for (const QString &place : places) {
        if (place.isEmpty())
            continue;
        const QFileInfo file(QDir(place).filePath(QLatin1String(kManualFileName)));
        if (file.isFile())
            return QDir::cleanPath(file.absoluteFilePath());
    }
    return QString();
}
