#include "camera/frameconvert.h"

#include <QDebug>
#include <QVector>

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVIX_HAVE_SSSE3_PATH 1
#endif

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
#ifdef TAVIX_HAVE_SSSE3_PATH
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

#ifdef TAVIX_HAVE_SSSE3_PATH
// Sixteen pixels (48 bytes) per step with byte shuffles.
__attribute__((target("ssse3"))) void swapRedBlueSsse3(const uchar *src, uchar *dst, int pixels)
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
#ifdef TAVIX_HAVE_SSSE3_PATH
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
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

} // namespace

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
