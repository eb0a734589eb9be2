#include "camera/framememory.h"
#include "gui/language.h"
#include "gui/logcapture.h"
#include "gui/mainwindow.h"
#include "gui/settings.h"
#include "gui/startoptions.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    keepFrameMemoryInProcess();
    // Every window paints with Qt's raster engine. The X11 platform's OpenGL
    // integration would load the system's GL library all the same (under Xvfb
    // Mesa's software renderer: some 40 MB resident) for nothing. Left to
    // whoever sets the variable.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    logcapture::install(); // the log view's lines; they still go to stderr
    QApplication app(argc, argv);
    settings::setApplicationNames();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    // Qt's own options (-platform, -style, ...) are gone from arguments() by now.
    const StartDecision decision = parseStartOptions(QCoreApplication::arguments());
    if (!decision.start) {
        std::fputs(decision.message.toLocal8Bit().constData(), decision.exitCode == 0 ? stdout : stderr);
        return decision.exitCode;
    }
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // --lang for this run; otherwise the Language menu's last choice; Chinese by default.
    const QString code
        = decision.options.language.isEmpty() ? settings::language() : decision.options.language;
    if (const auto chosen = language::fromCode(code); chosen && *chosen != language::Language::Chinese)
        language::apply(*chosen);
    MainWindow window;
    window.setWaitForFrames(decision.options.waitForFrames);
    window.show();
    const int record = decision.options.openRecord;
    if (record >= 0) {
        // Once the event loop runs, as an operator's right-click would come.
        QTimer::singleShot(0, &window, [&window, record] {
            if (!window.openCamera(record))
                std::fprintf(stderr,
                    "Tavix: --open %d: no camera with index %d is listed; no camera was opened.\n", record,
                    record);
        });
    }
    return app.exec();
}
