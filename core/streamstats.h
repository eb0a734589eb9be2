// The measurement of a camera's frame stream, second by second: the frames
// that reached the frame callback, those of them that could not be kept, and
// the gaps between frames; and the verdict on them. Pure: the caller gives
// the arrival times, on any steady clock, in nanoseconds.
#ifndef TAVIX_STREAMSTATS_H
#define TAVIX_STREAMSTATS_H

#include <QByteArray>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

namespace streamstats {

constexpr qint64 kSecondNs = 1000000000;

// One second of the measurement; seconds count from the first frame.
struct Second {
    int delivered = 0; // frames that reached the callback in this second, dropped ones included
    int dropped = 0; // of them, frames that found no empty buffer (or that no buffer takes)
    qint64 longestGapNs = 0; // the longest time between two frames, the later one in this second
};

class Meter {
public:
    // A measurement of `seconds` whole seconds (at least 1).
    explicit Meter(int seconds);

    // A frame at `ns`. The first frame starts the measurement; frames at or
    // after its end are not counted, and neither is the wait for the first.
    void frame(qint64 ns, bool dropped);

    bool started() const { return m_started; }
    // The whole seconds measured by `ns`: 0 before the first frame, at most `seconds`.
    int secondsDone(qint64 ns) const;
    bool done(qint64 ns) const { return m_started && secondsDone(ns) >= m_seconds.size(); }
    // The whole seconds measured by `ns`, first to last.
    QVector<Second> seconds(qint64 ns) const;
    // Second `index` (0 on) of the measurement, finished or not.
    Second at(int index) const { return m_seconds.value(index); }
    // The time from the last frame to `ns` (or to the measurement's end, when
    // that is earlier): a gap that no frame has ended yet. 0 before the first frame.
    qint64 openGapNs(qint64 ns) const;

private:
    QVector<Second> m_seconds;
    bool m_started = false;
    qint64 m_startNs = 0;
    qint64 m_lastNs = 0;
};

struct Summary {
    int seconds = 0;
    qint64 delivered = 0;
    qint64 dropped = 0;
    int fpsMin = 0; // frames in the slowest second
    double fpsMean = 0; // delivered / seconds
    int fpsMax = 0;
    qint64 longestGapNs = 0;
    bool pass = false;
    QStringList faults; // why the run did not pass, one text each
};

// The verdict on `seconds`: pass when at least one whole second was measured,
// no frame was dropped and no second went without a frame; with an expected
// rate `expectFps` (0: none) also the mean within 5 % of it and no second
// below 90 % of it. `openGapNs` (the gap still open at the end, or the whole
// wait when no frame came) counts towards the longest gap.
Summary summarize(const QVector<Second> &seconds, qint64 openGapNs, double expectFps);

// The seconds as CSV, for the line's records: the header
// "second,delivered,dropped,longest_gap_ms", then one row per second, seconds
// numbered from 1, gaps in milliseconds with one decimal ("1,30,0,33.4").
// Lines end with a line feed.
QByteArray csvText(const QVector<Second> &seconds);

// Milliseconds rounded to one decimal, as the summaries show gaps.
double gapMs(qint64 ns);

} // namespace streamstats

#endif
