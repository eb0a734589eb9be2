#include "ctl/cameras.h"

#include "camera/camerasdk.h"
#include "core/cameracode.h"

#include <QRegularExpression>
#include <QStringList>

namespace ctl {

namespace {

    // A text of four dot-separated runs of digits is meant as an address, and
    // is read as one or refused; anything else may be a camera name.
    bool looksLikeAddress(const QString &text)
    {
        static const QRegularExpression form(QStringLiteral("\\A[0-9]+(\\.[0-9]+){3}\\z"));
        return form.match(text).hasMatch();
    }

    // Strict dotted decimal: Qt's own parser would read "010" as octal 8 and
    // take "127.1" or "2130706434" as addresses too.
    std::optional<quint32> dottedAddress(const QString &text, QString *error)
    {
        const QByteArray latin = text.toLatin1();
        const std::optional<quint32> address = parseDottedIpv4(latin.constData(), std::size_t(latin.size()));
        if (address)
            return address;
        if (const std::optional<quint32> meant = addressWithLeadingZeros(text)) {
            *error = QStringLiteral("address \"%1\" refused: leading zeros are not allowed (other programs "
                                    "read such numbers as octal); write %2 if that is the address meant")
                         .arg(text, ipv4Text(*meant));
        } else {
            *error = QStringLiteral("\"%1\" is not an IPv4 address: it takes four numbers from 0 to 255, "
                                    "without leading zeros")
                         .arg(text);
        }
        return std::nullopt;
    }

    QString faultText(quint32 address, AddressFault fault)
    {
        return QStringLiteral("%1 cannot be a camera's address: %2")
            .arg(ipv4Text(address), addressFaultText(fault));
    }

    // Why commands cannot reach a listed camera, or nothing. A listed address
    // is checked as a typed one: the SDK's records are not trusted to hold a
    // camera's own address.
    QString listedProblem(const CameraEntry &camera)
    {
        const QByteArray listed = camera.ip.toLatin1();
        const std::optional<quint32> address
            = parseDottedIpv4(listed.constData(), std::size_t(listed.size()));
        if (!address)
            return QStringLiteral("camera \"%1\" is listed at \"%2\", which is not an IPv4 address")
                .arg(camera.name, camera.ip);
        if (const AddressFault fault = cameraAddressFault(*address); fault != AddressFault::None)
            return QStringLiteral("camera \"%1\" is listed at %2, which cannot be a camera's address: %3")
                .arg(camera.name, camera.ip, addressFaultText(fault));
        return QString();
    }

    QString known(const QVector<CameraEntry> &cameras)
    {
        if (cameras.isEmpty())
            return QStringLiteral("the camera SDK lists no camera");
        QStringList names;
        for (const CameraEntry &camera : cameras)
            names << QStringLiteral("%1 %2").arg(camera.name, camera.ip);
        return QStringLiteral("cameras: ") + names.join(QStringLiteral(", "));
    }

} // namespace

QVector<CameraEntry> enumerateCameras()
{
    camerasdk::startSdk();
    camerasdk::enumerate();
    QVector<CameraEntry> cameras;
    for (int i = 0; i < camerasdk::kRecordCount; ++i) {
        const QString name = camerasdk::cameraName(i);
        if (name.isEmpty())
            continue;
        cameras.append({ i, name, camerasdk::cameraIp(i), camerasdk::cameraMac(i) });
    }
    return cameras;
}

std::optional<quint32> cameraAddress(const QString &text, QString *error)
{
    const std::optional<quint32> address = dottedAddress(text, error);
    if (!address)
        return std::nullopt;
    if (const AddressFault fault = cameraAddressFault(*address); fault != AddressFault::None) {
        *error = faultText(*address, fault);
        return std::nullopt;
    }
    return address;
}

Resolution resolveCamera(const QVector<CameraEntry> &cameras, const QString &text, const QByteArray &mac)
{
    Resolution out;
    const auto targetOf = [&mac, &out](const CameraEntry &camera) {
        out.error = listedProblem(camera);
        if (!out.error.isEmpty())
            return;
        Target target { camera.ip, camera.name, camera.index, macToBytes(camera.mac) };
        if (!mac.isEmpty())
            target.mac = mac;
        out.target = target;
    };
    if (looksLikeAddress(text)) {
        const std::optional<quint32> address = cameraAddress(text, &out.error);
        if (!address)
            return out;
        const QString ip = ipv4Text(*address);
        for (const CameraEntry &camera : cameras) {
            if (camera.ip == ip) {
                targetOf(camera);
                return out;
            }
        }
        out.target = Target { ip, QString(), -1, mac };
        return out;
    }
    const CameraEntry *found = nullptr;
    for (const CameraEntry &camera : cameras) {
        if (camera.name != text)
            continue;
        if (found) {
            out.error
                = QStringLiteral("camera name \"%1\" is used by %2 and %3: name the camera by its address")
                      .arg(text, found->ip, camera.ip);
            return out;
        }
        found = &camera;
    }
    if (!found) {
        out.error = QStringLiteral("unknown camera \"%1\": not an IPv4 address nor a listed name (%2)")
                        .arg(text, known(cameras));
        return out;
    }
    targetOf(*found);
    return out;
}

QStringList unusableListedCameras(const QVector<CameraEntry> &cameras)
{
    QStringList notes;
    for (const CameraEntry &camera : cameras) {
        const QString problem = listedProblem(camera);
        if (!problem.isEmpty())
            notes << problem + QStringLiteral("; commands to it are refused");
    }
    return notes;
}

} // namespace ctl
