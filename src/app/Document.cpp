#include "app/Document.h"

#include "app/ConfigureDeviceDlg.h"
#include "app/Frame.h"
#include "app/View.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/MidiMessages.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"

#include <QDialog>
#include <QPointer>

namespace {

// String-table entries of the port checks.
constexpr unsigned kOutputIsBPort = 221;
constexpr unsigned kInputIsController = 223;

bool TestUIOn()
{
    return GetGlobalConfigurations().GetBool(TestUI);
}

int IntSetting(ConfigurationId id)
{
    return static_cast<int>(GetGlobalConfigurations().GetDword(id));
}

void SetIntSetting(ConfigurationId id, int value)
{
    GetGlobalConfigurations().SetDword(id, static_cast<std::uint32_t>(value));
}

// The module connection of the document: the main window's title follows its
// state, so the end of every connect and disconnect (and an open that was
// never answered) rebuilds the title.
class DocumentProteus final : public Proteus {
public:
    DocumentProteus(Document& document, std::shared_ptr<MidiBackend> backend)
        : Proteus(std::move(backend)), m_document(document)
    {
    }
    void OnConnect() override
    {
        Proteus::OnConnect();
        m_document.UpdateFrameTitle();
    }
    void OnDisconnect() override
    {
        Proteus::OnDisconnect();
        m_document.UpdateFrameTitle();
    }
    void OnTimer(unsigned timerId) override
    {
        Proteus::OnTimer(timerId);
        m_document.UpdateFrameTitle();
    }

private:
    Document& m_document;
};

} // namespace

// ------------------------------------------------------------ alternate port

Document::AlternatePort::AlternatePort(Document& document, std::shared_ptr<MidiBackend> backend)
    : MidiPort(false, std::move(backend)), m_document(document)
{
}

void Document::AlternatePort::OnConnect()
{
    m_document.UpdateChannelRange();
    MidiPort::OnConnect();
}

void Document::AlternatePort::OnIncomingMessage()
{
    MidiPort::OnIncomingMessage();
    // Nothing is expected from the keyboard but short messages: SysEx it
    // sends is handed back unread.
    TPtr<_MidiBuffer> buffer;
    while (GetIncomingMessage(buffer))
        ReleaseIncomingMessage(buffer);
}

void Document::AlternatePort::OnIncomingError()
{
    MidiPort::OnIncomingError();
    TPtr<_MidiBuffer> buffer;
    while (GetIncomingError(buffer))
        ReleaseIncomingMessage(buffer);
}

void Document::AlternatePort::OnDisconnect()
{
    MidiPort::OnDisconnect();
}

void Document::AlternatePort::OnShortData(std::uint32_t packed)
{
    MidiPort::OnShortData(packed);
    m_document.OnShortData(packed);
}

void Document::AlternatePort::OnShortError(std::uint32_t packed)
{
    MidiPort::OnShortError(packed);
}

void Document::AlternatePort::OnSent(const void*, unsigned) {}

// ------------------------------------------------------------ document

Document::Document(std::shared_ptr<MidiBackend> backend)
    : m_proteus(std::make_unique<DocumentProteus>(*this, backend)),
      m_alternatePort(std::make_unique<AlternatePort>(*this, backend))
{
    // Channels 16-31 of a 32-channel module go out on the B port.
    m_proteus->SetAlternatePort(m_alternatePort.get());
    LoadPortSettings();
}

Document::~Document()
{
    if (TestUIOn())
        m_proteus->PostDisconnectNotification();
    m_proteus->ClosePort();
    m_proteus->SetAlternatePort(nullptr);
    m_alternatePort.reset();
    m_proteus.reset();
}

void Document::LoadPortSettings()
{
    m_inputPort = IntSetting(InputPort);
    m_outputPort = IntSetting(OutputPort);
    m_deviceId = static_cast<std::uint8_t>(IntSetting(DeviceId));
    m_bPort = IntSetting(BPort);
    m_controllerPort = IntSetting(ControllerPort);
}

bool Document::OnNewDocument()
{
    if (TestUIOn()) {
        // The test mode: the connect sequence runs against a module that is
        // not there; no port is opened.
        m_proteus->PostConnectNotification();
        return true;
    }

    LoadPortSettings();
    if (m_inputPort == -1 || m_outputPort == -1)
        ConfigureDevice();
    if (m_controllerPort != -1 && m_controllerPort == m_inputPort) {
        ShowMessage(nullptr, msgbox::Ok, true, kInputIsController);
        ConfigureDevice();
    }
    if (m_bPort != -1 && m_bPort == m_outputPort) {
        ShowMessage(nullptr, msgbox::Ok, true, kOutputIsBPort);
        ConfigureDevice();
    }

    if (m_proteus->IsInputOpen() || m_proteus->IsOutputOpen())
        m_proteus->ClosePort();
    if (m_alternatePort->IsInputOpen() || m_alternatePort->IsOutputOpen())
        m_alternatePort->ClosePort();

    TLOG(3, u"Opening MIDI ports %x, %x, %x, %x", m_inputPort, m_outputPort, int(m_deviceId), m_controllerPort);
    if (m_inputPort != -1 && m_outputPort != -1)
        OpenModulePort();
    OpenAlternatePort();
    UpdateFrameTitle();
    return true;
}

void Document::OpenModulePort()
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    m_proteus->OpenPort(m_inputPort, m_outputPort, m_deviceId, settings.GetDword(LongTimeout),
                        IntSetting(WriteDelay), IntSetting(SysExDelay), settings.GetBool(SkipScreenDump));
}

void Document::OpenAlternatePort()
{
    // Without a controller keyboard or a B port there is nothing to open: an
    // open of neither side would only run into its time-out and report a
    // port that does not answer.
    if (m_controllerPort == -1 && m_bPort == -1)
        return;
    m_alternatePort->OpenPort(m_controllerPort, m_bPort, GetGlobalConfigurations().GetDword(LongTimeout));
}

bool Document::RunDeviceDialog(DeviceSettings& fields, QWidget* owner)
{
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), owner);
    dialog.m_inputPort = fields.inputPort;
    dialog.m_outputPort = fields.outputPort;
    dialog.m_deviceId = fields.deviceId;
    dialog.m_bPort = fields.bPort;
    dialog.m_controllerPort = fields.controllerPort;
    dialog.m_longTimeout = fields.longTimeout;
    dialog.m_writeDelay = fields.writeDelay;
    dialog.m_sysExDelay = fields.sysExDelay;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    fields.inputPort = dialog.m_inputPort;
    fields.outputPort = dialog.m_outputPort;
    fields.deviceId = dialog.m_deviceId;
    fields.bPort = dialog.m_bPort;
    fields.controllerPort = dialog.m_controllerPort;
    fields.longTimeout = dialog.m_longTimeout;
    fields.writeDelay = dialog.m_writeDelay;
    fields.sysExDelay = dialog.m_sysExDelay;
    return true;
}

bool Document::ConfigureDevice()
{
    const DeviceSettings before{m_inputPort,      m_outputPort,           m_deviceId,         m_bPort,
                                m_controllerPort, IntSetting(LongTimeout), IntSetting(WriteDelay),
                                IntSetting(SysExDelay)};
    DeviceSettings fields = before;
    QWidget* owner = m_view ? m_view->window() : nullptr;
    const bool accepted = m_runDeviceDialog ? m_runDeviceDialog(fields) : RunDeviceDialog(fields, owner);
    if (!accepted)
        return false;

    SetIntSetting(LongTimeout, fields.longTimeout);
    SetIntSetting(WriteDelay, fields.writeDelay);
    SetIntSetting(SysExDelay, fields.sysExDelay);
    m_proteus->SetTimeout(static_cast<unsigned>(fields.longTimeout));
    m_alternatePort->SetTimeout(static_cast<unsigned>(fields.longTimeout));

    if (fields.inputPort != before.inputPort || fields.outputPort != before.outputPort
        || fields.deviceId != before.deviceId) {
        // Another module (or the same one elsewhere): probe it again at the next connect.
        SetIntSetting(Capabilities, 0);
        SetIntSetting(InputPort, fields.inputPort);
        SetIntSetting(OutputPort, fields.outputPort);
        SetIntSetting(DeviceId, fields.deviceId);
        SetInputPort(fields.inputPort);
        SetOutputPort(fields.outputPort);
        m_deviceId = static_cast<std::uint8_t>(fields.deviceId);
    }
    if (fields.controllerPort != before.controllerPort) {
        SetIntSetting(ControllerPort, fields.controllerPort);
        SetControllerPort(fields.controllerPort);
    }
    if (fields.bPort != before.bPort) {
        SetIntSetting(BPort, fields.bPort);
        SetBPort(fields.bPort);
    }
    return true;
}

void Document::OnConfigureMidi()
{
    TLOG(3, u"Attempting to configure MIDI ports");
    if (!ConfigureDevice())
        return;
    TLOG(3, u"Configure MIDI ports successful - opening ports %x, %x, %x, %x", m_inputPort, m_outputPort,
         int(m_deviceId), m_controllerPort);
    if (!TestUIOn()) {
        if (!m_proteus->IsInputOpen() && !m_proteus->IsOutputOpen() && m_inputPort != -1 && m_outputPort != -1)
            OpenModulePort();
        if (!m_alternatePort->IsInputOpen() && !m_alternatePort->IsOutputOpen())
            OpenAlternatePort();
    }
    UpdateAllViews();
}

void Document::SetInputPort(int port)
{
    m_proteus->ClosePort();
    m_inputPort = port;
}

void Document::SetOutputPort(int port)
{
    m_proteus->ClosePort();
    m_outputPort = port;
}

void Document::SetControllerPort(int port)
{
    m_alternatePort->ClosePort();
    m_controllerPort = port;
}

void Document::SetBPort(int port)
{
    m_alternatePort->ClosePort();
    m_bPort = port;
}

void Document::OnShortData(std::uint32_t packed)
{
    TLOG(8, u"%s(0x%x)", u"Document::OnShortData", packed);
    // Only what a keyboard may pass on goes to the module; the channel is the
    // panel's, put in when the message is sent.
    if (!MidiThruMessage(packed, 0))
        return;
    if (!m_proteus->IsReady() || !m_proteus->IsInputOpen() || !m_proteus->IsOutputOpen())
        return;
    const std::uint8_t bytes[4] = {std::uint8_t(packed & 0xFF), std::uint8_t((packed >> 8) & 0xFF),
                                   std::uint8_t((packed >> 16) & 0xFF), std::uint8_t((packed >> 24) & 0xFF)};
    m_proteus->SendShortMidiMessage(bytes);
}

void Document::UpdateChannelRange()
{
    if (m_view)
        m_view->UpdateChannelRange();
}

bool Document::CanCloseFrame()
{
    return !m_view || m_view->QueryClose();
}

void Document::UpdateAllViews()
{
    if (m_view)
        m_view->OnUpdate();
    UpdateFrameTitle();
}

void Document::UpdateFrameTitle()
{
    if (!m_view)
        return;
    if (auto* frame = qobject_cast<Frame*>(m_view->window()))
        frame->OnUpdateFrameTitle();
}
