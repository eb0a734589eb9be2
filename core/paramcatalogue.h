// The parameter command catalogue: which command code, 16-bit parameter id and
// value buffer each row of the property table and each other parameter control
// sends to the camera. Pure code: text in, bytes out.
//
// Multi-byte values travel low byte first, except row 24 (high byte first).
// Decimal rows read their text with QString::toInt(base 10): text that is not a
// 32-bit decimal integer becomes 0 without a message, and only the buffer's
// bytes of the value travel (300 in an 8-bit row sends 0x2C).
#ifndef TAVIX_PARAMCATALOGUE_H
#define TAVIX_PARAMCATALOGUE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace paramcat {

constexpr int kRowCount = 30;
constexpr int kRowIp = 0;
constexpr int kRowName = 1;
constexpr int kRowFrameRate = 22;
constexpr int kRowPrintRegister = 23;
constexpr int kRowSetRegister = 24;

// A command for `pack`: command code, parameter id and value buffer.
struct CommandTriple {
    quint8 cmd = 0;
    quint16 id = 0;
    QByteArray buffer;
};

// A value warning shown to the operator: a warning box without parent window,
// buttons Yes and No with Yes as default, answer ignored. The texts are the
// untranslated sources; the window shows them through tr() ("MainWindow").
struct Warning {
    const char *title = "";
    const char *text = "";
};

// What a row's Set button does with the text of its value cell.
struct RowEncoding {
    enum class Kind {
        Command, // send `command`
        Rejected, // show `warning`, send nothing
        SetCameraIp, // hand `text` to the worker's setCameraIp (row 0)
        SetCameraName, // hand `text` to the worker's setCameraName (row 1)
        NoRow, // the row is outside 0..29: nothing happens
    };
    Kind kind = Kind::NoRow;
    CommandTriple command;
    Warning warning;
    QString text;
    QStringList logLines; // the row's own debug lines, in order
};

// The thirty row labels of the property table (column 0), top to bottom.
QStringList rowLabels();

// Whether the row keeps a remembered value of its last accepted text (rows 2 to 24).
bool rowIsRemembered(int row);

// Turns the text of row `row`'s value cell into what its Set button does:
// an empty text is rejected ("The Value is NULL!"), rows 0 and 1 go to the worker,
// rows 25 to 27 accept only "0" or "1" ("The Value only is 0/1!"), row 23 accepts
// at most 8 UTF-8 bytes, every other row always gives its command.
RowEncoding encodeRow(int row, const QString &text);

// The parameter query sent when the parameter view is set up: 0xC3, 0xB101, no buffer.
CommandTriple parameterQuery();

// The frame-rate menu actions (30 or 60 frames per second): 0xC2, 0xA001,
// buffer 00 00 00 00 followed by the rate as one byte.
CommandTriple frameRateAction(quint8 framesPerSecond);

// The SC4210 selector's Set button: combo index 1 ("4210master") sends 0xA01F,
// any other index ("4210slave") 0xA01E; code 0xC3, no buffer. `logLine` receives
// "1F!!!!!!" or "1E!!!!!!", written after sending.
CommandTriple sensorSelect(int comboIndex, QString *logLine = nullptr);

// The burn-in test switch's Set button: 0xC3, 0xA022, buffer 00 for box index 0
// ("false"), 01 for any other index ("true").
CommandTriple burnInSwitch(int boxIndex);

// The camera side: the value a parameter write or switch carries, read back from
// its value buffer by the layout of its id (0xA01A gives p << 16 | q: the text
// "12345678" comes back as 0x12345678; 0xA01E and 0xA01F give 1). Unknown ids and
// buffers too short for their layout give nothing.
std::optional<quint32> decodeValue(quint16 id, const QByteArray &buffer);

} // namespace paramcat

#endif
