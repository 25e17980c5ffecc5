#include "app/Document.h"

#include "app/View.h"
#include "module/Proteus.h"

Document::AlternatePort::AlternatePort(Document& document, std::shared_ptr<MidiBackend> backend)
    : MidiPort(false, std::move(backend)), m_document(document)
{
}
void Document::AlternatePort::OnConnect() { MidiPort::OnConnect(); }
void Document::AlternatePort::OnIncomingMessage() { MidiPort::OnIncomingMessage(); }
void Document::AlternatePort::OnIncomingError() { MidiPort::OnIncomingError(); }
void Document::AlternatePort::OnDisconnect() { MidiPort::OnDisconnect(); }
void Document::AlternatePort::OnShortData(std::uint32_t packed) { MidiPort::OnShortData(packed); }
void Document::AlternatePort::OnShortError(std::uint32_t packed) { MidiPort::OnShortError(packed); }
void Document::AlternatePort::OnSent(const void*, unsigned) {}

Document::Document(std::shared_ptr<MidiBackend> backend)
    : m_proteus(std::make_unique<Proteus>(backend)),
      m_alternatePort(std::make_unique<AlternatePort>(*this, backend))
{
}
Document::~Document() = default;
bool Document::OnNewDocument() { return true; }
bool Document::ConfigureDevice() { return false; }
void Document::OnConfigureMidi() {}
void Document::SetInputPort(int port) { m_inputPort = port; }
void Document::SetOutputPort(int port) { m_outputPort = port; }
void Document::SetControllerPort(int port) { m_controllerPort = port; }
void Document::SetBPort(int port) { m_bPort = port; }
void Document::OnShortData(std::uint32_t) {}
void Document::UpdateChannelRange()
{
    if (m_view)
        m_view->UpdateChannelRange();
}
bool Document::CanCloseFrame() { return !m_view || m_view->QueryClose(); }
void Document::UpdateAllViews()
{
    if (m_view)
        m_view->OnUpdate();
}
