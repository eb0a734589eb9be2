#include "camera/camerasdk.h"

#include "camera/sdkbinding.h"
#include "core/cameracode.h"

#include <QByteArray>
#include <QDebug>

#include <algorithm>
#include <cstring>

CameraList cameraList;

namespace camerasdk {

namespace {

    // Zero-filled, then the text's first 63 bytes: the SDK reads a NUL-terminated text.
    void fillTextBuffer(char (&textBuffer)[64], const QByteArray &bytes)
    {
        std::memset(textBuffer, 0, sizeof textBuffer);
        std::memcpy(
            textBuffer, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof textBuffer - 1));
    }

} // namespace

CameraRecord *record(int index)
{
    // A camera index outside the list would address memory that is not a record.
    if (index < 0 || index >= kRecordCount) {
        qWarning() << "camera index out of range:" << index;
        return nullptr;
    }
    return &cameraList.records[index];
}

int startSdk()
{
    const int status = sdk().IB_CC_Init();
    cameraList.count = 0;
    return status;
}

int enumerate()
{
    return sdk().IB_CC_EnumCamera(&cameraList);
}

QString cameraName(int index)
{
    const CameraRecord *cam = record(index);
    QString name;
    if (cam)
        name = QString::fromUtf8(cam->name, int(qstrnlen(cam->name, sizeof cam->name)));
    qDebug().noquote() << "camname is:---->" << name;
    return name;
}

QString cameraIp(int index)
{
    const CameraRecord *cam = record(index);
    QString ip;
    if (cam)
        ip = ipv4Text(cam->ip);
    qDebug().noquote() << "return number:" << ip;
    return ip;
}

QString cameraMac(int index)
{
    const CameraRecord *cam = record(index);
    QString mac;
    if (cam)
        mac = macText(cam->mac);
    qDebug().noquote() << "Mac:" << mac;
    return mac;
}

int setCameraIp(int index, const QString &newip, char (&textBuffer)[64])
{
    fillTextBuffer(textBuffer, newip.toUtf8());
    CameraRecord *cam = record(index);
    const int status = cam ? sdk().IB_CC_setCameraip(cam, textBuffer) : SdkMissingStatus;
    if (status != 0)
        qDebug() << "IB_CC_setCameraip is fail!";
    return status;
}

int setCameraName(int index, const QString &newname, char (&textBuffer)[64])
{
    qDebug().noquote() << "debug1>>>" << newname;
    fillTextBuffer(textBuffer, newname.toLatin1());
    CameraRecord *cam = record(index);
    const int status = cam ? sdk().IB_CC_setCameraName(cam, textBuffer) : SdkMissingStatus;
    if (status != 0)
        qDebug() << "IB_CC_setCameraName is fail!";
    return status;
}

int registerImage(int index, FrameCallback callback, void *context)
{
    CameraRecord *cam = record(index);
    return cam ? sdk().IB_CC_RegisterImage(cam, callback, context) : SdkMissingStatus;
}

int openCamera(int index)
{
    CameraRecord *cam = record(index);
    return cam ? sdk().IB_CC_OpenCamera(cam) : SdkMissingStatus;
}

int startCamera(int index)
{
    CameraRecord *cam = record(index);
    return cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
}

int stopCamera(int index)
{
    CameraRecord *cam = record(index);
    return cam ? sdk().IB_CC_StopCamera(cam) : SdkMissingStatus;
}

int closeCamera(int index)
{
    CameraRecord *cam = record(index);
    return cam ? sdk().IB_CC_CloseCamera(cam) : SdkMissingStatus;
}

} // namespace camerasdk
