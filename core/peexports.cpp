#include "core/peexports.h"

#include "core/linksdk.h"

#include <QtEndian>

namespace {

// Bounded little-endian reads: false when the field does not fit.
bool read16(const unsigned char *image, std::size_t size, std::size_t at, quint32 &out)
{
    if (at > size || size - at < 2)
        return false;
    out = qFromLittleEndian<quint16>(image + at);
    return true;
}

bool read32(const unsigned char *image, std::size_t size, std::size_t at, quint32 &out)
{
    if (at > size || size - at < 4)
        return false;
    out = qFromLittleEndian<quint32>(image + at);
    return true;
}

// The NUL-terminated text at `at`, or nullopt when it runs past the end.
std::optional<QByteArray> readText(const unsigned char *image, std::size_t size, std::size_t at)
{
    for (std::size_t end = at; end < size; ++end) {
        if (image[end] == 0)
            return QByteArray(reinterpret_cast<const char *>(image + at), int(end - at));
    }
    return std::nullopt;
}

constexpr quint32 kPeSignature = 0x00004550; // "PE\0\0"
constexpr quint32 kMagicPe32 = 0x10b;
constexpr quint32 kMagicPe32Plus = 0x20b;
// A sanity bound on the tables' lengths (a DLL exports far fewer).
constexpr quint32 kMaxEntries = 65536;

} // namespace

std::optional<PeExports> readPeExports(const unsigned char *image, std::size_t size)
{
    if (!image || size < 64 || image[0] != 'M' || image[1] != 'Z')
        return std::nullopt;
    quint32 nt = 0, signature = 0, magic = 0, optionalSize = 0;
    if (!read32(image, size, 0x3C, nt) || !read32(image, size, nt, signature) || signature != kPeSignature)
        return std::nullopt;
    const std::size_t optional = std::size_t(nt) + 24; // after the signature and the file header
    if (!read16(image, size, std::size_t(nt) + 20, optionalSize) || !read16(image, size, optional, magic))
        return std::nullopt;
    std::size_t directories = 0, countAt = 0;
    if (magic == kMagicPe32) {
        countAt = optional + 92;
        directories = optional + 96;
    } else if (magic == kMagicPe32Plus) {
        countAt = optional + 108;
        directories = optional + 112;
    } else {
        return std::nullopt;
    }
    quint32 directoryCount = 0;
    if (!read32(image, size, countAt, directoryCount) || directories + 8 > optional + optionalSize)
        return std::nullopt;
    PeExports exports;
    quint32 exportRva = 0, exportSize = 0;
    if (directoryCount < 1 || !read32(image, size, directories, exportRva)
        || !read32(image, size, directories + 4, exportSize) || exportRva == 0 || exportSize == 0)
        return exports; // exports nothing

    quint32 nameRva = 0, base = 0, functionCount = 0, nameCount = 0, functions = 0, names = 0,
            nameOrdinals = 0;
    if (!read32(image, size, std::size_t(exportRva) + 12, nameRva)
        || !read32(image, size, std::size_t(exportRva) + 16, base)
        || !read32(image, size, std::size_t(exportRva) + 20, functionCount)
        || !read32(image, size, std::size_t(exportRva) + 24, nameCount)
        || !read32(image, size, std::size_t(exportRva) + 28, functions)
        || !read32(image, size, std::size_t(exportRva) + 32, names)
        || !read32(image, size, std::size_t(exportRva) + 36, nameOrdinals) || functionCount > kMaxEntries
        || nameCount > kMaxEntries)
        return std::nullopt;
    if (const std::optional<QByteArray> dll = readText(image, size, nameRva))
        exports.dllName = *dll;
    for (quint32 i = 0; i < functionCount; ++i) {
        quint32 address = 0;
        if (!read32(image, size, std::size_t(functions) + 4 * std::size_t(i), address))
            return std::nullopt;
        if (address != 0) // an empty slot between ordinals
            exports.ordinals.insert(int(base + i));
    }
    for (quint32 i = 0; i < nameCount; ++i) {
        quint32 textRva = 0, index = 0;
        if (!read32(image, size, std::size_t(names) + 4 * std::size_t(i), textRva)
            || !read16(image, size, std::size_t(nameOrdinals) + 2 * std::size_t(i), index))
            return std::nullopt;
        const std::optional<QByteArray> name = readText(image, size, textRva);
        if (name && index < functionCount)
            exports.names.insert(int(base + index), *name);
    }
    return exports;
}

QStringList foreignSdkOrdinals(const PeExports &exports)
{
    QStringList foreign;
#define TAVIX_SDK_CHECK_NAME(name, ordinal, ret, args)                                                       \
    if (exports.names.contains(ordinal) && exports.names.value(ordinal) != #name)                            \
        foreign << QStringLiteral("ordinal %1 is %2, not " #name)                                            \
                       .arg(ordinal)                                                                         \
                       .arg(QString::fromLatin1(exports.names.value(ordinal)));
    LINKSDK_OPERATIONS(TAVIX_SDK_CHECK_NAME)
#undef TAVIX_SDK_CHECK_NAME
    return foreign;
}
