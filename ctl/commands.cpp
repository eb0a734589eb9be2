#include "ctl/commands.h"

#include "camera/camerasdk.h"
#include "core/paramfile.h"
#include "ctl/commandclient.h"
#include "ctl/firmwarecmd.h"
#include "ctl/output.h"
#include "ctl/paramdiff.h"
#include "ctl/paramnames.h"
#include "ctl/restart.h"
#include "ctl/streamcmd.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTextStream>

namespace ctl {

namespace {

    QString hexId(quint16 id)
    {
        return QStringLiteral("0x") + cmdproto::toHex(id, 4);
    }

    struct WriteOutcome {
        int exitCode = ExitOk;
        QString text; // "set success", or why not
    };

    // One Set of a catalogue row, as the property table's Set button does it,
    // then the camera's acknowledgement.
    WriteOutcome writeRow(
        CommandClient *channel, const Target &target, int row, const QString &value, int timeoutMs)
    {
        const paramcat::RowEncoding encoding = paramcat::encodeRow(row, value);
        for (const QString &line : encoding.logLines)
            qDebug().noquote() << line;
        using Kind = paramcat::RowEncoding::Kind;
        switch (encoding.kind) {
        case Kind::NoRow:
            return { ExitBadInput, QStringLiteral("no such parameter row") };
        case Kind::Rejected:
            // A name or an address the SDK cannot take is bad input, like an
            // unknown parameter; a value the table refuses is a refusal.
            if ((row == paramcat::kRowIp || row == paramcat::kRowName) && !value.isEmpty())
                return { ExitBadInput, encoding.warning.shownText() };
            return { ExitFailed, encoding.warning.shownText() };
        case Kind::SetCameraIp:
        case Kind::SetCameraName: {
            if (target.index < 0)
                return { ExitBadInput, QStringLiteral("the camera SDK does not list %1").arg(target.ip) };
            char textBuffer[64];
            const int status = encoding.kind == Kind::SetCameraIp
                ? camerasdk::setCameraIp(target.index, encoding.text, textBuffer)
                : camerasdk::setCameraName(target.index, encoding.text, textBuffer);
            if (status != 0)
                return { ExitFailed, QStringLiteral("the camera SDK refused it (status %1)").arg(status) };
            return { ExitOk, QStringLiteral("set success") };
        }
        case Kind::Command:
            break;
        }
        const paramcat::CommandTriple &command = encoding.command;
        if (command.cmd == cmdproto::kCmdWrite && target.mac.size() != cmdproto::kMacSize)
            return { ExitBadInput,
                QStringLiteral("no MAC known for %1 (the camera SDK does not list it): give --mac")
                    .arg(target.ip) };
        if (!channel)
            return { ExitBadInput, QStringLiteral("no command socket") };
        const CommandClient::Answer answer = channel->request(target, command, timeoutMs);
        switch (answer.kind) {
        case CommandClient::Answer::Kind::NotSent:
            return { ExitFailed, QStringLiteral("the command could not be sent") };
        case CommandClient::Answer::Kind::Interrupted:
            return { ExitInterrupted, QStringLiteral("interrupted") };
        case CommandClient::Answer::Kind::Timeout:
            return { ExitFailed,
                QStringLiteral("no acknowledgement from %1 within %2 ms").arg(target.ip).arg(timeoutMs) };
        case CommandClient::Answer::Kind::Reply:
            break;
        }
        const bool accepted = !answer.frame.data.isEmpty() && answer.frame.data.at(0) != 0;
        if (!accepted)
            return { ExitFailed, QStringLiteral("refused by the camera (id %1)").arg(hexId(command.id)) };
        return { ExitOk, QStringLiteral("set success") };
    }

    class Runner {
    public:
        Runner(const Invocation &inv, QTextStream &out, QTextStream &err)
            : inv(inv)
            , out(out)
            , err(err)
        {
        }

        int run()
        {
            cameras = enumerateCameras();
            switch (inv.command) {
            case Command::List:
                out << (inv.json ? cameraListJson(cameras) : cameraListText(cameras));
                for (const QString &note : unusableListedCameras(cameras))
                    err << "tavixctl: warning: " << note << '\n';
                return ExitOk;
            case Command::Get:
                return get();
            case Command::Set:
                return set();
            case Command::Apply:
                return apply();
            case Command::Restart:
                return restart();
            case Command::Firmware:
                return runFirmware(inv, cameras, out, err);
            case Command::Stream:
                return runStream(inv, cameras, out, err);
            case Command::Diff:
                return diff();
            }
            return ExitBadInput;
        }

    private:
        std::optional<Target> target()
        {
            const Resolution resolution = resolveCamera(cameras, inv.camera, inv.mac);
            if (!resolution.target)
                err << "tavixctl: " << resolution.error << '\n';
            return resolution.target;
        }

        bool openChannel()
        {
            QString error;
            QString warning;
            const bool opened = channel.open(&error, &warning);
            if (!warning.isEmpty())
                err << "tavixctl: warning: " << warning << '\n';
            if (!opened)
                err << "tavixctl: " << error << '\n';
            err.flush();
            return opened;
        }

        // The parameter file, read as the window's Open reads it; an error is said on `err`.
        paramfile::LoadResult loadFile(const QString &path)
        {
            const paramfile::LoadResult loaded = paramfile::loadParameterFile(path);
            if (loaded.error != paramfile::LoadResult::Error::None)
                err << "tavixctl: " << path << ": " << paramfile::loadErrorText(loaded) << '\n';
            return loaded;
        }

        // The camera's answer to the parameter query, or nothing with the exit
        // code in `exitCode` after a line on `err`.
        std::optional<QByteArray> queryReport(const Target &camera, int *exitCode)
        {
            *exitCode = ExitBadInput;
            if (!openChannel())
                return std::nullopt;
            const CommandClient::Answer answer
                = channel.request(camera, paramcat::parameterQuery(), inv.timeoutMs);
            if (answer.kind == CommandClient::Answer::Kind::Interrupted) {
                *exitCode = ExitInterrupted;
                return std::nullopt;
            }
            if (answer.kind != CommandClient::Answer::Kind::Reply) {
                err << "tavixctl: no parameter report from " << camera.label() << " within " << inv.timeoutMs
                    << " ms\n";
                *exitCode = ExitNoReply;
                return std::nullopt;
            }
            *exitCode = ExitOk;
            return answer.frame.data;
        }

        int notAnObject(const Target &camera, const QByteArray &payload)
        {
            err << "tavixctl: the parameter report of " << camera.label()
                << " is not a JSON object: " << QString::fromUtf8(payload.left(80)) << '\n';
            return ExitFailed;
        }

        int get()
        {
            const std::optional<Target> camera = target();
            if (!camera)
                return ExitBadInput;
            int exitCode = ExitOk;
            const std::optional<QByteArray> payload = queryReport(*camera, &exitCode);
            if (!payload)
                return exitCode;
            const std::optional<Report> report = parseReport(*payload);
            if (!report)
                return notAnObject(*camera, *payload);
            out << (inv.json ? reportJson(*camera, *report) : reportText(*report));
            return ExitOk;
        }

        int diff()
        {
            const std::optional<Target> camera = target();
            if (!camera)
                return ExitBadInput;
            const QString path = inv.files.value(0);
            const paramfile::LoadResult loaded = loadFile(path);
            if (loaded.error != paramfile::LoadResult::Error::None)
                return ExitBadInput;
            int exitCode = ExitOk;
            const std::optional<QByteArray> payload = queryReport(*camera, &exitCode);
            if (!payload)
                return exitCode;
            const std::optional<ParamDiff> diff = diffParameters(loaded.values, *payload);
            if (!diff)
                return notAnObject(*camera, *payload);
            out << (inv.json ? diffJson(*camera, path, *diff) : diffText(*diff));
            if (diff->compared.isEmpty()) {
                err << "tavixctl: " << path << ": nothing compared: the report of " << camera->label()
                    << " carries none of the file's non-empty members\n";
                return ExitFailed;
            }
            return diff->allEqual() ? ExitOk : ExitFailed;
        }

        int set()
        {
            const std::optional<Target> camera = target();
            if (!camera)
                return ExitBadInput;
            const bool needsChannel = inv.row != paramcat::kRowIp && inv.row != paramcat::kRowName;
            if (needsChannel && !openChannel())
                return ExitBadInput;
            const WriteOutcome outcome
                = writeRow(needsChannel ? &channel : nullptr, *camera, inv.row, inv.value, inv.timeoutMs);
            const QString line = QStringLiteral("%1 = %2: %3").arg(rowName(inv.row), inv.value, outcome.text);
            if (outcome.exitCode == ExitOk)
                out << line << '\n';
            else
                err << "tavixctl: " << camera->label() << ": " << line << '\n';
            return outcome.exitCode;
        }

        int apply()
        {
            const std::optional<Target> camera = target();
            if (!camera)
                return ExitBadInput;
            const QString path = inv.files.value(0);
            const paramfile::LoadResult loaded = loadFile(path);
            if (loaded.error != paramfile::LoadResult::Error::None)
                return ExitBadInput;
            // Every value is checked before the first write, so that a file with
            // a value the table refuses leaves the camera as it was.
            QStringList refused;
            for (const paramfile::FileKey &key : paramfile::kKeys) {
                const QString value = loaded.values.value(key.row);
                const paramcat::RowEncoding encoding = paramcat::encodeRow(key.row, value);
                if (!value.isEmpty() && encoding.kind == paramcat::RowEncoding::Kind::Rejected)
                    refused << QStringLiteral("%1 = %2: %3")
                                   .arg(QLatin1String(key.key), value, encoding.warning.shownText());
            }
            if (!refused.isEmpty()) {
                for (const QString &line : refused)
                    err << "tavixctl: " << path << ": " << line << '\n';
                err << "tavixctl: " << path << ": nothing written to " << camera->label() << '\n';
                return ExitFailed;
            }
            if (camera->mac.size() != cmdproto::kMacSize) {
                err << "tavixctl: no MAC known for " << camera->ip
                    << " (the camera SDK does not list it): give --mac\n";
                return ExitBadInput;
            }
            if (!openChannel())
                return ExitBadInput;
            int exitCode = ExitOk;
            for (const paramfile::FileKey &key : paramfile::kKeys) {
                const QString value = loaded.values.value(key.row);
                QString outcome = QStringLiteral("skipped (empty)");
                if (!value.isEmpty()) {
                    const WriteOutcome written = writeRow(&channel, *camera, key.row, value, inv.timeoutMs);
                    outcome = written.text;
                    if (written.exitCode == ExitInterrupted) {
                        out.flush();
                        err << "tavixctl: interrupted\n";
                        return ExitInterrupted;
                    }
                    if (written.exitCode != ExitOk)
                        exitCode = ExitFailed;
                }
                out << QStringLiteral("%1 = %2: %3\n").arg(QLatin1String(key.key), value, outcome);
                out.flush();
            }
            return exitCode;
        }

        int restart()
        {
            const std::optional<Target> camera = target();
            if (!camera)
                return ExitBadInput;
            QString error;
            if (!sendRestart(camera->ip, inv.firmwarePort, inv.timeoutMs, &error)) {
                err << "tavixctl: " << error << '\n';
                return ExitFailed;
            }
            out << camera->label() << ": restart frame sent\n";
            if (!inv.wait)
                return ExitOk;
            out.flush();
            qint64 elapsed = 0;
            if (!waitUntilBack(camera->ip, inv.firmwarePort, inv.timeoutMs, &elapsed, &error)) {
                err << "tavixctl: " << camera->label() << " did not come back within " << inv.timeoutMs
                    << " ms: " << error << '\n';
                return ExitFailed;
            }
            out << camera->label() << ": back after " << elapsed << " ms\n";
            return ExitOk;
        }

        const Invocation &inv;
        QTextStream &out;
        QTextStream &err;
        QVector<CameraEntry> cameras;
        CommandClient channel { inv.commandPort };
    };

} // namespace

int run(const Invocation &invocation, QTextStream &out, QTextStream &err)
{
    Runner runner(invocation, out, err);
    const int code = runner.run();
    out.flush();
    err.flush();
    return code;
}

} // namespace ctl
