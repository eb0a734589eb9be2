#include "core/cmdframe.h"

#include <QCoreApplication>
#include <QLocale>

#include <cjson/cJSON.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace cmdproto {

QString toHex(quint32 value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

quint8 byteSum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return sum;
}

quint8 checkSum(const CmdFrame &frame)
{
    if (frame.raw.size() < 2)
        return 0;
    return byteSum(frame.raw.left(frame.raw.size() - 2));
}

QByteArray buildFrame(
    quint8 direction, quint8 cmd, quint16 id, const QByteArray &mac, const QByteArray &payload)
{
    const int body = 2 + mac.size() + payload.size();
    if (body > kMaxBody)
        return {};
    QByteArray raw;
    raw.reserve(body + kHeaderSize);
    raw.append(char(kStartByte));
    raw.append(char(direction));
    raw.append(char(0x00));
    raw.append(char(kStartByte));
    raw.append(char(cmd));
    raw.append(char(quint8(body)));
    raw.append(char(0x00));
    raw.append(char(id & 0xFF));
    raw.append(char(id >> 8));
    raw.append(mac);
    raw.append(payload);
    raw.append(char(byteSum(raw)));
    raw.append(char(kEndByte));
    return raw;
}

PackedRequest packRequest(
    quint8 cmd, quint16 id, const QString &camIp, const QByteArray &camMac, const QByteArray &buff)
{
    PackedRequest out;
    out.logLines << QStringLiteral("cmd = %1 id = %2").arg(toHex(cmd, 2), toHex(id, 2));
    const bool withMac = cmd == kCmdWrite && camMac.size() == kMacSize;
    if (withMac)
        out.logLines << QStringLiteral("comming 1");
    const QByteArray raw = buildFrame(kDirRequest, cmd, id, withMac ? camMac : QByteArray(), buff);
    if (raw.isEmpty()) {
        out.logLines
            << QStringLiteral("request not sent: payload of %1 bytes does not fit a frame").arg(buff.size());
        return out;
    }
    if (withMac)
        out.logLines << QStringLiteral("comming 2");

    CmdFrame &f = out.frame;
    f.raw = raw;
    f.cmd = cmd;
    f.len = quint8(raw.at(5));
    f.id = id;
    f.data = raw.mid(kHeaderSize, f.len - 2);
    f.sum = quint8(raw.at(raw.size() - 2));
    f.end = kEndByte;
    out.logLines << QString::number(f.sum);
    out.logLines << QStringLiteral("CameraCode.Cam_ip:") + camIp;
    out.host = id == kIdBroadcast ? QString::fromLatin1(kBroadcastHost) : camIp;
    return out;
}

std::optional<CmdFrame> parseFrame(const QByteArray &datagram, quint8 direction, DropReason *why)
{
    auto drop = [why](DropReason r) -> std::optional<CmdFrame> {
        if (why)
            *why = r;
        return std::nullopt;
    };
    const int size = datagram.size();
    if (size < kHeaderSize)
        return drop(DropReason::TooShort);
    const auto byte = [&datagram](int i) { return quint8(datagram.at(i)); };
    if (byte(0) != kStartByte || byte(3) != kStartByte)
        return drop(DropReason::BadStart);
    if (byte(1) != direction)
        return drop(DropReason::BadDirection);
    const int len = byte(5);
    if (len < 2)
        return drop(DropReason::BadLength);
    if (size < len + kHeaderSize)
        return drop(DropReason::Truncated);
    if (byte(len + 8) != kEndByte)
        return drop(DropReason::BadEnd);

    CmdFrame f;
    f.cmd = byte(4);
    f.len = quint8(len);
    f.id = quint16(byte(7) | (byte(8) << 8));
    f.data = datagram.mid(kHeaderSize, len - 2);
    f.sum = byte(len + 7);
    f.end = byte(len + 8);
    f.raw = datagram.left(len + kHeaderSize);
    if (why)
        *why = DropReason::None;
    return f;
}

std::optional<CmdFrame> unpack(const QByteArray &datagram, DropReason *why)
{
    return parseFrame(datagram, kDirReply, why);
}

bool checksumMatches(const CmdFrame &frame)
{
    return frame.raw.size() >= kHeaderSize + 2 && checkSum(frame) == frame.sum;
}

QString checksumMismatchLine(const CmdFrame &frame)
{
    if (checksumMatches(frame))
        return QString();
    return QStringLiteral("command reply %1 %2: checksum 0x%3, its bytes sum to 0x%4; acted on all the same")
        .arg(toHex(frame.cmd, 2), toHex(frame.id, 4), toHex(frame.sum, 2), toHex(checkSum(frame), 2));
}

ReplyOutcome writeReplyOutcome(const CmdFrame &frame)
{
    ReplyOutcome out;
    const paramcat::Parameter *parameter = paramcat::parameterById(frame.id);
    const bool acknowledged = parameter && parameter->acknowledged;
    if (acknowledged && !frame.data.isEmpty() && frame.data.at(0) != 0)
        out.logLines << QStringLiteral("set success:>") + QString::number(frame.id);
    return out;
}

namespace {

    struct CJsonDeleter {
        void operator()(cJSON *item) const { cJSON_Delete(item); }
    };

    int reportRow(const char *key)
    {
        if (!key)
            return -1;
        for (const ReportKey &k : kReportKeys) {
            if (std::strcmp(k.key, key) == 0)
                return k.row;
        }
        return -1;
    }

} // namespace

std::optional<QString> reportNumberText(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString outOfRangeMarker()
{
    return QCoreApplication::translate("MainWindow", "超出范围");
}

ReplyOutcome controlReplyOutcome(const CmdFrame &frame)
{
    ReplyOutcome out;
    out.logLines << QStringLiteral("code = %1 id = %2").arg(toHex(frame.cmd, 2), toHex(frame.id, 2));
    if (frame.id != kIdQuery)
        return out;

    out.logLines << QStringLiteral(">>>>>>>>>>>>:") + QString::fromUtf8(frame.data);
    // Bounded by the payload's length: the payload is not NUL-terminated on the wire.
    const std::unique_ptr<cJSON, CJsonDeleter> root(
        cJSON_ParseWithLength(frame.data.constData(), size_t(frame.data.size())));
    const int count = root ? cJSON_GetArraySize(root.get()) : 0;
    out.logLines << QStringLiteral("jslen:>>>") + QString::number(count);

    for (int i = 0; i < count; ++i) {
        const cJSON *member = cJSON_GetArrayItem(root.get(), i);
        if (!member)
            continue;
        if (cJSON_IsString(member)) {
            const QString key = member->string ? QString::fromUtf8(member->string) : QString();
            out.logLines << QStringLiteral("temp:>") + key;
            out.logLines << QStringLiteral("temp valuestring:>>>")
                    + QString::fromUtf8(member->valuestring ? member->valuestring : "");
            out.logLines << QStringLiteral("temp valueint:>>>") + QString::number(member->valueint);
            out.logLines << QStringLiteral("temp valuedouble:>>>") + QString::number(member->valuedouble);
            continue;
        }
        const int row = reportRow(member->string);
        if (row < 0 || !cJSON_IsNumber(member))
            continue;
        // Not cJSON's valueint: that is the integer part, saturated to the int range.
        const QString text = reportNumberText(member->valuedouble).value_or(outOfRangeMarker());
        out.logLines << QStringLiteral("temp value:>>>") + text;
        out.tableUpdates.append({ row, text });
    }
    return out;
}

ReplyOutcome replyOutcome(const CmdFrame &frame)
{
    switch (frame.cmd) {
    case kCmdWrite:
        return writeReplyOutcome(frame);
    case kCmdControl:
        return controlReplyOutcome(frame);
    default:
        return {};
    }
}

ReplyOutcome datagramOutcome(const QByteArray &datagram)
{
    const std::optional<CmdFrame> frame = unpack(datagram);
    return frame ? replyOutcome(*frame) : ReplyOutcome();
}

} // namespace cmdproto
