#include "app/OptionsDlg.h"

#include "ui_OptionsDlg.h"

#include "app/MappingsDlg.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "module/Proteus.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/framework/StackWaitCursor.h"

namespace {

// String-table entries of the initialisation-file questions.
constexpr unsigned kOverwriteInitFile = 136;
constexpr unsigned kRecreateInitFile = 162;

// The swatch items in `colours` order, with their record names and tooltips.
struct ColourRow {
    int item;
    const char* name;
    int tooltip;
    int setting;
};
constexpr ColourRow kColourRows[OptionsDlg::ColourCount] = {
    {1359, "OPTIONS_BACKGROUND", 21042, ConfigBackgroundColour},
    {1360, "OPTIONS_FOREGROUND", 21043, ConfigForegroundColour},
    {1369, "OPTIONS_GROUP", 21044, ConfigGroupColour},
    {1362, "OPTIONS_HIGHLIGHT", 21045, ConfigHighlightColour},
    {1361, "OPTIONS_SHADOW", 21046, ConfigShadowColour},
    {1363, "OPTIONS_DISABLED", 21047, ConfigDisabledColour},
    {1364, "OPTIONS_FOREGROUND_ON", 21048, ConfigForegroundOnColour},
    {1365, "OPTIONS_BACKGROUND_ON", 21049, ConfigBackgroundOnColour},
    {1368, "OPTIONS_FOCUS", 21050, ConfigFocusColour},
};

} // namespace

OptionsDlg::OptionsDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 180, parent, parentWnd), m_ui(std::make_unique<Ui::OptionsDlg>())
{
    // The thirteen records, registered in the order 9330, 9341, 9342, 9331 ... 9340.
    auto make = [this](int id, const char* name, int maximum) {
        ParamRecord& r = Record(id);
        r = ParamRecord(QString::fromLatin1(name), id, 0);
        r.maximum = maximum;
        r.readOnly = false;
        AddParameter(&r);
    };
    make(ScreenReaderId, "OPTIONS_SCREEN_READER_FRIENDLY", 1);
    make(CreateInitFileId, "OPTIONS_CREATE_INIT_FILE", 1);
    make(EditMappingsId, "OPTIONS_EDIT_MAPPINGS", 1);
    make(SkipLcdId, "OPTIONS_SKIP_LCD", 1);
    for (int i = 0; i < ColourCount; ++i)
        make(FirstColourId + i, kColourRows[i].name, 0xFFFFFF);

    m_ui->setupUi(this);
    InitialiseDialog();
    setWindowTitle(title);

    m_screenReader = ItemAs<LitButtonCtrl>(1357);
    m_skipLcd = ItemAs<LitButtonCtrl>(1358);
    m_createInitFile = ItemAs<ButtonCtrl>(1366);
    m_editMappings = ItemAs<ButtonCtrl>(1367);
    for (LitButtonCtrl* s : {m_screenReader, m_skipLcd})
        s->SetOwner(this);
    m_screenReader->BindParameter(nullptr, 0, &Record(ScreenReaderId));
    m_screenReader->Setup(2, 21040);
    AddControl(m_screenReader);
    m_editMappings->SetOwner(this);
    m_editMappings->BindParameter(nullptr, 0, &Record(EditMappingsId));
    m_editMappings->Setup(21052);
    AddControl(m_editMappings);
    m_createInitFile->SetOwner(this);
    m_createInitFile->BindParameter(nullptr, 0, &Record(CreateInitFileId));
    m_createInitFile->Setup(21051);
    AddControl(m_createInitFile);
    m_skipLcd->BindParameter(nullptr, 0, &Record(SkipLcdId));
    m_skipLcd->Setup(2, 21041);
    AddControl(m_skipLcd);
    for (int i = 0; i < ColourCount; ++i) {
        ColourSwatchCtrl* swatch = ItemAs<ColourSwatchCtrl>(kColourRows[i].item);
        m_swatches[size_t(i)] = swatch;
        swatch->SetOwner(this);
        swatch->BindParameter(nullptr, 0, &Record(FirstColourId + i));
        swatch->Setup(kColourRows[i].tooltip);
        AddControl(swatch);
    }
}

OptionsDlg::~OptionsDlg()
{
    ForgetControls();
}

void OptionsDlg::LoadSettings()
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    screenReaderFriendly = settings.GetBool(ReaderFriendly);
    skipLcd = settings.GetBool(SkipScreenDump);
    for (int i = 0; i < ColourCount; ++i)
        colours[size_t(i)] = settings.GetDword(kColourRows[i].setting) & 0xFFFFFF;
}

void OptionsDlg::StoreSettings() const
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    settings.SetBool(ReaderFriendly, screenReaderFriendly);
    settings.SetBool(SkipScreenDump, skipLcd);
    for (int i = 0; i < ColourCount; ++i)
        settings.SetDword(kColourRows[i].setting, colours[size_t(i)]);
    if (GlobalStyle* style = TheGlobalStyle())
        style->ReloadColours();
}

bool OptionsDlg::ModuleReachable()
{
    Proteus* proteus = GetProteus();
    return proteus && proteus->IsConnected() && proteus->IsInputOpen() && proteus->IsOutputOpen();
}

void OptionsDlg::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        // The fields into the records, each keeping its old value as the previous one.
        m_loaded = true;
        auto load = [this](int id, int value) {
            ParamRecord& r = Record(id);
            r.previousValue = r.value;
            r.value = value;
        };
        load(ScreenReaderId, screenReaderFriendly ? 1 : 0);
        load(SkipLcdId, skipLcd ? 1 : 0);
        for (int i = 0; i < ColourCount; ++i)
            load(FirstColourId + i, int(colours[size_t(i)] & 0xFFFFFF));
        m_createInitFile->setEnabled(ModuleReachable());
    }
    ModalDialog::showEvent(event);
}

bool OptionsDlg::EditParameter(ParamRecord* record)
{
    if (!record)
        return true;
    const int id = record->id;
    if (id == ScreenReaderId)
        screenReaderFriendly = record->value != 0;
    else if (id == SkipLcdId)
        skipLcd = record->value != 0;
    else if (id >= FirstColourId && id < FirstColourId + ColourCount)
        colours[size_t(id - FirstColourId)] = std::uint32_t(record->value) & 0xFFFFFF;
    else if (id == CreateInitFileId)
        RecreateInitFile();
    else if (id == EditMappingsId)
        EditMappings();
    return true;
}

void OptionsDlg::RecreateInitFile()
{
    if (ShowMessage(this, msgbox::YesNo | msgbox::IconQuestion, false, kOverwriteInitFile) != msgbox::IdYes)
        return;
    if (Proteus* proteus = GetProteus()) {
        StackWaitCursor wait;
        proteus->CreateCacheConfiguration();
    }
}

void OptionsDlg::EditMappings()
{
    GlobalResources* resources = TheGlobalResources();
    if (!resources)
        return;
    MappingsDlg dialog(QStringLiteral("Mappings Dialog"), this, this);
    dialog.SetXML(resources->GetMappingsXML());
    const bool ok = m_runMappings ? m_runMappings(dialog) : dialog.exec() == QDialog::Accepted;
    if (!ok)
        return;
    if (!resources->SetMappingsXML(dialog.GetXML()))
        return;
    // Let whatever shows names know that the mappings changed.
    if (ParamRecord* reload = GetParameter(10000))
        EditParameter(reload);
    if (ModuleReachable()
        && ShowMessage(this, msgbox::YesNo | msgbox::IconQuestion, false, kRecreateInitFile) == msgbox::IdYes) {
        if (Proteus* proteus = GetProteus()) {
            StackWaitCursor wait;
            proteus->CreateCacheConfiguration();
        }
    }
}
