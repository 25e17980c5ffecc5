#pragma once
// The Bank Map dialog: for each of the 128 program-change numbers, the preset
// (number and ROM) the module selects, shown sixteen programs to a page on
// eight pages. The caller copies the module's map into `bankMap`, runs the
// dialog, and after OK sends the map back only when `changed` is set.

#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/framework/BasicDialog.h"

#include <array>
#include <cstdint>
#include <memory>

class ButtonCtrl;
class LabelCtrl;

namespace Ui {
class BankMapDlg;
}

/// A preset selector as a form builds it (forms give controls no owner).
class BankMapSelectCtrl : public SelectCtrl {
    Q_OBJECT
public:
    explicit BankMapSelectCtrl(QWidget* parent = nullptr) : SelectCtrl(nullptr, parent) {}
};

class BankMapDlg : public ModalDialog {
    Q_OBJECT
public:
    static constexpr int Rows = 16;
    static constexpr int Pages = 8;
    static constexpr int FirstRowId = 9030; ///< 9030 ... 9045
    static constexpr int PreviousId = 9007;
    static constexpr int NextId = 9008;

    BankMapDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~BankMapDlg() override;

    /// Entries 0-127: the preset number of programs 1-128; 128-255: their ROM ids.
    /// In before the run (program i selects preset i of ROM 0 until then), out after OK.
    std::array<std::int16_t, 256> bankMap{};
    /// Set after OK when an entry differs from what the dialog was given.
    bool changed = false;

    /// Every control's change; Previous and Next turn the page.
    bool EditParameter(ParamRecord* record) override;

    int Page() const { return m_page; }
    BankMapSelectCtrl* Selector(int row) const { return m_selectors[size_t(row)]; }
    LabelCtrl* NumberLabel(int row) const { return m_numbers[size_t(row)]; }
    ButtonCtrl* PreviousButton() const { return m_previous; }
    ButtonCtrl* NextButton() const { return m_next; }
    ParamRecord& RowRecord(int row) { return m_records[size_t(row)]; }

protected:
    void showEvent(QShowEvent* event) override;
    void OnOK() override;

private:
    void ShowPage();
    void StorePage();

    std::unique_ptr<Ui::BankMapDlg> m_ui;
    std::array<LabelCtrl*, Rows> m_numbers{};
    std::array<BankMapSelectCtrl*, Rows> m_selectors{};
    ButtonCtrl* m_previous = nullptr;
    ButtonCtrl* m_next = nullptr;
    std::array<ParamRecord, Rows + 2> m_records;
    int m_page = 0;
    bool m_shown = false;
};
