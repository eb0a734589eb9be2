#include "ctl/paramdiff.h"

#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "ctl/cjsonptr.h"

#include <QMap>
#include <QRegularExpression>

#include <cmath>

namespace ctl {

namespace {

    std::optional<double> number(const QString &text)
    {
        static const QRegularExpression form(QStringLiteral("\\A-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?\\z"));
        if (!form.match(text).hasMatch())
            return std::nullopt;
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    // The parameter a report key names by its id ("A002_..."), or null.
    const paramcat::Parameter *parameterOfKey(const char *key)
    {
        static const QRegularExpression form(QStringLiteral("\\A[0-9A-F]{4}_"));
        const QString text = QString::fromUtf8(key ? key : "");
        if (!form.match(text).hasMatch())
            return nullptr;
        return paramcat::parameterById(quint16(text.left(4).toUInt(nullptr, 16)));
    }

    ParamDiff::Row cameraValue(const cJSON *member)
    {
        ParamDiff::Row row;
        if (cJSON_IsNumber(member)) {
            const std::optional<QString> text = cmdproto::reportNumberText(member->valuedouble);
            row.cameraKind = text ? ParamDiff::Row::Kind::Number : ParamDiff::Row::Kind::OutOfRange;
            row.cameraValue = text.value_or(QStringLiteral("out of range"));
        } else if (cJSON_IsString(member)) {
            row.cameraKind = ParamDiff::Row::Kind::Text;
            row.cameraValue = QString::fromUtf8(member->valuestring);
        } else {
            const JsonText json(cJSON_PrintUnformatted(member));
            row.cameraKind = ParamDiff::Row::Kind::Other;
            row.cameraValue = QString::fromUtf8(json ? json.get() : "null");
        }
        return row;
    }

} // namespace

bool ParamDiff::allEqual() const
{
    for (const Row &row : compared) {
        if (!row.equal)
            return false;
    }
    return !compared.isEmpty();
}

bool sameValue(const QString &fileText, const QString &cameraText)
{
    const std::optional<double> a = number(fileText);
    const std::optional<double> b = number(cameraText);
    if (a && b)
        return *a == *b;
    return fileText == cameraText;
}

std::optional<ParamDiff> diffParameters(const paramfile::RowValues &file, const QByteArray &report)
{
    const Json root(cJSON_ParseWithLength(report.constData(), size_t(report.size())));
    if (!root || !cJSON_IsObject(root.get()))
        return std::nullopt;
    QMap<int, const cJSON *> byRow; // the report's member for a table row; later members win
    for (const cJSON *member = root->child; member; member = member->next) {
        if (const paramcat::Parameter *parameter = parameterOfKey(member->string))
            byRow.insert(parameter->row, member);
    }
    ParamDiff diff;
    for (const paramfile::FileKey &key : paramfile::kKeys) {
        const QString value = file.value(key.row);
        if (value.isEmpty())
            continue;
        ParamDiff::Row row;
        if (!byRow.contains(key.row)) {
            row.key = QLatin1String(key.key);
            row.fileValue = value;
            diff.notChecked << row;
            continue;
        }
        row = cameraValue(byRow.value(key.row));
        row.key = QLatin1String(key.key);
        row.fileValue = value;
        row.equal = row.cameraKind != ParamDiff::Row::Kind::OutOfRange
            && row.cameraKind != ParamDiff::Row::Kind::Other && sameValue(value, row.cameraValue);
        diff.compared << row;
    }
    return diff;
}

} // namespace ctl
