#include "core/paramfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QSaveFile>

#include <cjson/cJSON.h>

#include <cerrno>
#include <cmath>
#include <memory>
#include <string_view>
#include <unordered_set>

namespace paramfile {

namespace {

    struct CJsonDeleter {
        void operator()(cJSON *item) const { cJSON_Delete(item); }
    };

    // True when an object somewhere in the tree names one member twice.
    bool repeatsAMember(const cJSON *item)
    {
        std::unordered_set<std::string_view> names;
        for (const cJSON *child = item->child; child; child = child->next) {
            if (cJSON_IsObject(item) && !names.insert(child->string ? child->string : "").second)
                return true;
            if (repeatsAMember(child))
                return true;
        }
        return false;
    }

    // A parameter set that names a member twice is ambiguous (this tool never writes
    // one), and Qt's reader leaks the array or object values it drops for a repeated
    // name, so such text is refused like other broken JSON before Qt reads it. Text
    // cJSON cannot read either (nested deeper than 1000, or an escaped lone
    // surrogate) is refused too, so the check covers everything Qt goes on to read.
    bool namesEveryMemberOnce(const QByteArray &bytes)
    {
        const std::unique_ptr<cJSON, CJsonDeleter> root(
            cJSON_ParseWithLength(bytes.constData(), size_t(bytes.size())));
        return root && !repeatsAMember(root.get());
    }

    // A JSON number of a parameter file as the text the table would hold.
    QString numberText(double value)
    {
        if (value == 0)
            return QStringLiteral("0"); // -0 too
        if (std::isfinite(value) && std::trunc(value) == value)
            return QString::number(value, 'f', 0);
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    }

} // namespace

QByteArray buildParameterFile(const RowValues &values)
{
    QJsonObject object;
    for (const FileKey &k : kKeys)
        object.insert(QLatin1String(k.key), values.value(k.row));
    // QJsonObject keeps its keys sorted, so the members come out in ascending key order.
    return QJsonDocument(QJsonArray { object }).toJson(QJsonDocument::Indented);
}

Message loadErrorMessage(LoadResult::Error error)
{
    switch (error) {
    case LoadResult::Error::OpenFailed:
        return kOpenError;
    case LoadResult::Error::NotRegular:
        return kNotRegularError;
    case LoadResult::Error::NotReadable:
        return kNotReadable;
    case LoadResult::Error::InvalidJson:
        return kJsonError;
    case LoadResult::Error::MemberKind:
        return kMemberKindError;
    case LoadResult::Error::None:
        break;
    }
    return { "", "" };
}

QString loadErrorText(const LoadResult &result)
{
    const QString text = QCoreApplication::translate("MainWindow", loadErrorMessage(result.error).text);
    if (result.error == LoadResult::Error::MemberKind)
        return text.arg(result.wrongMembers.join(QStringLiteral(", ")));
    if (result.error == LoadResult::Error::NotRegular)
        return text.arg(regularfile::kindText(result.kind));
    return text;
}

LoadResult parseParameterFile(const QByteArray &bytes)
{
    LoadResult out;
    if (!namesEveryMemberOnce(bytes)) {
        out.error = LoadResult::Error::InvalidJson;
        return out;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        out.error = LoadResult::Error::InvalidJson;
        return out;
    }
    QJsonObject object;
    if (doc.isObject())
        object = doc.object();
    else if (doc.isArray())
        object = doc.array().at(0).toObject(); // out of range or not an object: empty
    for (const FileKey &k : kKeys) {
        const QJsonValue value = object.value(QLatin1String(k.key));
        if (value.isString() || value.isUndefined())
            out.values.insert(k.row, value.toString());
        else if (value.isDouble())
            out.values.insert(k.row, numberText(value.toDouble()));
        else
            out.wrongMembers << QLatin1String(k.key);
    }
    if (!out.wrongMembers.isEmpty()) {
        out.error = LoadResult::Error::MemberKind;
        out.values.clear();
    }
    return out;
}

LoadResult loadParameterFile(const QString &path)
{
    QFile file;
    LoadResult out;
    regularfile::Kind kind = regularfile::Kind::Regular;
    if (!regularfile::openForReading(file, path, QIODevice::ReadOnly | QIODevice::Text, &kind)) {
        const bool other = kind != regularfile::Kind::Regular && kind != regularfile::Kind::Missing;
        out.error = other ? LoadResult::Error::NotRegular : LoadResult::Error::OpenFailed;
        out.kind = kind;
        return out;
    }
    if (!file.isReadable()) {
        out.error = LoadResult::Error::NotReadable;
        return out;
    }
    return parseParameterFile(file.readAll());
}

SaveResult saveParameterFile(const QString &path, const RowValues &values, QString *reason)
{
    const auto failed = [reason](SaveResult result, const QString &why) {
        if (reason)
            *reason = why;
        return result;
    };
    // A new file would take the place of a FIFO or a device node (of /dev/null
    // itself, for a user allowed to write there).
    const regularfile::Kind kind = regularfile::kindOf(path);
    if (kind != regularfile::Kind::Regular && kind != regularfile::Kind::Missing)
        return failed(SaveResult::OpenFailed,
            QStringLiteral("%1 is %2, not a regular file").arg(path, regularfile::kindText(kind)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(SaveResult::OpenFailed, file.errorString());
    const QByteArray bytes = buildParameterFile(values);
    // The bytes wait in Qt's buffer until a flush. commit() flushes too, but
    // (Qt 5.15) goes on to replace the old file when that flush wrote only
    // part of them, so the flush comes first, here. A short write leaves Qt
    // no reason to give ("Unknown error"); the system's is in errno.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = errno != 0 ? qt_error_string(errno) : file.errorString();
        file.cancelWriting();
        return failed(SaveResult::WriteFailed, why);
    }
    if (!file.commit())
        return failed(SaveResult::WriteFailed, file.errorString());
    return SaveResult::Written;
}

QString saveErrorText(const QString &reason)
{
    return QCoreApplication::translate("MainWindow", kSaveError.text).arg(reason);
}

} // namespace paramfile
