// The parameters of one simulated camera, by name, safe to use from any
// thread. The picture generator reads them every frame; the command
// responder writes them when the tool sends a parameter write.
#ifndef TAVIX_SIM_PARAMSTORE_H
#define TAVIX_SIM_PARAMSTORE_H

#include <QHash>
#include <QString>

#include <atomic>
#include <mutex>
#include <optional>

namespace linksim {

// Names of the parameters the picture generator reads, with their neutral
// values. Other names may be stored freely (e.g. sensor registers). Plain
// character constants keep the library free of globals that need constructing.
namespace param {
    constexpr char frameRate[] = "frame_rate"; // frames/s in free run, 1..240
    constexpr char exposureTime[] = "exposure_time"; // microseconds; 10000 = neutral
    constexpr char brightness[] = "brightness"; // added to every sample, -255..255
    constexpr char gainGlobal[] = "gain_global"; // percent; 100 = x1
    constexpr char gainRed[] = "gain_red"; // percent, colour cameras
    constexpr char gainBlue[] = "gain_blue"; // percent, colour cameras
    constexpr char gainGreenRed[] = "gain_green_red"; // percent; green uses the mean
    constexpr char gainGreenBlue[] = "gain_green_blue"; // of the two green gains
    constexpr char flipVertical[] = "flip_vertical"; // non-zero: upside down
    constexpr char flipHorizontal[] = "flip_horizontal"; // non-zero: mirrored left to right
    constexpr char sensorOn[] = "sensor_on"; // 0: the sensor is off, no frames
    constexpr char streamOn[] = "stream_vdma"; // 0: streaming stopped, no frames

    constexpr qint64 kNeutralExposure = 10000;
    constexpr qint64 kNeutralGain = 100;
} // namespace param

class ParameterStore {
public:
    // The value stored under `name`, or `fallback`.
    qint64 value(const QString &name, qint64 fallback) const;
    std::optional<qint64> find(const QString &name) const;
    void setValue(const QString &name, qint64 value);
    QHash<QString, qint64> snapshot() const;

    // Goes up with every setValue; lets readers skip work while nothing changed.
    quint64 revision() const { return m_revision.load(std::memory_order_acquire); }

private:
    mutable std::mutex m_mutex;
    QHash<QString, qint64> m_values;
    std::atomic<quint64> m_revision { 0 };
};

} // namespace linksim

#endif
