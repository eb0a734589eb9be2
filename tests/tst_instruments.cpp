// The numbers behind the picture views and the statistics: the view-to-frame
// mapping, pixel values, histograms and their statistics, the focus score and
// the saturation marks.
#include "camera/framestats.h"
#include "camera/viewmapping.h"
#include "gui/statisticsdock.h"

#include <QtTest>

#include <cmath>
#include <cstring>

Q_DECLARE_METATYPE(view::View)

namespace {

QImage greyFrame(int width, int height, const QVector<int> &levels)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QVector<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table << qRgb(i, i, i);
    image.setColorTable(table);
    for (int i = 0; i < width * height; ++i)
        image.scanLine(i / width)[i % width] = uchar(levels.value(i));
    return image;
}

QImage colourFrame(int width, int height, const QVector<QRgb> &pixels)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int i = 0; i < width * height; ++i)
        image.setPixel(i % width, i / width, pixels.value(i));
    return image;
}

view::View zoomed(int step, QPointF origin = {})
{
    view::View v;
    v.mode = view::Mode::Zoom;
    v.step = step;
    v.origin = origin;
    return v;
}

} // namespace

class TestInstruments : public QObject {
    Q_OBJECT

private slots:
    void visibleRegion_data();
    void visibleRegion();
    void zoomKeepsThePixelUnderTheCursor();
    void framePixelAt_data();
    void framePixelAt();
    void pixelValue();
    void statistics_data();
    void statistics();
    void focusScore_data();
    void focusScore();
    void saturationMarks();
    void histogramPicture();
    void refreshPacing();
};

void TestInstruments::visibleRegion_data()
{
    QTest::addColumn<view::View>("view");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("expected");
    const QSize large(1000, 1000);
    // A 640 x 480 area over a frame at the area's top left, at every step.
    QTest::newRow("1/8x") << zoomed(-3) << large << QRect(0, 0, 1000, 1000);
    QTest::newRow("1/4x") << zoomed(-2) << large << QRect(0, 0, 1000, 1000);
    QTest::newRow("1/2x") << zoomed(-1) << large << QRect(0, 0, 1000, 960);
    QTest::newRow("1x") << zoomed(0) << large << QRect(0, 0, 640, 480);
    QTest::newRow("2x") << zoomed(1) << large << QRect(0, 0, 320, 240);
    QTest::newRow("4x") << zoomed(2) << large << QRect(0, 0, 160, 120);
    QTest::newRow("8x") << zoomed(3) << large << QRect(0, 0, 80, 60);
    QTest::newRow("16x") << zoomed(4) << large << QRect(0, 0, 40, 30);
    QTest::newRow("32x") << zoomed(5) << large << QRect(0, 0, 20, 15);
    QTest::newRow("beyond 32x is 32x") << zoomed(9) << large << QRect(0, 0, 20, 15);
    // Pixels seen in part count, at both edges.
    QTest::newRow("2x, panned by half pixels") << zoomed(1, { -10.5, -3 }) << large << QRect(5, 1, 321, 241);
    QTest::newRow("8x, near the far corner")
        << zoomed(3, { -7700, -7800 }) << large << QRect(962, 975, 38, 25);
    QTest::newRow("one-pixel frame at 32x") << zoomed(5, { 300, 200 }) << QSize(1, 1) << QRect(0, 0, 1, 1);
    QTest::newRow("frame beside the area") << zoomed(0, { 700, 0 }) << large << QRect();
    QTest::newRow("stretched: the whole frame") << view::View() << large << QRect(0, 0, 1000, 1000);
    view::View fit;
    fit.mode = view::Mode::Fit;
    QTest::newRow("fitted: the whole frame") << fit << QSize(3, 7) << QRect(0, 0, 3, 7);
}

void TestInstruments::visibleRegion()
{
    QFETCH(view::View, view);
    QFETCH(QSize, frame);
    QFETCH(QRect, expected);
    QCOMPARE(view::visibleRegion(view, frame, QSize(640, 480)), expected);
}

void TestInstruments::zoomKeepsThePixelUnderTheCursor()
{
    const QSize frame(1280, 1024);
    const QSize area(640, 724);
    const QPointF cursor(201.3, 455.8);
    const QPoint pixel = *view::framePixelAt(view::View(), frame, area, cursor);
    // Stretched at 1/2 x across: the first step in is 1:1.
    view::View v = view::zoomedAround(view::View(), frame, area, cursor, 1);
    QCOMPARE(v.mode, view::Mode::Zoom);
    QCOMPARE(v.step, 0);
    // Every step in, then every step out, past both ends.
    for (int steps : { 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1 }) {
        v = view::zoomedAround(v, frame, area, cursor, steps);
        QVERIFY(v.step >= view::MinZoomStep && v.step <= view::MaxZoomStep);
        QCOMPARE(view::framePixelAt(v, frame, area, cursor), std::optional<QPoint>(pixel));
        const QRect seen = view::visibleRegion(v, frame, area);
        QVERIFY(seen.contains(pixel));
    }
    QCOMPARE(v.step, view::MinZoomStep);

    // 1:1 at the cursor from the stretched view, then panned by whole pixels.
    v = view::oneToOneAt(view::View(), frame, area, cursor);
    QCOMPARE(view::framePixelAt(v, frame, area, cursor), std::optional<QPoint>(pixel));
    v = view::panned(v, frame, area, QPointF(-5, 2));
    QCOMPARE(view::framePixelAt(v, frame, area, cursor), std::optional<QPoint>(pixel + QPoint(5, -2)));
    // Panning never takes the frame out of the area.
    v = view::panned(v, frame, area, QPointF(100000, -100000));
    const QRectF kept = view::frameRect(v, frame, area).intersected(QRectF(QPointF(0, 0), QSizeF(area)));
    QCOMPARE(kept.size(), QSizeF(view::PanKeepPixels, view::PanKeepPixels));
}

void TestInstruments::framePixelAt_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QPoint>("pixel"); // (-1, -1): none
    // A 4 x 2 frame in a 400 x 400 area.
    const int stretch = int(view::Mode::Stretch), fit = int(view::Mode::Fit);
    QTest::newRow("stretched, top left") << stretch << QPointF(0, 0) << QPoint(0, 0);
    QTest::newRow("stretched, last pixel") << stretch << QPointF(399.9, 399.9) << QPoint(3, 1);
    QTest::newRow("stretched, second row") << stretch << QPointF(100, 200) << QPoint(1, 1);
    // Fitted: 400 x 200, from y 100 to 300.
    QTest::newRow("fitted, above the frame") << fit << QPointF(200, 99) << QPoint(-1, -1);
    QTest::newRow("fitted, first row") << fit << QPointF(0, 100) << QPoint(0, 0);
    QTest::newRow("fitted, last pixel") << fit << QPointF(399, 299.5) << QPoint(3, 1);
    QTest::newRow("fitted, below the frame") << fit << QPointF(399, 300) << QPoint(-1, -1);
}

void TestInstruments::framePixelAt()
{
    QFETCH(int, mode);
    QFETCH(QPointF, at);
    QFETCH(QPoint, pixel);
    view::View v;
    v.mode = view::Mode(mode);
    const auto found = view::framePixelAt(v, QSize(4, 2), QSize(400, 400), at);
    QCOMPARE(found.value_or(QPoint(-1, -1)), pixel);
}

void TestInstruments::pixelValue()
{
    const QImage grey = greyFrame(2, 2, { 0, 127, 128, 255 });
    framestats::PixelValue v = framestats::pixelValue(grey, QPoint(1, 1));
    QVERIFY(v.valid && v.grey);
    QCOMPARE(v.level[0], 255);
    QVERIFY(!framestats::pixelValue(grey, QPoint(2, 0)).valid);
    QVERIFY(!framestats::pixelValue(grey, QPoint(0, -1)).valid);
    QVERIFY(!framestats::pixelValue(QImage(), QPoint(0, 0)).valid);

    const QImage colour = colourFrame(3, 1, { qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(250, 128, 7) });
    v = framestats::pixelValue(colour, QPoint(2, 0));
    QVERIFY(v.valid && !v.grey);
    QCOMPARE((QVector<int> { v.level[0], v.level[1], v.level[2] }), (QVector<int> { 250, 128, 7 }));
}

void TestInstruments::statistics_data()
{
    QTest::addColumn<QImage>("frame");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("channel");
    QTest::addColumn<quint64>("pixels");
    QTest::addColumn<QVector<double>>("expected"); // min, max, mean, std dev, share at 0, at 255
    const QImage grey = greyFrame(2, 2, { 0, 127, 128, 255 });
    QTest::newRow("grey, whole frame") << grey << grey.rect() << 0 << quint64(4)
                                       << QVector<double> { 0, 255, 127.5, std::sqrt(8128.25), 0.25, 0.25 };
    QTest::newRow("grey, right column")
        << grey << QRect(1, 0, 1, 2) << 0 << quint64(2) << QVector<double> { 127, 255, 191, 64, 0, 0.5 };
    QTest::newRow("grey, region beyond the frame is clipped")
        << grey << QRect(1, 1, 50, 50) << 0 << quint64(1) << QVector<double> { 255, 255, 255, 0, 0, 1 };
    QTest::newRow("grey, region outside")
        << grey << QRect(5, 5, 2, 2) << 0 << quint64(0) << QVector<double> { 0, 0, 0, 0, 0, 0 };
    const QImage one = colourFrame(1, 1, { qRgb(0, 20, 255) });
    QTest::newRow("one colour pixel, red")
        << one << one.rect() << 0 << quint64(1) << QVector<double> { 0, 0, 0, 0, 1, 0 };
    QTest::newRow("one colour pixel, green")
        << one << one.rect() << 1 << quint64(1) << QVector<double> { 20, 20, 20, 0, 0, 0 };
    QTest::newRow("one colour pixel, blue")
        << one << one.rect() << 2 << quint64(1) << QVector<double> { 255, 255, 255, 0, 0, 1 };
    const QImage row = colourFrame(4, 1, { qRgb(10, 0, 0), qRgb(20, 0, 0), qRgb(30, 0, 0), qRgb(40, 0, 0) });
    QTest::newRow("colour, edge pixels") << row << QRect(0, 0, 4, 1) << 0 << quint64(4)
                                         << QVector<double> { 10, 40, 25, std::sqrt(125.0), 0, 0 };
    // Wide enough for the counters' eight (grey) and four (colour) pixels at a time, and the rest.
    const QImage ramp = greyFrame(11, 1, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 });
    QTest::newRow("grey, eleven levels") << ramp << ramp.rect() << 0 << quint64(11)
                                         << QVector<double> { 0, 10, 5, std::sqrt(10.0), 1 / 11.0, 0 };
    const QImage bars = colourFrame(5, 1, { qRgb(255, 1, 0), qRgb(255, 2, 0), qRgb(255, 3, 0), qRgb(0, 4, 0), qRgb(0, 5, 0) });
    QTest::newRow("colour, five pixels, green")
        << bars << bars.rect() << 1 << quint64(5) << QVector<double> { 1, 5, 3, std::sqrt(2.0), 0, 0 };
    QTest::newRow("colour, five pixels, red")
        << bars << bars.rect() << 0 << quint64(5) << QVector<double> { 0, 255, 153, std::sqrt(15606.0), 0.4, 0.6 };
}

void TestInstruments::statistics()
{
    QFETCH(QImage, frame);
    QFETCH(QRect, region);
    QFETCH(int, channel);
    QFETCH(quint64, pixels);
    QFETCH(QVector<double>, expected);
    const framestats::Histogram h = framestats::histogram(frame, region);
    // The one pass for the statistics window counts the same.
    const framestats::Histogram once = framestats::analyse(frame, region).histogram;
    QCOMPARE(once.pixels, h.pixels);
    QVERIFY(once.bins == h.bins);
    QCOMPARE(h.pixels, pixels);
    QCOMPARE(h.grey, framestats::isGrey(frame));
    std::uint64_t counted = 0;
    for (std::uint32_t n : h.bins[std::size_t(channel)])
        counted += n;
    QCOMPARE(counted, pixels);
    const framestats::Statistics s = framestats::statistics(h, channel);
    const QVector<double> got { double(s.min), double(s.max), s.mean, s.stdDev, s.shareAt0, s.shareAt255 };
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(std::abs(got[i] - expected[i]) < 1e-9,
            qPrintable(QStringLiteral("figure %1: %2, not %3").arg(i).arg(got[i]).arg(expected[i])));
}

void TestInstruments::focusScore_data()
{
    QTest::addColumn<QImage>("frame");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<double>("expected");
    QVector<int> checker;
    for (int i = 0; i < 16; ++i)
        checker << (((i % 4) + (i / 4)) % 2 ? 255 : 0);
    const QImage board = greyFrame(4, 4, checker);
    QTest::newRow("checkerboard") << board << board.rect() << 65025.0;
    QTest::newRow("flat") << greyFrame(8, 8, QVector<int>(64, 90)) << QRect(0, 0, 8, 8) << 0.0;
    QTest::newRow("one pixel") << greyFrame(1, 1, { 255 }) << QRect(0, 0, 1, 1) << 0.0;
    QTest::newRow("one row") << board << QRect(0, 0, 4, 1) << 0.0;
    // One step of 100 between the two columns of a 2 x 2 region: two of four differences.
    QTest::newRow("edge") << greyFrame(2, 2, { 0, 100, 0, 100 }) << QRect(0, 0, 2, 2) << 5000.0;
    // 1024 wide is reduced by blocks of 4: the fine checkerboard averages out.
    QVector<int> fine;
    for (int i = 0; i < 1024 * 8; ++i)
        fine << (((i % 1024) + (i / 1024)) % 2 ? 255 : 0);
    QTest::newRow("reduced copy") << greyFrame(1024, 8, fine) << QRect(0, 0, 1024, 8) << 0.0;
    // 514 wide: blocks of 3, 171 x 2 of them, the last column left out. Stripes
    // 3 pixels wide give 0 and 255 by turns across, nothing down.
    QVector<int> stripes;
    for (int i = 0; i < 514 * 6; ++i)
        stripes << ((i % 514) / 3 % 2 ? 255 : 0);
    QTest::newRow("blocks of 3, one column over")
        << greyFrame(514, 6, stripes) << QRect(0, 0, 514, 6) << 2 * 170 * 65025.0 / (2 * 170 + 171);
    // 66100 rows: blocks of 259, taller than the 257 rows of 255 a column's
    // 16-bit sum holds at once. The first block's columns 255, the rest 0:
    // two blocks across, 255 rows of them, a step of 255 in each row.
    QImage tall = greyFrame(600, 66100, {});
    for (int y = 0; y < tall.height(); ++y)
        std::memset(tall.scanLine(y), 255, 259);
    QTest::newRow("blocks taller than 257 rows") << tall << tall.rect() << 255 * 65025.0 / (255 + 254 * 2);
    // Red's brightness is 77 * 255 / 256, rounded down: 76.
    const QRgb red = qRgb(255, 0, 0), black = qRgb(0, 0, 0);
    QTest::newRow("colour edge")
        << colourFrame(2, 2, { red, black, red, black }) << QRect(0, 0, 2, 2) << 2 * 76.0 * 76 / 4;
}

void TestInstruments::focusScore()
{
    QFETCH(QImage, frame);
    QFETCH(QRect, region);
    QFETCH(double, expected);
    QCOMPARE(framestats::focusScore(frame, region), expected);
    QCOMPARE(framestats::analyse(frame, region).focusScore, expected);
}

void TestInstruments::saturationMarks()
{
    const QImage grey = greyFrame(2, 2, { 0, 127, 128, 255 });
    const QImage marked = framestats::saturationMarked(grey, grey.rect());
    QCOMPARE(marked.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(marked.pixel(1, 0), qRgb(127, 127, 127));
    QCOMPARE(marked.pixel(1, 1), qRgb(255, 0, 0));
    QCOMPARE(framestats::saturationMarked(grey, QRect(1, 1, 9, 9)).size(), QSize(1, 1));

    const QImage colour = colourFrame(3, 1, { qRgb(255, 0, 0), qRgb(0, 10, 10), qRgb(1, 254, 3) });
    const QImage before = colour.copy();
    const QImage c = framestats::saturationMarked(colour, colour.rect());
    QCOMPARE(c.pixel(0, 0), qRgb(255, 0, 0)); // 255 wins over 0
    QCOMPARE(c.pixel(1, 0), qRgb(0, 0, 255));
    QCOMPARE(c.pixel(2, 0), qRgb(1, 254, 3));
    QCOMPARE(colour, before);
}

void TestInstruments::histogramPicture()
{
    const QRgb ground = qRgb(24, 24, 24);
    framestats::Histogram h;
    QImage picture = framestats::histogramPicture(h, QSize(256, 11));
    QCOMPARE(picture.pixel(0, 9), ground);

    h.pixels = 9;
    h.bins[0][0] = 9;
    picture = framestats::histogramPicture(h, QSize(256, 11));
    QCOMPARE(picture.pixel(0, 0), qRgb(244, 244, 244)); // light grey added to the ground
    QCOMPARE(picture.pixel(0, 9), qRgb(244, 244, 244));
    QCOMPARE(picture.pixel(0, 10), ground); // the bottom row stays clear
    QCOMPARE(picture.pixel(1, 5), ground);

    // Red and green full height at 255 add up; blue's one count beside their
    // four is half as high (square roots), its top at row 5.
    h = framestats::Histogram();
    h.grey = false;
    h.pixels = 4;
    h.bins[0][255] = h.bins[1][255] = 4;
    h.bins[2][0] = 1;
    picture = framestats::histogramPicture(h, QSize(256, 11));
    QCOMPARE(picture.pixel(255, 0), qRgb(24 + 170 + 40, 24 + 40 + 147, 24 + 40 + 40));
    QCOMPARE(picture.pixel(0, 4), ground);
    QCOMPARE(picture.pixel(0, 5), qRgb(24 + 53, 24 + 80, 24 + 170));
    QCOMPARE(picture.pixel(128, 5), ground);
    // Wider than 256: each level's bar spans its share of the columns.
    picture = framestats::histogramPicture(h, QSize(512, 11));
    QCOMPARE(picture.pixel(510, 0), picture.pixel(511, 0));
    QCOMPARE(picture.pixel(509, 0), ground);
}

void TestInstruments::refreshPacing()
{
    // Figures that take 1/150 of the refresh time or less keep five refreshes
    // a second; longer ones wait 150 times as long, up to a second.
    const QVector<QPair<qint64, int>> rows { { 0, 200 }, { 1333333, 200 }, { 3000000, 450 }, { 3000001, 451 },
        { 6660000, 999 }, { 20000000, 1000 } };
    for (const auto &row : rows)
        QCOMPARE(StatisticsDock::refreshInterval(row.first), row.second);
}

QTEST_GUILESS_MAIN(TestInstruments)
#include "tst_instruments.moc"
