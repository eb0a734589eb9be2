// tavixctl stream: the measurement second by second and its verdict, the
// hand-off between the frame callback and the tool's consumer, and a camera
// that cannot be opened.
#include "core/streamstats.h"
#include "ctl/cameras.h"
#include "ctl/framehandoff.h"
#include "ctl/streamcmd.h"
#include "tests/fakesdk.h"

#include <QtTest>

using namespace streamstats;

Q_DECLARE_METATYPE(QVector<int>)

namespace {

QString describe(const Summary &s)
{
    return QStringLiteral("%1 s, %2 delivered, %3 dropped, fps %4/%5/%6, gap %7 ms, %8%9")
        .arg(s.seconds)
        .arg(s.delivered)
        .arg(s.dropped)
        .arg(s.fpsMin)
        .arg(s.fpsMean, 0, 'f', 2)
        .arg(s.fpsMax)
        .arg(gapMs(s.longestGapNs), 0, 'f', 1)
        .arg(s.pass ? QStringLiteral("pass") : QStringLiteral("fail"))
        .arg(s.faults.isEmpty() ? QString() : QStringLiteral(": ") + s.faults.join(QStringLiteral("; ")));
}

} // namespace

class TestStream : public QObject {
    Q_OBJECT
private slots:
    void measure_data();
    void measure();
    void handoff();
    void cameraThatCannotBeOpened();
};

void TestStream::measure_data()
{
    QTest::addColumn<QVector<int>>("counts"); // frames per second, evenly spread, the first at 0
    QTest::addColumn<QVector<int>>("dropped"); // which frames (0 on) were dropped
    QTest::addColumn<int>("seconds"); // the measurement asked for
    QTest::addColumn<int>("endMs"); // when the run ended, from the first frame
    QTest::addColumn<double>("expectFps"); // 0: none
    QTest::addColumn<QString>("expected");

    using V = QVector<int>;
    QTest::newRow("steady at the expected rate")
        << V { 30, 30, 30 } << V {} << 3 << 3050 << 30.0
        << "3 s, 90 delivered, 0 dropped, fps 30/30.00/30, gap 33.3 ms, pass";
    QTest::newRow("one drop fails")
        << V { 30, 30, 30 } << V { 40 } << 3 << 3000 << 0.0
        << "3 s, 90 delivered, 1 dropped, fps 30/30.00/30, gap 33.3 ms, fail: 1 of 90 "
           "frames dropped";
    QTest::newRow("at 90 % in every second, but the mean 10 % low")
        << V { 27, 27, 27 } << V {} << 3 << 3000 << 30.0
        << "3 s, 81 delivered, 0 dropped, fps 27/27.00/27, gap 37.0 ms, fail: mean 27.00 frames/s is not "
           "within "
           "5 % of 30";
    QTest::newRow("mean within 5 %, each second at 90 % at least")
        << V { 31, 31, 27 } << V {} << 3 << 3000 << 30.0
        << "3 s, 89 delivered, 0 dropped, fps 27/29.67/31, gap 37.0 ms, pass";
    QTest::newRow("one second below 90 %")
        << V { 31, 33, 26 } << V {} << 3 << 3000 << 30.0
        << "3 s, 90 delivered, 0 dropped, fps 26/30.00/33, gap 38.5 ms, fail: 1 second(s) below 90 % of 30 "
           "frames/s, the first: second 3 (26 frames)";
    QTest::newRow("a second without a frame fails without an expected rate")
        << V { 31, 0, 31 } << V {} << 3 << 3000 << 0.0
        << "3 s, 62 delivered, 0 dropped, fps 0/20.67/31, gap 1032.3 ms, fail: 1 second(s) without a frame, "
           "the "
           "first: second 2";
    QTest::newRow("frames after the end do not count")
        << V { 30, 30 } << V { 45 } << 1 << 2000 << 30.0
        << "1 s, 30 delivered, 0 dropped, fps 30/30.00/30, gap 33.3 "
           "ms, pass";
    QTest::newRow("the camera stops: the open gap counts")
        << V { 30, 0 } << V {} << 2 << 2100 << 0.0
        << "2 s, 30 delivered, 0 dropped, fps 0/15.00/30, gap 1033.3 ms, fail: 1 second(s) without a frame, "
           "the "
           "first: second 2";
    QTest::newRow("interrupted within the first second")
        << V { 30 } << V {} << 10 << 500 << 30.0
        << "0 s, 0 delivered, 0 dropped, fps 0/0.00/0, gap 33.3 ms, fail: not one whole second measured";
}

void TestStream::measure()
{
    QFETCH(QVector<int>, counts);
    QFETCH(QVector<int>, dropped);
    QFETCH(int, seconds);
    QFETCH(int, endMs);
    QFETCH(double, expectFps);
    QFETCH(QString, expected);

    // Arrival times on a clock that does not start at 0, up to the run's end.
    const qint64 base = 123456789000;
    const qint64 end = base + qint64(endMs) * 1000000;
    Meter meter(seconds);
    int frame = 0;
    for (int second = 0; second < counts.size(); ++second) {
        for (int j = 0; j < counts.at(second); ++j, ++frame) {
            const qint64 ns = base + second * kSecondNs + j * kSecondNs / counts.at(second);
            if (ns < end)
                meter.frame(ns, dropped.contains(frame));
        }
    }
    QCOMPARE(meter.done(end), endMs >= seconds * 1000);
    const QVector<Second> rows = meter.seconds(end);
    QCOMPARE(describe(summarize(rows, meter.openGapNs(end), expectFps)), expected);

    // The CSV holds the same seconds.
    const QList<QByteArray> lines = csvText(rows).split('\n');
    QCOMPARE(lines.first(), QByteArray("second,delivered,dropped,longest_gap_ms"));
    QCOMPARE(lines.size(), rows.size() + 2); // and a final line feed
    if (!rows.isEmpty())
        QCOMPARE(lines.at(1),
            "1," + QByteArray::number(rows.first().delivered) + ',' + QByteArray::number(rows.first().dropped)
                + ',' + QByteArray::number(gapMs(rows.first().longestGapNs), 'f', 1));
}

void TestStream::handoff()
{
    ctl::FrameHandoff handoff;
    QVector<bool> arrivals; // dropped or not, in order
    handoff.open([&arrivals](qint64, bool dropped) { arrivals << dropped; });
    unsigned char pixels[64 * 48 * 3] = {};
    FrameInfo grey { 64, 48, 8, {} };
    const FrameInfo colour { 64, 48, 24, {} };

    // Without a consumer the two buffers fill up; the third frame is dropped.
    QCOMPARE(ctl::FrameHandoff::frameCallback(pixels, &grey, &handoff), 0);
    QCOMPARE(handoff.deliver(pixels, &colour), 0);
    QCOMPARE(handoff.deliver(pixels, &grey), 0);
    QCOMPARE(arrivals, (QVector<bool> { false, false, true }));
    // Frames the window refuses are dropped here too, with the window's results.
    const FrameInfo sixteen { 64, 48, 16, {} };
    const FrameInfo huge { 8192, 8193, 8, {} }; // one row over 64 MiB
    const FrameInfo empty { 0, 48, 8, {} };
    QVERIFY(handoff.takeOne());
    QCOMPARE(handoff.deliver(pixels, &sixteen), 0);
    QCOMPARE(handoff.deliver(pixels, &huge), 1);
    QCOMPARE(handoff.deliver(pixels, &empty), 1);
    QCOMPARE(handoff.deliver(nullptr, &grey), 0);
    QCOMPARE(arrivals.mid(3), (QVector<bool> { true, true, true, true }));
    // The buffer taken is free again; then the two are taken, and nothing more.
    QCOMPARE(handoff.deliver(pixels, &grey), 0);
    QCOMPARE(arrivals.last(), false);
    QVERIFY(handoff.takeOne());
    QVERIFY(handoff.takeOne());
    QVERIFY(!handoff.takeOne());
    QCOMPARE(handoff.taken(), qint64(3));

    // Closed: frames are neither kept nor counted.
    handoff.close();
    QCOMPARE(handoff.deliver(pixels, &grey), 0);
    QCOMPARE(arrivals.size(), 8);
    QVERIFY(!handoff.takeOne());
}

void TestStream::cameraThatCannotBeOpened()
{
    fake::install();
    fake::setCameras({ { "Cam-A", { 127, 0, 0, 2 }, { 2, 0x54, 0x56, 0, 0, 1 } } });
    const QVector<ctl::CameraEntry> cameras = ctl::enumerateCameras();
    fake::clear();
    fake::setStatus(7);
    ctl::Invocation inv;
    inv.command = ctl::Command::Stream;
    inv.camera = QStringLiteral("Cam-A");
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(ctl::runStream(inv, cameras, outStream, errStream), int(ctl::ExitBadInput));
    errStream.flush();
    QCOMPARE(
        err, QStringLiteral("tavixctl: cannot open Cam-A (127.0.0.2): IB_CC_RegisterImage returned 7\n"));
    QVERIFY(out.isEmpty());
    // Nothing is opened, started, stopped or closed after the refusal.
    QCOMPARE(fake::ops(), QStringList { QStringLiteral("Register") });
    fake::setStatus(0);
}

QTEST_GUILESS_MAIN(TestStream)
#include "tst_stream.moc"
