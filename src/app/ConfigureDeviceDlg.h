#pragma once
// ConfigureDeviceDlg: the four MIDI ports, the module's SysEx device id and
// the three time settings. The caller fills the fields, runs the dialog and
// reads them back after OK; the dialog touches neither settings nor ports.

#include "ui/framework/BasicDialog.h"

#include <memory>

namespace Ui {
class ConfigureDeviceDlg;
}
class EditCtrl;
class ListBoxCtrl;

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

    /// The device id as typed: "0x" starts a hexadecimal number, a leading 0
    /// an octal one, anything else is decimal; the number ends at the first
    /// character that does not fit, and text without digits reads as 0.
    /// False when the number does not fit in an int.
    static bool ParseAutomaticBase(const QString& text, int* value);
    /// A time as typed: decimal digits only (leading zeros are just zeros);
    /// the number ends at the first other character. False when it does not
    /// fit in an int.
    static bool ParseDecimal(const QString& text, int* value);

    /// The dialog's items, for the caller's tests.
    ListBoxCtrl* InputList() const;
    ListBoxCtrl* OutputList() const;
    ListBoxCtrl* BPortList() const;
    ListBoxCtrl* ControllerList() const;
    EditCtrl* DeviceIdEdit() const;
    EditCtrl* TimeEdit(int index) const;  ///< 0 LongTimeout, 1 WriteDelay, 2 SysExDelay

protected:
    void showEvent(QShowEvent* event) override;
    void OnOK() override;

private:
    void Start();
    void FillLists();

    std::unique_ptr<Ui::ConfigureDeviceDlg> m_ui;
    bool m_started = false;
};
