// The camera that the UDP commands go to, and the MAC text conversion that fills it.
#ifndef TAVIX_CAMERACODE_H
#define TAVIX_CAMERACODE_H

#include <QByteArray>
#include <QString>

// Target of the UDP commands: the selected camera's dotted IPv4 text and its
// MAC address as bytes (normally 6). Both empty until a camera is selected.
struct CameraCodeRecord {
    QString Cam_ip;
    QByteArray Cam_mac;
};

// Turns a MAC text such as "0-e0-4c-68-1-2" into bytes (00 E0 4C 68 01 02).
// The text is split at every '-', empty parts kept; each part becomes one byte:
// the part read as unsigned hexadecimal (either case), cut to its low 8 bits.
// A part that is not a hexadecimal number (an empty part included) gives 0, so
// the result always has one byte more than the text has dashes.
QByteArray macToBytes(const QString &text);

#endif
