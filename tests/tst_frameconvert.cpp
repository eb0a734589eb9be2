#include "camera/frameconvert.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <vector>

class TestFrameConvert : public QObject {
    Q_OBJECT
private slots:
    void greyGivesIndexedWithGreyTable();
    void greyCopiesEveryByteOfEveryRow_data();
    void greyCopiesEveryByteOfEveryRow();
    void colourSwapsBlueAndRed();
    void colourMatchesQtSwapForAnyWidthAndStride_data();
    void colourMatchesQtSwapForAnyWidthAndStride();
    void fourChannelsCopied();
    void unconvertibleGivesNullImage_data();
    void unconvertibleGivesNullImage();
    void resultIndependentOfMatrix();
    void displayScalingMatchesQtSmoothScaling_data();
    void displayScalingMatchesQtSmoothScaling();
};

void TestFrameConvert::greyGivesIndexedWithGreyTable()
{
    uchar data[4] = { 0, 127, 128, 255 };
    const cv::Mat mat(2, 2, CV_8UC1, data);
    const QImage image = cvMatToQImage(mat);
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QCOMPARE(image.size(), QSize(2, 2));
    QCOMPARE(image.colorCount(), 256);
    for (int i = 0; i < 256; ++i)
        QCOMPARE(image.color(i), qRgba(i, i, i, 255));
    QCOMPARE(image.pixel(0, 0), qRgba(0, 0, 0, 255));
    QCOMPARE(image.pixel(1, 0), qRgba(127, 127, 127, 255));
    QCOMPARE(image.pixel(0, 1), qRgba(128, 128, 128, 255));
    QCOMPARE(image.pixel(1, 1), qRgba(255, 255, 255, 255));
}

void TestFrameConvert::greyCopiesEveryByteOfEveryRow_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("padding");
    for (int width : { 1, 3, 63, 64, 65, 127, 130, 2448 })
        QTest::addRow("w%d", width) << width << 0;
    QTest::newRow("w70 padded rows") << 70 << 9;
}

void TestFrameConvert::greyCopiesEveryByteOfEveryRow()
{
    QFETCH(int, width);
    QFETCH(int, padding);
    const int height = 3;
    cv::Mat backing(height, width + padding, CV_8UC1);
    QRandomGenerator random(width);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < backing.cols; ++x)
            backing.at<uchar>(y, x) = uchar(random.bounded(256));
    const cv::Mat mat(height, width, CV_8UC1, backing.data, backing.step[0]);
    const QImage image = cvMatToQImage(mat);
    for (int y = 0; y < height; ++y)
        QVERIFY(std::memcmp(image.constScanLine(y), mat.ptr(y), std::size_t(width)) == 0);
    // The size the frame callback foresees for the image, padded rows and all.
    QCOMPARE(frameImageBytes(uint(width), uint(height), 8), quint64(image.sizeInBytes()));
}

void TestFrameConvert::colourSwapsBlueAndRed()
{
    cv::Mat mat(3, 5, CV_8UC3, cv::Scalar(255, 0, 0)); // blue, green, red
    const QImage image = cvMatToQImage(mat);
    QCOMPARE(image.format(), QImage::Format_RGB888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            QCOMPARE(image.pixel(x, y), qRgb(0, 0, 255));
}

void TestFrameConvert::colourMatchesQtSwapForAnyWidthAndStride_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("padding");
    for (int width : { 1, 5, 15, 16, 17, 31, 32, 33, 47, 48, 49, 100, 1279 })
        QTest::addRow("w%d packed", width) << width << 3 << 0;
    QTest::newRow("w17 padded rows") << 17 << 4 << 7;
    QTest::newRow("w64 padded rows") << 64 << 5 << 1;
}

void TestFrameConvert::colourMatchesQtSwapForAnyWidthAndStride()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, padding);
    // A view into a wider matrix has a row stride larger than its width.
    cv::Mat backing(height, width * 3 + padding, CV_8UC1);
    QRandomGenerator random(width * 31 + padding);
    for (int y = 0; y < backing.rows; ++y)
        for (int x = 0; x < backing.cols; ++x)
            backing.at<uchar>(y, x) = uchar(random.bounded(256));
    const cv::Mat mat(height, width, CV_8UC3, backing.data, backing.step[0]);

    const QImage wrapped(mat.data, mat.cols, mat.rows, int(mat.step[0]), QImage::Format_RGB888);
    const QImage expected = wrapped.rgbSwapped();
    QCOMPARE(cvMatToQImage(mat), expected);
    QCOMPARE(frameImageBytes(uint(width), uint(height), 24), quint64(expected.sizeInBytes()));
}

void TestFrameConvert::fourChannelsCopied()
{
    cv::Mat mat(2, 3, CV_8UC4, cv::Scalar(10, 20, 30, 255)); // blue, green, red, alpha in memory
    QTest::ignoreMessage(QtDebugMsg, "CV_8UC4");
    const QImage image = cvMatToQImage(mat);
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    QCOMPARE(image.pixel(2, 1), qRgba(30, 20, 10, 255));
}

void TestFrameConvert::unconvertibleGivesNullImage_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::newRow("16-bit pixels") << int(CV_16UC1) << 2 << int(QtDebugMsg)
                                   << "ERROR: Mat could not be converted to QImage.";
    // Widths Qt refuses for an image, as it refuses memory it cannot get: the
    // conversion must give a null image without writing a pixel.
    QTest::newRow("grey, no image memory") << int(CV_8UC1) << 300000000 << int(QtWarningMsg)
                                           << "cvMatToQImage: no memory for an image of 300000000 x 2";
    QTest::newRow("colour, no image memory") << int(CV_8UC3) << 100000000 << int(QtWarningMsg)
                                             << "cvMatToQImage: no memory for an image of 100000000 x 2";
}

void TestFrameConvert::unconvertibleGivesNullImage()
{
    QFETCH(int, type);
    QFETCH(int, cols);
    QFETCH(int, level);
    QFETCH(QString, message);
    // A view of the declared size on a small buffer: nothing may be read or written.
    std::vector<uchar> small(64, 1);
    const cv::Mat mat(2, cols, type, small.data());
    QTest::ignoreMessage(QtMsgType(level), qPrintable(message));
    QVERIFY(cvMatToQImage(mat).isNull());
}

void TestFrameConvert::resultIndependentOfMatrix()
{
    for (int type : { CV_8UC1, CV_8UC3, CV_8UC4 }) {
        cv::Mat mat(4, 4, type, cv::Scalar(50, 60, 70, 80));
        if (type == CV_8UC4)
            QTest::ignoreMessage(QtDebugMsg, "CV_8UC4");
        const QImage image = cvMatToQImage(mat);
        const QImage before = image.copy();
        mat.setTo(cv::Scalar(200, 210, 220, 230));
        QCOMPARE(image, before);
    }
}

enum class FrameKind { Grey, Colour, OtherTable };
Q_DECLARE_METATYPE(FrameKind)

void TestFrameConvert::displayScalingMatchesQtSmoothScaling_data()
{
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::addColumn<FrameKind>("kind");
    // Larger in both directions (the grey plane's own path), from the picture
    // label's usual case to edge pixels, equal sizes and extreme ratios.
    QTest::newRow("512 grey into the default label") << QSize(512, 512) << QSize(640, 724) << FrameKind::Grey;
    QTest::newRow("one pixel more") << QSize(640, 480) << QSize(641, 481) << FrameKind::Grey;
    QTest::newRow("same size") << QSize(33, 17) << QSize(33, 17) << FrameKind::Grey;
    QTest::newRow("one pixel source") << QSize(1, 1) << QSize(5, 3) << FrameKind::Grey;
    QTest::newRow("one row") << QSize(9, 1) << QSize(40, 7) << FrameKind::Grey;
    QTest::newRow("one column") << QSize(1, 9) << QSize(7, 40) << FrameKind::Grey;
    QTest::newRow("large ratio") << QSize(7, 3) << QSize(1000, 999) << FrameKind::Grey;
    QTest::newRow("wide only") << QSize(2, 300) << QSize(1279, 300) << FrameKind::Grey;
    // Smaller in both directions (the reduction on the frame's own channels):
    // the large sensors into the label, boxes of 2 to over 16 pixels, odd
    // widths (rows padded), one target pixel.
    QTest::newRow("1280 x 1024 grey into the label") << QSize(1280, 1024) << QSize(640, 724) << FrameKind::Grey;
    QTest::newRow("1280 x 1024 colour into the label") << QSize(1280, 1024) << QSize(640, 724) << FrameKind::Colour;
    QTest::newRow("2048 x 2048 grey into the label") << QSize(2048, 2048) << QSize(640, 724) << FrameKind::Grey;
    QTest::newRow("2448 x 2048 colour into the label") << QSize(2448, 2048) << QSize(640, 724) << FrameKind::Colour;
    QTest::newRow("one pixel less") << QSize(641, 481) << QSize(640, 480) << FrameKind::Colour;
    QTest::newRow("odd widths") << QSize(333, 97) << QSize(77, 31) << FrameKind::Grey;
    QTest::newRow("odd widths, colour") << QSize(101, 57) << QSize(13, 55) << FrameKind::Colour;
    QTest::newRow("boxes up to 16 pixels") << QSize(1500, 400) << QSize(111, 37) << FrameKind::Grey;
    QTest::newRow("boxes wider than 16") << QSize(2000, 300) << QSize(97, 11) << FrameKind::Colour;
    // A colour row is summed with its channels side by side while a box's
    // pixels fit 16 bytes (boxes of 5 pixels), split into channels beyond.
    QTest::newRow("colour, boxes of 5") << QSize(1000, 300) << QSize(200, 60) << FrameKind::Colour;
    QTest::newRow("colour, boxes of 6") << QSize(1200, 300) << QSize(200, 60) << FrameKind::Colour;
    QTest::newRow("colour, narrow and tall boxes") << QSize(300, 1000) << QSize(200, 50) << FrameKind::Colour;
    QTest::newRow("into one pixel") << QSize(37, 29) << QSize(1, 1) << FrameKind::Colour;
    QTest::newRow("into one row") << QSize(64, 2) << QSize(63, 1) << FrameKind::Grey;
    QTest::newRow("into one column") << QSize(2, 64) << QSize(1, 63) << FrameKind::Grey;
    // Smaller in one direction only, or neither grey nor colour: Qt's own scaling.
    QTest::newRow("narrower only") << QSize(700, 10) << QSize(640, 724) << FrameKind::Grey;
    QTest::newRow("shorter only, colour") << QSize(300, 800) << QSize(640, 724) << FrameKind::Colour;
    QTest::newRow("colour table not grey") << QSize(64, 64) << QSize(100, 100) << FrameKind::OtherTable;
    QTest::newRow("colour table not grey, smaller") << QSize(64, 64) << QSize(30, 20) << FrameKind::OtherTable;
}

void TestFrameConvert::displayScalingMatchesQtSmoothScaling()
{
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    QFETCH(FrameKind, kind);
    cv::Mat mat(from.height(), from.width(), kind == FrameKind::Colour ? CV_8UC3 : CV_8UC1);
    QRandomGenerator::global()->generate(mat.data, mat.data + mat.total() * mat.elemSize());
    // A saturated corner: whole boxes at 255 give the largest sums.
    mat(cv::Rect(0, 0, (from.width() + 1) / 2, (from.height() + 1) / 2)).setTo(cv::Scalar::all(255));
    QImage frame = cvMatToQImage(mat);
    if (kind == FrameKind::OtherTable)
        frame.setColor(7, qRgb(255, 0, 0));
    const auto qtScaled = [&frame](const QSize &size) {
        return frame.convertToFormat(QImage::Format_RGB32).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage shown = scaleForDisplay(frame, to);
    QCOMPARE(shown.size(), to);
    QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), qtScaled(to));

    // Random sizes around the row's, on the same side of the frame's size.
    auto *random = QRandomGenerator::global();
    const bool larger = to.width() >= from.width() && to.height() >= from.height();
    const bool smaller = to.width() < from.width() && to.height() < from.height();
    for (int i = 0; kind != FrameKind::OtherTable && (larger || smaller) && i < 20; ++i) {
        const QSize size = larger
            ? QSize(to.width() + random->bounded(300), to.height() + random->bounded(300))
            : QSize(1 + random->bounded(from.width() - 1), 1 + random->bounded(from.height() - 1));
        QCOMPARE(scaleForDisplay(frame, size), qtScaled(size));
    }
    QVERIFY(scaleForDisplay(frame, QSize(0, 10)).isNull());
    QVERIFY(scaleForDisplay(QImage(), to).isNull());
}

QTEST_APPLESS_MAIN(TestFrameConvert)
#include "tst_frameconvert.moc"
