// Recording image sequences: which frames a plan takes and when it ends, the
// names of folders and frames, the TIFF layout, and the recorder's thread:
// files in order, a full queue counted, a failing write leaving no file.
#include "camera/framerecorder.h"
#include "camera/imagefile.h"
#include "core/recordingplan.h"
#include "core/tiffimage.h"

#include <QBuffer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>

#ifndef Q_OS_WIN
#include "tests/filesizelimit.h"
#endif

using recording::ImageFormat;
using recording::StopRule;

Q_DECLARE_METATYPE(recording::StopRule)

namespace {

QImage greyFrame(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar(seed + 7 * x + 13 * y);
    return image;
}

// Reads one entry of a TIFF's first directory: the value of a one-count tag.
quint32 tiffTag(const QByteArray &file, quint16 tag)
{
    const auto *bytes = reinterpret_cast<const uchar *>(file.constData());
    const quint32 ifd = qFromLittleEndian<quint32>(bytes + 4);
    const quint16 count = qFromLittleEndian<quint16>(bytes + ifd);
    for (int i = 0; i < count; ++i) {
        const uchar *entry = bytes + ifd + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(entry) != tag)
            continue;
        const quint16 type = qFromLittleEndian<quint16>(entry + 2);
        return type == 3 ? qFromLittleEndian<quint16>(entry + 8) : qFromLittleEndian<quint32>(entry + 8);
    }
    return quint32(-1);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestRecording : public QObject {
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
    void names();
    void tiffLayout();
    void recorderWritesInOrder();
    void fullQueueCountsLostFrames();
    void failingWriteLeavesNoFile();
};

void TestRecording::plan_data()
{
    QTest::addColumn<int>("everyNth");
    QTest::addColumn<StopRule>("stop");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("elapsedMs"); // one per frame offered
    QTest::addColumn<QString>("decisions"); // number taken, "-" skipped, "x" over

    const QList<int> tenFrames { 0, 33, 66, 100, 133, 166, 200, 233, 266, 300 };
    QTest::newRow("every frame, until stopped")
        << 1 << StopRule::UntilStopped << 0 << tenFrames << "1 2 3 4 5 6 7 8 9 10";
    QTest::newRow("every 3rd, the first taken")
        << 3 << StopRule::UntilStopped << 0 << tenFrames << "1 - - 2 - - 3 - - 4";
    QTest::newRow("every frame, 4 frames")
        << 1 << StopRule::Frames << 4 << tenFrames << "1 2 3 4 x x x x x x";
    QTest::newRow("every 2nd, 3 frames: taken ones count")
        << 2 << StopRule::Frames << 3 << tenFrames << "1 - 2 - 3 x x x x x";
    QTest::newRow("1 s: a frame at 1000 ms is over")
        << 1 << StopRule::Seconds << 1 << QList<int> { 0, 500, 999, 1000, 1001 } << "1 2 3 x x";
    QTest::newRow("1 s, every 2nd") << 2 << StopRule::Seconds << 1 << QList<int> { 0, 400, 800, 999, 1200 }
                                    << "1 - 2 - x";
    QTest::newRow("0 is clamped to 1") << 0 << StopRule::Frames << 0 << QList<int> { 0, 1, 2 } << "1 x x";
}

void TestRecording::plan()
{
    QFETCH(int, everyNth);
    QFETCH(StopRule, stop);
    QFETCH(int, limit);
    QFETCH(QList<int>, elapsedMs);
    QFETCH(QString, decisions);

    recording::Settings settings;
    settings.everyNth = everyNth;
    settings.stop = stop;
    settings.seconds = limit;
    settings.frames = limit;
    recording::Plan plan(settings);
    QStringList seen;
    for (int ms : elapsedMs) {
        const recording::Plan::Decision d = plan.offer(ms);
        seen << (d.kind == d.Take ? QString::number(d.number) : d.kind == d.Skip ? "-" : "x");
    }
    QCOMPARE(seen.join(' '), decisions);
    QCOMPARE(plan.over(), decisions.endsWith('x'));
}

void TestRecording::names()
{
    // The time limit ends a plan even when no frame comes.
    recording::Settings settings;
    settings.stop = StopRule::Seconds;
    settings.seconds = 2;
    const recording::Plan timed(settings);
    QVERIFY(!timed.over(1999));
    QVERIFY(timed.over(2000));
    const recording::Plan untimed { recording::Settings() };
    QVERIFY(!untimed.over(1000LL * 1000 * 1000));

    const QDateTime start(QDate(2024, 5, 1), QTime(13, 45, 10, 123));
    QCOMPARE(recording::folderName(start), QStringLiteral("2024-05-01_13-45-10"));
    QCOMPARE(recording::folderName(start, 2), QStringLiteral("2024-05-01_13-45-10_2"));
    QCOMPARE(recording::frameFileName(1, ImageFormat::Bmp), QStringLiteral("000001.bmp"));
    QCOMPARE(recording::frameFileName(999999, ImageFormat::Png), QStringLiteral("999999.png"));
    QCOMPARE(recording::frameFileName(1000000, ImageFormat::Tiff), QStringLiteral("1000000.tif"));
    // Names sort as the frames came.
    QStringList names;
    for (int n : { 10, 9, 100, 1, 99999 })
        names << recording::frameFileName(n, ImageFormat::Bmp);
    names.sort();
    QCOMPARE(names, QStringList({ "000001.bmp", "000009.bmp", "000010.bmp", "000100.bmp", "099999.bmp" }));
}

void TestRecording::tiffLayout()
{
    // Rows padded to 4 bytes in the image, packed in the file.
    const QImage grey = greyFrame(3, 2, 1);
    QBuffer greyFile;
    greyFile.open(QIODevice::WriteOnly);
    QVERIFY(writeImageFile(grey, &greyFile, ImageFormat::Tiff));
    const QByteArray g = greyFile.data();
    QCOMPARE(g.left(4), QByteArray("II\x2a\x00", 4));
    QCOMPARE(tiffTag(g, 256), 3u);
    QCOMPARE(tiffTag(g, 257), 2u);
    QCOMPARE(tiffTag(g, 258), 8u);
    QCOMPARE(tiffTag(g, 262), 1u); // BlackIsZero
    QCOMPARE(tiffTag(g, 277), 1u);
    QCOMPARE(tiffTag(g, 279), 6u);
    const quint32 at = tiffTag(g, 273);
    QCOMPARE(qint64(at) + 6, qint64(g.size()));
    for (int y = 0; y < 2; ++y)
        QCOMPARE(
            g.mid(int(at) + 3 * y, 3), QByteArray(reinterpret_cast<const char *>(grey.constScanLine(y)), 3));

    // An indexed grey frame (as the camera's are converted) is written as grey;
    // a colour one as RGB.
    QImage indexed = grey.convertToFormat(QImage::Format_Indexed8);
    QBuffer indexedFile;
    indexedFile.open(QIODevice::WriteOnly);
    QVERIFY(writeImageFile(indexed, &indexedFile, ImageFormat::Tiff));
    QCOMPARE(indexedFile.data(), g);
    QImage colour(2, 1, QImage::Format_RGB888);
    colour.setPixel(0, 0, qRgb(1, 2, 3));
    colour.setPixel(1, 0, qRgb(4, 5, 6));
    QBuffer colourFile;
    colourFile.open(QIODevice::WriteOnly);
    QVERIFY(writeImageFile(colour, &colourFile, ImageFormat::Tiff));
    const QByteArray c = colourFile.data();
    QCOMPARE(tiffTag(c, 262), 2u);
    QCOMPARE(tiffTag(c, 277), 3u);
    QCOMPARE(c.mid(int(tiffTag(c, 273))), QByteArray("\x01\x02\x03\x04\x05\x06", 6));

    const uchar px[4] = {};
    QVERIFY(tiff::encode(px, 0, 1, 4, 1).isEmpty());
    QVERIFY(tiff::encode(px, 2, 2, 1, 1).isEmpty()); // rows shorter than their pixels
    QVERIFY(tiff::encode(px, 1, 1, 4, 4).isEmpty());
    QVERIFY(tiff::encode(nullptr, 1, 1, 4, 1).isEmpty());
}

void TestRecording::recorderWritesInOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FrameRecorder recorder(dir.path(), ImageFormat::Bmp);
    QSignalSpy finished(&recorder, &FrameRecorder::finished);
    for (int n = 1; n <= 5; ++n)
        QCOMPARE(recorder.offer(greyFrame(64, 32, n), n), FrameRecorder::Offer::Queued);
    recorder.finish();
    QCOMPARE(recorder.offer(greyFrame(64, 32, 9), 9), FrameRecorder::Offer::Closed);
    QVERIFY(finished.wait(10000));
    QCOMPARE(recorder.written(), 5);
    QCOMPARE(recorder.lost(), 0);
    QCOMPARE(filesIn(dir.path()),
        QStringList({ "000001.bmp", "000002.bmp", "000003.bmp", "000004.bmp", "000005.bmp" }));
    for (int n = 1; n <= 5; ++n) {
        const QImage back(dir.filePath(recording::frameFileName(n, ImageFormat::Bmp)));
        QCOMPARE(back.convertToFormat(QImage::Format_Grayscale8), greyFrame(64, 32, n));
    }
}

void TestRecording::fullQueueCountsLostFrames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The writer holds the first frame until released; the frame being written
    // still takes its room, so the queue of three frames' bytes takes two more.
    std::atomic<bool> release { false };
    std::atomic<int> entered { 0 };
    const QImage frame = greyFrame(100, 100, 0);
    FrameRecorder recorder(
        dir.path(), ImageFormat::Png, 3 * frame.sizeInBytes(), [&](const QImage &image, QIODevice *file) {
            ++entered;
            while (!release)
                QThread::msleep(1);
            return writeImageFile(image, file, ImageFormat::Png);
        });
    QSignalSpy finished(&recorder, &FrameRecorder::finished);
    struct Release {
        std::atomic<bool> &flag;
        ~Release() { flag = true; } // a failed check must not leave the writer waiting
    } releaseOnExit { release };
    QCOMPARE(recorder.offer(frame, 1), FrameRecorder::Offer::Queued);
    QTRY_COMPARE(entered.load(), 1); // taken out of the queue
    QCOMPARE(recorder.offer(frame, 2), FrameRecorder::Offer::Queued);
    QCOMPARE(recorder.offer(frame, 3), FrameRecorder::Offer::Queued);
    QCOMPARE(recorder.offer(frame, 4), FrameRecorder::Offer::Full);
    QCOMPARE(recorder.offer(frame, 5), FrameRecorder::Offer::Full);
    QCOMPARE(recorder.lost(), 2);
    release = true;
    recorder.finish();
    QVERIFY(finished.wait(10000));
    QCOMPARE(recorder.written(), 3);
    QCOMPARE(filesIn(dir.path()), QStringList({ "000001.png", "000002.png", "000003.png" }));
}

void TestRecording::failingWriteLeavesNoFile()
{
    struct Case {
        const char *name;
        bool diskFull; // the real file system refuses the bytes, else the writer fails midway
    };
    for (const Case &c : { Case { "writer fails", false }, Case { "disk full", true } }) {
#ifdef Q_OS_WIN
        if (c.diskFull)
            continue; // RLIMIT_FSIZE is POSIX
#endif
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::atomic<int> calls { 0 };
        FrameRecorder::ImageWriter writer = nullptr;
        if (!c.diskFull) {
            // The third frame: half its bytes written, then the encoder gives up.
            writer = [&calls](const QImage &image, QIODevice *file) {
                if (++calls < 3)
                    return writeImageFile(image, file, ImageFormat::Bmp);
                file->write(QByteArray(1000, 'x'));
                return false;
            };
        }
        FrameRecorder recorder(dir.path(), ImageFormat::Bmp, FrameRecorder::DefaultQueueBytes, writer);
        QSignalSpy failed(&recorder, &FrameRecorder::writeFailed);
        QSignalSpy finished(&recorder, &FrameRecorder::finished);
        const QImage frame = greyFrame(200, 100, 3); // about 21 KB as BMP
        {
#ifndef Q_OS_WIN
            // Files of up to 48 KB: the small frames fit, the large third does not.
            std::unique_ptr<FileSizeLimit> limit;
            if (c.diskFull) {
                limit = std::make_unique<FileSizeLimit>(48000);
                QVERIFY(limit->active());
            }
#endif
            for (int n = 1; n <= 5; ++n) {
                QImage big = frame;
                if (c.diskFull && n == 3)
                    big = greyFrame(400, 200, 3); // about 81 KB: over the limit
                QCOMPARE(recorder.offer(big, n), FrameRecorder::Offer::Queued);
            }
            QVERIFY2(failed.wait(10000) || failed.size() == 1, c.name);
            QVERIFY(finished.size() == 1 || finished.wait(10000));
        }
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed.at(0).at(0).toString().endsWith(QLatin1String("000003.bmp")), c.name);
        if (c.diskFull)
            QVERIFY2(!failed.at(0).at(1).toString().isEmpty(), "the system's reason is given");
        // The frames before are whole, the failing one and those after absent,
        // and no temporary file is left behind.
        QCOMPARE(filesIn(dir.path()), QStringList({ "000001.bmp", "000002.bmp" }));
        QCOMPARE(recorder.written(), 2);
        QCOMPARE(recorder.offer(frame, 6), FrameRecorder::Offer::Closed);
    }
}

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
