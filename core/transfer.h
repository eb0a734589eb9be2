// Byte-level side of the firmware download: CRC-32, transfer images cut into
// pieces, the control frames the tool sends and the camera's status replies.
//
// Pure code: no widgets, no sockets. The download dialog and the simulated
// camera's firmware receiver both use it.
#ifndef TAVIX_FIRMWARE_TRANSFER_H
#define TAVIX_FIRMWARE_TRANSFER_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

class QIODevice;

namespace firmware {

constexpr quint16 CameraPort = 7766;

// Transfer image: the file's bytes followed by their CRC-32 (4 bytes), sent in
// raw pieces of 4 MiB; at most 100 pieces.
constexpr qint64 PieceSize = 4194304;
constexpr int MaxPieces = 100;
constexpr qint64 CrcSize = 4;
constexpr qint64 MaxImageSize = PieceSize * MaxPieces; // 419,430,400
constexpr qint64 MaxFileSize = MaxImageSize - CrcSize; // 419,430,396

// Control frame: 68 cmd Lhi Llo payload[L] crc32[4] 16, L + 9 bytes.
constexpr char FrameStart = 0x68;
constexpr char FrameEnd = 0x16;
constexpr int FrameOverhead = 9;
constexpr quint8 CmdHeader = 0x8F; // tool: announce a file
constexpr quint8 CmdData = 0x88; // tool: start frame (payload 04 piece) or end frame (payload 03)
constexpr quint8 CmdRestart = 0x90; // tool: restart the camera
constexpr quint8 CmdReply = 0x0A; // camera: status reply
constexpr quint8 DataStart = 0x04;
constexpr quint8 DataEnd = 0x03;

// The header frame is at most 200 bytes: 9 framing bytes, type, size, name.
constexpr int MaxHeaderFrame = 200;
constexpr int MaxNameBytes = MaxHeaderFrame - FrameOverhead - 5; // 186

// A stream parser gives up on a start byte whose announced frame would be
// longer than this and looks for the next start byte instead. Every frame of
// the protocol is far shorter.
constexpr int MaxStreamFrame = 256;

// Camera status codes.
enum Status : quint8 {
    StatusReceived = 1, // file received and kept: announce the next one
    StatusSendStart = 2, // header accepted: send the start frame
    StatusFailed = 3, // file rejected: send it again
    StatusSendData = 4, // send the pieces, then the end frame
    StatusProgress = 5, // payload byte 1 is a percentage
};

// CRC-32 (ISO-HDLC, as zlib and PNG: reflected 0x04C11DB7, init and final
// XOR 0xFFFFFFFF) over size bytes in one call. "123456789" gives 0xCBF43926.
// A negative size counts as empty.
quint32 crc32Of(const char *data, qint64 size);
quint32 crc32Of(const QByteArray &bytes);

// Running CRC-32 over a file fed in parts; value() is the same number that
// crc32Of gives over all parts joined.
class RunningCrc {
public:
    RunningCrc() { reset(); }
    void reset();
    void update(const char *data, qint64 size);
    quint32 value() const { return state; }

private:
    quint32 state = 0;
};

// Appends value as 4 bytes, most significant first.
void appendBigEndian32(QByteArray &out, quint32 value);

// --- Transfer image ------------------------------------------------------

// Size of the transfer image of a file of fileSize bytes (fileSize + 4).
constexpr qint64 imageSizeFor(qint64 fileSize)
{
    return fileSize + CrcSize;
}

// Number of 4 MiB pieces an image of imageSize bytes is cut into (rounded up);
// 0 for a size of 0 or less.
int pieceCountFor(qint64 imageSize);

// Length in bytes of piece index of an image of imageSize bytes: 4 MiB, the
// rest for the last piece (a full 4 MiB when imageSize is a multiple of it),
// 0 for an index outside the image.
qint64 pieceLength(qint64 imageSize, int index);

struct TransferImage {
    std::vector<QByteArray> pieces; // each exactly pieceLength(imageSize, i) bytes
    qint64 imageSize = 0; // file size + 4
    quint32 crc = 0; // CRC-32 of the file bytes, also the image's last 4 bytes
    int pieceCount() const { return int(pieces.size()); }
};

// Why a file cannot become a transfer image. NotRegular: the path names no
// regular file (a FIFO, a directory, a device, ...), refused before it is read.
enum class ImageError { None, Empty, TooLarge, ReadFailed, NotRegular };

// Reads fileSize bytes from in (already open) piece by piece, computing the
// running CRC on the way, and appends the CRC big-endian behind the last file
// byte; when the last piece has less than 4 bytes of room the CRC runs over
// into one more piece. A size of 0 gives Empty, one above MaxFileSize
// TooLarge, a short read ReadFailed; error (if given) tells which.
std::optional<TransferImage> readTransferImage(QIODevice &in, qint64 fileSize, ImageError *error = nullptr);

// The transfer image of bytes held in memory (same rules as above).
std::optional<TransferImage> buildTransferImage(const QByteArray &fileBytes, ImageError *error = nullptr);

// --- Frames sent by the tool --------------------------------------------

// Any control frame: start byte, command, big-endian payload length, payload,
// CRC-32 of everything before it (big-endian), end byte. Payloads longer than
// 65535 bytes give an empty array.
QByteArray buildFrame(quint8 command, const QByteArray &payload);

// Why a file name cannot go into the header frame. The camera stores each
// file under the name it is sent with, one Latin-1 byte per character, so a
// character outside Latin-1 cannot travel at all (it would arrive as '?' and
// two such names would overwrite each other), and a control character (C0
// U+0000..U+001F, DEL U+007F, C1 U+0080..U+009F) is no part of a name a
// camera keeps.
struct NameRefusal {
    enum class Reason { Empty, TooLong, OutsideLatin1, ControlCharacter };
    Reason reason = Reason::Empty;
    char32_t character = 0; // OutsideLatin1, ControlCharacter: the first such character
    int bytes = 0; // TooLong: the name's length in Latin-1 bytes
};

// The first reason why fileName (a base name, without folder) cannot be
// sent, or nothing when it can. Characters are checked before the length; an
// unpaired UTF-16 surrogate counts as a character outside Latin-1.
std::optional<NameRefusal> headerNameRefusal(const QString &fileName);

// "U+56FA 固" for a character that can be shown, "U+0009" for a control or
// unpaired surrogate code: never the raw control character itself.
QString characterText(char32_t character);

// An English phrase for the tool's messages and summaries, such as
// "its name holds U+56FA 固, a character outside Latin-1".
QString nameRefusalText(const NameRefusal &refusal);

// The name as the header frame carries it: one Latin-1 byte per character.
// Empty when headerNameRefusal() refuses the name: no character is ever
// replaced.
QByteArray headerName(const QString &fileName);

// Header frame: type code, the image size as 4 bytes big-endian (low 32
// bits), the name bytes. Gives nothing when the name is empty or longer than
// MaxNameBytes bytes, or the size is negative or above MaxImageSize.
std::optional<QByteArray> buildHeaderFrame(quint8 typeCode, qint64 imageSize, const QByteArray &nameBytes);

// Start frame 68 88 00 02 04 piece crc 16 (11 bytes).
QByteArray buildStartFrame(quint8 pieceIndex);
// End frame 68 88 00 01 03 crc 16 (10 bytes).
QByteArray buildEndFrame();
// Restart frame 68 90 00 01 01 crc 16 (10 bytes).
QByteArray buildRestartFrame();

// --- Parsing -------------------------------------------------------------

struct Frame {
    quint8 command = 0;
    QByteArray payload;
};

// The frame at the start of bytes, if it is a whole one: start byte, enough
// bytes for the announced length, end byte, matching CRC. Bytes behind it are
// ignored.
std::optional<Frame> parseFrame(const QByteArray &bytes);

struct Reply {
    quint8 status = 0;
    quint8 progress = 0; // status 5 only; 0 when the frame carries no percentage
};

// A camera status reply from a parsed frame: command 0x0A with bit 7 clear
// and at least one payload byte (the status). Anything else gives nothing.
std::optional<Reply> replyFromFrame(const Frame &frame);

// The first frame of bytes as a status reply; what follows it is ignored.
std::optional<Reply> parseReply(const QByteArray &bytes);

// Status reply frame as the camera sends it; progress is carried only for
// status 5.
QByteArray buildReplyFrame(quint8 status, quint8 progress = 0);

struct HeaderInfo {
    quint8 typeCode = 0;
    quint32 imageSize = 0;
    QByteArray name; // Latin-1, as sent
};

// The payload of a header frame (command 0x8F): type, size (big-endian),
// name. A payload shorter than 5 bytes gives nothing.
std::optional<HeaderInfo> parseHeaderPayload(const QByteArray &payload);

// Byte-stream reassembly of control frames, as they come from a TCP socket:
// append whatever arrived, then take whole frames in order. An incomplete
// frame stays for the next append; bytes that cannot start a valid frame
// (no start byte, wrong end byte or CRC, an announced length above
// maxFrame) are skipped one start byte at a time.
class FrameStream {
public:
    explicit FrameStream(int maxFrame = MaxStreamFrame)
        : maxFrame(maxFrame)
    {
    }

    void append(const char *data, qint64 size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }

    // The next whole, valid frame's bytes; nothing while no whole frame is buffered.
    std::optional<QByteArray> takeFrame();

    // Takes up to max bytes from the front of the buffer, raw (used when
    // unframed data follows a control frame).
    QByteArray takeRaw(qint64 max);

    qint64 buffered() const { return buffer.size() - head; }
    // Bytes skipped as garbage since the last call.
    qint64 takeSkipped();
    void clear();

private:
    QByteArray buffer;
    qint64 head = 0; // bytes of buffer already taken or skipped
    int maxFrame;
    qint64 skipped = 0;
};

} // namespace firmware

#endif
