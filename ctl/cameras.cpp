#include "ctl/cameras.h"

#include "camera/workthread.h"
#include "core/cameracode.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

namespace ctl {

namespace {

    // The SDK's camera list holds at most this many records.
    constexpr int kRecords = 32;

    // Dotted decimal only: QHostAddress alone would also take "127.1" or "2130706434".
    std::optional<QString> dottedIpv4(const QString &text)
    {
        static const QRegularExpression form(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
        if (!form.match(text).hasMatch())
            return std::nullopt;
        QHostAddress address;
        if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
            return std::nullopt;
        return address.toString();
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

QVector<CameraEntry> enumerateCameras(WorkThread &worker)
{
    worker.init();
    worker.EnumCamras();
    QVector<CameraEntry> cameras;
    for (int i = 0; i < kRecords; ++i) {
        const QString name = worker.getCamName(i);
        if (name.isEmpty())
            continue;
        cameras.append({ i, name, worker.getCamIp(i), worker.getCamMac(i) });
    }
    return cameras;
}

Resolution resolveCamera(const QVector<CameraEntry> &cameras, const QString &text, const QByteArray &mac)
{
    const auto targetOf = [&mac](const CameraEntry &camera) {
        Target target { camera.ip, camera.name, camera.index, macToBytes(camera.mac) };
        if (!mac.isEmpty())
            target.mac = mac;
        return target;
    };
    Resolution out;
    if (const std::optional<QString> ip = dottedIpv4(text)) {
        for (const CameraEntry &camera : cameras) {
            if (camera.ip == *ip) {
                out.target = targetOf(camera);
                return out;
            }
        }
        out.target = Target { *ip, QString(), -1, mac };
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
    out.target = targetOf(*found);
    return out;
}

} // namespace ctl
