// One received datagram through the reply parser and the reply handling.
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), int(size));
    const std::optional<CmdFrame> frame = cmdproto::unpack(datagram);
    if (!frame)
        return 0;
    // A frame never claims more bytes than the datagram held.
    if (frame->raw.size() != frame->len + 9 || frame->raw.size() > datagram.size()
        || frame->data.size() != frame->len - 2)
        std::abort();
    // A wrong checksum is only logged: the line is there exactly when the sum differs.
    if (cmdproto::checksumMismatchLine(*frame).isEmpty() != (cmdproto::checkSum(*frame) == frame->sum))
        std::abort();
    const cmdproto::ReplyOutcome out = cmdproto::replyOutcome(*frame);
    // Only the rows whose catalogue entry has a report key are ever updated.
    for (const auto &update : out.tableUpdates) {
        const paramcat::Parameter *row = paramcat::parameterByRow(update.row);
        if (!row || !row->reportKey)
            std::abort();
    }
    return 0;
}
