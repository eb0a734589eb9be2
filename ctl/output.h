// What tavixctl prints: the camera list, the parameter report, and JSON with a
// fixed member order (README "Command line" lists the layouts), built with
// cJSON, which keeps members in the order they are added and writes strings
// with \" \\ \b \f \n \r \t and \u00xx for the other control characters.
#ifndef TAVIX_CTL_OUTPUT_H
#define TAVIX_CTL_OUTPUT_H

#include "core/streamstats.h"
#include "ctl/cameras.h"
#include "ctl/paramdiff.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace ctl {

// The camera's parameter report (the JSON object answering the parameter query).
struct Report {
    struct Known {
        QString name; // FrameRate, ExposureTime, SharpeningThreshold, SharpenAmount
        enum class State {
            Missing, // the report has no number under the key
            Number, // `number` holds it
            OutOfRange, // a number beyond a double (1e400): no value can be shown
        };
        State state = State::Missing;
        QString number; // as sent, in Qt's shortest round-trip form (cmdproto::reportNumberText)
    };
    struct Member {
        QString key;
        QString text; // a string's text, or the value's JSON text
        QByteArray json; // the value as JSON
    };
    QVector<Known> known; // always the four, in that order
    QVector<Member> others; // every other member, in report order
};

// Reads a report payload; text that is not a JSON object gives nothing. A
// known key holding something other than a number counts among the others.
std::optional<Report> parseReport(const QByteArray &payload);

QString cameraListText(const QVector<CameraEntry> &cameras);
// [{"name":..,"ip":..,"mac":..}, ...] on one line
QString cameraListJson(const QVector<CameraEntry> &cameras);

// One line per value; a missing value shows "-", one beyond a double
// "out of range".
QString reportText(const Report &report);
// {"camera":..,"name":..,"parameters":{"FrameRate":..,..},"other":{..}} on one
// line. A parameter is a JSON number as the report sent it, null when the
// report lacks it, or the string "out of range" for a number beyond a double;
// a number member of "other" beyond a double is that string too.
QString reportJson(const Target &target, const Report &report);

// The end of a stream check: frames delivered and dropped, frames per second,
// the longest gap, and pass or the faults, one per line.
QString streamText(const Target &target, const streamstats::Summary &summary);
// {"camera":..,"name":..,"seconds":N,"delivered":N,"dropped":N,"fps":{"min":..,
// "mean":..,"max":..},"longest_gap_ms":..,"pass":true} on one line; the mean
// with two decimals, the gap in milliseconds with one.
QString streamJson(const Target &target, const streamstats::Summary &summary);

// One line per compared parameter (file value, camera value, equal or
// differs), then those not checked, then a count.
QString diffText(const ParamDiff &diff);
// {"camera":..,"name":..,"file":..,"parameters":[{"name":..,"file":"0010",
// "camera":10,"equal":true},..],"not_checked":[..],"equal":true} on one line;
// the camera's value as the report holds it (a number as sent, a string,
// "out of range" for a number beyond a double).
QString diffJson(const Target &target, const QString &file, const ParamDiff &diff);

// What a script reads in place of a number beyond a double.
constexpr const char *kOutOfRange = "out of range";

} // namespace ctl

#endif
