#include "core/logbuffer.h"

#include <QMutexLocker>
#include <QStringList>

LogBuffer::LogBuffer(int capacity)
    : cap(qMax(1, capacity))
{
}

void LogBuffer::append(const QDateTime &time, const QString &text)
{
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    QMutexLocker lock(&mutex);
    for (QString &part : parts) {
        if (part.endsWith(QLatin1Char('\r')))
            part.chop(1);
        LogLine line { ++seq, time, std::move(part) };
        if (ring.size() < cap) {
            ring.append(std::move(line));
        } else {
            ring[head] = std::move(line);
            head = (head + 1) % cap;
        }
    }
}

void LogBuffer::clear()
{
    QMutexLocker lock(&mutex);
    ring.clear();
    head = 0;
}

int LogBuffer::size() const
{
    QMutexLocker lock(&mutex);
    return ring.size();
}

quint64 LogBuffer::lastSeq() const
{
    QMutexLocker lock(&mutex);
    return seq;
}

QVector<LogLine> LogBuffer::linesSince(quint64 after) const
{
    QMutexLocker lock(&mutex);
    QVector<LogLine> lines;
    const int n = ring.size();
    // Lines are kept in seq order from the oldest slot on: skip the old ones.
    const quint64 oldest = n == 0 ? seq + 1 : ring[head % n].seq;
    const quint64 skip = after < oldest ? 0 : after - oldest + 1;
    if (skip >= quint64(n))
        return lines;
    lines.reserve(n - int(skip));
    for (int i = int(skip); i < n; ++i)
        lines.append(ring[(head + i) % n]);
    return lines;
}

QString formatLogLine(const LogLine &line)
{
    return line.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + QStringLiteral("  ") + line.text;
}

bool logLineMatches(const LogLine &line, const QString &filter)
{
    return filter.isEmpty() || formatLogLine(line).contains(filter, Qt::CaseInsensitive);
}
