#include "camera/frameconvert.h"

#include "camera/cpufeatures.h"
#include "camera/displayscale.h"

#include <QDebug>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const QVector<QRgb> &greyTable()
{
    static const QVector<QRgb> table = [] {
        QVector<QRgb> t(256);
        for (int i = 0; i < 256; ++i)
            t[i] = qRgba(i, i, i, 255);
        return t;
    }();
    return table;
}

// Copies one row of grey pixels. Rows of a few kilobytes are where the C
// library's memcpy switches to a string-move instruction that is several times
// slower than plain vector moves on some processors (seen on AMD EPYC), so on
// x86 the row is moved 64 bytes at a time.
void copyRow(const uchar *src, uchar *dst, std::size_t bytes)
{
#ifdef TAVIX_HAVE_X86_VECTORS
    std::size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 48), d);
    }
    std::memcpy(dst + i, src + i, bytes - i);
#else
    std::memcpy(dst, src, bytes);
#endif
}

// Copies `pixels` three-byte pixels from src to dst, swapping the first and third byte.
void swapRedBlueScalar(const uchar *src, uchar *dst, int pixels)
{
    for (int i = 0; i < pixels; ++i, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

#ifdef TAVIX_HAVE_X86_VECTORS
// Sixteen pixels (48 bytes) per step with byte shuffles.
TAVIX_SSSE3_TARGET void swapRedBlueSsse3(const uchar *src, uchar *dst, int pixels)
{
    // Each 16-byte lane of the 48-byte block starts at a different phase of the
    // three-byte pixel; bytes whose partner lies in a neighbouring lane are
    // patched from that lane.
    const __m128i m0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, -1);
    const __m128i m0from1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1);
    const __m128i m1from0 = _mm_setr_epi8(-1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m1 = _mm_setr_epi8(0, -1, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, -1, 15);
    const __m128i m1from2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1);
    const __m128i m2from1 = _mm_setr_epi8(14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m2 = _mm_setr_epi8(-1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
    int i = 0;
    for (; i + 16 <= pixels; i += 16, src += 48, dst += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 32));
        const __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(a, m0), _mm_shuffle_epi8(b, m0from1));
        const __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m1), _mm_shuffle_epi8(a, m1from0)),
                                        _mm_shuffle_epi8(c, m1from2));
        const __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(c, m2), _mm_shuffle_epi8(b, m2from1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), o0);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 16), o1);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 32), o2);
    }
    swapRedBlueScalar(src, dst, pixels - i);
}
#endif

void swapRedBlue(const uchar *src, uchar *dst, int pixels)
{
#ifdef TAVIX_HAVE_X86_VECTORS
    static const bool ssse3 = cpufeatures::hasSsse3();
    if (ssse3) {
        swapRedBlueSsse3(src, dst, pixels);
        return;
    }
#endif
    swapRedBlueScalar(src, dst, pixels);
}

// A new image of the matrix's size, or a null image (and a log line) when there
// is no memory for it, as a large frame under memory pressure can find.
QImage newImage(const cv::Mat &mat, QImage::Format format)
{
    QImage image(mat.cols, mat.rows, format);
    if (image.isNull() && mat.cols > 0 && mat.rows > 0)
        qWarning() << "cvMatToQImage: no memory for an image of" << mat.cols << "x" << mat.rows;
    return image;
}

bool isGrey(const QImage &image)
{
    return image.format() == QImage::Format_Grayscale8
        || (image.format() == QImage::Format_Indexed8 && image.colorTable() == greyTable());
}

// Where each target pixel of a row (or column) samples the source when scaling
// up from `from` to `to` pixels (to >= from): the source pixel on the left (or
// above) and the weight of its right (lower) neighbour in 1/256. These are
// Qt's smooth-scaling sample points: the target pixel's centre mapped onto the
// source in 16.16 fixed point; before the first or from the last source pixel
// on, the edge pixel alone.
struct UpPoints {
    std::vector<int> first;
    std::vector<int> weight;
};

UpPoints upPoints(int from, int to)
{
    UpPoints points;
    points.first.resize(std::size_t(to));
    points.weight.resize(std::size_t(to));
    qint64 at = 0x8000 * qint64(from) / to - 0x8000;
    const qint64 step = (qint64(from) << 16) / to;
    for (int i = 0; i < to; ++i, at += step) {
        const qint64 pixel = at >> 16;
        points.first[std::size_t(i)] = int(std::max<qint64>(0, pixel));
        points.weight[std::size_t(i)] = (pixel < 0 || pixel >= from - 1) ? 0 : int((at >> 8) & 0xff);
    }
    return points;
}

// Qt's 8-bit linear step, floor((a * (256 - w) + b * w) / 256), in one product.
inline int blend(int a, int b, int weight)
{
    return a + (((b - a) * weight) >> 8);
}

// One row blended with the row below it, 16 pixels per step.
void blendRows(const uchar *upper, const uchar *lower, int weight, uchar *out, int pixels)
{
    int x = 0;
#ifdef TAVIX_HAVE_X86_VECTORS
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(short(256 - weight));
    const __m128i take = _mm_set1_epi16(short(weight));
    // Up to 255 * 256 fits an unsigned 16-bit lane.
    const auto mix = [&](__m128i a, __m128i b) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, take)), 8);
    };
    for (; x + 16 <= pixels; x += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(upper + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(lower + x));
        const __m128i low = mix(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i high = mix(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packus_epi16(low, high));
    }
#endif
    for (; x < pixels; ++x)
        out[x] = uchar(blend(upper[x], lower[x], weight));
}

// Spreads a blended row across the target row: grey g becomes the RGB32 pixel 0xffgggggg.
void spreadRowScalar(const uchar *source, const UpPoints &across, int from, int to, QRgb *out)
{
    for (int x = from; x < to; ++x) {
        const uchar *pixel = source + across.first[std::size_t(x)];
        const int along = across.weight[std::size_t(x)];
        const int grey = along ? blend(pixel[0], pixel[1], along) : pixel[0];
        out[x] = 0xff000000u | 0x010101u * unsigned(grey);
    }
}

#ifdef TAVIX_HAVE_X86_VECTORS
// Eight target pixels per step. Scaling up, eight neighbouring target pixels
// sample at most nine neighbouring source pixels, so one 16-byte load from the
// first of them holds every pixel they need; byte shuffles pick each target
// pixel's left and right source pixel into 16-bit lanes.
struct SpreadStep {
    __m128i left, right, keep, take;
    int start;
};
using SpreadSteps = std::vector<SpreadStep>;

SpreadSteps spreadSteps(const UpPoints &across, int to)
{
    SpreadSteps steps;
    for (int x = 0; x + 8 <= to; x += 8) {
        const int start = across.first[std::size_t(x)];
        alignas(16) char left[16], right[16];
        alignas(16) short keep[8], take[8];
        for (int i = 0; i < 8; ++i) {
            const int offset = across.first[std::size_t(x + i)] - start;
            left[2 * i] = char(offset);
            right[2 * i] = char(offset + 1);
            left[2 * i + 1] = right[2 * i + 1] = char(-1);
            take[i] = short(across.weight[std::size_t(x + i)]);
            keep[i] = short(256 - take[i]);
        }
        steps.push_back({ _mm_load_si128(reinterpret_cast<const __m128i *>(left)),
            _mm_load_si128(reinterpret_cast<const __m128i *>(right)),
            _mm_load_si128(reinterpret_cast<const __m128i *>(keep)),
            _mm_load_si128(reinterpret_cast<const __m128i *>(take)), start });
    }
    return steps;
}

// `source` must have 16 readable bytes from each step's start.
TAVIX_SSSE3_TARGET void spreadRowSsse3(const uchar *source, const SpreadSteps &steps, QRgb *out)
{
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    const __m128i firstFour = _mm_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1);
    const __m128i lastFour = _mm_setr_epi8(4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1);
    for (const SpreadStep &step : steps) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + step.start));
        const __m128i left = _mm_shuffle_epi8(pixels, step.left);
        const __m128i right = _mm_shuffle_epi8(pixels, step.right);
        const __m128i mixed = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(left, step.keep), _mm_mullo_epi16(right, step.take)), 8);
        const __m128i grey = _mm_packus_epi16(mixed, mixed);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_or_si128(_mm_shuffle_epi8(grey, firstFour), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4), _mm_or_si128(_mm_shuffle_epi8(grey, lastFour), opaque));
        out += 8;
    }
}
#endif

// Smooth up-scaling of a grey image, as Qt does it channel by channel on the
// frame in RGB32 (a column blend first, then a row blend, each rounded down),
// on the grey plane alone.
QImage scaleGreyUp(const QImage &frame, const QSize &size)
{
    QImage scaled(size, QImage::Format_RGB32);
    if (scaled.isNull())
        return scaled;
    const int width = size.width();
    const UpPoints across = upPoints(frame.width(), width);
    const UpPoints down = upPoints(frame.height(), size.height());
    // The blended source row, with room for the last 16-byte load.
    std::vector<uchar> column(static_cast<std::size_t>(frame.width()) + 16);
    int done = 0;
#ifdef TAVIX_HAVE_X86_VECTORS
    static const bool ssse3 = cpufeatures::hasSsse3();
    SpreadSteps steps;
    if (ssse3) {
        steps = spreadSteps(across, width);
        done = int(steps.size()) * 8;
    }
#endif
    for (int y = 0; y < size.height(); ++y) {
        const int row = down.first[std::size_t(y)];
        const int weight = down.weight[std::size_t(y)];
        if (weight)
            blendRows(frame.constScanLine(row), frame.constScanLine(row + 1), weight, column.data(), frame.width());
        else
            std::memcpy(column.data(), frame.constScanLine(row), std::size_t(frame.width()));
        auto *out = reinterpret_cast<QRgb *>(scaled.scanLine(y));
#ifdef TAVIX_HAVE_X86_VECTORS
        if (ssse3)
            spreadRowSsse3(column.data(), steps, out);
#endif
        spreadRowScalar(column.data(), across, done, width, out);
    }
    return scaled;
}

} // namespace

QImage scaleForDisplay(const QImage &frame, const QSize &size)
{
    if (frame.isNull() || size.isEmpty())
        return QImage();
    if (isGrey(frame) && size.width() >= frame.width() && size.height() >= frame.height())
        return scaleGreyUp(frame, size);
    // Made smaller in both directions, a grey or colour frame is reduced on its
    // own channels rather than converted to RGB32 as a whole first.
    if (size.width() < frame.width() && size.height() < frame.height()) {
        const int channels = isGrey(frame) ? 1 : frame.format() == QImage::Format_RGB888 ? 3 : 0;
        const QImage reduced = channels == 0 ? QImage()
                                             : reduceForDisplay(frame.constBits(), frame.width(), frame.height(),
                                                 frame.bytesPerLine(), channels, size);
        if (!reduced.isNull())
            return reduced;
    }
    return frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::uint64_t frameImageBytes(std::uint32_t width, std::uint32_t height, std::uint32_t bitCount)
{
    if (bitCount != 8 && bitCount != 24)
        return 0;
    // Below 2^34 for any 32-bit width.
    const std::uint64_t bytesPerLine = (std::uint64_t(width) * (bitCount / 8) + 3) & ~std::uint64_t(3);
    if (height != 0 && bytesPerLine > UINT64_MAX / height)
        return UINT64_MAX;
    return bytesPerLine * height;
}

QImage cvMatToQImage(const cv::Mat &mat)
{
    switch (mat.type()) {
    case CV_8UC1: {
        QImage image = newImage(mat, QImage::Format_Indexed8);
        if (image.isNull())
            return image;
        image.setColorTable(greyTable());
        const uchar *src = mat.data;
        for (int row = 0; row < mat.rows; ++row, src += mat.step[0])
            copyRow(src, image.scanLine(row), std::size_t(mat.cols));
        return image;
    }
    case CV_8UC3: {
        // Same result as wrapping the data as Format_RGB888 and taking its
        // rgbSwapped() copy, in one pass.
        QImage image = newImage(mat, QImage::Format_RGB888);
        if (image.isNull())
            return image;
        const uchar *src = mat.data;
        for (int row = 0; row < mat.rows; ++row, src += mat.step[0])
            swapRedBlue(src, image.scanLine(row), mat.cols);
        return image;
    }
    case CV_8UC4: {
        qDebug() << "CV_8UC4";
        const QImage wrapped(mat.data, mat.cols, mat.rows, int(mat.step[0]), QImage::Format_ARGB32);
        return wrapped.copy(); // null when there is no memory for the copy
    }
    default:
        qDebug() << "ERROR: Mat could not be converted to QImage.";
        return QImage();
    }
}
