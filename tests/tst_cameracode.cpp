// MAC texts of the camera list turned into the bytes of the command target.
#include "core/cameracode.h"

#include <QtTest>

class TestCameraCode : public QObject {
    Q_OBJECT
private slots:
    void macToBytes_data();
    void macToBytes();
};

void TestCameraCode::macToBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("camera text") << "0-e0-4c-68-1-2" << QByteArray::fromHex("00e04c680102");
    QTest::newRow("upper case") << "0-E0-4C-68-1-2" << QByteArray::fromHex("00e04c680102");
    QTest::newRow("all ff") << "ff-ff-ff-ff-ff-ff" << QByteArray::fromHex("ffffffffffff");
    QTest::newRow("low 8 bits") << "1ff-100-abc" << QByteArray::fromHex("ff00bc");
    QTest::newRow("not numbers") << "zz-1-g7" << QByteArray::fromHex("000100");
    QTest::newRow("empty parts kept") << "-5--" << QByteArray::fromHex("00050000");
    QTest::newRow("empty text") << "" << QByteArray::fromHex("00");
    QTest::newRow("no dash") << "7" << QByteArray::fromHex("07");
}

void TestCameraCode::macToBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::macToBytes(text), bytes);
}

QTEST_APPLESS_MAIN(TestCameraCode)
#include "tst_cameracode.moc"
