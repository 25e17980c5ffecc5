#pragma once
// The keyboard's configuration dialog: four chord notes, diatonic mode, the
// repeat speed and the MIDI clock switch, with six buttons that load ready
// chords. It edits local records only; nothing goes to the module. The caller
// fills `values` before running it and reads them back after OK.

#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/KeyboardLogic.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/BasicDialog.h"

#include <array>
#include <memory>

namespace Ui {
class ConfigureKeyboardDlg;
}

class ConfigureKeyboardDlg : public ModalDialog {
    Q_OBJECT
public:
    /// Ids of the dialog's records.
    static constexpr int DiatonicId = 9180;
    static constexpr int ChordNote1Id = 9181;
    static constexpr int RepeatSpeedId = 9185;
    static constexpr int SendClockId = 9186;
    static constexpr int Macro1Id = 9187;

    ConfigureKeyboardDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~ConfigureKeyboardDlg() override;

    /// In before the dialog runs, out after OK.
    KeyboardSettings values;

    /// Every edit is taken; a chord button loads its chord into the four note sliders.
    bool EditParameter(ParamRecord* record) override;
    /// The chord of chord button i (0 ... 5).
    static std::array<int, 4> Chord(int button);
    /// Of equal non-zero notes only the first stays; the others become 0.
    static void RemoveRepeatedNotes(int notes[4]);

    TrackerCtrl* ChordSlider(int i) const { return m_chordSliders[size_t(i)]; }
    TrackerCtrl* RepeatSlider() const { return m_repeat; }
    ButtonCtrl* ChordButton(int i) const { return m_chordButtons[size_t(i)]; }
    LitButtonCtrl* DiatonicSwitch() const { return m_diatonic; }
    LitButtonCtrl* ClockSwitch() const { return m_clock; }
    ParamRecord& Record(int id) { return m_records[size_t(id - DiatonicId)]; }

protected:
    void showEvent(QShowEvent* event) override;
    void OnOK() override;

private:
    std::unique_ptr<Ui::ConfigureKeyboardDlg> m_ui;
    LitButtonCtrl* m_diatonic;
    std::array<TrackerCtrl*, 4> m_chordSliders{};
    TrackerCtrl* m_repeat;
    std::array<ButtonCtrl*, 6> m_chordButtons{};
    LitButtonCtrl* m_clock;
    std::array<ParamRecord, 13> m_records;
    bool m_loaded = false;
};
