// Image sequences and the snapshot format: which frames a recording keeps,
// what their files and its folder are called, and when it ends. No I/O.
#ifndef TAVIX_RECORDINGPLAN_H
#define TAVIX_RECORDINGPLAN_H

#include <QDateTime>
#include <QString>

namespace recording {

// The format of snapshots and of recorded frames. BMP is the default.
enum class ImageFormat { Bmp, Png, Tiff };

// "BMP", "PNG", "TIFF": Qt's format name (also what the operator reads).
const char *formatName(ImageFormat format);
// "bmp", "png", "tif": the file name's suffix, without the dot.
const char *formatSuffix(ImageFormat format);

enum class StopRule {
    UntilStopped, // the operator stops it
    Seconds, // after `seconds` seconds from the start
    Frames, // once `frames` frames were taken
};

struct Settings {
    ImageFormat format = ImageFormat::Bmp;
    int everyNth = 1; // 1: every frame; n: the first frame and every n-th after it
    StopRule stop = StopRule::UntilStopped;
    int seconds = 10;
    int frames = 100;
};

// Limits of the settings: every 1st to MaxEveryNth frame, 1 to MaxSeconds
// seconds, 1 to MaxFrames frames.
constexpr int MaxEveryNth = 10000;
constexpr int MaxSeconds = 24 * 3600;
constexpr int MaxFrames = 10000000;
// `settings` with every number brought into its limits.
Settings clamped(Settings settings);

// The recording's folder name, by its start in local time:
// "yyyy-MM-dd_hh-mm-ss" (2024-05-01_13-45-10); attempt n > 0 (the name was
// taken) appends "_n".
QString folderName(const QDateTime &start, int attempt = 0);

// The file of the frame numbered `number` (from 1): the number with at least
// six digits, zero-padded, so that names sort in the order of the frames
// ("000001.bmp", ..., "999999.bmp", "1000000.bmp").
QString frameFileName(int number, ImageFormat format);

// One recording's course: offered every frame that arrives, with the time
// since the start, it says which to keep and under which number, and when the
// recording is over.
class Plan {
public:
    explicit Plan(const Settings &settings);

    struct Decision {
        enum Kind {
            Skip, // not one of the every-n-th frames
            Take, // keep the frame as number `number`
            Over, // the recording has ended: keep no more frames
        };
        Kind kind = Skip;
        int number = 0;
    };

    // A frame arrived `elapsedMs` after the start. The frame that reaches the
    // frame limit is taken and ends the plan; a frame at or after the time
    // limit is not taken and ends it.
    Decision offer(qint64 elapsedMs);
    // True once the plan is over: its frames are taken, its time is up at
    // `elapsedMs` (also when no frame comes), or end() was called.
    bool over(qint64 elapsedMs) const;
    bool over() const { return ended; }
    void end() { ended = true; }

    int offered() const { return offeredCount; }
    int taken() const { return takenCount; }
    const Settings &settings() const { return set; }

private:
    Settings set;
    int offeredCount = 0;
    int takenCount = 0;
    bool ended = false;
};

} // namespace recording

#endif
