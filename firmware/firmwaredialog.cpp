#include "firmware/firmwaredialog.h"

FirmWareDialog::FirmWareDialog(QWidget *parent)
    : QDialog(parent)
{
}

FirmWareDialog::~FirmWareDialog() = default;

void FirmWareDialog::read_ip(QString ipText)
{
    ip = ipText;
}
