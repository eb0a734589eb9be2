#include "core/testports.h"

#include "core/cmdframe.h"
#include "core/transfer.h"

#include <QDebug>

namespace {

quint16 portWithOverride(const char *variable, quint16 fixed)
{
    if (!qEnvironmentVariableIsSet(variable))
        return fixed;
    const QByteArray text = qgetenv(variable);
    if (const std::optional<quint16> port = parsePortSetting(text))
        return *port;
    qWarning().noquote() << QStringLiteral("%1=\"%2\" is not a port from 1 to 65535; using %3")
                                .arg(QLatin1String(variable), QString::fromLocal8Bit(text))
                                .arg(fixed);
    return fixed;
}

} // namespace

std::optional<quint16> parsePortSetting(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

quint16 commandPortWithTestOverride()
{
    return portWithOverride("TAVIX_COMMAND_PORT", cmdproto::kPort);
}

quint16 firmwarePortWithTestOverride()
{
    return portWithOverride("TAVIX_FIRMWARE_PORT", firmware::CameraPort);
}
