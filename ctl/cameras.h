// The cameras the camera SDK enumerates, and which one a CAMERA argument names.
#ifndef TAVIX_CTL_CAMERAS_H
#define TAVIX_CTL_CAMERAS_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

class WorkThread;

namespace ctl {

// One enumerated camera, with the texts the camera information panel shows.
struct CameraEntry {
    int index = -1; // record index in the SDK's camera list
    QString name;
    QString ip; // dotted decimal
    QString mac; // "0-e0-4c-68-1-2"
};

// Starts the SDK through the worker and reads every record with a name (the SDK
// list has room for 32).
QVector<CameraEntry> enumerateCameras(WorkThread &worker);

// The camera a command goes to.
struct Target {
    QString ip; // dotted decimal, canonical
    QString name; // empty when the SDK does not list the address
    int index = -1; // SDK record index; -1 when not listed
    QByteArray mac; // 6 bytes, or empty when unknown
    QString label() const { return name.isEmpty() ? ip : QStringLiteral("%1 (%2)").arg(name, ip); }
};

struct Resolution {
    std::optional<Target> target;
    QString error; // when there is no target
};

// `text` is an IPv4 address (dotted decimal) or a camera name. An address needs
// no camera in the list (its MAC is then unknown); a name must match exactly
// one listed camera. `mac`, when not empty, replaces the listed MAC.
Resolution resolveCamera(
    const QVector<CameraEntry> &cameras, const QString &text, const QByteArray &mac = {});

} // namespace ctl

#endif
