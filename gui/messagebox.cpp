#include "gui/messagebox.h"

namespace msgbox {

namespace {

    Handler &currentHandler()
    {
        static Handler handler;
        return handler;
    }

    QMessageBox::StandardButton showModal(const Request &request)
    {
        QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
        box.setDefaultButton(request.defaultButton);
        return QMessageBox::StandardButton(box.exec());
    }

    QMessageBox::StandardButton make(QMessageBox::Icon icon, QWidget *parent, const QString &title,
        const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
    {
        Request request;
        request.icon = icon;
        request.parent = parent;
        request.title = title;
        request.text = text;
        request.buttons = buttons;
        request.defaultButton = defaultButton;
        return show(request);
    }

} // namespace

void setHandler(Handler handler)
{
    currentHandler() = std::move(handler);
}

QMessageBox::StandardButton show(const Request &request)
{
    const Handler &handler = currentHandler();
    return handler ? handler(request) : showModal(request);
}

QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return make(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return make(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return make(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

} // namespace msgbox
