// Byte-level checks of the firmware transfer: CRC-32, frames, replies,
// transfer images and the reply stream.
#include "core/transfer.h"

#include <QBuffer>
#include <QtTest>

using namespace firmware;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// File content that differs from byte to byte, so a misplaced piece shows.
QByteArray patternBytes(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[int(i)] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

} // namespace

class TestFirmwareProto : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue();
    void fixedFrames_data();
    void fixedFrames();
    void headerFrame();
    void headerFrameNameLimits();
    void headerNames_data();
    void headerNames();
    void replies_data();
    void replies();
    void replyRejects();
    void transferImage_data();
    void transferImage();
    void transferImageRefusals();
    void streamSplitAtEveryByte_data();
    void streamSplitAtEveryByte();
    void streamSeveralFramesAndGarbage();
    void streamLargeReads();
};

void TestFirmwareProto::crcCheckValue()
{
    const QByteArray digits("123456789");
    QCOMPARE(crc32Of(digits), 0xCBF43926u);
    QByteArray out;
    appendBigEndian32(out, crc32Of(digits));
    QCOMPARE(out, hex("CBF43926"));

    // The running form over any split gives the same value.
    for (int cut = 0; cut <= digits.size(); ++cut) {
        RunningCrc crc;
        crc.update(digits.constData(), cut);
        crc.update(digits.constData() + cut, digits.size() - cut);
        QCOMPARE(crc.value(), 0xCBF43926u);
    }
    RunningCrc crc;
    crc.update("garbage", 7);
    crc.reset();
    crc.update(digits.constData(), digits.size());
    QCOMPARE(crc.value(), 0xCBF43926u);
}

void TestFirmwareProto::fixedFrames_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("end") << buildEndFrame() << hex("68880001 03 C79F35BE 16");
    QTest::newRow("restart") << buildRestartFrame() << hex("68900001 01 BC3C2BE2 16");
    QTest::newRow("start 0") << buildStartFrame(0) << hex("68880002 0400 B31BC6AD 16");
    QTest::newRow("start 1") << buildStartFrame(1) << hex("68880002 0401 C41CF63B 16");
}

void TestFirmwareProto::fixedFrames()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestFirmwareProto::headerFrame()
{
    const auto frame = buildHeaderFrame(0x21, imageSizeFor(10), headerName(QStringLiteral("a.bin")));
    QVERIFY(frame);
    QCOMPARE(frame->toHex(' '), hex("688F000A 21 0000000E 612E62696E 20C64CEF 16").toHex(' '));

    const auto parsed = parseFrame(*frame);
    QVERIFY(parsed);
    QCOMPARE(parsed->command, CmdHeader);
    const auto info = parseHeaderPayload(parsed->payload);
    QVERIFY(info);
    QCOMPARE(info->typeCode, quint8(0x21));
    QCOMPARE(info->imageSize, 14u);
    QCOMPARE(info->name, QByteArray("a.bin"));
}

void TestFirmwareProto::headerFrameNameLimits()
{
    const QByteArray longest(MaxNameBytes, 'n');
    const auto frame = buildHeaderFrame(0x11, MaxImageSize, longest);
    QVERIFY(frame);
    QCOMPARE(frame->size(), 200);
    QCOMPARE(frame->at(2), '\0');
    QVERIFY(parseFrame(*frame));

    QVERIFY(!buildHeaderFrame(0x11, 14, QByteArray(MaxNameBytes + 1, 'n')));
    QVERIFY(!buildHeaderFrame(0x11, 14, QByteArray()));
    QVERIFY(!buildHeaderFrame(0x11, MaxImageSize + 1, "a.bin"));
}

// A name goes into the header frame as one Latin-1 byte per character, or not
// at all: never with a character replaced.
void TestFirmwareProto::headerNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty: refused
    QTest::addColumn<QString>("why");

    const auto row = [](const char *tag, const QString &name, const QByteArray &bytes, const char *why) {
        QTest::newRow(tag) << name << bytes << QString::fromUtf8(why);
    };
    row("ASCII", "a.bin", "a.bin", "");
    row("Latin-1 letters and signs", QString::fromUtf8("é ÿ ¡ \u00A0.bin"), "\xE9 \xFF \xA1 \xA0.bin", "");
    row("longest", QString(MaxNameBytes, QLatin1Char('n')), QByteArray(MaxNameBytes, 'n'), "");
    row("empty", QString(), {}, "it has no file name");
    row("one byte too long", QString(MaxNameBytes + 1, QLatin1Char('n')), {},
        "its name is 187 bytes long, the header frame carries at most 186");
    row("Chinese", QString::fromUtf8("固件.bin"), {},
        "its name holds U+56FA 固, a character outside Latin-1");
    row("first of several", QString::fromUtf8("é€固.bin"), {},
        "its name holds U+20AC €, a character outside Latin-1");
    row("outside the BMP", QString::fromUtf8("😀.bin"), {},
        "its name holds U+1F600 😀, a character outside Latin-1");
    row("character before length", QString::fromUtf8("固") + QString(MaxNameBytes, QLatin1Char('n')), {},
        "its name holds U+56FA 固, a character outside Latin-1");
    row("unpaired surrogate", QString(QChar(0xD800)) + QStringLiteral(".bin"), {},
        "its name holds U+D800, a character outside Latin-1");
    row("NUL", QString(QChar(0)) + QStringLiteral(".bin"), {}, "its name holds U+0000, a control character");
    row("TAB", "a\tb.bin", {}, "its name holds U+0009, a control character");
    row("last C0", "a\x1F.bin", {}, "its name holds U+001F, a control character");
    row("DEL", "a\x7F.bin", {}, "its name holds U+007F, a control character");
    row("first C1", QString::fromUtf8("a\u0080.bin"), {}, "its name holds U+0080, a control character");
    row("last C1", QString::fromUtf8("a\u009F.bin"), {}, "its name holds U+009F, a control character");
}

void TestFirmwareProto::headerNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);

    QCOMPARE(headerName(name), bytes);
    const std::optional<NameRefusal> refusal = headerNameRefusal(name);
    QCOMPARE(refusal.has_value(), !why.isEmpty());
    if (refusal)
        QCOMPARE(nameRefusalText(*refusal), why);
    else
        QVERIFY(buildHeaderFrame(0x11, 14, bytes));
}

void TestFirmwareProto::replies_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("progress");
    QTest::newRow("status 1") << hex("680A0001 01 6EC12A22 16") << 1 << 0;
    QTest::newRow("status 2") << hex("680A0001 02 F7C87B98 16") << 2 << 0;
    QTest::newRow("status 4") << hex("680A0001 04 1EABDEAD 16") << 4 << 0;
    QTest::newRow("status 5, 50 %") << hex("680A0002 0532 A9F1459E 16") << 5 << 50;
}

void TestFirmwareProto::replies()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, status);
    QFETCH(int, progress);

    QCOMPARE(buildReplyFrame(quint8(status), quint8(progress)), frame);
    auto reply = parseReply(frame + hex("68 0A")); // whatever follows is ignored
    QVERIFY(reply);
    QCOMPARE(int(reply->status), status);
    QCOMPARE(int(reply->progress), progress);

    // Any single CRC byte changed: dropped.
    const int crcAt = frame.size() - 5;
    for (int k = 0; k < 4; ++k) {
        QByteArray bad = frame;
        bad[crcAt + k] = char(bad[crcAt + k] ^ 0x01);
        QVERIFY2(!parseReply(bad), qPrintable(bad.toHex(' ')));
    }
    // Every truncation: dropped.
    for (int n = 0; n < frame.size(); ++n)
        QVERIFY(!parseReply(frame.left(n)));
}

void TestFirmwareProto::replyRejects()
{
    // Command 0x8A has the reply's low seven bits but bit 7 set.
    QVERIFY(parseFrame(buildFrame(0x8A, QByteArray(1, '\x01'))));
    QVERIFY(!parseReply(buildFrame(0x8A, QByteArray(1, '\x01'))));
    // A request frame is no reply; neither is a reply without a status byte.
    QVERIFY(!parseReply(buildEndFrame()));
    QVERIFY(!parseReply(buildFrame(CmdReply, QByteArray())));
    // Wrong start or end byte.
    QByteArray frame = buildReplyFrame(1);
    frame[frame.size() - 1] = 0x17;
    QVERIFY(!parseReply(frame));
    QVERIFY(!parseReply(QByteArray(1, '\0') + buildReplyFrame(1)));
    // Status 5 without its percentage reads as progress 0, not the CRC's first byte.
    const auto bare = parseReply(buildFrame(CmdReply, QByteArray(1, '\x05')));
    QVERIFY(bare);
    QCOMPARE(int(bare->progress), 0);
}

void TestFirmwareProto::transferImage_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<QList<qint64>>("pieceSizes");
    QTest::newRow("10 bytes") << qint64(10) << QList<qint64> { 14 };
    QTest::newRow("4 MiB - 4") << qint64(4194300) << QList<qint64> { PieceSize };
    QTest::newRow("4 MiB - 3") << qint64(4194301) << QList<qint64> { PieceSize, 1 };
    QTest::newRow("4 MiB - 1") << qint64(4194303) << QList<qint64> { PieceSize, 3 };
    QTest::newRow("4 MiB") << qint64(PieceSize) << QList<qint64> { PieceSize, 4 };
    QTest::newRow("8 MiB + 5") << 2 * PieceSize + 5 << QList<qint64> { PieceSize, PieceSize, 9 };
}

void TestFirmwareProto::transferImage()
{
    QFETCH(qint64, fileSize);
    QFETCH(QList<qint64>, pieceSizes);

    const QByteArray file = patternBytes(fileSize);
    ImageError error = ImageError::ReadFailed;
    const auto image = buildTransferImage(file, &error);
    QVERIFY(image);
    QCOMPARE(int(error), int(ImageError::None));
    QCOMPARE(image->imageSize, fileSize + 4);
    QCOMPARE(image->crc, crc32Of(file));
    QCOMPARE(image->pieceCount(), pieceSizes.size());
    QCOMPARE(pieceCountFor(image->imageSize), pieceSizes.size());

    QByteArray joined;
    for (int i = 0; i < image->pieceCount(); ++i) {
        QCOMPARE(qint64(image->pieces[size_t(i)].size()), pieceSizes[i]);
        QCOMPARE(pieceLength(image->imageSize, i), pieceSizes[i]);
        joined += image->pieces[size_t(i)];
    }
    QCOMPARE(pieceLength(image->imageSize, image->pieceCount()), qint64(0));
    QCOMPARE(pieceLength(image->imageSize, -1), qint64(0));

    // The image is the file followed by its CRC, most significant byte first.
    QByteArray expected = file;
    appendBigEndian32(expected, crc32Of(file));
    QVERIFY(joined == expected);

    if (fileSize == 10) {
        const auto header = buildHeaderFrame(0x21, image->imageSize, "a.bin");
        QVERIFY(header);
        QCOMPARE(header->mid(5, 4), hex("0000000E"));
    }
}

void TestFirmwareProto::transferImageRefusals()
{
    ImageError error = ImageError::None;
    QVERIFY(!buildTransferImage(QByteArray(), &error));
    QCOMPARE(int(error), int(ImageError::Empty));

    // The size is refused before anything is read or allocated.
    QBuffer nothing;
    nothing.open(QIODevice::ReadOnly);
    QVERIFY(!readTransferImage(nothing, MaxFileSize + 1, &error));
    QCOMPARE(int(error), int(ImageError::TooLarge));
    QCOMPARE(pieceCountFor(imageSizeFor(MaxFileSize)), MaxPieces);

    // A file shorter than its announced size.
    QByteArray shortFile("12345");
    QBuffer buffer(&shortFile);
    buffer.open(QIODevice::ReadOnly);
    QVERIFY(!readTransferImage(buffer, 6, &error));
    QCOMPARE(int(error), int(ImageError::ReadFailed));
}

void TestFirmwareProto::streamSplitAtEveryByte_data()
{
    replies_data();
}

void TestFirmwareProto::streamSplitAtEveryByte()
{
    QFETCH(QByteArray, frame);
    for (int cut = 0; cut <= frame.size(); ++cut) {
        FrameStream stream;
        stream.append(frame.left(cut));
        if (cut < frame.size()) {
            QVERIFY2(!stream.takeFrame(), qPrintable(QString::number(cut)));
            QCOMPARE(stream.buffered(), qint64(cut));
        }
        stream.append(frame.mid(cut));
        std::optional<QByteArray> taken = stream.takeFrame();
        if (cut == frame.size()) {
            QVERIFY(taken);
        } else {
            QVERIFY2(taken, qPrintable(QString::number(cut)));
        }
        QCOMPARE(*taken, frame);
        QVERIFY(!stream.takeFrame());
        QCOMPARE(stream.buffered(), qint64(0));
        QCOMPARE(stream.takeSkipped(), qint64(0));
    }
}

void TestFirmwareProto::streamSeveralFramesAndGarbage()
{
    const QByteArray progress = buildReplyFrame(StatusProgress, 90);
    const QByteArray done = buildReplyFrame(StatusReceived);
    const QByteArray badCrc = [] {
        QByteArray f = buildReplyFrame(StatusFailed);
        f[5] = char(f[5] ^ 0x40);
        return f;
    }();
    // A start byte in the garbage announcing a frame far longer than any reply.
    const QByteArray garbage = hex("00 FF 68 7F FF 16 12");

    FrameStream stream;
    stream.append(garbage + progress + badCrc + done + done.left(3));
    QList<QByteArray> taken;
    while (auto f = stream.takeFrame())
        taken << *f;
    QCOMPARE(taken, (QList<QByteArray> { progress, done }));
    QCOMPARE(stream.takeSkipped(), qint64(garbage.size() + badCrc.size()));
    QCOMPARE(stream.buffered(), qint64(3)); // the incomplete frame waits

    stream.append(done.mid(3));
    QCOMPARE(stream.takeFrame().value_or(QByteArray()), done);

    // Garbage without any start byte is dropped whole; takeRaw hands out raw bytes.
    stream.append(QByteArray(50, '\x11') + QByteArray("abc"));
    QVERIFY(!stream.takeFrame());
    QCOMPARE(stream.buffered(), qint64(0));
    stream.append(hex("68 01 02"));
    QCOMPARE(stream.takeRaw(2), hex("68 01"));
    QCOMPARE(stream.buffered(), qint64(1));
    stream.clear();
    QCOMPARE(stream.buffered(), qint64(0));
}

// Large reads are worked through in linear time: a megabyte of start bytes
// and a hundred thousand frames in one read.
void TestFirmwareProto::streamLargeReads()
{
    const QByteArray frame = buildReplyFrame(StatusProgress, 1);
    FrameStream stream;
    stream.append(QByteArray(1 << 20, FrameStart) + frame);
    QCOMPARE(stream.takeFrame().value_or(QByteArray()), frame);
    QCOMPARE(stream.takeSkipped(), qint64(1 << 20));

    const int count = 100000;
    stream.append(frame.repeated(count));
    int taken = 0;
    while (auto f = stream.takeFrame()) {
        if (*f != frame)
            break;
        ++taken;
    }
    QCOMPARE(taken, count);
    QCOMPARE(stream.buffered(), qint64(0));
}

QTEST_APPLESS_MAIN(TestFirmwareProto)
#include "tst_firmwareproto.moc"
