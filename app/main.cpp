#include "gui/mainwindow.h"
#include "camera/framememory.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    keepFrameMemoryInProcess();
    QApplication app(argc, argv);
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    MainWindow window;
    window.show();
    return app.exec();
}
