#include "core/cameracode.h"

#include <QStringList>

QByteArray macToBytes(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('-'), Qt::KeepEmptyParts);
    QByteArray bytes;
    bytes.reserve(parts.size());
    for (const QString &part : parts) {
        bool ok = false;
        const qulonglong value = part.toULongLong(&ok, 16);
        bytes.append(char(ok ? (value & 0xFF) : 0));
    }
    return bytes;
}

QString macText(const unsigned char (&mac)[6])
{
    const auto hex = [](unsigned char byte) { return QString::number(unsigned(byte), 16); };
    return QStringLiteral("%1-%2-%3-%4-%5-%6")
        .arg(hex(mac[0]), hex(mac[1]), hex(mac[2]), hex(mac[3]), hex(mac[4]), hex(mac[5]));
}

QString ipv4Text(const unsigned char (&ip)[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QString ipv4Text(quint32 address)
{
    const unsigned char bytes[4] = { uchar(address >> 24), uchar((address >> 16) & 0xFF),
        uchar((address >> 8) & 0xFF), uchar(address & 0xFF) };
    return ipv4Text(bytes);
}

std::optional<quint32> parseDottedIpv4(const char *text, std::size_t maxBytes)
{
    if (!text)
        return std::nullopt;
    quint32 address = 0;
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        // One number: 1 to 3 digits, no leading zero unless it is "0".
        const std::size_t start = i;
        quint32 part = 0;
        while (i < maxBytes && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
            part = part * 10 + quint32(text[i] - '0');
            ++i;
        }
        const std::size_t digits = i - start;
        if (digits == 0 || part > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        address = (address << 8) | part;
        ++parts;
        const bool atEnd = i == maxBytes || text[i] == '\0';
        if (parts == 4)
            return atEnd ? std::optional<quint32>(address) : std::nullopt;
        if (atEnd || text[i] != '.')
            return std::nullopt;
        ++i;
    }
}

std::optional<quint32> addressWithLeadingZeros(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    QStringList plain;
    bool leadingZero = false;
    for (const QString &part : parts) {
        QString digits = part;
        while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
            digits.remove(0, 1);
        leadingZero = leadingZero || digits.size() != part.size();
        plain << digits;
    }
    if (!leadingZero)
        return std::nullopt;
    const QByteArray written = plain.join(QLatin1Char('.')).toLatin1();
    return parseDottedIpv4(written.constData(), std::size_t(written.size()));
}

AddressFault cameraAddressFault(quint32 address)
{
    const quint32 top = address >> 24;
    if (address == 0xFFFFFFFFu)
        return AddressFault::Broadcast;
    if (top == 0)
        return AddressFault::ThisNetwork;
    if (top >= 224 && top <= 239)
        return AddressFault::Multicast;
    if (top >= 240)
        return AddressFault::Reserved;
    return AddressFault::None;
}

QString addressFaultText(AddressFault fault)
{
    switch (fault) {
    case AddressFault::None:
        break;
    case AddressFault::ThisNetwork:
        return QStringLiteral("it is in 0.0.0.0/8, which names no single host (0.0.0.0 is the any-address)");
    case AddressFault::Broadcast:
        return QStringLiteral("it is the broadcast address, which reaches every camera on the network");
    case AddressFault::Multicast:
        return QStringLiteral("it is a multicast address (224.0.0.0/4), which names a group of hosts");
    case AddressFault::Reserved:
        return QStringLiteral("it is in 240.0.0.0/4, which is reserved and given to no host");
    }
    return QString();
}
