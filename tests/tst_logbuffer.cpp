// The log view's ring of lines: order, wrap-around, what is new, the filter.
#include "core/logbuffer.h"

#include <QtTest>

namespace {

const QDateTime kTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89));

QStringList texts(const QVector<LogLine> &lines)
{
    QStringList out;
    for (const LogLine &line : lines)
        out << line.text;
    return out;
}

QList<quint64> seqs(const QVector<LogLine> &lines)
{
    QList<quint64> out;
    for (const LogLine &line : lines)
        out << line.seq;
    return out;
}

} // namespace

class TestLogBuffer : public QObject {
    Q_OBJECT

private slots:
    void orderAndWrapAround();
    void linesSince();
    void filter_data();
    void filter();
};

void TestLogBuffer::orderAndWrapAround()
{
    LogBuffer log(3);
    log.append(kTime, QStringLiteral("a"));
    log.append(kTime, QStringLiteral("b\nc\n")); // two lines, no empty third
    QCOMPARE(texts(log.linesSince()), QStringList({ "a", "b", "c" }));
    log.append(kTime.addSecs(1), QStringLiteral("d\r\ne"));
    QCOMPARE(log.size(), 3);
    QCOMPARE(texts(log.linesSince()), QStringList({ "c", "d", "e" }));
    QCOMPARE(seqs(log.linesSince()), QList<quint64>({ 3, 4, 5 }));
    QCOMPARE(log.linesSince().last().time, kTime.addSecs(1));

    // Many times round the ring, the order still holds.
    for (int i = 0; i < 10; ++i)
        log.append(kTime, QString::number(i));
    QCOMPARE(texts(log.linesSince()), QStringList({ "7", "8", "9" }));

    // Clear forgets the lines, not the count.
    log.clear();
    QCOMPARE(log.size(), 0);
    QVERIFY(log.linesSince().isEmpty());
    log.append(kTime, QStringLiteral("x"));
    QCOMPARE(seqs(log.linesSince()), QList<quint64>({ 16 }));

    LogBuffer full;
    QCOMPARE(full.capacity(), 20000);
    for (int i = 0; i < 20005; ++i)
        full.append(kTime, QString::number(i));
    QCOMPARE(full.size(), 20000);
    QCOMPARE(full.linesSince().first().text, QStringLiteral("5"));
    QCOMPARE(full.linesSince().last().text, QStringLiteral("20004"));
}

void TestLogBuffer::linesSince()
{
    LogBuffer log(4);
    QCOMPARE(log.lastSeq(), quint64(0));
    QVERIFY(log.linesSince(0).isEmpty());
    for (const char *t : { "a", "b", "c" })
        log.append(kTime, QLatin1String(t));
    QCOMPARE(texts(log.linesSince(1)), QStringList({ "b", "c" }));
    QVERIFY(log.linesSince(3).isEmpty());
    QVERIFY(log.linesSince(99).isEmpty());
    // A reader who last saw line 1 gets what the ring still holds after it.
    for (const char *t : { "d", "e", "f", "g" })
        log.append(kTime, QLatin1String(t));
    QCOMPARE(texts(log.linesSince(1)), QStringList({ "d", "e", "f", "g" }));
    QCOMPARE(texts(log.linesSince(5)), QStringList({ "f", "g" }));
}

void TestLogBuffer::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("matches");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("text") << "OpenCamera" << true;
    QTest::newRow("other case") << "opencamera is" << true;
    QTest::newRow("Chinese") << "相机" << true;
    QTest::newRow("stamp") << "05:06:07.089" << true;
    QTest::newRow("absent") << "CloseCamera" << false;
}

void TestLogBuffer::filter()
{
    QFETCH(QString, filter);
    QFETCH(bool, matches);
    const LogLine line { 1, kTime, QStringLiteral("IB_CC_OpenCamera is: 0 相机") };
    QCOMPARE(formatLogLine(line), QStringLiteral("2026-03-04 05:06:07.089  IB_CC_OpenCamera is: 0 相机"));
    QCOMPARE(logLineMatches(line, filter), matches);
}

QTEST_APPLESS_MAIN(TestLogBuffer)
#include "tst_logbuffer.moc"
