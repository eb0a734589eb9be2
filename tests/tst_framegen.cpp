// The simulated camera's frames: each render gives the same bytes as a
// generator that renders that frame first, whatever came before it.
#include "sim/framegen.cpp"
#include "sim/paramstore.cpp"

#include <QtTest>

using linksim::FrameGenerator;
using linksim::FrameLook;

class TestFrameGen : public QObject {
    Q_OBJECT

private slots:
    void everyFrameAsIfRenderedFirst_data();
    void everyFrameAsIfRenderedFirst();
};

void TestFrameGen::everyFrameAsIfRenderedFirst_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytesPerPixel");
    QTest::addColumn<bool>("flipHorizontal");
    QTest::newRow("1280 x 1024 grey") << 1280 << 1024 << 1 << false;
    QTest::newRow("97 x 61 colour, mirrored") << 97 << 61 << 3 << true;
    // The number's box is cut by the frame's edge.
    QTest::newRow("12 x 5 colour") << 12 << 5 << 3 << false;
    QTest::newRow("12 x 5 grey, mirrored") << 12 << 5 << 1 << true;
}

void TestFrameGen::everyFrameAsIfRenderedFirst()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytesPerPixel);
    QFETCH(bool, flipHorizontal);
    FrameLook look;
    look.flipHorizontal = flipHorizontal;
    FrameGenerator running(width, height, bytesPerPixel);
    running.setLook(look);
    // Across 9 -> 10 and 99 -> 100 (the box widens), past the pattern's
    // wrap (every 64 frames), and through a look turned upside down and back.
    for (quint32 number = 1; number <= 140; ++number) {
        if (number == 70 || number == 75) {
            look.flipVertical = number == 70;
            running.setLook(look);
        }
        if (number == 80)
            running.setLook(look); // the same look: the pattern is kept
        const unsigned char *pixels = running.render(number);
        FrameGenerator fresh(width, height, bytesPerPixel);
        fresh.setLook(look);
        const unsigned char *expected = fresh.render(number);
        if (std::memcmp(pixels, expected, running.frameBytes()) != 0)
            QFAIL(qPrintable(QStringLiteral("frame %1 differs").arg(number)));
    }
}

QTEST_GUILESS_MAIN(TestFrameGen)
#include "tst_framegen.moc"
