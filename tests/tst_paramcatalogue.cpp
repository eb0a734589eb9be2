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
    row("3 sharpening strength at its maximum", 3, "255", 0xC2, 0xA00C, "0B00FF", 255);
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
    row("24 set register 12345678", 24, "12345678", 0xC2, 0xA01A, "56781234", 0x12345678);
    row("24 short: both halves the whole text", 24, "12", 0xC2, 0xA01A, "00120012", 0x00120012);
    row("24 five characters overlap", 24, "12345", 0xC2, 0xA01A, "23451234", 0x12342345);
    row("25 streaming on", 25, "1", 0xC3, 0xA01B, "01", 1);
    row("26 capture off", 26, "0", 0xC3, 0xA01C, "00", 0);
    row("27 sensor on", 27, "1", 0xC3, 0xA01D, "01", 1);
    row("28 black B", 28, "40", 0xC2, 0xA020, "2800", 40);
    row("29 filter threshold", 29, "513", 0xC2, 0xA021, "0102", 513);
    // The edges of each kind of field.
    row("zero", 10, "0", 0xC2, 0xA005, "00000500", 0);
    row("16-bit maximum", 2, "65535", 0xC2, 0xA00B, "FFFF", 0xFFFF);
    row("32-bit maximum", 7, "4294967295", 0xC2, 0xA002, "FFFFFFFF0100", 0xFFFFFFFF);
    row("8-bit maximum", 22, "255", 0xC2, 0xA001, "01000200FF", 255);
    row("leading zeros", 8, "007", 0xC2, 0xA003, "07", 7);
    row("signed: negative as two's complement", 9, "-20", 0xC2, 0xA004, "ECFF0200", 0xFFEC);
    row("signed minimum", 9, "-32768", 0xC2, 0xA004, "00800200", 0x8000);
    row("signed maximum", 9, "32767", 0xC2, 0xA004, "FF7F0200", 0x7FFF);
    row("signed minus zero", 9, "-0", 0xC2, 0xA004, "00000200", 0);
    row("23 lower and upper case", 23, "ffFF", 0xC2, 0xA019, "FFFFFEFF", 0xFFFF);
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

    const auto row = [](const char *name, int r, const QString &text, const char *warning) {
        QTest::newRow(name) << r << text << QString::fromUtf8(warning);
    };
    const auto u8 = [](const char *text) { return QString::fromUtf8(text); };
    const char *const null = "The Value is NULL!";
    const char *const onOff = "The Value only is 0/1!";
    const char *const exposure = "The Value only is a decimal number from 0 to 4294967295!";
    const char *const gain = "The Value only is a decimal number from 0 to 65535!";
    const char *const byte = "The Value only is a decimal number from 0 to 255!";
    const char *const brightness = "The Value only is a decimal number from -32768 to 32767!";
    const char *const hex = "The Value only is hexadecimal digits (0-9, A-F)!";
    const char *const ip
        = "The IP is not a dotted IPv4 address (four numbers from 0 to 255, such as 192.168.1.10)!";
    row("empty ip", 0, QString(), null);
    row("empty black Gb", 5, QString(), null);
    row("empty switch", 25, QString(), null);
    row("blank before 1", 25, u8(" 1"), onOff);
    row("2 is no switch value", 26, u8("2"), onOff);
    row("01 is no switch value", 27, u8("01"), onOff);
    // Decimal rows: only ASCII digits, a sign only where the row is signed, only what fits.
    row("not a number", 7, u8("abc"), exposure);
    row("digit group blank", 7, u8("20 000"), exposure);
    row("exponent", 7, u8("1e4"), exposure);
    row("beyond 32 bits", 7, u8("99999999999"), exposure);
    row("one past 32 bits", 7, u8("4294967296"), exposure);
    row("a thousand digits", 7, QString(1000, QLatin1Char('9')), exposure);
    row("full-width digits", 7, u8("２００００"), exposure);
    row("Arabic-Indic digits", 10, u8("٣٠٠"), gain);
    row("negative in an unsigned row", 2, u8("-1"), gain);
    row("plus sign", 10, u8("+5"), gain);
    row("leading blank", 10, u8(" 5"), gain);
    row("trailing blank", 10, u8("5 "), gain);
    row("hexadecimal prefix", 10, u8("0x10"), gain);
    row("decimal point", 10, u8("5.0"), gain);
    row("one past 16 bits", 29, u8("65536"), gain);
    row("one past 8 bits", 3, u8("256"), byte);
    row("frame rate past its byte", 22, u8("300"), byte);
    row("empty sign", 9, u8("-"), brightness);
    row("two signs", 9, u8("--5"), brightness);
    row("below the signed minimum", 9, u8("-32769"), brightness);
    row("above the signed maximum", 9, u8("32768"), brightness);
    // Register rows: hexadecimal digits only.
    row("nine digits", 23, u8("123456789"), "The Value is longer than 8 bytes!");
    row("three characters, nine bytes", 23, u8("寄存器"), "The Value is longer than 8 bytes!");
    row("23 not a hexadecimal digit", 23, u8("g"), hex);
    row("23 blank inside", 23, u8("1a 2B"), hex);
    row("23 full-width digit", 23, u8("１"), hex);
    row("24 not hexadecimal", 24, u8("zzzz"), hex);
    row("24 prefix 0x", 24, u8("0x12"), hex);
    row("24 leading blank", 24, u8(" 1234"), hex);
    row("24 sign", 24, u8("-1"), hex);
    // The camera's name: Latin-1 without control characters, at most 63 bytes.
    row("name outside Latin-1", 1, u8("相机一号"),
        "The Name cannot hold \"相\" (U+76F8): the camera takes Latin-1 characters only!");
    row("name with an emoji", 1, u8("cam 😀"),
        "The Name cannot hold \"😀\" (U+1F600): the camera takes Latin-1 characters only!");
    row("name with a lone surrogate", 1, QString(QChar(0xD800)),
        "The Name cannot hold U+D800: the camera takes Latin-1 characters only!");
    row("name with a tab", 1, u8("cam\tB"), "The Name cannot hold the control character U+0009!");
    row("name with a NUL", 1, QString::fromLatin1("cam\0B", 5),
        "The Name cannot hold the control character U+0000!");
    row("name with DEL", 1, u8("cam\x7f"), "The Name cannot hold the control character U+007F!");
    row("name with a C1 control", 1, QString(QChar(0x85)),
        "The Name cannot hold the control character U+0085!");
    row("name of 64 bytes", 1, QString(64, QLatin1Char('n')), "The Name is longer than 63 bytes!");
    // The camera's address: strict dotted decimal, a host's address.
    row("leading zeros", 0, u8("192.168.001.010"),
        "The IP has a number with a leading zero (001): write it without, as in 192.168.1.10!");
    row("three numbers", 0, u8("192.168.1"), ip);
    row("number past 255", 0, u8("192.168.1.256"), ip);
    row("padded number past 255", 0, u8("192.168.1.0256"), ip);
    row("blank before", 0, u8(" 192.168.1.10"), ip);
    row("host name", 0, u8("camera4"), ip);
    row("NUL and more", 0, QString::fromLatin1("127.0.0.9\0x", 11), ip);
    row("unspecified", 0, u8("0.0.0.0"), "The IP 0.0.0.0 names no host: it cannot be a camera's address!");
    row("this network", 0, u8("0.1.2.3"), "The IP 0.1.2.3 names no host: it cannot be a camera's address!");
    row("reserved", 0, u8("240.0.0.1"), "The IP 240.0.0.1 is reserved: it cannot be a camera's address!");
    row("broadcast", 0, u8("255.255.255.255"),
        "The IP 255.255.255.255 is the broadcast address: it cannot be a camera's address!");
    row("multicast, lowest", 0, u8("224.0.0.1"),
        "The IP 224.0.0.1 is a multicast address: it cannot be a camera's address!");
    row("multicast, highest", 0, u8("239.255.255.255"),
        "The IP 239.255.255.255 is a multicast address: it cannot be a camera's address!");
}

void TestParamCatalogue::rowRejections()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QString, warning);

    const RowEncoding enc = encodeRow(row, text);
    QCOMPARE(int(enc.kind), int(Kind::Rejected));
    QCOMPARE(enc.warning.shownTitle(), QStringLiteral("warning"));
    QCOMPARE(enc.warning.shownText(), warning);
    QVERIFY(enc.command.buffer.isEmpty());
    QVERIFY(enc.text.isEmpty()); // nothing for the worker either
}

void TestParamCatalogue::workerRowsAndOutOfRange()
{
    const struct {
        int row;
        QString text;
    } accepted[] = {
        { 0, QStringLiteral("127.0.0.9") },
        { 0, QStringLiteral("1.0.0.0") },
        { 0, QStringLiteral("223.255.255.255") },
        { 1, QStringLiteral("cam B") },
        { 1, QString::fromUtf8("Kamera Ä ÿ ~") },
        { 1, QString(kCameraTextLimit, QChar(0xE9)) },
    };
    for (const auto &a : accepted) {
        const RowEncoding enc = encodeRow(a.row, a.text);
        QCOMPARE(int(enc.kind), int(a.row == 0 ? Kind::SetCameraIp : Kind::SetCameraName));
        QCOMPARE(enc.text, a.text);
    }

    QCOMPARE(int(encodeRow(-1, QStringLiteral("1")).kind), int(Kind::NoRow));
    QCOMPARE(int(encodeRow(30, QStringLiteral("1")).kind), int(Kind::NoRow));

    QVERIFY(!rowIsRemembered(1));
    QVERIFY(rowIsRemembered(2) && rowIsRemembered(24));
    QVERIFY(!rowIsRemembered(25) && !rowIsRemembered(28));

    // The row's own debug lines.
    QVERIFY(encodeRow(3, QStringLiteral("44")).logLines.contains(QStringLiteral("buffc>>>>44")));
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
