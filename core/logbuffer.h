// The last lines of the program's debug log, for the log view: a ring of a
// fixed number of lines, each with the time it was written. Safe to append
// from any thread (Qt's message handler runs on the thread that logs).
#ifndef TAVIX_LOGBUFFER_H
#define TAVIX_LOGBUFFER_H

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QVector>

// One line of the log. `seq` counts every line ever appended, from 1, and
// goes on counting across clear(), so a reader can ask for what is new.
struct LogLine {
    quint64 seq = 0;
    QDateTime time;
    QString text;
};

class LogBuffer {
public:
    static constexpr int DefaultCapacity = 20000;

    // `capacity` lines at most (at least 1); the oldest goes when one more comes.
    explicit LogBuffer(int capacity = DefaultCapacity);

    // Appends `text` stamped `time`; text of several lines gives one line each,
    // all with that stamp (a trailing line break gives no empty line).
    void append(const QDateTime &time, const QString &text);
    // Forgets every line; the count of lines appended goes on.
    void clear();

    int capacity() const { return cap; }
    int size() const;
    // The seq of the newest line appended; 0 before any.
    quint64 lastSeq() const;
    // The lines kept whose seq is greater than `after`, oldest first.
    QVector<LogLine> linesSince(quint64 after = 0) const;

private:
    mutable QMutex mutex;
    QVector<LogLine> ring; // `cap` slots once full
    int cap;
    int head = 0; // slot of the oldest line once the ring is full
    quint64 seq = 0;
};

// "yyyy-MM-dd hh:mm:ss.zzz  text": the line as the view shows and saves it.
QString formatLogLine(const LogLine &line);

// True when `filter` is empty or the formatted line holds it, ignoring case.
bool logLineMatches(const LogLine &line, const QString &filter);

#endif
