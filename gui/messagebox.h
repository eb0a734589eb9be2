// Every message box of the program goes through here, so that tests can answer
// the boxes instead of blocking on them.
#ifndef TAVIX_MESSAGEBOX_H
#define TAVIX_MESSAGEBOX_H

#include <QMessageBox>
#include <QString>

#include <functional>

namespace msgbox {

// One box as the program asks for it.
struct Request {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *parent = nullptr;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Shows the box and returns the button the operator chose.
using Handler = std::function<QMessageBox::StandardButton(const Request &)>;

// Replaces the real, modal boxes by `handler`; an empty handler brings them back.
void setHandler(Handler handler);

// Shows `request` through the handler in place (a modal QMessageBox by default).
QMessageBox::StandardButton show(const Request &request);

// A warning box, with the arguments of QMessageBox::warning.
QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// An information box, with the arguments of QMessageBox::information.
QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A critical box, with the arguments of QMessageBox::critical.
QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

} // namespace msgbox

#endif
