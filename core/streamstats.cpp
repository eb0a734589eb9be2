#include "core/streamstats.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace streamstats {

Meter::Meter(int seconds)
    : m_seconds(std::max(seconds, 1))
{
}

void Meter::frame(qint64 ns, bool dropped)
{
    if (!m_started) {
        m_started = true;
        m_startNs = ns;
        m_lastNs = ns;
    }
    const qint64 offset = std::max<qint64>(ns - m_startNs, 0);
    if (offset / kSecondNs >= m_seconds.size())
        return;
    Second &second = m_seconds[int(offset / kSecondNs)];
    ++second.delivered;
    if (dropped)
        ++second.dropped;
    second.longestGapNs = std::max(second.longestGapNs, ns - m_lastNs);
    m_lastNs = std::max(m_lastNs, ns);
}

int Meter::secondsDone(qint64 ns) const
{
    if (!m_started || ns <= m_startNs)
        return 0;
    return int(std::min<qint64>((ns - m_startNs) / kSecondNs, m_seconds.size()));
}

QVector<Second> Meter::seconds(qint64 ns) const
{
    return m_seconds.mid(0, secondsDone(ns));
}

qint64 Meter::openGapNs(qint64 ns) const
{
    if (!m_started)
        return 0;
    const qint64 end = std::min(ns, m_startNs + m_seconds.size() * kSecondNs);
    return std::max<qint64>(end - m_lastNs, 0);
}

double gapMs(qint64 ns)
{
    return std::round(double(ns) / 1e5) / 10.0;
}

Summary summarize(const QVector<Second> &seconds, qint64 openGapNs, double expectFps)
{
    Summary summary;
    summary.seconds = seconds.size();
    summary.longestGapNs = openGapNs;
    int silent = 0;
    int firstSilent = 0;
    int slow = 0;
    int firstSlow = 0;
    for (int i = 0; i < seconds.size(); ++i) {
        const Second &second = seconds.at(i);
        summary.delivered += second.delivered;
        summary.dropped += second.dropped;
        summary.fpsMin = i == 0 ? second.delivered : std::min(summary.fpsMin, second.delivered);
        summary.fpsMax = std::max(summary.fpsMax, second.delivered);
        summary.longestGapNs = std::max(summary.longestGapNs, second.longestGapNs);
        if (second.delivered == 0 && silent++ == 0)
            firstSilent = i + 1;
        // Below 90 % of F, in whole numbers: 10 n < 9 F.
        if (expectFps > 0 && second.delivered * 10.0 < expectFps * 9.0 && slow++ == 0)
            firstSlow = i + 1;
    }
    if (!seconds.isEmpty())
        summary.fpsMean = double(summary.delivered) / seconds.size();

    const QString fps = QString::number(expectFps, 'g', 7);
    if (seconds.isEmpty())
        summary.faults << QStringLiteral("not one whole second measured");
    if (summary.dropped > 0)
        summary.faults
            << QStringLiteral("%1 of %2 frames dropped").arg(summary.dropped).arg(summary.delivered);
    if (silent > 0)
        summary.faults << QStringLiteral("%1 second(s) without a frame, the first: second %2")
                              .arg(silent)
                              .arg(firstSilent);
    // Within 5 % of F: |delivered - F seconds| 20 <= F seconds.
    if (expectFps > 0 && !seconds.isEmpty()
        && std::fabs(summary.delivered - expectFps * seconds.size()) * 20.0 > expectFps * seconds.size())
        summary.faults << QStringLiteral("mean %1 frames/s is not within 5 % of %2")
                              .arg(summary.fpsMean, 0, 'f', 2)
                              .arg(fps);
    if (slow > 0)
        summary.faults << QStringLiteral(
            "%1 second(s) below 90 % of %2 frames/s, the first: second %3 (%4 frames)")
                              .arg(slow)
                              .arg(fps)
                              .arg(firstSlow)
                              .arg(seconds.at(firstSlow - 1).delivered);
    summary.pass = summary.faults.isEmpty();
    return summary;
}

QByteArray csvText(const QVector<Second> &seconds)
{
    QByteArray text = "second,delivered,dropped,longest_gap_ms\n";
    for (int i = 0; i < seconds.size(); ++i) {
        const Second &second = seconds.at(i);
        text += QByteArray::number(i + 1) + ',' + QByteArray::number(second.delivered) + ','
            + QByteArray::number(second.dropped) + ','
            + QByteArray::number(gapMs(second.longestGapNs), 'f', 1) + '\n';
    }
    return text;
}

} // namespace streamstats
