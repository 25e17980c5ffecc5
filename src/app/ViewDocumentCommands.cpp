// The View's File and Edit commands that move one preset between the module,
// the preset editor and files: Load, Save, Save As, Copy Data, Import Data,
// Export Data and Send Data.
#include "app/View.h"

#include "app/FileDialogs.h"
#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "dump/OleProps.h"
#include "connection/PresetDocument.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "ui/framework/Popup.h"
#include "ui/framework/StackWaitCursor.h"

#include <QFileInfo>

namespace {

/// The file dialog's type of SysEx files (1 preset documents, 3 all files).
constexpr int kSysExType = 2;
constexpr int kDocumentType = 1;
constexpr unsigned kSaveEditBufferQuestion = 302;
const QString kLoadDocument = QStringLiteral("Load Document");

/// The string of a file that holds no preset dump.
constexpr unsigned kNotADumpString = 258;

/// Reads a SysEx file to be uploaded. A file that holds no SysEx message at
/// all is refused with the message of a file of the wrong kind: the upload
/// would otherwise take the empty list and end without a word to the user.
bool ReadUploadFile(Proteus& proteus, const QString& path, ByteBlockList& blocks, OleProps& props)
{
    if (!proteus.ReadSysExFile(path, blocks, props))
        return false;
    if (!blocks.empty())
        return true;
    return proteus.ReportDumpFailure(QStringLiteral("upload sysex dump file"), LoadResourceString(kNotADumpString));
}

/// Runs a preset dialog of these commands: modally, or through the runner
/// installed in its place.
int RunDialog(const View::DialogRunner& runner, QDialog& dialog)
{
    return runner ? runner(dialog) : dialog.exec();
}

} // namespace

bool View::IsSysExPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("sysex"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("syx"), Qt::CaseInsensitive) == 0;
}

bool View::CanExportOrSendData()
{
    Proteus* proteus = GetProteus();
    return proteus && proteus->HasCapability(CAP_SYSEX_DUMPS);
}

PresetEditorCalls* View::PresetEditor() const
{
    return dynamic_cast<PresetEditorCalls*>(GetPopup(EditPopup));
}

void View::OnFileLoad()
{
    if (!QueryClose())
        return;
    FileDlg dlg(true, m_presetFile, this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    const QString path = dlg.GetPathName();
    StackWaitCursor wait;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return;
    PopupBase* editorPopup = GetPopup(EditPopup);
    PresetEditorCalls* editor = PresetEditor();
    OleProps props;

    if (IsSysExPath(path)) {
        ByteBlockList blocks;
        if (!ReadUploadFile(*proteus, path, blocks, props) || !proteus->UploadPreset(true, -1, -1, blocks))
            return;
        m_presetFile = path;
        m_presetFilter = kSysExType; // a later Save writes this file as SysEx again
        GetGlobalConfigurations().SetString(PresetFile, path);
        if (editorPopup) {
            if (ParamRecord* upload = GetParameter(UPLOAD_SYSEX))
                editorPopup->EditParameter(upload);
        }
        if (editor)
            editor->SetTooltipText(props.comments);
        if (ParamRecord* preset = GetParameter(MULTIMODE_PRESET))
            proteus->DistributeParameterChanged(preset);
        return;
    }

    // A preset document is loaded into the editor: without it there is
    // nothing to load into.
    if (!editorPopup)
        return;
    ParamRecord* start = GetParameter(START_UNDO);
    ParamRecord* end = GetParameter(END_UNDO);
    if (start) {
        start->SetText(kLoadDocument);
        editorPopup->EditParameter(start);
    }
    // The document's value is already in the shared record when it is
    // handed over; an edit that is refused (an editor's save question
    // answered Cancel, a send that fails) gets its old values (or the
    // module's) back from the reader, so nothing shows a value the module
    // does not have.
    auto edit = [editorPopup](ParamRecord* record) { return editorPopup->EditParameter(record); };
    const bool loaded = LoadPresetDocument(*proteus, edit, path, props);
    if (loaded) {
        m_presetFile = path;
        m_presetFilter = kDocumentType;
        if (editor)
            editor->SetTooltipText(props.comments);
    }
    if (end) {
        end->SetText(kLoadDocument);
        editorPopup->EditParameter(end);
    }
}

void View::OnFileSave()
{
    if (m_presetFile.isEmpty()) {
        OnFileSaveAsPreset();
        return;
    }
    StackWaitCursor wait;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return;
    // The file's name decides how it is written, so a SysEx file is never
    // overwritten with a document and Load reads back what Save wrote.
    if (IsSysExPath(m_presetFile)) {
        int romId = 0;
        int preset = -1;
        if (ShowMessage(this, msgbox::YesNo | msgbox::IconQuestion, false, kSaveEditBufferQuestion) != msgbox::IdYes) {
            DumpDlg dlg(QStringLiteral("Dump Preset"), this, this);
            if (ParamRecord* current = GetParameter(MULTIMODE_PRESET)) {
                dlg.m_romId = current->romId;
                dlg.m_presetNumber = current->value;
            }
            if (RunDialog(m_dialogRunner, dlg) != QDialog::Accepted)
                return;
            romId = dlg.m_romId;
            preset = dlg.m_presetNumber;
        }
        DumpToFile(2, romId, preset, m_presetFile);
        GetGlobalConfigurations().SetString(PresetFile, m_presetFile);
        return;
    }
    OleProps props;
    if (PresetEditorCalls* editor = PresetEditor()) {
        props.title = editor->GetTitleText().trimmed();
        props.comments = editor->GetTooltipText().trimmed();
    }
    SavePresetDocument(*proteus, m_presetFile, props);
    GetGlobalConfigurations().SetString(PresetFile, m_presetFile);
}

void View::OnFileSaveAsPreset()
{
    FileDlg dlg(false, m_presetFile, this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    m_presetFile = dlg.GetPathName();
    // The current type follows the name (Save writes by it); the type chosen
    // in the dialog is remembered for the next Save As.
    m_presetFilter = IsSysExPath(m_presetFile) ? kSysExType : kDocumentType;
    GetGlobalConfigurations().SetDword(PresetFilter, std::uint32_t(dlg.GetFilterIndex()));
    OnFileSave();
}

bool View::DumpToFile(int subRequest, int romId, int preset, const QString& path)
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    ByteBlockList blocks;
    if (!proteus->DownloadPreset(subRequest, romId, preset, -1, true, blocks))
        return false;
    OleProps props;
    if (romId == 0 && preset == -1) {
        if (PresetEditorCalls* editor = PresetEditor()) {
            props.title = editor->GetTitleText().trimmed();
            props.comments = editor->GetTooltipText().trimmed();
        }
    } else {
        props.title = proteus->GetSimmObjectName(OBJECT_PRESET, romId, preset).trimmed();
        if (GlobalResources* resources = TheGlobalResources())
            props.comments = resources->GetObjectTooltip(OBJECT_PRESET, romId, preset).trimmed();
    }
    return proteus->WriteSysExFile(path, blocks, props);
}

void View::OnEditCopyData()
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return;
    CopyPresetDlg dlg(QStringLiteral("Copy Preset"), this, this);
    if (ParamRecord* current = GetParameter(MULTIMODE_PRESET)) {
        dlg.m_sourceRomId = current->romId;
        dlg.m_sourcePreset = current->value;
        dlg.m_destinationPreset = current->value;
    }
    dlg.m_copyCommand = 32;
    dlg.m_sourceLayer = 0;
    dlg.m_destinationLayer = 0;
    if (RunDialog(m_dialogRunner, dlg) != QDialog::Accepted)
        return;
    StackWaitCursor wait;
    const bool copied = proteus->CopyPreset(dlg.m_copyCommand, dlg.m_sourceRomId, dlg.m_sourcePreset,
                                            dlg.m_sourceLayer, dlg.m_destinationPreset, dlg.m_destinationLayer);
    if (!copied && !GetGlobalConfigurations().GetBool(TestUI))
        return;
    bool ok = false;
    QString name;
    if (proteus->GetObjectName(OBJECT_PRESET, 0, dlg.m_destinationPreset, ok, name) && ok)
        proteus->SetUserObjectName(OBJECT_PRESET, dlg.m_destinationPreset, name);
    if (ParamRecord* channel = proteus->FindParameter(MULTIMODE_BASIC_CHANNEL))
        proteus->ParameterEdit(channel);
}

void View::OnEditImportData()
{
    TransferSysExFile(true);
}

void View::OnEditSendData()
{
    TransferSysExFile(false);
}

void View::TransferSysExFile(bool renumber)
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return;
    SysexFileDlg dlg(true, GetGlobalConfigurations().GetString(SysexFile), this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    const QString path = dlg.GetPathName();
    StackWaitCursor wait;
    ByteBlockList blocks;
    OleProps props;
    const bool sent = ReadUploadFile(*proteus, path, blocks, props) && proteus->UploadPreset(renumber, -1, -1, blocks);
    // Without a module (TestUI) an import goes on as if it was taken; a
    // send, which stores the preset, does not.
    if (!sent && !(renumber && GetGlobalConfigurations().GetBool(TestUI)))
        return;
    GetGlobalConfigurations().SetString(SysexFile, path);
    if (PopupBase* editorPopup = GetPopup(EditPopup))
        if (ParamRecord* upload = GetParameter(UPLOAD_SYSEX))
            editorPopup->EditParameter(upload);
    if (ParamRecord* select = proteus->FindParameter(PRESET_SELECT)) {
        select->previousValue = select->value;
        select->value = -1;
        proteus->ParameterEdit(select);
    }
}

void View::OnEditExportData()
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return;
    ExportDataDlg dlg(QStringLiteral("Export Data"), this, this);
    if (ParamRecord* current = GetParameter(MULTIMODE_PRESET)) {
        dlg.m_romId = current->romId;
        dlg.m_presetNumber = current->value;
    }
    if (RunDialog(m_dialogRunner, dlg) != QDialog::Accepted)
        return;
    StackWaitCursor wait;
    ByteBlockList blocks;
    if (!proteus->DownloadPreset(dlg.m_subRequest, dlg.m_romId, dlg.m_presetNumber, dlg.m_layer, true, blocks) &&
        !GetGlobalConfigurations().GetBool(TestUI))
        return;
    SysexFileDlg file(false, GetGlobalConfigurations().GetString(SysexFile), this);
    if (file.DoModal() != QDialog::Accepted)
        return;
    // In test mode the dialog opens after a failed dump too; with nothing
    // dumped there is nothing to write, and a file chosen there keeps what it holds.
    if (blocks.empty())
        return;
    const QString path = file.GetPathName();
    OleProps props;
    props.title = proteus->GetSimmObjectName(OBJECT_PRESET, dlg.m_romId, dlg.m_presetNumber).trimmed();
    if (proteus->WriteSysExFile(path, blocks, props))
        GetGlobalConfigurations().SetString(SysexFile, path);
}
