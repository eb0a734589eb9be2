#include "camera/displayscale.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// SSE4.1 is chosen at run time. GCC and Clang (MinGW included) compile the
// vector functions for it one by one; MSVC compiles any intrinsic without being asked.
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <immintrin.h>
#define TAVIX_HAVE_SSE41_PATH 1
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define TAVIX_SSE41_TARGET
#else
#define TAVIX_SSE41_TARGET __attribute__((target("sse4.1")))
#endif
#endif

#ifdef TAVIX_HAVE_SSE41_PATH

namespace {

bool cpuHasSse41()
{
#if defined(_MSC_VER) && !defined(__clang__)
    int registers[4];
    __cpuid(registers, 1);
    return (registers[2] & (1 << 19)) != 0; // ECX bit 19
#else
    return __builtin_cpu_supports("sse4.1");
#endif
}

// Weights are in 1/16384 of a target pixel.
constexpr int WholeWeight = 1 << 14;

// The source pixels (or rows) one target pixel (or row) sums: `count` of them
// from `first`, the first weighted `firstWeight`, the last `lastWeight`, those
// between `weight` each. These are Qt's smooth-scaling boxes for a reduction:
// the target pixel's left edge mapped onto the source in 16.16 fixed point, a
// source pixel's share rounded up to 1/16384, the first pixel's share cut by
// the part of it left of the edge, and the last taking what remains.
struct Box {
    int first = 0;
    int count = 0;
    int firstWeight = 0;
    int weight = 0;
    int lastWeight = 0;
    int lastTap = 0; // the last pixel's tap; past `count` when the box would run past the source
};

std::vector<Box> reductionBoxes(int from, int to)
{
    std::vector<Box> boxes(static_cast<std::size_t>(to), Box());
    const qint64 step = (qint64(from) << 16) / to;
    const int share = int(((qint64(to) << 14) + from - 1) / from);
    qint64 at = 0;
    for (Box &box : boxes) {
        box.first = int(at >> 16);
        box.firstWeight = int(((0x10000 - (at & 0xffff)) * share) >> 16);
        box.weight = share;
        int rest = WholeWeight - box.firstWeight;
        int count = 1;
        for (; rest > share; rest -= share)
            ++count;
        box.lastWeight = rest;
        box.lastTap = count;
        // Never past the last source pixel.
        box.count = std::min(count + 1, from - box.first);
        at += step;
    }
    return boxes;
}

inline int tapWeight(const Box &box, int tap)
{
    if (tap == 0)
        return box.firstWeight;
    return tap == box.lastTap ? box.lastWeight : box.weight;
}

// The sum across one target pixel's box of a row of one channel, in 1/16384,
// divided by 16 (rounded down) as Qt does before the sum down the rows.
inline std::uint32_t sumAcross(const uchar *row, const Box &box)
{
    const uchar *pixel = row + box.first;
    std::uint32_t sum = std::uint32_t(pixel[0]) * std::uint32_t(box.firstWeight);
    for (int tap = 1; tap < box.count; ++tap)
        sum += std::uint32_t(pixel[tap]) * std::uint32_t(tapWeight(box, tap));
    return sum >> 4;
}

// Sixteen bytes of a byte shuffle or of eight 16-bit weights.
struct Block16 {
    alignas(16) std::uint8_t byte[16];
};

// The boxes across, laid out for the vector sums.
//
// Narrow boxes: `group` neighbouring target pixels (2 to 4) whose boxes all
// lie within 16 bytes from the first one's first pixel are summed together,
// one 32-bit lane each: per pair of taps a byte shuffle picks each pixel's two
// source pixels into two 16-bit lanes of a vector that is multiplied with
// their weights and summed in pairs. Groups start `group` pixels apart and
// store four lanes, the ones past the group overwritten by the next.
//
// Otherwise: each target pixel's weights in `lanes` 16-bit lanes (8 or 16,
// as many as the widest box needs, zero past its last pixel), its sum the
// sum of the products' lanes.
//
// `vectorPixels`: the target pixels from the left summed with vectors, which
// load 16 (or `lanes`) bytes without running past the row.
struct AcrossPlan {
    std::vector<Box> boxes;
    int group = 0; // 0: no groups
    int pairs = 0; // pairs of taps of a group
    std::vector<Block16> groupBlocks; // per group and pair: shuffle, then weights
    int lanes = 0; // 0: no vector sums, the widest box is wider than 16
    std::vector<std::int16_t> weights;
    int vectorPixels = 0;
};

// Lays out the groups of `group` pixels; false if a group's boxes do not fit
// 16 bytes.
bool planGroups(AcrossPlan &plan, int from, int group)
{
    const int to = int(plan.boxes.size());
    int widest = 0;
    for (const Box &box : plan.boxes)
        widest = std::max(widest, box.count);
    const int pairs = (widest + 1) / 2;
    int vectorPixels = 0;
    std::vector<Block16> blocks;
    for (int x = 0; x + group <= to; x += group) {
        const int start = plan.boxes[std::size_t(x)].first;
        if (start + 16 > from)
            break;
        if (plan.boxes[std::size_t(x + group - 1)].first - start + 2 * pairs > 16)
            return false;
        for (int pair = 0; pair < pairs; ++pair) {
            Block16 shuffle {}, weights {};
            std::fill(std::begin(shuffle.byte), std::end(shuffle.byte), std::uint8_t(0x80));
            auto *weight = reinterpret_cast<std::int16_t *>(weights.byte);
            for (int i = 0; i < group; ++i) {
                const Box &box = plan.boxes[std::size_t(x + i)];
                for (int half = 0; half < 2; ++half) {
                    const int tap = 2 * pair + half;
                    shuffle.byte[4 * i + 2 * half] = std::uint8_t(box.first - start + tap);
                    weight[2 * i + half] = std::int16_t(tap < box.count ? tapWeight(box, tap) : 0);
                }
            }
            blocks.push_back(shuffle);
            blocks.push_back(weights);
        }
        vectorPixels = x + group;
    }
    plan.group = group;
    plan.pairs = pairs;
    plan.groupBlocks = std::move(blocks);
    plan.vectorPixels = vectorPixels;
    return true;
}

AcrossPlan acrossPlan(int from, int to)
{
    AcrossPlan plan;
    plan.boxes = reductionBoxes(from, to);
    for (int group = 4; group >= 2; --group)
        if (planGroups(plan, from, group))
            return plan;
    int widest = 0;
    for (const Box &box : plan.boxes)
        widest = std::max(widest, box.count);
    plan.lanes = widest <= 8 ? 8 : widest <= 16 ? 16 : 0;
    if (plan.lanes == 0)
        return plan;
    plan.weights.assign(std::size_t(to) * std::size_t(plan.lanes), 0);
    for (int x = 0; x < to; ++x) {
        const Box &box = plan.boxes[std::size_t(x)];
        for (int tap = 0; tap < box.count; ++tap)
            plan.weights[std::size_t(x) * std::size_t(plan.lanes) + std::size_t(tap)]
                = std::int16_t(tapWeight(box, tap));
        if (box.first + plan.lanes <= from)
            plan.vectorPixels = x + 1;
    }
    // Four target pixels per vector step.
    plan.vectorPixels &= ~3;
    return plan;
}

// One target pixel's products of 8 (16) pixels from `pixel` and its weights,
// summed in pairs.
TAVIX_SSE41_TARGET inline __m128i products8(const uchar *pixel, const __m128i *weights)
{
    const __m128i pixels = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(pixel)));
    return _mm_madd_epi16(pixels, _mm_loadu_si128(weights));
}

TAVIX_SSE41_TARGET inline __m128i products16(const uchar *pixel, const __m128i *weights)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixel));
    const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), _mm_loadu_si128(weights));
    const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), _mm_loadu_si128(weights + 1));
    return _mm_add_epi32(low, high);
}

// The pair sums of four target pixels added up, divided by 16 (rounded down).
TAVIX_SSE41_TARGET inline void storeSums(__m128i a, __m128i b, __m128i c, __m128i d, std::uint32_t *sums)
{
    const __m128i sum = _mm_hadd_epi32(_mm_hadd_epi32(a, b), _mm_hadd_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(sums), _mm_srli_epi32(sum, 4));
}

// The sums across of the groups of target pixels of one row (AcrossPlan), with
// `Pairs` pairs of taps (0: plan.pairs). Gives the target pixels summed.
template <int Pairs>
TAVIX_SSE41_TARGET int sumGroups(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums)
{
    const int pairs = Pairs > 0 ? Pairs : plan.pairs;
    const auto *blocks = reinterpret_cast<const __m128i *>(plan.groupBlocks.data());
    const Box *boxes = plan.boxes.data();
    int x = 0;
    for (; x < plan.vectorPixels; x += plan.group, blocks += 2 * pairs) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + boxes[x].first));
        __m128i sum = _mm_madd_epi16(_mm_shuffle_epi8(pixels, blocks[0]), blocks[1]);
        for (int pair = 1; pair < pairs; ++pair)
            sum = _mm_add_epi32(
                sum, _mm_madd_epi16(_mm_shuffle_epi8(pixels, blocks[2 * pair]), blocks[2 * pair + 1]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(sums + x), _mm_srli_epi32(sum, 4));
    }
    return x;
}

// The sums across (sumAcross) of every target pixel of one row of one channel,
// four target pixels per vector step.
TAVIX_SSE41_TARGET void sumRowAcross(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums)
{
    const int to = int(plan.boxes.size());
    const auto *weights = reinterpret_cast<const __m128i *>(plan.weights.data());
    const auto pixel = [&](int at) { return row + plan.boxes[std::size_t(at)].first; };
    int x = 0;
    if (plan.group > 0) {
        switch (plan.pairs) {
        case 1:
            x = sumGroups<1>(row, plan, sums);
            break;
        case 2:
            x = sumGroups<2>(row, plan, sums);
            break;
        case 3:
            x = sumGroups<3>(row, plan, sums);
            break;
        case 4:
            x = sumGroups<4>(row, plan, sums);
            break;
        default:
            x = sumGroups<0>(row, plan, sums);
            break;
        }
    } else if (plan.lanes == 8) {
        for (; x < plan.vectorPixels; x += 4)
            storeSums(products8(pixel(x), weights + x), products8(pixel(x + 1), weights + x + 1),
                products8(pixel(x + 2), weights + x + 2), products8(pixel(x + 3), weights + x + 3), sums + x);
    } else if (plan.lanes == 16) {
        for (; x < plan.vectorPixels; x += 4)
            storeSums(products16(pixel(x), weights + 2 * x), products16(pixel(x + 1), weights + 2 * x + 2),
                products16(pixel(x + 2), weights + 2 * x + 4), products16(pixel(x + 3), weights + 2 * x + 6),
                sums + x);
    }
    for (; x < to; ++x)
        sums[x] = sumAcross(row, plan.boxes[std::size_t(x)]);
}

// total = sums * weight (start) or total += sums * weight. A row's sums are
// below 2^18 and the weights down a target row add up to 2^14: the totals
// stay below 2^32.
TAVIX_SSE41_TARGET void addDown(
    const std::uint32_t *sums, int weight, bool start, std::uint32_t *total, int count)
{
    int x = 0;
    const __m128i factor = _mm_set1_epi32(weight);
    for (; x + 4 <= count; x += 4) {
        __m128i product
            = _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(sums + x)), factor);
        if (!start)
            product = _mm_add_epi32(product, _mm_loadu_si128(reinterpret_cast<const __m128i *>(total + x)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(total + x), product);
    }
    for (; x < count; ++x)
        total[x] = sums[x] * std::uint32_t(weight) + (start ? 0u : total[x]);
}

// Splits `pixels` red, green, blue pixels into three rows of one channel each,
// sixteen pixels (48 bytes) per step with byte shuffles.
TAVIX_SSE41_TARGET void splitChannels(const uchar *source, int pixels, uchar *red, uchar *green, uchar *blue)
{
    uchar *planes[3] = { red, green, blue };
    // masks[c][v]: which byte of the step's v-th 16 bytes goes to each byte of channel c.
    static const auto masks = [] {
        struct Masks {
            alignas(16) char byte[3][3][16];
        } m;
        for (int channel = 0; channel < 3; ++channel)
            for (int part = 0; part < 3; ++part)
                for (int i = 0; i < 16; ++i) {
                    const int from = 3 * i + channel;
                    m.byte[channel][part][i] = char(from / 16 == part ? from % 16 : -1);
                }
        return m;
    }();
    int i = 0;
    for (; i + 16 <= pixels; i += 16, source += 48) {
        const __m128i parts[3] = { _mm_loadu_si128(reinterpret_cast<const __m128i *>(source)),
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 32)) };
        for (int channel = 0; channel < 3; ++channel) {
            const auto *mask = reinterpret_cast<const __m128i *>(masks.byte[channel]);
            const __m128i bytes = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(parts[0], _mm_load_si128(mask)),
                                                   _mm_shuffle_epi8(parts[1], _mm_load_si128(mask + 1))),
                _mm_shuffle_epi8(parts[2], _mm_load_si128(mask + 2)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(planes[channel] + i), bytes);
        }
    }
    for (; i < pixels; ++i, source += 3) {
        red[i] = source[0];
        green[i] = source[1];
        blue[i] = source[2];
    }
}

// A channel's levels of four target pixels: the totals' top bytes.
TAVIX_SSE41_TARGET inline __m128i levels(const std::uint32_t *totals)
{
    return _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(totals)), 24);
}

// One target row from the channels' totals: each channel the total's top
// byte, opaque; grey spread to red, green and blue.
TAVIX_SSE41_TARGET void packRow(const std::uint32_t *const *totals, int channels, int count, QRgb *out)
{
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i pixel;
        if (channels == 1) {
            const __m128i grey = levels(totals[0] + x);
            pixel = _mm_or_si128(grey, _mm_or_si128(_mm_slli_epi32(grey, 8), _mm_slli_epi32(grey, 16)));
        } else {
            pixel = _mm_or_si128(_mm_slli_epi32(levels(totals[0] + x), 16),
                _mm_or_si128(_mm_slli_epi32(levels(totals[1] + x), 8), levels(totals[2] + x)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_or_si128(pixel, opaque));
    }
    for (; x < count; ++x) {
        if (channels == 1)
            out[x] = 0xff000000u | 0x010101u * (totals[0][x] >> 24);
        else
            out[x] = qRgb(int(totals[0][x] >> 24), int(totals[1][x] >> 24), int(totals[2][x] >> 24));
    }
}

// Target rows whose boxes are this many source rows high at most are summed
// down in one pass from the rows' sums across, kept side by side.
constexpr int MaxRowsDown = 8;

// The opaque RGB32 pixels of four target pixels' levels of each channel;
// grey spread to red, green and blue.
template <int Channels> TAVIX_SSE41_TARGET inline __m128i opaquePixels(const __m128i *level)
{
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    const __m128i pixel = Channels == 1
        ? _mm_or_si128(level[0], _mm_or_si128(_mm_slli_epi32(level[0], 8), _mm_slli_epi32(level[0], 16)))
        : _mm_or_si128(_mm_slli_epi32(level[0], 16), _mm_or_si128(_mm_slli_epi32(level[1], 8), level[2]));
    return _mm_or_si128(pixel, opaque);
}

// One target row from the sums across of the `taps` source rows of its box
// (sums[tap * Channels + channel]) and their weights: each channel's total's
// top byte. `Taps`: the number of taps, or 0 for any.
template <int Channels, int Taps>
TAVIX_SSE41_TARGET void sumDownAndPack(
    const std::uint32_t *const *sums, const int *weights, int taps, int count, QRgb *out)
{
    if (Taps > 0)
        taps = Taps;
    __m128i factors[MaxRowsDown];
    for (int tap = 0; tap < taps; ++tap)
        factors[tap] = _mm_set1_epi32(weights[tap]);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i level[3];
        for (int c = 0; c < Channels; ++c) {
            __m128i total = _mm_mullo_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(sums[c] + x)), factors[0]);
            for (int tap = 1; tap < taps; ++tap)
                total = _mm_add_epi32(total,
                    _mm_mullo_epi32(
                        _mm_loadu_si128(reinterpret_cast<const __m128i *>(sums[tap * Channels + c] + x)),
                        factors[tap]));
            level[c] = _mm_srli_epi32(total, 24);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), opaquePixels<Channels>(level));
    }
    for (; x < count; ++x) {
        int level[3] = {};
        for (int c = 0; c < Channels; ++c) {
            std::uint32_t total = 0;
            for (int tap = 0; tap < taps; ++tap)
                total += sums[tap * Channels + c][x] * std::uint32_t(weights[tap]);
            level[c] = int(total >> 24);
        }
        out[x] = Channels == 1 ? 0xff000000u | 0x010101u * unsigned(level[0])
                               : qRgb(level[0], level[1], level[2]);
    }
}

template <int Channels>
void sumDownAndPackAny(const std::uint32_t *const *sums, const int *weights, int taps, int count, QRgb *out)
{
    switch (taps) {
    case 2:
        sumDownAndPack<Channels, 2>(sums, weights, taps, count, out);
        break;
    case 3:
        sumDownAndPack<Channels, 3>(sums, weights, taps, count, out);
        break;
    case 4:
        sumDownAndPack<Channels, 4>(sums, weights, taps, count, out);
        break;
    case 5:
        sumDownAndPack<Channels, 5>(sums, weights, taps, count, out);
        break;
    default:
        sumDownAndPack<Channels, 0>(sums, weights, taps, count, out);
        break;
    }
}

} // namespace

QImage reduceForDisplay(
    const uchar *pixels, int width, int height, qsizetype bytesPerLine, int channels, const QSize &size)
{
    static const bool sse41 = cpuHasSse41();
    if (!sse41 || !pixels || (channels != 1 && channels != 3) || size.isEmpty() || size.width() >= width
        || size.height() >= height || bytesPerLine < qsizetype(width) * channels)
        return QImage();
    QImage reduced(size, QImage::Format_RGB32);
    if (reduced.isNull())
        return reduced;
    const int to = size.width();
    const AcrossPlan across = acrossPlan(width, to);
    const std::vector<Box> down = reductionBoxes(height, size.height());

    // Per channel: the source row split off (colour only), the sums across
    // of the source row last summed, and the target row's totals.
    const std::size_t planeBytes = std::size_t(width) + 16;
    std::vector<uchar> planes(channels == 3 ? 3 * planeBytes : 0);
    int highest = 0;
    for (const Box &box : down)
        highest = std::max(highest, box.count);
    // The sums across of source rows, each channel's with four spare lanes
    // for a group's store. Low boxes: a ring of MaxRowsDown + 1 rows, enough
    // for a box and the row it shares with the box above. High boxes: one
    // row at a time, added into the target row's totals.
    const bool onePass = highest <= MaxRowsDown;
    const int ringRows = onePass ? MaxRowsDown + 1 : 1;
    const std::size_t sumStride = std::size_t(to) + 4;
    std::vector<std::uint32_t> sums(std::size_t(ringRows) * std::size_t(channels) * sumStride);
    std::vector<std::uint32_t> totals(onePass ? 0 : std::size_t(channels) * std::size_t(to));
    const auto rowSums = [&](int row, int channel) {
        return sums.data()
            + (std::size_t(row % ringRows) * std::size_t(channels) + std::size_t(channel)) * sumStride;
    };
    int summedUpTo = -1; // source rows summed so far, in order

    for (int y = 0; y < size.height(); ++y) {
        const Box &box = down[std::size_t(y)];
        const std::uint32_t *tapSums[3 * MaxRowsDown];
        int tapWeights[MaxRowsDown];
        for (int tap = 0; tap < box.count; ++tap) {
            const int row = box.first + tap;
            // Neighbouring target rows share the source row between them: its
            // sums across are kept from the row before.
            if (row > summedUpTo) {
                const uchar *source = pixels + qsizetype(row) * bytesPerLine;
                if (channels == 1) {
                    sumRowAcross(source, across, rowSums(row, 0));
                } else {
                    splitChannels(source, width, planes.data(), planes.data() + planeBytes,
                        planes.data() + 2 * planeBytes);
                    for (int c = 0; c < 3; ++c)
                        sumRowAcross(planes.data() + std::size_t(c) * planeBytes, across, rowSums(row, c));
                }
                summedUpTo = row;
            }
            if (onePass) {
                for (int c = 0; c < channels; ++c)
                    tapSums[tap * channels + c] = rowSums(row, c);
                tapWeights[tap] = tapWeight(box, tap);
            } else {
                for (int c = 0; c < channels; ++c)
                    addDown(rowSums(row, c), tapWeight(box, tap), tap == 0,
                        totals.data() + std::size_t(c) * std::size_t(to), to);
            }
        }
        auto *out = reinterpret_cast<QRgb *>(reduced.scanLine(y));
        if (onePass) {
            if (channels == 1)
                sumDownAndPackAny<1>(tapSums, tapWeights, box.count, to, out);
            else
                sumDownAndPackAny<3>(tapSums, tapWeights, box.count, to, out);
        } else {
            const std::uint32_t *totalRows[3] = {};
            for (int c = 0; c < channels; ++c)
                totalRows[c] = totals.data() + std::size_t(c) * std::size_t(to);
            packRow(totalRows, channels, to, out);
        }
    }
    return reduced;
}

#else

QImage reduceForDisplay(const uchar *, int, int, qsizetype, int, const QSize &)
{
    return QImage();
}

#endif
