// The camera SDK without acquisition: start-up, enumeration, the texts of an
// enumerated camera, its new address and name, and the calls that open,
// start, stop and close a camera and register its frame callback. Qt Core only:
// the window's acquisition worker and the command-line tool both build on it.
#ifndef TAVIX_CAMERASDK_H
#define TAVIX_CAMERASDK_H

#include "core/linksdk.h"

#include <QString>

// The SDK's camera list: a count and 32 records, filled by enumerate(), in
// zero-initialised storage for the life of the process. A camera index is an
// index into its records.
extern CameraList cameraList;

namespace camerasdk {

constexpr int kRecordCount = 32;

// Record `index` of cameraList; null, after a warning, outside 0 to 31.
CameraRecord *record(int index);

// IB_CC_Init, then an empty camera list. Returns the SDK's status.
int startSdk();
// IB_CC_EnumCamera into cameraList. Returns the SDK's status.
int enumerate();

// The record's name up to its first NUL, as UTF-8 (logs "camname is:---->").
QString cameraName(int index);
// The record's address in dotted decimal, 0.0.0.0 for zero bytes (logs "return number:").
QString cameraIp(int index);
// The record's MAC as "0-1a-2b-3-4d-5e": lower-case hexadecimal, no leading zeros (logs "Mac:").
QString cameraMac(int index);

// Zero-fill `textBuffer`, copy at most its first 63 bytes of `newip` (UTF-8) or
// `newname` (Latin-1) into it and hand it to IB_CC_setCameraip or
// IB_CC_setCameraName. A non-zero status is logged ("IB_CC_setCameraip is
// fail!", "IB_CC_setCameraName is fail!") and returned. The record in
// cameraList keeps the enumerated values.
int setCameraIp(int index, const QString &newip, char (&textBuffer)[64]);
int setCameraName(int index, const QString &newname, char (&textBuffer)[64]);

// The SDK's own calls on record `index`; an index outside the list gives
// SdkMissingStatus without calling the SDK.
int registerImage(int index, FrameCallback callback, void *context);
int openCamera(int index);
int startCamera(int index);
int stopCamera(int index);
int closeCamera(int index);

} // namespace camerasdk

#endif
