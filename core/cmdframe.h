// Frames of the camera command protocol (UDP port 3956), without any socket.
//
// Every datagram carries one frame:
//   0x68, direction, 0x00, 0x68, command, L, 0x00, id (2 bytes, little-endian),
//   [MAC, 6 bytes], payload, checksum, 0x16
// L counts the bytes from offset 7 up to the checksum (id + MAC + payload), so a
// frame is L + 9 bytes long. The checksum is the plain 8-bit sum of every byte
// before it.
#ifndef TAVIX_CMDFRAME_H
#define TAVIX_CMDFRAME_H

#include "core/paramcatalogue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>

// One frame of the command protocol.
struct CmdFrame {
    quint8 cmd = 0; // command byte
    quint8 len = 0; // length byte L
    QByteArray data; // payload of the frame (for a parameter write: MAC and value bytes)
    quint8 sum = 0; // checksum byte
    quint8 end = 0; // end byte
    quint16 id = 0; // 16-bit id
    QByteArray raw; // the complete L + 9 bytes of the frame
};

namespace cmdproto {

// Port of both sides. Tavix listens on 0.0.0.0:3956 and simulated cameras on
// 127.x.y.z:3956 of the same host: on Linux both sockets must allow sharing the
// port (SO_REUSEADDR; Qt's ShareAddress), which Qt's default bind mode does not.
constexpr quint16 kPort = 3956;
constexpr quint8 kStartByte = 0x68;
constexpr quint8 kEndByte = 0x16;
constexpr quint8 kDirRequest = 0x01; // tool to camera
constexpr quint8 kDirReply = 0x02; // camera to tool
constexpr quint8 kCmdWrite = paramcat::kCodeWrite; // parameter write
constexpr quint8 kCmdControl = paramcat::kCodeControl; // switches, sensor mode, burn-in, parameter query
constexpr quint16 kIdQuery = paramcat::kIdParameterQuery; // answered by the parameter report
constexpr quint16 kIdBroadcast = paramcat::kIdBroadcast; // requests with this id go to 255.255.255.255
constexpr int kHeaderSize = 9; // bytes before the MAC or payload
constexpr int kMacSize = 6;
constexpr int kMaxBody = 255; // largest L: id + MAC + payload
constexpr const char *kBroadcastHost = "255.255.255.255";

// The members of the parameter report the property table shows, and their
// rows: the catalogue's entries with a report key.
struct ReportKey {
    const char *key;
    int row;
};

namespace detail {
    constexpr std::size_t reportKeyCount()
    {
        std::size_t n = 0;
        for (const paramcat::Parameter &p : paramcat::kParameters)
            n += p.reportKey && p.row != paramcat::kNoRow ? 1 : 0;
        return n;
    }

    constexpr std::array<ReportKey, reportKeyCount()> reportKeys()
    {
        std::array<ReportKey, reportKeyCount()> keys {};
        std::size_t n = 0;
        for (const paramcat::Parameter &p : paramcat::kParameters) {
            if (p.reportKey && p.row != paramcat::kNoRow)
                keys[n++] = { p.reportKey, p.row };
        }
        return keys;
    }
} // namespace detail

constexpr std::array<ReportKey, detail::reportKeyCount()> kReportKeys = detail::reportKeys();
static_assert(kReportKeys.size() == 4, "the report carries four of the table's values");

// Upper-case hexadecimal digits of `value`, padded on the left with '0' to `width`
// characters; a longer text is kept whole. 0xC3 -> "C3", 5 with width 2 -> "05".
QString toHex(quint32 value, int width);

// The 8-bit sum, modulo 256, of all bytes of `bytes`.
quint8 byteSum(const QByteArray &bytes);

// The checksum of a frame: the sum of every byte of `frame.raw` except the last two
// (the checksum and the end byte). A raw shorter than 2 bytes gives 0.
quint8 checkSum(const CmdFrame &frame);

// Builds one complete frame with the given direction byte, command and id. `mac`
// is inserted after the id when it is not empty (it must then be 6 bytes; the
// caller decides whether a MAC belongs into the frame). Returns an empty array
// when id, MAC and payload together exceed 255 bytes, which the length byte
// cannot express.
QByteArray buildFrame(
    quint8 direction, quint8 cmd, quint16 id, const QByteArray &mac, const QByteArray &payload);

// A request frame ready to be sent, with where to send it and the debug lines the
// sender writes on the way.
struct PackedRequest {
    CmdFrame frame; // frame.raw is the datagram; empty when the request cannot be framed
    QString host; // destination address text: "255.255.255.255" for id 0xB006, else the camera's
    quint16 port = kPort;
    QStringList
        logLines; // in order: "cmd = ..", ["comming 1", "comming 2"], checksum, "CameraCode.Cam_ip:.."
};

// Frames a request from the command triple and the target camera (the work of
// the main window's `pack` before it sends). A parameter write (0xC2) carries
// `camMac` after the id when `camMac` holds exactly 6 bytes; control commands and
// writes without a 6-byte MAC carry none. A payload too long for the length byte
// (more than 253 bytes, 247 with a MAC) gives an empty frame.raw and a log line
// saying so: such a request must not be sent.
PackedRequest packRequest(
    quint8 cmd, quint16 id, const QString &camIp, const QByteArray &camMac, const QByteArray &buff);

// Why a datagram was not taken as a frame.
enum class DropReason {
    None,
    TooShort, // fewer than 9 bytes
    BadStart, // byte 0 or byte 3 is not 0x68
    BadDirection, // byte 1 is not the expected direction
    BadLength, // L below 2 (no room for the id)
    Truncated, // the datagram is shorter than L + 9 bytes
    BadEnd, // the byte at L + 8 is not 0x16
};

// Reads one frame from a datagram whose direction byte must be `direction`.
// Bytes 2 and 6 are not examined and the checksum is not compared (see
// checkSum). Bytes after the frame's L + 9 bytes are ignored. Anything that is
// not a whole frame is dropped: the result is empty and `why` (when given) says
// why. Nothing past the end of `datagram` is ever read.
std::optional<CmdFrame> parseFrame(const QByteArray &datagram, quint8 direction, DropReason *why = nullptr);

// Reads a reply frame (direction 0x02) from one received datagram; see parseFrame.
std::optional<CmdFrame> unpack(const QByteArray &datagram, DropReason *why = nullptr);

// Whether a parsed frame's checksum byte (frame.sum) is the 8-bit sum of the
// bytes before it (checkSum of frame.raw). A frame without its raw bytes does
// not match. Replies are acted on either way, as cameras in the field may get
// the sum wrong; a mismatch is only logged.
bool checksumMatches(const CmdFrame &frame);

// The log line for a reply whose checksum does not match, naming command, id,
// the byte carried and the sum of the frame's bytes:
// "command reply C2 A001: checksum 0x00, its bytes sum to 0x5A; acted on all the same".
// Empty when the checksum matches.
QString checksumMismatchLine(const CmdFrame &frame);

// What the main window does with one reply.
struct ReplyOutcome {
    struct TableUpdate {
        int row; // row of the property table; the text goes into column 1
        QString text;
    };
    QStringList logLines; // debug lines, in order
    QVector<TableUpdate> tableUpdates; // in report member order; later ones win
};

// Write acknowledgement (command 0xC2): when the catalogue marks the id as
// acknowledged (frame rate, exposure, brightness, the gains, the flips) and the first payload byte (the
// status) is non-zero, one log line "set success:>" with the id in decimal. A frame without payload has no
// status and gives nothing.
ReplyOutcome writeReplyOutcome(const CmdFrame &frame);

// The text of a number of the parameter report as the camera sent it: Qt's
// shortest form that reads back as the same double (30 -> "30", 4294967296 ->
// "4294967296", 9.99 -> "9.99", 1e20 -> "1e+20"), so an integer of the int
// range reads as it always did. Nothing for a number beyond a double (1e400
// parses as infinity): no text would be the camera's value.
std::optional<QString> reportNumberText(double value);

// What the property table shows for a report number beyond a double: "超出范围"
// (out of range), through the window's translation ("MainWindow").
QString outOfRangeMarker();

// Control reply (command 0xC3): the "code = " log line; for id 0xB101 the payload
// is read as the JSON parameter report (bounded by the payload's own length).
// Number members under the four report keys become table updates with the
// number as reportNumberText gives it, or outOfRangeMarker() for one beyond a
// double; never a clamped or truncated value. String members are only logged;
// all else is ignored. A payload that is not JSON gives no update.
ReplyOutcome controlReplyOutcome(const CmdFrame &frame);

// Dispatch by command: 0xC2 -> writeReplyOutcome, 0xC3 -> controlReplyOutcome,
// any other command -> nothing.
ReplyOutcome replyOutcome(const CmdFrame &frame);

// unpack followed by replyOutcome; a dropped datagram gives nothing.
ReplyOutcome datagramOutcome(const QByteArray &datagram);

} // namespace cmdproto

#endif
