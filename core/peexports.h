// The export table of a Windows DLL (a PE image), as the loader maps it.
//
// The camera SDK is imported by ordinal, and any DLL answers a lookup of
// ordinals 1 to 12 when it exports that many functions; its export table says
// whether those ordinals carry other names than the SDK's operations.
#ifndef TAVIX_PEEXPORTS_H
#define TAVIX_PEEXPORTS_H

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <cstddef>
#include <optional>

struct PeExports {
    QByteArray dllName; // the name the DLL was linked as, e.g. "link.dll"
    QSet<int> ordinals; // every exported ordinal
    QMap<int, QByteArray> names; // ordinal -> name, for the ordinals exported by name
};

// Reads the export table of the PE image mapped at `image`, `size` bytes long
// (relative virtual addresses are offsets into it; all fields little-endian).
// Nothing is read outside the `size` bytes: an image that is not a PE image,
// or whose headers or export table do not fit, gives nullopt. An image
// without an export table gives an empty table. Names that run past the end
// of the image are left out.
std::optional<PeExports> readPeExports(const unsigned char *image, std::size_t size);

// For each camera SDK operation (core/linksdk.h) whose ordinal `exports` lists
// under another name, one text such as "ordinal 1 is deflate, not IB_CC_Init".
// Ordinals exported without a name, or under the operation's own name, pass:
// a DLL with any such text is not the camera SDK.
QStringList foreignSdkOrdinals(const PeExports &exports);

#endif
