#include "camera/framestats.h"

#include <QVector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <vector>

namespace framestats {

namespace {

    // The frame in a form read a byte at a time: grey levels through `levels`
    // (one byte per pixel), or RGB888. Nothing is copied for the frames
    // cvMatToQImage makes.
    struct Source {
        QImage image;
        bool grey = false;
        std::array<std::uint8_t, 256> levels {};
    };

    Source source(const QImage &frame)
    {
        Source src;
        if (isGrey(frame)) {
            src.grey = true;
            src.image = frame;
            const QVector<QRgb> table = frame.colorTable();
            for (int i = 0; i < 256; ++i)
                src.levels[std::size_t(i)] = std::uint8_t(frame.format() == QImage::Format_Grayscale8
                        ? i
                        : (i < table.size() ? qRed(table[i]) : 0));
        } else {
            src.image = frame.format() == QImage::Format_RGB888
                ? frame
                : frame.convertToFormat(QImage::Format_RGB888);
        }
        return src;
    }

    QRect clipped(const QImage &frame, const QRect &region)
    {
        return region.intersected(frame.rect());
    }

} // namespace

bool isGrey(const QImage &frame)
{
    if (frame.format() == QImage::Format_Grayscale8)
        return true;
    if (frame.format() != QImage::Format_Indexed8)
        return false;
    const QVector<QRgb> table = frame.colorTable();
    return !table.isEmpty() && std::all_of(table.begin(), table.end(), [](QRgb c) {
        return qRed(c) == qGreen(c) && qRed(c) == qBlue(c);
    });
}

PixelValue pixelValue(const QImage &frame, const QPoint &at)
{
    PixelValue value;
    if (frame.isNull() || !frame.rect().contains(at))
        return value;
    value.valid = true;
    value.grey = isGrey(frame);
    if (value.grey && frame.format() == QImage::Format_Grayscale8) {
        value.level[0] = frame.constScanLine(at.y())[at.x()];
        return value;
    }
    const QRgb c = frame.pixel(at); // through the colour table for indexed frames
    value.level[0] = qRed(c);
    value.level[1] = value.grey ? 0 : qGreen(c);
    value.level[2] = value.grey ? 0 : qBlue(c);
    return value;
}

namespace {

    // A histogram counted row by row in several tables, pixel by pixel in
    // turn, and added up at the end: a run of equal levels then does not wait
    // on one counter.
    class HistogramCounter {
    public:
        HistogramCounter(const Source &src, const QRect &r)
            : src(src)
            , left(r.left())
            , width(r.width())
            , counts(std::size_t(src.grey ? 4 : 6))
        {
        }

        void addRow(const uchar *line)
        {
            int x = 0;
            if (src.grey) {
                // Counted by index, then by level: one lookup per index, not per pixel.
                const uchar *p = line + left;
                for (; x + 4 <= width; x += 4, p += 4) {
                    ++counts[0][p[0]];
                    ++counts[1][p[1]];
                    ++counts[2][p[2]];
                    ++counts[3][p[3]];
                }
                for (; x < width; ++x)
                    ++counts[0][*p++];
            } else {
                // Two pixels at a time, each into tables of its own.
                const uchar *p = line + 3 * left;
                for (; x + 2 <= width; x += 2, p += 6) {
                    ++counts[0][p[0]];
                    ++counts[1][p[1]];
                    ++counts[2][p[2]];
                    ++counts[3][p[3]];
                    ++counts[4][p[4]];
                    ++counts[5][p[5]];
                }
                if (x < width) {
                    ++counts[0][p[0]];
                    ++counts[1][p[1]];
                    ++counts[2][p[2]];
                }
            }
        }

        void finish(Histogram &h) const
        {
            h.grey = src.grey;
            for (std::size_t i = 0; i < 256; ++i) {
                if (src.grey) {
                    h.bins[0][src.levels[i]] += counts[0][i] + counts[1][i] + counts[2][i] + counts[3][i];
                } else {
                    for (std::size_t c = 0; c < 3; ++c)
                        h.bins[c][i] = counts[c][i] + counts[c + 3][i];
                }
            }
        }

    private:
        const Source &src;
        int left;
        int width;
        std::vector<std::array<std::uint32_t, 256>> counts;
    };

    // The focus score's reduced copy, summed row by row: each row's levels
    // are added to its columns' sums, and a band of `block` rows' columns
    // then to its blocks, so that the inner loops run straight along a row.
    class FocusSummer {
    public:
        FocusSummer(const Source &src, const QRect &r)
            : src(src)
            , left(r.left())
        {
            const int longer = std::max(r.width(), r.height());
            block = std::max(1, (longer + FocusSide - 1) / FocusSide);
            w = r.width() / block;
            h = r.height() / block;
            if (w < 2 || h < 2) {
                w = h = 0;
                return;
            }
            for (int i = 0; i < 256 && identity; ++i)
                identity = src.levels[std::size_t(i)] == i;
            columns.assign(std::size_t(w) * std::size_t(block), 0);
            sums.assign(std::size_t(w) * std::size_t(h), 0);
        }

        // The rows of the region from its top, 0 first, in order.
        void addRow(int row, const uchar *line)
        {
            if (row >= h * block)
                return;
            std::uint32_t *column = columns.data();
            const int span = w * block;
            if (src.grey && identity) {
                const uchar *p = line + left;
                int x = 0;
#ifdef __SSE2__
                // Sixteen levels at a time, widened to the sums' 32 bits.
                const __m128i zero = _mm_setzero_si128();
                for (; x + 16 <= span; x += 16) {
                    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x));
                    const __m128i low = _mm_unpacklo_epi8(bytes, zero);
                    const __m128i high = _mm_unpackhi_epi8(bytes, zero);
                    const __m128i words[4] = { _mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                        _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero) };
                    for (int k = 0; k < 4; ++k) {
                        auto *at = reinterpret_cast<__m128i *>(column + x + 4 * k);
                        _mm_storeu_si128(at, _mm_add_epi32(_mm_loadu_si128(at), words[k]));
                    }
                }
#endif
                for (; x < span; ++x)
                    column[x] += p[x];
            } else if (src.grey) {
                const uchar *p = line + left;
                for (int x = 0; x < span; ++x)
                    column[x] += src.levels[p[x]];
            } else {
                // A colour pixel's brightness is (77 R + 150 G + 29 B) / 256; that
                // costs more than a sum, so a block's row is added up at once.
                const uchar *p = line + 3 * left;
                for (int bx = 0; bx < w; ++bx) {
                    std::uint32_t acc = 0;
                    for (int k = 0; k < block; ++k, p += 3)
                        acc += (77u * p[0] + 150u * p[1] + 29u * p[2]) >> 8;
                    column[bx * block] += acc;
                }
            }
            if (row % block != block - 1)
                return;
            std::uint64_t *out = sums.data() + std::size_t(row / block) * std::size_t(w);
            for (int bx = 0; bx < w; ++bx) {
                std::uint64_t acc = 0;
                for (int i = 0; i < block; ++i)
                    acc += column[bx * block + i];
                out[bx] = acc;
            }
            std::fill(columns.begin(), columns.end(), 0u);
        }

        double score() const
        {
            if (w == 0)
                return 0;
            std::vector<double> reduced(sums.size());
            const double perBlock = double(block) * block;
            for (std::size_t i = 0; i < sums.size(); ++i)
                reduced[i] = double(sums[i]) / perBlock;
            double sum = 0;
            std::uint64_t n = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const double v = reduced[std::size_t(y) * std::size_t(w) + std::size_t(x)];
                    if (x + 1 < w) {
                        const double d = reduced[std::size_t(y) * std::size_t(w) + std::size_t(x + 1)] - v;
                        sum += d * d;
                        ++n;
                    }
                    if (y + 1 < h) {
                        const double d = reduced[std::size_t(y + 1) * std::size_t(w) + std::size_t(x)] - v;
                        sum += d * d;
                        ++n;
                    }
                }
            }
            return n ? sum / double(n) : 0;
        }

    private:
        const Source &src;
        int left;
        int block = 1;
        int w = 0;
        int h = 0;
        bool identity = true;
        std::vector<std::uint32_t> columns;
        std::vector<std::uint64_t> sums;
    };

} // namespace

Histogram histogram(const QImage &frame, const QRect &region)
{
    Histogram h;
    const QRect r = clipped(frame, region);
    if (frame.isNull() || r.isEmpty())
        return h;
    const Source src = source(frame);
    h.pixels = std::uint64_t(r.width()) * std::uint64_t(r.height());
    HistogramCounter counter(src, r);
    for (int y = r.top(); y <= r.bottom(); ++y)
        counter.addRow(src.image.constScanLine(y));
    counter.finish(h);
    return h;
}

Statistics statistics(const Histogram &histogram, int channel)
{
    Statistics s;
    if (histogram.pixels == 0 || channel < 0 || channel > 2)
        return s;
    const auto &bins = histogram.bins[std::size_t(channel)];
    double sum = 0;
    double squares = 0;
    bool first = true;
    for (int level = 0; level < 256; ++level) {
        const double n = bins[std::size_t(level)];
        if (n == 0)
            continue;
        if (first)
            s.min = level;
        first = false;
        s.max = level;
        sum += n * level;
        squares += n * level * level;
    }
    const double count = double(histogram.pixels);
    s.mean = sum / count;
    s.stdDev = std::sqrt(std::max(0.0, squares / count - s.mean * s.mean));
    s.shareAt0 = bins[0] / count;
    s.shareAt255 = bins[255] / count;
    return s;
}

double focusScore(const QImage &frame, const QRect &region)
{
    const QRect r = clipped(frame, region);
    if (frame.isNull() || r.width() < 2 || r.height() < 2)
        return 0;
    const Source src = source(frame);
    FocusSummer summer(src, r);
    for (int y = r.top(); y <= r.bottom(); ++y)
        summer.addRow(y - r.top(), src.image.constScanLine(y));
    return summer.score();
}

Analysis analyse(const QImage &frame, const QRect &region)
{
    Analysis a;
    const QRect r = clipped(frame, region);
    if (frame.isNull() || r.isEmpty())
        return a;
    const Source src = source(frame);
    a.histogram.pixels = std::uint64_t(r.width()) * std::uint64_t(r.height());
    HistogramCounter counter(src, r);
    FocusSummer summer(src, r);
    // Each row is read from memory once, for both.
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar *line = src.image.constScanLine(y);
        counter.addRow(line);
        summer.addRow(y - r.top(), line);
    }
    counter.finish(a.histogram);
    a.focusScore = summer.score();
    return a;
}

QImage saturationMarked(const QImage &frame, const QRect &region)
{
    const QRect r = clipped(frame, region);
    if (frame.isNull() || r.isEmpty())
        return QImage();
    const Source src = source(frame);
    QImage marked(r.size(), QImage::Format_RGB32);
    if (marked.isNull())
        return marked;
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    for (int y = 0; y < r.height(); ++y) {
        const uchar *line = src.image.constScanLine(r.top() + y);
        auto *out = reinterpret_cast<QRgb *>(marked.scanLine(y));
        for (int x = 0; x < r.width(); ++x) {
            const int fx = r.left() + x;
            if (src.grey) {
                const int v = src.levels[line[fx]];
                out[x] = v == 255 ? red : v == 0 ? blue : qRgb(v, v, v);
            } else {
                const uchar *p = line + 3 * fx;
                if (p[0] == 255 || p[1] == 255 || p[2] == 255)
                    out[x] = red;
                else if (p[0] == 0 || p[1] == 0 || p[2] == 0)
                    out[x] = blue;
                else
                    out[x] = qRgb(p[0], p[1], p[2]);
            }
        }
    }
    return marked;
}

} // namespace framestats
