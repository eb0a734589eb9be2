// The cameras the camera SDK enumerates, and which one a CAMERA argument names.
#ifndef TAVIX_CTL_CAMERAS_H
#define TAVIX_CTL_CAMERAS_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <optional>

namespace ctl {

// One enumerated camera, with the texts the camera information panel shows.
struct CameraEntry {
    int index = -1; // record index in the SDK's camera list
    QString name;
    QString ip; // dotted decimal
    QString mac; // "0-e0-4c-68-1-2"
};

// Starts the SDK, enumerates and reads every record with a name (the SDK list
// has room for 32).
QVector<CameraEntry> enumerateCameras();

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

// A typed camera address: strict dotted decimal (no leading zeros: other
// programs read "010" as octal 8), and one a camera can have (not broadcast,
// 0.0.0.0/8, multicast or reserved; cameraAddressFault in core/cameracode.h).
// Nothing, with the reason in `error`, otherwise.
std::optional<quint32> cameraAddress(const QString &text, QString *error);

// `text` is an IPv4 address or a camera name. Four dot-separated runs of digits
// are an address and must be strict dotted decimal: "192.168.001.010" is
// refused (leading zeros), never read as octal. An address needs no camera in
// the list (its MAC is then unknown); a name must match exactly one listed
// camera. The address found, typed or listed, must be one a camera can have
// (cameraAddressFault in core/cameracode.h): broadcast, 0.0.0.0/8, multicast
// and reserved addresses are refused with the reason. `mac`, when not empty,
// replaces the listed MAC. Touches no socket.
Resolution resolveCamera(
    const QVector<CameraEntry> &cameras, const QString &text, const QByteArray &mac = {});

// One note per listed camera that commands cannot reach, because the SDK lists
// it at an address no camera can have.
QStringList unusableListedCameras(const QVector<CameraEntry> &cameras);

} // namespace ctl

#endif
