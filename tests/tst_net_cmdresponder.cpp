// The simulated camera's command port, driven over loopback the way Tavix drives it.
//
// The responder and its parameter store belong to the simulated SDK library,
// which exports neither; their sources are compiled into this test instead.
#include "sim/cmdresponder.cpp"
#include "sim/paramstore.cpp"
#include "sim/simsocket.cpp"

#include "core/cameracode.h"
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "core/testports.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace cmdproto;

namespace {
const QByteArray kMac = QByteArray::fromHex("020000000002");
// This program's own camera addresses and port (set by ctest), apart from an open Tavix.
quint32 ownBase()
{
    const QByteArray text = qgetenv("LINKSIM_BASE_IP");
    return parseDottedIpv4(text.constData(), std::size_t(text.size())).value_or(0x7F000002);
}
const quint32 kCameraIp = ownBase();
const quint32 kMovedIp = kCameraIp + 1;
const QString kCameraHost = ipv4Text(kCameraIp);
const QString kMovedHost = ipv4Text(kMovedIp);
const quint16 kOwnPort = commandPortWithTestOverride();
} // namespace

class TestNetCmdResponder : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void queryAnsweredWithReport();
    void writeForThisCameraAcknowledged();
    void writesForOtherCamerasIgnored_data();
    void writesForOtherCamerasIgnored();
    void controlCommands();
    void followsAddressChange();
    void sharesPortWithTool();

private:
    // Sends one request to `host` and returns the first reply datagram.
    QByteArray exchange(const QByteArray &request, const QString &host = kCameraHost);
    QByteArray exchange(const paramcat::CommandTriple &c)
    {
        return exchange(packRequest(c.cmd, c.id, QString(), kMac, c.buffer).frame.raw);
    }

    linksim::ParameterStore m_store;
    quint32 m_ip = kCameraIp;
    std::unique_ptr<linksim::CmdResponder> m_responder;
    std::unique_ptr<QUdpSocket> m_client;
};

void TestNetCmdResponder::init()
{
    m_ip = kCameraIp;
    std::array<uchar, 6> mac;
    std::copy(kMac.begin(), kMac.end(), mac.begin());
    m_responder = std::make_unique<linksim::CmdResponder>([this] { return m_ip; }, mac, m_store, kOwnPort);
    QVERIFY(m_responder->start());
    m_client = std::make_unique<QUdpSocket>();
    QVERIFY(m_client->bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
}

void TestNetCmdResponder::cleanup()
{
    m_client.reset();
    m_responder.reset();
}

QByteArray TestNetCmdResponder::exchange(const QByteArray &request, const QString &host)
{
    QSignalSpy ready(m_client.get(), &QUdpSocket::readyRead);
    if (m_client->writeDatagram(request, QHostAddress(host), kOwnPort) != request.size())
        return {};
    if (!m_client->hasPendingDatagrams() && !ready.wait(5000))
        return {};
    return m_client->receiveDatagram().data();
}

void TestNetCmdResponder::queryAnsweredWithReport()
{
    m_store.setValue(QStringLiteral("frame_rate"), 25);
    m_store.setValue(QStringLiteral("exposure_time"), 12345);
    m_store.setValue(QStringLiteral("sharpen_threshold"), 7);
    m_store.setValue(QStringLiteral("sharpen_strength"), 3);

    const QByteArray reply = exchange(paramcat::parameterQuery());
    const std::optional<CmdFrame> frame = unpack(reply);
    QVERIFY(frame);
    QCOMPARE(frame->cmd, kCmdControl);
    QCOMPARE(frame->id, kIdQuery);
    QCOMPARE(checkSum(*frame), frame->sum);

    const ReplyOutcome out = replyOutcome(*frame);
    QMap<int, QString> rows;
    for (const auto &u : out.tableUpdates)
        rows[u.row] = u.text;
    QCOMPARE(rows, (QMap<int, QString> { { 22, "25" }, { 7, "12345" }, { 2, "7" }, { 3, "3" } }));
    QVERIFY(out.logLines.contains(QStringLiteral("temp valuestring:>>>linksim")));
}

void TestNetCmdResponder::writeForThisCameraAcknowledged()
{
    const QByteArray reply = exchange(paramcat::encodeRow(7, QStringLiteral("70000")).command);
    QCOMPARE(datagramOutcome(reply).logLines, QStringList { "set success:>40962" });
    QCOMPARE(m_store.value(QStringLiteral("exposure_time"), 0), 70000);

    // Negative brightness travels as 16-bit two's complement.
    exchange(paramcat::encodeRow(9, QStringLiteral("-20")).command);
    QCOMPARE(m_store.value(QStringLiteral("brightness"), 0), -20);

    // A frame rate the camera cannot run is refused with status 0.
    const QByteArray refused = exchange(paramcat::encodeRow(22, QStringLiteral("0")).command);
    QCOMPARE(unpack(refused).value_or(CmdFrame()).data, QByteArray(1, '\0'));

    // The frame-rate menu action is understood as well; its acknowledgement
    // comes under the same id.
    const QByteArray rate = exchange(paramcat::frameRateAction(60));
    QCOMPARE(unpack(rate).value_or(CmdFrame()).id, quint16(0xA001));
    QCOMPARE(m_store.value(QStringLiteral("frame_rate"), 0), 60);
}

void TestNetCmdResponder::writesForOtherCamerasIgnored_data()
{
    QTest::addColumn<QByteArray>("request");
    const QByteArray buffer = QByteArray::fromHex("64000200"); // brightness 100
    QTest::newRow("other MAC")
        << packRequest(0xC2, 0xA004, {}, QByteArray::fromHex("020000000003"), buffer).frame.raw;
    QTest::newRow("no MAC") << packRequest(0xC2, 0xA004, {}, QByteArray(), buffer).frame.raw;
    QByteArray badSum = packRequest(0xC2, 0xA004, {}, kMac, buffer).frame.raw;
    badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
    QTest::newRow("bad checksum") << badSum;
    QTest::newRow("reply direction") << buildFrame(kDirReply, 0xC2, 0xA004, kMac, buffer);
    QTest::newRow("truncated") << packRequest(0xC2, 0xA004, {}, kMac, buffer).frame.raw.left(12);
}

void TestNetCmdResponder::writesForOtherCamerasIgnored()
{
    QFETCH(QByteArray, request);
    m_store.setValue(QStringLiteral("brightness"), 5);
    QCOMPARE(m_client->writeDatagram(request, QHostAddress(kCameraHost), kOwnPort), qint64(request.size()));
    // The camera answers in order: if the ignored write had been answered, its
    // acknowledgement would arrive before the report.
    const std::optional<CmdFrame> next = unpack(exchange(paramcat::parameterQuery()));
    QVERIFY(next);
    QCOMPARE(next->id, kIdQuery);
    QCOMPARE(m_store.value(QStringLiteral("brightness"), 0), 5);
}

void TestNetCmdResponder::controlCommands()
{
    const QByteArray off = exchange(paramcat::encodeRow(27, QStringLiteral("0")).command);
    QCOMPARE(datagramOutcome(off).logLines, QStringList { "code = C3 id = A01D" });
    QCOMPARE(m_store.value(QStringLiteral("sensor_on"), 1), 0);

    exchange(paramcat::sensorSelect(1));
    QCOMPARE(m_store.value(QStringLiteral("sensor_master"), 0), 1);
    exchange(paramcat::burnInSwitch(1));
    QCOMPARE(m_store.value(QStringLiteral("burn_in"), 0), 1);
    exchange(paramcat::encodeRow(24, QStringLiteral("12345678")).command);
    QCOMPARE(m_store.value(QStringLiteral("register_1234"), 0), 0x5678);

    // Control commands carry no MAC: every camera that receives one obeys it.
    const std::optional<CmdFrame> unknown
        = unpack(exchange(buildFrame(kDirRequest, 0xC3, 0xA030, {}, "\x01")));
    QVERIFY(unknown);
    QCOMPARE(unknown->data, QByteArray(1, '\0'));
}

void TestNetCmdResponder::followsAddressChange()
{
    m_ip = kMovedIp;
    m_responder->addressChanged();
    QSignalSpy ready(m_client.get(), &QUdpSocket::readyRead);
    const QByteArray query = packRequest(0xC3, kIdQuery, {}, {}, {}).frame.raw;
    m_client->writeDatagram(query, QHostAddress(kMovedHost), kOwnPort);
    QVERIFY(m_client->hasPendingDatagrams() || ready.wait(5000));
    const QNetworkDatagram reply = m_client->receiveDatagram();
    QCOMPARE(reply.senderAddress(), QHostAddress(kMovedHost));
    QCOMPARE(reply.senderPort(), int(kOwnPort));
    QCOMPARE(unpack(reply.data()).value_or(CmdFrame()).id, kIdQuery);
}

void TestNetCmdResponder::sharesPortWithTool()
{
    // Tavix listens on the any-address, port 3956 (here this program's own). On one host with simulated
    // cameras that is only possible when both sides allow the port to be shared
    // (Qt's default bind mode does not on Linux): cameras started before and
    // after Tavix must get their requests, and their replies to the tool's
    // port must reach it.
    QUdpSocket tool;
    QVERIFY2(
        tool.bind(QHostAddress::AnyIPv4, kOwnPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint),
        qPrintable(tool.errorString()));
    auto query = [&tool](const QString &host) {
        QSignalSpy ready(&tool, &QUdpSocket::readyRead);
        tool.writeDatagram(packRequest(0xC3, kIdQuery, host, {}, {}).frame.raw, QHostAddress(host), kOwnPort);
        if (!tool.hasPendingDatagrams() && !ready.wait(5000))
            return QNetworkDatagram();
        return tool.receiveDatagram();
    };
    const QNetworkDatagram before = query(kCameraHost);
    QCOMPARE(before.senderAddress(), QHostAddress(kCameraHost));
    QCOMPARE(unpack(before.data()).value_or(CmdFrame()).id, kIdQuery);

    m_ip = kMovedIp;
    m_responder->addressChanged(); // binds again, after the tool
    const QNetworkDatagram after = query(kMovedHost);
    QCOMPARE(after.senderAddress(), QHostAddress(kMovedHost));
    QCOMPARE(unpack(after.data()).value_or(CmdFrame()).id, kIdQuery);
}

QTEST_GUILESS_MAIN(TestNetCmdResponder)
#include "tst_net_cmdresponder.moc"
