// The camera address texts: MAC texts of the camera list turned into the bytes
// of the command target and back, dotted IPv4 texts written and read, the
// addresses no camera can have, and the port numbers of the test settings.
#include "core/cameracode.h"
#include "core/testports.h"

#include <QtEndian>
#include <QtTest>

#include <cstring>

class TestCameraCode : public QObject {
    Q_OBJECT
private slots:
    void macToBytes_data();
    void macToBytes();
    void addressTexts_data();
    void addressTexts();
    void parseDottedIpv4_data();
    void parseDottedIpv4();
    void cameraAddressFault_data();
    void cameraAddressFault();
    void portSetting_data();
    void portSetting();
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

void TestCameraCode::addressTexts_data()
{
    QTest::addColumn<QByteArray>("mac");
    QTest::addColumn<QString>("macText");
    QTest::addColumn<QByteArray>("ip");
    QTest::addColumn<QString>("ipText");
    auto row
        = [](const char *name, const char *mac, const char *macText, const char *ip, const char *ipText) {
              QTest::newRow(name) << QByteArray::fromHex(mac) << QString::fromLatin1(macText)
                                  << QByteArray::fromHex(ip) << QString::fromLatin1(ipText);
          };
    row("camera", "00e04c680102", "0-e0-4c-68-1-2", "7f000002", "127.0.0.2");
    row("all zero", "000000000000", "0-0-0-0-0-0", "00000000", "0.0.0.0");
    row("all ff", "ffffffffffff", "ff-ff-ff-ff-ff-ff", "ffffffff", "255.255.255.255");
    row("letters lower case", "0a1b2c3d4e5f", "a-1b-2c-3d-4e-5f", "c0a80a64", "192.168.10.100");
}

void TestCameraCode::addressTexts()
{
    QFETCH(QByteArray, mac);
    QFETCH(QString, macText);
    QFETCH(QByteArray, ip);
    QFETCH(QString, ipText);

    unsigned char macBytes[6];
    std::memcpy(macBytes, mac.constData(), 6);
    QCOMPARE(::macText(macBytes), macText);
    QCOMPARE(::macToBytes(macText), mac);

    unsigned char ipBytes[4];
    std::memcpy(ipBytes, ip.constData(), 4);
    QCOMPARE(ipv4Text(ipBytes), ipText);
    const quint32 hostOrder = qFromBigEndian<quint32>(ip.constData());
    QCOMPARE(ipv4Text(hostOrder), ipText);
    const QByteArray latin = ipText.toLatin1();
    QCOMPARE(
        ::parseDottedIpv4(latin.constData(), std::size_t(latin.size())), std::optional<quint32>(hostOrder));
}

void TestCameraCode::parseDottedIpv4_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxBytes"); // -1: the whole text
    QTest::addColumn<qint64>("address"); // -1: refused
    QTest::newRow("camera") << QByteArray("127.0.0.2") << -1 << qint64(0x7F000002);
    QTest::newRow("zeros") << QByteArray("0.0.0.0") << -1 << qint64(0);
    QTest::newRow("top") << QByteArray("255.255.255.255") << -1 << qint64(0xFFFFFFFF);
    QTest::newRow("stops at NUL") << QByteArray("10.0.0.1\0junk", 13) << -1 << qint64(0x0A000001);
    QTest::newRow("stops at maxBytes") << QByteArray("10.0.0.12") << 8 << qint64(0x0A000001);
    QTest::newRow("cut inside a dot") << QByteArray("10.0.0.1") << 5 << qint64(-1);
    QTest::newRow("256") << QByteArray("256.0.0.1") << -1 << qint64(-1);
    QTest::newRow("four digits") << QByteArray("1000.0.0.1") << -1 << qint64(-1);
    QTest::newRow("leading zero") << QByteArray("127.0.0.02") << -1 << qint64(-1);
    QTest::newRow("three numbers") << QByteArray("127.0.1") << -1 << qint64(-1);
    QTest::newRow("five numbers") << QByteArray("1.2.3.4.5") << -1 << qint64(-1);
    QTest::newRow("trailing dot") << QByteArray("1.2.3.4.") << -1 << qint64(-1);
    QTest::newRow("empty number") << QByteArray("1..3.4") << -1 << qint64(-1);
    QTest::newRow("blank before") << QByteArray(" 1.2.3.4") << -1 << qint64(-1);
    QTest::newRow("blank after") << QByteArray("1.2.3.4 ") << -1 << qint64(-1);
    QTest::newRow("sign") << QByteArray("+1.2.3.4") << -1 << qint64(-1);
    QTest::newRow("empty") << QByteArray() << -1 << qint64(-1);
    QTest::newRow("host name") << QByteArray("localhost") << -1 << qint64(-1);
}

void TestCameraCode::parseDottedIpv4()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxBytes);
    QFETCH(qint64, address);
    const std::size_t max = maxBytes < 0 ? std::size_t(text.size()) : std::size_t(maxBytes);
    const std::optional<quint32> parsed = ::parseDottedIpv4(text.constData(), max);
    QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), address);
    QVERIFY(!::parseDottedIpv4(nullptr, 16));
}

void TestCameraCode::cameraAddressFault_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("fault");
    const auto row = [](const char *address, AddressFault fault) {
        QTest::newRow(address) << QByteArray(address) << int(fault);
    };
    row("0.0.0.0", AddressFault::ThisNetwork);
    row("0.0.0.1", AddressFault::ThisNetwork);
    row("0.255.255.255", AddressFault::ThisNetwork);
    row("1.0.0.0", AddressFault::None);
    row("127.0.0.2", AddressFault::None);
    row("127.255.255.255", AddressFault::None);
    row("169.254.10.20", AddressFault::None);
    row("192.168.1.255", AddressFault::None); // a host in a wider network, maybe
    row("223.255.255.255", AddressFault::None);
    row("224.0.0.0", AddressFault::Multicast);
    row("224.0.0.1", AddressFault::Multicast);
    row("239.255.255.250", AddressFault::Multicast);
    row("240.0.0.0", AddressFault::Reserved);
    row("250.1.2.3", AddressFault::Reserved);
    row("255.255.255.254", AddressFault::Reserved);
    row("255.255.255.255", AddressFault::Broadcast);
}

void TestCameraCode::cameraAddressFault()
{
    QFETCH(QByteArray, address);
    QFETCH(int, fault);
    const std::optional<quint32> parsed = ::parseDottedIpv4(address.constData(), std::size_t(address.size()));
    QVERIFY(parsed);
    const AddressFault found = ::cameraAddressFault(*parsed);
    QCOMPARE(int(found), fault);
    // Every fault says why; a host's address needs no words.
    QCOMPARE(addressFaultText(found).isEmpty(), found == AddressFault::None);
}

void TestCameraCode::portSetting_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("port"); // 0: refused
    QTest::newRow("port") << QByteArray("21001") << 21001;
    QTest::newRow("lowest") << QByteArray("1") << 1;
    QTest::newRow("highest") << QByteArray("65535") << 65535;
    QTest::newRow("zero") << QByteArray("0") << 0;
    QTest::newRow("too large") << QByteArray("65536") << 0;
    QTest::newRow("six digits") << QByteArray("003956") << 0;
    QTest::newRow("sign") << QByteArray("+3956") << 0;
    QTest::newRow("blank") << QByteArray("3956 ") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestCameraCode::portSetting()
{
    QFETCH(QByteArray, text);
    QFETCH(int, port);
    QCOMPARE(int(parsePortSetting(text).value_or(0)), port);
}

QTEST_APPLESS_MAIN(TestCameraCode)
#include "tst_cameracode.moc"
