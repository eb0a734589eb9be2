// The parameter command catalogue: every row's command, id and value buffer,
// the value checks, the other controls, and the camera side's decoding.
#include "core/paramcatalogue.h"

#include <QtTest>

using namespace paramcat;
using Kind = RowEncoding::Kind;

class TestParamCatalogue : public QObject {
    Q_OBJECT
private slots:
    void rowCommands_data();
    void rowCommands();
    void rowRejections_data();
    void rowRejections();
    void workerRowsAndOutOfRange();
    void otherControls();
    void labels();
};

void TestParamCatalogue::rowCommands_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<qint64>("decoded"); // what the camera reads back, -1: not checked

    auto row = [](const char *name, int r, const char *text, int cmd, int id, const char *buf, qint64 dec) {
        QTest::newRow(name) << r << QString::fromUtf8(text) << cmd << id << QByteArray::fromHex(buf) << dec;
    };
    row("2 sharpening threshold", 2, "258", 0xC2, 0xA00B, "0201", 258);
    row("3 sharpening strength 300", 3, "300", 0xC2, 0xA00C, "0B002C", 0x2C);
    row("4 black R", 4, "16", 0xC2, 0xA00D, "1000", 16);
    row("5 black Gb", 5, "17", 0xC2, 0xA00E, "1100", 17);
    row("6 black Gr", 6, "12", 0xC2, 0xA00F, "0C00", 12);
    row("7 exposure 70000", 7, "70000", 0xC2, 0xA002, "701101000100", 70000);
    row("8 exposure enable", 8, "1", 0xC2, 0xA003, "01", 1);
    row("9 brightness", 9, "100", 0xC2, 0xA004, "64000200", 100);
    row("10 red gain 300", 10, "300", 0xC2, 0xA005, "2C010500", 300);
    row("11 blue gain 300", 11, "300", 0xC2, 0xA006, "2C010400", 300);
    row("12 green-red gain", 12, "2", 0xC2, 0xA007, "02000300", 2);
    row("13 green-blue gain", 13, "3", 0xC2, 0xA008, "03000600", 3);
    row("14 global gain", 14, "16", 0xC2, 0xA009, "10000700", 16);
    row("15 upside down", 15, "1", 0xC2, 0xA010, "01000900", 1);
    row("16 left-right", 16, "1", 0xC2, 0xA011, "01000A00", 1);
    row("17 sobel debug 1", 17, "5", 0xC2, 0xA012, "05", 5);
    row("18 sobel debug 2", 18, "6", 0xC2, 0xA013, "06", 6);
    row("19 sobel threshold", 19, "200", 0xC2, 0xA014, "C8", 200);
    row("20 sobel kernel", 20, "3", 0xC2, 0xA015, "03", 3);
    row("21 sobel enable", 21, "1", 0xC2, 0xA016, "01", 1);
    row("22 frame rate 25", 22, "25", 0xC2, 0xA001, "0100020019", 25);
    row("23 print register 1a2B", 23, "1a2B", 0xC2, 0xA019, "2B1AFEFF", 0x1A2B);
    row("23 eight digits wrap to 16 bits", 23, "12345678", 0xC2, 0xA019, "7856FEFF", 0x5678);
    row("23 other characters not refused", 23, "g", 0xC2, 0xA019, "1000FEFF", 0x10);
    row("24 set register 12345678", 24, "12345678", 0xC2, 0xA01A, "56781234", 0x12345678);
    row("24 short: both halves the whole text", 24, "12", 0xC2, 0xA01A, "00120012", 0x00120012);
    row("24 five characters overlap", 24, "12345", 0xC2, 0xA01A, "23451234", 0x12342345);
    row("24 not hexadecimal", 24, "zzzz", 0xC2, 0xA01A, "00000000", 0);
    row("25 streaming on", 25, "1", 0xC3, 0xA01B, "01", 1);
    row("26 capture off", 26, "0", 0xC3, 0xA01C, "00", 0);
    row("27 sensor on", 27, "1", 0xC3, 0xA01D, "01", 1);
    row("28 black B", 28, "40", 0xC2, 0xA020, "2800", 40);
    row("29 filter threshold", 29, "513", 0xC2, 0xA021, "0102", 513);
    row("not a number sends 0", 10, "abc", 0xC2, 0xA005, "00000500", 0);
    row("too wide for 32 bits sends 0", 7, "99999999999", 0xC2, 0xA002, "000000000100", 0);
    row("negative keeps its low bytes", 2, "-1", 0xC2, 0xA00B, "FFFF", 0xFFFF);
}

void TestParamCatalogue::rowCommands()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(int, cmd);
    QFETCH(int, id);
    QFETCH(QByteArray, buffer);
    QFETCH(qint64, decoded);

    const RowEncoding enc = encodeRow(row, text);
    QCOMPARE(int(enc.kind), int(Kind::Command));
    QCOMPARE(int(enc.command.cmd), cmd);
    QCOMPARE(int(enc.command.id), id);
    QCOMPARE(enc.command.buffer.toHex(), buffer.toHex());
    QCOMPARE(qint64(decodeValue(enc.command.id, enc.command.buffer).value_or(0xFFFFFFFFu)), decoded);
}

void TestParamCatalogue::rowRejections_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warning");

    const QString null = QStringLiteral("The Value is NULL!");
    const QString onOff = QStringLiteral("The Value only is 0/1!");
    QTest::newRow("empty ip") << 0 << QString() << null;
    QTest::newRow("empty black Gb") << 5 << QString() << null;
    QTest::newRow("empty switch") << 25 << QString() << null;
    QTest::newRow("blank before 1") << 25 << QStringLiteral(" 1") << onOff;
    QTest::newRow("2 is no switch value") << 26 << QStringLiteral("2") << onOff;
    QTest::newRow("01 is no switch value") << 27 << QStringLiteral("01") << onOff;
    QTest::newRow("nine digits") << 23 << QStringLiteral("123456789")
                                 << QStringLiteral("The Value is longer than 8 bytes!");
    QTest::newRow("three characters, nine bytes")
        << 23 << QString::fromUtf8("寄存器") << QStringLiteral("The Value is longer than 8 bytes!");
}

void TestParamCatalogue::rowRejections()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QString, warning);

    const RowEncoding enc = encodeRow(row, text);
    QCOMPARE(int(enc.kind), int(Kind::Rejected));
    QCOMPARE(QString::fromLatin1(enc.warning.title), QStringLiteral("warning"));
    QCOMPARE(QString::fromLatin1(enc.warning.text), warning);
    QVERIFY(enc.command.buffer.isEmpty());
}

void TestParamCatalogue::workerRowsAndOutOfRange()
{
    const RowEncoding ip = encodeRow(0, QStringLiteral("127.0.0.9"));
    QCOMPARE(int(ip.kind), int(Kind::SetCameraIp));
    QCOMPARE(ip.text, QStringLiteral("127.0.0.9"));
    const RowEncoding name = encodeRow(1, QStringLiteral("cam B"));
    QCOMPARE(int(name.kind), int(Kind::SetCameraName));
    QCOMPARE(name.text, QStringLiteral("cam B"));

    QCOMPARE(int(encodeRow(-1, QStringLiteral("1")).kind), int(Kind::NoRow));
    QCOMPARE(int(encodeRow(30, QStringLiteral("1")).kind), int(Kind::NoRow));

    QVERIFY(!rowIsRemembered(1));
    QVERIFY(rowIsRemembered(2) && rowIsRemembered(24));
    QVERIFY(!rowIsRemembered(25) && !rowIsRemembered(28));

    // The row's own debug lines.
    QVERIFY(encodeRow(3, QStringLiteral("300")).logLines.contains(QStringLiteral("buffc>>>>44")));
    QVERIFY(encodeRow(23, QStringLiteral("1a2B")).logLines.contains(QStringLiteral("ax:=6699")));
    QCOMPARE(encodeRow(26, QStringLiteral("1")).logLines,
        QStringList({ QString::fromUtf8("抓图VMDA"), QString::fromUtf8("抓图VMDA:01") }));
}

void TestParamCatalogue::otherControls()
{
    const CommandTriple query = parameterQuery();
    QCOMPARE(int(query.cmd), 0xC3);
    QCOMPARE(int(query.id), 0xB101);
    QVERIFY(query.buffer.isEmpty());

    const CommandTriple rate30 = frameRateAction(30);
    QCOMPARE(int(rate30.cmd), 0xC2);
    QCOMPARE(int(rate30.id), 0xA001);
    QCOMPARE(rate30.buffer.toHex(), QByteArray("000000001e"));
    QCOMPARE(frameRateAction(60).buffer.toHex(), QByteArray("000000003c"));
    QCOMPARE(decodeValue(0xA001, rate30.buffer).value_or(0), 30u);

    QString log;
    QCOMPARE(int(sensorSelect(1, &log).id), 0xA01F);
    QCOMPARE(log, QStringLiteral("1F!!!!!!"));
    QCOMPARE(int(sensorSelect(0, &log).id), 0xA01E);
    QCOMPARE(log, QStringLiteral("1E!!!!!!"));
    QCOMPARE(int(sensorSelect(2).id), 0xA01E);
    QCOMPARE(int(sensorSelect(0).cmd), 0xC3);
    QVERIFY(sensorSelect(1).buffer.isEmpty());

    QCOMPARE(burnInSwitch(0).buffer.toHex(), QByteArray("00"));
    QCOMPARE(burnInSwitch(1).buffer.toHex(), QByteArray("01"));
    QCOMPARE(burnInSwitch(2).buffer.toHex(), QByteArray("01"));
    QCOMPARE(int(burnInSwitch(0).id), 0xA022);
    QCOMPARE(int(burnInSwitch(0).cmd), 0xC3);

    // The camera refuses what it cannot read.
    QVERIFY(!decodeValue(0xA002, QByteArray::fromHex("701101")));
    QVERIFY(!decodeValue(0xA00A, QByteArray::fromHex("0000")));
    QVERIFY(!decodeValue(0xA022, QByteArray()));
}

void TestParamCatalogue::labels()
{
    QStringList labels = rowLabels();
    QCOMPARE(labels.size(), kRowCount);
    QCOMPARE(labels.removeDuplicates(), 0);
    QCOMPARE(labels.at(7), QString::fromUtf8("曝光时间"));
    QCOMPARE(labels.at(22), QString::fromUtf8("帧率"));
    QCOMPARE(labels.at(29), QString::fromUtf8("滤波阈值设置"));
}

QTEST_APPLESS_MAIN(TestParamCatalogue)
#include "tst_paramcatalogue.moc"
