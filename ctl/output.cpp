#include "ctl/output.h"

#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "ctl/paramnames.h"

#include <cjson/cJSON.h>

#include <memory>

namespace ctl {

namespace {

    struct JsonDeleter {
        void operator()(cJSON *item) const { cJSON_Delete(item); }
    };
    struct TextDeleter {
        void operator()(char *text) const { cJSON_free(text); }
    };

    QByteArray printed(const cJSON *item)
    {
        const std::unique_ptr<char, TextDeleter> text(cJSON_PrintUnformatted(item));
        return text ? QByteArray(text.get()) : QByteArrayLiteral("null");
    }

    QString padded(const QString &text, int width)
    {
        return text.leftJustified(width, QLatin1Char(' '));
    }

    // A known value as text or as JSON.
    QString knownText(const Report::Known &known, bool json)
    {
        switch (known.state) {
        case Report::Known::State::Number:
            return known.number;
        case Report::Known::State::OutOfRange:
            return json ? jsonString(QLatin1String(kOutOfRange)) : QLatin1String(kOutOfRange);
        case Report::Known::State::Missing:
            break;
        }
        return json ? QStringLiteral("null") : QStringLiteral("-");
    }

} // namespace

QString jsonString(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

std::optional<Report> parseReport(const QByteArray &payload)
{
    const std::unique_ptr<cJSON, JsonDeleter> root(
        cJSON_ParseWithLength(payload.constData(), size_t(payload.size())));
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
        const QByteArray json
            = outOfRange ? jsonString(QLatin1String(kOutOfRange)).toUtf8() : printed(member);
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
    QStringList items;
    for (const CameraEntry &camera : cameras)
        items << QStringLiteral("{\"name\":%1,\"ip\":%2,\"mac\":%3}")
                     .arg(jsonString(camera.name), jsonString(camera.ip), jsonString(camera.mac));
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QStringLiteral("]\n");
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
        out += padded(known.name, width) + QStringLiteral("  ") + knownText(known, false) + QLatin1Char('\n');
    for (const Report::Member &member : report.others)
        out += padded(member.key, width) + QStringLiteral("  ") + member.text + QLatin1Char('\n');
    return out;
}

QString reportJson(const Target &target, const Report &report)
{
    QStringList known;
    for (const Report::Known &k : report.known)
        known << jsonString(k.name) + QLatin1Char(':') + knownText(k, true);
    QStringList others;
    for (const Report::Member &m : report.others)
        others << jsonString(m.key) + QLatin1Char(':') + QString::fromUtf8(m.json);
    return QStringLiteral("{\"camera\":%1,\"name\":%2,\"parameters\":{%3},\"other\":{%4}}\n")
        .arg(jsonString(target.ip), target.name.isEmpty() ? QStringLiteral("null") : jsonString(target.name),
            known.join(QLatin1Char(',')), others.join(QLatin1Char(',')));
}

} // namespace ctl
