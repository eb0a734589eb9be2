// The parameters of one simulated camera, by name, safe to use from any
// thread. The picture generator reads them every frame; the command
// responder writes them when the tool sends a parameter write.
#ifndef TAVIX_SIM_PARAMSTORE_H
#define TAVIX_SIM_PARAMSTORE_H

#include "core/paramcatalogue.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <mutex>
#include <optional>

namespace linksim {

// Names of the parameters the picture generator reads, with their neutral
// values: the store names of the parameter catalogue. Other names may be
// stored freely (e.g. sensor registers). Plain character constants keep the
// library free of globals that need constructing.
namespace param {
    constexpr const char *frameRate
        = paramcat::storeName(paramcat::kIdFrameRate); // frames/s in free run, 1..240
    constexpr const char *exposureTime
        = paramcat::storeName(paramcat::kIdExposureTime); // microseconds; 10000 = neutral
    constexpr const char *brightness
        = paramcat::storeName(paramcat::kIdBrightness); // added to every sample, -255..255
    constexpr const char *gainGlobal = paramcat::storeName(paramcat::kIdGainGlobal); // percent; 100 = x1
    constexpr const char *gainRed = paramcat::storeName(paramcat::kIdGainRed); // percent, colour cameras
    constexpr const char *gainBlue = paramcat::storeName(paramcat::kIdGainBlue); // percent, colour cameras
    constexpr const char *gainGreenRed
        = paramcat::storeName(paramcat::kIdGainGreenRed); // percent; green uses the mean
    constexpr const char *gainGreenBlue
        = paramcat::storeName(paramcat::kIdGainGreenBlue); // of the two green gains
    constexpr const char *flipVertical
        = paramcat::storeName(paramcat::kIdFlipVertical); // non-zero: upside down
    constexpr const char *flipHorizontal
        = paramcat::storeName(paramcat::kIdFlipHorizontal); // non-zero: mirrored
    constexpr const char *sensorOn
        = paramcat::storeName(paramcat::kIdSensorSwitch); // 0: the sensor is off, no frames
    constexpr const char *streamOn
        = paramcat::storeName(paramcat::kIdStreamVdma); // 0: streaming stopped, no frames

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
