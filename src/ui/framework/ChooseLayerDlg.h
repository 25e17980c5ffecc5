#pragma once
// The layer chooser: asks into which of the four layers a single layer
// section of a preset file is imported. InstallLayerChooser makes it the
// answer to the dump layer's question (dump/LayerChooser.h).

#include "ui/framework/BasicDialog.h"

#include <memory>

namespace Ui {
class ChooseLayerDlg;
}
class QComboBox;

class ChooseLayerDlg : public ModalDialog {
    Q_OBJECT
public:
    /// title: the dialog's name (the caption stays the form's); parent may be null.
    ChooseLayerDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~ChooseLayerDlg() override;

    /// The chosen layer 0-3; the opener may preset it before showing.
    int ChosenLayer() const { return m_chosenLayer; }
    void SetChosenLayer(int layer) { m_chosenLayer = layer; }

    QComboBox* LayerList() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start();

    std::unique_ptr<Ui::ChooseLayerDlg> m_ui;
    std::unique_ptr<ControlBase> m_listControl; // the list's tooltip
    int m_chosenLayer = 0;
    bool m_started = false;
};

/// Makes the layer chooser the dump layer's answer, opened over parentWnd
/// (the main window); the dialog has no parent listener.
void InstallLayerChooser(QWidget* parentWnd);
