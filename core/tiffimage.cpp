#include "core/tiffimage.h"

#include <QtEndian>

#include <cstring>
#include <limits>

namespace tiff {

namespace {

    enum Type : quint16 { Short = 3, Long = 4, Rational = 5 };

    void put16(QByteArray &out, int at, quint16 value)
    {
        qToLittleEndian(value, out.data() + at);
    }
    void put32(QByteArray &out, int at, quint32 value)
    {
        qToLittleEndian(value, out.data() + at);
    }

} // namespace

QByteArray encode(const uchar *pixels, int width, int height, int bytesPerLine, int samples)
{
    if (!pixels || width < 1 || height < 1 || (samples != 1 && samples != 3))
        return QByteArray();
    const qint64 rowBytes = qint64(width) * samples;
    if (bytesPerLine < rowBytes)
        return QByteArray();

    constexpr int Entries = 12;
    constexpr int IfdAt = 8;
    constexpr int IfdBytes = 2 + Entries * 12 + 4;
    constexpr int BitsAt = IfdAt + IfdBytes; // three shorts for RGB (8 bytes, word aligned)
    constexpr int XResAt = BitsAt + 8;
    constexpr int YResAt = XResAt + 8;
    constexpr int PixelsAt = YResAt + 8;
    const qint64 pixelBytes = rowBytes * height;
    // Offsets and counts are 32 bits; a QByteArray holds less than 2 GiB.
    if (PixelsAt + pixelBytes > qint64(std::numeric_limits<int>::max()) - 1)
        return QByteArray();

    QByteArray out(int(PixelsAt + pixelBytes), '\0');
    out[0] = 'I';
    out[1] = 'I';
    put16(out, 2, 42);
    put32(out, 4, IfdAt);
    put16(out, IfdAt, Entries);
    int entry = IfdAt + 2;
    // Entries in ascending order of their tags, as the format asks.
    auto add = [&](quint16 tag, quint16 type, quint32 count, quint32 value) {
        put16(out, entry, tag);
        put16(out, entry + 2, type);
        put32(out, entry + 4, count);
        if (type == Short && count == 1)
            put16(out, entry + 8, quint16(value)); // left-justified in the value field
        else
            put32(out, entry + 8, value);
        entry += 12;
    };
    add(256, Long, 1, quint32(width)); // ImageWidth
    add(257, Long, 1, quint32(height)); // ImageLength
    if (samples == 1)
        add(258, Short, 1, 8); // BitsPerSample
    else
        add(258, Short, 3, BitsAt);
    add(259, Short, 1, 1); // Compression: none
    add(262, Short, 1, samples == 1 ? 1 : 2); // PhotometricInterpretation: BlackIsZero, RGB
    add(273, Long, 1, PixelsAt); // StripOffsets
    add(277, Short, 1, quint16(samples)); // SamplesPerPixel
    add(278, Long, 1, quint32(height)); // RowsPerStrip
    add(279, Long, 1, quint32(pixelBytes)); // StripByteCounts
    add(282, Rational, 1, XResAt); // XResolution
    add(283, Rational, 1, YResAt); // YResolution
    add(296, Short, 1, 2); // ResolutionUnit: inch
    put32(out, entry, 0); // no next image
    for (int i = 0; i < 3; ++i)
        put16(out, BitsAt + 2 * i, 8);
    put32(out, XResAt, 72);
    put32(out, XResAt + 4, 1);
    put32(out, YResAt, 72);
    put32(out, YResAt + 4, 1);

    char *to = out.data() + PixelsAt;
    for (int row = 0; row < height; ++row) {
        std::memcpy(to, pixels + qint64(row) * bytesPerLine, size_t(rowBytes));
        to += rowBytes;
    }
    return out;
}

} // namespace tiff
