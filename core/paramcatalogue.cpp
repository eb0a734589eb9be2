#include "core/paramcatalogue.h"

#include <array>

namespace paramcat {

namespace {

    constexpr quint8 kWrite = 0xC2;
    constexpr quint8 kControl = 0xC3;

    // A decimal row: `prefix` fixed bytes, the converted value's low `width` bytes
    // (low byte first), then `suffix` fixed bytes.
    struct DecimalRow {
        int row;
        quint16 id;
        const char *prefix;
        int prefixSize;
        int width;
        const char *suffix;
        int suffixSize;
    };

    constexpr std::array<DecimalRow, 23> kDecimalRows = { {
        { 2, 0xA00B, "", 0, 2, "", 0 },
        { 3, 0xA00C, "\x0B\x00", 2, 1, "", 0 },
        { 4, 0xA00D, "", 0, 2, "", 0 },
        { 5, 0xA00E, "", 0, 2, "", 0 },
        { 6, 0xA00F, "", 0, 2, "", 0 },
        { 7, 0xA002, "", 0, 4, "\x01\x00", 2 },
        { 8, 0xA003, "", 0, 1, "", 0 },
        { 9, 0xA004, "", 0, 2, "\x02\x00", 2 },
        { 10, 0xA005, "", 0, 2, "\x05\x00", 2 },
        { 11, 0xA006, "", 0, 2, "\x04\x00", 2 },
        { 12, 0xA007, "", 0, 2, "\x03\x00", 2 },
        { 13, 0xA008, "", 0, 2, "\x06\x00", 2 },
        { 14, 0xA009, "", 0, 2, "\x07\x00", 2 },
        { 15, 0xA010, "", 0, 2, "\x09\x00", 2 },
        { 16, 0xA011, "", 0, 2, "\x0A\x00", 2 },
        { 17, 0xA012, "", 0, 1, "", 0 },
        { 18, 0xA013, "", 0, 1, "", 0 },
        { 19, 0xA014, "", 0, 1, "", 0 },
        { 20, 0xA015, "", 0, 1, "", 0 },
        { 21, 0xA016, "", 0, 1, "", 0 },
        { 22, 0xA001, "\x01\x00\x02\x00", 4, 1, "", 0 },
        { 28, 0xA020, "", 0, 2, "", 0 },
        { 29, 0xA021, "", 0, 2, "", 0 },
    } };

    const DecimalRow *decimalRowByRow(int row)
    {
        for (const DecimalRow &r : kDecimalRows) {
            if (r.row == row)
                return &r;
        }
        return nullptr;
    }

    const DecimalRow *decimalRowById(quint16 id)
    {
        for (const DecimalRow &r : kDecimalRows) {
            if (r.id == id)
                return &r;
        }
        return nullptr;
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
        QByteArray buffer = littleEndian(address, 2);
        buffer.append("\xFE\xFF", 2);
        return command(kWrite, 0xA019, buffer, log);
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
        return command(kWrite, 0xA01A, buffer, log);
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
        return command(kControl, quint16(0xA01B + (row - 25)), buffer, log);
    }

} // namespace

QStringList rowLabels()
{
    static const char *const kLabels[kRowCount] = {
        "相机Ip设置",
        "相机名称设置",
        "锐化阈值设置",
        "锐化强度设置",
        "R色黑电平校正",
        "Gb色黑电平校正",
        "Gr色黑电平校正",
        "曝光时间",
        "曝光使能",
        "亮度调节",
        "红色增益",
        "蓝色增益",
        "绿红增益",
        "绿蓝增益",
        "全局增益",
        "上下颠倒图像",
        "左右颠倒图像",
        "Sobel调试1",
        "Sobel调试2",
        "Sobel阈值",
        "Sobel核",
        "Sobel使能",
        "帧率",
        "打印CMOS值",
        "设置CMOS值",
        "流VDMA",
        "抓图VDMA",
        "CMOS开关",
        "B色黑电平校正",
        "滤波阈值设置",
    };
    QStringList out;
    for (const char *label : kLabels)
        out << QString::fromUtf8(label);
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

    const DecimalRow *r = decimalRowByRow(row);
    if (!r)
        return {};
    if (row == kRowFrameRate)
        log << QStringLiteral("index = 帧率");
    const quint32 value = quint32(text.toInt(nullptr, 10));
    QByteArray buffer(r->prefix, r->prefixSize);
    buffer.append(littleEndian(value, r->width));
    buffer.append(r->suffix, r->suffixSize);
    if (row == 3)
        log << QStringLiteral("buffc>>>>") + QString::number(value & 0xFF);
    return command(kWrite, r->id, buffer, log);
}

CommandTriple parameterQuery()
{
    return { kControl, 0xB101, QByteArray() };
}

CommandTriple frameRateAction(quint8 framesPerSecond)
{
    QByteArray buffer(4, '\0');
    buffer.append(char(framesPerSecond));
    return { kWrite, 0xA001, buffer };
}

CommandTriple sensorSelect(int comboIndex, QString *logLine)
{
    const bool master = comboIndex == 1;
    if (logLine)
        *logLine = master ? QStringLiteral("1F!!!!!!") : QStringLiteral("1E!!!!!!");
    return { kControl, quint16(master ? 0xA01F : 0xA01E), QByteArray() };
}

CommandTriple burnInSwitch(int boxIndex)
{
    return { kControl, 0xA022, QByteArray(1, boxIndex == 0 ? '\x00' : '\x01') };
}

std::optional<quint32> decodeValue(quint16 id, const QByteArray &buffer)
{
    const auto byte = [&buffer](int i) { return quint32(quint8(buffer.at(i))); };
    if (const DecimalRow *r = decimalRowById(id)) {
        if (buffer.size() < r->prefixSize + r->width)
            return std::nullopt;
        quint32 value = 0;
        for (int i = r->width - 1; i >= 0; --i)
            value = (value << 8) | byte(r->prefixSize + i);
        return value;
    }
    switch (id) {
    case 0xA019: // a0 a1 FE FF
        if (buffer.size() < 2)
            return std::nullopt;
        return byte(0) | (byte(1) << 8);
    case 0xA01A: // q1 q0 p1 p0
        if (buffer.size() < 4)
            return std::nullopt;
        return (byte(2) << 24) | (byte(3) << 16) | (byte(0) << 8) | byte(1);
    case 0xA01B:
    case 0xA01C:
    case 0xA01D:
    case 0xA022:
        if (buffer.isEmpty())
            return std::nullopt;
        return byte(0);
    case 0xA01E:
    case 0xA01F:
        return 1;
    default:
        return std::nullopt;
    }
}

} // namespace paramcat
