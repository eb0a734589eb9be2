#include "net/commandsocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QUdpSocket>

namespace {

// The window shows these texts in its language; the tool loads no translation.
QString text(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// "Another Tavix (process 1234)", or the program the claim names.
QString holderText(const PortClaim &claim)
{
    const QString pid = claim.holderPid() > 0 ? QString::number(claim.holderPid())
                                              : text(QT_TRANSLATE_NOOP("MainWindow", "unknown"));
    const QString app = claim.holderApp();
    if (app.compare(QLatin1String("tavix"), Qt::CaseInsensitive) == 0)
        return text(QT_TRANSLATE_NOOP("MainWindow", "Another Tavix (process %1)")).arg(pid);
    if (app.isEmpty())
        return text(QT_TRANSLATE_NOOP("MainWindow", "Another program (process %1)")).arg(pid);
    return text(QT_TRANSLATE_NOOP("MainWindow", "Another program, %1 (process %2),")).arg(app, pid);
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
    return text(QT_TRANSLATE_NOOP("MainWindow", "%1 already uses the command port %2: camera replies may go to it."))
        .arg(holderText(holder))
        .arg(port);
}

QString CommandSocket::sharedWarning() const
{
    return m_heldElsewhere ? sharedPortText(m_claim, m_port) : QString();
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
        m_heldElsewhere = true;
        opened.sharedWarning = sharedPortText(m_claim, m_port);
        break;
    case PortClaim::Outcome::Failed:
        opened.claimError = m_claim.errorText();
        break;
    }
    m_socket = std::make_unique<QUdpSocket>();
    // Shared, so that other programs on this host that serve or use the port
    // (simulated cameras bind 127.x.y.z:3956, in this process too) can coexist
    // with this socket; Linux allows that only when every socket asks for it,
    // and Windows (SO_REUSEADDR, which ShareAddress alone does not set) when
    // this one does. A second program on the port is told by the claim above.
    const QUdpSocket::BindMode mode = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    opened.bound = m_socket->bind(QHostAddress::AnyIPv4, m_port, mode);
    if (!opened.bound)
        opened.bindError = m_socket->errorString();
    return opened;
}
