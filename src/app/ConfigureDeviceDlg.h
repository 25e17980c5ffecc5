#pragma once
// ConfigureDeviceDlg: the four MIDI ports, the module's SysEx device id and
// the three time settings. The caller fills the fields, runs the dialog and
// reads them back after OK; the dialog touches neither settings nor ports.

#include "ui/framework/BasicDialog.h"

class ConfigureDeviceDlg : public ModalDialog {
    Q_OBJECT
public:
    ConfigureDeviceDlg(const QString& title, QWidget* parentWnd);
    ~ConfigureDeviceDlg() override;

    int m_inputPort = 0;
    int m_outputPort = 0;
    int m_deviceId = 0;
    int m_bPort = 0;
    int m_controllerPort = 0;
    int m_longTimeout = 0;
    int m_writeDelay = 0;
    int m_sysExDelay = 0;
};
