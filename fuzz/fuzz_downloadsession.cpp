// The firmware download session driven by random operator requests, random
// reply bytes, elapsed waits, passed deadlines, bytes written, failed writes
// and closed connections, over a queue of a few small files made once per
// process (some of them unreadable, a FIFO, names that cannot be sent).
//
// On every step: every frame handed out is a whole control frame; a file is
// announced only when it can be read and with its transfer image's size; the
// pieces sent after an announcement are exactly that image's bytes, in order,
// and never more of them, and none follow a restart, a closed connection or a
// passed deadline before the next announcement; a file is reported sent only
// after its end frame went out; a deadline is due exactly while the session
// waits for the camera's answer, and never while pieces are sent; progress
// stays within 0..100.
#include "core/downloadsession.h"
#include "core/transfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>

#include <sys/stat.h>

using namespace firmware;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct QueuedFile {
    QString path;
    QByteArray image; // file bytes and CRC; empty when the file cannot be sent
};

// Made once: readable files of random sizes and contents, an empty one, a
// missing one, a folder, a FIFO, a name too long for the header, and names
// outside Latin-1 or with control characters.
struct Files {
    QTemporaryDir dir;
    std::vector<QueuedFile> all;
    QHash<QByteArray, int> byHeaderName;

    Files()
    {
        // The session's debug lines, a few per step, would cost more than the session.
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        std::mt19937 random(1);
        const auto add = [this](const QString &name, const QByteArray *content) {
            const QString path = dir.filePath(name);
            QueuedFile file { path, {} };
            if (content) {
                QFile out(path);
                check(out.open(QIODevice::WriteOnly) && out.write(*content) == content->size());
                if (!content->isEmpty() && !headerNameRefusal(name))
                    file.image = buildTransferImage(*content)->pieces.front();
            }
            if (!headerNameRefusal(name))
                byHeaderName.insert(headerName(name), int(all.size()));
            all.push_back(file);
        };
        for (const char *name : { "a.bin", "b.cfg", "c", "d.bin" }) {
            QByteArray content(int(random() % 3000 + 1), Qt::Uninitialized);
            for (char &c : content)
                c = char(random());
            add(QString::fromLatin1(name), &content);
        }
        const QByteArray empty, some("firmware");
        add(QStringLiteral("empty.bin"), &empty);
        add(QStringLiteral("missing.bin"), nullptr);
        check(QDir(dir.path()).mkdir(QStringLiteral("folder.bin")));
        add(QStringLiteral("folder.bin"), nullptr);
        add(QString(MaxNameBytes + 1, QLatin1Char('n')), &some);
        add(QStringLiteral("固件.bin"), &some);
#ifdef Q_OS_UNIX
        check(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.bin"))).constData(), 0600) == 0);
        add(QStringLiteral("fifo.bin"), nullptr);
#endif
#ifdef Q_OS_UNIX
        add(QStringLiteral("tab\tname.bin"), &some); // no control characters in names on Windows
#endif
        add(QString::fromUtf8("c1\u0085.bin"), &some);
    }
};

class Input {
public:
    Input(const uint8_t *data, size_t size)
        : data(data)
        , size(size)
    {
    }
    bool more() const { return at < size; }
    quint8 byte() { return at < size ? data[at++] : 0; }
    QByteArray bytes(int n)
    {
        n = int(std::min(size - at, size_t(n)));
        const QByteArray out(reinterpret_cast<const char *>(data + at), n);
        at += size_t(n);
        return out;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t at = 0;
};

class Driver {
public:
    explicit Driver(const Files &files)
        : files(files)
    {
        session.setImageSource(cachedImage);
    }

    // The files never change: each is read once through the session's own
    // reader, and later loads get the same answer from memory, so the fuzzer
    // spends its time in the session rather than in the file system.
    static std::optional<TransferImage> cachedImage(const QString &path, ImageError *error)
    {
        struct Read {
            std::optional<TransferImage> image;
            ImageError error = ImageError::None;
        };
        static QHash<QString, Read> reads;
        auto it = reads.find(path);
        if (it == reads.end()) {
            Read read;
            read.image = readTransferImageFile(path, &read.error);
            it = reads.insert(path, read);
        }
        if (error)
            *error = it->error;
        return it->image;
    }

    // Carries out what the session answered. pieceDue: the first Send is the
    // next piece (resume() while pieces remain).
    void run(bool pieceDue = false)
    {
        for (const Step &step : session.takeSteps()) {
            switch (step.kind) {
            case Step::Kind::Send:
                if (pieceDue)
                    piece(step.bytes);
                else
                    frame(step.bytes);
                pieceDue = false;
                if (failNextWrite) {
                    failNextWrite = false;
                    if (session.writeFailed())
                        return run(); // the rest of this batch is void
                }
                break;
            case Step::Kind::Progress:
                check(step.value >= 0 && step.value <= 100);
                break;
            case Step::Kind::Wait:
                check(step.value > 0 && session.sendingPieces());
                break;
            case Step::Kind::Deadline:
                check(step.value >= 0);
                (step.deadline == Deadline::Silence ? silenceDue : phaseDue) = step.value > 0;
                break;
            case Step::Kind::Verdict:
                // Only a file whose end frame went out can have been received.
                if (step.verdict == FileVerdict::Sent) {
                    check(announced != nullptr && endFrameSent);
                    check(QFileInfo(step.file).fileName() == QString::fromLatin1(announcedName));
                }
                break;
            default:
                break;
            }
        }
        // The driver's timers, as the steps set them, follow the phase.
        const bool due = session.replyDue();
        check(silenceDue == due && phaseDue == due);
        check(!due || !session.sendingPieces());
    }

    // A deadline passed: only one that is due ends anything.
    void deadline(Deadline which)
    {
        bool &due = which == Deadline::Silence ? silenceDue : phaseDue;
        const bool wasDue = due;
        const bool wasActive = session.transferActive();
        due = false; // its timer has fired
        session.deadlinePassed(which);
        if (wasDue) {
            check(!session.transferActive());
            forgetAnnouncement();
        } else {
            check(session.transferActive() == wasActive);
        }
    }

    // A restart or a closed connection ends what the camera was told: pieces
    // need a new announcement.
    void forgetAnnouncement() { announced = nullptr; }

    DownloadSession session;
    bool failNextWrite = false;
    bool silenceDue = false;
    bool phaseDue = false;

private:
    void frame(const QByteArray &bytes)
    {
        const std::optional<Frame> parsed = parseFrame(bytes);
        check(parsed && bytes.size() == parsed->payload.size() + FrameOverhead);
        if (bytes == buildEndFrame())
            endFrameSent = announced != nullptr;
        if (parsed->command != CmdHeader)
            return;
        const std::optional<HeaderInfo> header = parseHeaderPayload(parsed->payload);
        check(header.has_value());
        const auto found = files.byHeaderName.find(header->name);
        check(found != files.byHeaderName.end());
        announced = &files.all[size_t(*found)];
        announcedName = header->name;
        check(!announced->image.isEmpty() && header->imageSize == quint32(announced->image.size()));
        pieceBytes = 0;
        endFrameSent = false;
    }

    void piece(const QByteArray &bytes)
    {
        check(announced != nullptr && !bytes.isEmpty());
        check(pieceBytes + bytes.size() <= announced->image.size());
        check(bytes == announced->image.mid(pieceBytes, bytes.size()));
        pieceBytes += bytes.size();
    }

    const Files &files;
    const QueuedFile *announced = nullptr;
    QByteArray announcedName;
    int pieceBytes = 0;
    bool endFrameSent = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Files files;
    Input in(data, size);
    Driver driver(files);
    DownloadSession &session = driver.session;

    // The queue: up to eight entries, each byte picks a file.
    QStringList queue;
    for (int n = in.byte() % 9; n > 0; --n)
        queue << files.all[in.byte() % files.all.size()].path;
    session.setQueue(queue, in.byte());
    session.rewind();

    while (in.more()) {
        const quint8 op = in.byte();
        bool pieceDue = false;
        switch (op % 17) {
        case 0:
            session.receive(in.bytes(in.byte() % 64));
            break;
        case 1: // a well-formed reply, so that every status is reached often
        case 2: {
            const quint8 status = in.byte() % 7;
            session.receive(buildReplyFrame(status, in.byte()));
            break;
        }
        case 3:
            session.load();
            break;
        case 4:
            if (!session.sendingPieces()) // refused while the pieces are being sent
                driver.forgetAnnouncement(); // the camera starts afresh
            session.restart();
            break;
        case 5:
        case 6:
        case 7:
            pieceDue = session.sendingPieces() && session.pieceIndex() < session.pieceCount();
            session.resume();
            break;
        case 8:
            driver.failNextWrite = true;
            break;
        case 9:
            session.connectionClosed();
            driver.forgetAnnouncement();
            break;
        case 10:
            session.connectionReset();
            break;
        case 11:
            session.setFileIndex(in.byte() % (session.fileCount() + 1));
            break;
        case 12:
            session.rewind();
            break;
        case 13:
            session.setFilesListed(in.byte() & 1);
            break;
        case 14:
            driver.deadline(in.byte() & 1 ? Deadline::Phase : Deadline::Silence);
            break;
        case 15:
            session.bytesWritten();
            break;
        case 16: // limits from 1 ms on; a phase never shorter than the silence
            session.setSilenceLimit(1 + in.byte() * 97);
            session.setPhaseLimit(1 + in.byte() * 331);
            check(session.phaseLimit() >= session.silenceLimit());
            break;
        }
        driver.run(pieceDue);
        check(session.bufferedReplyBytes() < MaxStreamFrame);
    }
    return 0;
}
