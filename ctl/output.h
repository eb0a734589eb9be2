// What tavixctl prints: the camera list, the parameter report, and JSON with a
// fixed member order (README "Command line" lists the layouts).
#ifndef TAVIX_CTL_OUTPUT_H
#define TAVIX_CTL_OUTPUT_H

#include "ctl/cameras.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace ctl {

// `text` as a JSON string: quoted, with \" \\ \b \f \n \r \t and \u00XX for the
// other control characters; everything else as it is (UTF-8 on output).
QString jsonString(const QString &text);

// The camera's parameter report (the JSON object answering the parameter query).
struct Report {
    struct Known {
        QString name; // FrameRate, ExposureTime, SharpeningThreshold, SharpenAmount
        std::optional<qint64> value; // the number's integer part, as the table shows it
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

QString reportText(const Report &report);
// {"camera":..,"name":..,"parameters":{"FrameRate":..,..},"other":{..}} on one line
QString reportJson(const Target &target, const Report &report);

} // namespace ctl

#endif
