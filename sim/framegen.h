// The picture of a simulated camera: a moving test pattern with the frame
// number in large digits.
//
// The pattern (diagonal ramps over eight vertical bars, coloured bars on a
// colour camera) is computed once for every look (gains, brightness, flips);
// each frame is then one row-offset copy of it plus the digits, so even large
// frames cost little more than a memcpy.
#ifndef TAVIX_SIM_FRAMEGEN_H
#define TAVIX_SIM_FRAMEGEN_H

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <vector>

namespace linksim {

class ParameterStore;

// How the parameters want the picture to look. Out-of-range values are
// clamped when the look is read from the store.
struct FrameLook {
    int brightness = 0; // added to every sample after the gains, -255..255
    int exposure = 10000; // microseconds; scales samples by exposure / 10000
    int gainGlobal = 100; // percent
    int gainRed = 100; // percent; colour cameras only
    int gainGreen = 100; // percent; the mean of the two green gains
    int gainBlue = 100; // percent
    bool flipVertical = false;
    bool flipHorizontal = false;

    static FrameLook fromStore(const ParameterStore &store);
    bool operator==(const FrameLook &other) const;
    bool operator!=(const FrameLook &other) const { return !(*this == other); }
};

class FrameGenerator {
public:
    static constexpr int kScrollPeriod = 256; // rows after which the pattern repeats
    static constexpr int kScrollStep = 4; // rows the pattern moves per frame

    // bytesPerPixel 1 (grey) or 3 (blue, green, red). Allocates nothing yet.
    FrameGenerator(int width, int height, int bytesPerPixel);

    // Rebuilds the pattern if the look differs from the current one.
    void setLook(const FrameLook &look);

    // Renders frame `number` and returns it: rows top to bottom,
    // width * bytesPerPixel bytes each, no padding. The pixels stay valid
    // until the next render or setLook and are read only: unless the picture
    // is flipped upside down, they are the scrolling pattern itself, with the
    // number drawn over it (and the pattern beneath kept aside until the next
    // render), so that a frame is not copied whole.
    unsigned char *render(quint32 number);

    std::size_t frameBytes() const
    {
        return std::size_t(m_width) * std::size_t(m_height) * std::size_t(m_bpp);
    }

private:
    void buildPattern();
    void drawNumber(quint32 number);
    void fillBlock(int x, int y, int w, int h, bool white);
    // The pattern under the last number drawn into it put back, if any.
    void restorePattern();

    // Where the number box of a frame lies: rows and bytes of rows.
    struct Patch {
        uchar *at = nullptr; // its first byte in the pattern; null: none drawn
        int rows = 0;
        std::size_t bytes = 0;
    };

    int m_width;
    int m_height;
    int m_bpp;
    FrameLook m_look;
    bool m_built = false;
    std::array<std::array<uchar, 256>, 3> m_lut {}; // blue, green, red; grey uses [0]
    std::vector<uchar> m_pattern; // (height + kScrollPeriod) rows
    std::vector<uchar> m_frame; // the flipped frame, copied out of the pattern
    uchar *m_out = nullptr; // the frame being drawn: into m_frame or the pattern
    Patch m_patch;
    std::vector<uchar> m_under; // the pattern under m_patch
};

} // namespace linksim

#endif
