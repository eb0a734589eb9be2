#ifndef TAVIX_FIRMWAREDIALOG_H
#define TAVIX_FIRMWAREDIALOG_H

#include <QDialog>
#include <QString>

// The firmware download dialog: queues files and sends them to a camera over TCP.
class FirmWareDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FirmWareDialog(QWidget *parent = nullptr);
    ~FirmWareDialog() override;

    QString cameraIp() const { return ip; }

public slots:
    void read_ip(QString ipText);

private:
    QString ip;
};

#endif
