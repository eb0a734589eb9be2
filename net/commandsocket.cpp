#include "net/commandsocket.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace {

// "Another Tavix (process 1234)", or the program the claim names.
QString holderText(const PortClaim &claim)
{
    const QString pid
        = claim.holderPid() > 0 ? QString::number(claim.holderPid()) : QStringLiteral("unknown");
    const QString app = claim.holderApp();
    if (app.compare(QLatin1String("tavix"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Another Tavix (process %1)").arg(pid);
    if (app.isEmpty())
        return QStringLiteral("Another program (process %1)").arg(pid);
    return QStringLiteral("Another program, %1 (process %2),").arg(app, pid);
}

} // namespace

CommandSocket::CommandSocket(quint16 port)
    : m_port(port)
    , m_claim(PortClaim::udpName(port))
{
}

CommandSocket::~CommandSocket() = default;

QString CommandSocket::sharedPortText(const PortClaim &holder, quint16 port)
{
    return QStringLiteral("%1 already uses the command port %2: camera replies may go to it.")
        .arg(holderText(holder))
        .arg(port);
}

CommandSocket::Opened CommandSocket::open()
{
    Opened opened;
    // A shared port hands each reply to one of the sockets bound there: the
    // claim lets a second program on this machine know why replies go missing.
    switch (m_claim.claim()) {
    case PortClaim::Outcome::Claimed:
        break;
    case PortClaim::Outcome::HeldElsewhere:
        opened.sharedWarning = sharedPortText(m_claim, m_port);
        break;
    case PortClaim::Outcome::Failed:
        opened.claimError = m_claim.errorText();
        break;
    }
    m_socket = std::make_unique<QUdpSocket>();
#ifdef Q_OS_WIN
    const QUdpSocket::BindMode mode = QUdpSocket::DefaultForPlatform;
#else
    // Linux allows a shared port only when every socket asks for it.
    const QUdpSocket::BindMode mode = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
#endif
    opened.bound = m_socket->bind(QHostAddress::AnyIPv4, m_port, mode);
    if (!opened.bound)
        opened.bindError = m_socket->errorString();
    return opened;
}
