// One datagram through the simulated camera's request handling (the command
// responder's respond(), without its socket), then the parameter query.
//
// A camera answers only whole requests with a right checksum, with at most one
// reply, itself a whole reply frame under the request's command and id; a write
// for another MAC, or one the camera refuses, leaves its parameters alone; and
// whatever was written, the parameter report stays a JSON object with every
// report key as a number.
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "sim/cmdresponder.h"
#include "sim/paramstore.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

using namespace cmdproto;

namespace {

const std::array<uchar, 6> kMac { 0x02, 0x54, 0x56, 0x00, 0x00, 0x01 };

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The status byte of a single-reply answer, checked to be a proper reply.
std::optional<quint8> replyStatus(const QList<QByteArray> &replies, const CmdFrame &request)
{
    check(replies.size() <= 1);
    if (replies.isEmpty())
        return std::nullopt;
    const std::optional<CmdFrame> reply = parseFrame(replies.front(), kDirReply);
    check(reply && checkSum(*reply) == reply->sum && reply->raw == replies.front());
    check(reply->cmd == request.cmd && reply->id == request.id);
    if (request.id == kIdQuery && request.cmd == kCmdControl)
        return std::nullopt;
    check(reply->data.size() == 1 && quint8(reply->data[0]) <= 1);
    return quint8(reply->data[0]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    linksim::ParameterStore store;
    linksim::CmdResponder responder([] { return quint32(0x7F000002); }, kMac, store);
    const QHash<QString, qint64> before = store.snapshot();

    const QByteArray datagram(reinterpret_cast<const char *>(data), int(size));
    const QList<QByteArray> replies = responder.respond(datagram);
    const std::optional<CmdFrame> request = parseFrame(datagram, kDirRequest);
    const bool whole = request && checkSum(*request) == request->sum;
    if (!whole) {
        check(replies.isEmpty() && store.snapshot() == before);
        return 0;
    }
    const std::optional<quint8> status = replyStatus(replies, *request);
    if (request->cmd == kCmdWrite) {
        const QByteArray mac(reinterpret_cast<const char *>(kMac.data()), kMacSize);
        check(replies.isEmpty() == !request->data.startsWith(mac));
    } else if (request->cmd == kCmdControl) {
        check(!replies.isEmpty());
    } else {
        check(replies.isEmpty());
    }
    if (!status || *status == 0)
        check(store.snapshot() == before);

    // The report after whatever the request did.
    const QByteArray query = buildFrame(kDirRequest, kCmdControl, kIdQuery, {}, {});
    const QList<QByteArray> report = responder.respond(query);
    check(report.size() == 1);
    const std::optional<CmdFrame> reply = unpack(report.front());
    check(reply.has_value());
    const QJsonDocument json = QJsonDocument::fromJson(reply->data);
    check(json.isObject());
    for (const ReportKey &key : kReportKeys)
        check(json.object().value(QLatin1String(key.key)).isDouble());
    check(controlReplyOutcome(*reply).tableUpdates.size() == int(kReportKeys.size()));
    return 0;
}
