// Fuzzes the firmware reply stream: the input arrives in reads of varying
// size; every frame taken must be a whole, valid frame, and every input byte
// must end up taken, skipped or still buffered as the start of one frame.
#include "core/transfer.h"

#include <cstdint>
#include <cstdlib>

using namespace firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the read size, so splits at any place are tried.
    const size_t chunk = size_t(data[0] % 17) + 1;
    ++data;
    --size;

    FrameStream stream;
    qint64 taken = 0, skipped = 0;
    for (size_t at = 0; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        stream.append(reinterpret_cast<const char *>(data + at), qint64(n));
        while (auto frame = stream.takeFrame()) {
            const auto parsed = parseFrame(*frame);
            if (!parsed || frame->size() > MaxStreamFrame
                || parsed->payload.size() + FrameOverhead != frame->size())
                std::abort();
            // Reply decoding must agree with the frame's command and payload.
            const auto reply = replyFromFrame(*parsed);
            if (reply.has_value() != (parsed->command == CmdReply && !parsed->payload.isEmpty()))
                std::abort();
            taken += frame->size();
        }
        skipped += stream.takeSkipped();
        if (stream.buffered() >= MaxStreamFrame)
            std::abort();
    }
    if (taken + skipped + stream.buffered() != qint64(size))
        std::abort();
    // The one-shot parser must not read past the end of any prefix.
    const QByteArray all(reinterpret_cast<const char *>(data), int(size));
    for (int n = 0; n <= std::min(all.size(), 64); ++n)
        (void)parseReply(all.left(n));
    return 0;
}
