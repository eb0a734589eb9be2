// The parameter command catalogue: which command code, 16-bit parameter id and
// value buffer each row of the property table and each other parameter control
// sends to the camera. Pure code: text in, bytes out.
//
// One table, kParameters, holds every parameter; the functions below read it.
// Multi-byte values travel low byte first, except row 24 (high byte first).
// A decimal row takes ASCII digits only, with a leading '-' only where the
// row's value is signed, and only a value that fits its field: 0 to 2^(8w)-1
// for w unsigned bytes, -2^(8w-1) to 2^(8w-1)-1 for a signed one. Anything
// else (blanks, '+', exponents, full-width digits, too many digits) is refused
// with a text saying the row's range, and nothing is sent.
#ifndef TAVIX_PARAMCATALOGUE_H
#define TAVIX_PARAMCATALOGUE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <string_view>

namespace paramcat {

// Command codes.
constexpr quint8 kCodeWrite = 0xC2; // parameter write, carries a value
constexpr quint8 kCodeControl = 0xC3; // switches, sensor mode, burn-in, parameter query

// Parameter ids. The camera knows nothing under 0xA00A, 0xA017 and 0xA018.
constexpr quint16 kIdFrameRate = 0xA001;
constexpr quint16 kIdExposureTime = 0xA002;
constexpr quint16 kIdExposureEnable = 0xA003;
constexpr quint16 kIdBrightness = 0xA004;
constexpr quint16 kIdGainRed = 0xA005;
constexpr quint16 kIdGainBlue = 0xA006;
constexpr quint16 kIdGainGreenRed = 0xA007;
constexpr quint16 kIdGainGreenBlue = 0xA008;
constexpr quint16 kIdGainGlobal = 0xA009;
constexpr quint16 kIdSharpenThreshold = 0xA00B;
constexpr quint16 kIdSharpenStrength = 0xA00C;
constexpr quint16 kIdBlackLevelR = 0xA00D;
constexpr quint16 kIdBlackLevelGb = 0xA00E;
constexpr quint16 kIdBlackLevelGr = 0xA00F;
constexpr quint16 kIdFlipVertical = 0xA010;
constexpr quint16 kIdFlipHorizontal = 0xA011;
constexpr quint16 kIdSobelDebug1 = 0xA012;
constexpr quint16 kIdSobelDebug2 = 0xA013;
constexpr quint16 kIdSobelThreshold = 0xA014;
constexpr quint16 kIdSobelKernel = 0xA015;
constexpr quint16 kIdSobelEnable = 0xA016;
constexpr quint16 kIdPrintRegister = 0xA019;
constexpr quint16 kIdSetRegister = 0xA01A;
constexpr quint16 kIdStreamVdma = 0xA01B;
constexpr quint16 kIdCaptureVdma = 0xA01C;
constexpr quint16 kIdSensorSwitch = 0xA01D;
constexpr quint16 kIdSensorSlave = 0xA01E;
constexpr quint16 kIdSensorMaster = 0xA01F;
constexpr quint16 kIdBlackLevelB = 0xA020;
constexpr quint16 kIdFilterThreshold = 0xA021;
constexpr quint16 kIdBurnIn = 0xA022;
constexpr quint16 kIdParameterQuery = 0xB101; // answered by the parameter report
constexpr quint16 kIdBroadcast = 0xB006; // requests with this id go to 255.255.255.255

constexpr int kRowCount = 30;
constexpr int kRowIp = 0;
constexpr int kRowName = 1;
constexpr int kRowFrameRate = 22;
constexpr int kRowPrintRegister = 23;
constexpr int kRowSetRegister = 24;
constexpr int kNoRow = -1; // a parameter sent by another control than the table

// The SDK's text buffer for a new camera address or name holds 63 bytes and a NUL.
constexpr int kCameraTextLimit = 63;

// How a parameter's value travels.
enum class Encoding {
    WorkerText, // rows 0 and 1: the text goes to the acquisition worker, not over UDP
    Decimal, // `prefix`, the decimal value's low `width` bytes low byte first, `suffix`
    HexAddress, // row 23: up to 8 hexadecimal digits, a 16-bit address low byte first, `suffix`
    RegisterPair, // row 24: two 16-bit hexadecimal numbers, each high byte first (q1 q0 p1 p0)
    Switch, // one byte 00 or 01: the texts "0" and "1" of rows 25 to 27, the burn-in box
    Select, // no value: the id itself is the choice (sensor slave or master)
    Query, // no value: the parameter query
};

using namespace std::string_view_literals;

// One parameter of the camera: where it sits in the property table, how it
// travels, and under which names the parameter file, the camera's parameter
// report and the simulated camera's store know it (null where it has none).
struct Parameter {
    int row; // row of the property table, or kNoRow
    const char *label; // UTF-8 text of the row's name cell; null without row
    quint16 id; // 0 for the worker rows
    quint8 code; // 0 for the worker rows
    Encoding encoding;
    std::string_view prefix; // fixed bytes before the value
    int width; // bytes of the value
    bool valueSigned; // a Decimal value may be negative and travels as two's complement
    std::string_view suffix; // fixed bytes after the value
    const char *fileKey; // member of the parameter file (rows 2 to 21)
    const char *reportKey; // number member of the parameter report
    const char *storeName; // where a simulated camera keeps the value
    bool acknowledged; // a write acknowledgement with non-zero status is logged
};

// The catalogue, table rows 0 to 29 in order, then the other controls' parameters.
// clang-format off
inline constexpr Parameter kParameters[] = {
    { 0, "相机Ip设置", 0, 0, Encoding::WorkerText, ""sv, 0, false, ""sv, nullptr, nullptr, nullptr, false },
    { 1, "相机名称设置", 0, 0, Encoding::WorkerText, ""sv, 0, false, ""sv, nullptr, nullptr, nullptr, false },
    { 2, "锐化阈值设置", kIdSharpenThreshold, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, "SharpeningThreshold", "A00B_ruihua_fazhi", "sharpen_threshold", false },
    { 3, "锐化强度设置", kIdSharpenStrength, kCodeWrite, Encoding::Decimal, "\x0B\x00"sv, 1, false, ""sv, "SharpenAmount", "A00C_ruihua_qiangdu", "sharpen_strength", false },
    { 4, "R色黑电平校正", kIdBlackLevelR, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, "R-colorBlack", nullptr, "black_level_r", false },
    { 5, "Gb色黑电平校正", kIdBlackLevelGb, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, "B-colorBlack", nullptr, "black_level_gb", false },
    { 6, "Gr色黑电平校正", kIdBlackLevelGr, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, "G-colorBlack", nullptr, "black_level_gr", false },
    { 7, "曝光时间", kIdExposureTime, kCodeWrite, Encoding::Decimal, ""sv, 4, false, "\x01\x00"sv, "ExposureTime", "A002_baoguang_time", "exposure_time", true },
    { 8, "曝光使能", kIdExposureEnable, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "ExposureEnable", nullptr, "exposure_enable", true },
    { 9, "亮度调节", kIdBrightness, kCodeWrite, Encoding::Decimal, ""sv, 2, true, "\x02\x00"sv, "Brightness", nullptr, "brightness", true },
    { 10, "红色增益", kIdGainRed, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x05\x00"sv, "Red-Gain", nullptr, "gain_red", true },
    { 11, "蓝色增益", kIdGainBlue, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x04\x00"sv, "Blue-Gain", nullptr, "gain_blue", true },
    { 12, "绿红增益", kIdGainGreenRed, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x03\x00"sv, "Green-redGain", nullptr, "gain_green_red", true },
    { 13, "绿蓝增益", kIdGainGreenBlue, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x06\x00"sv, "Green-blueGain", nullptr, "gain_green_blue", true },
    { 14, "全局增益", kIdGainGlobal, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x07\x00"sv, "GlobalGain", nullptr, "gain_global", true },
    { 15, "上下颠倒图像", kIdFlipVertical, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x09\x00"sv, "Upside-downImage", nullptr, "flip_vertical", true },
    { 16, "左右颠倒图像", kIdFlipHorizontal, kCodeWrite, Encoding::Decimal, ""sv, 2, false, "\x0A\x00"sv, "ReverseLeftAndRightImage", nullptr, "flip_horizontal", true },
    { 17, "Sobel调试1", kIdSobelDebug1, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "SoberDebug1", nullptr, "sobel_debug1", false },
    { 18, "Sobel调试2", kIdSobelDebug2, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "SoberDebug2", nullptr, "sobel_debug2", false },
    { 19, "Sobel阈值", kIdSobelThreshold, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "SoberThreshold", nullptr, "sobel_threshold", false },
    { 20, "Sobel核", kIdSobelKernel, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "SoberMat", nullptr, "sobel_kernel", false },
    { 21, "Sobel使能", kIdSobelEnable, kCodeWrite, Encoding::Decimal, ""sv, 1, false, ""sv, "SoberEnable", nullptr, "sobel_enable", false },
    { 22, "帧率", kIdFrameRate, kCodeWrite, Encoding::Decimal, "\x01\x00\x02\x00"sv, 1, false, ""sv, nullptr, "A001_rate", "frame_rate", true },
    { 23, "打印CMOS值", kIdPrintRegister, kCodeWrite, Encoding::HexAddress, ""sv, 2, false, "\xFE\xFF"sv, nullptr, nullptr, "register_print_address", false },
    { 24, "设置CMOS值", kIdSetRegister, kCodeWrite, Encoding::RegisterPair, ""sv, 4, false, ""sv, nullptr, nullptr, nullptr, false },
    { 25, "流VDMA", kIdStreamVdma, kCodeControl, Encoding::Switch, ""sv, 1, false, ""sv, nullptr, nullptr, "stream_vdma", false },
    { 26, "抓图VDMA", kIdCaptureVdma, kCodeControl, Encoding::Switch, ""sv, 1, false, ""sv, nullptr, nullptr, "capture_vdma", false },
    { 27, "CMOS开关", kIdSensorSwitch, kCodeControl, Encoding::Switch, ""sv, 1, false, ""sv, nullptr, nullptr, "sensor_on", false },
    { 28, "B色黑电平校正", kIdBlackLevelB, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, nullptr, nullptr, "black_level_b", false },
    { 29, "滤波阈值设置", kIdFilterThreshold, kCodeWrite, Encoding::Decimal, ""sv, 2, false, ""sv, nullptr, nullptr, "filter_threshold", false },
    { kNoRow, nullptr, kIdSensorSlave, kCodeControl, Encoding::Select, ""sv, 0, false, ""sv, nullptr, nullptr, "sensor_master", false },
    { kNoRow, nullptr, kIdSensorMaster, kCodeControl, Encoding::Select, ""sv, 0, false, ""sv, nullptr, nullptr, "sensor_master", false },
    { kNoRow, nullptr, kIdBurnIn, kCodeControl, Encoding::Switch, ""sv, 1, false, ""sv, nullptr, nullptr, "burn_in", false },
    { kNoRow, nullptr, kIdParameterQuery, kCodeControl, Encoding::Query, ""sv, 0, false, ""sv, nullptr, nullptr, nullptr, false },
};
// clang-format on

// The catalogue entry of table row `row`, or null.
constexpr const Parameter *parameterByRow(int row)
{
    for (const Parameter &p : kParameters) {
        if (p.row == row && row != kNoRow)
            return &p;
    }
    return nullptr;
}

// The first catalogue entry sending `id` (the frame-rate row for its id), or null.
constexpr const Parameter *parameterById(quint16 id)
{
    for (const Parameter &p : kParameters) {
        if (p.id == id && p.code != 0)
            return &p;
    }
    return nullptr;
}

// Where a simulated camera keeps the value of `id`, or null.
constexpr const char *storeName(quint16 id)
{
    const Parameter *p = parameterById(id);
    return p ? p->storeName : nullptr;
}

// A command for `pack`: command code, parameter id and value buffer.
struct CommandTriple {
    quint8 cmd = 0;
    quint16 id = 0;
    QByteArray buffer;
};

// A value warning shown to the operator: a warning box without parent window,
// buttons Yes and No with Yes as default, answer ignored. The texts are the
// untranslated sources; `arguments` (at most three) fill the text's %1, %2, %3.
struct Warning {
    const char *title = "";
    const char *text = "";
    QStringList arguments;

    // The title and the text as shown: translated ("MainWindow"), arguments filled in.
    QString shownTitle() const;
    QString shownText() const;
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

// Turns the text of row `row`'s value cell into what its Set button does. An
// empty text is rejected ("The Value is NULL!"). Row 0 takes a strict dotted
// IPv4 address (no leading zeros) that can be a camera's: not 0.0.0.0, not
// 255.255.255.255, not multicast (224.0.0.0 to 239.255.255.255). Row 1 takes a
// name of at most kCameraTextLimit Latin-1 characters without control
// characters (C0, DEL, C1); the refusal names the first character that cannot
// be sent. Both then go to the worker. Decimal rows take the texts described
// above; row 23 takes at most 8 bytes, all hexadecimal digits; row 24 takes
// hexadecimal digits only; rows 25 to 27 only "0" or "1" ("The Value only is
// 0/1!"). A rejected text gives no command.
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
