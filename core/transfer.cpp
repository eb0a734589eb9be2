#include "core/transfer.h"

#include <QBuffer>
#include <QIODevice>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <zlib.h>

namespace firmware {

namespace {

    // zlib takes lengths as unsigned int in crc32(); feed large ranges in parts.
    quint32 crcUpdate(quint32 crc, const char *data, qint64 size)
    {
        const auto *bytes = reinterpret_cast<const Bytef *>(data);
        while (size > 0) {
            const auto part = uInt(std::min<qint64>(size, qint64(1) << 30));
            crc = quint32(crc32(crc, bytes, part));
            bytes += part;
            size -= part;
        }
        return crc;
    }

    quint16 readBigEndian16(const char *p)
    {
        return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(p));
    }

    quint32 readBigEndian32(const char *p)
    {
        return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(p));
    }

    // Checks the frame at the start of data. Returns its length when whole and
    // valid, 0 when more bytes are needed, -1 when these bytes are no frame.
    qint64 checkFrameAt(const char *data, qint64 size, qint64 maxFrame)
    {
        if (size < 1)
            return 0;
        if (data[0] != FrameStart)
            return -1;
        if (size < 4)
            return 0;
        const qint64 length = readBigEndian16(data + 2);
        const qint64 total = length + FrameOverhead;
        if (total > maxFrame)
            return -1;
        if (size < total)
            return 0;
        if (data[total - 1] != FrameEnd)
            return -1;
        if (readBigEndian32(data + 4 + length) != crc32Of(data, 4 + length))
            return -1;
        return total;
    }

} // namespace

quint32 crc32Of(const char *data, qint64 size)
{
    return crcUpdate(quint32(crc32(0L, Z_NULL, 0)), data, size);
}

quint32 crc32Of(const QByteArray &bytes)
{
    return crc32Of(bytes.constData(), bytes.size());
}

// zlib keeps its running state already complemented, so its "reset" value is 0
// and no final XOR is applied by hand; the result equals the textbook running
// form (start at 0xFFFFFFFF, complement at the end).
void RunningCrc::reset()
{
    state = quint32(crc32(0L, Z_NULL, 0));
}

void RunningCrc::update(const char *data, qint64 size)
{
    state = crcUpdate(state, data, size);
}

void appendBigEndian32(QByteArray &out, quint32 value)
{
    uchar bytes[4];
    qToBigEndian(value, bytes);
    out.append(reinterpret_cast<const char *>(bytes), 4);
}

int pieceCountFor(qint64 imageSize)
{
    if (imageSize <= 0)
        return 0;
    return int((imageSize + PieceSize - 1) / PieceSize);
}

qint64 pieceLength(qint64 imageSize, int index)
{
    if (index < 0 || index >= pieceCountFor(imageSize))
        return 0;
    return std::min(PieceSize, imageSize - qint64(index) * PieceSize);
}

std::optional<TransferImage> readTransferImage(QIODevice &in, qint64 fileSize, ImageError *error)
{
    auto fail = [error](ImageError e) -> std::optional<TransferImage> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    if (fileSize <= 0)
        return fail(ImageError::Empty);
    if (fileSize > MaxFileSize)
        return fail(ImageError::TooLarge);

    TransferImage image;
    image.imageSize = imageSizeFor(fileSize);
    const int count = pieceCountFor(image.imageSize);
    image.pieces.reserve(size_t(count));

    RunningCrc crc;
    qint64 fileLeft = fileSize;
    for (int i = 0; i < count; ++i) {
        QByteArray piece(int(pieceLength(image.imageSize, i)), Qt::Uninitialized);
        const qint64 want = std::min<qint64>(fileLeft, piece.size());
        qint64 got = 0;
        while (got < want) {
            const qint64 n = in.read(piece.data() + got, want - got);
            if (n <= 0)
                return fail(ImageError::ReadFailed);
            got += n;
        }
        crc.update(piece.constData(), want);
        fileLeft -= want;
        image.pieces.push_back(std::move(piece));
    }
    image.crc = crc.value();

    // The CRC follows the last file byte, possibly running over into the last piece.
    uchar crcBytes[4];
    qToBigEndian(image.crc, crcBytes);
    for (int k = 0; k < 4; ++k) {
        const qint64 at = fileSize + k;
        image.pieces[size_t(at / PieceSize)][int(at % PieceSize)] = char(crcBytes[k]);
    }
    if (error)
        *error = ImageError::None;
    return image;
}

std::optional<TransferImage> buildTransferImage(const QByteArray &fileBytes, ImageError *error)
{
    QByteArray copy = fileBytes; // shares the data; QBuffer only reads it
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readTransferImage(buffer, fileBytes.size(), error);
}

QByteArray buildFrame(quint8 command, const QByteArray &payload)
{
    if (payload.size() > 0xFFFF)
        return {};
    QByteArray frame;
    frame.reserve(payload.size() + FrameOverhead);
    frame.append(FrameStart);
    frame.append(char(command));
    frame.append(char(payload.size() >> 8));
    frame.append(char(payload.size() & 0xFF));
    frame.append(payload);
    appendBigEndian32(frame, crc32Of(frame));
    frame.append(FrameEnd);
    return frame;
}

std::optional<NameRefusal> headerNameRefusal(const QString &fileName)
{
    NameRefusal refusal;
    if (fileName.isEmpty())
        return refusal;
    for (int i = 0; i < fileName.size(); ++i) {
        char32_t c = fileName.at(i).unicode();
        // A pair of surrogates is one character; an unpaired one keeps its code.
        if (QChar::isHighSurrogate(c) && i + 1 < fileName.size() && fileName.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(fileName.at(i), fileName.at(i + 1));
            ++i;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            refusal.reason = NameRefusal::Reason::ControlCharacter;
            refusal.character = c;
            return refusal;
        }
        if (c > 0xFF) {
            refusal.reason = NameRefusal::Reason::OutsideLatin1;
            refusal.character = c;
            return refusal;
        }
    }
    if (fileName.size() > MaxNameBytes) {
        refusal.reason = NameRefusal::Reason::TooLong;
        refusal.bytes = fileName.size();
        return refusal;
    }
    return std::nullopt;
}

QString characterText(char32_t character)
{
    const QString code = QStringLiteral("U+%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper();
    const bool control = character < 0x20 || (character >= 0x7F && character <= 0x9F);
    const bool surrogate = character >= 0xD800 && character <= 0xDFFF;
    if (control || surrogate || character > 0x10FFFF)
        return code;
    return code + QLatin1Char(' ') + QString::fromUcs4(&character, 1);
}

QString nameRefusalText(const NameRefusal &refusal)
{
    switch (refusal.reason) {
    case NameRefusal::Reason::Empty:
        return QStringLiteral("it has no file name");
    case NameRefusal::Reason::TooLong:
        return QStringLiteral("its name is %1 bytes long, the header frame carries at most %2")
            .arg(refusal.bytes)
            .arg(MaxNameBytes);
    case NameRefusal::Reason::OutsideLatin1:
        return QStringLiteral("its name holds %1, a character outside Latin-1")
            .arg(characterText(refusal.character));
    case NameRefusal::Reason::ControlCharacter:
        return QStringLiteral("its name holds %1, a control character").arg(characterText(refusal.character));
    }
    return QString();
}

QByteArray headerName(const QString &fileName)
{
    if (headerNameRefusal(fileName))
        return QByteArray();
    return fileName.toLatin1();
}

std::optional<QByteArray> buildHeaderFrame(quint8 typeCode, qint64 imageSize, const QByteArray &nameBytes)
{
    if (nameBytes.isEmpty() || nameBytes.size() > MaxNameBytes || imageSize < 0 || imageSize > MaxImageSize)
        return std::nullopt;
    QByteArray payload;
    payload.reserve(5 + nameBytes.size());
    payload.append(char(typeCode));
    appendBigEndian32(payload, quint32(imageSize));
    payload.append(nameBytes);
    return buildFrame(CmdHeader, payload);
}

QByteArray buildStartFrame(quint8 pieceIndex)
{
    const char payload[2] = { char(DataStart), char(pieceIndex) };
    return buildFrame(CmdData, QByteArray(payload, 2));
}

QByteArray buildEndFrame()
{
    return buildFrame(CmdData, QByteArray(1, char(DataEnd)));
}

QByteArray buildRestartFrame()
{
    return buildFrame(CmdRestart, QByteArray(1, char(0x01)));
}

std::optional<Frame> parseFrame(const QByteArray &bytes)
{
    const qint64 total = checkFrameAt(bytes.constData(), bytes.size(), 0xFFFF + FrameOverhead);
    if (total <= 0)
        return std::nullopt;
    Frame frame;
    frame.command = quint8(bytes[1]);
    frame.payload = bytes.mid(4, int(total - FrameOverhead));
    return frame;
}

std::optional<Reply> replyFromFrame(const Frame &frame)
{
    if ((frame.command & 0x80) != 0 || (frame.command & 0x7F) != CmdReply || frame.payload.isEmpty())
        return std::nullopt;
    Reply reply;
    reply.status = quint8(frame.payload[0]);
    if (reply.status == StatusProgress && frame.payload.size() >= 2)
        reply.progress = quint8(frame.payload[1]);
    return reply;
}

std::optional<Reply> parseReply(const QByteArray &bytes)
{
    const auto frame = parseFrame(bytes);
    if (!frame)
        return std::nullopt;
    return replyFromFrame(*frame);
}

QByteArray buildReplyFrame(quint8 status, quint8 progress)
{
    QByteArray payload(1, char(status));
    if (status == StatusProgress)
        payload.append(char(progress));
    return buildFrame(CmdReply, payload);
}

std::optional<HeaderInfo> parseHeaderPayload(const QByteArray &payload)
{
    if (payload.size() < 5)
        return std::nullopt;
    HeaderInfo info;
    info.typeCode = quint8(payload[0]);
    info.imageSize = readBigEndian32(payload.constData() + 1);
    info.name = payload.mid(5);
    return info;
}

void FrameStream::append(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    // Drop what was taken before the buffer grows; at most once per half of
    // the buffer, so each byte is moved a bounded number of times.
    if (head > 0 && head >= buffer.size() / 2) {
        buffer.remove(0, int(head));
        head = 0;
    }
    buffer.append(data, int(size));
}

std::optional<QByteArray> FrameStream::takeFrame()
{
    std::optional<QByteArray> frame;
    for (;;) {
        const int start = buffer.indexOf(FrameStart, int(head));
        if (start < 0) {
            skipped += buffer.size() - head;
            head = buffer.size();
            break;
        }
        skipped += start - head;
        head = start;
        const qint64 total = checkFrameAt(buffer.constData() + head, buffer.size() - head, maxFrame);
        if (total == 0)
            break;
        if (total < 0) {
            ++skipped;
            ++head;
            continue;
        }
        frame = buffer.mid(int(head), int(total));
        head += total;
        break;
    }
    if (head == buffer.size()) {
        buffer.clear();
        head = 0;
    }
    return frame;
}

QByteArray FrameStream::takeRaw(qint64 max)
{
    const int n = int(std::min<qint64>(std::max<qint64>(max, 0), buffered()));
    QByteArray raw = buffer.mid(int(head), n);
    head += n;
    if (head == buffer.size()) {
        buffer.clear();
        head = 0;
    }
    return raw;
}

qint64 FrameStream::takeSkipped()
{
    const qint64 n = skipped;
    skipped = 0;
    return n;
}

void FrameStream::clear()
{
    buffer.clear();
    head = 0;
    skipped = 0;
}

} // namespace firmware
