#include "gui/logcapture.h"

#include <QDateTime>

#include <atomic>

namespace logcapture {

namespace {

    std::atomic<QtMessageHandler> previousHandler { nullptr };

    void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        static const char *const prefixes[] = { "", "Warning: ", "Critical: ", "Fatal: ", "" };
        const int kind = int(type);
        const char *prefix = kind >= 0 && kind < 5 ? prefixes[kind] : "";
        buffer().append(QDateTime::currentDateTime(), QLatin1String(prefix) + text);
        if (const QtMessageHandler previous = previousHandler.load())
            previous(type, context, text);
    }

} // namespace

LogBuffer &buffer()
{
    // Never destroyed: a thread may still log while the process's statics go.
    static LogBuffer *const lines = new LogBuffer;
    return *lines;
}

void install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    buffer(); // made before the first message can come from another thread
    previousHandler.store(qInstallMessageHandler(handler));
}

} // namespace logcapture
