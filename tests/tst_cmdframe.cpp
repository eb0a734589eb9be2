// Command protocol frames: requests as sent, replies as parsed and handled.
#include "core/cmdframe.h"

#include <QtTest>

using namespace cmdproto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The table updates of an outcome as "row=text;row=text".
QString updates(const ReplyOutcome &out)
{
    QStringList parts;
    for (const auto &u : out.tableUpdates)
        parts << QStringLiteral("%1=%2").arg(u.row).arg(u.text);
    return parts.join(QLatin1Char(';'));
}

QByteArray reportDatagram(const QByteArray &json, quint16 id = kIdQuery)
{
    return buildFrame(kDirReply, kCmdControl, id, QByteArray(), json);
}

} // namespace

class TestCmdFrame : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void requestDestinationAndLog();
    void requestTooLong();
    void toHexText();
    void unpackDrops_data();
    void unpackDrops();
    void unpackReadsOnlyTheFrame();
    void writeAcknowledgement_data();
    void writeAcknowledgement();
    void parameterReport_data();
    void parameterReport();
    void reportBoundedByPayload();
    void repliesAppliedInArrivalOrder();
};

void TestCmdFrame::requestBytes_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("mac");
    QTest::addColumn<QByteArray>("buff");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray mac = hex("001122334455");
    QTest::newRow("query") << 0xC3 << 0xB101 << mac << QByteArray() << hex("68010068C3020001B14816");
    QTest::newRow("control never carries the MAC")
        << 0xC3 << 0xA022 << mac << hex("01") << hex("68010068C3030022A0015A16");
    QTest::newRow("write with MAC") << 0xC2 << 0xA001 << mac << hex("000000001E")
                                    << hex("68010068C20D0001A0001122334455000000001E5E16");
    QTest::newRow("write without MAC")
        << 0xC2 << 0xA001 << QByteArray() << hex("000000001E") << hex("68010068C2070001A0000000001E5916");
    QTest::newRow("write with a 5-byte MAC goes without")
        << 0xC2 << 0xA001 << hex("0011223344") << hex("000000001E")
        << hex("68010068C2070001A0000000001E5916");
}

void TestCmdFrame::requestBytes()
{
    QFETCH(int, cmd);
    QFETCH(int, id);
    QFETCH(QByteArray, mac);
    QFETCH(QByteArray, buff);
    QFETCH(QByteArray, expected);

    const PackedRequest req = packRequest(quint8(cmd), quint16(id), QStringLiteral("127.0.0.2"), mac, buff);
    QCOMPARE(req.frame.raw.toHex(), expected.toHex());
    QCOMPARE(req.frame.sum, quint8(expected.at(expected.size() - 2)));
    QCOMPARE(checkSum(req.frame), req.frame.sum);

    // The camera reads the same frame back.
    DropReason why;
    const std::optional<CmdFrame> back = parseFrame(req.frame.raw, kDirRequest, &why);
    QVERIFY(back);
    QCOMPARE(int(back->cmd), cmd);
    QCOMPARE(int(back->id), id);
    QCOMPARE(back->data.toHex(), req.frame.data.toHex());
    QVERIFY(back->data.endsWith(buff));
}

void TestCmdFrame::requestDestinationAndLog()
{
    const QByteArray mac = hex("001122334455");
    const PackedRequest write = packRequest(0xC2, 0xA005, QStringLiteral("127.0.0.3"), mac, hex("2C010500"));
    QCOMPARE(write.host, QStringLiteral("127.0.0.3"));
    QCOMPARE(write.port, quint16(3956));
    QCOMPARE(write.logLines,
        QStringList({ "cmd = C2 id = A005", "comming 1", "comming 2",
            QString::number(quint8(write.frame.raw.at(write.frame.raw.size() - 2))),
            "CameraCode.Cam_ip:127.0.0.3" }));

    const PackedRequest broadcast = packRequest(0xC3, 0xB006, QStringLiteral("127.0.0.3"), mac, {});
    QCOMPARE(broadcast.host, QStringLiteral("255.255.255.255"));
    QVERIFY(!broadcast.logLines.contains(QStringLiteral("comming 1")));

    // Before any camera is selected the destination is empty.
    QCOMPARE(packRequest(0xC3, 0xB101, QString(), QByteArray(), {}).host, QString());
}

void TestCmdFrame::requestTooLong()
{
    const QByteArray mac = hex("001122334455");
    QCOMPARE(packRequest(0xC3, 0xA001, {}, mac, QByteArray(253, 'x')).frame.raw.size(), 255 + 9);
    QCOMPARE(packRequest(0xC2, 0xA001, {}, mac, QByteArray(247, 'x')).frame.raw.size(), 255 + 9);
    // One byte more no longer fits the length byte: nothing to send.
    QVERIFY(packRequest(0xC3, 0xA001, {}, mac, QByteArray(254, 'x')).frame.raw.isEmpty());
    QVERIFY(packRequest(0xC2, 0xA001, {}, mac, QByteArray(248, 'x')).frame.raw.isEmpty());
    QVERIFY(buildFrame(kDirReply, 0xC3, 0xB101, {}, QByteArray(254, 'x')).isEmpty());
}

void TestCmdFrame::toHexText()
{
    QCOMPARE(toHex(0xC3, 2), QStringLiteral("C3"));
    QCOMPARE(toHex(0xB101, 2), QStringLiteral("B101"));
    QCOMPARE(toHex(5, 2), QStringLiteral("05"));
    QCOMPARE(toHex(0, 1), QStringLiteral("0"));
    QCOMPARE(toHex(0xab, 4), QStringLiteral("00AB"));
}

void TestCmdFrame::unpackDrops_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("mismatch"); // the checksum's log line for a frame taken

    const QByteArray ack = hex("68020068C2030001A00100"
                               "16");
    QTest::newRow("good, checksum not compared")
        << ack << int(DropReason::None)
        << "command reply C2 A001: checksum 0x00, its bytes sum to 0x39; acted on all the same";
    QTest::newRow("good, checksum matches") << hex("68020068C2030001A0013916") << int(DropReason::None) << "";
    QTest::newRow("checksum of the frame only, not what follows") << hex("68020068C2030001A0013916"
                                                                         "0102")
                                                                  << int(DropReason::None) << "";
    QTest::newRow("wrong checksum, 0xFF carried")
        << buildFrame(kDirReply, 0xC3, 0xB101, {}, QByteArray(1, '\xFE')).replace(10, 1, "\xFF")
        << int(DropReason::None)
        << "command reply C3 B101: checksum 0xFF, its bytes sum to 0x48; acted on all the same";
    QTest::newRow("empty") << QByteArray() << int(DropReason::TooShort) << QString();
    QTest::newRow("8 bytes") << ack.left(8) << int(DropReason::TooShort) << QString();
    QTest::newRow("first start byte")
        << hex("69020068C2030001A0010016") << int(DropReason::BadStart) << QString();
    QTest::newRow("second start byte")
        << hex("68020069C2030001A0010016") << int(DropReason::BadStart) << QString();
    QTest::newRow("request direction")
        << hex("68010068C2030001A0010016") << int(DropReason::BadDirection) << QString();
    QTest::newRow("L = 0") << hex("68020068C3000001B116") << int(DropReason::BadLength) << QString();
    QTest::newRow("L = 1") << hex("68020068C3010001B10016") << int(DropReason::BadLength) << QString();
    QTest::newRow("L past the datagram")
        << hex("68020068C3FF0001B1") << int(DropReason::Truncated) << QString();
    QTest::newRow("end byte missing") << ack.left(11) << int(DropReason::Truncated) << QString();
    QTest::newRow("wrong end byte") << hex("68020068C2030001A0010017") << int(DropReason::BadEnd)
                                    << QString();
}

void TestCmdFrame::unpackDrops()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, reason);
    QFETCH(QString, mismatch);

    DropReason why = DropReason::TooShort;
    const std::optional<CmdFrame> frame = unpack(datagram, &why);
    QCOMPARE(int(why), reason);
    QCOMPARE(frame.has_value(), reason == int(DropReason::None));
    if (!frame) {
        QVERIFY(datagramOutcome(datagram).logLines.isEmpty());
        return;
    }
    QCOMPARE(checksumMatches(*frame), mismatch.isEmpty());
    QCOMPARE(checksumMismatchLine(*frame), mismatch);
    // A frame without its bytes cannot be judged to match.
    CmdFrame bare = *frame;
    bare.raw.clear();
    QVERIFY(!checksumMatches(bare));
}

void TestCmdFrame::unpackReadsOnlyTheFrame()
{
    const QByteArray datagram = hex("68020068C2040005A0AA00"
                                    "1216"
                                    "FFFF");
    const std::optional<CmdFrame> frame = unpack(datagram);
    QVERIFY(frame);
    QCOMPARE(frame->cmd, quint8(0xC2));
    QCOMPARE(frame->len, quint8(4));
    QCOMPARE(frame->id, quint16(0xA005));
    QCOMPARE(frame->data, hex("AA00"));
    QCOMPARE(frame->sum, quint8(0x12));
    QCOMPARE(frame->end, quint8(0x16));
    QCOMPARE(frame->raw, datagram.left(13));
}

void TestCmdFrame::writeAcknowledgement_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QStringList>("log");

    const QStringList none;
    QTest::newRow("A001 ok") << hex("68020068C2030001A001EE16") << QStringList { "set success:>40961" };
    QTest::newRow("A001 status 0") << hex("68020068C2030001A000EE16") << none;
    QTest::newRow("A009 ok") << hex("68020068C2030009A00100"
                                    "16")
                             << QStringList { "set success:>40969" };
    QTest::newRow("A00A between") << hex("68020068C203000AA00100"
                                         "16")
                                  << none;
    QTest::newRow("A00F between") << hex("68020068C203000FA00100"
                                         "16")
                                  << none;
    QTest::newRow("A010 ok") << hex("68020068C2030010A00100"
                                    "16")
                             << QStringList { "set success:>40976" };
    QTest::newRow("A011 ok") << hex("68020068C2030011A0FF00"
                                    "16")
                             << QStringList { "set success:>40977" };
    QTest::newRow("A012 not reported") << hex("68020068C2030012A00100"
                                              "16")
                                       << none;
    QTest::newRow("no status byte") << hex("68020068C2020001A0"
                                           "0016")
                                    << none;
    QTest::newRow("other command") << hex("68020068C4030001A00100"
                                          "16")
                                   << none;
    QTest::newRow("control reply: code line only") << hex("68020068C303001BA00100"
                                                          "16")
                                                   << QStringList { "code = C3 id = A01B" };
}

void TestCmdFrame::writeAcknowledgement()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QStringList, log);

    const ReplyOutcome out = datagramOutcome(datagram);
    QCOMPARE(out.logLines, log);
    QVERIFY(out.tableUpdates.isEmpty());
}

void TestCmdFrame::parameterReport_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("updates");

    QTest::newRow("rate and exposure, other key ignored")
        << QByteArray(R"({"A001_rate":30,"A002_baoguang_time":1000,"A004_other":7})") << "22=30;7=1000";
    // Numbers as the report said them, never clamped or cut to an integer.
    QTest::newRow("fraction kept") << QByteArray(R"({"A00B_ruihua_fazhi":12.7})") << "2=12.7";
    QTest::newRow("negative fraction kept") << QByteArray(R"({"A00C_ruihua_qiangdu":-3.9})") << "3=-3.9";
    QTest::newRow("shortest form") << QByteArray(R"({"A00C_ruihua_qiangdu":9.990})") << "3=9.99";
    QTest::newRow("negative integer") << QByteArray(R"({"A00C_ruihua_qiangdu":-7})") << "3=-7";
    QTest::newRow("int extremes as they stand")
        << QByteArray(R"({"A001_rate":2147483647,"A002_baoguang_time":-2147483648})")
        << "22=2147483647;7=-2147483648";
    QTest::newRow("past the int range")
        << QByteArray(R"({"A002_baoguang_time":4294967296})") << "7=4294967296";
    QTest::newRow("integral, written with a point") << QByteArray(R"({"A001_rate":30.0})") << "22=30";
    QTest::newRow("large, exponent kept") << QByteArray(R"({"A002_baoguang_time":1e20})") << "7=1e+20";
    QTest::newRow("beyond a double is marked")
        << QByteArray(R"({"A002_baoguang_time":1e400,"A001_rate":-1e400})")
        << QString::fromUtf8("7=超出范围;22=超出范围");
    QTest::newRow("string under a table key") << QByteArray(R"({"A001_rate":"30","ver":"x"})") << "";
    QTest::newRow("bool, null, object")
        << QByteArray(R"({"A001_rate":true,"A002_baoguang_time":null,"A00B_ruihua_fazhi":{}})") << "";
    QTest::newRow("key case matters") << QByteArray(R"({"a001_rate":30})") << "";
    QTest::newRow("array, members without key") << QByteArray("[30,1000]") << "";
    QTest::newRow("not JSON") << QByteArray("{\"A001_rate\":30") << "";
    QTest::newRow("empty payload") << QByteArray() << "";
    QTest::newRow("same key twice, in order")
        << QByteArray(R"({"A001_rate":30,"A001_rate":60})") << "22=30;22=60";
}

void TestCmdFrame::parameterReport()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, updates);

    const QByteArray datagram = reportDatagram(json);
    const ReplyOutcome out = datagramOutcome(datagram);
    QCOMPARE(::updates(out), updates);
    QCOMPARE(out.logLines.value(0), QStringLiteral("code = C3 id = B101"));
    QCOMPARE(out.logLines.value(1), QStringLiteral(">>>>>>>>>>>>:") + QString::fromUtf8(json));
    QVERIFY(out.logLines.value(2).startsWith(QStringLiteral("jslen:>>>")));
    for (const auto &u : out.tableUpdates)
        QVERIFY(out.logLines.contains(QStringLiteral("temp value:>>>") + u.text));

    // The same payload under another control id is not a report.
    QCOMPARE(datagramOutcome(reportDatagram(json, 0xB102)).logLines, QStringList { "code = C3 id = B102" });
}

void TestCmdFrame::reportBoundedByPayload()
{
    // The payload bytes end before the closing digits and brace that follow them
    // in memory: the report must be read only up to the payload's length.
    static const char memory[] = R"({"A001_rate":12})";
    CmdFrame frame;
    frame.cmd = kCmdControl;
    frame.id = kIdQuery;
    frame.data = QByteArray::fromRawData(memory, int(sizeof(memory)) - 3);
    const ReplyOutcome out = controlReplyOutcome(frame);
    QVERIFY(out.tableUpdates.isEmpty());
    QVERIFY(out.logLines.contains(QStringLiteral("jslen:>>>0")));

    // A string member is logged with cJSON's views of it and changes nothing.
    frame.data = R"({"name":"cam"})";
    const ReplyOutcome named = controlReplyOutcome(frame);
    QVERIFY(named.tableUpdates.isEmpty());
    QVERIFY(named.logLines.contains(QStringLiteral("temp:>name")));
    QVERIFY(named.logLines.contains(QStringLiteral("temp valuestring:>>>cam")));
}

void TestCmdFrame::repliesAppliedInArrivalOrder()
{
    QMap<int, QString> column1;
    for (const QByteArray &json : { QByteArray(R"({"A002_baoguang_time":100,"A001_rate":25})"),
             QByteArray(R"({"A002_baoguang_time":2000})") }) {
        for (const auto &u : datagramOutcome(reportDatagram(json)).tableUpdates)
            column1[u.row] = u.text;
    }
    QCOMPARE(column1.value(7), QStringLiteral("2000"));
    QCOMPARE(column1.value(22), QStringLiteral("25"));
}

QTEST_APPLESS_MAIN(TestCmdFrame)
#include "tst_cmdframe.moc"
