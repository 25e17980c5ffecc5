#pragma once
// The Options dialog: the screen-reader and LCD switches and the nine
// interface colours, which the caller stores after OK (LoadSettings before the
// run, StoreSettings after OK), and two actions that take effect at once from
// inside the dialog, however it ends: recreating the module's initialisation
// (configuration cache) file, and editing the name mappings.

#include "ui/framework/BasicDialog.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class ButtonCtrl;
class ColourSwatchCtrl;
class LitButtonCtrl;
class MappingsDlg;

namespace Ui {
class OptionsDlg;
}

class OptionsDlg : public ModalDialog {
    Q_OBJECT
public:
    static constexpr int ScreenReaderId = 9330;
    static constexpr int SkipLcdId = 9331;
    static constexpr int FirstColourId = 9332; ///< 9332 ... 9340, in `colours` order
    static constexpr int CreateInitFileId = 9341;
    static constexpr int EditMappingsId = 9342;
    static constexpr int ColourCount = 9;

    OptionsDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~OptionsDlg() override;

    // The fields: in before the run, out after OK.
    bool screenReaderFriendly = false;
    bool skipLcd = false;
    /// 0x00BBGGRR: background, foreground, group, highlight, shadow, disabled,
    /// foreground on, background on, focus.
    std::array<std::uint32_t, ColourCount> colours{};

    /// The fields from the settings ReaderFriendly, SkipScreenDump and the nine colours.
    void LoadSettings();
    /// The fields into those eleven settings, then every window takes the new colours.
    void StoreSettings() const;

    /// Where every control's change lands; always true.
    bool EditParameter(ParamRecord* record) override;

    /// Runs the mappings dialog (tests replace it): the dialog is set up with
    /// the document's text; true and the edited text after OK.
    using MappingsRunner = std::function<bool(MappingsDlg& dialog)>;
    void SetMappingsRunner(MappingsRunner runner) { m_runMappings = std::move(runner); }

    LitButtonCtrl* ScreenReaderSwitch() const { return m_screenReader; }
    LitButtonCtrl* SkipLcdSwitch() const { return m_skipLcd; }
    ButtonCtrl* CreateInitFileButton() const { return m_createInitFile; }
    ButtonCtrl* EditMappingsButton() const { return m_editMappings; }
    ColourSwatchCtrl* Swatch(int i) const { return m_swatches[size_t(i)]; }
    ParamRecord& Record(int id) { return m_records[size_t(id - ScreenReaderId)]; }

    /// The module is connected with both of its ports open.
    bool ModuleReachable();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RecreateInitFile();
    void EditMappings();

    std::unique_ptr<Ui::OptionsDlg> m_ui;
    LitButtonCtrl* m_screenReader = nullptr;
    LitButtonCtrl* m_skipLcd = nullptr;
    ButtonCtrl* m_createInitFile = nullptr;
    ButtonCtrl* m_editMappings = nullptr;
    std::array<ColourSwatchCtrl*, ColourCount> m_swatches{};
    std::array<ParamRecord, 13> m_records;
    MappingsRunner m_runMappings;
    bool m_loaded = false;
};
