// How the camera's parameter report compares with a parameter file, for
// `tavixctl diff`: the drift of a camera from the recipe it was set up with.
#ifndef TAVIX_CTL_PARAMDIFF_H
#define TAVIX_CTL_PARAMDIFF_H

#include "core/paramfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace ctl {

struct ParamDiff {
    struct Row {
        QString key; // the file's member ("ExposureTime")
        QString fileValue; // its text
        enum class Kind { Number, Text, OutOfRange, Other };
        Kind cameraKind = Kind::Number; // what the report holds
        // A number as the report sent it (its shortest form), a string's text,
        // "out of range" for a number beyond a double, or another value's JSON.
        QString cameraValue;
        bool equal = false;
    };
    QVector<Row> compared; // in the file's order
    // The file's non-empty members the report does not carry: key and file value only.
    QVector<Row> notChecked;

    // At least one value compared, and each equal.
    bool allEqual() const;
};

// Compares the file's non-empty members with the report's members for the same
// parameter. A report member names its parameter by the id in front of its key
// ("A002_baoguang_time": four upper-case hexadecimal digits and "_"); where
// two name the same one, the later counts, as in the property table.
// Nothing when `report` is not a JSON object.
std::optional<ParamDiff> diffParameters(const paramfile::RowValues &file, const QByteArray &report);

// Whether a file's text and the camera's value are the same. When both are
// numbers (digits with an optional sign, fraction and exponent: "0010",
// "-5", "1.50", "2e3") they are compared as numbers, so "0010" equals 10 and
// "1.50" equals 1.5; otherwise as texts, letter for letter.
bool sameValue(const QString &fileText, const QString &cameraText);

} // namespace ctl

#endif
