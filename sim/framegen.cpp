#include "sim/framegen.h"

#include "sim/paramstore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace linksim {

namespace {

    // 5 x 7 digits, one byte per row, bit 4 is the leftmost column.
    constexpr uchar kFont[10][7] = {
        { 0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E }, // 0
        { 0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E }, // 1
        { 0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F }, // 2
        { 0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E }, // 3
        { 0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02 }, // 4
        { 0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E }, // 5
        { 0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E }, // 6
        { 0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08 }, // 7
        { 0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E }, // 8
        { 0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C }, // 9
    };
    constexpr int kGlyphWidth = 5;
    constexpr int kGlyphHeight = 7;
    constexpr int kCell = kGlyphWidth + 1; // glyph plus one column of space

    // Bar colours, blue, green, red: white, yellow, cyan, green, magenta, red, blue, grey.
    constexpr uchar kBars[8][3] = {
        { 1, 1, 1 },
        { 0, 1, 1 },
        { 1, 1, 0 },
        { 0, 1, 0 },
        { 1, 0, 1 },
        { 0, 0, 1 },
        { 1, 0, 0 },
        { 1, 1, 1 },
    };

    int clampInt(qint64 value, int low, int high)
    {
        return int(std::clamp<qint64>(value, low, high));
    }

} // namespace

FrameLook FrameLook::fromStore(const ParameterStore &store)
{
    FrameLook look;
    look.brightness = clampInt(store.value(param::brightness, 0), -255, 255);
    look.exposure = clampInt(store.value(param::exposureTime, param::kNeutralExposure), 0, 1000000);
    look.gainGlobal = clampInt(store.value(param::gainGlobal, param::kNeutralGain), 0, 6400);
    look.gainRed = clampInt(store.value(param::gainRed, param::kNeutralGain), 0, 6400);
    look.gainBlue = clampInt(store.value(param::gainBlue, param::kNeutralGain), 0, 6400);
    const qint64 greenRed = clampInt(store.value(param::gainGreenRed, param::kNeutralGain), 0, 6400);
    const qint64 greenBlue = clampInt(store.value(param::gainGreenBlue, param::kNeutralGain), 0, 6400);
    look.gainGreen = int((greenRed + greenBlue) / 2);
    look.flipVertical = store.value(param::flipVertical, 0) != 0;
    look.flipHorizontal = store.value(param::flipHorizontal, 0) != 0;
    return look;
}

bool FrameLook::operator==(const FrameLook &o) const
{
    return brightness == o.brightness && exposure == o.exposure && gainGlobal == o.gainGlobal
        && gainRed == o.gainRed && gainGreen == o.gainGreen && gainBlue == o.gainBlue
        && flipVertical == o.flipVertical && flipHorizontal == o.flipHorizontal;
}

FrameGenerator::FrameGenerator(int width, int height, int bytesPerPixel)
    : m_width(width)
    , m_height(height)
    , m_bpp(bytesPerPixel == 3 ? 3 : 1)
{
}

void FrameGenerator::setLook(const FrameLook &look)
{
    if (m_built && look == m_look)
        return;
    m_look = look;
    buildPattern();
}

void FrameGenerator::buildPattern()
{
    // Look-up tables: sample * exposure scale * gains + brightness, clamped.
    const double base = m_look.exposure / double(param::kNeutralExposure) * m_look.gainGlobal / 100.0;
    const int channelGain[3] = { m_look.gainBlue, m_look.gainGreen, m_look.gainRed };
    for (int c = 0; c < 3; ++c) {
        const double scale = m_bpp == 1 ? base : base * channelGain[c] / 100.0;
        for (int v = 0; v < 256; ++v)
            m_lut[c][v] = uchar(std::clamp(std::lround(v * scale) + m_look.brightness, 0L, 255L));
    }

    const std::size_t rowBytes = std::size_t(m_width) * std::size_t(m_bpp);
    const int rows = m_height + kScrollPeriod;
    m_patch = Patch();
    m_pattern.assign(rowBytes * std::size_t(rows), 0);
    if (m_look.flipVertical)
        m_frame.assign(frameBytes(), 0);
    else
        std::vector<uchar>().swap(m_frame);
    for (int y = 0; y < rows; ++y) {
        uchar *row = m_pattern.data() + rowBytes * std::size_t(y);
        for (int x = 0; x < m_width; ++x) {
            const int sx = m_look.flipHorizontal ? m_width - 1 - x : x;
            const int bar = int(qint64(sx) * 8 / m_width);
            const int ramp = (sx + y) & 0xFF; // repeats every kScrollPeriod rows
            if (m_bpp == 1) {
                row[x] = m_lut[0][(ramp * 3 + (7 - bar) * 255 / 7) / 4];
            } else {
                for (int c = 0; c < 3; ++c) {
                    const int v = kBars[bar][c] ? 64 + ramp * 191 / 255 : ramp / 5;
                    row[3 * x + c] = m_lut[c][v];
                }
            }
        }
    }
    m_built = true;
}

unsigned char *FrameGenerator::render(quint32 number)
{
    if (!m_built)
        buildPattern();
    const std::size_t rowBytes = std::size_t(m_width) * std::size_t(m_bpp);
    const std::size_t offset = std::size_t(number) * kScrollStep % kScrollPeriod;
    if (!m_look.flipVertical) {
        // The frame is a window into the pattern; only the number's box is
        // drawn, over the pattern, and put back at the next render.
        restorePattern();
        m_out = m_pattern.data() + offset * rowBytes;
    } else {
        for (int r = 0; r < m_height; ++r)
            std::memcpy(m_frame.data() + std::size_t(r) * rowBytes,
                m_pattern.data() + (offset + std::size_t(m_height - 1 - r)) * rowBytes, rowBytes);
        m_out = m_frame.data();
    }
    drawNumber(number);
    return m_out;
}

void FrameGenerator::restorePattern()
{
    if (!m_patch.at)
        return;
    const std::size_t rowBytes = std::size_t(m_width) * std::size_t(m_bpp);
    for (int r = 0; r < m_patch.rows; ++r)
        std::memcpy(m_patch.at + std::size_t(r) * rowBytes, m_under.data() + std::size_t(r) * m_patch.bytes,
            m_patch.bytes);
    m_patch = Patch();
}

void FrameGenerator::drawNumber(quint32 number)
{
    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%u", unsigned(number));
    // As large as fits: about an eighth of the height, and the whole number across.
    const int boxCells = count * kCell + 1;
    const int scale = std::max(1, std::min(m_height / (kGlyphHeight * 8), m_width / (boxCells + 4)));
    const int margin = 2 * scale;
    if (!m_look.flipVertical) {
        // Everything below is drawn inside the box: keep the pattern under it.
        const int x0 = std::min(margin, m_width);
        const int x1 = std::min(margin + boxCells * scale, m_width);
        const int y1 = std::min(margin + (kGlyphHeight + 2) * scale, m_height);
        const int y0 = std::min(margin, y1);
        const int px0 = m_look.flipHorizontal ? m_width - x1 : x0;
        const std::size_t rowBytes = std::size_t(m_width) * std::size_t(m_bpp);
        m_patch.at = m_out + std::size_t(y0) * rowBytes + std::size_t(px0) * std::size_t(m_bpp);
        m_patch.rows = y1 - y0;
        m_patch.bytes = std::size_t(x1 - x0) * std::size_t(m_bpp);
        m_under.resize(std::size_t(m_patch.rows) * m_patch.bytes);
        for (int r = 0; r < m_patch.rows; ++r)
            std::memcpy(m_under.data() + std::size_t(r) * m_patch.bytes, m_patch.at + std::size_t(r) * rowBytes,
                m_patch.bytes);
    }
    fillBlock(margin, margin, boxCells * scale, (kGlyphHeight + 2) * scale, false);
    for (int i = 0; i < count; ++i) {
        const uchar *glyph = kFont[digits[i] - '0'];
        const int left = margin + scale + i * kCell * scale;
        for (int gy = 0; gy < kGlyphHeight; ++gy)
            for (int gx = 0; gx < kGlyphWidth; ++gx)
                if (glyph[gy] & (0x10 >> gx))
                    fillBlock(left + gx * scale, margin + scale + gy * scale, scale, scale, true);
    }
}

// Fills a rectangle given in picture coordinates (as the viewer sees an
// unflipped camera); the flips move it, so the digits flip with the picture.
void FrameGenerator::fillBlock(int x, int y, int w, int h, bool white)
{
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, m_width);
    const int y1 = std::min(y + h, m_height);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int px0 = m_look.flipHorizontal ? m_width - x1 : x0;
    const int py0 = m_look.flipVertical ? m_height - y1 : y0;
    const int pw = x1 - x0;
    const uchar level = white ? 255 : 0;
    const std::size_t rowBytes = std::size_t(m_width) * std::size_t(m_bpp);
    for (int r = py0; r < py0 + (y1 - y0); ++r) {
        uchar *p = m_out + std::size_t(r) * rowBytes + std::size_t(px0) * std::size_t(m_bpp);
        if (m_bpp == 1) {
            std::memset(p, m_lut[0][level], std::size_t(pw));
        } else {
            for (int i = 0; i < pw; ++i, p += 3) {
                p[0] = m_lut[0][level];
                p[1] = m_lut[1][level];
                p[2] = m_lut[2][level];
            }
        }
    }
}

} // namespace linksim
