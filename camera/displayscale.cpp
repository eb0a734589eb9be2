#include "camera/displayscale.h"

#include "camera/cpufeatures.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#ifdef TAVIX_HAVE_X86_VECTORS

namespace {

const bool haveAvx2 = cpufeatures::hasAvx2();

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

// The sum across one box of a row, its taps `stride` bytes apart, in 1/16384,
// divided by 16 (rounded down) as Qt does before the sum down the rows.
inline std::uint32_t sumAcross(const uchar *row, const Box &box, int stride)
{
    const uchar *pixel = row + box.first;
    std::uint32_t sum = std::uint32_t(pixel[0]) * std::uint32_t(box.firstWeight);
    for (int tap = 1; tap < box.count; ++tap)
        sum += std::uint32_t(pixel[tap * stride]) * std::uint32_t(tapWeight(box, tap));
    return sum >> 4;
}

// Sixteen bytes of a byte shuffle or of eight 16-bit weights.
struct Block16 {
    alignas(16) std::uint8_t byte[16];
};

// The sums across of one row, laid out for the vector sums. A row is summed
// into lanes: one per target pixel of a grey row or of one colour channel
// split off, or one per target pixel and channel of a row of red, green and
// blue pixels (lane 3 x + c; its box's pixels 3 bytes apart, `stride`).
// `boxes` holds each lane's box, `first` as a byte of the row.
//
// Narrow boxes: `group` neighbouring lanes (2 to 4) whose boxes all lie within
// 16 bytes from the first one's first byte are summed together, one 32-bit
// lane each: per pair of taps a byte shuffle picks each lane's two source
// bytes into two 16-bit lanes of a vector that is multiplied with their
// weights and summed in pairs. Groups start `group` lanes apart and store four
// lanes, the ones past the group overwritten by the next.
//
// Otherwise (one byte per pixel only): each lane's weights in `lanes` 16-bit
// lanes (8 or 16, as many as the widest box needs, zero past its last pixel),
// its sum the sum of the products' lanes.
//
// `vectorLanes`: the lanes from the left summed with vectors, which load 16
// (or `lanes`) bytes without running past the row.
struct AcrossPlan {
    std::vector<Box> boxes;
    int stride = 1;
    int group = 0; // 0: no groups
    int pairs = 0; // pairs of taps of a group
    std::vector<Block16> groupBlocks; // per group and pair: shuffle, then weights
    std::vector<int> groupStarts; // per group: its first lane's first byte
    // The same two groups at a time for 32-byte vectors: per two groups and
    // pair, the two shuffles, then the two groups' weights. Made with AVX2 only.
    std::vector<Block16> pairedBlocks;
    int lanes = 0; // 0: no vector sums, the widest box is wider than 16
    std::vector<std::int16_t> weights;
    int vectorLanes = 0;
};

// Lays out the groups of `group` lanes of a row of `rowBytes`; false if a
// group's boxes do not fit 16 bytes.
bool planGroups(AcrossPlan &plan, int rowBytes, int group)
{
    const int count = int(plan.boxes.size());
    int widest = 0;
    for (const Box &box : plan.boxes)
        widest = std::max(widest, box.count);
    const int pairs = (widest + 1) / 2;
    int vectorLanes = 0;
    std::vector<Block16> blocks;
    std::vector<int> starts;
    for (int x = 0; x + group <= count; x += group) {
        const int start = plan.boxes[std::size_t(x)].first;
        if (start + 16 > rowBytes)
            break;
        for (int i = 0; i < group; ++i) {
            const Box &box = plan.boxes[std::size_t(x + i)];
            if (box.first - start + plan.stride * (box.count - 1) > 15)
                return false;
        }
        for (int pair = 0; pair < pairs; ++pair) {
            Block16 shuffle {}, weights {};
            std::fill(std::begin(shuffle.byte), std::end(shuffle.byte), std::uint8_t(0x80));
            auto *weight = reinterpret_cast<std::int16_t *>(weights.byte);
            for (int i = 0; i < group; ++i) {
                const Box &box = plan.boxes[std::size_t(x + i)];
                for (int half = 0; half < 2; ++half) {
                    const int tap = 2 * pair + half;
                    if (tap >= box.count)
                        continue; // a zero byte, weighted 0
                    shuffle.byte[4 * i + 2 * half] = std::uint8_t(box.first - start + plan.stride * tap);
                    weight[2 * i + half] = std::int16_t(tapWeight(box, tap));
                }
            }
            blocks.push_back(shuffle);
            blocks.push_back(weights);
        }
        starts.push_back(start);
        vectorLanes = x + group;
    }
    plan.group = group;
    plan.pairs = pairs;
    plan.vectorLanes = vectorLanes;
    if (haveAvx2) {
        const std::size_t perGroup = 2 * std::size_t(pairs);
        const std::size_t groups = blocks.size() / perGroup;
        for (std::size_t g = 0; g + 2 <= groups; g += 2)
            for (std::size_t pair = 0; pair < std::size_t(pairs); ++pair)
                for (std::size_t part = 0; part < 2; ++part) // shuffle, weights
                    for (std::size_t of = g; of < g + 2; ++of)
                        plan.pairedBlocks.push_back(blocks[of * perGroup + 2 * pair + part]);
    }
    plan.groupBlocks = std::move(blocks);
    plan.groupStarts = std::move(starts);
    return true;
}

// The plan for rows of `from` pixels of `channels` bytes each (1, or 3 red,
// green and blue) reduced to `to`. A plan for three channels has groups or is
// not to be used (`group` 0): its channels are then split off and summed one
// by one with the plan for one.
AcrossPlan acrossPlan(int from, int to, int channels)
{
    AcrossPlan plan;
    const std::vector<Box> pixels = reductionBoxes(from, to);
    plan.stride = channels;
    plan.boxes.reserve(pixels.size() * std::size_t(channels));
    for (const Box &pixel : pixels)
        for (int c = 0; c < channels; ++c) {
            Box lane = pixel;
            lane.first = channels * pixel.first + c;
            plan.boxes.push_back(lane);
        }
    for (int group = 4; group >= 2; --group)
        if (planGroups(plan, channels * from, group))
            return plan;
    if (channels != 1)
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
            plan.vectorLanes = x + 1;
    }
    // Four lanes per vector step.
    plan.vectorLanes &= ~3;
    return plan;
}

// One lane's products of 8 (16) pixels from `pixel` and its weights, summed in pairs.
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

// The pair sums of four lanes added up, divided by 16 (rounded down).
TAVIX_SSE41_TARGET inline void storeSums(__m128i a, __m128i b, __m128i c, __m128i d, std::uint32_t *sums)
{
    const __m128i sum = _mm_hadd_epi32(_mm_hadd_epi32(a, b), _mm_hadd_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(sums), _mm_srli_epi32(sum, 4));
}

// The sums across of the groups of lanes of one row (AcrossPlan) from lane
// `x`, the first of a group, with `Pairs` pairs of taps (0: plan.pairs).
// Gives the lanes summed.
template <int Pairs>
TAVIX_SSE41_TARGET int sumGroups(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums, int x)
{
    const int pairs = Pairs > 0 ? Pairs : plan.pairs;
    const int group = plan.group;
    const int vectorLanes = plan.vectorLanes;
    const auto *blocks
        = reinterpret_cast<const __m128i *>(plan.groupBlocks.data()) + std::size_t(x / group) * 2 * std::size_t(pairs);
    const int *start = plan.groupStarts.data() + x / group;
    for (; x < vectorLanes; x += group, blocks += 2 * pairs, ++start) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + *start));
        __m128i sum = _mm_madd_epi16(_mm_shuffle_epi8(pixels, blocks[0]), blocks[1]);
        for (int pair = 1; pair < pairs; ++pair)
            sum = _mm_add_epi32(
                sum, _mm_madd_epi16(_mm_shuffle_epi8(pixels, blocks[2 * pair]), blocks[2 * pair + 1]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(sums + x), _mm_srli_epi32(sum, 4));
    }
    return x;
}

// sumGroups two groups at a time, each in one half of a 32-byte vector;
// gives the lanes summed, a group or none short of sumGroups's.
template <int Pairs>
TAVIX_AVX2_TARGET int sumGroupPairs(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums)
{
    const int pairs = Pairs > 0 ? Pairs : plan.pairs;
    const int group = plan.group;
    const int vectorLanes = plan.vectorLanes;
    const auto *blocks = reinterpret_cast<const __m256i *>(plan.pairedBlocks.data());
    const int *start = plan.groupStarts.data();
    int x = 0;
    for (; x + 2 * group <= vectorLanes; x += 2 * group, blocks += 2 * pairs, start += 2) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + start[0]));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + start[1]));
        const __m256i pixels = _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
        __m256i sum = _mm256_madd_epi16(
            _mm256_shuffle_epi8(pixels, _mm256_loadu_si256(blocks)), _mm256_loadu_si256(blocks + 1));
        for (int pair = 1; pair < pairs; ++pair)
            sum = _mm256_add_epi32(sum,
                _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, _mm256_loadu_si256(blocks + 2 * pair)),
                    _mm256_loadu_si256(blocks + 2 * pair + 1)));
        sum = _mm256_srli_epi32(sum, 4);
        if (group == 4) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(sums + x), sum);
        } else {
            // The second group's store overwrites the lanes past the first.
            _mm_storeu_si128(reinterpret_cast<__m128i *>(sums + x), _mm256_castsi256_si128(sum));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(sums + x + group), _mm256_extracti128_si256(sum, 1));
        }
    }
    return x;
}

template <int Pairs> int sumAllGroups(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums)
{
    const int x = plan.pairedBlocks.empty() ? 0 : sumGroupPairs<Pairs>(row, plan, sums);
    return sumGroups<Pairs>(row, plan, sums, x);
}

// The sums across (sumAcross) of every lane of one row, four lanes per vector step.
TAVIX_SSE41_TARGET void sumRowAcross(const uchar *row, const AcrossPlan &plan, std::uint32_t *sums)
{
    const int count = int(plan.boxes.size());
    const auto *weights = reinterpret_cast<const __m128i *>(plan.weights.data());
    const auto pixel = [&](int at) { return row + plan.boxes[std::size_t(at)].first; };
    int x = 0;
    if (plan.group > 0) {
        switch (plan.pairs) {
        case 1:
            x = sumAllGroups<1>(row, plan, sums);
            break;
        case 2:
            x = sumAllGroups<2>(row, plan, sums);
            break;
        case 3:
            x = sumAllGroups<3>(row, plan, sums);
            break;
        case 4:
            x = sumAllGroups<4>(row, plan, sums);
            break;
        default:
            x = sumAllGroups<0>(row, plan, sums);
            break;
        }
    } else if (plan.lanes == 8) {
        for (; x < plan.vectorLanes; x += 4)
            storeSums(products8(pixel(x), weights + x), products8(pixel(x + 1), weights + x + 1),
                products8(pixel(x + 2), weights + x + 2), products8(pixel(x + 3), weights + x + 3), sums + x);
    } else if (plan.lanes == 16) {
        for (; x < plan.vectorLanes; x += 4)
            storeSums(products16(pixel(x), weights + 2 * x), products16(pixel(x + 1), weights + 2 * x + 2),
                products16(pixel(x + 2), weights + 2 * x + 4), products16(pixel(x + 3), weights + 2 * x + 6),
                sums + x);
    }
    for (; x < count; ++x)
        sums[x] = sumAcross(row, plan.boxes[std::size_t(x)], plan.stride);
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

// Target rows whose boxes are this many source rows high at most are summed
// down in one pass from the rows' sums across, kept side by side.
constexpr int MaxRowsDown = 8;

// The levels of four lanes from lane x: the top byte of each lane's total of
// its sums across of `taps` source rows (rows[tap]) times the rows' factors.
TAVIX_SSE41_TARGET inline __m128i levelsDown(
    const std::uint32_t *const *rows, const __m128i *factors, int taps, int x)
{
    __m128i total = _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[0] + x)), factors[0]);
    for (int tap = 1; tap < taps; ++tap)
        total = _mm_add_epi32(total,
            _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[tap] + x)), factors[tap]));
    return _mm_srli_epi32(total, 24);
}

// The levels of one target row's lanes from the sums across of the `taps`
// source rows of its box (rows[tap]) and their weights: each lane's total's
// top byte. `Taps`: the number of taps, or 0 for any. Sixteen lanes per
// step, from lane `x`.
template <int Taps>
TAVIX_SSE41_TARGET void sumDown(
    const std::uint32_t *const *rows, const int *weights, int taps, int count, uchar *levels, int x)
{
    if (Taps > 0)
        taps = Taps;
    __m128i factors[MaxRowsDown];
    for (int tap = 0; tap < taps; ++tap)
        factors[tap] = _mm_set1_epi32(weights[tap]);
    for (; x + 16 <= count; x += 16) {
        // Levels are below 256: the saturating packs keep them as they are.
        const __m128i low
            = _mm_packus_epi32(levelsDown(rows, factors, taps, x), levelsDown(rows, factors, taps, x + 4));
        const __m128i high
            = _mm_packus_epi32(levelsDown(rows, factors, taps, x + 8), levelsDown(rows, factors, taps, x + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(levels + x), _mm_packus_epi16(low, high));
    }
    for (; x < count; ++x) {
        std::uint32_t total = 0;
        for (int tap = 0; tap < taps; ++tap)
            total += rows[tap][x] * std::uint32_t(weights[tap]);
        levels[x] = uchar(total >> 24);
    }
}

// levelsDown for eight lanes.
TAVIX_AVX2_TARGET inline __m256i levelsDown8(
    const std::uint32_t *const *rows, const __m256i *factors, int taps, int x)
{
    __m256i total
        = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[0] + x)), factors[0]);
    for (int tap = 1; tap < taps; ++tap)
        total = _mm256_add_epi32(total,
            _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[tap] + x)), factors[tap]));
    return _mm256_srli_epi32(total, 24);
}

// sumDown 32 lanes per step; gives the lanes done.
template <int Taps>
TAVIX_AVX2_TARGET int sumDown32(
    const std::uint32_t *const *rows, const int *weights, int taps, int count, uchar *levels)
{
    if (Taps > 0)
        taps = Taps;
    __m256i factors[MaxRowsDown];
    for (int tap = 0; tap < taps; ++tap)
        factors[tap] = _mm256_set1_epi32(weights[tap]);
    // The packs work within each half: the four quarters of eight levels
    // come out as 0 2 4 6 1 3 5 7.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const __m256i low = _mm256_packus_epi32(
            levelsDown8(rows, factors, taps, x), levelsDown8(rows, factors, taps, x + 8));
        const __m256i high = _mm256_packus_epi32(
            levelsDown8(rows, factors, taps, x + 16), levelsDown8(rows, factors, taps, x + 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(levels + x),
            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order));
    }
    return x;
}

template <int Taps>
void sumDownFor(const std::uint32_t *const *rows, const int *weights, int taps, int count, uchar *levels)
{
    const int x = haveAvx2 ? sumDown32<Taps>(rows, weights, taps, count, levels) : 0;
    sumDown<Taps>(rows, weights, taps, count, levels, x);
}

void sumDownAny(const std::uint32_t *const *rows, const int *weights, int taps, int count, uchar *levels)
{
    switch (taps) {
    case 1:
        sumDownFor<1>(rows, weights, taps, count, levels);
        break;
    case 2:
        sumDownFor<2>(rows, weights, taps, count, levels);
        break;
    case 3:
        sumDownFor<3>(rows, weights, taps, count, levels);
        break;
    case 4:
        sumDownFor<4>(rows, weights, taps, count, levels);
        break;
    case 5:
        sumDownFor<5>(rows, weights, taps, count, levels);
        break;
    default:
        sumDownFor<0>(rows, weights, taps, count, levels);
        break;
    }
}

// One target row in opaque RGB32 from its levels: grey spread to red, green
// and blue; red, green, blue side by side (`levels` readable 16 bytes from
// each fourth pixel); or three rows of one channel each.
TAVIX_SSE41_TARGET void packGrey(const uchar *levels, int count, QRgb *out)
{
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    const __m128i spread[4] = { _mm_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1),
        _mm_setr_epi8(4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1),
        _mm_setr_epi8(8, 8, 8, -1, 9, 9, 9, -1, 10, 10, 10, -1, 11, 11, 11, -1),
        _mm_setr_epi8(12, 12, 12, -1, 13, 13, 13, -1, 14, 14, 14, -1, 15, 15, 15, -1) };
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i grey = _mm_loadu_si128(reinterpret_cast<const __m128i *>(levels + x));
        for (int k = 0; k < 4; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x + 4 * k),
                _mm_or_si128(_mm_shuffle_epi8(grey, spread[k]), opaque));
    }
    for (; x < count; ++x)
        out[x] = 0xff000000u | 0x010101u * levels[x];
}

TAVIX_SSE41_TARGET void packInterleaved(const uchar *levels, int count, QRgb *out)
{
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    // Red, green, blue of four pixels to their places in 0xAARRGGBB.
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(levels + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_or_si128(_mm_shuffle_epi8(rgb, order), opaque));
    }
    for (; x < count; ++x)
        out[x] = qRgb(levels[3 * x], levels[3 * x + 1], levels[3 * x + 2]);
}

TAVIX_SSE41_TARGET void packPlanes(const uchar *red, const uchar *green, const uchar *blue, int count, QRgb *out)
{
    const __m128i alpha = _mm_set1_epi8(char(0xff));
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(red + x));
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i *>(green + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(blue + x));
        // Bytes in memory: blue, green, red, alpha.
        const __m128i bgLow = _mm_unpacklo_epi8(b, g), bgHigh = _mm_unpackhi_epi8(b, g);
        const __m128i raLow = _mm_unpacklo_epi8(r, alpha), raHigh = _mm_unpackhi_epi8(r, alpha);
        auto *to = reinterpret_cast<__m128i *>(out + x);
        _mm_storeu_si128(to, _mm_unpacklo_epi16(bgLow, raLow));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(bgLow, raLow));
        _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
        _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
    }
    for (; x < count; ++x)
        out[x] = qRgb(red[x], green[x], blue[x]);
}

} // namespace

QImage reduceForDisplay(
    const uchar *pixels, int width, int height, qsizetype bytesPerLine, int channels, const QSize &size)
{
    if (!cpufeatures::hasSse41() || !pixels || (channels != 1 && channels != 3) || size.isEmpty() || size.width() >= width
        || size.height() >= height || bytesPerLine < qsizetype(width) * channels)
        return QImage();
    QImage reduced(size, QImage::Format_RGB32);
    if (reduced.isNull())
        return reduced;
    const int to = size.width();
    // One stream of frames is reduced to one size frame after frame: the
    // plans of the last reduction on this thread are kept for the next.
    struct Plans {
        int width = 0, height = 0, channels = 0;
        QSize size;
        AcrossPlan across;
        bool split = false;
        std::vector<Box> down;
    };
    thread_local Plans last;
    if (last.width != width || last.height != height || last.channels != channels || last.size != size) {
        // A colour row is summed as it is, its channels side by side, when
        // its boxes are narrow enough for groups; otherwise each channel is
        // split off and summed on its own.
        last.across = acrossPlan(width, to, channels);
        last.split = channels == 3 && last.across.group == 0;
        if (last.split)
            last.across = acrossPlan(width, to, 1);
        last.down = reductionBoxes(height, size.height());
        last.width = width;
        last.height = height;
        last.channels = channels;
        last.size = size;
    }
    const AcrossPlan &across = last.across;
    const bool split = last.split;
    const std::vector<Box> &down = last.down;

    // The lanes of a source row: one array of them, or three when split.
    const int arrays = split ? 3 : 1;
    const int lanes = int(across.boxes.size());
    const std::size_t planeBytes = std::size_t(width) + 16;
    std::vector<uchar> planes(split ? 3 * planeBytes : 0);
    int highest = 0;
    for (const Box &box : down)
        highest = std::max(highest, box.count);
    // The sums across of source rows, each array with four spare lanes for a
    // group's store. Low boxes: a ring of as many rows as the highest box,
    // the rows of one box (that box's first row may be kept from the box
    // above), small enough to stay in the processor's nearest cache. High
    // boxes: one row at a time, added into the target row's totals.
    const bool onePass = highest <= MaxRowsDown;
    const int ringRows = onePass ? highest : 1;
    const std::size_t sumStride = std::size_t(lanes) + 4;
    std::vector<std::uint32_t> sums(std::size_t(ringRows) * std::size_t(arrays) * sumStride);
    std::vector<std::uint32_t> totals(onePass ? 0 : std::size_t(arrays) * sumStride);
    // A target row's levels, per array, with room for the last 16-byte load.
    const std::size_t levelStride = std::size_t(lanes) + 16;
    std::vector<uchar> levels(std::size_t(arrays) * levelStride);
    const auto rowSums = [&](int row, int array) {
        return sums.data()
            + (std::size_t(row % ringRows) * std::size_t(arrays) + std::size_t(array)) * sumStride;
    };
    int summedUpTo = -1; // source rows summed so far, in order

    for (int y = 0; y < size.height(); ++y) {
        const Box &box = down[std::size_t(y)];
        const std::uint32_t *tapSums[3][MaxRowsDown];
        int tapWeights[MaxRowsDown];
        for (int tap = 0; tap < box.count; ++tap) {
            const int row = box.first + tap;
            // Neighbouring target rows share the source row between them: its
            // sums across are kept from the row before.
            if (row > summedUpTo) {
                const uchar *source = pixels + qsizetype(row) * bytesPerLine;
                if (!split) {
                    sumRowAcross(source, across, rowSums(row, 0));
                } else {
                    splitChannels(source, width, planes.data(), planes.data() + planeBytes,
                        planes.data() + 2 * planeBytes);
                    for (int c = 0; c < 3; ++c)
                        sumRowAcross(planes.data() + std::size_t(c) * planeBytes, across, rowSums(row, c));
                }
                summedUpTo = row;
            }
            for (int a = 0; a < arrays; ++a) {
                if (onePass)
                    tapSums[a][tap] = rowSums(row, a);
                else
                    addDown(rowSums(row, a), tapWeight(box, tap), tap == 0,
                        totals.data() + std::size_t(a) * sumStride, lanes);
            }
            if (onePass)
                tapWeights[tap] = tapWeight(box, tap);
        }
        for (int a = 0; a < arrays; ++a) {
            uchar *out = levels.data() + std::size_t(a) * levelStride;
            if (onePass) {
                sumDownAny(tapSums[a], tapWeights, box.count, lanes, out);
            } else {
                const std::uint32_t *total = totals.data() + std::size_t(a) * sumStride;
                const int whole = 1;
                sumDownAny(&total, &whole, 1, lanes, out);
            }
        }
        auto *out = reinterpret_cast<QRgb *>(reduced.scanLine(y));
        if (split)
            packPlanes(levels.data(), levels.data() + levelStride, levels.data() + 2 * levelStride, to, out);
        else if (channels == 3)
            packInterleaved(levels.data(), to, out);
        else
            packGrey(levels.data(), to, out);
    }
    return reduced;
}

#else

QImage reduceForDisplay(const uchar *, int, int, qsizetype, int, const QSize &)
{
    return QImage();
}

#endif
