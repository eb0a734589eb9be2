#include "core/paramcatalogue.h"

#include "core/cameracode.h"

#include <QCoreApplication>

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

    // A decimal value is read into 32 bits and its range worked out in 64.
    constexpr bool decimalFieldsFit()
    {
        for (const Parameter &p : kParameters) {
            if (p.encoding == Encoding::Decimal && (p.width < 1 || p.width > 4))
                return false;
        }
        return true;
    }
    static_assert(decimalFieldsFit(), "a decimal field holds 1 to 4 bytes");

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

    Warning valueWarning(const char *text, QStringList arguments = {})
    {
        return { QT_TRANSLATE_NOOP("MainWindow", "warning"), text, std::move(arguments) };
    }

    RowEncoding rejected(const char *text, QStringList logLines, QStringList arguments = {})
    {
        RowEncoding out;
        out.kind = RowEncoding::Kind::Rejected;
        out.warning = valueWarning(text, std::move(arguments));
        out.logLines = std::move(logLines);
        return out;
    }

    const char *const kHexDigitsOnly
        = QT_TRANSLATE_NOOP("MainWindow", "The Value only is hexadecimal digits (0-9, A-F)!");

    bool isAsciiDigit(QChar c)
    {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }

    bool isHexDigits(const QString &text)
    {
        for (const QChar c : text) {
            const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
            if (!isAsciiDigit(c) && !letter)
                return false;
        }
        return !text.isEmpty();
    }

    // The smallest and the largest value a decimal row's field carries.
    struct Range {
        qint64 min;
        qint64 max;
    };
    Range valueRange(const Parameter &p)
    {
        const int bits = 8 * p.width;
        if (p.valueSigned)
            return { -(qint64(1) << (bits - 1)), (qint64(1) << (bits - 1)) - 1 };
        return { 0, (qint64(1) << bits) - 1 };
    }

    // ASCII digits with a '-' in front only where `range` has negative values;
    // nothing else, and only a value within `range`.
    std::optional<qint64> decimalValue(const QString &text, Range range)
    {
        const bool negative = text.startsWith(QLatin1Char('-')) && range.min < 0;
        const int first = negative ? 1 : 0;
        if (text.size() <= first)
            return std::nullopt;
        const qint64 limit = negative ? -range.min : range.max;
        qint64 magnitude = 0;
        for (int i = first; i < text.size(); ++i) {
            if (!isAsciiDigit(text.at(i)))
                return std::nullopt;
            magnitude = magnitude * 10 + (text.at(i).unicode() - '0');
            if (magnitude > limit) // leading zeros never get here
                return std::nullopt;
        }
        return negative ? -magnitude : magnitude;
    }

    QString codePointText(uint codePoint)
    {
        return QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
    }

    // Row 1: the worker hands the SDK the name's Latin-1 bytes, at most 63 of
    // them: a character Latin-1 lacks would arrive as '?', a control character
    // as a byte no camera shows, and the end of a longer name would be lost.
    RowEncoding checkCameraName(const QString &text)
    {
        for (int i = 0; i < text.size(); ++i) {
            uint code = text.at(i).unicode();
            int units = 1;
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                units = 2;
            }
            if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
                return rejected(
                    QT_TRANSLATE_NOOP("MainWindow", "The Name cannot hold the control character %1!"), {},
                    { codePointText(code) });
            if (code > 0xFF) {
                const bool printable = !QChar::isSurrogate(code) && QChar::isPrint(code);
                const QString named = printable
                    ? QStringLiteral("\"%1\" (%2)").arg(text.mid(i, units), codePointText(code))
                    : codePointText(code);
                return rejected(QT_TRANSLATE_NOOP("MainWindow",
                                    "The Name cannot hold %1: the camera takes Latin-1 characters only!"),
                    {}, { named });
            }
            i += units - 1;
        }
        if (text.size() > kCameraTextLimit)
            return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Name is longer than %1 bytes!"), {},
                { QString::number(kCameraTextLimit) });
        RowEncoding out;
        out.kind = RowEncoding::Kind::SetCameraName;
        out.text = text;
        return out;
    }

    // Row 0: a camera's new address, as strict dotted decimal.
    RowEncoding checkCameraIp(const QString &text)
    {
        const char *const notAnAddress = QT_TRANSLATE_NOOP("MainWindow",
            "The IP is not a dotted IPv4 address (four numbers from 0 to 255, such as 192.168.1.10)!");
        for (const QChar c : text) {
            if (!isAsciiDigit(c) && c != QLatin1Char('.'))
                return rejected(notAnAddress, {});
        }
        const QByteArray bytes = text.toLatin1();
        const std::optional<quint32> address = parseDottedIpv4(bytes.constData(), std::size_t(bytes.size()));
        if (!address) {
            // Four numbers that would do without their leading zeros: say so.
            if (addressWithLeadingZeros(text)) {
                QString padded;
                for (const QString &part : text.split(QLatin1Char('.'))) {
                    if (part.size() > 1 && part.startsWith(QLatin1Char('0'))) {
                        padded = part;
                        break;
                    }
                }
                return rejected(QT_TRANSLATE_NOOP("MainWindow",
                                    "The IP has a number with a leading zero (%1): write it without, as in "
                                    "192.168.1.10!"),
                    {}, { padded });
            }
            return rejected(notAnAddress, {});
        }
        switch (cameraAddressFault(*address)) {
        case AddressFault::None:
            break;
        case AddressFault::ThisNetwork:
            return rejected(
                QT_TRANSLATE_NOOP("MainWindow", "The IP %1 names no host: it cannot be a camera's address!"),
                {}, { text });
        case AddressFault::Broadcast:
            return rejected(QT_TRANSLATE_NOOP("MainWindow",
                                "The IP 255.255.255.255 is the broadcast address: it cannot be a camera's "
                                "address!"),
                {});
        case AddressFault::Multicast:
            return rejected(QT_TRANSLATE_NOOP("MainWindow",
                                "The IP %1 is a multicast address: it cannot be a camera's address!"),
                {}, { text });
        case AddressFault::Reserved:
            return rejected(
                QT_TRANSLATE_NOOP("MainWindow", "The IP %1 is reserved: it cannot be a camera's address!"),
                {}, { text });
        }
        RowEncoding out;
        out.kind = RowEncoding::Kind::SetCameraIp;
        out.text = text;
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

    // Row 23: up to eight hexadecimal digits (0-9, A-F, a-f) read into a 16-bit
    // sensor register address; the leading digits of a longer number wrap away.
    RowEncoding encodePrintRegister(const QString &text)
    {
        const QByteArray bytes = text.toUtf8();
        QStringList log;
        log << hexBytes(bytes) + QStringLiteral(" len: ") + QString::number(bytes.size());
        if (bytes.size() > 8)
            return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Value is longer than 8 bytes!"), log);
        if (!isHexDigits(text))
            return rejected(kHexDigitsOnly, log);
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
    // sent q high, q low, p high, p low. Every character must be a hexadecimal
    // digit (Qt's conversion alone would take blanks, a sign and "0x").
    RowEncoding encodeSetRegister(const QString &text)
    {
        const QString first = text.left(4);
        const QString last = text.right(4);
        QStringList log;
        log << QStringLiteral("n1") + first << QStringLiteral("n2") + last;
        if (!isHexDigits(text))
            return rejected(kHexDigitsOnly, log);
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

QString Warning::shownTitle() const
{
    return QCoreApplication::translate("MainWindow", title);
}

QString Warning::shownText() const
{
    // All arguments in one call, so that a "%1" inside an argument stays as it is.
    const QString source = QCoreApplication::translate("MainWindow", text);
    const QStringList &a = arguments;
    switch (a.size()) {
    case 0:
        return source;
    case 1:
        return source.arg(a.at(0));
    case 2:
        return source.arg(a.at(0), a.at(1));
    default:
        return source.arg(a.at(0), a.at(1), a.at(2));
    }
}

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

    if (row == kRowIp)
        return checkCameraIp(text);
    if (row == kRowName)
        return checkCameraName(text);
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
    const Range range = valueRange(*p);
    const std::optional<qint64> parsed = decimalValue(text, range);
    if (!parsed)
        return rejected(QT_TRANSLATE_NOOP("MainWindow", "The Value only is a decimal number from %1 to %2!"),
            log, { QString::number(range.min), QString::number(range.max) });
    const quint32 value = quint32(*parsed); // two's complement for a negative value
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
