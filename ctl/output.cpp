#include "ctl/output.h"

#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "ctl/cjsonptr.h"
#include "ctl/paramnames.h"

#include <cmath>

namespace ctl {

namespace {

    QString padded(const QString &text, int width)
    {
        return text.leftJustified(width, QLatin1Char(' '));
    }

    QByteArray printed(const cJSON *item)
    {
        const JsonText text(cJSON_PrintUnformatted(item));
        return text ? QByteArray(text.get()) : QByteArrayLiteral("null");
    }

    // One line of JSON: the item unformatted (members in the order added).
    QString line(const Json &item)
    {
        return QString::fromUtf8(printed(item.get())) + QLatin1Char('\n');
    }

    cJSON *string(const QString &text)
    {
        return cJSON_CreateString(text.toUtf8().constData());
    }

    // JSON text that stands as it is: a number as the report sent it.
    cJSON *raw(const QString &json)
    {
        return cJSON_CreateRaw(json.toUtf8().constData());
    }

    QByteArray jsonString(const QString &text)
    {
        const Json item(string(text));
        return printed(item.get());
    }

    void add(cJSON *object, const QString &key, cJSON *value)
    {
        cJSON_AddItemToObject(object, key.toUtf8().constData(), value);
    }

    // "camera" and "name", as every command's JSON begins.
    Json cameraObject(const Target &target)
    {
        Json root(cJSON_CreateObject());
        add(root.get(), QStringLiteral("camera"), string(target.ip));
        add(root.get(), QStringLiteral("name"),
            target.name.isEmpty() ? cJSON_CreateNull() : string(target.name));
        return root;
    }

    QString table(const QVector<QStringList> &rows)
    {
        QVector<int> widths;
        for (const QStringList &row : rows) {
            for (int i = 0; i < row.size(); ++i) {
                if (widths.size() <= i)
                    widths << 0;
                widths[i] = qMax(widths.at(i), row.at(i).size());
            }
        }
        QString out;
        for (const QStringList &row : rows) {
            QString line;
            for (int i = 0; i < row.size(); ++i)
                line += i + 1 < row.size() ? padded(row.at(i), widths.at(i)) + QStringLiteral("  ")
                                           : row.at(i);
            out += line + QLatin1Char('\n');
        }
        return out;
    }

    // A known value as text.
    QString knownText(const Report::Known &known)
    {
        switch (known.state) {
        case Report::Known::State::Number:
            return known.number;
        case Report::Known::State::OutOfRange:
            return QLatin1String(kOutOfRange);
        case Report::Known::State::Missing:
            break;
        }
        return QStringLiteral("-");
    }

    // A known value as JSON: the number as sent, "out of range", or null.
    cJSON *knownJson(const Report::Known &known)
    {
        switch (known.state) {
        case Report::Known::State::Number:
            return raw(known.number);
        case Report::Known::State::OutOfRange:
            return string(QLatin1String(kOutOfRange));
        case Report::Known::State::Missing:
            break;
        }
        return cJSON_CreateNull();
    }

} // namespace

std::optional<Report> parseReport(const QByteArray &payload)
{
    const Json root(cJSON_ParseWithLength(payload.constData(), size_t(payload.size())));
    if (!root || !cJSON_IsObject(root.get()))
        return std::nullopt;
    // Frame rate, exposure time, sharpening threshold and strength, in this order.
    constexpr quint16 kShown[] = { paramcat::kIdFrameRate, paramcat::kIdExposureTime,
        paramcat::kIdSharpenThreshold, paramcat::kIdSharpenStrength };
    Report report;
    QList<QLatin1String> keys;
    for (quint16 id : kShown) {
        const paramcat::Parameter *parameter = paramcat::parameterById(id);
        report.known.append({ rowName(parameter->row), Report::Known::State::Missing, QString() });
        keys << QLatin1String(parameter->reportKey);
    }
    for (const cJSON *member = root->child; member; member = member->next) {
        const QString key = QString::fromUtf8(member->string ? member->string : "");
        bool isKnown = false;
        for (int i = 0; i < report.known.size(); ++i) {
            if (cJSON_IsNumber(member) && key == keys.at(i)) {
                // Later members win, as in the table.
                const std::optional<QString> number = cmdproto::reportNumberText(member->valuedouble);
                report.known[i].state
                    = number ? Report::Known::State::Number : Report::Known::State::OutOfRange;
                report.known[i].number = number.value_or(QString());
                isKnown = true;
            }
        }
        if (isKnown)
            continue;
        // cJSON prints a number beyond a double as null, which the report did not say.
        const bool outOfRange = cJSON_IsNumber(member) && !cmdproto::reportNumberText(member->valuedouble);
        const QByteArray json = outOfRange ? jsonString(QLatin1String(kOutOfRange)) : printed(member);
        const QString text = cJSON_IsString(member) ? QString::fromUtf8(member->valuestring)
            : outOfRange                            ? QLatin1String(kOutOfRange)
                                                    : QString::fromUtf8(json);
        report.others.append({ key, text, json });
    }
    return report;
}

QString cameraListText(const QVector<CameraEntry> &cameras)
{
    int nameWidth = 4;
    for (const CameraEntry &camera : cameras)
        nameWidth = qMax(nameWidth, camera.name.size());
    QString out = padded(QStringLiteral("NAME"), nameWidth) + QStringLiteral("  ")
        + padded(QStringLiteral("IP"), 15) + QStringLiteral("  MAC\n");
    for (const CameraEntry &camera : cameras)
        out += padded(camera.name, nameWidth) + QStringLiteral("  ") + padded(camera.ip, 15)
            + QStringLiteral("  ") + camera.mac + QLatin1Char('\n');
    return out;
}

QString cameraListJson(const QVector<CameraEntry> &cameras)
{
    const Json list(cJSON_CreateArray());
    for (const CameraEntry &camera : cameras) {
        cJSON *item = cJSON_CreateObject();
        add(item, QStringLiteral("name"), string(camera.name));
        add(item, QStringLiteral("ip"), string(camera.ip));
        add(item, QStringLiteral("mac"), string(camera.mac));
        cJSON_AddItemToArray(list.get(), item);
    }
    return line(list);
}

QString reportText(const Report &report)
{
    int width = 0;
    for (const Report::Known &known : report.known)
        width = qMax(width, known.name.size());
    for (const Report::Member &member : report.others)
        width = qMax(width, member.key.size());
    QString out;
    for (const Report::Known &known : report.known)
        out += padded(known.name, width) + QStringLiteral("  ") + knownText(known) + QLatin1Char('\n');
    for (const Report::Member &member : report.others)
        out += padded(member.key, width) + QStringLiteral("  ") + member.text + QLatin1Char('\n');
    return out;
}

QString reportJson(const Target &target, const Report &report)
{
    const Json root = cameraObject(target);
    cJSON *parameters = cJSON_CreateObject();
    for (const Report::Known &known : report.known)
        add(parameters, known.name, knownJson(known));
    add(root.get(), QStringLiteral("parameters"), parameters);
    cJSON *others = cJSON_CreateObject();
    for (const Report::Member &member : report.others)
        add(others, member.key, raw(QString::fromUtf8(member.json)));
    add(root.get(), QStringLiteral("other"), others);
    return line(root);
}

QString streamText(const Target &target, const streamstats::Summary &summary)
{
    QVector<QStringList> rows {
        { QStringLiteral("camera"), target.label() },
        { QStringLiteral("seconds"), QString::number(summary.seconds) },
        { QStringLiteral("delivered"), QString::number(summary.delivered) },
        { QStringLiteral("dropped"), QString::number(summary.dropped) },
        { QStringLiteral("frames per second"),
            QStringLiteral("min %1, mean %2, max %3")
                .arg(summary.fpsMin)
                .arg(summary.fpsMean, 0, 'f', 2)
                .arg(summary.fpsMax) },
        { QStringLiteral("longest gap"),
            QStringLiteral("%1 ms").arg(streamstats::gapMs(summary.longestGapNs), 0, 'f', 1) },
        { QStringLiteral("result"), summary.pass ? QStringLiteral("pass") : QStringLiteral("fail") },
    };
    for (const QString &fault : summary.faults)
        rows << QStringList { QString(), fault };
    return table(rows);
}

QString streamJson(const Target &target, const streamstats::Summary &summary)
{
    const Json root = cameraObject(target);
    add(root.get(), QStringLiteral("seconds"), cJSON_CreateNumber(summary.seconds));
    add(root.get(), QStringLiteral("delivered"), cJSON_CreateNumber(double(summary.delivered)));
    add(root.get(), QStringLiteral("dropped"), cJSON_CreateNumber(double(summary.dropped)));
    cJSON *fps = cJSON_CreateObject();
    add(fps, QStringLiteral("min"), cJSON_CreateNumber(summary.fpsMin));
    add(fps, QStringLiteral("mean"), cJSON_CreateNumber(std::round(summary.fpsMean * 100) / 100));
    add(fps, QStringLiteral("max"), cJSON_CreateNumber(summary.fpsMax));
    add(root.get(), QStringLiteral("fps"), fps);
    add(root.get(), QStringLiteral("longest_gap_ms"),
        cJSON_CreateNumber(streamstats::gapMs(summary.longestGapNs)));
    add(root.get(), QStringLiteral("pass"), cJSON_CreateBool(summary.pass));
    return line(root);
}

QString diffText(const ParamDiff &diff)
{
    QVector<QStringList> rows { { QStringLiteral("PARAMETER"), QStringLiteral("FILE"),
        QStringLiteral("CAMERA"), QStringLiteral("RESULT") } };
    int differ = 0;
    for (const ParamDiff::Row &row : diff.compared) {
        rows << QStringList { row.key, row.fileValue, row.cameraValue,
            row.equal ? QStringLiteral("equal") : QStringLiteral("differs") };
        differ += row.equal ? 0 : 1;
    }
    for (const ParamDiff::Row &row : diff.notChecked)
        rows << QStringList { row.key, row.fileValue, QStringLiteral("-"),
            QStringLiteral("not checked: not in the report") };
    return table(rows)
        + QStringLiteral("%1 compared: %2 equal, %3 different; %4 not checked\n")
              .arg(diff.compared.size())
              .arg(diff.compared.size() - differ)
              .arg(differ)
              .arg(diff.notChecked.size());
}

QString diffJson(const Target &target, const QString &file, const ParamDiff &diff)
{
    const Json root = cameraObject(target);
    add(root.get(), QStringLiteral("file"), string(file));
    cJSON *parameters = cJSON_CreateArray();
    for (const ParamDiff::Row &row : diff.compared) {
        cJSON *item = cJSON_CreateObject();
        add(item, QStringLiteral("name"), string(row.key));
        add(item, QStringLiteral("file"), string(row.fileValue));
        const bool asJson
            = row.cameraKind == ParamDiff::Row::Kind::Number || row.cameraKind == ParamDiff::Row::Kind::Other;
        add(item, QStringLiteral("camera"), asJson ? raw(row.cameraValue) : string(row.cameraValue));
        add(item, QStringLiteral("equal"), cJSON_CreateBool(row.equal));
        cJSON_AddItemToArray(parameters, item);
    }
    add(root.get(), QStringLiteral("parameters"), parameters);
    cJSON *notChecked = cJSON_CreateArray();
    for (const ParamDiff::Row &row : diff.notChecked)
        cJSON_AddItemToArray(notChecked, string(row.key));
    add(root.get(), QStringLiteral("not_checked"), notChecked);
    add(root.get(), QStringLiteral("equal"), cJSON_CreateBool(diff.allEqual()));
    return line(root);
}

} // namespace ctl
