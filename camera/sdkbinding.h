#ifndef TAVIX_SDKBINDING_H
#define TAVIX_SDKBINDING_H

#include "core/linksdk.h"

#include <QString>
#include <QStringList>

// The camera SDK's operations as a table of function pointers, resolved from the
// SDK library at run time. Operations the library lacks (or all of them, when
// the library is missing) point to a stand-in that returns a non-zero status and
// touches nothing, so enumeration then finds no camera.
struct SdkApi {
#define TAVIX_SDK_POINTER(name, ordinal, ret, args) ret(*name) args;
    LINKSDK_OPERATIONS(TAVIX_SDK_POINTER)
#undef TAVIX_SDK_POINTER
};

// Status the stand-ins return for an operation the SDK does not provide.
constexpr int SdkMissingStatus = -1;

// The table in use. The first call loads the SDK from the default places:
// the folder TAVIX_SDK_DIR names, when it is set (the installed simulated SDK,
// for instance); the executable's folder (link.dll on Windows, liblink.so
// elsewhere); then the system's library path.
const SdkApi &sdk();

// Loads the SDK from `path` (or, when empty, from the default places) and makes
// it the table in use. Returns false, after one log line naming the file and
// what is missing, when the library or any operation is missing; the
// operations that were found stay usable. A DLL whose export table gives the
// SDK's ordinals other names is not the SDK: none of its functions is used.
bool loadSdk(const QString &path = QString());

// Makes `api` the table in use (a test double, for instance). Null members are
// replaced by the stand-ins.
void installSdk(const SdkApi &api);

// The stand-in table: every operation returns SdkMissingStatus.
SdkApi missingSdk();

// Operations the last load could not resolve, by name.
QStringList missingSdkOperations();

// The SDK in use, as the about box shows it.
struct SdkInfo {
    QString file; // the library file looked for: link.dll or liblink.so
    QString path; // where the library in use was loaded from; empty when none was
    bool installed = false; // a table handed to installSdk, not a library
    QStringList missing; // as missingSdkOperations()
};

// What the table in use came from; loads the SDK from the default places first
// when nothing is in use yet.
SdkInfo sdkInfo();

#endif
