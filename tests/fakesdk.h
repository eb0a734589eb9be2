// An in-process stand-in for the camera SDK, shared by the tests. It records
// every call, enumerates the cameras it is given, answers every operation with
// a settable status and delivers frames through the callback registered with it.
#ifndef TAVIX_TESTS_FAKESDK_H
#define TAVIX_TESTS_FAKESDK_H

#include "camera/sdkbinding.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace fake {

struct Camera {
    const char *name;
    unsigned char ip[4];
    unsigned char mac[6];
};

// One recorded call. `index` is the record's index in the program's camera
// list (-1 for calls without a record or a record outside it); `arg` the mode
// of a mode call; `text` the 64-byte buffer of the address and name setters.
struct Call {
    QString op; // Init, Enum, Open, Register, Start, Stop, Close, Mode, Soft, SetIp, SetName
    const CameraRecord *record;
    int index;
    int arg;
    QByteArray text;

    // "Init", "Open 2", "Mode 2 1", "SetIp 0 127.0.0.77" (the text up to its first NUL).
    QString toString() const;
};

// The operation table; install() makes it the one in use.
SdkApi api();
void install();

// The cameras the next enumeration reports, records 0 on, and the list's count.
void setCameras(const std::vector<Camera> &cameras);
// The status every operation returns from now on (0 at first); forgets the
// statuses set for single operations.
void setStatus(int status);
// The status operation `op` (as in Call::op) returns from now on.
void setStatus(const QString &op, int status);

// Calls are recorded from any thread (the acquisition loop opens the camera).
std::vector<Call> calls();
void clear();
// The calls as text, optionally only those whose op is in `ops`; take* also
// forgets every recorded call.
QStringList peekCalls(const QStringList &ops = {});
QStringList takeCalls(const QStringList &ops = {});
// Just the op names, in order.
QStringList ops();

// The callback and context last registered, or null.
FrameCallback callback();
// Calls the registered callback with `data` and `info`, as the SDK's delivery
// thread does; may be called from any thread. Returns the callback's result,
// or -1 when no callback is registered.
int deliver(unsigned char *data, FrameInfo *info);

} // namespace fake

#endif
