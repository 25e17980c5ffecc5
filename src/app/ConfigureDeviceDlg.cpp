#include "app/ConfigureDeviceDlg.h"

ConfigureDeviceDlg::ConfigureDeviceDlg(const QString& title, QWidget* parentWnd)
    : ModalDialog(title, 130, nullptr, parentWnd)
{
}
ConfigureDeviceDlg::~ConfigureDeviceDlg() = default;
