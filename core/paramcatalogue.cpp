#include "core/paramcatalogue.h"

#include <array>

namespace paramcat {

namespace {

    // Table rows 0 to 29 come first, in order: row r is kParameters[r].
    constexpr bool rowsInOrder()
    {
        for (int r = 0; r < kRowCount; ++r) {
            if (kParameters[r].row != r || !kParameters[r].label)
                return false;
        }
        return true;
    }
    static_assert(rowsInOrder(), "the catalogue starts with the table rows in order");

    QByteArray fromView(std::string_view view)
    {
        return QByteArray(view.data(), int(view.size()));
    }

    QByteArray littleEndian(quint32 value, int width)
    {
        QByteArray out;
        for (int i = 0; i < width; ++i)
            out.append(char((value >> (8 * i)) & 0xFF));
        return out;
    }

    QString hexBytes(const QByteArray &bytes)
    {
        return QString::fromLatin1(bytes.toHex());
    }

    Warning valueWarning(const char *text)
    {
        return { QT_TRANSLATE_NOOP("MainWindow", "warning"), text };
    }

    RowEncoding rejected(const char *text, QStringList logLines)
    {
        RowEncoding out;
        out.kind = RowEncoding::Kind::Rejected;
        out.warning = valueWarning(text);
        out.logLines = std::move(logLines);
        return out;
    }

    RowEncoding command(quint8 cmd, quint16 id, QByteArray buffer, QStringList logLines)
    {
        RowEncoding out;
        out.kind = RowEncoding::Kind::Command;
        out.command = { cmd, id, std::move(buffer) };
        out.logLines = std::move(logLines);
        return out;
    }

    // Row 23: up to eight characters read as hexadecimal digits into a 16-bit
    // sensor register address. Characters outside 0-9, A-F, a-f are not refused;
    // they give the digit their byte value yields.
    RowEncoding encodePrintRegister(const QString &text)
    {
        const QByteArray bytes = text.toUtf8();
        QStringList log;
        log << hexBytes(bytes) + QStringLiteral(" len: ") + QString::number(bytes.size());
        if (bytes.size() > 8)
            return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Value is longer than 8 bytes!"), log);
        log << QStringLiteral("str lengh = ") + QString::number(bytes.size());
        quint16 address = 0;
        for (int i = 0; i < bytes.size(); ++i) {
            const quint8 b = quint8(bytes.at(i));
            quint8 digit;
            if (b <= 0x39)
                digit = quint8(b - 0x30);
            else if (b <= 0x5A)
                digit = quint8(b - 0x37);
            else
                digit = quint8(b - 0x57);
            log << QStringLiteral("str.mid(%1,1).toInt() = %2").arg(i).arg(digit);
            log << QStringLiteral("pa[%1] = %2").arg(i).arg(digit);
            address = quint16(address * 16 + digit);
        }
        log << QStringLiteral("ax:=") + QString::number(address);
        const Parameter &p = *parameterByRow(kRowPrintRegister);
        QByteArray buffer = fromView(p.prefix) + littleEndian(address, p.width) + fromView(p.suffix);
        return command(p.code, p.id, buffer, log);
    }

    // Row 24: p from the first four characters, q from the last four, both base 16;
    // sent q high, q low, p high, p low.
    RowEncoding encodeSetRegister(const QString &text)
    {
        const QString first = text.left(4);
        const QString last = text.right(4);
        QStringList log;
        log << QStringLiteral("n1") + first << QStringLiteral("n2") + last;
        const quint16 p = quint16(first.toInt(nullptr, 16));
        const quint16 q = quint16(last.toInt(nullptr, 16));
        QByteArray buffer;
        buffer.append(char(q >> 8));
        buffer.append(char(q & 0xFF));
        buffer.append(char(p >> 8));
        buffer.append(char(p & 0xFF));
        const Parameter &entry = *parameterByRow(kRowSetRegister);
        return command(entry.code, entry.id, buffer, log);
    }

    // Rows 25 to 27: a switch byte, only for the texts "0" and "1".
    RowEncoding encodeSwitch(int row, const QString &text)
    {
        static const char *const kNames[] = { "流VMDA", "抓图VMDA", "CMOS开关" };
        const QString name = QString::fromUtf8(kNames[row - 25]);
        QStringList log;
        if (row != 25)
            log << name;
        if (text != QLatin1String("0") && text != QLatin1String("1"))
            return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Value only is 0/1!"), log);
        const QByteArray buffer(1, text == QLatin1String("1") ? '\x01' : '\x00');
        log << name + QLatin1Char(':') + hexBytes(buffer);
        const Parameter &p = *parameterByRow(row);
        return command(p.code, p.id, buffer, log);
    }

} // namespace

QStringList rowLabels()
{
    QStringList out;
    for (int row = 0; row < kRowCount; ++row)
        out << QString::fromUtf8(kParameters[row].label);
    return out;
}

bool rowIsRemembered(int row)
{
    return row >= 2 && row <= 24;
}

RowEncoding encodeRow(int row, const QString &text)
{
    if (row < 0 || row >= kRowCount)
        return {};
    QStringList log;
    if (row == 2 || row == 3)
        log << QStringLiteral("now index=%1 %2").arg(row).arg(text);
    if (text.isEmpty())
        return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Value is NULL!"), log);

    if (row == kRowIp || row == kRowName) {
        RowEncoding out;
        out.kind = row == kRowIp ? RowEncoding::Kind::SetCameraIp : RowEncoding::Kind::SetCameraName;
        out.text = text;
        return out;
    }
    if (row == kRowPrintRegister)
        return encodePrintRegister(text);
    if (row == kRowSetRegister)
        return encodeSetRegister(text);
    if (row >= 25 && row <= 27)
        return encodeSwitch(row, text);

    const Parameter *p = parameterByRow(row);
    if (!p || p->encoding != Encoding::Decimal)
        return {};
    if (row == kRowFrameRate)
        log << QStringLiteral("index = 帧率");
    const quint32 value = quint32(text.toInt(nullptr, 10));
    const QByteArray buffer = fromView(p->prefix) + littleEndian(value, p->width) + fromView(p->suffix);
    if (row == 3)
        log << QStringLiteral("buffc>>>>") + QString::number(value & 0xFF);
    return command(p->code, p->id, buffer, log);
}

CommandTriple parameterQuery()
{
    return { kCodeControl, kIdParameterQuery, QByteArray() };
}

CommandTriple frameRateAction(quint8 framesPerSecond)
{
    QByteArray buffer(4, '\0');
    buffer.append(char(framesPerSecond));
    return { kCodeWrite, kIdFrameRate, buffer };
}

CommandTriple sensorSelect(int comboIndex, QString *logLine)
{
    const bool master = comboIndex == 1;
    if (logLine)
        *logLine = master ? QStringLiteral("1F!!!!!!") : QStringLiteral("1E!!!!!!");
    return { kCodeControl, master ? kIdSensorMaster : kIdSensorSlave, QByteArray() };
}

CommandTriple burnInSwitch(int boxIndex)
{
    return { kCodeControl, kIdBurnIn, QByteArray(1, boxIndex == 0 ? '\x00' : '\x01') };
}

std::optional<quint32> decodeValue(quint16 id, const QByteArray &buffer)
{
    const Parameter *p = parameterById(id);
    if (!p)
        return std::nullopt;
    const auto byte = [&buffer](int i) { return quint32(quint8(buffer.at(i))); };
    const int at = int(p->prefix.size());
    switch (p->encoding) {
    case Encoding::Decimal:
    case Encoding::HexAddress: {
        if (buffer.size() < at + p->width)
            return std::nullopt;
        quint32 value = 0;
        for (int i = p->width - 1; i >= 0; --i)
            value = (value << 8) | byte(at + i);
        return value;
    }
    case Encoding::RegisterPair: // q1 q0 p1 p0
        if (buffer.size() < 4)
            return std::nullopt;
        return (byte(2) << 24) | (byte(3) << 16) | (byte(0) << 8) | byte(1);
    case Encoding::Switch:
        if (buffer.isEmpty())
            return std::nullopt;
        return byte(0);
    case Encoding::Select:
        return 1;
    case Encoding::WorkerText:
    case Encoding::Query:
        break;
    }
    return std::nullopt;
}

} // namespace paramcat
