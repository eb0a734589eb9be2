// Camera address texts: arbitrary bytes through the IPv4 parser and the MAC
// reader, and address bytes through the text writers and back.
#include "core/cameracode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);

    // The parser accepts only the one text each address has: what it reads
    // (up to a NUL or the end) must be exactly what ipv4Text writes.
    if (const std::optional<quint32> ip = parseDottedIpv4(text, size)) {
        const QByteArray written = ipv4Text(*ip).toLatin1();
        const size_t read = strnlen(text, size);
        if (size_t(written.size()) != read || std::memcmp(written.constData(), text, read) != 0)
            std::abort();
    }

    // The MAC reader gives one byte per dash-separated part, whatever the text.
    const QString asText = QString::fromUtf8(text, int(size));
    if (macToBytes(asText).size() != asText.count(QLatin1Char('-')) + 1)
        std::abort();

    // Address bytes survive the trip through their texts.
    if (size >= 6) {
        unsigned char mac[6];
        std::memcpy(mac, data, 6);
        if (macToBytes(macText(mac)) != QByteArray(text, 6))
            std::abort();
    }
    if (size >= 4) {
        unsigned char ip[4];
        std::memcpy(ip, data, 4);
        const QByteArray written = ipv4Text(ip).toLatin1();
        const std::optional<quint32> back = parseDottedIpv4(written.constData(), size_t(written.size()));
        const quint32 expected = quint32(ip[0]) << 24 | quint32(ip[1]) << 16 | quint32(ip[2]) << 8 | ip[3];
        if (!back || *back != expected || ipv4Text(expected).toLatin1() != written)
            std::abort();
    }
    return 0;
}
