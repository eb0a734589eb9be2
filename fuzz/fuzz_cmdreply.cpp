// One received datagram through the reply parser and the reply handling.
#include "core/cmdframe.h"

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
    const cmdproto::ReplyOutcome out = cmdproto::replyOutcome(*frame);
    for (const auto &update : out.tableUpdates) {
        if (update.row != 2 && update.row != 3 && update.row != 7 && update.row != 22)
            std::abort();
    }
    return 0;
}
