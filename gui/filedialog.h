// Every file dialog of the main window goes through here, so that tests can
// answer the dialogs instead of blocking on them.
#ifndef TAVIX_FILEDIALOG_H
#define TAVIX_FILEDIALOG_H

#include <QString>

#include <functional>

class QWidget;

namespace filedialog {

// One dialog as the program asks for it.
struct Request {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QWidget *parent = nullptr;
    QString caption;
    QString dir;
    QString filter;
};

// Shows the dialog and returns the chosen file name; empty when cancelled.
using Handler = std::function<QString(const Request &)>;

// Replaces the real, modal dialogs by `handler`; an empty handler brings them back.
void setHandler(Handler handler);

// Shows `request` through the handler in place (a modal QFileDialog by default).
QString show(const Request &request);

// The open-file dialog, with the arguments of QFileDialog::getOpenFileName.
QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);

// The save-file dialog, with the arguments of QFileDialog::getSaveFileName.
QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);

} // namespace filedialog

#endif
