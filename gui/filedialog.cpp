#include "gui/filedialog.h"

#include <QFileDialog>

namespace filedialog {

namespace {

    Handler &currentHandler()
    {
        static Handler handler;
        return handler;
    }

    QString showModal(const Request &request)
    {
        if (request.kind == Request::Kind::Save)
            return QFileDialog::getSaveFileName(request.parent, request.caption, request.dir, request.filter);
        return QFileDialog::getOpenFileName(request.parent, request.caption, request.dir, request.filter);
    }

    QString make(Request::Kind kind, QWidget *parent, const QString &caption, const QString &dir,
        const QString &filter)
    {
        Request request;
        request.kind = kind;
        request.parent = parent;
        request.caption = caption;
        request.dir = dir;
        request.filter = filter;
        return show(request);
    }

} // namespace

void setHandler(Handler handler)
{
    currentHandler() = std::move(handler);
}

QString show(const Request &request)
{
    const Handler &handler = currentHandler();
    return handler ? handler(request) : showModal(request);
}

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return make(Request::Kind::Open, parent, caption, dir, filter);
}

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return make(Request::Kind::Save, parent, caption, dir, filter);
}

} // namespace filedialog
