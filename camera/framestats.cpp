#include "camera/framestats.h"

#include <QVector>
#include <QtEndian>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
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
            // Eight bytes read at once and taken apart, so that the reads
            // leave room for the counters' own.
            const auto bytes8 = [](const uchar *p) {
                std::uint64_t v;
                std::memcpy(&v, p, sizeof v);
                return qFromLittleEndian(v);
            };
            if (src.grey) {
                // Counted by index, then by level: one lookup per index, not per pixel.
                const uchar *p = line + left;
                for (; x + 8 <= width; x += 8, p += 8) {
                    const std::uint64_t v = bytes8(p);
                    ++counts[0][v & 0xff];
                    ++counts[1][(v >> 8) & 0xff];
                    ++counts[2][(v >> 16) & 0xff];
                    ++counts[3][(v >> 24) & 0xff];
                    ++counts[0][(v >> 32) & 0xff];
                    ++counts[1][(v >> 40) & 0xff];
                    ++counts[2][(v >> 48) & 0xff];
                    ++counts[3][v >> 56];
                }
                for (; x < width; ++x)
                    ++counts[0][*p++];
            } else {
                // Pixel by pixel in turn into tables of their own, eight
                // bytes and then four of four pixels at a time.
                const uchar *p = line + 3 * left;
                for (; x + 4 <= width; x += 4, p += 12) {
                    const std::uint64_t v = bytes8(p);
                    std::uint32_t w;
                    std::memcpy(&w, p + 8, sizeof w);
                    w = qFromLittleEndian(w);
                    ++counts[0][v & 0xff];
                    ++counts[1][(v >> 8) & 0xff];
                    ++counts[2][(v >> 16) & 0xff];
                    ++counts[3][(v >> 24) & 0xff];
                    ++counts[4][(v >> 32) & 0xff];
                    ++counts[5][(v >> 40) & 0xff];
                    ++counts[0][(v >> 48) & 0xff];
                    ++counts[1][v >> 56];
                    ++counts[2][w & 0xff];
                    ++counts[3][(w >> 8) & 0xff];
                    ++counts[4][(w >> 16) & 0xff];
                    ++counts[5][w >> 24];
                }
                for (; x < width; ++x, p += 3) {
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

    // The focus score's reduced copy, summed row by row: each row's bytes
    // (grey levels, or red, green and blue side by side) are added to their
    // columns' 16-bit sums, and the columns of a band of `block` rows then to
    // its blocks, per channel, so that the inner loops run straight along a row.
    class FocusSummer {
    public:
        FocusSummer(const Source &src, const QRect &r)
            : src(src)
            , channels(src.grey ? 1 : 3)
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
            columns.assign(std::size_t(w) * std::size_t(block) * std::size_t(channels), 0);
            // Each band's first addColumns writes its sums: no need to clear them first.
            sums.reset(new std::uint64_t[std::size_t(w) * std::size_t(h) * std::size_t(channels)]);
        }

        // The rows of the region from its top, 0 first, in order.
        void addRow(int row, const uchar *line)
        {
            if (row >= h * block)
                return;
            std::uint16_t *column = columns.data();
            const int span = int(columns.size());
            const uchar *p = line + std::size_t(left) * std::size_t(channels);
            int x = 0;
            if (src.grey && !identity) {
                for (; x < span; ++x)
                    column[x] = std::uint16_t(column[x] + src.levels[p[x]]);
            } else {
#ifdef __SSE2__
                // Sixteen bytes at a time, widened to the sums' 16 bits.
                const __m128i zero = _mm_setzero_si128();
                for (; x + 16 <= span; x += 16) {
                    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x));
                    auto *low = reinterpret_cast<__m128i *>(column + x);
                    auto *high = reinterpret_cast<__m128i *>(column + x + 8);
                    _mm_storeu_si128(low, _mm_add_epi16(_mm_loadu_si128(low), _mm_unpacklo_epi8(bytes, zero)));
                    _mm_storeu_si128(high, _mm_add_epi16(_mm_loadu_si128(high), _mm_unpackhi_epi8(bytes, zero)));
                }
#endif
                for (; x < span; ++x)
                    column[x] = std::uint16_t(column[x] + p[x]);
            }
            ++rowsInColumns;
            // A column's sum stays below 2^16 for 257 rows of 255.
            if (row % block == block - 1 || rowsInColumns == 257)
                addColumns(row / block);
        }

        double score() const
        {
            if (w == 0)
                return 0;
            // Each block's level sum; a colour block's brightness is
            // (77 R + 150 G + 29 B) / 256 of its sums, rounded down. The
            // differences are taken between sums and scaled to mean levels
            // once at the end.
            std::vector<double> level(std::size_t(w) * std::size_t(h));
            for (std::size_t i = 0; i < level.size(); ++i) {
                const std::uint64_t *sum = sums.get() + i * std::size_t(channels);
                level[i] = double(channels == 1 ? sum[0] : (77 * sum[0] + 150 * sum[1] + 29 * sum[2]) >> 8);
            }
            double squares = 0;
            for (int y = 0; y < h; ++y) {
                const double *line = level.data() + std::size_t(y) * std::size_t(w);
                for (int x = 0; x + 1 < w; ++x) {
                    const double d = line[x + 1] - line[x];
                    squares += d * d;
                }
                if (y + 1 < h) {
                    const double *below = line + w;
                    for (int x = 0; x < w; ++x) {
                        const double d = below[x] - line[x];
                        squares += d * d;
                    }
                }
            }
            const double perBlock = double(block) * block;
            const double n = double(h) * (w - 1) + double(h - 1) * w;
            return squares / (perBlock * perBlock) / n;
        }

    private:
        // The columns' sums added to the blocks of band `band`, and cleared.
        void addColumns(int band)
        {
            std::uint64_t *out = sums.get() + std::size_t(band) * std::size_t(w) * std::size_t(channels);
            const bool first = band != bandAdded;
            bandAdded = band;
            const std::uint16_t *column = columns.data();
            for (int bx = 0; bx < w; ++bx, out += channels) {
                if (channels == 1) {
                    std::uint32_t acc = 0;
                    for (int i = 0; i < block; ++i)
                        acc += *column++;
                    out[0] = first ? acc : out[0] + acc;
                } else {
                    std::uint32_t red = 0, green = 0, blue = 0;
                    for (int i = 0; i < block; ++i, column += 3) {
                        red += column[0];
                        green += column[1];
                        blue += column[2];
                    }
                    out[0] = first ? red : out[0] + red;
                    out[1] = first ? green : out[1] + green;
                    out[2] = first ? blue : out[2] + blue;
                }
            }
            std::fill(columns.begin(), columns.end(), std::uint16_t(0));
            rowsInColumns = 0;
        }

        const Source &src;
        int channels;
        int left;
        int block = 1;
        int w = 0;
        int h = 0;
        bool identity = true;
        int rowsInColumns = 0;
        int bandAdded = -1;
        std::vector<std::uint16_t> columns;
        std::unique_ptr<std::uint64_t[]> sums; // per block, channel by channel
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

QImage histogramPicture(const Histogram &histogram, const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(qRgb(24, 24, 24));
    const int width = size.width();
    const int bottom = size.height() - 1; // the bars end above the last row
    if (histogram.pixels == 0 || bottom < 1)
        return picture;
    const int channels = histogram.grey ? 1 : 3;
    std::uint32_t tallest = 1;
    for (int c = 0; c < channels; ++c)
        for (std::uint32_t n : histogram.bins[std::size_t(c)])
            tallest = std::max(tallest, n);
    const double top = std::sqrt(double(tallest));
    const QRgb colours[3] = { histogram.grey ? qRgb(220, 220, 220) : qPremultiply(qRgba(255, 60, 60, 170)),
        qPremultiply(qRgba(60, 220, 60, 170)), qPremultiply(qRgba(80, 120, 255, 170)) };
    // Edges are placed in 1/64 of a pixel, as Qt's rasterizer places them; a
    // pixel centre on the edge between two bars goes with the left one, one
    // on a bar's top stays outside it.
    const auto sixtyFourths = [](double at) { return std::lround(at * 64); };
    int level = 0;
    for (int x = 0; x < width; ++x) {
        const long centre = 64 * x + 32;
        while (level < 255 && sixtyFourths((level + 1) * double(width) / 256) < centre)
            ++level;
        for (int c = 0; c < channels; ++c) {
            const long edge = sixtyFourths(
                bottom - bottom * std::sqrt(double(histogram.bins[std::size_t(c)][std::size_t(level)])) / top);
            // The first row whose centre lies below the bar's top.
            int first = 0;
            while (64 * first + 32 <= edge)
                ++first;
            const QRgb add = colours[c];
            for (int y = first; y < bottom; ++y) {
                QRgb &pixel = reinterpret_cast<QRgb *>(picture.scanLine(y))[x];
                pixel = qRgb(std::min(255, qRed(pixel) + qRed(add)), std::min(255, qGreen(pixel) + qGreen(add)),
                    std::min(255, qBlue(pixel) + qBlue(add)));
            }
        }
    }
    return picture;
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
