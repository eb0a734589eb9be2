#include "ctl/paramnames.h"

#include "core/paramcatalogue.h"

namespace ctl {

namespace {

    // Rows outside the parameter file.
    struct OwnName {
        int row;
        const char *name;
    };
    constexpr OwnName kOwnNames[] = {
        { 0, "CameraIp" },
        { 1, "CameraName" },
        { 22, "FrameRate" },
        { 23, "PrintRegister" },
        { 24, "SetRegister" },
        { 25, "StreamVdma" },
        { 26, "CaptureVdma" },
        { 27, "SensorSwitch" },
        { 28, "BlackLevelB" },
        { 29, "FilterThreshold" },
    };

} // namespace

QString rowName(int row)
{
    const paramcat::Parameter *parameter = paramcat::parameterByRow(row);
    if (parameter && parameter->fileKey)
        return QString::fromLatin1(parameter->fileKey);
    for (const OwnName &own : kOwnNames) {
        if (own.row == row)
            return QString::fromLatin1(own.name);
    }
    return QString();
}

int rowForName(const QString &name)
{
    if (name.isEmpty())
        return -1;
    const QStringList labels = paramcat::rowLabels();
    for (int row = 0; row < paramcat::kRowCount; ++row) {
        if (rowName(row).compare(name, Qt::CaseInsensitive) == 0 || labels.at(row) == name)
            return row;
    }
    return -1;
}

QStringList rowNames()
{
    QStringList names;
    for (int row = 0; row < paramcat::kRowCount; ++row)
        names << rowName(row);
    return names;
}

} // namespace ctl
