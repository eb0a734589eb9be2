#include "core/recordingplan.h"

namespace recording {

const char *formatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png:
        return "PNG";
    case ImageFormat::Tiff:
        return "TIFF";
    case ImageFormat::Bmp:
        break;
    }
    return "BMP";
}

const char *formatSuffix(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png:
        return "png";
    case ImageFormat::Tiff:
        return "tif";
    case ImageFormat::Bmp:
        break;
    }
    return "bmp";
}

Settings clamped(Settings settings)
{
    settings.everyNth = qBound(1, settings.everyNth, MaxEveryNth);
    settings.seconds = qBound(1, settings.seconds, MaxSeconds);
    settings.frames = qBound(1, settings.frames, MaxFrames);
    return settings;
}

QString folderName(const QDateTime &start, int attempt)
{
    QString name = start.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    if (attempt > 0)
        name += QStringLiteral("_%1").arg(attempt);
    return name;
}

QString frameFileName(int number, ImageFormat format)
{
    return QStringLiteral("%1.%2")
        .arg(number, 6, 10, QLatin1Char('0'))
        .arg(QLatin1String(formatSuffix(format)));
}

Plan::Plan(const Settings &settings)
    : set(clamped(settings))
{
}

bool Plan::over(qint64 elapsedMs) const
{
    return ended || (set.stop == StopRule::Seconds && elapsedMs >= qint64(set.seconds) * 1000);
}

Plan::Decision Plan::offer(qint64 elapsedMs)
{
    if (over(elapsedMs)) {
        ended = true;
        return { Decision::Over, 0 };
    }
    const int index = offeredCount++;
    if (index % set.everyNth != 0)
        return { Decision::Skip, 0 };
    const int number = ++takenCount;
    if (set.stop == StopRule::Frames && takenCount >= set.frames)
        ended = true;
    return { Decision::Take, number };
}

} // namespace recording
